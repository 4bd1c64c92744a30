#include "platform/plImageCodecs.h"

#include "platform/plGifWriter.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QImageWriter>
#include <QtEndian>

namespace {

// The formats the image library reads: those of the system codecs it stands
// in for, plus MNG, which icons may embed.
bool IsDecodableFormat(const QByteArray& format) {
    static const QByteArray formats[] = {"bmp", "gif", "jpeg", "jpg", "png", "tiff", "tif", "ico", "cur", "mng"};
    for (const QByteArray& f : formats)
        if (format == f) return true;
    return false;
}

// The Qt writer format of a MIME type handled by QImageWriter; empty otherwise.
QByteArray WriterFormat(const QString& mimeType) {
    const QString mime = mimeType.toLower();
    if (mime == QLatin1String("image/bmp")) return "bmp";
    if (mime == QLatin1String("image/jpeg")) return "jpeg";
    if (mime == QLatin1String("image/png")) return "png";
    if (mime == QLatin1String("image/tiff")) return "tiff";
    return {};
}

bool IsOpaque(const QImage& frame) {
    const QImage argb = frame.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < argb.height(); ++y) {
        const QRgb* row = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
        for (int x = 0; x < argb.width(); ++x)
            if (qAlpha(row[x]) != 255) return false;
    }
    return true;
}

// PNG, which all embedded images are, is read by Qt itself: named up front it
// spares asking every image plugin (each loaded for it) whether it knows the
// bytes.
bool HasPngSignature(const QByteArray& data) {
    static const QByteArray signature = QByteArrayLiteral("\x89PNG\r\n\x1a\n");
    return data.startsWith(signature);
}

bool IsGif(const QString& mimeType) { return mimeType.compare(QLatin1String("image/gif"), Qt::CaseInsensitive) == 0; }

// Qt's TIFF writer premultiplies 8-bit alpha, which loses colour under low
// alpha: frames with alpha go out with 16-bit straight channels, which keep
// every 8-bit value exactly; opaque frames as 8-bit RGB.
QImage WriterImage(const QImage& frame, const QByteArray& format) {
    if (format != "tiff") return frame;
    return frame.convertToFormat(frame.hasAlphaChannel() && !IsOpaque(frame) ? QImage::Format_RGBA64
                                                                                : QImage::Format_RGB32);
}

int64_t FrameBytes(int64_t width, int64_t height) { return width * height * 4; }

}  // namespace

bool TQtImageCodecs::Start() { return true; }

QStringList TQtImageCodecs::EncoderMimeTypes() const {
    QStringList result;
    const QList<QByteArray> formats = QImageWriter::supportedImageFormats();
    for (const char* mime : {"image/bmp", "image/jpeg", "image/png", "image/tiff"})
        if (formats.contains(WriterFormat(QString::fromLatin1(mime)))) result << QString::fromLatin1(mime);
    result << QStringLiteral("image/gif");
    return result;
}

int TQtImageCodecs::Decode(const QByteArray& data, QImage& frame) const {
    frame = QImage();
    if (data.isEmpty()) return csInvalidParameter;
    QBuffer buffer;
    buffer.setData(data);
    if (!buffer.open(QIODevice::ReadOnly)) return csGenericError;
    QImageReader reader(&buffer);
    reader.setAutoTransform(false);
    if (HasPngSignature(data)) {
        reader.setFormat("png");
        reader.setAutoDetectImageFormat(false);  // see ReadImageOfFormat
    } else {
        reader.setDecideFormatFromContent(true);
    }
    // Qt's own limit bounds what its decoders allocate where the size is not
    // known beforehand; twice ours, as 16-bit images decode at 8 bytes a pixel.
    reader.setAllocationLimit(int(qMin<int64_t>(INT_MAX, 2 * m_limit / (1024 * 1024) + 1)));
    if (!IsDecodableFormat(reader.format().toLower())) return csUnknownImageFormat;

    // Refuse what would not fit before any pixel memory is taken.
    const QSize size = reader.size();
    if (size.isValid() && FrameBytes(size.width(), size.height()) > m_limit) return csOutOfMemory;

    QImage image;
    if (!reader.read(&image) || image.isNull())
        return reader.error() == QImageReader::UnsupportedFormatError ? csUnknownImageFormat : csGenericError;
    if (FrameBytes(image.width(), image.height()) > m_limit) return csOutOfMemory;
    // RGB32 pixels are stored as 0xFFRRGGBB already: only the format changes.
    if (image.format() == QImage::Format_RGB32) image.reinterpretAsFormat(QImage::Format_ARGB32);
    frame = image.format() == QImage::Format_ARGB32 ? std::move(image)
                                                    : std::move(image).convertToFormat(QImage::Format_ARGB32);
    return frame.isNull() ? csOutOfMemory : csOk;
}

int TQtImageCodecs::Encode(const QImage& frame, const QString& mimeType, QByteArray& out) const {
    out.clear();
    if (frame.isNull()) return csInvalidParameter;
    if (IsGif(mimeType)) return WriteGif(frame, out) ? csOk : csGenericError;
    const QByteArray format = WriterFormat(mimeType);
    if (format.isEmpty()) return csInvalidParameter;
    QBuffer buffer(&out);
    if (!buffer.open(QIODevice::WriteOnly)) return csGenericError;
    QImageWriter writer(&buffer, format);
    if (!writer.canWrite()) return csNotImplemented;
    if (!writer.write(WriterImage(frame, format))) {
        out.clear();
        return csGenericError;
    }
    return csOk;
}

QSize PngImageSize(const QByteArray& data) {
    // After the signature the first chunk is the header: its length, its
    // type "IHDR", then the width and the height as big-endian numbers.
    constexpr int kTypeAt = 12;
    constexpr int kWidthAt = 16;
    constexpr int kHeightAt = 20;
    constexpr int kHeaderEnd = 24;
    if (!HasPngSignature(data) || data.size() < kHeaderEnd || data.mid(kTypeAt, 4) != "IHDR") return {};
    const auto* bytes = reinterpret_cast<const uchar*>(data.constData());
    const quint32 width = qFromBigEndian<quint32>(bytes + kWidthAt);
    const quint32 height = qFromBigEndian<quint32>(bytes + kHeightAt);
    if (width == 0 || height == 0 || width > quint32(INT_MAX) || height > quint32(INT_MAX)) return {};
    return QSize(int(width), int(height));
}

QImage ReadImageOfFormat(QIODevice& device, const char* format) {
    QImageReader reader(&device, format);
    reader.setAutoDetectImageFormat(false);
    return reader.read();
}

QImage ReadImageOfFormat(const QString& fileName, const char* format) {
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return ReadImageOfFormat(file, format);
}
