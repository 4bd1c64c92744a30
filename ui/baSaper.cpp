#include "ui/baSaper.h"

#include "platform/plSystemColors.h"
#include "platform/plTimer.h"

#include <QContextMenuEvent>
#include <QCursor>
#include <QApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScopedValueRollback>
#include <QScrollBar>
#include <QStyle>
#include <QStyleHints>
#include <QWheelEvent>

#include <algorithm>
#include <cstdlib>
#include <limits>

namespace {

// A wheel notch as the wheel reports it.
constexpr int kWheelNotch = 120;

// A scroll bar that is not allowed: no range, never shown.
void ClearScrollBar(QAbstractScrollArea& area, Qt::Orientation bar) {
    QScrollBar* scrollBar = bar == Qt::Horizontal ? area.horizontalScrollBar() : area.verticalScrollBar();
    scrollBar->setRange(0, 0);
    // Setting a policy lays the children out again: only a change is set.
    if (bar == Qt::Horizontal) {
        if (area.horizontalScrollBarPolicy() != Qt::ScrollBarAlwaysOff)
            area.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    } else if (area.verticalScrollBarPolicy() != Qt::ScrollBarAlwaysOff) {
        area.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    }
}

bool IsArrowKey(int key) noexcept {
    return key == Qt::Key_Left || key == Qt::Key_Right || key == Qt::Key_Up || key == Qt::Key_Down;
}

}  // namespace

// ---------------------------------------------------------------------------
// TPlaceBox

TPlaceBox::TPlaceBox(QWidget* parent) : TBorderedControl<QAbstractScrollArea>(parent) {
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // The buffer covers every pixel: no background is erased first.
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setAutoFillBackground(false);
    resize(kDefaultSize);
}

// A region of a few rectangles is painted rectangle by rectangle, each
// clipped to itself, so that a changed line and a far strip do not repaint
// everything between them; a region of many goes as its bounds.
void TPlaceBox::paintEvent(QPaintEvent* event) {
    QPainter painter(viewport());
    RunGuarded("Painting a place box", [&] {
        const QRegion& region = event->region();
        if (region.rectCount() > kMaxPaintRects) {
            PaintClient(painter, TRect::FromQRect(event->rect()));
            return;
        }
        for (const QRect& rect : region) {
            painter.save();
            painter.setClipRect(rect);
            PaintClient(painter, TRect::FromQRect(rect));
            painter.restore();
        }
    });
}

void TPlaceBox::PaintClient(QPainter& painter, const TRect& rect) {
    TBufPainter buffer(painter, rect);
    if (buffer.Rect().IsEmpty()) return;
    PaintBackground(buffer.Canvas(), buffer.Rect());
}

void TPlaceBox::PaintBackground(QPainter& dc, const TRect& rect) { PaintDC(dc, rect); }

void TPlaceBox::PaintDC(QPainter& dc, const TRect& rect) {
    if (OnPaintDC) OnPaintDC(*this, dc, rect);
    if (!OnPaint) return;
    dc.save();
    dc.setFont(font());
    OnPaint(*this, dc, rect);
    dc.restore();
}

// ---------------------------------------------------------------------------
// Scroll limits

TScrollLimits RangeBoxScrollLimits(TRangeBoxClipping clipping, int range, int visible, int spacing) noexcept {
    // In 64 bits, so huge content or spacing cannot overflow.
    const int64_t r = range, v = visible, s = spacing;
    int64_t min = 0, max = 0;
    if (clipping == rbcFree) {
        min = s - v;
        max = r - s;
    } else if (r + 2 * s < v) {
        switch (clipping) {
        case rbcTopLeft:
            min = max = -s;
            break;
        case rbcClip:
            min = r - v + s;
            max = -s;
            break;
        default:  // rbcCenter; integer division rounds toward zero
            min = max = (r - v) / 2;
            break;
        }
    } else {
        min = -s;
        max = r - v + s;
    }
    max = std::max(max, min);
    auto within = [](int64_t value) { return int(std::clamp<int64_t>(value, -kMaxScrollPosition, kMaxScrollPosition)); };
    return {within(min), within(max)};
}

int RangeBoxExtent(int kept, int content, int visible, int slack) noexcept {
    if (slack <= 0 || content <= visible) return content;
    if (kept >= content && int64_t(kept) - content < 2 * int64_t(slack)) return kept;
    const int64_t steps = (int64_t(content) + slack - 1) / slack;
    return int(std::min<int64_t>(steps * slack, std::numeric_limits<int>::max()));
}

TRangeStrips RangeChangeStrips(QSize from, QSize to, int margin) noexcept {
    auto clamp = [](int64_t v) { return int(std::clamp<int64_t>(v, -kMaxScrollPosition, kMaxScrollPosition)); };
    const int64_t wideLow = std::min(from.width(), to.width()), wideHigh = std::max(from.width(), to.width());
    const int64_t highLow = std::min(from.height(), to.height()), highHigh = std::max(from.height(), to.height());
    TRangeStrips strips;
    if (wideLow != wideHigh)
        strips.Right = TRect{clamp(wideLow - margin), clamp(-int64_t(margin)), clamp(wideHigh + margin),
                             clamp(highHigh + margin)};
    if (highLow != highHigh)
        strips.Bottom = TRect{clamp(-int64_t(margin)), clamp(highLow - margin), clamp(wideHigh + margin),
                              clamp(highHigh + margin)};
    return strips;
}

int ScrollIntoView(int position, int visible, int nearEdge, int farEdge) noexcept {
    int64_t at = position;
    if (farEdge > at + visible) at = int64_t(farEdge) - visible;
    if (nearEdge < at) at = nearEdge;
    return int(at);
}

// ---------------------------------------------------------------------------
// TRangeBox

TRangeBox::TRangeBox(QWidget* parent) : TPlaceBox(parent), m_blink(TTimerService::Make()) {
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_InputMethodEnabled);
    viewport()->setMouseTracking(true);
    horizontalScrollBar()->setSingleStep(kLineStep);
    verticalScrollBar()->setSingleStep(kLineStep);
    for (QScrollBar* bar : {horizontalScrollBar(), verticalScrollBar()}) {
        // A click on a bar takes the focus first, when the box can have it.
        connect(bar, &QAbstractSlider::actionTriggered, this, [this] {
            if (focusPolicy() != Qt::NoFocus) setFocus(Qt::OtherFocusReason);
        });
        // Qt lays the children out again after every change of a bar's
        // range, which repaints both bars (a tall gradient each, in the
        // styles that draw one) though only one thumb changed. The box lays
        // them out itself when a bar comes or goes (UpdateScrollBar) and
        // when it is shown.
        disconnect(bar, &QAbstractSlider::rangeChanged, this, nullptr);
    }
    m_blink->SetOnTick([this] { BlinkCaret(); });
    m_lastSize = GetVisibleSize();
    UpdateScrollBars();
}

TRangeBox::~TRangeBox() = default;

void TRangeBox::SetClipping(TRangeBoxClipping clipping) {
    if (clipping == m_clipping) return;
    m_clipping = clipping;
    UpdateScrollBars();
}

void TRangeBox::SetOptions(TRangeBoxOptions options) {
    if (options == m_options) return;
    constexpr TRangeBoxOptions kPainting = rboNotBuffered | rboShowPageRect;
    if ((options ^ m_options) & kPainting) viewport()->update();
    m_options = options;
    if (!(m_options & (rboLeftBtnMove | rboRightBtnMove))) EndPanning();
    UpdateScrollBars();
}

void TRangeBox::SetScrollBars(TRangeBoxScrollBars bars) {
    if (bars == m_scrollBars) return;
    m_scrollBars = bars;
    UpdateScrollBars();
}

void TRangeBox::SetSpacing(int spacing) {
    if (spacing == m_spacing) return;
    m_spacing = spacing;
    UpdateScrollBars();
}

void TRangeBox::SetRange(QSize range) {
    range = range.expandedTo(QSize(0, 0));
    if (range == m_range) return;
    if (m_options & rboShowPageRect) {
        // The frame lies one pixel around the content.
        const TRangeStrips strips = RangeChangeStrips(m_range, range, 1);
        InvalidateContent(strips.Right);
        InvalidateContent(strips.Bottom);
    }
    m_range = range;
    // Content within the extent kept changes nothing of the bars.
    if (ExtentFor(GetVisibleSize()) != m_extent) UpdateScrollBars();
}

void TRangeBox::SetRangeSlack(QSize slack) {
    slack = slack.expandedTo(QSize(0, 0));
    if (slack == m_slack) return;
    m_slack = slack;
    UpdateScrollBars();
}

QSize TRangeBox::ExtentFor(QSize visible) const noexcept {
    return QSize(RangeBoxExtent(m_extent.width(), m_range.width(), visible.width(), m_slack.width()),
                 RangeBoxExtent(m_extent.height(), m_range.height(), visible.height(), m_slack.height()));
}

QSize TRangeBox::GetVisibleSize() const {
    if (testAttribute(Qt::WA_WState_Created)) return viewport()->size();
    return size();
}

TScrollLimits TRangeBox::HorizontalLimits() const {
    return RangeBoxScrollLimits(m_clipping, m_extent.width(), GetVisibleSize().width(), m_spacing);
}

TScrollLimits TRangeBox::VerticalLimits() const {
    return RangeBoxScrollLimits(m_clipping, m_extent.height(), GetVisibleSize().height(), m_spacing);
}

void TRangeBox::SetScrollPosition(QPoint position) {
    const TScrollLimits h = HorizontalLimits();
    const TScrollLimits v = VerticalLimits();
    position = QPoint(std::clamp(position.x(), h.Min, h.Max), std::clamp(position.y(), v.Min, v.Max));
    if (position == m_position) return;
    if (OnScrolling) OnScrolling(*this);
    const QPoint delta = m_position - position;
    InvalidateCaret();
    m_position = position;
    if ((m_options & rboScrollFullRepaint) || !isVisible())
        viewport()->update();
    else
        viewport()->scroll(delta.x(), delta.y());
    SyncScrollBarValues();
    UpdateCaret();
    if (OnScrolled) OnScrolled(*this);
}

void TRangeBox::ScrollBy(int dx, int dy) {
    // The position stays within the limits, so a step of any size saturates there.
    auto step = [](int from, int by) {
        return int(std::clamp<int64_t>(int64_t(from) + by, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
    };
    SetScrollPosition(QPoint(step(m_position.x(), dx), step(m_position.y(), dy)));
}

void TRangeBox::ScrollRectIntoView(const TRect& content) {
    const QSize visible = GetVisibleSize();
    SetScrollPosition(QPoint(ScrollIntoView(m_position.x(), visible.width(), content.Left, content.Right),
                             ScrollIntoView(m_position.y(), visible.height(), content.Top, content.Bottom)));
}

namespace {

// A coordinate moved by a scroll position, stopping at the integers' ends.
int Shifted(int value, int by) noexcept {
    return int(std::clamp<int64_t>(int64_t(value) + by, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

QPoint Shifted(QPoint p, QPoint by) noexcept { return QPoint(Shifted(p.x(), by.x()), Shifted(p.y(), by.y())); }

TRect Shifted(const TRect& r, QPoint by) noexcept {
    return TRect{Shifted(r.Left, by.x()), Shifted(r.Top, by.y()), Shifted(r.Right, by.x()), Shifted(r.Bottom, by.y())};
}

}  // namespace

QPoint TRangeBox::ContentToClient(QPoint p) const noexcept { return Shifted(p, -m_position); }
QPoint TRangeBox::ClientToContent(QPoint p) const noexcept { return Shifted(p, m_position); }
TRect TRangeBox::ContentToClient(const TRect& r) const noexcept { return Shifted(r, -m_position); }
TRect TRangeBox::ClientToContent(const TRect& r) const noexcept { return Shifted(r, m_position); }

void TRangeBox::InvalidateContent(const TRect& content) { InvalidateRect(ContentToClient(content)); }

// Each allowed bar runs from the minimum to maximum + V - 1 with page V; the
// position is then clamped again to limits the bars may have changed. Both
// ranges are set before either bar is shown or hidden, so the layout a bar's
// coming or going starts sees both; that layout resizes the view and updates
// the bars again, which ends this update.
void TRangeBox::UpdateScrollBars(QSize visible) {
    const int update = ++m_barsUpdate;
    m_extent = ExtentFor(visible);
    {
        const QScopedValueRollback<bool> syncing(m_syncingBars, true);
        struct TBar {
            Qt::Orientation Orientation;
            bool Allowed;
            TScrollLimits Limits;
            int Page;
            bool DisableNoScroll;
        };
        const TBar bars[] = {
            {Qt::Horizontal, bool(m_scrollBars & rbsHorizontal),
             RangeBoxScrollLimits(m_clipping, m_extent.width(), visible.width(), m_spacing), visible.width(),
             bool(m_options & rboDisableNoScrollHorz)},
            {Qt::Vertical, bool(m_scrollBars & rbsVertical),
             RangeBoxScrollLimits(m_clipping, m_extent.height(), visible.height(), m_spacing), visible.height(),
             bool(m_options & rboDisableNoScrollVert)}};
        for (const TBar& bar : bars)
            if (bar.Allowed)
                (bar.Orientation == Qt::Horizontal ? horizontalScrollBar() : verticalScrollBar())
                    ->setRange(bar.Limits.Min, bar.Limits.Max);
        for (const TBar& bar : bars) {
            if (update != m_barsUpdate) return;
            if (bar.Allowed)
                UpdateScrollBar(*this, bar.Orientation, bar.Limits.Min, bar.Limits.Max + bar.Page - 1, bar.Page,
                                bar.DisableNoScroll);
            else
                ClearScrollBar(*this, bar.Orientation);
        }
        if (update != m_barsUpdate) return;
    }
    SetScrollPosition(m_position);
    SyncScrollBarValues();
}

// The window is created with both allowed bars shown: the bars are set for the
// view both leave, so a bar goes only when the content fits without it.
void TRangeBox::showEvent(QShowEvent* event) {
    TPlaceBox::showEvent(event);
    if (m_barsShownOnCreation) {
        // Ranges set while hidden laid nothing out.
        QEvent layout(QEvent::LayoutRequest);
        QAbstractScrollArea::event(&layout);
        return;
    }
    m_barsShownOnCreation = true;
    QSize visible = maximumViewportSize();
    const int extent = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    if (m_scrollBars & rbsVertical) visible.rwidth() -= extent;
    if (m_scrollBars & rbsHorizontal) visible.rheight() -= extent;
    UpdateScrollBars(visible);
    UpdateScrollBars();  // the limits of the view as it came out
}

void TRangeBox::SyncScrollBarValues() {
    const QScopedValueRollback<bool> syncing(m_syncingBars, true);
    if (m_scrollBars & rbsHorizontal) horizontalScrollBar()->setValue(m_position.x());
    if (m_scrollBars & rbsVertical) verticalScrollBar()->setValue(m_position.y());
}

// A bar moved (line, page, thumb): scroll to its value.
void TRangeBox::scrollContentsBy(int, int) {
    if (m_syncingBars) return;
    QPoint position = m_position;
    if (m_scrollBars & rbsHorizontal) position.setX(horizontalScrollBar()->value());
    if (m_scrollBars & rbsVertical) position.setY(verticalScrollBar()->value());
    SetScrollPosition(position);
}

bool TRangeBox::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::Resize) {
        const QSize size = GetVisibleSize();
        // With rboResizeCenter the centre stays: half of the change is scrolled.
        if (HasOption(rboResizeCenter) && m_lastSize.isValid()) {
            const QSize change = size - m_lastSize;
            m_position -= QPoint(change.width() / 2, change.height() / 2);
        }
        m_lastSize = size;
        UpdateScrollBars();
        UpdateCaret();
    }
    return TPlaceBox::viewportEvent(event);
}

// ---------------------------------------------------------------------------
// Painting

// The paint event has clipped the painter to rect already (or, for a region
// of many rectangles, the repaint's own clip holds it within them).
void TRangeBox::PaintClient(QPainter& painter, const TRect& rect) {
    if (m_options & rboNotBuffered) {
        PaintBackground(painter, rect);
    } else {
        TPlaceBox::PaintClient(painter, rect);
    }
    // A pass beside the caret leaves its pixels alone.
    if (!m_caretShown.IsEmpty() && m_caretOn && m_caretShown.ToQRect().intersects(rect.ToQRect())) {
        painter.save();
        painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
        painter.fillRect(m_caretShown.ToQRect(), Qt::white);
        painter.restore();
    }
}

void TRangeBox::PaintBackground(QPainter& dc, const TRect& rect) {
    dc.save();
    dc.translate(-m_position);
    TPlaceBox::PaintBackground(dc, ClientToContent(rect));
    dc.restore();
}

void TRangeBox::PaintDC(QPainter& dc, const TRect& rect) {
    if (m_options & rboShowPageRect) {
        dc.save();
        QPen pen(palette().color(QPalette::WindowText), 1, Qt::DotLine);
        dc.setPen(pen);
        dc.setBrush(Qt::NoBrush);
        dc.drawRect(QRect(-1, -1, m_range.width() + 1, m_range.height() + 1));
        dc.restore();
    }
    TPlaceBox::PaintDC(dc, rect);
}

void TRangeBox::DoShowHint(bool& canShow, QHelpEvent& hintInfo) {
    if (m_panning) {
        canShow = false;
        return;
    }
    QHelpEvent inContent(hintInfo.type(), ClientToContent(viewport()->mapFrom(this, hintInfo.pos())),
                         hintInfo.globalPos());
    TPlaceBox::DoShowHint(canShow, inContent);
}

// ---------------------------------------------------------------------------
// The caret

void TRangeBox::SetCaretRect(const TRect& content) {
    if (content == m_caretWanted) return;
    m_caretWanted = content;
    UpdateCaret();
}

void TRangeBox::InvalidateCaret() {
    if (!m_caretShown.IsEmpty()) viewport()->update(m_caretShown.ToQRect());
}

// Shown only while focused with a wanted rectangle; a moved or resized caret starts visible.
void TRangeBox::UpdateCaret() {
    TRect shown = hasFocus() && !m_caretWanted.IsEmpty() ? ContentToClient(m_caretWanted) : TRect{};
    // Cut to a client area no view reaches the end of, so its sides fit in an int.
    constexpr int far = kMaxScrollPosition;
    shown = TRect{std::max(shown.Left, -far), std::max(shown.Top, -far), std::min(shown.Right, far),
                  std::min(shown.Bottom, far)};
    if (shown.IsEmpty()) shown = TRect{};
    if (shown == m_caretShown) return;
    InvalidateCaret();
    m_caretShown = shown;
    if (m_caretShown.IsEmpty()) {
        m_blink->Stop();
        m_caretOn = false;
        return;
    }
    m_caretOn = true;
    InvalidateCaret();
    const int flash = QGuiApplication::styleHints()->cursorFlashTime();
    if (flash > 0)
        m_blink->Start(flash / 2);
    else
        m_blink->Stop();
    if (QInputMethod* method = QGuiApplication::inputMethod(); method && hasFocus())
        method->update(Qt::ImCursorRectangle);
}

void TRangeBox::BlinkCaret() {
    if (m_caretShown.IsEmpty()) return;
    m_caretOn = !m_caretOn;
    InvalidateCaret();
}

QVariant TRangeBox::inputMethodQuery(Qt::InputMethodQuery query) const {
    if (query == Qt::ImCursorRectangle) {
        const QPoint offset = viewport()->mapTo(this, QPoint(0, 0));
        return m_caretShown.ToQRect().translated(offset);
    }
    return TPlaceBox::inputMethodQuery(query);
}

void TRangeBox::focusInEvent(QFocusEvent* event) {
    TPlaceBox::focusInEvent(event);
    UpdateCaret();
}

// Losing the focus while a pan button is held cancels the mode, in favour of the widget that took the focus.
void TRangeBox::focusOutEvent(QFocusEvent* event) {
    TPlaceBox::focusOutEvent(event);
    UpdateCaret();
    if (m_leftDown || m_rightDown) CancelMode(QApplication::focusWidget());
}

// ---------------------------------------------------------------------------
// Wheel and keys

void TRangeBox::wheelEvent(QWheelEvent* event) {
    bool handled = false;
    if (OnMouseWheel) {
        const QPoint content = ClientToContent(event->position().toPoint());
        RunGuarded("A wheel handler", [&] { OnMouseWheel(*this, event->angleDelta(), content, handled); });
    }
    if (!handled) {
        const QPoint delta = event->angleDelta();
        ScrollBy(-delta.x() * kWheelStep / kWheelNotch, -delta.y() * kWheelStep / kWheelNotch);
    }
    event->accept();
}

void TRangeBox::keyPressEvent(QKeyEvent* event) {
    event->ignore();
    if (OnKeyDown) RunGuarded("A key handler", [&] { OnKeyDown(*this, *event); });
    if (event->isAccepted()) return;
    // Keys the box asked for stop here, whether a handler used them or not.
    const bool tab = event->key() == Qt::Key_Tab || event->key() == Qt::Key_Backtab;
    if (tab && HasOption(rboWantTab)) event->accept();
    if (!IsArrowKey(event->key())) return;
    if (HasOption(rboWantArrows)) event->accept();
    const bool keysMove =
        HasOption(rboKeysMove) || (HasOption(rboCtrlKeysMove) && (event->modifiers() & Qt::ControlModifier));
    if (!keysMove) return;
    switch (event->key()) {
    case Qt::Key_Left:
        ScrollBy(-kKeyStep, 0);
        break;
    case Qt::Key_Right:
        ScrollBy(kKeyStep, 0);
        break;
    case Qt::Key_Up:
        ScrollBy(0, -kKeyStep);
        break;
    default:
        ScrollBy(0, kKeyStep);
        break;
    }
    event->accept();
}

// With rboWantTab, Tab and Shift+Tab reach the key handlers instead of moving the focus.
bool TRangeBox::focusNextPrevChild(bool next) {
    if (HasOption(rboWantTab)) return false;
    return TPlaceBox::focusNextPrevChild(next);
}

// ---------------------------------------------------------------------------
// Mouse and pan mode

bool TRangeBox::IsPanButton(Qt::MouseButton button) const noexcept {
    return (button == Qt::LeftButton && HasOption(rboLeftBtnMove)) ||
           (button == Qt::RightButton && HasOption(rboRightBtnMove));
}

void TRangeBox::HandOver(const TRBMouseEvent& handler, QMouseEvent* event) {
    if (!handler) return;
    const QPoint content = ClientToContent(event->position().toPoint());
    RunGuarded("A mouse handler", [&] { handler(*this, *event, content); });
}

void TRangeBox::mousePressEvent(QMouseEvent* event) {
    if (IsPanButton(event->button())) {
        if (focusPolicy() != Qt::NoFocus) setFocus(Qt::MouseFocusReason);
        (event->button() == Qt::LeftButton ? m_leftDown : m_rightDown) = true;
        m_downPoint = event->position().toPoint();
        event->accept();
        return;
    }
    HandOver(OnMouseDown, event);
}

void TRangeBox::mouseDoubleClickEvent(QMouseEvent* event) {
    // A second press delivered as a double click is a press for the pan buttons.
    if (IsPanButton(event->button())) {
        mousePressEvent(event);
        return;
    }
    HandOver(OnMouseDown, event);
}

void TRangeBox::mouseMoveEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    if (m_panning) {
        Pan(at);
        return;
    }
    if (m_leftDown || m_rightDown) {
        const QPoint moved = at - m_downPoint;
        if (std::abs(moved.x()) >= kPanThreshold || std::abs(moved.y()) >= kPanThreshold) {
            StartPanning();
            return;
        }
    }
    HandOver(OnMouseMove, event);
}

void TRangeBox::mouseReleaseEvent(QMouseEvent* event) {
    if (IsPanButton(event->button()) && (event->button() == Qt::LeftButton ? m_leftDown : m_rightDown)) {
        (event->button() == Qt::LeftButton ? m_leftDown : m_rightDown) = false;
        EndPanning();
        event->accept();
        return;
    }
    HandOver(OnMouseUp, event);
}

void TRangeBox::contextMenuEvent(QContextMenuEvent* event) {
    if (m_panning || m_rightDown) {
        event->accept();
        return;
    }
    TPlaceBox::contextMenuEvent(event);
}

QPoint TRangeBox::ViewCentre() const {
    const QSize visible = GetVisibleSize();
    return QPoint(visible.width() / 2, visible.height() / 2);
}

void TRangeBox::StartPanning() {
    m_panning = true;
    m_savedCursor = QCursor::pos();
    viewport()->setCursor(Qt::BlankCursor);
    QCursor::setPos(viewport()->mapToGlobal(ViewCentre()));
}

// Scrolls by the cursor's distance from the centre and puts the cursor back there.
void TRangeBox::Pan(QPoint cursor) {
    const QPoint shift = ViewCentre() - cursor;
    ScrollBy(shift.x(), shift.y());
    QCursor::setPos(viewport()->mapToGlobal(ViewCentre()));
    viewport()->repaint();
}

void TRangeBox::EndPanning() {
    if (!m_panning) return;
    m_panning = false;
    QCursor::setPos(m_savedCursor);
    viewport()->unsetCursor();
}

void TRangeBox::CancelMode(QWidget* cancelling) {
    m_leftDown = m_rightDown = false;
    EndPanning();
    if (OnCancelMode) RunGuarded("A cancel-mode handler", [&] { OnCancelMode(*this, cancelling); });
}

// ---------------------------------------------------------------------------
// TPanelEx

TPanelEx::TPanelEx(QWidget* parent) : TTransparencyControl<QWidget>(parent), m_background(std::make_unique<TBackground>()) {
    resize(kPanelDefaultSize);
    m_background->OnChange = [this](int) { BackgroundChanged(); };
}

TColor TPanelEx::ParentColor() const {
    const QWidget* parent = parentWidget();
    return parent ? parent->palette().color(parent->backgroundRole()).rgba() : GetSystemColor(TSystemColor::BtnFace);
}

void TPanelEx::BackgroundChanged() {
    SetTransparent(m_background->IsSeeThrough());
    update();
}

void TPanelEx::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    m_background->Paint(painter, TRect::FromQRect(contentsRect()), ParentColor());
}
