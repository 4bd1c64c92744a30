#pragma once
// A list of equally sized pictures, kept as 32-bit premultiplied images so
// that they draw with their transparency. A list is a QObject so that the
// controls showing its pictures can hold it by QPointer and drop it when it goes.

#include <QImage>
#include <QObject>

#include <functional>
#include <memory>
#include <mutex>
#include <vector>

class TImageList : public QObject {
public:
    TImageList(int width, int height) : m_width(width), m_height(height) {}
    TImageList(const TImageList&) = delete;
    TImageList& operator=(const TImageList&) = delete;

    int Width() const noexcept { return m_width; }
    int Height() const noexcept { return m_height; }
    int Count() const noexcept { return int(m_images.size()); }
    // The picture; one of a group added with AddDeferred is decoded, with
    // its group, the first time one of them is asked for (from any thread).
    const QImage& Image(int index) const;

    // Appends a picture of the list's size (a picture of another size is
    // scaled); returns its index.
    int Add(const QImage& image);
    // Appends a picture whose pixels of colour `transparent` become clear.
    int AddMasked(const QImage& image, QRgb transparent);
    // Appends `count` places for the pictures `decode` answers, which runs
    // only when one of them is first asked for: decoding every picture
    // strip while the program starts costs time for pictures that may never
    // show. The answered pictures are sized as Add does, in order; places
    // left without one stay null, pictures beyond `count` are dropped.
    // Returns the index of the first place.
    int AddDeferred(int count, std::function<std::vector<QImage>()> decode);
    void Clear();

private:
    struct TDeferred {
        int first = 0;
        int count = 0;
        std::function<std::vector<QImage>()> decode;
        std::once_flag decoded;
    };
    // The picture as the list keeps it: its size, premultiplied.
    QImage Fitted(const QImage& image) const;
    void Decode(TDeferred& group) const;

    int m_width;
    int m_height;
    // A deferred group fills its places when decoded, from a const reader.
    mutable std::vector<QImage> m_images;
    std::vector<int> m_groupOf;  // per place: its deferred group, or -1
    std::vector<std::unique_ptr<TDeferred>> m_deferred;
};
