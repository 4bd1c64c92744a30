#include "ui/baAppWidgets.h"

#include "core/cuUtils.h"

#include <QEvent>
#include <QPointer>
#include <QWidget>

// ---------------------------------------------------------------------------
// TCustomHooker

TCustomHooker::~TCustomHooker() { Unhook(); }

void TCustomHooker::SetControl(QWidget* control) {
    if (control == m_control) return;
    Unhook();
    if (control) {
        m_control = control;
        control->installEventFilter(this);
        // Sent while the control goes: it is unhooked and forgotten.
        m_controlGone = connect(control, &QObject::destroyed, this, [this] {
            m_control = nullptr;
            QObject::disconnect(m_controlGone);
            ControlChanged();
        });
    }
    ControlChanged();
}

void TCustomHooker::Unhook() {
    if (!m_control) return;
    QObject::disconnect(m_controlGone);
    m_control->removeEventFilter(this);
    m_control = nullptr;
}

bool TCustomHooker::eventFilter(QObject* watched, QEvent* event) {
    if (watched != m_control) return QObject::eventFilter(watched, event);
    // A handler may free the control or the hook itself.
    const QPointer<QObject> control(watched);
    const QPointer<TCustomHooker> self(this);
    bool handled = false;
    RunGuarded("An event hook", [&] { DoMessage(*event, handled, true); });
    if (!control) {  // no event for a control that is gone, nor for its parents
        event->accept();
        return true;
    }
    if (handled) return true;
    if (!self || m_control != watched || !WantsAfterMessages()) return false;
    // The control's own handler, then the after-message; Qt then treats the
    // event as delivered, and its accepted flag (set by the control) decides
    // whether it goes on to the parent.
    watched->event(event);
    if (self) RunGuarded("An event hook", [&] { DoMessage(*event, handled, false); });
    return true;
}

// ---------------------------------------------------------------------------
// THooker

void THooker::DoMessage(QEvent& event, bool& handled, bool before) {
    const TMessageEvent& handler = before ? OnBeforeMessage : OnAfterMessage;
    if (handler) handler(*this, event, handled);
}
