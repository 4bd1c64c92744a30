#pragma once
// A list of equally sized pictures, kept as 32-bit premultiplied images so
// that they draw with their transparency. A list is a QObject so that the
// controls showing its pictures can hold it by QPointer and drop it when it goes.

#include <QImage>
#include <QObject>

#include <vector>

class TImageList : public QObject {
public:
    TImageList(int width, int height) : m_width(width), m_height(height) {}
    TImageList(const TImageList&) = delete;
    TImageList& operator=(const TImageList&) = delete;

    int Width() const noexcept { return m_width; }
    int Height() const noexcept { return m_height; }
    int Count() const noexcept { return int(m_images.size()); }
    const QImage& Image(int index) const { return m_images.at(size_t(index)); }

    // Appends a picture of the list's size (a picture of another size is
    // scaled); returns its index.
    int Add(const QImage& image);
    // Appends a picture whose pixels of colour `transparent` become clear.
    int AddMasked(const QImage& image, QRgb transparent);
    void Clear() { m_images.clear(); }

private:
    int m_width;
    int m_height;
    std::vector<QImage> m_images;
};
