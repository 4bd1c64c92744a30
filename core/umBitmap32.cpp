#include "core/umBitmap32.h"

#include <QPainter>

bool TBitmap32::SetSize(int width, int height) {
    if (width <= 0 || height <= 0) {
        m_image = QImage();
        return width >= 0 && height >= 0;
    }
    QImage image(width, height, QImage::Format_ARGB32);
    if (image.isNull()) return false;
    image.fill(0);
    m_image = std::move(image);
    return true;
}

void TBitmap32::Clear(QRgb color) {
    if (!m_image.isNull()) m_image.fill(color);
}

void TBitmap32::Assign(const QImage& image) {
    m_image = image.format() == QImage::Format_ARGB32 ? image : image.convertToFormat(QImage::Format_ARGB32);
}

void TBitmap32::DrawTo(TBitmap32& target, int x, int y) const {
    if (m_image.isNull() || target.Empty() || (m_drawMode == TDrawMode::Blend && m_masterAlpha == 0)) return;
    QPainter painter(&target.m_image);
    if (m_drawMode == TDrawMode::Opaque) {
        painter.setCompositionMode(QPainter::CompositionMode_Source);
    } else {
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
        painter.setOpacity(m_masterAlpha / 255.0);
    }
    painter.drawImage(x, y, m_image);
}
