// Data elements: one viewport of the hex dump of 1 MB and of 10 MB of data
// that is no image, painted in the middle of the dump (only the rows in view
// may cost), and the preview of a 4000 x 3000 PNG (decoded and scaled to the
// width the sheet shows) against QImageReader and a smooth QImage::scaled of
// the same bytes to the same size.

#include "benchSupport.h"

#include "elements/diDataElement.h"
#include "scheme/diCanvas.h"
#include "scheme/diThemes.h"
#include "scheme/diSheet.h"

#include <QBuffer>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
#include <QRandomGenerator>

#include <benchmark/benchmark.h>

#include <memory>

// A root that shows its data elements one below the other.
class TElement_BenchDataRoot : public TVisualElement {
    T_ELEMENT_CLASS(TElement_BenchDataRoot)
public:
    void FillAcceptedClasses(TElementClassList& list) override { list << TElement_Image::StaticClass(); }
    void UpdateLayout(bool force, bool all, bool widthChanged, bool heightChanged) override {
        TVisualElement::UpdateLayout(force, all, widthChanged, heightChanged);
        int width = 0, height = 0;
        for (TVisualElement* c = FirstVisualChild(); c; c = c->NextVisualSibling()) {
            c->UpdateLayout(force, all, widthChanged, heightChanged);
            c->SetPosition(0, height);
            height += c->Height();
            width = std::max(width, c->Width());
        }
        SetSize(width, height);
    }
};
T_ELEMENT_CLASS_IMPL(TElement_BenchDataRoot, TVisualElement)

namespace {

constexpr int kMegabyte = 1 << 20;
constexpr int kViewportWidth = 800;
constexpr int kViewportHeight = 600;
constexpr int kPreviewImageWidth = 4000;
constexpr int kPreviewImageHeight = 3000;
// The preview of a 4000-pixel-wide image: a tenth of it.
constexpr int kPreviewWidth = 400;
constexpr int kPreviewHeight = 300;

TNodePtr<TSheetSettings> MakeBenchSettings() {
    TNodePtr<TSheetSettings> settings = TProperty::CreateRoot<TSheetSettings>(QStringLiteral("Sheet"));
    settings->CreateProperties();
    return settings;
}

QByteArray RandomBytes(qsizetype size, quint32 seed) {
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator random(seed);
    random.fillRange(reinterpret_cast<quint32*>(bytes.data()), size / qsizetype(sizeof(quint32)));
    bytes[0] = 'Q';  // no image header
    return bytes;
}

struct TBenchDataSheet {
    TNodePtr<TSheetSettings> settings = MakeBenchSettings();
    TSheet sheet{settings.get()};
    std::unique_ptr<TScheme> scheme =
        std::make_unique<TScheme>(TElement_BenchDataRoot::StaticClass(), QStringLiteral("Bench"));
    TElement_Image* image = nullptr;

    explicit TBenchDataSheet(const QByteArray& data) {
        image = TElement::CreateIn<TElement_Image>(scheme.get(), scheme->Root());
        image->SetData(data, QStringLiteral("bin"));
        TSheetUpdate update(&sheet);
        auto* root = static_cast<TVisualElement*>(scheme->Root());
        image->SetVisualParent(root);
        root->SetVisualParent(sheet.Root());
    }
    ~TBenchDataSheet() { scheme.reset(); }
};

void BM_DataHexDumpPaint(benchmark::State& state) {
    const qsizetype size = qsizetype(state.range(0)) * kMegabyte;
    TBenchDataSheet shown(RandomBytes(size, quint32(size)));
    const int middle = shown.image->Height() / 2;
    const TRect viewport{0, middle, kViewportWidth, middle + kViewportHeight};
    QImage target(kViewportWidth, kViewportHeight, QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        QPainter dc(&target);
        dc.translate(-viewport.Left, -viewport.Top);
        shown.sheet.Paint(dc, viewport, pfNoCaret);
        dc.end();
        benchmark::DoNotOptimize(target.constBits());
    }
    if (shown.image->Height() < int(size / 16)) state.SkipWithError("the dump is not shown whole");
}
BENCHMARK(BM_DataHexDumpPaint)->Arg(1)->Arg(10)->Unit(benchmark::kMicrosecond)->Apply(QuillaneFastestOf<5>);

// Two different noisy pictures, so that no run decodes the bytes of the last.
QByteArray NoisyPng(quint32 seed) {
    QImage image(kPreviewImageWidth, kPreviewImageHeight, QImage::Format_RGB32);
    QRandomGenerator random(seed);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            line[x] = qRgb((x * 255) / image.width(), (y * 255) / image.height(), int(random.bounded(64)));
    }
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QImageWriter(&buffer, "png").write(image);
    return buffer.data();
}

const QByteArray& PreviewPng(int index) {
    static const QByteArray pngs[2] = {NoisyPng(1), NoisyPng(2)};
    return pngs[index % 2];
}

void BM_DataPreview(benchmark::State& state) {
    int run = 0;
    for (auto _ : state) {
        state.PauseTiming();
        std::unique_ptr<TScheme> scheme =
            std::make_unique<TScheme>(TElement_BenchDataRoot::StaticClass(), QStringLiteral("Bench"));
        auto* image = TElement::CreateIn<TElement_Image>(scheme.get(), scheme->Root());
        const QByteArray& png = PreviewPng(run++);
        state.ResumeTiming();
        image->SetData(png, QStringLiteral("png"));
        const QImage& preview = image->Preview();
        benchmark::DoNotOptimize(preview.constBits());
        state.PauseTiming();
        if (preview.size() != QSize(kPreviewWidth, kPreviewHeight)) state.SkipWithError("no preview of the size");
        scheme.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_DataPreview)->Unit(benchmark::kMillisecond)->Apply(QuillaneFastestOf<5>);

void BM_QtPreview(benchmark::State& state) {
    int run = 0;
    for (auto _ : state) {
        QBuffer buffer;
        buffer.setData(PreviewPng(run++));
        buffer.open(QIODevice::ReadOnly);
        QImageReader reader(&buffer, "png");
        const QImage full = reader.read();
        const QImage preview = full.scaled(kPreviewWidth, kPreviewHeight, Qt::IgnoreAspectRatio,
                                           Qt::SmoothTransformation);
        benchmark::DoNotOptimize(preview.constBits());
        if (preview.size() != QSize(kPreviewWidth, kPreviewHeight)) state.SkipWithError("no preview of the size");
    }
}
BENCHMARK(BM_QtPreview)->Unit(benchmark::kMillisecond)->Apply(QuillaneFastestOf<5>);

}  // namespace

QUILLANE_GROWTH(data_hexdump_paint, "BM_DataHexDumpPaint/10/repeats:5", "BM_DataHexDumpPaint/1/repeats:5");
QUILLANE_RATIO(data_preview_vs_qt, "BM_DataPreview/repeats:5", "BM_QtPreview/repeats:5");
