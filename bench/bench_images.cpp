// Icon decoding against Qt's icon reader, and PNG/JPEG loading through the
// universal image against QImageReader used directly.

#include "benchSupport.h"

#include "core/umBitmap32.h"
#include "core/umIcon.h"
#include "core/umUniversalImage.h"

#include <QBuffer>
#include <QImageReader>
#include <QPainter>
#include <QRadialGradient>

#include <benchmark/benchmark.h>

namespace {

QImage Picture(int size, bool alpha) {
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(alpha ? Qt::transparent : Qt::white);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QRadialGradient g(size / 2.0, size / 2.0, size / 2.0);
    g.setColorAt(0, QColor(250, 40, 10));
    g.setColorAt(1, QColor(10, 30, 200, alpha ? 40 : 255));
    p.setBrush(g);
    p.drawEllipse(QRectF(1, 1, size - 2, size - 2));
    for (int i = 0; i < size; i += 7) p.drawLine(0, i, size, size - i);
    return image;
}

// An icon with one 32-bit and one 24-bit entry of `size` pixels.
QByteArray IconBytes(int size) {
    const QImage image = Picture(size, true);
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    SaveIconToStream(buffer, {{image, 32, false, {}}, {image, 24, false, {}}}, false);
    return buffer.data();
}

QByteArray Encoded(const QImage& image, const char* format) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

void BM_IconDecode_Ours(benchmark::State& state) {
    const QByteArray bytes = IconBytes(int(state.range(0)));
    for (auto _ : state) {
        QBuffer buffer;
        buffer.setData(bytes);
        buffer.open(QIODevice::ReadOnly);
        TUniversalImage image;
        image.LoadFromStream(buffer);
        benchmark::DoNotOptimize(image.GetFrame(1)->Pixel(0, 0));
    }
}

void BM_IconDecode_Qt(benchmark::State& state) {
    const QByteArray bytes = IconBytes(int(state.range(0)));
    for (auto _ : state) {
        QBuffer buffer;
        buffer.setData(bytes);
        buffer.open(QIODevice::ReadOnly);
        QImageReader reader(&buffer, "ico");
        QImage first = reader.read();
        reader.jumpToNextImage();
        QImage second = reader.read();
        benchmark::DoNotOptimize(second.pixel(0, 0));
        benchmark::DoNotOptimize(first.pixel(0, 0));
    }
}

const QByteArray& PngBytes() {
    static const QByteArray bytes = Encoded(Picture(512, true), "png");
    return bytes;
}
const QByteArray& JpegBytes() {
    static const QByteArray bytes = Encoded(Picture(512, false), "jpeg");
    return bytes;
}

void LoadOurs(const QByteArray& bytes) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    TUniversalImage image;
    image.LoadFromStream(buffer);
    benchmark::DoNotOptimize(image.GetFirstFrame()->Pixel(0, 0));
}

void LoadQt(const QByteArray& bytes) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    QImage image = reader.read();
    benchmark::DoNotOptimize(image.pixel(0, 0));
}

// The encoded pictures are made before any timing starts.
void PrepareBytes() {
    PngBytes();
    JpegBytes();
}

void BM_ImageLoad_Ours(benchmark::State& state) {
    PrepareBytes();
    for (auto _ : state) {
        LoadOurs(PngBytes());
        LoadOurs(JpegBytes());
    }
}

void BM_ImageLoad_Qt(benchmark::State& state) {
    PrepareBytes();
    for (auto _ : state) {
        LoadQt(PngBytes());
        LoadQt(JpegBytes());
    }
}

// One format at a time: 0 PNG, 1 JPEG.
void BM_FormatLoad_Ours(benchmark::State& state) {
    PrepareBytes();
    for (auto _ : state) LoadOurs(state.range(0) == 0 ? PngBytes() : JpegBytes());
}

void BM_FormatLoad_Qt(benchmark::State& state) {
    PrepareBytes();
    for (auto _ : state) LoadQt(state.range(0) == 0 ? PngBytes() : JpegBytes());
}

}  // namespace

BENCHMARK(BM_FormatLoad_Ours)->Arg(0)->Arg(1);
BENCHMARK(BM_FormatLoad_Qt)->Arg(0)->Arg(1);
BENCHMARK(BM_IconDecode_Ours)->Arg(32)->Arg(128);
BENCHMARK(BM_IconDecode_Qt)->Arg(32)->Arg(128);
BENCHMARK(BM_ImageLoad_Ours);
BENCHMARK(BM_ImageLoad_Qt);

QUILLANE_RATIO(ico_decode_vs_qt, "BM_IconDecode_Ours/128", "BM_IconDecode_Qt/128");
QUILLANE_RATIO(image_load_vs_qt, "BM_ImageLoad_Ours", "BM_ImageLoad_Qt");
