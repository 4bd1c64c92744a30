// Stream compression against raw zlib on the same 8 MB of text-like data.

#include "benchSupport.h"

#include "core/cuUtils.h"

#include <QBuffer>
#include <QRandomGenerator>
#include <benchmark/benchmark.h>
#include <zlib.h>

namespace {

constexpr int kSize = 8 * 1024 * 1024;

const QByteArray& Input() {
    static const QByteArray data = [] {
        static const char* words[] = {"begin ", "end;\n", "if ", "then ", "Value", " := ", "42", "Result",
                                      "while ", "do ", "procedure ", "TElement_IfThen", "(", ")", ", "};
        QByteArray out;
        out.reserve(kSize);
        QRandomGenerator rng(3);
        while (out.size() < kSize) out += words[rng.bounded(15)];
        out.truncate(kSize);
        return out;
    }();
    return data;
}

const QByteArray& Packed() {
    static const QByteArray packed = CompressBytes(Input());
    return packed;
}

void BM_CompressStream(benchmark::State& state) {
    for (auto _ : state) {
        QBuffer source, dest;
        source.setData(Input());
        source.open(QIODevice::ReadOnly);
        dest.open(QIODevice::ReadWrite);
        CompressStream(source, dest);
        benchmark::DoNotOptimize(dest.data().size());
    }
    state.SetBytesProcessed(state.iterations() * kSize);
}
BENCHMARK(BM_CompressStream)->Unit(benchmark::kMillisecond);

void BM_ZlibCompress2(benchmark::State& state) {
    const QByteArray& in = Input();
    for (auto _ : state) {
        uLongf size = compressBound(uLong(in.size()));
        QByteArray out(qsizetype(size), Qt::Uninitialized);
        compress2(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(in.constData()),
                  uLong(in.size()), Z_DEFAULT_COMPRESSION);
        out.truncate(qsizetype(size));
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(state.iterations() * kSize);
}
BENCHMARK(BM_ZlibCompress2)->Unit(benchmark::kMillisecond);

void BM_DecompressStream(benchmark::State& state) {
    for (auto _ : state) {
        QBuffer source, dest;
        source.setData(Packed());
        source.open(QIODevice::ReadOnly);
        dest.open(QIODevice::ReadWrite);
        DecompressStream(source, dest);
        benchmark::DoNotOptimize(dest.data().size());
    }
    state.SetBytesProcessed(state.iterations() * kSize);
}
BENCHMARK(BM_DecompressStream)->Unit(benchmark::kMillisecond);

// The peer knows the output size in advance, which ours does not.
void BM_ZlibUncompress(benchmark::State& state) {
    const QByteArray& in = Packed();
    for (auto _ : state) {
        uLongf size = kSize;
        QByteArray out(kSize, Qt::Uninitialized);
        uncompress(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(in.constData()),
                   uLong(in.size()));
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(state.iterations() * kSize);
}
BENCHMARK(BM_ZlibUncompress)->Unit(benchmark::kMillisecond);

}  // namespace

QUILLANE_RATIO(compress_vs_zlib, "BM_CompressStream", "BM_ZlibCompress2");
QUILLANE_RATIO(decompress_vs_zlib, "BM_DecompressStream", "BM_ZlibUncompress");
