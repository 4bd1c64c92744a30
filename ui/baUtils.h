#pragma once
// Window-level helpers shared by the custom controls: an off-screen buffer
// that makes painting flicker-free, base controls with a border that follows
// the style and an event before each hint, a base control that can let its
// parent show through, the form an object belongs to, and scroll-bar
// routines.

#include "core/cuTypes.h"
#include "core/cuUtils.h"

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QEvent>
#include <QFrame>
#include <QHelpEvent>
#include <QImage>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QToolTip>

#include <cstdint>
#include <functional>
#include <limits>
#include <type_traits>

class QScrollBar;

// ---------------------------------------------------------------------------
// Buffered painting

// The clip box of a painter in its logical coordinates: the device, the
// system clip (the region being repainted) and the painter's own clip.
TRect PainterClipBox(const QPainter& painter);

// Paints into an off-screen image and copies it to the target in one step when
// it goes. The buffered rectangle is the target's clip box intersected with
// the rectangle asked for; painting through Canvas() in the target's
// coordinates lands in the buffer, which starts black. The copy replaces the
// target's pixels of the buffered rectangle (no blending). A rectangle that
// does not meet the clip box buffers nothing and copies nothing.
class TBufPainter {
public:
    TBufPainter(QPainter& target, const TRect& rect);
    ~TBufPainter();
    TBufPainter(const TBufPainter&) = delete;
    TBufPainter& operator=(const TBufPainter&) = delete;

    QPainter& Canvas() noexcept { return m_canvas; }
    // The buffered rectangle in target coordinates; empty when nothing is buffered.
    const TRect& Rect() const noexcept { return m_rect; }

private:
    QPainter& m_target;
    TRect m_rect;
    QImage m_buffer;
    QPainter m_canvas;
};

// ---------------------------------------------------------------------------
// Bordered controls

enum TBorderStyle : uint8_t {
    bsNone = 0,    // no border
    bsSingle = 1,  // a plain one-pixel line
    bsTheme = 2,   // the sunken panel the style draws
};

// Sender, CanShow (true at first; false keeps the hint hidden) and the help
// event asking for the hint (its position; the control's tool tip may be
// changed before it shows).
using TBCHintEvent = std::function<void(QWidget& sender, bool& canShow, QHelpEvent& hintInfo)>;

// A control over the Qt base it needs (QFrame, QAbstractScrollArea,
// QAbstractButton, ...) with a border style and an event before each hint.
// Frames draw the border as their frame; other bases keep contents margins
// of the border's width and draw it after the control painted itself.
template <class Base>
class TBorderedControl : public Base {
    static_assert(std::is_base_of_v<QWidget, Base>, "a control is a widget");

public:
    explicit TBorderedControl(QWidget* parent = nullptr) : Base(parent) { ApplyBorder(); }

    TBorderStyle BorderStyle() const noexcept { return m_borderStyle; }
    // A new style changes the margins and repaints; the current one changes nothing.
    void SetBorderStyle(TBorderStyle style) {
        if (style == m_borderStyle) return;
        m_borderStyle = style;
        ApplyBorder();
    }

    TBCHintEvent OnShowHint;

    // Runs before a hint shows, with canShow true: fires OnShowHint.
    virtual void DoShowHint(bool& canShow, QHelpEvent& hintInfo) {
        if (OnShowHint) OnShowHint(*this, canShow, hintInfo);
    }
    // Repaints a rectangle of the client area (a scroll area's viewport)
    // without filling its background first.
    virtual void InvalidateRect(const TRect& rect) { ClientWidget().update(rect.ToQRect()); }

protected:
    static constexpr bool IsFrame = std::is_base_of_v<QFrame, Base>;

    // The widget that holds the client area: the viewport of a scroll area.
    QWidget& ClientWidget() {
        if constexpr (std::is_base_of_v<QAbstractScrollArea, Base>) {
            if (QWidget* viewport = this->viewport()) return *viewport;
        }
        return *this;
    }

    bool event(QEvent* e) override {
        switch (e->type()) {
        case QEvent::ToolTip:
            return HintEvent(static_cast<QHelpEvent&>(*e));
        case QEvent::StyleChange:
            ApplyBorder();  // the style's frame width may differ
            break;
        case QEvent::Paint:
            if constexpr (!IsFrame) {
                if (m_borderStyle != bsNone) {
                    const bool done = Base::event(e);
                    PaintBorder();
                    return done;
                }
            }
            break;
        default:
            break;
        }
        return Base::event(e);
    }

private:
    int BorderWidth() const {
        switch (m_borderStyle) {
        case bsSingle:
            return 1;
        case bsTheme:
            return this->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, this);
        default:
            return 0;
        }
    }

    void ApplyBorder() {
        if constexpr (IsFrame) {
            switch (m_borderStyle) {
            case bsNone:
                this->setFrameStyle(QFrame::NoFrame);
                break;
            case bsSingle:
                this->setFrameStyle(QFrame::Box | QFrame::Plain);
                this->setLineWidth(1);
                break;
            case bsTheme:
                this->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
                break;
            }
        } else {
            const int w = BorderWidth();
            this->setContentsMargins(w, w, w, w);
            this->update();
        }
    }

    void PaintBorder() {
        QPainter p(this);
        if (m_borderStyle == bsSingle) {
            p.setPen(this->palette().color(QPalette::WindowText));
            p.drawRect(this->rect().adjusted(0, 0, -1, -1));
            return;
        }
        QStyleOptionFrame option;
        option.initFrom(this);
        option.state |= QStyle::State_Sunken;
        option.lineWidth = BorderWidth();
        option.frameShape = QFrame::StyledPanel;
        this->style()->drawPrimitive(QStyle::PE_Frame, &option, &p, this);
    }

    bool HintEvent(QHelpEvent& e) {
        bool canShow = true;
        RunGuarded("A hint handler", [&] { DoShowHint(canShow, e); });
        if (canShow) return Base::event(&e);
        QToolTip::hideText();
        e.accept();  // taken, so the parent does not show its own hint instead
        return true;
    }

    TBorderStyle m_borderStyle = bsNone;
};

// A bordered control that is opaque (it paints every pixel itself and nothing
// is painted under it) or transparent (its parent's pixels show wherever it
// paints nothing; it repaints itself when moved or resized). Created opaque.
template <class Base>
class TTransparencyControl : public TBorderedControl<Base> {
public:
    explicit TTransparencyControl(QWidget* parent = nullptr) : TBorderedControl<Base>(parent) { ApplyTransparency(); }

    bool Transparent() const noexcept { return m_transparent; }
    void SetTransparent(bool transparent) {
        if (transparent == m_transparent) return;
        m_transparent = transparent;
        ApplyTransparency();
        this->update();
    }

protected:
    bool event(QEvent* e) override {
        if (m_transparent && (e->type() == QEvent::Move || e->type() == QEvent::Resize)) this->update();
        return TBorderedControl<Base>::event(e);
    }

private:
    void ApplyTransparency() {
        // No background filling either way: opaque controls cover it, transparent ones show the parent.
        for (QWidget* w : {static_cast<QWidget*>(this), &this->ClientWidget()}) {
            w->setAttribute(Qt::WA_OpaquePaintEvent, !m_transparent);
            w->setAutoFillBackground(false);
        }
    }

    bool m_transparent = false;
};

// ---------------------------------------------------------------------------
// Forms and scroll bars

// The form an object belongs to: the window of the first widget found by
// following its parents; nil when none is a widget.
QWidget* GetOwnerForm(const QObject* component);

// Scroll-request codes as the scroll messages number them.
enum TScrollCode : uint8_t {
    scLineUp = 0,
    scLineDown = 1,
    scPageUp = 2,
    scPageDown = 3,
    scThumbPosition = 4,
    scThumbTrack = 5,
    scTop = 6,
    scBottom = 7,
    scEndScroll = 8,
};

// The position "bottom" asks for; the caller clamps it to its range.
constexpr int ScrollBottomPos = std::numeric_limits<int>::max();

// Sets the range (min..max) and page of a scroll bar of the area: positions
// run from min to max - page + 1. A bar that cannot scroll is hidden, or shown
// disabled with disableNoScroll. The area's children are laid out again (which
// repaints both bars) only when the policy changes or the bar comes or goes.
void UpdateScrollBar(QAbstractScrollArea& area, Qt::Orientation bar, int min, int max, int page,
                     bool disableNoScroll);
// The position a scroll request asks for: a line or a page up or down from
// pos (kept within the integers), the bar's slider position while the thumb
// is dragged or dropped, 0 for the top, ScrollBottomPos for the bottom, pos
// for anything else.
int GetScrollPosForCode(const QScrollBar& bar, TScrollCode code, int pos, int line, int page);
