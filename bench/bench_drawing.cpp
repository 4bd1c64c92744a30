// Sheet drawing: measuring element titles with and without the canvas's
// width cache, and drawing theme frames.

#include "benchSupport.h"

#include "core/cuProps.h"
#include "scheme/diCanvas.h"
#include "scheme/diThemes.h"

#include <QStringList>
#include <benchmark/benchmark.h>

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

}  // namespace

QUILLANE_RATIO(text_width_cached_vs_uncached, "BM_TextWidthCached/300", "BM_TextWidthUncached/300");
