#include "support/testTextor.h"

#include "support/testStop.h"

#if QUILLANE_TEST_LAYER >= 4

T_ELEMENT_CLASS_IMPL(TStubElement, TVisualElement)

// ---------------------------------------------------------------------------
// TFixedTextAttributes

void TFixedTextAttributes::PaintBackground(ITextCanvas& canvas, int flags, const TRect& rect) const {
    if (Background != clNone) canvas.FillRect(rect, Background);
}

void TFixedTextAttributes::PaintRun(ITextCanvas& canvas, int flags, int x, int width, const TRect& row) const {
    const TRect rect{x, row.Top, x + width, row.Bottom};
    PaintBackground(canvas, flags, rect);
    if (flags & tpfSelected) canvas.DrawSelection(rect, !(flags & tpfInactive));
}

int TFixedTextAttributes::PaintText(ITextCanvas& canvas, int flags, const QChar* chars, int count, int x,
                                    int baseline, const TRect& row) const {
    const int width = GetTextWidth(chars, count);
    const TRect rect{x, row.Top, x + width, row.Bottom};
    PaintBackground(canvas, flags, rect);
    for (int i = 0; i < count; ++i) {
        const int left = x + i * Advance;
        canvas.FillRect(TRect{left, baseline - Ascent, left + Advance - 1, baseline}, Color);
    }
    if (flags & tpfSelected) canvas.DrawSelection(rect, !(flags & tpfInactive));
    return width;
}

void TFixedTextAttributes::Assign(const TAttributes& other) {
    TTextAttributes::Assign(other);
    if (auto* o = dynamic_cast<const TFixedTextAttributes*>(&other)) {
        Advance = o->Advance;
        Ascent = o->Ascent;
        Descent = o->Descent;
        TabWidth = o->TabWidth;
        Color = o->Color;
        Background = o->Background;
    }
}

bool TFixedTextAttributes::Equals(const TAttributes& other) const {
    if (!TTextAttributes::Equals(other)) return false;
    const auto& o = static_cast<const TFixedTextAttributes&>(other);
    return Advance == o.Advance && Ascent == o.Ascent && Descent == o.Descent && TabWidth == o.TabWidth &&
           Color == o.Color && Background == o.Background;
}

uint64_t TFixedTextAttributes::Hash() const {
    uint64_t hash = TTextAttributes::Hash();
    for (const int value : {Advance, Ascent, Descent, TabWidth}) hash = HashWith(hash, uint64_t(uint32_t(value)));
    return HashWith(HashWith(hash, Color), Background);
}

TTextAttributesRef FixedText(int advance, int ascent, int descent, int tabWidth, TColor color) {
    TFixedTextAttributes value;
    value.Advance = advance;
    value.Ascent = ascent;
    value.Descent = descent;
    value.TabWidth = tabWidth;
    value.Color = color;
    return AsTextAttributes(AcquireSharedAs(value));
}

// ---------------------------------------------------------------------------
// TFixedParagraphAttributes

void TFixedParagraphAttributes::Assign(const TAttributes& other) {
    TParagraphAttributes::Assign(other);
    if (auto* o = dynamic_cast<const TFixedParagraphAttributes*>(&other))
        std::copy(std::begin(o->Indents), std::end(o->Indents), std::begin(Indents));
}

bool TFixedParagraphAttributes::Equals(const TAttributes& other) const {
    if (!TParagraphAttributes::Equals(other)) return false;
    const auto& o = static_cast<const TFixedParagraphAttributes&>(other);
    return std::equal(std::begin(Indents), std::end(Indents), std::begin(o.Indents));
}

uint64_t TFixedParagraphAttributes::Hash() const {
    uint64_t hash = TParagraphAttributes::Hash();
    for (const int indent : Indents) hash = HashWith(hash, uint64_t(uint32_t(indent)));
    return hash;
}

TParagraphAttributesRef FixedParagraph(int left, int firstLine, int right, uint8_t alignment) {
    TFixedParagraphAttributes value;
    value.Indents[0] = left;
    value.Indents[1] = firstLine;
    value.Indents[2] = right;
    value.SetOptions(alignment);
    return AsParagraphAttributes(AcquireSharedAs(value));
}

// ---------------------------------------------------------------------------
// TTestTextor

void TTestTextor::Relayout(bool textChanged) {
    ++RelayoutCount;
    TTextor::Relayout(textChanged);
}

void TTestTextor::LayoutParagraph(TParagraph* paragraph, int availableWidth, const TRect& margins,
                                  const TRect& paddings) {
    if (DuringLayout) DuringLayout(*this);
    TTextor::LayoutParagraph(paragraph, availableWidth, margins, paddings);
}

QStringList ParagraphTexts(const TTextor& textor) {
    QStringList texts;
    for (TParagraph* p = textor.FirstParagraph(); p; p = p->Next()) {
        QString text;
        for (TPortion* portion = p->FirstPortion(); portion; portion = portion->Next()) {
            if (portion->Kind() == TPortionKind::Element) {
                text += QChar(0xFFFC);
                continue;
            }
            QString chars(portion->Length(), QChar());
            portion->CopyChars(0, portion->Length(), chars.data());
            text += chars;
        }
        texts << text;
    }
    return texts;
}

TStringHold StringHold(const TTextor& textor) {
    TStringHold hold;
    for (TPortion* p = textor.GetFirstPortion(); p; p = p->GetNextPortion()) {
        if (p->Kind() != TPortionKind::Text) continue;
        const QString& text = static_cast<const TTextPortion*>(p)->Text();
        hold.Capacity += text.capacity();
        hold.Length += text.size();
        ++hold.Strings;
    }
    return hold;
}

int WidthByWalk(const TTextor& textor) {
    int width = 0;
    for (TParagraph* p = textor.FirstParagraph(); p; p = p->Next()) {
        const auto* indents = dynamic_cast<const TFixedParagraphAttributes*>(p->GetAttributes());
        for (int i = 0; i < p->RowCount(); ++i)
            width = std::max(width, textor.GetRowRect(p->RowAt(i)).Right + (indents ? indents->Indents[2] : 0));
    }
    return width;
}

TTextorPosition PositionAt(const TTextor& textor, TTextorNumericPosition at) {
    TTextorPosition position;
    if (!textor.NumericToPosition(at, position))
        StopTest("no character " + std::to_string(at.Char) + " in paragraph " + std::to_string(at.Paragraph));
    return position;
}

TTextorPosition TTextorTest::At(int paragraph, int index) const { return PositionAt(t, {paragraph, index}); }

// ---------------------------------------------------------------------------
// TStubElement

TStubElement* TStubElement::Make(int width, int height, int descent) {
    auto* element = TElement::CreateIn<TStubElement>(nullptr, nullptr);
    element->SetBounds(0, 0, width, height, descent);
    return element;
}

void TStubElement::Paint(TSheetCanvas& canvas) {
    ++PaintCount;
    canvas.FillRect(GetClientRect(), Color);
}

void TStubElement::BeforeDestruction() {
    if (FreedFlag) *FreedFlag = true;
    TVisualElement::BeforeDestruction();
}

#endif
