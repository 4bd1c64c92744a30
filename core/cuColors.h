#pragma once
// Colours of the model: 32-bit ARGB (QRgb layout) with one value that means
// "no colour". Stored Windows colour values (0x00BBGGRR) are converted where
// files are read and written, never inside the model.

#include <QRgb>

#include <cstdint>

using TColor = QRgb;

// The "no colour" value: no frame, no fill, no shadow.
constexpr TColor clNone = 0x1FFFFFFF;

constexpr TColor MakeColor(int red, int green, int blue, int alpha = 255) noexcept {
    return (TColor(alpha & 0xFF) << 24) | (TColor(red & 0xFF) << 16) | (TColor(green & 0xFF) << 8) | TColor(blue & 0xFF);
}

// A stored Windows colour (0x00BBGGRR) as an opaque colour, and back.
constexpr TColor ColorFromWindows(uint32_t bgr) noexcept {
    return MakeColor(int(bgr & 0xFF), int((bgr >> 8) & 0xFF), int((bgr >> 16) & 0xFF));
}
constexpr uint32_t ColorToWindows(TColor color) noexcept {
    return uint32_t(qRed(color)) | (uint32_t(qGreen(color)) << 8) | (uint32_t(qBlue(color)) << 16);
}
