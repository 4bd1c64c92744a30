#pragma once
// The image library binding: decoding and encoding of image files through the
// platform's codec layer, which is started once by the unit initialisation.
// Every failing call raises EGdipException with the codec layer's status.

#include "core/cuClasses.h"

#include <QImage>
#include <QSize>
#include <QString>

#include <memory>

class QIODevice;
class TBitmap32;
class TImageCodecs;

// "Invalid GDI+ operation (%d)" with the status.
class EGdipException : public Exception {
public:
    explicit EGdipException(int status);
    int Status() const noexcept { return m_status; }

private:
    int m_status;
};

// Starts the codec layer when it is not available yet.
void LoadGdiPlus();
// LoadGdiPlus when not available (every call retries); whether it is.
bool GdiPlusAvailable();
// Stops the codec layer; not available afterwards.
void UnloadGdiPlus();
// 0 with `encoder` set when an encoder for `mimeType` (ignoring case) exists,
// 1 otherwise (also when the codec layer is not available).
int GetEncoderClsid(const QString& mimeType, QString& encoder);
// Raises EGdipException for any status other than 0.
void CheckGdipStatus(int status);
// Raises EGdipException with status 2 (invalid parameter) when `condition` fails.
void CheckGdipCondition(bool condition);

// Installs another codec layer (tests); nullptr installs the Qt one again.
// The previous layer is stopped and the binding is not available until the
// next LoadGdiPlus.
void InstallImageCodecs(std::unique_ptr<TImageCodecs> codecs);

// One image decoded through the binding.
class TGDIPlusImage {
public:
    // Decodes the rest of `stream` (from its position to its end).
    void LoadFromStream(QIODevice& stream);
    QSize GetSize() const;
    // Takes the pixels of an image made elsewhere (a pasted picture), to be encoded.
    void SetImage(const QImage& image) { m_image = image.convertToFormat(QImage::Format_ARGB32); }
    // Sizes `bitmap` to the image and copies its straight 32-bit ARGB pixels.
    void CopyToBitmap32(TBitmap32& bitmap) const;
    // Encodes with `encoder` and writes the result at the stream's position.
    void SaveToStream(QIODevice& stream, const QString& encoder) const;
    void SaveAsBmp(QIODevice& stream) const;
    void SaveAsGif(QIODevice& stream) const;
    void SaveAsJpeg(QIODevice& stream) const;
    void SaveAsPng(QIODevice& stream) const;
    void SaveAsTiff(QIODevice& stream) const;

private:
    void SaveAs(QIODevice& stream, const char* mimeType) const;
    QImage m_image;
};

void InitGDIPlusUnit();
void FinalGDIPlusUnit();
