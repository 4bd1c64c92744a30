#pragma once
// Shared main of the benchmark programs. A program declares its headline
// figures; after the run they are printed as
//   RATIO <name> <our time / peer time>
//   GROWTH <name> <time at 10x size / time at base size>
// from the real times of the named benchmark runs (names as Google Benchmark
// prints them, e.g. "BM_Read/1000").

#include <string>

struct TBenchFigure {
    TBenchFigure(const char* kind, std::string name, std::string numerator, std::string denominator);
};

#define QUILLANE_RATIO(name, ours, peer) \
    static const TBenchFigure quillaneRatio_##name("RATIO", #name, ours, peer)
#define QUILLANE_GROWTH(name, tenfold, base) \
    static const TBenchFigure quillaneGrowth_##name("GROWTH", #name, tenfold, base)
