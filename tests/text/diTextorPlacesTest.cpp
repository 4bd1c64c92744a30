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

// Values appended one by one give the sums that assigning them all at once
// gives, at every length (the tree's entries cover ranges of every size).
TEST(TextorPlaces, PrefixSumsAppendedMatchThoseAssigned) {
    const std::vector<int> values{4, 0, 7, 1, 0, 0, 3, 9, 2, 5, 0, 6, 8, 1, 1, 3, 2};
    TPrefixSums appended;
    for (size_t length = 1; length <= values.size(); ++length) {
        SCOPED_TRACE(length);
        appended.Append(values[length - 1]);
        TPrefixSums assigned;
        assigned.Assign(int(length), [&](int i) { return values[size_t(i)]; });
        for (int count = 0; count <= int(length); ++count) EXPECT_EQ(appended.Prefix(count), assigned.Prefix(count));
        for (int value = 0; value <= assigned.Prefix(int(length)); ++value)
            EXPECT_EQ(appended.CountUpTo(value), assigned.CountUpTo(value)) << value;
    }
}

// Text written at the end splits the last chunk again and again (a log): the
// sums kept across the splits find every paragraph by index and by height.
TEST(TextorPlaces, ParagraphsWrittenAtTheEndAreFoundByIndexAndByHeight) {
    constexpr int kParagraphs = 5 * kPlaceChunkMax + 3;
    TTestTextor t;
    t.AvailableWidth = 60;
    t.InsertText(t.GetStartPosition(), QStringLiteral("0"));
    for (int i = 1; i < kParagraphs; ++i) {
        // Every third paragraph wraps, so that heights differ.
        const QString text = i % 3 ? QString::number(i) : QStringLiteral("%1 %1 %1 %1").arg(i);
        t.InsertText(t.GetEndPosition(), QStringLiteral("\n") + text);
        ASSERT_EQ(t.ParagraphAt(i), t.LastParagraph());
    }
    ASSERT_EQ(t.ParagraphCount(), kParagraphs);
    int index = 0;
    for (TParagraph* p = t.FirstParagraph(); p; p = p->Next(), ++index) {
        SCOPED_TRACE(index);
        ASSERT_EQ(t.ParagraphAt(index), p);
        const TRow* row = t.FindRowAtY(p->FirstRow()->Top(), false);
        ASSERT_TRUE(row);
        EXPECT_EQ(row->GetParagraph(), p);
    }
    EXPECT_GT(t.ParagraphAt(3)->LastRow()->Bottom() - t.ParagraphAt(3)->FirstRow()->Top(),
              t.ParagraphAt(1)->LastRow()->Bottom() - t.ParagraphAt(1)->FirstRow()->Top());
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
