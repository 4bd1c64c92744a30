#include "platform/plImageCodecs.h"
#include "platform/plGifWriter.h"

#include <QBuffer>
#include <QImageReader>
#include <QImageWriter>

#include <gtest/gtest.h>

#include "support/imageCompare.h"

namespace {

QByteArray Encoded(const QImage& image, const char* format) {
    QByteArray bytes;
    if (qstrcmp(format, "gif") == 0) {
        WriteGif(image, bytes);
        return bytes;
    }
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter(&buffer, format).write(image);
    return bytes;
}

// A JPEG whose Exif orientation says "rotate by 90 degrees".
QByteArray RotatedJpeg(const QImage& image) {
    const QByteArray jpeg = Encoded(image, "jpeg");
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
    const QByteArray png = Encoded(Filled(100, 100, qRgb(1, 2, 3)), "png");
    QImage frame;
    EXPECT_EQ(TQtImageCodecs(100 * 100 * 4 - 1).Decode(png, frame), csOutOfMemory);
    EXPECT_TRUE(frame.isNull());
    EXPECT_EQ(TQtImageCodecs(100 * 100 * 4).Decode(png, frame), csOk);
    EXPECT_EQ(frame.size(), QSize(100, 100));
    EXPECT_EQ(frame.format(), QImage::Format_ARGB32);
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

TEST(GifWriter, AppendsAndRefusesEmptyImages) {
    QByteArray out("head");
    EXPECT_FALSE(WriteGif(QImage(), out));
    EXPECT_EQ(out, QByteArray("head"));
    ASSERT_TRUE(WriteGif(Filled(2, 2, qRgb(1, 1, 1)), out));
    EXPECT_TRUE(out.mid(4).startsWith("GIF8"));
}

// Edge shapes of GIF frames: each decodes back at its size, with transparent
// pixels transparent and, up to the palette's room, every colour exact.
struct TGifCase {
    const char* name;
    int width, height;
    int colors;        // distinct opaque colours
    bool transparent;  // pixel (0, 0) is transparent
};

QImage GifCaseImage(const TGifCase& c) {
    QImage image(c.width, c.height, QImage::Format_ARGB32);
    for (int i = 0; i < c.width * c.height; ++i) {
        const int n = c.colors == 0 ? 0 : i % c.colors;
        image.setPixel(i % c.width, i / c.width, c.colors == 0 ? qRgba(90, 80, 70, 0) : qRgb(n * 7 % 256, n / 37 * 20, 200));
    }
    if (c.transparent) {
        // Alpha below 128 is transparent, 128 and above opaque.
        image.setPixel(0, 0, qRgba(255, 255, 255, 127));
        const int x = c.width - 1, y = c.height - 1;
        if (x + y > 0 && c.colors > 0) image.setPixel(x, y, (image.pixel(x, y) & 0xFFFFFFu) | 0x80000000u);
    }
    return image;
}

const TGifCase gifCases[] = {
    {"OnePixel", 1, 1, 1, false},
    {"OneTransparentPixel", 1, 1, 1, true},
    {"FullyTransparent", 4, 3, 0, true},
    {"OddWidth", 7, 3, 5, true},
    {"Exactly256Colours", 16, 16, 256, false},
    {"Exactly255ColoursAndTransparency", 16, 16, 255, true},
    {"MoreColoursThanRoomWithTransparency", 20, 15, 300, true},
};

class GifEdges : public ::testing::TestWithParam<TGifCase> {};

TEST_P(GifEdges, DecodeBackWithTransparencyAndColours) {
    const TGifCase& c = GetParam();
    const QImage image = GifCaseImage(c);
    QByteArray gif;
    ASSERT_TRUE(WriteGif(image, gif));
    const QImage back = QImage::fromData(gif, "gif").convertToFormat(QImage::Format_ARGB32);
    ASSERT_EQ(back.size(), image.size());
    const bool exact = c.colors <= (c.transparent ? 255 : 256);
    for (int y = 0; y < c.height; ++y)
        for (int x = 0; x < c.width; ++x) {
            const QRgb src = image.pixel(x, y), got = back.pixel(x, y);
            if (qAlpha(src) < 128) EXPECT_EQ(qAlpha(got), 0) << x << "," << y;
            else if (exact) EXPECT_EQ(got, src | 0xFF000000u) << x << "," << y;
            else EXPECT_EQ(qAlpha(got), 255) << x << "," << y;  // reduced: opaque, colour near
        }
}

INSTANTIATE_TEST_SUITE_P(GifWriter, GifEdges, ::testing::ValuesIn(gifCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
