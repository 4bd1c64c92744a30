#include "text/diTextorInteractive.h"

#include "core/cuUtils.h"
#include "platform/plCursor.h"
#include "text/diTextorRows.h"

#include <QCursor>

#include <cstdlib>
#include <utility>

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
    m_caretRowGeneration = textor->RowsGeneration();
}

TTextorInteractive::~TTextorInteractive() = default;

void TTextorInteractive::SetOptions(uint16_t options) noexcept {
    m_options = options;
    if (m_mouseMode == tmmNone) m_zone = TextZoneOf(options);
}

void TTextorInteractive::SetCaretAndSelection(TRow* row, const TTextorPosition& caret,
                                              const TTextorPosition& activeEnd, const TTextorPosition& anchor) {
    const bool caretChanged = row != m_caretRow || caret != m_caret;
    const bool sameEnds = (anchor == m_anchor && activeEnd == m_activeEnd) ||
                          (anchor == m_activeEnd && activeEnd == m_anchor);
    const bool bothEmpty = IsSelectionEmpty() && anchor == activeEnd;
    const bool selectionChanged = !sameEnds && !bothEmpty;
    m_caretRow = row;
    m_caretRowGeneration = m_textor->RowsGeneration();
    m_caretAtFollowRowStart =
        row && row->GetPrevRow() && m_textor->PositionToNumeric(caret).Char == row->StartIndex();
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

void TTextorInteractive::CollapseSelection() { SetCaretAndSelection(CaretRow(), m_caret, m_caret, m_caret); }

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

TRow* TTextorInteractive::CaretRow() const noexcept {
    if (m_caretRowGeneration == m_textor->RowsGeneration()) return m_caretRow;
    // The rows were made anew. While an edit or its re-layout is pending the
    // caret position itself may be stale: no row until the element sets it again.
    if (m_textor->UpdateCount() > 0 || m_textor->IsRelayoutPending() || m_textor->IsRelayoutRunning())
        return nullptr;
    m_caretRow = m_textor->FindRow(m_caret, m_caretAtFollowRowStart);
    m_caretRowGeneration = m_textor->RowsGeneration();
    return m_caretRow;
}

TRect TTextorInteractive::GetCaretRect() const {
    const TRow* row = CaretRow();
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
// Moves

namespace {
bool IsLinkPortion(const TPortion* portion) noexcept {
    const TTextAttributes* attributes = portion ? portion->Attributes() : nullptr;
    return attributes && attributes->LinkKind() != 0;
}

// The row after `row` starts there; the text end after the last row.
TTextorPosition RowEndWithBreak(const TTextor& textor, const TRow* row) {
    const TRow* next = NextRowInText(row);
    return next ? next->GetStartPosition() : textor.GetEndPosition();
}
}  // namespace

void TTextorInteractive::MoveCaretTo(TRow* row, const TTextorPosition& position, bool extend) {
    const TTextorPosition p = TTextor::Normalize(position);
    if (!row) row = m_textor->FindRow(p, true);
    const TTextorPosition anchor = !extend ? p : IsSelectionEmpty() ? m_caret : m_anchor;
    SetCaretAndSelection(row, p, p, anchor);
}

void TTextorInteractive::MoveCaretToPoint(QPoint point, bool keepSelection, bool extend) {
    TRow* row = m_textor->FindRowAtY(point.y(), true);
    if (!row) return;
    const TTextorDrag drag{m_pressPoint, m_currentPoint};
    TTextorPosition position;
    m_textor->HitTest(point, true, position, extend ? &drag : nullptr);
    position = TTextor::Normalize(position);
    if (keepSelection)
        SetCaretAndSelection(row, position, m_activeEnd, m_anchor);
    else
        MoveCaretTo(row, position, extend);
}

TTextorPosition TTextorInteractive::WordEnd(const TTextorPosition& position) const {
    int previous = 0;
    TTextorPosition p;
    if (!m_textor->NextChar(position, previous, p)) return TTextor::Normalize(position);
    int code = 0;
    TTextorPosition next;
    while (m_textor->NextChar(p, code, next) && m_textor->IsSameWord(previous, code)) {
        previous = code;
        p = next;
    }
    return p;
}

TTextorPosition TTextorInteractive::WordStart(const TTextorPosition& position) const {
    TTextorPosition p = TTextor::Normalize(position);
    int code = 0;
    TTextorPosition at;
    if (!m_textor->NextChar(p, code, at)) return p;
    int previous = 0;
    TTextorPosition before;
    while (m_textor->PrevChar(p, previous, before) && m_textor->IsSameWord(previous, code)) {
        code = previous;
        p = before;
    }
    return p;
}

// ---------------------------------------------------------------------------
// Keys

bool TTextorInteractive::FocusEmbedded(TPortion* portion, bool forward, TShiftState shift) {
    if (!portion || portion->Kind() != TPortionKind::Element || (shift & ssShift)) return false;
    TVisualElement* element = static_cast<TElementPortion*>(portion)->Element();
    TVisualElement* target = element ? element->FindFocusable(forward, true, true) : nullptr;
    if (!target) return false;
    if (m_focusPart)
        m_focusPart(target, forward);
    else
        target->Focus();
    return true;
}

bool TTextorInteractive::DeleteKey(bool backward) {
    if (IsSelectionEmpty()) {
        const TTextorPosition other = backward ? m_textor->StepBackward(m_caret) : m_textor->StepForward(m_caret);
        if (other == m_caret) return true;
        SetSelection(backward ? TTextorRange{other, m_caret} : TTextorRange{m_caret, other}, backward);
    }
    DeleteSelection();
    return true;
}

bool TTextorInteractive::VerticalMove(bool down, bool extend) {
    TRow* row = CaretRow();
    TRow* target = row ? (down ? NextRowInText(row) : PrevRowInText(row)) : nullptr;
    if (!target) return false;
    const TRect caret = GetCaretRect();
    const QPoint point((caret.Left + caret.Right) / 2, down ? caret.Bottom : caret.Top - 1);
    TTextorPosition position;
    m_textor->HitTest(point, true, position);
    MoveCaretTo(m_textor->FindRowAtY(point.y(), true), position, extend);
    return true;
}

bool TTextorInteractive::HorizontalMove(int key, TShiftState shift) {
    const bool ctrl = shift & ssCtrl;
    const bool left = key == vkLeft;
    TTextorPosition target;
    if (left) {
        if (!ctrl && FocusEmbedded(TTextor::PortionBeforePosition(m_caret), false, shift)) return true;
        target = m_textor->StepBackward(m_caret);
        if (ctrl) target = WordStart(target);
    } else {
        if (!ctrl && FocusEmbedded(TTextor::Normalize(m_caret).Portion, true, shift)) return true;
        target = ctrl ? WordEnd(m_caret) : m_caret;
        if (target == TTextor::Normalize(m_caret)) target = m_textor->StepForward(m_caret);
    }
    if (target == m_caret && IsSelectionEmpty()) return false;
    MoveCaretTo(nullptr, target, shift & ssShift);
    return true;
}

bool TTextorInteractive::HomeEndMove(bool end, TShiftState shift) {
    if (shift & ssCtrl) {
        MoveCaretTo(nullptr, end ? m_textor->GetEndPosition() : m_textor->GetStartPosition(), shift & ssShift);
        return true;
    }
    TRow* row = CaretRow();
    if (!row) return false;
    // On its own row: End stays on the upper of two rows meeting at a wrap, Home on the lower.
    MoveCaretTo(row, end ? row->GetEndPosition() : row->GetStartPosition(), shift & ssShift);
    return true;
}

bool TTextorInteractive::IsLinkAtCaret() const {
    return IsLinkPortion(TTextor::Normalize(m_caret).Portion) ||
           IsLinkPortion(TTextor::PortionBeforePosition(m_caret));
}

void TTextorInteractive::KeyDown(int& key, TShiftState shift) {
    if (m_mouseMode != tmmNone) {
        if (m_mouseMode == tmmDragging && key == vkControl) SetZone(DragZone(true));
        return;
    }
    bool consumed = false;
    switch (key) {
    case vkBack:
    case vkDelete:
        consumed = CanEdit() && DeleteKey(key == vkBack);
        break;
    case vkReturn:
        if (HasOption(tioCtrlEnterLink) && (shift & ssCtrl) && IsLinkAtCaret()) {
            const TTextorPosition at = m_caret;
            Broadcast(tinActivateLink, reinterpret_cast<intptr_t>(&at));
            consumed = true;
        }
        break;
    case vkHome:
    case vkEnd:
        consumed = HomeEndMove(key == vkEnd, shift);
        break;
    case vkLeft:
    case vkRight:
        consumed = HorizontalMove(key, shift);
        break;
    case vkUp:
    case vkDown:
        consumed = !(shift & ssCtrl) && VerticalMove(key == vkDown, shift & ssShift);
        break;
    default:
        break;
    }
    if (consumed) key = vkNone;
}

void TTextorInteractive::KeyUp(int& key, TShiftState) {
    if (m_mouseMode == tmmDragging && key == vkControl) SetZone(DragZone(false));
}

// A low surrogate completes a waiting high one; alone it is dropped (no text).
QString TTextorInteractive::PairedText(QChar ch) {
    const char16_t high = std::exchange(m_highSurrogate, 0);
    if (!ch.isLowSurrogate()) return ch;
    return high ? QString(QChar(high)) + ch : QString();
}

void TTextorInteractive::KeyPress(QChar& ch) {
    if (m_mouseMode != tmmNone || !CanEdit()) return;
    const bool ctrl = TInputState::Current().KeyboardModifiers() & ssCtrl;
    QString text;
    switch (FilterTypedChar(ch.unicode(), ctrl, m_options, m_textor->AllowsParagraphs(),
                            m_textor->UsesTabStopPortions())) {
    case TTypedChar::Ignored:
        m_highSurrogate = 0;
        return;
    case TTypedChar::Paragraph:
        text = QChar(char16_t(tcReturn));
        break;
    case TTypedChar::Tab:
        text = TabWidth > 0 ? QString(TabWidth, QChar::Space) : QString(QChar(char16_t(tcTab)));
        break;
    case TTypedChar::Text:
        if (ch.isHighSurrogate()) {
            m_highSurrogate = ch.unicode();  // waits for its low half
            ch = QChar();
            return;
        }
        text = PairedText(ch);
        break;
    }
    m_highSurrogate = 0;
    ch = QChar();
    if (!text.isEmpty()) Broadcast(tinEnterText, reinterpret_cast<intptr_t>(&text));
}

// ---------------------------------------------------------------------------
// Mouse

uint8_t TTextorInteractive::DragZone(bool ctrl) const {
    if (!CanEdit()) return tmzNoDrop;
    return ctrl ? tmzDragCopy : tmzDragMove;
}

bool TTextorInteractive::InLeftZone(QPoint point, TRow*& row) const {
    row = m_textor->FindRowAtY(point.y(), true);
    return HasOption(tioRowZone) && row && point.x() < m_textor->GetRowRect(row).Left - kTextorLeftZoneWidth;
}

bool TTextorInteractive::HitsSelection(QPoint point) const {
    if (IsSelectionEmpty()) return false;
    const TTextorRange selection = GetSelection();
    TTextorPosition position;
    if (m_textor->HitTest(point, false, position) && m_textor->RangeContains(selection, position)) return true;
    if (!HasOption(tioParagraphEndHighlight)) return false;
    const TRow* row = m_textor->FindRowAtY(point.y(), false);
    if (!row || row->GetNextRow()) return false;
    const int right = m_textor->GetRowRect(row).Right;
    return point.x() >= right && point.x() < right + kTextorParagraphEndHighlight &&
           m_textor->RangeContains(selection, row->GetEndPosition());
}

bool TTextorInteractive::LinkAt(QPoint point, TTextorPosition& position) const {
    return m_textor->HitTest(point, false, position) && IsLinkPortion(TTextor::Normalize(position).Portion);
}

uint8_t TTextorInteractive::ZoneAt(QPoint point) const {
    TRow* row = nullptr;
    if (InLeftZone(point, row)) return tmzLeft;
    if (HasOption(tioDragSelection) && HitsSelection(point)) return tmzSelection;
    TTextorPosition link;
    if ((m_options & (tioClickLink | tioDoubleClickLink)) && LinkAt(point, link)) return tmzLink;
    return TextZoneOf(m_options);
}

void TTextorInteractive::SelectRows(const TRow* from, const TRow* to) {
    const bool forward = !m_textor->IsBefore(to->GetStartPosition(), from->GetStartPosition());
    if (forward)
        SetSelection(TTextorRange{from->GetStartPosition(), RowEndWithBreak(*m_textor, to)});
    else
        SetSelection(TTextorRange{to->GetStartPosition(), RowEndWithBreak(*m_textor, from)}, true);
}

void TTextorInteractive::SelectWordAt(QPoint point) {
    TTextorPosition link;
    if (HasOption(tioDoubleClickLink) && LinkAt(point, link)) {
        Broadcast(tinActivateLink, reinterpret_cast<intptr_t>(&link));
        return;
    }
    if (HasOption(tioDoubleClickRow)) {
        if (const TRow* row = m_textor->FindRowAtY(point.y(), true)) SelectRows(row, row);
        return;
    }
    TTextorPosition hit;
    m_textor->HitTest(point, false, hit);
    const TTextorPosition start = WordStart(hit);
    const TTextorPosition end = WordEnd(hit);
    SetSelection(TTextorRange{start, start == end ? m_textor->StepForward(start) : end});
}

void TTextorInteractive::SelectParagraphAt(QPoint point) {
    TTextorPosition hit;
    m_textor->HitTest(point, false, hit);
    TParagraph* paragraph = hit.Paragraph;
    const TTextorPosition end = paragraph->Next() ? paragraph->Next()->StartPosition() : paragraph->EndPosition();
    SetSelection(TTextorRange{paragraph->StartPosition(), end});
}

void TTextorInteractive::Press(QPoint point, TShiftState shift) {
    TRow* row = nullptr;
    if (InLeftZone(point, row)) {
        m_rowsStart = row->GetStartPosition();
        SelectRows(row, row);
        SetMouseMode(tmmRows);
        SetZone(tmzLeftSelecting);
    } else if (HasOption(tioDragSelection) && HitsSelection(point)) {
        MoveCaretToPoint(point, true, false);
        SetMouseMode(tmmPressedOnSelection);
        SetZone(tmzSelection);
    } else {
        MoveCaretToPoint(point, false, shift & ssShift);
        SetMouseMode(tmmSelecting);
        SetZone(TextZoneOf(m_options));
    }
}

void TTextorInteractive::MouseDown(QPoint point, TMouseButton, TShiftState shift, int clicks) {
    SetMouseMode(tmmNone);
    m_pressPoint = m_currentPoint = point;
    if (clicks == 2)
        SelectWordAt(point);
    else if (clicks == 3)
        SelectParagraphAt(point);
    else
        Press(point, shift);
}

void TTextorInteractive::MouseMove(QPoint point, TShiftState shift) {
    m_currentPoint = point;
    switch (m_mouseMode) {
    case tmmNone:
        SetZone(ZoneAt(point));
        break;
    case tmmSelecting:
        MoveCaretToPoint(point, false, true);
        break;
    case tmmRows:
        if (TRow* row = m_textor->FindRowAtY(point.y(), true))
            SelectRows(m_textor->FindRow(m_rowsStart, true), row);
        break;
    case tmmPressedOnSelection: {
        const int threshold = TInputState::Current().DragThreshold();
        if (std::abs(point.x() - m_pressPoint.x()) <= threshold && std::abs(point.y() - m_pressPoint.y()) <= threshold)
            break;
        SetMouseMode(tmmDragging);
        SetZone(DragZone(shift & ssCtrl));
        Broadcast(tinDragBegan);
        break;
    }
    case tmmDragging:
        MoveCaretToPoint(point, true, false);
        SetZone(DragZone(shift & ssCtrl));
        break;
    default:
        break;
    }
}

void TTextorInteractive::Drop(bool copy) {
    const TTextorRange selection = GetSelection();
    const TTextorPosition place = m_caret;
    if (place == selection.Start || m_textor->RangeContains(selection, place)) {
        SetCaretAndSelection(m_textor->FindRow(m_activeEnd, false), m_activeEnd, m_activeEnd, m_anchor);
        return;
    }
    TTextorDrop drop{this, place, copy, false};
    Broadcast(tinDrop, reinterpret_cast<intptr_t>(&drop));
    // Only a drop that the target inserted may take the text away from here.
    if (!copy && drop.Inserted && !drop.SourceRemoved && CanEdit()) DeleteSelection();
}

void TTextorInteractive::DragOverOtherText(TShiftState shift, bool canDrop) {
    if (m_mouseMode != tmmDragging) return;
    // A source that can't be edited gives a copy.
    if (!canDrop)
        SetZone(tmzNoDrop);
    else
        SetZone((shift & ssCtrl) || !CanEdit() ? tmzDragCopy : tmzDragMove);
}

void TTextorInteractive::MouseUp(QPoint point, TMouseButton, TShiftState shift) {
    m_currentPoint = point;
    TTextorPosition link;
    switch (m_mouseMode) {
    case tmmSelecting:
        if (HasOption(tioClickLink) && IsSelectionEmpty() && LinkAt(point, link)) {
            SetMouseMode(tmmNone);
            Broadcast(tinActivateLink, reinterpret_cast<intptr_t>(&link));
        }
        break;
    case tmmPressedOnSelection:
        CollapseSelection();
        break;
    case tmmDragging:
        if (CanEdit()) Drop(shift & ssCtrl);
        break;
    default:
        break;
    }
    SetMouseMode(tmmNone);
    SetZone(ZoneAt(point));
}

// ---------------------------------------------------------------------------
// Painting

void TTextorInteractive::Paint(TSheetCanvas& canvas, int flags, bool showSelection, QPoint origin) {
    if (!showSelection || IsSelectionEmpty()) {
        m_textor->Paint(canvas, flags, TTextorRange{}, origin);
        return;
    }
    flags |= tpfPaintSelection;
    if (HasOption(tioParagraphEndHighlight)) flags |= tpfParagraphEndHighlight;
    m_textor->Paint(canvas, flags, GetSelection(), origin);
}

// ---------------------------------------------------------------------------
// Cursors

namespace {
struct TTextorCursor {
    int Id;
    const char* Name;
    Qt::CursorShape Fallback;
};

constexpr TTextorCursor kTextorCursors[] = {
    {crTextorFieldBeam, "crTextorFieldBeam", Qt::IBeamCursor},
    {crTextorFieldElementsBeam, "crTextorFieldElementsBeam", Qt::IBeamCursor},
    {crTextorFieldDropDownBeam, "crTextorFieldDropDownBeam", Qt::IBeamCursor},
    {crTextorContainerBeam, "crTextorContainerBeam", Qt::IBeamCursor},
    {crTextorContainerTextBeam, "crTextorContainerTextBeam", Qt::IBeamCursor},
    {crTextorLeftZone, "crTextorLeftZone", Qt::ArrowCursor},
    {crTextorDragMove, "crTextorDragMove", Qt::DragMoveCursor},
    {crTextorDragCopy, "crTextorDragCopy", Qt::DragCopyCursor},
};
}  // namespace

void RegisterTextorCursors() {
    for (const TTextorCursor& cursor : kTextorCursors)
        RegisterCustomCursor(cursor.Id, QString::fromLatin1(cursor.Name), cursor.Fallback);
}
