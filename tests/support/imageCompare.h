#pragma once
// Image test helpers: a test picture, encoding with Qt's writers, loading from
// bytes, and pixel comparison in straight 32-bit ARGB, whatever the format,
// colour space or resolution (telling the first difference).

#include <QBuffer>
#include <QImage>

#include <gtest/gtest.h>

// Smooth colours and every alpha level: more than 256 colours.
inline QImage Photo(int w, int h, bool alpha) {
    QImage image(w, h, QImage::Format_ARGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y, qRgba(x * 255 / (w - 1), y * 255 / (h - 1), (x + y) * 255 / (w + h - 2),
                                       alpha ? (x * 3 + y) % 256 : 255));
    return image;
}

// `image` as Qt's writer encodes it in `format`.
inline QByteArray EncodedImage(const QImage& image, const char* format) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

// Loads `bytes` into an image or an icon through its LoadFromStream.
template <class TImage>
void LoadFromBytes(TImage& image, const QByteArray& bytes) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    image.LoadFromStream(buffer);
}

inline ::testing::AssertionResult SamePixels(const QImage& actual, const QImage& expected) {
    if (actual.size() != expected.size())
        return ::testing::AssertionFailure() << "size " << actual.width() << "x" << actual.height() << " instead of "
                                             << expected.width() << "x" << expected.height();
    const QImage a = actual.convertToFormat(QImage::Format_ARGB32);
    const QImage e = expected.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if (a.pixel(x, y) != e.pixel(x, y))
                return ::testing::AssertionFailure() << "pixel " << x << "," << y << " is " << std::hex << a.pixel(x, y)
                                                     << " instead of " << e.pixel(x, y);
    return ::testing::AssertionSuccess();
}

// The same after premultiplying both: what Qt's readers that premultiply can match.
inline ::testing::AssertionResult SamePremultiplied(const QImage& actual, const QImage& expected) {
    return SamePixels(actual.convertToFormat(QImage::Format_ARGB32_Premultiplied),
                      expected.convertToFormat(QImage::Format_ARGB32_Premultiplied)
                          .convertToFormat(QImage::Format_ARGB32_Premultiplied));
}
