#pragma once
// The state of the mouse buttons and of the keyboard modifiers, asked at any
// moment (the sheet asks whether the left button is still down, a typed
// character whether Ctrl is held), the drag threshold, and the key
// codes of the model: Windows virtual-key numbers, which the sheet form makes
// from Qt keys.

#include "platform/plInstaller.h"

#include <QString>

#include <cstdint>

class QInputMethodEvent;
class QKeyEvent;

// Modifier set of key and mouse events (the shift state).
enum : uint8_t {
    ssShift = 0x01,
    ssAlt = 0x02,
    ssCtrl = 0x04,
    ssLeft = 0x08,
    ssRight = 0x10,
    ssMiddle = 0x20,
    ssDouble = 0x40,
};
using TShiftState = uint8_t;

class TInputState {
public:
    virtual ~TInputState() = default;
    virtual bool IsLeftButtonDown() const = 0;
    // How far (pixels, in x or in y) the pointer must move with a button down
    // before the move counts as a drag.
    virtual int DragThreshold() const = 0;
    // The keyboard modifiers held now (ssShift, ssAlt, ssCtrl).
    virtual TShiftState KeyboardModifiers() const = 0;

    // The state in use: the application's mouse buttons unless a test installed another.
    static const TInputState& Current() noexcept;
    static const TInputState* Install(const TInputState* state) noexcept;
};

// A state that tests set by hand.
class TFakeInputState : public TInputState {
public:
    bool IsLeftButtonDown() const override { return LeftButtonDown; }
    int DragThreshold() const override { return Threshold; }
    TShiftState KeyboardModifiers() const override { return Modifiers; }
    bool LeftButtonDown = false;
    int Threshold = DefaultDragThreshold;
    TShiftState Modifiers = 0;

    static constexpr int DefaultDragThreshold = 5;
};

class TInputStateInstaller : public TInstaller<const TInputState> {
public:
    using TInstaller::TInstaller;
};

// Virtual-key numbers used by the model.
enum : int {
    vkNone = 0,  // no key, or a key that was consumed
    vkBack = 8,
    vkTab = 9,
    vkReturn = 13,
    vkShift = 16,
    vkControl = 17,
    vkMenu = 18,
    vkEscape = 27,
    vkSpace = 32,
    vkPrior = 33,
    vkNext = 34,
    vkEnd = 35,
    vkHome = 36,
    vkLeft = 37,
    vkUp = 38,
    vkRight = 39,
    vkDown = 40,
    vkInsert = 45,
    vkDelete = 46,
    vkF1 = 112,
};

// The virtual-key number of a Qt key (Qt::Key); vkNone when the model has none.
int VirtualKeyFromQtKey(int qtKey) noexcept;
// The shift state of Qt keyboard modifiers (Qt::KeyboardModifiers as int).
TShiftState ShiftStateFromQtModifiers(int modifiers) noexcept;

// What one key event of the sheet form gives the model: KeyDown with Key and
// Shift (when the model has a number for the key), then one KeyPress per
// UTF-16 code unit of Chars.
struct TKeyStroke {
    int Key = vkNone;
    TShiftState Shift = 0;
    QString Chars;
};

// Return and Enter type 13 and Tab (Backtab too) types 9, whatever the
// modifiers; any other key types the event's text.
TKeyStroke KeyStrokeFromQtEvent(const QKeyEvent& event);
// An input method's commit string, typed as KeyPresses (no KeyDown).
TKeyStroke KeyStrokeFromInputMethod(const QInputMethodEvent& event);

// Gives receiver (the sheet) the stroke: KeyDown(int&, TShiftState), then KeyPress(QChar&) per unit.
template <class Receiver>
void DeliverKeyStroke(const TKeyStroke& stroke, Receiver& receiver) {
    if (stroke.Key != vkNone) {
        int key = stroke.Key;
        receiver.KeyDown(key, stroke.Shift);
    }
    for (const QChar unit : stroke.Chars) {
        QChar ch = unit;
        receiver.KeyPress(ch);
    }
}

// The system's default beep. Tests install a function of their own; the
// previous one is returned (nullptr: the application's beep).
using TBeepFunction = void (*)();
TBeepFunction InstallBeep(TBeepFunction beep) noexcept;
void SystemBeep();
