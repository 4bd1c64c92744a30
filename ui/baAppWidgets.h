#pragma once
// Components of the application shell that work on widgets: a hook that sees
// a control's events before the control does and after it handled them.

#include <QObject>

#include <functional>

class QEvent;
class QWidget;

// Sees every event of one control (an event filter). Before the control:
// DoMessage with before true, which may mark the event handled to keep it
// from the control. When after-messages are wanted, an event the control is
// to see is handed to the control's own handler from the hook, and then
// DoMessage runs with before false; the event is not delivered a second time.
// What a handler raises is shown (RunGuarded) and the event goes on.
class TCustomHooker : public QObject {
public:
    explicit TCustomHooker(QObject* owner = nullptr) : QObject(owner) {}
    ~TCustomHooker() override;
    TCustomHooker(const TCustomHooker&) = delete;
    TCustomHooker& operator=(const TCustomHooker&) = delete;

    QWidget* Control() const noexcept { return m_control; }
    // Hooks the control (nil unhooks). A control that goes is unhooked and
    // Control becomes nil.
    void SetControl(QWidget* control);

protected:
    // After Control changed (also when the control went).
    virtual void ControlChanged() {}
    virtual void DoMessage(QEvent& event, bool& handled, bool before) = 0;
    virtual bool WantsAfterMessages() const = 0;

    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Unhook();

    QWidget* m_control = nullptr;
    QMetaObject::Connection m_controlGone;
};

class THooker : public TCustomHooker {
public:
    // Sender, the event and Handled (false at first).
    using TMessageEvent = std::function<void(THooker& sender, QEvent& event, bool& handled)>;

    using TCustomHooker::TCustomHooker;

    TMessageEvent OnBeforeMessage;
    TMessageEvent OnAfterMessage;

protected:
    void DoMessage(QEvent& event, bool& handled, bool before) override;
    bool WantsAfterMessages() const override { return bool(OnAfterMessage); }
};
