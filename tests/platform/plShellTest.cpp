#include "platform/plShell.h"

#include "support/testCases.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

namespace {

TEST(SplitCommandLineArgs, WindowsQuotingRules) {
    for (const CaseRow& c : LoadCases("platform/shell.txt", "SplitCommandLineArgs"))
        EXPECT_EQ(SplitCommandLineArgs(c["Params"]), BracketedList(c["Expected"])) << c.Text();
}

TEST(IsUrl, SchemesButNotDrives) {
    for (const CaseRow& c : LoadCases("platform/shell.txt", "IsUrl"))
        EXPECT_EQ(IsUrl(c["Text"]), c.Int("Expected") == 1) << c.Text();
}

TEST(XdgShell, ExitCodesMapToShellResults) {
    for (const CaseRow& c : LoadCases("platform/shell.txt", "XdgOpenExit"))
        EXPECT_EQ(TXdgShell::MapXdgOpenExit(c.Int("Exit")), c.Int("Result")) << c.Text();
    EXPECT_TRUE(ShellResult::Succeeded(ShellResult::Started));
    EXPECT_FALSE(ShellResult::Succeeded(32));
}

TEST(XdgShell, ShowItemOfAMissingPathStartsNothing) {
    TXdgShell shell;
    EXPECT_EQ(shell.ShowItem(QString()), ShellResult::FileNotFound);
    EXPECT_EQ(shell.ShowItem(QStringLiteral("/no such folder here/a.prm")), ShellResult::FileNotFound);
}

}  // namespace

// The result of a launch comes through the event loop, after Launch returned,
// also when it is known at once (nothing is started here).
TEST(XdgShell, LaunchResultsArriveThroughTheEventLoop) {
    TXdgShell shell;
    QList<int> results;
    shell.Launch(TLaunch::Open(QStringLiteral("/no such folder here/File1.png"), QStringLiteral("edit")),
                 [&](int result) { results << result; });
    shell.Launch(TLaunch::Start(QStringLiteral("/no such folder here/paint"), {}), [&](int result) { results << result; });
    EXPECT_TRUE(results.isEmpty());
    QCoreApplication::processEvents();
    EXPECT_EQ(results, (QList<int>{ShellResult::FileNotFound, ShellResult::AccessDenied}));
}

TEST(FakeShell, AnswersLaunchesOnlyWhenTold) {
    TFakeShell shell;
    shell.LaunchResults = {ShellResult::NoAssociation};
    QList<int> results;
    shell.Launch(TLaunch::Open(QStringLiteral("/f.png"), QStringLiteral("edit")), [&](int r) { results << r; });
    shell.Launch(TLaunch::Start(QStringLiteral("/bin/paint"), {QStringLiteral("/f.png")}), [&](int r) { results << r; });
    EXPECT_EQ(shell.Calls, (QStringList{"Launch-Open|/f.png|edit", "Start|/bin/paint|/f.png"}));
    EXPECT_TRUE(results.isEmpty());
    EXPECT_EQ(shell.FinishLaunches(), 2);
    EXPECT_EQ(results, (QList<int>{ShellResult::NoAssociation, ShellResult::Started}));
}
