#include "core/cuDeviceContextManager.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QStringList>

#include <cstdlib>

namespace {
std::unique_ptr<TDeviceContextManager> g_manager;

// The system's monospace font, or where it resolves to a face that is not
// fixed pitch throughout (some monospace faces hold a few wide signs), the
// first installed family that is.
QString FixedPitchFamily() {
    const QString system = QFontDatabase::systemFont(QFontDatabase::FixedFont).family();
    if (QFontInfo(QFont(system)).fixedPitch()) return system;
    for (const QString& family : QFontDatabase::families())
        if (QFontDatabase::isFixedPitch(family) && QFontInfo(QFont(family)).fixedPitch()) return family;
    return system;
}
}  // namespace

int PointsToPixels(int points, int pixelsPerInch) noexcept {
    const long long product = static_cast<long long>(points) * pixelsPerInch;
    const long long magnitude = (std::llabs(product) + 36) / 72;
    return int(product < 0 ? -magnitude : magnitude);
}

TDeviceContextManager::TDeviceContextManager() : m_device(plCreateCompatibleMeasureDevice(nullptr)) {}

TDeviceContextManager::~TDeviceContextManager() = default;

void TDeviceContextManager::Recreate(const QPaintDevice* reference) {
    m_lastFont.reset();
    m_lastMetrics = nullptr;
    m_metrics.clear();
    m_device = plCreateCompatibleMeasureDevice(reference);
}

QFont TDeviceContextManager::CreateFont(const QString& faceName, int size, TFontStyles style, TFontPitch pitch) const {
    QFont font(faceName);
    font.setPixelSize(qMax(1, PointsToPixels(size, PixelsPerInch())));
    font.setWeight(style.testFlag(TFontStyle::Bold) ? QFont::Bold : QFont::Normal);
    font.setItalic(style.testFlag(TFontStyle::Italic));
    font.setUnderline(style.testFlag(TFontStyle::Underline));
    font.setStrikeOut(style.testFlag(TFontStyle::StrikeOut));
    font.setKerning(false);
    font.setStyleStrategy(QFont::PreferNoShaping);
    font.setHintingPreference(QFont::PreferFullHinting);
    if (pitch == TFontPitch::Fixed) {
        font.setStyleHint(QFont::TypeWriter, QFont::PreferNoShaping);
        font.setFixedPitch(true);
        // pitch weighs more than the face name, as in the system's font mapper
        if (!QFontInfo(font).fixedPitch()) font.setFamilies(QStringList{FixedPitchFamily()});
    } else if (pitch == TFontPitch::Variable) {
        font.setFixedPitch(false);
    }
    return font;
}

const QFontMetricsF& TDeviceContextManager::Metrics(const QFont& font) {
    if (m_lastMetrics && font.isCopyOf(*m_lastFont)) return *m_lastMetrics;
    std::unique_ptr<const QFontMetricsF>& metrics = m_metrics[font.key()];
    if (!metrics) metrics = std::make_unique<const QFontMetricsF>(font, m_device->PaintDevice());
    m_lastFont = font;
    m_lastMetrics = metrics.get();
    return *metrics;
}

TDeviceContextManager* DeviceContextManager() noexcept { return g_manager.get(); }

void InitDeviceContextManagerUnit() { g_manager = std::make_unique<TDeviceContextManager>(); }

void FinalDeviceContextManagerUnit() { g_manager.reset(); }
