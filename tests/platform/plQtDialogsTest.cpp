#include "platform/plQtDialogs.h"
#include "support/testCases.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
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
    QStringList files{"kept"};
    EXPECT_FALSE(dialogs.ChooseFiles(TFileDialogKind::Save, {"t", "Text (*.txt)|*.txt", "a", "txt"}, files));
    EXPECT_FALSE(dialogs.ChooseFiles(TFileDialogKind::OpenMulti, {}, files));
    EXPECT_EQ(files, QStringList{"kept"});
    EXPECT_EQ(dialogs.AskSave({"Save?", "caption", "Save", "Do not Save", "Cancel"}), TSaveAnswer::Cancel);
    EXPECT_LT(t.elapsed(), 5000);
    EXPECT_NE(dynamic_cast<TQtDialogs*>(&TDialogs::Current()), nullptr);
    TFakeDialogs fake;
    {
        TDialogsInstaller install(&fake);
        EXPECT_EQ(&TDialogs::Current(), &fake);
    }
    EXPECT_NE(dynamic_cast<TQtDialogs*>(&TDialogs::Current()), nullptr);
}

TEST(FileDialog, FilterStringsBecomeQtNameFilters) {
    for (const CaseRow& c : LoadCases("platform/dialogs.txt", "NameFilters"))
        EXPECT_EQ(QtNameFilters(c["Filter"]), BracketedList(c["Expected"])) << c.Text();
}

TEST(FileDialog, IsSetUpForOpeningOneOrManyOrSavingWithTheOverwriteQuestion) {
    const TFileDialogParams params{"Save as", "Text (*.a, *.b)|*.a;*.b|All Files (*.*)|*.*", "/tmp/doc", "a"};
    QFileDialog save;
    ConfigureFileDialog(save, TFileDialogKind::Save, params);
    EXPECT_EQ(save.windowTitle(), "Save as");
    EXPECT_EQ(save.acceptMode(), QFileDialog::AcceptSave);
    EXPECT_EQ(save.fileMode(), QFileDialog::AnyFile);
    EXPECT_FALSE(save.testOption(QFileDialog::DontConfirmOverwrite));
    EXPECT_EQ(save.nameFilters(), (QStringList{"Text (*.a *.b)", "All Files (*)"}));
    EXPECT_EQ(save.defaultSuffix(), "a");
    EXPECT_EQ(save.directory().absolutePath(), "/tmp");
    QFileDialog one, many;
    ConfigureFileDialog(one, TFileDialogKind::Open, {{}, "Text (*.a)|*.a", {}, {}});
    ConfigureFileDialog(many, TFileDialogKind::OpenMulti, params);
    EXPECT_EQ(one.acceptMode(), QFileDialog::AcceptOpen);
    EXPECT_EQ((std::pair{one.fileMode(), many.fileMode()}), (std::pair{QFileDialog::ExistingFile, QFileDialog::ExistingFiles}));
    EXPECT_EQ(one.defaultSuffix(), "");
    QFileDialog inFolder;
    ConfigureFileDialog(inFolder, TFileDialogKind::Save, {{}, {}, "doc", "a", QDir::tempPath()});
    EXPECT_EQ(inFolder.directory().absolutePath(), QDir::tempPath()) << "a bare name starts in the folder given";
}

TEST(SaveQuestionBox, OffersSaveByDefaultAndTellsWhichButtonWasClicked) {
    const TSaveQuestion question{"Save changes in \"a\"?", "Quillane", "Save", "Do\u00A0not Save", "Cancel"};
    for (const auto& [button, answer] : {std::pair{0, TSaveAnswer::Save}, std::pair{1, TSaveAnswer::DontSave},
                                         std::pair{2, TSaveAnswer::Cancel}}) {
        TSaveQuestionBox box(question);
        QAbstractButton* buttons[] = {box.SaveButton(), box.DontSaveButton(), box.CancelButton()};
        EXPECT_EQ((QStringList{box.windowTitle(), box.text(), buttons[0]->text(), buttons[1]->text(), buttons[2]->text()}),
                  (QStringList{"Quillane", question.Text, "Save", question.DontSaveButton, "Cancel"}));
        EXPECT_EQ(box.icon(), QMessageBox::NoIcon);
        EXPECT_EQ(box.defaultButton(), buttons[0]);
        EXPECT_EQ(box.escapeButton(), buttons[2]);
        EXPECT_EQ(box.Answer(), TSaveAnswer::Cancel) << "nothing clicked yet";
        buttons[button]->click();
        EXPECT_EQ(box.Answer(), answer) << button;
    }
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
