// Icons and cursors made by icotool (Debian icoutils) must read as their
// source images and as Qt's own icon reader reads them.

#include "core/umBitmap32.h"
#include "core/umIcon.h"
#include "core/umUniversalImage.h"

#include <QImageReader>
#include <QLinearGradient>
#include <QPainter>
#include <QProcess>
#include <QRadialGradient>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "support/imageCompare.h"

namespace {

// Anti-aliased shapes over transparency: every alpha level from 0 to 255.
QImage SourceImage(int size) {
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QRadialGradient g(size / 2.0, size / 2.0, size / 2.0);
    g.setColorAt(0, QColor(250, 40, 10, 255));
    g.setColorAt(0.7, QColor(20, 180, 90, 160));
    g.setColorAt(1, QColor(10, 30, 200, 0));
    p.setBrush(g);
    p.setPen(QPen(QColor(0, 0, 0, 200), 1.3));
    p.drawEllipse(QRectF(1.5, 1.5, size - 3, size - 3));
    p.fillRect(QRect(0, 0, size / 4, size / 4), QColor(255, 255, 0));
    p.end();
    return image;
}

// Qt's reader of the file, image by image.
QList<QImage> QtFrames(const QString& fileName) {
    QImageReader reader(fileName, "ico");
    QList<QImage> frames;
    for (int i = 0; i < reader.imageCount(); ++i) {
        reader.jumpToImage(i);
        frames << reader.read();
    }
    return frames;
}

class IcotoolFiles : public ::testing::Test {
protected:
    QTemporaryDir dir;

    void SetUp() override {
        ASSERT_FALSE(QStandardPaths::findExecutable(QStringLiteral("icotool")).isEmpty())
            << "icotool missing: scripts/deps.sh installs icoutils";
        ASSERT_TRUE(dir.isValid());
    }
    QString Path(const QString& name) const { return dir.filePath(name); }
    QString Source(int size) {
        const QString path = Path(QStringLiteral("s%1.png").arg(size));
        if (!QFile::exists(path)) SourceImage(size).save(path, "PNG");
        return path;
    }
    void Icotool(const QStringList& args) {
        QProcess process;
        process.start(QStringLiteral("icotool"), args);
        ASSERT_TRUE(process.waitForFinished(30000));
        ASSERT_EQ(process.exitCode(), 0) << process.readAllStandardError().constData();
    }
};

TEST_F(IcotoolFiles, AlphaIconMatchesSourcesAndQt) {
    const QString ico = Path(QStringLiteral("a.ico"));
    Icotool({QStringLiteral("-c"), QStringLiteral("-o"), ico, Source(16), Source(32), Source(48)});
    TUniversalImage image;
    image.LoadFromFile(ico);
    const QList<QImage> qt = QtFrames(ico);
    ASSERT_EQ(image.GetFrameCount(), 3);
    ASSERT_EQ(qt.size(), 3);
    const int sizes[] = {16, 32, 48};
    for (int i = 0; i < 3; ++i) {
        const QImage frame = image.GetFrame(i)->Image();
        EXPECT_TRUE(SamePixels(frame, SourceImage(sizes[i]))) << "frame " << i;
        EXPECT_TRUE(SamePremultiplied(frame, qt[i])) << "frame " << i;
    }
}

TEST_F(IcotoolFiles, CursorKeepsHotSpotAndMatchesQt) {
    const QString cur = Path(QStringLiteral("a.cur"));
    Icotool({QStringLiteral("-c"), QStringLiteral("--cursor"), QStringLiteral("-X"), QStringLiteral("3"),
             QStringLiteral("-Y"), QStringLiteral("7"), QStringLiteral("-o"), cur, Source(32)});
    QFile file(cur);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    TIconImage icon;
    icon.LoadFromStream(file);
    ASSERT_EQ(icon.Count(), 1);
    EXPECT_TRUE(icon.IsCursor());
    EXPECT_EQ(icon.Entry(0).HotSpotX, 3);
    EXPECT_EQ(icon.Entry(0).HotSpotY, 7);

    TUniversalImage image;
    image.LoadFromFile(cur);
    ASSERT_EQ(image.GetFrameCount(), 1);
    EXPECT_TRUE(SamePixels(image.GetFirstFrame()->Image(), SourceImage(32)));
    const QList<QImage> qt = QtFrames(cur);
    ASSERT_EQ(qt.size(), 1);
    EXPECT_TRUE(SamePremultiplied(image.GetFirstFrame()->Image(), qt[0]));
}

TEST_F(IcotoolFiles, RawPngIconMatchesSourceAndQt) {
    const QString ico = Path(QStringLiteral("raw.ico"));
    Icotool({QStringLiteral("-c"), QStringLiteral("-o"), ico, Source(16), QStringLiteral("-r"), Source(256)});
    TIconImage icon;
    QFile file(ico);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    icon.LoadFromStream(file);
    ASSERT_EQ(icon.Count(), 2);
    EXPECT_TRUE(icon.Entry(1).IsPng);
    EXPECT_EQ(icon.Width(1), 256);

    TUniversalImage image;
    image.LoadFromFile(ico);
    ASSERT_EQ(image.GetFrameCount(), 2);
    EXPECT_TRUE(SamePixels(image.GetFrame(0)->Image(), SourceImage(16)));
    EXPECT_TRUE(SamePixels(image.GetFrame(1)->Image(), SourceImage(256)));
    const QList<QImage> qt = QtFrames(ico);
    ASSERT_EQ(qt.size(), 2);
    for (int i = 0; i < 2; ++i)
        EXPECT_TRUE(SamePremultiplied(image.GetFrame(i)->Image(), qt[i])) << "frame " << i;
}

// icotool leaves the colours of masked pixels as they were, which the mask
// rules read as the screen-inverting kind: they come out opaque black or, over
// black, transparent. Qt's reader differs there; elsewhere both agree.
TEST_F(IcotoolFiles, MaskedIconMatchesSourceAndQtWhereOpaque) {
    const QString ico = Path(QStringLiteral("b.ico"));
    Icotool({QStringLiteral("-c"), QStringLiteral("-b"), QStringLiteral("24"), QStringLiteral("-o"), ico, Source(32)});
    TUniversalImage image;
    image.LoadFromFile(ico);
    ASSERT_EQ(image.GetFrameCount(), 1);
    const QImage frame = image.GetFirstFrame()->Image();
    const QImage source = SourceImage(32);
    const QList<QImage> qt = QtFrames(ico);
    ASSERT_EQ(qt.size(), 1);
    const QImage qtFrame = qt[0].convertToFormat(QImage::Format_ARGB32);
    int masked = 0;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            const QRgb s = source.pixel(x, y), f = frame.pixel(x, y);
            if (qAlpha(s) > 127) {
                EXPECT_EQ(f, s | 0xFF000000u) << x << "," << y;
                EXPECT_EQ(f, qtFrame.pixel(x, y)) << x << "," << y;
            } else {
                EXPECT_TRUE(f == 0u || f == 0xFF000000u) << x << "," << y;
                ++masked;
            }
        }
    EXPECT_GT(masked, 0);
}

}  // namespace
