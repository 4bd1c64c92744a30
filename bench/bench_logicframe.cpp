// Logic frames nested in each other's content: a scheme whose root text holds
// a frame whose content holds the next frame, and so on, loaded from its
// stored tree and shown on a sheet (its first layout). The risk grows with the
// depth: every level's content delegates to the text around its frame, and
// every level's room and place depend on the levels around it.

#include "benchSupport.h"

#include "core/cuKnot.h"
#include "core/cuProps.h"
#include "core/cuUndoRedo.h"
#include "elements/coRoot.h"
#include "elements/diCommonElements.h"
#include "scheme/diCanvas.h"
#include "scheme/diFilers.h"
#include "scheme/diSheet.h"
#include "scheme/diThemes.h"

#include <benchmark/benchmark.h>

#include <memory>

namespace {

TNodePtr<TSheetSettings> MakeFrameBenchSettings() {
    TNodePtr<TSheetSettings> settings = TProperty::CreateRoot<TSheetSettings>(QStringLiteral("Sheet"));
    settings->CreateProperties();
    return settings;
}

struct TNestedFramesScheme {
    TNodePtr<TSheetSettings> settings = MakeFrameBenchSettings();
    TSheet sheet{settings.get()};
    TUndoRedo history;
    std::unique_ptr<TScheme> scheme;

    TNestedFramesScheme() {
        scheme = std::make_unique<TScheme>(TRoot::StaticClass(), QStringLiteral("Frames"));
        scheme->SetUndoRedo(&history);
    }
    ~TNestedFramesScheme() { scheme.reset(); }
    TRoot* Root() const { return static_cast<TRoot*>(scheme->Root()); }

    // Frames nested depth deep, each with its own caption; each level holds a
    // comment on a line of its own before the next frame (the root's text, as
    // the content that delegates to it, holds elements only).
    void Fill(int depth) {
        TTextorElement* text = Root();
        for (int level = 0; level <= depth; ++level) {
            auto* comment = static_cast<TTextorElement*>(text->AddElementOfClass(TElement_Comment::StaticClass(), true));
            comment->SetText(QStringLiteral("Level %1").arg(level));
            if (level == depth) break;
            auto* frame =
                static_cast<TElement_LogicFrame*>(text->AddElementOfClass(TElement_LogicFrame::StaticClass(), true));
            frame->Caption()->SetText(QStringLiteral("Frame %1").arg(level));
            text = static_cast<TTextorElement*>(frame->Content());
        }
    }
    void Show() {
        TSheetUpdate update(&sheet);
        Root()->SetVisualParent(sheet.Root());
    }
    // The depth of the frames held: walks the first frame of each content.
    int Depth() const {
        int depth = 0;
        const TElement* text = Root();
        for (;;) {
            const TElement_LogicFrame* frame = nullptr;
            for (TNode* n = text->FirstChild(); n && !frame; n = n->NextSibling())
                frame = dynamic_cast<const TElement_LogicFrame*>(n);
            if (!frame) return depth;
            ++depth;
            text = frame->Content();
        }
    }
};

TNodePtr<TKnot> StoredFrames(int depth) {
    TNestedFramesScheme source;
    source.Fill(depth);
    TNodePtr<TKnot> knot = TKnot::Create(QStringLiteral("Frames"));
    source.Root()->SaveToKnot(knot.get(), fmFile, 0);
    return knot;
}

void BM_LogicFrameNestedLayout(benchmark::State& state) {
    const int depth = int(state.range(0));
    TNodePtr<TKnot> knot = StoredFrames(depth);
    for (auto _ : state) {
        state.PauseTiming();
        auto target = std::make_unique<TNestedFramesScheme>();
        QuillaneLeaveCaches();
        state.ResumeTiming();
        target->Root()->LoadFromKnot(knot.get(), fmFile, 0);
        target->Show();
        benchmark::DoNotOptimize(target->Root()->Height());
        state.PauseTiming();
        if (target->Depth() != depth) {
            state.SkipWithError("the loaded scheme lacks frames");
            break;
        }
        target.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * depth);
}
BENCHMARK(BM_LogicFrameNestedLayout)->Arg(50)->Arg(500)->Unit(benchmark::kMillisecond)->Apply(QuillaneFastestOf<5>);

}  // namespace

QUILLANE_GROWTH(logicframe_nested_layout, "BM_LogicFrameNestedLayout/500/repeats:5",
                "BM_LogicFrameNestedLayout/50/repeats:5");
