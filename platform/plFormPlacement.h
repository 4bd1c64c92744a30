#pragma once
// Window placement of a form, as the knot tree stores it: whether the form may
// be maximized and is, its position, and whether its size is stored.
// Callers outside platform/ only forward-declare QWidget.

#include <QRect>
#include <QSize>
#include <QString>
#include <QStringView>

#include <algorithm>

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

// Saving and restoring through a store of named values (the knot tree: a
// TKnot), which offers HasParam(QStringView), ReadBool(QStringView, bool),
// ReadInt(QStringView, int), WriteBool(const QString&, bool) and
// WriteInt(const QString&, int).
//
// A maximizable form writes "Maximized", and nothing else when it is
// maximized; otherwise "Left" and "Top", and "Width" and "Height" when its
// size is stored.
template <class Store>
void plSaveFormPlacement(const QWidget& form, Store& store) {
    const TFormPlacement p = plGetFormPlacement(form);
    if (p.maximizable) {
        store.WriteBool(QStringLiteral("Maximized"), p.maximized);
        if (p.maximized) return;
    }
    store.WriteInt(QStringLiteral("Left"), p.bounds.left());
    store.WriteInt(QStringLiteral("Top"), p.bounds.top());
    if (p.sizeStored) {
        store.WriteInt(QStringLiteral("Width"), p.bounds.width());
        store.WriteInt(QStringLiteral("Height"), p.bounds.height());
    }
}

// Stored coordinates and sizes are cut to this magnitude before a rectangle is
// made of them, so that no sum overflows; it lies far beyond any screen.
constexpr int kMaxStoredFormCoordinate = 1 << 24;

// A maximizable form whose "Maximized" is set is maximized and nothing else is
// read. Otherwise nothing happens without "Left"; with it the stored bounds
// (a value missing or unreadable keeps the form's own) are set through
// plSetFormBounds.
template <class Store>
void plRestoreFormPlacement(QWidget& form, Store& store) {
    const TFormPlacement p = plGetFormPlacement(form);
    if (p.maximizable && store.ReadBool(u"Maximized", false)) {
        plMaximizeForm(form);
        return;
    }
    if (!store.HasParam(u"Left")) return;
    const auto read = [&store](QStringView name, int own) {
        return std::clamp(store.ReadInt(name, own), -kMaxStoredFormCoordinate, kMaxStoredFormCoordinate);
    };
    QRect r = p.bounds;
    if (p.sizeStored) {
        r.setWidth(read(u"Width", r.width()));
        r.setHeight(read(u"Height", r.height()));
    }
    r.moveTo(read(u"Left", r.left()), read(u"Top", r.top()));
    plSetFormBounds(form, r);
}
