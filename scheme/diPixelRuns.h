#pragma once
// Pictures composed straight into the 32-bit raster a paint pass paints on.
// A picture (premultiplied) is kept as runs along its rows: clear stretches
// are left out, opaque ones copied (or filled, when they are one colour) and
// only the translucent ones blended, pixel by pixel, with the arithmetic of
// QPainter's raster engine, so that the pixels are those drawImage gives
// without its cost per call and per pixel.

#include "core/cuTypes.h"

#include <QImage>
#include <QPoint>
#include <QRgb>

#include <cstdint>
#include <unordered_map>
#include <vector>

// The pixels a paint pass may write: rows of Stride pixels from Bits, of
// which only those in Clip (pixel coordinates) are written; Shift moves the
// pass's current coordinates to pixel coordinates.
struct TPixelTarget {
    QRgb* Bits = nullptr;
    qsizetype Stride = 0;
    TRect Clip;
    QPoint Shift;

    // The target over image (32 bits a pixel) where shift moves current
    // coordinates, clipped to clip (current coordinates).
    static TPixelTarget Over(QImage& image, const TRect& clip, QPoint shift);
    // Replaces rect (current coordinates) with one opaque colour.
    void Fill(const TRect& rect, QRgb opaque) const;
};

// Whether QPainter composes the picture into a 32-bit raster the way
// TPixelRuns does: premultiplied or opaque 32-bit pixels, one per pixel (a
// picture of another pixel ratio is drawn scaled).
bool ComposesAsRuns(const QImage& picture) noexcept;

// One premultiplied pixel over another (source over), rounded as the raster
// engine rounds.
QRgb ComposePixel(QRgb source, QRgb target) noexcept;

class TPixelRuns {
public:
    TPixelRuns() = default;
    // The runs of picture, which ComposesAsRuns.
    explicit TPixelRuns(const QImage& picture);

    int Width() const noexcept { return m_width; }
    int Height() const noexcept { return m_height; }
    // What the runs take in memory, about.
    qsizetype Bytes() const noexcept;

    // Composes the picture over target with its top left at `at` (current
    // coordinates), within the target's clip.
    void Draw(const TPixelTarget& target, QPoint at) const;

private:
    // Fill: an opaque colour; BlendColour: a translucent one; Copy: opaque
    // pixels; Pixels: pixels of any alpha, composed one by one.
    enum class TRunKind : uint8_t { Fill, BlendColour, Copy, Pixels };
    struct TRun {
        int Left;
        int Length;
        // The colour of a fill or a colour blend; else the first pixel in m_pixels.
        uint32_t Value;
        TRunKind Kind;
    };
    // A row's runs: Count from First. Equal rows in a row share theirs.
    struct TRow {
        uint32_t First = 0;
        uint32_t Count = 0;
    };

    void AddRow(const QRgb* line);
    void AddLiterals(const QRgb* line, int from, int to);
    [[gnu::always_inline]] inline void DrawRun(const TRun& run, QRgb* line, int from, int to) const;

    int m_width = 0;
    int m_height = 0;
    std::vector<TRow> m_rows;
    std::vector<TRun> m_runs;
    std::vector<QRgb> m_pixels;
};

// The runs of pictures drawn again and again (icons), made on first use and
// found by the picture's cache key (which changes with its pixels). At most
// kLimit pictures are kept; more start the collection over.
class TPictureRuns {
public:
    static constexpr size_t kLimit = 1024;
    const TPixelRuns& Of(const QImage& picture);
    size_t Count() const noexcept { return m_runs.size(); }
    void Clear() { m_runs.clear(); }

private:
    std::unordered_map<qint64, TPixelRuns> m_runs;
};
