#pragma once
// The root of a code model: the unit with its clauses, used units and
// initialization and finalization statements, and the pass that turns
// provisional names into unique ones before writing.

#include "pascal/generator/psTypes.h"

class TPascalUsedUnit : public TPascalNamedNode {
    T_CLASS(TPascalUsedUnit)
public:
    static constexpr TPascalKind StaticKind = TPascalKind::UsedUnit;
    TPascalUsedUnit() noexcept : TPascalNamedNode(TPascalKind::UsedUnit) {}
    void Write(TPascalCodeWriter& writer) override;
};

class TPascalUsedUnits : public TPascalNode {
    T_CLASS(TPascalUsedUnits)
public:
    static constexpr TPascalKind StaticKind = TPascalKind::UsedUnits;
    TPascalUsedUnits() noexcept : TPascalNode(TPascalKind::UsedUnits, false) {}
    // The first unit with that name; unit names compare without case, as the
    // compiler compares them.
    TPascalUsedUnit* FindUnit(const QString& name) const;
    // Appends a unit unless one of that name is there; answers the unit.
    TPascalUsedUnit* AddUnit(const QString& name);
    // "uses", the names (a name twice, or one the interface already uses, is
    // left out), ";" and an empty line; nothing without units.
    void Write(TPascalCodeWriter& writer) override;
};

class TPascalUnitClause : public TPascalNode {
    T_CLASS(TPascalUnitClause)
public:
    static constexpr TPascalKind StaticKind = TPascalKind::UnitClause;
    TPascalUnitClause() noexcept : TPascalNode(TPascalKind::UnitClause, false) {}
    TPascalUsedUnits* UsedUnits = nullptr;
    TPascalDeclarations* Declarations = nullptr;
    void Create() override;
    void Write(TPascalCodeWriter& writer) override;
};

class TPascalModule : public TPascalNamedNode {
    T_CLASS(TPascalModule)
public:
    static constexpr TPascalKind StaticKind = TPascalKind::Module;
    TPascalModule() noexcept : TPascalNamedNode(TPascalKind::Module) {}

protected:
    explicit TPascalModule(TPascalKind kind) noexcept : TPascalNamedNode(kind) {}
};

class TPascalUnit : public TPascalModule {
    T_CLASS(TPascalUnit)
public:
    static constexpr TPascalKind StaticKind = TPascalKind::Unit;
    TPascalUnit() noexcept : TPascalModule(TPascalKind::Unit) {}
    TPascalUnitClause* InterfaceClause = nullptr;
    TPascalUnitClause* ImplementationClause = nullptr;
    TPascalCommands* Initialization = nullptr;
    TPascalCommands* Finalization = nullptr;
    void Create() override;
    void Write(TPascalCodeWriter& writer) override;
};

// A new unit model with that name.
TNodePtr<TPascalUnit> CreatePascalUnit(const QString& name);

// Whether the name is a word Free Pascal's Delphi mode reserves (ASCII
// letters compared without case); such a name is written with "&" before it.
bool IsPascalReservedWord(const QString& name);

// The unique-name pass: every provisional name of the module, in pre-order,
// is changed until no fixed name in its scope equals it (ASCII letters
// compare without case) and then becomes fixed itself.
void MakeNamesUnique(TPascalModule* module);

// Simplifies (when asked), makes names unique and writes the module into a
// new Pascal writer; answers the text.
QString WritePascalModule(TPascalModule* module, bool simplify);
