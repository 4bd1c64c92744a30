#pragma once
// Fonts are made and text is measured outside any window. The one
// TDeviceContextManager keeps a measuring device (the screen's resolution
// unless Recreate was given a printer or another reference), makes fonts whose
// size in points is converted with that resolution, and caches the metrics of
// each font on that device. The user-interface thread only.

#include "platform/plMeasureDevice.h"

#include <QFlags>
#include <QFont>
#include <QFontMetricsF>
#include <QString>

#include <memory>
#include <optional>
#include <unordered_map>

class QPaintDevice;

enum class TFontStyle : unsigned {
    Bold = 1,
    Italic = 2,
    Underline = 4,
    StrikeOut = 8,
};
Q_DECLARE_FLAGS(TFontStyles, TFontStyle)
Q_DECLARE_OPERATORS_FOR_FLAGS(TFontStyles)

enum class TFontPitch { Default, Fixed, Variable };

// MulDiv(size, pixelsPerInch, 72) rounded half away from zero: 10 points are
// 13 pixels at 96 pixels per inch and 17 at 120.
int PointsToPixels(int points, int pixelsPerInch) noexcept;

class TDeviceContextManager {
public:
    // Measures for the screen.
    TDeviceContextManager();
    ~TDeviceContextManager();
    TDeviceContextManager(const TDeviceContextManager&) = delete;
    TDeviceContextManager& operator=(const TDeviceContextManager&) = delete;

    // Replaces the measuring device by one compatible with reference (nullptr:
    // the screen) and forgets the cached metrics. Used to measure for a printer.
    void Recreate(const QPaintDevice* reference);

    int PixelsPerInch() const noexcept { return m_device->PixelsPerInch(); }
    QPaintDevice* Device() const noexcept { return m_device->PaintDevice(); }

    // A font of faceName whose pixel size is size points at the device's
    // resolution. Kerning is off and text is not shaped, with full hinting, so
    // that the width of a text is the sum of the widths of its characters. A
    // fixed-pitch request that the face cannot meet takes the system's fixed font.
    QFont CreateFont(const QString& faceName, int size, TFontStyles style, TFontPitch pitch = TFontPitch::Default) const;

    // The metrics of font on the measuring device, made once per font and
    // device; valid until the next Recreate.
    const QFontMetricsF& Metrics(const QFont& font);
    int CachedMetricsCount() const noexcept { return int(m_metrics.size()); }

private:
    std::unique_ptr<TMeasureDevice> m_device;
    std::unordered_map<QString, std::unique_ptr<const QFontMetricsF>> m_metrics;
    // The font asked for last (a copy sharing its data) and its metrics: texts
    // are measured in one font many times in a row, and a font's key costs
    // more to make than a short text to measure.
    std::optional<QFont> m_lastFont;
    const QFontMetricsF* m_lastMetrics = nullptr;
};

// The one instance; nullptr outside the unit's lifetime.
TDeviceContextManager* DeviceContextManager() noexcept;

void InitDeviceContextManagerUnit();
void FinalDeviceContextManagerUnit();
