// Painting a textor on a picture: the selection, the paragraph-end highlight,
// the non-printing marks and the clip box. Code units are 10 pixels wide,
// rows 10 high with the baseline 8 below their top.

#include "support/testCases.h"
#include "support/testTextor.h"
#include "support/testVisualElements.h"

#include <gtest/gtest.h>

#include <set>

namespace {

// Paints each character as a box in a colour made of its code, blanks as
// nothing; notes the baselines of the pieces it paints.
class TCodedText : public TFixedTextAttributes {
public:
    mutable std::set<int> Baselines;

    int PaintText(ITextCanvas& canvas, int flags, const QChar* chars, int count, int x, int baseline,
                  const TRect& row) const override {
        Baselines.insert(baseline);
        for (int i = 0; i < count; ++i) {
            const int code = chars[i].unicode();
            const int left = x + i * Advance;
            if (code != u' ' && code != 0x00A0)
                canvas.FillRect(TRect{left, baseline - Ascent, left + Advance - 1, baseline},
                                MakeColor(code & 0xFF, code >> 8, 128));
        }
        return count * Advance;
    }
    std::unique_ptr<TAttributes> NewInstance() const override { return std::make_unique<TCodedText>(); }
};

// The characters painted along line y, one per 10-pixel cell, a blank for an unpainted cell.
QString CellsOf(const QImage& image, int y) {
    QString cells;
    for (int x = 5; x < image.width(); x += 10) {
        const QRgb pixel = image.pixel(x, y);
        cells += qBlue(pixel) == 128 ? QChar(qRed(pixel) + 256 * qGreen(pixel)) : QChar(u' ');
    }
    return cells;
}

class TextorPaint : public TTextorTest {
protected:
    TNodePtr<TSheetSettings> settings = MakeSheetSettings();
    TSheetCanvas canvas{settings.get()};

    void SetUp() override { t.UseTabStops = true; }
    QImage Painted(int flags, const TTextorRange& selection = {}, const TRect& clip = {0, 0, 100, 40}) {
        canvas.BeginPaint(clip);
        t.Paint(canvas, flags, selection, QPoint());
        QImage out = canvas.PaintBitmap().copy();
        canvas.EndPaint(nullptr);
        return out;
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
    for (const CaseRow& c : LoadCases("text/layout.txt", "Selections")) {
        t.SetText(c["Text"]);
        const QStringList start = c["Start"].split(' ');
        const QStringList end = c["End"].split(' ');
        const TTextorRange selection{At(start[0].toInt(), start[1].toInt()), At(end[0].toInt(), end[1].toInt())};
        const int flags = tpfPaintSelection | tpfParagraphEndHighlight;
        const QImage plain = Painted(flags);
        const QImage selected = Painted(flags, selection);
        EXPECT_TRUE(Painted(0, selection) == plain) << c.Text();
        QStringList rows;
        for (int y = 5; y < t.GetHeight(); y += 10) rows << DifferingSpans(plain, selected, y);
        EXPECT_EQ(rows.join('|'), c["Rows"]) << c.Text();
    }
}

TEST_F(TextorPaint, MarksShowBlanksTabsAndParagraphEnds) {
    t.DefaultText = AsTextAttributes(AcquireSharedAs(TCodedText()));
    t.SetText(QStringLiteral(u"a b\u00A0c\td\ne"));  // the tab cell is 50..80
    EXPECT_EQ(CellsOf(Painted(tpfNonPrintingMarks), 5), QStringLiteral(u"a\u00B7b\u00B0c \u00AC d\u00B6"));
    EXPECT_EQ(CellsOf(Painted(tpfNonPrintingMarks), 15), "e         ");  // no pilcrow after the last paragraph
    EXPECT_EQ(CellsOf(Painted(0), 5), "a b c   d ");
}

TEST_F(TextorPaint, RowsOutsideTheClipBoxAreNotPainted) {
    t.DefaultText = AsTextAttributes(AcquireSharedAs(TCodedText()));
    t.SetText("a\nb\nc\nd");
    Painted(0, {}, TRect{0, 10, 100, 30});
    EXPECT_EQ(static_cast<const TCodedText*>(t.DefaultText.get())->Baselines, (std::set<int>{18, 28}));
}

// Right-to-left text is painted left to right in its logical order, as it is
// measured, hit and selected: painting the first word of an Arabic row
// selected (on its own) leaves every pixel beside its selection as the row
// painted unselected (in one piece) has it.
TEST_F(TextorPaint, ASelectedArabicWordIsPaintedWhereItsSelectionIs) {
    TRichTextAttributes arabic;
    arabic.SetFontName(QStringLiteral("DejaVu Sans"));
    arabic.SetFontSize(12);
    t.DefaultText = AsTextAttributes(AcquireSharedAs(arabic));
    const QString firstWord = QStringLiteral(u"\u0643\u0644\u0645\u0629");
    t.SetText(firstWord + QStringLiteral(u" \u0623\u062E\u0631\u0649 \u062B\u0627\u0644\u062B\u0629"));
    const TRect clip{0, 0, 200, t.GetHeight()};
    const QImage plain = Painted(tpfPaintSelection, {}, clip);
    const QImage selected = Painted(tpfPaintSelection, TTextorRange{At(0, 0), At(0, 4)}, clip);
    const int selectionEnd = t.DefaultText->GetTextWidth(firstWord);
    ASSERT_GT(selectionEnd, 0);
    QStringList besideTheSelection;
    for (int y = 0; y < clip.Bottom; ++y) {
        const QString spans = DifferingSpans(plain.copy(selectionEnd, 0, plain.width() - selectionEnd, plain.height()),
                                             selected.copy(selectionEnd, 0, plain.width() - selectionEnd,
                                                           plain.height()),
                                             y);
        if (!spans.isEmpty()) besideTheSelection << QString("%1: %2").arg(y).arg(spans);
    }
    EXPECT_EQ(besideTheSelection.join(" | ").toStdString(), "") << "selection ends at " << selectionEnd;
    EXPECT_NE(DifferingSpans(plain, selected, clip.Bottom / 2).toStdString(), "");  // the selection is painted
}

}  // namespace
