#include "platform/plInput.h"

#include <QApplication>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QStyleHints>

#include <atomic>

namespace {
class TQtInputState : public TInputState {
public:
    bool IsLeftButtonDown() const override {
        return qGuiApp && (QGuiApplication::mouseButtons() & Qt::LeftButton);
    }
    int DragThreshold() const override {
        return qGuiApp ? QGuiApplication::styleHints()->startDragDistance() : TFakeInputState::DefaultDragThreshold;
    }
    TShiftState KeyboardModifiers() const override {
        return qGuiApp ? ShiftStateFromQtModifiers(int(QGuiApplication::queryKeyboardModifiers())) : 0;
    }
};

const TQtInputState g_qtInput;
TServiceSlot<const TInputState> g_input;
}  // namespace

const TInputState& TInputState::Current() noexcept { return g_input.Get(g_qtInput); }

const TInputState* TInputState::Install(const TInputState* state) noexcept { return g_input.Install(state); }

int VirtualKeyFromQtKey(int qtKey) noexcept {
    if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) return 'A' + (qtKey - Qt::Key_A);
    if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) return '0' + (qtKey - Qt::Key_0);
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24) return vkF1 + (qtKey - Qt::Key_F1);
    switch (qtKey) {
    case Qt::Key_Backspace: return vkBack;
    case Qt::Key_Tab:
    case Qt::Key_Backtab: return vkTab;
    case Qt::Key_Return:
    case Qt::Key_Enter: return vkReturn;
    case Qt::Key_Shift: return vkShift;
    case Qt::Key_Control: return vkControl;
    case Qt::Key_Alt: return vkMenu;
    case Qt::Key_Escape: return vkEscape;
    case Qt::Key_Space: return vkSpace;
    case Qt::Key_PageUp: return vkPrior;
    case Qt::Key_PageDown: return vkNext;
    case Qt::Key_End: return vkEnd;
    case Qt::Key_Home: return vkHome;
    case Qt::Key_Left: return vkLeft;
    case Qt::Key_Up: return vkUp;
    case Qt::Key_Right: return vkRight;
    case Qt::Key_Down: return vkDown;
    case Qt::Key_Insert: return vkInsert;
    case Qt::Key_Delete: return vkDelete;
    default: return vkNone;
    }
}

TShiftState ShiftStateFromQtModifiers(int modifiers) noexcept {
    TShiftState s = 0;
    if (modifiers & Qt::ShiftModifier) s |= ssShift;
    if (modifiers & Qt::AltModifier) s |= ssAlt;
    if (modifiers & Qt::ControlModifier) s |= ssCtrl;
    return s;
}

TKeyStroke KeyStrokeFromQtEvent(const QKeyEvent& event) {
    TKeyStroke stroke;
    stroke.Key = VirtualKeyFromQtKey(event.key());
    stroke.Shift = ShiftStateFromQtModifiers(int(event.modifiers()));
    switch (stroke.Key) {
    case vkReturn: stroke.Chars = QChar(u'\r'); break;
    case vkTab: stroke.Chars = QChar(u'\t'); break;
    default: stroke.Chars = event.text(); break;
    }
    return stroke;
}

TKeyStroke KeyStrokeFromInputMethod(const QInputMethodEvent& event) {
    TKeyStroke stroke;
    stroke.Chars = event.commitString();
    return stroke;
}

namespace {
std::atomic<TBeepFunction> g_beep{nullptr};
}

TBeepFunction InstallBeep(TBeepFunction beep) noexcept { return g_beep.exchange(beep); }

void SystemBeep() {
    if (TBeepFunction f = g_beep.load()) {
        f();
        return;
    }
    if (qobject_cast<QApplication*>(QCoreApplication::instance())) QApplication::beep();
}
