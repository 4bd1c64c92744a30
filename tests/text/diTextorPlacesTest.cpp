// What a textor keeps instead of walking its paragraphs: the prefix sums
// behind the paragraph places, and the width of right and centred paragraphs
// when the available width changes without a new layout (also after most
// paragraphs went at once). The random edits test the places at large.

#include "support/testTextor.h"
#include "text/diTextorPlaces.h"
#include "text/diTextorRows.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {
// The helpers' own namespace: the files of this folder are compiled in one batch.
namespace places {

// Empty values (chunks of paragraphs without rows) take no room: the count up
// to a value passes over them to the last count whose sum is still at most it.
TEST(TextorPlaces, PrefixSumsCountOverEmptyValues) {
    const std::vector<int> values{3, 0, 0, 2, 5};
    TPrefixSums sums;
    sums.Reserve(int(values.size()));
    sums.Assign(int(values.size()), [&](int i) { return values[size_t(i)]; });
    const int prefixes[] = {0, 3, 3, 3, 5, 10};
    for (int count = 0; count <= int(values.size()); ++count) EXPECT_EQ(sums.Prefix(count), prefixes[count]) << count;
    const int countsUpTo[] = {0, 0, 0, 3, 3, 4, 4, 4, 4, 4, 5};
    for (int value = 0; value <= 10; ++value) EXPECT_EQ(sums.CountUpTo(value), countsUpTo[value]) << value;
    sums.Add(1, 4);  // 3 4 0 2 5
    EXPECT_EQ(sums.Prefix(3), 7);
    EXPECT_EQ(sums.CountUpTo(6), 1);
    EXPECT_EQ(sums.CountUpTo(7), 3);
}


// A right paragraph reaches the available width and a centred one depends
// on it: a width asked for after the available width changed without a new
// layout is the one the rows give at the new width.
TEST(TextorPlaces, TheWidthOfAlignedParagraphsFollowsTheAvailableWidth) {
    enum : uint8_t { kRight = 1, kCentred = 2 };
    TTestTextor t;
    t.AvailableWidth = 200;
    t.InsertText(t.GetStartPosition(), QStringLiteral("a\nbb\nccc\ndddd\neeeee\nf\ngg\nhhh\ni"));
    t.ParagraphAt(1)->SetAttributes(FixedParagraph(0, 0, 4, kCentred));
    t.ParagraphAt(8)->SetAttributes(FixedParagraph(0, 0, 6, kRight));
    EXPECT_EQ(t.GetWidth(), 200);
    const int widths[] = {260, 170, 90};
    for (int width : widths) {
        SCOPED_TRACE(width);
        t.AvailableWidth = width;
        EXPECT_EQ(t.GetWidth(), WidthByWalk(t));
    }
    t.InvalidateAllLayouts();
    EXPECT_EQ(t.GetWidth(), WidthByWalk(t));
    // Most paragraphs go at once; the width counts of the rest are made again.
    TTextorPosition from, to;
    ASSERT_TRUE(t.NumericToPosition({0, 0}, from));
    ASSERT_TRUE(t.NumericToPosition({7, 0}, to));
    t.DeleteRange(TTextorRange{from, to});
    ASSERT_EQ(t.ParagraphCount(), 2);
    t.AvailableWidth = 150;
    EXPECT_EQ(t.GetWidth(), WidthByWalk(t));
}

}  // namespace places
}  // namespace
