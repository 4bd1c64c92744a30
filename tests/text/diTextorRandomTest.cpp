// Random edits, applied to a textor and to a plain reference (the paragraphs
// joined by "\n", U+FFFC for an element), compared after every step: the text,
// numeric positions both ways, character steps, the paragraph numbers, tops,
// height and width the textor keeps against walks over its paragraphs and
// rows, and the rows laid out incrementally (an edit makes again only the
// rows that saw it) against a fresh layout of a copy of the same text, also
// where widths do not add up. Long texts (more paragraphs than a chunk of
// places holds) take blocks of lines and lose runs of paragraphs.

#include "support/testTextor.h"
#include "text/diTextorRows.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <ostream>
#include <random>
#include <vector>

namespace {
// The helpers' own namespace: the files of this folder are compiled in one batch.
namespace random_edits {

bool IsBreakChar(QChar c) { return c == QChar(tcReturn) || c == QChar(tcLineFeed); }

// Fixed widths, but a character equal to the one before it is 4 pixels
// narrower (as a ligature): a run cut between equals is wider in pieces.
class TPairedText : public TFixedTextAttributes {
public:
    int GetTextWidth(const QChar* chars, int count) const override {
        int width = TFixedTextAttributes::GetTextWidth(chars, count);
        for (int i = 1; i < count; ++i) width -= chars[i] == chars[i - 1] ? 4 : 0;
        return width;
    }
    std::unique_ptr<TAttributes> NewInstance() const override { return std::make_unique<TPairedText>(); }
};

TTextAttributesRef PairedText(int advance) {
    TPairedText value;
    value.Advance = advance;
    return AsTextAttributes(AcquireSharedAs(value));
}

// What a fresh layout must agree on: each row as {paragraph, start, end,
// bottom, descent, width, height, rectangle}, each element's bounds, and the
// text's height and width.
std::vector<std::vector<int>> LayoutOf(const TTextor& textor) {
    std::vector<std::vector<int>> layout;
    for (TParagraph* p = textor.FirstParagraph(); p; p = p->Next()) {
        for (int i = 0; i < p->RowCount(); ++i) {
            const TRow* row = p->RowAt(i);
            const TRect r = textor.GetRowRect(row);
            layout.push_back({p->Index(), row->StartIndex(), row->EndIndex(), row->Bottom(), row->Descent(),
                              row->Width(), row->GetHeight(), r.Left, r.Top, r.Right, r.Bottom});
        }
        for (TPortion* portion = p->FirstPortion(); portion; portion = portion->Next()) {
            if (auto* slot = dynamic_cast<TElementPortion*>(portion); slot && slot->Element()) {
                const TRect e = slot->Element()->GetBoundsRect();
                layout.push_back({e.Left, e.Top, e.Right, e.Bottom});
            }
        }
    }
    layout.push_back({textor.GetHeight(), textor.GetWidth()});
    return layout;
}

// A textor of the same rules holding portions like `from`'s, laid out at once.
void CopyTextor(const TTestTextor& from, TTestTextor& to) {
    to.AvailableWidth = from.AvailableWidth;
    to.Margins = from.Margins;
    to.UseTabStops = from.UseTabStops;
    to.BeginUpdate();
    for (TParagraph* p = from.FirstParagraph(); p; p = p->Next()) {
        if (p != from.FirstParagraph()) to.SplitParagraph(to.GetEndPosition());
        TParagraph* copy = to.LastParagraph();
        copy->SetAttributes(p->AttributesRef());
        copy->SetTextAttributes(p->TextAttributesRef());
        for (TPortion* portion = p->FirstPortion(); portion; portion = portion->Next()) {
            if (auto* text = dynamic_cast<TTextPortion*>(portion))
                TTextPortion::Create(copy, nullptr, text->AttributesRef(), text->Chars(), text->Length());
            else if (auto* tabs = dynamic_cast<TTabStopsPortion*>(portion))
                TTabStopsPortion::Create(copy, nullptr, tabs->AttributesRef(), tabs->Length());
            else if (const TVisualElement* e = static_cast<TElementPortion*>(portion)->Element())
                TElementPortion::Create(copy, nullptr, TStubElement::Make(e->Width(), e->Height(), e->Descent()));
        }
    }
    to.InvalidateAllLayouts();  // an empty text has no change that would lay it out
    to.EndUpdate();
}

struct TRandomRun {
    unsigned Seed;
    bool TabStops;   // tab runs as tab-stop portions
    int Paragraphs;  // at the start

    friend void PrintTo(const TRandomRun& run, std::ostream* out) {
        *out << "seed " << run.Seed << (run.TabStops ? ", tab stops, " : ", ") << run.Paragraphs << " paragraphs";
    }
};


// One run: a textor, its reference and the random source. Places in the
// reference are offsets into it.
class TextorRandomEdits : public ::testing::TestWithParam<TRandomRun> {
protected:
    void SetUp() override {
        random.seed(GetParam().Seed);
        textor.UseTabStops = GetParam().TabStops;
        textor.AvailableWidth = 120;
        textor.Margins = TRect{2, 1, 3, 2};
        textor.InvalidateAllLayouts();
        if (GetParam().Paragraphs > 1) InsertLines(0, GetParam().Paragraphs - 1);
    }
    bool IsLong() const { return GetParam().Paragraphs > 1; }

    int Pick(int below) { return std::uniform_int_distribution<int>(0, below - 1)(random); }
    bool Chance(int percent) { return Pick(100) < percent; }

    bool InsidePair(int offset) const {
        return offset > 0 && offset < reference.size() && reference[offset - 1].isHighSurrogate() &&
               reference[offset].isLowSurrogate();
    }
    // One character on from `offset` (a surrogate pair is one); the text ends stay.
    int Step(int offset, int direction) const {
        const int next = std::clamp(offset + direction, 0, int(reference.size()));
        return InsidePair(next) ? next + direction : next;
    }
    TTextorNumericPosition NumericAt(int offset) const {
        const QStringView before = QStringView(reference).left(offset);
        return {int(before.count(u'\n')), int(offset - before.lastIndexOf(u'\n') - 1)};
    }
    TTextorPosition PositionOf(int offset) { return PositionAt(textor, NumericAt(offset)); }
    // A place up to `spread` characters on from `from`, not inside a surrogate pair.
    int Place(int from = 0, int spread = INT_MAX) {
        const int offset = from + Pick(std::min(spread, int(reference.size()) - from) + 1);
        return InsidePair(offset) ? offset - 1 : offset;
    }
    // Words of 1 to 16 letters (wider than a narrow row), spaces, tabs,
    // no-break spaces, surrogate pairs, doubled letters and every mix of CR and LF.
    QString RandomText() {
        static const QString pieces[] = {"a", "bc", "def", "ghij", "klmnopq", "rstuvwxyzabcdefg", "lloo", " ", " ",
                                         " ", "\t", "\t\t", "\u00A0", "\U0001F600", "\r", "\n", "\r\n", "\n\r",
                                         "\r\r"};
        QString text;
        for (int n = 1 + Pick(12); n > 0; --n) text += pieces[Pick(int(std::size(pieces)))];
        return text;
    }
    TTextAttributesRef RandomAttributes() {
        const TTextAttributesRef choices[] = {FixedText(10, 8, 2), FixedText(7, 11, 3), FixedText(13, 6, 1, 30),
                                              PairedText(9), {}};
        return choices[Pick(int(std::size(choices)))];
    }

    // ---- the steps, each on both sides ----
    void InsertText() {
        const int at = Place();
        const QString text = RandomText();
        const TTextorRange inserted = textor.InsertText(PositionOf(at), text, RandomAttributes());
        const TTextorNumericRange got = textor.RangeToNumeric(inserted);
        // CR or LF breaks the paragraph, and a following CR or LF that differs goes with it.
        static const QRegularExpression breaks(QStringLiteral("\r\n|\n\r|[\r\n]"));
        const QString added = QString(text).replace(breaks, QStringLiteral("\n"));
        reference.insert(at, added);
        if (!IsBreakChar(text.front())) {
            EXPECT_EQ(got.Start, NumericAt(at)) << "start of the inserted range";
        }
        if (!IsBreakChar(text.back())) {
            EXPECT_EQ(got.End, NumericAt(at + int(added.size()))) << "end of the inserted range";
        }
    }
    // An element or a paragraph break: one character in the reference.
    void InsertOne(bool element) {
        const int at = Place();
        const TTextorRange inserted =
            element ? textor.InsertElement(PositionOf(at), TStubElement::Make(5 + Pick(60), 4 + Pick(20), Pick(4)))
                    : textor.SplitParagraph(PositionOf(at), RandomAttributes());
        reference.insert(at, element ? QChar(0xFFFC) : QChar(u'\n'));
        EXPECT_EQ(textor.RangeToNumeric(inserted), (TTextorNumericRange{NumericAt(at), NumericAt(at + 1)}));
    }
    void Delete() {
        int a = Place();
        int b = Chance(80) ? Place(a, 8) : Place();  // mostly a few characters on, sometimes past a paragraph end
        if (b < a) std::swap(a, b);
        if (Chance(2)) {
            a = 0;
            b = int(reference.size());
        }
        const TTextorPosition at = textor.DeleteRange(TTextorRange{PositionOf(a), PositionOf(b)});
        reference.remove(a, b - a);
        EXPECT_EQ(textor.PositionToNumeric(at), NumericAt(a)) << "where the range was";
    }
    // count line breaks, each after a short word, at a place.
    void InsertLines(int at, int count) {
        QString lines;
        for (int i = 0; i < count; ++i) lines += QString(QChar(u'a' + i % 26)).repeated(1 + i % 15) + u'\n';
        textor.InsertText(PositionOf(at), lines);
        reference.insert(at, lines);
    }
    void SetAttributes() {
        const auto [a, b] = std::minmax({Place(), Place()});
        textor.SetRangeAttributes(TTextorRange{PositionOf(a), PositionOf(b)}, Chance(50), RandomAttributes());
    }
    void SetParagraphAttributes() {
        TParagraph* p = textor.ParagraphAt(Pick(textor.ParagraphCount()));
        p->SetAttributes(Chance(25) ? TParagraphAttributesRef()
                                    : FixedParagraph(Pick(12), Pick(20) - 5, Pick(12), uint8_t(Pick(3))));
    }
    void ChangeWidth() {
        static const int widths[] = {0, 1, 25, 60, 90, 120, 200, 400};
        textor.AvailableWidth = widths[Pick(int(std::size(widths)))];
        textor.InvalidateAllLayouts();
    }

    // Asks for places here and there, so that the next edit meets them half
    // known: a paragraph's number, the paragraph at a number, a row at a y.
    void Look() {
        TParagraph* p = textor.ParagraphAt(Pick(textor.ParagraphCount()));
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(textor.ParagraphAt(p->Index()), p);
        if (textor.GetHeight() > 0) {
            const TRow* row = textor.FindRowAtY(Pick(textor.GetHeight()), false);
            ASSERT_NE(row, nullptr);
            EXPECT_LT(row->Top(), row->Bottom());
        }
    }

    // Takes a random step; answers its name (for the trace).
    const char* RandomStep() {
        const int longText = IsLong() ? 1 : 0;
        const int weights[] = {reference.size() > 500 * (1 + 20 * longText) ? 10 : 35, 8, 20, 8, 12, 7, 8, 10,
                               3 * longText};
        switch (std::discrete_distribution<int>(std::begin(weights), std::end(weights))(random)) {
        case 0: InsertText(); return "insert text";
        case 1: InsertOne(true); return "insert element";
        case 2: Delete(); return "delete";
        case 3: InsertOne(false); return "split";
        case 4: SetAttributes(); return "set attributes";
        case 5: SetParagraphAttributes(); return "set paragraph attributes";
        case 6: ChangeWidth(); return "change width";
        case 7: Look(); return "look";
        default: InsertLines(Place(), 1 + Pick(400)); return "insert lines";
        }
    }

    // ---- the comparisons ----
    void ExpectSameText() {
        for (TParagraph* p = textor.FirstParagraph(); p; p = p->Next())
            for (TPortion* portion = p->FirstPortion(); portion; portion = portion->Next())
                ASSERT_GT(portion->Length(), 0) << "an empty portion in paragraph " << p->Index();
        ASSERT_EQ(ParagraphTexts(textor).join(u'\n'), reference);
        EXPECT_EQ(textor.GetText(), QString(reference).remove(QChar(0xFFFC)).replace(u'\n', QStringLiteral("\r\n")));
    }
    // Every place maps to a normalised position and back, places past a
    // paragraph's ends to none; a step forward or back goes over one character.
    // In a long text every paragraph start and some places between.
    void ExpectNumericRoundTrips() {
        std::vector<TTextorNumericPosition> places{{0, 0}};  // of every offset
        for (QChar c : reference) {
            const TTextorNumericPosition last = places.back();
            places.push_back(c == u'\n' ? TTextorNumericPosition{last.Paragraph + 1, 0}
                                        : TTextorNumericPosition{last.Paragraph, last.Char + 1});
        }
        for (int offset = 0; offset <= reference.size(); ++offset) {
            if (IsLong() && offset > 0 && reference[offset - 1] != u'\n' && !Chance(5)) continue;
            const TTextorNumericPosition place = places[offset];
            TTextorPosition position;
            ASSERT_TRUE(textor.NumericToPosition(place, position)) << offset;
            ASSERT_TRUE(!position.Portion || position.Offset < position.Portion->Length()) << "normalised";
            ASSERT_EQ(textor.PositionToNumeric(position), place);
            if (offset == reference.size() || reference[offset] == u'\n') {
                EXPECT_FALSE(textor.NumericToPosition({place.Paragraph, place.Char + 1}, position));
                EXPECT_FALSE(textor.NumericToPosition({place.Paragraph, -1}, position));
            }
            if (InsidePair(offset)) continue;
            ASSERT_EQ(textor.PositionToNumeric(textor.StepForward(position)), places[Step(offset, 1)]) << offset;
            ASSERT_EQ(textor.PositionToNumeric(textor.StepBackward(position)), places[Step(offset, -1)]) << offset;
        }
        TTextorPosition outside;
        EXPECT_FALSE(textor.NumericToPosition({textor.ParagraphCount(), 0}, outside));
        EXPECT_FALSE(textor.NumericToPosition({-1, 0}, outside));
    }
    // The numbers, the paragraphs at numbers, the count, the height and the
    // width the textor keeps are those a walk finds; a row found at a y holds it.
    void ExpectKeptPlaces() {
        int index = 0;
        for (TParagraph* p = textor.FirstParagraph(); p; p = p->Next(), ++index) {
            ASSERT_EQ(p->Index(), index);
            ASSERT_EQ(textor.ParagraphAt(index), p);
        }
        ASSERT_EQ(textor.ParagraphCount(), index);
        EXPECT_EQ(textor.ParagraphAt(index), nullptr);
        EXPECT_EQ(textor.ParagraphAt(-1), nullptr);
        const TRow* last = nullptr;
        for (TParagraph* p = textor.LastParagraph(); p && !last; p = p->Prev()) last = p->LastRow();
        ASSERT_EQ(textor.GetHeight(), last ? last->Bottom() : 0);
        ASSERT_EQ(textor.GetWidth(), WidthByWalk(textor));
        for (int i = 0; i < 8 && textor.GetHeight() > 0; ++i) {
            const int y = Pick(textor.GetHeight());
            const TRow* row = textor.FindRowAtY(y, false);
            ASSERT_TRUE(row && row->Top() <= y && y < row->Bottom()) << "y " << y;
        }
    }
    // The rows as laid out step by step equal those of a fresh layout; rows
    // run on without gaps from each paragraph's start to its end, their
    // positions agree with their indices, and none ends inside a surrogate pair.
    void ExpectFreshLayout() {
        TTestTextor fresh;
        CopyTextor(textor, fresh);
        ASSERT_EQ(LayoutOf(textor), LayoutOf(fresh));
        int bottom = 0;
        int paragraphStart = 0;
        for (TParagraph* p = textor.FirstParagraph(); p; p = p->Next()) {
            int start = 0;
            for (int i = 0; i < p->RowCount(); ++i) {
                const TRow* row = p->RowAt(i);
                SCOPED_TRACE(::testing::Message() << "paragraph " << p->Index() << " row " << i);
                ASSERT_EQ(row->StartIndex(), start);
                ASSERT_TRUE(i == 0 || start < p->Length()) << "an empty row after the paragraph end";
                ASSERT_EQ(row->Bottom() - row->GetHeight(), bottom);
                ASSERT_EQ(textor.PositionToNumeric(row->GetStartPosition()).Char, row->StartIndex());
                ASSERT_EQ(textor.PositionToNumeric(row->GetEndPosition()).Char, row->EndIndex());
                ASSERT_FALSE(InsidePair(paragraphStart + row->EndIndex()));
                start = row->EndIndex();
                bottom = row->Bottom();
            }
            ASSERT_EQ(start, p->Length());
            paragraphStart += p->Length() + 1;
        }
    }

    std::mt19937 random;
    TTestTextor textor;
    QString reference;
};

TEST_P(TextorRandomEdits, AgreeWithThePlainReferenceAndAFreshLayout) {
    constexpr int Steps = 300;
    for (int step = 0; step < Steps; ++step) {
        const char* kind = RandomStep();
        SCOPED_TRACE(::testing::Message() << "step " << step << " (" << kind << ") width " << textor.AvailableWidth);
        ASSERT_NO_FATAL_FAILURE(ExpectSameText());
        ASSERT_NO_FATAL_FAILURE(ExpectNumericRoundTrips());
        ASSERT_NO_FATAL_FAILURE(ExpectKeptPlaces());
        ASSERT_NO_FATAL_FAILURE(ExpectFreshLayout());
    }
}

INSTANTIATE_TEST_SUITE_P(Seeds, TextorRandomEdits,
                         ::testing::Values(TRandomRun{1u, true, 1}, TRandomRun{2u, false, 1}, TRandomRun{3u, true, 1},
                                           TRandomRun{4u, false, 1}, TRandomRun{5u, false, 700},
                                           TRandomRun{6u, true, 600}, TRandomRun{5u, true, 1},
                                           TRandomRun{6u, false, 1}, TRandomRun{7u, true, 1},
                                           TRandomRun{8u, false, 1}));

}  // namespace random_edits
}  // namespace
