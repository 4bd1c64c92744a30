#pragma once
// Shared main of the benchmark programs. A program declares its headline
// figures; after the run they are printed as
//   RATIO <name> <our time / peer time>
//   GROWTH <name> <time at 10x size / time at base size>
// from the real times of the named benchmark runs (names as Google Benchmark
// prints them, e.g. "BM_Read/1000"), and
//   LATENCY <name> <milliseconds>
//   MEMORY <name> <value>
// from a counter of a named run (state.counters["p95_ms"]); a memory figure
// (such as heap bytes per element, measured untimed) is the counter as it is. A benchmark run in
// repetitions through QuillaneFastestOf counts with its fastest repetition:
// on a shared machine the others were slowed by whatever else it was doing.
// A latency is not the best of the repetitions: a counter set through
// QuillaneLatencySamples is the percentile of the samples of every
// repetition pooled; any other counter counts with its highest value.

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace benchmark {
class State;
namespace internal {
class Benchmark;
}
}  // namespace benchmark

struct TBenchFigure {
    // Where a RATIO or GROWTH value comes from: the times of two runs, or a
    // counter (second) of one run (first) that holds the quotient itself.
    enum class TSource { Times, Counter };
    TBenchFigure(const char* kind, std::string name, std::string first, std::string second,
                 TSource source = TSource::Times);
};

// Runs the benchmark `repetitions` times and adds the fastest as the
// statistic "min" (shown with the other aggregates).
void QuillaneRepeatKeepingFastest(benchmark::internal::Benchmark* benchmark, int repetitions);
// For Apply: BENCHMARK(BM_X)->Arg(10)->Apply(QuillaneFastestOf<5>).
template <int Repetitions>
void QuillaneFastestOf(benchmark::internal::Benchmark* benchmark) {
    QuillaneRepeatKeepingFastest(benchmark, Repetitions);
}

#define QUILLANE_RATIO(name, ours, peer) \
    static const TBenchFigure quillaneRatio_##name("RATIO", #name, ours, peer)
// A ratio whose run times both sides itself (interleaved samples, say) and
// keeps our time / peer time in a counter.
#define QUILLANE_RATIO_COUNTER(name, run, counter) \
    static const TBenchFigure quillaneRatio_##name("RATIO", #name, run, counter, TBenchFigure::TSource::Counter)
#define QUILLANE_GROWTH(name, tenfold, base) \
    static const TBenchFigure quillaneGrowth_##name("GROWTH", #name, tenfold, base)
#define QUILLANE_LATENCY(name, run, counter) \
    static const TBenchFigure quillaneLatency_##name("LATENCY", #name, run, counter)
#define QUILLANE_MEMORY(name, run, counter) \
    static const TBenchFigure quillaneMemory_##name("MEMORY", #name, run, counter)

// Bytes of the general allocator's heap in use (allocated, not freed), for
// memory figures taken before and after a step, outside the clock.
size_t QuillaneHeapInUse();

// Runs work in a child process (forked: it starts from this process's memory
// as it is and leaves this process's memory as it was) and hands back the
// values it returns; raises when the child fails. What a benchmark builds or
// measures there leaves no freed blocks behind in this process's pools
// (core/cuBlockPool), which would serve a later step and hide its memory.
std::vector<double> QuillaneInChildProcess(const std::function<std::vector<double>()>& work);

// Reads (untimed, between PauseTiming and ResumeTiming) a buffer half as
// large again as the last-level cache, so that the next timed step starts
// with its data in main memory, as a step the user starts after other work
// does; without it a small case repeated in a loop runs from the cache while
// a big one cannot, and a growth figure would compare cache with memory.
void QuillaneLeaveCaches();

// The value below which the given share (0.95: the 95th percentile) of the
// samples lie, by the nearest-rank rule; 0 without samples.
double QuillanePercentile(std::vector<double> samples, double share);

// Sets the counter to the share's percentile of the samples of this run
// and keeps them for a LATENCY figure of the counter, which takes the same
// percentile of the samples of all repetitions of the run together. The
// samples go to the next run reported, so this holds while the repetitions
// of a benchmark run one after another (unless random interleaving is asked
// for).
void QuillaneLatencySamples(benchmark::State& state, const std::string& counter, std::vector<double> samples,
                            double share);
