#include "platform/plAlignLayout.h"

#include <QVariant>
#include <QWidget>

namespace {
const char* const kAlignProperty = "quillaneAlign";

QSize ItemSize(QLayoutItem* item) {
    if (QWidget* w = item->widget()) return w->size();
    return item->sizeHint();
}
}  // namespace

void SetWidgetAlign(QWidget* widget, TAlign align) {
    widget->setProperty(kAlignProperty, int(align));
    if (QWidget* parent = widget->parentWidget(); parent && parent->layout()) parent->layout()->invalidate();
}

TAlign WidgetAlign(const QWidget* widget) {
    const QVariant v = widget->property(kAlignProperty);
    return v.isValid() ? TAlign(v.toInt()) : TAlign::None;
}

TAlignLayout::TAlignLayout(QWidget* parent) : QLayout(parent) {
    setContentsMargins(0, 0, 0, 0);
    setSpacing(0);
}

TAlignLayout::~TAlignLayout() {
    while (!m_items.isEmpty()) delete m_items.takeLast();
}

void TAlignLayout::addItem(QLayoutItem* item) { m_items.append(item); }

QLayoutItem* TAlignLayout::itemAt(int index) const {
    return index >= 0 && index < m_items.size() ? m_items[index] : nullptr;
}

QLayoutItem* TAlignLayout::takeAt(int index) {
    return index >= 0 && index < m_items.size() ? m_items.takeAt(index) : nullptr;
}

// Aligned children never force their parent to grow: no minimum size.
QSize TAlignLayout::minimumSize() const { return QSize(0, 0); }

// The space the strips would like: their heights and widths added up.
QSize TAlignLayout::sizeHint() const {
    int w = 0, h = 0;
    for (QLayoutItem* item : m_items) {
        const QWidget* widget = item->widget();
        if (!widget || item->isEmpty()) continue;
        const QSize s = ItemSize(item);
        switch (WidgetAlign(widget)) {
        case TAlign::Top: case TAlign::Bottom: h += s.height(); break;
        case TAlign::Left: case TAlign::Right: w += s.width(); break;
        default: break;
        }
    }
    const QMargins m = contentsMargins();
    return QSize(w + m.left() + m.right(), h + m.top() + m.bottom());
}

void TAlignLayout::setGeometry(const QRect& rect) {
    QLayout::setGeometry(rect);
    QRect free = rect.marginsRemoved(contentsMargins());
    // Strips are cut in the order of the kinds, and within a kind in the order added.
    for (TAlign kind : {TAlign::Top, TAlign::Bottom, TAlign::Left, TAlign::Right, TAlign::Client}) {
        for (QLayoutItem* item : m_items) {
            QWidget* widget = item->widget();
            if (!widget || item->isEmpty() || WidgetAlign(widget) != kind) continue;
            const QSize s = ItemSize(item);
            // A strip takes what it asks for, at most what is left.
            const int h = qMin(s.height(), free.height()), w = qMin(s.width(), free.width());
            QRect r;
            switch (kind) {
            case TAlign::Top:
                r = QRect(free.left(), free.top(), free.width(), h);
                free.setTop(free.top() + h);
                break;
            case TAlign::Bottom:
                r = QRect(free.left(), free.top() + free.height() - h, free.width(), h);
                free.setHeight(free.height() - h);
                break;
            case TAlign::Left:
                r = QRect(free.left(), free.top(), w, free.height());
                free.setLeft(free.left() + w);
                break;
            case TAlign::Right:
                r = QRect(free.left() + free.width() - w, free.top(), w, free.height());
                free.setWidth(free.width() - w);
                break;
            default:
                r = free;
                break;
            }
            widget->setGeometry(r);
        }
    }
}

