// Type declarations and classes with visibility sections, properties and
// events.

#include "psTestSupport.h"

#include <gtest/gtest.h>

namespace {

using enum TPascalParamKind;
using enum TPascalMethodKind;
using enum TPascalDirective;
using enum TPascalVisibility;

TEST(PascalTypes, EveryTypeDeclarationForm) {
    auto unit = CreatePascalUnit(S("TypeForms"));
    TPascalDeclarations* d = unit->InterfaceClause->Declarations;
    TPascalEnum* colors = AddEnum(d, S("TColor"), {S("clRed"), S("clGreen")});
    colors->AddItem(S("clBlue"))->Value->AddInteger(5);
    static_cast<TPascalEnumItem*>(colors->First())->Comment = S("first");
    colors->Comment = S("never written");
    TPascalSetOf* set = CreateNamedNode<TPascalSetOf>(d, S("TColors"));
    set->ElementType->AddCallTo(colors);
    TPascalRecord* point = AddRecord(d, S("TPoint2"));
    point->AddField(S("X"), S("Integer"))->Comment = S("across");
    point->AddField(S("Y"), S("Integer"));
    point->Comment = S("a point");
    TPascalArray* dynamicArray = CreateNamedNode<TPascalArray>(d, S("TPoints"));
    dynamicArray->ElementType->AddCallTo(point);
    TPascalArray* staticArray = CreateNamedNode<TPascalArray>(d, S("TBytes10"));
    staticArray->Dynamic = false;
    staticArray->LowBound->AddInteger(0);
    staticArray->HighBound->AddInteger(9);
    staticArray->ElementType->AddText(S("Byte"));
    TPascalPointer* pointer = CreateNamedNode<TPascalPointer>(d, S("PPoint2"));
    pointer->TargetType->AddCallTo(point);
    AddTypeAlias(d, S("TCount"), S("Integer"))->Comment = S("how many");
    TPascalMethodType* handler = AddMethodType(d, S("THandler"), Function, true);
    handler->Head->AddParameter(Value, S("Sender"), S("TObject"));
    handler->Head->ResultType->AddText(S("Boolean"));
    handler->Head->AddDirective(Stdcall);
    TPascalMethodType* plain = AddMethodType(d, S("TPlain"), Procedure, false);
    plain->Head->AddDirective(Cdecl);
    CreateNamedNode<TPascalClassPredeclaration>(d, S("TNode2"));
    TPascalClassOf* classOf = CreateNamedNode<TPascalClassOf>(d, S("TNode2Class"));
    classOf->ClassName->AddText(S("TNode2"));
    AddClass(d, S("TNode2"), S("TObject"));
    AddClass(d, S("TBare"));
    // Without a parent the interfaces alone stand in the brackets.
    AddClass(d, S("TOnly"))->AddInterface(S("IInterface"));
    TPascalClass* abstract = AddClass(d, S("TAbstract"), S("TInterfacedObject"));
    abstract->Abstract = true;
    abstract->AddInterface(S("IInterface"));
    abstract->AddInterface(S("IUnknown"));
    CreateNamedNode<TPascalInterfacePredeclaration>(d, S("IShape"));

    ExpectGoldenUnit(WritePascalModule(unit.get(), false), S("TypeForms"));
    // A forward interface declaration needs its interface in the same
    // section, and interfaces their methods; the compiler check uses the
    // unit without them.
    for (int i = 0; i < 3; ++i) d->Last()->Free();
    CompiledUnit(unit.get());
}

// A field after a constant of its section would be read as a constant; a
// field after a routine or a property is refused by the compiler.
TEST(PascalClasses, FieldsAfterConstantsRoutinesAndPropertiesGetAVarHeader) {
    auto unit = CreatePascalUnit(S("FieldOrder"));
    TPascalClass* c = AddClass(unit->InterfaceClause->Declarations, S("TFields"), S("TObject"));
    TPascalDeclarations* section = c->GetSection(Public);
    AddConstant(section, S("Step"), S("2"));
    AddVariable(section, S("FAfterConst"), S("Integer"));
    AddMethodDeclaration(section, Procedure, S("Run"));
    AddVariable(section, S("FAfterMethod"), S("Integer"));
    TPascalClassProperty* p = c->AddProperty(Public, S("AfterConst"), S("Integer"));
    p->ReadAccess->AddText(S("FAfterConst"));
    AddVariable(section, S("FAfterProperty"), S("Integer"));
    ImplementDeclaration(unit->ImplementationClause->Declarations,
                         static_cast<TPascalMethodDeclaration*>(section->FindNamed(S("Run"))), S("TFields"));
    ExpectGoldenUnit(CompiledUnit(unit.get()), S("FieldOrder"));
}

// A class property reads through static class methods; the directive makes
// that expressible.
TEST(PascalClasses, ClassPropertiesWithStaticAccessors) {
    auto unit = CreatePascalUnit(S("ClassProps"));
    TPascalClass* c = AddClass(unit->InterfaceClause->Declarations, S("TCounter"), S("TObject"));
    TPascalMethodDeclaration* get = c->AddMethod(Private, ClassFunction, S("GetTotal"), S("Integer"));
    get->Head->AddDirective(Static);
    TPascalMethodDeclaration* set = c->AddMethod(Private, ClassProcedure, S("SetTotal"));
    set->Head->AddParameter(Value, S("Value"), S("Integer"));
    set->Head->AddDirective(Static);
    TPascalClassProperty* total = c->AddProperty(Public, S("Total"), S("Integer"));
    total->IsClassProperty = true;
    total->ReadAccess->AddCallTo(get);
    total->WriteAccess->AddCallTo(set);
    TPascalDeclarations* code = unit->ImplementationClause->Declarations;
    TPascalVariable* store = AddVariable(code, S("Store"), S("Integer"));
    TPascalMethodWithImplementation* getter = ImplementDeclaration(code, get, S("TCounter"));
    AddStatements(getter->Body, getter, S("(let Result Store)"));
    TPascalMethodWithImplementation* setter = ImplementDeclaration(code, set, S("TCounter"));
    setter->Body->AddLetTo(store, S("Value"));
    ExpectGoldenUnit(CompiledUnit(unit.get()), S("ClassProps"));
}

// The compiler takes property specifiers in this order: index, read, write,
// stored, default or nodefault. The class also holds strict sections, a
// field added after a routine of its section, a default array property and a
// commented event property.
TEST(PascalClasses, PropertySpecifiersInCompilerOrder) {
    auto unit = CreatePascalUnit(S("PropOrder"));
    TPascalClass* c = AddClass(unit->InterfaceClause->Declarations, S("TOrdered"), S("TPersistent"));
    unit->InterfaceClause->UsedUnits->AddUnit(S("Classes"));
    TPascalMethodDeclaration* get = c->AddMethod(Private, Function, S("GetP"), S("Integer"));
    get->Head->AddParameter(Value, S("Index"), S("Integer"));
    TPascalMethodDeclaration* set = c->AddMethod(Private, Procedure, S("SetP"));
    set->Head->AddParameter(Value, S("Index"), S("Integer"));
    set->Head->AddParameter(Value, S("Value"), S("Integer"));
    TPascalVariable* onChange = c->AddField(Private, S("FOnChange"), S("TNotifyEvent"));
    c->AddField(StrictPrivate, S("FSecret"), S("Integer"));
    TPascalMethodDeclaration* hidden = c->AddMethod(StrictProtected, Procedure, S("Hidden"));
    TPascalClassProperty* p = c->AddProperty(Published, S("L"), S("Integer"));
    p->HasIndex = true;
    p->IndexNumber = 1;
    p->ReadAccess->AddCallTo(get);
    p->WriteAccess->AddCallTo(set);
    p->StoredValue->AddBoolean(true);
    p->DefaultValue->AddInteger(0);
    TPascalClassProperty* q = c->AddProperty(Published, S("Top"), S("Integer"));
    q->HasIndex = true;
    q->IndexNumber = 2;
    q->ReadAccess->AddCallTo(get);
    q->NoDefault = true;
    TPascalClassProperty* items = c->AddProperty(Public, S("Items"), S("Integer"));
    items->IndexParameters->AddParameter(Value, S("Index"), S("Integer"));
    items->ReadAccess->AddCallTo(get);
    items->IsDefaultProperty = true;
    TPascalClassProperty* change = c->AddProperty(Published, S("OnChange"), S("TNotifyEvent"));
    change->ReadAccess->AddCallTo(onChange);
    change->WriteAccess->AddCallTo(onChange);
    change->Comment = S("fired");
    TPascalDeclarations* code = unit->ImplementationClause->Declarations;
    AddComment(code, S("TOrdered"));
    ImplementDeclaration(code, get, S("TOrdered"))->Body->AddText(S("Result := Index"));
    ImplementDeclaration(code, set, S("TOrdered"));
    ImplementDeclaration(code, hidden, S("TOrdered"));
    hidden->Name = S("Concealed");  // the implementation follows the declaration's name
    ExpectGoldenUnit(CompiledUnit(unit.get()), S("PropOrder"));
}

}  // namespace
