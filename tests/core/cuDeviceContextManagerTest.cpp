#include "core/cuDeviceContextManager.h"
#include "support/testCases.h"

#include <QFontInfo>
#include <QImage>
#include <QPrinter>

#include <gtest/gtest.h>

namespace {

QImage ImageAt(int pixelsPerInch) {
    QImage image(1, 1, QImage::Format_ARGB32_Premultiplied);
    image.setDotsPerMeterX(qRound(pixelsPerInch / 0.0254));
    image.setDotsPerMeterY(qRound(pixelsPerInch / 0.0254));
    return image;
}

}  // namespace

TEST(DeviceContextManager, PointsToPixelsRoundsHalfAwayFromZero) {
    for (const CaseRow& c : LoadCases("core/fonts.txt", "PointsToPixels"))
        EXPECT_EQ(PointsToPixels(c.Int("Points"), c.Int("Dpi")), c.Int("Pixels")) << c.Text();
}

TEST(DeviceContextManager, FontSizeFollowsTheDeviceResolution) {
    TDeviceContextManager manager;
    EXPECT_EQ(DeviceContextManager()->PixelsPerInch(), 96);  // the unit's one instance
    EXPECT_EQ(manager.CreateFont(QStringLiteral("DejaVu Sans"), 10, {}).pixelSize(), 13);

    const QImage image120 = ImageAt(120);
    manager.Recreate(&image120);
    EXPECT_EQ(manager.CreateFont(QStringLiteral("DejaVu Sans"), 10, {}).pixelSize(), 17);

    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setResolution(600);
    manager.Recreate(&printer);
    const QFont printed = manager.CreateFont(QStringLiteral("DejaVu Sans"), 10, {});
    EXPECT_EQ(printed.pixelSize(), 83);
    EXPECT_NEAR(manager.Metrics(printed).height(), 83 * 1.16, 83 * 0.2) << "measured at the printer's size";

    manager.Recreate(nullptr);
    EXPECT_EQ(manager.PixelsPerInch(), 96);
}

TEST(DeviceContextManager, StylesMeasuringSettingsFixedPitchAndCachedMetrics) {
    TDeviceContextManager manager;
    const QFont plain = manager.CreateFont(QStringLiteral("DejaVu Sans"), 10, {});
    EXPECT_FALSE(plain.bold());
    EXPECT_FALSE(plain.italic() || plain.underline() || plain.strikeOut());
    EXPECT_FALSE(plain.kerning());
    EXPECT_TRUE(plain.styleStrategy() & QFont::PreferNoShaping);
    EXPECT_EQ(plain.hintingPreference(), QFont::PreferFullHinting);
    EXPECT_EQ(QFontInfo(plain).family(), QStringLiteral("DejaVu Sans"));

    const QFont styled = manager.CreateFont(QStringLiteral("DejaVu Sans"), 10,
                                            TFontStyle::Bold | TFontStyle::Italic | TFontStyle::Underline | TFontStyle::StrikeOut);
    EXPECT_EQ(styled.weight(), QFont::Bold);
    EXPECT_TRUE(styled.italic() && styled.underline() && styled.strikeOut());
    // a fixed-pitch request gives a monospace font
    for (const QString& face : {QString(), QStringLiteral("DejaVu Sans"), QStringLiteral("No Such Face")}) {
        const QFont font = manager.CreateFont(face, 10, {}, TFontPitch::Fixed);
        EXPECT_TRUE(QFontInfo(font).fixedPitch()) << face.toStdString();
        const QFontMetricsF& m = manager.Metrics(font);
        EXPECT_EQ(m.horizontalAdvance(QLatin1Char('i')), m.horizontalAdvance(QLatin1Char('W'))) << face.toStdString();
    }
    EXPECT_FALSE(QFontInfo(manager.CreateFont(QStringLiteral("DejaVu Sans"), 10, {}, TFontPitch::Variable)).fixedPitch());
    // Metrics are cached per font until the manager is made again.
    manager.Recreate(nullptr);
    const QFontMetricsF* first = &manager.Metrics(plain);
    EXPECT_EQ(&manager.Metrics(plain), first);
    EXPECT_EQ(&manager.Metrics(manager.CreateFont(QStringLiteral("DejaVu Sans"), 10, {})), first) << "equal fonts share";
    EXPECT_NE(&manager.Metrics(styled), first);
    EXPECT_EQ(manager.CachedMetricsCount(), 2);
    manager.Recreate(nullptr);
    EXPECT_EQ(manager.CachedMetricsCount(), 0);
    manager.Metrics(styled);  // the font asked for last is measured again on the new device
    EXPECT_EQ(manager.CachedMetricsCount(), 1);
}
