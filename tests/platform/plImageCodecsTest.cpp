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

TEST(QtImageCodecs, ReadsOnlyTheImageLibraryFormats) {
    QImage frame;
    TQtImageCodecs codecs;
    EXPECT_EQ(codecs.Decode(QByteArray(), frame), csInvalidParameter);
    EXPECT_EQ(codecs.Decode("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"4\" height=\"4\"/>", frame),
              csUnknownImageFormat);
    for (const char* format : {"bmp", "gif", "jpeg", "png", "tiff"}) {
        EXPECT_EQ(codecs.Decode(Encoded(Filled(3, 2, qRgb(9, 9, 9)), format), frame), csOk) << format;
        EXPECT_EQ(frame.size(), QSize(3, 2)) << format;
    }
}

TEST(QtImageCodecs, EncodesTheFiveFormats) {
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
    QByteArray out;
    EXPECT_EQ(codecs.Encode(Filled(5, 4, 0), QStringLiteral("image/webp"), out), csInvalidParameter);
    EXPECT_EQ(codecs.Encode(QImage(), QStringLiteral("image/png"), out), csInvalidParameter);
}

TEST(GifWriter, KeepsFewColoursExactlyAndMarksTransparency) {
    QImage image = Filled(6, 5, qRgb(10, 20, 30));
    image.setPixel(1, 1, qRgba(255, 0, 0, 127));  // transparent
    image.setPixel(2, 1, qRgba(0, 255, 0, 128));  // opaque
    QByteArray gif;
    ASSERT_TRUE(WriteGif(image, gif));
    const QImage back = QImage::fromData(gif, "gif").convertToFormat(QImage::Format_ARGB32);
    ASSERT_EQ(back.size(), QSize(6, 5));
    EXPECT_EQ(qAlpha(back.pixel(1, 1)), 0);
    EXPECT_EQ(back.pixel(2, 1), qRgb(0, 255, 0));
    EXPECT_EQ(back.pixel(0, 0), qRgb(10, 20, 30));
}

TEST(GifWriter, AppendsAndRefusesEmptyImages) {
    QByteArray out("head");
    EXPECT_FALSE(WriteGif(QImage(), out));
    EXPECT_EQ(out, QByteArray("head"));
    ASSERT_TRUE(WriteGif(Filled(2, 2, qRgb(1, 1, 1)), out));
    EXPECT_TRUE(out.mid(4).startsWith("GIF8"));
}

TEST(GifWriter, ReducesRichImagesTo256Colours) {
    QImage image(64, 64, QImage::Format_ARGB32);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) image.setPixel(x, y, qRgb(x * 4, y * 4, (x ^ y) * 4));
    QByteArray gif;
    ASSERT_TRUE(WriteGif(image, gif));
    const QImage back = QImage::fromData(gif, "gif");
    ASSERT_EQ(back.size(), QSize(64, 64));
    EXPECT_LE(back.convertToFormat(QImage::Format_Indexed8).colorCount(), 256);
    int far = 0;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            const QRgb a = back.pixel(x, y), b = image.pixel(x, y);
            if (qAbs(qRed(a) - qRed(b)) + qAbs(qGreen(a) - qGreen(b)) + qAbs(qBlue(a) - qBlue(b)) > 96) ++far;
        }
    EXPECT_LT(far, 64 * 64 / 20);
}

}  // namespace
