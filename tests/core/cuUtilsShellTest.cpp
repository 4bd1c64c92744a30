// Starting documents, programs and web addresses, the open-with choice and
// message boxes: the decision logic against the fake shell, and the real XDG
// shell against fake "xdg-open" and "xdg-mime" programs placed first in PATH.

#include "core/cuClasses.h"
#include "core/cuLocalization.h"
#include "core/cuStringIds.h"
#include "core/cuUtils.h"
#include "platform/plCursor.h"
#include "platform/plDialogs.h"
#include "platform/plShell.h"
#include "support/testCases.h"
#include "support/testEnglish.h"
#include "support/testFiles.h"
#include "support/testLog.h"
#include "support/testRaise.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <stdexcept>

namespace {

// Decisions, against the fake shell

class ShellDecisions : public ::testing::Test {
protected:
    TFakeShell shell;
    TFakeDialogs dialogs;
    TFakeScreenCursor screen;
    TShellInstaller installShell{&shell};
    TDialogsInstaller installDialogs{&dialogs};
    TScreenCursorInstaller installCursor{&screen};
};

TEST_F(ShellDecisions, ResultCodesRaiseTheMatchingErrors) {
    for (const CaseRow& c : LoadCases("core/shell.txt", "ResultCodes")) {
        shell.ExecuteResult = c.Int("Code");
        bool result = false;
        EXPECT_EQ(RaisedId([&] { result = ShellOpen(c["File"]); }), c.Id("Raised")) << c.Text();
        EXPECT_EQ(result, c.Id("Raised") < 0) << c.Text();
        EXPECT_EQ(ShellOpen(c["File"], {}, {}, false), c.Id("Raised") < 0) << "no raising: " << c.Text();
    }
    EXPECT_EQ(WaitDepth(), 0);
    EXPECT_EQ(screen.Cursor(), Cursors::Default);
    // The text names the code and the file as given.
    TEnglishTexts english;
    shell.ExecuteResult = 8;
    QString text;
    try {
        ShellOpen("/x/100%d%s.txt");
    } catch (const Exception& e) {
        text = e.Text();
    }
    EXPECT_EQ(text.toStdString(), R"(ShellExecute error (8) to launch "/x/100%d%s.txt")");
}

TEST_F(ShellDecisions, NoAssociationLeadsToTheOpenWithChoice) {
    for (int code : {ShellResult::NoAssociation, ShellResult::IncompleteAssociation}) {
        shell.Calls.clear();
        shell.ExecuteResult = code;
        dialogs.OpenWithAnswer = TOpenWithChoice{-1, "/usr/bin/viewer"};
        EXPECT_TRUE(ShellOpen("/x/pic.xyz", "-fast \"two words\""));
        ASSERT_EQ(shell.Calls.size(), 2);
        EXPECT_EQ(shell.Calls[1], "Start|/usr/bin/viewer|/x/pic.xyz|-fast|two words");
    }
    // A failed start from the choice is reported like any other.
    shell.StartResult = ShellResult::AccessDenied;
    EXPECT_EQ(RaisedId([] { ShellOpen("/x/pic.xyz"); }), strFileNotFound);
    // Cancelling the choice is no error.
    dialogs.OpenWithAnswer.reset();
    EXPECT_TRUE(ShellOpen("/x/pic.xyz"));
}

TEST_F(ShellDecisions, RunsUnderTheWaitCursorAndOpenUrlNeverRaisesNorOffersTheChoice) {
    struct Probe : TFakeShell {
        TFakeScreenCursor* screen;
        int seen = 0;
        int Execute(const QString& f, const QString& p, const QString& v) override {
            seen = screen->Cursor();
            return TFakeShell::Execute(f, p, v);
        }
    } probe;
    probe.screen = &screen;
    TShellInstaller install(&probe);
    ShellOpen("/x/a.txt");
    EXPECT_EQ(probe.seen, Cursors::HourGlass);
    EXPECT_EQ(screen.Cursor(), Cursors::Default);
    probe.seen = 0;
    EXPECT_TRUE(OpenURL("https://example.org/"));
    EXPECT_EQ(probe.seen, Cursors::HourGlass);
    probe.Calls.clear();
    probe.ExecuteResult = ShellResult::NoAssociation;
    EXPECT_FALSE(OpenURL("foo://bar"));
    EXPECT_EQ(probe.Calls, QStringList{"Execute|foo://bar||"});
    EXPECT_FALSE(OpenURL(""));
}

// At a border: our exception is shown as an error, anything else is logged,
// and nothing passes.
TEST_F(ShellDecisions, GuardShowsOurExceptionAsAnErrorAndLogsAnyOther) {
    TEnglishTexts english;
    EXPECT_FALSE(RunGuarded("Test border", [] { throw Exception("Disk full", strFileNotFound); }));
    ASSERT_EQ(dialogs.Boxes.size(), 1u);
    EXPECT_EQ(dialogs.Boxes[0].Text, "Disk full.");
    EXPECT_EQ(dialogs.Boxes[0].Caption, "Error");
    EXPECT_EQ(dialogs.Boxes[0].Flags, MsgBox::Ok | MsgBox::IconError);
    TWarningLog log;
    EXPECT_FALSE(RunGuarded("Test border", [] { throw std::runtime_error("bad state"); }));
    EXPECT_EQ(dialogs.Boxes.size(), 1u);
    EXPECT_TRUE(log.Contains("Test border: bad state"));
    EXPECT_TRUE(RunGuarded("Test border", [] {}));
}

TEST_F(ShellDecisions, MessageBoxTextCaptionFlagsAndFolderPreselection) {
    for (const CaseRow& c : LoadCases("core/shell.txt", "FullStop"))
        EXPECT_EQ(PunctuateMessage(c["Text"]), c["Expected"]) << c.Text();
    dialogs.Answers = {MsgResult::No};
    EXPECT_EQ(ShowMessageBox("Save changes", "Quillane", MsgBox::YesNoCancel | MsgBox::IconQuestion),
              MsgResult::No);
    EXPECT_EQ(ShowMessageBox("Oops!"), MsgResult::Ok);
    ASSERT_EQ(dialogs.Boxes.size(), 2u);
    EXPECT_EQ(dialogs.Boxes[0].Text, "Save changes.");
    EXPECT_EQ(dialogs.Boxes[0].Caption, "Quillane");
    EXPECT_EQ(dialogs.Boxes[0].Flags, MsgBox::YesNoCancel | MsgBox::IconQuestion);
    EXPECT_EQ(dialogs.Boxes[1].Text, "Oops!");
    EXPECT_EQ(dialogs.Boxes[1].Caption, LoadStr(strProductName));  // the product name
    // Browsing for a folder preselects only an existing folder.
    QTemporaryDir dir;
    QString folder = dir.path();
    dialogs.FolderAnswer = "/chosen";
    EXPECT_TRUE(BrowseForFolder("Pick", "/", folder));
    EXPECT_EQ(dialogs.FolderAsked, dir.path());
    EXPECT_EQ(dialogs.RootAsked, "/");
    EXPECT_EQ(folder, "/chosen");
    folder = dir.filePath("missing");
    dialogs.FolderAnswer.reset();
    EXPECT_FALSE(BrowseForFolder("Pick", {}, folder));
    EXPECT_EQ(dialogs.FolderAsked, "");
    EXPECT_EQ(folder, "");
}

// The XDG shell against fake programs

// The fake programs (data/core/fake-xdg-bin) log their calls and read their
// answers in the folder named by QUILLANE_FAKE_XDG_STATE.
class XdgShell : public ::testing::Test {
protected:
    const QString fakeBin = QStringLiteral(QUILLANE_TEST_DATA "/core/fake-xdg-bin");
    const QString viewer = fakeBin + "/viewer";
    QTemporaryDir state, xdg, files;
    std::vector<std::pair<const char*, QByteArray>> savedEnv;  // restored after the test
    TFakeDialogs dialogs;
    TDialogsInstaller installDialogs{&dialogs};

    void SetEnv(const char* name, const QByteArray& value) {
        savedEnv.emplace_back(name, qgetenv(name));
        qputenv(name, value);
    }
    void SetUp() override {
        SetEnv("PATH", fakeBin.toUtf8() + ":" + qgetenv("PATH"));
        SetEnv("QUILLANE_FAKE_XDG_STATE", state.path().toUtf8());
        // No real associations, only what the fake xdg-mime answers; the MIME
        // database stays reachable through a link.
        const QString mime = QStandardPaths::locate(QStandardPaths::GenericDataLocation, "mime",
                                                    QStandardPaths::LocateDirectory);
        if (!mime.isEmpty()) QFile::link(mime, xdg.filePath("mime"));
        for (const char* name : {"XDG_DATA_HOME", "XDG_DATA_DIRS", "XDG_CONFIG_HOME", "XDG_CONFIG_DIRS"})
            SetEnv(name, xdg.path().toUtf8());
    }
    void TearDown() override {
        for (const auto& [name, value] : savedEnv) {
            if (value.isNull()) qunsetenv(name);
            else qputenv(name, value);
        }
    }

    QString Log() const { return state.filePath("calls.log"); }
    void SetFile(const QString& name, const QByteArray& content) {
        ASSERT_TRUE(WriteTestFile(state.filePath(name), content));
    }
    QString MakeDocument(const QString& name) {
        EXPECT_TRUE(WriteTestFile(files.filePath(name), "plain text\n"));
        return files.filePath(name);
    }
    QStringList Calls(int atLeast = 0) const {
        // Programs started without waiting write a moment later.
        QElapsedTimer t;
        t.start();
        QStringList lines;
        do {
            QFile f(Log());
            if (f.open(QIODevice::ReadOnly)) lines = QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts);
            if (lines.size() >= atLeast) break;
            QThread::msleep(20);
        } while (t.elapsed() < 10000);
        return lines;
    }
};

TEST_F(XdgShell, DocumentsOpenThroughXdgOpenOrTheChoice) {
    const QString doc = MakeDocument("notes.txt");
    dialogs.OpenWithAnswer = TOpenWithChoice{-1, viewer};
    EXPECT_TRUE(ShellOpen(doc, "--page \"2 3\""));  // no program: the choice
    QStringList calls = Calls(4);
    EXPECT_FALSE(calls.join('\n').contains("xdg-open"));
    EXPECT_EQ(calls.mid(calls.size() - 4), (QStringList{"viewer", doc, "--page", "2 3"}));
    SetFile("xdg-mime.out", "editor.desktop\n");
    EXPECT_TRUE(ShellOpen(doc));
    calls = Calls(7);
    EXPECT_TRUE(calls.contains("xdg-mime query default text/plain")) << calls.join(" / ").toStdString();
    EXPECT_EQ(calls.last(), "xdg-open " + doc);
}

TEST_F(XdgShell, XdgOpenExitCodesAndMissingFilesBecomeErrors) {
    EXPECT_EQ(RaisedId([&] { ShellOpen(files.filePath("none.txt")); }), strFileNotFound);
    EXPECT_EQ(RaisedId([&] { ShellOpen(files.filePath("no/such/file.txt")); }), strPathNotFound);
    EXPECT_EQ(RaisedId([&] { ShellOpen(files.filePath("nodir/")); }), strPathNotFound);
    EXPECT_FALSE(ShellOpen(files.filePath("none.txt"), {}, {}, false));
    EXPECT_FALSE(QFile::exists(Log()));
    for (const CaseRow& c : LoadCases("core/shell.txt", "XdgOpenExit")) {
        SetFile("xdg-open.code", c["Exit"].toUtf8());
        EXPECT_EQ(RaisedId([&] { ShellOpen(files.path()); }), c.Id("Raised")) << c.Text();
    }
    // 3: nothing can open it, so the choice is offered (and cancelled here).
    SetFile("xdg-open.code", "3");
    dialogs.AppsOffered.push_back({});
    EXPECT_TRUE(ShellOpen(files.path()));
    EXPECT_TRUE(dialogs.AppsOffered.empty());
    EXPECT_EQ(Calls().last(), "xdg-open " + files.path());
}

TEST_F(XdgShell, StartsProgramsWithWindowsStyleParametersOpensUrlsAndNamesTheBrowser) {
    EXPECT_TRUE(ShellOpen(viewer, R"("C:\a b\c.prm" -x "say ""hi""")"));
    EXPECT_EQ(Calls(4).mid(0, 4), (QStringList{"viewer", R"(C:\a b\c.prm)", "-x", R"(say "hi")"}));
    EXPECT_TRUE(ShellOpen("viewer", "\"a b\""));  // found on the path
    EXPECT_EQ(Calls(6).mid(4, 2), (QStringList{"viewer", "a b"}));
    EXPECT_TRUE(OpenURL("https://example.org/page?x=1&y=2"));
    EXPECT_EQ(Calls(7).last(), "xdg-open https://example.org/page?x=1&y=2");
    for (const char* code : {"3", "4"}) {
        SetFile("xdg-open.code", code);
        EXPECT_FALSE(OpenURL("https://example.org/")) << code;
    }
    EXPECT_TRUE(dialogs.Boxes.empty());
    // The browser command is the default http handler's program.
    EXPECT_EQ(GetBrowserCommand(), "");
    QDir(xdg.path()).mkpath("applications");
    ASSERT_TRUE(WriteTestFile(xdg.filePath("applications/web.desktop"),
                              "[Desktop Entry]\nType=Application\nName=Web\nExec=\"/opt/web browser/run\" --new %u\n"));
    SetFile("xdg-mime.out", "web.desktop\n");
    EXPECT_EQ(GetBrowserCommand(), "/opt/web browser/run");
}

}  // namespace
