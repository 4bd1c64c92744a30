#include "pascal/generation/prPascalUnitGenerator.h"

#include "core/cuCodeWriters.h"
#include "core/cuKnot.h"
#include "core/cuRegions.h"
#include "scheme/diClasses.h"
#include "scheme/diFilers.h"

namespace {

const QString kDefaultUnitName = QStringLiteral("Unit1");

}  // namespace

void TPascalUnitGeneratorWorker::CreateModule(TPascalModuleParts& parts) {
    TNodePtr<TPascalUnit> unit = CreateRootNode<TPascalUnit>();
    parts.InterfaceClause = unit->InterfaceClause;
    parts.ImplementationClause = unit->ImplementationClause;
    parts.InitializationCommands = unit->Initialization;
    parts.FinalizationCommands = unit->Finalization;
    parts.Module.reset(unit.release());
}

TPascalUnitClause* TPascalUnitGeneratorWorker::GetClause(TVisibility visibility) {
    return visibility == TVisibility::Public ? Parts().InterfaceClause : Parts().ImplementationClause;
}

QString TPascalUnitGeneratorWorker::GetModuleName() {
    if (!ModuleName.isEmpty()) return ModuleName;
    const QString fromFile = TCustomPascalGeneratorWorker::GetModuleName();
    return fromFile.isEmpty() ? kDefaultUnitName : fromFile;
}

void TPascalUnitGeneratorWorker::WriteOutput() {
    if (!Writer) {
        TCustomPascalGeneratorWorker::WriteOutput();
        return;
    }
    WriteModule(*Writer);
}

QString GeneratePascalUnit(TElement* root, const TPascalUnitRun& run) {
    TPascalUnitGeneratorWorker worker;
    auto writer = std::make_unique<TPascalCodeWriter>();
    worker.Root = root;
    worker.ModuleName = run.ModuleName;
    worker.Simplify = run.Simplify;
    worker.Writer = writer.get();
    worker.SetMessages(run.Messages);
    worker.Prepare();
    worker.BeforeGenerate();
    worker.Generate();
    return writer->Text(u"\n");
}

std::unique_ptr<TScheme> LoadPrivateCopy(TScheme* scheme) {
    TNodePtr<TKnot> knot = TKnot::Create();
    scheme->SaveRootToKnot(knot.get(), fmSnapshot, 0);
    auto copy = std::make_unique<TScheme>(scheme->RootClass(), scheme->Name());
    // Relative file names and connected modules resolve as in the original.
    copy->SetFileName(scheme->FileName());
    copy->OnGetConnectedScheme = scheme->OnGetConnectedScheme;
    TSchemeLoader loader(copy.get(), nullptr, knot.get(), 0, fmSnapshot);
    // The walks of the run read the copy in the order of its tree.
    TRegionScope regions;
    copy->Root()->LoadFrom(&loader, knot.get());
    loader.Finish();
    return copy;
}
