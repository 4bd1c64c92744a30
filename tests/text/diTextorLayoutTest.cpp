// Text layout: the wrap and its mended faults, row lookup, hit tests, caret
// and row rectangles. Every code unit is 10 pixels wide, tabs 40, rows 10 high.

#include "platform/plInput.h"
#include "support/testCases.h"
#include "support/testTextor.h"
#include "text/diTextorRows.h"

#include <gtest/gtest.h>

namespace {

class TextorLayout : public TTextorTest {
protected:
    TTextAttributesRef b = FixedText(10, 12, 3);

    void SetUp() override { t.UseTabStops = true; }

    // The text, "*" switching between the default attributes and b.
    void Set(const QString& marked, int width) {
        t.AvailableWidth = width;
        t.BeginUpdate();
        t.Clear();
        bool other = false;
        for (const QString& part : marked.split('*')) {
            if (!part.isEmpty()) t.InsertText(t.GetEndPosition(), part, other ? b : TTextAttributesRef());
            other = !other;
        }
        t.EndUpdate();
    }
    std::pair<int, int> Numeric(const TTextorPosition& position) const {
        const TTextorNumericPosition n = t.PositionToNumeric(position);
        return {n.Paragraph, n.Char};
    }
    // Each row by `field`, "/" between rows, "|" between paragraphs.
    template <class Field>
    QString Rows(Field field) const {
        QStringList paragraphs;
        const QStringList texts = ParagraphTexts(t);
        for (TParagraph* p = t.FirstParagraph(); p; p = p->Next()) {
            QStringList rows;
            for (int i = 0; i < p->RowCount(); ++i) rows << field(texts[p->Index()], *p->RowAt(i));
            paragraphs << rows.join('/');
        }
        return paragraphs.join('|');
    }
    QString Texts() const {
        return Rows([](const QString& text, const TRow& r) {
            return text.mid(r.StartIndex(), r.EndIndex() - r.StartIndex());
        });
    }
    QString Widths() const { return Rows([](const QString&, const TRow& r) { return QString::number(r.Width()); }); }
    QString Bottoms() const { return Rows([](const QString&, const TRow& r) { return QString::number(r.Bottom()); }); }
};

TEST_F(TextorLayout, WrapsAtTheBestCandidate) {
    for (const CaseRow& c : LoadCases("text/layout.txt", "Wraps")) {
        Set(c["Text"], c.Int("Width"));
        EXPECT_EQ(Texts(), c["Rows"]) << c.Text();
        EXPECT_EQ(Widths(), c["Widths"]) << c.Text();
    }
}

TEST_F(TextorLayout, MovedParagraphLostItsParagraphTextHeight) {
    Set("x\ny", 0);
    t.LastParagraph()->SetTextAttributes(b);
    t.InvalidateAllLayouts();
    t.SplitParagraph(At(0, 1));  // the last paragraph only moves
    EXPECT_EQ(Bottoms(), "10|20|35");  // an empty paragraph has its text attributes' height
    t.InvalidateAllLayouts();
    EXPECT_EQ(Bottoms(), "10|20|35");
}

// Notes how many code units it measured.
class TCountingText : public TFixedTextAttributes {
public:
    mutable int64_t Measured = 0;
    int GetTextWidth(const QChar* chars, int count) const override {
        Measured += count;
        return TFixedTextAttributes::GetTextWidth(chars, count);
    }
    std::unique_ptr<TAttributes> NewInstance() const override { return std::make_unique<TCountingText>(); }
};

TEST_F(TextorLayout, BreakSearchMeasuredTheRestOfTheRunForEveryRow) {
    t.DefaultText = AsTextAttributes(AcquireSharedAs(TCountingText()));
    const QString text = QString("ab ").repeated(2000);
    Set(text, 100);
    EXPECT_EQ(t.FirstParagraph()->RowCount(), 667);  // "ab ab ab " on each row
    EXPECT_LT(static_cast<const TCountingText*>(t.DefaultText.get())->Measured, 20 * text.size());
}

TEST_F(TextorLayout, ElementsStandOnTheRowsThatPaintingUses) {
    t.Margins = TRect{2, 3, 4, 1};
    t.DefaultParagraph = FixedParagraph(5, 7, 3, 2);
    Set("x\nab", 100);
    auto* element = TStubElement::Make(30, 12, 2);
    t.InsertElement(At(1, 2), element);  // slot 36 wide; the row's ascent 13, descent 3
    const TRow* row = t.LastParagraph()->FirstRow();
    EXPECT_EQ(element->Left(), t.GetRowRect(row).Left + 2 + 20 + 2);
    EXPECT_EQ(element->Top(), 3 + row->Baseline() - 10);
    t.InsertText(At(0, 0), "y", b);  // the element's paragraph only moves, by 5
    EXPECT_EQ(row->Bottom(), 31);
    EXPECT_EQ(element->Top(), 3 + row->Baseline() - 10);
}

TEST_F(TextorLayout, RowsAndCaretsFollowIndentsAndAlignment) {
    for (const CaseRow& c : LoadCases("text/layout.txt", "Alignments")) {
        t.DefaultParagraph = FixedParagraph(5, 7, 3, uint8_t(c.Int("Alignment")));
        Set("aaaa bbbb", 75);
        const TParagraph* p = t.FirstParagraph();
        const int first = c.Int("First");
        const int second = c.Int("Second");
        EXPECT_EQ(t.GetRowRect(p->RowAt(0)), (TRect{first, 0, first + 50, 10})) << c.Text();
        EXPECT_EQ(t.GetRowRect(p->RowAt(1)), (TRect{second, 10, second + 40, 20})) << c.Text();
        EXPECT_EQ(t.GetCaretRect(p->RowAt(1), At(0, 7), 3), (TRect{second + 19, 10, second + 22, 20})) << c.Text();
        EXPECT_EQ(t.GetWidth(), std::max(first + 50, second + 40) + 3) << c.Text();
    }
}

TEST_F(TextorLayout, FindsRowsByPositionAndByY) {
    Set("aaaa bbbb\ncc", 60);
    std::vector<TRow*> rows;
    for (TRow* r = t.FirstParagraph()->FirstRow(); r; r = NextRowInText(r)) rows.push_back(r);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(t.FindRow(At(0, 5), false), rows[0]);  // a wrap boundary belongs to the upper row
    EXPECT_EQ(t.FindRow(At(0, 5), true), rows[1]);   // unless the lower one is asked for
    EXPECT_EQ(t.FindRow(At(0, 9), true), rows[1]);
    EXPECT_EQ(t.FindRow(At(0, 4), true, rows[1]), rows[0]);  // a wrong hint is not taken
    for (const CaseRow& c : LoadCases("text/layout.txt", "RowsAtY")) {
        const int row = c.Int("Row");
        EXPECT_EQ(t.FindRowAtY(c.Int("Y"), c.Int("Clamp")), row < 0 ? nullptr : rows[size_t(row)]) << c.Text();
    }
    TRow* first = nullptr;
    TRow* last = nullptr;
    t.GetRowsOfRange(TTextorRange{At(0, 5), At(1, 1)}, first, last);
    EXPECT_EQ(first, rows[1]);
    EXPECT_EQ(last, rows[2]);
    EXPECT_EQ(t.GetHeight(), 30);
}

TEST_F(TextorLayout, HitTestsCharactersAndTabCells) {
    Set("ab\tc\xF0\x9F\x98\x80", 0);
    for (const CaseRow& c : LoadCases("text/layout.txt", "Hits")) {
        TTextorPosition position;
        EXPECT_EQ(t.HitTest(QPoint(c.Int("X"), 5), c.Int("Round"), position), bool(c.Int("Hit"))) << c.Text();
        EXPECT_EQ(Numeric(position), std::pair(0, c.Int("Index"))) << c.Text();
    }
}

TEST_F(TextorLayout, HitEstimateOverflowedIn32Bits) {
    t.DefaultText = FixedText(1000);
    Set(QString(5000, 'a'), 0);
    TTextorPosition far;
    t.HitTest(QPoint(4'500'005, 5), false, far);
    EXPECT_EQ(Numeric(far), std::pair(0, 4500));
}

TEST_F(TextorLayout, DragTakesAnElementInNearItsFarEdge) {
    TFakeInputState input;
    input.Threshold = 5;
    TInputStateInstaller install(&input);
    Set("", 0);
    t.InsertElement(t.GetStartPosition(), TStubElement::Make(200, 20, 0));
    for (const CaseRow& c : LoadCases("text/layout.txt", "Drags")) {
        const TTextorDrag drag{QPoint(c.Int("Press"), 5), QPoint(c.Int("Current"), 5)};
        TTextorPosition position;
        t.HitTest(QPoint(c.Int("X"), 5), true, position, &drag);
        EXPECT_EQ(Numeric(position), std::pair(0, c.Int("Index"))) << c.Text();
    }
}

TEST_F(TextorLayout, HittingTheMiddleOfEveryCaretGivesItsPositionBack) {
    t.DefaultParagraph = FixedParagraph(5, 7, 3, 2);
    Set("ab cd\tef \xF0\x9F\x98\x80 gh*ij kl*\n\nmn\t\topq", 70);
    t.InsertElement(At(0, 4), TStubElement::Make(30, 12, 2));
    for (TTextorPosition position = t.GetStartPosition();; position = t.StepForward(position)) {
        for (bool lower : {false, true}) {
            const TRect caret = t.GetCaretRect(t.FindRow(position, lower), position, 2);
            TTextorPosition hit;
            t.HitTest(QPoint((caret.Left + caret.Right) / 2, (caret.Top + caret.Bottom) / 2), true, hit);
            EXPECT_EQ(Numeric(hit), Numeric(position)) << "lower row " << lower;
        }
        if (position == t.GetEndPosition()) break;
    }
}

}  // namespace
