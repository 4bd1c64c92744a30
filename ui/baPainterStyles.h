#pragma once
// The look of painted buttons: a background (fill and edges), extended by
// caption and content settings into a style, one style per button state; and
// the stylers, which hand a painter the style for a client's state and tell
// their listeners when anything changes.

#include "core/cuColors.h"
#include "core/cuDeviceContextManager.h"
#include "core/cuNotifier.h"
#include "core/cuTypes.h"
#include "ui/baPainters.h"

#include <QFont>
#include <QImage>
#include <QObject>

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>

class QPainter;

enum TFillKind : uint8_t {
    fkParentColor,
    fkSolid,
    fkClear,
    fkDither,
    fkGradientHorz,
    fkGradientVert,
    fkBDiagonal,
    fkFDiagonal,
    fkGrid,
    fkBitmap,
};

enum TEdgeKind : uint8_t { ekNone, ekLowered, ekRaised, ekSpace, ekDot, ekRound, ekSolid };

// Sides of a rectangle (a set).
enum TEdge : uint8_t { eLeft = 1, eTop = 2, eRight = 4, eBottom = 8 };
using TEdges = uint8_t;
constexpr TEdges AllEdges = eLeft | eTop | eRight | eBottom;

enum TOffsetKind : uint8_t { okNone, okYes, okInClassicMode, okBack };

// Image effects (a set).
enum TPainterStyleImageEffect : uint8_t { pieDisable = 1, pieGray = 2, pieLight = 4, pieFocus = 8 };
using TPainterStyleImageEffects = uint8_t;

// Style options (a set).
enum TPainterStyleOption : uint8_t { psoFillUnderEdges = 1, psoBkColorTransparent = 2, psoFocusRect = 4 };
using TPainterStyleOptions = uint8_t;

// The values of a style, by ordinal; a set of them is a 16-bit mask.
enum TPainterStyleValue : uint8_t {
    svBitmap,
    svBitmapZones,
    svEdgeColor,
    svEdgeOuter,
    svEdgeInner,
    svEdges,
    svFillColor,
    svFillKind,
    svFillSecondColor,
    svCaptionShade,
    svContentOffset,
    svFontColor,
    svFontStyle,
    svImageEffects,
    svOptions,
    svShadeColor,
};
using TPainterStyleValues = uint16_t;
constexpr TPainterStyleValues ValueBit(TPainterStyleValue value) noexcept { return TPainterStyleValues(1u << value); }
constexpr TPainterStyleValues AllStyleValues = 0xFFFF;
constexpr TPainterStyleValues EdgeValues =
    ValueBit(svEdgeColor) | ValueBit(svEdgeOuter) | ValueBit(svEdgeInner) | ValueBit(svEdges);
constexpr TPainterStyleValues FillValues = ValueBit(svFillColor) | ValueBit(svFillKind) | ValueBit(svFillSecondColor);
// The ordinal Changed receives when several values changed at once.
constexpr int SeveralValues = -1;

enum TStylerMode : uint8_t { smClassic, smThemeHeader, smThemeStdBtn, smThemeToolBtn, smThemeStatusPane };

enum TStylerOption : uint8_t { soAllowFrameDefault = 1, soChevronArrows = 2, soLargeSigns = 4 };
using TStylerOptions = uint8_t;

enum TPushStylerOption : uint8_t { psoCheckedEdgesOverHot = 1, psoCheckedFillOverHot = 2 };
using TPushStylerOptions = uint8_t;

// The hatch patterns: 8 rows of 8 pixels, top first, bit 7 the leftmost.
using THatchRows = std::array<uint8_t, 8>;
constexpr THatchRows BDiagonalRows{0x07, 0x0E, 0x1C, 0x38, 0x70, 0xE1, 0xC3, 0x83};
constexpr THatchRows FDiagonalRows{0x83, 0xC1, 0xE0, 0x70, 0x38, 0x1C, 0x0E, 0x07};
constexpr THatchRows GridRows{0x00, 0x00, 0x22, 0x00, 0x00, 0x00, 0x22, 0x00};

// ---------------------------------------------------------------------------
// Backgrounds and styles

// Fill and edges of a rectangle.
class TBackground {
public:
    TBackground();
    virtual ~TBackground() = default;
    TBackground(const TBackground&) = delete;
    TBackground& operator=(const TBackground&) = delete;

    // A new object of the same class with default values.
    virtual std::unique_ptr<TBackground> Create() const { return std::make_unique<TBackground>(); }

    // Fired with the ordinal of the changed value (SeveralValues for several).
    std::function<void(int value)> OnChange;

    TColor EdgeColor() const noexcept { return m_edgeColor; }
    TEdgeKind EdgeInner() const noexcept { return m_edgeInner; }
    TEdgeKind EdgeOuter() const noexcept { return m_edgeOuter; }
    TEdges Edges() const noexcept { return m_edges; }
    TColor FillColor() const noexcept { return m_fillColor; }
    TFillKind FillKind() const noexcept { return m_fillKind; }
    TColor FillSecondColor() const noexcept { return m_fillSecondColor; }
    const QImage& Bitmap() const noexcept { return m_bitmap; }
    // Zone sizes at the left, top, right and bottom (not a rectangle).
    const TRect& BitmapZones() const noexcept { return m_bitmapZones; }

    void SetEdgeColor(TColor value) { Set(m_edgeColor, value, svEdgeColor); }
    void SetEdgeInner(TEdgeKind value) { Set(m_edgeInner, value, svEdgeInner); }
    void SetEdgeOuter(TEdgeKind value) { Set(m_edgeOuter, value, svEdgeOuter); }
    void SetEdges(TEdges value) { Set(m_edges, TEdges(value & AllEdges), svEdges); }
    void SetFillColor(TColor value) { Set(m_fillColor, value, svFillColor); }
    void SetFillKind(TFillKind value) { Set(m_fillKind, value, svFillKind); }
    void SetFillSecondColor(TColor value) { Set(m_fillSecondColor, value, svFillSecondColor); }
    void SetBitmap(const QImage& value);
    void SetBitmapZones(const TRect& value);

    virtual bool GetBkColorTransparent() const { return false; }
    virtual bool GetFillUnderEdges() const { return false; }
    // Back to the default of the value.
    virtual void ResetValue(TPainterStyleValue value);
    // Copies the values in mask from source, then announces SeveralValues once.
    void AssignValues(const TBackground& source, TPainterStyleValues mask);

    // Whether the parent shows through: a clear fill; a hatch whose
    // background colour is left out; or, with at least one side, a spaced,
    // dotted or round edge while the fill stays inside the edges.
    bool IsSeeThrough() const;
    // The rectangle less the edges: on each side in Edges, one pixel for a
    // non-empty inner and one for a non-empty outer edge.
    TRect ContentRect(const TRect& rect) const;
    // Paints fill and edges into rect, with the parent's colour for
    // fkParentColor; a default frame is a one-pixel window-frame line around
    // it all. Returns the content rectangle.
    TRect Paint(QPainter& canvas, const TRect& rect, TColor parentColor, bool defaultFrame = false) const;

protected:
    // Fires OnChange unless values are being assigned.
    virtual void Changed(int value);
    // Copies this class's share of the values in mask.
    virtual void CopyValues(const TBackground& source, TPainterStyleValues mask);
    bool Assigning() const noexcept { return m_updateCount > 0; }

    template <class T>
    void Set(T& field, T value, TPainterStyleValue ordinal) {
        if (field == value) return;
        field = value;
        Changed(ordinal);
    }

private:
    void PaintEdges(QPainter& canvas, TRect& rect) const;
    void PaintFill(QPainter& canvas, const TRect& rect, TColor parentColor) const;

    TColor m_edgeColor;
    TEdgeKind m_edgeInner = ekNone;
    TEdgeKind m_edgeOuter = ekNone;
    TEdges m_edges = AllEdges;
    TColor m_fillColor;
    TFillKind m_fillKind = fkParentColor;
    TColor m_fillSecondColor;
    QImage m_bitmap;
    TRect m_bitmapZones;
    int m_updateCount = 0;
};

// A background with caption and content settings.
class TPainterStyle : public TBackground {
public:
    TPainterStyle();
    std::unique_ptr<TBackground> Create() const override { return std::make_unique<TPainterStyle>(); }

    TOffsetKind CaptionShade() const noexcept { return m_captionShade; }
    TOffsetKind ContentOffset() const noexcept { return m_contentOffset; }
    TPainterStyleImageEffects ImageEffects() const noexcept { return m_imageEffects; }
    TPainterStyleOptions Options() const noexcept { return m_options; }
    TColor ShadeColor() const noexcept { return m_shadeColor; }

    void SetCaptionShade(TOffsetKind value) { Set(m_captionShade, value, svCaptionShade); }
    void SetContentOffset(TOffsetKind value) { Set(m_contentOffset, value, svContentOffset); }
    void SetImageEffects(TPainterStyleImageEffects value) { Set(m_imageEffects, value, svImageEffects); }
    void SetOptions(TPainterStyleOptions value) { Set(m_options, value, svOptions); }
    void SetShadeColor(TColor value) { Set(m_shadeColor, value, svShadeColor); }

    bool GetBkColorTransparent() const override { return m_options & psoBkColorTransparent; }
    bool GetFillUnderEdges() const override { return m_options & psoFillUnderEdges; }
    void ResetValue(TPainterStyleValue value) override;

protected:
    void CopyValues(const TBackground& source, TPainterStyleValues mask) override;

private:
    TOffsetKind m_captionShade = okNone;
    TOffsetKind m_contentOffset = okNone;
    TPainterStyleImageEffects m_imageEffects = 0;
    TPainterStyleOptions m_options = 0;
    TColor m_shadeColor;
};

// A style that knows which of its values were set: a state style adds only
// those to the look it is combined over.
class TPainterStyleEx : public TPainterStyle {
public:
    TPainterStyleEx();
    std::unique_ptr<TBackground> Create() const override { return std::make_unique<TPainterStyleEx>(); }

    TPainterStyleValues AssignedValues() const noexcept { return m_assigned; }
    // Values whose bit is cleared go back to their defaults.
    void SetAssignedValues(TPainterStyleValues values);
    TColor FontColor() const noexcept { return m_fontColor; }
    TFontStyles FontStyle() const noexcept { return m_fontStyle; }
    void SetFontColor(TColor value) { Set(m_fontColor, value, svFontColor); }
    void SetFontStyle(TFontStyles value) { Set(m_fontStyle, value, svFontStyle); }

    void ResetValue(TPainterStyleValue value) override;

protected:
    void Changed(int value) override;
    void CopyValues(const TBackground& source, TPainterStyleValues mask) override;

private:
    TPainterStyleValues m_assigned = 0;
    TColor m_fontColor;
    TFontStyles m_fontStyle;
};

// The styles of a font: bold, italic, underline, strike-out.
TFontStyles FontStylesOf(const QFont& font);

// The client state a push button is in (TPainterState bits).
using TClientState = uint8_t;

// The base look and one style per push-button state, with the combined
// styles cached by state.
class TPainterStyles {
public:
    TPainterStyles();
    TPainterStyles(const TPainterStyles&) = delete;
    TPainterStyles& operator=(const TPainterStyles&) = delete;

    // Fired after any of the six styles changed (the cache is empty then).
    std::function<void()> OnChange;

    TPainterStyle& Adapt() noexcept { return m_adapt; }
    TPainterStyleEx& Checked() noexcept { return m_checked; }
    TPainterStyleEx& Disabled() noexcept { return m_disabled; }
    TPainterStyleEx& Focused() noexcept { return m_focused; }
    TPainterStyleEx& Hot() noexcept { return m_hot; }
    TPainterStyleEx& Pressed() noexcept { return m_pressed; }
    // The six styles, Adapt first.
    std::array<const TPainterStyle*, 6> All() const noexcept {
        return {&m_adapt, &m_checked, &m_disabled, &m_focused, &m_hot, &m_pressed};
    }

    // The look for a state: the state styles that apply (Checked; then
    // Disabled, or Focused and Pressed or Hot) over Adapt, later ones first,
    // each adding the values no later one set; Adapt itself when none adds
    // anything. A combined style starts with the font's colour and style.
    const TPainterStyle& StyleFor(TClientState state, const QFont& font, TColor fontColor, TPushStylerOptions options);
    int CachedCount() const noexcept { return int(m_cache.size()); }
    void ClearCache() { m_cache.clear(); }

private:
    void StyleChanged();

    TPainterStyle m_adapt;
    TPainterStyleEx m_checked, m_disabled, m_focused, m_hot, m_pressed;
    std::map<TClientState, std::unique_ptr<TPainterStyleEx>> m_cache;
};

// ---------------------------------------------------------------------------
// Stylers

class TStyler : public QObject {
public:
    explicit TStyler(QObject* parent = nullptr);

    // Painters listen here for TFlagsNotify flag words; a nil batch says the styler goes.
    TNotifier& Notifier() noexcept { return m_notifier; }

    Qt::CursorShape Cursor() const noexcept { return m_cursor; }
    const QFont& Font() const noexcept { return m_font; }
    TColor FontColor() const noexcept { return m_fontColor; }
    TStylerMode Mode() const noexcept { return m_mode; }
    TStylerOptions Options() const noexcept { return m_options; }
    void SetCursor(Qt::CursorShape value);
    void SetFont(const QFont& value);
    void SetFontColor(TColor value);
    void SetMode(TStylerMode value);
    void SetOptions(TStylerOptions value);

    // Whether painting goes through the platform style (themes count as enabled).
    bool DrawsWithThemes() const noexcept { return m_mode != smClassic; }
    // Whether painted controls must be transparent: a theme mode, or a
    // see-through style (descendants add theirs).
    virtual bool IsThemed() const { return DrawsWithThemes(); }
    // The transparency answer as last announced.
    bool LastTransparent() const noexcept { return m_lastTransparent; }
    // The style for a client state.
    virtual const TPainterStyle& StyleFor(TClientState state) = 0;

protected:
    // Posts flags, with pcTransparency added when the transparency answer changed.
    void StylerChanged(uint32_t flags);
    // A change of the font, before it is announced.
    virtual void FontChanged() {}

private:
    TNotifier m_notifier;
    Qt::CursorShape m_cursor = Qt::ArrowCursor;
    QFont m_font;
    TColor m_fontColor;
    TStylerMode m_mode = smClassic;
    TStylerOptions m_options = 0;
    bool m_lastTransparent = false;
};

// One style for every state.
class TStaticStyler : public TStyler {
public:
    explicit TStaticStyler(QObject* parent = nullptr);
    TPainterStyle& Style() noexcept { return m_style; }
    bool IsThemed() const override;
    const TPainterStyle& StyleFor(TClientState) override { return m_style; }

private:
    TPainterStyle m_style;
};

// A style per push-button state.
class TPushStyler : public TStyler {
public:
    explicit TPushStyler(QObject* parent = nullptr);
    TPainterStyles& Styles() noexcept { return m_styles; }
    TPushStylerOptions OptionsEx() const noexcept { return m_optionsEx; }
    void SetOptionsEx(TPushStylerOptions value);
    bool IsThemed() const override;
    const TPainterStyle& StyleFor(TClientState state) override;

protected:
    // The combined styles copied the old font's colour and style.
    void FontChanged() override { m_styles.ClearCache(); }

private:
    TPainterStyles m_styles;
    TPushStylerOptions m_optionsEx = 0;
};
