#pragma once
// The Pascal generator that makes a unit: public declarations in its
// interface, private ones in its implementation, unit-level statements in its
// initialization and finalization. It writes the unit into a writer it is
// given (the preview's), or into the output file.
//   TPascalUnitGeneratorWorker  the worker
//   GeneratePascalUnit          one run on a scheme's root: prepare, generate,
//                               write; answers the unit's text
//   LoadPrivateCopy             a scheme saved and loaded again into a scheme
//                               of its own: what generation runs on

#include "pascal/generation/prCustomPascalGenerator.h"

#include <memory>

class TScheme;

class TPascalUnitGeneratorWorker : public TCustomPascalGeneratorWorker {
public:
    // The unit's name; empty: the output file's name, else "Unit1".
    QString ModuleName;
    // When set, the unit is written into it instead of into a file (not owned).
    TPascalCodeWriter* Writer = nullptr;

protected:
    void CreateModule(TPascalModuleParts& parts) override;
    TPascalUnitClause* GetClause(TVisibility visibility) override;
    QString GetModuleName() override;
    void WriteOutput() override;
};

// The options of one run of GeneratePascalUnit.
struct TPascalUnitRun {
    QString ModuleName;
    bool Simplify = false;
    TElementMessages* Messages = nullptr;  // not owned; nil: nothing reported
};

// Generates the unit of the program module whose root is given (a root of a
// private copy) and answers its text.
QString GeneratePascalUnit(TElement* root, const TPascalUnitRun& run);

// A copy of the scheme made through its snapshot, with no undo history:
// generation replaces values in the scheme it walks. The copy keeps the
// file name and the answer to connected schemes of the original.
std::unique_ptr<TScheme> LoadPrivateCopy(TScheme* scheme);
