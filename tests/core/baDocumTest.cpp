#include "core/baDocum.h"
#include "core/cuKnot.h"
#include "core/cuStringIds.h"
#include "core/cuUtils.h"
#include "platform/plFileIcons.h"
#include "platform/plImageList.h"
#include "support/testBroadcasts.h"
#include "support/testDevices.h"
#include "support/testEnglish.h"
#include "support/testFailingFiles.h"
#include "support/testFiles.h"
#include "support/testRaise.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QWidget>

#include <gtest/gtest.h>

#include <cstring>

namespace {

// A document of plain text that keeps a scroll position as its view state.
class TTextDocument : public TDocument {
public:
    TTextDocument() { ++Live; }
    ~TTextDocument() override { --Live; }
    static inline int Live = 0;

    QString Text;
    int Scroll = 0;

    // An edit: the text changes through one undo step.
    void Type(const QString& text) {
        Text = text;
        UndoRedo().Execute(MakeNode<TOperation>());
    }
    void RestoreState(TKnot* knot) override { Scroll = knot->ReadInt(u"Scroll", 0); }
    void StoreState(TKnot* knot) override { knot->WriteInt("Scroll", Scroll); }

protected:
    void LoadFromFile(const QString& fileName) override {
        QFile file(fileName);
        if (!file.open(QIODevice::ReadOnly)) RaiseFileNotFound(fileName);
        Text = QString::fromUtf8(file.readAll());
    }
    void SaveToFile(const QString& fileName) override { KnotText::WriteFileAtomically(fileName, Text.toUtf8()); }
};

class DocumentorTest : public ::testing::Test {
protected:
    DocumentorTest() : docs(&form) {
        recent.SetSessionFile(&session);
        docs.SetRecentFiles(&recent);
        docs.SetOpenSaveDialog(&dialog);
        dialog.FileFilters.AddFilter("txt", "Text");
        docs.OnCreateDocument = [](int) { return std::make_unique<TTextDocument>(); };
    }

    QString Path(const QString& name) const { return dir.filePath(name); }
    QByteArray Read(const QString& name) const {
        QFile file(Path(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
    }
    QStringList Files() const { return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name); }
    void Fail(TFailingFiles::Step step, int call = 0) {
        files.failAt = step;
        files.failCall = call;
    }
    TTextDocument* Open(const QString& name, const QByteArray& text) {
        EXPECT_TRUE(WriteTestFile(Path(name), text));
        return static_cast<TTextDocument*>(docs.OpenFile(Path(name)));
    }

    TEnglishTexts english;
    QTemporaryDir dir;
    TFakeDialogs dialogs;
    TDialogsInstaller installDialogs{&dialogs};
    TFailingFiles files;
    TInstaller<TFileLayer> installFiles{&files};
    QWidget form;
    TSessionFile session;
    TRecentFiles recent;
    TOpenSaveDialog dialog;
    TDocumentor docs;  // goes first
};

TEST_F(DocumentorTest, TheFirstSaveBacksUpOnceAFailedBackupNeitherStopsTheSaveNorHarmsAnOlderOneLinksStay) {
    docs.Options |= doBackupFiles;
    TTextDocument* a = Open("a.txt", "old");
    a->Type("new");
    docs.Save();
    EXPECT_EQ(Read("a.~txt"), "old");
    EXPECT_EQ(Read("a.txt"), "new");
    EXPECT_FALSE(a->UndoRedo().CanUndo()) << "the history goes with a save";
    QFile::remove(Path("a.~txt"));
    a->Type("newer");
    docs.Save();
    EXPECT_FALSE(QFile::exists(Path("a.~txt"))) << "one backup a run";

    ASSERT_TRUE(WriteTestFile(Path("b.~txt"), "older"));
    TTextDocument* b = Open("b.txt", "old b");
    b->Type("new b");
    Fail(TFailingFiles::AtRename, 1);  // the backup's
    docs.Save();
    EXPECT_EQ(Read("b.~txt"), "older");
    EXPECT_EQ(Read("b.txt"), "new b");
    EXPECT_FALSE(b->Modified());
    EXPECT_EQ(Files(), (QStringList{"a.txt", "b.txt", "b.~txt"})) << "no temporary file stays";

    // Through a symbolic link: the link stays and leads to the new content.
    ASSERT_TRUE(QFile::link(Path("a.txt"), Path("link.txt")));
    docs.OpenFile(Path("link.txt"));
    static_cast<TTextDocument*>(docs.ActiveDocument())->Type("through the link");
    docs.Save();
    EXPECT_TRUE(QFileInfo(Path("link.txt")).isSymLink());
    EXPECT_EQ(Read("a.txt"), "through the link");
    EXPECT_EQ(Read("link.~txt"), "newer");
}

// Opening a pipe for reading would wait for a writer that never comes.
TEST_F(DocumentorTest, ABackupNeverWaitsOnAFileReplacedByAPipe) {
    docs.Options |= doBackupFiles;
    Open("a.txt", "old")->Type("new");
    ASSERT_TRUE(QFile::remove(Path("a.txt")) && MakeNamedPipe(Path("a.txt")));
    docs.Save();
    EXPECT_EQ(Read("a.txt"), "new");
    EXPECT_EQ(Files(), QStringList{"a.txt"});
}

TEST_F(DocumentorTest, AFailedSaveOrSaveAsKeepsTheOldFileNameAndModifiedStateAndReportsFileAndReason) {
    TTextDocument* a = Open("a.txt", "old");
    ASSERT_TRUE(WriteTestFile(Path("b.txt"), "other"));
    a->Type("new");
    for (auto step : {TFailingFiles::AtCreate, TFailingFiles::AtWrite, TFailingFiles::AtSync, TFailingFiles::AtClose,
                      TFailingFiles::AtRename}) {
        for (bool saveAs : {false, true}) {
            SCOPED_TRACE(testing::Message() << "step " << step << (saveAs ? " Save As" : " Save"));
            Fail(step);
            if (saveAs) dialogs.FileAnswers.push_back(QStringList{Path("b.txt")});
            try {
                saveAs ? docs.SaveAs() : docs.Save();
                ADD_FAILURE() << "no error";
            } catch (const Exception& e) {
                EXPECT_EQ(e.Id(), strCannotCreateFile);
                EXPECT_TRUE(e.Text().contains(Path(saveAs ? "b.txt" : "a.txt"))) << e.what();
                EXPECT_TRUE(e.Text().contains(QString::fromLocal8Bit(std::strerror(ENOSPC)))) << e.what();
            }
            EXPECT_EQ(Read("a.txt"), "old");
            EXPECT_EQ(Read("b.txt"), "other");
            EXPECT_TRUE(a->Modified());
            EXPECT_EQ(a->FileName(), Path("a.txt"));
            EXPECT_EQ(WaitDepth(), 0);
            EXPECT_EQ(Files(), (QStringList{"a.txt", "b.txt"}));
        }
    }
}

TEST_F(DocumentorTest, TheSaveQuestionsAnswersAndASaveInsideItThatFailsOrIsCancelledKeepTheDocument) {
    TTextDocument* a = Open("a.txt", "old");
    a->Type("new");
    dialogs.SaveAnswers = {TSaveAnswer::Cancel, TSaveAnswer::DontSave, TSaveAnswer::Save};
    EXPECT_FALSE(docs.QueryCloseDocument());
    EXPECT_TRUE(docs.QueryCloseDocument());
    EXPECT_EQ(Read("a.txt"), "old");
    EXPECT_TRUE(docs.QueryCloseDocument());
    EXPECT_EQ(Read("a.txt"), "new");
    EXPECT_TRUE(docs.QueryCloseDocument()) << "nothing to ask";
    ASSERT_EQ(dialogs.SaveQuestions.size(), 3u);
    const TSaveQuestion& q = dialogs.SaveQuestions[0];
    EXPECT_EQ((QStringList{q.Text, q.Caption, q.SaveButton, q.DontSaveButton, q.CancelButton}),
              (QStringList{"Save changes in \"a\"?", "Quillane", "Save", "Do\u00A0not Save", "Cancel"}));

    // A save that fails inside the question is shown and keeps the document open and modified.
    a->Type("newer");
    dialogs.SaveAnswers = {TSaveAnswer::Save};
    Fail(TFailingFiles::AtWrite);
    EXPECT_FALSE(docs.CloseAll());
    EXPECT_EQ(docs.DocumentCount(), 1);
    EXPECT_TRUE(a->Modified());
    ASSERT_EQ(dialogs.Boxes.size(), 1u);
    EXPECT_TRUE(dialogs.Boxes[0].Text.contains(Path("a.txt")));
    EXPECT_EQ(dialogs.Boxes[0].Caption, "Error");
    EXPECT_EQ(dialogs.Boxes[0].Flags, MsgBox::IconError);

    auto* untitled = static_cast<TTextDocument*>(docs.New(false, 0));
    untitled->Type("x");
    dialogs.SaveAnswers = {TSaveAnswer::Save};  // and the Save As dialog is cancelled
    EXPECT_FALSE(docs.QueryCloseDocument());
    EXPECT_TRUE(untitled->Modified());
    ASSERT_EQ(dialogs.FileDialogs.size(), 1u);
    const TFileDialogParams& asked = dialogs.FileDialogs[0].Params;
    EXPECT_EQ(dialogs.FileDialogs[0].Kind, TFileDialogKind::Save);
    EXPECT_EQ((QStringList{asked.FileName, asked.DefaultExt, asked.Filter}),
              (QStringList{"Untitled", "txt", "Text (*.txt)|*.txt|All Files (*.*)|*.*"}));
}

TEST_F(DocumentorTest, RecentFilesAndTheCaptionFollowClosingReopeningAndSaveAs) {
    TTextDocument* a = Open("a.txt", "a");
    EXPECT_EQ(form.windowTitle(), "a - Quillane");
    a->Scroll = 7;
    docs.CloseActive();
    EXPECT_EQ(form.windowTitle(), "Quillane");
    EXPECT_EQ(recent.FileNames(), QStringList{Path("a.txt")});
    a = Open("a.txt", "a");
    EXPECT_EQ(a->Scroll, 7);
    EXPECT_TRUE(recent.FileNames().isEmpty()) << "open files are not recent";

    a->Scroll = 3;
    dialogs.FileAnswers.push_back(QStringList{Path("c.txt")});
    docs.SaveAs();
    EXPECT_EQ(dialogs.FileDialogs.back().Params.FileName, "a");
    EXPECT_EQ(Read("c.txt"), "a");
    EXPECT_EQ(form.windowTitle(), "c - Quillane");
    EXPECT_EQ(recent.FileNames(), QStringList{Path("a.txt")}) << "the old name is recent";
    EXPECT_EQ(recent.FindFile(Path("a.txt"))->ReadInt(u"Scroll", 0), 3);
    EXPECT_TRUE(docs.CloseAll());
    EXPECT_EQ(recent.FileNames(), (QStringList{Path("c.txt"), Path("a.txt")}));
}

TEST_F(DocumentorTest, WithOneDocumentCancelOpensNothingAndAFailedOpenLeavesNothingBehind) {
    docs.Options |= doSingleDoc;
    TTextDocument* a = Open("a.txt", "a");
    a->Type("changed");
    dialogs.SaveAnswers = {TSaveAnswer::Cancel};
    EXPECT_EQ(Open("b.txt", "b"), nullptr);
    EXPECT_EQ(docs.ActiveDocument(), a);
    dialogs.SaveAnswers = {TSaveAnswer::DontSave};  // the open document goes only once the new one is read
    EXPECT_EQ(RaisedId([&] { docs.OpenFile(Path("missing.txt")); }), strFileNotFound);
    EXPECT_EQ(docs.ActiveDocument(), a);
    EXPECT_EQ(TTextDocument::Live, 1);
    dialogs.SaveAnswers = {TSaveAnswer::DontSave};
    TTextDocument* b = Open("b.txt", "b");
    EXPECT_EQ(docs.ActiveDocument(), b);
    EXPECT_EQ(TTextDocument::Live, 1);
    EXPECT_EQ(Read("a.txt"), "a");
}

TEST_F(DocumentorTest, SwitchingTellsTitleSwitchModifiedActionsAndUndoInThisOrder) {
    TTextDocument* a = Open("a.txt", "a");
    Open("b.txt", "b");
    // Events go in as minus the code of their broadcast, OnModifiedChange as 0.
    TBroadcastRecorder log(&docs);
    const auto event = [&log](int code) { return [&log, code] { log.codes.push_back(-code); }; };
    docs.OnTitleChange = event(3);
    docs.OnSwitch = event(2);
    docs.OnModifiedChange = event(0);
    docs.OnUpdateAppActions = event(4);
    docs.OnUpdateUndoRedoActions = event(5);
    docs.SetActiveDocument(a);
    EXPECT_EQ(log.codes, (std::vector<int>{3, -3, 2, -2, 0, 4, -4, 5, -5}));
    EXPECT_EQ(form.windowTitle(), "a - Quillane");
    log.codes.clear();
    a->Type("x");
    EXPECT_EQ(log.codes, (std::vector<int>{0, 5, -5}));
}

TEST_F(DocumentorTest, StartupOpensTheCommandLinesFilesAndReportsOneOfUnknownType) {
    ASSERT_TRUE(WriteTestFile(Path("a.txt"), "a"));
    ASSERT_TRUE(WriteTestFile(Path("b.TXT"), "b"));
    TCommandLine line({Path("a.txt"), "x.zzz", "y.qqq", "-save", Path("b.TXT")});
    docs.SetCommandLine(&line);
    docs.Options |= doOpenFilesFromCommandLine;
    docs.Startup();
    ASSERT_EQ(docs.DocumentCount(), 2);
    EXPECT_EQ(docs.Document(1)->FileName(), Path("b.TXT"));
    ASSERT_EQ(dialogs.Boxes.size(), 1u) << "one report";
    EXPECT_EQ(dialogs.Boxes[0].Text, "Unknown type of file: x.zzz");
    EXPECT_EQ(dialogs.Boxes[0].Flags, MsgBox::IconError);
    EXPECT_EQ(line.Params().size(), 5) << "taken from a copy";
}

TEST(FileIconCache, AddsEachTypeOnceByExtensionAndKeepsNothingWithoutAnIcon) {
    TFakeFileIcons icons;
    TFileIconsInstaller install(&icons);
    QImage text(16, 16, QImage::Format_ARGB32);
    text.fill(Qt::transparent);
    text.setPixelColor(0, 0, Qt::red);
    icons.ByExtension["txt"] = icons.Folder = text;
    TImageList list(12, 12);
    TFileIconCache cache(list);
    EXPECT_EQ(cache.GetFileIconIndex("/a/x.txt"), 0);
    EXPECT_EQ(cache.GetFileIconIndex("/b/y.TXT"), 0);
    EXPECT_EQ(cache.GetFileIconIndex("/c/z.bin") + cache.GetFileIconIndex("/c/z.bin"), -2);
    EXPECT_EQ(cache.GetFolderIconIndex("/no/such/folder") + cache.GetFolderIconIndex("/"), 2);
    EXPECT_EQ(icons.Asked, (QStringList{"/a/x.txt", "/c/z.bin", "/c/z.bin", "/"})) << "a missing folder asks for the root's";
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(list.Image(0).pixelColor(11, 11), QColor(Qt::white)) << "drawn on white";
    EXPECT_GT(list.Image(0).pixelColor(0, 0).red(), 200);
}

}  // namespace
