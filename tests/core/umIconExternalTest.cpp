// Icons and cursors made by icotool (Debian icoutils) must read as their
// source images and as Qt's own icon reader reads them.

#include "core/umBitmap32.h"
#include "core/umIcon.h"
#include "core/umUniversalImage.h"

#include <QImageReader>
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

// One file made by icotool from sources of the given sizes, read by this
// program and by Qt, image by image. (Cursors and PNG entries are read from
// the fixtures and the writer's files in umIconTest.)
struct TIcotoolFile {
    TIconImage icon;
    QList<QImage> frames, qtFrames;
};

class IcotoolFiles : public ::testing::Test {
protected:
    QTemporaryDir dir;

    void SetUp() override {
        ASSERT_FALSE(QStandardPaths::findExecutable(QStringLiteral("icotool")).isEmpty())
            << "icotool missing: scripts/deps.sh installs icoutils";
        ASSERT_TRUE(dir.isValid());
    }
    void Make(TIcotoolFile& out, QStringList args, const QList<int>& sizes) {
        const QString path = dir.filePath(QStringLiteral("made.ico"));
        args = QStringList{QStringLiteral("-c"), QStringLiteral("-o"), path} + args;
        for (int size : sizes) {
            const QString source = dir.filePath(QStringLiteral("s%1.png").arg(size));
            SourceImage(size).save(source, "PNG");
            args << source;
        }
        QProcess process;
        process.start(QStringLiteral("icotool"), args);
        ASSERT_TRUE(process.waitForFinished(30000));
        ASSERT_EQ(process.exitCode(), 0) << process.readAllStandardError().constData();
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        out.icon.LoadFromStream(file);
        TUniversalImage image;
        image.LoadFromFile(path);
        for (int i = 0; i < image.GetFrameCount(); ++i) out.frames << image.GetFrame(i)->Image();
        QImageReader reader(path, "ico");
        for (int i = 0; i < reader.imageCount(); ++i) {
            reader.jumpToImage(i);
            out.qtFrames << reader.read();
        }
        ASSERT_EQ(out.icon.Count(), sizes.size());
        ASSERT_EQ(out.frames.size(), sizes.size());
        ASSERT_EQ(out.qtFrames.size(), sizes.size());
    }
};

TEST_F(IcotoolFiles, AlphaIconMatchesSourcesAndQt) {
    TIcotoolFile file;
    ASSERT_NO_FATAL_FAILURE(Make(file, {}, {16, 32, 48}));
    EXPECT_FALSE(file.icon.IsCursor());
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(SamePixels(file.frames[i], SourceImage(16 * (i + 1)))) << "frame " << i;
        EXPECT_TRUE(SamePremultiplied(file.frames[i], file.qtFrames[i])) << "frame " << i;
    }
}

// icotool leaves the colours of masked pixels as they were, which the mask
// rules read as the screen-inverting kind: they come out opaque black or, over
// black, transparent. Qt's reader differs there; elsewhere both agree.
TEST_F(IcotoolFiles, MaskedIconMatchesSourceAndQtWhereOpaque) {
    TIcotoolFile file;
    ASSERT_NO_FATAL_FAILURE(Make(file, {"-b", "24"}, {32}));
    const QImage source = SourceImage(32);
    const QImage qtFrame = file.qtFrames[0].convertToFormat(QImage::Format_ARGB32);
    int masked = 0;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            const QRgb s = source.pixel(x, y), f = file.frames[0].pixel(x, y);
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
