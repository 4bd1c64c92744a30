#include "platform/plMeasureDevice.h"

#include <QImage>
#include <QPaintDevice>

#include <cmath>

namespace {

class TImageMeasureDevice final : public TMeasureDevice {
public:
    explicit TImageMeasureDevice(int pixelsPerInch)
        : m_image(1, 1, QImage::Format_ARGB32_Premultiplied), m_pixelsPerInch(pixelsPerInch) {
        const int dotsPerMeter = int(std::lround(pixelsPerInch / 0.0254));
        m_image.setDotsPerMeterX(dotsPerMeter);
        m_image.setDotsPerMeterY(dotsPerMeter);
        m_image.fill(0);
    }
    QPaintDevice* PaintDevice() override { return &m_image; }
    int PixelsPerInch() const override { return m_pixelsPerInch; }

private:
    QImage m_image;
    int m_pixelsPerInch;
};

}  // namespace

std::unique_ptr<TMeasureDevice> plCreateMeasureDevice(int pixelsPerInch) {
    return std::make_unique<TImageMeasureDevice>(pixelsPerInch > 0 ? pixelsPerInch : plScreenPixelsPerInch);
}

std::unique_ptr<TMeasureDevice> plCreateCompatibleMeasureDevice(const QPaintDevice* reference) {
    return plCreateMeasureDevice(reference ? reference->logicalDpiY() : plScreenPixelsPerInch);
}
