#pragma once
// Owner-drawn buttons whose whole look comes from a painter: TUserButton, a
// plain widget for the palette's buttons and group headers, and
// TCustomUserWinButton / TUserWinButton, a focusable button with default and
// cancel behaviour for dialogs. Both keep their state in a
// TButtonPainterClient, which binds the button to its painter.

#include "ui/baPainters.h"
#include "ui/baUtils.h"

#include <QAbstractButton>
#include <QAction>
#include <QMenu>
#include <QPointer>
#include <QWidget>

#include <array>
#include <functional>

// Button options (a set).
enum TButtonOption : uint8_t { boAutoWidth = 1, boAutoHeight = 2, boAllowAllUp = 4, boTransparent = 8 };
using TButtonOptions = uint8_t;

// What a dialog button ends its dialog with: mrCancel rejects the QDialog
// (result QDialog::Rejected); any other result but mrNone is the dialog's result.
enum TModalResult : int { mrNone = 0, mrOk = 1, mrCancel = 2, mrAbort = 3, mrRetry = 4, mrIgnore = 5, mrYes = 6, mrNo = 7 };

// What a painter client asks of the button it serves.
class TButtonHost {
public:
    // Applies painter change flags: pcResize auto-sizes, pcRepaint repaints,
    // pcTransparency switches the transparency, pcCursor takes the painter's cursor.
    virtual void PainterChanged(uint32_t flags) = 0;
    virtual TColor ButtonColor() const = 0;

protected:
    ~TButtonHost() = default;
};

class TButtonPainterClient : public TControlPainterClient {
public:
    explicit TButtonPainterClient(TButtonHost& host) : m_host(host) {}
    ~TButtonPainterClient() override;
    TButtonPainterClient(const TButtonPainterClient&) = delete;
    TButtonPainterClient& operator=(const TButtonPainterClient&) = delete;

    bool IsDefault() const override { return m_default; }
    TPainter* GetPainter() const override { return m_painter; }
    TColor GetColor() const override { return m_host.ButtonColor(); }
    TSignAt GetSignAt(TSignPosition position) const override { return m_signs[position]; }
    void Changed(uint32_t flags) override { m_host.PainterChanged(flags); }

    // Binds the painter (nil allowed) and applies every flag.
    void SetPainter(TPainter* painter);
    // Repaints when the look of the default button is switched on or off.
    void SetDefault(bool value);
    // A new sign repaints and resizes.
    void SetSignAt(TSignPosition position, TSignAt sign);

private:
    void OnPainterNotify(TNotifier* sender, TNotify* first);

    TButtonHost& m_host;
    TPainter* m_painter = nullptr;  // unbound by the painter's going
    bool m_default = false;
    std::array<TSignAt, spCount> m_signs{};
};

// The behaviour both buttons share, over their Qt base.
template <class Base>
class TUserButtonCore : public Base, protected TButtonHost {
public:
    explicit TUserButtonCore(QWidget* parent = nullptr);
    ~TUserButtonCore() override;

    QString Caption() const { return m_client.GetCaption(); }
    void SetCaption(const QString& text);
    bool Checked() const noexcept { return m_client.IsChecked(); }
    // With group index 0 a button is never checked; a grouped one is
    // unchecked only with boAllowAllUp. Checking announces it to the group.
    void SetChecked(bool value);
    int GroupIndex() const noexcept { return m_groupIndex; }
    void SetGroupIndex(int value);
    int ImageIndex() const noexcept { return m_client.GetImageIndex(); }
    void SetImageIndex(int value) { m_client.SetImageIndex(value); }
    TButtonOptions Options() const noexcept { return m_options; }
    void SetOptions(TButtonOptions value);
    TPainter* Painter() const noexcept { return m_client.GetPainter(); }
    void SetPainter(TPainter* painter) { m_client.SetPainter(painter); }
    TSignAt SignAt(TSignPosition position) const { return m_client.GetSignAt(position); }
    void SetSignAt(TSignPosition position, TSignAt sign) { m_client.SetSignAt(position, sign); }
    QMenu* DropDownMenu() const noexcept { return m_dropDown; }
    // A right-aligned menu ends at the button's right edge.
    void SetDropDownMenu(QMenu* menu, bool rightAligned = false);
    TColor Color() const noexcept { return m_color; }
    void SetColor(TColor color);
    // The action the button follows: caption, enabled, checked, hint, and the
    // action properties "GroupIndex" and "ImageIndex". Clicking triggers it.
    QAction* Action() const noexcept { return m_action; }
    void SetAction(QAction* action);

    // Runs after a click.
    std::function<void(QWidget& sender)> OnClick;

    // A grouped button toggles; a drop-down menu pops up; then OnClick runs.
    virtual void Click();
    TButtonPainterClient& Client() noexcept { return m_client; }
    const TButtonPainterClient& Client() const noexcept { return m_client; }
    // Takes the size the painter computes, as the options ask (only with a parent).
    void AutoSize();

protected:
    void PainterChanged(uint32_t flags) override;
    TColor ButtonColor() const override { return m_color; }
    // Switches between painting every pixel and letting the parent show.
    virtual void ApplyTransparent(bool transparent);
    // The mouse came or went (a partner follows).
    virtual void SetHotByMouse(bool hot) { m_client.SetHot(hot); }
    // Whether a left press may start a press (a focusable button takes the focus first).
    virtual bool AcceptPress() { return true; }
    // Another button of the parent announced its group.
    void GroupAnnounced(int group, const TUserButtonCore& sender);
    void AnnounceGroup();

    bool event(QEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void enterEvent(QEnterEvent* e) override;
    void leaveEvent(QEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void changeEvent(QEvent* e) override;

private:
    void Press(QMouseEvent* e);
    void UpdateFromAction();
    void PopupDropDown();

    TButtonPainterClient m_client;
    int m_groupIndex = 0;
    TButtonOptions m_options = 0;
    TColor m_color;
    QPointer<QMenu> m_dropDown;
    bool m_dropDownRightAligned = false;
    QPointer<QAction> m_action;
};

// A windowless-looking button for palettes: never takes the focus.
class TUserButton : public TUserButtonCore<QWidget> {
public:
    explicit TUserButton(QWidget* parent = nullptr);
    ~TUserButton() override;

    TUserButton* PartnerButton() const noexcept { return m_partner; }
    // The two buttons point to each other; the old partner's link goes; a
    // button is never its own partner.
    void SetPartnerButton(TUserButton* partner);

    TBCHintEvent OnShowHint;
    virtual void DoShowHint(bool& canShow, QHelpEvent& hintInfo);

protected:
    void SetHotByMouse(bool hot) override;
    bool event(QEvent* e) override;

private:
    QPointer<TUserButton> m_partner;
};

// A focusable dialog button: Enter clicks the window's default button and
// Escape its cancel button, a mnemonic of the caption (Alt+letter) clicks it,
// and a ModalResult ends a QDialog.
class TCustomUserWinButton : public TUserButtonCore<TTransparencyControl<QAbstractButton>> {
public:
    explicit TCustomUserWinButton(QWidget* parent = nullptr);
    ~TCustomUserWinButton() override;

    bool IsDefault() const noexcept { return m_default; }
    void SetDefault(bool value);
    bool IsCancel() const noexcept { return m_cancel; }
    void SetCancel(bool value);
    int ModalResult() const noexcept { return m_modalResult; }
    void SetModalResult(int value) { m_modalResult = value; }

    void Click() override;
    // Whether the button can take the focus now.
    bool CanFocus() const;

protected:
    void ApplyTransparent(bool transparent) override { SetTransparent(transparent); }
    bool AcceptPress() override;
    bool event(QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void keyReleaseEvent(QKeyEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;

private:
    void WatchDialogKeys();
    // Shows the default look while focused, or while Default is set and the
    // focus is on no other such button.
    void UpdateDefaultLook();
    void AnnounceDefault();

    bool m_default = false;
    bool m_cancel = false;
    int m_modalResult = 0;
};

class TUserWinButton : public TCustomUserWinButton {
public:
    using TCustomUserWinButton::TCustomUserWinButton;
};
