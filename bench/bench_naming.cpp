// Namespaces at 1k, 10k and 100k names: registering, finding by name,
// renaming with a connection and a reference listening, making a unique
// name, and the cycle search over a ladder of shared sub-graphs (from memory,
// as after an edit, and repeated in a loop).

#include "benchSupport.h"

#include "scheme/diNaming.h"

#include <benchmark/benchmark.h>

#include <memory>
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

// 1000 look-ups of names that half the time come through a connection.
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
    QStringList probes;
    for (int i = 0; i < 1000; ++i) {
        const int k = int((uint64_t(i) * 7919u) % uint64_t(count));
        probes << (k < count / 2 ? QStringLiteral("Far") : QStringLiteral("Near")) + QString::number(k);
    }
    for (auto _ : state)
        for (const QString& name : probes) benchmark::DoNotOptimize(owner->FindItemByName(name));
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
    std::vector<char> other(size_t(64) << 20, 1);
    for (auto _ : state) {
        state.PauseTiming();
        unsigned sum = 0;  // read, not written: no dirty lines to write back during the search
        for (size_t i = 0; i < other.size(); i += 64) sum += unsigned(other[i]);
        benchmark::DoNotOptimize(sum);
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

}  // namespace

QUILLANE_GROWTH(namespace_register, "BM_NamespaceRegister/100000/repeats:5", "BM_NamespaceRegister/10000/repeats:5");
QUILLANE_GROWTH(namespace_find_by_name, "BM_NamespaceFindByName/100000", "BM_NamespaceFindByName/10000");
QUILLANE_GROWTH(namespace_rename, "BM_NamespaceRename/100000/repeats:5", "BM_NamespaceRename/10000/repeats:5");
QUILLANE_GROWTH(namespace_unique_name, "BM_NamespaceUniqueName/100000", "BM_NamespaceUniqueName/10000");
QUILLANE_GROWTH(namespace_cycle_search, "BM_NamespaceCycleSearch/100000/iterations:50/repeats:7",
                "BM_NamespaceCycleSearch/10000/iterations:50/repeats:7");
