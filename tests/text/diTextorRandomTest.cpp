// Random edits, applied to a textor and to a plain reference (the paragraphs
// as strings, U+FFFC for an element), compared after every step: the text,
// numeric positions both ways, character steps, and the rows laid out
// incrementally against a fresh layout of a copy of the same text.

#include "support/testTextor.h"
#include "text/diTextorRows.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

namespace {
// The helpers' own namespace: the files of this folder are compiled in one batch.
namespace random_edits {

constexpr char16_t RandomObjectChar = 0xFFFC;

bool IsBreakChar(QChar c) { return c == QChar(tcReturn) || c == QChar(tcLineFeed); }

// What a fresh layout must agree on, row by row and element by element.
struct TRowShot {
    int Paragraph, Start, End, StoredStart, StoredEnd, Bottom, Descent, Width, Height;
    TRect Rect;
    friend bool operator==(const TRowShot&, const TRowShot&) = default;
};

std::ostream& operator<<(std::ostream& out, const TRowShot& r) {
    return out << "{p" << r.Paragraph << " " << r.Start << ".." << r.End << " stored " << r.StoredStart << ".."
               << r.StoredEnd << " bottom " << r.Bottom << " descent " << r.Descent << " width " << r.Width
               << " height " << r.Height << " rect " << r.Rect.Left << "," << r.Rect.Top << "," << r.Rect.Right
               << "," << r.Rect.Bottom << "}";
}

struct TLayoutShot {
    std::vector<TRowShot> Rows;
    std::vector<TRect> Elements;
    int Height = 0;
    int Width = 0;
    friend bool operator==(const TLayoutShot&, const TLayoutShot&) = default;
};

std::ostream& operator<<(std::ostream& out, const TLayoutShot& s) {
    out << "height " << s.Height << " width " << s.Width << "\n";
    for (const TRowShot& r : s.Rows) out << "  " << r << "\n";
    for (const TRect& e : s.Elements)
        out << "  element " << e.Left << "," << e.Top << "," << e.Right << "," << e.Bottom << "\n";
    return out;
}

TLayoutShot ShotOf(const TTextor& textor) {
    TLayoutShot shot;
    int index = 0;
    for (TParagraph* p = textor.FirstParagraph(); p; p = p->Next(), ++index) {
        for (int i = 0; i < p->RowCount(); ++i) {
            const TRow* row = p->RowAt(i);
            shot.Rows.push_back({index, row->StartIndex(), row->EndIndex(),
                                 textor.PositionToNumeric(row->GetStartPosition()).Char,
                                 textor.PositionToNumeric(row->GetEndPosition()).Char, row->Bottom(),
                                 row->Descent(), row->Width(), row->GetHeight(), textor.GetRowRect(row)});
        }
        for (TPortion* portion = p->FirstPortion(); portion; portion = portion->Next())
            if (auto* slot = dynamic_cast<TElementPortion*>(portion); slot && slot->Element())
                shot.Elements.push_back(slot->Element()->GetBoundsRect());
    }
    shot.Height = textor.GetHeight();
    shot.Width = textor.GetWidth();
    return shot;
}

// A textor of the same rules holding portions like `from`'s, laid out at once.
void CopyTextor(const TTestTextor& from, TTestTextor& to) {
    to.AvailableWidth = from.AvailableWidth;
    to.Margins = from.Margins;
    to.UseTabStops = from.UseTabStops;
    to.DefaultText = from.DefaultText;
    to.DefaultParagraph = from.DefaultParagraph;
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
            else if (auto* slot = dynamic_cast<TElementPortion*>(portion)) {
                const TVisualElement* e = slot->Element();
                TElementPortion::Create(copy, nullptr, TStubElement::Make(e->Width(), e->Height(), e->Descent()));
            }
        }
    }
    to.InvalidateAllLayouts();  // an empty text has no change that would lay it out
    to.EndUpdate();
}

// One run: a textor, its reference and the random source.
class TextorRandomEdits : public ::testing::TestWithParam<std::pair<unsigned, bool>> {
protected:
    void SetUp() override {
        random.seed(GetParam().first);
        textor.UseTabStops = GetParam().second;
        textor.AvailableWidth = 120;
        textor.Margins = TRect{2, 1, 3, 2};
        textor.InvalidateAllLayouts();
    }

    int Pick(int below) { return std::uniform_int_distribution<int>(0, below - 1)(random); }
    bool Chance(int percent) { return Pick(100) < percent; }

    // A place in the reference that does not split a surrogate pair.
    TTextorNumericPosition RandomPlace() {
        const int p = Pick(int(reference.size()));
        const QString& text = reference[p];
        int c = Pick(int(text.size()) + 1);
        if (c > 0 && c < text.size() && text[c - 1].isHighSurrogate() && text[c].isLowSurrogate()) --c;
        return {p, c};
    }
    TTextorPosition PositionOf(TTextorNumericPosition place) {
        TTextorPosition position;
        EXPECT_TRUE(textor.NumericToPosition(place, position)) << place.Paragraph << ":" << place.Char;
        return position;
    }
    bool Before(TTextorNumericPosition a, TTextorNumericPosition b) {
        return a.Paragraph < b.Paragraph || (a.Paragraph == b.Paragraph && a.Char < b.Char);
    }

    // Words of 1 to 16 letters (wider than a narrow row), spaces, tabs,
    // no-break spaces, surrogate pairs and every mix of CR and LF.
    QString RandomText() {
        static const QString pieces[] = {"a", "bc", "def", "ghij", "klmnopq", "rstuvwxyzabcdefg", " ", " ", " ",
                                         "\t", "\t\t", "\u00A0", "\U0001F600", "\r", "\n", "\r\n", "\n\r",
                                         "\r\r"};
        QString text;
        for (int n = 1 + Pick(12); n > 0; --n) text += pieces[Pick(int(std::size(pieces)))];
        return text;
    }
    // Mostly a few characters on from `from`, sometimes across a paragraph end.
    TTextorNumericPosition NearbyPlace(TTextorNumericPosition from) {
        TTextorNumericPosition to{from.Paragraph, from.Char + Pick(8)};
        if (to.Char > reference[to.Paragraph].size()) {
            if (to.Paragraph + 1 < reference.size()) {
                ++to.Paragraph;
                to.Char = std::min(Pick(4), int(reference[to.Paragraph].size()));
            } else {
                to.Char = int(reference[to.Paragraph].size());
            }
        }
        const QString& text = reference[to.Paragraph];
        if (to.Char > 0 && to.Char < text.size() && text[to.Char].isLowSurrogate()) ++to.Char;
        return to;
    }
    TTextAttributesRef RandomAttributes() {
        switch (Pick(4)) {
        case 0: return FixedText(10, 8, 2);
        case 1: return FixedText(7, 11, 3);
        case 2: return FixedText(13, 6, 1, 30);
        default: return {};
        }
    }

    // ---- the steps, each on both sides ----
    void InsertText() {
        const TTextorNumericPosition at = RandomPlace();
        const QString text = RandomText();
        const TTextorRange inserted = textor.InsertText(PositionOf(at), text, RandomAttributes());
        // The reference: CR or LF breaks the paragraph, and a following CR or LF that differs goes with it.
        QString head = reference[at.Paragraph].left(at.Char);
        const QString tail = reference[at.Paragraph].mid(at.Char);
        QStringList lines;
        for (int i = 0; i < text.size(); ++i) {
            if (!IsBreakChar(text[i])) {
                head += text[i];
                continue;
            }
            lines << head;
            head.clear();
            if (i + 1 < text.size() && IsBreakChar(text[i + 1]) && text[i + 1] != text[i]) ++i;
        }
        const TTextorNumericPosition end{at.Paragraph + int(lines.size()), int(head.size())};
        lines << head + tail;
        reference.removeAt(at.Paragraph);
        for (int i = 0; i < lines.size(); ++i) reference.insert(at.Paragraph + i, lines[i]);
        const TTextorNumericRange got = textor.RangeToNumeric(inserted);
        if (!IsBreakChar(text.front())) {
            EXPECT_EQ(got.Start, at) << "start of the inserted range";
        }
        if (!IsBreakChar(text.back())) {
            EXPECT_EQ(got.End, end) << "end of the inserted range";
        }
    }
    void InsertElement() {
        const TTextorNumericPosition at = RandomPlace();
        const TTextorRange inserted =
            textor.InsertElement(PositionOf(at), TStubElement::Make(5 + Pick(60), 4 + Pick(20), Pick(4)));
        reference[at.Paragraph].insert(at.Char, QChar(RandomObjectChar));
        EXPECT_EQ(textor.RangeToNumeric(inserted),
                  (TTextorNumericRange{at, TTextorNumericPosition{at.Paragraph, at.Char + 1}}));
    }
    void Delete() {
        TTextorNumericPosition a = RandomPlace(), b = Chance(80) ? NearbyPlace(a) : RandomPlace();
        if (Before(b, a)) std::swap(a, b);
        if (Chance(2)) {
            a = {0, 0};
            b = {int(reference.size()) - 1, int(reference.back().size())};
        }
        const TTextorPosition at = textor.DeleteRange(TTextorRange{PositionOf(a), PositionOf(b)});
        reference[a.Paragraph] = reference[a.Paragraph].left(a.Char) + reference[b.Paragraph].mid(b.Char);
        reference.remove(a.Paragraph + 1, b.Paragraph - a.Paragraph);
        EXPECT_EQ(textor.PositionToNumeric(at), a) << "where the range was";
    }
    void Split() {
        const TTextorNumericPosition at = RandomPlace();
        const TTextorRange split = textor.SplitParagraph(PositionOf(at), RandomAttributes());
        reference.insert(at.Paragraph + 1, reference[at.Paragraph].mid(at.Char));
        reference[at.Paragraph].truncate(at.Char);
        EXPECT_EQ(textor.RangeToNumeric(split),
                  (TTextorNumericRange{at, TTextorNumericPosition{at.Paragraph + 1, 0}}));
    }
    void SetAttributes() {
        TTextorNumericPosition a = RandomPlace(), b = RandomPlace();
        if (Before(b, a)) std::swap(a, b);
        textor.SetRangeAttributes(TTextorRange{PositionOf(a), PositionOf(b)}, Chance(50), RandomAttributes());
    }
    void SetParagraphAttributes() {
        TParagraph* p = textor.ParagraphAt(Pick(int(reference.size())));
        p->SetAttributes(Chance(25) ? TParagraphAttributesRef()
                                    : FixedParagraph(Pick(12), Pick(20) - 5, Pick(12), uint8_t(Pick(3))));
    }
    void ChangeWidth() {
        static const int widths[] = {0, 1, 25, 60, 90, 120, 200, 400};
        textor.AvailableWidth = widths[Pick(int(std::size(widths)))];
        textor.InvalidateAllLayouts();
    }

    // The kind of step taken last (for the trace).
    const char* lastStep = "";

    void RandomStep() {
        using TStep = void (TextorRandomEdits::*)();
        static const std::pair<const char*, TStep> steps[] = {
            {"insert text", &TextorRandomEdits::InsertText},
            {"insert element", &TextorRandomEdits::InsertElement},
            {"delete", &TextorRandomEdits::Delete},
            {"split", &TextorRandomEdits::Split},
            {"set attributes", &TextorRandomEdits::SetAttributes},
            {"set paragraph attributes", &TextorRandomEdits::SetParagraphAttributes},
            {"change width", &TextorRandomEdits::ChangeWidth},
        };
        const bool longText = reference.join(QString()).size() > 500;
        const int weights[] = {longText ? 10 : 35, 8, 20, 8, 12, 7, 8};
        const int k = std::discrete_distribution<int>(std::begin(weights), std::end(weights))(random);
        lastStep = steps[k].first;
        (this->*steps[k].second)();
    }

    // ---- the comparisons ----
    void ExpectSameText() {
        for (TParagraph* p = textor.FirstParagraph(); p; p = p->Next())
            for (TPortion* portion = p->FirstPortion(); portion; portion = portion->Next())
                ASSERT_GT(portion->Length(), 0) << "an empty portion in paragraph " << p->Index();
        ASSERT_EQ(ParagraphTexts(textor), reference);
        QString plain = reference.join(QStringLiteral("\r\n"));
        plain.remove(QChar(RandomObjectChar));
        EXPECT_EQ(textor.GetText(), plain);
    }
    // One character on and back in the reference (a surrogate pair is one).
    TTextorNumericPosition StepForwardIn(int p, int c) const {
        const QString& text = reference[p];
        if (c == text.size() && p + 1 == reference.size()) return {p, c};  // the text end stays
        if (c == text.size()) return {p + 1, 0};
        const bool pair = c + 1 < text.size() && text[c].isHighSurrogate() && text[c + 1].isLowSurrogate();
        return {p, c + (pair ? 2 : 1)};
    }
    TTextorNumericPosition StepBackwardIn(int p, int c) const {
        if (c == 0 && p == 0) return {0, 0};  // the text start stays
        if (c == 0) return {p - 1, int(reference[p - 1].size())};
        const QString& text = reference[p];
        const bool pair = c >= 2 && text[c - 1].isLowSurrogate() && text[c - 2].isHighSurrogate();
        return {p, c - (pair ? 2 : 1)};
    }
    // Every place maps to a normalised position and back; a step forward or
    // back goes over one character (a surrogate pair is one).
    void ExpectNumericRoundTrips() {
        const int paragraphs = int(reference.size());
        for (int p = 0; p < paragraphs; ++p) {
            const QString& text = reference[p];
            for (int c = 0; c <= text.size(); ++c) {
                TTextorPosition position;
                ASSERT_TRUE(textor.NumericToPosition({p, c}, position)) << p << ":" << c;
                ASSERT_TRUE(!position.Portion || position.Offset < position.Portion->Length()) << "normalised";
                ASSERT_EQ(textor.PositionToNumeric(position), (TTextorNumericPosition{p, c}));
                if (c > 0 && text[c - 1].isHighSurrogate()) continue;  // inside a pair
                const TTextorNumericPosition forward = textor.PositionToNumeric(textor.StepForward(position));
                const TTextorNumericPosition backward = textor.PositionToNumeric(textor.StepBackward(position));
                ASSERT_EQ(forward, StepForwardIn(p, c)) << p << ":" << c;
                ASSERT_EQ(backward, StepBackwardIn(p, c)) << p << ":" << c;
            }
            TTextorPosition outside;
            EXPECT_FALSE(textor.NumericToPosition({p, int(text.size()) + 1}, outside));
            EXPECT_FALSE(textor.NumericToPosition({p, -1}, outside));
        }
        TTextorPosition outside;
        EXPECT_FALSE(textor.NumericToPosition({paragraphs, 0}, outside));
        EXPECT_FALSE(textor.NumericToPosition({-1, 0}, outside));
    }
    // The rows as laid out step by step equal those of a fresh layout; rows
    // run on without gaps and never end inside a surrogate pair.
    void ExpectFreshLayout() {
        TTestTextor fresh;
        CopyTextor(textor, fresh);
        const TLayoutShot shot = ShotOf(textor);
        ASSERT_EQ(shot, ShotOf(fresh));
        int bottom = 0;
        for (size_t i = 0; i < shot.Rows.size(); ++i) {
            const TRowShot& row = shot.Rows[i];
            ASSERT_EQ(row.Bottom - row.Height, bottom) << "row " << i;
            bottom = row.Bottom;
            ASSERT_EQ(row.StoredStart, row.Start);
            ASSERT_EQ(row.StoredEnd, row.End);
            const bool last = i + 1 == shot.Rows.size() || shot.Rows[i + 1].Paragraph != row.Paragraph;
            const QString& text = reference[row.Paragraph];
            ASSERT_EQ(row.End == text.size(), last) << "row " << i;
            if (!last) {
                ASSERT_EQ(shot.Rows[i + 1].Start, row.End);
            }
            ASSERT_FALSE(row.End > 0 && row.End < text.size() && text[row.End].isLowSurrogate()) << "row " << i;
        }
    }

    std::mt19937 random;
    TTestTextor textor;
    QStringList reference{QString()};
};

TEST_P(TextorRandomEdits, AgreeWithThePlainReferenceAndAFreshLayout) {
    constexpr int Steps = 300;
    for (int step = 0; step < Steps; ++step) {
        RandomStep();
        SCOPED_TRACE(::testing::Message() << "step " << step << " (" << lastStep << ") width "
                                          << textor.AvailableWidth);
        ASSERT_NO_FATAL_FAILURE(ExpectSameText());
        ASSERT_NO_FATAL_FAILURE(ExpectNumericRoundTrips());
        ASSERT_NO_FATAL_FAILURE(ExpectFreshLayout());
    }
}

// (seed, tab runs as tab-stop portions)
INSTANTIATE_TEST_SUITE_P(Seeds, TextorRandomEdits,
                         ::testing::Values(std::pair{1u, true}, std::pair{2u, false}, std::pair{3u, true},
                                           std::pair{4u, false}));

}  // namespace random_edits
}  // namespace
