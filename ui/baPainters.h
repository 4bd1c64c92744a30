#pragma once
// Painters measure and paint owner-drawn controls. A control does not paint
// itself: it keeps its caption, image index and state in a painter client and
// asks the painter serving it. One painter serves many controls; when its
// settings change it posts a flag word through its notifier and every client
// reacts (repaint, new size, transparency, cursor).

#include "core/cuColors.h"
#include "core/cuNotifier.h"
#include "core/cuTypes.h"

#include <QObject>
#include <QSize>
#include <QString>

#include <cstdint>

class QImage;
class QPainter;
class TPainterClient;

// Change flags posted by painters and stylers.
enum TPainterChange : uint32_t {
    pcRepaint = 1,
    pcResize = 2,
    pcTransparency = 4,
    pcCursor = 8,
    pcAll = pcRepaint | pcResize | pcTransparency | pcCursor,
};

// State bits of a painter client.
enum TPainterState : uint8_t {
    psPressed = 1,
    psHot = 2,  // the mouse is over it
    psChecked = 4,
    psDisabled = 8,
    psFocused = 16,
};

// The glyph a client shows at one of its sign positions.
enum TSignAt : uint8_t { saNone, saBox, saCircle, saCheck, saArrowLeft, saArrowRight, saArrowUp, saArrowDown };

enum TSignPosition : uint8_t { spLeft, spRight, spTop, spBottom, spCenter, spCount };

// What changed in a client, for TPainter::CheckChange.
enum TClientChangeKind : uint8_t { cckState = 0, cckCaption = 1 };

// Whether a change needs a repaint and/or a new size.
struct TChangeNeeds {
    bool Repaint = false;
    bool Resize = false;
};

// A state or image-index change of a client, old and new.
struct TClientChange {
    TClientChangeKind Kind = cckState;
    uint8_t OldState = 0;
    uint8_t NewState = 0;
    int OldImageIndex = -1;
    int NewImageIndex = -1;
};

class TPainter : public QObject {
public:
    explicit TPainter(QObject* parent = nullptr) : QObject(parent) {}

    // Its clients listen here; a batch carries TFlagsNotify flag words, a nil
    // batch says the painter goes.
    TNotifier& Notifier() noexcept { return m_notifier; }

    // The size the client needs for the available width (0: its natural
    // width). Base: the width given (20 when 0) and height 20.
    virtual QSize CalcSize(const TPainterClient& client, int width) const;
    // Base: a white rectangle with a black border.
    virtual void Paint(const TPainterClient& client, QPainter& canvas, const TRect& rect) const;
    virtual Qt::CursorShape GetCursor(const TPainterClient& client) const;
    // Whether a change of the client needs a repaint or a new size. Base: neither.
    virtual TChangeNeeds CheckChange(const TPainterClient& client, const TClientChange& change) const;
    // Whether the painted control is to let its parent show through. Base: no.
    virtual bool GetTransparent(const TPainterClient& client) const;

    // Posts the flags to the clients, nothing for 0.
    void Changed(uint32_t flags);

private:
    TNotifier m_notifier;
};

// The painter's base look: a black-bordered white rectangle.
void PaintPlainClient(QPainter& canvas, const TRect& rect);

class TPainterClient {
public:
    virtual ~TPainterClient() = default;

    virtual QString GetCaption() const { return {}; }
    // Whether the control shows itself as the default button.
    virtual bool IsDefault() const { return false; }
    virtual int GetImageIndex() const { return -1; }
    virtual TPainter* GetPainter() const = 0;
    virtual TColor GetColor() const;
    virtual TSignAt GetSignAt(TSignPosition position) const { return saNone; }
    virtual uint8_t GetState() const { return 0; }
    // A picture of the client's own, drawn in place of one from the painter's
    // list; nil when it has none.
    virtual const QImage* GetOwnImage() const { return nullptr; }
    // Paints what lies under the control (its parent) into rect, for looks
    // that do not cover every pixel. Base: nothing, the parent already shows.
    virtual void PaintParentBackground(QPainter& canvas, const TRect& rect) const {}

    // The width clamped to minWidth..maxWidth; then, with a painter and when
    // autoWidth or wantHeight, the painter's size for the natural width
    // (autoWidth) or the clamped one: autoWidth takes its width, wantHeight
    // its height (height is left alone otherwise).
    void CalcSize(bool autoWidth, int& height, int& width, int maxWidth, int minWidth, bool wantHeight) const;
    // The painter's look, or the base one without a painter.
    void Paint(QPainter& canvas, const TRect& rect) const;
    TChangeNeeds CheckChange(const TClientChange& change) const;
};

// A client bound to one control: caption, image index and state kept here;
// each change asks the painter what it needs and applies it through Changed.
class TControlPainterClient : public TPainterClient {
public:
    QString GetCaption() const override { return m_caption; }
    int GetImageIndex() const override { return m_imageIndex; }
    uint8_t GetState() const override { return m_state; }

    // The control applies change flags (pcRepaint, pcResize, ...).
    virtual void Changed(uint32_t flags) = 0;

    void SetCaption(const QString& text);
    void SetImageIndex(int index);
    void SetState(uint8_t bits);
    void SetHot(bool value) { SetBit(psHot, value); }
    void SetChecked(bool value) { SetBit(psChecked, value); }
    void SetFocused(bool value) { SetBit(psFocused, value); }
    void SetEnabled(bool value) { SetBit(psDisabled, !value); }
    void Press() { SetBit(psPressed, true); }
    // True when the client was pressed and hot (a click); the press ends either way.
    bool Release();
    void Cancel() { SetBit(psPressed, false); }
    bool IsChecked() const noexcept { return m_state & psChecked; }

private:
    void SetBit(uint8_t bit, bool value) { SetState(value ? (m_state | bit) : (m_state & ~bit)); }
    void Apply(const TChangeNeeds& needs);

    QString m_caption;
    int m_imageIndex = -1;
    uint8_t m_state = 0;
};
