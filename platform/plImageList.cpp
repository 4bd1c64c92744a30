#include "platform/plImageList.h"

int TImageList::Add(const QImage& image) {
    QImage img = image.size() == QSize(m_width, m_height)
                     ? image
                     : image.scaled(m_width, m_height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    m_images.push_back(img.convertToFormat(QImage::Format_ARGB32_Premultiplied));
    return Count() - 1;
}

int TImageList::AddMasked(const QImage& image, QRgb transparent) {
    QImage img = image.convertToFormat(QImage::Format_ARGB32);
    const QRgb key = transparent & 0x00FFFFFF;
    for (int y = 0; y < img.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < img.width(); ++x)
            line[x] = (line[x] & 0x00FFFFFF) == key ? 0 : (line[x] | 0xFF000000);
    }
    return Add(img);
}
