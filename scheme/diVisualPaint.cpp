// Painting of visual elements.

#include "scheme/diCanvas.h"
#include "scheme/diThemes.h"
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
    const TRect rect = canvas.GetPaintRect();  // each child's pass moves it and gives it back
    ForEachChildMeeting(rect, [&](TVisualElement* c) {
        if (c->IsVisible()) PaintChild(canvas, flags, c);
    });
}

void TVisualElement::PaintDisabled(TSheetCanvas& canvas) { canvas.DrawDisabled(GetClientRect()); }

void TVisualElement::PaintExternalEditing(TSheetCanvas& canvas) {
    canvas.DrawThemeFrame(tekExternalEditingMode, GetClientRect());
}

void TVisualElement::PaintMark(TSheetCanvas& canvas) { canvas.DrawThemeFrame(tekMark, GetClientRect()); }

QSize TMessagesSignElement::SignSize() const {
    ISheet* sheet = Sheet();
    return sheet ? sheet->Canvas()->GetThemeSize(tekError) : QSize(11, 11);
}

void TMessagesSignElement::Paint(TSheetCanvas& canvas) {
    TElementMessages* messages = m_element ? m_element->Messages() : nullptr;
    const bool invalid = messages && messages->HasKindIn(1u << mkInvalidContent);
    canvas.DrawThemeImage(invalid ? tekError : tekNeedValue, QPoint(0, 0));
}
