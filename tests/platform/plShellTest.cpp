#include "platform/plShell.h"

#include "support/testCases.h"

#include <gtest/gtest.h>

namespace {

TEST(SplitCommandLineArgs, WindowsQuotingRules) {
    for (const CaseRow& c : LoadCases("platform/shell.txt", "SplitCommandLineArgs"))
        EXPECT_EQ(SplitCommandLineArgs(c["Params"]), BracketedList(c["Expected"])) << c.Text();
}

TEST(IsUrl, SchemesButNotDrives) {
    EXPECT_TRUE(IsUrl("https://example.org"));
    EXPECT_TRUE(IsUrl("mailto:someone@example.org"));
    EXPECT_TRUE(IsUrl("file:///tmp/x"));
    EXPECT_FALSE(IsUrl(R"(C:\a\b)"));
    EXPECT_FALSE(IsUrl("/tmp/a:b"));
    EXPECT_FALSE(IsUrl("notes.txt"));
}

TEST(XdgShell, ExitCodesMapToShellResults) {
    for (const CaseRow& c : LoadCases("platform/shell.txt", "XdgOpenExit"))
        EXPECT_EQ(TXdgShell::MapXdgOpenExit(c.Int("Exit")), c.Int("Result")) << c.Text();
    EXPECT_TRUE(ShellResult::Succeeded(ShellResult::Started));
    EXPECT_FALSE(ShellResult::Succeeded(32));
}

}  // namespace
