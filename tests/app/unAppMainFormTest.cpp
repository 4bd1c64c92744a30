// The program's window as main makes it, offscreen, with the user's files in
// a temporary XDG tree: a declaration typed into a program module is saved
// with a backup and previewed as a unit that compiles; and the program
// itself run in batch mode.

#include "app/unAppMainForm.h"
#include "app/unGlobal.h"
#include "app/unRightSubForm.h"
#include "core/cuProps.h"
#include "pascal/elements/prScheme.h"
#include "pascal/generation/prPascalUnitGenerator.h"
#include "pascal/generator/psTestSupport.h"
#include "platform/plDialogs.h"
#include "scheme/diCanvas.h"
#include "scheme/diClasses.h"
#include "scheme/diSheet.h"
#include "support/testEnvironment.h"
#include "support/testEnglish.h"
#include "ui/baSaper.h"
#include "ui/diEditForm.h"
#include "ui/diPaletteForm.h"
#include "ui/diSheetForm.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QMultiMap>
#include <QProcess>
#include <QSplitter>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <iostream>

namespace {

constexpr int kPreviewWaitMs = 20000;
constexpr int kProgramWaitMs = 60000;

// A new program module saved under that name.
void WriteProgramModule(const QString& fileName, TSheetSettings* settings) {
    TSchemeDocument document(ProgramSchemeDescriptor(), settings);
    document.InitNew();
    document.SaveAs(fileName);
}

// The unit generated from the file as it is now.
QString UnitOfFile(const QString& fileName, TSheetSettings* settings) {
    TSchemeDocument document(ProgramSchemeDescriptor(), settings);
    document.Open(fileName);
    std::unique_ptr<TScheme> copy = LoadPrivateCopy(document.Scheme());
    return GeneratePascalUnit(copy->Root(), {QFileInfo(fileName).completeBaseName(), true});
}

QString CompileComplaint(const QString& unitName, const QString& text) {
    TFpcHarness fpc;
    fpc.Add(unitName, text);
    return fpc.CompileAndRun(QString(), nullptr);
}

// Waits until the preview shows the text; false when it never did.
bool PreviewShows(const TRightSubForm& preview, const QString& text) {
    return QTest::qWaitFor([&] { return preview.Text().contains(text); }, kPreviewWaitMs);
}

class AppWindowTest : public ::testing::Test {
protected:
    ~AppWindowTest() override {
        form.reset();
        global.reset();
        QDir::setCurrent(m_oldFolder);
    }
    QString Path(const QString& name) const { return files.filePath(name); }
    std::unique_ptr<TGlobal> MakeGlobal(QStringList params) const {
        return TGlobal::Create({std::move(params), {"TestCo", "TestProduct", "1.0"}, QLocale(QLatin1String("en_US"))});
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
    std::unique_ptr<TAppMainForm> form;

private:
    QString m_oldFolder = QDir::currentPath();
};

TEST_F(AppWindowTest, ADeclarationTypedIsSavedWithABackupAndPreviewedAsAUnitThatCompiles) {
    {
        const std::unique_ptr<TGlobal> writer = MakeGlobal({});
        WriteProgramModule(Path("Quill.prm"), writer->Settings().Sheet());
    }
    global = MakeGlobal({Path("Quill.prm")});
    form = StartMainWindow(*global);
    ASSERT_TRUE(form->isVisible());
    form->resize(1000, 600);
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    ASSERT_TRUE(QTest::qWaitFor([&] { return form->ActiveSchemeDocument() != nullptr; }));
    TRightSubForm* preview = form->Preview();
    ASSERT_NE(preview, nullptr);
    ASSERT_TRUE(PreviewShows(*preview, QStringLiteral("unit Quill;"))) << preview->Text().toStdString();

    // A new element takes the focus, as the user chose.
    global->Settings().Sheet()->FocusNewProperty()->SetValue(true);
    QWidget& box = form->EditForm()->SheetForm().RangeBox();
    box.setFocus();
    // A field: its palette key with Ctrl held; the palette runs it from the event queue.
    QTest::keyPress(&box, Qt::Key_Control, Qt::ControlModifier);
    QTest::keyClick(&box, Qt::Key_E, Qt::ControlModifier);
    QTest::keyRelease(&box, Qt::Key_Control);
    TSheet* sheet = form->ActiveSchemeDocument()->MainSheet();
    const TVisualElement* root = sheet->Focused();
    ASSERT_TRUE(QTest::qWaitFor([&] { return sheet->Focused() != root; })) << "the new field takes the focus";
    QTest::keyClicks(&box, QStringLiteral("Counter"));
    QTest::keyClick(&box, Qt::Key_Right);  // on into the type, which holds a proposal
    QTest::keyClick(&box, Qt::Key_End, Qt::ShiftModifier);
    QTest::keyClicks(&box, QStringLiteral("Integer"));
    QTest::keyClick(&box, Qt::Key_Return);
    QTest::keyClick(&box, Qt::Key_S, Qt::ControlModifier);

    EXPECT_FALSE(form->ActiveSchemeDocument()->Modified());
    EXPECT_TRUE(QFile::exists(Path("Quill.~prm"))) << "the backup of the file as it was";
    const QString saved = UnitOfFile(Path("Quill.prm"), global->Settings().Sheet());
    EXPECT_TRUE(saved.contains(QLatin1String("Counter: Integer;"))) << "the file loaded again holds the field\n" << saved.toStdString();

    ASSERT_TRUE(PreviewShows(*preview, QStringLiteral("Counter: Integer;"))) << preview->Text().toStdString();
    const QString unit = preview->Text();
    if (qEnvironmentVariableIsSet("QUILLANE_SHOW_PREVIEW")) std::cerr << unit.toStdString() << "\n";
    EXPECT_TRUE(unit.startsWith(QLatin1String("unit Quill;"))) << unit.toStdString();
    if (TFpcHarness::Available()) {
        EXPECT_EQ(CompileComplaint(QStringLiteral("Quill"), unit), QString());
    }

    const QByteArray shot = qgetenv("QUILLANE_WINDOW_PNG");
    if (!shot.isEmpty()) form->grab().save(QFile::decodeName(shot));

    EXPECT_TRUE(form->close());
    EXPECT_TRUE(dialogs.SaveQuestions.empty()) << "nothing was left to ask about";
    EXPECT_TRUE(QFile::exists(global->SessionFile().FileName));
    EXPECT_TRUE(QFile::exists(global->SettingsFile().FileName));
    QFile recent(global->RecentFilesFile().FileName);
    ASSERT_TRUE(recent.open(QIODevice::ReadOnly));
    const QByteArray recentText = recent.readAll();
    EXPECT_TRUE(recentText.contains("Quill.prm"));
    EXPECT_TRUE(recentText.contains("SheetData")) << "the view state of the closed file";
}

TEST_F(AppWindowTest, ThePreviewKeepsItsShareOfTheWidthAfterTheSplitterMoved) {
    global = MakeGlobal({});
    form = StartMainWindow(*global);
    form->resize(1000, 600);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    EXPECT_NEAR(form->Preview()->width(), 550, 10) << "the default ratio leaves 45 % to the left";
    QSplitter* splitter = form->Splitter();
    splitter->setSizes({700, splitter->width() - splitter->handleWidth() - 700});
    emit splitter->splitterMoved(700, 1);
    form->resize(2000, 600);
    ASSERT_TRUE(QTest::qWaitFor([&] { return form->width() == 2000; }));
    EXPECT_NEAR(double(form->Preview()->width()) / form->width(), 1.0 - form->Ratio(), 0.01);
    EXPECT_LT(form->Ratio(), 0.75);
    EXPECT_GT(form->Ratio(), 0.65);
}

TEST_F(AppWindowTest, AtTheDefaultSizeThePalettesRowOfGroupsShowsWholeLeftOfThePreview) {
    global = MakeGlobal({});
    form = StartMainWindow(*global);  // the size the window takes by itself
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    const TPaletteForm& palette = form->EditForm()->PaletteForm();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !palette.Panels().empty(); })) << "the start-up document's groups";
    QCoreApplication::processEvents();  // the layouts settle
    const int paneRight = form->Preview()->mapTo(form.get(), QPoint(0, 0)).x() - form->Splitter()->handleWidth();
    for (const TPanelEx* panel : palette.Panels()) {
        const QRect shown = QRect(panel->mapTo(form.get(), QPoint(0, 0)), panel->size());
        EXPECT_LE(shown.right(), paneRight) << "a group (and its heading) runs under the preview";
        EXPECT_LE(panel->geometry().right(), palette.width() - 1) << "a group runs out of the palette";
    }
}

// The window shows at the size it was given before showing (as the program
// starts it): the preview takes its share of that width at once.
TEST_F(AppWindowTest, ThePreviewTakesItsShareOfTheWidthTheWindowFirstShowsWith) {
    global = MakeGlobal({});
    form = StartMainWindow(*global);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    EXPECT_NEAR(double(form->Preview()->width()) / form->width(), 1.0 - TAppMainForm::kDefaultRatio, 0.02);
}

TEST_F(AppWindowTest, NoKeyIsTheShortcutOfTwoActionsOfTheWindowAndF1IsTheOnlineHelp) {
    global = MakeGlobal({});
    form = StartMainWindow(*global);
    QMultiMap<QString, QString> actionsOfKey;
    for (QAction* action : form->findChildren<QAction*>()) {
        // A sheet form's own keys act only where the focus is.
        if (action->shortcutContext() == Qt::WidgetShortcut || action->shortcutContext() == Qt::WidgetWithChildrenShortcut)
            continue;
        for (const QKeySequence& key : action->shortcuts())
            actionsOfKey.insert(key.toString(), action->objectName() + u'/' + action->text());
    }
    for (const QString& key : actionsOfKey.uniqueKeys())
        EXPECT_EQ(actionsOfKey.count(key), 1) << key.toStdString() << ": "
                                              << actionsOfKey.values(key).join(u", ").toStdString();
    EXPECT_EQ(form->Action(TMainAction::HelpOnlineHelp).shortcut(), QKeySequence(Qt::Key_F1));
}

// The program itself, offscreen.
class ProgramRunTest : public AppWindowTest {
protected:
    int Run(const QStringList& arguments, QByteArray* errors = nullptr) const {
        QProcess program;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        environment.insert(QStringLiteral("XDG_DATA_HOME"), xdg.path());
        program.setProcessEnvironment(environment);
        program.start(QStringLiteral(QUILLANE_PROGRAM), arguments);
        if (!program.waitForFinished(kProgramWaitMs)) {
            program.kill();
            program.waitForFinished();
            return -1;
        }
        if (errors) *errors = program.readAllStandardError();
        return program.exitStatus() == QProcess::NormalExit ? program.exitCode() : -2;
    }
    // Whether the data folder holds a session file.
    bool SessionWritten() const {
        QDirIterator it(xdg.path(), {QStringLiteral("*.session")}, QDir::Files, QDirIterator::Subdirectories);
        return it.hasNext();
    }
};

TEST_F(ProgramRunTest, ExitSaveRewritesBothFilesWithBackupsWritesNoSessionAndAnUnknownFileEndsWithOne) {
    {
        const std::unique_ptr<TGlobal> writer = MakeGlobal({});
        WriteProgramModule(Path("Alpha.prm"), writer->Settings().Sheet());
        WriteProgramModule(Path("Beta.prm"), writer->Settings().Sheet());
    }
    std::unique_ptr<TGlobal> reader = MakeGlobal({});
    const QString alpha = UnitOfFile(Path("Alpha.prm"), reader->Settings().Sheet());
    const QString beta = UnitOfFile(Path("Beta.prm"), reader->Settings().Sheet());
    reader.reset();
    QDir(xdg.path()).removeRecursively();
    QDir().mkpath(xdg.path());

    EXPECT_EQ(Run({QStringLiteral("-exit"), QStringLiteral("-save"), Path("Alpha.prm"), Path("Beta.prm")}), 0);
    EXPECT_TRUE(QFile::exists(Path("Alpha.~prm")));
    EXPECT_TRUE(QFile::exists(Path("Beta.~prm")));
    EXPECT_FALSE(SessionWritten()) << "a batch run writes no session";
    reader = MakeGlobal({});
    EXPECT_EQ(UnitOfFile(Path("Alpha.prm"), reader->Settings().Sheet()), alpha);
    EXPECT_EQ(UnitOfFile(Path("Beta.prm"), reader->Settings().Sheet()), beta);
    if (TFpcHarness::Available()) {
        EXPECT_EQ(CompileComplaint(QStringLiteral("Alpha"), alpha), QString());
    }
    reader.reset();

    QFile notes(Path("notes.xyz"));
    ASSERT_TRUE(notes.open(QIODevice::WriteOnly));
    notes.close();
    QByteArray errors;
    EXPECT_EQ(Run({QStringLiteral("-exit"), Path("notes.xyz")}, &errors), 1);
    EXPECT_TRUE(errors.contains("notes.xyz")) << errors.toStdString();
}

// A file that does not parse whole was saved back by `-exit -save` as the
// little that could be read, and the run ended with success.
TEST_F(ProgramRunTest, ExitSaveLeavesAFileThatDoesNotParseAsItIsAndEndsWithOne) {
    QByteArray garbage(100000, '\0');
    for (qsizetype i = 0; i < garbage.size(); ++i) garbage[i] = char((i * 7919 + 13) % 251);
    QFile file(Path("Damaged.prm"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(garbage);
    file.close();
    QByteArray errors;
    EXPECT_EQ(Run({QStringLiteral("-exit"), QStringLiteral("-save"), Path("Damaged.prm")}, &errors), 1);
    EXPECT_TRUE(errors.contains("Damaged.prm")) << errors.toStdString();
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), garbage) << "the file is left as it was";
    EXPECT_FALSE(QFile::exists(Path("Damaged.~prm")));
}

}  // namespace
