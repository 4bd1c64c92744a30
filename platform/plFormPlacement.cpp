#include "platform/plFormPlacement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <algorithm>

namespace {
bool IsSizeable(const QWidget& form) {
    return form.minimumSize() != form.maximumSize() && !(form.windowFlags() & Qt::MSWindowsFixedSizeDialogHint);
}

bool HasMaximizeButton(const QWidget& form) {
    const Qt::WindowFlags flags = form.windowFlags();
    const Qt::WindowType type = form.windowType();
    if (type == Qt::Tool || type == Qt::Dialog || type == Qt::Popup || type == Qt::ToolTip) return false;
    if (flags & Qt::CustomizeWindowHint) return flags & Qt::WindowMaximizeButtonHint;
    return true;
}
}  // namespace

TFormPlacement plGetFormPlacement(const QWidget& form) {
    TFormPlacement p;
    p.maximizable = IsSizeable(form) && HasMaximizeButton(form);
    p.maximized = form.isMaximized();
    p.sizeStored = IsSizeable(form) || (form.windowFlags() & Qt::FramelessWindowHint);
    const QRect normal = form.isMaximized() || form.isMinimized() ? form.normalGeometry() : form.geometry();
    p.bounds = QRect(form.isVisible() ? form.frameGeometry().topLeft() : form.pos(), normal.size());
    return p;
}

void plMaximizeForm(QWidget& form) { form.setWindowState(form.windowState() | Qt::WindowMaximized); }

QRect plVirtualScreen() {
    QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->virtualGeometry() : QRect(0, 0, 1024, 768);
}

QRect plClampBounds(const QRect& bounds, const QRect& screen, const QSize& minimum, const QSize& maximum) {
    auto clampSize = [](int value, int low, int high) { return std::max(low, std::min(value, std::max(low, high))); };
    const int w = clampSize(bounds.width(), minimum.width(), std::min(screen.width(), maximum.width()));
    const int h = clampSize(bounds.height(), minimum.height(), std::min(screen.height(), maximum.height()));
    // Whole rectangle on the screen; a form larger than the screen keeps its left/top edge visible.
    const int x = std::max(screen.left(), std::min(bounds.left(), screen.left() + screen.width() - w));
    const int y = std::max(screen.top(), std::min(bounds.top(), screen.top() + screen.height() - h));
    return QRect(x, y, w, h);
}

void plSetFormBounds(QWidget& form, const QRect& bounds) {
    const QRect r = plClampBounds(bounds, plVirtualScreen(), form.minimumSize(), form.maximumSize());
    form.setWindowState(form.windowState() & ~(Qt::WindowMaximized | Qt::WindowMinimized));
    form.setAttribute(Qt::WA_Moved);  // placed by us, not by the window manager
    form.move(r.topLeft());
    form.resize(r.size());
}
