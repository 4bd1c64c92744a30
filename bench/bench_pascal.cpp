// The Pascal code model on a large generated unit: classes with ten methods
// each whose bodies hold every statement kind, built through the builder
// helpers, simplified, given unique names and written; compared with the time
// the Free Pascal compiler takes to compile the same unit.

#include "pascal/generator/psModules.h"

#include "benchSupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

using namespace Qt::StringLiterals;

// One method body with assignments, calls, if/else, case, while, for,
// try-finally, verbatim text and expressions of every operator kind.
void FillBody(TPascalMethodWithImplementation* m, TPascalVariable* field, TPascalMethodParameter* x) {
    TPascalVariable* i = AddVariable(m->LocalDeclarations, u"I"_s, u"Integer"_s, true);
    TPascalVariable* y = AddVariable(m->LocalDeclarations, u"Y"_s, u"Integer"_s, true);
    AddVariable(m->LocalDeclarations, u"Index"_s, u"Integer"_s, true);
    TPascalCommands* body = m->Body;
    body->AddLetTo(y, u"0"_s);
    TPascalLet* start = body->AddLet();
    start->Target->AddCallTo(y);
    start->Value->AddCallTo(x);

    TPascalIf* branch = body->AddIf();
    TPascalCompareExpressionItem* both = branch->Condition->AddCompare(TPascalCompareKind::And);
    TPascalCompareExpressionItem* positive = both->Left->AddCompare(TPascalCompareKind::More);
    positive->Left->AddCallTo(y);
    positive->Right->AddInteger(0);
    TPascalCompareExpressionItem* small = both->Right->AddCompare(TPascalCompareKind::Less);
    small->Left->AddCallTo(x);
    small->Right->AddInteger(10);
    TPascalLet* thenLet = branch->ThenPart->AddLet();
    thenLet->Target->AddCallTo(field);
    TPascalOperationExpressionItem* plus = thenLet->Value->AddOperation(TPascalOperationKind::Add);
    plus->Left->AddCallTo(y);
    plus->Right->AddInteger(1);
    TPascalLet* elseLet = branch->ElsePart->AddLet();
    elseLet->Target->AddCallTo(field);
    TPascalOperationExpressionItem* minus = elseLet->Value->AddOperation(TPascalOperationKind::Subtract);
    minus->Left->AddCallTo(y);
    TPascalOperationExpressionItem* inner = minus->Right->AddOperation(TPascalOperationKind::Add);
    inner->Left->AddCallTo(x);
    inner->Right->AddInteger(1);

    TPascalCase* choice = body->AddCase();
    choice->Selector->AddCallTo(x);
    TPascalCaseItem* one = choice->Items->AddCaseItem();
    one->Values->AddInteger(1);
    one->Commands->AddLetTo(y, u"2"_s);
    TPascalCaseItem* two = choice->Items->AddCaseItem();
    two->Values->AddText(u"2, 3"_s);
    two->Commands->AddLetTo(y, u"3"_s);
    two->Commands->AddLetTo(field, u"4"_s);
    choice->ElsePart->AddLetTo(y, u"0"_s);

    TPascalWhile* loop = body->AddWhile();
    TPascalCompareExpressionItem* more = loop->Condition->AddCompare(TPascalCompareKind::More);
    more->Left->AddCallTo(y);
    more->Right->AddInteger(0);
    loop->Body->AddCall(u"Dec"_s)->AddArgument(TPascalParamKind::Var)->AddCallTo(y);

    TPascalFor* count = body->AddFor();
    count->Counter->AddCallTo(i);
    count->LowValue->AddInteger(0);
    TPascalOperationExpressionItem* last = count->HighValue->AddOperation(TPascalOperationKind::Subtract);
    last->Left->AddCallTo(x);
    last->Right->AddInteger(1);
    TPascalCallInCommands* add = count->Body->AddCall(u"Inc"_s);
    add->AddArgument(TPascalParamKind::Var)->AddCallTo(field);
    add->AddArgument()->AddCallTo(i);

    TPascalTryFinally* guarded = body->AddTryFinally();
    guarded->TryPart->AddCall(u"Inc"_s)->AddArgument(TPascalParamKind::Var)->AddCallTo(y);
    TPascalLet* total = guarded->FinallyPart->AddLet();
    total->Target->AddCallTo(field);
    TPascalOperationExpressionItem* sum = total->Value->AddOperation(TPascalOperationKind::Add);
    sum->Left->AddCallTo(field);
    sum->Right->AddCallTo(y);

    TPascalIf* leave = body->AddIf();
    TPascalItemInSetExpressionItem* in = leave->Condition->AddNot()->Operand->AddItemInSet();
    in->Item->AddCallTo(y);
    TPascalSetValueExpressionItem* set = in->SetValue->AddSetValue(TPascalBracketKind::Square);
    set->Values->AddInteger(1);
    set->Values->AddInteger(2);
    leave->ThenPart->AddCall(u"Exit"_s);
    body->AddText(u"FValue := FValue * 2"_s);
}

TNodePtr<TPascalUnit> BuildUnit(int classes) {
    TNodePtr<TPascalUnit> unit = CreatePascalUnit(u"BenchUnit"_s);
    unit->InterfaceClause->UsedUnits->AddUnit(u"SysUtils"_s);
    unit->InterfaceClause->UsedUnits->AddUnit(u"Classes"_s);
    TPascalDeclarations* types = unit->InterfaceClause->Declarations;
    TPascalDeclarations* code = unit->ImplementationClause->Declarations;
    for (int c = 0; c < classes; ++c) {
        const QString className = QStringLiteral("TBench%1").arg(c);
        TPascalClass* cls = AddClass(types, className, u"TObject"_s);
        TPascalVariable* field = cls->AddField(TPascalVisibility::Private, u"FValue"_s, u"Integer"_s);
        TPascalClassProperty* value = cls->AddProperty(TPascalVisibility::Public, u"Value"_s, u"Integer"_s);
        value->ReadAccess->AddCallTo(field);
        value->WriteAccess->AddCallTo(field);
        AddComment(code, className);
        for (int m = 0; m < 10; ++m) {
            TPascalMethodDeclaration* declaration =
                cls->AddMethod(TPascalVisibility::Public, TPascalMethodKind::Procedure, QStringLiteral("Method%1").arg(m));
            declaration->Head->AddParameter(TPascalParamKind::Value, u"X"_s, u"Integer"_s);
            if (m % 2) declaration->Head->AddDirective(TPascalDirective::Virtual);
            TPascalMethodWithImplementation* impl = ImplementDeclaration(code, declaration, className);
            FillBody(impl, field, static_cast<TPascalMethodParameter*>(impl->Head->Parameters->First()));
        }
    }
    return unit;
}

void BM_PascalWrite(benchmark::State& state) {
    qsizetype size = 0;
    // Timed: building, simplifying, naming and writing; freeing the model
    // afterwards is not part of the figure.
    for (auto _ : state) {
        TNodePtr<TPascalUnit> unit = BuildUnit(int(state.range(0)));
        const QString text = WritePascalModule(unit.get(), true);
        size = text.size();
        benchmark::DoNotOptimize(size);
        state.PauseTiming();
        unit.reset();
        state.ResumeTiming();
    }
    state.counters["chars"] = double(size);
}
BENCHMARK(BM_PascalWrite)->Arg(1000)->Arg(10000)->MinTime(2.0)->Apply(QuillaneFastestOf<3>)->Unit(benchmark::kMillisecond);

void BM_FpcCompile(benchmark::State& state) {
    if (QStandardPaths::findExecutable(u"fpc"_s).isEmpty()) {
        state.SkipWithError("no fpc");
        return;
    }
    QTemporaryDir dir;
    {
        TNodePtr<TPascalUnit> unit = BuildUnit(int(state.range(0)));
        QFile file(dir.filePath(u"BenchUnit.pas"_s));
        if (!file.open(QIODevice::WriteOnly)) {
            state.SkipWithError("cannot write the unit");
            return;
        }
        file.write(WritePascalModule(unit.get(), true).toUtf8());
    }
    // Compiles the unit; false when fpc refuses it.
    auto compile = [&dir] {
        QProcess fpc;
        fpc.setWorkingDirectory(dir.path());
        fpc.start(u"fpc"_s, {u"-Mdelphi"_s, u"-Sa"_s, u"-vew"_s, u"-FU"_s + dir.path(), dir.filePath(u"BenchUnit.pas"_s)});
        fpc.waitForFinished(-1);
        return fpc.exitStatus() == QProcess::NormalExit && fpc.exitCode() == 0;
    };
    // Warmed up as our side is: the compiler, its units and the source file
    // are in memory before the timing starts.
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
// Repeated as our side is.
BENCHMARK(BM_FpcCompile)->Arg(1000)->MinTime(2.0)->Apply(QuillaneFastestOf<3>)->Unit(benchmark::kMillisecond);

}  // namespace

QUILLANE_RATIO(pascal_write_vs_fpc_compile, "BM_PascalWrite/1000/min_time:2.000/repeats:3",
               "BM_FpcCompile/1000/min_time:2.000/repeats:3");
QUILLANE_GROWTH(pascal_unit_write, "BM_PascalWrite/10000/min_time:2.000/repeats:3",
                "BM_PascalWrite/1000/min_time:2.000/repeats:3");
