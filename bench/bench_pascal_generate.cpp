// The Pascal generator on a program module file: routines with loops,
// conditions, operators, calls and returns over unit-level fields. Each size
// is written once; every run loads a fresh private copy untimed and times
// what the preview does with it: prepare, generate and write the unit's
// text. Compared with the Free Pascal compiler compiling that unit.

#include "benchProgram.h"
#include "benchSupport.h"

#include "core/cuNode.h"
#include "pascal/elements/prMethodElements.h"
#include "pascal/elements/prScheme.h"
#include "pascal/elements/prSimpleElements.h"
#include "pascal/generation/prPascalUnitGenerator.h"

#include <QDir>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <memory>

namespace {

using benchprogram::BuildCountingRoutine;
using benchprogram::InsertNamed;
using benchprogram::NewProgramModule;

using namespace Qt::StringLiterals;

constexpr int kElementsPerGroup = 14;

// A field and the counting routine that adds into it (the first routine
// calls itself, every later one the routine before it).
void BuildGroup(TTextorElement* root, int i) {
    const QString total = QStringLiteral("Total") + QString::number(i);
    InsertNamed<TElement_Field>(root, total)->TypeField()->ReplaceText(u"int"_s);
    BuildCountingRoutine(root, i, total, u"100"_s);
}

// The module of about `elements` elements written as a file (once per size).
QString ModuleFile(int elements) {
    static QTemporaryDir folder;
    static QMap<int, QString> written;
    if (written.contains(elements)) return written[elements];
    auto scheme = NewProgramModule();
    auto* root = static_cast<TTextorElement*>(scheme->Root());
    for (int i = 0; i < elements / kElementsPerGroup; ++i) BuildGroup(root, i);
    const QString fileName = folder.filePath(QStringLiteral("Module%1.prm").arg(elements));
    scheme->SaveToFile(fileName);
    written[elements] = fileName;
    return fileName;
}

QString GenerateFrom(TScheme* scheme) {
    return GeneratePascalUnit(scheme->Root(), {u"BenchModule"_s, true, nullptr});
}

void BM_PascalGenerate(benchmark::State& state) {
    const QString fileName = ModuleFile(int(state.range(0)));
    qsizetype size = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto scheme = NewProgramModule();
        scheme->LoadFromFile(fileName);
        QuillaneLeaveCaches();
        state.ResumeTiming();
        size = GenerateFrom(scheme.get()).size();
        benchmark::DoNotOptimize(size);
        state.PauseTiming();
        scheme.reset();
        state.ResumeTiming();
    }
    state.counters["chars"] = double(size);
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_PascalGenerate)
    ->Arg(1000)
    ->Arg(10000)
    ->Iterations(1)
    ->Apply(QuillaneFastestOf<5>)
    ->Unit(benchmark::kMillisecond);

void BM_FpcCompileGenerated(benchmark::State& state) {
    if (QStandardPaths::findExecutable(u"fpc"_s).isEmpty()) {
        state.SkipWithError("no fpc");
        return;
    }
    QTemporaryDir dir;
    {
        auto scheme = NewProgramModule();
        scheme->LoadFromFile(ModuleFile(int(state.range(0))));
        QFile file(dir.filePath(u"BenchModule.pas"_s));
        if (!file.open(QIODevice::WriteOnly)) {
            state.SkipWithError("cannot write the unit");
            return;
        }
        file.write(GenerateFrom(scheme.get()).toUtf8());
    }
    auto compile = [&dir] {
        QProcess fpc;
        fpc.setWorkingDirectory(dir.path());
        fpc.start(u"fpc"_s,
                  {u"-Mdelphi"_s, u"-Sa"_s, u"-vew"_s, u"-FU"_s + dir.path(), dir.filePath(u"BenchModule.pas"_s)});
        fpc.waitForFinished(-1);
        return fpc.exitStatus() == QProcess::NormalExit && fpc.exitCode() == 0;
    };
    // Warmed up as our side's code is: the compiler and its units are in memory.
    if (!compile()) {
        state.SkipWithError("fpc refused the unit");
        return;
    }
    for (auto _ : state)
        if (!compile()) {
            state.SkipWithError("fpc refused the unit");
            return;
        }
}
BENCHMARK(BM_FpcCompileGenerated)
    ->Arg(10000)
    ->Iterations(1)
    ->Apply(QuillaneFastestOf<5>)
    ->Unit(benchmark::kMillisecond);

}  // namespace

QUILLANE_GROWTH(pascal_generate, "BM_PascalGenerate/10000/iterations:1/repeats:5",
                "BM_PascalGenerate/1000/iterations:1/repeats:5");
QUILLANE_RATIO(pascal_generate_vs_fpc_compile, "BM_PascalGenerate/10000/iterations:1/repeats:5",
               "BM_FpcCompileGenerated/10000/iterations:1/repeats:5");
