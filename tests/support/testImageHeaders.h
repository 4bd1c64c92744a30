#pragma once
// Image headers made byte by byte for the header readers, and the replay of
// arbitrary bytes through every reader, shared by the header fuzzer and the
// test that replays its corpus.

#include "elements/diDataElementUtils.h"

#include <QBuffer>
#include <QByteArray>

#include <climits>
#include <cstdint>
#include <initializer_list>
#include <utility>

namespace ImageHeaders {

inline void PutLittle(QByteArray& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out += char((value >> (8 * i)) & 0xFF);
}
inline void PutBig(QByteArray& out, uint32_t value, int bytes) {
    for (int i = bytes - 1; i >= 0; --i) out += char((value >> (8 * i)) & 0xFF);
}

inline QByteArray Png(uint32_t width, uint32_t height) {
    QByteArray out("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR", 16);
    PutBig(out, width, 4);
    PutBig(out, height, 4);
    return out;
}

inline QByteArray Bmp(int32_t width, int32_t height) {
    QByteArray out("BM");
    out.append(12, '\0');
    PutLittle(out, 40, 4);
    PutLittle(out, uint32_t(width), 4);
    PutLittle(out, uint32_t(height), 4);
    out.append(28, '\0');
    return out;
}

inline QByteArray Gif(int width, int height) {
    QByteArray out("GIF89a");
    PutLittle(out, uint32_t(width), 2);
    PutLittle(out, uint32_t(height), 2);
    return out;
}

// An icon directory (type 1) or cursor directory (type 2) with entries of
// (width byte, height byte).
inline QByteArray IconDirectory(int type, std::initializer_list<std::pair<int, int>> entries) {
    QByteArray out;
    PutLittle(out, 0, 2);
    PutLittle(out, uint32_t(type), 2);
    PutLittle(out, uint32_t(entries.size()), 2);
    for (const auto& [w, h] : entries) {
        out += char(w);
        out += char(h);
        out.append(14, '\0');
    }
    return out;
}

// FF D8, then the segments as (marker, payload), then FF D9.
inline QByteArray Jpeg(std::initializer_list<std::pair<uint8_t, QByteArray>> segments) {
    QByteArray out("\xFF\xD8", 2);
    for (const auto& [marker, payload] : segments) {
        out += char(0xFF);
        out += char(marker);
        PutBig(out, uint32_t(payload.size() + 2), 2);
        out += payload;
    }
    out += QByteArray("\xFF\xD9", 2);
    return out;
}

// The payload of a frame header: precision 8, height, width, one component.
inline QByteArray JpegFrame(int width, int height) {
    QByteArray out(1, char(8));
    PutBig(out, uint32_t(height), 2);
    PutBig(out, uint32_t(width), 2);
    out += QByteArray("\x01\x01\x11\x00", 4);
    return out;
}

}  // namespace ImageHeaders

// Every format's reader over the bytes: counts the answers whose sizes lie
// outside 1..INT_MAX (the readers promise none).
inline int ReplayImageHeaderBytes(const QByteArray& bytes) {
    int badSizes = 0;
    for (int format = 0; format < kImageFormatCount; ++format) {
        QBuffer buffer;
        buffer.setData(bytes);
        buffer.open(QIODevice::ReadOnly);
        int width = 0, height = 0;
        ReadImageSize(buffer, format, width, height);
        if (width < 1 || height < 1) ++badSizes;
    }
    return badSizes;
}
