#pragma once
// Test doubles of the text model: text attributes with fixed metrics (exact
// widths on any machine, one filled box per painted character), paragraph
// attributes with settable indents, a textor whose rules are settable and
// which counts its notices, and a stub embedded element.

#if QUILLANE_TEST_LAYER >= 4

#include "scheme/diCanvas.h"
#include "scheme/diVisual.h"
#include "text/diTextor.h"

#include <QStringList>

#include <functional>

#include <gtest/gtest.h>

// Every code unit advances by Advance pixels.
class TFixedTextAttributes : public TTextAttributes {
public:
    int Advance = 10;
    int Ascent = 8;
    int Descent = 2;
    int TabWidth = 40;
    TColor Color = MakeColor(0, 0, 0);
    TColor Background = clNone;

    int GetAscent() const override { return Ascent; }
    int GetDescent() const override { return Descent; }
    int GetTabWidth() const override { return TabWidth; }
    int GetTextWidth(const QChar* chars, int count) const override { return count * Advance; }
    void PaintBackground(ITextCanvas& canvas, int flags, const TRect& rect) const override;
    void PaintRun(ITextCanvas& canvas, int flags, int x, int width, const TRect& row) const override;
    // One box per character: Advance - 1 wide, from baseline - Ascent to the baseline.
    int PaintText(ITextCanvas& canvas, int flags, const QChar* chars, int count, int x, int baseline,
                  const TRect& row) const override;

    void Assign(const TAttributes& other) override;
    bool Equals(const TAttributes& other) const override;
    uint64_t Hash() const override;
    std::unique_ptr<TAttributes> NewInstance() const override { return std::make_unique<TFixedTextAttributes>(); }
};

// The shared instance with these metrics (held by the answer).
TTextAttributesRef FixedText(int advance = 10, int ascent = 8, int descent = 2, int tabWidth = 40,
                             TColor color = MakeColor(0, 0, 0));

// Layout values 0, 1, 2: left, first-line and right indent; Options(): the alignment.
class TFixedParagraphAttributes : public TParagraphAttributes {
public:
    int Indents[3] = {0, 0, 0};

    int LayoutValue(int index, const TTextAttributes* text) const override { return Indents[index]; }
    void Assign(const TAttributes& other) override;
    bool Equals(const TAttributes& other) const override;
    uint64_t Hash() const override;
    std::unique_ptr<TAttributes> NewInstance() const override {
        return std::make_unique<TFixedParagraphAttributes>();
    }
};

TParagraphAttributesRef FixedParagraph(int left, int firstLine, int right, uint8_t alignment = 0);

class TTestTextor : public TTextor {
public:
    explicit TTestTextor(bool locked = false) : TTextor(locked) {}

    int AvailableWidth = 0;
    TRect Margins;
    bool AllowParagraphs = true;
    bool UseTabStops = false;
    TTextAttributesRef DefaultText = FixedText();
    TParagraphAttributesRef DefaultParagraph;
    // Runs while a re-layout lays out a paragraph, before its layout.
    std::function<void(TTestTextor&)> DuringLayout;
    int ChangedCount = 0;
    int RelayoutCount = 0;
    mutable int AvailableWidthAsks = 0;

    void Changed() override { ++ChangedCount; }
    void Relayout(bool textChanged) override;
    void LayoutParagraph(TParagraph* paragraph, int availableWidth, const TRect& margins,
                         const TRect& paddings) override;
    TParagraphAttributes* GetDefaultParagraphAttributes() const override { return DefaultParagraph.get(); }
    TTextAttributes* GetDefaultTextAttributes() const override { return DefaultText.get(); }
    TRect GetTextMargins() const override { return Margins; }
    int GetAvailableWidth() const override {
        ++AvailableWidthAsks;
        return AvailableWidth;
    }
    bool AllowsParagraphs() const override { return AllowParagraphs; }
    bool UsesTabStopPortions() const override { return UseTabStops; }
};

// The paragraphs' characters, an element as U+FFFC.
QStringList ParagraphTexts(const TTextor& textor);

// The place of character at.Char of paragraph at.Paragraph; the test stops
// when the text has no such place.
TTextorPosition PositionAt(const TTextor& textor, TTextorNumericPosition at);

// What the strings of a text's portions hold: their capacity and their
// length in code units, and how many there are.
struct TStringHold {
    int64_t Capacity = 0;
    int64_t Length = 0;
    int64_t Strings = 0;
    // At most about twice the length: twice, and a little for each short string.
    bool WithinTwiceTheLength() const noexcept { return Capacity <= 2 * Length + 16 * Strings; }
};
TStringHold StringHold(const TTextor& textor);

// The right edge of the widest row with its paragraph's right indent, by a
// walk over the rows (what TTextor::GetWidth keeps).
int WidthByWalk(const TTextor& textor);

// A test of a textor `t`, with its positions by numbers.
class TTextorTest : public ::testing::Test {
protected:
    TTestTextor t;

    // Character `index` of paragraph `paragraph` (the test stops when there is none).
    TTextorPosition At(int paragraph, int index) const;
};

// An element of fixed size that records where it was painted; freed loose
// (no scheme) through Free or by the portion that holds it.
class TStubElement : public TVisualElement {
    T_ELEMENT_CLASS(TStubElement)
public:
    static TStubElement* Make(int width, int height, int descent);

    TColor Color = MakeColor(0, 160, 0);
    int PaintCount = 0;
    // Set to true when the element is freed (the flag outlives it).
    bool* FreedFlag = nullptr;

    void Paint(TSheetCanvas& canvas) override;
    void BeforeDestruction() override;
};

#endif
