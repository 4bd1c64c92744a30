#pragma once
// The image codec layer: decoding of encoded image bytes into one 32-bit ARGB
// frame and encoding of a frame into BMP, GIF, JPEG, PNG or TIFF bytes. The Qt
// implementation decodes with QImageReader and encodes with QImageWriter (GIF
// with giflib); tests may install a fake. Failures are status codes; the core
// turns them into exceptions.

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>
#include <QStringList>

#include <cstdint>

class QIODevice;

// The most bytes of an encoded image read from a file or a stream: far more
// than any picture a scheme embeds or a theme shows (an uncompressed frame at
// the decoder's allocation limit takes half of it), and few enough that a
// device that never ends cannot use up the memory.
constexpr int64_t MaxEncodedImageBytes = int64_t(512) * 1024 * 1024;

// Status codes of the codec layer. The values are those that the image
// library's callers store and show ("Invalid GDI+ operation (%d)").
enum TCodecStatus : int {
    csOk = 0,
    csGenericError = 1,
    csInvalidParameter = 2,
    csOutOfMemory = 3,
    csNotImplemented = 6,
    csWin32Error = 7,
    csUnknownImageFormat = 13,
};

class TImageCodecs {
public:
    virtual ~TImageCodecs() = default;

    // Prepares the codecs; false when they cannot be used at all.
    virtual bool Start() = 0;
    virtual void Stop() = 0;
    // The MIME types that Encode accepts ("image/png", ...).
    virtual QStringList EncoderMimeTypes() const = 0;
    // Decodes the first image of `data` into `frame` (Format_ARGB32, not
    // premultiplied, stored orientation).
    virtual int Decode(const QByteArray& data, QImage& frame) const = 0;
    // Encodes `frame` as `mimeType` into `out`.
    virtual int Encode(const QImage& frame, const QString& mimeType, QByteArray& out) const = 0;
};

// The Qt implementation. Images whose decoded frame would need more than
// `allocationLimitBytes` are refused (csOutOfMemory) before any pixel memory is
// taken; orientation tags are not applied.
class TQtImageCodecs : public TImageCodecs {
public:
    static constexpr int64_t DefaultAllocationLimit = int64_t(256) * 1024 * 1024;

    explicit TQtImageCodecs(int64_t allocationLimitBytes = DefaultAllocationLimit)
        : m_limit(allocationLimitBytes) {}

    bool Start() override;
    void Stop() override {}
    QStringList EncoderMimeTypes() const override;
    int Decode(const QByteArray& data, QImage& frame) const override;
    int Encode(const QImage& frame, const QString& mimeType, QByteArray& out) const override;

    int64_t AllocationLimit() const noexcept { return m_limit; }

private:
    int64_t m_limit;
};

// The size a PNG image declares in its header, without decoding it; an
// invalid size for anything else (another format, a damaged header).
QSize PngImageSize(const QByteArray& data);

// An image of a known format ("png", "ico") read by that format's reader
// alone: Qt, told a format or a file suffix, would otherwise load every image
// plugin to ask each whether it reads the format. A null image on failure.
QImage ReadImageOfFormat(QIODevice& device, const char* format);
QImage ReadImageOfFormat(const QString& fileName, const char* format);
