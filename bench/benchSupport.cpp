#include "benchSupport.h"

#include "app/unStartup.h"
#include "core/cuUnits.h"

#include <QApplication>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <vector>

#include <unistd.h>

namespace {
struct Figure {
    std::string kind, name, numerator, denominator;
};

std::vector<Figure>& Figures() {
    static std::vector<Figure> figures;
    return figures;
}

// Prints as usual and keeps the real time per iteration of every run; of a
// benchmark run in repetitions, the fastest (whether each repetition or only
// the aggregates reach the reporter).
// Colours only on a terminal, so that piped output holds each figure line
// exactly as printed.
class TCollectingReporter : public benchmark::ConsoleReporter {
public:
    TCollectingReporter() : ConsoleReporter(isatty(fileno(stdout)) ? OO_ColorTabular : OO_Tabular) {}

    std::map<std::string, double> times;
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& r : runs) {
            if (r.run_type == Run::RT_Iteration && r.iterations > 0)
                Keep(r.run_name.str(), r.GetAdjustedRealTime());
            else if (r.run_type == Run::RT_Aggregate && r.aggregate_name == "min")
                Keep(r.run_name.str(), r.GetAdjustedRealTime());
        }
    }

private:
    void Keep(const std::string& name, double time) {
        const auto [at, added] = times.try_emplace(name, time);
        if (!added) at->second = std::min(at->second, time);
    }
};
}  // namespace

TBenchFigure::TBenchFigure(const char* kind, std::string name, std::string numerator, std::string denominator) {
    Figures().push_back({kind, std::move(name), std::move(numerator), std::move(denominator)});
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
    for (const Figure& f : Figures()) {
        auto n = reporter.times.find(f.numerator);
        auto d = reporter.times.find(f.denominator);
        if (n == reporter.times.end() || d == reporter.times.end() || d->second <= 0) {
            std::printf("%s %s unavailable (%s / %s not run)\n", f.kind.c_str(), f.name.c_str(),
                        f.numerator.c_str(), f.denominator.c_str());
            continue;
        }
        std::printf("%s %s %.3f\n", f.kind.c_str(), f.name.c_str(), n->second / d->second);
    }
    units.FinalizeAll();
    benchmark::Shutdown();
    return 0;
}
