// Downloads from a loopback HTTP server: the body and the request's headers,
// then every way a server can fail the program (an error status, garbage, a
// body too large with or without its length, silence, a trickle that never
// ends, an address that is not http), each a "Can't open URL" within the
// deadline; texts from the network are made printable before a message shows
// them.

#include "app/cuWeb.h"
#include "core/cuClasses.h"
#include "core/cuStringIds.h"
#include "support/testEnglish.h"
#include "support/testHttpServer.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

namespace {

// Short enough for a fast suite, long enough for a loaded machine to answer.
constexpr TDownloadLimits kTestLimits{500, 1500, 1024};
// What a deadline may be overrun by before the test calls it missed.
constexpr int kSlackMs = 1500;

class DownloadTest : public ::testing::Test {
protected:
    // The exception the download raised; fails the test when it succeeded.
    Exception Failure(const QString& url, const TDownloadLimits& limits = kTestLimits) {
        try {
            DownloadUrl(url, limits);
        } catch (const Exception& e) {
            return e;
        }
        ADD_FAILURE() << "downloaded " << qPrintable(url);
        return Exception(QString());
    }

    TEnglishTexts english;
    TTestHttpServer server;
};

TEST_F(DownloadTest, GivesTheBodyAndAsksAsAppWebWithoutACache) {
    server.Route("/info.txt", {TServeMode::Answer, 200, "OK", "<Info/>\r\n"});
    EXPECT_EQ(DownloadUrl(server.Url("/info.txt"), kTestLimits), QByteArray("<Info/>\r\n"));
    ASSERT_EQ(server.Requests.size(), 1);
    EXPECT_EQ(server.LastHeader("user-agent"), QByteArray(kWebUserAgent));
    EXPECT_EQ(server.LastHeader("cache-control"), QByteArray("no-cache"));
}

TEST_F(DownloadTest, ABodyOfExactlyTheLimitIsAcceptedWithOrWithoutItsLength) {
    const QByteArray body(kTestLimits.MaxBytes, 'v');
    server.Route("/length", {TServeMode::Answer, 200, "OK", body, true});
    server.Route("/close", {TServeMode::Answer, 200, "OK", body, false});
    EXPECT_EQ(DownloadUrl(server.Url("/length"), kTestLimits), body);
    EXPECT_EQ(DownloadUrl(server.Url("/close"), kTestLimits), body);
}

struct DownloadFailureCase {
    const char* name;
    TServeRoute route;
    const char* reason;  // a part of the message's second line
};

TEST_F(DownloadTest, EveryFailureOfTheServerIsCantOpenUrlWithinTheDeadline) {
    const QByteArray tenMiB(10 << 20, 'x');
    const DownloadFailureCase cases[] = {
        {"404", {TServeMode::Answer, 404, "Not Found", "missing"}, "status 404 Not Found"},
        {"500", {TServeMode::Answer, 500, "Internal\x07 Error", ""}, "status 500 Internal Error"},
        {"garbage", {TServeMode::Garbage}, ""},
        {"10 MiB with length", {TServeMode::Answer, 200, "OK", tenMiB, true}, "larger than 1024 bytes"},
        {"10 MiB until closed", {TServeMode::Answer, 200, "OK", tenMiB, false}, "larger than 1024 bytes"},
        {"limit plus one", {TServeMode::Answer, 200, "OK", QByteArray(1025, 'y'), false}, "larger than 1024 bytes"},
        {"silence", {TServeMode::Silence}, "did not answer in time"},
        {"trickle past the deadline", {TServeMode::Trickle, 200, "OK", QByteArray(200, 'z'), true, 100},
         "did not answer in time"},
    };
    for (const DownloadFailureCase& c : cases) {
        const QByteArray path = "/" + QByteArray(c.name).replace(' ', '-');
        server.Route(path, c.route);
        QElapsedTimer clock;
        clock.start();
        const Exception e = Failure(server.Url(QString::fromLatin1(path)));
        EXPECT_LT(clock.elapsed(), kTestLimits.TotalMs + kSlackMs) << c.name;
        EXPECT_EQ(e.Id(), strCanTOpenURL) << c.name;
        const QStringList lines = e.Text().split(QStringLiteral("\r\n"));
        if (lines.size() != 2) {
            ADD_FAILURE() << c.name << ": " << qPrintable(e.Text());
            continue;
        }
        EXPECT_EQ(lines[0], "Can't open URL: " + server.Url(QString::fromLatin1(path))) << c.name;
        EXPECT_FALSE(lines[1].isEmpty()) << c.name;
        EXPECT_TRUE(lines[1].contains(QLatin1String(c.reason))) << c.name << ": " << qPrintable(lines[1]);
    }
}

TEST_F(DownloadTest, OnlyHttpAndHttpsAddressesAreAskedFor) {
    for (const char* url : {"file:///etc/passwd", "ftp://127.0.0.1/info", "info.txt", "http://", ""}) {
        const Exception e = Failure(QString::fromLatin1(url));
        EXPECT_EQ(e.Id(), strCanTOpenURL) << url;
        EXPECT_TRUE(e.Text().contains(QLatin1String("Only http and https"))) << url;
    }
    EXPECT_TRUE(server.Requests.isEmpty());
}

TEST(PrintableExcerpt, DropsControlCharactersAndCutsLongTextsWithoutSplittingAPair) {
    EXPECT_EQ(PrintableExcerpt(QStringLiteral("1.0\r\n\t\x1b[2J2.0\u2028\u200e")), QStringLiteral("1.0[2J2.0"));
    EXPECT_EQ(PrintableExcerpt(QStringLiteral("abcdef"), 3), QStringLiteral("abc\u2026"));
    EXPECT_EQ(PrintableExcerpt(QStringLiteral("abc"), 3), QStringLiteral("abc"));
    EXPECT_EQ(PrintableExcerpt(QStringLiteral("a\U0001F600b"), 2), QStringLiteral("a\u2026"));
}

}  // namespace
