#include "core/umIcon.h"

#include "core/cuClasses.h"
#include "core/cuStringIds.h"
#include "core/umBitmap32.h"
#include "platform/plFiles.h"
#include "platform/plImageCodecs.h"

#include <QIODevice>
#include <QtEndian>

#include <cstring>

namespace {

constexpr int DirectorySize = 6;
constexpr int DirEntrySize = 16;
constexpr int InfoHeaderSize = 40;
constexpr char PngSignature[8] = {'\x89', 'P', 'N', 'G', '\r', '\n', '\x1A', '\n'};
constexpr char MngSignature[8] = {'\x8A', 'M', 'N', 'G', '\r', '\n', '\x1A', '\n'};

[[noreturn]] void Fail(int id) { throw Exception::FromId(id); }

uint16_t U16(const char* p) { return uint16_t(uint8_t(p[0]) | uint8_t(p[1]) << 8); }
uint32_t U32(const char* p) { return uint32_t(U16(p)) | uint32_t(U16(p + 2)) << 16; }
int32_t I32(const char* p) { return int32_t(U32(p)); }
void Put16(char* p, uint16_t v) {
    p[0] = char(v & 0xFF);
    p[1] = char(v >> 8);
}
void Put32(char* p, uint32_t v) {
    Put16(p, uint16_t(v & 0xFFFF));
    Put16(p + 2, uint16_t(v >> 16));
}

int64_t RowBytes(int64_t width, int bitCount) { return (width * bitCount + 31) / 32 * 4; }

bool IsKnownBitCount(int bitCount) {
    return bitCount == 1 || bitCount == 4 || bitCount == 8 || bitCount == 16 || bitCount == 24 || bitCount == 32;
}

// Reads exactly `count` bytes or raises strStreamReadError.
QByteArray ReadBytes(QIODevice& stream, int64_t count) {
    QByteArray bytes(qsizetype(count), Qt::Uninitialized);
    if (count > 0 && stream.read(bytes.data(), count) != count) Fail(strStreamReadError);
    return bytes;
}

// Reads the bitmap image of `entry`, which starts at the stream's position and
// fits inside the stream (checked by the caller).
void ReadBitmapEntry(QIODevice& stream, TIconEntry& entry) {
    if (entry.BytesInRes < uint32_t(InfoHeaderSize)) Fail(strInvalidIconFormat);
    QByteArray header = ReadBytes(stream, InfoHeaderSize);
    const uint32_t headerSize = U32(header.constData());
    const int32_t width = I32(header.constData() + 4);
    const int32_t doubledHeight = I32(header.constData() + 8);
    const int bitCount = U16(header.constData() + 14);
    const uint32_t compression = U32(header.constData() + 16);
    if (headerSize < uint32_t(InfoHeaderSize) || headerSize > entry.BytesInRes) Fail(strInvalidIconFormat);
    if (!IsKnownBitCount(bitCount) || compression != 0) Fail(strGdiObjectNotCreated);
    const int32_t height = doubledHeight / 2;
    if (width <= 0 || height <= 0) Fail(strGdiObjectNotCreated);
    if (int64_t(width) * height > TIconImage::MaxPixels) Fail(strIconAllocationError);

    const int paletteEntries = bitCount <= 8 ? 1 << bitCount : 0;
    const int64_t colorSize = RowBytes(width, bitCount) * height;
    const int64_t maskSize = RowBytes(width, 1) * height;
    const int64_t needed = int64_t(headerSize) + 4 * paletteEntries + colorSize + maskSize;
    if (int64_t(entry.BytesInRes) < needed) Fail(strInvalidIconFormat);

    if (headerSize > uint32_t(InfoHeaderSize)) ReadBytes(stream, headerSize - InfoHeaderSize);
    Put32(header.data() + 8, uint32_t(height));
    Put32(header.data() + 20, 0);
    entry.BitmapInfo = header + ReadBytes(stream, 4 * paletteEntries);
    entry.ColorBits = ReadBytes(stream, colorSize);
    entry.MaskBits = ReadBytes(stream, maskSize);
    entry.Width = width;
    entry.Height = height;
    entry.BitCount = bitCount;
}

// The entries of the directory table: sizes (0 meaning 256), hot spots of
// cursors, image sizes and offsets.
std::vector<TIconEntry> DirectoryEntries(const QByteArray& table, bool isCursor) {
    std::vector<TIconEntry> entries(size_t(table.size() / DirEntrySize));
    for (size_t i = 0; i < entries.size(); ++i) {
        const char* p = table.constData() + DirEntrySize * i;
        TIconEntry& e = entries[i];
        e.Width = uint8_t(p[0]) == 0 ? 256 : uint8_t(p[0]);
        e.Height = uint8_t(p[1]) == 0 ? 256 : uint8_t(p[1]);
        if (isCursor) {
            e.HotSpotX = U16(p + 4);
            e.HotSpotY = U16(p + 6);
        }
        e.BytesInRes = U32(p + 8);
        e.ImageOffset = U32(p + 12);
    }
    return entries;
}

// Reads the image of `entry` from the stream's position: PNG and MNG images
// as their bytes, others as a bitmap.
void ReadImage(QIODevice& stream, TIconEntry& entry) {
    char signature[8] = {};
    if (entry.BytesInRes >= sizeof signature && stream.peek(signature, sizeof signature) != sizeof signature)
        Fail(strStreamReadError);
    if (std::memcmp(signature, PngSignature, 8) != 0 && std::memcmp(signature, MngSignature, 8) != 0) {
        ReadBitmapEntry(stream, entry);
        return;
    }
    entry.IsPng = true;
    entry.PngStream = std::make_unique<QBuffer>();
    entry.PngStream->setData(ReadBytes(stream, entry.BytesInRes));
    entry.PngStream->open(QIODevice::ReadOnly);
}

bool HasAlpha(const TIconEntry& entry) {
    if (entry.BitCount != 32) return false;
    const char* bits = entry.ColorBits.constData();
    for (qsizetype i = 3; i < entry.ColorBits.size(); i += 4)
        if (bits[i] != 0) return true;
    return false;
}

}  // namespace

void TIconImage::Clear() {
    m_entries.clear();
    m_isCursor = false;
}

void TIconImage::LoadFromStream(QIODevice& stream) {
    Clear();
    // Every read below stays inside the stream's size, which is bounded here.
    if (stream.isSequential()) {
        // The reader seeks; a sequential stream is read into memory first.
        QByteArray bytes;
        if (!ReadAtMost(stream, MaxEncodedImageBytes, bytes)) Fail(strStreamReadError);
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::ReadOnly);
        ReadEntries(buffer);
    } else {
        if (stream.size() - stream.pos() > MaxEncodedImageBytes) Fail(strStreamReadError);
        ReadEntries(stream);
    }
}

void TIconImage::ReadEntries(QIODevice& stream) {
    const int64_t base = stream.pos();
    const int64_t end = stream.size();
    const QByteArray directory = ReadBytes(stream, DirectorySize);
    m_isCursor = U16(directory.constData() + 2) == 2;
    const int count = U16(directory.constData() + 4);
    const int64_t directoryEnd = DirectorySize + int64_t(DirEntrySize) * count;
    if (base + directoryEnd > end) Fail(strStreamReadError);

    const QByteArray table = ReadBytes(stream, int64_t(DirEntrySize) * count);
    std::vector<TIconEntry> entries = DirectoryEntries(table, m_isCursor);

    // Entries are kept as they are completed, so that a failure leaves only
    // whole entries behind. Images may share bytes through their offsets, but
    // together they never keep more than the file holds after its directory.
    const int64_t room = end - base - directoryEnd;
    int64_t kept = 0;
    for (TIconEntry& e : entries) {
        // The stored offset is used when it points behind the directory and
        // inside the stream; otherwise the image follows the previous one.
        if (e.ImageOffset >= directoryEnd && base + int64_t(e.ImageOffset) < end &&
            !stream.seek(base + int64_t(e.ImageOffset)))
            Fail(strStreamReadError);
        const int64_t start = stream.pos();
        if (int64_t(e.BytesInRes) > end - start) Fail(strInvalidIconFormat);
        kept += e.BytesInRes;
        if (kept > room) Fail(strIconAllocationError);

        ReadImage(stream, e);
        if (!stream.seek(start + int64_t(e.BytesInRes))) Fail(strStreamReadError);
        m_entries.push_back(std::move(e));
    }
}

QBuffer* TIconImage::GetPngStream(int index) const {
    const TIconEntry& e = Entry(index);
    if (!e.IsPng) return nullptr;
    e.PngStream->seek(0);
    return e.PngStream.get();
}

namespace {

// Fills the bitmap row by row with `color(row, x)` under the mask rules.
template <class ColorFn>
void ApplyMask(const TIconEntry& e, TBitmap32& bitmap, ColorFn color) {
    const int64_t colorRow = RowBytes(e.Width, e.BitCount);
    const int64_t maskRow = RowBytes(e.Width, 1);
    const uchar* colors = reinterpret_cast<const uchar*>(e.ColorBits.constData());
    const uchar* masks = reinterpret_cast<const uchar*>(e.MaskBits.constData());
    for (int y = 0; y < e.Height; ++y) {
        const int64_t stored = e.Height - 1 - y;  // rows are stored bottom first
        const uchar* row = colors + stored * colorRow;
        const uchar* mask = masks + stored * maskRow;
        QRgb* out = bitmap.ScanLine(y);
        for (int x = 0; x < e.Width; ++x) {
            const QRgb c = color(row, x);
            if (((mask[x >> 3] >> (7 - (x & 7))) & 1) == 0)
                out[x] = c | 0xFF000000u;
            else
                out[x] = (c & 0xFFFFFFu) == 0 ? 0u : 0xFF000000u;
        }
    }
}

// A 32-bit entry with alpha: each pixel as stored, the mask ignored.
void CopyAlphaRows(const TIconEntry& e, TBitmap32& bitmap) {
    // Stored as B, G, R, A: the memory order of a straight 32-bit pixel.
    const int64_t rowBytes = RowBytes(e.Width, 32);
    for (int y = 0; y < e.Height; ++y) {
        const uchar* row = reinterpret_cast<const uchar*>(e.ColorBits.constData()) + (e.Height - 1 - y) * rowBytes;
        if constexpr (Q_BYTE_ORDER == Q_LITTLE_ENDIAN) {
            std::memcpy(bitmap.ScanLine(y), row, size_t(rowBytes));
        } else {
            for (int x = 0; x < e.Width; ++x)
                bitmap.ScanLine(y)[x] = qRgba(row[4 * x + 2], row[4 * x + 1], row[4 * x], row[4 * x + 3]);
        }
    }
}

template <int BitCount>
QRgb IndexedColor(const uchar* row, int x, const QRgb* palette) {
    constexpr int perByte = 8 / BitCount;
    const int shift = 8 - BitCount * (x % perByte + 1);
    return palette[(row[x / perByte] >> shift) & ((1 << BitCount) - 1)];
}

}  // namespace

void TIconImage::CopyToBitmap32(int index, TBitmap32& bitmap) const {
    const TIconEntry& e = Entry(index);
    if (e.IsPng) Fail(strInvalidIconFormat);
    if (!bitmap.SetSize(e.Width, e.Height)) Fail(strIconAllocationError);
    if (HasAlpha(e)) {
        CopyAlphaRows(e, bitmap);
        return;
    }
    QRgb palette[256] = {};
    const uchar* stored = reinterpret_cast<const uchar*>(e.BitmapInfo.constData()) + InfoHeaderSize;
    for (int i = 0; e.BitCount <= 8 && i < (1 << e.BitCount); ++i)
        palette[i] = qRgb(stored[4 * i + 2], stored[4 * i + 1], stored[4 * i]);
    switch (e.BitCount) {
    case 1: ApplyMask(e, bitmap, [&](const uchar* row, int x) { return IndexedColor<1>(row, x, palette); }); break;
    case 4: ApplyMask(e, bitmap, [&](const uchar* row, int x) { return IndexedColor<4>(row, x, palette); }); break;
    case 8: ApplyMask(e, bitmap, [&](const uchar* row, int x) { return palette[row[x]]; }); break;
    case 16:
        ApplyMask(e, bitmap, [](const uchar* row, int x) {
            const int v = row[2 * x] | row[2 * x + 1] << 8;
            return qRgb(((v >> 10) & 31) << 3, ((v >> 5) & 31) << 3, (v & 31) << 3);
        });
        break;
    case 24:
        ApplyMask(e, bitmap, [](const uchar* row, int x) { return qRgb(row[3 * x + 2], row[3 * x + 1], row[3 * x]); });
        break;
    default:
        ApplyMask(e, bitmap, [](const uchar* row, int x) { return qRgb(row[4 * x + 2], row[4 * x + 1], row[4 * x]); });
    }
}

// ---------------------------------------------------------------------------
// Writing

namespace {

bool AllAlphaZero(const QImage& image) {
    for (int y = 0; y < image.height(); ++y) {
        const QRgb* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(row[x]) != 0) return false;
    }
    return true;
}

QByteArray BitmapEntryBytes(const QImage& image, int bitCount) {
    const int w = image.width(), h = image.height();
    // Readers go by the mask for 24-bit entries and for 32-bit ones without
    // any alpha: there the colour under a white mask bit must be black, or
    // the pixel shows opaque black.
    const bool maskDecides = bitCount == 24 || AllAlphaZero(image);
    const int64_t colorRow = RowBytes(w, bitCount), maskRow = RowBytes(w, 1);
    QByteArray bytes(qsizetype(InfoHeaderSize + (colorRow + maskRow) * h), '\0');
    char* p = bytes.data();
    Put32(p, InfoHeaderSize);
    Put32(p + 4, uint32_t(w));
    Put32(p + 8, uint32_t(2 * h));
    Put16(p + 12, 1);
    Put16(p + 14, uint16_t(bitCount));
    char* colors = p + InfoHeaderSize;
    char* masks = colors + colorRow * h;
    for (int y = 0; y < h; ++y) {
        const QRgb* src = reinterpret_cast<const QRgb*>(image.constScanLine(h - 1 - y));
        char* row = colors + colorRow * y;
        char* mask = masks + maskRow * y;
        for (int x = 0; x < w; ++x) {
            const bool transparent = qAlpha(src[x]) < 128;
            if (transparent) mask[x >> 3] = char(mask[x >> 3] | (0x80 >> (x & 7)));
            const QRgb c = transparent && maskDecides ? 0 : src[x];
            char* px = row + x * (bitCount / 8);
            px[0] = char(qBlue(c));
            px[1] = char(qGreen(c));
            px[2] = char(qRed(c));
            if (bitCount == 32) px[3] = char(qAlpha(c));
        }
    }
    return bytes;
}

bool PngEntryBytes(const QImage& image, QByteArray& bytes) {
    QBuffer buffer(&bytes);
    return buffer.open(QIODevice::WriteOnly) && image.save(&buffer, "PNG");
}

}  // namespace

bool SaveIconToStream(QIODevice& stream, const QList<TIconWriterImage>& images, bool cursor) {
    if (images.isEmpty() || images.size() > 0xFFFF) return false;
    QList<QByteArray> data;
    for (const TIconWriterImage& item : images) {
        if (item.Image.isNull()) return false;
        const QImage image = item.Image.convertToFormat(QImage::Format_ARGB32);
        QByteArray bytes;
        if (item.Png) {
            if (!PngEntryBytes(image, bytes)) return false;
        } else {
            if (item.BitCount != 24 && item.BitCount != 32) return false;
            bytes = BitmapEntryBytes(image, item.BitCount);
        }
        data << bytes;
    }
    QByteArray head(qsizetype(DirectorySize + DirEntrySize * images.size()), '\0');
    Put16(head.data() + 2, cursor ? 2 : 1);
    Put16(head.data() + 4, uint16_t(images.size()));
    uint32_t offset = uint32_t(head.size());
    for (qsizetype i = 0; i < images.size(); ++i) {
        const TIconWriterImage& item = images[i];
        char* p = head.data() + DirectorySize + DirEntrySize * i;
        p[0] = char(item.Image.width() >= 256 ? 0 : item.Image.width());
        p[1] = char(item.Image.height() >= 256 ? 0 : item.Image.height());
        Put16(p + 4, uint16_t(cursor ? item.HotSpot.x() : 1));
        Put16(p + 6, uint16_t(cursor ? item.HotSpot.y() : (item.Png ? 32 : item.BitCount)));
        Put32(p + 8, uint32_t(data[i].size()));
        Put32(p + 12, offset);
        offset += uint32_t(data[i].size());
    }
    if (stream.write(head) != head.size()) return false;
    for (const QByteArray& bytes : data)
        if (stream.write(bytes) != bytes.size()) return false;
    return true;
}
