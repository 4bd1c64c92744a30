#pragma once
// A device on which text is measured and fonts are resolved, outside any
// window: a 1 x 1 image whose resolution is that of the screen (96 pixels per
// inch) or of a reference device such as a printer.

#include <memory>

class QPaintDevice;

class TMeasureDevice {
public:
    virtual ~TMeasureDevice() = default;
    // The device for QFontMetricsF(font, device).
    virtual QPaintDevice* PaintDevice() = 0;
    // Vertical resolution in pixels per inch.
    virtual int PixelsPerInch() const = 0;
};

// The resolution the program assumes for the screen, whatever the monitor.
constexpr int plScreenPixelsPerInch = 96;

// A measuring device at the given resolution.
std::unique_ptr<TMeasureDevice> plCreateMeasureDevice(int pixelsPerInch);
// A measuring device with the vertical resolution of reference (a printer,
// an image); nullptr means the screen.
std::unique_ptr<TMeasureDevice> plCreateCompatibleMeasureDevice(const QPaintDevice* reference);
