// Names and references in big schemes: n named elements, each referred to
// from one reference before and one after its declaration, shown on a sheet
// (each in a row of its own) with an undo history attached. Loading such a
// scheme with every reference resolved, renaming every element in one
// undoable step with the references following, and filling the drop-down
// list of one reference.

#include "benchSupport.h"

#include "core/cuKnot.h"
#include "core/cuProps.h"
#include "core/cuUndoRedo.h"
#include "elements/diBaseElements.h"
#include "scheme/diCanvas.h"
#include "scheme/diCustomElements.h"
#include "scheme/diFilers.h"
#include "scheme/diSheet.h"
#include "scheme/diThemes.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

class TElement_BenchNamesScope : public TNamespace {
    T_ELEMENT_CLASS(TElement_BenchNamesScope)
};
T_ELEMENT_CLASS_IMPL(TElement_BenchNamesScope, TNamespace)

// The root: it offers the names of its scope, shows its ordinary children
// where they were placed and stores them.
class TElement_BenchNamesRoot : public TPanelElement, public INamespaceOwner {
    T_ELEMENT_CLASS(TElement_BenchNamesRoot)
public:
    TNamespace* GetNamespace() override { return m_scope; }
    void FillAcceptedClasses(TElementClassList& list) override;
    void Create() override {
        TPanelElement::Create();
        m_scope = TElement::CreateIn<TElement_BenchNamesScope>(Scheme(), this);
    }
    void SaveTo(TSchemeSaver* saver, TKnot* knot) override {
        TPanelElement::SaveTo(saver, knot);
        for (TNode* n = FirstChild(); n; n = n->NextSibling())
            if (auto* e = dynamic_cast<TElement*>(n); e && e != m_scope && !e->IsSubElement())
                SaveChildToNode(saver, knot, e);
    }
    void LoadFrom(TSchemeLoader* loader, TKnot* knot) override {
        TPanelElement::LoadFrom(loader, knot);
        TElementClassList classes;
        bool filled = false;
        for (TKnot* k = knot->GetFirstChild(); k; k = k->GetNextSibling())
            CreateChildFromNode(loader, k, nullptr, classes, filled);
    }

private:
    TNamespace* m_scope = nullptr;
};
T_ELEMENT_CLASS_IMPL(TElement_BenchNamesRoot, TPanelElement)

namespace {
// Joins the visual children of the element-tree parent.
void JoinTreeParent(TVisualElement* element) {
    auto* parent = dynamic_cast<TVisualElement*>(element->Parent());
    if (parent && !element->VisualParent()) element->SetVisualParent(parent);
}
}  // namespace

class TElement_BenchNamed : public TNamedElement {
    T_ELEMENT_CLASS(TElement_BenchNamed)
public:
    void TreePlacementChanged() override {
        TNamedElement::TreePlacementChanged();
        JoinTreeParent(this);
    }
};
T_ELEMENT_CLASS_IMPL(TElement_BenchNamed, TNamedElement)

class TElement_BenchNamesRef : public TReferenceElement {
    T_ELEMENT_CLASS(TElement_BenchNamesRef)
public:
    bool CanReferTo(TNamespaceItem* item) override { return item != nullptr; }
    void TreePlacementChanged() override {
        TReferenceElement::TreePlacementChanged();
        JoinTreeParent(this);
    }
};
T_ELEMENT_CLASS_IMPL(TElement_BenchNamesRef, TReferenceElement)

void TElement_BenchNamesRoot::FillAcceptedClasses(TElementClassList& list) {
    list << TElement_BenchNamed::StaticClass() << TElement_BenchNamesRef::StaticClass();
}

namespace {

QString BenchName(int index, int round) { return QStringLiteral("Item%1_%2").arg(index).arg(round); }

// Each declaration stands in a row of its own between its two references.
constexpr int kRowHeight = 30;
constexpr int kNamedLeft = 160;
constexpr int kAfterLeft = 420;

TNodePtr<TSheetSettings> MakeBenchSettings() {
    TNodePtr<TSheetSettings> settings = TProperty::CreateRoot<TSheetSettings>(QStringLiteral("Sheet"));
    settings->CreateProperties();
    return settings;
}

struct TBenchNames {
    TNodePtr<TSheetSettings> settings = MakeBenchSettings();
    TSheet sheet{settings.get()};
    TUndoRedo history;
    std::unique_ptr<TScheme> scheme;
    std::vector<TElement_BenchNamed*> nameds;
    std::vector<TElement_BenchNamesRef*> references;

    TBenchNames() {
        scheme = std::make_unique<TScheme>(TElement_BenchNamesRoot::StaticClass(), QStringLiteral("BenchNames"));
        scheme->SetUndoRedo(&history);
    }
    ~TBenchNames() { scheme.reset(); }
    TVisualElement* Root() const { return static_cast<TVisualElement*>(scheme->Root()); }
    TElement_BenchNamesRef* AddReference(const QString& text) {
        auto* reference = TElement::CreateIn<TElement_BenchNamesRef>(scheme.get(), Root());
        reference->SetText(text);
        references.push_back(reference);
        return reference;
    }
    // Each name referred to before and after its declaration.
    void Fill(int count) {
        TSchemeUpdate update(scheme.get());
        for (int i = 0; i < count; ++i) {
            AddReference(BenchName(i, 0));
            auto* named = TElement::CreateIn<TElement_BenchNamed>(scheme.get(), Root());
            named->NameField()->SetText(BenchName(i, 0));
            nameds.push_back(named);
            AddReference(BenchName(i, 0));
        }
        update.End();
        Place();
    }
    // The rows: reference, declaration, reference.
    void Place() {
        for (size_t i = 0; i < nameds.size(); ++i) {
            const int top = int(i) * kRowHeight;
            references[2 * i]->SetPosition(0, top);
            nameds[i]->SetPosition(kNamedLeft, top);
            references[2 * i + 1]->SetPosition(kAfterLeft, top);
        }
    }
    // Shows the scheme on the sheet: its first layout.
    void Show() {
        TSheetUpdate update(&sheet);
        Root()->SetVisualParent(sheet.Root());
    }
    // Every name replaced as the user does it: one undoable edit each, all
    // in one undo step.
    void Rename(const QStringList& names) {
        TSheetUpdate update(&sheet);
        TSchemeUpdate checks(scheme.get());
        TOperationGroupScope group(scheme.get());
        for (size_t i = 0; i < nameds.size(); ++i) nameds[i]->NameField()->ReplaceText(names[qsizetype(i)]);
        group.End();
        checks.End();
    }
    void Collect() {
        nameds.clear();
        references.clear();
        for (TNode* n = Root()->FirstChild(); n; n = n->NextSibling()) {
            if (auto* named = dynamic_cast<TElement_BenchNamed*>(n)) nameds.push_back(named);
            if (auto* reference = dynamic_cast<TElement_BenchNamesRef*>(n)) references.push_back(reference);
        }
    }
    bool AllFollow(int round) const {
        for (size_t i = 0; i < references.size(); ++i) {
            TNamespaceItem* target = references[i]->GetTargetItem();
            if (!target || references[i]->GetText() != BenchName(int(i / 2), round)) return false;
        }
        return true;
    }
};

TNodePtr<TKnot> StoredNames(int count) {
    TBenchNames source;
    source.Fill(count);
    TNodePtr<TKnot> knot = TKnot::Create(QStringLiteral("BenchNames"));
    source.Root()->SaveToKnot(knot.get(), fmFile, 0);
    return knot;
}

void BM_NamesReferenceResolve(benchmark::State& state) {
    const int count = int(state.range(0));
    TNodePtr<TKnot> knot = StoredNames(count);
    for (auto _ : state) {
        state.PauseTiming();
        auto target = std::make_unique<TBenchNames>();
        state.ResumeTiming();
        target->Root()->LoadFromKnot(knot.get(), fmFile, 0);
        state.PauseTiming();
        target->Collect();
        if (int(target->references.size()) != 2 * count || !target->AllFollow(0)) {
            state.SkipWithError("not every reference resolved");
            break;
        }
        target.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_NamesReferenceResolve)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Apply(QuillaneFastestOf<3>);

void BM_NamesRenameFollow(benchmark::State& state) {
    const int count = int(state.range(0));
    TBenchNames bench;
    bench.Fill(count);
    bench.Show();
    int round = 0;
    QStringList names;
    for (auto _ : state) {
        state.PauseTiming();
        names.clear();
        ++round;
        for (int i = 0; i < count; ++i) names << BenchName(i, round);
        state.ResumeTiming();
        bench.Rename(names);
        state.PauseTiming();
        if (!bench.AllFollow(round) || !bench.history.CanUndo()) {
            state.SkipWithError("the references did not follow");
            break;
        }
        bench.history.Clear();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_NamesRenameFollow)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Apply(QuillaneFastestOf<3>);

// The list as the user opens it: once, on a scheme that other work has
// pushed out of the caches.
void BM_NamesDropDownFill(benchmark::State& state) {
    const int count = int(state.range(0));
    TBenchNames bench;
    bench.Fill(count);
    bench.Show();
    TElement_BenchNamesRef* reference = bench.references[size_t(count)];
    for (auto _ : state) {
        // The list of the previous round is closed (freed) before the clock runs.
        state.PauseTiming();
        TNodePtr<TDropDownItem> root = MakeNode<TDropDownItem>();
        QuillaneLeaveCaches();
        state.ResumeTiming();
        reference->FillDropDown(root.get());
        benchmark::DoNotOptimize(root->FirstItem());
        state.PauseTiming();
        int items = 0;
        for (TDropDownItem* item = root->FirstItem(); item; item = item->NextItem()) ++items;
        if (items < count) state.SkipWithError("the list lacks names");
        root.reset();
        state.ResumeTiming();
        if (items < count) break;
    }
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_NamesDropDownFill)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Apply(QuillaneFastestOf<3>);

}  // namespace

QUILLANE_GROWTH(names_reference_resolve, "BM_NamesReferenceResolve/100000/repeats:3",
                "BM_NamesReferenceResolve/10000/repeats:3");
QUILLANE_GROWTH(names_rename_follow, "BM_NamesRenameFollow/100000/repeats:3", "BM_NamesRenameFollow/10000/repeats:3");
QUILLANE_GROWTH(names_dropdown_fill, "BM_NamesDropDownFill/100000/repeats:3", "BM_NamesDropDownFill/10000/repeats:3");
