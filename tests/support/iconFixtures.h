#pragma once
// Builds icon and cursor files byte by byte, so that tests can make every bit
// depth and every broken header the reader must survive.

#include <QByteArray>
#include <QList>
#include <QRgb>

#include <cstdint>
#include <optional>

struct TFixtureBitmap {
    int width = 0, height = 0, bitCount = 32;
    QList<QRgb> palette;        // entries as stored (alpha ignored); padded to 2^bitCount
    QList<uint32_t> values;     // top row first: palette index, 16-bit word, RGB or ARGB
    QList<bool> maskWhite;      // top row first; empty means all black

    // Header fields that broken fixtures override.
    std::optional<uint32_t> headerSize;
    std::optional<int32_t> headerWidth, headerHeight;
    std::optional<uint16_t> headerBitCount;
    std::optional<uint32_t> compression;
    QByteArray trailing;        // extra bytes after the mask
};

struct TFixtureEntry {
    QByteArray data;            // the image bytes
    uint8_t dirWidth = 0, dirHeight = 0;
    uint16_t planesOrHotX = 1, bitsOrHotY = 32;
    std::optional<uint32_t> bytesInRes;   // default: data size
    std::optional<uint32_t> offset;       // default: where the data is written
};

inline void FixturePut16(QByteArray& b, uint16_t v) {
    b.append(char(v & 0xFF));
    b.append(char(v >> 8));
}
inline void FixturePut32(QByteArray& b, uint32_t v) {
    FixturePut16(b, uint16_t(v & 0xFFFF));
    FixturePut16(b, uint16_t(v >> 16));
}

inline QByteArray BitmapBytes(const TFixtureBitmap& bmp) {
    QByteArray b;
    const int bpp = bmp.headerBitCount.value_or(uint16_t(bmp.bitCount));
    FixturePut32(b, bmp.headerSize.value_or(40));
    FixturePut32(b, uint32_t(bmp.headerWidth.value_or(bmp.width)));
    FixturePut32(b, uint32_t(bmp.headerHeight.value_or(2 * bmp.height)));
    FixturePut16(b, 1);
    FixturePut16(b, uint16_t(bpp));
    FixturePut32(b, bmp.compression.value_or(0));
    for (int i = 0; i < 5; ++i) FixturePut32(b, 0);
    if (bmp.headerSize.value_or(40) > 40 && *bmp.headerSize <= 4096) b.append(QByteArray(int(*bmp.headerSize) - 40, '\0'));
    if (bmp.bitCount <= 8)
        for (int i = 0; i < (1 << bmp.bitCount); ++i)
            FixturePut32(b, bmp.palette.value(i) & 0xFFFFFFu);  // blue, green, red, 0
    const int colorRow = (bmp.width * bmp.bitCount + 31) / 32 * 4;
    for (int y = bmp.height - 1; y >= 0; --y) {
        QByteArray row(colorRow, '\0');
        for (int x = 0; x < bmp.width; ++x) {
            const uint32_t v = bmp.values.value(y * bmp.width + x);
            if (bmp.bitCount <= 8) {
                const int perByte = 8 / bmp.bitCount;
                const int shift = 8 - bmp.bitCount * (x % perByte + 1);
                row[x / perByte] = char(row[x / perByte] | (v << shift));
            } else {  // 16, 24 or 32 bits, little-endian
                for (int k = 0; k < bmp.bitCount / 8; ++k) row[x * (bmp.bitCount / 8) + k] = char((v >> (8 * k)) & 0xFF);
            }
        }
        b.append(row);
    }
    const int maskRow = (bmp.width + 31) / 32 * 4;
    for (int y = bmp.height - 1; y >= 0; --y) {
        QByteArray row(maskRow, '\0');
        for (int x = 0; x < bmp.width; ++x)
            if (bmp.maskWhite.value(y * bmp.width + x)) row[x / 8] = char(row[x / 8] | (0x80 >> (x % 8)));
        b.append(row);
    }
    return b + bmp.trailing;
}

// The file: directory, entries, then the images in entry order.
inline QByteArray IconFileBytes(const QList<TFixtureEntry>& entries, uint16_t type = 1,
                                std::optional<uint16_t> count = std::nullopt) {
    QByteArray head;
    FixturePut16(head, 0);
    FixturePut16(head, type);
    FixturePut16(head, count.value_or(uint16_t(entries.size())));
    uint32_t offset = uint32_t(6 + 16 * entries.size());
    QByteArray images;
    for (const TFixtureEntry& e : entries) {
        FixturePut16(head, uint16_t(e.dirWidth | e.dirHeight << 8));
        FixturePut16(head, 0);  // colour count, reserved
        FixturePut16(head, e.planesOrHotX);
        FixturePut16(head, e.bitsOrHotY);
        FixturePut32(head, e.bytesInRes.value_or(uint32_t(e.data.size())));
        FixturePut32(head, e.offset.value_or(offset));
        offset += uint32_t(e.data.size());
        images.append(e.data);
    }
    return head + images;
}

inline TFixtureEntry BitmapEntry(const TFixtureBitmap& bmp) {
    TFixtureEntry e;
    e.data = BitmapBytes(bmp);
    e.dirWidth = uint8_t(bmp.width);
    e.dirHeight = uint8_t(bmp.height);
    e.bitsOrHotY = uint16_t(bmp.bitCount);
    return e;
}
