#include "scheme/diSheet.h"

#include "core/cuKnot.h"
#include "platform/plCursor.h"
#include "platform/plTimer.h"
#include "scheme/diCanvas.h"
#include "scheme/diCustomElements.h"
#include "scheme/diThemes.h"

#include <QPainter>

#include "scheme/diSounds.h"

T_ELEMENT_CLASS_IMPL(TSheetElement, TPanelElement)

namespace {
void PlaySheetSound(const QString& name) { PlaySchemeSound(name); }
}  // namespace
T_CLASS_IMPL_ABSTRACT(TSheet, TItfObject)

// ---------------------------------------------------------------------------
// Construction

TSheet::TSheet(TSheetSettings* settings) : m_settings(settings) {
    m_canvas = std::make_unique<TSheetCanvas>(settings);
    m_root.reset(TElement::CreateIn<TSheetElement>(nullptr, nullptr));
    m_root->m_sheet = this;
    m_root->InitNewTree(nullptr);
    if (m_settings) m_settings->AddHandler(MakeHandler<&TSheet::OnSettings>(this));
}

TSheet::~TSheet() {
    m_destroying = true;
    if (m_settings) m_settings->RemoveHandler(MakeHandler<&TSheet::OnSettings>(this));
    m_dropDown.reset();
    m_delayedFocusTimer.reset();
    m_focusStateTimer.reset();
    // The shown tree belongs to its scheme: it is let go, not freed.
    m_root.reset();
}

TVisualElement* TSheet::ShownTree() const noexcept {
    for (TVisualElement* c = m_root->FirstVisualChild(); c; c = c->NextVisualSibling())
        if (!c->InheritsFrom(TMessagesSignElement::StaticClass())) return c;
    return nullptr;
}

void TSheet::OnSettings(TItfObject*, int msg, intptr_t, intptr_t) {
    if (msg != nmPropertyChanged) return;
    m_canvas->Reset();
    ForgetRooms();
    {
        TSheetUpdate update(this);
        const TSheetLayoutScope layout(this);
        m_root->UpdateLayout(true, true, false, false);
    }
    Broadcast(snRepaint, 0, 0);
}

// ---------------------------------------------------------------------------
// Repaint areas

namespace {
// In floating point: the sides of rectangles near the ends of the integers
// (elements of unlimited size) overflow 32 bits, and their areas 64.
double Area(const TRect& r) noexcept {
    return r.IsEmpty() ? 0 : double(int64_t(r.Right) - r.Left) * double(int64_t(r.Bottom) - r.Top);
}
// What the bounds of two rectangles cover beyond them (overlaps counted twice).
double Waste(const TRect& a, const TRect& b) noexcept { return Area(BoundingRect(a, b)) - Area(a) - Area(b); }
// Bounds at most a third larger than the two: a second paint pass (a walk
// down the child indexes) costs less than the elements between them.
bool WorthJoining(const TRect& a, const TRect& b) noexcept {
    return 3 * Area(BoundingRect(a, b)) <= 4 * (Area(a) + Area(b));
}
}  // namespace

void TRepaintAreas::Add(const TRect& rect) {
    if (rect.IsEmpty()) return;
    // One already inside a kept rectangle (an element invalidated again, a
    // child inside its parent) changes nothing.
    for (const TRect& kept : m_rects)
        if (kept.Holds(rect)) return;
    // The list is handed on whole at the end of each bracket: room for all it
    // may hold at once, so that a bracket's first rectangle costs one allocation.
    if (m_rects.empty()) m_rects.reserve(kMaxRects + 1);
    TRect joined = rect;
    // A joined rectangle may now be worth joining with another kept one.
    for (bool again = true; again;) {
        again = false;
        for (auto it = m_rects.begin(); it != m_rects.end(); ++it)
            if (WorthJoining(*it, joined)) {
                joined = BoundingRect(*it, joined);
                m_rects.erase(it);
                again = true;
                break;
            }
    }
    m_rects.push_back(joined);
    if (m_rects.size() <= kMaxRects) return;
    size_t first = 0, second = 1;
    for (size_t i = 0; i < m_rects.size(); ++i)
        for (size_t j = i + 1; j < m_rects.size(); ++j)
            if (Waste(m_rects[i], m_rects[j]) < Waste(m_rects[first], m_rects[second])) {
                first = i;
                second = j;
            }
    m_rects[first] = BoundingRect(m_rects[first], m_rects[second]);
    m_rects.erase(m_rects.begin() + std::ptrdiff_t(second));
}

// ---------------------------------------------------------------------------
// Simple properties

void TSheet::SetReadOnly(bool value) {
    if (value == m_readOnly) return;
    m_readOnly = value;
    Broadcast(snReadOnly);
}

void TSheet::SetActive(bool value) {
    if (value == m_active) return;
    m_active = value;
    FinishEditing();
    if (m_focused && m_focused->RepaintOnActiveChange()) m_focused->Invalidate();
    Broadcast(snActive);
}

void TSheet::SetScreenPosition(QPoint pos) {
    if (pos == m_screenPos) return;
    m_screenPos = pos;
    Broadcast(snScrollPosition);
}

int TSheet::GetContentWidth() const noexcept { return m_root->Left() + m_root->Width(); }
int TSheet::GetContentHeight() const noexcept { return m_root->Top() + m_root->Height(); }

void TSheet::SetAvailableSize(QSize size) {
    if (size == m_availableSize) return;
    const bool width = size.width() != m_availableSize.width();
    const bool height = size.height() != m_availableSize.height();
    m_availableSize = size;
    ForgetRooms();
    if (m_updateCount > 0) {
        if (width) m_pending |= spWidthChanged;
        if (height) m_pending |= spHeightChanged;
        return;
    }
    TSheetUpdate update(this);
    const TSheetLayoutScope layout(this);
    m_root->UpdateLayout(false, false, width, height);
}

// ---------------------------------------------------------------------------
// The update bracket

void TSheet::Notify(int code, uint16_t pendingBit) {
    if (m_updateCount > 0) {
        m_pending |= pendingBit;
        return;
    }
    Broadcast(code);
}

void TSheet::EndUpdate() {
    if (m_updateCount == 1) HandOnKeptInvalidation();
    if (m_updateCount > 0) --m_updateCount;
    if (m_updateCount == 0 && !m_destroying) WorkOffPending();
}

void TSheet::LeaveUpdate() noexcept {
    try {
        EndUpdate();
    } catch (...) {
        LogCurrentException("A sheet's held-back notifications raised as its update closed");
    }
}

// Works off the held-back notifications in the fixed order, each bit cleared
// before it is acted on, so that a listener may open a bracket of its own.
void TSheet::WorkOffPending() {
    auto take = [this](uint16_t bits) {
        const bool set = m_pending & bits;
        m_pending &= uint16_t(~bits);
        return set;
    };
    if (m_pending & (spWidthChanged | spHeightChanged)) {
        const bool width = m_pending & spWidthChanged;
        const bool height = m_pending & spHeightChanged;
        m_pending &= uint16_t(~(spWidthChanged | spHeightChanged));
        TSheetUpdate update(this);
        {
            const TSheetLayoutScope layout(this);
            m_root->UpdateLayout(false, false, width, height);
        }
        update.End();  // works off what the layout produced first
        if (m_updateCount > 0) return;
    }
    if (take(spRootBounds)) Broadcast(snRootBounds);
    if (take(spFocus)) {
        m_pending &= uint16_t(~(spFocusedContent | spEditState | spFocusedElement));
        Broadcast(snFocus);
    }
    if (take(spCaret)) UpdateCaret();
    if (take(spFocusState)) Broadcast(snFocusSettled);
    if (take(spFocusedContent)) {
        m_pending &= uint16_t(~spEditState);
        Broadcast(snFocusedContent);
    }
    if (take(spEditState)) Broadcast(snEditState);
    if (take(spFocusedElement)) Broadcast(snFocusedState);
    m_repaintsAll = false;
    m_walkedLevels = 0;
    if (take(spRepaint)) {
        m_pending &= uint16_t(~spRepaintArea);
        Broadcast(snRepaint, 0, 0);
    }
    if (take(spRepaintArea))
        for (TRect area : m_repaintArea.Take()) Broadcast(snRepaint, reinterpret_cast<intptr_t>(&area), 0);
}

// ---------------------------------------------------------------------------
// Called by visual elements

// Cut to what the window shows. Inside the bracket the rectangles add up to
// their bounds, unless a full repaint is already due.
void TSheet::InvalidateRect(const TRect& rect) {
    TRect r = m_shownArea ? IntersectRects(rect, m_shownArea()) : rect;
    if (m_updateCount > 0) {
        if (r.IsEmpty() || (m_pending & spRepaint)) return;
        m_repaintArea.Add(r);
        m_pending |= spRepaintArea;
        return;
    }
    if (m_shownArea && r.IsEmpty()) return;
    Broadcast(snRepaint, reinterpret_cast<intptr_t>(&r), 0);
}

void TSheet::InvalidateAll() {
    if (m_updateCount > 0) {
        m_pending = uint16_t((m_pending | spRepaint) & ~spRepaintArea);
        m_repaintArea.Clear();
        m_repaintsAll = true;
        return;
    }
    Broadcast(snRepaint, 0, 0);
}

void TSheet::RootBoundsChanged() { Notify(snRootBounds, spRootBounds); }
void TSheet::NotifyFocusedContent() { Notify(snFocusedContent, spFocusedContent); }
void TSheet::NotifyFocusState() { Notify(snFocusSettled, spFocusState); }
void TSheet::NotifyFocusedElement() { Notify(snFocusedState, spFocusedElement); }
void TSheet::NotifyEditState() { Notify(snEditState, spEditState); }

void TSheet::UpdateCaret() {
    if (m_updateCount > 0) {
        m_pending |= spCaret;
        return;
    }
    int kind = ckNone;
    TRect rect;
    if (m_focused && m_focused->IsVisible()) {
        m_focused->GetCaret(kind, rect);
        const QPoint origin = m_focused->ClientToSheet(QPoint(0, 0));
        rect = OffsetRect(rect, origin.x(), origin.y());
    }
    if (kind == m_caretKind && rect == m_caretRect) return;
    m_caretKind = kind;
    m_caretRect = rect;
    Broadcast(snCaret);
}

void TSheet::UpdateCursor() {
    int cursor = Cursors::Default;
    if (TVisualElement* e = m_pressed ? m_pressed : m_hot) cursor = e->GetCursor(e->SheetToClient(m_mousePoint));
    if (cursor == m_cursor) return;
    m_cursor = cursor;
    Broadcast(snCursor);
}

void TSheet::ForgetElement(TVisualElement* element) {
    if (m_dropDown && m_dropDown->Owner() == element) CloseDropDown(false);
    if (m_pressed == element) m_pressed = nullptr;
    if (m_hot == element) m_hot = nullptr;
    if (m_delayedFocus == element) CancelDelayedFocus();
    if (element->IsSelected()) {
        m_selection.removeOne(element);
        element->SetStateBits(esSelected, false);
    }
    if (m_focused == element) {
        m_focused = nullptr;
        if (m_focusStateTimer) m_focusStateTimer->Stop();
        if (m_destroying) return;  // a sheet on its way out tells nobody
        Notify(snFocus, spFocus);
        UpdateCaret();
    }
}

// ---------------------------------------------------------------------------
// Focus

void TSheet::SetFocus(TVisualElement* element) {
    if (element == m_focused) return;
    if (element && element->Sheet() != this) return;
    TSheetUpdate update(this);
    CloseDropDown(false);
    if (element && FocusMakesVisible) {
        element->SetVisualStateBits(vsBeingFocused, true);
        if (element->HasVisualOption(voHiddenWhileEmpty)) element->UpdateVisibility();
        element->MakeVisible();
        element->SetVisualStateBits(vsBeingFocused, false);
        if (!element->IsVisible() || element->Sheet() != this) element = nullptr;
        if (element == m_focused) return;
    }
    TVisualElement* old = m_focused;
    if (old) old->FocusChanging();
    if (element) element->FocusChanging();
    m_focused = element;
    if (old && old->Sheet() == this) old->FocusChanged();
    if (element) element->FocusChanged();
    if (!element || !element->IsSelected()) ClearSelection();
    UpdateCaret();
    if (m_focused) StartFocusStateTimer();
    m_pending |= spFocus;
}

void TSheet::FocusFirst() {
    if (TVisualElement* e = m_root->FindFocusable(true, false, true)) e->Focus();
}

bool TSheet::IsEditing() const noexcept { return m_focused && m_focused->IsEditing(); }

void TSheet::FinishEditing() {
    if (IsEditing()) m_focused->FinishEditing();
}

void TSheet::StartFocusStateTimer() {
    if (!m_focusStateTimer) {
        m_focusStateTimer = TTimerService::Make();
        m_focusStateTimer->SetOnTick([this] { OnFocusStateTimer(); });
    }
    m_focusStateTimer->Start(kFocusTimerMs);
}

// Waits while the user still holds the left button, so listeners update
// command states once the clicking has stopped.
void TSheet::OnFocusStateTimer() {
    if (TInputState::Current().IsLeftButtonDown()) {
        m_focusStateTimer->Start(kFocusTimerMs);
        return;
    }
    m_focusStateTimer->Stop();
    Broadcast(snFocusSettled, kFocusSettledByTimer, 0);
}

void TSheet::FocusDelayed(TVisualElement* element) {
    if (!element) return;
    if (!m_delayedFocusTimer) {
        m_delayedFocusTimer = TTimerService::Make();
        m_delayedFocusTimer->SetOnTick([this] { OnDelayedFocusTimer(); });
    }
    if (!m_delayedFocus) m_delayedFocus = element;
    m_delayedFocusTimer->Start(kFocusTimerMs);
}

void TSheet::CancelDelayedFocus() {
    m_delayedFocus = nullptr;
    if (m_delayedFocusTimer) m_delayedFocusTimer->Stop();
}

void TSheet::OnDelayedFocusTimer() {
    TVisualElement* element = m_delayedFocus;
    CancelDelayedFocus();
    if (!element || element->Sheet() != this) return;
    element->FocusFirst();
    // A new element's focused part holds only what it was made with (its
    // default name, say): typing replaces it. Focus that stayed elsewhere
    // keeps its selection.
    const bool inNew = m_focused && (m_focused == element || element->IsAncestorOf(m_focused));
    if (inNew && m_focused->CanSelectAll()) m_focused->SelectAll();
}

// ---------------------------------------------------------------------------
// Hot, pressed, selection

void TSheet::SetHot(TVisualElement* element) {
    if (element == m_hot) return;
    TVisualElement* old = m_hot;
    m_hot = element;
    if (old) old->MouseLeave();
    if (element) element->MouseEnter();
    Broadcast(snHot);
    UpdateCursor();
}

void TSheet::SetPressed(TVisualElement* element) {
    if (element == m_pressed) return;
    TVisualElement* old = m_pressed;
    m_pressed = element;
    if (old) old->PressedChanged();
    if (element) element->PressedChanged();
    UpdateCursor();
}

void TSheet::SetElementSelected(TVisualElement* element, bool selected) {
    if (!element || element->IsSelected() == selected) return;
    if (selected)
        m_selection.append(element);
    else
        m_selection.removeOne(element);
    element->SetStateBits(esSelected, selected);
    element->Invalidate();
    if (selected) element->MakeVisible();
    NotifyFocusedElement();
}

void TSheet::ClearSelection() {
    while (!m_selection.isEmpty()) SetElementSelected(m_selection.last(), false);
}

// ---------------------------------------------------------------------------
// Drop-down list

void TSheet::OpenDropDown(std::unique_ptr<TDropDownList> list) {
    CloseDropDown(false);
    if (!list) return;
    PlaySheetSound(QStringLiteral("diClassesDropDownSound"));
    m_dropDown = std::move(list);
    m_dropDown->SetOpen(true);
    Broadcast(snDropDownOpened);
}

void TSheet::CloseDropDown(bool choose) {
    if (!m_dropDown) return;
    if (choose) PlaySheetSound(QStringLiteral("diClassesValueSound"));
    std::unique_ptr<TDropDownList> list = std::move(m_dropDown);
    list->SetOpen(false);
    Broadcast(snDropDownClosed);
    if (choose) list->RunSelect();
}

void TSheet::DropDownChanged() { Broadcast(snDropDownChanged); }

void TSheet::Cancel() {
    CloseDropDown(false);
    if (m_pressed) m_pressed->CancelPress();
}

// ---------------------------------------------------------------------------
// Keyboard

void TSheet::KeyDown(int& key, TShiftState shift) {
    if (key == vkReturn && m_dropDown) {
        TDropDownItem* selected = m_dropDown->Selected();
        if (!selected || selected->CanBeChosen()) CloseDropDown(true);
        key = vkNone;
        return;
    }
    if (key == vkEscape) {
        Cancel();
        key = vkNone;
        return;
    }
    if (key != vkNone && m_focused) {
        // One key, one round of notifications: Backspace selects the character
        // before the caret and then deletes the selection, which would show a
        // caret and edit commands for the selection in between.
        TSheetUpdate update(this);
        m_focused->KeyDown(key, shift);
        update.End();
    }
    if (key >= vkLeft && key <= vkDown && !(shift & ssShift)) {
        MoveFocusByArrow(key);
        key = vkNone;
    }
}

// Left and right move across, up and down along; right and down move forward.
void TSheet::MoveFocusByArrow(int key) {
    if (!m_focused) return;
    const bool forward = key == vkRight || key == vkDown;
    const bool along = key == vkUp || key == vkDown;
    if (TVisualElement* next = m_focused->FindNextFocusable(forward, along, true, true)) next->Focus();
}

void TSheet::KeyPress(QChar& ch) {
    if (ch == QChar(QChar::Space) && m_dropDown) {
        if (TDropDownItem* item = m_dropDown->Selected(); item && item->HasChildren()) {
            item->SetExpanded(!item->Expanded());
            ch = QChar();
            return;
        }
    }
    const char16_t code = ch.unicode();
    if (code < QChar::Space && code != QChar::Tabulation && code != QChar::CarriageReturn) {
        ch = QChar();
        return;
    }
    if (m_focused) m_focused->KeyPress(ch);
}

void TSheet::KeyUp(int& key, TShiftState shift) {
    if (key != vkNone && m_focused) m_focused->KeyUp(key, shift);
}

// ---------------------------------------------------------------------------
// Mouse

TVisualElement* TSheet::ElementAt(QPoint p, bool inSelectedText, bool excludeTransparent) {
    int flags = hfSelf | hfChildren | hfDeep;
    if (inSelectedText) flags |= hfSelectedText;
    if (!excludeTransparent) flags |= hfTransparent;
    return m_root->ElementAt(p - QPoint(m_root->Left(), m_root->Top()), flags);
}

void TSheet::MouseDown(QPoint p, TMouseButton button, TShiftState shift, int clicks) {
    m_mousePoint = p;
    TVisualElement* receiver = m_pressed;
    if (!receiver) {
        receiver = ElementAt(p, true, true);
        SetHot(receiver);
    } else {
        receiver = m_focused;
    }
    if (receiver) receiver->MouseDown(receiver->SheetToClient(p), button, shift, clicks);
}

void TSheet::MouseMove(QPoint p, TShiftState shift) {
    m_mousePoint = p;
    TVisualElement* receiver = m_pressed;
    if (!receiver) {
        receiver = ElementAt(p, true, true);
        SetHot(receiver);
    }
    if (receiver) receiver->MouseMove(receiver->SheetToClient(p), shift);
}

void TSheet::MouseUp(QPoint p, TMouseButton button, TShiftState shift) {
    m_mousePoint = p;
    if (TVisualElement* receiver = m_pressed ? m_pressed : m_hot)
        receiver->MouseUp(receiver->SheetToClient(p), button, shift);
}

// ---------------------------------------------------------------------------
// View state

namespace {
// The node at a pre-order index of the tree under root (root is 0); nil when out of range.
TNode* NodeAtPreOrder(TNode* root, int index) {
    int i = 0;
    for (TNode* n : PreOrder(root))
        if (i++ == index) return n;
    return nullptr;
}

int PreOrderIndex(TNode* root, TNode* target) {
    int i = 0;
    for (TNode* n : PreOrder(root)) {
        if (n == target) return i;
        ++i;
    }
    return -1;
}
}  // namespace

void TSheet::SaveState(TKnot* knot) {
    TVisualElement* tree = ShownTree();
    if (tree && m_focused) {
        const int index = PreOrderIndex(tree, m_focused);
        if (index >= 0) {
            knot->WriteInt(QStringLiteral("FocusedElement"), index);
            knot->WriteStr(QStringLiteral("FocusedElementType"), m_focused->ClassName());
            QString data;
            m_focused->GetFocusData(data);
            knot->WriteStr(QStringLiteral("FocusData"), data);
        }
    }
    knot->WriteInt(QStringLiteral("ScreenPosX"), m_screenPos.x());
    knot->WriteInt(QStringLiteral("ScreenPosY"), m_screenPos.y());
}

void TSheet::LoadState(TKnot* knot) {
    if (TVisualElement* tree = ShownTree()) {
        const int index = knot->ReadInt(QStringLiteral("FocusedElement"), -1);
        const QString type = knot->ReadStr(QStringLiteral("FocusedElementType"));
        const QString data = knot->ReadStr(QStringLiteral("FocusData"));
        if (index >= 0) {
            auto* e = dynamic_cast<TVisualElement*>(NodeAtPreOrder(tree, index));
            if (e && e->HasVisualOption(voFocusable) && e->IsVisible() && e->ClassName() == type) e->SetFocus(data);
        }
    }
    SetScreenPosition(
        QPoint(knot->ReadInt(QStringLiteral("ScreenPosX"), 0), knot->ReadInt(QStringLiteral("ScreenPosY"), 0)));
}

// ---------------------------------------------------------------------------
// Painting

// The sheet's background is drawn only around what is repainted: stretched
// over the whole of a big scheme it would cost in proportion to everything
// off screen. The part drawn reaches past the paint rectangle by the frame's
// border widths, so that borders drawn at its cut edges stay out of sight and
// the sheet's real edges look as they would over the whole.
void TSheetElement::Paint(TSheetCanvas& canvas) {
    const TRect client = GetClientRect();
    const TRect paint = canvas.GetPaintRect();
    const int dx = canvas.GetThemeMinWidth(tekSheet) + 1;
    const int dy = canvas.GetThemeMinHeight(tekSheet) + 1;
    const TRect around{paint.Left - dx, paint.Top - dy, paint.Right + dx, paint.Bottom + dy};
    const TRect target = IntersectRects(client, around);
    if (!target.IsEmpty()) canvas.DrawThemeFrame(tekSheet, target);
}

int TSheetElement::SizeDependentEdge() { return ThemeSizeEdge(tekSheet); }

void TSheet::Paint(QPainter& dc, const TRect& rect, int flags) {
    if (rect.IsEmpty()) return;
    if (!m_active) flags |= pfInactive;
    m_canvas->BeginPaint(rect, &dc, (flags & pfOnDevice) != 0);
    try {
        m_root->PaintTree(*m_canvas, flags);
        if (!(flags & pfNoCaret) && (m_caretKind == ckFocusRect || m_caretKind == ckDoubleFocusRect))
            m_canvas->DrawCaret(m_caretKind, m_caretRect);
        if (!(flags & pfNoFocusOverlay)) PaintFocusOverlay(rect);
    } catch (...) {
        m_canvas->EndPaint(&dc);
        throw;
    }
    m_canvas->EndPaint(&dc);
}

// The overlay is clipped to the focused element: a pass beside it gets none
// of it and does not ask for the painter.
void TSheet::PaintFocusOverlay(const TRect& rect) {
    if (!m_focused || !m_focused->IsVisible()) return;
    const QPoint at = m_focused->ClientToSheet(QPoint(0, 0));
    const TRect area{at.x(), at.y(), at.x() + m_focused->Width(), at.y() + m_focused->Height()};
    if (!RectsMeet(area, rect)) return;
    QPainter& dc = m_canvas->Painter();
    dc.save();
    dc.translate(at);
    dc.setClipRect(QRect(0, 0, area.Width(), area.Height()), Qt::IntersectClip);
    m_focused->PaintFocusOverlay(dc);
    dc.restore();
}

QImage TSheet::PaintToImage(const TRect& rect, int flags) {
    QImage image(std::max(rect.Width(), 0), std::max(rect.Height(), 0), QImage::Format_ARGB32_Premultiplied);
    if (image.isNull()) return image;
    image.fill(Qt::white);
    QPainter dc(&image);
    dc.translate(-rect.Left, -rect.Top);
    Paint(dc, rect, flags);
    return image;
}
