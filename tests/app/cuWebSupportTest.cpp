// The web pages and the update check against an application-information file
// served on the loopback interface: page addresses and their web language,
// addresses that are not http refused, the versions list and the two
// messages, a file that does not parse, and the main form's entries asking
// as the running program in the current language.

#include "app/cuWebSupport.h"
#include "core/cuKnot.h"
#include "core/cuLocalization.h"
#include "core/cuStringIds.h"
#include "core/cuUtils.h"
#include "platform/plDialogs.h"
#include "platform/plShell.h"
#include "support/testEnglish.h"
#include "support/testGlobal.h"
#include "support/testHttpServer.h"
#include "support/testRaise.h"

#include <gtest/gtest.h>

namespace {

constexpr char kAppInfoText[] =
    "<Info>\r\n"
    "\t<AppLangToWebLang DefaultWebLang=\"en\">\r\n"
    "\t\t<L AppLang=\"DEU\" WebLang=\"de\"/>\r\n"
    "\t\t<L AppLang=\"FRA\" WebLang=\"fr ca/&amp;x\"/>\r\n"
    "\t\t<L AppLang=\"DEU\" WebLang=\"de-second\"/>\r\n"
    "\t</AppLangToWebLang>\r\n"
    "\t<Applications>\r\n"
    "\t\t<TestProduct HomePage=\"https://example.org/home\" OnlineHelpPage=\"https://example.org/%lang%/help/%lang%\"\r\n"
    "\t\t\tForumPage=\"file:///etc/passwd\" CommunityPage=\"javascript:alert(1)\"\r\n"
    "\t\t\tDownloadPage=\"http://example.org/%lang%/get\" ActualVersions=\"%1\"/>\r\n"
    "\t</Applications>\r\n"
    "\t<Resources ThemesPage=\"https://example.org/themes?l=%lang%\"/>\r\n"
    "</Info>\r\n";

class WebSupportTest : public ::testing::Test {
protected:
    WebSupportTest() { Serve(" 1.0 "); }

    // The file with the versions list given.
    void Serve(const char* versions, int status = 200) {
        server.Route("/info", {TServeMode::Answer, status, "OK", QByteArray(kAppInfoText).replace("%1", versions)});
    }
    TNodePtr<TKnot> Info() { return ParseApplicationInfo(GetApplicationInfo()); }

    TEnglishTexts english;
    TTestHttpServer server;
    TWebEndpoint endpoint{server.Url("/info"), {500, 1500, TDownloadLimits::kMaxBytes}};
    TWebEndpointInstaller endpointInstaller{&endpoint};
    TFakeShell shell;
    TShellInstaller shellInstaller{&shell};
    TFakeDialogs dialogs;
    TDialogsInstaller dialogsInstaller{&dialogs};
    const TAppIdentity identity{"TestProduct", "1.0"};
};

TEST_F(WebSupportTest, PageAddressesTakeTheWebLanguageOfTheFirstMappingOrTheDefault) {
    const TNodePtr<TKnot> info = Info();
    EXPECT_EQ(server.LastHeader("user-agent"), QByteArray(kWebUserAgent));
    struct {
        const char* page;
        const char* lang;
        const char* url;
    } const cases[] = {
        {"HomePage", "DEU", "https://example.org/home"},
        {"OnlineHelpPage", "DEU", "https://example.org/de/help/de"},
        {"OnlineHelpPage", "ITA", "https://example.org/en/help/en"},
        {"OnlineHelpPage", "deu", "https://example.org/en/help/en"},
        {"OnlineHelpPage", "FRA", "https://example.org/fr%20ca%2F%26x/help/fr%20ca%2F%26x"},
        {"DownloadPage", "", "http://example.org/en/get"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ApplicationPageUrl(*info, "TestProduct", c.page, c.lang), QString::fromUtf8(c.url)) << c.page << c.lang;
    EXPECT_EQ(ResourcePageUrl(*info, WebPage::Themes, "DEU"), "https://example.org/themes?l=de");
}

TEST_F(WebSupportTest, MissingPagesAndAddressesThatAreNotHttpAreNotFoundAndNothingOpens) {
    const TNodePtr<TKnot> info = Info();
    for (const auto& [app, page] : {std::pair{"TestProduct", "ForumPage"}, {"TestProduct", "CommunityPage"},
                                    {"TestProduct", "NoSuchPage"}, {"OtherProduct", "HomePage"}, {"", "HomePage"}})
        EXPECT_EQ(RaisedId([&] { OpenApplicationPage(*info, app, page, "ENU"); }), strInformationAboutProgramNot)
            << app << page;
    EXPECT_EQ(RaisedId([&] { ResourcePageUrl(*info, "NoSuchResource", "ENU"); }), strInformationAboutProgramNot);
    EXPECT_TRUE(shell.Calls.isEmpty());
}

TEST_F(WebSupportTest, TheMainFormsEntriesAskAsTheRunningProgramWithoutSpacesInItsName) {
    TTestGlobal global;  // "Test Product" 1.0 in English ("ENU", which the file does not map)
    ShowProgramPage(WebPage::OnlineHelp);
    EXPECT_EQ(shell.Calls, QStringList{"Execute|https://example.org/en/help/en||"});
    CheckForUpdates();
    ASSERT_EQ(dialogs.Boxes.size(), 1u);
    EXPECT_EQ(dialogs.Boxes[0].Text, PunctuateMessage(LoadStr(strExcellentYouHaveLatest)));
}

TEST_F(WebSupportTest, TheRunningVersionAmongTheTrimmedEntriesIsTheLatest) {
    for (const char* versions : {" 1.0 ", "0.9, 1.0", "\"1.0\",2", "2.0 ,  1.0\t"}) {
        Serve(versions);
        dialogs.Boxes.clear();
        CheckForUpdates("ENU", {"TestProduct", "1.0"});
        ASSERT_EQ(dialogs.Boxes.size(), 1u) << versions;
        EXPECT_EQ(dialogs.Boxes[0].Text, PunctuateMessage(LoadStr(strExcellentYouHaveLatest))) << versions;
        EXPECT_EQ(dialogs.Boxes[0].Flags, MsgBox::Ok | MsgBox::IconInformation);
    }
    EXPECT_TRUE(shell.Calls.isEmpty());
}

TEST_F(WebSupportTest, ANewerVersionIsOfferedAndOkOpensTheDownloadPage) {
    Serve("2.0, \"3,1\" ,1.0.1&#27;&#13;&#10;x");
    dialogs.Answers = {MsgResult::Cancel, MsgResult::Ok};
    CheckForUpdates("DEU", identity);
    EXPECT_TRUE(shell.Calls.isEmpty());
    CheckForUpdates("DEU", identity);
    ASSERT_EQ(dialogs.Boxes.size(), 2u);
    EXPECT_EQ(dialogs.Boxes[1].Text,
              PunctuateMessage(LoadStrFmt(strNewerVersionProgramAvailable, {"2.0,3,1,1.0.1x", "1.0"})));
    EXPECT_EQ(dialogs.Boxes[1].Flags, MsgBox::OkCancel | MsgBox::IconInformation);
    EXPECT_EQ(shell.Calls, QStringList{"Execute|http://example.org/de/get||"});
}

TEST_F(WebSupportTest, NoVersionsAFileThatDoesNotParseOrAnErrorStatusAreErrors) {
    Serve(" , ");
    EXPECT_EQ(RaisedId([&] { CheckForUpdates("ENU", identity); }), strInformationAboutProgramNot);
    EXPECT_EQ(RaisedId([&] { CheckForUpdates("ENU", {"OtherProduct", "1.0"}); }), strInformationAboutProgramNot);
    server.Route("/info", {TServeMode::Answer, 200, "OK", "\x01<<< not knot text \xff"});
    EXPECT_EQ(RaisedId([&] { CheckForUpdates("ENU", identity); }), strInformationAboutProgramNot);
    Serve("1.0", 404);
    EXPECT_EQ(RaisedId([&] { CheckForUpdates("ENU", identity); }), strCanTOpenURL);
    EXPECT_TRUE(dialogs.Boxes.empty());
    EXPECT_TRUE(shell.Calls.isEmpty());
}

TEST(SplitVersionList, SplitsAtCommasOutsideQuotesAndTrims) {
    EXPECT_EQ(SplitVersionList(" 1.0 , ,\"2,0\",\"a\"\"b\""), (QStringList{"1.0", "2,0", "a\"b"}));
    EXPECT_EQ(SplitVersionList("\"unclosed, 2"), QStringList{"unclosed, 2"});
}

}  // namespace
