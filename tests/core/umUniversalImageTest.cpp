#include "core/umUniversalImage.h"

#include "core/cuStringIds.h"
#include "core/umBitmap32.h"
#include "core/umGDIPlus.h"
#include "core/umIcon.h"
#include "platform/plImageCodecs.h"
#include "support/fakeImageCodecs.h"
#include "support/iconFixtures.h"
#include "support/testCorpus.h"
#include "support/testDevices.h"
#include "support/testEnglish.h"
#include "support/testFiles.h"
#include "support/testIconReplay.h"
#include "support/testRaise.h"

#include <QSet>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "support/imageCompare.h"

#include <cmath>

namespace {

QByteArray TwoImageIcon() {
    QImage a(8, 8, QImage::Format_ARGB32), b(16, 16, QImage::Format_ARGB32);
    a.fill(qRgba(10, 20, 30, 200));
    b.fill(qRgba(200, 100, 50, 255));
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    SaveIconToStream(buffer, {{a, 32, false, {}}, {b, 24, false, {}}}, false);
    return buffer.data();
}

int GdipStatus(const std::function<void()>& f) {
    try {
        f();
    } catch (const EGdipException& e) {
        return e.Status();
    }
    return -1;
}

TEST(UniversalImage, IconsGoToTheIconReaderByExtensionOrHeaderAndPngsLoadAsFrames) {
    QTemporaryDir dir;
    const QByteArray bytes = TwoImageIcon();
    // Other extensions go to the image library, which reads only the first image.
    for (const auto& [name, frames] : {std::pair{"a.ICO", 2}, {"b.ico", 2}, {"c.Cur", 2}, {"d.bin", 1}}) {
        ASSERT_TRUE(WriteTestFile(dir.filePath(QString::fromLatin1(name)), bytes));
        TUniversalImage image;
        image.LoadFromFile(dir.filePath(QString::fromLatin1(name)));
        EXPECT_EQ(image.GetFrameCount(), frames) << name;
    }
    // Streams are routed by their header, read from where they stand.
    const QByteArray prefix("xyz");
    QBuffer buffer;
    buffer.setData(prefix + bytes);
    buffer.open(QIODevice::ReadOnly);
    buffer.seek(prefix.size());
    TUniversalImage image;
    image.LoadFromStream(buffer);
    ASSERT_EQ(image.GetFrameCount(), 2);
    EXPECT_EQ(image.GetFrame(0)->Pixel(0, 0), qRgba(10, 20, 30, 200));
    EXPECT_EQ(image.GetFrame(1)->Pixel(15, 15), qRgb(200, 100, 50));
    // PNG files and PNG entries of icons load as frames with their alpha.
    const QImage source = Photo(256, 256, true);
    QBuffer pngIcon;
    pngIcon.open(QIODevice::WriteOnly);
    ASSERT_TRUE(SaveIconToStream(pngIcon, {{source, 32, true, {}}}, false));
    for (const QByteArray& png : {pngIcon.data(), EncodedImage(source, "PNG")}) {
        TUniversalImage frame;
        LoadFromBytes(frame, png);
        ASSERT_EQ(frame.GetFrameCount(), 1);
        EXPECT_TRUE(SamePixels(frame.GetFirstFrame()->Image(), source));
        EXPECT_EQ(frame.GetFirstFrame()->DrawMode(), TDrawMode::Blend);
    }
}

TEST(UniversalImage, RegressionBrokenPngEntryLeftTheFramesBeforeIt) {
    TFixtureBitmap bmp;
    bmp.width = 2;
    bmp.height = 1;
    bmp.bitCount = 24;
    bmp.values = {0x102030u, 0x405060u};
    TFixtureEntry png;
    png.data = QByteArray("\x89PNG\r\n\x1A\nnot really a png", 24);
    TUniversalImage image;
    EXPECT_NE(GdipStatus([&] { LoadFromBytes(image, IconFileBytes({BitmapEntry(bmp), png})); }), -1);
    EXPECT_TRUE(image.IsEmpty());
}

TEST(UniversalImage, FailedLoadsRaiseAndAddNoFrame) {
    TUniversalImage image;
    EXPECT_EQ(image.GetSize(), QSize(0, 0));
    EXPECT_EQ(image.GetFirstFrame(), nullptr);
    EXPECT_EQ(RaisedId([&] { LoadFromBytes(image, IconFileBytes({})); }), strStreamReadError);  // no images
    TFixtureEntry broken;
    broken.data = QByteArray(100, '\x01');
    EXPECT_NE(RaisedId([&] { LoadFromBytes(image, IconFileBytes({broken})); }), -1);
    EXPECT_EQ(GdipStatus([&] { LoadFromBytes(image, QByteArray()); }), csInvalidParameter);
    EXPECT_EQ(GdipStatus([&] { LoadFromBytes(image, QByteArray(64, 'q')); }), csUnknownImageFormat);
    const QByteArray cut = EncodedImage(Photo(30, 30, false), "PNG").left(60);
    EXPECT_EQ(GdipStatus([&] { LoadFromBytes(image, cut); }), csGenericError);
    EXPECT_TRUE(image.IsEmpty()) << "no failed load adds a frame";
    EXPECT_EQ(RaisedId([&] { LoadFromBytes(image, QByteArray(8, 'q')); }), strInvalidGdipOperation);
    const EGdipException e = (TEnglishTexts(), EGdipException(13));  // the text is fixed when made
    EXPECT_EQ(e.Text(), QStringLiteral("Invalid GDI+ operation (13)"));
    EXPECT_EQ(RaisedId([&] { image.LoadFromFile(QStringLiteral("/nonexistent/x.png")); }), strFileNotFound);
    QTemporaryDir dir;  // exists, but cannot be read as a file
    EXPECT_EQ(RaisedId([&] { image.LoadFromFile(dir.path()); }), strStreamReadError);
}

// Images were read without bound: /dev/zero ran out of memory after two
// gigabytes, a pipe waited for its writer for ever, and a stream was read as
// far as the size it told.
TEST(UniversalImage, RegressionOnlyRegularFilesAndStreamsWithinTheLimitAreRead) {
    QTemporaryDir dir;
    ASSERT_TRUE(MakeNamedPipe(dir.filePath("pipe.png")) && MakeNamedPipe(dir.filePath("pipe.ico")));
    TUniversalImage image;
    for (const QString& path : {QStringLiteral("/dev/zero"), dir.filePath("pipe.png"), dir.filePath("pipe.ico")})
        EXPECT_EQ(RaisedId([&] { image.LoadFromFile(path); }), strStreamReadError) << path.toStdString();
    TFixtureEntry pngEntry;
    pngEntry.data = EncodedImage(Photo(4, 4, true), "PNG");
    // A picture and an icon at the start of streams that tell a size past the limit.
    for (const QByteArray& head : {pngEntry.data, IconFileBytes({pngEntry})}) {
        TOversizedDevice stream(head, MaxEncodedImageBytes + 1);
        EXPECT_EQ(RaisedId([&] { image.LoadFromStream(stream); }), strStreamReadError);
        EXPECT_LT(stream.Served, 64) << "no more than the header looked at";
    }
    TOversizedDevice source(pngEntry.data, MaxEncodedImageBytes + 1);
    QBuffer dest;
    dest.open(QIODevice::WriteOnly);
    EXPECT_EQ(RaisedId([&] { TUniversalImage::ConvertToPng(source, dest); }), strStreamReadError);
    EXPECT_TRUE(image.IsEmpty());
    // Within the limit a stream is read to its end (zeros after the picture).
    TOversizedDevice within(pngEntry.data, 1 << 20);
    image.LoadFromStream(within);
    EXPECT_EQ(image.GetFrameCount(), 1);
}

TEST(UniversalImage, LoadingAppendsFramesAssignCopiesEveryFrameAndDrawToBlends) {
    TUniversalImage a, b;
    LoadFromBytes(a, TwoImageIcon());
    LoadFromBytes(b, EncodedImage(Photo(4, 4, false), "PNG"));
    LoadFromBytes(b, TwoImageIcon());
    EXPECT_EQ(b.GetFrameCount(), 3);
    EXPECT_EQ(b.GetSize(), QSize(4, 4));
    b.Assign(a);
    ASSERT_EQ(b.GetFrameCount(), 2);
    a.GetFrame(0)->SetPixel(0, 0, 0);
    EXPECT_EQ(b.GetFrame(0)->Pixel(0, 0), qRgba(10, 20, 30, 200));
    b.Clear();
    EXPECT_TRUE(b.IsEmpty());
    // DrawTo blends the chosen frame.
    TUniversalImage& image = b;
    LoadFromBytes(image, TwoImageIcon());
    TBitmap32 target;
    target.SetSize(20, 20);
    target.Clear(qRgb(255, 255, 255));
    image.DrawTo(target, 2, 3);  // first frame: (10, 20, 30) at alpha 200
    const QRgb blended = target.Pixel(2, 3);
    EXPECT_NEAR(qRed(blended), (10 * 200 + 255 * 55) / 255, 1);
    EXPECT_EQ(qAlpha(blended), 255);
    EXPECT_EQ(target.Pixel(1, 3), qRgb(255, 255, 255));
    image.DrawTo(target, 4, 4, 1);
    EXPECT_EQ(target.Pixel(19, 19), qRgb(200, 100, 50));

    TUniversalImage empty;
    empty.DrawTo(target, 0, 0);
    EXPECT_EQ(target.Pixel(0, 0), qRgb(255, 255, 255));
}

// Conversions

// Converts the PNG of `source` into a destination that holds `prefix` already;
// the image written after the prefix.
QImage Convert(void (*convert)(QIODevice&, QIODevice&), const QImage& source, const QByteArray& prefix = {}) {
    QBuffer in;
    in.setData(EncodedImage(source, "PNG"));
    in.open(QIODevice::ReadOnly);
    QBuffer out;
    out.open(QIODevice::ReadWrite);
    out.write(prefix);
    convert(in, out);
    EXPECT_EQ(out.data().left(prefix.size()), prefix);
    return QImage::fromData(out.data().mid(prefix.size()));
}

QImage Argb(const QImage& image) { return image.convertToFormat(QImage::Format_ARGB32); }

double Psnr(const QImage& a, const QImage& b) {
    double sum = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            for (int d : {qRed(p) - qRed(q), qGreen(p) - qGreen(q), qBlue(p) - qBlue(q)}) sum += d * d;
        }
    const double mse = sum / (3.0 * a.width() * a.height());
    return mse == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / mse);
}

TEST(ImageConversion, BmpPngTiffAreExactJpegAndGifClose) {
    const QImage opaque = Photo(64, 48, false), alpha = Photo(64, 48, true);
    EXPECT_TRUE(SamePixels(Convert(TUniversalImage::ConvertToBmp, opaque), opaque));
    for (auto convert : {TUniversalImage::ConvertToPng, TUniversalImage::ConvertToTiff}) {
        EXPECT_TRUE(SamePixels(Convert(convert, alpha), alpha));
    }
    // JPEG goes at the destination's position; it has no alpha: a translucent
    // source keeps its straight colours, opaque.
    const QImage back = Convert(TUniversalImage::ConvertToJpeg, opaque, "prefix");
    ASSERT_EQ(back.size(), opaque.size());
    EXPECT_GT(Psnr(Argb(back), opaque), 30.0);
    const QImage translucent = Convert(TUniversalImage::ConvertToJpeg, alpha);
    EXPECT_FALSE(translucent.hasAlphaChannel());
    EXPECT_GT(Psnr(Argb(translucent), opaque), 30.0);
    // GIF: at most 256 colours, transparent below half alpha, close to the source.
    const QImage gif = Argb(Convert(TUniversalImage::ConvertToGif, alpha));
    ASSERT_EQ(gif.size(), alpha.size());
    QSet<QRgb> colours;
    for (int y = 0; y < gif.height(); ++y)
        for (int x = 0; x < gif.width(); ++x) {
            colours.insert(gif.pixel(x, y));
            EXPECT_EQ(qAlpha(gif.pixel(x, y)), qAlpha(alpha.pixel(x, y)) < 128 ? 0 : 255) << x << "," << y;
        }
    EXPECT_LE(colours.size(), 256);
    EXPECT_GT(Psnr(Argb(Convert(TUniversalImage::ConvertToGif, opaque)), opaque), 25.0);
}

// Without a usable codec layer

class WithoutCodecs : public ::testing::Test {
protected:
    void SetUp() override {
        auto fake = std::make_unique<TFakeImageCodecs>();
        fake->startable = false;
        codecs = fake.get();
        InstallImageCodecs(std::move(fake));
    }
    void TearDown() override {
        InstallImageCodecs(nullptr);
        LoadGdiPlus();
    }
    TFakeImageCodecs* codecs = nullptr;
};

TEST_F(WithoutCodecs, BitmapIconsStillLoadOtherImagesFailAndAvailabilityIsRetried) {
    EXPECT_FALSE(GdiPlusAvailable());
    QString encoder;
    EXPECT_EQ(GetEncoderClsid(QStringLiteral("image/png"), encoder), 1);
    TUniversalImage image;
    LoadFromBytes(image, TwoImageIcon());
    EXPECT_EQ(image.GetFrameCount(), 2);
    EXPECT_NE(GdipStatus([&] { LoadFromBytes(image, EncodedImage(Photo(4, 4, false), "PNG")); }), -1);
    EXPECT_EQ(codecs->decodes, 0);
    codecs->startable = true;  // asked again on every call
    EXPECT_TRUE(GdiPlusAvailable());
    EXPECT_EQ(GetEncoderClsid(QStringLiteral("IMAGE/PNG"), encoder), 0);
    EXPECT_EQ(encoder, QStringLiteral("image/png"));
    EXPECT_EQ(GetEncoderClsid(QStringLiteral("image/webp"), encoder), 1);
}

// The icon reader's fuzzing corpus: every file either loads or fails with the
// project's exception, through the reader and the universal image.
TEST(IconCorpus, EveryFileLoadsOrFailsCleanly) {
    int loaded = 0;
    const int files = ReplayCorpus("icon-corpus", [&](const QByteArray& bytes) {
        EXPECT_EQ(ReplayIconBytes(bytes).badSizes, 0);
        TUniversalImage image;
        try {
            LoadFromBytes(image, bytes);
            ++loaded;
        } catch (const Exception&) {
        }
    });
    EXPECT_GE(files, 20);
    EXPECT_GT(loaded, 0);
}

}  // namespace
