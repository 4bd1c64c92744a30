#include "platform/plImageCodecs.h"
#include "platform/plGifWriter.h"

#include <QBuffer>
#include <QImageReader>

#include <gtest/gtest.h>

#include "support/imageCompare.h"
#include "support/testCases.h"

namespace {

// A JPEG whose Exif orientation says "rotate by 90 degrees".
QByteArray RotatedJpeg(const QImage& image) {
    const QByteArray jpeg = EncodedImage(image, "jpeg");
    const QByteArray exif("\xFF\xE1\x00\x22" "Exif\0\0" "II*\0\x08\0\0\0"
                          "\x01\0" "\x12\x01\x03\0\x01\0\0\0\x06\0\0\0" "\0\0\0\0", 36);
    return jpeg.left(2) + exif + jpeg.mid(2);
}

QImage Filled(int w, int h, QRgb color) {
    QImage image(w, h, QImage::Format_ARGB32);
    image.fill(color);
    return image;
}

TEST(QtImageCodecs, RefusesFramesBeyondTheAllocationLimitBeforeDecoding) {
    const QByteArray png = EncodedImage(Filled(100, 100, qRgb(1, 2, 3)), "png");
    QImage frame;
    EXPECT_EQ(TQtImageCodecs(100 * 100 * 4 - 1).Decode(png, frame), csOutOfMemory);
    EXPECT_TRUE(frame.isNull());
    EXPECT_EQ(TQtImageCodecs(100 * 100 * 4).Decode(png, frame), csOk);
    EXPECT_EQ(frame.size(), QSize(100, 100));
    EXPECT_EQ(frame.format(), QImage::Format_ARGB32);
}

TEST(PngImageSize, ReadsTheHeaderOfPngsOnly) {
    const QByteArray png = EncodedImage(Filled(37, 5, qRgb(1, 2, 3)), "png");
    EXPECT_EQ(PngImageSize(png), QSize(37, 5));
    EXPECT_FALSE(PngImageSize(png.left(23)).isValid());  // cut inside the header
    EXPECT_FALSE(PngImageSize(EncodedImage(Filled(37, 5, qRgb(1, 2, 3)), "bmp")).isValid());
    QByteArray zeroWide = png;
    zeroWide[16] = zeroWide[17] = zeroWide[18] = zeroWide[19] = 0;
    EXPECT_FALSE(PngImageSize(zeroWide).isValid());
    QByteArray huge = png;
    huge[20] = char(0x80);  // beyond what a size holds
    EXPECT_FALSE(PngImageSize(huge).isValid());
}

TEST(QtImageCodecs, DoesNotApplyOrientationTags) {
    const QByteArray jpeg = RotatedJpeg(Filled(8, 2, qRgb(200, 0, 0)));
    QImage frame;
    QBuffer buffer;
    buffer.setData(jpeg);
    buffer.open(QIODevice::ReadOnly);
    QImageReader tagged(&buffer);
    tagged.setAutoTransform(true);
    ASSERT_EQ(tagged.read().size(), QSize(2, 8));  // the tag is there
    ASSERT_EQ(TQtImageCodecs().Decode(jpeg, frame), csOk);
    EXPECT_EQ(frame.size(), QSize(8, 2));
}

// The five formats of the image library both ways (each encoded output decodes
// back at its size), and nothing else.
TEST(QtImageCodecs, ReadsAndWritesOnlyTheFiveFormats) {
    TQtImageCodecs codecs;
    const QStringList mimes = codecs.EncoderMimeTypes();
    for (const char* mime : {"image/bmp", "image/gif", "image/jpeg", "image/png", "image/tiff"}) {
        EXPECT_TRUE(mimes.contains(QString::fromLatin1(mime))) << mime;
        QByteArray out;
        EXPECT_EQ(codecs.Encode(Filled(5, 4, qRgb(0, 128, 255)), QString::fromLatin1(mime), out), csOk) << mime;
        QImage back;
        EXPECT_EQ(codecs.Decode(out, back), csOk) << mime;
        EXPECT_EQ(back.size(), QSize(5, 4)) << mime;
    }
    QImage frame;
    EXPECT_EQ(codecs.Decode(QByteArray(), frame), csInvalidParameter);
    EXPECT_EQ(codecs.Decode("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"4\" height=\"4\"/>", frame),
              csUnknownImageFormat);
    QByteArray out;
    EXPECT_EQ(codecs.Encode(Filled(5, 4, 0), QStringLiteral("image/webp"), out), csInvalidParameter);
    EXPECT_EQ(codecs.Encode(QImage(), QStringLiteral("image/png"), out), csInvalidParameter);
}

// Edge shapes of GIF frames (data/platform/images.txt): each decodes back at
// its size, with transparent pixels transparent and, up to the palette's room,
// every colour exact.
QImage GifCaseImage(int width, int height, int colors, bool transparent) {
    QImage image(width, height, QImage::Format_ARGB32);
    for (int i = 0; i < width * height; ++i) {
        const int n = colors == 0 ? 0 : i % colors;
        image.setPixel(i % width, i / width, colors == 0 ? qRgba(90, 80, 70, 0) : qRgb(n * 7 % 256, n / 37 * 20, 200));
    }
    if (transparent) {
        // Alpha below 128 is transparent, 128 and above opaque.
        image.setPixel(0, 0, qRgba(255, 255, 255, 127));
        const int x = width - 1, y = height - 1;
        if (x + y > 0 && colors > 0) image.setPixel(x, y, (image.pixel(x, y) & 0xFFFFFFu) | 0x80000000u);
    }
    return image;
}

TEST(GifWriter, EdgeShapesDecodeBackWithTransparencyAndColoursAndOutputIsAppended) {
    for (const CaseRow& c : LoadCases("platform/images.txt", "GifEdges")) {
        SCOPED_TRACE(c.Text());
        const bool transparent = c.Int("Transparent") == 1;
        const QImage image = GifCaseImage(c.Int("Width"), c.Int("Height"), c.Int("Colors"), transparent);
        QByteArray gif;
        ASSERT_TRUE(WriteGif(image, gif));
        const QImage back = QImage::fromData(gif, "gif").convertToFormat(QImage::Format_ARGB32);
        ASSERT_EQ(back.size(), image.size());
        const bool exact = c.Int("Colors") <= (transparent ? 255 : 256);
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QRgb src = image.pixel(x, y), got = back.pixel(x, y);
                if (qAlpha(src) < 128) EXPECT_EQ(qAlpha(got), 0) << x << "," << y;
                else if (exact) EXPECT_EQ(got, src | 0xFF000000u) << x << "," << y;
                else EXPECT_EQ(qAlpha(got), 255) << x << "," << y;  // reduced: opaque, colour near
            }
    }
    // The writer appends, and refuses empty images.
    QByteArray out("head");
    EXPECT_FALSE(WriteGif(QImage(), out));
    EXPECT_EQ(out, QByteArray("head"));
    ASSERT_TRUE(WriteGif(GifCaseImage(2, 2, 1, false), out));
    EXPECT_TRUE(out.mid(4).startsWith("GIF8"));
}

}  // namespace
