#pragma once
// Paint surfaces and panels: TPlaceBox, a bordered control that hands its painting to
// handlers through an off-screen buffer, and TRangeBox, a place box that
// scrolls a content area larger or smaller than itself (the surface every
// sheet is shown on). The range box has its own scroll bars, scrolls by
// wheel, bar and (when asked) arrow keys, draws a blinking text caret, and in
// pan mode drags its content while a mouse button is held. Its handlers see
// mouse points, hint positions and paint rectangles in content coordinates:
// content = client + scroll position. TPanelEx is a panel whose face is a
// background.

#include "core/cuTypes.h"
#include "ui/baPainterStyles.h"
#include "ui/baUtils.h"

#include <QAbstractScrollArea>
#include <QWidget>
#include <QPoint>
#include <QSize>

#include <cstdint>
#include <functional>
#include <limits>
#include <memory>

class QKeyEvent;
class QMouseEvent;
class TTimer;

// ---------------------------------------------------------------------------
// TPlaceBox

class TPlaceBox;

// Sender, painter and the rectangle to paint (the box's client, or content, coordinates).
using TPBPaintEvent = std::function<void(TPlaceBox& sender, QPainter& canvas, const TRect& rect)>;
using TPBPaintDCEvent = std::function<void(TPlaceBox& sender, QPainter& dc, const TRect& rect)>;

// A bordered paint surface; its whole client area is painted into an
// off-screen buffer (TBufPainter) and copied at once.
class TPlaceBox : public TBorderedControl<QAbstractScrollArea> {
public:
    static constexpr QSize kDefaultSize{185, 105};
    // A repaint of more rectangles than this paints their bounds at once.
    static constexpr int kMaxPaintRects = 8;

    explicit TPlaceBox(QWidget* parent = nullptr);

    // Fired first, with the painter as it is.
    TPBPaintDCEvent OnPaintDC;
    // Fired second, with the painter's font set to the control's font.
    TPBPaintEvent OnPaint;

    QSize sizeHint() const override { return kDefaultSize; }

protected:
    // Paints the rectangle (client coordinates): only PaintDC here.
    virtual void PaintBackground(QPainter& dc, const TRect& rect);
    // Fires OnPaintDC, then OnPaint.
    virtual void PaintDC(QPainter& dc, const TRect& rect);
    // Paints the rectangle of the client area onto painter (buffered here).
    virtual void PaintClient(QPainter& painter, const TRect& rect);

    void paintEvent(QPaintEvent* event) override;
    // The box moves nothing by itself: scrolling belongs to the range box.
    void scrollContentsBy(int dx, int dy) override {}
};

// ---------------------------------------------------------------------------
// TRangeBox

enum TRangeBoxClipping : uint8_t {
    rbcCenter = 0,   // content smaller than the view is centred and cannot move
    rbcTopLeft = 1,  // content smaller than the view sits at the top left (at -Spacing)
    rbcClip = 2,     // content smaller than the view moves only within the view
    rbcFree = 3,     // the content may move until Spacing of it is left in view
};

enum TRangeBoxOption : uint16_t {
    rboLeftBtnMove = 0x0001,   // the left button pans
    rboRightBtnMove = 0x0002,  // the right button pans
    rboWantArrows = 0x0004,    // the arrow keys go to the box's handlers
    rboWantTab = 0x0008,       // Tab goes to the box's handlers instead of moving the focus
    rboResizeCenter = 0x0010,  // a resize keeps the centre in place
    rboKeysMove = 0x0020,      // the arrow keys scroll
    rboCtrlKeysMove = 0x0040,  // the arrow keys with Ctrl scroll
    rboNotBuffered = 0x0080,   // paints straight onto the window
    rboScrollFullRepaint = 0x0100,
    rboShowPageRect = 0x0200,  // a dotted rectangle around the content
    rboDisableNoScrollHorz = 0x0400,
    rboDisableNoScrollVert = 0x0800,
};
using TRangeBoxOptions = uint16_t;

enum TRangeBoxScrollBars : uint8_t { rbsNone = 0, rbsHorizontal = 1, rbsVertical = 2, rbsBoth = 3 };

// The smallest and largest scroll position of one axis.
struct TScrollLimits {
    int Min = 0;
    int Max = 0;
    bool operator==(const TScrollLimits&) const = default;
};

// The farthest a scroll position goes either way: a limit plus a view still
// fits in an int.
constexpr int kMaxScrollPosition = std::numeric_limits<int>::max() / 2;

// The limits of one axis for content of size range in a view of size
// visible, with spacing pixels of empty margin allowed around the content;
// both within -kMaxScrollPosition..kMaxScrollPosition.
TScrollLimits RangeBoxScrollLimits(TRangeBoxClipping clipping, int range, int visible, int spacing) noexcept;

// The scroll position that brings [nearEdge, farEdge) into the view
// [position, position + visible): the far edge first, then the near edge.
int ScrollIntoView(int position, int visible, int nearEdge, int farEdge) noexcept;

// The extent of one axis that a range box scrolls over, for content of the
// given size in a view of the given size with the extent kept so far: the
// content itself without slack or while it fits the view; else the kept
// extent while it holds the content and is less than two slack steps larger,
// or the content rounded up to a whole number of steps. Content that widens
// and narrows by a little at a time (typing in its widest line) then leaves
// the bars alone, and no content is ever out of reach.
int RangeBoxExtent(int kept, int content, int visible, int slack) noexcept;

// The content strips that a change of the range from one size to another
// uncovers or covers: the one right of the narrower width (as high as the
// higher range) and the one below the lower height (as wide as the wider
// range), each reaching margin pixels further out on every side; none where
// that side did not change.
struct TRangeStrips {
    TRect Right;
    TRect Bottom;
};
TRangeStrips RangeChangeStrips(QSize from, QSize to, int margin) noexcept;

class TRangeBox;

using TRBCancelModeEvent = std::function<void(TRangeBox& sender, QWidget* cancelling)>;
using TRBNotifyEvent = std::function<void(TRangeBox& sender)>;
// Sender, the event (press, double click, move or release) and its point in content coordinates.
using TRBMouseEvent = std::function<void(TRangeBox& sender, QMouseEvent& event, QPoint content)>;
// Sender and the key event; a handler that accepts the event keeps it from the box.
using TRBKeyEvent = std::function<void(TRangeBox& sender, QKeyEvent& event)>;
// Sender, the wheel's angle delta and the point in content coordinates; set
// handled to keep the box from scrolling.
using TRBWheelEvent = std::function<void(TRangeBox& sender, QPoint angleDelta, QPoint content, bool& handled)>;

class TRangeBox : public TPlaceBox {
public:
    // Pixels per scroll-bar line, per wheel notch, per arrow key; the move that starts panning.
    static constexpr int kLineStep = 10;
    static constexpr int kWheelStep = 26;
    static constexpr int kKeyStep = 12;
    static constexpr int kPanThreshold = 4;
    static constexpr QSize kInitialRange{100, 100};

    explicit TRangeBox(QWidget* parent = nullptr);
    ~TRangeBox() override;

    TRangeBoxClipping Clipping() const noexcept { return m_clipping; }
    void SetClipping(TRangeBoxClipping clipping);
    TRangeBoxOptions Options() const noexcept { return m_options; }
    bool HasOption(TRangeBoxOption option) const noexcept { return m_options & option; }
    void SetOptions(TRangeBoxOptions options);
    TRangeBoxScrollBars ScrollBars() const noexcept { return m_scrollBars; }
    void SetScrollBars(TRangeBoxScrollBars bars);
    int Spacing() const noexcept { return m_spacing; }
    void SetSpacing(int spacing);

    // The content size; each side at least 0. A change repaints nothing of
    // the content (its owner knows what changed there), only the strips of
    // the page rectangle when that is shown.
    QSize Range() const noexcept { return m_range; }
    void SetRange(QSize range);
    // The step of each side's slack (RangeBoxExtent), 0 by default: the
    // extent scrolled over, the bars and the limits, may then exceed the
    // range by less than two steps.
    QSize RangeSlack() const noexcept { return m_slack; }
    void SetRangeSlack(QSize slack);
    // The size scrolled over: the range with its slack.
    QSize Extent() const noexcept { return m_extent; }
    // The content point shown at the client origin.
    QPoint ScrollPosition() const noexcept { return m_position; }
    // Clamped to the limits; nothing happens when unchanged.
    void SetScrollPosition(QPoint position);
    void ScrollBy(int dx, int dy);
    void ScrollRectIntoView(const TRect& content);
    // The limits of the horizontal (x) and vertical (y) scroll position.
    TScrollLimits HorizontalLimits() const;
    TScrollLimits VerticalLimits() const;

    // The caret wanted, in content coordinates (empty: no caret).
    const TRect& CaretRect() const noexcept { return m_caretWanted; }
    void SetCaretRect(const TRect& content);
    // The caret shown, in client coordinates; empty while none is shown.
    const TRect& ShownCaret() const noexcept { return m_caretShown; }

    // The client size of the view.
    QSize GetVisibleSize() const;
    // Conversions stop at the integers' ends.
    QPoint ContentToClient(QPoint p) const noexcept;
    QPoint ClientToContent(QPoint p) const noexcept;
    TRect ContentToClient(const TRect& r) const noexcept;
    TRect ClientToContent(const TRect& r) const noexcept;
    // Repaints a rectangle given in content coordinates.
    void InvalidateContent(const TRect& content);

    bool IsPanning() const noexcept { return m_panning; }
    // Clears the button flags, ends panning and fires OnCancelMode.
    void CancelMode(QWidget* cancelling);

    TRBCancelModeEvent OnCancelMode;
    TRBNotifyEvent OnScrolling;
    TRBNotifyEvent OnScrolled;
    TRBMouseEvent OnMouseDown;  // presses and double clicks
    TRBMouseEvent OnMouseMove;
    TRBMouseEvent OnMouseUp;
    TRBKeyEvent OnKeyDown;
    TRBWheelEvent OnMouseWheel;

    // The caret for input methods (client coordinates).
    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;

protected:
    // Moves the painter and the rectangle to content coordinates.
    void PaintBackground(QPainter& dc, const TRect& rect) override;
    // With rboShowPageRect, the dotted rectangle around the content first.
    void PaintDC(QPainter& dc, const TRect& rect) override;
    // Unbuffered with rboNotBuffered; the caret is drawn over the content.
    void PaintClient(QPainter& painter, const TRect& rect) override;
    void DoShowHint(bool& canShow, QHelpEvent& hintInfo) override;

    void scrollContentsBy(int dx, int dy) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool focusNextPrevChild(bool next) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void UpdateScrollBars() { UpdateScrollBars(GetVisibleSize()); }
    // Sets the bars for a view of the given size. Nothing is repainted but
    // what a scroll the new limits force uncovers.
    void UpdateScrollBars(QSize visible);
    // The extent for the range in a view of the given size.
    QSize ExtentFor(QSize visible) const noexcept;
    void SyncScrollBarValues();
    void UpdateCaret();
    void BlinkCaret();
    void InvalidateCaret();
    bool IsPanButton(Qt::MouseButton button) const noexcept;
    void StartPanning();
    void Pan(QPoint cursor);
    void EndPanning();
    QPoint ViewCentre() const;
    // Hands the event to handler with its point in content coordinates.
    void HandOver(const TRBMouseEvent& handler, QMouseEvent* event);

    TRangeBoxClipping m_clipping = rbcTopLeft;
    TRangeBoxOptions m_options = 0;
    TRangeBoxScrollBars m_scrollBars = rbsBoth;
    int m_spacing = 0;
    QSize m_range = kInitialRange;
    QSize m_slack{0, 0};
    QSize m_extent = kInitialRange;
    QPoint m_position;
    QSize m_lastSize;
    TRect m_caretWanted;
    TRect m_caretShown;
    bool m_caretOn = false;  // the blink phase: drawn or not
    std::unique_ptr<TTimer> m_blink;
    bool m_syncingBars = false;
    int m_barsUpdate = 0;               // counts bar updates: a newer one (the view changed) ends an older one
    bool m_barsShownOnCreation = false;
    // Pan state.
    bool m_panning = false;
    bool m_leftDown = false;
    bool m_rightDown = false;
    QPoint m_downPoint;          // client coordinates of the pan button's press
    QPoint m_savedCursor;        // global, while panning
};

// ---------------------------------------------------------------------------
// TPanelEx: a panel whose face is a background (fill and edges, a bitmap in
// nine zones among the fills). It lets its parent show through exactly when
// the background is see-through.

class TPanelEx : public TTransparencyControl<QWidget> {
public:
    static constexpr QSize kPanelDefaultSize{200, 105};

    explicit TPanelEx(QWidget* parent = nullptr);

    // Owned by the panel; a change of it updates the transparency and repaints.
    TBackground& Background() noexcept { return *m_background; }
    // The colour a fkParentColor fill takes.
    TColor ParentColor() const;

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    void BackgroundChanged();

    std::unique_ptr<TBackground> m_background;
};
