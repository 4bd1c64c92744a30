#include "elements/diDataElementUtils.h"

#include "core/cuStringIds.h"

#include <QIODevice>

#include <array>
#include <climits>
#include <cstdlib>

namespace {

struct TImageFormatEntry {
    const char* extension;
    int kindName;  // string id; 0 for none
};

constexpr std::array<TImageFormatEntry, kImageFormatCount> kImageFormatTable{{
    {"", 0},
    {"bmp", strBitmapKind},
    {"ico", strIconKind},
    {"cur", strCursorKind},
    {"emf", strMetafileKind},
    {"wmf", strMetafileKind},
    {"jpeg", strJPEG},
    {"jpg", strJPEG},
    {"jpe", strJPEG},
    {"jfif", strJPEG},
    {"gif", strGIF},
    {"png", strPNG},
    {"tif", strTiffKind},
    {"tiff", strTiffKind},
}};

bool IsImageFormatNumber(int format) noexcept { return format >= 0 && format < kImageFormatCount; }

// ---------------------------------------------------------------------------
// Bounded reading: every read says whether all its bytes came.

class TImageHeaderReader {
public:
    explicit TImageHeaderReader(QIODevice& stream) : m_stream(stream) {}

    bool Read(uint8_t* bytes, qint64 count) {
        return m_stream.read(reinterpret_cast<char*>(bytes), count) == count;
    }
    bool Skip(qint64 count) {
        constexpr qint64 kChunk = 4096;
        std::array<char, kChunk> sink;
        while (count > 0) {
            const qint64 got = m_stream.read(sink.data(), std::min(count, kChunk));
            if (got <= 0) return false;
            count -= got;
        }
        return true;
    }

private:
    QIODevice& m_stream;
};

uint32_t HeaderLittleEndian(const uint8_t* p, int bytes) {
    uint32_t value = 0;
    for (int i = bytes - 1; i >= 0; --i) value = (value << 8) | p[i];
    return value;
}

uint32_t HeaderBigEndian(const uint8_t* p, int bytes) {
    uint32_t value = 0;
    for (int i = 0; i < bytes; ++i) value = (value << 8) | p[i];
    return value;
}

// A size as a number of pixels: 1..INT_MAX, anything else is none (0).
int HeaderPixelCount(int64_t value) { return value >= 1 && value <= INT_MAX ? int(value) : 0; }

// ---- the readers, one per kind of header ----

constexpr uint16_t kBmpSignature = 0x4D42;  // "BM"
constexpr int kBmpFileHeaderSize = 14;
constexpr int kBmpInfoHeaderSize = 40;

void ReadBmpHeaderSize(TImageHeaderReader& in, int& width, int& height) {
    std::array<uint8_t, kBmpInfoHeaderSize> header{};
    if (!in.Read(header.data(), kBmpFileHeaderSize) || HeaderLittleEndian(header.data(), 2) != kBmpSignature) return;
    if (!in.Read(header.data(), kBmpInfoHeaderSize)) return;
    const auto signedWidth = int32_t(HeaderLittleEndian(&header[4], 4));
    const auto signedHeight = int32_t(HeaderLittleEndian(&header[8], 4));
    width = HeaderPixelCount(signedWidth);
    height = HeaderPixelCount(std::llabs(int64_t(signedHeight)));
}

constexpr int kIcoHeaderSize = 6;
constexpr int kIcoEntrySize = 16;
constexpr int kIcoFullSize = 256;  // a size byte of 0

void ReadIcoHeaderSize(TImageHeaderReader& in, bool cursor, int& width, int& height) {
    std::array<uint8_t, kIcoEntrySize> bytes{};
    if (!in.Read(bytes.data(), kIcoHeaderSize)) return;
    const uint32_t type = HeaderLittleEndian(&bytes[2], 2);
    if (type != 1 && type != 2) return;
    const uint32_t count = HeaderLittleEndian(&bytes[4], 2);
    for (uint32_t i = 0; i < count && in.Read(bytes.data(), kIcoEntrySize); ++i) {
        const int entryWidth = bytes[0] ? bytes[0] : kIcoFullSize;
        if (entryWidth <= width) continue;
        width = entryWidth;
        height = cursor ? entryWidth : (bytes[1] ? bytes[1] : kIcoFullSize);
    }
}

enum : uint8_t {
    kJpegMarkerStart = 0xFF,
    kJpegStartOfImage = 0xD8,
    kJpegEndOfImage = 0xD9,
    kJpegBaselineFrame = 0xC0,
    kJpegProgressiveFrame = 0xC2,
};

void ReadJpegHeaderSize(TImageHeaderReader& in, int& width, int& height) {
    std::array<uint8_t, 5> bytes{};
    if (!in.Read(bytes.data(), 2) || bytes[0] != kJpegMarkerStart || bytes[1] != kJpegStartOfImage) return;
    if (!in.Read(bytes.data(), 2)) return;
    for (;;) {
        if (bytes[0] != kJpegMarkerStart || bytes[1] == kJpegEndOfImage) return;
        const uint8_t marker = bytes[1];
        if (!in.Read(bytes.data(), 2)) return;
        const uint32_t length = HeaderBigEndian(bytes.data(), 2);
        if (length < 2) return;
        if (marker == kJpegBaselineFrame || marker == kJpegProgressiveFrame) break;
        if (!in.Skip(length - 2) || !in.Read(bytes.data(), 2)) return;
    }
    // Precision, then height and width.
    if (!in.Read(bytes.data(), 5)) return;
    height = int(HeaderBigEndian(&bytes[1], 2));
    width = int(HeaderBigEndian(&bytes[3], 2));
}

constexpr int kGifHeaderSizeOffset = 6;
constexpr int kPngHeaderSizeOffset = 16;

void ReadGifHeaderSize(TImageHeaderReader& in, int& width, int& height) {
    std::array<uint8_t, 4> bytes{};
    if (!in.Skip(kGifHeaderSizeOffset) || !in.Read(bytes.data(), 4)) return;
    width = int(HeaderLittleEndian(&bytes[0], 2));
    height = int(HeaderLittleEndian(&bytes[2], 2));
}

void ReadPngHeaderSize(TImageHeaderReader& in, int& width, int& height) {
    std::array<uint8_t, 8> bytes{};
    if (!in.Skip(kPngHeaderSizeOffset) || !in.Read(bytes.data(), 8)) return;
    width = HeaderPixelCount(HeaderBigEndian(&bytes[0], 4));
    height = HeaderPixelCount(HeaderBigEndian(&bytes[4], 4));
}

}  // namespace

QString ImageFormatExtension(int format) {
    return IsImageFormatNumber(format) ? QString::fromLatin1(kImageFormatTable[size_t(format)].extension) : QString();
}

int ImageFormatKindName(int format) { return IsImageFormatNumber(format) ? kImageFormatTable[size_t(format)].kindName : 0; }

int ImageFormatFromExtension(const QString& extension) {
    for (int format = ifBmp; format < kImageFormatCount; ++format)
        if (extension.compare(QLatin1String(kImageFormatTable[size_t(format)].extension), Qt::CaseInsensitive) == 0)
            return format;
    return ifNone;
}

bool ReadImageSize(QIODevice& stream, int format, int& width, int& height) {
    width = height = 0;
    TImageHeaderReader in(stream);
    switch (format) {
    case ifBmp: ReadBmpHeaderSize(in, width, height); break;
    case ifIco:
    case ifCur: ReadIcoHeaderSize(in, format == ifCur, width, height); break;
    case ifJpeg:
    case ifJpg:
    case ifJpe:
    case ifJfif: ReadJpegHeaderSize(in, width, height); break;
    case ifGif: ReadGifHeaderSize(in, width, height); break;
    case ifPng: ReadPngHeaderSize(in, width, height); break;
    default: break;  // metafiles, tiff and unknown data have no size here
    }
    if (width != 0 && height != 0) return true;
    const int fallback = format == ifIco || format == ifCur ? kDesktopIconSize : kUnknownImageSize;
    if (width == 0) width = fallback;
    if (height == 0) height = fallback;
    return false;
}

QString SanitizedFileExtension(const QString& type) {
    QString out;
    for (const QChar c : type)
        if ((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9')) out += c;
    return out;
}

void GetOpenWithPrograms(const QString& extension, int& preferred, QStringList& names, QStringList& programs,
                         const TXdgDirs& dirs) {
    preferred = -1;
    names.clear();
    programs.clear();
    const QStringList types = MimeTypesOfExtension(extension);
    if (types.isEmpty()) return;
    const QString defaultId = DefaultApplicationId(types, dirs);
    for (const TDesktopApp& app : ListApplicationsForMimeTypes(types, dirs)) {
        if (preferred < 0 && app.Id == defaultId) preferred = int(programs.size());
        names << app.Name;
        programs << app.Id;
    }
}
