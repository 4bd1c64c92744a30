// Folder and file-name elements: a stored scheme of many of them, each value
// relative to the scheme's folder and different from the others, loaded into
// a fresh scheme that has a file name and a folder list (so every value is
// resolved: beside the scheme, then in the listed folders, and checked), and
// freed again.

#include "benchSupport.h"

#include "core/cuKnot.h"
#include "elements/diPathElements.h"
#include "scheme/diClasses.h"
#include "scheme/diFilers.h"
#include "scheme/diVisual.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <memory>

// A root that stores its path elements as child knots named by their types.
class TElement_BenchPathsRoot : public TVisualElement {
    T_ELEMENT_CLASS(TElement_BenchPathsRoot)
public:
    void FillAcceptedClasses(TElementClassList& list) override {
        list << TElement_Path::StaticClass() << TElement_FileName::StaticClass();
    }
    void SaveTo(TSchemeSaver* saver, TKnot* knot) override {
        TVisualElement::SaveTo(saver, knot);
        for (TNode* n = FirstChild(); n; n = n->NextSibling())
            if (auto* e = dynamic_cast<TElement*>(n); e && !e->IsSubElement()) SaveChildToNode(saver, knot, e);
    }
    void LoadFrom(TSchemeLoader* loader, TKnot* knot) override {
        TVisualElement::LoadFrom(loader, knot);
        TElementClassList classes;
        bool filled = false;
        for (TKnot* k = knot->GetFirstChild(); k; k = k->GetNextSibling())
            CreateChildFromNode(loader, k, nullptr, classes, filled);
    }
};
T_ELEMENT_CLASS_IMPL(TElement_BenchPathsRoot, TVisualElement)

namespace {

// A scheme saved in folder (nothing of it exists on disk) with two listed folders.
std::unique_ptr<TScheme> MakePathsScheme(const QString& folder) {
    auto scheme = std::make_unique<TScheme>(TElement_BenchPathsRoot::StaticClass(), QStringLiteral("Bench"));
    scheme->SetFileName(folder + QStringLiteral("/Scheme/s.prm"));
    scheme->Strings() << folder + QStringLiteral("/Library/") << folder + QStringLiteral("/Units/");
    return scheme;
}

// The stored tree of a scheme of that many elements, files and folders in turn.
TNodePtr<TKnot> StoredPathsScheme(const QString& folder, int count) {
    std::unique_ptr<TScheme> source = MakePathsScheme(folder);
    const QString base = folder + QStringLiteral("/Scheme/");
    for (int i = 0; i < count; ++i) {
        if (i % 2 == 0) {
            auto* file = TElement::CreateIn<TElement_FileName>(source.get(), source->Root());
            file->SetValue(base + QStringLiteral("Lib%1/unit%2.prm").arg(i % 97).arg(i));
        } else {
            auto* path = TElement::CreateIn<TElement_Path>(source.get(), source->Root());
            path->SetValue(base + QStringLiteral("../Shared%1/Sub%2").arg(i % 89).arg(i));
        }
    }
    TNodePtr<TKnot> knot = TKnot::Create(QStringLiteral("Bench"));
    source->Root()->SaveToKnot(knot.get(), fmFile, 0);
    return knot;
}

void BM_PathsLoadFree(benchmark::State& state) {
    const int count = int(state.range(0));
    QTemporaryDir dir;
    TNodePtr<TKnot> knot = StoredPathsScheme(dir.path(), count);
    for (auto _ : state) {
        std::unique_ptr<TScheme> scheme = MakePathsScheme(dir.path());
        scheme->Root()->LoadFromKnot(knot.get(), fmFile, 0);
        benchmark::DoNotOptimize(scheme->ElementCount());
        state.PauseTiming();
        const bool complete = scheme->ElementCount() == count + 1;
        state.ResumeTiming();
        scheme.reset();
        if (!complete) {
            state.SkipWithError("the loaded scheme lacks elements");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_PathsLoadFree)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Apply(QuillaneFastestOf<3>);

}  // namespace

QUILLANE_GROWTH(paths_load_free, "BM_PathsLoadFree/100000/repeats:3", "BM_PathsLoadFree/10000/repeats:3");
