#include "prGenerationTestSupport.h"

#include "core/cuKnot.h"
#include "pascal/elements/prScheme.h"
#include "scheme/diClasses.h"
#include "scheme/diFilers.h"
#include "scheme/diMessages.h"


std::unique_ptr<TSheetDriver> ProgramDriver() {
    return std::make_unique<TSheetDriver>(ProgramSchemeDescriptor().GetRootClass(),
                                          ProgramSchemeDescriptor().GetKindName());
}

std::unique_ptr<TScheme> SaveAndLoadModule(TSheetDriver& driver, const QString& fileName) {
    driver.Save(TStoreMode::File, fileName);
    return LoadModuleFile(driver.FilePath(fileName));
}

std::unique_ptr<TScheme> LoadModuleFile(const QString& path) {
    auto scheme = std::make_unique<TScheme>(ProgramSchemeDescriptor().GetRootClass(),
                                            ProgramSchemeDescriptor().GetKindName());
    TElementMessages messages;
    scheme->SetMessages(&messages);
    scheme->LoadFromFile(path);
    scheme->SetMessages(nullptr);
    return scheme;
}

TGenerated Generate(TScheme* scheme, const QString& moduleName, bool simplify) {
    TGenerated generated;
    TElementMessages messages;
    generated.Text = GeneratePascalUnit(scheme->Root(), {moduleName, simplify, &messages});
    for (int i = 0; i < messages.GetCount(); ++i)
        if (messages.GetItem(i)->Kind() >= mkWarning)
            generated.Messages << messages.GetItem(i)->GetText();
    return generated;
}
