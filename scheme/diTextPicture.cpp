#include "scheme/diTextPicture.h"

#include <QPaintEngine>
#include <QPainter>
#include <QRegion>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {
// Smoothing reaches past the outlines the runs' bounds are made of: the
// picture is drawn with a margin around them, whose outermost pixels must
// stay clear (else glyph pixels may have been cut, and the picture is not
// used); a check compares as much around what it keeps.
constexpr int PictureMargin = 2;

QImage* TargetImage(const QPainter& painter) {
    return static_cast<QImage*>(painter.paintEngine()->paintDevice());
}

// The part of rect (device pixels) the painter paints: inside the target
// image and its clips; empty where that part is no rectangle.
QRect PaintedPart(const QPainter& painter, const QImage& target, const QRect& rect, QPoint shift) {
    QRegion region(rect & target.rect());
    if (painter.hasClipping()) region &= painter.clipRegion().translated(shift);
    if (const QRegion system = painter.paintEngine()->systemClip(); !system.isEmpty()) region &= system;
    return region.rectCount() == 1 ? region.boundingRect() : QRect();
}

// The greatest difference of a channel between two 32-bit images of the same size.
int MaxChannelDifference(const QImage& a, const QImage& b) {
    int most = 0;
    const int width = a.width();
    for (int y = 0; y < a.height(); ++y) {
        const auto* rowA = reinterpret_cast<const QRgb*>(a.constScanLine(y));
        const auto* rowB = reinterpret_cast<const QRgb*>(b.constScanLine(y));
        for (int x = 0; x < width; ++x)
            for (const int shift : {0, 8, 16, 24})
                most = std::max(most, std::abs(int((rowA[x] >> shift) & 0xFF) - int((rowB[x] >> shift) & 0xFF)));
    }
    return most;
}

bool HasInk(const QImage& image, const QRect& rect) {
    for (int y = rect.top(); y <= rect.bottom(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = rect.left(); x <= rect.right(); ++x)
            if (qAlpha(row[x]) != 0) return true;
    }
    return false;
}

// The smallest rectangle holding every pixel drawn on (empty if none).
QRect InkBounds(const QImage& image) {
    int left = image.width(), right = -1, top = image.height(), bottom = -1;
    for (int y = 0; y < image.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(row[x]) != 0) {
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = y;
            }
    }
    return right < 0 ? QRect() : QRect(QPoint(left, top), QPoint(right, bottom));
}

// Whether nothing was drawn on the outermost pixels (so that nothing was cut).
bool EdgesClear(const QImage& image) {
    const QRect all = image.rect();
    return !HasInk(image, {all.left(), all.top(), all.width(), 1}) &&
           !HasInk(image, {all.left(), all.bottom(), all.width(), 1}) &&
           !HasInk(image, {all.left(), all.top(), 1, all.height()}) &&
           !HasInk(image, {all.right(), all.top(), 1, all.height()});
}
}  // namespace

bool TTextPicture::Fits(const QPainter& painter) {
    const QPaintEngine* engine = painter.paintEngine();
    if (!engine || engine->type() != QPaintEngine::Raster) return false;
    const QPaintDevice* device = engine->paintDevice();
    if (!device || device->devType() != QInternal::Image) return false;
    const QImage::Format format = static_cast<const QImage*>(device)->format();
    if (format != QImage::Format_ARGB32_Premultiplied && format != QImage::Format_RGB32) return false;
    const QTransform& transform = painter.deviceTransform();
    const QPen& pen = painter.pen();
    return transform.type() <= QTransform::TxTranslate && transform.dx() == std::trunc(transform.dx()) &&
           transform.dy() == std::trunc(transform.dy()) && painter.opacity() == 1.0 &&
           painter.compositionMode() == QPainter::CompositionMode_SourceOver && pen.style() != Qt::NoPen &&
           pen.brush().style() == Qt::SolidPattern && painter.testRenderHint(QPainter::TextAntialiasing);
}

bool TTextPicture::OnWindow(const QPainter& painter) {
    return painter.device() && painter.device()->devType() == QInternal::Widget;
}

TTextPicture::TTextPicture(const QList<QGlyphRun>& runs, qreal baseline, const QPainter& painter)
    : m_baseline(baseline), m_colour(painter.pen().color().rgba64()), m_forWindow(OnWindow(painter)) {
    QRectF bounds;
    for (const QGlyphRun& run : runs) bounds |= run.boundingRect();
    if (bounds.isEmpty()) return;
    const QRect rect = bounds.translated(0, -baseline)
                           .toAlignedRect()
                           .adjusted(-PictureMargin, -PictureMargin, PictureMargin, PictureMargin);
    if (qsizetype(rect.width()) * rect.height() > MaxPixels) return;
    m_offset = rect.topLeft();
    m_image = QImage(rect.size(), QImage::Format_ARGB32_Premultiplied);
    m_image.fill(Qt::transparent);
    QPainter picture(&m_image);
    picture.setRenderHints(painter.renderHints());
    picture.setPen(painter.pen());
    // Moved by whole pixels from where the text is drawn, so that each glyph
    // keeps the fraction of a pixel it is drawn at.
    const QPointF origin(-m_offset.x(), -baseline - m_offset.y());
    for (const QGlyphRun& run : runs) picture.drawGlyphRun(origin, run);
    picture.end();
    // Only what was drawn on is kept and blended: the pixels around it are
    // clear, and a clear premultiplied pixel leaves what it is blended over.
    const QRect ink = InkBounds(m_image);
    if (!EdgesClear(m_image) || ink.isEmpty()) {
        m_image = QImage();
        return;
    }
    m_image = m_image.copy(ink);
    m_offset += ink.topLeft();
}

TTextPicture::TCheck TTextPicture::DrawChecked(QPainter& painter, const QList<QGlyphRun>& runs, int x,
                                               int baseline) {
    const QPointF origin(x, baseline - m_baseline);
    auto drawGlyphs = [&] {
        for (const QGlyphRun& run : runs) painter.drawGlyphRun(origin, run);
    };
    QImage& target = *TargetImage(painter);
    const QTransform& transform = painter.deviceTransform();
    const QPoint shift(int(transform.dx()), int(transform.dy()));
    const QRect placed = QRect(QPoint(x, baseline) + m_offset, m_image.size()).translated(shift);
    // A margin around the picture shows glyph pixels it would miss.
    const QRect seen =
        PaintedPart(painter, target, placed.adjusted(-PictureMargin, -PictureMargin, PictureMargin, PictureMargin), shift);
    if (seen.isEmpty() || !HasInk(m_image, seen.translated(-placed.topLeft()) & m_image.rect())) {
        drawGlyphs();
        return TCheck::Unseen;
    }
    QImage expected = target.copy(seen);
    drawGlyphs();
    {
        QPainter blend(&expected);
        blend.drawImage(placed.topLeft() - seen.topLeft(), m_image);
    }
    if (MaxChannelDifference(target.copy(seen), expected) > MaxRounding) return TCheck::Different;
    m_checked = true;
    return TCheck::Same;
}

void TTextPicture::Draw(QPainter& painter, int x, int baseline) const {
    painter.drawImage(QPoint(x, baseline) + m_offset, m_image);
}
