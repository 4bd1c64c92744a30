#include "platform/plQtDialogs.h"
#include "support/testCases.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QMetaEnum>
#include <QListWidget>
#include <QPushButton>

namespace {

using B = QMessageBox;

// A value of a Qt enumeration or flag type by its name.
template <class TEnum>
int EnumValue(const QString& name) {
    return QMetaEnum::fromType<TEnum>().keyToValue(name.toLatin1().constData());
}

TEST(MessageBox, FlagsToLayoutAndButtonsToResults) {
    for (const CaseRow& c : LoadCases("platform/dialogs.txt", "MessageBoxLayout")) {
        const TMessageBoxLayout l = MessageBoxLayout(c["Flags"].toUInt(nullptr, 16));
        std::vector<B::StandardButton> buttons;
        for (const QString& name : BracketedList(c["Buttons"]))
            buttons.push_back(B::StandardButton(EnumValue<B::StandardButtons>(name)));
        EXPECT_EQ(l.Buttons, buttons) << c.Text();
        EXPECT_EQ(l.Default, EnumValue<B::StandardButtons>(c["Default"])) << c.Text();
        EXPECT_EQ(l.Escape, EnumValue<B::StandardButtons>(c["Escape"])) << c.Text();
        EXPECT_EQ(l.Icon, EnumValue<B::Icon>(c["Icon"])) << c.Text();
        EXPECT_FALSE(l.TopMost);
    }
    EXPECT_TRUE(MessageBoxLayout(MsgBox::Ok | MsgBox::TopMost).TopMost);
    for (const CaseRow& c : LoadCases("platform/dialogs.txt", "MessageBoxResult")) {
        const auto button = B::StandardButton(EnumValue<B::StandardButtons>(c["Button"]));
        EXPECT_EQ(MessageBoxResult(button), c.Int("Result")) << c.Text();
    }
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

    // Without applications only browsing can choose.
    TOpenWithDialog empty({}, {});
    EXPECT_FALSE(empty.OkButton()->isEnabled());
    empty.reject();
    EXPECT_FALSE(empty.Choice().has_value());
}

}  // namespace
