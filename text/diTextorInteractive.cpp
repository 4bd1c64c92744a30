#include "text/diTextorInteractive.h"

#include "text/diTextorRows.h"

T_CLASS_IMPL_ABSTRACT(TTextorInteractive, TItfObject)
T_CLASS_IMPL_ABSTRACT(TSchemeTextorInteractive, TTextorInteractive)

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

void TTextorInteractive::CancelPress() { SetMouseMode(tmmNone); }

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
