// Namespaces at 1k, 10k and 100k names: registering, finding by name,
// renaming with a connection and a reference listening, making a unique
// name, and the cycle search over a ladder of shared sub-graphs (from memory,
// as after an edit, and repeated in a loop); chains and rings of 100 and
// 1,000 scopes loaded from a snapshot, every name resolved in every scope,
// and their whole life (load, resolve, free) with names in every scope.

#include "benchSupport.h"

#include "scheme/diFilers.h"
#include "scheme/diNaming.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <random>
#include <vector>

namespace {

class TBenchItem : public TNamespaceOwnItem {
public:
    TBenchItem(TElement* element, QString name) : TNamespaceOwnItem(element), Name(std::move(name)) {}
    QString Name;
    // The references a declaration uses live with it.
    TReference* Used[2] = {nullptr, nullptr};
    QString GetName() override { return Name; }
    void GetUsedReferences(std::vector<TReference*>& list) override {
        for (TReference* r : Used)
            if (r) list.push_back(r);
    }
};

using TItemPtr = TNamespaceOwnItemPtr<TBenchItem>;

// A scheme whose root is a namespace, with count plain elements under it to
// declare the names.
struct TWorld {
    std::unique_ptr<TScheme> scheme = std::make_unique<TScheme>(TNamespace::StaticClass(), QStringLiteral("Bench"));
    TNamespace* root = static_cast<TNamespace*>(scheme->Root());
    std::vector<TElement*> elements;
    std::vector<TItemPtr> items;

    explicit TWorld(int count) {
        elements.reserve(size_t(count));
        for (int i = 0; i < count; ++i) elements.push_back(TElement::CreateIn(TElement::StaticClass(), scheme.get(), root));
    }
    TNamespace* AddNamespace() { return TElement::CreateIn<TNamespace>(scheme.get(), root); }
    // The items are made first and registered afterwards, so that they lie
    // together in memory as a tree's declarations would.
    void Declare(TNamespace* ns, int from, int to, const QString& stem) {
        const size_t first = items.size();
        for (int i = from; i < to; ++i) items.emplace_back(new TBenchItem(elements[size_t(i)], stem + QString::number(i)));
        for (size_t i = first; i < items.size(); ++i) items[i]->Register(ns);
    }
};

void BM_NamespaceRegister(benchmark::State& state) {
    const int count = int(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        auto world = std::make_unique<TWorld>(count);
        TNamespace* ns = world->AddNamespace();
        world->items.reserve(size_t(count));
        state.ResumeTiming();
        world->Declare(ns, 0, count, QStringLiteral("Name"));
        state.PauseTiming();
        world.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_NamespaceRegister)->Arg(1000)->Arg(10000)->Arg(100000)->Apply(QuillaneFastestOf<5>)->Unit(benchmark::kMillisecond);

// 1000 look-ups of names that half the time come through a connection, the
// names drawn afresh at random for every iteration (untimed), so that the
// look-ups meet the index as a load meets it, not a few lines kept warm.
void BM_NamespaceFindByName(benchmark::State& state) {
    const int count = int(state.range(0));
    TWorld world(count);
    TNamespace* target = world.AddNamespace();
    TNamespace* owner = world.AddNamespace();
    world.Declare(target, 0, count / 2, QStringLiteral("Far"));
    world.Declare(owner, count / 2, count, QStringLiteral("Near"));
    auto* link = TElement::CreateIn<TNamespaceConnection>(world.scheme.get(), world.root);
    link->SetOwner(owner);
    link->SetTarget(target);
    std::mt19937 random{uint32_t(count)};
    QStringList probes;
    for (auto _ : state) {
        state.PauseTiming();
        probes.clear();
        for (int i = 0; i < 1000; ++i) {
            const int k = int(random() % uint32_t(count));
            probes << (k < count / 2 ? QStringLiteral("Far") : QStringLiteral("Near")) + QString::number(k);
        }
        state.ResumeTiming();
        for (const QString& name : probes) benchmark::DoNotOptimize(owner->FindItemByName(name));
    }
    state.SetItemsProcessed(state.iterations() * 1000);
}
BENCHMARK(BM_NamespaceFindByName)->Arg(1000)->Arg(10000)->Arg(100000);

// Every name renamed while a connection shows it elsewhere and a reference
// points at each cover.
void BM_NamespaceRename(benchmark::State& state) {
    const int count = int(state.range(0));
    TWorld world(count);
    TNamespace* target = world.AddNamespace();
    TNamespace* owner = world.AddNamespace();
    world.Declare(target, 0, count, QStringLiteral("Name"));
    auto* link = TElement::CreateIn<TNamespaceConnection>(world.scheme.get(), world.root);
    link->SetOwner(owner);
    link->SetTarget(target);
    std::vector<std::unique_ptr<TReference>> refs;
    for (TNamespaceCoverItem* cover : link->Covers()) {
        refs.push_back(std::make_unique<TReference>());
        refs.back()->SetTarget(cover);
    }
    int round = 0;
    for (auto _ : state) {
        const QString stem = QStringLiteral("R%1_").arg(++round);
        for (int i = 0; i < count; ++i) {
            TBenchItem* item = world.items[size_t(i)].get();
            item->Name = stem + QString::number(i);
            item->NotifyRenamed();
        }
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_NamespaceRename)->Arg(1000)->Arg(10000)->Arg(100000)->Apply(QuillaneFastestOf<5>)->Unit(benchmark::kMillisecond);

// A unique name in a namespace of N names, 100 of which already use the
// stem: the cost must not depend on N.
void BM_NamespaceUniqueName(benchmark::State& state) {
    const int count = int(state.range(0));
    TWorld world(count);
    TNamespace* ns = world.AddNamespace();
    for (int i = 0; i < count; ++i)
        world.items.push_back(TNamespaceOwnItem::Create<TBenchItem>(
            ns, world.elements[size_t(i)], (i < 100 ? QStringLiteral("Value") : QStringLiteral("Name")) + QString::number(i + 1)));
    TNodePtr<TNamingSettings> settings = TNamingSettings::CreateRoot();
    for (auto _ : state) benchmark::DoNotOptimize(ns->GetUniqueName(QStringLiteral("Value"), true, *settings));
}
BENCHMARK(BM_NamespaceUniqueName)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond);

// The worst case: Value1 .. ValueN all taken, N tries (linear in N; shown
// without a headline figure, as memory latency dominates at 100k).
void BM_NamespaceUniqueNameAllTaken(benchmark::State& state) {
    const int count = int(state.range(0));
    TWorld world(count);
    TNamespace* ns = world.AddNamespace();
    for (int i = 0; i < count; ++i)
        world.items.push_back(
            TNamespaceOwnItem::Create<TBenchItem>(ns, world.elements[size_t(i)], "Value" + QString::number(i + 1)));
    TNodePtr<TNamingSettings> settings = TNamingSettings::CreateRoot();
    for (auto _ : state) benchmark::DoNotOptimize(ns->GetUniqueName(QStringLiteral("Value"), true, *settings));
}
BENCHMARK(BM_NamespaceUniqueNameAllTaken)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond);

// A ladder of count / 2 rungs, each item using both items of the next rung,
// and a cycle at the bottom that every reference leads into.
struct TLadder {
    TWorld world;
    std::vector<std::unique_ptr<TReference>> refs;

    explicit TLadder(int count) : world(count) {
        world.Declare(world.AddNamespace(), 0, count, QStringLiteral("Item"));
        const int rungs = count / 2;
        // Made from the top down, so that the search each new reference runs stays short.
        for (int r = 0; r + 1 < rungs; ++r)
            for (int a = 0; a < 2; ++a)
                for (int b = 0; b < 2; ++b) Use(2 * r + a, 2 * (r + 1) + b);
        Use(2 * (rungs - 1), 2 * (rungs - 1) + 1);
        Use(2 * (rungs - 1) + 1, 2 * (rungs - 1));
    }
    ~TLadder() {
        for (auto& item : world.items) item->Used[0] = item->Used[1] = nullptr;
        for (auto& ref : refs) ref->SetTarget(nullptr);
    }
    TNamespaceItem* Top() const { return world.items.front().get(); }

private:
    void Use(int from, int to) {
        refs.push_back(std::make_unique<TReference>());
        TBenchItem* item = world.items[size_t(from)].get();
        item->Used[item->Used[0] ? 1 : 0] = refs.back().get();
        refs.back()->SetTarget(world.items[size_t(to)].get());
    }
};

// The search as the editor runs it: once after an edit, with the
// declarations it passes out of the caches. (Repeated in a loop, the 10k
// ladder, about 3 MB, stays in the cache while the 100k one cannot, and
// the figure would compare cache with memory rather than show how the
// search grows; that hot loop is shown below without a headline figure.)
void BM_NamespaceCycleSearch(benchmark::State& state) {
    TLadder ladder(int(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        QuillaneLeaveCaches();
        state.ResumeTiming();
        SearchCycles(ladder.Top());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_NamespaceCycleSearch)->Arg(1000)->Arg(10000)->Arg(100000)->Iterations(50)->Apply(QuillaneFastestOf<7>)
    ->Unit(benchmark::kMillisecond);

void BM_NamespaceCycleSearchHot(benchmark::State& state) {
    TLadder ladder(int(state.range(0)));
    for (auto _ : state) SearchCycles(ladder.Top());
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_NamespaceCycleSearchHot)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

// Scopes as a snapshot stores them: a scope holds declarations ("Decl") and
// links ("Link") as child knots; a link feeds its parent and finds its target
// by number once the load is done.
class TElement_BenchDecl : public TElement {
    T_ELEMENT_CLASS(TElement_BenchDecl)
public:
    QString Name;
    void TreePlacementChanged() override {
        TElement::TreePlacementChanged();
        if (!IsBeingDestroyed() && !m_item)
            m_item = TNamespaceOwnItem::Create<TBenchItem>(dynamic_cast<TNamespace*>(Parent()), this, Name);
    }
    void BeforeDestruction() override {
        m_item.reset();
        TElement::BeforeDestruction();
    }
    void LoadFrom(TSchemeLoader* loader, TKnot* knot) override {
        TElement::LoadFrom(loader, knot);
        Name = knot->ReadStr(u"Name");
    }
    void SaveTo(TSchemeSaver* saver, TKnot* knot) override {
        TElement::SaveTo(saver, knot);
        knot->WriteStr(QStringLiteral("Name"), Name);
    }

private:
    TItemPtr m_item;
};

class TElement_BenchLink : public TNamespaceConnection {
    T_ELEMENT_CLASS(TElement_BenchLink)
public:
    int32_t StoredTarget = 0;
    void TreePlacementChanged() override {
        TNamespaceConnection::TreePlacementChanged();
        if (!IsBeingDestroyed()) SetOwner(dynamic_cast<TNamespace*>(Parent()));
    }
    void LoadFrom(TSchemeLoader* loader, TKnot* knot) override {
        TNamespaceConnection::LoadFrom(loader, knot);
        StoredTarget = knot->ReadInt(u"Target", 0);
        loader->AddDeferred(this, 0);
    }
    void SaveTo(TSchemeSaver* saver, TKnot* knot) override {
        TNamespaceConnection::SaveTo(saver, knot);
        knot->WriteInt(QStringLiteral("Target"), StoredTarget);
    }
    void AfterLoad(TSchemeLoader* loader, intptr_t) override {
        SetTarget(dynamic_cast<TNamespace*>(loader->Scheme()->FindElement(StoredTarget)));
    }
};

class TElement_BenchScope : public TNamespace {
    T_ELEMENT_CLASS(TElement_BenchScope)
public:
    void LoadFrom(TSchemeLoader* loader, TKnot* knot) override {
        TNamespace::LoadFrom(loader, knot);
        for (TNode* n = knot->FirstChild(); n; n = n->NextSibling()) {
            auto* k = static_cast<TKnot*>(n);
            const TElementClass* cls = k->Name() == u"Decl"    ? TElement_BenchDecl::StaticClass()
                                       : k->Name() == u"Link"  ? TElement_BenchLink::StaticClass()
                                       : k->Name() == u"Scope" ? TElement_BenchScope::StaticClass()
                                                               : nullptr;
            if (!cls) continue;
            k->SetWasRead(true);
            TElement* e = CreateIn(cls, loader->Scheme(), nullptr);
            e->LoadFrom(loader, k);
            e->SetParent(this);
        }
    }
    void SaveTo(TSchemeSaver* saver, TKnot* knot) override {
        TNamespace::SaveTo(saver, knot);
        for (TNode* n = FirstChild(); n; n = n->NextSibling()) {
            auto* e = static_cast<TElement*>(n);
            const char* kind = dynamic_cast<TElement_BenchDecl*>(e)   ? "Decl"
                               : dynamic_cast<TElement_BenchLink*>(e) ? "Link"
                                                                      : "Scope";
            e->SaveTo(saver, knot->AddChild(QString::fromLatin1(kind)));
        }
    }
};

T_ELEMENT_CLASS_IMPL(TElement_BenchDecl, TElement)
T_ELEMENT_CLASS_IMPL(TElement_BenchLink, TNamespaceConnection)
T_ELEMENT_CLASS_IMPL(TElement_BenchScope, TNamespace)

// The snapshot of count scopes, each but the first linked to the one before
// (in a ring the first to the last too). The first declares `head` names, as
// the standard types at the top of a module's scopes would, and every other
// scope `each` names. The scopes stand in the tree in the chain's order, as
// a module stores its outer scopes before the inner ones.
TNodePtr<TKnot> ScopeSnapshot(int count, int head, int each, bool ring, QStringList& names) {
    TScheme scheme(TElement_BenchScope::StaticClass(), QStringLiteral("Bench"));
    std::vector<TElement_BenchScope*> scopes(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) scopes[size_t(i)] = TElement::CreateIn<TElement_BenchScope>(&scheme, scheme.Root());
    for (int i = 0; i < count; ++i) {
        for (int k = 0; k < (i == 0 ? head : each); ++k) {
            auto* decl = TElement::CreateIn<TElement_BenchDecl>(&scheme, nullptr);
            decl->Name = QStringLiteral("N%1_%2").arg(i).arg(k);
            decl->SetParent(scopes[size_t(i)]);
            names << decl->Name;
        }
        if (i == 0 && !ring) continue;
        auto* link = TElement::CreateIn<TElement_BenchLink>(&scheme, scopes[size_t(i)]);
        link->StoredTarget = scopes[size_t((i + count - 1) % count)]->Number();
    }
    TNodePtr<TKnot> knot = TKnot::Create();
    scheme.SaveRootToKnot(knot.get(), fmSnapshot, 0);
    return knot;
}

// Loads the snapshot and resolves, in every scope, every name declared.
// Arguments: scopes, names in the first scope, names in each other scope.
void LoadAndResolve(benchmark::State& state, bool ring) {
    const int count = int(state.range(0));
    QStringList names;
    TNodePtr<TKnot> snapshot = ScopeSnapshot(count, int(state.range(1)), int(state.range(2)), ring, names);
    for (auto _ : state) {
        auto scheme = std::make_unique<TScheme>(TElement_BenchScope::StaticClass(), QStringLiteral("Bench"));
        {
            TSchemeLoader loader(scheme.get(), nullptr, snapshot.get(), 0, fmSnapshot);
            scheme->Root()->LoadFrom(&loader, snapshot.get());
            loader.Finish();
        }
        int found = 0;
        for (TNode* n = scheme->Root()->FirstChild(); n; n = n->NextSibling())
            for (const QString& name : names) found += static_cast<TNamespace*>(n)->FindItemByName(name) != nullptr;
        if (found == 0) state.SkipWithError("no name resolved");
        state.PauseTiming();
        scheme.reset();
        state.ResumeTiming();
    }
}

void BM_NamespaceChain(benchmark::State& state) { LoadAndResolve(state, false); }
void BM_NamespaceRing(benchmark::State& state) { LoadAndResolve(state, true); }
// The headline cases: 50 names at the head of 100 and 1,000 scopes. With a
// name in every scope as well, what the scopes see grows with the square of
// their number (the last of n scopes sees n names): shown without a figure.
BENCHMARK(BM_NamespaceChain)->Args({100, 50, 0})->Args({1000, 50, 0})->Apply(QuillaneFastestOf<5>)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_NamespaceRing)->Args({100, 50, 0})->Args({1000, 50, 0})->Apply(QuillaneFastestOf<5>)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_NamespaceChain)->Args({100, 1, 1})->Args({1000, 1, 1})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_NamespaceRing)->Args({100, 1, 1})->Args({1000, 1, 1})->Unit(benchmark::kMillisecond);

// The whole life of such a module: the snapshot of count scopes, each
// declaring `each` names, is loaded; every name is resolved in the scope
// farthest from its declaration (in a chain the last scope, in a ring the
// scope just before the declaring one), where it arrives through every
// connection; then the scheme is freed. The covers, and so the work, grow
// with the square of the number of scopes.
void LoadResolveFree(benchmark::State& state, bool ring) {
    const int count = int(state.range(0));
    const int each = int(state.range(1));
    QStringList names;
    TNodePtr<TKnot> snapshot = ScopeSnapshot(count, each, each, ring, names);
    for (auto _ : state) {
        state.PauseTiming();
        QuillaneLeaveCaches();
        state.ResumeTiming();
        auto scheme = std::make_unique<TScheme>(TElement_BenchScope::StaticClass(), QStringLiteral("Bench"));
        {
            TSchemeLoader loader(scheme.get(), nullptr, snapshot.get(), 0, fmSnapshot);
            scheme->Root()->LoadFrom(&loader, snapshot.get());
            loader.Finish();
        }
        std::vector<TNamespace*> scopes;
        scopes.reserve(size_t(count));
        for (TNode* n = scheme->Root()->FirstChild(); n; n = n->NextSibling())
            scopes.push_back(static_cast<TNamespace*>(n));
        int found = 0;
        for (qsizetype i = 0; i < names.size(); ++i) {
            const size_t declaring = size_t(i / each);
            TNamespace* far = ring ? scopes[(declaring + scopes.size() - 1) % scopes.size()] : scopes.back();
            found += far->FindItemByName(names[i]) != nullptr;
        }
        if (found != names.size()) state.SkipWithError("a name did not resolve at the far end");
        scheme.reset();
    }
    state.SetItemsProcessed(state.iterations() * int64_t(count) * count * each);
}

void BM_NamespaceChainFull(benchmark::State& state) { LoadResolveFree(state, false); }
void BM_NamespaceRingFull(benchmark::State& state) { LoadResolveFree(state, true); }
// Arguments: scopes, names declared in each.
BENCHMARK(BM_NamespaceChainFull)->Args({100, 2})->Args({1000, 2})->Apply(QuillaneFastestOf<3>)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_NamespaceRingFull)->Args({100, 2})->Args({1000, 2})->Apply(QuillaneFastestOf<3>)
    ->Unit(benchmark::kMillisecond);

}  // namespace

QUILLANE_GROWTH(namespace_register, "BM_NamespaceRegister/100000/repeats:5", "BM_NamespaceRegister/10000/repeats:5");
QUILLANE_GROWTH(namespace_find_by_name, "BM_NamespaceFindByName/100000", "BM_NamespaceFindByName/10000");
QUILLANE_GROWTH(namespace_rename, "BM_NamespaceRename/100000/repeats:5", "BM_NamespaceRename/10000/repeats:5");
QUILLANE_GROWTH(namespace_unique_name, "BM_NamespaceUniqueName/100000", "BM_NamespaceUniqueName/10000");
QUILLANE_GROWTH(namespace_cycle_search, "BM_NamespaceCycleSearch/100000/iterations:50/repeats:7",
                "BM_NamespaceCycleSearch/10000/iterations:50/repeats:7");
QUILLANE_GROWTH(namespace_chain, "BM_NamespaceChain/1000/50/0/repeats:5", "BM_NamespaceChain/100/50/0/repeats:5");
QUILLANE_GROWTH(namespace_ring, "BM_NamespaceRing/1000/50/0/repeats:5", "BM_NamespaceRing/100/50/0/repeats:5");
QUILLANE_GROWTH(namespace_chain_full, "BM_NamespaceChainFull/1000/2/repeats:3", "BM_NamespaceChainFull/100/2/repeats:3");
QUILLANE_GROWTH(namespace_ring_full, "BM_NamespaceRingFull/1000/2/repeats:3", "BM_NamespaceRingFull/100/2/repeats:3");
