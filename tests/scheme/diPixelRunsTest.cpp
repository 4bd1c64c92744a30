// Pictures composed as runs straight into pixels give the pixels
// QPainter::drawImage gives, whatever they hold and wherever they are clipped.

#include "scheme/diPixelRuns.h"

#include <QPainter>
#include <gtest/gtest.h>

#include <random>

namespace {

// A premultiplied picture of clear, opaque and translucent stretches, short
// or long ones of one colour and long opaque ones of many, some rows
// repeating the one above.
QImage MixedPicture(int w, int h, unsigned seed) {
    std::mt19937 random(seed);
    auto any = [&](int n) { return int(random() % unsigned(n)); };
    auto colour = [&] {
        const int kind = any(3);
        const int alpha = kind == 0 ? 0 : kind == 1 ? 255 : 1 + any(254);
        return qPremultiply(qRgba(any(256), any(256), any(256), alpha));
    };
    QImage picture(w, h, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < h; ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(picture.scanLine(y));
        if (y > 0 && any(3) == 0) {
            std::copy_n(reinterpret_cast<const QRgb*>(picture.constScanLine(y - 1)), w, line);
            continue;
        }
        for (int x = 0; x < w;) {
            const int kind = any(3);
            const int length = std::min(w - x, kind == 0 ? 1 + any(3) : kind == 1 ? 8 + any(30) : 16 + any(20));
            if (kind == 2)  // opaque, each pixel of its own
                for (int i = 0; i < length; ++i) line[x + i] = qRgb(any(256), i * 7, 255 - i);
            else
                std::fill_n(line + x, length, colour());
            x += length;
        }
    }
    return picture;
}

QImage Background(int w, int h, QImage::Format format, unsigned seed) {
    std::mt19937 random(seed);
    QImage image(w, h, format);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int alpha = format == QImage::Format_RGB32 ? 255 : int(random() % 256u);
            image.setPixel(x, y, qPremultiply(qRgba(int(random() % 256u), int(random() % 256u),
                                                    int(random() % 256u), alpha)));
        }
    return image;
}

struct TPlacing {
    const char* Name;
    QPoint At;      // where the picture goes, in current coordinates
    QPoint Shift;   // current coordinates to pixels
    TRect Clip;     // current coordinates
};

const TPlacing kPlacings[] = {
    {"inside", {10, 6}, {0, 0}, {0, 0, 120, 80}},
    {"shifted", {-5, 3}, {20, 9}, {-20, -9, 100, 71}},
    {"cut by the clip", {4, 2}, {3, 1}, {15, 10, 50, 30}},
    {"over the image's edges", {-30, -12}, {0, 0}, {-100, -100, 400, 400}},
    {"beyond the right and bottom", {90, 60}, {0, 0}, {0, 0, 120, 80}},
    {"outside the clip", {10, 6}, {0, 0}, {80, 0, 120, 80}},
};

}  // namespace

TEST(PixelRuns, ComposeAsDrawImageOnEveryTargetFormatAndClip) {
    for (const QImage::Format format : {QImage::Format_ARGB32_Premultiplied, QImage::Format_RGB32})
        for (unsigned seed = 1; seed <= 4; ++seed) {
            const QImage picture = MixedPicture(70, 40, seed);
            const TPixelRuns runs(picture);
            ASSERT_EQ(runs.Width(), 70);
            ASSERT_EQ(runs.Height(), 40);
            for (const TPlacing& placing : kPlacings) {
                SCOPED_TRACE(std::string(placing.Name) + " format " + std::to_string(format) + " seed " +
                             std::to_string(seed));
                QImage expected = Background(120, 80, format, seed + 10);
                QImage actual = expected;
                {
                    QPainter p(&expected);
                    p.translate(placing.Shift);
                    p.setClipRect(placing.Clip.ToQRect());
                    p.drawImage(placing.At, picture);
                }
                runs.Draw(TPixelTarget::Over(actual, placing.Clip, placing.Shift), placing.At);
                ASSERT_EQ(actual, expected);
            }
        }
}

// Every source alpha over every target alpha of a few colours, one pixel at a time.
TEST(PixelRuns, OnePixelOverAnotherRoundsAsTheRasterEngine) {
    QImage sources(256, 1, QImage::Format_ARGB32_Premultiplied);
    for (int a = 0; a < 256; ++a) sources.setPixel(a, 0, qPremultiply(qRgba(250, 128, 3, a)));
    for (const QRgb under : {qRgba(0, 0, 0, 0), qRgba(255, 255, 255, 255), qRgba(17, 200, 99, 130)}) {
        QImage expected(256, 1, QImage::Format_ARGB32_Premultiplied);
        expected.fill(qPremultiply(under));
        QImage actual = expected;
        QPainter(&expected).drawImage(0, 0, sources);
        for (int a = 0; a < 256; ++a)
            ASSERT_EQ(ComposePixel(sources.pixel(a, 0), qPremultiply(under)), expected.pixel(a, 0)) << a;
        TPixelRuns(sources).Draw(TPixelTarget::Over(actual, {0, 0, 256, 1}, {}), {});
        EXPECT_EQ(actual, expected);
    }
}

// Rows alike share their runs, and a long stretch of one colour keeps one
// pixel: a frame's runs are far smaller than its picture.
TEST(PixelRuns, AlikeRowsAndStretchesOfOneColourTakeLittleMemory) {
    QImage frame(400, 300, QImage::Format_ARGB32_Premultiplied);
    frame.fill(qRgb(240, 240, 250));
    QPainter p(&frame);
    p.setPen(QColor(20, 60, 200, 140));
    p.drawRect(0, 0, 399, 299);
    p.end();
    const TPixelRuns runs(frame);
    EXPECT_LT(runs.Bytes(), frame.sizeInBytes() / 20);
    QImage expected(400, 300, QImage::Format_RGB32);
    expected.fill(Qt::black);
    QImage actual = expected;
    QPainter(&expected).drawImage(0, 0, frame);
    runs.Draw(TPixelTarget::Over(actual, {0, 0, 400, 300}, {}), {});
    EXPECT_EQ(actual, expected);
}

TEST(PixelTarget, AFillReplacesOnlyWhatLiesInTheClip) {
    QImage image(30, 20, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    const TPixelTarget target = TPixelTarget::Over(image, {-5, -5, 10, 8}, {5, 5});
    target.Fill({-20, 0, 30, 30}, qRgb(9, 8, 7));
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 30; ++x) {
            const bool filled = x < 15 && y >= 5 && y < 13;
            ASSERT_EQ(image.pixel(x, y), filled ? qRgb(9, 8, 7) : 0u) << x << "," << y;
        }
}

// Only premultiplied or opaque 32-bit pictures drawn one pixel per pixel go
// as runs; the rest are left to a painter (straight alpha, scaled pictures).
TEST(PixelRuns, OnlyPicturesDrawnPixelForPixelInThirtyTwoBitsComposeAsRuns) {
    QImage scaled(8, 8, QImage::Format_ARGB32_Premultiplied);
    scaled.setDevicePixelRatio(2.0);
    const struct {
        QImage Picture;
        bool Composes;
    } cases[] = {
        {QImage(8, 8, QImage::Format_ARGB32_Premultiplied), true},
        {QImage(8, 8, QImage::Format_RGB32), true},
        {QImage(8, 8, QImage::Format_ARGB32), false},
        {QImage(8, 8, QImage::Format_Indexed8), false},
        {scaled, false},
    };
    for (const auto& c : cases) EXPECT_EQ(ComposesAsRuns(c.Picture), c.Composes) << c.Picture.format();
}
