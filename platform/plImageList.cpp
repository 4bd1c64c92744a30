#include "platform/plImageList.h"

#include <algorithm>

QImage TImageList::Fitted(const QImage& image) const {
    const QImage img = image.size() == QSize(m_width, m_height)
                           ? image
                           : image.scaled(m_width, m_height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return img.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

const QImage& TImageList::Image(int index) const {
    const auto at = size_t(index);
    if (const int group = m_groupOf.at(at); group >= 0) Decode(*m_deferred[size_t(group)]);
    return m_images[at];
}

int TImageList::Add(const QImage& image) {
    m_images.push_back(Fitted(image));
    m_groupOf.push_back(-1);
    return Count() - 1;
}

int TImageList::AddDeferred(int count, std::function<std::vector<QImage>()> decode) {
    const int first = Count();
    if (count <= 0) return first;
    auto group = std::make_unique<TDeferred>();
    group->first = first;
    group->count = count;
    group->decode = std::move(decode);
    m_images.resize(m_images.size() + size_t(count));
    m_groupOf.resize(m_groupOf.size() + size_t(count), int(m_deferred.size()));
    m_deferred.push_back(std::move(group));
    return first;
}

void TImageList::Decode(TDeferred& group) const {
    std::call_once(group.decoded, [&] {
        const std::vector<QImage> pictures = group.decode();
        const size_t filled = std::min(pictures.size(), size_t(group.count));
        for (size_t i = 0; i < filled; ++i) m_images[size_t(group.first) + i] = Fitted(pictures[i]);
        group.decode = nullptr;  // what it held (the encoded strip) is not needed again
    });
}

void TImageList::Clear() {
    m_images.clear();
    m_groupOf.clear();
    m_deferred.clear();
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
