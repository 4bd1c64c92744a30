#include "scheme/diUtils.h"

#include "core/umBitmap32.h"
#include "core/umUniversalImage.h"
#include "platform/plImageCodecs.h"
#include "platform/plResources.h"

#include <QBuffer>

#include <cmath>
#include <vector>

// ---------------------------------------------------------------------------
// Element images

namespace {

// The first frame of encoded picture bytes; null when they can't be read.
QImage DecodeStrip(const QByteArray& data) {
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    TUniversalImage image;
    image.LoadFromStream(buffer);
    const TBitmap32* frame = image.GetFirstFrame();
    return frame ? frame->Image() : QImage();
}

// The pictures of a strip, row by row; a partial row or column is left out.
std::vector<QImage> CutStrip(const QImage& strip, int width, int height) {
    std::vector<QImage> pictures;
    if (strip.isNull()) return pictures;
    const QImage argb = strip.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y + height <= argb.height(); y += height)
        for (int x = 0; x + width <= argb.width(); x += width) pictures.push_back(argb.copy(x, y, width, height));
    return pictures;
}

}  // namespace

int TSchemeImages::AddResourceImage(const QString& name) {
    QByteArray data;
    if (!LoadResource(name, data)) return Count();
    const QSize size = PngImageSize(data);
    if (!size.isValid()) return AddStrip(DecodeStrip(data));
    const int count = (size.width() / Width()) * (size.height() / Height());
    return AddDeferred(count, [data, width = Width(), height = Height()] {
        return CutStrip(DecodeStrip(data), width, height);
    });
}

int TSchemeImages::AddStrip(const QImage& strip) {
    const int first = Count();
    for (const QImage& picture : CutStrip(strip, Width(), Height())) Add(picture);
    return first;
}

std::unique_ptr<TSchemeImages> TSchemeImages::CreateDisabled(const TSchemeImages& source) {
    auto list = std::make_unique<TSchemeImages>(source.Width(), source.Height());
    for (int i = 0; i < source.Count(); ++i)
        list->AddDeferred(1, [&source, i] {
            return std::vector<QImage>{GreyedImage(source.Image(i))};
        });
    return list;
}

QImage GreyedImage(const QImage& source) {
    QImage image = source.convertToFormat(QImage::Format_ARGB32);  // un-premultiplied
    for (int y = 0; y < image.height(); ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = line[x];
            const int grey = (qRed(p) * 61 + qGreen(p) * 174 + qBlue(p) * 21) >> 8;
            line[x] = qRgba(grey, grey, grey, qAlpha(p) * 22 / 100);
        }
    }
    return image;
}

namespace {

struct TSharedImages {
    TSchemeImages chars{12, 12};
    TSchemeImages small{16, 16};
    TSchemeImages large{32, 32};
    int defaultChar = NoImageIndex;
    int defaultSmall = NoImageIndex;
    int defaultLarge = NoImageIndex;
    TClassesGroups groups;
};

std::unique_ptr<TSharedImages> g_images;

TSharedImages& Shared() {
    Q_ASSERT_X(g_images, "scheme images", "used outside the unit's lifetime");
    return *g_images;
}

}  // namespace

TSchemeImages& SchemeCharImages() { return Shared().chars; }
TSchemeImages& SchemeSmallImages() { return Shared().small; }
TSchemeImages& SchemeLargeImages() { return Shared().large; }
int DefaultCharImage() noexcept { return g_images ? g_images->defaultChar : NoImageIndex; }
int DefaultSmallImage() noexcept { return g_images ? g_images->defaultSmall : NoImageIndex; }
int DefaultLargeImage() noexcept { return g_images ? g_images->defaultLarge : NoImageIndex; }

// ---------------------------------------------------------------------------
// Class groups

int TClassesGroups::AddGroup() {
    m_groups.append(TGroup());
    return int(m_groups.size()) - 1;
}

TClassesGroups& ClassesGroups() { return Shared().groups; }

// ---------------------------------------------------------------------------
// Small routines

QString SanitizeFileName(const QString& name) {
    static const QString forbidden = QStringLiteral("\"*/:<>?\\|");
    QString result;
    const QString cut = name.left(260);
    result.reserve(cut.size());
    for (QChar c : cut)
        if (c.unicode() >= 32 && !forbidden.contains(c)) result.append(c);
    return result;
}

int64_t MillisecondsBetween(double a, double b) noexcept {
    constexpr double MsPerDay = 86400000.0;
    const int64_t ma = std::llround(a * MsPerDay);
    const int64_t mb = std::llround(b * MsPerDay);
    return ma > mb ? ma - mb : mb - ma;
}

// ---------------------------------------------------------------------------
// Unit

void InitSchemeImagesUnit() {
    g_images = std::make_unique<TSharedImages>();
    g_images->defaultChar = g_images->chars.AddResourceImage(QStringLiteral("diClassesCharImages"));
    g_images->defaultSmall = g_images->small.AddResourceImage(QStringLiteral("diClassesSmallImages"));
    g_images->defaultLarge = g_images->large.AddResourceImage(QStringLiteral("diClassesLargeImages"));
    for (int i = 0; i < 4; ++i) g_images->groups.AddGroup();
}

void FinalSchemeImagesUnit() { g_images.reset(); }
