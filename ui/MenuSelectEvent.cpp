#include "ui/MenuSelectEvent.h"

#include "core/cuUtils.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMouseEvent>

namespace {

// A property set on a menu once its highlight is reported.
constexpr const char* kWatchedProperty = "quillanePopupListWatched";

}  // namespace

TPopupListEx::TPopupListEx() {
    if (qApp) qApp->installEventFilter(this);
}

TPopupListEx::~TPopupListEx() {
    if (qApp) qApp->removeEventFilter(this);
}

void TPopupListEx::Watch(QMenu* menu) {
    if (menu->property(kWatchedProperty).toBool()) return;
    menu->setProperty(kWatchedProperty, true);
    connect(menu, &QMenu::hovered, this, [this](QAction* item) { Select(item->isSeparator() ? nullptr : item); });
}

void TPopupListEx::Select(QAction* item) {
    RunGuarded("TPopupListEx::OnMenuSelect", [&] {
        if (OnMenuSelect) OnMenuSelect(this, item);
    });
}

// A menu is watched from when it shows; the mouse over a separator or
// over no entry highlights nothing, which QMenu does not announce.
bool TPopupListEx::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::Show && type != QEvent::MouseMove) return false;
    auto* menu = qobject_cast<QMenu*>(watched);
    if (!menu) return false;
    if (type == QEvent::Show) {
        Watch(menu);
        return false;
    }
    const QPoint at = static_cast<QMouseEvent*>(event)->position().toPoint();
    if (!menu->rect().contains(at)) return false;
    QAction* item = menu->actionAt(at);
    if (!item || item->isSeparator()) Select(nullptr);
    return false;
}
