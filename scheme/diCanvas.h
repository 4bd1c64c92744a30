#pragma once
// The sheet's drawing surface and the settings it draws with. The sheet
// settings ("Sheet") own the loaded theme and the text attributes made from
// its fonts; the print settings ("Print") hold the same kind of choices for
// printing. A canvas paints into a 32-bit image of the area being repainted
// and moves its origin as the paint walks down the visual tree, so elements
// paint in their own coordinates.

#include "core/cuColors.h"
#include "core/cuProps.h"
#include "core/cuTypes.h"
#include "scheme/diHashIndex.h"
#include "scheme/diPixelRuns.h"
#include "scheme/diTextorAttributes.h"
#include "scheme/diThemes.h"

#include <QFont>
#include <QImage>
#include <QPoint>

#include <array>
#include <deque>
#include <memory>
#include <optional>

class QPainter;
class TImageList;

// The folder of theme files: the program's folder and "Themes/".
QString GetThemesFolder();

// Font-size steps of the theme: "" (0 points, 100 %), "Large" (2, 140 %), "Great" (4, 180 %).
enum TFontSizeStep : int { fssNormal = 0, fssLarge = 1, fssGreat = 2 };
void FontSizeScale(int step, int& pointDelta, int& percent) noexcept;
// value, value * 140 / 100 or value * 180 / 100.
int ScaleToFontSizeStep(int step, int value) noexcept;

class TSheetSettings : public TProperty {
    T_CLASS(TSheetSettings)
public:
    TSheetSettings() = default;
    // Adds the leaves; call once after construction.
    void CreateProperties();

    TStringProperty* ThemeProperty() const noexcept { return m_theme; }
    TEnumProperty* FontSizeProperty() const noexcept { return m_fontSize; }
    TBooleanProperty* NonPrintingCharactersProperty() const noexcept { return m_nonPrinting; }
    TIntegerProperty* CaretSizeProperty() const noexcept { return m_caretSize; }
    TBooleanProperty* FocusNewProperty() const noexcept { return m_focusNew; }
    TBooleanProperty* DropDownOnFocusNewProperty() const noexcept { return m_dropDownOnFocusNew; }
    TBooleanProperty* IncreaseWorkspaceHeightProperty() const noexcept { return m_increaseWorkspaceHeight; }

    // The theme named by "Theme", loaded on first use and scaled by
    // "FontSize": "Default" (any case) is the built-in theme, any other name
    // the file GetThemesFolder() + name + ".txt". A missing file raises the
    // file error; the next use tries again.
    // Every layout and paint step asks, so the check of the loaded theme is
    // made where it is asked (loading is kept out of line).
    TSheetTheme& GetTheme() {
        if (TSheetTheme* theme = CurrentTheme()) [[likely]]
            return *theme;
        return LoadTheme(WantedThemeName());
    }
    bool HasLoadedTheme() const noexcept { return bool(m_loadedTheme); }
    // Shared attributes made from the theme's fonts on first use; the
    // settings hold one reference each.
    TRichTextAttributes* GetCodeTextAttributes() { return FontAttributes(kCodeSlot); }
    TRichTextAttributes* GetFixedTextAttributes() { return FontAttributes(kFixedSlot); }
    TRichTextAttributes* GetArtTextAttributes() { return FontAttributes(kArtSlot); }
    TRichTextAttributes* GetCommentTextAttributes() { return FontAttributes(kCommentSlot); }
    int ScaleToFontSize(int value) const noexcept;

    // "Theme" drops the theme and the attributes; "FontSize" drops the
    // attributes and re-scales the loaded theme. Then the section announces.
    bool HandleNodeMessage(int msg, intptr_t p1, intptr_t p2) override;
    void LoadContent(TKnot* knot) override;
    void BeforeDestruction() override;

protected:
    ~TSheetSettings() override;

private:
    enum : int { kCodeSlot = 0, kFixedSlot = 1, kArtSlot = 2, kCommentSlot = 3 };
    const QString& WantedThemeName() const noexcept;
    // The loaded theme while it is the one the settings name at their font
    // size; else nil. The loaded name shares its characters with the setting
    // it was taken from: the same characters are the same name (any other
    // name is compared out of line, by LoadTheme).
    TSheetTheme* CurrentTheme() const noexcept {
        if (!m_loadedTheme || !m_theme) [[unlikely]]
            return nullptr;
        const QString& name = m_theme->Value();
        const bool sameCharacters = m_loadedThemeName.data_ptr().data() == name.data_ptr().data() &&
                                    m_loadedThemeName.size() == name.size();
        const bool sameStep = m_loadedStep == (m_fontSize ? m_fontSize->Value() : 0);
        return sameCharacters && sameStep ? m_loadedTheme.get() : nullptr;
    }
    // The attributes of a slot, made once; kept while the theme is current
    // (a theme found stale drops them first).
    TRichTextAttributes* FontAttributes(int slot) {
        if (TRichTextAttributes* kept = m_attributes[slot].get(); kept && CurrentTheme()) [[likely]]
            return kept;
        return MakeFontAttributes(slot);
    }
    [[gnu::noinline]] TRichTextAttributes* MakeFontAttributes(int slot);
    void ReleaseAttributes();
    void DropTheme();
    // GetTheme's slow way: the theme named loaded (or kept when only the
    // name's characters are new) and scaled to the font size.
    [[gnu::noinline, gnu::cold]] TSheetTheme& LoadTheme(const QString& name);
    void Rescale();

    TStringProperty* m_theme = nullptr;
    TEnumProperty* m_fontSize = nullptr;
    TBooleanProperty* m_nonPrinting = nullptr;
    TIntegerProperty* m_caretSize = nullptr;
    TBooleanProperty* m_focusNew = nullptr;
    TBooleanProperty* m_dropDownOnFocusNew = nullptr;
    TBooleanProperty* m_increaseWorkspaceHeight = nullptr;

    std::unique_ptr<TSheetTheme> m_loadedTheme;
    QString m_loadedThemeName;
    int m_loadedStep = 0;
    TAttributesRef<TRichTextAttributes> m_attributes[4];
};

class TPrintSettings : public TProperty {
    T_CLASS(TPrintSettings)
public:
    TPrintSettings() = default;
    void CreateProperties();

    TStringProperty* ThemeProperty() const noexcept { return m_theme; }
    TEnumProperty* FontSizeProperty() const noexcept { return m_fontSize; }
    TIntegerProperty* ScaleProperty() const noexcept { return m_scale; }

protected:
    ~TPrintSettings() override = default;

private:
    TStringProperty* m_theme = nullptr;
    TEnumProperty* m_fontSize = nullptr;
    TIntegerProperty* m_scale = nullptr;
};

// Fonts a canvas selects on its bitmaps.
enum TCanvasFont : int { cfNone = 0, cfElement = 1, cfCode = 2, cfFixed = 3 };

class TCustomSheetCanvas : public ITextCanvas {
public:
    explicit TCustomSheetCanvas(TSheetSettings* settings);
    virtual ~TCustomSheetCanvas();
    TCustomSheetCanvas(const TCustomSheetCanvas&) = delete;
    TCustomSheetCanvas& operator=(const TCustomSheetCanvas&) = delete;

    TSheetSettings* Settings() const noexcept { return m_settings; }
    TSheetTheme& Theme() const { return m_settings->GetTheme(); }

    // Takes the theme's fonts again, clears the width cache and the font
    // markers and measures the line heights of "0" in the element, code and
    // fixed fonts again. The sheet runs it when its settings change.
    void Reset();

    // Starts a paint pass over rect (sheet coordinates): a bitmap of its size
    // filled with the window colour whose origin is rect's top left. When a
    // target is given that paints on a 32-bit image (its own, or a window's
    // backing store behind a widget), in sheet coordinates moved by whole
    // pixels, without opacity or composition of its own, with a fresh
    // painter's hints and clips that leave all of rect, the pass paints on
    // the target instead (the same pixels, without a bitmap and its copy):
    // from a fresh painter's state, clipped to rect, which is filled with the
    // window colour first. With anyTarget the pass paints on the
    // target whatever its device, transform and clip (printing): within its
    // clip and rect, without the pixel-wise focus rectangles.
    // On a 32-bit image, frames, list and theme pictures and the fill are
    // written straight into the pixels within rect: an element that clips the
    // painter or changes its composition must draw through the painter alone.
    void BeginPaint(const TRect& rect, QPainter* target = nullptr, bool anyTarget = false);
    // Copies the bitmap to dc at the pass's top left and frees it (without a
    // dc it is only freed); a pass painted on its target gives the target its
    // state back.
    void EndPaint(QPainter* dc);
    bool IsPainting() const noexcept { return m_painter != nullptr; }
    // Whether the pass paints on the target given to BeginPaint.
    bool PaintsOnTarget() const noexcept { return m_onTarget; }
    // The bitmap of the pass (for tests and for saving the sheet as a
    // picture); a null image while a pass paints on its target.
    const QImage& PaintBitmap() const noexcept { return m_paintBitmap; }
    QPainter& Painter() override;
    QSize LogicalDpi() override;

    // Shifts the origin by (dx, dy) and the paint rectangle by (-dx, -dy).
    // The painter follows when it is next asked for (Painter()), so that an
    // element that draws nothing itself costs it no translation.
    void MoveOrigin(int dx, int dy);
    QPoint Offset() const noexcept { return m_offset; }
    // The paint rectangle in the current element's coordinates.
    const TRect& GetPaintRect() const noexcept { return m_paintRect; }
    // Whether bounds (current coordinates) meet the paint rectangle.
    bool NeedsPaint(const TRect& bounds) const noexcept;

    // Text in the theme's fonts.
    void TextOutElement(int x, int y, const QString& text);
    int TextWidthElement(const QString& text);
    int TextWidthElementUncached(const QString& text);
    int CachedWidthCount() const noexcept { return int(m_measured.size()); }
    // The most element texts kept measured: a sheet of more distinct texts
    // starts the cache over, so that its look-ups stay in the processor's
    // caches however many elements the sheet shows.
    static constexpr size_t kMeasuredTextLimit = 4096;
    void TextOutFixed(int x, int y, TColor color, const QString& text);
    int TextWidthFixed(const QString& text);
    void TextOutCode(int x, int y, TColor color, const QString& text);
    int TextWidthCode(const QString& text);
    int ElementLineHeight() const noexcept { return m_elementLineHeight; }
    int CodeLineHeight() const noexcept { return m_codeLineHeight; }
    int FixedLineHeight() const noexcept { return m_fixedLineHeight; }

    // Pictures.
    void DrawBitmap(const QPoint& at, const QImage& bitmap);
    void DrawListImage(const QPoint& at, int index, const TImageList& list);
    void DrawCharImage(const QPoint& at, int index);
    void DrawSmallImage(const QPoint& at, int index);
    void DrawLargeImage(const QPoint& at, int index);

    // Theme.
    void DrawThemeImage(int kind, const QPoint& at, TColor tint = clNone);
    void DrawThemeFrame(int kind, const TRect& rect, TColor tint = clNone);
    QSize GetThemeSize(int kind) const;
    int GetThemeHeight(int kind) const;
    // Every layout step asks for these: inline.
    TRect GetThemeMargins(int kind) const { return Theme().GetElementData(kind).Margins; }
    TRect GetThemePadding(int kind) const { return Theme().GetElementData(kind).Padding; }
    TRect GetThemeMouseTransparent(int kind) const;
    int GetThemeMinWidth(int kind) const { return Theme().GetMinWidth(kind); }
    int GetThemeMinHeight(int kind) const;
    // See TSheetTheme::SizeDependentEdge.
    int GetThemeSizeEdge(int kind) const { return Theme().SizeDependentEdge(kind); }

    // Blends.
    void DrawDisabled(const TRect& rect);
    void DrawSelection(const TRect& rect, bool active) override;
    void BlendRect(const TRect& rect, TColor color);
    // Fills rect with color; a colour with alpha blends.
    void FillRect(const TRect& rect, TColor color) override;
    // A rectangle with corner radius, frame colour and fill colour; clNone
    // means no frame (a dotted frame when rounded) or no fill.
    void DrawRoundRect(const TRect& rect, int radius, TColor frame, TColor fill);

    // Carets: kind 1 one dotted focus rectangle; kind 2 up to two nested ones,
    // each one pixel inside the other, while the rectangle is not empty.
    void DrawCaret(int kind, const TRect& rect);
    void DrawFocusRect(const TRect& rect);

    // Image with text inside a kind's padding.
    void DrawImageText(int kind, const TRect& rect, const QString& text, int imageIndex);
    void DrawTextBesideImage(int kind, const TRect& rect, const QString& text, bool withImage);
    QSize MeasureImageText(int kind, bool withImage, const QString& text);

private:
    const QFont& CanvasFont(TCanvasFont font) const;
    static QImage* StraightTarget(const QPainter& target, const TRect& rect);
    void BeginOnTarget(QPainter& target, QImage* raster);
    void PrepareTarget();
    void FillPending();
    // The pixels the pass paints on (while m_pixels is set) at the current
    // origin; Pixels() makes the pending fill first.
    const TPixelTarget& PixelsHere();
    const TPixelTarget& Pixels();
    // A premultiplied picture with its top left at `at`.
    void DrawPicture(const QPoint& at, const QImage& picture);
    // Sets the font on the painter unless it is set; answers its ascent there.
    int SelectPaintFont(TCanvasFont font);
    // Draws text in the selected font and the painter's pen at (x, baseline),
    // from kept glyphs where they give QPainter::drawText's pixels.
    void DrawSelectedFontText(int x, int baseline, const QString& text);
    int MeasureWidth(TCanvasFont font, const QString& text);
    int MeasureHeight(TCanvasFont font);

    TSheetSettings* m_settings;
    QFont m_fonts[4];  // by TCanvasFont, made at reset
    TCanvasFont m_paintFont = cfNone;
    int m_paintAscent = 0;  // of m_paintFont on the painter
    QSize m_passDpi;        // of the pass's device, asked on first need
    // The ascent of each font on a device of the kept resolution, measured
    // once (a measure asks the font database); forgotten at reset.
    struct TKeptAscent {
        QSize Dpi;
        int Ascent = 0;
    };
    std::array<TKeptAscent, 4> m_keptAscents{};  // by TCanvasFont
    std::array<TKeptGlyphs, 4> m_keptGlyphs;  // by TCanvasFont
    TCanvasFont m_measureFont = cfNone;
    int m_fixedLineHeight = 0;
    int m_elementLineHeight = 0;
    int m_codeLineHeight = 0;
    QImage m_paintBitmap;
    std::unique_ptr<QPainter> m_bitmapPainter;
    QPainter* m_painter = nullptr;  // the bitmap's painter or the target
    bool m_onTarget = false;
    bool m_targetPrepared = true;  // the painter has the pass's state (a target's is set when first asked for)
    QImage* m_pixels = nullptr;     // what the pass paints on
    QPoint m_pixelShift;            // from sheet coordinates to m_pixels
    TPixelTarget m_pixelTarget;     // m_pixels within the pass's rectangle
    TPictureRuns m_pictureRuns;     // of the pictures drawn into m_pixels
    QPoint m_origin;
    QPoint m_offset;
    QPoint m_translated;  // the part of m_offset the painter has been moved by
    // A pass on its target fills its rectangle with one colour before the
    // first drawing: the window colour, or the middle of a frame drawn over
    // all of it before anything else was (which would cover the fill).
    bool m_fillPending = false;
    TColor m_pendingFill = 0;
    TRect m_paintRect;
    // Element texts measured since the last reset (at most
    // kMeasuredTextLimit), found by the hash of their characters.
    struct TMeasuredText {
        QString Text;
        int Width;
    };
    std::deque<TMeasuredText> m_measured;
    THashIndex<TMeasuredText> m_measuredByText;
};

class TSheetCanvas : public TCustomSheetCanvas {
public:
    using TCustomSheetCanvas::TCustomSheetCanvas;
};

void InitCanvasUnit();
void FinalCanvasUnit();
