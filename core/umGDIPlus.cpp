#include "core/umGDIPlus.h"

#include "core/cuLocalization.h"
#include "core/cuStringIds.h"
#include "core/umBitmap32.h"
#include "platform/plFiles.h"
#include "platform/plImageCodecs.h"

#include <QIODevice>

namespace {

// The binding's state: the codec layer and whether it has started.
struct TBinding {
    std::unique_ptr<TImageCodecs> codecs;
    bool available = false;
};

TBinding& Binding() {
    static TBinding binding;
    return binding;
}

TImageCodecs& Codecs() {
    TBinding& b = Binding();
    if (!b.codecs) b.codecs = std::make_unique<TQtImageCodecs>();
    return *b.codecs;
}

QString GdipText(int status) {
    QString text = LoadStr(strInvalidGdipOperation);
    if (int at = text.indexOf(QLatin1String("%d")); at >= 0) text.replace(at, 2, QString::number(status));
    return text;
}

}  // namespace

EGdipException::EGdipException(int status)
    : Exception(GdipText(status), strInvalidGdipOperation), m_status(status) {}

void LoadGdiPlus() {
    TBinding& b = Binding();
    if (!b.available) b.available = Codecs().Start();
}

bool GdiPlusAvailable() {
    LoadGdiPlus();
    return Binding().available;
}

void UnloadGdiPlus() {
    TBinding& b = Binding();
    if (b.available) Codecs().Stop();
    b.available = false;
}

void InstallImageCodecs(std::unique_ptr<TImageCodecs> codecs) {
    UnloadGdiPlus();
    Binding().codecs = std::move(codecs);
}

int GetEncoderClsid(const QString& mimeType, QString& encoder) {
    if (!GdiPlusAvailable()) return 1;
    for (const QString& mime : Codecs().EncoderMimeTypes())
        if (mime.compare(mimeType, Qt::CaseInsensitive) == 0) {
            encoder = mime;
            return 0;
        }
    return 1;
}

void CheckGdipStatus(int status) {
    if (status != csOk) throw EGdipException(status);
}

void CheckGdipCondition(bool condition) {
    if (!condition) throw EGdipException(csInvalidParameter);
}

// ---------------------------------------------------------------------------

void TGDIPlusImage::LoadFromStream(QIODevice& stream) {
    m_image = QImage();
    QByteArray data;
    if (!ReadAtMost(stream, MaxEncodedImageBytes, data)) throw Exception::FromId(strStreamReadError);
    CheckGdipCondition(!data.isEmpty());
    if (!GdiPlusAvailable()) CheckGdipStatus(csWin32Error);
    QImage image;
    CheckGdipStatus(Codecs().Decode(data, image));
    m_image = std::move(image);
}

QSize TGDIPlusImage::GetSize() const {
    CheckGdipCondition(!m_image.isNull());
    return m_image.size();
}

void TGDIPlusImage::CopyToBitmap32(TBitmap32& bitmap) const {
    CheckGdipCondition(!m_image.isNull());
    bitmap.Assign(m_image);
    if (bitmap.Empty()) CheckGdipStatus(csOutOfMemory);
}

void TGDIPlusImage::SaveToStream(QIODevice& stream, const QString& encoder) const {
    CheckGdipCondition(!m_image.isNull());
    if (!GdiPlusAvailable()) CheckGdipStatus(csWin32Error);
    QByteArray bytes;
    CheckGdipStatus(Codecs().Encode(m_image, encoder, bytes));
    CheckGdipCondition(stream.write(bytes) == bytes.size());
}

void TGDIPlusImage::SaveAs(QIODevice& stream, const char* mimeType) const {
    QString encoder;
    if (GetEncoderClsid(QString::fromLatin1(mimeType), encoder) != 0) CheckGdipStatus(csGenericError);
    SaveToStream(stream, encoder);
}

void TGDIPlusImage::SaveAsBmp(QIODevice& stream) const { SaveAs(stream, "image/bmp"); }
void TGDIPlusImage::SaveAsGif(QIODevice& stream) const { SaveAs(stream, "image/gif"); }
void TGDIPlusImage::SaveAsJpeg(QIODevice& stream) const { SaveAs(stream, "image/jpeg"); }
void TGDIPlusImage::SaveAsPng(QIODevice& stream) const { SaveAs(stream, "image/png"); }
void TGDIPlusImage::SaveAsTiff(QIODevice& stream) const { SaveAs(stream, "image/tiff"); }

// ---------------------------------------------------------------------------

void InitGDIPlusUnit() {
    // A missing encoder is reported when that format is written, not here:
    // the other formats stay usable.
    LoadGdiPlus();
}

void FinalGDIPlusUnit() {
    UnloadGdiPlus();
    Binding().codecs.reset();
}
