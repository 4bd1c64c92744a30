#include "text/diTextorInteractive.h"

#include "text/diTextorRows.h"

T_CLASS_IMPL_ABSTRACT(TTextorInteractive, TItfObject)
T_CLASS_IMPL_ABSTRACT(TSchemeTextorInteractive, TTextorInteractive)

uint8_t TextZoneOf(uint16_t options) noexcept {
    if (options & tioCursorDropDown) return tmzFieldDropDown;
    if (options & tioCursorParagraphs) return (options & tioCursorText) ? tmzContainerText : tmzContainer;
    if (options & tioCursorRich) return tmzFieldElements;
    return tmzField;
}

int CursorOfZone(uint8_t zone) noexcept {
    switch (zone) {
    case tmzField: return crTextorFieldBeam;
    case tmzFieldElements: return crTextorFieldElementsBeam;
    case tmzFieldDropDown: return crTextorFieldDropDownBeam;
    case tmzContainer: return crTextorContainerBeam;
    case tmzContainerText: return crTextorContainerTextBeam;
    case tmzLeft:
    case tmzLeftSelecting: return crTextorLeftZone;
    case tmzDragMove: return crTextorDragMove;
    case tmzDragCopy: return crTextorDragCopy;
    case tmzNoDrop: return Cursors::No;
    case tmzLink: return Cursors::HandPoint;
    default: return Cursors::Arrow;
    }
}

TTypedChar FilterTypedChar(char16_t ch, bool ctrl, uint16_t options, bool allowsParagraphs,
                           bool usesTabStops) noexcept {
    if (ch >= tcSpace && !ctrl) return TTypedChar::Text;
    if (ch == tcReturn && allowsParagraphs && ctrl == bool(options & tioCtrlEnterParagraph))
        return TTypedChar::Paragraph;
    if (ch == tcTab && usesTabStops && ctrl == bool(options & tioCtrlTab)) return TTypedChar::Tab;
    return TTypedChar::Ignored;
}

TTextorInteractive::TTextorInteractive(TTextor* textor) : m_textor(textor) {
    m_caret = TTextor::Normalize(textor->GetStartPosition());
    m_anchor = m_activeEnd = m_caret;
    m_caretRow = textor->FindRow(m_caret, false);
}

TTextorInteractive::~TTextorInteractive() = default;

void TTextorInteractive::SetCaretAndSelection(TRow* row, const TTextorPosition& caret,
                                              const TTextorPosition& activeEnd, const TTextorPosition& anchor) {
    const bool caretChanged = row != m_caretRow || caret != m_caret;
    const bool sameEnds = (anchor == m_anchor && activeEnd == m_activeEnd) ||
                          (anchor == m_activeEnd && activeEnd == m_anchor);
    const bool bothEmpty = IsSelectionEmpty() && anchor == activeEnd;
    const bool selectionChanged = !sameEnds && !bothEmpty;
    m_caretRow = row;
    m_caret = caret;
    m_activeEnd = activeEnd;
    m_anchor = anchor;
    m_typingAttributes.reset();
    if (caretChanged) Broadcast(tinCaret);
    if (selectionChanged) Broadcast(tinSelection);
}

void TTextorInteractive::SetCaretPosition(const TTextorPosition& position) {
    const TTextorPosition p = TTextor::Normalize(position);
    SetCaretAndSelection(m_textor->FindRow(p, false), p, p, p);
}

void TTextorInteractive::SetSelection(const TTextorRange& range, bool caretAtStart) {
    const TTextorPosition start = TTextor::Normalize(range.Start);
    const TTextorPosition end = TTextor::Normalize(range.End);
    const TTextorPosition& caret = caretAtStart ? start : end;
    const TTextorPosition& anchor = caretAtStart ? end : start;
    SetCaretAndSelection(m_textor->FindRow(caret, false), caret, caret, anchor);
}

void TTextorInteractive::CollapseSelection() { SetCaretAndSelection(m_caretRow, m_caret, m_caret, m_caret); }

void TTextorInteractive::SelectAll() { SetSelection(m_textor->GetWholeRange()); }

void TTextorInteractive::SetCaretWidth(int width) {
    if (width == m_caretWidth) return;
    m_caretWidth = width;
    Broadcast(tinCaret);
}

TTextorRange TTextorInteractive::GetSelection() const {
    return IsSelectionReversed() ? TTextorRange{m_activeEnd, m_anchor} : TTextorRange{m_anchor, m_activeEnd};
}

bool TTextorInteractive::IsSelectionReversed() const { return m_textor->IsBefore(m_activeEnd, m_anchor); }

QString TTextorInteractive::GetSelectedText() const { return m_textor->GetRangeText(GetSelection()); }

TTextAttributesRef TTextorInteractive::GetTypingAttributes() const {
    if (m_typingAttributes) return m_typingAttributes;
    TPortion* at = m_caret.Portion;
    TPortion* before = at ? (m_caret.Offset > 0 ? at : at->Prev()) : m_caret.Paragraph->LastPortion();
    for (TPortion* portion : {before, at})
        if (portion && portion->HasAttributes()) return portion->AttributesRef();
    return {};
}

TRect TTextorInteractive::GetCaretRect() const {
    const TRow* row = m_caretRow ? m_caretRow : m_textor->FindRow(m_caret, false);
    return row ? m_textor->GetCaretRect(row, m_caret, m_caretWidth) : TRect{};
}

void TTextorInteractive::DeleteSelection() { Broadcast(tinEnterText, 0); }

void TTextorInteractive::CancelPress() {
    SetMouseMode(tmmNone);
    SetZone(ZoneAt(m_currentPoint));
}

void TTextorInteractive::SetZone(uint8_t zone) {
    if (zone == m_zone) return;
    m_zone = zone;
    Broadcast(tinZone);
}

void TTextorInteractive::SetMouseMode(uint8_t mode) {
    if (mode == m_mouseMode) return;
    m_mouseMode = mode;
    Broadcast(tinMouseMode);
}

void TSchemeTextorInteractive::SetPendingSelection(const TTextorNumericRange& range, bool caretAtStart,
                                                   bool noValidityTest) {
    m_pending = true;
    m_pendingRange = range;
    m_pendingCaretAtStart = caretAtStart;
    m_pendingNoValidityTest = noValidityTest;
}

// ---------------------------------------------------------------------------
// Input (being written)

TRow* TTextorInteractive::CaretRow() const noexcept { return m_caretRow; }
uint8_t TTextorInteractive::ZoneAt(QPoint) const { return TextZoneOf(m_options); }
void TTextorInteractive::MoveCaretToPoint(QPoint, bool, bool) {}
void TTextorInteractive::KeyDown(int&, TShiftState) {}
void TTextorInteractive::KeyUp(int&, TShiftState) {}
void TTextorInteractive::KeyPress(QChar&) {}
void TTextorInteractive::MouseDown(QPoint, TMouseButton, TShiftState, int) {}
void TTextorInteractive::MouseMove(QPoint, TShiftState) {}
void TTextorInteractive::MouseUp(QPoint, TMouseButton, TShiftState) {}
void TTextorInteractive::Paint(TSheetCanvas& canvas, int flags, bool showSelection, QPoint origin) {
    if (!showSelection || IsSelectionEmpty()) {
        m_textor->Paint(canvas, flags, TTextorRange{}, origin);
        return;
    }
    flags |= tpfPaintSelection;
    if (HasOption(tioParagraphEndHighlight)) flags |= tpfParagraphEndHighlight;
    m_textor->Paint(canvas, flags, GetSelection(), origin);
}
void RegisterTextorCursors() {}
