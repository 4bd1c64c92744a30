#include "platform/plMeasureDevice.h"

#include <QImage>
#include <QPaintDevice>

#include <gtest/gtest.h>

TEST(MeasureDevice, ReportsTheResolutionItWasMadeForOrTheReferences) {
    for (int dpi : {72, 96, 120, 144, 300, 600, 1200}) {
        const std::unique_ptr<TMeasureDevice> device = plCreateMeasureDevice(dpi);
        EXPECT_EQ(device->PixelsPerInch(), dpi);
        EXPECT_EQ(device->PaintDevice()->logicalDpiY(), dpi) << "fonts resolve at the same resolution";
    }
    EXPECT_EQ(plCreateMeasureDevice(0)->PixelsPerInch(), plScreenPixelsPerInch) << "no resolution: the screen's";
    EXPECT_EQ(plCreateCompatibleMeasureDevice(nullptr)->PixelsPerInch(), 96);
    QImage reference(10, 10, QImage::Format_RGB32);
    reference.setDotsPerMeterY(qRound(300 / 0.0254));
    EXPECT_EQ(plCreateCompatibleMeasureDevice(&reference)->PixelsPerInch(), 300);
}
