#include "benchSupport.h"

#include "app/unStartup.h"
#include "core/cuUnits.h"

#include <QApplication>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <vector>

namespace {
struct Figure {
    std::string kind, name, numerator, denominator;
};

std::vector<Figure>& Figures() {
    static std::vector<Figure> figures;
    return figures;
}

// Prints as usual and keeps the real time per iteration of every run.
class TCollectingReporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> times;
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& r : runs)
            if (r.run_type == Run::RT_Iteration && r.iterations > 0)
                times[r.benchmark_name()] = r.GetAdjustedRealTime();
    }
};
}  // namespace

TBenchFigure::TBenchFigure(const char* kind, std::string name, std::string numerator, std::string denominator) {
    Figures().push_back({kind, std::move(name), std::move(numerator), std::move(denominator)});
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
