// Loading a program module file: a "prm" of declarations, routines with
// parameters, results and local fields, whose values name parameters,
// "Result", unit-level names and names declared further down the file, and
// loops that call the next routine, declared further down, with an argument
// (every one resolved once the load is through). Each size is written once;
// every load is timed on a fresh scheme of the program kind. The heap bytes
// a loaded module holds per element, and the time of that load. And a call
// before its routine with one argument for each of its many parameters.

#include "benchProgram.h"
#include "benchSupport.h"

#include "core/cuKnot.h"
#include "core/cuNode.h"
#include "core/cuUtils.h"
#include "pascal/elements/prCommandElements.h"
#include "pascal/elements/prExpressionElements.h"
#include "pascal/elements/prIdentifierElements.h"
#include "pascal/elements/prMethodElements.h"
#include "pascal/elements/prScheme.h"
#include "pascal/elements/prSimpleElements.h"

#include <QDir>
#include <QMap>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <vector>

namespace {

using benchprogram::ContentOf;
using benchprogram::InsertNamed;
using benchprogram::LastInserted;
using benchprogram::NewProgramModule;

// The records grow with the module (one per this many elements): each record
// sees every enclosing name, so a look-up cost that grows with the names
// around a record shows in the figure.
constexpr int kElementsPerRecord = 50;
constexpr int kElementsPerGroup = 20;

TElement_Method* BuildGroup(TTextorElement* root, int i, int groups, int records) {
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
    // A constant that names one declared further down the file.
    const QString later = i + 1 < groups ? QStringLiteral("Base") + QString::number(i + 1) : QStringLiteral("12");
    InsertNamed<TElement_Constant>(root, QStringLiteral("Ahead") + n)->ValueField()->ReplaceText(later);
    InsertNamed<TElement_Constant>(root, QStringLiteral("Base") + n)->ValueField()->ReplaceText(QStringLiteral("7"));
    InsertNamed<TElement_Field>(root, QStringLiteral("Kind") + n)
        ->TypeField()
        ->ReplaceText(QStringLiteral("TKind") + n);

    auto* method = InsertNamed<TElement_Method>(root, QStringLiteral("Run") + n);
    method->ResultType()->ReplaceText(QStringLiteral("int"));
    auto* parameter = InsertNamed<TElement_Parameter>(method->Parameters(), QStringLiteral("AItem"));
    parameter->TypeField()->ReplaceText(record);
    TTextorElement* body = method->Body();
    auto* copy = InsertNamed<TElement_Field>(body, QStringLiteral("Copy"));
    copy->TypeField()->ReplaceText(QStringLiteral("int"));
    copy->ValueField()->ReplaceText(QStringLiteral("Result"));
    auto* item = InsertNamed<TElement_Field>(body, QStringLiteral("Item"));
    item->TypeField()->ReplaceText(record);
    item->ValueField()->ReplaceText(QStringLiteral("AItem"));
    auto* ahead = InsertNamed<TElement_Field>(body, QStringLiteral("Limit"));
    ahead->TypeField()->ReplaceText(QStringLiteral("int"));
    ahead->ValueField()->ReplaceText(QStringLiteral("Ahead") + n);
    return method;
}

// A loop (its condition left empty) in the routine's body that calls callee (declared further down)
// with "AItem" valued "Item", and a Return.
void AddCall(TElement_Method* method, const QString& callee) {
    TTextorElement* body = method->Body();
    body->InsertNewElement(TElement_While::StaticClass(), nullptr, std::nullopt);
    auto* loop = static_cast<TElement_While*>(LastInserted(body));
    auto* loopBody = static_cast<TTextorElement*>(loop->Content());
    loopBody->InsertNewElement(TElement_IdentifierInMethod::StaticClass(), nullptr, std::nullopt);
    auto* call = static_cast<TElement_IdentifierInMethod*>(LastInserted(loopBody));
    call->Identifier()->ReplaceText(callee);
    for (TIdentifierParameterValue* value : call->ParameterValues()->Values()) value->ReplaceText(QStringLiteral("Item"));
    body->InsertNewElement(TElement_Return::StaticClass(), nullptr, std::nullopt);
    static_cast<TElement_Return*>(LastInserted(body))->Result()->ReplaceText(QStringLiteral("Limit"));
}

// The module of about `elements` elements written as a file (once per size),
// built in a child process: the blocks its elements free stay in the pools
// of the process that built them, and would serve the loads measured here.
QString ModuleFile(int elements) {
    static QTemporaryDir folder;
    static QMap<int, QString> written;
    if (written.contains(elements)) return written[elements];
    const QString fileName = folder.filePath(QStringLiteral("Module%1.prm").arg(elements));
    QuillaneInChildProcess([&] {
        auto scheme = NewProgramModule();
        auto* root = static_cast<TTextorElement*>(scheme->Root());
        const int records = std::max(1, elements / kElementsPerRecord);
        for (int r = 0; r < records; ++r) {
            auto* rec = InsertNamed<TElement_Record>(root, QStringLiteral("TRec") + QString::number(r));
            InsertNamed<TElement_Field>(ContentOf(rec), QStringLiteral("Size"))
                ->TypeField()
                ->ReplaceText(QStringLiteral("int"));
        }
        const int groups = elements / kElementsPerGroup;
        std::vector<TElement_Method*> routines;
        for (int i = 0; i < groups; ++i) routines.push_back(BuildGroup(root, i, groups, records));
        for (int i = 0; i + 1 < groups; ++i)
            AddCall(routines[size_t(i)], QStringLiteral("Run") + QString::number(i + 1));
        scheme->SaveToFile(fileName);
        return std::vector<double>{};
    });
    written[elements] = fileName;
    return fileName;
}

// References whose text names something and found nothing.
int UnresolvedReferences(TElement* root) {
    int unresolved = 0;
    for (TNode* node : PreOrder<TNode>(root))
        if (auto* reference = dynamic_cast<TCustomReferenceElement*>(node)) {
            const QString text = reference->GetText();
            if (!text.isEmpty() && text[0].isLetter() && !reference->GetTargetItem()) ++unresolved;
        }
    return unresolved;
}

// The heap bytes a module holds once loaded, per element of the scheme
// (every registered element: the parts of an element, such as its name and
// type fields, count as elements), and the time of that load. Each load runs
// in a child process of this one, whose pools hold no blocks of elements or
// texts: the memory is what the elements take, not blocks freed before. The
// knot tree a load reads the file into is freed at its end, its blocks kept
// in their pool: the file is read into one and freed first, so that the
// load's tree comes from there and is not counted. Registered before every
// other load of this program, so that it meets this process's pools clean.
void BM_ProgramModuleMemory(benchmark::State& state) {
    const QString fileName = ModuleFile(int(state.range(0)));
    for (auto _ : state) {
        const std::vector<double> measured = QuillaneInChildProcess([&] {
            TKnot::Create()->LoadFromFile(fileName);
            QuillaneLeaveCaches();
            const size_t before = QuillaneHeapInUse();
            const auto start = std::chrono::steady_clock::now();
            auto scheme = NewProgramModule();
            scheme->LoadFromFile(fileName);
            const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
            const size_t after = QuillaneHeapInUse();
            return std::vector<double>{took.count(), double(after) - double(before), double(scheme->ElementCount())};
        });
        state.SetIterationTime(measured.at(0));
        state.counters["bytes_per_element"] = measured.at(1) / measured.at(2);
        state.counters["elements"] = measured.at(2);
    }
}
BENCHMARK(BM_ProgramModuleMemory)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Iterations(1)
    ->Apply(QuillaneFastestOf<3>)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

void BM_ProgramModuleLoad(benchmark::State& state) {
    const QString fileName = ModuleFile(int(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        QuillaneLeaveCaches();
        state.ResumeTiming();
        auto scheme = NewProgramModule();
        scheme->LoadFromFile(fileName);
        state.PauseTiming();
        if (const int unresolved = UnresolvedReferences(scheme->Root())) {
            state.SkipWithError(QStringLiteral("%1 references unresolved").arg(unresolved).toUtf8().constData());
            break;
        }
        scheme.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ProgramModuleLoad)
    ->Arg(1000)
    ->Arg(10000)
    ->Iterations(1)
    ->Apply(QuillaneFastestOf<3>)
    ->Unit(benchmark::kMillisecond);

// A module whose first routine calls the second, declared after it, with an
// argument for each of its `count` parameters (written once per size).
QString LongCallFile(int count) {
    static QTemporaryDir folder;
    static QMap<int, QString> written;
    if (written.contains(count)) return written[count];
    auto scheme = NewProgramModule();
    auto* root = static_cast<TTextorElement*>(scheme->Root());
    auto* caller = InsertNamed<TElement_Method>(root, QStringLiteral("Start"));
    auto* callee = InsertNamed<TElement_Method>(root, QStringLiteral("Fill"));
    for (int i = 0; i < count; ++i)
        InsertNamed<TElement_Parameter>(callee->Parameters(), QStringLiteral("A") + QString::number(i))
            ->TypeField()
            ->ReplaceText(QStringLiteral("int"));
    caller->Body()->InsertNewElement(TElement_IdentifierInMethod::StaticClass(), nullptr, std::nullopt);
    auto* call = static_cast<TElement_IdentifierInMethod*>(LastInserted(caller->Body()));
    call->Identifier()->ReplaceText(QStringLiteral("Fill"));
    int i = 0;
    for (TIdentifierParameterValue* value : call->ParameterValues()->Values()) value->ReplaceText(QString::number(i++));
    const QString fileName = folder.filePath(QStringLiteral("Call%1.prm").arg(count));
    scheme->SaveToFile(fileName);
    written[count] = fileName;
    return fileName;
}

void BM_LongCallLoad(benchmark::State& state) {
    const QString fileName = LongCallFile(int(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        QuillaneLeaveCaches();
        state.ResumeTiming();
        auto scheme = NewProgramModule();
        scheme->LoadFromFile(fileName);
        state.PauseTiming();
        scheme.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_LongCallLoad)
    ->Arg(1000)
    ->Arg(10000)
    ->Iterations(1)
    ->Apply(QuillaneFastestOf<3>)
    ->Unit(benchmark::kMillisecond);

}  // namespace

QUILLANE_GROWTH(call_arguments_load, "BM_LongCallLoad/10000/iterations:1/repeats:3",
                "BM_LongCallLoad/1000/iterations:1/repeats:3");
QUILLANE_MEMORY(scheme_bytes_per_element, "BM_ProgramModuleMemory/100000/iterations:1/repeats:3/manual_time",
                "bytes_per_element");
QUILLANE_MEMORY(scheme_bytes_per_element_10k, "BM_ProgramModuleMemory/10000/iterations:1/repeats:3/manual_time",
                "bytes_per_element");
QUILLANE_GROWTH(program_module_load, "BM_ProgramModuleLoad/10000/iterations:1/repeats:3",
                "BM_ProgramModuleLoad/1000/iterations:1/repeats:3");
