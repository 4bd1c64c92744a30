#pragma once
// Sheet themes. A theme gives every kind of element frame its look: one theme
// image from which rectangles are cut and drawn as nine-part frames or single
// pictures, five fonts, the colours of disabled and selected areas and three
// image layouts. The built-in theme "Default" comes from the resources;
// further themes are a knot text file with a ".png" image of the same name.

#include "core/cuColors.h"
#include "core/cuTypes.h"
#include "scheme/diPixelRuns.h"

#include <QCache>
#include <QFont>
#include <QHash>
#include <QImage>
#include <QString>
#include <QStringList>

#include <array>
#include <limits>

class QPainter;
class TKnot;

enum TSheetThemeFontKind : int {
    tfkElement = 0,
    tfkCode = 1,
    tfkFixed = 2,
    tfkArt = 3,
    tfkComment = 4,
    tfkCount = 5
};

enum TSheetThemeElementKind : int {
    tekSheet = 0,
    tekLine,
    tekUnaccepted,
    tekElement,
    tekElementCommand,
    tekElementTechnical,
    tekElementExpression,
    tekDescription,
    tekCollapsed,
    tekCollapsedData,
    tekExpanded,
    tekExpandedData,
    tekField,
    tekName,
    tekNamePrivate,
    tekNamePublic,
    tekCheckBox,
    tekCheckBoxChecked,
    tekCheckBoxUnchecked,
    tekContainer,
    tekImageContainer,
    tekSubstitution,
    tekSubstitutionBegin,
    tekSubstitutionContinue,
    tekSubstitutionEnd,
    tekComment,
    tekError,
    tekNeedValue,
    tekReferenced,
    tekFrameDot,
    tekFrameSingle,
    tekMark,
    tekExternalEditingMode,
    tekLogicFrame,
    tekImageChess,
    tekCount
};

// Font style bits.
enum : int { tfsBold = 1, tfsItalic = 2, tfsUnderline = 4 };

// Fill modes of the parts of a frame.
enum TThemeFillMode : int { tfmStretch = 0, tfmTile = 1, tfmLeaveOut = 2 };
// Indexes into TSheetThemeElementData::FillModes.
enum : int { tfpLeft = 0, tfpTop = 1, tfpRight = 2, tfpBottom = 3, tfpClient = 4 };

// The size in points of a font whose stored size is 0.
constexpr int DefaultThemeFontSize = 8;

struct TSheetThemeFontData {
    QString Name;  // the face
    int BaseSize = 0;
    int Size = DefaultThemeFontSize;
    int Style = 0;
    TColor Color = MakeColor(0, 0, 0);
    TColor SecondColor = clNone;  // the shadow colour

    // The font at Size points, made by the device-context manager (at its
    // resolution, kerning off).
    QFont MakeFont() const;
};

struct TSheetThemeElementData {
    TRect Cut;  // in the theme image, right and bottom exclusive
    TColor ColorOver = 0;  // 0 (or none): no tint
    bool IsFrame = true;
    TRect MouseTransparent;
    TRect BaseMargins, Margins;
    TRect BasePadding, Padding;
    std::array<int, 5> FillModes{};
    TRect Zone;  // widths of the fixed border parts: left, top, right, bottom
    // How far in from its right and bottom edges a frame of the kind drawn at
    // another size changes (-1: all of it); see TSheetTheme::SizeDependentEdge.
    int SizeEdge = -1;

    int Width() const noexcept { return Cut.Width(); }
    int Height() const noexcept { return Cut.Height(); }
};

struct TSheetThemeImageData {
    TRect BaseInsets, Insets;
    int BaseSize = 2, Size = 2;
};

class TInstalledFaces;

// A visible area that leaves nothing out.
inline constexpr TRect kWholePlane{std::numeric_limits<int>::min(), std::numeric_limits<int>::min(),
                                   std::numeric_limits<int>::max(), std::numeric_limits<int>::max()};

// A frame of one kind, tint and size (TSheetTheme::DrawFrame).
struct TThemeFrameKey {
    int Kind = 0;
    TColor Tint = 0;
    int Width = 0;
    int Height = 0;
    friend bool operator==(const TThemeFrameKey&, const TThemeFrameKey&) = default;
};
size_t qHash(const TThemeFrameKey& key, size_t seed = 0) noexcept;

class TSheetTheme {
public:
    // Frames of at most this many pixels are kept drawn, up to this many
    // bytes of them in all (the least recently drawn go first).
    static constexpr int kMaxKeptFramePixels = 64 * 1024;
    static constexpr int kKeptFrameBytes = 8 * 1024 * 1024;
    // A kept frame showing at most this many pixels is blended in one piece
    // rather than as a filled middle and four borders.
    static constexpr int kWholeBlendPixels = 16 * 1024;

    TSheetTheme();
    TSheetTheme(const TSheetTheme&) = delete;
    TSheetTheme& operator=(const TSheetTheme&) = delete;

    static const QString& FontKindName(int kind);
    static const QString& ElementKindName(int kind);
    // The kind whose node is read when this kind's node is missing (itself when none).
    static int ElementKindFallback(int kind) noexcept;
    static bool IsFrameKind(int kind) noexcept;

    // The base name of the built-in theme's resources ("...Info" and "...Image").
    static const QString DefaultThemeResource;

    // The theme text from the resource baseName + "Info", the image from
    // baseName + "Image". A missing resource raises the file error.
    void LoadFromResource(const QString& baseName);
    // The theme text from fileName, the image from the ".png" of the same name.
    // A missing file raises the file error.
    void LoadFromFile(const QString& fileName);
    // Reads the theme from a knot tree and an image (straight or premultiplied alpha).
    void Load(TKnot& root, const QImage& image);

    const QImage& Image() const noexcept { return m_image; }
    const TSheetThemeFontData& GetFontData(int kind) const { return m_fonts.at(size_t(kind)); }
    const TSheetThemeElementData& GetElementData(int kind) const { return m_elements.at(size_t(kind)); }
    const TSheetThemeImageData& GetImageData(int index) const { return m_imageLayouts.at(size_t(index)); }
    TColor DisableColor() const noexcept { return m_disableColor; }
    TColor SelectColor() const noexcept { return m_selectColor; }
    TColor SelectInactiveColor() const noexcept { return m_selectInactiveColor; }
    int LayoutValue1() const noexcept { return m_layoutValue1; }
    int LayoutValue2() const noexcept { return m_layoutValue2; }
    const TRect& LayoutRect() const noexcept { return m_layoutRect; }

    // Fonts: BaseSize + pointDelta. Margins, padding, image layouts and the
    // layout values: base * percent / 100.
    void Scale(int pointDelta, int percent);

    // The pixel at (x, y) of the theme image, each coordinate clamped into
    // the image; an empty image gives defaultColor.
    TColor PixelColor(int x, int y, TColor defaultColor) const;

    // The Cut of a kind as a premultiplied image; with a tint (not 0, not
    // none) the tinted copy, made once per colour.
    const QImage& KindImage(int kind, TColor tint) const;
    int TintedCopyCount(int kind) const { return int(m_tinted.at(size_t(kind)).size()); }

    // A single picture: the kind's Cut at (x, y), tinted by `tint`, or by the
    // kind's ColorOver when tint is none.
    void DrawImage(QPainter& painter, int kind, int x, int y, TColor tint = clNone) const;
    // The picture DrawImage draws (premultiplied; null when the kind has none).
    const QImage& Picture(int kind, TColor tint = clNone) const;
    // The kind drawn as a nine-part frame over rect (see DrawNinePart), the
    // parts outside visible left out. A frame of at most kMaxKeptFramePixels
    // is drawn once per kind, tint and size and kept: drawn again, it is one
    // picture instead of nine parts, with the same pixels.
    void DrawFrame(QPainter& painter, int kind, const TRect& rect, TColor tint = clNone,
                   const TRect& visible = kWholePlane) const;
    // The one opaque colour DrawFrame gives every pixel of visible (which
    // must lie in the frame's middle), else 0: such a frame may be drawn as
    // a plain fill.
    QRgb FrameFillsAll(int kind, const TRect& rect, TColor tint, const TRect& visible) const;
    // DrawFrame straight into the pixels of a paint pass, within their clip:
    // the same pixels, from runs kept per kind, tint and size, made from the
    // picture DrawFrame kept. False, with nothing drawn, while there is none
    // (a frame not yet drawn at this size, or too large to keep): a painter
    // draws that one.
    bool DrawFrame(const TPixelTarget& target, int kind, const TRect& rect, TColor tint = clNone) const;
    int KeptFrameCount() const { return int(m_frames.count()); }
    int KeptFrameRunsCount() const { return int(m_frameRuns.count()); }
    QSize GetSize(int kind) const;
    int GetMinWidth(int kind) const {
        const TRect& z = m_elements.at(size_t(kind)).Zone;
        return z.Left + z.Right;
    }
    int GetMinHeight(int kind) const;
    // How far in from its right and bottom edges a frame of the kind changes
    // when it is drawn larger or smaller with the same top left corner: the
    // larger of its minimum width and height when every part stretched with
    // the size is of one colour along the stretch (tiles start at their
    // part's top left and stay), else -1: all of it may change.
    int SizeDependentEdge(int kind) const { return m_elements.at(size_t(kind)).SizeEdge; }

private:
    void ReadColors(TKnot& root);
    void ReadFont(TKnot* node, TInstalledFaces& installed, TSheetThemeFontData& font);
    void ReadElement(TKnot* node, int kind, TSheetThemeElementData& data);
    void DeriveImageLayouts();
    TColor ReadColor(TKnot* node, const QString& name, TColor defaultColor);
    void DropCaches();
    // The colour of the middle part (from, in the kind's image) when it is
    // one opaque colour, else 0; found once per tint and part.
    QRgb OpaqueMiddle(int kind, TColor tint, const QImage& source, const QRect& from) const;
    // Draws what shown (within rect) shows of the frame (source: the kind's
    // image in the tint) when it lies in the middle and the middle is left
    // out or one opaque colour; else false.
    bool FillsThroughMiddle(QPainter& painter, int kind, TColor tint, const QImage& source, const TRect& rect,
                            const TRect& shown) const;

    QImage m_image;  // straight alpha
    std::array<TSheetThemeFontData, tfkCount> m_fonts;
    std::array<TSheetThemeElementData, tekCount> m_elements;
    std::array<TSheetThemeImageData, 3> m_imageLayouts;
    TColor m_disableColor;
    TColor m_selectColor;
    TColor m_selectInactiveColor;
    int m_baseLayoutValue1 = 3, m_layoutValue1 = 3;
    int m_baseLayoutValue2 = 3, m_layoutValue2 = 3;
    TRect m_baseLayoutRect, m_layoutRect;

    mutable std::array<QImage, tekCount> m_cutImages;
    mutable std::array<QHash<TColor, QImage>, tekCount> m_tinted;
    mutable QCache<TThemeFrameKey, QImage> m_frames{kKeptFrameBytes};
    mutable QCache<TThemeFrameKey, TPixelRuns> m_frameRuns{kKeptFrameBytes};
    struct TOpaqueMiddleKey {
        TColor Tint;
        int X, Y, Width, Height;
        friend bool operator==(const TOpaqueMiddleKey&, const TOpaqueMiddleKey&) = default;
        friend size_t qHash(const TOpaqueMiddleKey& key, size_t seed) noexcept {
            return qHashMulti(seed, key.Tint, key.X, key.Y, key.Width, key.Height);
        }
    };
    mutable std::array<QHash<TOpaqueMiddleKey, QRgb>, tekCount> m_opaqueMiddles;
};

// ---------------------------------------------------------------------------
// Pieces of theme drawing, open for tests

// Which faces the system has, each name asked of the font database once: with
// fontconfig every question resolves the name's aliases, which is slow, and a
// theme names the same faces for several fonts.
class TInstalledFaces {
public:
    bool Has(const QString& face);

private:
    QStringList m_families;  // the installed ones, listed on the first question
    QHash<QString, bool> m_answers;
};

// The first face of a comma-separated list installed on the system; empty when none is.
QString ChooseInstalledFace(const QString& faces, TInstalledFaces& installed);
QString ChooseInstalledFace(const QString& faces);
// A rectangle "l,t,r,b", each part clamped to min..max; a missing or
// non-numeric part reads as 0.
TRect ParseThemeRect(const QString& text, int min = 0, int max = 10000);
// The tint formula on one straight-alpha pixel: colour channels become
// round(c * (1 - a) + t * a) with a = tint alpha / 255; alpha is kept;
// fully transparent pixels stay as they are.
QRgb TintPixel(QRgb pixel, TColor tint) noexcept;
// Fits two border parts to a target: when the target is smaller than their
// sum, it is split between them in proportion; both results are
// non-negative and together fill the target.
void FitZoneParts(int first, int second, int target, int& fittedFirst, int& fittedSecond) noexcept;
// Draws `source` (premultiplied) as a nine-part frame over target: zone widths
// fitted to the target, corners copied, edges and centre by their fill modes,
// column by column, top to bottom. Parts that do not meet visible (what a
// paint pass shows, in the painter's coordinates) are left out: a frame drawn
// part by part costs a call per part, however little of it shows.
void DrawNinePart(QPainter& painter, const QImage& source, const TRect& zone, const std::array<int, 5>& fillModes,
                  const TRect& target, const TRect& visible = kWholePlane);
// The size-dependent edge of a kind read from the theme image (straight
// alpha) into data (see TSheetTheme::SizeDependentEdge).
int FrameSizeEdge(const QImage& image, const TSheetThemeElementData& data);
