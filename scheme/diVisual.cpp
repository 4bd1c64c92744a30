#include "scheme/diVisual.h"

#include "core/cuKnot.h"
#include "core/cuUtils.h"
#include "scheme/diCanvas.h"
#include "scheme/diFilers.h"
#include "scheme/diThemes.h"

#include <algorithm>
#include <climits>
#include <utility>

TRect BoundingRect(const TRect& a, const TRect& b) noexcept {
    return TRect{std::min(a.Left, b.Left), std::min(a.Top, b.Top), std::max(a.Right, b.Right),
                 std::max(a.Bottom, b.Bottom)};
}

// ---------------------------------------------------------------------------
// TVisualChildIndex

namespace {
// A child spanning more bands than this is kept in a list of its own.
constexpr int kWideBandCount = 64;
}  // namespace

void TVisualChildIndex::Build(TVisualElement* parent) {
    m_children.clear();
    m_bands.clear();
    m_wide.clear();
    int top = INT_MAX, bottom = INT_MIN;
    for (TVisualElement* c = parent->FirstVisualChild(); c; c = c->NextVisualSibling()) {
        m_children.push_back(c);
        if (c->Width() <= 0 || c->Height() <= 0) continue;
        top = std::min(top, c->Top());
        bottom = std::max(bottom, c->Top() + c->Height());
    }
    if (top >= bottom) return;
    m_top = top;
    const int64_t extent = int64_t(bottom) - top;
    const int64_t count = std::max<int64_t>(1, int64_t(m_children.size()));
    m_bandHeight = int(std::max<int64_t>(16, (extent + count - 1) / count * 2));
    const int64_t bandCount = (extent + m_bandHeight - 1) / m_bandHeight;
    m_bands.resize(size_t(bandCount));
    for (int i = 0; i < int(m_children.size()); ++i) {
        TVisualElement* c = m_children[size_t(i)];
        if (c->Width() <= 0 || c->Height() <= 0) continue;
        const int64_t first = (int64_t(c->Top()) - m_top) / m_bandHeight;
        const int64_t last = (int64_t(c->Top()) + c->Height() - 1 - m_top) / m_bandHeight;
        if (last - first >= kWideBandCount) {
            m_wide.push_back(i);
            continue;
        }
        for (int64_t b = first; b <= last; ++b) m_bands[size_t(b)].push_back(i);
    }
}

void TVisualChildIndex::Query(const TRect& rect, std::vector<TVisualElement*>& out) const {
    out.clear();
    if (m_bands.empty() || rect.IsEmpty()) return;
    int64_t first = (int64_t(rect.Top) - m_top) / m_bandHeight;
    int64_t last = (int64_t(rect.Bottom) - 1 - m_top) / m_bandHeight;
    if (int64_t(rect.Bottom) - 1 < m_top) return;
    first = std::max<int64_t>(first, 0);
    last = std::min<int64_t>(last, int64_t(m_bands.size()) - 1);
    // Kept between queries: a paint pass asks at every level it walks down.
    std::vector<int>& hits = m_hits;
    hits.assign(m_wide.begin(), m_wide.end());
    for (int64_t b = first; b <= last; ++b) hits.insert(hits.end(), m_bands[size_t(b)].begin(), m_bands[size_t(b)].end());
    std::sort(hits.begin(), hits.end());
    hits.erase(std::unique(hits.begin(), hits.end()), hits.end());
    for (int i : hits) {
        TVisualElement* c = m_children[size_t(i)];
        if (RectsMeet(c->GetBoundsRect(), rect)) out.push_back(c);
    }
}

void TVisualElement::ChildrenMeeting(const TRect& rect, std::vector<TVisualElement*>& out) {
    out.clear();
    if (m_visualChildCount < kIndexedChildCount) {
        ForEachChildMeeting(rect, [&out](TVisualElement* c) { out.push_back(c); });
        return;
    }
    if (!m_childIndex) {
        m_childIndex = std::make_unique<TVisualChildIndex>();
        m_childIndex->Build(this);
    }
    m_childIndex->Query(rect, out);
}

// ---------------------------------------------------------------------------
// TVisualElement: construction and destruction

T_ELEMENT_CLASS_IMPL(TVisualElement, TElement)

TVisualElement::TVisualElement() noexcept = default;

TVisualElement::~TVisualElement() = default;

void TVisualElement::Create() {
    TElement::Create();
    m_vstate |= vsVisible;
    m_descent = 3;
    UpdateStates();
}

TVisualElement* TVisualElement::CreateSubElement(const TElementClass* cls, TElement* owner, TElement* before,
                                                 TVisualElement* visualParent, TVisualElement* visualBefore) {
    auto* e = dynamic_cast<TVisualElement*>(TElement::CreateSubElement(cls, owner, before));
    if (e) e->SetVisualParentAt(visualParent, visualBefore);
    return e;
}

// Leaves the visual parent, lets the visual children go (the element tree
// owns them) and frees the sign.
void TVisualElement::BeforeDestruction() {
    if (ITextorSlot* slot = std::exchange(m_textorSlot, nullptr)) slot->ElementFreed();
    TElement::BeforeDestruction();
    if (m_visualParent) SetVisualParentAt(nullptr, nullptr);
    while (m_firstVisualChild) m_firstVisualChild->SetVisualParentAt(nullptr, nullptr);
    if (m_sheet) {
        DetachFromSheet();
        m_sheet = nullptr;
    }
    if (m_messagesSign) {
        TMessagesSignElement* sign = m_messagesSign;
        m_messagesSign = nullptr;
        sign->m_element = nullptr;
        sign->Free();
    }
}

// ---------------------------------------------------------------------------
// The visual tree

bool TVisualElement::IsSheetRoot() const noexcept {
    return m_sheet && static_cast<const TVisualElement*>(m_sheet->Root()) == this;
}

TVisualElement* TVisualElement::FirstVisibleChild() const noexcept {
    for (TVisualElement* c = m_firstVisualChild; c; c = c->m_nextVisualSibling)
        if (c->IsVisible()) return c;
    return nullptr;
}

TVisualElement* TVisualElement::LastVisibleChild() const noexcept {
    for (TVisualElement* c = m_lastVisualChild; c; c = c->m_prevVisualSibling)
        if (c->IsVisible()) return c;
    return nullptr;
}

TVisualElement* TVisualElement::NextVisibleSibling() const noexcept {
    for (TVisualElement* c = m_nextVisualSibling; c; c = c->m_nextVisualSibling)
        if (c->IsVisible()) return c;
    return nullptr;
}

void TVisualElement::LinkVisual(TVisualElement* parent, TVisualElement* before) {
    if (before && before->m_visualParent != parent) before = nullptr;
    if (parent->m_sheet) parent->m_sheet->ForgetRooms();
    m_visualParent = parent;
    m_nextVisualSibling = before;
    m_prevVisualSibling = before ? before->m_prevVisualSibling : parent->m_lastVisualChild;
    if (m_prevVisualSibling)
        m_prevVisualSibling->m_nextVisualSibling = this;
    else
        parent->m_firstVisualChild = this;
    if (before)
        before->m_prevVisualSibling = this;
    else
        parent->m_lastVisualChild = this;
    ++parent->m_visualChildCount;
    parent->DropChildIndex();
}

void TVisualElement::UnlinkVisual() {
    TVisualElement* parent = m_visualParent;
    if (!parent) return;
    if (m_prevVisualSibling)
        m_prevVisualSibling->m_nextVisualSibling = m_nextVisualSibling;
    else
        parent->m_firstVisualChild = m_nextVisualSibling;
    if (m_nextVisualSibling)
        m_nextVisualSibling->m_prevVisualSibling = m_prevVisualSibling;
    else
        parent->m_lastVisualChild = m_prevVisualSibling;
    m_prevVisualSibling = m_nextVisualSibling = nullptr;
    m_visualParent = nullptr;
    --parent->m_visualChildCount;
    parent->DropChildIndex();
}

void TVisualElement::InsertVisualChild(TVisualElement* child, TVisualElement* before) {
    child->LinkVisual(this, before);
    if (child->m_sheet != m_sheet) child->SetSheetOfSubtree(m_sheet);
}

void TVisualElement::RemoveVisualChild(TVisualElement* child) {
    const bool wasInSelectedText = child->IsInSelection();
    if (child->m_sheet) child->SetSheetOfSubtree(nullptr);
    child->UnlinkVisual();
    if (HasVisualOption(voTextContainer) && wasInSelectedText) NotifyContentChanged();
}

void TVisualElement::MoveVisualChild(TVisualElement* child, TVisualElement* before) {
    child->UnlinkVisual();
    child->LinkVisual(this, before);
}

void TVisualElement::SetVisualParentAt(TVisualElement* parent, TVisualElement* before) {
    if (parent == this) return;
    if (parent == m_visualParent && before == m_nextVisualSibling && (parent || !before)) return;
    if (parent && parent == m_visualParent) {
        parent->MoveVisualChild(this, before);
        Invalidate();
        return;
    }
    if (TVisualElement* old = m_visualParent) {
        const TRect oldArea = GetBoundsRect();
        const bool wasVisible = IsVisible();
        old->RemoveVisualChild(this);
        if (wasVisible) old->Invalidate(oldArea);
    }
    if (parent) parent->InsertVisualChild(this, before);
    Invalidate();
    UpdateStates();
}

namespace {
// The walks of the visual tree follow the links through the whole tree. A
// tree too big for the caches would make them wait for memory at every link
// (the processor cannot guess the next address, since a walk keeps changing
// levels), but a tree made or loaded in order lies in memory in the order a
// pre-order walk visits it. So the walks ask for the memory a little ahead
// of where they are: hints only, which cost a few instructions where they
// guess wrong.
constexpr uintptr_t kCacheLineBytes = 64;
constexpr uintptr_t kLayoutPrefetchDistance = 1024;  // bytes past the next sibling
constexpr uintptr_t kLayoutPrefetchBytes = 384;      // about one element and its texts
constexpr uintptr_t kWalkPrefetchDistance = 4096;    // a short walk step needs its memory this far ahead
constexpr uintptr_t kWalkPrefetchSpan = 512;         // at most this much asked for in one step
constexpr uintptr_t kHeldPrefetchBytes = 1024;       // a told element and the first of its subtree

void PrefetchBytes(uintptr_t from, uintptr_t bytes) noexcept {
    for (uintptr_t at = from & ~(kCacheLineBytes - 1); at < from + bytes; at += kCacheLineBytes)
        __builtin_prefetch(reinterpret_cast<const void*>(at));
}

// While a child is laid out, the memory a few elements past the next
// sibling.
inline void PrefetchLayoutAhead(const TVisualElement* next) noexcept {
    PrefetchBytes(reinterpret_cast<uintptr_t>(next) + kLayoutPrefetchDistance, kLayoutPrefetchBytes);
}

// While a child is told of a move, which takes far less time than laying it
// out, the memory as far ahead as a short walk step needs it.
inline void PrefetchToldAhead(const TVisualElement* next) noexcept {
    PrefetchBytes(reinterpret_cast<uintptr_t>(next) + kWalkPrefetchDistance, kLayoutPrefetchBytes);
}

// For a walk whose steps are a few instructions each: every line up to a
// fixed distance past the element reached, each line asked for once.
class TWalkPrefetch {
public:
    void Reached(const TVisualElement* element) noexcept {
        const uintptr_t target = reinterpret_cast<uintptr_t>(element) + kWalkPrefetchDistance;
        if (target <= m_ahead) return;
        const uintptr_t from = std::max(m_ahead, target - kWalkPrefetchSpan);
        PrefetchBytes(from, target - from);
        m_ahead = target;
    }

private:
    uintptr_t m_ahead = 0;
};
}  // namespace

// Giving the subtree another sheet: the old one forgets it, the new one is
// set everywhere, then the subtree is laid out on the new sheet. The walk
// goes in pre-order, the order in which a tree made or loaded in order lies
// in memory, so that each element is loaded once and the memory ahead can
// be asked for. The subtree joins the sheet as one move: its top is held and
// every element below is marked as held through it, so that the end of the
// layout tells the whole subtree in one walk down from the top, in the order
// it lies in memory, and the elements laid out meanwhile take no entries of
// their own. An element that leaves the subtree meanwhile leaves the sheet
// first, which lets its mark go.
void TVisualElement::SetSheetOfSubtree(ISheet* sheet) {
    if (m_sheet == sheet) return;
    if (m_sheet) DetachFromSheet();
    const bool laidOut = sheet && !IsBeingDestroyed();
    TWalkPrefetch prefetch;
    for (TVisualElement* e : VisualPreOrder(this)) {
        prefetch.Reached(e);
        e->m_sheet = sheet;
        e->m_roomGeneration = 0;
        if (laidOut && e != this) e->m_vstate |= vsMoveHeld;  // told through this element
    }
    if (!laidOut) return;
    TSheetUpdate update(sheet);
    const TSheetLayoutScope layout(sheet);
    sheet->HoldMove(this);
    UpdateLayout(true, true, false, false);
}

void TVisualElement::DetachFromSheet() {
    if (m_messagesSign) {
        TMessagesSignElement* sign = m_messagesSign;
        m_messagesSign = nullptr;
        sign->m_element = nullptr;
        sign->Free();
    }
    if (m_sheet) {
        m_sheet->LetGoMove(this);
        m_sheet->LetGoLayout(this);
        m_sheet->ForgetElement(this);
    }
    for (TVisualElement* c = m_firstVisualChild; c; c = c->m_nextVisualSibling) c->DetachFromSheet();
}

// ---------------------------------------------------------------------------
// ISheet: moves held while a layout runs

// Entries leave only from the back (EndLayout) or are cleared in place, so
// the place an element keeps stays right while it is held.
void ISheet::HoldMove(TVisualElement* element) {
    if (element->m_vstate & vsMoveHeld) return;
    element->m_heldMoveIndex = uint32_t(m_heldMoves.size());
    m_heldMoves.push_back(element);
    element->m_vstate |= vsMoveHeld;
}

void ISheet::LetGoMove(TVisualElement* element) noexcept {
    if (!(element->m_vstate & vsMoveHeld)) return;
    element->m_vstate &= uint16_t(~vsMoveHeld);
    const size_t index = element->m_heldMoveIndex;
    if (index < m_heldMoves.size() && m_heldMoves[index] == element) m_heldMoves[index] = nullptr;
}

// ---------------------------------------------------------------------------
// ISheet: layouts held while a command runs

namespace {
// How many visual parents stand above the element, itself counted.
int VisualDepth(const TVisualElement* element) noexcept {
    int depth = 0;
    for (; element; element = element->VisualParent()) ++depth;
    return depth;
}

// The order of held layouts in the heap: the deepest on top, of one depth
// the first joined.
bool LaterHeldLayout(const std::pair<int, uint32_t>& a, const std::pair<int, uint32_t>& b) noexcept {
    return a.first != b.first ? a.first < b.first : a.second > b.second;
}
}  // namespace

bool ISheet::HoldLayout(TVisualElement* element) {
    if (m_layoutHoldCount == 0) return HoldLayoutAbove(element);
    if (element->m_vstate & vsLayoutHeld) return false;
    FileHeldLayout(element);
    return true;
}

bool ISheet::HoldLayoutAbove(TVisualElement* element) {
    int depth = 0;
    if (m_layoutHoldCount > 0 || (element->m_vstate & vsLayoutHeld) || !HoldsRunningLayout(element, depth))
        return false;
    FileHeldLayout(element);
    OrderHeldLayout(depth, m_heldLayouts.size() - 1);
    return true;
}

void ISheet::FileHeldLayout(TVisualElement* element) {
    element->m_heldLayoutIndex = uint32_t(m_heldLayouts.size());
    m_heldLayouts.push_back(element);
    element->m_vstate |= vsLayoutHeld;
}

// Entries joined while no hold is open are ordered as they join: then every
// entry before them is ordered already.
void ISheet::OrderHeldLayout(int depth, size_t entry) {
    m_heldLayoutOrder.emplace_back(depth, uint32_t(entry));
    std::push_heap(m_heldLayoutOrder.begin(), m_heldLayoutOrder.end(), LaterHeldLayout);
    m_heldLayoutsOrdered = entry + 1;
}

// Whether a closing hold lays out an element that `element` holds (its
// visual ancestor); its depth then.
bool ISheet::HoldsRunningLayout(const TVisualElement* element, int& depth) const noexcept {
    if (m_heldLayoutsRunning.empty() || !m_heldLayoutsRunning.back().first) return false;
    const auto [running, runningDepth] = m_heldLayoutsRunning.back();
    depth = VisualDepth(element);
    if (depth >= runningDepth) return false;
    const TVisualElement* e = running;
    for (int d = runningDepth; e && d > depth; --d) e = e->VisualParent();
    return e == element;
}

void ISheet::LetGoLayout(TVisualElement* element) noexcept {
    for (auto& running : m_heldLayoutsRunning)
        if (running.first == element) running.first = nullptr;
    if (!(element->m_vstate & vsLayoutHeld)) return;
    element->m_vstate &= uint16_t(~vsLayoutHeld);
    const size_t index = element->m_heldLayoutIndex;
    if (index < m_heldLayouts.size() && m_heldLayouts[index] == element) m_heldLayouts[index] = nullptr;
}

// The hold is closed before the first element lays out, so that what those
// layouts ask of the texts around them runs at once, except the layouts of
// the texts holding the element laid out, which join the rest. A hold opened
// and closed meanwhile works off what is left, the rest with it. The layouts
// run inside one layout bracket: each finds the rooms the ones before it found
// (rooms never depend on sizes laid out), and the moves are told once at the
// end.
void ISheet::EndLayoutHold() noexcept {
    if (--m_layoutHoldCount > 0) return;
    for (size_t i = m_heldLayoutsOrdered; i < m_heldLayouts.size(); ++i)
        if (const TVisualElement* e = m_heldLayouts[i]) OrderHeldLayout(VisualDepth(e), i);
    m_heldLayoutsOrdered = m_heldLayouts.size();
    const bool laysOut = !m_heldLayoutOrder.empty();
    if (laysOut) BeginLayout();
    while (!m_heldLayoutOrder.empty()) {
        std::pop_heap(m_heldLayoutOrder.begin(), m_heldLayoutOrder.end(), LaterHeldLayout);
        const auto [depth, index] = m_heldLayoutOrder.back();
        m_heldLayoutOrder.pop_back();
        TVisualElement* element = m_heldLayouts[index];
        if (!element) continue;  // it left the sheet
        m_heldLayouts[index] = nullptr;
        element->m_vstate &= uint16_t(~vsLayoutHeld);
        m_heldLayoutsRunning.emplace_back(element, depth);
        try {
            element->LayoutHoldEnded();
        } catch (...) {
            LogCurrentException("sheet layout hold");
        }
        m_heldLayoutsRunning.pop_back();
    }
    if (laysOut) EndLayout();
    if (m_heldLayoutsRunning.empty()) {
        m_heldLayouts.clear();
        m_heldLayoutsOrdered = 0;
    }
}

// Still inside the bracket, so that what the listeners move is held and told
// in this same loop. An element a few places further down the list, and the
// start of its subtree after it, start loading while this one is told.
void ISheet::EndLayout() noexcept {
    constexpr size_t kLoadAhead = 8;
    if (m_layoutCount == 1) {
        while (!m_heldMoves.empty()) {
            if (m_heldMoves.size() > kLoadAhead)
                if (const TVisualElement* ahead = m_heldMoves[m_heldMoves.size() - 1 - kLoadAhead])
                    PrefetchBytes(reinterpret_cast<uintptr_t>(ahead), kHeldPrefetchBytes);
            TVisualElement* element = m_heldMoves.back();
            m_heldMoves.pop_back();
            if (!element || !(element->m_vstate & vsMoveHeld)) continue;
            element->m_vstate &= uint16_t(~vsMoveHeld);
            try {
                element->PositionChanged();
            } catch (...) {
                LogCurrentException("sheet layout");
            }
        }
    }
    if (--m_layoutCount == 0) ++m_roomGeneration;
}

// ---------------------------------------------------------------------------
// Geometry

QPoint TVisualElement::ClientToSheet(QPoint p) const noexcept {
    for (const TVisualElement* e = this; e; e = e->m_visualParent) p += QPoint(e->m_left, e->m_top);
    return p;
}

QPoint TVisualElement::SheetToClient(QPoint p) const noexcept {
    for (const TVisualElement* e = this; e; e = e->m_visualParent) p -= QPoint(e->m_left, e->m_top);
    return p;
}

namespace {
// The strip of a client area that a change of one side from `from` to `to`
// repaints: from `edge` in before the nearer edge to the farther one, across
// the larger extent of the other side; `down` for the bottom strip.
TRect ResizedStrip(int from, int to, int acrossFrom, int acrossTo, int edge, bool down) noexcept {
    if (from == to || edge < 0) return TRect{};
    const int start = std::max(std::min(from, to) - edge, 0);
    const int end = std::max(from, to);
    const int across = std::max(acrossFrom, acrossTo);
    return down ? TRect{0, start, across, end} : TRect{start, 0, end, across};
}
}  // namespace

bool TVisualElement::SetBounds(int left, int top, int width, int height, int descent) {
    if (left == m_left && top == m_top && width == m_width && height == m_height && descent == m_descent) {
        if (!InSheetUpdate()) Invalidate();
        return false;
    }
    const TRect oldRect = GetBoundsRect();
    const int oldDescent = m_descent;
    const bool moved = left != oldRect.Left || top != oldRect.Top;
    // The marks drawn over an element (greyed, external editing, selected, in a
    // selected text, the focus overlay) cover all of it.
    const bool overlaid =
        IsEffectivelyDisabled() || IsExternalEditing() || IsSelected() || IsInSelection() || IsFocused();
    const int edge = moved || overlaid ? kWholeArea : SizeDependentEdge();
    const TRect strips[] = {ResizedStrip(oldRect.Width(), width, oldRect.Height(), height, edge, false),
                            ResizedStrip(oldRect.Height(), height, oldRect.Width(), width, edge, true)};
    auto invalidateChanged = [&] {
        if (edge == kWholeArea) {
            Invalidate();
            return;
        }
        for (const TRect& strip : strips) Invalidate(strip);
    };
    // A move repaints the old and the new place of all the subtree paints,
    // which may reach beyond the element's own area.
    auto invalidateSubtree = [&] {
        if (moved && m_sheet && !m_sheet->RepaintsAll())
            InvalidateInParent(OffsetRect(SubtreeBounds(), m_left, m_top));
    };
    invalidateChanged();
    invalidateSubtree();
    m_left = left;
    m_top = top;
    m_width = width;
    m_height = height;
    m_descent = descent;
    invalidateChanged();
    invalidateSubtree();
    if (moved) {
        if (m_sheet && m_sheet->LayoutRunning())
            m_sheet->HoldMove(this);
        else
            PositionChanged();
    }
    if (m_visualParent) {
        // The index sorts the children by their vertical extent and answers
        // from their live bounds: a change of width alone keeps it.
        const bool wasIndexed = oldRect.Width() > 0 && oldRect.Height() > 0;
        const bool isIndexed = width > 0 && height > 0;
        if (top != oldRect.Top || height != oldRect.Height() || wasIndexed != isIndexed)
            m_visualParent->DropChildIndex();
        m_visualParent->ChildBoundsChanged(this, oldRect, oldDescent);
    }
    if (IsSheetRoot()) m_sheet->RootBoundsChanged();
    BoundsChanged(oldRect, oldDescent);
    return true;
}

void TVisualElement::PositionChanged() {
    // Told now: a move still held is let go, so that its entry does not
    // outlive the element.
    if (m_sheet)
        m_sheet->LetGoMove(this);
    else
        m_vstate &= uint16_t(~vsMoveHeld);
    for (TVisualElement* c = m_firstVisualChild; c;) {
        TVisualElement* next = c->m_nextVisualSibling;
        if (next) PrefetchToldAhead(next);
        c->PositionChanged();
        c = next;
    }
    if (m_messagesSign) PlaceMessagesSign();
    if (IsFocused()) UpdateCaret();
}

// ---------------------------------------------------------------------------
// State

bool TVisualElement::IsFocused() const noexcept { return m_sheet && m_sheet->Focused() == this; }
bool TVisualElement::IsPressed() const noexcept { return m_sheet && m_sheet->Pressed() == this; }
bool TVisualElement::IsHot() const noexcept { return m_sheet && m_sheet->Hot() == this; }

bool TVisualElement::IsReadOnly() const noexcept {
    return (m_voptions & voReadOnly) || (m_sheet && m_sheet->ReadOnly()) || (Scheme() && Scheme()->ReadOnly());
}

void TVisualElement::SetDisabled(bool value) {
    if (value == IsDisabled()) return;
    SetVisualStateBits(vsDisabled, value);
    DisabledChanged();
    NotifyEditStateChanged();
}

void TVisualElement::DisabledChanged() { UpdateDisabled(); }

void TVisualElement::SetExternalEditing(bool value) {
    if (value == IsExternalEditing()) return;
    SetVisualStateBits(vsExternalEditing, value);
    ExternalEditingChanged();
    Invalidate();
}

void TVisualElement::SetEditing(bool value) { SetVisualStateBits(vsEditing, value); }

void TVisualElement::SetSelected(bool value) {
    if (value == IsSelected()) return;
    if (m_sheet) {
        m_sheet->SetElementSelected(this, value);
        return;
    }
    SetStateBits(esSelected, value);
}

void TVisualElement::SetInSelectedText(bool value) {
    if (value == IsInSelection()) return;
    SetVisualStateBits(vsInSelection, value);
    InSelectedTextFlagChanged();
    if (m_visualParent) m_visualParent->ContentChanged();
}

void TVisualElement::SetPressed(bool value) {
    if (!m_sheet) return;
    if (value)
        m_sheet->SetPressed(this);
    else if (IsPressed())
        m_sheet->SetPressed(nullptr);
}

void TVisualElement::SetVisualOptions(uint16_t value) {
    if (value == m_voptions) return;
    const uint16_t old = m_voptions;
    const bool wasReadOnly = IsReadOnly();
    m_voptions = value;
    if ((old ^ value) & voHiddenWhileEmpty) UpdateVisibility();
    if (IsReadOnly() != wasReadOnly) NotifyEditStateChanged();
}

bool TVisualElement::ComputeDisabled() {
    return IsDisabled() || (m_visualParent && m_visualParent->IsEffectivelyDisabled());
}

bool TVisualElement::ComputeInSelectedText() {
    return IsInSelection() || (m_visualParent && m_visualParent->IsInSelectedText());
}

bool TVisualElement::ComputeVisible() {
    bool shown = !m_visualParent || (m_visualParent->IsVisible() && m_visualParent->CanShowChild(this));
    if (shown && (m_voptions & voHiddenWhileEmpty))
        shown = (IsValidated() && IsFilled()) || IsBeingFocused() || IsFocused();
    return shown;
}

void TVisualElement::UpdateDisabled() {
    if (IsBeingDestroyed()) return;
    const bool value = ComputeDisabled();
    if (value == IsEffectivelyDisabled()) return;
    SetVisualStateBits(vsEffectivelyDisabled, value);
    EffectiveDisabledChanged();
    Invalidate();
}

void TVisualElement::UpdateInSelectedText() {
    if (IsBeingDestroyed()) return;
    const bool value = ComputeInSelectedText();
    if (value == IsInSelectedText()) return;
    SetVisualStateBits(vsInSelectedText, value);
    InSelectedTextChanged();
}

void TVisualElement::UpdateVisibility() {
    if (IsBeingDestroyed()) return;
    const bool value = ComputeVisible();
    if (value == IsVisible()) return;
    if (!value) Invalidate();  // the area it leaves
    SetVisualStateBits(vsVisible, value);
    VisibilityChanged();
    if (value) Invalidate();
}

void TVisualElement::EffectiveDisabledChanged() {
    if (m_visualParent) m_visualParent->ChildDisabledChanged(this);
    UpdateChildrenDisabled();
    if (IsValidated()) CheckAll();
}

void TVisualElement::VisibilityChanged() {
    if (m_visualParent) {
        m_visualParent->DropChildIndex();
        m_visualParent->ChildVisibilityChanged(this);
    }
    UpdateChildrenVisibility();
    UpdateMessagesSign();
    if (!IsVisible() && m_sheet) {
        if (m_sheet->Hot() == this) m_sheet->SetHot(nullptr);
        if (m_sheet->Focused() == this) m_sheet->SetFocus(nullptr);
        if (TVisualElement* d = m_sheet->DelayedFocus())
            for (TVisualElement* e = d; e; e = e->m_visualParent)
                if (e == this) {
                    m_sheet->CancelDelayedFocus();
                    break;
                }
    }
}

void TVisualElement::UpdateChildrenDisabled() {
    for (TVisualElement* c = m_firstVisualChild; c; c = c->m_nextVisualSibling) c->UpdateDisabled();
}

void TVisualElement::UpdateChildrenInSelectedText() {
    for (TVisualElement* c = m_firstVisualChild; c; c = c->m_nextVisualSibling) c->UpdateInSelectedText();
}

void TVisualElement::UpdateChildrenVisibility() {
    for (TVisualElement* c = m_firstVisualChild; c; c = c->m_nextVisualSibling) c->UpdateVisibility();
}

void TVisualElement::UpdateStates() {
    UpdateDisabled();
    UpdateInSelectedText();
    UpdateVisibility();
}

void TVisualElement::FilledChanged() {
    TElement::FilledChanged();
    UpdateMessagesSign();
    if (m_voptions & voHiddenWhileEmpty) UpdateVisibility();
}

void TVisualElement::MessagesChanged() { UpdateMessagesSign(); }

void TVisualElement::FocusChanged() {
    if (m_voptions & voHiddenWhileEmpty) UpdateVisibility();
}

void TVisualElement::FocusChanging() {
    if (IsEditing()) FinishEditing();
}

// ---------------------------------------------------------------------------
// Invalidation

bool TVisualElement::InSheetUpdate() const noexcept { return m_sheet && m_sheet->UpdateCount() > 0; }

// Inside the sheet's update bracket the rectangle goes up as well: the sheet
// keeps the bounds of what is invalidated and repaints that when the bracket
// closes, or everything once an element moved meanwhile (SetBounds).
void TVisualElement::Invalidate() {
    if (IsBeingDestroyed() || !m_sheet || !IsVisible()) return;
    InvalidateInParent(OffsetRect(GetUpdateRect(), m_left, m_top));
}

void TVisualElement::Invalidate(const TRect& rect) {
    if (IsBeingDestroyed() || !m_sheet || !IsVisible()) return;
    const TRect r = IntersectRects(rect, GetUpdateRect());
    if (r.IsEmpty()) return;
    InvalidateInParent(OffsetRect(r, m_left, m_top));
}

// The rectangle in the parent's coordinates goes up the visual tree; the
// sheet's root hands it (in sheet coordinates) to the sheet.
void TVisualElement::InvalidateInParent(const TRect& rectInParent) {
    if (rectInParent.IsEmpty() || (m_sheet && m_sheet->RepaintsAll())) return;
    TRect rect = rectInParent;
    const TVisualElement* top = this;
    int levels = 0;
    for (; top->m_visualParent; ++levels) {
        top = top->m_visualParent;
        if (!top->IsVisible()) return;
        rect = OffsetRect(rect, top->m_left, top->m_top);
    }
    if (!top->IsSheetRoot()) return;
    top->m_sheet->InvalidateElementRect(rect);
    top->m_sheet->NoteInvalidationWalk(levels);
}

void ISheet::InvalidateElementRect(const TRect& rect) {
    if (m_updateCount == 0) {
        InvalidateRect(rect);
        return;
    }
    TRect& kept = m_keptInvalidation;
    if (!kept.IsEmpty()) {
        if (kept.Holds(rect)) return;
        if (!rect.Holds(kept)) InvalidateRect(kept);
    }
    kept = rect;
}

void ISheet::HandOnKeptInvalidation() {
    const TRect kept = std::exchange(m_keptInvalidation, TRect{});
    if (!kept.IsEmpty()) InvalidateRect(kept);
}

// ---------------------------------------------------------------------------
// Layout


void TVisualElement::UpdateLayout(bool force, bool all, bool widthChanged, bool heightChanged) {
    for (TVisualElement* c = m_firstVisualChild; c;) {
        TVisualElement* next = c->m_nextVisualSibling;
        if (next) PrefetchLayoutAhead(next);
        if (force || all || c->IsVisible()) c->UpdateLayout(force, all, widthChanged, heightChanged);
        c = next;
    }
    if ((force || all) && IsValidated() && Messages()) Check();
    UpdateMessagesSign();
}

QSize TVisualElement::GetAvailableSize(TVisualElement* child) { return RoomFromParent(); }

QSize TVisualElement::RoomFromParent() {
    if (!m_visualParent) return IsSheetRoot() ? m_sheet->AvailableSize() : QSize(INT_MAX, INT_MAX);
    const uint64_t generation = m_sheet ? m_sheet->RoomGeneration() : 0;
    if (generation == 0) return m_visualParent->GetAvailableSize(this);
    if (m_roomGeneration != generation) {
        m_room = m_visualParent->GetAvailableSize(this);
        m_roomGeneration = generation;
    }
    return m_room;
}

TRect TVisualElement::GetMargins() { return m_sheet ? m_sheet->Canvas()->GetThemeMargins(tekField) : TRect{}; }

// ---------------------------------------------------------------------------
// Content-change bracket

void TVisualElement::ContentChanged() {
    if (m_vstate & vsContentChange) {
        m_vstate |= vsContentChanged;
        return;
    }
    if (m_voptions & voTextContainer) NotifyContentChanged();
}

void TVisualElement::EndContentChange() {
    m_vstate &= uint16_t(~vsContentChange);
    if (m_vstate & vsContentChanged) {
        m_vstate &= uint16_t(~vsContentChanged);
        ContentChanged();
    }
}

// ---------------------------------------------------------------------------
// Sheet notifications

void TVisualElement::NotifyContentChanged() {
    if (IsFocused()) m_sheet->NotifyFocusedContent();
}

void TVisualElement::NotifyFocusedState() {
    if (IsFocused()) m_sheet->NotifyFocusState();
}

void TVisualElement::NotifyFocusedChanged() {
    if (IsFocused()) m_sheet->NotifyFocusedElement();
}

void TVisualElement::NotifyEditStateChanged() {
    if (IsFocused()) m_sheet->NotifyEditState();
}

void TVisualElement::UpdateCaret() {
    if (IsFocused()) m_sheet->UpdateCaret();
}

void TVisualElement::UpdateSheetCursor() {
    if (m_sheet && (IsPressed() || IsHot())) m_sheet->UpdateCursor();
}

// ---------------------------------------------------------------------------
// Hit test

bool TVisualElement::ContainsPoint(QPoint p) {
    if (p.x() < 0 || p.y() < 0 || p.x() >= m_width || p.y() >= m_height) return false;
    const TRect in = GetHitInsets();
    return p.x() >= in.Left && p.y() >= in.Top && p.x() < m_width - in.Right && p.y() < m_height - in.Bottom;
}

TVisualElement* TVisualElement::ElementAt(QPoint p, int flags) {
    if (IsInSelectedText() && !(flags & hfSelectedText)) return nullptr;
    if ((m_voptions & voTransparent) && !(flags & hfTransparent)) return nullptr;
    if (!ContainsPoint(p)) return nullptr;
    if (flags & hfChildren) {
        int childFlags = flags | hfSelf;
        if (!(flags & hfDeep)) childFlags &= ~hfChildren;
        auto tryChild = [&](TVisualElement* c) -> TVisualElement* {
            if (!c->IsVisible()) return nullptr;
            return c->ElementAt(p - QPoint(c->m_left, c->m_top), childFlags);
        };
        if (m_visualChildCount < kIndexedChildCount) {
            for (TVisualElement* c = m_lastVisualChild; c; c = c->m_prevVisualSibling)
                if (TVisualElement* hit = tryChild(c)) return hit;
        } else {
            std::vector<TVisualElement*> near;
            ChildrenMeeting(TRect{p.x(), p.y(), p.x() + 1, p.y() + 1}, near);
            for (auto it = near.rbegin(); it != near.rend(); ++it)
                if (TVisualElement* hit = tryChild(*it)) return hit;
        }
    }
    return (flags & hfSelf) ? this : nullptr;
}

// ---------------------------------------------------------------------------
// Focus

void TVisualElement::SetFocus(const QString&) {
    if (m_sheet) m_sheet->SetFocus(this);
}

void TVisualElement::Focus() {
    if (!IsFocused()) SetFocus();
}

void TVisualElement::ChangeInViewUpdate(const std::function<void()>& change) {
    TSheetUpdate update(m_sheet);
    change();
}

TVisualElement* TVisualElement::GetNextChild(TVisualElement* child, bool forward) {
    if (!child) return forward ? m_firstVisualChild : m_lastVisualChild;
    return forward ? child->m_nextVisualSibling : child->m_prevVisualSibling;
}

TVisualElement* TVisualElement::GetNavigationParent() { return IsSheetRoot() ? nullptr : m_visualParent; }

TVisualElement* TVisualElement::FindFocusable(bool forward, bool skipDisabled, bool visibleOnly) {
    if (visibleOnly && !IsVisible()) return nullptr;
    if ((m_voptions & voFocusable) && !(skipDisabled && IsEffectivelyDisabled())) return this;
    for (TVisualElement* c = GetNextChild(nullptr, forward); c; c = GetNextChild(c, forward))
        if (TVisualElement* hit = c->FindFocusable(forward, skipDisabled, visibleOnly)) return hit;
    return nullptr;
}

TVisualElement* TVisualElement::FindNextFocusable(bool forward, bool along, bool skipDisabled, bool visibleOnly) {
    TVisualElement* current = this;
    for (;;) {
        TVisualElement* parent = current->GetNavigationParent();
        if (!parent) return nullptr;
        if ((parent->m_voptions & voFocusable) && !(skipDisabled && parent->IsEffectivelyDisabled()) &&
            !(visibleOnly && !parent->IsVisible()))
            return parent;
        for (TVisualElement* c = parent->GetNextChild(current, forward); c; c = parent->GetNextChild(c, forward))
            if (TVisualElement* hit = c->FindFocusable(forward, skipDisabled, visibleOnly)) return hit;
        current = parent;
    }
}

namespace {

bool IsInScope(const TVisualElement* element, const TVisualElement* scope) noexcept {
    if (!scope) return true;
    for (const TVisualElement* a = element; a; a = a->VisualParent())
        if (a == scope) return true;
    return false;
}

// The child of ancestor through which element hangs below it; nil when
// ancestor is not above element.
TVisualElement* ChildTowards(const TVisualElement* ancestor, TVisualElement* element) noexcept {
    if (!ancestor) return nullptr;
    for (TVisualElement* e = element; e; e = e->VisualParent())
        if (e->VisualParent() == ancestor) return e;
    return nullptr;
}

}  // namespace

bool TVisualElement::FindFocusableWithin(TFindMode mode, const TFindData& request, TVisualElement*& next,
                                         bool forward) {
    if (m_textorSlot && m_visualParent && IsInScope(m_visualParent, request.Scope))
        if (const std::optional<bool> found = m_visualParent->FindBesideChild(this, mode, request, next, forward))
            return *found;
    next = FindNextFocusable(forward, true, request.SkipDisabled, request.VisibleOnly);
    // The walk leaves a part of an element that stands inline in a text and
    // comes up to that text: the text goes on right behind the element (before
    // it, backward) rather than from its start again, which would search the
    // element once more, and again, without end.
    if (TVisualElement* outer = ChildTowards(next, this); outer && IsInScope(next, request.Scope)) {
        TVisualElement* text = next;
        if (const std::optional<bool> found = text->FindBesideChild(outer, mode, request, next, forward))
            return *found;
    }
    if (next && !IsInScope(next, request.Scope)) next = nullptr;
    return false;
}

TRect TVisualElement::SubtreeBounds() {
    TRect bounds = IsVisible() ? GetUpdateRect() : TRect{};
    for (TVisualElement* c = m_firstVisualChild; c; c = c->m_nextVisualSibling) {
        if (!c->IsVisible()) continue;
        const TRect child = OffsetRect(c->SubtreeBounds(), c->m_left, c->m_top);
        if (child.IsEmpty()) continue;
        bounds = bounds.IsEmpty() ? child : BoundingRect(bounds, child);
    }
    return bounds;
}

void TVisualElement::FocusFirst() {
    TVisualElement* e = FindFocusable(true, false, true);
    if (e == this)
        Focus();
    else if (e)
        e->FocusFirst();
}

void TVisualElement::MakeVisible() {
    TSheetUpdate update(m_sheet);
    TOperationGroupScope group(Scheme());
    for (TVisualElement* e = this; e && !e->IsSheetRoot();) {
        TVisualElement* parent = e->GetNavigationParent();
        if (!parent) break;
        if (!e->IsVisible()) parent->ShowChild(e);
        e = parent;
    }
    group.End();
}

// ---------------------------------------------------------------------------
// Mouse

void TVisualElement::MouseDown(QPoint p, TMouseButton button, TShiftState shift, int clicks) {
    if (clicks == 2) DoubleClick();
    if (button == mbLeft && (m_voptions & voPressable) && m_sheet) {
        if ((m_voptions & voFocusable) && !IsFocused()) Focus();
        m_sheet->SetPressed(this);
        return;
    }
    if (m_visualParent) m_visualParent->MouseDown(p + QPoint(m_left, m_top), button, shift, clicks);
}

void TVisualElement::MouseUp(QPoint p, TMouseButton button, TShiftState) {
    if (button != mbLeft || !IsPressed()) return;
    m_sheet->SetPressed(nullptr);
    if (ContainsPoint(p)) Click();
}

// ---------------------------------------------------------------------------
// Messages sign

void TVisualElement::UpdateMessagesSign() {
    const bool need = m_sheet && !IsBeingDestroyed() && IsValidated() && IsVisible() && !HasNoErrors() &&
                      !InheritsFrom(TMessagesSignElement::StaticClass());
    if (!need) {
        if (m_messagesSign) {
            TMessagesSignElement* sign = m_messagesSign;
            m_messagesSign = nullptr;
            sign->m_element = nullptr;
            sign->Free();
        }
        return;
    }
    if (!m_messagesSign) {
        TVisualElement* root = m_sheet->Root();
        auto* sign = TElement::CreateSubElement<TMessagesSignElement>(root);
        sign->m_element = this;
        m_messagesSign = sign;
        sign->SetVisualParent(root);
        sign->UpdateLayout(true, false, false, false);
    }
    PlaceMessagesSign();
}

// The sign's left edge at the element's, its middle one pixel above the
// element's top; never more than a quarter of its height above the root.
void TVisualElement::PlaceMessagesSign() {
    TMessagesSignElement* sign = m_messagesSign;
    TVisualElement* root = m_sheet ? m_sheet->Root() : nullptr;
    if (!sign || !root) return;
    const int h = sign->Height();
    const QPoint inSheet = ClientToSheet(QPoint(0, -(h / 2) - 1));
    const QPoint inRoot = inSheet - QPoint(root->Left(), root->Top());
    const int top = std::max(inRoot.y(), -(h / 4));
    sign->SetPosition(inRoot.x(), top);
}

void TVisualElement::GetChildName(TElement* child, TSchemeFiler* filer, QString& name) {
    if (child && child == m_messagesSign) {
        name = QStringLiteral("MessagesSign");
        return;
    }
    TElement::GetChildName(child, filer, name);
}

void TVisualElement::GetHint(QString& text) {
    text.clear();
    if (IsSubElement())
        if (TElement* p = ParentElement()) p->GetChildHint(this, text);
}

// ---------------------------------------------------------------------------
// Node messages

bool TVisualElement::HandleNodeMessage(int msg, intptr_t p1, intptr_t p2) {
    if (msg == nmBeingDestroyed) SetStateBits(esBeingDestroyed, true);
    if (m_visualParent && m_visualParent->HandleVisualChildMessage(this, msg, p1, p2)) return true;
    return TElement::HandleNodeMessage(msg, p1, p2);
}

// ---------------------------------------------------------------------------
// Storage

namespace {
const QString kDisabled = QStringLiteral("Disabled");
const QString kLeft = QStringLiteral("Left");
const QString kTop = QStringLiteral("Top");
}  // namespace

void TVisualElement::SaveTo(TSchemeSaver* saver, TKnot* knot) {
    TElement::SaveTo(saver, knot);
    if (IsDisabled()) knot->WriteBool(kDisabled, true);
    if ((m_voptions & voFreePosition) && !saver->HasOption(foNoPosition)) {
        knot->WriteInt(kLeft, m_left);
        knot->WriteInt(kTop, m_top);
    }
}

void TVisualElement::LoadFrom(TSchemeLoader* loader, TKnot* knot) {
    TElement::LoadFrom(loader, knot);
    if (m_voptions & voCanDisable) SetDisabled(knot->ReadBool(kDisabled, false));
    if ((m_voptions & voFreePosition) && !loader->HasOption(foNoPosition))
        SetPosition(knot->ReadInt(kLeft, 0), knot->ReadInt(kTop, 0));
}

bool TVisualElement::AcceptsForFiler(TSchemeFiler* filer, TElement* element) {
    auto* visual = dynamic_cast<TVisualElement*>(element);
    if (filer->HasOption(foSkipDisabled) && visual && visual->IsDisabled()) return false;
    if (filer->HasOption(foSkipComments) && (element->Options() & eoComment)) return false;
    if (filer->HasOption(foSkipOption20) && (element->Options() & eoOmitWithFilerOption20)) return false;
    return true;
}

void TVisualElement::MapNodeName(TSchemeFiler*, TKnot*, QString& name) {
    static const std::pair<const char16_t*, const char16_t*> kLegacy[] = {
        {u"Class", u"Object"},         {u"ExeConsoleGenerator", u"ConsoleApplicationGenerator"},
        {u"EmptyValue", u"Empty"},     {u"EventHandler", u"Handler"},
        {u"MethodOverride", u"Override"}, {u"TryFinally", u"Rockfall"},
        {u"False", u"Empty"},
    };
    for (const auto& [stored, current] : kLegacy)
        if (name == QStringView(stored)) {
            name = QString::fromUtf16(current);
            return;
        }
}

TElement* TVisualElement::CreateChildFromNode(TSchemeFiler* filer, TKnot* knot, TElement* before,
                                              TElementClassList& classList, bool& classListFilled) {
    if (!classListFilled) {
        classList.clear();
        GetAcceptedClasses(classList);
        classListFilled = true;
    }
    QString name = knot->Name();
    MapNodeName(filer, knot, name);
    const TElementClass* cls = nullptr;
    for (const TElementClass* c : classList)
        if (c->GetTypeName() == name) {
            cls = c;
            break;
        }
    if (!cls) cls = UnknownNodeClass(filer);
    auto* loader = dynamic_cast<TSchemeLoader*>(filer);
    if (!loader) {
        CheckElementNesting(NestingLevel() + 1);
        return TElement::CreateIn(cls, Scheme(), this, before);
    }
    const TSchemeLoader::TNestingScope nesting(*loader, this);
    TElement* element = TElement::CreateIn(cls, Scheme(), this, before);
    try {
        element->LoadFrom(loader, knot);
    } catch (...) {
        element->Free();
        throw;
    }
    return element;
}

void TVisualElement::SaveChildToNode(TSchemeSaver* saver, TKnot* knot, TElement* child) {
    if (!AcceptsForFiler(saver, child)) return;
    if (saver->HasOption(foSaveInPlace) && child->SaveInPlace(saver, knot)) return;
    TKnot* sub = knot->AddChild(child->GetTypeName());
    child->SaveTo(saver, sub);
}

// ---------------------------------------------------------------------------
// TMessagesSignElement

T_ELEMENT_CLASS_IMPL(TMessagesSignElement, TVisualElement)

TMessagesSignElement::TMessagesSignElement() noexcept {
    InitOptions(eoNotStored);
    InitVisualOptions(voTransparent);
}

void TMessagesSignElement::UpdateLayout(bool force, bool all, bool widthChanged, bool heightChanged) {
    TVisualElement::UpdateLayout(force, all, widthChanged, heightChanged);
    if (force) {
        const QSize s = SignSize();
        SetSize(s.width(), s.height());
    }
}

void TMessagesSignElement::GetHint(QString& text) {
    text.clear();
    TElementMessages* messages = m_element ? m_element->Messages() : nullptr;
    if (!messages) return;
    for (int i = 0; i < messages->GetCount(); ++i) {
        if (i > 0) text += QStringLiteral("\r\n");
        text += QStringLiteral("\u2022 ") + messages->GetItem(i)->GetText();
    }
}

// Freed by its owner (the root) first: the element must not keep a dangling sign.
void TMessagesSignElement::BeforeDestruction() {
    if (m_element && m_element->m_messagesSign == this) m_element->m_messagesSign = nullptr;
    m_element = nullptr;
    TVisualElement::BeforeDestruction();
}

// ---------------------------------------------------------------------------
// TPanelElement

T_ELEMENT_CLASS_IMPL(TPanelElement, TVisualElement)

void TPanelElement::Uncount(TVisualElement* child) {
    if (!child->m_panelCounted) return;
    auto drop = [](std::map<int, int>& m, int v) {
        auto it = m.find(v);
        if (it != m.end() && --it->second == 0) m.erase(it);
    };
    drop(m_rights, child->m_panelRight);
    drop(m_bottoms, child->m_panelBottom);
    child->m_panelCounted = false;
}

void TPanelElement::Recount(TVisualElement* child) {
    Uncount(child);
    if (!child->IsVisible() || child->m_visualParent != this) return;
    child->m_panelRight = child->m_left + child->m_width;
    child->m_panelBottom = child->m_top + child->m_height;
    ++m_rights[child->m_panelRight];
    ++m_bottoms[child->m_panelBottom];
    child->m_panelCounted = true;
}

void TPanelElement::UpdateSize() {
    if (IsBeingDestroyed()) return;
    const TRect pad = GetPadding();
    int w = m_rights.empty() ? 0 : std::max(0, m_rights.rbegin()->first);
    int h = m_bottoms.empty() ? 0 : std::max(0, m_bottoms.rbegin()->first);
    if (w > 0) w += pad.Right;
    if (h > 0) h += pad.Bottom;
    SetSize(w > 0 ? w : Width(), h > 0 ? h : Height());
}

QSize TPanelElement::GetAvailableSize(TVisualElement* child) {
    QSize own = TVisualElement::GetAvailableSize(this);
    const TRect pad = GetPadding();
    auto less = [](int v, int by) { return std::max(0, v - by); };
    return QSize(less(own.width(), pad.Left + pad.Right), less(own.height(), pad.Top + pad.Bottom));
}

void TPanelElement::ChildBoundsChanged(TVisualElement* child, const TRect& oldRect, int oldDescent) {
    TVisualElement::ChildBoundsChanged(child, oldRect, oldDescent);
    const bool counted = child->m_panelCounted;
    Recount(child);
    if ((counted || child->m_panelCounted) &&
        (oldRect.Width() != child->Width() || oldRect.Height() != child->Height()))
        UpdateSize();
}

void TPanelElement::ChildVisibilityChanged(TVisualElement* child) {
    TVisualElement::ChildVisibilityChanged(child);
    Recount(child);
    UpdateSize();
}

void TPanelElement::InsertVisualChild(TVisualElement* child, TVisualElement* before) {
    TVisualElement::InsertVisualChild(child, before);
    Recount(child);
    if (child->IsVisible()) UpdateSize();
}

void TPanelElement::RemoveVisualChild(TVisualElement* child) {
    const bool counted = child->m_panelCounted;
    Uncount(child);
    TVisualElement::RemoveVisualChild(child);
    if (counted) UpdateSize();
}

void TPanelElement::VisibilityChanged() {
    TVisualElement::VisibilityChanged();
    UpdateSize();
}

// ---------------------------------------------------------------------------
// Clipboard

bool TVisualElement::PasteWithWaitCursor() {
    TWaitScope wait;
    return Paste();
}

int TVisualElement::ThemeSizeEdge(int kind) const {
    return m_sheet && m_sheet->Canvas() ? m_sheet->Canvas()->GetThemeSizeEdge(kind) : kWholeArea;
}
