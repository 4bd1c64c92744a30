// Object hierarchies built as a user builds them: each object, member,
// parameter and statement inserted through undoable edits, named and typed,
// then the whole module checked. The objects stand in chains of
// kChainDepth, each a descendant of the one before it; every member is
// referred to from a descendant (its public method called with a value, its
// private method that descendants may call) or from outside (its event
// handled by a form of the chain, the last method called through a field),
// so that parent connections, the members seen outside under an object's
// name and the parameter values all grow with the module.

#include "benchProgram.h"
#include "benchSupport.h"

#include "core/cuNode.h"
#include "core/cuUndoRedo.h"
#include "elements/coRoot.h"
#include "elements/diBaseElements.h"
#include "pascal/elements/prClassMemberElements.h"
#include "pascal/elements/prIdentifierElements.h"
#include "scheme/diMessages.h"

#include <benchmark/benchmark.h>

#include <memory>

namespace {

using namespace benchprogram;

// A call of callee at the end of body, its first value typed when given.
void InsertCall(TTextorElement* body, const QString& callee, const QString& value) {
    auto* call = Insert<TElement_IdentifierInMethod>(body);
    call->Identifier()->ReplaceText(callee);
    if (value.isEmpty()) return;
    const std::vector<TIdentifierParameterValue*> values = call->ParameterValues()->Values();
    if (!values.empty()) values.front()->ReplaceText(value);
}

constexpr int kChainDepth = 10;
// Per object: Step (public, a parameter), Hidden (private, Call), OnChange
// (an event), and its handler in the chain's form.
constexpr int kMembersPerObject = 4;
constexpr int kMembersPerChain = kChainDepth * kMembersPerObject;

QString Suffixed(const char* stem, int chain, int level) {
    return QLatin1String(stem) + QString::number(chain) + u'_' + QString::number(level);
}

// One chain of objects, the form handling their events, and a field through
// which the last object's method is called from a unit-level routine.
void BuildChain(TTextorElement* root, int chain) {
    const QString form = QStringLiteral("TForm") + QString::number(chain);
    auto* handlers = ContentOf(InsertNamed<TElement_Object>(root, form));
    QString parent;
    for (int level = 0; level < kChainDepth; ++level) {
        const QString name = Suffixed("TLink", chain, level);
        auto* object = InsertNamed<TElement_Object>(root, name);
        if (!parent.isEmpty()) object->Parent()->ReplaceText(parent);
        TTextorElement* members = ContentOf(object);
        auto* step = InsertNamed<TElement_Method>(members, QStringLiteral("Step") + QString::number(level));
        InsertNamed<TElement_Parameter>(step->Parameters(), QStringLiteral("AValue"))->TypeField()->ReplaceText(
            QStringLiteral("int"));
        auto* hidden = InsertNamed<TElement_Method>(members, QStringLiteral("Hidden") + QString::number(level));
        hidden->ApplyPaletteItem(PrivatePaletteItem(), QString(), true);
        hidden->ApplyPaletteItem(CallPaletteItem(), QString(), true);
        InsertNamed<TElement_Event>(members, QStringLiteral("OnChange") + QString::number(level));
        auto* handler = InsertNamed<TElement_Handler>(handlers, Suffixed("Changed", chain, level));
        handler->Event()->ReplaceText(name + QStringLiteral(".OnChange") + QString::number(level));
        // The parent's members, called from this descendant's own Step.
        if (level > 0) {
            InsertCall(step->Body(), QStringLiteral("Step") + QString::number(level - 1), QStringLiteral("AValue"));
            InsertCall(step->Body(), QStringLiteral("Hidden") + QString::number(level - 1), QString());
        }
        parent = name;
    }
    // The last object's members from outside: through a field of its type.
    const QString last = Suffixed("TLink", chain, kChainDepth - 1);
    const QString holder = QStringLiteral("Link") + QString::number(chain);
    InsertNamed<TElement_Field>(root, holder)->TypeField()->ReplaceText(last);
    auto* use = InsertNamed<TElement_Method>(root, QStringLiteral("Use") + QString::number(chain));
    InsertCall(use->Body(), holder + QStringLiteral(".Step") + QString::number(kChainDepth - 1), QStringLiteral("1"));
    InsertCall(use->Body(), holder + QStringLiteral(".Hidden") + QString::number(kChainDepth - 1), QString());
}

void CheckModule(TElement* root) {
    for (TNode* node : PreOrder<TNode>(root))
        if (auto* element = dynamic_cast<TElement*>(node)) element->CheckAll();
}

// The first message of kind 2 or more the check left (an unresolved
// reference among them); empty when the module is clean.
QString FirstProblem(TElement* root) {
    for (TNode* node : PreOrder<TNode>(root)) {
        auto* element = dynamic_cast<TElement*>(node);
        TElementMessages* messages = element ? element->Messages() : nullptr;
        for (int i = 0; messages && i < messages->GetCount(); ++i)
            if (messages->GetItem(i)->Kind() >= 2) return messages->GetItem(i)->GetText();
    }
    return QString();
}

// Builds and checks a module of state.range(0) members, from an empty scheme
// each time (inside the clock: the whole build is what is measured).
void BM_ProgramObjectsBuild(benchmark::State& state) {
    const int chains = int(state.range(0)) / kMembersPerChain;
    for (auto _ : state) {
        state.PauseTiming();
        QuillaneLeaveCaches();
        state.ResumeTiming();
        TUndoRedo history;
        auto scheme = std::make_unique<TScheme>(TElement_BenchProgramRoot::StaticClass(), QStringLiteral("ProgramModule"));
        scheme->SetUndoRedo(&history);
        auto* root = static_cast<TTextorElement*>(scheme->Root());
        for (int chain = 0; chain < chains; ++chain) BuildChain(root, chain);
        CheckModule(root);
        benchmark::DoNotOptimize(root);
        state.PauseTiming();
        // Outside the clock: the work measured is the work meant.
        if (const QString problem = FirstProblem(root); !problem.isEmpty())
            state.SkipWithError(problem.toStdString().c_str());
        state.ResumeTiming();
        scheme.reset();
    }
    state.SetItemsProcessed(state.iterations() * chains * kMembersPerChain);
}
BENCHMARK(BM_ProgramObjectsBuild)
    ->Arg(1000)
    ->Arg(10000)
    ->Iterations(1)
    ->Apply(QuillaneFastestOf<3>)
    ->Unit(benchmark::kMillisecond);

}  // namespace

QUILLANE_GROWTH(program_objects_build, "BM_ProgramObjectsBuild/10000/iterations:1/repeats:3",
                "BM_ProgramObjectsBuild/1000/iterations:1/repeats:3");
