#include "platform/plSystemColors.h"

#include <array>
#include <atomic>

namespace {

constexpr std::array<QRgb, size_t(TSystemColor::Count)> Fallbacks{
    0xFFFFFFFF,  // Window
    0xFF000000,  // WindowText
    0xFF3399FF,  // Highlight
    0xFFFFFFFF,  // HighlightText
    0xFFF0F0F0,  // BtnFace
    0xFF6D6D6D,  // GrayText
    0xFFFFFFFF,  // BtnHighlight
    0xFFE3E3E3,  // BtnLight
    0xFFA0A0A0,  // BtnShadow
    0xFF696969,  // BtnDkShadow
    0xFF000000,  // BtnText
    0xFF646464,  // WindowFrame
};

std::array<std::atomic<QRgb>, size_t(TSystemColor::Count)>& Colors() {
    static std::array<std::atomic<QRgb>, size_t(TSystemColor::Count)> colors;
    static const bool filled = [] {
        for (size_t i = 0; i < Fallbacks.size(); ++i) colors[i] = Fallbacks[i];
        return true;
    }();
    (void)filled;
    return colors;
}

}  // namespace

QRgb GetSystemColor(TSystemColor color) noexcept { return Colors()[size_t(color)].load(std::memory_order_relaxed); }

void SetSystemColor(TSystemColor color, QRgb value) noexcept {
    Colors()[size_t(color)].store(value, std::memory_order_relaxed);
}

void ResetSystemColors() noexcept {
    for (size_t i = 0; i < Fallbacks.size(); ++i) Colors()[i] = Fallbacks[i];
}

int GetSystemBorderWidth() noexcept { return 1; }
