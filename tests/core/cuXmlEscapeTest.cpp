// The one escaping of attribute values, used by the knot text and the XML code writer.

#include "support/testCaseRows.h"
#include "core/cuCodeWriters.h"
#include "core/cuXmlEscape.h"

#include <gtest/gtest.h>

namespace {

using XmlEscape::TQuoteMode;
constexpr TQuoteMode E = TQuoteMode::Entities;
constexpr TQuoteMode D = TQuoteMode::Doubled;

TEST(XmlEscape, EscapeTable) {
    for (const QStringList& row : CaseRows("knot/escape-cases.txt", 4)) {
        SCOPED_TRACE(row[2].toStdString());
        const TQuoteMode mode = row[1] == u"D" ? D : E;
        const bool expectQuotes = row[3] == u"1";
        bool needsQuotes = !expectQuotes;
        EXPECT_EQ(XmlEscape::Escape(row[0], mode, needsQuotes), row[2]);
        EXPECT_EQ(needsQuotes, expectQuotes);
        // The code writer's class methods are the same escaping.
        EXPECT_EQ(TCustomXmlCodeWriter::Escape(row[0], mode == D, needsQuotes), row[2]);
    }
}

TEST(XmlEscape, UnescapeTable) {
    for (const QStringList& row : CaseRows("knot/unescape-cases.txt", 4)) {
        SCOPED_TRACE(row[0].toStdString());
        EXPECT_EQ(XmlEscape::Unescape(row[0], row[1].toInt(), row[2].toInt()), row[3]);
        EXPECT_EQ(TCustomXmlCodeWriter::Unescape(row[0], row[1].toInt(), row[2].toInt()), row[3]);
    }
}

// Ampersands without references took quadratic time: the ";" is looked for only
// a reference's length ahead (that this takes linear time is measured in
// bench_knot and bench_writers).
TEST(XmlEscape, RegressionQuadraticUnescapeOfAmpersands) {
    const QString many(1000, u'&');
    EXPECT_EQ(XmlEscape::Unescape(many + ";", 0, 1000), many + ";");
    EXPECT_EQ(XmlEscape::Unescape(many + "&amp;&#;&#1234567;", 0, 1000), many + "&&#;&#1234567;");
}

}  // namespace
