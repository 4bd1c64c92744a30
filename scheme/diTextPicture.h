#pragma once
// A picture of a shaped text in one colour: its glyph runs drawn once into a
// small transparent image, so that a text painted again costs one image
// blend instead of one blend per glyph.
//
// Whether blending the picture gives the pixels the glyphs give depends on
// what Qt does not tell: the glyph format the font engine draws on the
// device (grey coverage on images, maybe subpixel coverage on a window) and
// whether it corrects the blend for gamma (then the result depends on the
// pixels under the text). So a picture is drawn only after it was seen to
// do so: its first drawing draws the glyphs and compares what they left,
// where the painter lets them (the part inside the clips, holding some of
// the text), with the picture blended over what was there before. Where the
// boxes of two glyphs overlap, the picture has composed them before the
// blend, which may round a channel one unit differently from blending them
// one after the other: the comparison allows that (MaxRounding) and no more.

#include <QGlyphRun>
#include <QImage>
#include <QList>
#include <QPoint>
#include <QRgba64>

#include <cstddef>

class QPainter;

class TTextPicture {
public:
    enum class TCheck {
        Same,       // the picture gave the glyphs' pixels: it is drawn from now on
        Different,  // it did not: pictures do not stand for glyphs in this font here
        Unseen,     // the glyphs were drawn where the result could not be compared
    };

    // Pictures larger than this are not made (the glyphs are drawn).
    static constexpr qsizetype MaxPixels = 1 << 16;
    // The difference of a channel a check allows (see above).
    static constexpr int MaxRounding = 1;

    // Whether a picture may stand for glyphs drawn by the painter: a raster
    // engine painting on a 32-bit image through a transform that moves by
    // whole pixels only, opaque, composing source over, with a solid pen and
    // the text smoothed.
    static bool Fits(const QPainter& painter);
    // Whether the painter paints on a window (whose glyph format may differ
    // from an image's): pictures are kept for each kind of device.
    static bool OnWindow(const QPainter& painter);

    // The runs, whose baseline's left end stands at (0, baseline) in their
    // own positions, drawn in the painter's pen.
    TTextPicture(const QList<QGlyphRun>& runs, qreal baseline, const QPainter& painter);

    QRgba64 Colour() const noexcept { return m_colour; }
    bool ForWindow() const noexcept { return m_forWindow; }
    bool Checked() const noexcept { return m_checked; }
    bool Empty() const noexcept { return m_image.isNull(); }
    qsizetype Bytes() const noexcept { return m_image.sizeInBytes(); }

    // Draws the runs as glyphs with the text's baseline's left end at (x,
    // baseline) and compares the pixels with the picture blended over those
    // that were there.
    TCheck DrawChecked(QPainter& painter, const QList<QGlyphRun>& runs, int x, int baseline);
    // Draws the checked picture with the text's baseline's left end at (x, baseline).
    void Draw(QPainter& painter, int x, int baseline) const;

private:
    QImage m_image;
    QPoint m_offset;  // of the image's top left from the baseline's left end
    qreal m_baseline = 0;
    QRgba64 m_colour;
    bool m_forWindow = false;
    bool m_checked = false;
};
