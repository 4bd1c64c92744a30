// The sheet on big schemes: the first layout of the whole tree, painting one
// fixed viewport and hit testing inside it. Painting and hit testing must not
// grow with what lies off screen.

#include "benchSupport.h"

#include "core/cuProps.h"
#include "scheme/diCanvas.h"
#include "scheme/diSheet.h"
#include "scheme/diThemes.h"

#include <QPainter>
#include <benchmark/benchmark.h>

#include <memory>

namespace {

// A box that stacks its children in a column or a row and fills itself; a
// leaf is as wide as its title, measured as element kinds measure theirs.
class TElement_BenchBox : public TVisualElement {
    T_ELEMENT_CLASS(TElement_BenchBox)
public:
    bool Horizontal = false;
    QString Title;
    void UpdateLayout(bool force, bool all, bool widthChanged, bool heightChanged) override {
        TVisualElement::UpdateLayout(force, all, widthChanged, heightChanged);
        int pos = 2, extent = 0;
        for (TVisualElement* c = FirstVisualChild(); c; c = c->NextVisualSibling()) {
            if (Horizontal) {
                c->SetPosition(pos, 2);
                pos += c->Width() + 2;
                extent = std::max(extent, c->Height());
            } else {
                c->SetPosition(2, pos);
                pos += c->Height() + 2;
                extent = std::max(extent, c->Width());
            }
        }
        if (!FirstVisualChild())
            SetSize(Sheet()->Canvas()->TextWidthElement(Title) + 8, Sheet()->Canvas()->ElementLineHeight() + 4);
        else if (Horizontal)
            SetSize(pos + 2, extent + 4);
        else
            SetSize(extent + 4, pos + 2);
    }
    void Paint(TSheetCanvas& canvas) override { canvas.FillRect(GetClientRect(), 0xFFDDE6F0); }
};
T_ELEMENT_CLASS_IMPL(TElement_BenchBox, TVisualElement)

// n leaves in rows of ten under one column, every leaf with a title of its
// own; shown on a sheet at once unless asked not to.
struct TBigSheet {
    TNodePtr<TSheetSettings> settings = TProperty::CreateRoot<TSheetSettings>(QStringLiteral("Sheet"));
    std::unique_ptr<TSheet> sheet;
    std::unique_ptr<TScheme> scheme;

    explicit TBigSheet(int leaves, bool shown = true) {
        settings->CreateProperties();
        sheet = std::make_unique<TSheet>(settings.get());
        scheme = std::make_unique<TScheme>(TElement_BenchBox::StaticClass(), QStringLiteral("Bench"));
        auto* root = static_cast<TVisualElement*>(scheme->Root());
        for (int r = 0; r < leaves / 10; ++r) {
            auto* row = TElement::CreateIn<TElement_BenchBox>(scheme.get(), root);
            row->Horizontal = true;
            row->SetVisualParent(root);
            for (int i = 0; i < 10; ++i) {
                auto* leaf = TElement::CreateIn<TElement_BenchBox>(scheme.get(), row);
                leaf->Title = QStringLiteral("Item%1").arg(r * 10 + i);
                leaf->SetVisualParent(row);
            }
        }
        if (shown) Show();
    }
    ~TBigSheet() { scheme.reset(); }
    // Joining the sheet lays the scheme out: its first layout.
    void Show() {
        TSheetUpdate update(sheet.get());
        static_cast<TVisualElement*>(scheme->Root())->SetVisualParent(sheet->Root());
    }
    // A viewport in the middle of the content.
    TRect Viewport() const {
        const int top = sheet->GetContentHeight() / 2;
        return TRect{0, top, 800, top + 600};
    }
};

// The first layout of a scheme just made on a sheet just made, as after
// opening a file: every title is measured for the first time. Making and
// freeing them are not timed.
void BM_SheetLayout(benchmark::State& state) {
    const int leaves = int(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        auto fresh = std::make_unique<TBigSheet>(leaves, false);
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
    TBigSheet s(int(state.range(0)));
    const TRect viewport = s.Viewport();
    QImage target(viewport.Width(), viewport.Height(), QImage::Format_ARGB32_Premultiplied);
    QPainter dc(&target);
    dc.translate(-viewport.Left, -viewport.Top);
    for (auto _ : state) s.sheet->Paint(dc, viewport, 0);
}
BENCHMARK(BM_SheetPaintViewport)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond);

void BM_SheetHitTest(benchmark::State& state) {
    TBigSheet s(int(state.range(0)));
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
