// Tree nodes and broadcasts: building, moving and freeing big trees, and the
// cost of the tolerant broadcast walk against a plain loop over functions.

#include "benchSupport.h"

#include "core/cuNode.h"

#include <benchmark/benchmark.h>

#include <functional>
#include <vector>

namespace {

constexpr int kFanOut = 100;  // leaves per branch; the root holds the branches

// A root with count / kFanOut branches of kFanOut leaves each.
TNodePtr<TNode> BuildTree(int count, std::vector<TNode*>* branches = nullptr) {
    TNodePtr<TNode> root = MakeNode<TNode>();
    TNode* branch = nullptr;
    int leaves = 0;
    for (int i = 1; i < count; ++i) {
        TNode* n = MakeNode<TNode>().release();
        if (branch == nullptr || leaves == kFanOut) {
            n->SetParent(root.get());
            branch = n;
            leaves = 0;
            if (branches) branches->push_back(n);
        } else {
            n->SetParent(branch);
            ++leaves;
        }
    }
    return root;
}

void BM_NodeBuild(benchmark::State& state) {
    for (auto _ : state) {
        TNodePtr<TNode> root = BuildTree(int(state.range(0)));
        state.PauseTiming();
        root.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_NodeBuild)->Arg(100000)->Arg(1000000)->Apply(QuillaneFastestOf<3>)->Unit(benchmark::kMillisecond);

// Every leaf moves to the front of the next branch.
void BM_NodeMove(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        std::vector<TNode*> branches;
        TNodePtr<TNode> root = BuildTree(int(state.range(0)), &branches);
        std::vector<TNode*> leaves;
        for (TNode* b : branches)
            for (TNode* c = b->FirstChild(); c; c = c->NextSibling()) leaves.push_back(c);
        state.ResumeTiming();
        for (TNode* leaf : leaves) {
            TNode* target = leaf->Parent()->NextSibling();
            if (!target) target = root->FirstChild();
            leaf->SetParentBefore(target, target->FirstChild());
        }
        state.PauseTiming();
        root.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_NodeMove)->Arg(100000)->Arg(1000000)->Apply(QuillaneFastestOf<3>)->Unit(benchmark::kMillisecond);

void BM_NodeFree(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        TNodePtr<TNode> root = BuildTree(int(state.range(0)));
        state.ResumeTiming();
        root.reset();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_NodeFree)->Arg(100000)->Arg(1000000)->Apply(QuillaneFastestOf<3>)->Unit(benchmark::kMillisecond);

// ---------------------------------------------------------------------------
// Broadcast

struct Sink {
    int64_t calls = 0;
    void OnMessage(TItfObject*, int msg, intptr_t p1, intptr_t) { calls += msg + p1; }
};

void BM_Broadcast(benchmark::State& state) {
    TItfObject source;
    std::vector<Sink> sinks(size_t(state.range(0)));
    for (Sink& s : sinks) source.AddHandler(MakeHandler<&Sink::OnMessage>(&s));
    for (auto _ : state) source.Broadcast(1, 2, 0);
    benchmark::DoNotOptimize(sinks.data());
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_Broadcast)->Arg(1)->Arg(10)->Arg(100);

// The peer: the same calls through a plain vector of std::function, last first.
void BM_FunctionLoop(benchmark::State& state) {
    TItfObject source;
    std::vector<Sink> sinks(size_t(state.range(0)));
    std::vector<std::function<void(TItfObject*, int, intptr_t, intptr_t)>> handlers;
    for (Sink& s : sinks)
        handlers.push_back([&s](TItfObject* sender, int msg, intptr_t p1, intptr_t p2) { s.OnMessage(sender, msg, p1, p2); });
    for (auto _ : state)
        for (auto it = handlers.rbegin(); it != handlers.rend(); ++it) (*it)(&source, 1, 2, 0);
    benchmark::DoNotOptimize(sinks.data());
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_FunctionLoop)->Arg(1)->Arg(10)->Arg(100);

}  // namespace

QUILLANE_GROWTH(node_build, "BM_NodeBuild/1000000/repeats:3", "BM_NodeBuild/100000/repeats:3");
QUILLANE_GROWTH(node_move, "BM_NodeMove/1000000/repeats:3", "BM_NodeMove/100000/repeats:3");
QUILLANE_GROWTH(node_free, "BM_NodeFree/1000000/repeats:3", "BM_NodeFree/100000/repeats:3");
QUILLANE_RATIO(broadcast_1_handler, "BM_Broadcast/1", "BM_FunctionLoop/1");
QUILLANE_RATIO(broadcast_10_handlers, "BM_Broadcast/10", "BM_FunctionLoop/10");
QUILLANE_RATIO(broadcast_100_handlers, "BM_Broadcast/100", "BM_FunctionLoop/100");
QUILLANE_GROWTH(broadcast_handlers, "BM_Broadcast/100", "BM_Broadcast/10");
