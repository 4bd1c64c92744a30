// Painting of visual elements on the sheet, into images.

#include "core/cuKnot.h"
#include "scheme/diUnaccepted.h"
#include "support/testElements.h"
#include "support/testVisualElements.h"

#include <QSet>

#include <gtest/gtest.h>

namespace {

// A sheet showing a scheme of test boxes.
class SheetPaint : public ::testing::Test, public TSheetFixture {};

QColor At(const QImage& image, int x, int y) { return image.pixelColor(x, y); }

TEST_F(SheetPaint, ElementsPaintAtTheirSheetPositions) {
    TElement_TestBox* box = AddBox(root, 30, 20);
    box->Color = QColor(200, 0, 0);
    root->Arrange();
    const QPoint p = box->ClientToSheet(QPoint(0, 0));
    // A viewport further down and right: its top-left is the sheet point; the
    // box's right and bottom edges are exclusive.
    QImage part = sheet.PaintToImage(TRect{p.x() + 5, p.y() + 5, p.x() + 50, p.y() + 50});
    EXPECT_EQ(At(part, 24, 14), QColor(200, 0, 0));
    EXPECT_NE(At(part, 25, 0), QColor(200, 0, 0));
    EXPECT_TRUE(sheet.PaintToImage(TRect{5, 5, 5, 50}).isNull());
}

TEST_F(SheetPaint, OnlyChildrenMeetingThePaintRectangleArePainted) {
    std::vector<TElement_TestBox*> boxes;
    for (int i = 0; i < 200; ++i) boxes.push_back(AddBox(root, 30, 10));
    root->Arrange();
    const QPoint p = boxes[100]->ClientToSheet(QPoint(0, 0));
    sheet.PaintToImage(TRect{p.x(), p.y(), p.x() + 10, p.y() + 20});
    int painted = 0;
    for (auto* b : boxes) painted += b->PaintCount;
    EXPECT_EQ(boxes[101]->PaintCount, 1);
    EXPECT_EQ(painted, 2);
}

// Differences between two paints of the same rectangle.
QList<QPoint> Differences(const QImage& a, const QImage& b) {
    QList<QPoint> out;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if (a.pixel(x, y) != b.pixel(x, y)) out.append(QPoint(x, y));
    return out;
}

TEST_F(SheetPaint, CaretKindsDrawOneOrTwoDottedRectangles) {
    TElement_TestBox* box = AddBox(root, 40, 20);
    root->Arrange();
    const TRect all{0, 0, 80, 60};
    for (int kind : {ckFocusRect, ckDoubleFocusRect}) {
        box->CaretKindShown = kind;
        sheet.SetFocus(nullptr);
        box->Focus();
        ASSERT_EQ(sheet.CaretKind(), kind);
        const TRect caret = sheet.CaretRect();
        const QList<QPoint> diff =
            Differences(sheet.PaintToImage(all), sheet.PaintToImage(all, pfNoCaret));
        ASSERT_FALSE(diff.isEmpty());
        int outer = 0, inner = 0;
        for (const QPoint& d : diff) {
            const int ring = std::min({d.x() - caret.Left, d.y() - caret.Top, caret.Right - 1 - d.x(),
                                       caret.Bottom - 1 - d.y()});
            ASSERT_GE(ring, 0) << "outside the caret rectangle";
            ASSERT_LE(ring, 1) << "inside the rings";
            (ring == 0 ? outer : inner)++;
        }
        EXPECT_GT(outer, 0);
        EXPECT_EQ(inner > 0, kind == ckDoubleFocusRect);
    }
}

TEST_F(SheetPaint, SelectionLooksDifferentWhenTheSheetIsInactive) {
    TElement_TestBox* box = AddBox(root, 40, 20);
    root->Arrange();
    const QPoint p = box->ClientToSheet(QPoint(5, 5));
    const TRect all{0, 0, 80, 60};
    const QColor plain = At(sheet.PaintToImage(all), p.x(), p.y());
    box->SetInSelectedText(true);
    sheet.SetActive(true);
    const QColor active = At(sheet.PaintToImage(all), p.x(), p.y());
    sheet.SetActive(false);
    const QColor inactive = At(sheet.PaintToImage(all), p.x(), p.y());
    EXPECT_NE(inactive, plain);
    EXPECT_NE(active, inactive);
}

TEST_F(SheetPaint, DisabledSubtreeIsGreyedOnce) {
    TElement_TestBox* outer = AddBox(root);
    TElement_TestBox* inner = AddBox(outer, 30, 20);
    inner->Color = QColor(0, 0, 200);
    TElement_TestBox* alone = AddBox(root, 30, 20);
    alone->Color = QColor(0, 0, 200);
    root->Arrange();
    const TRect all{0, 0, 120, 120};
    const QPoint pi = inner->ClientToSheet(QPoint(3, 3));
    const QPoint pa = alone->ClientToSheet(QPoint(3, 3));
    const QColor clear = At(sheet.PaintToImage(all), pi.x(), pi.y());
    outer->SetDisabled(true);
    alone->SetDisabled(true);
    QImage image = sheet.PaintToImage(all);
    EXPECT_NE(At(image, pi.x(), pi.y()), clear);
    EXPECT_EQ(At(image, pi.x(), pi.y()), At(image, pa.x(), pa.y()));  // one overlay, not two
}

TEST_F(SheetPaint, UnacceptedElementShowsItsText) {
    root->LoadFromKnot(KnotFromText("<TestModule>\r\n\t<Gadget Speed=\"12\"/>\r\n</TestModule>\r\n").get(), fmFile, 0);
    auto* kept = dynamic_cast<TElement_Unaccepted*>(root->FirstChild());
    ASSERT_NE(kept, nullptr);
    root->Arrange();
    const QPoint p = kept->ClientToSheet(QPoint(0, 0));
    QImage image = sheet.PaintToImage(TRect{p.x(), p.y(), p.x() + kept->Width(), p.y() + kept->Height()});
    QSet<QRgb> colors;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) colors.insert(image.pixel(x, y));
    EXPECT_GT(colors.size(), 4);  // frame, fill and anti-aliased letters
}

}  // namespace
