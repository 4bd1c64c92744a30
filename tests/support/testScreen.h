#pragma once
// What a shown widget has put on the (offscreen) screen: the pixels its
// window's backing store holds after the repaints so far, to be compared with
// a full repaint of the widget (QWidget::grab).

#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <QWidget>

inline QImage OnScreen(QWidget& widget) {
    QWidget* window = widget.window();
    const QPoint at = widget.mapTo(window, QPoint(0, 0));
    return widget.screen()
        ->grabWindow(window->winId(), at.x(), at.y(), widget.width(), widget.height())
        .toImage()
        .convertToFormat(QImage::Format_RGB32);
}

inline QImage FullyRepainted(QWidget& widget) { return widget.grab().toImage().convertToFormat(QImage::Format_RGB32); }
