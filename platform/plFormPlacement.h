#pragma once
// Window placement of a form, as the knot tree stores it: whether the form may
// be maximized and is, its position, and whether its size is stored.
// Callers outside platform/ only forward-declare QWidget.

#include <QRect>
#include <QSize>

class QWidget;

struct TFormPlacement {
    bool maximizable = false;  // a sizeable border and a maximize button
    bool maximized = false;
    bool sizeStored = false;   // frameless or sizeable forms keep their size
    QRect bounds;              // position of the frame and size of the form
};

TFormPlacement plGetFormPlacement(const QWidget& form);
void plMaximizeForm(QWidget& form);
// Moves and sizes the form (a normal, not automatically placed window),
// clamped with plClampBounds to the virtual screen and the form's size limits.
void plSetFormBounds(QWidget& form, const QRect& bounds);
// The union of all screens; may start at negative coordinates.
QRect plVirtualScreen();

// A damaged size becomes at least minimum and at most the screen's size (and
// maximum); the position then moves the rectangle wholly onto the screen.
QRect plClampBounds(const QRect& bounds, const QRect& screen, const QSize& minimum, const QSize& maximum);
