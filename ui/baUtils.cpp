#include "ui/baUtils.h"

#include <QPaintEngine>
#include <QScrollBar>
#include <QWidget>

#include <algorithm>

// ---------------------------------------------------------------------------
// Buffered painting

TRect PainterClipBox(const QPainter& painter) {
    const QPaintDevice* device = painter.device();
    if (!device || !painter.isActive()) return {};
    // The system clip is in device coordinates; so is the device itself.
    QRect box(0, 0, device->width(), device->height());
    const QRegion system = painter.paintEngine() ? painter.paintEngine()->systemClip() : QRegion();
    if (!system.isEmpty()) box = system.boundingRect();
    bool invertible = false;
    const QTransform toLogical = painter.deviceTransform().inverted(&invertible);
    QRect logical = invertible ? toLogical.mapRect(QRectF(box)).toAlignedRect() : box;
    if (painter.hasClipping()) logical &= painter.clipBoundingRect().toAlignedRect();
    return logical.isEmpty() ? TRect{} : TRect::FromQRect(logical);
}

TBufPainter::TBufPainter(QPainter& target, const TRect& rect) : m_target(target) {
    const QRect clip = PainterClipBox(target).ToQRect().intersected(rect.ToQRect());
    if (!clip.isEmpty()) m_rect = TRect::FromQRect(clip);
    // An empty rectangle still gets a painter: it paints into a pixel that is never copied.
    const qreal ratio = target.device() ? target.device()->devicePixelRatio() : 1.0;
    const QSize logicalSize = m_rect.IsEmpty() ? QSize(1, 1) : clip.size();
    m_buffer = QImage(logicalSize * ratio, QImage::Format_ARGB32_Premultiplied);
    m_buffer.setDevicePixelRatio(ratio);
    m_buffer.fill(Qt::black);
    m_canvas.begin(&m_buffer);
    m_canvas.translate(-m_rect.Left, -m_rect.Top);
}

TBufPainter::~TBufPainter() {
    m_canvas.end();
    if (m_rect.IsEmpty()) return;
    m_target.save();
    m_target.setCompositionMode(QPainter::CompositionMode_Source);
    m_target.drawImage(QPoint(m_rect.Left, m_rect.Top), m_buffer);
    m_target.restore();
}

// ---------------------------------------------------------------------------
// Forms and scroll bars

QWidget* GetOwnerForm(const QObject* component) {
    for (const QObject* o = component; o; o = o->parent())
        if (o->isWidgetType()) return static_cast<const QWidget*>(o)->window();
    return nullptr;
}

void UpdateScrollBar(QAbstractScrollArea& area, Qt::Orientation bar, int min, int max, int page,
                     bool disableNoScroll) {
    QScrollBar* scrollBar = bar == Qt::Horizontal ? area.horizontalScrollBar() : area.verticalScrollBar();
    page = std::max(page, 0);
    // A page of p items leaves p - 1 of them below the last position.
    const qint64 last = std::max<qint64>(min, qint64(max) - std::max(page - 1, 0));
    scrollBar->setRange(min, int(last));
    if (page > 0) scrollBar->setPageStep(page);
    const bool canScroll = last > min;
    const Qt::ScrollBarPolicy policy = disableNoScroll ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAsNeeded;
    // Setting a policy lays the area's children out again, which repaints
    // both bars: it is set only when it changes or the bar comes or goes.
    const bool horizontal = bar == Qt::Horizontal;
    const bool shown = disableNoScroll || canScroll;
    if ((horizontal ? area.horizontalScrollBarPolicy() : area.verticalScrollBarPolicy()) != policy ||
        scrollBar->isVisibleTo(&area) != shown) {
        if (horizontal)
            area.setHorizontalScrollBarPolicy(policy);
        else
            area.setVerticalScrollBarPolicy(policy);
    }
    scrollBar->setEnabled(canScroll);
}

int GetScrollPosForCode(const QScrollBar& bar, TScrollCode code, int pos, int line, int page) {
    auto within = [](qint64 value) {
        return int(std::clamp<qint64>(value, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
    };
    switch (code) {
    case scLineUp:
        return within(qint64(pos) - line);
    case scLineDown:
        return within(qint64(pos) + line);
    case scPageUp:
        return within(qint64(pos) - page);
    case scPageDown:
        return within(qint64(pos) + page);
    case scThumbPosition:
    case scThumbTrack:
        return bar.sliderPosition();
    case scTop:
        return 0;
    case scBottom:
        return ScrollBottomPos;
    default:
        return pos;
    }
}
