#include "ui/baUserButtons.h"

#include "platform/plSystemColors.h"

#include <QApplication>
#include <QDialog>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>

#include <climits>
#include <vector>

namespace {

constexpr QSize UserButtonSize(23, 22);
constexpr QSize UserWinButtonSize(73, 25);
const char* const GroupIndexProperty = "GroupIndex";
const char* const ImageIndexProperty = "ImageIndex";

// The win buttons among the children of a window (the classes carry no meta
// object of their own, so findChildren would not tell them apart).
std::vector<TCustomUserWinButton*> WinButtonsOf(const QWidget& window) {
    std::vector<TCustomUserWinButton*> buttons;
    for (QWidget* child : window.findChildren<QWidget*>())
        if (auto* button = dynamic_cast<TCustomUserWinButton*>(child)) buttons.push_back(button);
    return buttons;
}

// Hands Enter and Escape that reach the window to its default and cancel
// buttons. One per window, a child of it.
class TDialogKeyFilter : public QObject {
public:
    explicit TDialogKeyFilter(QWidget* window) : QObject(window) { window->installEventFilter(this); }

    static void EnsureOn(QWidget* window) {
        for (QObject* child : window->children())
            if (dynamic_cast<TDialogKeyFilter*>(child)) return;
        new TDialogKeyFilter(window);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* e) override {
        if (e->type() != QEvent::KeyPress) return false;
        const auto* key = static_cast<QKeyEvent*>(e);
        if (key->modifiers() & ~Qt::KeypadModifier) return false;
        const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
        if (!enter && key->key() != Qt::Key_Escape) return false;
        auto* window = static_cast<QWidget*>(watched);
        for (TCustomUserWinButton* button : WinButtonsOf(*window)) {
            if (button->window() != window || !(enter ? button->IsDefault() : button->IsCancel()) || !button->CanFocus())
                continue;
            button->Click();
            return true;
        }
        return false;
    }
};

}  // namespace

// ---------------------------------------------------------------------------
// TButtonPainterClient

TButtonPainterClient::~TButtonPainterClient() {
    if (m_painter) m_painter->Notifier().RemoveListener(MakeNotifyListener<&TButtonPainterClient::OnPainterNotify>(this));
}

void TButtonPainterClient::SetPainter(TPainter* painter) {
    if (painter == m_painter) return;
    const TNotifyListener listener = MakeNotifyListener<&TButtonPainterClient::OnPainterNotify>(this);
    if (m_painter) m_painter->Notifier().RemoveListener(listener);
    m_painter = painter;
    if (painter) painter->Notifier().AddListener(listener);
    Changed(pcAll);
}

void TButtonPainterClient::OnPainterNotify(TNotifier*, TNotify* first) {
    if (!first) {  // the painter goes
        m_painter = nullptr;
        Changed(pcAll);
        return;
    }
    uint32_t flags = 0;
    for (TNotify* n = first; n; n = n->Next())
        if (const auto* f = dynamic_cast<const TFlagsNotify*>(n)) flags |= f->Flags();
    if (flags) Changed(flags);
}

void TButtonPainterClient::SetDefault(bool value) {
    if (value == m_default) return;
    m_default = value;
    Changed(pcRepaint);
}

void TButtonPainterClient::SetSignAt(TSignPosition position, TSignAt sign) {
    if (m_signs[position] == sign) return;
    m_signs[position] = sign;
    Changed(pcRepaint | pcResize);
}

// ---------------------------------------------------------------------------
// TUserButtonCore

template <class Base>
TUserButtonCore<Base>::TUserButtonCore(QWidget* parent)
    : Base(parent), m_client(*this), m_color(GetSystemColor(TSystemColor::BtnFace)) {
    this->setMouseTracking(true);
    this->setAttribute(Qt::WA_OpaquePaintEvent, true);
    this->setAttribute(Qt::WA_Hover, false);
}

template <class Base>
TUserButtonCore<Base>::~TUserButtonCore() = default;  // the client leaves its painter

template <class Base>
void TUserButtonCore<Base>::SetCaption(const QString& text) {
    if constexpr (std::is_base_of_v<QAbstractButton, Base>) this->setText(text);  // its mnemonic
    m_client.SetCaption(text);
}

template <class Base>
void TUserButtonCore<Base>::SetChecked(bool value) {
    if (m_groupIndex == 0) value = false;
    if (value == Checked()) return;
    if (!value && !(m_options & boAllowAllUp)) return;
    m_client.SetChecked(value);
    if (value) AnnounceGroup();
    if (m_action && m_action->isCheckable()) m_action->setChecked(value);
}

template <class Base>
void TUserButtonCore<Base>::SetGroupIndex(int value) {
    if (value == m_groupIndex) return;
    m_groupIndex = value;
    if (value == 0) m_client.SetChecked(false);
    AnnounceGroup();
}

template <class Base>
void TUserButtonCore<Base>::SetOptions(TButtonOptions value) {
    const TButtonOptions changed = value ^ m_options;
    if (!changed) return;
    m_options = value;
    if (changed & (boAutoWidth | boAutoHeight)) AutoSize();
    if (changed & boAllowAllUp) AnnounceGroup();
    if (changed & boTransparent) PainterChanged(pcTransparency);
}

template <class Base>
void TUserButtonCore<Base>::SetColor(TColor color) {
    if (color == m_color) return;
    m_color = color;
    this->update();
}

template <class Base>
void TUserButtonCore<Base>::SetDropDownMenu(QMenu* menu, bool rightAligned) {
    m_dropDown = menu;
    m_dropDownRightAligned = rightAligned;
}

template <class Base>
void TUserButtonCore<Base>::AnnounceGroup() {
    QWidget* parent = this->parentWidget();
    if (m_groupIndex == 0 || !parent) return;
    for (QObject* child : parent->children())
        if (auto* sibling = dynamic_cast<TUserButtonCore*>(child)) sibling->GroupAnnounced(m_groupIndex, *this);
}

template <class Base>
void TUserButtonCore<Base>::GroupAnnounced(int group, const TUserButtonCore& sender) {
    if (&sender == this || group != m_groupIndex) return;
    if (sender.Checked() && Checked()) {
        m_client.SetChecked(false);
        if (m_action && m_action->isCheckable()) m_action->setChecked(false);
    }
    m_options = (m_options & ~boAllowAllUp) | (sender.m_options & boAllowAllUp);
}

template <class Base>
void TUserButtonCore<Base>::Click() {
    // A checkable action toggles itself when triggered, and the button follows it.
    const bool actionChecks = m_action && m_action->isCheckable();
    if (m_groupIndex != 0 && !actionChecks) SetChecked(!Checked());
    if (m_dropDown) PopupDropDown();
    if (m_action) m_action->trigger();
    if (OnClick) RunGuarded("A button's click handler", [&] { OnClick(*this); });
}

template <class Base>
void TUserButtonCore<Base>::PopupDropDown() {
    const bool toTheRight = SignAt(spRight) == saArrowRight || SignAt(spCenter) == saArrowRight;
    QPoint at = toTheRight ? this->mapToGlobal(QPoint(this->width(), 0)) : this->mapToGlobal(QPoint(0, this->height()));
    if (!toTheRight && m_dropDownRightAligned) at.rx() += this->width() - m_dropDown->sizeHint().width();
    m_dropDown->popup(at);
}

template <class Base>
void TUserButtonCore<Base>::SetAction(QAction* action) {
    if (action == m_action) return;
    if (m_action) QObject::disconnect(m_action, nullptr, this, nullptr);
    m_action = action;
    if (!action) return;
    QObject::connect(action, &QAction::changed, this, [this] { UpdateFromAction(); });
    UpdateFromAction();
}

template <class Base>
void TUserButtonCore<Base>::UpdateFromAction() {
    SetCaption(m_action->text());
    this->setEnabled(m_action->isEnabled());
    this->setToolTip(m_action->toolTip());
    const QVariant group = m_action->property(GroupIndexProperty);
    if (group.isValid()) SetGroupIndex(group.toInt());
    const QVariant image = m_action->property(ImageIndexProperty);
    if (image.isValid()) SetImageIndex(image.toInt());
    if (m_action->isChecked() != Checked()) {
        const TButtonOptions options = m_options;
        m_options |= boAllowAllUp;  // the action decides
        SetChecked(m_action->isChecked());
        m_options = (m_options & ~boAllowAllUp) | (options & boAllowAllUp);
    }
}

template <class Base>
void TUserButtonCore<Base>::AutoSize() {
    if (!this->parentWidget() || !(m_options & (boAutoWidth | boAutoHeight))) return;
    int width = this->width(), height = this->height();
    const int maxWidth = this->maximumWidth() >= QWIDGETSIZE_MAX ? INT_MAX : this->maximumWidth();
    m_client.CalcSize(m_options & boAutoWidth, height, width, maxWidth, 0, m_options & boAutoHeight);
    height = std::min(height, this->maximumHeight());
    if (width != this->width() || height != this->height()) this->resize(width, height);
}

template <class Base>
void TUserButtonCore<Base>::PainterChanged(uint32_t flags) {
    if (flags & pcResize) AutoSize();
    if (flags & pcRepaint) this->update();
    if (flags & pcTransparency) {
        const TPainter* painter = Painter();
        ApplyTransparent((m_options & boTransparent) && painter && painter->GetTransparent(m_client));
    }
    if (flags & pcCursor) {
        const TPainter* painter = Painter();
        this->setCursor(painter ? painter->GetCursor(m_client) : Qt::ArrowCursor);
    }
}

template <class Base>
void TUserButtonCore<Base>::ApplyTransparent(bool transparent) {
    this->setAttribute(Qt::WA_OpaquePaintEvent, !transparent);
    this->update();
}

template <class Base>
bool TUserButtonCore<Base>::event(QEvent* e) {
    switch (e->type()) {
    case QEvent::ParentChange:
        AutoSize();
        break;
    case QEvent::WindowDeactivate:
    case QEvent::Hide:
        m_client.Cancel();  // cancel mode
        break;
    default:
        break;
    }
    return Base::event(e);
}

template <class Base>
void TUserButtonCore<Base>::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const TRect client = TRect::FromQRect(this->contentsRect());
    const TPainter* buttonPainter = Painter();
    if (!(m_options & boTransparent) && buttonPainter && buttonPainter->GetTransparent(m_client))
        painter.fillRect(client.ToQRect(), QColor::fromRgba(m_color));
    m_client.Paint(painter, client);
}

template <class Base>
void TUserButtonCore<Base>::enterEvent(QEnterEvent* e) {
    SetHotByMouse(true);
    Base::enterEvent(e);
}

template <class Base>
void TUserButtonCore<Base>::leaveEvent(QEvent* e) {
    SetHotByMouse(false);
    Base::leaveEvent(e);
}

template <class Base>
void TUserButtonCore<Base>::mouseMoveEvent(QMouseEvent* e) {
    m_client.SetHot(this->rect().contains(e->position().toPoint()));
    e->accept();
}

template <class Base>
void TUserButtonCore<Base>::Press(QMouseEvent* e) {
    e->accept();
    if (e->button() != Qt::LeftButton || !AcceptPress()) return;
    m_client.SetHot(this->rect().contains(e->position().toPoint()));
    m_client.Press();
}

template <class Base>
void TUserButtonCore<Base>::mousePressEvent(QMouseEvent* e) {
    Press(e);
}

template <class Base>
void TUserButtonCore<Base>::mouseDoubleClickEvent(QMouseEvent* e) {
    Press(e);  // a second press that came as a double click
}

template <class Base>
void TUserButtonCore<Base>::mouseReleaseEvent(QMouseEvent* e) {
    e->accept();
    if (e->button() == Qt::LeftButton && m_client.Release()) Click();
}

template <class Base>
void TUserButtonCore<Base>::changeEvent(QEvent* e) {
    if (e->type() == QEvent::EnabledChange) {
        m_client.SetEnabled(this->isEnabled());
        if (!this->isEnabled()) m_client.Cancel();
    }
    Base::changeEvent(e);
}

template class TUserButtonCore<QWidget>;
template class TUserButtonCore<TTransparencyControl<QAbstractButton>>;

// ---------------------------------------------------------------------------
// TUserButton

TUserButton::TUserButton(QWidget* parent) : TUserButtonCore<QWidget>(parent) {
    resize(UserButtonSize);
    setFocusPolicy(Qt::NoFocus);
}

TUserButton::~TUserButton() { SetPartnerButton(nullptr); }

void TUserButton::SetPartnerButton(TUserButton* partner) {
    if (partner == this) partner = nullptr;
    if (partner == m_partner) return;
    if (m_partner) m_partner->m_partner = nullptr;
    m_partner = partner;
    if (!partner) return;
    if (partner->m_partner) partner->m_partner->m_partner = nullptr;
    partner->m_partner = this;
}

void TUserButton::SetHotByMouse(bool hot) {
    Client().SetHot(hot);
    if (m_partner) m_partner->Client().SetHot(hot);
}

void TUserButton::DoShowHint(bool& canShow, QHelpEvent& hintInfo) {
    if (OnShowHint) OnShowHint(*this, canShow, hintInfo);
}

bool TUserButton::event(QEvent* e) {
    if (e->type() == QEvent::ToolTip) {
        bool canShow = true;
        RunGuarded("A hint handler", [&] { DoShowHint(canShow, static_cast<QHelpEvent&>(*e)); });
        if (!canShow) {
            // Taken, so the parent does not show its own hint instead.
            QToolTip::hideText();
            e->accept();
            return true;
        }
    }
    return TUserButtonCore<QWidget>::event(e);
}

// ---------------------------------------------------------------------------
// TCustomUserWinButton

TCustomUserWinButton::TCustomUserWinButton(QWidget* parent) : TUserButtonCore(parent) {
    resize(UserWinButtonSize);
    setFocusPolicy(Qt::StrongFocus);
    connect(qApp, &QApplication::focusChanged, this, [this] { UpdateDefaultLook(); });
}

TCustomUserWinButton::~TCustomUserWinButton() {
    // The focus leaves while the widget goes: nothing of this button may answer it.
    disconnect(qApp, nullptr, this, nullptr);
}

bool TCustomUserWinButton::CanFocus() const {
    return isVisible() && isEnabled() && focusPolicy() != Qt::NoFocus;
}

void TCustomUserWinButton::SetDefault(bool value) {
    if (value == m_default) return;
    m_default = value;
    WatchDialogKeys();
    AnnounceDefault();
}

void TCustomUserWinButton::SetCancel(bool value) {
    if (value == m_cancel) return;
    m_cancel = value;
    WatchDialogKeys();
}

void TCustomUserWinButton::WatchDialogKeys() {
    if ((m_default || m_cancel) && window() != this) TDialogKeyFilter::EnsureOn(window());
}

void TCustomUserWinButton::AnnounceDefault() {
    for (TCustomUserWinButton* button : WinButtonsOf(*window())) button->UpdateDefaultLook();
    UpdateDefaultLook();
}

void TCustomUserWinButton::UpdateDefaultLook() {
    const QWidget* focus = window()->focusWidget();
    const bool focusOnButton = focus && focus != this && dynamic_cast<const TCustomUserWinButton*>(focus);
    Client().SetDefault(hasFocus() || (m_default && !focusOnButton));
}

void TCustomUserWinButton::Click() {
    TUserButtonCore::Click();
    emit clicked(Checked());
    if (DropDownMenu() || m_modalResult == mrNone) return;
    if (auto* dialog = qobject_cast<QDialog*>(window()))
        dialog->done(m_modalResult == mrCancel ? int(QDialog::Rejected) : m_modalResult);
}

bool TCustomUserWinButton::AcceptPress() {
    if (!hasFocus() && focusPolicy() != Qt::NoFocus) setFocus(Qt::MouseFocusReason);
    return hasFocus() || focusPolicy() == Qt::NoFocus;
}

bool TCustomUserWinButton::event(QEvent* e) {
    switch (e->type()) {
    case QEvent::Shortcut:  // the caption's mnemonic
        if (CanFocus()) {
            setFocus(Qt::ShortcutFocusReason);
            Click();
        }
        return true;
    case QEvent::ParentChange:
        WatchDialogKeys();
        break;
    default:
        break;
    }
    return TUserButtonCore::event(e);
}

void TCustomUserWinButton::keyPressEvent(QKeyEvent* e) {
    switch (e->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        if (!(e->modifiers() & ~Qt::KeypadModifier)) {
            Click();
            e->accept();
            return;
        }
        break;
    default:
        break;
    }
    e->ignore();  // on to the window: Escape reaches the cancel button
}

void TCustomUserWinButton::keyReleaseEvent(QKeyEvent* e) { e->ignore(); }

void TCustomUserWinButton::focusInEvent(QFocusEvent* e) {
    Client().SetFocused(true);
    UpdateDefaultLook();
    TUserButtonCore::focusInEvent(e);
}

void TCustomUserWinButton::focusOutEvent(QFocusEvent* e) {
    Client().SetFocused(false);
    Client().Cancel();
    UpdateDefaultLook();
    TUserButtonCore::focusOutEvent(e);
}
