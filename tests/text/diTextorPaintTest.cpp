// Painting a textor on a picture: the selection, the paragraph-end highlight,
// the non-printing marks and the clip box. Code units are 10 pixels wide,
// rows 10 high with the baseline 8 below their top.

#include "support/testTextor.h"
#include "support/testVisualElements.h"

#include <gtest/gtest.h>

#include <set>

namespace {

// Paints nothing for blanks and each mark in a colour of its own; notes the
// baselines of the pieces it paints.
class TMarkedText : public TFixedTextAttributes {
public:
    mutable std::set<int> Baselines;

    int PaintText(ITextCanvas& canvas, int flags, const QChar* chars, int count, int x, int baseline,
                  const TRect& row) const override {
        Baselines.insert(baseline);
        for (int i = 0; i < count; ++i) {
            const TColor color = ColorOf(chars[i].unicode());
            const int left = x + i * Advance;
            if (color != clNone) canvas.FillRect(TRect{left, baseline - Ascent, left + Advance - 1, baseline}, color);
        }
        return count * Advance;
    }
    std::unique_ptr<TAttributes> NewInstance() const override { return std::make_unique<TMarkedText>(); }

    static TColor ColorOf(char16_t c) {
        switch (c) {
        case u' ':
        case 0x00A0: return clNone;
        case 0x00B7: return MakeColor(255, 0, 0);
        case 0x00B0: return MakeColor(0, 255, 0);
        case 0x00AC: return MakeColor(0, 0, 255);
        case 0x00B6: return MakeColor(255, 0, 255);
        default: return MakeColor(0, 0, 0);
        }
    }
};

class TextorPaint : public ::testing::Test {
protected:
    TNodePtr<TSheetSettings> settings = MakeSheetSettings();
    TSheetCanvas canvas{settings.get()};
    TTestTextor t;

    void SetUp() override {
        t.UseTabStops = true;
    }
    QImage Painted(int flags, const TTextorRange& selection = {}, const TRect& clip = {0, 0, 100, 40}) {
        canvas.BeginPaint(clip);
        t.Paint(canvas, flags, selection, QPoint());
        QImage out = canvas.PaintBitmap().copy();
        canvas.EndPaint(nullptr);
        return out;
    }
    TTextorPosition At(int paragraph, int index) const {
        TTextorPosition position;
        EXPECT_TRUE(t.NumericToPosition({paragraph, index}, position));
        return position;
    }
};

// The x spans where two pictures differ on line y, as "from-to" (to exclusive).
QString DifferingSpans(const QImage& a, const QImage& b, int y) {
    QStringList spans;
    for (int x = 0; x < a.width(); ++x) {
        if (a.pixel(x, y) == b.pixel(x, y)) continue;
        const int from = x;
        while (x < a.width() && a.pixel(x, y) != b.pixel(x, y)) ++x;
        spans << QString("%1-%2").arg(from).arg(x);
    }
    return spans.join(',');
}

TEST_F(TextorPaint, SelectionCoversExactlyTheSelectedRangeAndFivePixelsOfAParagraphEnd) {
    const struct {
        const char* text;
        int p0, i0, p1, i1;
        const char* rows;
    } cases[] = {
        {"abcdef", 0, 1, 0, 4, "10-40"},
        {"ab\ncd", 0, 1, 1, 1, "10-25|0-10"},
        {"ab\ncd", 0, 1, 0, 2, "10-20|"},
        {"a\tb", 0, 1, 0, 2, "10-40"},
    };
    for (const auto& c : cases) {
        t.SetText(c.text);
        const QImage plain = Painted(tpfPaintSelection);
        const QImage selected = Painted(tpfPaintSelection, TTextorRange{At(c.p0, c.i0), At(c.p1, c.i1)});
        EXPECT_TRUE(Painted(0, TTextorRange{At(c.p0, c.i0), At(c.p1, c.i1)}) == plain) << c.text;
        QStringList rows;
        for (int y = 5; y < t.GetHeight(); y += 10) rows << DifferingSpans(plain, selected, y);
        EXPECT_EQ(rows.join('|'), c.rows) << c.text;
    }
}

TEST_F(TextorPaint, MarksShowBlanksTabsAndParagraphEnds) {
    t.DefaultText = AsTextAttributes(AcquireSharedAs(TMarkedText()));
    t.SetText(QString::fromUtf8("a b\xC2\xA0" "c\td\ne"));  // the tab cell is 50..80, "d" ends at 90
    const QImage marked = Painted(tpfNonPrintingMarks);
    const QImage plain = Painted(0);
    const QRgb blank = plain.pixel(99, 39);
    const struct {
        int x, y;
        TColor mark;
    } cases[] = {{5, 5, MakeColor(0, 0, 0)},       {15, 5, MakeColor(255, 0, 0)}, {35, 5, MakeColor(0, 255, 0)},
                 {65, 5, MakeColor(0, 0, 255)},    {95, 5, MakeColor(255, 0, 255)},
                 {15, 15, clNone}};  // the last paragraph has no pilcrow
    for (const auto& c : cases) {
        EXPECT_EQ(marked.pixel(c.x, c.y), c.mark == clNone ? blank : QColor::fromRgba(c.mark).rgba()) << c.x;
        if (c.x > 10) EXPECT_EQ(plain.pixel(c.x, c.y), blank) << c.x;
    }
}

TEST_F(TextorPaint, RowsOutsideTheClipBoxAreNotPainted) {
    t.DefaultText = AsTextAttributes(AcquireSharedAs(TMarkedText()));
    t.SetText("a\nb\nc\nd");
    Painted(0, {}, TRect{0, 10, 100, 30});
    EXPECT_EQ(static_cast<const TMarkedText*>(t.DefaultText.get())->Baselines, (std::set<int>{18, 28}));
}

}  // namespace
