// The one escaping of attribute values, used by the knot text and the XML code writer.

#include "core/cuCodeWriters.h"
#include "core/cuXmlEscape.h"

#include <gtest/gtest.h>

namespace {

using XmlEscape::TQuoteMode;
constexpr TQuoteMode E = TQuoteMode::Entities;
constexpr TQuoteMode D = TQuoteMode::Doubled;

TEST(XmlEscape, EscapeTable) {
    struct Case {
        QString text;
        TQuoteMode mode;
        QString expected;
        bool needsQuotes;
    };
    const QString nbsp(QChar(0xA0));
    const QString pair = QString::fromUcs4(U"\U0001F600");
    const Case cases[] = {
        {"", E, "", false},
        {"plain09", E, "plain09", false},
        {"a \"b\"", E, "a &quot;b&quot;", true},
        {"<&>", E, "&lt;&amp;&gt;", false},
        {QString("\t\n\r") + QChar(1) + QChar(31), E, "&#9;&#10;&#13;&#1;&#31;", false},
        {QString(QChar(0)) + QChar(32), E, QString(QChar(0)) + " ", true},
        {"a/b", E, "a/b", true},
        {"a=b'c" + nbsp + pair, E, "a=b'c" + nbsp + pair, false},
        {"a\"b", D, "a\"\"b", true},
        {"<tag>", D, "<tag>", true},
        {"a&lt;", D, "a&amp;lt;", false},
        {"x\ty", D, "x\ty", true},
        {"C:\\Files\\a.prm", D, "C:\\Files\\a.prm", false},
    };
    for (const Case& c : cases) {
        bool needsQuotes = !c.needsQuotes;
        EXPECT_EQ(XmlEscape::Escape(c.text, c.mode, needsQuotes), c.expected) << c.expected.toStdString();
        EXPECT_EQ(needsQuotes, c.needsQuotes) << c.expected.toStdString();
        // The code writer's class methods are the same escaping.
        EXPECT_EQ(TCustomXmlCodeWriter::Escape(c.text, c.mode == D, needsQuotes), c.expected);
    }
}

TEST(XmlEscape, UnescapeTable) {
    struct Case {
        QString text;
        qsizetype quotes;
        qsizetype amps;
        QString expected;
    };
    const Case cases[] = {
        {"a&amp;b", 0, 1, "a&b"},
        {"a&amp;b", 0, 0, "a&amp;b"},
        {"&quot;&lt;&gt;&amp;", 0, 4, "\"<>&"},
        {"&#9;&#65;&#0;&#65535;&#00065;", 0, 5, QString("\tA") + QChar(0) + QChar(0xFFFF) + "A"},
        {"&#65536;&#;&#x41;&#-1;&#+5;&#000065;", 0, 6, "&#65536;&#;&#x41;&#-1;&#+5;&#000065;"},
        {"&AMP;&unknown;& &&amp", 0, 4, "&AMP;&unknown;& &&amp"},
        {"&a&lt;", 0, 2, "&a<"},     // after an undecodable "&" the search goes on
        {"&amp;lt;", 0, 1, "&lt;"},  // a decoded character is not decoded again
        {"a\"\"b", 2, 0, "a\"b"},
        {"a\"\"\"b", 3, 0, "a\"\"b"},
        {"\"\"\"\"", 4, 0, "\"\""},
        {"a\"\"b", 0, 0, "a\"\"b"},
        {"&quot;\"\"", 2, 1, "\"\""},
        // Ampersands without references: the ";" is looked for only a reference's length
        // ahead (that this takes linear time is measured in bench_knot and bench_writers).
        {QString(1000, u'&') + ";", 0, 1000, QString(1000, u'&') + ";"},
        {QString(1000, u'&') + "&amp;&#;&#1234567;", 0, 1000, QString(1000, u'&') + "&&#;&#1234567;"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(XmlEscape::Unescape(c.text, c.quotes, c.amps), c.expected) << c.text.toStdString();
        EXPECT_EQ(TCustomXmlCodeWriter::Unescape(c.text, c.quotes, c.amps), c.expected);
    }
}

// Every code unit, in both modes, survives Escape and Unescape with the
// counts a reader would take from the escaped text.
TEST(XmlEscape, EscapeUnescapeRoundTripsEveryCodeUnit) {
    QString all;
    for (int u = 0; u <= 0xFFFF; ++u) {
        all += QChar(char16_t(u));
        if (u % 97 == 0) all += u"&#65;&lt;\"\"";  // text that looks escaped already
    }
    for (TQuoteMode mode : {E, D}) {
        bool needsQuotes = false;
        const QString escaped = XmlEscape::Escape(all, mode, needsQuotes);
        EXPECT_TRUE(needsQuotes);
        EXPECT_TRUE(XmlEscape::Unescape(escaped, escaped.count(u'"'), escaped.count(u'&')) == all) << int(mode);
    }
}

// For UTF-8 output a surrogate that is not half of a pair becomes a reference; pairs stay whole.
TEST(XmlEscape, LoneSurrogatesAsReferences) {
    struct TOut {
        QString text;
        void Run(QStringView run) { text += run; }
        void Ascii(const char* s, qsizetype n) { text += QLatin1StringView(s, n); }
    };
    const QString pair = QString::fromUcs4(U"\U0001F600");
    const QString value = QChar(0xD800) + pair + QChar(0xDC00) + "a" + QChar(0xDBFF);
    TOut out;
    XmlEscape::AppendEscaped(value, E, true, out);
    EXPECT_EQ(out.text, "&#55296;" + pair + "&#56320;a&#56319;");
    EXPECT_EQ(XmlEscape::Unescape(out.text, 0, 3), value);
}

}  // namespace
