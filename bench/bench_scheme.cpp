// The scheme model at 1k, 10k and 100k elements: building, saving and
// loading (file and snapshot), finding by number, deleting half, and undo
// and redo of many element operations. Every case should grow linearly.

#include "benchSupport.h"

#include "scheme/diFilers.h"
#include "scheme/diOperations.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <random>


namespace {

// A leaf with a value, and a group holding any bench element as a child
// knot named by type. A group of ten: the group, an owner-like group with two
// sub-element leaves, and six leaves.
class TElement_BenchLeaf : public TElement {
    T_ELEMENT_CLASS(TElement_BenchLeaf)
public:
    TElement_BenchLeaf() noexcept { InitOptions(eoReferable | eoValidated); }
    QString Value;
    bool GetIsFilled() override { return !Value.isEmpty(); }
    void LoadFrom(TSchemeLoader* loader, TKnot* knot) override {
        TElement::LoadFrom(loader, knot);
        Value = knot->ReadStr(u"Value");
        CheckAll();
    }
    void SaveTo(TSchemeSaver* saver, TKnot* knot) override {
        TElement::SaveTo(saver, knot);
        knot->WriteStr(QStringLiteral("Value"), Value);
    }
};

// Two sub-element leaves, "A" and "B".
class TElement_BenchOwner : public TElement {
    T_ELEMENT_CLASS(TElement_BenchOwner)
public:
    void Create() override {
        for (int p = 0; p < 2; ++p) CreateSubElement<TElement_BenchLeaf>(this)->Value = QStringLiteral("part");
    }
    void GetChildName(TElement* child, TSchemeFiler*, QString& name) override {
        name = child == FirstChild() ? QStringLiteral("A") : QStringLiteral("B");
    }
};

class TElement_BenchGroup : public TElement {
    T_ELEMENT_CLASS(TElement_BenchGroup)
public:
    void LoadFrom(TSchemeLoader* loader, TKnot* knot) override {
        TElement::LoadFrom(loader, knot);
        for (TNode* n = knot->FirstChild(); n; n = n->NextSibling()) {
            auto* k = static_cast<TKnot*>(n);
            const TElementClass* cls = k->Name() == u"BenchLeaf"    ? TElement_BenchLeaf::StaticClass()
                                       : k->Name() == u"BenchGroup" ? TElement_BenchGroup::StaticClass()
                                       : k->Name() == u"BenchOwner" ? TElement_BenchOwner::StaticClass()
                                                                    : nullptr;
            if (!cls) continue;
            k->SetWasRead(true);
            CreateIn(cls, loader->Scheme(), this)->LoadFrom(loader, k);
        }
    }
    void SaveTo(TSchemeSaver* saver, TKnot* knot) override {
        TElement::SaveTo(saver, knot);
        for (TNode* n = FirstChild(); n; n = n->NextSibling())
            if (auto* e = static_cast<TElement*>(n); !e->IsSubElement())
                e->SaveTo(saver, knot->AddChild(e->GetTypeName()));
    }
};

T_ELEMENT_CLASS_IMPL(TElement_BenchLeaf, TElement)
T_ELEMENT_CLASS_IMPL(TElement_BenchGroup, TElement)
T_ELEMENT_CLASS_IMPL(TElement_BenchOwner, TElement)

// Sets a leaf's value.
class TBenchValueOperation : public TElementOperation {
public:
    TBenchValueOperation(TElement_BenchLeaf* leaf, QString value)
        : TElementOperation(leaf, false), m_new(std::move(value)) {}

protected:
    void DoOnElement(TElement* e) override {
        auto* leaf = static_cast<TElement_BenchLeaf*>(e);
        if (State() == osFirstExecution) m_old = leaf->Value;
        leaf->Value = m_new;
        leaf->Changed();
    }
    void UndoOnElement(TElement* e) override {
        auto* leaf = static_cast<TElement_BenchLeaf*>(e);
        leaf->Value = m_old;
        leaf->Changed();
    }

private:
    QString m_new, m_old;
};

template <class T>
void FreeUntimed(benchmark::State& state, T& object);

std::unique_ptr<TScheme> NewScheme() {
    return std::make_unique<TScheme>(TElement_BenchGroup::StaticClass(), QStringLiteral("BenchModule"));
}

// About n elements in groups of ten, nested two levels below the root.
std::unique_ptr<TScheme> BuildScheme(int n) {
    auto scheme = NewScheme();
    scheme->BeginUpdate();
    TElement* root = scheme->Root();
    TElement* section = nullptr;
    for (int i = 0; i < n / 10; ++i) {
        if (i % 10 == 0) section = TElement::CreateIn<TElement_BenchGroup>(scheme.get(), root);
        auto* group = TElement::CreateIn<TElement_BenchGroup>(scheme.get(), section);
        TElement::CreateIn<TElement_BenchOwner>(scheme.get(), group);
        for (int l = 0; l < 6; ++l) {
            auto* leaf = TElement::CreateIn<TElement_BenchLeaf>(scheme.get(), group);
            leaf->Value = QString::number(i * 10 + l);
            leaf->CheckAll();
        }
    }
    scheme->EndUpdate();
    return scheme;
}

std::vector<TElement_BenchLeaf*> Leaves(TScheme& scheme) {
    std::vector<TElement_BenchLeaf*> leaves;
    for (TElement* e = scheme.FirstRegistered(); e; e = TScheme::NextRegistered(e))
        if (auto* l = dynamic_cast<TElement_BenchLeaf*>(e); l && !l->IsSubElement()) leaves.push_back(l);
    return leaves;
}

QByteArray SaveBytes(TScheme& scheme, uint8_t mode, uint8_t options) {
    TNodePtr<TKnot> knot = TKnot::Create();
    scheme.SaveRootToKnot(knot.get(), mode, options);
    return SchemeFileBytes(*knot);
}

// Freeing what an iteration made is not part of what it measures. The C
// library merges small freed blocks lazily, on the next larger request: left
// alone, the merging of everything just freed (hundreds of thousands of
// blocks at 100k) would be charged to the next timed region. One larger
// request while the clock is stopped settles it here.
void SettleAllocator() {
    void* block = std::malloc(size_t(1) << 12);
    benchmark::DoNotOptimize(block);
    std::free(block);
}

template <class T>
void FreeUntimed(benchmark::State& state, T& object) {
    state.PauseTiming();
    object.reset();
    SettleAllocator();
    state.ResumeTiming();
}

void BM_SchemeBuild(benchmark::State& state) {
    for (auto _ : state) {
        auto scheme = BuildScheme(int(state.range(0)));
        FreeUntimed(state, scheme);
    }
}

void BM_SchemeSave(benchmark::State& state) {
    auto scheme = BuildScheme(int(state.range(0)));
    for (auto _ : state) {
        TNodePtr<TKnot> knot = TKnot::Create();
        scheme->SaveRootToKnot(knot.get(), fmFile, foSchemeFile);
        benchmark::DoNotOptimize(SchemeFileBytes(*knot));
        FreeUntimed(state, knot);
    }
}

void BM_SchemeLoad(benchmark::State& state) {
    const QByteArray bytes = SaveBytes(*BuildScheme(int(state.range(0))), fmFile, foSchemeFile);
    SettleAllocator();
    for (auto _ : state) {
        auto scheme = NewScheme();
        TElementMessages messages;
        TNodePtr<TKnot> knot = TKnot::Create();
        knot->LoadFromBytes(bytes);
        TSchemeLoader loader(scheme.get(), &messages, knot.get(), 0, fmFile);
        scheme->Root()->LoadFrom(&loader, knot.get());
        loader.Finish();
        if (messages.GetCount() != 0) state.SkipWithError("the load reported problems");
        FreeUntimed(state, scheme);
        FreeUntimed(state, knot);
    }
}

void BM_SchemeSnapshotSave(benchmark::State& state) {
    auto scheme = BuildScheme(int(state.range(0)));
    for (auto _ : state) {
        TNodePtr<TKnot> knot = TKnot::Create();
        scheme->SaveRootToKnot(knot.get(), fmSnapshot, 0);
        benchmark::DoNotOptimize(knot.get());
        FreeUntimed(state, knot);
    }
}

void BM_SchemeSnapshotLoad(benchmark::State& state) {
    auto scheme = BuildScheme(int(state.range(0)));
    TNodePtr<TKnot> snapshot = TKnot::Create();
    scheme->SaveRootToKnot(snapshot.get(), fmSnapshot, 0);
    for (auto _ : state) {
        auto copy = NewScheme();
        TSchemeLoader loader(copy.get(), nullptr, snapshot.get(), 0, fmSnapshot);
        copy->Root()->LoadFrom(&loader, snapshot.get());
        loader.Finish();
        benchmark::DoNotOptimize(copy->ElementCount());
        FreeUntimed(state, copy);
    }
}

// n lookups of registered numbers in random order (the same order on every
// run), as references and operations ask for elements anywhere; each run
// starts with the index in main memory, as a lookup after other work does.
void BM_SchemeFindElement(benchmark::State& state) {
    auto scheme = BuildScheme(int(state.range(0)));
    std::vector<int32_t> numbers;
    scheme->Root()->ForEach([&](TNode* n) { numbers.push_back(static_cast<TElement*>(n)->Number()); }, true, true);
    std::shuffle(numbers.begin(), numbers.end(), std::mt19937(numbers.size()));
    for (auto _ : state) {
        state.PauseTiming();
        QuillaneLeaveCaches();
        state.ResumeTiming();
        for (int32_t n : numbers) benchmark::DoNotOptimize(scheme->FindElement(n));
    }
}

// Every second group freed, inside one update with its queued checks.
void BM_SchemeDeleteHalf(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        auto scheme = BuildScheme(int(state.range(0)));
        std::vector<TElement*> doomed;
        for (TNode* s = scheme->Root()->FirstChild(); s; s = s->NextSibling()) {
            int i = 0;
            for (TNode* g = s->FirstChild(); g; g = g->NextSibling())
                if (i++ % 2 == 0) doomed.push_back(static_cast<TElement*>(g));
        }
        scheme->BeginUpdate();
        for (TElement_BenchLeaf* l : Leaves(*scheme)) l->Check();  // a full queue to leave
        state.ResumeTiming();
        for (TElement* e : doomed) e->Free();
        scheme->EndUpdate();
        FreeUntimed(state, scheme);
    }
}

// One value operation per leaf, all undone and all redone.
void BM_SchemeUndoRedo(benchmark::State& state) {
    auto scheme = BuildScheme(int(state.range(0)));
    TUndoRedo history;
    scheme->SetUndoRedo(&history);
    const auto leaves = Leaves(*scheme);
    for (TElement_BenchLeaf* l : leaves)
        TSchemeOperation::Execute(MakeNode<TBenchValueOperation>(l, QStringLiteral("changed")));
    for (auto _ : state) {
        while (history.CanUndo()) history.Undo();
        while (history.CanRedo()) history.Redo();
    }
    scheme->SetUndoRedo(nullptr);
}

#define SIZES Arg(1000)->Arg(10000)->Arg(30000)->Arg(100000)->Apply(QuillaneFastestOf<3>)->Unit(benchmark::kMillisecond)
BENCHMARK(BM_SchemeBuild)->SIZES;
BENCHMARK(BM_SchemeSave)->SIZES;
BENCHMARK(BM_SchemeLoad)->SIZES;
BENCHMARK(BM_SchemeSnapshotSave)->SIZES;
BENCHMARK(BM_SchemeSnapshotLoad)->SIZES;
BENCHMARK(BM_SchemeFindElement)->SIZES->Iterations(20);
BENCHMARK(BM_SchemeDeleteHalf)->SIZES;
BENCHMARK(BM_SchemeUndoRedo)->SIZES;

QUILLANE_GROWTH(scheme_build, "BM_SchemeBuild/100000/repeats:3", "BM_SchemeBuild/10000/repeats:3");
QUILLANE_GROWTH(scheme_save, "BM_SchemeSave/100000/repeats:3", "BM_SchemeSave/10000/repeats:3");
QUILLANE_GROWTH(scheme_load, "BM_SchemeLoad/100000/repeats:3", "BM_SchemeLoad/10000/repeats:3");
QUILLANE_GROWTH(scheme_snapshot_save, "BM_SchemeSnapshotSave/100000/repeats:3", "BM_SchemeSnapshotSave/10000/repeats:3");
QUILLANE_GROWTH(scheme_snapshot_load, "BM_SchemeSnapshotLoad/100000/repeats:3", "BM_SchemeSnapshotLoad/10000/repeats:3");
QUILLANE_GROWTH(scheme_find_element, "BM_SchemeFindElement/100000/iterations:20/repeats:3",
                "BM_SchemeFindElement/10000/iterations:20/repeats:3");
QUILLANE_GROWTH(scheme_delete_half, "BM_SchemeDeleteHalf/100000/repeats:3", "BM_SchemeDeleteHalf/10000/repeats:3");
QUILLANE_GROWTH(scheme_undo_redo, "BM_SchemeUndoRedo/100000/repeats:3", "BM_SchemeUndoRedo/10000/repeats:3");

}  // namespace
