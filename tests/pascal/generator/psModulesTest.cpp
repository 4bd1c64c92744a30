// The unit layout, used units, and the unique-name pass.

#include "psTestSupport.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using enum TPascalParamKind;
using enum TPascalMethodKind;
using enum TPascalVisibility;

TEST(PascalHarness, RefusesAUnitThatDoesNotCompile) {
    if (!TFpcHarness::Available()) GTEST_SKIP() << "no fpc";
    TFpcHarness fpc;
    fpc.Add(S("Broken"), S("unit Broken;\ninterface\nimplementation\nprocedure P;\nbegin\n  X := 1;\nend;\nend.\n"));
    EXPECT_FALSE(fpc.CompileAndRun(QString(), nullptr).isEmpty());
}

TEST(PascalUnit, FullLayoutWithUsesForwardDeclarationsAndSections) {
    auto unit = CreatePascalUnit(S("Full"));
    unit->Comment = S("generated");
    unit->InterfaceClause->UsedUnits->AddUnit(S("SysUtils"));
    unit->InterfaceClause->UsedUnits->AddUnit(S("Classes"))->Comment = S("lists");
    unit->ImplementationClause->UsedUnits->AddUnit(S("Math"));
    TPascalDeclarations* types = unit->InterfaceClause->Declarations;
    CreateNamedNode<TPascalClassPredeclaration>(types, S("TFoo"));
    TPascalClass* foo = AddClass(types, S("TFoo"), S("TObject"));
    // One "const" header for two constants (not spaced), then "type" (two
    // types spaced) and "var", sections apart; attached comments stay in
    // their entry's section; a free comment closes the "var" section and the
    // next variable opens another.
    TPascalDeclarations* code = unit->ImplementationClause->Declarations;
    AddConstant(code, S("Limit"), S("5"));
    TPascalConstant* typed = AddConstant(code, S("Names"), S("('a', 'b')"));
    typed->TypeName->AddText(S("array[0..1] of string"));
    typed->Comment = S("two");
    AddComment(code, S("after Names"))->Attachment = TPascalCommentAttachment::ToPrevious;
    AddTypeAlias(code, S("TCount"), S("Integer"));
    AddTypeAlias(code, S("TSmall"), S("Byte"));
    AddComment(code, S("before Foo"))->Attachment = TPascalCommentAttachment::ToNext;
    TPascalVariable* variable = AddVariable(code, S("Foo"), QString());
    variable->TypeName->AddCallTo(foo);
    AddVariable(code, S("Ratio"), S("Double"))->Value->AddText(S("0.5"));
    AddComment(code, S("between"));
    AddVariable(code, S("Count"), S("Integer"))->Comment = S("items");
    TPascalLet* create = unit->Initialization->AddLet();
    create->Target->AddCallTo(variable);
    create->Value->AddCallEx(QString(), foo, S(".Create"));
    unit->Finalization->AddCallEx(QString(), variable, S(".Free"));
    ExpectGoldenUnit(CompiledUnit(unit.get()), S("Full"));
}

// The names are written one by one, each too short for the writer to break
// on its own; the list must still wrap at the line length.
TEST(PascalUnit, UsesListWrapsAtTheLineLength) {
    auto unit = CreatePascalUnit(S("ManyUses"));
    TFpcHarness fpc;
    for (int i = 1; i <= 12; ++i) {
        const QString name = QStringLiteral("UnitNumber%1").arg(i, 2, 10, QLatin1Char('0'));
        unit->InterfaceClause->UsedUnits->AddUnit(name);
        fpc.Add(name, QStringLiteral("unit %1;\ninterface\nimplementation\nend.\n").arg(name));
    }
    ExpectGoldenUnit(CompiledUnit(unit.get(), false, std::move(fpc)), S("ManyUses"));
}

// The compiler compares unit names without case: "sysutils" beside
// "SysUtils" is a duplicate identifier.
TEST(PascalUnit, UnitNamesCompareWithoutCase) {
    auto unit = CreatePascalUnit(S("UsesCase"));
    TPascalUsedUnits* interfaceUnits = unit->InterfaceClause->UsedUnits;
    TPascalUsedUnit* sysUtils = interfaceUnits->AddUnit(S("sysutils"));
    EXPECT_EQ(interfaceUnits->AddUnit(S("SysUtils")), sysUtils);
    EXPECT_EQ(interfaceUnits->FindUnit(S("SYSUTILS")), sysUtils);
    EXPECT_EQ(interfaceUnits->FindUnit(S("Classes")), nullptr);
    // Units placed directly (not through AddUnit) are still written once, and
    // the implementation does not repeat what the interface uses.
    CreateNamedNode<TPascalUsedUnit>(interfaceUnits, S("SysUtils"));
    CreateNode<TPascalUsedUnit>(unit->ImplementationClause->UsedUnits)->Name = S("SYSUTILS");
    unit->ImplementationClause->UsedUnits->AddUnit(S("Math"));
    // A finalization part alone still writes an initialization section.
    unit->Finalization->AddCall(S("Writeln"));
    ExpectGoldenUnit(CompiledUnit(unit.get()), S("UsesCase"));
}

// ---------------------------------------------------------------------------
// Unique names

class PascalUniqueNames : public ::testing::Test {
protected:
    PascalUniqueNames() : unit(CreatePascalUnit(S("Names"))) {
        code = unit->ImplementationClause->Declarations;
        routine = AddMethodImplementation(code, Procedure, S("Run"));
    }
    TPascalVariable* Local(const char* name, bool provisional, TPascalMethodWithImplementation* m = nullptr) {
        return AddVariable((m ? m : routine)->LocalDeclarations, S(name), S("Integer"), provisional);
    }

    TNodePtr<TPascalUnit> unit;
    TPascalDeclarations* code;
    TPascalMethodWithImplementation* routine;
};

// Each row of tests/data/pascal/UniqueNames.txt declares the locals of one
// routine and lists their names after the pass; every local is assigned
// once, so each assignment must follow its local's new name.
TEST_F(PascalUniqueNames, LocalsOfOneScopeTable) {
    struct TRow {
        std::string what;
        QStringList names;
        std::vector<std::pair<TPascalVariable*, TPascalLet*>> made;
    };
    std::vector<TRow> rows;
    for (const QString& line : TestData(S("UniqueNames.txt")).split(u'\n')) {
        const qsizetype colon = line.indexOf(u": "), arrow = line.indexOf(u" => ");
        if (arrow < 0) continue;
        TRow& row = rows.emplace_back(TRow{line.left(colon).toStdString(), line.mid(arrow + 4).split(u' '), {}});
        TPascalMethodWithImplementation* m = AddMethodImplementation(code, Procedure, line.left(colon).remove(u' '));
        for (QString wish : line.mid(colon + 2, arrow - colon - 2).split(u' ')) {
            const bool provisional = wish.endsWith(u'?');
            TPascalVariable* v = Local(wish.remove(u'?').toUtf8().constData(), provisional, m);
            row.made.emplace_back(v, m->Body->AddLetTo(v, S("1")));
        }
    }
    MakeNamesUnique(unit.get());
    for (const TRow& row : rows) {
        ASSERT_EQ(row.made.size(), size_t(row.names.size())) << row.what;
        for (size_t i = 0; i < row.made.size(); ++i) {
            const auto& [v, let] = row.made[i];
            EXPECT_EQ(v->Name, row.names[qsizetype(i)]) << row.what;
            EXPECT_FALSE(v->Provisional) << row.what;
            EXPECT_EQ(WriteToText(let), row.names[qsizetype(i)] + S(" := 1;\n")) << row.what;
        }
    }
    CompiledUnit(unit.get());
}

TEST_F(PascalUniqueNames, ManyEqualWishesInOneScope) {
    Local("Value", false);
    Local("Value2", false);
    QList<TPascalVariable*> wishes;
    for (int i = 0; i < 3000; ++i) wishes.append(Local("Value", true));
    MakeNamesUnique(unit.get());
    EXPECT_EQ(wishes[0]->Name, S("Value1"));
    EXPECT_EQ(wishes[1]->Name, S("Value3"));
    EXPECT_EQ(wishes[2999]->Name, S("Value3001"));
}

// The scope of a local holds what its body may use: both clauses'
// declarations, enumeration items, the routine's parameters and the members
// of its class and the class's ancestors.
TEST_F(PascalUniqueNames, ScopeHoldsClausesEnumItemsParametersClassMembersAndOuterRoutines) {
    TPascalDeclarations* types = unit->InterfaceClause->Declarations;
    AddConstant(types, S("Limit"), S("10"));
    AddEnum(types, S("TColor"), {S("clRed"), S("clBlue")});
    TPascalClass* base = AddClass(types, S("TBase"), S("TObject"));
    base->AddField(Protected, S("Value"), S("Integer"));
    TPascalClass* derived = AddClass(types, S("TDerived"));
    derived->Parent->AddCallTo(base);
    derived->AddField(Private, S("FCount"), S("Integer"));
    TPascalMethodDeclaration* work = derived->AddMethod(Public, Procedure, S("Work"));
    work->Head->AddParameter(Value, S("Item"), S("Integer"));
    TPascalClassProperty* count = derived->AddProperty(Public, S("Count"), S("Integer"));
    count->ReadAccess->AddText(S("FCount"));

    TPascalMethodWithImplementation* m = ImplementDeclaration(code, work, S("TDerived"));
    const std::pair<TPascalVariable*, const char*> expected[] = {
        {Local("Limit", true, m), "Limit1"},  {Local("clRed", true, m), "clRed1"},
        {Local("Item", true, m), "Item1"},    {Local("Value", true, m), "Value1"},
        {Local("Count", true, m), "Count1"},  {Local("Result", true, routine), "Result1"},
        {Local("Names", true, routine), "Names1"},
        // A nested routine sees the locals of its outer routine.
        {Local("Outer", false, m), "Outer"},
        {Local("outer", true, AddMethodImplementation(m->LocalDeclarations, Procedure, S("Inner"))), "outer1"},
        // Provisional declarations at unit level meet later locals; the
        // interface clause is named first.
        {AddVariable(code, S("Total"), S("Integer"), true, routine), "Total1"},
        {Local("Total", true), "Total2"},
        {AddVariable(types, S("Total"), S("Integer"), true), "Total"},
    };
    MakeNamesUnique(unit.get());
    for (const auto& [local, name] : expected) EXPECT_EQ(local->Name, S(name));
    CompiledUnit(unit.get());
}

}  // namespace
