#pragma once
// A 32-bit bitmap with straight (not premultiplied) alpha: the frame type of
// images. Drawing in blend mode composes the bitmap over the target, scaled by
// the master alpha; opaque mode copies the pixels.

#include <QImage>
#include <QRgb>

enum class TDrawMode { Opaque, Blend };

class TBitmap32 {
public:
    TBitmap32() = default;

    int Width() const noexcept { return m_image.width(); }
    int Height() const noexcept { return m_image.height(); }
    bool Empty() const noexcept { return m_image.isNull(); }
    // Resizes to `width` x `height` with every pixel 0 (transparent black);
    // zero sizes empty the bitmap. False when the pixel memory cannot be had.
    bool SetSize(int width, int height);
    void Clear(QRgb color);

    QRgb* ScanLine(int y) { return reinterpret_cast<QRgb*>(m_image.scanLine(y)); }
    const QRgb* ScanLine(int y) const { return reinterpret_cast<const QRgb*>(m_image.constScanLine(y)); }
    QRgb Pixel(int x, int y) const { return ScanLine(y)[x]; }
    void SetPixel(int x, int y, QRgb color) { ScanLine(y)[x] = color; }

    // The pixels as a Format_ARGB32 image (shared, copied on write).
    const QImage& Image() const noexcept { return m_image; }
    // Takes the pixels of `image`, converted to straight 32-bit ARGB.
    void Assign(const QImage& image);
    // Takes size, pixels and drawing settings of `source`.
    void Assign(const TBitmap32& source) { *this = source; }

    TDrawMode DrawMode() const noexcept { return m_drawMode; }
    void SetDrawMode(TDrawMode mode) noexcept { m_drawMode = mode; }
    int MasterAlpha() const noexcept { return m_masterAlpha; }
    void SetMasterAlpha(int alpha) noexcept { m_masterAlpha = qBound(0, alpha, 255); }

    // Draws this bitmap onto `target` with its top left at (x, y), clipped.
    void DrawTo(TBitmap32& target, int x, int y) const;

private:
    QImage m_image;
    TDrawMode m_drawMode = TDrawMode::Opaque;
    int m_masterAlpha = 255;
};
