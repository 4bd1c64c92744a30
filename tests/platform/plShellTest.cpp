#include "platform/plShell.h"

#include <gtest/gtest.h>

namespace {

TEST(SplitCommandLineArgs, WindowsQuotingRules) {
    const std::pair<const char*, QStringList> cases[] = {
        {"", {}},
        {"   ", {}},
        {"a b\tc", {"a", "b", "c"}},
        {R"("a b" c)", {"a b", "c"}},
        {R"("C:\Program Files\x.exe")", {R"(C:\Program Files\x.exe)"}},
        {R"(a\\b c\d)", {R"(a\\b)", R"(c\d)"}},      // backslashes not before a quote are literal
        {R"(a\"b)", {R"(a"b)"}},                     // odd run: literal quote
        {R"(a\\"b c")", {R"(a\b c)"}},               // even run: half, then the quote groups
        {R"(a\\\"b)", {R"(a\"b)"}},
        {R"("say ""hi""")", {R"(say "hi")"}},        // doubled quote inside quotes
        {R"("")", {""}},                             // an empty quoted argument
        {R"(x"y z"w)", {"xy zw"}},
        {R"("open)", {"open"}},                      // unclosed quote runs to the end
    };
    for (const auto& [params, expected] : cases)
        EXPECT_EQ(SplitCommandLineArgs(params), expected) << params;
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
    const std::pair<int, int> cases[] = {
        {0, ShellResult::Started},      {1, ShellResult::Failed},       {2, ShellResult::FileNotFound},
        {3, ShellResult::NoAssociation}, {4, ShellResult::Failed},      {5, ShellResult::AccessDenied},
        {-1, ShellResult::Failed},
    };
    for (const auto& [exit, result] : cases) EXPECT_EQ(TXdgShell::MapXdgOpenExit(exit), result) << exit;
    EXPECT_TRUE(ShellResult::Succeeded(ShellResult::Started));
    EXPECT_FALSE(ShellResult::Succeeded(32));
}

}  // namespace
