// The main window with the user's files in a temporary XDG tree: creation
// only of a descendant, the menus and components it wires, the start-up
// document, closing, batch mode and the connected files it releases.

#include "app/baAppActns.h"
#include "app/cuAboutForm.h"
#include "app/sfSettingsForm.h"
#include "app/unGlobal.h"
#include "app/unMainForm.h"
#include "core/cuKnot.h"
#include "core/cuLocalization.h"
#include "core/cuStringIds.h"
#include "elements/coRoot.h"
#include "elements/coValueElements.h"
#include "elements/diCommonElements.h"
#include "elements/diLog.h"
#include "pascal/elements/prScheme.h"
#include "platform/plDialogs.h"
#include "platform/plInstanceLock.h"
#include "platform/plShell.h"
#include "platform/plTimer.h"
#include "ui/baHintWindow.h"
#include "ui/diPaletteForm.h"
#include "ui/diPaletteHintWindow.h"
#include "scheme/diClasses.h"
#include "scheme/diSheet.h"
#include "support/testEnvironment.h"
#include "support/testEnglish.h"
#include "support/testFiles.h"
#include "support/testRaise.h"
#include "support/testStop.h"
#include "ui/diEditForm.h"
#include "ui/diSheetForm.h"

#include <QApplication>
#include <QTimer>
#include <QCoreApplication>
#include <QScreen>
#include <QStyle>
#include <QDir>
#include <QFile>
#include <QDropEvent>
#include <QLockFile>
#include <QMenu>
#include <QMimeData>
#include <QUrl>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>

namespace {


class TTestMainForm : public TMainForm {
public:
    explicit TTestMainForm(TGlobal& global) : TMainForm(global) {}
    // Qt hands a drop only to the target of a drag in progress.
    using TMainForm::dropEvent;
};

// The comments at the top level of a scheme.
QStringList CommentTexts(TScheme* scheme) {
    QStringList texts;
    for (TNode* node = scheme->Root()->FirstChild(); node; node = node->NextSibling())
        if (auto* comment = dynamic_cast<TElement_Comment*>(node)) texts << comment->GetText();
    return texts;
}

class MainFormTest : public ::testing::Test {
protected:
    ~MainFormTest() override {
        form.reset();
        global.reset();
        QDir::setCurrent(m_oldFolder);  // in case the window makes a document's folder current
    }

    QString Path(const QString& name) const { return files.filePath(name); }
    // The data module with these arguments, then the window.
    void Start(QStringList params = {}) {
        form.reset();
        global.reset();
        global = TGlobal::Create(
            {std::move(params), {"TestCo", "TestProduct", "1.0"}, QLocale(QLatin1String("en_US"))});
        form = TMainForm::Create<TTestMainForm>(*global);
    }
    // A program module whose file connections name the files given.
    void WriteModule(const QString& name, const QStringList& connected = {}) {
        TSchemeDocument document(ProgramSchemeDescriptor(), global->Settings().Sheet());
        document.InitNew();
        for (const QString& file : connected) {
            auto* root = static_cast<TTextorElement*>(document.Scheme()->Root());
            auto* connection = static_cast<TElement_FileConnection*>(
                root->AddElementOfClass(TElement_FileConnection::StaticClass()));
            connection->FileNameField()->SetValue(Path(file));
        }
        document.SaveAs(Path(name));
    }
    TSchemeDocument* Active() const { return form->ActiveSchemeDocument(); }
    static void Edit(TSchemeDocument* document) {
        static_cast<TTextorElement*>(document->Scheme()->Root())
            ->InsertNewElement(TElement_Text::StaticClass(), nullptr, std::nullopt);
    }

    TEnglishTexts english;
    TFakeDialogs dialogs;
    TDialogsInstaller installDialogs{&dialogs};
    QTemporaryDir xdg;
    // The program's instance locks live in the runtime and temporary folders:
    // windows of tests running side by side must not see each other's.
    QTemporaryDir runtime;
    TEnvironmentScope dataHome{"XDG_DATA_HOME", QFile::encodeName(xdg.path())};
    TEnvironmentScope runtimeDir{"XDG_RUNTIME_DIR", QFile::encodeName(runtime.path())};
    TEnvironmentScope tempDir{"TMPDIR", QFile::encodeName(runtime.path())};
    QTemporaryDir files;
    std::unique_ptr<TGlobal> global;
    std::unique_ptr<TMainForm> form;

private:
    QString m_oldFolder = QDir::currentPath();
};

TEST_F(MainFormTest, OnlyADescendantIsMadeAPlainMainFormIsRefused) {
    global = TGlobal::Create({{}, {"TestCo", "TestProduct", "1.0"}, QLocale(QLatin1String("en_US"))});
    EXPECT_EQ(RaisedId([&] { TMainForm::Create<TMainForm>(*global); }), strAppMainForm);
    EXPECT_EQ(LoadStr(strAppMainForm), QStringLiteral("AppMainForm"));
}

TEST_F(MainFormTest, CreationWiresTitleMenusFiltersAndTheEditFormAndBackupsFollowTheSetting) {
    Start();
    EXPECT_EQ(form->windowTitle(), LoadStr(strProductName));
    EXPECT_EQ(form->Menu(TMainMenu::File).title(), QStringLiteral("&File"));
    EXPECT_EQ(form->Menu(TMainMenu::Help).title(), QStringLiteral("&Help"));
    EXPECT_EQ(form->Action(TMainAction::FilePrint).text(), QStringLiteral("Print..."));
    EXPECT_FALSE(form->ViewerAppActions().FileClose()->isVisible());
    EXPECT_FALSE(form->EditorAppActions().FileSaveAll()->isVisible());
    EXPECT_FALSE(form->ViewerAppActions().FileCloseAll()->isVisible());
    EXPECT_TRUE(form->Menu(TMainMenu::Edit)
                    .actions()
                    .contains(&form->EditForm()->SheetForm().Action(TSheetAction::EditUndo)));
    ASSERT_EQ(form->OpenSaveDialog().FileFilters.Count(), 1);
    EXPECT_EQ(form->OpenSaveDialog().FileFilters[0].FileExt, QStringLiteral("prm"));
    EXPECT_FALSE(form->Action(TMainAction::FilePrint).isEnabled()) << "no document yet";
    EXPECT_EQ(form->RecentFiles().MaxStoredCount(), TMainForm::kRecentFilesShown);
    ASSERT_EQ(form->InstanceLocks().size(), 2u);
    const QString program = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
    for (const QString& name : {program + "Mutex", "Global\\" + program + "Mutex"}) {
        QLockFile other(TInstanceLock::FileNameFor(name));
        EXPECT_FALSE(other.tryLock(0)) << "the program's locks are held: " << name.toStdString();
    }

    EXPECT_TRUE(form->Documentor().Options.testFlag(doBackupFiles));
    global->Settings().Misc()->BackupOnSave()->SetValue(false);
    EXPECT_FALSE(form->Documentor().Options.testFlag(doBackupFiles));
    global->Settings().Misc()->BackupOnSave()->SetValue(true);
    EXPECT_TRUE(form->Documentor().Options.testFlag(doBackupFiles));

    // A change of language captions the menus, the actions and the window again.
    global->Settings().General()->Language()->SetValue(QStringLiteral("RUS"));
    form->Menu(TMainMenu::File).setTitle(QStringLiteral("stale"));
    form->Action(TMainAction::FilePrint).setText(QStringLiteral("stale"));
    form->setWindowTitle(QStringLiteral("stale"));
    global->Settings().General()->Language()->SetValue(QStringLiteral("ENU"));
    EXPECT_EQ(form->Action(TMainAction::FilePrint).text(), QStringLiteral("Print..."));
    EXPECT_EQ(form->windowTitle(), LoadStr(strProductName));
    EXPECT_EQ(form->Menu(TMainMenu::File).title(), QStringLiteral("&File"));
}

TEST_F(MainFormTest, AFirstStartShowsANewDocumentWithTheWelcomeCommentLaterNewOnesHaveNone) {
    Start();
    form->show();
    QCoreApplication::processEvents();  // the posted start-up
    TSchemeDocument* first = Found(Active(), "the start-up document");
    const QStringList welcome = CommentTexts(first->Scheme());
    ASSERT_EQ(welcome.size(), 1);
    EXPECT_TRUE(welcome[0].startsWith(QStringLiteral("Welcome to Quillane!"))) << welcome[0].toStdString();
    EXPECT_TRUE(form->Action(TMainAction::FilePrint).isEnabled());
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Unit1 - Quillane"));
    EXPECT_EQ(form->EditForm()->SheetForm().Sheet(), first->MainSheet()) << "shown in the edit form";
    EXPECT_EQ(form->EditForm()->LogForm().Sheet(), first->LogSheet());

    form->EditorAppActions().FileNew()->trigger();
    ASSERT_NE(Active(), first);
    EXPECT_TRUE(CommentTexts(Active()->Scheme()).isEmpty());
    EXPECT_EQ(form->Documentor().DocumentCount(), 1) << "one document at a time";
    form->Documentor().CloseActive();
    EXPECT_EQ(form->EditForm()->SheetForm().Sheet(), nullptr) << "nothing shown without a document";
    EXPECT_FALSE(form->Action(TMainAction::FilePrint).isEnabled());
}

// A first start that opened a file gave the next new document the welcome.
TEST_F(MainFormTest, AFirstStartWithAFileGivesNoLaterNewDocumentTheWelcomeComment) {
    Start();
    WriteModule("a.prm");
    Start({Path("a.prm")});
    ASSERT_EQ(global->SessionFile().LoadState(), lsFileMissing) << "a first start";
    form->Startup();
    TSchemeDocument* a = Found(Active(), "the opened file");
    EXPECT_TRUE(CommentTexts(a->Scheme()).isEmpty());
    form->EditorAppActions().FileNew()->trigger();
    ASSERT_NE(Active(), a);
    EXPECT_TRUE(CommentTexts(Active()->Scheme()).isEmpty());
}

TEST_F(MainFormTest, CommandLineFilesOpenReadOnlyOnRequestAndAFileOfNoKindIsRefused) {
    Start();
    WriteModule("a.prm");
    Start({Path("a.prm"), "-readonly"});
    form->Startup();
    TSchemeDocument* a = Found(Active(), "the opened file");
    EXPECT_EQ(a->FileName(), Path("a.prm"));
    EXPECT_TRUE(a->Scheme()->ReadOnly());
    EXPECT_TRUE(a->MainSheet()->ReadOnly());
    EXPECT_TRUE(CommentTexts(a->Scheme()).isEmpty()) << "the welcome goes only into a new document";
    // Its folder is where the dialogs start; the current folder, shared with the preview thread, stays.
    const QString before = QDir::currentPath();
    EXPECT_EQ(QDir(form->StartFolder()).canonicalPath(), QDir(files.path()).canonicalPath());
    form->ViewerAppActions().FileOpen()->trigger();
    form->Documentor().SaveAs();
    form->Action(TMainAction::FileSaveAsImage).trigger();
    ASSERT_EQ(dialogs.FileDialogs.size(), 3u) << "open, save as and image, each cancelled";
    for (const TFakeDialogs::TFileDialogCall& call : dialogs.FileDialogs)
        EXPECT_EQ(QDir(call.Params.Folder).canonicalPath(), QDir(files.path()).canonicalPath());
    EXPECT_EQ(QDir::currentPath(), before);
    ASSERT_TRUE(WriteTestFile(Path("notes.txt"), "text"));
    EXPECT_EQ(RaisedId([&] { form->Documentor().OpenFile(Path("notes.txt")); }), strUnsupportedFileType);
    EXPECT_EQ(Active(), a);
}

TEST_F(MainFormTest, AMissingFileOnTheCommandLineIsShownAndTheWindowGetsANewDocument) {
    Start({Path("missing.prm")});
    form->Startup();
    ASSERT_EQ(dialogs.Boxes.size(), 1u);
    EXPECT_TRUE(dialogs.Boxes[0].Text.contains(Path("missing.prm"))) << dialogs.Boxes[0].Text.toStdString();
    EXPECT_TRUE(Found(Active(), "a new document")->FileName().isEmpty());
}

TEST_F(MainFormTest, ClosingAsksAboutAModifiedDocumentARefusalKeepsTheWindowAndWritesNothing) {
    Start();
    WriteModule("a.prm");
    Start({Path("a.prm")});
    form->show();
    form->Startup();
    Edit(Found(Active(), "a"));
    const QString session = global->SessionFile().FileName;
    dialogs.SaveAnswers = {TSaveAnswer::Cancel};
    EXPECT_FALSE(form->close());
    EXPECT_TRUE(form->isVisible());
    EXPECT_FALSE(QFile::exists(session));
    dialogs.SaveAnswers = {TSaveAnswer::DontSave};
    EXPECT_TRUE(form->close());
    EXPECT_EQ(dialogs.SaveQuestions.size(), 2u);
    EXPECT_TRUE(QFile::exists(session));
    EXPECT_NE(form->RecentFiles().FindFile(Path("a.prm")), nullptr) << "the closed file is listed again";
}

TEST_F(MainFormTest, BatchModeSavesEveryFileInPlaceAndEndsUnlessOneCannotBeOpened) {
    Start();
    WriteModule("a.prm");
    WriteModule("b.prm");
    QFile a(Path("a.prm"));
    ASSERT_TRUE(a.open(QIODevice::Append));
    a.write("\r\n\r\n");  // what the writer never writes
    a.close();
    const qint64 written = QFileInfo(Path("b.prm")).size();
    Start({"-exit", Path("a.prm"), Path("b.prm"), "-save"});
    EXPECT_TRUE(form->BatchEnded());
    EXPECT_EQ(QFileInfo(Path("a.prm")).size(), written) << "saved again";
    EXPECT_TRUE(QFile::exists(Path("a.~prm")));
    EXPECT_TRUE(dialogs.Boxes.empty());

    Start({"-exit", Path("missing.prm"), Path("a.prm")});
    EXPECT_FALSE(form->BatchEnded()) << "the window opens when a file could not be opened";
    EXPECT_EQ(dialogs.Boxes.size(), 1u);
}

TEST_F(MainFormTest, ConnectedFilesGoWhenTheDocumentsNeedingThemCloseAndTheRecentMenuShowsSix) {
    Start();
    WriteModule("lib.prm");
    WriteModule("a.prm", {"lib.prm"});
    form->Documentor().OpenFile(Path("a.prm"));
    EXPECT_EQ(form->ConnectedDocuments().Count(), 1);
    form->Documentor().CloseActive();
    EXPECT_EQ(form->ConnectedDocuments().Count(), 0);

    for (int i = 0; i < 8; ++i) form->RecentFiles().Add(Path(QStringLiteral("f%1.prm").arg(i)));
    QStringList shown;
    for (QAction* item : form->Menu(TMainMenu::File).actions())
        if (item->statusTip().endsWith(QStringLiteral(".prm"))) {
            shown << item->text();
            EXPECT_FALSE(item->icon().isNull()) << "the picture of the file's kind";
        }
    EXPECT_EQ(shown, (QStringList{"f7", "f6", "f5", "f4", "f3", "f2"}));
}

TEST_F(MainFormTest, SaveAsImageWritesThePngOfTheSchemeUnderTheChosenName) {
    Start();
    form->Startup();
    TSchemeDocument* document = Found(Active(), "the start-up document");
    auto* root = static_cast<TTextorElement*>(document->Scheme()->Root());
    const QImage expected = SchemeImage(*document->MainSheet(), *root);
    // An empty last row adds nothing to the picture.
    root->FocusText(TTextFocusPlace::End);
    const int height = root->Height();
    ASSERT_TRUE(root->ReplaceSelection(QStringLiteral("\r\n")));
    ASSERT_GT(root->Height(), height);
    dialogs.FileAnswers = {QStringList{Path("scheme.png")}};
    form->Action(TMainAction::FileSaveAsImage).trigger();
    ASSERT_EQ(dialogs.FileDialogs.size(), 1u);
    EXPECT_EQ(dialogs.FileDialogs[0].Params.FileName, QStringLiteral("Untitled"));
    const QImage saved(Path("scheme.png"));
    ASSERT_FALSE(saved.isNull());
    EXPECT_EQ(saved.size(), expected.size());
    EXPECT_GT(saved.width(), 100) << "the welcome comment's width";
    EXPECT_EQ(saved.convertToFormat(QImage::Format_RGB888), expected);
}

TEST_F(MainFormTest, SaveAsImageOfTooLargeASheetGivesAMessageAndWritesNothing) {
    Start();
    form->Startup();
    TSchemeDocument* document = Found(Active(), "the start-up document");
    auto* root = static_cast<TTextorElement*>(document->Scheme()->Root());
    root->FocusText(TTextFocusPlace::End);
    ASSERT_TRUE(root->ReplaceSelection(QStringLiteral("\r\n").repeated(4000) + QStringLiteral("x")));
    const QSize size = SchemeImageSize(*document->MainSheet(), *root);
    ASSERT_GT(size.height(), 32767) << "a sheet taller than a picture may be";
    EXPECT_FALSE(SchemeImageSizeAllowed(size));
    EXPECT_FALSE(SchemeImageSizeAllowed({20000, 20000})) << "400 million pixels";
    EXPECT_TRUE(SchemeImageSizeAllowed({32767, 2048}));
    dialogs.FileAnswers = {QStringList{Path("tall.png")}};
    form->Action(TMainAction::FileSaveAsImage).trigger();
    ASSERT_EQ(dialogs.Boxes.size(), 1u);
    EXPECT_TRUE(dialogs.Boxes[0].Text.contains(Path("tall.png"))) << dialogs.Boxes[0].Text.toStdString();
    EXPECT_TRUE(dialogs.Boxes[0].Text.contains(QString::number(size.height()))) << dialogs.Boxes[0].Text.toStdString();
    EXPECT_EQ(dialogs.Boxes[0].Flags & MsgBox::IconMask, MsgBox::IconError);
    EXPECT_FALSE(QFile::exists(Path("tall.png")));
}

TEST_F(MainFormTest, OfThreeDroppedFilesTheFirstOpensHereAndEachOtherInANewInstance) {
    Start();
    WriteModule("a.prm");
    TFakeShell shell;
    TShellInstaller installShell{&shell};
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(Path("a.prm")), QUrl::fromLocalFile(Path("b.prm")),
                  QUrl::fromLocalFile(Path("c \"d\".prm"))});
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    static_cast<TTestMainForm*>(form.get())->dropEvent(&drop);
    EXPECT_EQ(Found(Active(), "the first file")->FileName(), Path("a.prm"));
    EXPECT_TRUE(QFile::exists(global->SessionFile().FileName)) << "the session is written for the new instances";
    const QString program = QCoreApplication::applicationFilePath();
    EXPECT_EQ(shell.Calls, (QStringList{"Start|" + program + "|" + Path("b.prm"),
                                        "Start|" + program + "|" + Path("c \"d\".prm")}))
        << "each name one argument, as it is";
}

TEST_F(MainFormTest, AMenuEntrysHintShowsAfterThePauseAtOnceWhileOneShowsAndGoesWithoutOne) {
    TManualTimerService timers;
    TTimerServiceInstaller installTimers{&timers};
    Start();
    TMenuItemHints& hints = form->MenuItemHints();
    QAction& print = form->Action(TMainAction::FilePrint);
    QAction& setup = form->Action(TMainAction::FilePageSetup);
    print.setStatusTip(QStringLiteral("a hint of many words ").repeated(40));
    setup.setStatusTip(QStringLiteral("Margins"));
    hints.Select(&print);
    EXPECT_EQ(hints.Window(), nullptr);
    timers.Advance(QApplication::style()->styleHint(QStyle::SH_ToolTip_WakeUpDelay));
    auto* shown = Found(dynamic_cast<THintWindow*>(hints.Window()), "the hint after the pause");
    EXPECT_EQ(shown->Text(), print.statusTip());
    EXPECT_LE(shown->width(), QGuiApplication::primaryScreen()->geometry().width() / 4);
    hints.Select(&setup);
    EXPECT_NE(hints.Window(), nullptr) << "the next hint at once";
    EXPECT_EQ(hints.Text(), QStringLiteral("Margins"));
    // A palette entry shows its palette hint in the palette's hint window.
    TPaletteMenuItem palette(nullptr, form.get());
    palette.setText(QStringLiteral("&Comment"));
    hints.Select(&palette);
    EXPECT_EQ(hints.Window(), nullptr) << "without a hint of its own";
    palette.setToolTip(QStringLiteral("Comment: a note"));
    hints.Select(&palette);
    timers.Advance(QApplication::style()->styleHint(QStyle::SH_ToolTip_WakeUpDelay));
    EXPECT_NE(dynamic_cast<TPaletteHintWindow*>(hints.Window()), nullptr);
    EXPECT_EQ(hints.Text(), QStringLiteral("Comment: a note"));
    for (QAction* none : {static_cast<QAction*>(nullptr), form->Menu(TMainMenu::File).actions().first()}) {
        hints.Select(&print);
        hints.Select(none);
        EXPECT_EQ(hints.Window(), nullptr);
        EXPECT_FALSE(hints.Waiting());
    }
}

// A kind with two menu verbs that records the verbs run; never offered in a
// file dialog, so the other tests do not meet it.
class TVerbKind : public TProgramSchemeDescriptor {
public:
    QString GetName() const override { return QStringLiteral("Verbs"); }
    QString GetFileExtension() const override { return QStringLiteral("vrb"); }
    int GetOrder() const override { return 1; }
    bool IsFileDialogKind() const override { return false; }
    int GetVerbCount() const override { return 2; }
    void GetVerb(int index, QString& caption, int& shortcut) const override {
        caption = QStringLiteral("Verb %1").arg(index);
        shortcut = index == 0 ? (Qt::CTRL | Qt::Key_9).toCombined() : 0;
    }
    void ExecuteOperation(TElement*, int operationId, const QStringList&) const override { Ran << operationId; }
    mutable QList<int> Ran;
};

TEST_F(MainFormTest, TheToolsMenuHoldsTheVerbsOfTheActiveDocumentsKindAndRunsThem) {
    static TVerbKind verbs;
    static const bool registered = (RegisterSchemeDescriptor(verbs), true);
    ASSERT_TRUE(registered);
    const auto verbCaptions = [this] {
        QStringList captions;
        for (QAction* item : form->Menu(TMainMenu::Tools).actions()) {
            if (item->isSeparator()) break;
            captions << item->text();
        }
        return captions;
    };
    Start();
    form->Startup();
    EXPECT_TRUE(verbCaptions().isEmpty()) << "the program kind has none";
    form->Documentor().New(false, int(SchemeDescriptors().Items().indexOf(&verbs)) + 1);
    ASSERT_EQ(&Found(Active(), "a document of the kind")->Descriptor(), &verbs);
    EXPECT_EQ(verbCaptions(), (QStringList{"Verb 0", "Verb 1"}));
    EXPECT_EQ(form->Menu(TMainMenu::Tools).actions().first()->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_9));
    form->Menu(TMainMenu::Tools).actions().at(1)->trigger();
    EXPECT_EQ(verbs.Ran, QList<int>{1});
    global->Settings().General()->Language()->SetValue(QStringLiteral("DEU"));
    global->Settings().General()->Language()->SetValue(QStringLiteral("ENU"));
    EXPECT_EQ(verbCaptions().size(), 2) << "rebuilt, not added again";
    form->EditorAppActions().FileNew()->trigger();
    EXPECT_TRUE(verbCaptions().isEmpty());
}

}  // namespace

// The Tools and Help entries that show a dialog show it over the window: each
// dialog is closed as soon as it is the active modal window.
TEST_F(MainFormTest, SettingsAndAboutEntriesShowTheirDialogs) {
    Start();
    const std::vector<std::pair<QAction*, std::function<bool(QWidget*)>>> entries{
        {&form->Action(TMainAction::ToolsSettings), [](QWidget* w) { return dynamic_cast<TSettingsForm*>(w) != nullptr; }},
        {form->AppActions().HelpAbout(), [](QWidget* w) { return dynamic_cast<TAboutForm*>(w) != nullptr; }},
    };
    for (const auto& [action, isItsDialog] : entries) {
        bool shown = false;
        QTimer::singleShot(0, [&] {
            if (QWidget* modal = QApplication::activeModalWidget()) {
                shown = isItsDialog(modal);
                modal->close();
            }
        });
        action->trigger();
        EXPECT_TRUE(shown) << action->objectName().toStdString();
    }
}

// A settings link of the log opens the settings dialog on the link's page
// while the window lives; afterwards nothing answers it.
TEST_F(MainFormTest, ALogsSettingsLinkShowsTheSettingsDialogOnItsPageWhileTheWindowLives) {
    const auto installed = [] {
        TSettingsLinkHandler handler = InstallSettingsLinkHandler(nullptr);
        InstallSettingsLinkHandler(handler);
        return handler;
    };
    Start();
    const TSettingsLinkHandler handler = installed();
    ASSERT_TRUE(handler);
    bool onNaming = false;
    QTimer::singleShot(0, [&] {
        if (auto* dialog = dynamic_cast<TSettingsForm*>(QApplication::activeModalWidget())) {
            onNaming = dialog->ShownPage() == dialog->FindPage(QStringLiteral("Naming"));
            dialog->close();
        }
    });
    handler(QStringLiteral("Naming"));
    EXPECT_TRUE(onNaming);
    form.reset();
    EXPECT_FALSE(installed());
}

// Without a stored placement the window does not open shrunk to its
// contents; a stored one still wins when the window shows.
TEST_F(MainFormTest, AFirstStartOpensTheWindowOverMostOfTheScreenNotShrunkToItsContents) {
    Start();
    const QSize screen = QGuiApplication::primaryScreen()->availableGeometry().size();
    EXPECT_GE(form->width(), screen.width() * 2 / 3);
    EXPECT_GE(form->height(), screen.height() * 2 / 3);
}
