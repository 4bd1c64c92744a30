#include "ui/baPainters.h"

#include <QPainter>

#include <algorithm>

namespace {

constexpr int BaseSize = 20;
// The colour a client reports when its control has none.
constexpr TColor ClientColorDefault = ColorFromWindows(0x00FFFF);

}  // namespace

// ---------------------------------------------------------------------------
// TPainter

QSize TPainter::CalcSize(const TPainterClient&, int width) const { return {width == 0 ? BaseSize : width, BaseSize}; }

void TPainter::Paint(const TPainterClient&, QPainter& canvas, const TRect& rect) const { PaintPlainClient(canvas, rect); }

Qt::CursorShape TPainter::GetCursor(const TPainterClient&) const { return Qt::ArrowCursor; }

TChangeNeeds TPainter::CheckChange(const TPainterClient&, const TClientChange&) const { return {}; }

bool TPainter::GetTransparent(const TPainterClient&) const { return false; }

void TPainter::Changed(uint32_t flags) {
    if (flags != 0) m_notifier.PostFlags(flags);
}

void PaintPlainClient(QPainter& canvas, const TRect& rect) {
    if (rect.IsEmpty()) return;
    canvas.save();
    canvas.setPen(QPen(Qt::black, 0));
    canvas.setBrush(Qt::white);
    canvas.drawRect(rect.ToQRect().adjusted(0, 0, -1, -1));
    canvas.restore();
}

// ---------------------------------------------------------------------------
// TPainterClient

TColor TPainterClient::GetColor() const { return ClientColorDefault; }

void TPainterClient::CalcSize(bool autoWidth, int& height, int& width, int maxWidth, int minWidth,
                              bool wantHeight) const {
    width = std::max(std::min(width, maxWidth), minWidth);
    const TPainter* painter = GetPainter();
    if ((!autoWidth && !wantHeight) || !painter) return;
    const QSize size = painter->CalcSize(*this, autoWidth ? 0 : width);
    if (autoWidth) width = size.width();
    if (wantHeight) height = size.height();
}

void TPainterClient::Paint(QPainter& canvas, const TRect& rect) const {
    if (const TPainter* painter = GetPainter())
        painter->Paint(*this, canvas, rect);
    else
        PaintPlainClient(canvas, rect);
}

TChangeNeeds TPainterClient::CheckChange(const TClientChange& change) const {
    const TPainter* painter = GetPainter();
    return painter ? painter->CheckChange(*this, change) : TChangeNeeds{};
}

// ---------------------------------------------------------------------------
// TControlPainterClient

void TControlPainterClient::Apply(const TChangeNeeds& needs) {
    Changed((needs.Resize ? uint32_t(pcResize) : 0u) | (needs.Repaint ? uint32_t(pcRepaint) : 0u));
}

void TControlPainterClient::SetCaption(const QString& text) {
    if (text == m_caption) return;
    const TChangeNeeds needs = CheckChange({cckCaption, m_state, m_state, m_imageIndex, m_imageIndex});
    m_caption = text;
    Apply(needs);
}

void TControlPainterClient::SetImageIndex(int index) {
    if (index == m_imageIndex) return;
    const TChangeNeeds needs = CheckChange({cckState, m_state, m_state, m_imageIndex, index});
    m_imageIndex = index;
    Apply(needs);
}

void TControlPainterClient::SetState(uint8_t bits) {
    if (bits == m_state) return;
    const TChangeNeeds needs = CheckChange({cckState, m_state, bits, m_imageIndex, m_imageIndex});
    m_state = bits;
    Apply(needs);
}

bool TControlPainterClient::Release() {
    const bool click = (m_state & psPressed) && (m_state & psHot);
    SetBit(psPressed, false);
    return click;
}
