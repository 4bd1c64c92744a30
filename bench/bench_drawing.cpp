// Sheet drawing: measuring element titles with and without the canvas's
// width cache, drawing theme frames, and the shared pool of text attributes.

#include "benchSupport.h"

#include "core/cuProps.h"
#include "scheme/diCanvas.h"
#include "scheme/diTextorAttributes.h"
#include "scheme/diThemes.h"

#include <QStringList>
#include <benchmark/benchmark.h>

#include <deque>
#include <memory>
#include <vector>

namespace {

// Element titles as a layout pass measures them: a few hundred distinct
// texts, each measured many times.
QStringList Titles(int count) {
    static const char* words[] = {"procedure", "function", "begin", "Result", "Value", "Count", "for", "while",
                                  "if", "then", "else", "TList", "Items", "Index", "Assign", "Create"};
    QStringList titles;
    for (int i = 0; i < count; ++i)
        titles << QStringLiteral("%1 %2%3").arg(words[i % 16], words[(i / 16) % 16]).arg(i);
    return titles;
}

struct TFixture {
    TNodePtr<TSheetSettings> settings = TProperty::CreateRoot<TSheetSettings>(QStringLiteral("Sheet"));
    std::unique_ptr<TSheetCanvas> canvas;
    TFixture() {
        settings->CreateProperties();
        canvas = std::make_unique<TSheetCanvas>(settings.get());
    }
};

void BM_TextWidthCached(benchmark::State& state) {
    TFixture f;
    const QStringList titles = Titles(int(state.range(0)));
    for (auto _ : state)
        for (const QString& t : titles) benchmark::DoNotOptimize(f.canvas->TextWidthElement(t));
    state.SetItemsProcessed(state.iterations() * titles.size());
}
BENCHMARK(BM_TextWidthCached)->Arg(300);

void BM_TextWidthUncached(benchmark::State& state) {
    TFixture f;
    const QStringList titles = Titles(int(state.range(0)));
    for (auto _ : state)
        for (const QString& t : titles) benchmark::DoNotOptimize(f.canvas->TextWidthElementUncached(t));
    state.SetItemsProcessed(state.iterations() * titles.size());
}
BENCHMARK(BM_TextWidthUncached)->Arg(300);

void BM_DrawThemeFrame(benchmark::State& state) {
    TFixture f;
    f.canvas->BeginPaint(TRect{0, 0, 400, 300});
    for (auto _ : state)
        for (int k = 0; k < tekCount; ++k)
            if (TSheetTheme::IsFrameKind(k)) f.canvas->DrawThemeFrame(k, TRect{10, 10, 10 + int(state.range(0)), 60});
    f.canvas->EndPaint(nullptr);
}
BENCHMARK(BM_DrawThemeFrame)->Arg(100)->Arg(380);

// The digits of a value's number in its link: every link is as long at
// every size, so that a bigger pool does not hash longer texts.
constexpr int kLinkDigits = 6;

// Timed steps of a benchmark that leaves the caches before each.
constexpr int kColdSteps = 20;

// Distinct text attributes as a log's runs have them: a file link each (of
// one length), in a few sizes and colours; side by side, as a caller's value
// is at hand.
std::deque<TRichTextAttributes> DistinctTextAttributes(int count) {
    std::deque<TRichTextAttributes> values;
    for (int i = 0; i < count; ++i) {
        TRichTextAttributes& value = values.emplace_back();
        value.SetLinkKind(1);
        value.SetLink(QStringLiteral("file:///home/user/project/unit%1.pas").arg(i, kLinkDigits, 10, QLatin1Char('0')));
        value.SetFontSize(8 + i % 3);
        value.SetColor(MakeColor(i % 7 * 30, 0, 0));
    }
    return values;
}

// The caches left before a step that a user starts after other work (not timed).
void LeaveCachesUntimed(benchmark::State& state) {
    state.PauseTiming();
    QuillaneLeaveCaches();
    state.ResumeTiming();
}

// How a step meets the caches: left first, as after other work, or warm from
// the step before.
enum class TCaches { Left, Warm };

// Each value acquired (a new instance each: the pool holds none of them when
// an iteration starts), then every reference given back, which takes them all
// out of the pool again: a log with a link in every run loaded, and later
// cleared. Each is a step the user starts after other work: with the caches
// left, it starts with the pool, its index and the values in main memory.
void AcquireAndReleaseAll(benchmark::State& state, TCaches caches) {
    const auto values = DistinctTextAttributes(int(state.range(0)));
    std::vector<TAttributesRef<TRichTextAttributes>> held;
    held.reserve(values.size());
    const int before = TAttributes::PoolCount();
    for (auto _ : state) {
        if (caches == TCaches::Left) LeaveCachesUntimed(state);
        for (const auto& value : values) held.push_back(AcquireSharedAs(value));
        if (caches == TCaches::Left) LeaveCachesUntimed(state);
        held.clear();
    }
    if (TAttributes::PoolCount() != before) state.SkipWithError("the pool kept instances");
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_AttributePool(benchmark::State& state) { AcquireAndReleaseAll(state, TCaches::Left); }
BENCHMARK(BM_AttributePool)
    ->Arg(10000)
    ->Arg(100000)
    ->Iterations(kColdSteps)
    ->Unit(benchmark::kMillisecond)
    ->Apply(QuillaneFastestOf<5>);

// The same repeated in a loop on warm caches, where the 10,000 sets, a few
// megabytes, stay in the cache while the 100,000 cannot: that compares cache
// with memory (no headline figure).
void BM_AttributePoolHot(benchmark::State& state) { AcquireAndReleaseAll(state, TCaches::Warm); }
BENCHMARK(BM_AttributePoolHot)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Apply(QuillaneFastestOf<5>);

// The same values each hashed, copied and freed without the pool, in the
// same two steps: what the data's own memory traffic costs at each size (no
// headline figure).
void BM_AttributeCopiesWithoutPool(benchmark::State& state) {
    const auto values = DistinctTextAttributes(int(state.range(0)));
    std::vector<std::unique_ptr<TAttributes>> held;
    held.reserve(values.size());
    for (auto _ : state) {
        LeaveCachesUntimed(state);
        for (const auto& value : values) {
            benchmark::DoNotOptimize(value.Hash());
            std::unique_ptr<TAttributes> copy = value.NewInstance();
            copy->Assign(value);
            held.push_back(std::move(copy));
        }
        LeaveCachesUntimed(state);
        held.clear();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_AttributeCopiesWithoutPool)
    ->Arg(10000)
    ->Arg(100000)
    ->Iterations(kColdSteps)
    ->Unit(benchmark::kMillisecond)
    ->Apply(QuillaneFastestOf<5>);

}  // namespace

QUILLANE_RATIO(text_width_cached_vs_uncached, "BM_TextWidthCached/300", "BM_TextWidthUncached/300");
QUILLANE_GROWTH(text_attribute_pool, "BM_AttributePool/100000/iterations:20/repeats:5",
                "BM_AttributePool/10000/iterations:20/repeats:5");
