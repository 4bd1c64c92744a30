#pragma once
// Icon (.ico) and cursor (.cur) files: the reader keeps every image of the
// file, PNG- or MNG-compressed images as their bytes and all others as the
// bitmap information block, the colour rows and the 1-bit mask rows (bottom row
// first, rows padded to 32 bits). The writer makes icon and cursor files from
// 32-bit images.
//
// The reader is tolerant but bounded: every size read from the file is checked
// against the stream and the allocation limit before memory is taken.

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QList>
#include <QPoint>

#include <cstdint>
#include <memory>
#include <vector>

class QIODevice;
class TBitmap32;

struct TIconEntry {
    int Width = 0;             // the bitmap header's width, or the directory's for PNG images
    int Height = 0;            // the bitmap header's halved height, or the directory's for PNG images
    int BitCount = 0;          // of the bitmap header; 0 for PNG images
    uint32_t BytesInRes = 0;   // size of the image data, as the directory says
    uint32_t ImageOffset = 0;  // offset of the image data, as the directory says
    int HotSpotX = 0;          // cursors only
    int HotSpotY = 0;
    QByteArray BitmapInfo;     // 40-byte header (halved height, size-of-image 0) and the palette
    QByteArray ColorBits;
    QByteArray MaskBits;
    bool IsPng = false;        // PNG or MNG image, kept in PngStream
    std::unique_ptr<QBuffer> PngStream;
};

class TIconImage {
public:
    // Pixels a decoded entry may have at most (4 bytes each): larger entries
    // are refused with "Error while allocating icon data".
    static constexpr int64_t MaxPixels = int64_t(64) * 1024 * 1024;

    TIconImage() = default;
    TIconImage(const TIconImage&) = delete;
    TIconImage& operator=(const TIconImage&) = delete;

    // Clears, then reads an icon or cursor file from the stream's position.
    // Failures raise Exception with strStreamReadError (the directory is cut
    // short), strInvalidIconFormat (an image does not fit its declared size or
    // the stream), strGdiObjectNotCreated (a bitmap header that cannot describe
    // a bitmap) or strIconAllocationError (an image too large); the entries read
    // before stay until the next clear.
    void LoadFromStream(QIODevice& stream);
    void Clear();

    int Count() const noexcept { return int(m_entries.size()); }
    bool IsCursor() const noexcept { return m_isCursor; }
    const TIconEntry& Entry(int index) const { return m_entries.at(size_t(index)); }
    int Width(int index) const { return Entry(index).Width; }
    int Height(int index) const { return Entry(index).Height; }

    // The entry's compressed image, rewound to 0; nullptr when it is a bitmap.
    QBuffer* GetPngStream(int index) const;
    // Fills `bitmap` with the entry's pixels (entry size, straight alpha). A
    // 32-bit entry whose alpha channel is not all zero keeps each pixel's own
    // alpha; otherwise the mask decides: black takes the colour, opaque; white
    // over a black colour is transparent; white over any other colour (the
    // parts that invert the screen) is opaque black.
    void CopyToBitmap32(int index, TBitmap32& bitmap) const;

private:
    void ReadEntries(QIODevice& stream);
    std::vector<TIconEntry> m_entries;
    bool m_isCursor = false;
};

// One image of an icon or cursor file to write.
struct TIconWriterImage {
    QImage Image;           // any format; taken as straight 32-bit ARGB
    int BitCount = 32;      // 24 or 32 for a bitmap entry
    bool Png = false;       // store the image PNG-compressed
    QPoint HotSpot;         // cursors only
};

// Writes an icon (or, when `cursor`, a cursor) file at the stream's position.
// Bitmap entries get a mask that is white where alpha is below 128; 24-bit
// entries are black there, so that readers show those pixels transparent.
// Widths and heights of 256 and more are stored as 0. False when an image is
// empty, a bit count is not 24 or 32, or writing fails.
bool SaveIconToStream(QIODevice& stream, const QList<TIconWriterImage>& images, bool cursor);
