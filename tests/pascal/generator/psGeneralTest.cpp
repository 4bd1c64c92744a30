// Constants, variables, parameters, routine heads and routines with a body.

#include "pascal/generator/psModules.h"

#include <gtest/gtest.h>

#include "psTestSupport.h"

namespace {

TEST(PascalConstantsAndVariables, WrittenForms) {
    auto d = CreateRootNode<TPascalDeclarations>();
    AddConstant(d.get(), S("N"), S("5"));
    TPascalConstant* typed = AddConstant(d.get(), S("Names"), S("('a', 'b')"));
    typed->TypeName->AddText(S("array[0..1] of string"));
    typed->Comment = S("two");
    AddVariable(d.get(), S("Count"), S("Integer"))->Comment = S("items");
    TPascalVariable* initial = AddVariable(d.get(), S("Ratio"), S("Double"));
    initial->Value->AddText(S("0.5"));
    EXPECT_EQ(WriteToText(d.get()), Lines({"N = 5;", "Names: array[0..1] of string = ('a', 'b'); { two }",
                                           "Count: Integer; { items }", "Ratio: Double = 0.5;"}));
}

TEST(PascalMethodHeads, ParametersJoinByKindAndType) {
    auto d = CreateRootNode<TPascalDeclarations>();
    TPascalMethodDeclaration* m = AddMethodDeclaration(d.get(), TPascalMethodKind::Function, S("Mix"), S("Integer"));
    for (const char* name : {"A", "B", "C"}) m->Head->AddParameter(TPascalParamKind::Value, S(name), S("Integer"));
    m->Head->AddParameter(TPascalParamKind::Const, S("S"), S("string"));
    m->Head->AddParameter(TPascalParamKind::Const, S("T"), S("string"));
    m->Head->AddParameter(TPascalParamKind::Var, S("V"), S("Integer"));
    m->Head->AddParameter(TPascalParamKind::Out, S("O"), S("Integer"));
    m->Head->AddParameter(TPascalParamKind::Var, S("Untyped"));
    m->Head->AddParameter(TPascalParamKind::Value, S("D1"), S("Integer"))->DefaultValue->AddInteger(0);
    m->Head->AddParameter(TPascalParamKind::Value, S("D2"), S("Integer"))->DefaultValue->AddInteger(1);
    EXPECT_EQ(WriteToText(m), Lines({"function Mix(A, B, C: Integer; const S, T: string; var V: Integer; out O: Integer;",
                                     "  var Untyped; D1: Integer = 0; D2: Integer = 1): Integer;"}));
}

TEST(PascalMethodHeads, KindsAndEveryDirectiveInBitOrder) {
    auto d = CreateRootNode<TPascalDeclarations>();
    const std::pair<TPascalMethodKind, const char*> kinds[] = {{TPascalMethodKind::Procedure, "procedure P;"},
                                                     {TPascalMethodKind::Function, "function P: Integer;"},
                                                     {TPascalMethodKind::ClassProcedure, "class procedure P;"},
                                                     {TPascalMethodKind::ClassFunction, "class function P: Integer;"},
                                                     {TPascalMethodKind::Constructor, "constructor P;"},
                                                     {TPascalMethodKind::Destructor, "destructor P;"}};
    for (const auto& [kind, text] : kinds) {
        TPascalMethodDeclaration* m = AddMethodDeclaration(d.get(), kind, S("P"), S("Integer"));
        EXPECT_EQ(WriteToText(m), S(text) + u'\n');
        m->Free();
    }
    TPascalMethodDeclaration* all = AddMethodDeclaration(d.get(), TPascalMethodKind::Procedure, S("All"));
    all->Head->Directives = (TPascalDirectives(1) << PascalDirectiveCount) - 1;
    all->Comment = S("every word");
    EXPECT_EQ(WriteToText(all),
              Lines({"{ every word }",
                     "procedure All; inline; overload; dynamic; virtual; abstract; override; reintroduce; forward; "
                     "deprecated; platform; local; register; pascal; cdecl; stdcall; safecall; fastcall; assembler; "
                     "export; near; far; static;"}));
}

// An implementation head repeats at most the calling convention: "virtual",
// "override", "abstract", "dynamic", "reintroduce" there do not compile.
TEST(PascalMethods, ImplementationHeadsRepeatOnlyTheCallingConvention) {
    auto unit = CreatePascalUnit(S("ImplHeads"));
    TPascalDeclarations* types = unit->InterfaceClause->Declarations;
    TPascalClass* base = AddClass(types, S("TBase"), S("TObject"));
    TPascalMethodDeclaration* run = base->AddMethod(TPascalVisibility::Public, TPascalMethodKind::Procedure, S("Run"));
    run->Head->AddParameter(TPascalParamKind::Value, S("X"), S("Integer"));
    run->Head->AddDirective(TPascalDirective::Virtual);
    run->Head->AddDirective(TPascalDirective::Overload);
    run->Head->AddDirective(TPascalDirective::Stdcall);
    TPascalMethodDeclaration* make = base->AddMethod(TPascalVisibility::Public, TPascalMethodKind::ClassFunction, S("Make"), S("TBase"));
    make->Head->AddDirective(TPascalDirective::Dynamic);
    TPascalClass* derived = AddClass(types, S("TDerived"), S("TBase"));
    TPascalMethodDeclaration* over = derived->AddMethod(TPascalVisibility::Public, TPascalMethodKind::Procedure, S("Run"));
    over->Head->AddParameter(TPascalParamKind::Value, S("X"), S("Integer"));
    over->Head->Directives = PascalDirective(TPascalDirective::Override) | PascalDirective(TPascalDirective::Stdcall);
    TPascalMethodDeclaration* again = derived->AddMethod(TPascalVisibility::Public, TPascalMethodKind::ClassFunction, S("Make"), S("TBase"));
    again->Head->AddDirective(TPascalDirective::Reintroduce);
    TPascalMethodDeclaration* gone = derived->AddMethod(TPascalVisibility::Public, TPascalMethodKind::Procedure, S("Gone"));
    gone->Head->Directives = PascalDirective(TPascalDirective::Virtual) | PascalDirective(TPascalDirective::Abstract);

    TPascalDeclarations* code = unit->ImplementationClause->Declarations;
    ImplementDeclaration(code, run, S("TBase"));
    ImplementDeclaration(code, make, S("TBase"))->Body->AddText(S("Result := nil"));
    ImplementDeclaration(code, over, S("TDerived"))->Body->AddText(S("inherited"));
    ImplementDeclaration(code, again, S("TDerived"))->Body->AddText(S("Result := nil"));
    // A routine without a declaration keeps the directives a body may carry.
    TPascalMethodWithImplementation* local = AddMethodImplementation(code, TPascalMethodKind::Function, S("Twice"), S("Integer"));
    local->Head->AddParameter(TPascalParamKind::Value, S("X"), S("Integer"));
    local->Head->Directives = PascalDirective(TPascalDirective::Inline) | PascalDirective(TPascalDirective::Virtual) | PascalDirective(TPascalDirective::Cdecl);
    local->Body->AddText(S("Result := X * 2"));

    TFpcHarness fpc;
    const QString text = fpc.AddUnit(unit.get());
    EXPECT_TRUE(text.contains(S("\nprocedure TBase.Run(X: Integer); stdcall;\n")));
    EXPECT_TRUE(text.contains(S("\nclass function TBase.Make: TBase;\n")));
    EXPECT_TRUE(text.contains(S("\nprocedure TDerived.Run(X: Integer); stdcall;\n")));
    EXPECT_TRUE(text.contains(S("\nclass function TDerived.Make: TBase;\n")));
    EXPECT_TRUE(text.contains(S("\nfunction Twice(X: Integer): Integer; inline; cdecl;\n")));
    EXPECT_TRUE(text.contains(S("    procedure Gone; virtual; abstract;\n")));
    EXPECT_COMPILES(fpc);
}

TEST(PascalMethods, RoutineWithBodyLocalsAndComment) {
    auto d = CreateRootNode<TPascalDeclarations>();
    TPascalMethodWithImplementation* m = AddMethodImplementation(d.get(), TPascalMethodKind::Function, S("Sum"), S("Integer"));
    m->Comment = S("adds");
    AddConstant(m->LocalDeclarations, S("Limit"), S("10"));
    AddVariable(m->LocalDeclarations, S("A"), S("Integer"));
    AddVariable(m->LocalDeclarations, S("B"), S("string"));
    AddVariable(m->LocalDeclarations, S("C"), S("Integer"));
    AddVariable(m->LocalDeclarations, S("D"), S("Integer"))->Comment = S("own line");
    AddVariable(m->LocalDeclarations, S("E"), S("string"));
    m->Body->AddLetTo(m->ResultVariable, S("Limit"));
    m->Simplify();
    EXPECT_EQ(WriteToText(d.get()), Lines({"function Sum: Integer;", "const", "  Limit = 10;", "var",
                                           "  A, C: Integer;", "  B, E: string;", "  D: Integer; { own line }",
                                           "begin", "  { adds }", "  Result := Limit;", "end;", ""}));
}

TEST(PascalMethods, JoiningStopsAtANonVariable) {
    auto d = CreateRootNode<TPascalDeclarations>();
    TPascalMethodWithImplementation* m = AddMethodImplementation(d.get(), TPascalMethodKind::Procedure, S("P"));
    AddVariable(m->LocalDeclarations, S("A"), S("Integer"));
    AddConstant(m->LocalDeclarations, S("K"), S("1"));
    AddVariable(m->LocalDeclarations, S("B"), S("Integer"));
    AddVariable(m->LocalDeclarations, S("C"), S("Integer"))->Value->AddInteger(3);
    AddVariable(m->LocalDeclarations, S("D"), S("Integer"));
    m->Simplify();
    EXPECT_EQ(WriteToText(m->LocalDeclarations),
              Lines({"var", "  A: Integer;", "const", "  K = 1;", "var", "  B, D: Integer;", "  C: Integer = 3;"}));
}

TEST(PascalMethods, ImplementedUnderTheDeclarationsCurrentName) {
    auto d = CreateRootNode<TPascalDeclarations>();
    TPascalMethodDeclaration* decl = AddMethodDeclaration(d.get(), TPascalMethodKind::Procedure, S("Run"));
    TPascalMethodWithImplementation* impl = ImplementDeclaration(d.get(), decl, S("TFoo"));
    decl->Name = S("Run1");
    EXPECT_EQ(WriteToText(impl), Lines({"procedure TFoo.Run1;", "begin", "end;", ""}));
}

}  // namespace
