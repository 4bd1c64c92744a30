#include "scheme/diCanvas.h"

#include "core/cuDeviceContextManager.h"
#include "core/cuUtils.h"
#include "platform/plImageList.h"
#include "platform/plSystemColors.h"
#include "scheme/diThemes.h"
#include "scheme/diUtils.h"

#include <QPaintEngine>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <utility>

QString GetThemesFolder() { return GetProgramDir() + QStringLiteral("Themes/"); }

void FontSizeScale(int step, int& pointDelta, int& percent) noexcept {
    switch (step) {
    case fssLarge: pointDelta = 2, percent = 140; break;
    case fssGreat: pointDelta = 4, percent = 180; break;
    default: pointDelta = 0, percent = 100; break;
    }
}

int ScaleToFontSizeStep(int step, int value) noexcept {
    int delta, percent;
    FontSizeScale(step, delta, percent);
    return value * percent / 100;
}

namespace {

QStringList FontSizeNames() { return {QString(), QStringLiteral("Large"), QStringLiteral("Great")}; }

}  // namespace

// ---------------------------------------------------------------------------
// TSheetSettings

T_CLASS_IMPL(TSheetSettings, TProperty)

TSheetSettings::~TSheetSettings() = default;

void TSheetSettings::CreateProperties() {
    m_theme = Create<TStringProperty>(this, QStringLiteral("Theme"), QStringLiteral("Default"));
    m_fontSize = Create<TEnumProperty>(this, QStringLiteral("FontSize"), FontSizeNames());
    m_nonPrinting = Create<TBooleanProperty>(this, QStringLiteral("NonPrintingCharacters"), false);
    m_caretSize = Create<TIntegerProperty>(this, QStringLiteral("CaretSize"), GetSystemBorderWidth(), 1, 20);
    m_focusNew = Create<TBooleanProperty>(this, QStringLiteral("FocusNew"), false);
    m_dropDownOnFocusNew = Create<TBooleanProperty>(this, QStringLiteral("DropDownOnFocusNew"), true);
    m_increaseWorkspaceHeight = Create<TBooleanProperty>(this, QStringLiteral("IncreaseWorkspaceHeight"), true);
}

void TSheetSettings::BeforeDestruction() {
    ReleaseAttributes();
    m_loadedTheme.reset();
    TProperty::BeforeDestruction();
}

namespace {
const QString& DefaultThemeName() {
    static const QString name = QStringLiteral("Default");
    return name;
}

// The loaded name shares its characters with the setting it was taken from,
// so the check every layout and paint step makes is mostly one comparison.
bool SameThemeName(const QString& loaded, const QString& wanted) noexcept {
    return (loaded.constData() == wanted.constData() && loaded.size() == wanted.size()) || loaded == wanted;
}
}  // namespace

const QString& TSheetSettings::WantedThemeName() const noexcept {
    return m_theme ? m_theme->Value() : DefaultThemeName();
}

TSheetTheme& TSheetSettings::LoadTheme(const QString& name) {
    if (m_loadedTheme) {
        // The same name in other characters (set anew): kept, sharing them.
        if (SameThemeName(m_loadedThemeName, name))
            m_loadedThemeName = name;
        else
            DropTheme();
    }
    if (!m_loadedTheme) {
        auto theme = std::make_unique<TSheetTheme>();
        if (name.compare(QLatin1String("Default"), Qt::CaseInsensitive) == 0)
            theme->LoadFromResource(TSheetTheme::DefaultThemeResource);
        else
            // The name comes from a settings file: it names a file in the
            // themes folder and can never lead out of it.
            theme->LoadFromFile(GetThemesFolder() + SanitizeFileName(name) + QStringLiteral(".txt"));
        m_loadedTheme = std::move(theme);
        m_loadedThemeName = name;
        m_loadedStep = -1;
    }
    if (m_loadedStep != (m_fontSize ? m_fontSize->Value() : 0)) {
        // A size read without an announcement: the attributes go with the old scale.
        ReleaseAttributes();
        Rescale();
    }
    return *m_loadedTheme;
}

void TSheetSettings::Rescale() {
    m_loadedStep = m_fontSize ? m_fontSize->Value() : 0;
    int delta, percent;
    FontSizeScale(m_loadedStep, delta, percent);
    if (m_loadedTheme) m_loadedTheme->Scale(delta, percent);
}

int TSheetSettings::ScaleToFontSize(int value) const noexcept {
    return ScaleToFontSizeStep(m_fontSize ? m_fontSize->Value() : 0, value);
}

TRichTextAttributes* TSheetSettings::MakeFontAttributes(int slot) {
    static constexpr int kFontKinds[] = {tfkCode, tfkFixed, tfkArt, tfkComment};  // by slot
    TSheetTheme& theme = GetTheme();  // may drop stale attributes first
    if (!m_attributes[slot]) {
        const TSheetThemeFontData& font = theme.GetFontData(kFontKinds[slot]);
        TRichTextAttributes made;
        if (!font.Name.isEmpty()) made.SetFontName(font.Name);
        made.SetFontSize(font.Size);
        made.SetColor(font.Color);
        made.SetFontStyle(font.Style);
        m_attributes[slot] = AcquireSharedAs(made);
    }
    return m_attributes[slot].get();
}

void TSheetSettings::ReleaseAttributes() {
    for (TAttributesRef<TRichTextAttributes>& a : m_attributes) a.reset();
}

void TSheetSettings::DropTheme() {
    ReleaseAttributes();
    m_loadedTheme.reset();
    m_loadedThemeName.clear();
}

bool TSheetSettings::HandleNodeMessage(int msg, intptr_t p1, intptr_t p2) {
    if (msg == nmPropertyChanged) {
        auto* changed = reinterpret_cast<TProperty*>(p1);
        if (changed && changed == m_theme) {
            DropTheme();
        } else if (changed && changed == m_fontSize) {
            ReleaseAttributes();
            if (m_loadedTheme) Rescale();
        }
    }
    return TProperty::HandleNodeMessage(msg, p1, p2);
}

void TSheetSettings::LoadContent(TKnot* knot) {
    TProperty::LoadContent(knot);
    // Loading sets values without announcing them one by one.
    if (m_loadedTheme && m_loadedThemeName != m_theme->Value()) DropTheme();
    if (m_loadedTheme && m_loadedStep != m_fontSize->Value()) {
        ReleaseAttributes();
        Rescale();
    }
}

// ---------------------------------------------------------------------------
// TPrintSettings

T_CLASS_IMPL(TPrintSettings, TProperty)

void TPrintSettings::CreateProperties() {
    m_theme = Create<TStringProperty>(this, QStringLiteral("Theme"), QStringLiteral("Default"));
    m_fontSize = Create<TEnumProperty>(this, QStringLiteral("FontSize"), FontSizeNames());
    m_scale = Create<TIntegerProperty>(this, QStringLiteral("Scale"), 50, 1, 500);
}

// ---------------------------------------------------------------------------
// TCustomSheetCanvas

TCustomSheetCanvas::TCustomSheetCanvas(TSheetSettings* settings) : m_settings(settings) { Reset(); }

TCustomSheetCanvas::~TCustomSheetCanvas() {
    if (m_bitmapPainter) m_bitmapPainter->end();
}

const QFont& TCustomSheetCanvas::CanvasFont(TCanvasFont font) const { return m_fonts[font]; }

void TCustomSheetCanvas::Reset() {
    m_pictureRuns.Clear();
    m_measuredByText.Clear();
    m_measured.clear();
    const TSheetTheme& theme = Theme();
    m_fonts[cfElement] = theme.GetFontData(tfkElement).MakeFont();
    m_fonts[cfCode] = theme.GetFontData(tfkCode).MakeFont();
    m_fonts[cfFixed] = theme.GetFontData(tfkFixed).MakeFont();
    m_paintFont = m_measureFont = cfNone;
    m_keptAscents = {};
    m_elementLineHeight = MeasureHeight(cfElement);
    m_codeLineHeight = MeasureHeight(cfCode);
    m_fixedLineHeight = MeasureHeight(cfFixed);
}


int TCustomSheetCanvas::MeasureHeight(TCanvasFont font) {
    TDeviceContextManager* dc = DeviceContextManager();
    if (!dc) return 0;
    m_measureFont = font;
    return int(std::lround(dc->Metrics(CanvasFont(font)).height()));
}

int TCustomSheetCanvas::MeasureWidth(TCanvasFont font, const QString& text) {
    TDeviceContextManager* dc = DeviceContextManager();
    if (!dc || text.isEmpty()) return 0;
    m_measureFont = font;
    return int(std::lround(dc->Metrics(CanvasFont(font)).horizontalAdvance(text)));
}

namespace {
// A raster image whose pixels the pass may write as they are: one pixel per
// pixel, the alpha (if any) premultiplied, and not shared with a copy.
bool IsPlainRasterImage(const QImage& image) {
    return (image.format() == QImage::Format_ARGB32_Premultiplied || image.format() == QImage::Format_RGB32) &&
           image.devicePixelRatio() == 1.0 && image.isDetached();
}

// Nothing of rect (logical coordinates) lies outside the clips the painter
// paints through (the system clip, as a widget's repaint sets it, is in the
// image's pixels, shift from rect's).
bool RegionCovers(const QRegion& region, const QRect& rect) {
    // One rectangle (the usual clip of a repaint) answers without region arithmetic.
    if (region.rectCount() == 1) return region.boundingRect().contains(rect);
    return (QRegion(rect) - region).isEmpty();
}

bool ClipsCover(const QPainter& target, const QRect& rect, QPoint shift) {
    if (rect.isEmpty()) return true;
    if (target.hasClipping() && !RegionCovers(target.clipRegion(), rect)) return false;
    const QRegion system = target.paintEngine()->systemClip();
    return system.isEmpty() || RegionCovers(system, rect.translated(shift));
}
}  // namespace

// The image a pass over rect may paint on directly: the raster image behind
// the painter (a window's backing store when the painter is a widget's) when
// the painter only shifts by whole pixels, paints opaquely and lets the pass
// reach every pixel of rect, so that the pixels written past the painter (the
// focus rectangle's) stay inside what is repainted; else nil.
QImage* TCustomSheetCanvas::StraightTarget(const QPainter& target, const TRect& rect) {
    QPaintEngine* engine = target.paintEngine();
    if (!engine || engine->type() != QPaintEngine::Raster) return nullptr;
    QPaintDevice* device = engine->paintDevice();
    if (!device || device->devType() != QInternal::Image) return nullptr;
    auto* image = static_cast<QImage*>(device);
    const QTransform transform = target.deviceTransform();
    if (!IsPlainRasterImage(*image) || transform.type() > QTransform::TxTranslate ||
        transform.dx() != std::trunc(transform.dx()) || transform.dy() != std::trunc(transform.dy()) ||
        target.opacity() != 1.0 || target.compositionMode() != QPainter::CompositionMode_SourceOver ||
        target.renderHints() != QPainter::TextAntialiasing)
        return nullptr;
    return ClipsCover(target, rect.ToQRect(), QPoint(int(transform.dx()), int(transform.dy()))) ? image : nullptr;
}

// On a raster image the background replaces what is there; elsewhere it is
// painted over it (a printer knows no composition). The target's painter is
// prepared when the pass first asks for it: a pass that only fills and draws
// pictures into the pixels leaves it alone.
void TCustomSheetCanvas::BeginOnTarget(QPainter& target, QImage* raster) {
    m_painter = &target;
    m_onTarget = true;
    m_targetPrepared = false;
    m_paintBitmap = QImage();
    m_pixels = raster;
    const QTransform transform = target.deviceTransform();
    m_pixelShift = QPoint(int(transform.dx()), int(transform.dy()));
    if (raster) m_pixelTarget = TPixelTarget::Over(*raster, m_paintRect, m_pixelShift);
    m_fillPending = true;
    m_pendingFill = GetSystemColor(TSystemColor::Window);
    if (!raster) PrepareTarget();
}

// The state QPainter::begin gives, then the clip to the pass (the painter
// not yet moved to the origin: the pass in sheet coordinates).
void TCustomSheetCanvas::PrepareTarget() {
    m_targetPrepared = true;
    QPainter& target = *m_painter;
    target.save();
    target.setPen(QPen());
    target.setBrush(QBrush());
    target.setFont(QFont());
    target.setBrushOrigin(0, 0);
    target.setBackground(QBrush(Qt::white));
    target.setBackgroundMode(Qt::TransparentMode);
    target.setLayoutDirection(Qt::LayoutDirectionAuto);
    const TRect pass{m_paintRect.Left + m_offset.x(), m_paintRect.Top + m_offset.y(), m_paintRect.Right + m_offset.x(),
                     m_paintRect.Bottom + m_offset.y()};
    target.setClipRect(pass.ToQRect(), Qt::IntersectClip);
}

// An opaque colour replaces the pixels the pass paints on; else the painter
// (moved to the current origin, with the state BeginOnTarget gave) fills.
void TCustomSheetCanvas::FillPending() {
    m_fillPending = false;
    if (m_pixels && qAlpha(m_pendingFill) == 255) {
        PixelsHere().Fill(m_paintRect, m_pendingFill);
        return;
    }
    QPainter& painter = Painter();
    if (m_pixels) painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.fillRect(m_paintRect.ToQRect(), QColor::fromRgba(m_pendingFill));
    if (m_pixels) painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
}

const TPixelTarget& TCustomSheetCanvas::PixelsHere() {
    m_pixelTarget.Shift = m_offset + m_pixelShift;
    return m_pixelTarget;
}

const TPixelTarget& TCustomSheetCanvas::Pixels() {
    if (m_fillPending) FillPending();
    return PixelsHere();
}

void TCustomSheetCanvas::BeginPaint(const TRect& rect, QPainter* target, bool anyTarget) {
    if (m_painter) EndPaint(nullptr);
    m_paintRect = rect;
    m_origin = QPoint(rect.Left, rect.Top);
    m_offset = m_translated = QPoint(0, 0);
    m_fillPending = false;
    m_paintFont = cfNone;
    m_passDpi = QSize();
    if (QImage* raster = target ? StraightTarget(*target, rect) : nullptr) {
        BeginOnTarget(*target, raster);
        return;
    }
    if (target && anyTarget) {
        BeginOnTarget(*target, nullptr);
        return;
    }
    m_paintBitmap = QImage(std::max(1, rect.Width()), std::max(1, rect.Height()), QImage::Format_ARGB32_Premultiplied);
    m_paintBitmap.fill(QColor::fromRgba(GetSystemColor(TSystemColor::Window)));
    m_pixels = &m_paintBitmap;
    m_pixelShift = -m_origin;
    m_bitmapPainter = std::make_unique<QPainter>(&m_paintBitmap);
    m_pixelTarget = TPixelTarget::Over(m_paintBitmap, m_paintRect, m_pixelShift);
    m_bitmapPainter->translate(-rect.Left, -rect.Top);
    m_painter = m_bitmapPainter.get();
    m_targetPrepared = true;
}

void TCustomSheetCanvas::EndPaint(QPainter* dc) {
    if (m_painter && m_fillPending) FillPending();
    QPainter* painter = std::exchange(m_painter, nullptr);
    if (!painter) return;
    m_pixels = nullptr;
    m_paintFont = cfNone;
    if (std::exchange(m_onTarget, false)) {
        if (m_targetPrepared) painter->restore();
        return;
    }
    m_bitmapPainter->end();
    m_bitmapPainter.reset();
    if (dc) dc->drawImage(m_origin, m_paintBitmap);
}

QSize TCustomSheetCanvas::LogicalDpi() {
    Q_ASSERT_X(m_painter, "TCustomSheetCanvas", "drawing outside a paint pass");
    if (m_passDpi.isEmpty()) {
        const QPaintDevice* device = m_painter->device();
        if (device) m_passDpi = QSize(device->logicalDpiX(), device->logicalDpiY());
    }
    return m_passDpi;
}

QPainter& TCustomSheetCanvas::Painter() {
    Q_ASSERT_X(m_painter, "TCustomSheetCanvas", "drawing outside a paint pass");
    if (!m_targetPrepared) PrepareTarget();
    if (m_translated != m_offset) {
        m_painter->translate(m_offset - m_translated);
        m_translated = m_offset;
    }
    if (m_fillPending) FillPending();
    return *m_painter;
}

void TCustomSheetCanvas::MoveOrigin(int dx, int dy) {
    m_paintRect = TRect{m_paintRect.Left - dx, m_paintRect.Top - dy, m_paintRect.Right - dx, m_paintRect.Bottom - dy};
    m_offset += QPoint(dx, dy);
}

bool TCustomSheetCanvas::NeedsPaint(const TRect& bounds) const noexcept {
    return bounds.Left < m_paintRect.Right && bounds.Right > m_paintRect.Left && bounds.Top < m_paintRect.Bottom &&
           bounds.Bottom > m_paintRect.Top;
}

// --- text

int TCustomSheetCanvas::SelectPaintFont(TCanvasFont font) {
    if (m_paintFont == font) return m_paintAscent;
    QPainter& p = Painter();
    p.setFont(CanvasFont(font));
    m_paintFont = font;
    const QSize dpi = LogicalDpi();
    TKeptAscent& kept = m_keptAscents[size_t(font)];
    if (kept.Dpi.isEmpty() || kept.Dpi != dpi) kept = {dpi, p.fontMetrics().ascent()};
    m_paintAscent = kept.Ascent;
    return m_paintAscent;
}

void TCustomSheetCanvas::DrawSelectedFontText(int x, int baseline, const QString& text) {
    QPainter& p = Painter();
    // The painter's font: the canvas font as the painter resolved it.
    const QFont& font = p.font();
    if (TKeptGlyphs::DrawsOn(p, font) && TKeptGlyphs::ShapesAlike(text))
        m_keptGlyphs[size_t(m_paintFont)].Draw(p, font, text, x, baseline, LogicalDpi());
    else
        p.drawText(QPoint(x, baseline), text);
}

void TCustomSheetCanvas::TextOutElement(int x, int y, const QString& text) {
    const TSheetThemeFontData& data = Theme().GetFontData(tfkElement);
    const int ascent = SelectPaintFont(cfElement);
    QPainter& p = Painter();
    if (data.SecondColor != clNone) {
        p.setPen(QColor::fromRgba(data.SecondColor));
        DrawSelectedFontText(x + 1, y + 1 + ascent, text);
    }
    p.setPen(QColor::fromRgba(data.Color));
    DrawSelectedFontText(x, y + ascent, text);
}

int TCustomSheetCanvas::TextWidthElement(const QString& text) {
    if (m_measured.size() >= kMeasuredTextLimit) {
        m_measured.clear();
        m_measuredByText.Forget();
    }
    const uint64_t hash = MixHash(uint64_t(qHash(text, 0)));
    auto same = [&text](const TMeasuredText* measured) { return measured->Text == text; };
    auto measure = [&] { return &m_measured.emplace_back(TMeasuredText{text, MeasureWidth(cfElement, text)}); };
    return m_measuredByText.FindOrInsert(hash, same, measure)->Width;
}

int TCustomSheetCanvas::TextWidthElementUncached(const QString& text) { return MeasureWidth(cfElement, text); }

void TCustomSheetCanvas::TextOutFixed(int x, int y, TColor color, const QString& text) {
    const int ascent = SelectPaintFont(cfFixed);
    Painter().setPen(QColor::fromRgba(color));
    DrawSelectedFontText(x, y + ascent, text);
}

int TCustomSheetCanvas::TextWidthFixed(const QString& text) { return MeasureWidth(cfFixed, text); }

void TCustomSheetCanvas::TextOutCode(int x, int y, TColor color, const QString& text) {
    const int ascent = SelectPaintFont(cfCode);
    Painter().setPen(QColor::fromRgba(color));
    DrawSelectedFontText(x, y + ascent, text);
}

int TCustomSheetCanvas::TextWidthCode(const QString& text) { return MeasureWidth(cfCode, text); }

// --- pictures

void TCustomSheetCanvas::DrawBitmap(const QPoint& at, const QImage& bitmap) { Painter().drawImage(at, bitmap); }

void TCustomSheetCanvas::DrawListImage(const QPoint& at, int index, const TImageList& list) {
    if (index >= 0 && index < list.Count()) DrawPicture(at, list.Image(index));
}

void TCustomSheetCanvas::DrawPicture(const QPoint& at, const QImage& picture) {
    if (m_pixels && ComposesAsRuns(picture))
        m_pictureRuns.Of(picture).Draw(Pixels(), at);
    else
        Painter().drawImage(at, picture);
}

void TCustomSheetCanvas::DrawCharImage(const QPoint& at, int index) { DrawListImage(at, index, SchemeCharImages()); }
void TCustomSheetCanvas::DrawSmallImage(const QPoint& at, int index) { DrawListImage(at, index, SchemeSmallImages()); }
void TCustomSheetCanvas::DrawLargeImage(const QPoint& at, int index) { DrawListImage(at, index, SchemeLargeImages()); }

// --- theme

void TCustomSheetCanvas::DrawThemeImage(int kind, const QPoint& at, TColor tint) {
    const QImage& picture = Theme().Picture(kind, tint);
    if (!picture.isNull()) DrawPicture(at, picture);
}

void TCustomSheetCanvas::DrawThemeFrame(int kind, const TRect& rect, TColor tint) {
    const TSheetTheme& theme = Theme();
    if (m_pixels) {
        // A frame covering the whole pass with one opaque colour before
        // anything was drawn only changes the colour of the fill.
        if (m_fillPending)
            if (const QRgb colour = theme.FrameFillsAll(kind, rect, tint, m_paintRect)) {
                m_pendingFill = colour;
                return;
            }
        if (theme.DrawFrame(Pixels(), kind, rect, tint)) return;
    }
    theme.DrawFrame(Painter(), kind, rect, tint, m_paintRect);
}

QSize TCustomSheetCanvas::GetThemeSize(int kind) const { return Theme().GetSize(kind); }
int TCustomSheetCanvas::GetThemeHeight(int kind) const { return Theme().GetSize(kind).height(); }
TRect TCustomSheetCanvas::GetThemeMouseTransparent(int kind) const {
    return Theme().GetElementData(kind).MouseTransparent;
}
int TCustomSheetCanvas::GetThemeMinHeight(int kind) const { return Theme().GetMinHeight(kind); }

// --- blends and shapes

void TCustomSheetCanvas::BlendRect(const TRect& rect, TColor color) {
    if (rect.IsEmpty() || color == clNone) return;
    QPainter& p = Painter();
    p.save();
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    p.fillRect(rect.ToQRect(), QColor::fromRgba(color));
    p.restore();
}

void TCustomSheetCanvas::FillRect(const TRect& rect, TColor color) { BlendRect(rect, color); }

void TCustomSheetCanvas::DrawDisabled(const TRect& rect) { BlendRect(rect, Theme().DisableColor()); }

void TCustomSheetCanvas::DrawSelection(const TRect& rect, bool active) {
    BlendRect(rect, active ? Theme().SelectColor() : Theme().SelectInactiveColor());
}

void TCustomSheetCanvas::DrawRoundRect(const TRect& rect, int radius, TColor frame, TColor fill) {
    if (rect.IsEmpty()) return;
    QPainter& p = Painter();
    p.save();
    p.setRenderHint(QPainter::Antialiasing, radius > 0);
    const bool outline = frame != clNone || radius > 0;
    if (frame == clNone && radius > 0)
        p.setPen(QPen(QColor::fromRgba(GetSystemColor(TSystemColor::WindowText)), 1, Qt::DotLine));
    else if (frame == clNone)
        p.setPen(Qt::NoPen);
    else
        p.setPen(QPen(QColor::fromRgba(frame), 1));
    // A pen draws on the pixel centres of the outermost row; a fill alone covers the whole rectangle.
    const QRectF r = outline ? QRectF(rect.ToQRect()).adjusted(0.5, 0.5, -0.5, -0.5) : QRectF(rect.ToQRect());
    p.setBrush(fill == clNone ? QBrush(Qt::NoBrush) : QBrush(QColor::fromRgba(fill)));
    if (radius > 0)
        p.drawRoundedRect(r, radius, radius);
    else
        p.drawRect(r);
    p.restore();
}

void TCustomSheetCanvas::DrawFocusRect(const TRect& rect) {
    // Every other pixel of the border inverted, as a focus rectangle is drawn.
    if (rect.IsEmpty() || !m_pixels) return;
    if (m_fillPending) FillPending();  // the pixels inverted are those of the fill
    const QPoint shift = m_offset + m_pixelShift;
    const QRect inside = m_paintRect.ToQRect().translated(shift).intersected(m_pixels->rect());
    auto invert = [&](int x, int y) {
        const QPoint at(x + shift.x(), y + shift.y());
        if (!inside.contains(at)) return;
        QRgb* line = reinterpret_cast<QRgb*>(m_pixels->scanLine(at.y()));
        line[at.x()] ^= 0x00FFFFFF;
    };
    // The perimeter walked clockwise from the top left corner.
    int step = 0;
    auto visit = [&](int x, int y) {
        if (step++ % 2 == 0) invert(x, y);
    };
    for (int x = rect.Left; x < rect.Right; ++x) visit(x, rect.Top);
    for (int y = rect.Top + 1; y < rect.Bottom; ++y) visit(rect.Right - 1, y);
    if (rect.Height() > 1)
        for (int x = rect.Right - 2; x >= rect.Left; --x) visit(x, rect.Bottom - 1);
    if (rect.Width() > 1)
        for (int y = rect.Bottom - 2; y > rect.Top; --y) visit(rect.Left, y);
}

void TCustomSheetCanvas::DrawCaret(int kind, const TRect& rect) {
    if (kind == 1) {
        DrawFocusRect(rect);
    } else if (kind == 2) {
        TRect r = rect;
        for (int i = 0; i < 2 && !r.IsEmpty(); ++i) {
            DrawFocusRect(r);
            r = TRect{r.Left + 1, r.Top + 1, r.Right - 1, r.Bottom - 1};
        }
    }
}

// --- image with text

void TCustomSheetCanvas::DrawImageText(int kind, const TRect& rect, const QString& text, int imageIndex) {
    if (imageIndex >= 0) {
        const int x = rect.Left + GetThemePadding(kind).Left;
        const int y = rect.Top + (rect.Height() - SchemeCharImages().Height()) / 2;
        DrawCharImage(QPoint(x, y), imageIndex);
    }
    DrawTextBesideImage(kind, rect, text, imageIndex >= 0);
}

void TCustomSheetCanvas::DrawTextBesideImage(int kind, const TRect& rect, const QString& text, bool withImage) {
    if (text.isEmpty()) return;
    int x = rect.Left + GetThemePadding(kind).Left;
    if (withImage) x += SchemeCharImages().Width() + Theme().GetImageData(0).Size;
    const int y = rect.Top + (rect.Height() - m_codeLineHeight) / 2;
    TextOutCode(x, y, Theme().GetFontData(tfkCode).Color, text);
}

QSize TCustomSheetCanvas::MeasureImageText(int kind, bool withImage, const QString& text) {
    const TRect padding = GetThemePadding(kind);
    int height = std::max(m_codeLineHeight, m_elementLineHeight);
    if (withImage) height = std::max(height, SchemeCharImages().Height());
    height += padding.Top + padding.Bottom;
    if (text.isEmpty() && !withImage) return QSize(height, height);
    int width = padding.Left + padding.Right + TextWidthCode(text);
    if (withImage) width += SchemeCharImages().Width() + Theme().GetImageData(0).Size;
    return QSize(width, height);
}

void InitCanvasUnit() {}
void FinalCanvasUnit() {}
