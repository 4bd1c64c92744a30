#include "core/baDocum.h"
#include "core/cuKnot.h"
#include "core/cuStringIds.h"
#include "core/cuUtils.h"
#include "platform/plFileIcons.h"
#include "platform/plFiles.h"
#include "platform/plImageList.h"
#include "support/testEnglish.h"
#include "support/testFiles.h"
#include "support/testRaise.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QWidget>

#include <gtest/gtest.h>

#include <cerrno>
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

    void Type(const QString& text);
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

class TTypeOperation : public TOperation {
public:
    TTypeOperation(TTextDocument* document, QString text) : m_document(document), m_text(std::move(text)) {}

protected:
    void DoExecute() override { std::swap(m_document->Text, m_text); }
    void DoUndo() override { std::swap(m_document->Text, m_text); }

private:
    TTextDocument* m_document;
    QString m_text;
};

void TTextDocument::Type(const QString& text) { UndoRedo().Execute(MakeNode<TTypeOperation>(this, text)); }

// Fails the n-th call (from 1) of one step of the real file layer, as a full disk would.
class TFailingStep : public TFileLayer {
public:
    enum Step { AtCreate, AtWrite, AtSync, AtClose, AtRename };
    TFailingStep(Step step, int nth) : m_step(step), m_nth(nth) {}

    int CreateExclusive(const QString& path) override {
        return Fails(AtCreate) ? Fail(-1) : TFileLayer::CreateExclusive(path);
    }
    int64_t Write(int fd, const char* data, int64_t size) override {
        if (!Fails(AtWrite)) return TFileLayer::Write(fd, data, size);
        TFileLayer::Write(fd, data, size / 2);
        return Fail(-1);
    }
    bool Sync(int fd) override { return Fails(AtSync) ? Fail(false) : TFileLayer::Sync(fd); }
    bool Close(int fd) override {
        const bool closed = TFileLayer::Close(fd);
        return Fails(AtClose) ? Fail(false) : closed;
    }
    bool Rename(const QString& from, const QString& to) override {
        return Fails(AtRename) ? Fail(false) : TFileLayer::Rename(from, to);
    }

private:
    bool Fails(Step step) { return step == m_step && ++m_calls == m_nth; }
    template <class T>
    T Fail(T result) {
        SetError(ENOSPC);
        return result;
    }
    Step m_step;
    int m_nth;
    int m_calls = 0;
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
    TTextDocument* Open(const QString& name, const QByteArray& text) {
        EXPECT_TRUE(WriteTestFile(Path(name), text));
        return static_cast<TTextDocument*>(docs.OpenFile(Path(name)));
    }

    TEnglishTexts english;
    QTemporaryDir dir;
    TFakeDialogs dialogs;
    TDialogsInstaller installDialogs{&dialogs};
    QWidget form;
    TSessionFile session;
    TRecentFiles recent;
    TOpenSaveDialog dialog;
    TDocumentor docs;  // goes first
};

TEST_F(DocumentorTest, TheFirstSaveBacksUpOnceAndAFailedBackupNeitherStopsTheSaveNorHarmsAnOlderOne) {
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
    {
        TFailingStep fail(TFailingStep::AtRename, 1);  // the backup's
        TInstaller<TFileLayer> install(&fail);
        docs.Save();
    }
    EXPECT_EQ(Read("b.~txt"), "older");
    EXPECT_EQ(Read("b.txt"), "new b");
    EXPECT_FALSE(b->Modified());
    EXPECT_EQ(Files(), (QStringList{"a.txt", "b.txt", "b.~txt"})) << "no temporary file stays";
}

TEST_F(DocumentorTest, AFailedSaveOrSaveAsKeepsTheOldFileNameAndModifiedStateAndReportsFileAndReason) {
    TTextDocument* a = Open("a.txt", "old");
    ASSERT_TRUE(WriteTestFile(Path("b.txt"), "other"));
    a->Type("new");
    for (auto step : {TFailingStep::AtCreate, TFailingStep::AtWrite, TFailingStep::AtSync, TFailingStep::AtClose,
                      TFailingStep::AtRename}) {
        for (bool saveAs : {false, true}) {
            SCOPED_TRACE(testing::Message() << "step " << step << (saveAs ? " Save As" : " Save"));
            TFailingStep fail(step, 1);
            TInstaller<TFileLayer> install(&fail);
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
    EXPECT_TRUE(recent.FileNames().isEmpty());
}

TEST_F(DocumentorTest, TheSaveQuestionsAnswersCancelDoNotSaveAndSave) {
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
    EXPECT_EQ(q.Text, "Save changes in \"a\"?");
    EXPECT_EQ(q.Caption, "Quillane");
    EXPECT_EQ(q.SaveButton, "Save");
    EXPECT_EQ(q.DontSaveButton, "Do\u00A0not Save");
    EXPECT_EQ(q.CancelButton, "Cancel");
}

TEST_F(DocumentorTest, ASaveThatFailsOrIsCancelledInsideTheQuestionKeepsTheDocumentOpenAndModified) {
    TTextDocument* a = Open("a.txt", "old");
    a->Type("new");
    dialogs.SaveAnswers = {TSaveAnswer::Save};
    {
        TFailingStep fail(TFailingStep::AtWrite, 1);
        TInstaller<TFileLayer> install(&fail);
        EXPECT_FALSE(docs.CloseAll());
    }
    EXPECT_EQ(docs.DocumentCount(), 1);
    EXPECT_TRUE(a->Modified());
    ASSERT_EQ(dialogs.Boxes.size(), 1u);
    EXPECT_EQ(dialogs.Boxes[0].Caption, "Error");
    EXPECT_EQ(dialogs.Boxes[0].Flags, MsgBox::IconError);
    EXPECT_TRUE(dialogs.Boxes[0].Text.contains(Path("a.txt")));

    auto* untitled = static_cast<TTextDocument*>(docs.New(false, 0));
    untitled->Type("x");
    dialogs.SaveAnswers = {TSaveAnswer::Save};  // and the Save As dialog is cancelled
    EXPECT_FALSE(docs.QueryCloseDocument());
    EXPECT_TRUE(untitled->Modified());
    ASSERT_EQ(dialogs.FileDialogs.size(), 1u);
    EXPECT_EQ(dialogs.FileDialogs[0].Kind, TFileDialogKind::Save);
    EXPECT_EQ(dialogs.FileDialogs[0].Params.FileName, "Untitled");
    EXPECT_EQ(dialogs.FileDialogs[0].Params.DefaultExt, "txt");
    EXPECT_EQ(dialogs.FileDialogs[0].Params.Filter, "Text (*.txt)|*.txt|All Files (*.*)|*.*");
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
    EXPECT_EQ(WaitDepth(), 0);

    dialogs.SaveAnswers = {TSaveAnswer::DontSave};
    TTextDocument* b = Open("b.txt", "b");
    EXPECT_EQ(docs.ActiveDocument(), b);
    EXPECT_EQ(TTextDocument::Live, 1);
    EXPECT_EQ(Read("a.txt"), "a");
}

// Notifications and events in the order they come.
class TNotificationLog {
public:
    explicit TNotificationLog(TDocumentor& docs) : m_docs(docs) {
        docs.AddHandler(MakeHandler<&TNotificationLog::OnMsg>(this));
        docs.OnTitleChange = [this] { Lines << "OnTitleChange"; };
        docs.OnSwitch = [this] { Lines << "OnSwitch"; };
        docs.OnModifiedChange = [this] { Lines << "OnModifiedChange"; };
        docs.OnUpdateAppActions = [this] { Lines << "OnUpdateAppActions"; };
        docs.OnUpdateUndoRedoActions = [this] { Lines << "OnUpdateUndoRedoActions"; };
    }
    ~TNotificationLog() { m_docs.RemoveHandler(MakeHandler<&TNotificationLog::OnMsg>(this)); }
    QStringList Lines;

private:
    void OnMsg(TItfObject*, int msg, intptr_t, intptr_t) { Lines << QString::number(msg); }
    TDocumentor& m_docs;
};

TEST_F(DocumentorTest, SwitchingTellsTitleSwitchModifiedActionsAndUndoInThisOrder) {
    TTextDocument* a = Open("a.txt", "a");
    Open("b.txt", "b");
    TNotificationLog log(docs);
    docs.SetActiveDocument(a);
    EXPECT_EQ(log.Lines, (QStringList{"3", "OnTitleChange", "2", "OnSwitch", "OnModifiedChange", "4",
                                      "OnUpdateAppActions", "5", "OnUpdateUndoRedoActions"}));
    EXPECT_EQ(form.windowTitle(), "a - Quillane");
    log.Lines.clear();
    a->Type("x");
    EXPECT_EQ(log.Lines, (QStringList{"OnModifiedChange", "5", "OnUpdateUndoRedoActions"}));
}

TEST_F(DocumentorTest, StartupOpensTheCommandLinesFilesAndReportsOneOfUnknownType) {
    ASSERT_TRUE(WriteTestFile(Path("a.txt"), "a"));
    ASSERT_TRUE(WriteTestFile(Path("b.TXT"), "b"));
    TCommandLine line({Path("a.txt"), "x.zzz", "y.qqq", "-save", Path("b.TXT")});
    docs.SetCommandLine(&line);
    docs.Options |= doOpenFilesFromCommandLine | doAutoCreateDoc;
    docs.Startup();
    ASSERT_EQ(docs.DocumentCount(), 2);
    EXPECT_EQ(docs.Document(1)->FileName(), Path("b.TXT"));
    ASSERT_EQ(dialogs.Boxes.size(), 1u);
    EXPECT_EQ(dialogs.Boxes[0].Text, "Unknown type of file: x.zzz");
    EXPECT_EQ(dialogs.Boxes[0].Caption, "Error");
    EXPECT_EQ(dialogs.Boxes[0].Flags, MsgBox::IconError);
    EXPECT_EQ(line.Params().size(), 5) << "taken from a copy";

    TCommandLine none(QStringList{});
    TDocumentor other;
    other.OnCreateDocument = docs.OnCreateDocument;
    other.SetCommandLine(&none);
    other.Options = doOpenFilesFromCommandLine | doAutoCreateDoc;
    other.Startup();
    ASSERT_EQ(other.DocumentCount(), 1);
    EXPECT_EQ(other.ActiveDocument()->GetDisplayName(), "Untitled");
}

TEST_F(DocumentorTest, SavingThroughASymbolicLinkKeepsTheLinkAndChangesItsTarget) {
    docs.Options |= doBackupFiles;
    ASSERT_TRUE(WriteTestFile(Path("target.txt"), "old"));
    ASSERT_TRUE(QFile::link(Path("target.txt"), Path("link.txt")));
    auto* d = static_cast<TTextDocument*>(docs.OpenFile(Path("link.txt")));
    d->Type("new");
    docs.Save();
    EXPECT_TRUE(QFileInfo(Path("link.txt")).isSymLink());
    EXPECT_EQ(Read("target.txt"), "new");
    EXPECT_EQ(Read("link.~txt"), "old");
}

TEST(FileIconCache, AddsEachTypeOnceByExtensionAndKeepsNothingWithoutAnIcon) {
    TFakeFileIcons icons;
    TFileIconsInstaller install(&icons);
    QImage text(16, 16, QImage::Format_ARGB32);
    text.fill(Qt::transparent);
    text.setPixelColor(0, 0, Qt::red);
    icons.ByExtension["txt"] = text;
    icons.Folder = text;
    TImageList list(12, 12);
    TFileIconCache cache(list);
    EXPECT_EQ(cache.FileIconIndex("/a/x.txt"), 0);
    EXPECT_EQ(cache.FileIconIndex("/b/y.TXT"), 0);
    EXPECT_EQ(cache.FileIconIndex("/c/z.bin"), -1);
    EXPECT_EQ(cache.FileIconIndex("/c/z.bin"), -1);
    EXPECT_EQ(cache.FolderIconIndex("/no/such/folder"), 1);
    EXPECT_EQ(cache.FolderIconIndex("/"), 1);
    EXPECT_EQ(icons.Asked, (QStringList{"/a/x.txt", "/c/z.bin", "/c/z.bin", "/"})) << "a missing folder asks for the root's";
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(list.Image(0).pixelColor(11, 11), QColor(Qt::white)) << "drawn on white";
    EXPECT_GT(list.Image(0).pixelColor(0, 0).red(), 200);
}

}  // namespace
