// The sheet on big schemes: the first layout of the whole tree, painting one
// fixed viewport and hit testing inside it. Painting and hit testing must not
// grow with what lies off screen.

#include "benchSupport.h"

#include "benchSheets.h"

#include <QPainter>
#include <benchmark/benchmark.h>

#include <memory>

namespace {

using benchsheets::TBigSheet;

// The first layout of a scheme just made on a sheet just made, as after
// opening a file: every title is measured for the first time. Making and
// freeing them are not timed.
void BM_SheetLayout(benchmark::State& state) {
    const int leaves = int(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        auto fresh = std::make_unique<TBigSheet<>>(leaves, false);
        state.ResumeTiming();
        fresh->Show();
        state.PauseTiming();
        if (fresh->sheet->GetContentHeight() <= 0) state.SkipWithError("nothing was laid out");
        fresh.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * leaves);
}
BENCHMARK(BM_SheetLayout)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Apply(QuillaneFastestOf<3>);

void BM_SheetPaintViewport(benchmark::State& state) {
    TBigSheet<> s(int(state.range(0)));
    const TRect viewport = s.Viewport();
    QImage target(viewport.Width(), viewport.Height(), QImage::Format_ARGB32_Premultiplied);
    QPainter dc(&target);
    dc.translate(-viewport.Left, -viewport.Top);
    for (auto _ : state) s.sheet->Paint(dc, viewport, 0);
}
BENCHMARK(BM_SheetPaintViewport)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond);

void BM_SheetHitTest(benchmark::State& state) {
    TBigSheet<> s(int(state.range(0)));
    const TRect viewport = s.Viewport();
    for (auto _ : state)
        for (int y = viewport.Top; y < viewport.Bottom; y += 37)
            for (int x = 0; x < 500; x += 23) benchmark::DoNotOptimize(s.sheet->ElementAt(QPoint(x, y), false, true));
}
BENCHMARK(BM_SheetHitTest)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond);

}  // namespace

QUILLANE_GROWTH(sheet_layout, "BM_SheetLayout/100000/repeats:3", "BM_SheetLayout/10000/repeats:3");
QUILLANE_GROWTH(sheet_paint_viewport, "BM_SheetPaintViewport/100000", "BM_SheetPaintViewport/10000");
QUILLANE_GROWTH(sheet_hit_test, "BM_SheetHitTest/100000", "BM_SheetHitTest/10000");
