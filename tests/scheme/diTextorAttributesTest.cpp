// Text attributes: the shared pool, measuring and drawing.

#include "scheme/diTextorAttributes.h"

#include "scheme/diCanvas.h"
#include "scheme/diThemes.h"
#include "visualFixture.h"

#include <gtest/gtest.h>

namespace {

TAttributesRef<TRichTextAttributes> Acquire(const QString& face, int size, TColor color = MakeColor(0, 0, 0)) {
    TRichTextAttributes value;
    value.SetFontName(face);
    value.SetFontSize(size);
    value.SetColor(color);
    return AcquireSharedAs(value);
}

TEST(AttributesPool, EqualValuesShareOneInstanceFreedByItsLastRelease) {
    const int before = TAttributes::PoolCount();
    TRichTextAttributes a, b;
    a.SetFontSize(13);
    b.SetFontSize(13);
    TAttributes* shared = a.GetShared();
    EXPECT_EQ(b.GetShared(), shared);
    EXPECT_TRUE(shared->Shared());
    EXPECT_EQ(shared->GetShared(), shared);
    EXPECT_EQ(TAttributes::PoolCount(), before + 1);
    b.SetLink("https://example.org");
    TAttributesRef<TRichTextAttributes> other = AcquireSharedAs(b);
    EXPECT_NE(other.get(), shared);
    {
        TAttributesRef<TRichTextAttributes> held = AcquireSharedAs(a);
        EXPECT_EQ(held.get(), shared);
        TAttributesRef<TRichTextAttributes> copy = held;  // a copy adds a reference
        EXPECT_EQ(shared->RefCount(), 2);
        held.reset();
        EXPECT_EQ(shared->RefCount(), 1);
    }
    EXPECT_EQ(TAttributes::PoolCount(), before + 1);  // only `other` is left
    TAttributesRef<TRichTextAttributes> again = AcquireSharedAs(a);
    EXPECT_EQ(TAttributes::PoolCount(), before + 2);
    TAttributesRef<TRichTextAttributes> moved = std::move(again);  // a move keeps the one reference
    EXPECT_EQ(moved->RefCount(), 1);
    moved.reset();
    other = {};
    EXPECT_EQ(TAttributes::PoolCount(), before);
}

TEST(AttributesPool, EveryFieldAndTheClassTakePartInEquality) {
    TRichTextAttributes text;
    TRichParagraphAttributes paragraph, p2;
    EXPECT_FALSE(text.Equals(paragraph));
    EXPECT_FALSE(paragraph.Equals(text));
    EXPECT_TRUE(paragraph.Equals(p2));
    p2.SetNumber(4, 7);
    EXPECT_FALSE(paragraph.Equals(p2));
    using Setter = void (*)(TRichTextAttributes&);
    const Setter setters[] = {
        [](TRichTextAttributes& a) { a.SetBackground(MakeColor(1, 2, 3)); },
        [](TRichTextAttributes& a) { a.SetFontName("DejaVu Serif"); },
        [](TRichTextAttributes& a) { a.SetCharset(204); },
        [](TRichTextAttributes& a) { a.SetColor(MakeColor(9, 9, 9)); },
        [](TRichTextAttributes& a) { a.SetFontFlags(2); },
        [](TRichTextAttributes& a) { a.SetFontSize(12); },
        [](TRichTextAttributes& a) { a.SetFontStyle(tfsItalic); },
        [](TRichTextAttributes& a) { a.SetLinkKind(1); },
        [](TRichTextAttributes& a) { a.SetLink("x"); },
    };
    for (size_t i = 0; i < std::size(setters); ++i) {
        TRichTextAttributes a, b;
        setters[i](b);
        EXPECT_FALSE(a.Equals(b)) << i;
        TRichTextAttributes c;
        c.Assign(b);
        EXPECT_TRUE(c.Equals(b)) << i;
    }
}

TEST(RichTextAttributes, ChangingTheSizeDropsTheCachedFontAndMetrics) {
    TRichTextAttributes a;
    a.SetFontName("DejaVu Sans");
    a.SetFontSize(10);
    const int height = a.GetHeight();
    EXPECT_GT(height, 0);
    EXPECT_TRUE(a.HasCachedFont());
    EXPECT_TRUE(a.HasCachedMetrics());
    a.SetFontSize(20);
    EXPECT_FALSE(a.HasCachedFont());
    EXPECT_FALSE(a.HasCachedMetrics());
    EXPECT_GT(a.GetHeight(), height);
    a.SetFontSize(0);  // the default size
    EXPECT_EQ(a.FontSize(), TRichTextAttributes::DefaultFontSize);
}

TEST(RichTextAttributes, ControlCharactersAreMeasuredAsReplacementCharacters) {
    TRichTextAttributes a;
    a.SetFontName("DejaVu Sans");
    a.SetFontSize(10);
    EXPECT_EQ(a.GetTextWidth(nullptr, 0), 0);
    const QString withFeed = QStringLiteral("a\nb");
    const QString replaced = QStringLiteral("a\uFFFDb");
    EXPECT_EQ(a.GetTextWidth(withFeed), a.GetTextWidth(replaced));
    EXPECT_GT(a.GetTextWidth(replaced), a.GetTextWidth(QStringLiteral("ab")));
    EXPECT_EQ(VisibleRunText(withFeed.constData(), 3), replaced);
    EXPECT_GT(a.GetTabWidth(), 0);
}

TEST(RichParagraphAttributes, LayoutValues) {
    TRichParagraphAttributes p;
    p.SetNumber(0, 5);
    p.SetNumber(1, 7);
    p.SetNumber(4, 9);
    TRichTextAttributes text;
    text.SetFontName("DejaVu Sans");
    EXPECT_EQ(p.LayoutValue(0, &text), 5);
    EXPECT_EQ(p.LayoutValue(1, &text), 7);
    EXPECT_EQ(p.LayoutValue(2, &text), 9);
    p.SetFlag(1);
    EXPECT_EQ(p.LayoutValue(1, &text), 7 + text.GetHeight());
}

class TextPainting : public ::testing::Test {
protected:
    TNodePtr<TSheetSettings> settings = MakeSheetSettings();
    std::unique_ptr<TSheetCanvas> canvas = std::make_unique<TSheetCanvas>(settings.get());
};

// The bounding box of the pixels that differ from white.
QRect InkBox(const QImage& image) {
    QRect box;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != qRgb(255, 255, 255)) box |= QRect(x, y, 1, 1);
    return box;
}

TEST_F(TextPainting, LineFeedIsDrawnAsReplacementCharacter) {
    TAttributesRef<TRichTextAttributes> a = Acquire("DejaVu Sans", 12);
    const QString feed = QStringLiteral("\n");
    const QString replacement = QStringLiteral("\uFFFD");
    canvas->BeginPaint({0, 0, 40, 30});
    const int w1 = a->PaintText(*canvas, 0, feed.constData(), 1, 5, 20, {0, 0, 40, 30});
    const QImage first = canvas->PaintBitmap().copy();
    canvas->EndPaint(nullptr);
    canvas->BeginPaint({0, 0, 40, 30});
    const int w2 = a->PaintText(*canvas, 0, replacement.constData(), 1, 5, 20, {0, 0, 40, 30});
    const QImage second = canvas->PaintBitmap().copy();
    canvas->EndPaint(nullptr);
    EXPECT_EQ(w1, w2);
    EXPECT_GT(w1, 0);
    EXPECT_FALSE(InkBox(first).isEmpty());
    EXPECT_EQ(first, second);
}

TEST_F(TextPainting, SelectedRunsBlendTheSelectionColour) {
    TAttributesRef<TRichTextAttributes> a = Acquire("DejaVu Sans", 10);
    const TColor select = canvas->Theme().SelectColor();
    canvas->BeginPaint({0, 0, 30, 20});
    a->PaintRun(*canvas, tpfSelected, 2, 10, {0, 0, 30, 20});
    a->PaintRun(*canvas, tpfSelected | tpfInactive, 14, 10, {0, 0, 30, 20});
    const QImage out = canvas->PaintBitmap();
    // Selection blended over white by its alpha.
    const double alpha = qAlpha(select) / 255.0;
    EXPECT_NEAR(qBlue(out.pixel(5, 5)), qBlue(select) * alpha + 255 * (1 - alpha), 2);
    EXPECT_NEAR(qRed(out.pixel(5, 5)), qRed(select) * alpha + 255 * (1 - alpha), 2);
    EXPECT_NE(out.pixel(5, 5), out.pixel(16, 5));  // the inactive look differs
    EXPECT_EQ(out.pixel(1, 5), qRgb(255, 255, 255));
    EXPECT_EQ(out.pixel(12, 5), qRgb(255, 255, 255));
    canvas->EndPaint(nullptr);
}

}  // namespace
