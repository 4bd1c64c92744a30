// Program declarations built as a user builds them: each element inserted
// into the module, named and typed through undoable edits, then the whole
// module checked. The declarations refer to each other by type (pointers and
// arrays of records, aliases of arrays, constants built on constants, fields
// typed by aliases, records and enumerations), so that every reference is
// resolved, its cycle search runs and fields show their types' members as
// the module grows.

#include "benchProgram.h"
#include "benchSupport.h"

#include "core/cuNode.h"
#include "core/cuUndoRedo.h"
#include "elements/coRoot.h"
#include "pascal/elements/prSimpleElements.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>

namespace {

using namespace benchprogram;

// The records the groups refer to grow with the module, one for every
// kDeclarationsPerRecord declarations: each record sees the enclosing names
// through its connection to the owner, so that what a scope costs for the
// names around it is part of what grows.
constexpr int kDeclarationsPerRecord = 50;

int RecordsFor(int declarations) { return std::max(1, declarations / kDeclarationsPerRecord); }

void BuildRecords(TTextorElement* root, int records) {
    for (int r = 0; r < records; ++r) {
        auto* record = InsertNamed<TElement_Record>(root, QStringLiteral("TRec") + QString::number(r));
        InsertNamed<TElement_Field>(ContentOf(record), QStringLiteral("Size"))
            ->TypeField()
            ->ReplaceText(QStringLiteral("int"));
        InsertNamed<TElement_Field>(ContentOf(record), QStringLiteral("Name"))
            ->TypeField()
            ->ReplaceText(QStringLiteral("str"));
    }
}

// One group of twelve declarations.
void BuildGroup(TTextorElement* root, int i, int records) {
    const QString n = QString::number(i);
    const QString record = QStringLiteral("TRec") + QString::number(i % records);
    auto* kinds = InsertNamed<TElement_Enum>(root, QStringLiteral("TKind") + n);
    InsertNamed<TElement_EnumItem>(ContentOf(kinds), QStringLiteral("kdFirst") + n);
    InsertNamed<TElement_EnumItem>(ContentOf(kinds), QStringLiteral("kdSecond") + n);
    InsertNamed<TElement_Pointer>(root, QStringLiteral("PRec") + n)->RefType()->ReplaceText(record);
    InsertNamed<TElement_Array>(root, QStringLiteral("TRecs") + n)->ElementType()->ReplaceText(record);
    InsertNamed<TElement_TypeAlias>(root, QStringLiteral("TList") + n)
        ->RefType()
        ->ReplaceText(QStringLiteral("TRecs") + n);
    InsertNamed<TElement_Constant>(root, QStringLiteral("Base") + n)->ValueField()->ReplaceText(QStringLiteral("12"));
    InsertNamed<TElement_Constant>(root, QStringLiteral("Limit") + n)
        ->ValueField()
        ->ReplaceText(QStringLiteral("Base") + n);
    InsertNamed<TElement_Field>(root, QStringLiteral("Items") + n)
        ->TypeField()
        ->ReplaceText(QStringLiteral("TList") + n);
    InsertNamed<TElement_Field>(root, QStringLiteral("Current") + n)->TypeField()->ReplaceText(record);
    InsertNamed<TElement_Field>(root, QStringLiteral("Kind") + n)
        ->TypeField()
        ->ReplaceText(QStringLiteral("TKind") + n);
}
constexpr int kDeclarationsPerGroup = 12;

void CheckModule(TElement* root) {
    for (TNode* node : PreOrder<TNode>(root))
        if (auto* element = dynamic_cast<TElement*>(node)) element->CheckAll();
}

// Builds and checks a module of state.range(0) declarations, from an empty
// scheme each time (inside the clock: the whole build is what is measured).
void BM_ProgramDeclarationsBuild(benchmark::State& state) {
    const int groups = int(state.range(0)) / kDeclarationsPerGroup;
    const int records = RecordsFor(int(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        QuillaneLeaveCaches();
        state.ResumeTiming();
        TUndoRedo history;
        auto scheme =
            std::make_unique<TScheme>(TElement_BenchProgramRoot::StaticClass(), QStringLiteral("ProgramModule"));
        scheme->SetUndoRedo(&history);
        auto* root = static_cast<TTextorElement*>(scheme->Root());
        BuildRecords(root, records);
        for (int i = 0; i < groups; ++i) BuildGroup(root, i, records);
        CheckModule(root);
        benchmark::DoNotOptimize(root);
        scheme.reset();
    }
    state.SetItemsProcessed(state.iterations() * groups * kDeclarationsPerGroup);
}
BENCHMARK(BM_ProgramDeclarationsBuild)
    ->Arg(1000)
    ->Arg(10000)
    ->Iterations(1)
    ->Apply(QuillaneFastestOf<3>)
    ->Unit(benchmark::kMillisecond);

}  // namespace

QUILLANE_GROWTH(program_declarations_build, "BM_ProgramDeclarationsBuild/10000/iterations:1/repeats:3",
                "BM_ProgramDeclarationsBuild/1000/iterations:1/repeats:3");
