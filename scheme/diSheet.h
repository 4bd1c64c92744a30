#pragma once
// The sheet: the editing view of one element tree, independent of any window.
// It owns the canvas and a root element under which the shown tree hangs, and
// keeps the focused, hot and pressed elements, the selection, the open
// drop-down list, the caret, the mouse cursor, the available size and the
// scroll position. The sheet form feeds it keys and mouse input and paints
// it; the sheet tells its listeners what changed through numbered
// notifications, held back inside its update bracket and sent once each, in
// a fixed order, when the outermost bracket closes.

#include "core/cuClasses.h"
#include "core/cuTypes.h"
#include "platform/plInput.h"
#include "scheme/diVisual.h"

#include <QImage>
#include <QList>
#include <QPoint>

#include <functional>
#include <memory>
#include <utility>
#include <vector>

class TDropDownList;
class TKnot;
class TSheetCanvas;
class TSheetSettings;
class TTimer;

// Notifications of TSheet (broadcast codes).
enum : int {
    snRootBounds = 1,
    snRepaint = 2,  // P1: a TRect* in sheet coordinates, nil for everything
    snFocus = 3,
    snFocusedState = 4,
    snCursor = 5,
    snCaret = 6,
    snHot = 7,
    snDropDownOpened = 8,
    snDropDownChanged = 9,
    snDropDownClosed = 10,
    snFocusedContent = 20,
    snEditState = 21,
    snFocusSettled = 24,  // P1 = kFocusSettledByTimer when sent by the focus-state timer
    snReadOnly = 25,
    snActive = 26,
    snScrollPosition = 27,
};

// Held-back notifications.
enum : uint16_t {
    spRepaint = 0x0001,
    spCaret = 0x0002,
    spRootBounds = 0x0004,
    spFocusState = 0x0008,
    spFocusedContent = 0x0010,
    spFocus = 0x0020,
    spFocusedElement = 0x0040,
    spEditState = 0x0080,
    spWidthChanged = 0x0100,
    spHeightChanged = 0x0200,
    // Only the area kept by the sheet (TSheet::PendingRepaintArea) is due;
    // a full repaint (spRepaint) swallows it.
    spRepaintArea = 0x0400,
};

constexpr int kSheetUnlimited = 0x3FFFFFFF;
constexpr int kFocusTimerMs = 300;
constexpr intptr_t kFocusSettledByTimer = 1;

// The root visual element of a sheet; paints the theme kind "Sheet".
class TSheetElement : public TPanelElement {
    T_ELEMENT_CLASS(TSheetElement)
public:
    void Paint(TSheetCanvas& canvas) override;
    // The sheet's frame: its borders change with the size, its middle does not.
    int SizeDependentEdge() override;
};

// The rectangles invalidated inside a sheet's update bracket (sheet
// coordinates). A new one joins a kept one when their bounds are at most a
// third larger than the two together; beyond kMaxRects the pair whose bounds
// waste least joins. So a changed line and a far strip, or a box a few lines
// below it, stay two small repaints instead of one large one.
class TRepaintAreas {
public:
    static constexpr size_t kMaxRects = 4;

    void Add(const TRect& rect);
    bool IsEmpty() const noexcept { return m_rects.empty(); }
    const std::vector<TRect>& Rects() const noexcept { return m_rects; }
    // Answers the rectangles and forgets them.
    std::vector<TRect> Take() noexcept { return std::exchange(m_rects, {}); }
    void Clear() noexcept { m_rects.clear(); }

private:
    std::vector<TRect> m_rects;
};

class TSheet : public TItfObject, public ISheet {
    T_CLASS(TSheet)
public:
    explicit TSheet(TSheetSettings* settings);
    ~TSheet() override;

    TSheetSettings* Settings() const noexcept override { return m_settings; }
    TSheetCanvas* Canvas() const noexcept override { return m_canvas.get(); }
    TSheetElement* Root() const noexcept override { return m_root.get(); }
    // The tree shown under the root (its first visual child that is no sign); nil when none.
    TVisualElement* ShownTree() const noexcept;

    bool ReadOnly() const noexcept override { return m_readOnly; }
    void SetReadOnly(bool value);
    bool Active() const noexcept override { return m_active; }
    void SetActive(bool value);
    int CaretKind() const noexcept { return m_caretKind; }
    const TRect& CaretRect() const noexcept { return m_caretRect; }
    int Cursor() const noexcept { return m_cursor; }
    TVisualElement* Pressed() const noexcept override { return m_pressed; }
    TVisualElement* Focused() const noexcept override { return m_focused; }
    TVisualElement* Hot() const noexcept override { return m_hot; }
    TDropDownList* DropDown() const noexcept { return m_dropDown.get(); }
    QPoint MousePoint() const noexcept { return m_mousePoint; }
    const QList<TVisualElement*>& Selection() const noexcept { return m_selection; }
    bool FocusMakesVisible = true;
    QPoint ScreenPos() const noexcept { return m_screenPos; }
    void SetScreenPosition(QPoint pos);
    QSize AvailableSize() const noexcept override { return m_availableSize; }
    void SetAvailableSize(QSize size);
    int GetContentWidth() const noexcept;
    int GetContentHeight() const noexcept;

    // ---- the view ----
    // What a window shows of the sheet (sheet coordinates), asked at each
    // invalidation: repaints of what lies outside it are dropped, since a
    // scroll or a resize that brings it into view repaints what it uncovers.
    // Without a source (nil) nothing is dropped.
    using TShownAreaSource = std::function<TRect()>;
    void SetShownAreaSource(TShownAreaSource source) { m_shownArea = std::move(source); }

    // ---- the update bracket ----
    void EndUpdate() override;
    void LeaveUpdate() noexcept override;
    uint16_t Pending() const noexcept { return m_pending; }
    // The rectangles invalidated inside the update bracket.
    const TRepaintAreas& PendingRepaintArea() const noexcept { return m_repaintArea; }

    // ---- focus ----
    void SetFocus(TVisualElement* element) override;
    void FocusFirst();
    // Focuses a new element when the timer ticks (FocusFirst), its focused
    // part's text selected.
    void FocusDelayed(TVisualElement* element) override;
    void CancelDelayedFocus() override;
    TVisualElement* DelayedFocus() const noexcept override { return m_delayedFocus; }
    bool IsEditing() const noexcept;
    void FinishEditing();

    void SetHot(TVisualElement* element) override;
    void SetPressed(TVisualElement* element) override;
    void SetElementSelected(TVisualElement* element, bool selected) override;
    void ClearSelection();

    // ---- drop-down list ----
    // Takes the list; any open list is closed first without choosing.
    void OpenDropDown(std::unique_ptr<TDropDownList> list) override;
    void CloseDropDown(bool choose) override;
    void Cancel();

    // ---- input ----
    void KeyDown(int& key, TShiftState shift);
    void KeyPress(QChar& ch);
    void KeyUp(int& key, TShiftState shift);
    void MouseDown(QPoint p, TMouseButton button, TShiftState shift, int clicks);
    void MouseMove(QPoint p, TShiftState shift);
    void MouseUp(QPoint p, TMouseButton button, TShiftState shift);
    TVisualElement* ElementAt(QPoint p, bool inSelectedText, bool excludeTransparent);

    // ---- painting ----
    // Paints the rectangle (sheet coordinates) onto dc at the rectangle's place.
    void Paint(QPainter& dc, const TRect& rect, int flags);
    // The focused element's overlay, clipped to it; nothing when it lies
    // outside rect (the pass, sheet coordinates).
    void PaintFocusOverlay(const TRect& rect);
    // The rectangle painted into a new image (ARGB32 premultiplied).
    QImage PaintToImage(const TRect& rect, int flags = 0);

    // ---- view state ----
    void SaveState(TKnot* knot);
    void LoadState(TKnot* knot);

    // ---- called by visual elements ----
    void InvalidateRect(const TRect& rect) override;
    void InvalidateAll() override;
    void RootBoundsChanged() override;
    void UpdateCaret() override;
    void UpdateCursor() override;
    void NotifyFocusedContent() override;
    void NotifyFocusState() override;
    void NotifyFocusedElement() override;
    void NotifyEditState() override;
    void DropDownChanged() override;
    // An element leaves the sheet: it stops being pressed, hot, focused,
    // selected and delayed-focused; a drop-down list it opened is closed.
    void ForgetElement(TVisualElement* element) override;

private:
    void Notify(int code, uint16_t pendingBit);
    void WorkOffPending();
    void OnSettings(TItfObject* sender, int msg, intptr_t p1, intptr_t p2);
    void StartFocusStateTimer();
    void OnFocusStateTimer();
    void OnDelayedFocusTimer();
    void MoveFocusByArrow(int key);

    TSheetSettings* m_settings;
    std::unique_ptr<TSheetCanvas> m_canvas;
    TNodePtr<TSheetElement> m_root;
    bool m_readOnly = false;
    bool m_active = false;
    int m_caretKind = ckNone;
    TRect m_caretRect;
    int m_cursor = 0;  // Cursors::Default
    TVisualElement* m_pressed = nullptr;
    std::unique_ptr<TDropDownList> m_dropDown;
    TVisualElement* m_focused = nullptr;
    TVisualElement* m_hot = nullptr;
    QPoint m_mousePoint;
    QList<TVisualElement*> m_selection;
    QPoint m_screenPos;
    QSize m_availableSize{kSheetUnlimited, kSheetUnlimited};
    uint16_t m_pending = 0;
    TRepaintAreas m_repaintArea;  // what spRepaintArea repaints, in sheet coordinates
    TShownAreaSource m_shownArea;
    TVisualElement* m_delayedFocus = nullptr;
    std::unique_ptr<TTimer> m_delayedFocusTimer;
    std::unique_ptr<TTimer> m_focusStateTimer;
    bool m_destroying = false;
};
