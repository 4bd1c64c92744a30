#include "platform/plShell.h"

#include "support/testCases.h"

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
