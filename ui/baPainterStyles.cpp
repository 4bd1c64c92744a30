#include "ui/baPainterStyles.h"

#include "platform/plSystemColors.h"
#include "scheme/diThemes.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPalette>
#include <qdrawutil.h>

namespace {

constexpr TColor EdgeColorDefault = MakeColor(0, 0, 0);
constexpr TRect BitmapZonesDefault{3, 3, 3, 3};
constexpr int HatchSize = 8;
constexpr int DitherSize = 2;

QColor System(TSystemColor color) { return QColor::fromRgba(GetSystemColor(color)); }

// The colours of raised and sunken frames.
QPalette FramePalette() {
    QPalette palette;
    palette.setColor(QPalette::Light, System(TSystemColor::BtnHighlight));
    palette.setColor(QPalette::Midlight, System(TSystemColor::BtnLight));
    palette.setColor(QPalette::Dark, System(TSystemColor::BtnShadow));
    palette.setColor(QPalette::Shadow, System(TSystemColor::BtnDkShadow));
    // The inner lit side of a push-button frame is the style's button colour.
    palette.setColor(QPalette::Button, System(TSystemColor::BtnLight));
    return palette;
}

QImage HatchTexture(const THatchRows& rows, TColor fore, TColor back) {
    QImage texture(HatchSize, HatchSize, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < HatchSize; ++y)
        for (int x = 0; x < HatchSize; ++x)
            texture.setPixel(x, y, qPremultiply((rows[size_t(y)] >> (7 - x)) & 1 ? fore : back));
    return texture;
}

QImage DitherTexture(TColor first, TColor second) {
    QImage texture(DitherSize, DitherSize, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < DitherSize; ++y)
        for (int x = 0; x < DitherSize; ++x) texture.setPixel(x, y, qPremultiply((x + y) % 2 == 0 ? first : second));
    return texture;
}

const THatchRows* HatchOf(TFillKind kind) {
    switch (kind) {
    case fkBDiagonal:
        return &BDiagonalRows;
    case fkFDiagonal:
        return &FDiagonalRows;
    case fkGrid:
        return &GridRows;
    default:
        return nullptr;
    }
}

bool IsThinSeeThrough(TEdgeKind kind) { return kind == ekSpace || kind == ekDot || kind == ekRound; }

// One-pixel lines of an edge kind on the given sides of rect.
void DrawEdgeLines(QPainter& canvas, const TRect& rect, TEdgeKind kind, TEdges edges, TColor edgeColor) {
    QColor nearColor, farColor;
    switch (kind) {
    case ekLowered:
        nearColor = System(TSystemColor::BtnShadow);
        farColor = System(TSystemColor::BtnHighlight);
        break;
    case ekRaised:
        nearColor = System(TSystemColor::BtnHighlight);
        farColor = System(TSystemColor::BtnShadow);
        break;
    case ekDot:
    case ekRound:
    case ekSolid:
        nearColor = farColor = QColor::fromRgba(edgeColor);
        break;
    default:
        return;  // nothing drawn: ekNone, ekSpace
    }
    const int inset = kind == ekRound ? 1 : 0;  // a round edge leaves the corners out
    const QPoint lines[4][2] = {
        {{rect.Left, rect.Top + inset}, {rect.Left, rect.Bottom - 1 - inset}},
        {{rect.Left + inset, rect.Top}, {rect.Right - 1 - inset, rect.Top}},
        {{rect.Right - 1, rect.Top + inset}, {rect.Right - 1, rect.Bottom - 1 - inset}},
        {{rect.Left + inset, rect.Bottom - 1}, {rect.Right - 1 - inset, rect.Bottom - 1}},
    };
    const TEdge sides[4] = {eLeft, eTop, eRight, eBottom};
    canvas.save();
    canvas.setRenderHint(QPainter::Antialiasing, false);
    for (int i = 0; i < 4; ++i) {
        if (!(edges & sides[i])) continue;
        const QColor& color = i < 2 ? nearColor : farColor;
        if (kind == ekDot) {
            canvas.setPen(QPen(color, 0, Qt::DotLine));
            canvas.drawLine(lines[i][0], lines[i][1]);
        } else {
            canvas.fillRect(QRect(lines[i][0], lines[i][1]), color);
        }
    }
    canvas.restore();
}

void Shrink(TRect& rect, TEdges edges, int by) {
    if (edges & eLeft) rect.Left += by;
    if (edges & eTop) rect.Top += by;
    if (edges & eRight) rect.Right -= by;
    if (edges & eBottom) rect.Bottom -= by;
}

}  // namespace

// ---------------------------------------------------------------------------
// TBackground

TBackground::TBackground()
    : m_edgeColor(EdgeColorDefault),
      m_fillColor(GetSystemColor(TSystemColor::BtnFace)),
      m_fillSecondColor(GetSystemColor(TSystemColor::BtnHighlight)),
      m_bitmapZones(BitmapZonesDefault) {}

void TBackground::SetBitmap(const QImage& value) {
    m_bitmap = value.isNull() ? QImage() : value.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (!Assigning()) Changed(svBitmap);
}

void TBackground::SetBitmapZones(const TRect& value) {
    if (value == m_bitmapZones) return;
    m_bitmapZones = value;
    if (!Assigning()) Changed(svBitmapZones);
}

void TBackground::Changed(int value) {
    if (!Assigning() && OnChange) OnChange(value);
}

void TBackground::ResetValue(TPainterStyleValue value) {
    switch (value) {
    case svBitmap:
        SetBitmap(QImage());
        break;
    case svBitmapZones:
        SetBitmapZones(BitmapZonesDefault);
        break;
    case svEdgeColor:
        SetEdgeColor(EdgeColorDefault);
        break;
    case svEdgeOuter:
        SetEdgeOuter(ekNone);
        break;
    case svEdgeInner:
        SetEdgeInner(ekNone);
        break;
    case svEdges:
        SetEdges(AllEdges);
        break;
    case svFillColor:
        SetFillColor(GetSystemColor(TSystemColor::BtnFace));
        break;
    case svFillKind:
        SetFillKind(fkParentColor);
        break;
    case svFillSecondColor:
        SetFillSecondColor(GetSystemColor(TSystemColor::BtnHighlight));
        break;
    default:
        break;  // not a background value
    }
}

void TBackground::AssignValues(const TBackground& source, TPainterStyleValues mask) {
    ++m_updateCount;
    CopyValues(source, mask);
    --m_updateCount;
    Changed(SeveralValues);
}

void TBackground::CopyValues(const TBackground& source, TPainterStyleValues mask) {
    if (mask & ValueBit(svBitmap)) SetBitmap(source.m_bitmap);
    if (mask & ValueBit(svBitmapZones)) SetBitmapZones(source.m_bitmapZones);
    if (mask & ValueBit(svEdgeColor)) SetEdgeColor(source.m_edgeColor);
    if (mask & ValueBit(svEdgeOuter)) SetEdgeOuter(source.m_edgeOuter);
    if (mask & ValueBit(svEdgeInner)) SetEdgeInner(source.m_edgeInner);
    if (mask & ValueBit(svEdges)) SetEdges(source.m_edges);
    if (mask & ValueBit(svFillColor)) SetFillColor(source.m_fillColor);
    if (mask & ValueBit(svFillKind)) SetFillKind(source.m_fillKind);
    if (mask & ValueBit(svFillSecondColor)) SetFillSecondColor(source.m_fillSecondColor);
}

bool TBackground::IsSeeThrough() const {
    if (m_fillKind == fkClear) return true;
    if (HatchOf(m_fillKind) && GetBkColorTransparent()) return true;
    return m_edges != 0 && (IsThinSeeThrough(m_edgeInner) || IsThinSeeThrough(m_edgeOuter)) && !GetFillUnderEdges();
}

TRect TBackground::ContentRect(const TRect& rect) const {
    TRect content = rect;
    Shrink(content, m_edges, (m_edgeInner != ekNone ? 1 : 0) + (m_edgeOuter != ekNone ? 1 : 0));
    return content;
}

TRect TBackground::Paint(QPainter& canvas, const TRect& rect, TColor parentColor, bool defaultFrame) const {
    TRect area = rect;
    if (defaultFrame) {
        DrawEdgeLines(canvas, area, ekSolid, AllEdges, GetSystemColor(TSystemColor::WindowFrame));
        Shrink(area, AllEdges, 1);
    }
    if (GetFillUnderEdges()) {
        PaintFill(canvas, area, parentColor);
        TRect inner = area;
        PaintEdges(canvas, inner);
    } else {
        TRect inner = area;
        PaintEdges(canvas, inner);
        PaintFill(canvas, inner, parentColor);
    }
    return ContentRect(area);
}

void TBackground::PaintEdges(QPainter& canvas, TRect& rect) const {
    if (m_edges == AllEdges && m_edgeOuter == m_edgeInner && (m_edgeOuter == ekRaised || m_edgeOuter == ekLowered)) {
        const QBrush noFill(Qt::NoBrush);  // the fill is ours
        if (!rect.IsEmpty())
            qDrawWinButton(&canvas, rect.Left, rect.Top, rect.Width(), rect.Height(), FramePalette(),
                           m_edgeOuter == ekLowered, &noFill);
        Shrink(rect, AllEdges, 2);
        return;
    }
    for (TEdgeKind kind : {m_edgeOuter, m_edgeInner}) {
        if (kind == ekNone) continue;
        if (!rect.IsEmpty()) DrawEdgeLines(canvas, rect, kind, m_edges, m_edgeColor);
        Shrink(rect, m_edges, 1);
    }
}

void TBackground::PaintFill(QPainter& canvas, const TRect& rect, TColor parentColor) const {
    if (rect.IsEmpty()) return;
    const QRect r = rect.ToQRect();
    if (const THatchRows* rows = HatchOf(m_fillKind)) {
        const TColor back = GetBkColorTransparent() ? TColor(0) : m_fillSecondColor;
        canvas.fillRect(r, QBrush(HatchTexture(*rows, m_fillColor, back)));
        return;
    }
    switch (m_fillKind) {
    case fkParentColor:
        canvas.fillRect(r, QColor::fromRgba(parentColor));
        break;
    case fkSolid:
        canvas.fillRect(r, QColor::fromRgba(m_fillColor));
        break;
    case fkDither:
        canvas.fillRect(r, QBrush(DitherTexture(m_fillColor, m_fillSecondColor)));
        break;
    case fkGradientHorz:
    case fkGradientVert: {
        const QPointF end = m_fillKind == fkGradientHorz ? QPointF(rect.Right, rect.Top) : QPointF(rect.Left, rect.Bottom);
        QLinearGradient gradient(QPointF(rect.Left, rect.Top), end);
        gradient.setColorAt(0, QColor::fromRgba(m_fillColor));
        gradient.setColorAt(1, QColor::fromRgba(m_fillSecondColor));
        canvas.fillRect(r, gradient);
        break;
    }
    case fkBitmap:
        if (m_bitmap.isNull())
            canvas.fillRect(r, QColor::fromRgba(parentColor));
        else
            DrawNinePart(canvas, m_bitmap, m_bitmapZones, {tfmStretch, tfmStretch, tfmStretch, tfmStretch, tfmStretch},
                         rect);
        break;
    default:
        break;  // fkClear paints nothing
    }
}

// ---------------------------------------------------------------------------
// TPainterStyle

TPainterStyle::TPainterStyle() : m_shadeColor(GetSystemColor(TSystemColor::BtnHighlight)) {}

void TPainterStyle::ResetValue(TPainterStyleValue value) {
    switch (value) {
    case svCaptionShade:
        SetCaptionShade(okNone);
        break;
    case svContentOffset:
        SetContentOffset(okNone);
        break;
    case svImageEffects:
        SetImageEffects(0);
        break;
    case svOptions:
        SetOptions(0);
        break;
    case svShadeColor:
        SetShadeColor(GetSystemColor(TSystemColor::BtnHighlight));
        break;
    default:
        TBackground::ResetValue(value);
        break;
    }
}

void TPainterStyle::CopyValues(const TBackground& source, TPainterStyleValues mask) {
    TBackground::CopyValues(source, mask);
    const auto* style = dynamic_cast<const TPainterStyle*>(&source);
    if (!style) return;
    if (mask & ValueBit(svCaptionShade)) SetCaptionShade(style->m_captionShade);
    if (mask & ValueBit(svContentOffset)) SetContentOffset(style->m_contentOffset);
    if (mask & ValueBit(svImageEffects)) SetImageEffects(style->m_imageEffects);
    if (mask & ValueBit(svOptions)) SetOptions(style->m_options);
    if (mask & ValueBit(svShadeColor)) SetShadeColor(style->m_shadeColor);
}

// ---------------------------------------------------------------------------
// TPainterStyleEx

TPainterStyleEx::TPainterStyleEx() : m_fontColor(GetSystemColor(TSystemColor::BtnText)) {}

void TPainterStyleEx::Changed(int value) {
    if (value >= 0) m_assigned |= ValueBit(TPainterStyleValue(value));
    TPainterStyle::Changed(value);
}

void TPainterStyleEx::SetAssignedValues(TPainterStyleValues values) {
    if (values == m_assigned) return;
    const TPainterStyleValues cleared = m_assigned & ~values;
    for (int value = svBitmap; value <= svShadeColor; ++value)
        if (cleared & ValueBit(TPainterStyleValue(value))) ResetValue(TPainterStyleValue(value));
    m_assigned = values;
    TPainterStyle::Changed(SeveralValues);
}

void TPainterStyleEx::ResetValue(TPainterStyleValue value) {
    switch (value) {
    case svFontColor:
        SetFontColor(GetSystemColor(TSystemColor::BtnText));
        break;
    case svFontStyle:
        SetFontStyle({});
        break;
    default:
        TPainterStyle::ResetValue(value);
        break;
    }
}

void TPainterStyleEx::CopyValues(const TBackground& source, TPainterStyleValues mask) {
    TPainterStyle::CopyValues(source, mask);
    const auto* style = dynamic_cast<const TPainterStyleEx*>(&source);
    if (!style) return;
    if (mask & ValueBit(svFontColor)) SetFontColor(style->m_fontColor);
    if (mask & ValueBit(svFontStyle)) SetFontStyle(style->m_fontStyle);
}

// ---------------------------------------------------------------------------
// TPainterStyles

TPainterStyles::TPainterStyles() {
    m_adapt.OnChange = [this](int) { StyleChanged(); };
    for (TPainterStyleEx* style : {&m_checked, &m_disabled, &m_focused, &m_hot, &m_pressed})
        style->OnChange = [this](int) { StyleChanged(); };
}

void TPainterStyles::StyleChanged() {
    m_cache.clear();
    if (OnChange) OnChange();
}

const TPainterStyle& TPainterStyles::StyleFor(TClientState state, const QFont& font, TColor fontColor,
                                              TPushStylerOptions options) {
    if (const auto cached = m_cache.find(state); cached != m_cache.end()) return *cached->second;
    // The state styles that apply, in order; walked from the last.
    const TPainterStyleEx* list[3];
    int count = 0;
    const bool checked = state & psChecked;
    if (checked) list[count++] = &m_checked;
    if (state & psDisabled) {
        list[count++] = &m_disabled;
    } else {
        if (state & psFocused) list[count++] = &m_focused;
        if (state & psPressed)
            list[count++] = &m_pressed;
        else if (state & psHot)
            list[count++] = &m_hot;
    }
    std::unique_ptr<TPainterStyleEx> combined;
    TPainterStyleValues taken = 0;
    for (int i = count - 1; i >= 0; --i) {
        const TPainterStyleEx& style = *list[i];
        TPainterStyleValues values = style.AssignedValues() & ~taken;
        if (&style == &m_hot && checked) {
            if (options & psoCheckedEdgesOverHot) values &= ~EdgeValues;
            if (options & psoCheckedFillOverHot) values &= ~FillValues;
        }
        if (values == 0) continue;
        if (!combined) {
            combined = std::make_unique<TPainterStyleEx>();
            combined->AssignValues(m_adapt, AllStyleValues);
            combined->SetFontColor(fontColor);
            combined->SetFontStyle(FontStylesOf(font));
        }
        combined->AssignValues(style, values);
        taken |= values;
    }
    if (!combined) return m_adapt;
    return *m_cache.emplace(state, std::move(combined)).first->second;
}

// ---------------------------------------------------------------------------
// Stylers

TStyler::TStyler(QObject* parent) : QObject(parent), m_fontColor(GetSystemColor(TSystemColor::BtnText)) {}

TFontStyles FontStylesOf(const QFont& font) {
    TFontStyles styles;
    if (font.bold()) styles |= TFontStyle::Bold;
    if (font.italic()) styles |= TFontStyle::Italic;
    if (font.underline()) styles |= TFontStyle::Underline;
    if (font.strikeOut()) styles |= TFontStyle::StrikeOut;
    return styles;
}

void TStyler::StylerChanged(uint32_t flags) {
    const bool transparent = IsThemed();
    if (transparent != m_lastTransparent) {
        m_lastTransparent = transparent;
        flags |= pcTransparency;
    }
    m_notifier.PostFlags(flags);
}

void TStyler::SetCursor(Qt::CursorShape value) {
    if (value == m_cursor) return;
    m_cursor = value;
    StylerChanged(pcCursor);
}

void TStyler::SetFont(const QFont& value) {
    if (value == m_font) return;
    m_font = value;
    FontChanged();
    StylerChanged(pcRepaint | pcResize);
}

void TStyler::SetFontColor(TColor value) {
    if (value == m_fontColor) return;
    m_fontColor = value;
    FontChanged();
    StylerChanged(pcRepaint | pcResize);
}

void TStyler::SetMode(TStylerMode value) {
    if (value == m_mode) return;
    m_mode = value;
    StylerChanged(pcRepaint | pcResize);
}

void TStyler::SetOptions(TStylerOptions value) {
    if (value == m_options) return;
    m_options = value;
    StylerChanged(pcRepaint | pcResize);
}

TStaticStyler::TStaticStyler(QObject* parent) : TStyler(parent) {
    m_style.OnChange = [this](int) { StylerChanged(pcRepaint | pcResize); };
}

bool TStaticStyler::IsThemed() const { return TStyler::IsThemed() || m_style.IsSeeThrough(); }

TPushStyler::TPushStyler(QObject* parent) : TStyler(parent) {
    m_styles.OnChange = [this] { StylerChanged(pcRepaint | pcResize); };
}

void TPushStyler::SetOptionsEx(TPushStylerOptions value) {
    if (value == m_optionsEx) return;
    m_optionsEx = value;
    m_styles.ClearCache();  // the combined styles depend on the options
    StylerChanged(pcRepaint | pcResize);
}

bool TPushStyler::IsThemed() const {
    if (TStyler::IsThemed()) return true;
    for (const TPainterStyle* style : m_styles.All())
        if (style->IsSeeThrough()) return true;
    return false;
}

const TPainterStyle& TPushStyler::StyleFor(TClientState state) {
    return m_styles.StyleFor(state, Font(), FontColor(), m_optionsEx);
}
