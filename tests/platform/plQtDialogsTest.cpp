#include "platform/plQtDialogs.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QListWidget>
#include <QPushButton>

namespace {

using B = QMessageBox;

TEST(MessageBoxLayout, FlagsToButtonsDefaultEscapeAndIcon) {
    struct Case {
        unsigned flags;
        std::vector<B::StandardButton> buttons;
        B::StandardButton def, esc;
        B::Icon icon;
    } cases[] = {
        {MsgBox::Ok, {B::Ok}, B::Ok, B::Ok, B::NoIcon},
        {MsgBox::OkCancel | MsgBox::DefButton2, {B::Ok, B::Cancel}, B::Cancel, B::Cancel, B::NoIcon},
        {MsgBox::AbortRetryIgnore | MsgBox::IconError, {B::Abort, B::Retry, B::Ignore}, B::Abort, B::NoButton,
         B::Critical},
        {MsgBox::YesNoCancel | MsgBox::IconQuestion | MsgBox::DefButton3, {B::Yes, B::No, B::Cancel}, B::Cancel,
         B::Cancel, B::Question},
        {MsgBox::YesNo | MsgBox::IconWarning | MsgBox::DefButton2, {B::Yes, B::No}, B::No, B::NoButton, B::Warning},
        {MsgBox::RetryCancel | MsgBox::IconInformation, {B::Retry, B::Cancel}, B::Retry, B::Cancel,
         B::Information},
        {MsgBox::YesNo | MsgBox::DefButton3, {B::Yes, B::No}, B::Yes, B::NoButton, B::NoIcon},  // no third button
    };
    for (const Case& c : cases) {
        const TMessageBoxLayout l = MessageBoxLayout(c.flags);
        EXPECT_EQ(l.Buttons, c.buttons) << std::hex << c.flags;
        EXPECT_EQ(l.Default, c.def) << std::hex << c.flags;
        EXPECT_EQ(l.Escape, c.esc) << std::hex << c.flags;
        EXPECT_EQ(l.Icon, c.icon) << std::hex << c.flags;
        EXPECT_FALSE(l.TopMost);
    }
    EXPECT_TRUE(MessageBoxLayout(MsgBox::Ok | MsgBox::TopMost).TopMost);
}

TEST(MessageBoxResult, ButtonsToResultNumbers) {
    const std::pair<B::StandardButton, int> cases[] = {
        {B::Ok, MsgResult::Ok},         {B::Cancel, MsgResult::Cancel}, {B::Abort, MsgResult::Abort},
        {B::Retry, MsgResult::Retry},   {B::Ignore, MsgResult::Ignore}, {B::Yes, MsgResult::Yes},
        {B::No, MsgResult::No},         {B::NoButton, MsgResult::Cancel},
    };
    for (const auto& [button, result] : cases) EXPECT_EQ(MessageBoxResult(button), result) << button;
}

TEST(QtDialogs, AreCurrentUnlessAFakeIsInstalledAndNeverBlockWithoutAScreen) {
    ASSERT_TRUE(TQtDialogs::IsHeadless());
    TQtDialogs dialogs;
    QElapsedTimer t;
    t.start();
    EXPECT_EQ(dialogs.MessageBox("text", "caption", MsgBox::YesNoCancel), MsgResult::Cancel);
    EXPECT_EQ(dialogs.MessageBox("text", "caption", MsgBox::YesNo | MsgBox::DefButton2), MsgResult::No);
    QString folder = "/tmp";
    EXPECT_FALSE(dialogs.BrowseForFolder("t", {}, folder));
    EXPECT_EQ(folder, "/tmp");
    EXPECT_FALSE(dialogs.ChooseApplication({}, {}).has_value());
    EXPECT_LT(t.elapsed(), 5000);
    EXPECT_NE(dynamic_cast<TQtDialogs*>(&TDialogs::Current()), nullptr);
    TFakeDialogs fake;
    {
        TDialogsInstaller install(&fake);
        EXPECT_EQ(&TDialogs::Current(), &fake);
    }
    EXPECT_NE(dynamic_cast<TQtDialogs*>(&TDialogs::Current()), nullptr);
}

TEST(OpenWithDialog, ListsTheApplicationsAndReturnsTheChosenOne) {
    TDesktopApp a, b;
    a.Id = "a.desktop";
    a.Name = "Editor";
    b.Id = "b.desktop";
    b.Name = "Viewer";
    TOpenWithDialog dlg({"Open With", "Choose", "Browse…", "All files"}, {a, b});
    EXPECT_EQ(dlg.windowTitle(), "Open With");
    ASSERT_EQ(dlg.List()->count(), 2);
    EXPECT_EQ(dlg.List()->item(1)->text(), "Viewer");
    EXPECT_EQ(dlg.List()->currentRow(), 0);
    dlg.List()->setCurrentRow(1);
    dlg.OkButton()->click();
    ASSERT_TRUE(dlg.Choice().has_value());
    EXPECT_EQ(dlg.Choice()->AppIndex, 1);
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
}

TEST(OpenWithDialog, WithoutApplicationsOnlyBrowsingCanChoose) {
    TOpenWithDialog dlg({}, {});
    EXPECT_FALSE(dlg.OkButton()->isEnabled());
    dlg.reject();
    EXPECT_FALSE(dlg.Choice().has_value());
}

}  // namespace
