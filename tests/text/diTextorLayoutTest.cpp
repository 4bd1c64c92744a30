// Text layout: the wrap and its mended faults, row lookup, hit tests, caret
// and row rectangles. Every code unit is 10 pixels wide, tabs 40, rows 10 high,
// but where a test says otherwise.

#include "platform/plInput.h"
#include "scheme/diTextorAttributes.h"
#include "support/testCases.h"
#include "support/testTextor.h"
#include "text/diTextorRows.h"

#include <gtest/gtest.h>

#include <algorithm>

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

// A row that closed at an earlier portion's end left the metrics of the
// portions after that end off the next row.
TEST_F(TextorLayout, RowAfterABreakAtAnEarlierPortionHasTheHeightOfAllItsPortions) {
    Set("ab *cd*efghijkl", 60);
    EXPECT_EQ(Texts(), "ab /cdefgh/ijkl");
    EXPECT_EQ(Bottoms(), "10/25/35");
}

// Code units U+0300 to U+036F (combining marks) take no room, the others
// Advance; notes how many code units it measured.
class TMarkedText : public TCountingText {
public:
    int GetTextWidth(const QChar* chars, int count) const override {
        Measured += count;
        auto isMark = [](QChar c) { return c >= u'\u0300' && c <= u'\u036F'; };
        const auto marks = std::count_if(chars, chars + count, isMark);
        return int(count - marks) * Advance;
    }
    std::unique_ptr<TAttributes> NewInstance() const override { return std::make_unique<TMarkedText>(); }
};

// A row's break was searched from an estimate made for the whole rest of the
// run, one character at a time: where zero-width marks follow narrow rows,
// thousands of steps each measuring the whole row.
TEST_F(TextorLayout, BreakSearchWasThousandsOfStepsWhereWidthsVaryAlongTheRun) {
    const auto counting = AcquireSharedAs(TMarkedText());
    t.DefaultText = AsTextAttributes(counting);
    const QString text = QString("ab ").repeated(300) + "x" + QString(20000, QChar(0x0301));
    Set(text, 100);
    EXPECT_EQ(t.FirstParagraph()->RowCount(), 100);  // "ab ab ab " each, the marked x on the last
    EXPECT_LT(counting->Measured, 40 * text.size());
}

// A run without break opportunities (a long word, a script written without
// spaces) longer than a row: every row's search looked for the run's end,
// reading the rest of the run for break opportunities and measuring all of
// it, so the wrap grew with the square of the run.
TEST_F(TextorLayout, BreakSearchReadAndMeasuredTheRestOfARunWithoutBreaksForEveryRow) {
    const auto counting = AcquireSharedAs(TCountingText());
    t.DefaultText = AsTextAttributes(counting);
    for (const QString& text : {QString(20000, QChar(u'x')), "ab cd " + QString(20000, QChar(u'x')) + " ef"}) {
        counting->Measured = 0;
        Set(text, 100);
        const QString rows = Texts();
        EXPECT_EQ(t.FirstParagraph()->RowCount(), (text.size() + 9) / 10 + (text.startsWith(u"ab") ? 1 : 0));
        EXPECT_LT(counting->Measured, 40 * text.size());
        counting->Measured = 0;
        t.InsertText(At(0, 10005), "y");
        EXPECT_LT(counting->Measured, 40 * text.size()) << "a keystroke in the middle of the run";
        t.InvalidateAllLayouts();
        t.DeleteRange(TTextorRange{At(0, 10005), At(0, 10006)});
        EXPECT_EQ(Texts(), rows);
    }
}

// Edits of one long paragraph, each followed by the rows of a fresh layout.
TEST_F(TextorLayout, AnEditMeasuresOnlyTheRowsAroundItAndMakesTheRowsOfAFreshLayout) {
    const auto counting = AcquireSharedAs(TCountingText());
    t.DefaultText = AsTextAttributes(counting);
    QString words;  // of 1 to 7 letters: rows that lose or gain a word meet the old ones again
    for (int i = 0; words.size() < 10000; ++i) words += QString(1 + i * 7919 % 7, QChar(u'a' + i % 26)) + " ";
    Set(words, 100);
    using TEdit = std::function<void(TTestTextor&)>;
    const std::pair<const char*, TEdit> edits[] = {
        {"typing", [&](TTestTextor& x) { x.InsertText(At(0, 5003), "xyz "); }},
        {"deleting", [&](TTestTextor& x) { x.DeleteRange(TTextorRange{At(0, 4000), At(0, 4007)}); }},
        {"restyling", [&](TTestTextor& x) { x.SetRangeAttributes(TTextorRange{At(0, 3000), At(0, 3004)}, false, b); }},
        {"Enter", [&](TTestTextor& x) { x.SplitParagraph(At(0, 6002)); }},
        {"typing after Enter", [&](TTestTextor& x) { x.InsertText(At(1, 3), "u"); }},
        {"joining", [&](TTestTextor& x) { x.DeleteRange(TTextorRange{At(0, 6002), At(1, 0)}); }},
    };
    for (const auto& [name, edit] : edits) {
        counting->Measured = 0;
        edit(t);
        EXPECT_LT(counting->Measured, 400) << name;
        const QString texts = Texts(), widths = Widths(), bottoms = Bottoms();
        t.InvalidateAllLayouts();
        EXPECT_EQ(Texts(), texts) << name;
        EXPECT_EQ(Widths(), widths) << name;
        EXPECT_EQ(Bottoms(), bottoms) << name;
    }
}

// A long plain text set anew with one word changed (a reference taking a new
// name) is changed in place: the rows away from the change are kept, and the
// rows are those of a fresh layout.
TEST_F(TextorLayout, SettingAPlainTextWithOneWordChangedMeasuresOnlyTheRowsAroundIt) {
    const auto counting = AcquireSharedAs(TCountingText());
    t.DefaultText = AsTextAttributes(counting);
    QString words;
    for (int i = 0; words.size() < 10000; ++i) words += QString(1 + i * 7919 % 7, QChar(u'a' + i % 26)) + " ";
    Set(words, 100);
    using TChange = std::function<void(QString&)>;
    const std::pair<const char*, TChange> changes[] = {
        {"a word typed", [](QString& text) { text.insert(5003, "xyz "); }},
        {"a word deleted", [](QString& text) { text.remove(4000, 7); }},
        {"a letter replaced", [](QString& text) { text[3000] = u'Q'; }},
    };
    for (const auto& [name, change] : changes) {
        SCOPED_TRACE(name);
        change(words);
        counting->Measured = 0;
        t.SetText(words);
        EXPECT_EQ(t.GetText(), words);
        EXPECT_LT(counting->Measured, 400);
        const QString texts = Texts(), widths = Widths();
        t.InvalidateAllLayouts();
        EXPECT_EQ(Texts(), texts);
        EXPECT_EQ(Widths(), widths);
    }
}

// ---------------------------------------------------------------------------
// The break rules done the slow way

struct TPlainRow {
    int Start;
    int End;
    int Width;
    friend bool operator==(const TPlainRow&, const TPlainRow&) = default;
};

// The rows of a paragraph of text portions, each row found from its start by
// placing the characters one by one (each portion's piece on the row
// measured whole) up to the first that does not fit, a surrogate pair whole.
// The row ends at the latest place of the best grade among: the end of each
// portion placed whole (a break opportunity if the rules allow a break there,
// else a place to break anywhere), the last opportunity before that character
// in its portion, else the place before it in its portion (anywhere), else
// after it (forced).
std::vector<TPlainRow> PlainRows(const TTextor& textor, const TParagraph* paragraph, int limit) {
    std::vector<int> starts;
    std::vector<const TTextAttributes*> attributes;
    QString text;
    for (TPortion* p = paragraph->FirstPortion(); p; p = p->Next()) {
        starts.push_back(int(text.size()));
        attributes.push_back(p->GetAttributes());
        text += static_cast<const TTextPortion*>(p)->Text();
    }
    const int length = int(text.size());
    starts.push_back(length);
    auto portionOf = [&](int i) { return int(std::upper_bound(starts.begin(), starts.end(), i) - starts.begin()) - 1; };
    auto xAt = [&](int start, int end) {
        int x = 0;
        for (int from = start; from < end; from = std::min(end, starts[size_t(portionOf(from)) + 1])) {
            const size_t k = size_t(portionOf(from));
            x += attributes[k]->GetTextWidth(text.constData() + from, std::min(end, starts[k + 1]) - from);
        }
        return x;
    };
    auto pair = [&](int i) { return i + 1 < length && text[i].isHighSurrogate() && text[i + 1].isLowSurrogate(); };
    auto opportunity = [&](int i) {
        return i + 1 < length && !pair(i) && textor.CanBreakBetween(text[i].unicode(), text[i + 1].unicode());
    };
    std::vector<TPlainRow> rows;
    for (int start = 0;;) {
        int over = start;
        while (over < length && xAt(start, over + 1) <= limit) ++over;
        const int piece = std::max(start, starts[size_t(portionOf(over))]);
        if (over > piece && pair(over - 1)) --over;
        int end = length;
        if (over < length) {
            int grade = 0;
            auto consider = [&](int place, int placeGrade) {
                if (placeGrade < grade) return;
                end = place;
                grade = placeGrade;
            };
            for (size_t k = size_t(portionOf(start)); starts[k + 1] <= over; ++k)
                consider(starts[k + 1], opportunity(starts[k + 1] - 1) ? 3 : 2);
            int i = over - 1;
            while (i >= piece && !opportunity(i)) --i;
            if (i >= piece)
                consider(i + 1, 3);
            else if (over > piece)
                consider(over, 2);
            else
                consider(pair(over) ? over + 2 : over + 1, 1);
        }
        rows.push_back(TPlainRow{start, end, xAt(start, end)});
        if (end == length) return rows;
        start = end;
    }
}

TEST_F(TextorLayout, MixedScriptsWrapAsTheBreakRulesDoneTheSlowWay) {
    auto rich = [](int size, int style) {
        TRichTextAttributes value;
        value.SetFontName("DejaVu Sans");
        value.SetFontSize(size);
        value.SetFontStyle(style);
        return AsTextAttributes(AcquireSharedAs(value));
    };
    const QString marks = QString("e") + QString(40, QChar(0x0301)) + "o\u0308\u0323";
    const QString cjk = "\u6F22\u5B57\u304B\u306A\u6DF7\u3058\u308A\u6587\u7AE0\u4E2D\u6587";
    const QString devanagari = "\u0915\u094D\u0937\u0924\u094D\u0930\u093F\u092F \u0939\u093F\u0928\u094D\u0926\u0940";
    const QString lacking = "\U0001F600\U0001F680\uE000\uE001 x\U0001F4A1";
    const QString mixed = "begin " + marks + " caf\u00E9 " + cjk + cjk + " " + devanagari + " " + lacking + " end";
    // text ("*" switches attributes), the default and the other attributes
    const std::tuple<const char*, QString, TTextAttributesRef, TTextAttributesRef> cases[] = {
        {"one run of fonts", mixed.repeated(6), rich(10, 0), rich(13, tfsBold)},
        {"runs of two fonts", (mixed + "*" + cjk + marks + " *").repeated(5), rich(10, 0), rich(13, tfsBold)},
        {"zero-width marks", (marks + " ab" + QString(300, QChar(0x0300)) + " cdefgh ").repeated(8),
         AsTextAttributes(AcquireSharedAs(TMarkedText())), b},
        {"runs without break opportunities",
         "a " + (QString(devanagari).remove(u' ') + "\U0001F600\U0001F680\uE000" + marks).repeated(6) + " z",
         rich(10, 0), rich(13, tfsBold)},
    };
    for (const auto& [name, text, own, other] : cases) {
        t.DefaultText = own;
        b = other;
        for (const int width : {1, 37, 90, 160, 300}) {
            Set(text, width);
            const TParagraph* p = t.FirstParagraph();
            std::vector<TPlainRow> rows;
            for (int i = 0; i < p->RowCount(); ++i)
                rows.push_back(TPlainRow{p->RowAt(i)->StartIndex(), p->RowAt(i)->EndIndex(), p->RowAt(i)->Width()});
            const std::vector<TPlainRow> plain = PlainRows(t, p, width);
            ASSERT_EQ(rows.size(), plain.size()) << name << " at " << width;
            for (size_t i = 0; i < rows.size(); ++i) {
                EXPECT_EQ(rows[i], plain[i]) << name << " at " << width << ", row " << i << ": " << rows[i].Start
                                             << ".." << rows[i].End << " w" << rows[i].Width << ", the slow way "
                                             << plain[i].Start << ".." << plain[i].End << " w" << plain[i].Width;
            }
        }
    }
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

// The width of a short text asks for the available width (a walk up the
// rooms of a box's ancestors) only when a paragraph is aligned right or
// centred: no other row's place depends on it.
TEST_F(TextorLayout, TheWidthOfAShortTextAsksForTheAvailableWidthOnlyForAlignedParagraphs) {
    enum : uint8_t { kLeft = 0, kRight = 1, kCentred = 2 };
    for (const uint8_t alignment : {kLeft, kRight, kCentred}) {
        SCOPED_TRACE(int(alignment));
        t.DefaultParagraph = FixedParagraph(5, 7, 3, alignment);
        Set("aaaa bbbb\ncc", 75);
        t.AvailableWidthAsks = 0;
        const int width = t.GetWidth();
        EXPECT_EQ(t.AvailableWidthAsks, alignment == kLeft ? 0 : 1);
        t.AvailableWidth = 200;
        EXPECT_EQ(t.GetWidth() != width, alignment != kLeft);
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
