#include "core/umUniversalImage.h"

#include "core/cuClasses.h"
#include "core/cuStringIds.h"
#include "core/umBitmap32.h"
#include "core/umGDIPlus.h"
#include "core/umIcon.h"
#include "platform/plFiles.h"

#include <QFile>
#include <QFileInfo>

TUniversalImage::TUniversalImage() = default;
TUniversalImage::~TUniversalImage() = default;

TBitmap32* TUniversalImage::AddFrame() {
    auto frame = std::make_unique<TBitmap32>();
    frame->SetDrawMode(TDrawMode::Blend);
    m_frames.push_back(std::move(frame));
    return m_frames.back().get();
}

void TUniversalImage::Clear() { m_frames.clear(); }

void TUniversalImage::Assign(const TUniversalImage& source) {
    if (&source == this) return;
    Clear();
    for (const auto& frame : source.m_frames) AddFrame()->Assign(*frame);
}

QSize TUniversalImage::GetSize() const {
    const TBitmap32* first = GetFirstFrame();
    return first ? QSize(first->Width(), first->Height()) : QSize(0, 0);
}

void TUniversalImage::DrawTo(TBitmap32& target, int x, int y, int frameIndex) const {
    if (IsEmpty()) return;
    const TBitmap32* frame = frameIndex < 0 ? GetFirstFrame() : GetFrame(frameIndex);
    frame->DrawTo(target, x, y);
}

void TUniversalImage::LoadFromFile(const QString& fileName) {
    QFile file(fileName);
    const TOpenForReading opened = OpenRegularFileForReading(file);
    if (opened == TOpenForReading::Missing) throw Exception::FromId(strFileNotFound, {fileName});
    if (opened != TOpenForReading::Opened) throw Exception::FromId(strStreamReadError);
    const QString ext = QFileInfo(fileName).suffix();
    if (ext.compare(QLatin1String("ico"), Qt::CaseInsensitive) == 0 ||
        ext.compare(QLatin1String("cur"), Qt::CaseInsensitive) == 0)
        LoadIcon(file);
    else
        LoadThroughLibrary(file);
}

void TUniversalImage::LoadFromStream(QIODevice& stream) {
    const qint64 start = stream.pos();
    char head[4] = {};
    const bool isIcon = stream.peek(head, 4) == 4 && head[0] == 0 && head[1] == 0 &&
                        (head[2] == 1 || head[2] == 2) && head[3] == 0;
    stream.seek(start);
    if (isIcon)
        LoadIcon(stream);
    else
        LoadThroughLibrary(stream);
}

void TUniversalImage::LoadIcon(QIODevice& stream) {
    TIconImage icon;
    icon.LoadFromStream(stream);
    if (icon.Count() == 0) throw Exception::FromId(strStreamReadError);
    // Every entry is converted before any frame joins the list: an entry that
    // fails leaves the image as it was.
    std::vector<TBitmap32> frames(size_t(icon.Count()));
    for (int i = 0; i < icon.Count(); ++i) {
        if (QBuffer* png = icon.GetPngStream(i)) {
            TGDIPlusImage image;
            image.LoadFromStream(*png);
            image.CopyToBitmap32(frames[size_t(i)]);
        } else {
            icon.CopyToBitmap32(i, frames[size_t(i)]);
        }
    }
    for (const TBitmap32& frame : frames) AddFrame()->Assign(frame.Image());
}

void TUniversalImage::LoadThroughLibrary(QIODevice& stream) {
    TGDIPlusImage image;
    image.LoadFromStream(stream);
    TBitmap32 frame;
    image.CopyToBitmap32(frame);
    AddFrame()->Assign(frame.Image());
}

namespace {
template <void (TGDIPlusImage::*Save)(QIODevice&) const>
void Convert(QIODevice& source, QIODevice& dest) {
    TGDIPlusImage image;
    image.LoadFromStream(source);
    (image.*Save)(dest);
}
}  // namespace

void TUniversalImage::ConvertToBmp(QIODevice& source, QIODevice& dest) { Convert<&TGDIPlusImage::SaveAsBmp>(source, dest); }
void TUniversalImage::ConvertToGif(QIODevice& source, QIODevice& dest) { Convert<&TGDIPlusImage::SaveAsGif>(source, dest); }
void TUniversalImage::ConvertToJpeg(QIODevice& source, QIODevice& dest) { Convert<&TGDIPlusImage::SaveAsJpeg>(source, dest); }
void TUniversalImage::ConvertToPng(QIODevice& source, QIODevice& dest) { Convert<&TGDIPlusImage::SaveAsPng>(source, dest); }
void TUniversalImage::ConvertToTiff(QIODevice& source, QIODevice& dest) { Convert<&TGDIPlusImage::SaveAsTiff>(source, dest); }
