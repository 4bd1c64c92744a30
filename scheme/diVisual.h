#pragma once
// Visual elements: everything that is shown on a sheet. Besides its place in
// the element tree a visual element has a place in a visual tree (usually,
// not always, the same shape), bounds in its visual parent's coordinates
// (right and bottom exclusive), a state word derived from its own flags and
// those of its visual ancestors, an option word given by its kind and, while
// it has problems, a messages sign beside it.
//
// The sheet (diSheet) drives every element kind through the virtual
// operations introduced here: layout, painting, hit testing, focus, keys,
// mouse, clipboard and palette commands. Elements reach their sheet only
// through ISheet, so this unit does not depend on the sheet's.

#include "core/cuTypes.h"
#include "platform/plCursor.h"
#include "platform/plInput.h"
#include "scheme/diClasses.h"
#include "scheme/diPalette.h"

#include <QPoint>
#include <QSize>

#include <algorithm>
#include <map>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

class QPainter;
class TDropDownList;
class TMessagesSignElement;
class TPaletteItem;
class TSheetCanvas;
class TSheetSettings;
class TVisualElement;

// ---------------------------------------------------------------------------
// Flags

// Visual state word (derived and transient).
enum : uint16_t {
    vsVisible = 0x0001,
    vsDisabled = 0x0002,             // disabled itself (stored as "Disabled")
    vsEffectivelyDisabled = 0x0004,  // itself or a visual ancestor
    vsInSelection = 0x0008,          // lies in the text selection of its container
    vsInSelectedText = 0x0010,       // itself or through a visual ancestor
    vsContentChange = 0x0020,        // content-change bracket open
    vsContentChanged = 0x0040,       // a change arrived inside the bracket
    vsExternalEditing = 0x0080,
    vsBeingFocused = 0x0100,  // set by the sheet while it makes a new focus visible
    vsEditing = 0x0200,
    vsMoveHeld = 0x0400,  // moved while a layout runs: PositionChanged when it ends
    vsLayoutHeld = 0x0800,  // its layout waits for the sheet's layout hold to close
};

// Visual option word (given by the kind).
enum : uint16_t {
    voCanDisable = 0x0001,
    voPressable = 0x0002,
    voFocusable = 0x0004,
    voAcceptsPaste = 0x0008,
    voSelectAll = 0x0010,
    voFreePosition = 0x0020,  // "Left" and "Top" are stored
    voTransparent = 0x0040,   // passed over by hit tests unless asked for
    voReadOnly = 0x0080,
    voDropDown = 0x0100,
    voNoDropDownOnFocus = 0x0200,
    voCaseSensitiveList = 0x0400,  // its drop-down list matches the text case-sensitively only
    voTextContainer = 0x0800,  // its embedded children can be selected in its text
    voNotCopied = 0x1000,  // embedded in a text: left out of clipboard fragments
    voHiddenWhileEmpty = 0x2000,
};

// Hit-test flags of TVisualElement::ElementAt.
enum : int {
    hfSelf = 0x01,
    hfChildren = 0x02,
    hfDeep = 0x04,
    hfSelectedText = 0x08,
    hfTransparent = 0x10,
};

// ---------------------------------------------------------------------------
// The place in a text that holds an embedded element (a portion of the text
// model). The element tells it when it is freed first, so that nothing
// points at it afterwards.

class ITextorSlot {
public:
    virtual void ElementFreed() noexcept = 0;

protected:
    ~ITextorSlot() = default;
};

// ---------------------------------------------------------------------------
// What visual elements ask of the sheet that shows them (TSheet in diSheet).

class ISheet {
public:
    virtual TSheetSettings* Settings() const noexcept = 0;
    virtual TSheetCanvas* Canvas() const noexcept = 0;
    virtual TVisualElement* Root() const noexcept = 0;
    virtual bool ReadOnly() const noexcept = 0;
    virtual bool Active() const noexcept = 0;
    virtual QSize AvailableSize() const noexcept = 0;

    // The update bracket: notifications are held back while it is open. Its
    // depth is kept here, so that the checks every element makes while it is
    // laid out or invalidated cost no call.
    void BeginUpdate() noexcept {
        if (m_updateCount++ == 0) m_keptInvalidation = TRect{};
    }
    virtual void EndUpdate() = 0;
    // EndUpdate where no exception may pass (a scope ending, also by an
    // exception): what a listener raises is logged.
    virtual void LeaveUpdate() noexcept = 0;
    int UpdateCount() const noexcept { return m_updateCount; }

    // The layout bracket: while it is open (a layout runs), each element finds
    // the room its visual parent gives it once (TVisualElement::RoomFromParent)
    // and keeps it, so that laying out a chain of nested elements does not walk
    // up the chain again for every level. ForgetRooms drops every kept room: a
    // visual parent or the available size changed, or an element's options
    // did. Rooms depend on the settings of the element and its ancestors and
    // on the available size, never on sizes laid out.
    //
    // An element that moves while a layout runs is told (PositionChanged, which
    // passes it on through its subtree) when the outermost bracket closes, the
    // last moved first, and only once even when an ancestor that moved later
    // told it already: a chain placed from the inside out is walked once, not
    // once per level. What a listener raises then is logged.
    void BeginLayout() noexcept {
        if (m_layoutCount++ == 0) ++m_roomGeneration;
    }
    void EndLayout() noexcept;
    bool LayoutRunning() const noexcept { return m_layoutCount > 0; }
    void ForgetRooms() noexcept { ++m_roomGeneration; }
    // The generation rooms are kept under; 0 while no layout runs.
    uint64_t RoomGeneration() const noexcept { return m_layoutCount > 0 ? m_roomGeneration : 0; }
    // Holds the move of an element until the layout ends; an element that
    // leaves the sheet, or is told of its move otherwise, is let go (its
    // entry cleared through the place it keeps, in constant time). A subtree
    // that joins the sheet is held as one: its top takes an entry and the
    // elements below are held through it.
    void HoldMove(TVisualElement* element);
    void LetGoMove(TVisualElement* element) noexcept;

    // The layout hold: while it is open, an element whose layout is asked for
    // (a text) may join it and keep its layout pending; when the outermost
    // hold closes, each element that joined lays out once
    // (TVisualElement::LayoutHoldEnded), the deepest first, so that a text
    // finds the final sizes of the texts it holds. The many steps of one
    // command or of one undo in the same text then cost one layout of it,
    // not one each. While those layouts run, an element that holds the one
    // laid out (the texts its new size climbs through) joins the rest and
    // waits for its turn, so that a text holding several of the elements
    // laid out lays out once, after all of them, not once for each. An
    // element that leaves the sheet is let go (its entry cleared in place).
    // What a layout raises at the end is logged.
    void BeginLayoutHold() noexcept { ++m_layoutHoldCount; }
    void EndLayoutHold() noexcept;
    bool LayoutHeld() const noexcept { return m_layoutHoldCount > 0; }
    // Whether the element joined now (false: no hold open and none closing
    // below it, or it is held already).
    bool HoldLayout(TVisualElement* element);
    // Joins only while a closing hold lays out an element that this one
    // holds (and no other hold is open): an element that otherwise lays out
    // at once while a command runs (a box around texts) waits only for the
    // layouts below it.
    bool HoldLayoutAbove(TVisualElement* element);
    void LetGoLayout(TVisualElement* element) noexcept;

    virtual TVisualElement* Focused() const noexcept = 0;
    virtual TVisualElement* Hot() const noexcept = 0;
    virtual TVisualElement* Pressed() const noexcept = 0;
    virtual TVisualElement* DelayedFocus() const noexcept = 0;
    virtual void SetFocus(TVisualElement* element) = 0;
    virtual void CancelDelayedFocus() = 0;
    virtual void SetHot(TVisualElement* element) = 0;
    virtual void SetPressed(TVisualElement* element) = 0;
    virtual void SetElementSelected(TVisualElement* element, bool selected) = 0;
    // Takes the list; any open list is closed first without choosing.
    virtual void OpenDropDown(std::unique_ptr<TDropDownList> list) = 0;
    virtual void CloseDropDown(bool choose) = 0;
    virtual void DropDownChanged() = 0;
    // Focuses the element after the sheet's delay.
    virtual void FocusDelayed(TVisualElement* element) = 0;

    virtual void InvalidateRect(const TRect& rect) = 0;
    virtual void InvalidateAll() = 0;
    // True while the open update bracket repaints the whole sheet anyway:
    // invalidating then need not walk up to the root.
    bool RepaintsAll() const noexcept { return m_repaintsAll; }
    // An invalidated rectangle walked up this many levels to the root. Inside
    // the bracket the levels add up: a change that comes up a deep chain,
    // level by level, would walk the chain once per level, so past a budget
    // the bracket repaints the whole sheet instead.
    void NoteInvalidationWalk(int levels) {
        if (m_updateCount > 0 && (m_walkedLevels += levels) > kInvalidationWalkBudget) InvalidateAll();
    }
    // An element's rectangle (sheet coordinates) to repaint. Inside the update
    // bracket the last one is kept back: one inside it adds nothing, one
    // holding it takes its place, any other hands it on (InvalidateRect). A
    // layout invalidates a box and then its parts, or one place before and
    // after a change (a box grown: its old area, then its new one).
    void InvalidateElementRect(const TRect& rect);
    // Hands on the rectangle kept back; the bracket's last step before it
    // closes.
    void HandOnKeptInvalidation();
    virtual void RootBoundsChanged() = 0;
    virtual void UpdateCaret() = 0;
    virtual void UpdateCursor() = 0;
    virtual void NotifyFocusedContent() = 0;
    virtual void NotifyFocusState() = 0;
    virtual void NotifyFocusedElement() = 0;
    virtual void NotifyEditState() = 0;
    // An element leaves the sheet.
    virtual void ForgetElement(TVisualElement* element) = 0;

protected:
    ~ISheet() = default;

    int m_updateCount = 0;
    int m_layoutCount = 0;
    bool m_repaintsAll = false;
    static constexpr int kInvalidationWalkBudget = 8192;
    int m_walkedLevels = 0;  // in the open bracket
    TRect m_keptInvalidation;  // in the open bracket
    uint64_t m_roomGeneration = 1;
    std::vector<TVisualElement*> m_heldMoves;
    int m_layoutHoldCount = 0;
    // Held layouts in the order they joined (cleared in place when let go),
    // and those ordered for the work-off: (depth, entry), the deepest on top.
    std::vector<TVisualElement*> m_heldLayouts;
    std::vector<std::pair<int, uint32_t>> m_heldLayoutOrder;
    size_t m_heldLayoutsOrdered = 0;
    // The elements closing holds lay out now (a hold closing inside such a
    // layout adds one), with their depths; one that left the sheet is null.
    std::vector<std::pair<TVisualElement*, int>> m_heldLayoutsRunning;

private:
    void FileHeldLayout(TVisualElement* element);
    void OrderHeldLayout(int depth, size_t entry);
    bool HoldsRunningLayout(const TVisualElement* element, int& depth) const noexcept;
};

// Paint flags of TSheet::Paint and TVisualElement::PaintTree.
enum : int {
    pfInactive = 0x01,
    pfNoMark = 0x04,
    pfNoCaret = 0x10,
    // The pass paints straight on the device context whatever it is (a
    // printer: vectors at its resolution through its transform and clip).
    pfOnDevice = 0x20,
    pfNoFocusOverlay = 0x40,
};

// Caret kinds.
// ckTextCaret: a text caret (a bar) drawn by the sheet form.
enum : int { ckNone = 0, ckFocusRect = 1, ckDoubleFocusRect = 2, ckTextCaret = 3 };

enum TMouseButton : int { mbLeft = 0, mbRight = 1, mbMiddle = 2 };

// A rectangle moved by (dx, dy).
inline TRect OffsetRect(const TRect& r, int dx, int dy) noexcept {
    return TRect{r.Left + dx, r.Top + dy, r.Right + dx, r.Bottom + dy};
}
// Whether two rectangles share at least one pixel (exclusive edges).
inline bool RectsMeet(const TRect& a, const TRect& b) noexcept {
    return a.Left < b.Right && b.Left < a.Right && a.Top < b.Bottom && b.Top < a.Bottom && !a.IsEmpty() &&
           !b.IsEmpty();
}
// The smallest rectangle holding two non-empty rectangles.
inline TRect BoundingRect(const TRect& a, const TRect& b) noexcept {
    return TRect{std::min(a.Left, b.Left), std::min(a.Top, b.Top), std::max(a.Right, b.Right),
                 std::max(a.Bottom, b.Bottom)};
}

// ---------------------------------------------------------------------------
// Child index: visual children of one element by vertical band, so that hit
// tests and painting of a big container look only at the children near the
// point or the paint rectangle. Built lazily, dropped on every change of the
// children; the answers equal those of the plain walk in child order.

class TVisualChildIndex {
public:
    void Build(TVisualElement* parent);
    // Children whose bounds may meet rect, in visual child order.
    void Query(const TRect& rect, std::vector<TVisualElement*>& out) const;

private:
    std::vector<TVisualElement*> m_children;        // in visual order
    std::vector<std::vector<int>> m_bands;          // per band: child indexes, ascending
    std::vector<int> m_wide;                        // children spanning very many bands
    mutable std::vector<int> m_hits;                // a query's band members, kept for the next
    int m_top = 0;
    int m_bandHeight = 1;
};

// ---------------------------------------------------------------------------
// TVisualElement

class TVisualElement : public TElement, public IPaletteItemTarget {
    T_ELEMENT_CLASS(TVisualElement)
public:
    TVisualElement() noexcept;

    // TElement::CreateSubElement, then SetVisualParentAt (visualParent, visualBefore).
    static TVisualElement* CreateSubElement(const TElementClass* cls, TElement* owner, TElement* before,
                                            TVisualElement* visualParent, TVisualElement* visualBefore = nullptr);

    // ---- the visual tree ----
    ISheet* Sheet() const noexcept { return m_sheet; }
    TVisualElement* VisualParent() const noexcept { return m_visualParent; }
    TVisualElement* FirstVisualChild() const noexcept { return m_firstVisualChild; }
    TVisualElement* LastVisualChild() const noexcept { return m_lastVisualChild; }
    TVisualElement* NextVisualSibling() const noexcept { return m_nextVisualSibling; }
    TVisualElement* PrevVisualSibling() const noexcept { return m_prevVisualSibling; }
    TVisualElement* FirstVisibleChild() const noexcept;
    TVisualElement* LastVisibleChild() const noexcept;
    TVisualElement* NextVisibleSibling() const noexcept;
    void SetVisualParent(TVisualElement* parent) { SetVisualParentAt(parent, nullptr); }
    // Whether this is its sheet's root element.
    bool IsSheetRoot() const noexcept;
    // Whether the element's sheet is inside its update bracket.
    bool InSheetUpdate() const noexcept;

    // ---- geometry ----
    int Left() const noexcept { return m_left; }
    int Top() const noexcept { return m_top; }
    int Width() const noexcept { return m_width; }
    int Height() const noexcept { return m_height; }
    int Descent() const noexcept { return m_descent; }
    TRect GetBoundsRect() const noexcept { return TRect{m_left, m_top, m_left + m_width, m_top + m_height}; }
    TRect GetClientRect() const noexcept { return TRect{0, 0, m_width, m_height}; }
    QPoint ClientToSheet(QPoint p) const noexcept;
    QPoint SheetToClient(QPoint p) const noexcept;
    QPoint ParentToClient(QPoint p) const noexcept { return p - QPoint(m_left, m_top); }
    // Stores the bounds; returns whether anything changed (then the old and new
    // areas are invalidated and the parent told); otherwise only invalidates.
    bool SetBounds(int left, int top, int width, int height, int descent);
    bool SetBounds(int left, int top, int width, int height) { return SetBounds(left, top, width, height, m_descent); }
    bool SetPosition(int left, int top) { return SetBounds(left, top, m_width, m_height, m_descent); }
    bool SetSize(int width, int height) { return SetBounds(m_left, m_top, width, height, m_descent); }

    // ---- state ----
    uint16_t VisualOptions() const noexcept { return m_voptions; }
    bool HasVisualOption(uint16_t o) const noexcept { return m_voptions & o; }
    bool IsVisible() const noexcept { return m_vstate & vsVisible; }
    bool IsDisabled() const noexcept { return m_vstate & vsDisabled; }
    bool IsEffectivelyDisabled() const noexcept { return m_vstate & vsEffectivelyDisabled; }
    bool IsInSelection() const noexcept { return m_vstate & vsInSelection; }
    bool IsInSelectedText() const noexcept { return m_vstate & vsInSelectedText; }
    bool IsExternalEditing() const noexcept { return m_vstate & vsExternalEditing; }
    bool IsEditing() const noexcept { return m_vstate & vsEditing; }
    bool IsBeingFocused() const noexcept { return m_vstate & vsBeingFocused; }
    bool IsLayoutHeld() const noexcept { return m_vstate & vsLayoutHeld; }
    bool IsFocused() const noexcept;
    bool IsPressed() const noexcept;
    bool IsHot() const noexcept;
    bool IsSelected() const noexcept { return State() & esSelected; }
    bool IsReadOnly() const noexcept;
    bool CanSelectAll() const noexcept { return m_voptions & voSelectAll; }

    void SetDisabled(bool value);
    void SetExternalEditing(bool value);
    void SetEditing(bool value);
    void SetSelected(bool value);
    void SetInSelectedText(bool value);
    void SetPressed(bool value);
    void SetVisualOptions(uint16_t value);

    // ---- derived states ----
    void UpdateDisabled();
    void UpdateInSelectedText();
    void UpdateVisibility();

    // ---- requests ----
    void Invalidate();
    void Invalidate(const TRect& rect);
    // SetFocus unless already focused.
    void Focus();
    // TElement: the sheet is the element's view.
    bool IsFocusedInView() const override { return IsFocused(); }
    void FocusInView() override { Focus(); }
    void ChangeInViewUpdate(const std::function<void()>& change) override;
    // Shows the element by asking its hidden ancestors to show it (expanding).
    void MakeVisible();
    // The palette command: ApplyPaletteItem inside the sheet's update bracket
    // (unless the item has flag 0x0020); whether it was handled.
    bool ApplyItem(TPaletteItem* item, const QString& subCommand, bool checked);
    void ApplyItem(TPaletteItem* item, bool checked) override { ApplyItem(item, QString(), checked); }
    void CollectPaletteItems(QList<TPaletteItem*>& list);
    void CollectPaletteItemsForSelection(QList<TPaletteItem*>& list, bool& fromSelection);
    void GetItemState(TPaletteItem* item, TPaletteItemState& state) override { UpdatePaletteItemState(item, state); }
    bool PasteWithWaitCursor();
    void BeginContentChange() noexcept { m_vstate |= vsContentChange; }
    void EndContentChange();
    // Submits a disable operation (not with messages).
    static void DisableWithOperation(TVisualElement* element, bool disabled);

    // Sheet notifications about this element (each only when it is focused).
    void NotifyContentChanged();
    void NotifyFocusedState();
    void NotifyFocusedChanged();
    void NotifyEditStateChanged();
    void UpdateCaret();
    void UpdateSheetCursor();

    TMessagesSignElement* MessagesSign() const noexcept { return m_messagesSign; }
    // The text slot holding this element when it is embedded in a text (not owned).
    ITextorSlot* TextorSlot() const noexcept { return m_textorSlot; }
    void SetTextorSlot(ITextorSlot* slot) noexcept { m_textorSlot = slot; }
    // Shows, moves or frees the sign as the element's state asks.
    void UpdateMessagesSign();

    // Painting of the whole subtree: origin moved to the element, Paint,
    // children, the disabled overlay where the disabled subtree starts, the
    // external-editing frame, the mark of a selected element.
    void PaintTree(TSheetCanvas& canvas, int flags);

    // ---- storage of embedded (content) elements ----
    // Creates the element stored in knot under this container before `before`;
    // refuses one that would nest deeper than the loader reads (CheckElementNesting).
    TElement* CreateChildFromNode(TSchemeFiler* filer, TKnot* knot, TElement* before, TElementClassList& classList,
                                  bool& classListFilled);
    // Writes child as a knot named by its type name, when the filer lets it pass.
    void SaveChildToNode(TSchemeSaver* saver, TKnot* knot, TElement* child);

    // ---- virtual operations ----
    virtual void BoundsChanged(const TRect& oldRect, int oldDescent) {}
    virtual bool CanShowChild(TVisualElement* child) { return true; }
    virtual bool ComputeDisabled();
    virtual bool ComputeInSelectedText();
    virtual bool ComputeVisible();
    virtual void PressedChanged() {}
    virtual void ChildBoundsChanged(TVisualElement* child, const TRect& oldRect, int oldDescent) {}
    virtual void ChildDisabledChanged(TVisualElement* child) {}
    virtual void ChildVisibilityChanged(TVisualElement* child) {}
    virtual void ContentChanged();
    virtual void DisabledChanged();
    virtual bool ApplyPaletteItem(TPaletteItem* item, const QString& subCommand, bool checked);
    virtual void GetPaletteItems(QList<TPaletteItem*>& list);
    virtual void UpdatePaletteItemState(TPaletteItem* item, TPaletteItemState& state);
    virtual bool ContainsPoint(QPoint p);
    virtual bool Paste() { return false; }
    virtual void ExternalEditingChanged() {}
    virtual void FocusChanged();
    virtual void FocusChanging();
    virtual void GetCaret(int& kind, TRect& rect) {
        kind = ckNone;
        rect = TRect{};
    }
    virtual bool RepaintOnActiveChange() { return false; }
    virtual TRect GetMargins();
    virtual TRect GetHitInsets() { return TRect{}; }
    virtual TRect GetPadding() { return TRect{}; }
    virtual TRect GetUpdateRect() { return GetClientRect(); }
    // How far in from its right and bottom edges the element's own picture
    // depends on its size: a size change that keeps the top left corner then
    // repaints only the strips between the old and the new edges, reaching
    // this far in (what its children change they repaint themselves). The
    // default, kWholeArea, repaints the old and the new area.
    static constexpr int kWholeArea = -1;
    virtual int SizeDependentEdge() { return kWholeArea; }
    // The sheet theme's size-dependent edge of a frame kind (see
    // SizeDependentEdge); kWholeArea without a sheet canvas.
    int ThemeSizeEdge(int kind) const;
    virtual TVisualElement* GetNextChild(TVisualElement* child, bool forward);
    virtual TVisualElement* GetNavigationParent();
    virtual void EffectiveDisabledChanged();
    virtual void InSelectedTextChanged() { UpdateChildrenInSelectedText(); }
    virtual void VisibilityChanged();
    virtual void InsertVisualChild(TVisualElement* child, TVisualElement* before);
    virtual void ShowChild(TVisualElement* child) {}
    virtual void MoveVisualChild(TVisualElement* child, TVisualElement* before);
    virtual bool AcceptsForFiler(TSchemeFiler* filer, TElement* element);
    virtual void PaintChild(TSheetCanvas& canvas, int flags, TVisualElement* child) { child->PaintTree(canvas, flags); }
    virtual void PaintChildren(TSheetCanvas& canvas, int flags);
    virtual void Paint(TSheetCanvas& canvas) {}
    virtual void PaintDisabled(TSheetCanvas& canvas);
    virtual void PaintExternalEditing(TSheetCanvas& canvas);
    virtual void PaintMark(TSheetCanvas& canvas);
    virtual void PositionChanged();
    virtual void FinishEditing() {}
    virtual bool HandleVisualChildMessage(TVisualElement* child, int msg, intptr_t p1, intptr_t p2) { return false; }
    virtual void RemoveVisualChild(TVisualElement* child);
    virtual void InSelectedTextFlagChanged() { UpdateInSelectedText(); }
    virtual void UpdateLayout(bool force, bool all, bool widthChanged, bool heightChanged);
    virtual void DetachFromSheet();
    // The sheet's layout hold that it joined closed: lay out what waited.
    virtual void LayoutHoldEnded() {}
    virtual void AdjustPaletteItems(QList<TPaletteItem*>& list) {}
    virtual void UpdateChildrenDisabled();
    virtual void UpdateChildrenInSelectedText();
    virtual void UpdateChildrenVisibility();
    virtual void UpdateStates();
    virtual void CancelPress() {}
    virtual bool CanDelete() { return false; }
    virtual bool CanCopyAsText() { return false; }
    virtual bool CanCopy() { return false; }
    virtual bool CanPaste() { return HasVisualOption(voAcceptsPaste) && !IsReadOnly(); }
    virtual void DeleteContent() {}
    virtual bool ShowContextMenu(void* window, QPoint screenPoint) { return false; }
    virtual void CopyAsText() {}
    virtual void Copy() {}
    virtual int GetCursor(QPoint p) { return Cursors::Default; }
    // The find step: whether this element holds a match (then it has
    // selected it); next is the next element to search, inside the request's
    // scope (none: the search ends). The base holds no match; an element
    // that stands inline in a text, or lies inside one that does with no
    // focusable element after it on the way out, hands the search on to that
    // text, which goes on right behind that element (before it, backward).
    virtual bool FindFocusableWithin(TFindMode mode, const TFindData& request, TVisualElement*& next, bool forward);
    // The find step continued beside child, which this element holds inline;
    // none when this element does not search around its children.
    virtual std::optional<bool> FindBesideChild(TVisualElement* child, TFindMode mode, const TFindData& request,
                                                TVisualElement*& next, bool forward) {
        return std::nullopt;
    }
    virtual void FocusFirst();
    virtual const TElementClass* UnknownNodeClass(TSchemeFiler* filer);
    virtual TVisualElement* FindFocusable(bool forward, bool skipDisabled, bool visibleOnly);
    // The bounds of what the element and its visible descendants paint, in
    // the element's coordinates (children may reach beyond its own area).
    TRect SubtreeBounds();
    virtual void GetHint(QString& text);
    // The room the element gives child; the base gives its own room.
    virtual QSize GetAvailableSize(TVisualElement* child);
    // The room the visual parent gives the element (GetAvailableSize); the
    // sheet's root element gets the sheet's available size, an element
    // without either 2147483647 by 2147483647. Kept while a layout runs.
    QSize RoomFromParent();
    // The next focusable element in a direction; `along` tells up/down
    // (true) from left/right (false) to kinds that lay out in rows.
    virtual TVisualElement* FindNextFocusable(bool forward, bool along = true, bool skipDisabled = true,
                                              bool visibleOnly = true);
    virtual void KeyDown(int& key, TShiftState shift) {}
    virtual void KeyPress(QChar& ch) {}
    virtual void KeyUp(int& key, TShiftState shift) {}
    virtual void MapNodeName(TSchemeFiler* filer, TKnot* knot, QString& name);
    virtual void Click() {}
    virtual void DoubleClick() {}
    // clicks: 0 a single press, 2 double, 3 triple, 4 quadruple.
    virtual void MouseDown(QPoint p, TMouseButton button, TShiftState shift, int clicks);
    virtual void MouseEnter() {}
    virtual void MouseLeave() {}
    virtual void MouseMove(QPoint p, TShiftState shift) {}
    virtual void MouseUp(QPoint p, TMouseButton button, TShiftState shift);
    virtual void PaintFocusOverlay(QPainter& dc) {}
    virtual void GetFocusData(QString& text) { text.clear(); }
    virtual void SelectAll() {}
    virtual void SetFocus(const QString& focusData = QString());
    virtual void SetVisualParentAt(TVisualElement* parent, TVisualElement* before);
    virtual void AdjustPaletteItemInfo(TPaletteItem* item, TPaletteItemInfo& info);
    // Hit test in client coordinates (see the hf flags).
    virtual TVisualElement* ElementAt(QPoint p, int flags);

    // TElement
    bool HandleNodeMessage(int msg, intptr_t p1, intptr_t p2) override;
    bool IsActive() override { return !IsEffectivelyDisabled(); }
    void GetChildName(TElement* child, TSchemeFiler* filer, QString& name) override;
    void FilledChanged() override;
    void MessagesChanged() override;
    void LoadFrom(TSchemeLoader* loader, TKnot* knot) override;
    void SaveTo(TSchemeSaver* saver, TKnot* knot) override;
    void Create() override;
    void BeforeDestruction() override;

protected:
    ~TVisualElement() override;
    // Options set by a kind's C++ constructor.
    void InitVisualOptions(uint16_t options) noexcept { m_voptions = options; }
    void SetVisualStateBits(uint16_t bits, bool on) noexcept {
        m_vstate = on ? uint16_t(m_vstate | bits) : uint16_t(m_vstate & ~bits);
    }
    // Index of the children for big containers; dropped on every change.
    void DropChildIndex() noexcept { m_childIndex.reset(); }
    // Children whose bounds may meet rect (client coordinates), in visual order.
    void ChildrenMeeting(const TRect& rect, std::vector<TVisualElement*>& out);
    // Calls visit for each of them in that order: a container of few children
    // walks them in place (no list made at each paint of each element), a big
    // one asks its index.
    template <class Visit>
    void ForEachChildMeeting(const TRect& rect, Visit visit) {
        if (m_visualChildCount < kIndexedChildCount) {
            for (TVisualElement* c = m_firstVisualChild; c; c = c->m_nextVisualSibling)
                if (RectsMeet(c->GetBoundsRect(), rect)) visit(c);
            return;
        }
        std::vector<TVisualElement*> children;
        ChildrenMeeting(rect, children);
        for (TVisualElement* c : children) visit(c);
    }

private:
    friend class ISheet;
    friend class TSheet;
    friend class TPanelElement;
    friend class TMessagesSignElement;
    friend class TVisualChildIndex;

    void SetSheetOfSubtree(ISheet* sheet);
    void LinkVisual(TVisualElement* parent, TVisualElement* before);
    void UnlinkVisual();
    void InvalidateInParent(const TRect& rectInParent);
    void PlaceMessagesSign();

    ISheet* m_sheet = nullptr;
    TVisualElement* m_visualParent = nullptr;
    TVisualElement* m_firstVisualChild = nullptr;
    TVisualElement* m_lastVisualChild = nullptr;
    TVisualElement* m_nextVisualSibling = nullptr;
    TVisualElement* m_prevVisualSibling = nullptr;
    int m_visualChildCount = 0;
    // Containers with fewer children are walked plainly.
    static constexpr int kIndexedChildCount = 64;
    int m_left = 0, m_top = 0, m_width = 0, m_height = 0;
    int m_descent = 3;
    uint16_t m_vstate = vsVisible;
    uint16_t m_voptions = 0;
    // Not owned: the sign is a sub-element of the sheet's root element, which
    // owns it; the sign clears this pointer when it goes first.
    TMessagesSignElement* m_messagesSign = nullptr;
    // Not owned: the slot frees this element, or is told when it goes first.
    ITextorSlot* m_textorSlot = nullptr;
    std::unique_ptr<TVisualChildIndex> m_childIndex;
    // What the visual parent (a panel) counted of this element for its size.
    bool m_panelCounted = false;
    int m_panelRight = 0, m_panelBottom = 0;
    // Its place among the sheet's held moves while vsMoveHeld is set.
    uint32_t m_heldMoveIndex = 0;
    // Its place among the sheet's held layouts while vsLayoutHeld is set.
    uint32_t m_heldLayoutIndex = 0;
    // The room from the visual parent, kept under the sheet's room generation.
    uint64_t m_roomGeneration = 0;
    QSize m_room;
};

// The links of the visual tree, for pre-order walks of it (VisualPreOrder).
struct TVisualLinks {
    static TVisualElement* First(TVisualElement* e) noexcept { return e->FirstVisualChild(); }
    static TVisualElement* Next(TVisualElement* e) noexcept { return e->NextVisualSibling(); }
    static TVisualElement* Up(TVisualElement* e) noexcept { return e->VisualParent(); }
};

// The visual subtree of top in pre-order (top first), without recursion:
// for a tree made or loaded in order, the order in which it lies in memory.
inline TPreOrderRange<TVisualElement, TVisualLinks> VisualPreOrder(TVisualElement* top) noexcept { return {top}; }

// A sheet's update bracket for a scope (nothing without a sheet).
using TSheetUpdate = TUpdateScope<ISheet>;

// A bracket of a sheet opened and closed by the two given members for a
// scope (nothing without a sheet).
template <void (ISheet::*Open)() noexcept, void (ISheet::*Close)() noexcept>
class TSheetBracket {
public:
    explicit TSheetBracket(ISheet* sheet) noexcept : m_sheet(sheet) {
        if (m_sheet) (m_sheet->*Open)();
    }
    ~TSheetBracket() {
        if (m_sheet) (m_sheet->*Close)();
    }
    TSheetBracket(const TSheetBracket&) = delete;
    TSheetBracket& operator=(const TSheetBracket&) = delete;

private:
    ISheet* m_sheet;
};

// A sheet's layout hold for a scope.
using TSheetLayoutHold = TSheetBracket<&ISheet::BeginLayoutHold, &ISheet::EndLayoutHold>;
// A sheet's layout bracket for a scope.
using TSheetLayoutScope = TSheetBracket<&ISheet::BeginLayout, &ISheet::EndLayout>;

// ---------------------------------------------------------------------------
// TMessagesSignElement: the sign beside an element with problems. A
// sub-element and visual child of the sheet's root element.

class TMessagesSignElement : public TVisualElement {
    T_ELEMENT_CLASS(TMessagesSignElement)
public:
    TMessagesSignElement() noexcept;
    TVisualElement* Element() const noexcept { return m_element; }

    void UpdateLayout(bool force, bool all, bool widthChanged, bool heightChanged) override;
    void Paint(TSheetCanvas& canvas) override;
    void GetHint(QString& text) override;
    void BeforeDestruction() override;

private:
    friend class TVisualElement;
    QSize SignSize() const;
    TVisualElement* m_element = nullptr;
};

// ---------------------------------------------------------------------------
// TPanelElement: a container that fits its visible children. The largest
// right and bottom edges of the visible children are kept in counted sets,
// so a child's change costs a logarithm, not a walk over every child.

class TPanelElement : public TVisualElement {
    T_ELEMENT_CLASS(TPanelElement)
public:
    // Resizes to the union of the visible children plus padding.
    void UpdateSize();
    QSize GetAvailableSize(TVisualElement* child) override;
    void ChildBoundsChanged(TVisualElement* child, const TRect& oldRect, int oldDescent) override;
    void ChildVisibilityChanged(TVisualElement* child) override;
    void InsertVisualChild(TVisualElement* child, TVisualElement* before) override;
    void RemoveVisualChild(TVisualElement* child) override;
    void VisibilityChanged() override;
    // A panel paints nothing of its own.
    int SizeDependentEdge() override { return 0; }

private:
    void Recount(TVisualElement* child);
    void Uncount(TVisualElement* child);
    std::map<int, int> m_rights;   // right edge -> how many visible children have it
    std::map<int, int> m_bottoms;  // bottom edge -> count
};
