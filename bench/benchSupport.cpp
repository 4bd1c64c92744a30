#include "benchSupport.h"

#include "app/unStartup.h"
#include "core/cuUnits.h"

#include <QApplication>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <optional>
#include <stdexcept>
#include <vector>

#include <malloc.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {
// A ratio or growth figure divides the times of two runs unless it reads a
// counter; a latency figure reads a counter (second) of a run (first).
struct Figure {
    std::string kind, name, first, second;
    bool fromCounter = false;
};

std::vector<Figure>& Figures() {
    static std::vector<Figure> figures;
    return figures;
}

// Latency samples of one counter, and the share of its percentile.
struct TSamples {
    double share = 0;
    std::vector<double> values;
};
using TSamplesByCounter = std::map<std::string, TSamples>;

// The samples handed over since the last report, by counter name: they
// belong to the next run reported.
TSamplesByCounter& PendingSamples() {
    static TSamplesByCounter pending;
    return pending;
}

// Prints as usual and keeps the real time per iteration and the counters of
// every run: of a benchmark run in repetitions, the lowest time and the
// highest counter (whether each repetition or only the aggregates reach the
// reporter), and the latency samples of all repetitions together. Colours
// only on a terminal, so that piped output holds each figure line exactly as
// printed.
class TCollectingReporter : public benchmark::ConsoleReporter {
public:
    TCollectingReporter() : ConsoleReporter(isatty(fileno(stdout)) ? OO_ColorTabular : OO_Tabular) {}

    using TValues = std::map<std::string, double>;
    TValues times;
    TValues counters;          // by "<run name> <counter name>"
    TSamplesByCounter samples;  // by "<run name> <counter name>"

    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& r : runs) {
            const bool kept = (r.run_type == Run::RT_Iteration && r.iterations > 0 && !r.error_occurred) ||
                              (r.run_type == Run::RT_Aggregate && r.aggregate_name == "min");
            if (r.run_type == Run::RT_Iteration) PoolPendingSamples(kept ? r.run_name.str() : std::string());
            if (!kept) continue;
            Keep(times, r.run_name.str(), r.GetAdjustedRealTime(), false);
            for (const auto& [name, counter] : r.counters)
                Keep(counters, CounterKey(r.run_name.str(), name), counter.value, true);
        }
    }
    static std::string CounterKey(const std::string& run, const std::string& counter) { return run + " " + counter; }

private:
    static void Keep(TValues& values, const std::string& name, double value, bool highest) {
        const auto [at, added] = values.try_emplace(name, value);
        if (!added) at->second = highest ? std::max(at->second, value) : std::min(at->second, value);
    }
    // The samples handed over go to the run; none (a failed run) drops them.
    void PoolPendingSamples(const std::string& run) {
        if (!run.empty())
            for (auto& [counter, pending] : PendingSamples()) {
                TSamples& pooled = samples[CounterKey(run, counter)];
                pooled.share = pending.share;
                pooled.values.insert(pooled.values.end(), pending.values.begin(), pending.values.end());
            }
        PendingSamples().clear();
    }
};

// The value of a figure; none when a run or a counter it reads was not reported.
std::optional<double> FigureValue(const Figure& f, const TCollectingReporter& reporter) {
    if (f.fromCounter || f.kind == "LATENCY" || f.kind == "MEMORY") {
        const std::string key = TCollectingReporter::CounterKey(f.first, f.second);
        if (const auto pooled = reporter.samples.find(key); pooled != reporter.samples.end())
            return QuillanePercentile(pooled->second.values, pooled->second.share);
        const auto value = reporter.counters.find(key);
        if (value == reporter.counters.end()) return std::nullopt;
        return value->second;
    }
    const auto n = reporter.times.find(f.first);
    const auto d = reporter.times.find(f.second);
    if (n == reporter.times.end() || d == reporter.times.end() || d->second <= 0) return std::nullopt;
    return n->second / d->second;
}

void PrintFigure(const Figure& f, const TCollectingReporter& reporter) {
    if (const std::optional<double> value = FigureValue(f, reporter))
        std::printf("%s %s %.3f\n", f.kind.c_str(), f.name.c_str(), *value);
    else
        std::printf("%s %s unavailable (%s, %s not reported)\n", f.kind.c_str(), f.name.c_str(), f.first.c_str(),
                    f.second.c_str());
}
}  // namespace

TBenchFigure::TBenchFigure(const char* kind, std::string name, std::string first, std::string second,
                           TSource source) {
    Figures().push_back({kind, std::move(name), std::move(first), std::move(second), source == TSource::Counter});
}

double QuillanePercentile(std::vector<double> samples, double share) {
    if (samples.empty()) return 0;
    const auto rank = size_t(std::ceil(share * double(samples.size())));
    const size_t index = std::clamp<size_t>(rank, 1, samples.size()) - 1;
    std::nth_element(samples.begin(), samples.begin() + std::ptrdiff_t(index), samples.end());
    return samples[index];
}

void QuillaneLatencySamples(benchmark::State& state, const std::string& counter, std::vector<double> samples,
                            double share) {
    state.counters[counter] = QuillanePercentile(samples, share);
    TSamples& pending = PendingSamples()[counter];
    pending.share = share;
    pending.values.insert(pending.values.end(), samples.begin(), samples.end());
}

void QuillaneLeaveCaches() {
    static const std::vector<char> other = [] {
        constexpr long kAtLeast = 64L << 20;
        const long cache = sysconf(_SC_LEVEL3_CACHE_SIZE);
        return std::vector<char>(size_t(std::max(kAtLeast, cache + cache / 2)), 1);
    }();
    unsigned sum = 0;  // read, not written: no dirty lines to write back during the timed step
    for (size_t i = 0; i < other.size(); i += 64) sum += unsigned(other[i]);
    benchmark::DoNotOptimize(sum);
}

size_t QuillaneHeapInUse() {
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

std::vector<double> QuillaneInChildProcess(const std::function<std::vector<double>()>& work) {
    int channel[2];
    if (pipe(channel) != 0) throw std::runtime_error("no pipe for the child process");
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child < 0) throw std::runtime_error("no child process");
    if (child == 0) {
        close(channel[0]);
        int status = 1;
        try {
            const std::vector<double> values = work();
            const auto bytes = ssize_t(values.size() * sizeof(double));
            if (write(channel[1], values.data(), size_t(bytes)) == bytes) status = 0;
        } catch (...) {
        }
        std::fflush(nullptr);
        _exit(status);  // no destructor of the parent's objects runs twice
    }
    close(channel[1]);
    std::vector<double> values;
    double value;
    while (read(channel[0], &value, sizeof value) == ssize_t(sizeof value)) values.push_back(value);
    close(channel[0]);
    int status = 0;
    if (waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw std::runtime_error("the child process failed");
    return values;
}

void QuillaneRepeatKeepingFastest(benchmark::internal::Benchmark* benchmark, int repetitions) {
    benchmark->Repetitions(repetitions)->ComputeStatistics(
        "min", [](const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); });
}

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    TUnitRegistry units;
    RegisterAllUnits(units);
    units.InitializeAll();

    TCollectingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    for (const Figure& f : Figures()) PrintFigure(f, reporter);
    units.FinalizeAll();
    benchmark::Shutdown();
    return 0;
}
