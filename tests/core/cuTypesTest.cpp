#include "core/cuTypes.h"

#include <gtest/gtest.h>

namespace {

// The model's right and bottom edges are exclusive; QRect's right() and
// bottom() are inclusive, so a conversion that used them would be one off.
TEST(Rect, ConvertsToAndFromQRectKeepingExclusiveEdges) {
    const TRect r{1, 2, 11, 22};
    const QRect q = r.ToQRect();
    EXPECT_EQ(q, QRect(1, 2, 10, 20));
    EXPECT_EQ(q.right(), 10);
    EXPECT_EQ(TRect::FromQRect(q), r);
    EXPECT_EQ(TRect::FromQRect(QRect(QPoint(5, 5), QSize(0, 3))), (TRect{5, 5, 5, 8}));
}

TEST(Rect, EmptyWhenEitherSideIsNotPositive) {
    const std::pair<TRect, bool> cases[] = {
        {{0, 0, 1, 1}, false}, {{0, 0, 0, 5}, true}, {{0, 0, 5, 0}, true}, {{5, 5, 2, 9}, true}, {{}, true}};
    for (const auto& [r, empty] : cases)
        EXPECT_EQ(r.IsEmpty(), empty) << r.Left << "," << r.Top << "," << r.Right << "," << r.Bottom;
    EXPECT_EQ((TRect{5, 5, 2, 9}).Width(), -3);
}

}  // namespace
