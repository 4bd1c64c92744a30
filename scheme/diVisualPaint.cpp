// Painting of visual elements and of the sheet.

#include "scheme/diCanvas.h"
#include "scheme/diThemes.h"
#include "scheme/diSheet.h"
#include "scheme/diVisual.h"

#include <QPainter>

namespace {
// Moves the canvas origin to an element for a scope.
class TOriginScope {
public:
    TOriginScope(TSheetCanvas& canvas, int dx, int dy) : m_canvas(canvas), m_dx(dx), m_dy(dy) {
        m_canvas.MoveOrigin(dx, dy);
    }
    ~TOriginScope() { m_canvas.MoveOrigin(-m_dx, -m_dy); }
    TOriginScope(const TOriginScope&) = delete;
    TOriginScope& operator=(const TOriginScope&) = delete;

private:
    TSheetCanvas& m_canvas;
    int m_dx, m_dy;
};
}  // namespace

void TVisualElement::PaintTree(TSheetCanvas& canvas, int flags) {
    TOriginScope origin(canvas, m_left, m_top);
    Paint(canvas);
    PaintChildren(canvas, flags);
    // A disabled subtree is greyed once, where it starts.
    if (IsEffectivelyDisabled() && !(m_visualParent && m_visualParent->IsEffectivelyDisabled())) PaintDisabled(canvas);
    if (IsExternalEditing()) PaintExternalEditing(canvas);
    if (IsSelected() && !(flags & pfNoMark)) PaintMark(canvas);
}

void TVisualElement::PaintChildren(TSheetCanvas& canvas, int flags) {
    std::vector<TVisualElement*> children;
    ChildrenMeeting(canvas.GetPaintRect(), children);
    for (TVisualElement* c : children)
        if (c->IsVisible()) PaintChild(canvas, flags, c);
}

void TVisualElement::PaintDisabled(TSheetCanvas& canvas) { canvas.DrawDisabled(GetClientRect()); }

void TVisualElement::PaintExternalEditing(TSheetCanvas& canvas) {
    canvas.DrawThemeFrame(tekExternalEditingMode, GetClientRect());
}

void TVisualElement::PaintMark(TSheetCanvas& canvas) { canvas.DrawThemeFrame(tekMark, GetClientRect()); }

QSize TMessagesSignElement::SignSize() const {
    TSheet* sheet = Sheet();
    return sheet ? sheet->Canvas()->GetThemeSize(tekError) : QSize(11, 11);
}

void TMessagesSignElement::Paint(TSheetCanvas& canvas) {
    TElementMessages* messages = m_element ? m_element->Messages() : nullptr;
    const bool invalid = messages && messages->HasKindIn(1u << mkInvalidContent);
    canvas.DrawThemeImage(invalid ? tekError : tekNeedValue, QPoint(0, 0));
}

// The sheet's background is drawn only around what is repainted: stretched
// over the whole of a big scheme it would cost in proportion to everything
// off screen. The part drawn reaches past the paint rectangle by the frame's
// border widths, so that borders drawn at its cut edges stay out of sight and
// the sheet's real edges look as they would over the whole.
void TSheetElement::Paint(TSheetCanvas& canvas) {
    const TRect client = GetClientRect();
    const TRect paint = canvas.GetPaintRect();
    const int dx = canvas.GetThemeMinWidth(tekSheet) + 1;
    const int dy = canvas.GetThemeMinHeight(tekSheet) + 1;
    const TRect around{paint.Left - dx, paint.Top - dy, paint.Right + dx, paint.Bottom + dy};
    const TRect target = IntersectRects(client, around);
    if (!target.IsEmpty()) canvas.DrawThemeFrame(tekSheet, target);
}

// ---------------------------------------------------------------------------
// TSheet

void TSheet::Paint(QPainter& dc, const TRect& rect, int flags) {
    if (rect.IsEmpty()) return;
    if (!m_active) flags |= pfInactive;
    m_canvas->BeginPaint(rect);
    try {
        m_root->PaintTree(*m_canvas, flags);
        if (!(flags & pfNoCaret) && (m_caretKind == ckFocusRect || m_caretKind == ckDoubleFocusRect))
            m_canvas->DrawCaret(m_caretKind, m_caretRect);
        if (!(flags & pfNoFocusOverlay)) PaintFocusOverlay(m_canvas->Painter());
    } catch (...) {
        m_canvas->EndPaint(&dc);
        throw;
    }
    m_canvas->EndPaint(&dc);
}

void TSheet::PaintFocusOverlay(QPainter& dc) {
    if (!m_focused || !m_focused->IsVisible()) return;
    const QPoint at = m_focused->ClientToSheet(QPoint(0, 0));
    dc.save();
    dc.translate(at);
    dc.setClipRect(QRect(0, 0, m_focused->Width(), m_focused->Height()), Qt::IntersectClip);
    m_focused->PaintFocusOverlay(dc);
    dc.restore();
}

QImage TSheet::PaintToImage(const TRect& rect, int flags) {
    QImage image(std::max(rect.Width(), 0), std::max(rect.Height(), 0), QImage::Format_ARGB32_Premultiplied);
    if (image.isNull()) return image;
    image.fill(Qt::white);
    QPainter dc(&image);
    dc.translate(-rect.Left, -rect.Top);
    Paint(dc, rect, flags);
    return image;
}
