#pragma once
// The painter of the custom buttons: for each client it lays out an image, a
// caption and up to five sign glyphs inside padding and the style's edges,
// measures the size this needs, and paints background, focus rectangle,
// signs, image and caption in the style its styler gives for the client's
// state. The styler's change flags reach the painter's own clients.

#include "platform/plImageList.h"
#include "ui/baPainterStyles.h"
#include "ui/baPainters.h"

#include <QPointer>

#include <algorithm>

enum TAlignKind : uint8_t { akCenter, akBegin, akEnd, akOpposite };
// The image's place relative to the caption.
enum TImageLayout : uint8_t { ilLeft, ilRight, ilTop, ilBottom };

enum TPainterOption : uint8_t {
    poWordWrap = 1,
    poEditControl = 2,
    poEndEllipsis = 4,
    poNoAccelChar = 8,
    poNoImages = 16,
    poNoCaptions = 32,
};
using TPainterOptions = uint8_t;

// Where two parts (first and second in layout order) start along one axis
// between start and end: akCenter centres both with the spacing between,
// akBegin puts them at the start, akEnd against the end, akOpposite the first
// at the start and the second against the end. The spacing counts only when
// both parts have a size.
struct TPartPlaces {
    int First = 0;
    int Second = 0;
    friend bool operator==(const TPartPlaces&, const TPartPlaces&) = default;
};
TPartPlaces PlaceParts(TAlignKind align, int start, int end, int first, int second, int spacing);

// Image and caption placed in rect by layout and alignment, each centred
// across the layout axis.
struct TContentPlaces {
    TRect Image;
    TRect Caption;
};
TContentPlaces PlaceContent(TAlignKind align, TImageLayout layout, const TRect& rect, QSize image, QSize caption,
                            int spacing);

// A pixel in grey: 0.30 red + 0.59 green + 0.11 blue, rounded, in every channel.
QRgb GrayPixel(QRgb pixel) noexcept;
// A pixel lightened: each channel c becomes c + 100 * (255 - c) / 255.
QRgb LightPixel(QRgb pixel) noexcept;
// The picture with pieGray and then pieLight applied (alpha kept).
QImage ApplyImageEffects(const QImage& image, TPainterStyleImageEffects effects);

// A painter meant to be shared by many controls.
class TSinglePainter : public TPainter {
public:
    using TPainter::TPainter;
};

class TStyledPainter : public TSinglePainter {
public:
    explicit TStyledPainter(QObject* parent = nullptr);
    ~TStyledPainter() override;

    TAlignKind AlignKind() const noexcept { return m_alignKind; }
    TImageLayout Layout() const noexcept { return m_layout; }
    TPainterOptions Options() const noexcept { return m_options; }
    // Room at the left, top, right and bottom (not a rectangle).
    const TRect& Padding() const noexcept { return m_padding; }
    int Spacing() const noexcept { return m_spacing; }
    int SignsSpacing() const noexcept { return m_signsSpacing; }
    TImageList* Images() const noexcept { return m_images.data(); }
    TImageList* DisabledImages() const noexcept { return m_disabledImages.data(); }
    int ImagesWidth() const noexcept { return m_imagesWidth; }
    int ImagesHeight() const noexcept { return m_imagesHeight; }
    TStyler* Styler() const noexcept { return m_styler.data(); }

    // The largest padding, spacing or image side, either way: sums of a few
    // of them and a caption's extent stay within the integers.
    static constexpr int kMaxMeasure = 1 << 20;

    // Each setter stores a changed value and posts a repaint and a new size;
    // measures are kept within -kMaxMeasure..kMaxMeasure (image sides from 0).
    void SetAlignKind(TAlignKind value) { Set(m_alignKind, value); }
    void SetLayout(TImageLayout value) { Set(m_layout, value); }
    void SetOptions(TPainterOptions value) { Set(m_options, value); }
    void SetPadding(const TRect& value) {
        Set(m_padding, TRect{Measure(value.Left), Measure(value.Top), Measure(value.Right), Measure(value.Bottom)});
    }
    void SetSpacing(int value) { Set(m_spacing, Measure(value)); }
    void SetSignsSpacing(int value) { Set(m_signsSpacing, Measure(value)); }
    void SetImagesWidth(int value) { Set(m_imagesWidth, std::max(0, Measure(value))); }
    void SetImagesHeight(int value) { Set(m_imagesHeight, std::max(0, Measure(value))); }
    // Not owned; a list that goes is dropped.
    void SetImages(TImageList* list) { SetList(m_images, list); }
    void SetDisabledImages(TImageList* list) { SetList(m_disabledImages, list); }
    // Not owned; posts every flag. A styler that goes is dropped.
    void SetStyler(TStyler* styler);

    QSize CalcSize(const TPainterClient& client, int width) const override;
    void Paint(const TPainterClient& client, QPainter& canvas, const TRect& rect) const override;
    Qt::CursorShape GetCursor(const TPainterClient& client) const override;
    TChangeNeeds CheckChange(const TPainterClient& client, const TClientChange& change) const override;
    bool GetTransparent(const TPainterClient& client) const override;

    // The flags for measuring and drawing the caption (Qt::TextFlag and alignment).
    int TextFlags() const;
    bool HasImage(const TPainterClient& client) const;
    bool HasImage(const TPainterClient& client, int imageIndex) const;
    // The size of image and caption together for an available width (0: unlimited).
    QSize ContentSize(const TPainterClient& client, const QFont& font, int width) const;

private:
    static int Measure(int value) noexcept { return std::clamp(value, -kMaxMeasure, kMaxMeasure); }
    template <class T>
    void Set(T& field, const T& value) {
        if (field == value) return;
        field = value;
        Changed(pcRepaint | pcResize);
    }
    void SetList(QPointer<TImageList>& slot, TImageList* list);
    void OnStylerNotify(TNotifier* sender, TNotify* first);
    const TPainterStyle& StyleFor(const TPainterClient& client) const;
    QFont FontFor(const TPainterStyle& style) const;
    TColor FontColorFor(const TPainterStyle& style) const;
    // The caption as drawn into width pixels (0: unlimited): with an end
    // ellipsis, shortened to fit; with its measured size.
    struct TShownCaption {
        QString Text;
        QSize Size;
    };
    TShownCaption ShownCaption(const TPainterClient& client, const QFont& font, int width) const;
    QSize CaptionSize(const TPainterClient& client, const QFont& font, int width) const;
    int SignRoom(const TPainterClient& client, TSignPosition position) const;
    QPoint Offset(TOffsetKind kind) const;
    void PaintTheme(const TPainterClient& client, QPainter& canvas, const TRect& rect) const;
    // Theme part or the style's fill and edges, and the focus rectangle; returns the content rectangle.
    TRect PaintBackground(const TPainterClient& client, QPainter& canvas, const TRect& rect,
                          const TPainterStyle& style) const;
    // Image and caption placed in inner.
    void PaintContent(const TPainterClient& client, QPainter& canvas, const TRect& inner, const TPainterStyle& style) const;
    void PaintSigns(const TPainterClient& client, QPainter& canvas, const TRect& content, const TPainterStyle& style) const;
    void PaintImage(const TPainterClient& client, QPainter& canvas, const TRect& place, const TPainterStyle& style) const;

    TAlignKind m_alignKind = akCenter;
    TImageLayout m_layout = ilLeft;
    TPainterOptions m_options = 0;
    TRect m_padding;
    int m_spacing = 4;
    int m_signsSpacing = 14;
    QPointer<TImageList> m_images;
    QPointer<TImageList> m_disabledImages;
    int m_imagesWidth = 16;
    int m_imagesHeight = 16;
    QPointer<TStyler> m_styler;
};
