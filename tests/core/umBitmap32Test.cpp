#include "core/umBitmap32.h"

#include <gtest/gtest.h>

namespace {

TBitmap32 Filled(int w, int h, QRgb color) {
    TBitmap32 b;
    b.SetSize(w, h);
    b.Clear(color);
    return b;
}

TEST(Bitmap32, SetSizeClearsToTransparentAndZeroEmpties) {
    TBitmap32 b = Filled(3, 2, qRgb(1, 2, 3));
    ASSERT_TRUE(b.SetSize(4, 5));
    EXPECT_EQ(b.Width(), 4);
    EXPECT_EQ(b.Pixel(3, 4), 0u);
    EXPECT_TRUE(b.SetSize(0, 7));
    EXPECT_TRUE(b.Empty());
    EXPECT_FALSE(b.SetSize(-1, 2));
}

TEST(Bitmap32, OpaqueModeCopiesPixelsWithTheirAlphaBlendModeScalesByMasterAlpha) {
    TBitmap32 target = Filled(4, 4, qRgb(255, 255, 255));
    TBitmap32 source = Filled(2, 2, qRgba(10, 20, 30, 40));
    source.DrawTo(target, -1, 3);  // clipped to one pixel
    EXPECT_EQ(target.Pixel(0, 3), qRgba(10, 20, 30, 40));
    EXPECT_EQ(target.Pixel(1, 3), qRgb(255, 255, 255));
    EXPECT_EQ(target.Pixel(0, 2), qRgb(255, 255, 255));
    source = Filled(1, 1, qRgb(0, 0, 0));
    source.SetDrawMode(TDrawMode::Blend);
    source.SetMasterAlpha(128);
    target = Filled(1, 1, qRgb(200, 100, 0));
    source.DrawTo(target, 0, 0);
    EXPECT_NEAR(qRed(target.Pixel(0, 0)), 100, 1);
    EXPECT_EQ(qAlpha(target.Pixel(0, 0)), 255);
    source.SetMasterAlpha(0);
    source.DrawTo(target, 0, 0);
    EXPECT_NEAR(qRed(target.Pixel(0, 0)), 100, 1);
}

TEST(Bitmap32, AssignConvertsToStraightAlpha) {
    QImage premultiplied(1, 1, QImage::Format_ARGB32_Premultiplied);
    premultiplied.setPixel(0, 0, qRgba(50, 25, 0, 128));
    TBitmap32 b;
    b.Assign(premultiplied);
    EXPECT_EQ(b.Image().format(), QImage::Format_ARGB32);
    EXPECT_EQ(b.Pixel(0, 0), qRgba(100, 50, 0, 128));
}

}  // namespace
