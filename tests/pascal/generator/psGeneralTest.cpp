// The node base, and constants, variables, parameters, routine heads and
// routines with a body.

#include "psTestSupport.h"

#include <gtest/gtest.h>

namespace {

using enum TPascalParamKind;
using enum TPascalMethodKind;
using enum TPascalDirective;
using enum TPascalVisibility;

TEST(PascalNode, CreateNodeByClassReferenceRunsCreateAndInsertsBefore) {
    auto list = CreateRootNode<TPascalCommands>();
    TPascalNode* last = list->AddText(S("Last"));
    auto* let = PascalAs<TPascalLet>(CreateNode(list.get(), TPascalLet::StaticClass(), last));
    ASSERT_NE(let, nullptr);
    EXPECT_EQ(list->First(), let);
    EXPECT_EQ(let->Target->Mode, Out);
    EXPECT_THROW(CreateNode(list.get(), TNode::StaticClass()), Exception);
}

// Parameters of one kind and type join; every directive is written in the
// order of its bit.
TEST(PascalMethodHeads, ParametersJoinByKindAndTypeAndEveryDirectiveInBitOrder) {
    auto d = CreateRootNode<TPascalDeclarations>();
    TPascalMethodDeclaration* m = AddMethodDeclaration(d.get(), Function, S("Mix"), S("Integer"));
    for (const char* name : {"A", "B", "C"}) m->Head->AddParameter(Value, S(name), S("Integer"));
    m->Head->AddParameter(Const, S("S"), S("string"));
    m->Head->AddParameter(Const, S("T"), S("string"));
    m->Head->AddParameter(Var, S("V"), S("Integer"));
    m->Head->AddParameter(Out, S("O"), S("Integer"));
    m->Head->AddParameter(Var, S("Untyped"));
    m->Head->AddParameter(Value, S("D1"), S("Integer"))->DefaultValue->AddInteger(0);
    m->Head->AddParameter(Value, S("D2"), S("Integer"))->DefaultValue->AddInteger(1);
    m->Head->Directives = (TPascalDirectives(1) << PascalDirectiveCount) - 1;
    m->Comment = S("every word");
    EXPECT_EQ(WriteToText(m),
              Lines({"{ every word }",
                     "function Mix(A, B, C: Integer; const S, T: string; var V: Integer; out O: Integer;",
                     "  var Untyped; D1: Integer = 0; D2: Integer = 1): Integer; inline; overload; dynamic; virtual; "
                     "abstract; override; reintroduce; forward; deprecated; platform; local; register; pascal; cdecl; "
                     "stdcall; safecall; fastcall; assembler; export; near; far; static;"}));
}

// An implementation head repeats at most the calling convention: "virtual",
// "override", "abstract", "dynamic", "reintroduce" there do not compile.
TEST(PascalMethods, ImplementationHeadsRepeatOnlyTheCallingConvention) {
    auto unit = CreatePascalUnit(S("ImplHeads"));
    TPascalDeclarations* types = unit->InterfaceClause->Declarations;
    TPascalClass* base = AddClass(types, S("TBase"), S("TObject"));
    TPascalMethodDeclaration* run = base->AddMethod(Public, Procedure, S("Run"));
    run->Head->AddParameter(Value, S("X"), S("Integer"));
    run->Head->AddDirective(Virtual);
    run->Head->AddDirective(Overload);
    run->Head->AddDirective(Stdcall);
    TPascalMethodDeclaration* make = base->AddMethod(Public, ClassFunction, S("Make"), S("TBase"));
    make->Head->AddDirective(Dynamic);
    TPascalClass* derived = AddClass(types, S("TDerived"), S("TBase"));
    TPascalMethodDeclaration* over = derived->AddMethod(Public, Procedure, S("Run"));
    over->Head->AddParameter(Value, S("X"), S("Integer"));
    over->Head->Directives = PascalDirective(Override) | PascalDirective(Stdcall);
    TPascalMethodDeclaration* again = derived->AddMethod(Public, ClassFunction, S("Make"), S("TBase"));
    again->Head->AddDirective(Reintroduce);
    TPascalMethodDeclaration* gone = derived->AddMethod(Public, Procedure, S("Gone"));
    gone->Head->Directives = PascalDirective(Virtual) | PascalDirective(Abstract);

    TPascalDeclarations* code = unit->ImplementationClause->Declarations;
    ImplementDeclaration(code, run, S("TBase"));
    ImplementDeclaration(code, make, S("TBase"))->Body->AddText(S("Result := nil"));
    ImplementDeclaration(code, over, S("TDerived"))->Body->AddText(S("inherited"));
    ImplementDeclaration(code, again, S("TDerived"))->Body->AddText(S("Result := nil"));
    // A routine without a declaration keeps the directives a body may carry.
    TPascalMethodWithImplementation* local = AddMethodImplementation(code, Function, S("Twice"), S("Integer"));
    local->Head->AddParameter(Value, S("X"), S("Integer"));
    local->Head->Directives = PascalDirective(Inline) | PascalDirective(Virtual) | PascalDirective(Cdecl);
    local->Body->AddText(S("Result := X * 2"));

    ExpectGoldenUnit(CompiledUnit(unit.get()), S("ImplHeads"));
}

TEST(PascalMethods, RoutineWithBodyJoinedLocalsAndComment) {
    auto d = CreateRootNode<TPascalDeclarations>();
    TPascalMethodWithImplementation* m = AddMethodImplementation(d.get(), Function, S("Sum"), S("Integer"));
    m->Comment = S("adds");
    // Joining stops at a non-variable; an initialised variable stands alone.
    AddStatements(m->Body, m, S("(const Limit 10) (var A Integer) (var B string) (var C Integer)"));
    AddVariable(m->LocalDeclarations, S("D"), S("Integer"))->Comment = S("own line");
    AddStatements(m->Body, m, S("(var E string) (const K 1) (var F Integer)"));
    AddVariable(m->LocalDeclarations, S("G"), S("Integer"))->Value->AddInteger(3);
    AddStatements(m->Body, m, S("(var H Integer) (let Result Limit)"));
    m->Simplify();
    EXPECT_EQ(WriteToText(d.get()), Lines({"function Sum: Integer;", "const", "  Limit = 10;", "var",
                                           "  A, C: Integer;", "  B, E: string;", "  D: Integer; { own line }",
                                           "const", "  K = 1;", "var", "  F, H: Integer;", "  G: Integer = 3;",
                                           "begin", "  { adds }", "  Result := Limit;", "end;", ""}));
}

}  // namespace
