// Expressions: brackets decided by the items, literals, calls, set
// constructors, conditional blocks, simplification and the queries.

#include "pascal/generator/psModules.h"

#include <gtest/gtest.h>

#include <functional>

#include "psTestSupport.h"

namespace {

QString S(const char* text) {
    return QString::fromUtf8(text);
}

// Fills an operand: a name, or a nested item made by a builder.
using TFill = std::function<void(TPascalExpression*)>;
TFill N(const char* name) {
    return [name](TPascalExpression* e) { e->AddText(S(name)); };
}
TFill Cmp(uint8_t kind, TFill a, TFill b) {
    return [=](TPascalExpression* e) {
        auto* item = e->AddCompare(kind);
        a(item->Left);
        b(item->Right);
    };
}
TFill Op(uint8_t kind, TFill a, TFill b) {
    return [=](TPascalExpression* e) {
        auto* item = e->AddOperation(kind);
        a(item->Left);
        b(item->Right);
    };
}
TFill Op3(uint8_t kind, TFill a, TFill b, TFill c) {
    return [=](TPascalExpression* e) {
        auto* item = e->AddOperation(kind);
        a(item->Left);
        b(item->Right);
        c(item->AddOperand());
    };
}
TFill Not(TFill a) {
    return [=](TPascalExpression* e) { a(e->AddNot()->Operand); };
}
TFill In(TFill a, TFill b) {
    return [=](TPascalExpression* e) {
        auto* item = e->AddItemInSet();
        a(item->Item);
        b(item->SetValue);
    };
}
TFill Is(TFill a, TFill b) {
    return [=](TPascalExpression* e) {
        auto* item = e->AddIsType();
        a(item->Value);
        b(item->TypeName);
    };
}

// "X := value;" with the value built by fill, written alone.
QString Assigned(const char* target, const TFill& fill, TPascalCommands* list) {
    TPascalLet* let = list->AddLet();
    let->Target->AddText(S(target));
    fill(let->Value);
    return WriteToText(let);
}

struct TBracketCase {
    const char* target;
    TFill fill;
    const char* text;
};

TEST(PascalBrackets, OperatorPrecedenceTable) {
    const TBracketCase cases[] = {
        {"P", Cmp(ckAnd, Cmp(ckEqual, N("A"), N("B")), Cmp(ckLess, N("C"), N("D"))), "P := (A = B) and (C < D);"},
        {"X", Op(okMultiply, Op(okAdd, N("A"), N("B")), N("C")), "X := (A + B) * C;"},
        {"P", Cmp(ckEqual, Op(okAdd, N("A"), N("B")), N("C")), "P := A + B = C;"},
        {"P", Not(Cmp(ckEqual, N("A"), N("B"))), "P := not (A = B);"},
        {"X", Op(okSubtract, N("A"), Op(okAdd, N("B"), N("C"))), "X := A - (B + C);"},
        {"X", Op(okSubtract, Op(okSubtract, N("A"), N("B")), N("C")), "X := A - B - C;"},
        {"X", Op3(okSubtract, N("A"), N("B"), N("C")), "X := A - B - C;"},
        {"X", Op(okDiv, N("A"), Op(okMultiply, N("B"), N("C"))), "X := A div (B * C);"},
        {"X", Op(okAdd, Op(okMultiply, N("A"), N("B")), Op(okMultiply, N("C"), N("D"))), "X := A * B + C * D;"},
        {"X", Op(okMultiply, N("A"), Op(okSubtract, N("B"), N("C"))), "X := A * (B - C);"},
        {"P", Not(In(N("A"), N("S"))), "P := not (A in S);"},
        {"P", Not(Is(N("O"), N("TList"))), "P := not (O is TList);"},
        {"P", Cmp(ckEqual, In(N("A"), N("S")), N("Q")), "P := (A in S) = Q;"},
        {"P", Cmp(ckAnd, Not(N("P")), N("Q")), "P := (not P) and Q;"},
        {"P", Cmp(ckOr, Cmp(ckAnd, N("P"), N("Q")), N("P")), "P := (P and Q) or P;"},
        {"P", Cmp(ckAnd, Cmp(ckMore, Op(okAdd, N("A"), N("B")), N("C")), N("Q")), "P := (A + B > C) and Q;"},
        {"P", Not(Not(N("P"))), "P := not (not P);"},
        {"X", Op(okAdd, N("A"), Op(okAdd, N("B"), N("C"))), "X := A + (B + C);"},
    };
    auto unit = CreatePascalUnit(QStringLiteral("Brackets"));
    TPascalMethodWithImplementation* m =
        AddMethodImplementation(unit->ImplementationClause->Declarations, mkProcedure, QStringLiteral("Check"));
    for (const char* decl : {"A", "B", "C", "D", "X"}) AddVariable(m->LocalDeclarations, S(decl), S("Integer"));
    for (const char* decl : {"P", "Q"}) AddVariable(m->LocalDeclarations, S(decl), S("Boolean"));
    AddVariable(m->LocalDeclarations, S("S"), S("set of Byte"));
    AddVariable(m->LocalDeclarations, S("O"), S("TObject"));
    for (const TBracketCase& c : cases) EXPECT_EQ(Assigned(c.target, c.fill, m->Body), S(c.text) + u'\n') << c.text;
    unit->ImplementationClause->UsedUnits->AddUnit(S("Classes"));
    TFpcHarness fpc;
    fpc.AddUnit(unit.get());
    EXPECT_COMPILES(fpc);
}

TEST(PascalBrackets, ItemsDirectlyInCallArgumentsAreNotBracketed) {
    auto list = CreateRootNode<TPascalCommands>();
    TPascalCallInCommands* call = list->AddCall(S("Check"));
    Cmp(ckEqual, N("A"), N("B"))(call->AddArgument());
    Not(N("P"))(call->AddArgument());
    EXPECT_EQ(WriteToText(call), S("Check(A = B, not P);\n"));
}

TEST(PascalLiterals, StringsIntegersBooleansAndCasts) {
    auto list = CreateRootNode<TPascalCommands>();
    TPascalCallInCommands* call = list->AddCall(S("Show"));
    call->AddArgument()->AddString(S("it's\tok"));
    call->AddArgument()->AddInteger(-42);
    call->AddArgument()->AddBoolean(true);
    TPascalToTypeExpressionItem* cast = call->AddArgument()->AddToType();
    cast->TypeName->AddText(S("Byte"));
    cast->Value->AddText(S("X"));
    call->AddArgument()->AddString(QString());
    call->Comment = S("note");
    EXPECT_EQ(WriteToText(call), S("Show('it''s'#9'ok', -42, True, Byte(X), '') { note };\n"));
}

TEST(PascalCalls, TargetSuffixBracketKindAndRename) {
    auto d = CreateRootNode<TPascalDeclarations>();
    TPascalVariable* list = AddVariable(d.get(), S("Items"), S("TList"));
    auto commands = CreateRootNode<TPascalCommands>();
    TPascalCallInCommands* call = commands->AddCallEx(S("Self."), list, S(".Delete"));
    call->AddArgument()->AddInteger(0);
    TPascalLet* let = commands->AddLet();
    TPascalCallInExpression* element = let->Target->AddCallTo(list);
    element->BracketKind = 1;
    element->AddArgument()->AddInteger(1);
    let->Value->AddText(S("nil"));
    list->Name = S("Items1");
    EXPECT_EQ(WriteToText(commands.get()), Lines({"Self.Items1.Delete(0);", "Items1[1] := nil;"}));
}

TEST(PascalCalls, LongArgumentListsWrapAtTheLineLength) {
    auto commands = CreateRootNode<TPascalCommands>();
    TPascalCallInCommands* call = commands->AddCall(S("Combine"));
    for (int i = 0; i < 12; ++i) call->AddArgument()->AddText(QStringLiteral("Argument%1").arg(i));
    EXPECT_EQ(WriteToText(commands.get()),
              Lines({"Combine(Argument0, Argument1, Argument2, Argument3, Argument4, Argument5, Argument6,",
                     "  Argument7, Argument8, Argument9, Argument10, Argument11);"}));
}

TEST(PascalSetConstructor, InlineAndMultiLineForms) {
    auto commands = CreateRootNode<TPascalCommands>();
    TPascalLet* let = commands->AddLet();
    let->Target->AddText(S("S"));
    TPascalSetValueExpressionItem* set = let->Value->AddSetValue(1);
    set->Values->AddText(S("A"));
    set->Values->AddText(S("B"));
    EXPECT_EQ(WriteToText(let), S("S := [A, B];\n"));

    set->MultiLine = true;
    set->NewLineBeforeClose = true;
    set->Values->OnePerLine = true;
    set->Comment = S("all");
    set->BracketKind = 0;
    EXPECT_EQ(WriteToText(let), Lines({"S := ( { all }", "  A,", "  B", ");"}));
}

TEST(PascalIfDef, DirectivesWithAndWithoutElse) {
    auto d = CreateRootNode<TPascalCommands>();
    TPascalIfDef* def = CreateNode<TPascalIfDef>(d.get());
    def->Condition->AddText(S("DEBUG"));
    CreateNode<TPascalCustomCommand>(def->ThenPart)->Text = S("Log('x')");
    def->NewLineAfterDirectives = true;
    def->IndentParts = true;
    def->NewLineAtEnd = true;
    EXPECT_EQ(WriteToText(d.get()), Lines({"{$IFDEF DEBUG}", "  Log('x');", "", "{$ENDIF}"}));
    CreateNode<TPascalCustomCommand>(def->ElsePart)->Text = S("Beep");
    def->NewLineAfterDirectives = false;
    def->IndentParts = false;
    EXPECT_EQ(WriteToText(d.get()), Lines({"{$IFDEF DEBUG}Log('x');", "{$ELSE}Beep;", "{$ENDIF}"}));
}

// Simplification of one expression, written as the value of "P := ...".
struct TSimplifyCase {
    TFill fill;
    const char* text;
};

TEST(PascalExpressionSimplify, NegationsAndBooleanLiterals) {
    auto d = CreateRootNode<TPascalDeclarations>();
    TPascalVariable* x = AddVariable(d.get(), S("X"), S("Boolean"));
    const TFill X = [x](TPascalExpression* e) { e->AddCallTo(x); };
    const TFill F = [](TPascalExpression* e) { e->AddCall(S("Ready")); };
    const TFill T = [](TPascalExpression* e) { e->AddBoolean(true); };
    const TFill Fl = [](TPascalExpression* e) { e->AddBoolean(false); };
    const TSimplifyCase cases[] = {
        {Not(Cmp(ckDifferent, N("A"), N("B"))), "A = B"},
        {Not(Cmp(ckEqual, N("A"), N("B"))), "A <> B"},
        {Not(Cmp(ckMore, N("A"), N("B"))), "A <= B"},
        {Not(Cmp(ckMoreOrEqual, N("A"), N("B"))), "A < B"},
        {Not(Cmp(ckLess, N("A"), N("B"))), "A >= B"},
        {Not(Cmp(ckLessOrEqual, N("A"), N("B"))), "A > B"},
        {Not(Not(Not(X))), "not X"},
        {Not(Not(X)), "X"},
        {Cmp(ckEqual, X, T), "X"},
        {Cmp(ckEqual, X, Fl), "not X"},
        {Cmp(ckEqual, Cmp(ckEqual, N("A"), N("B")), Fl), "not (A = B)"},
        {Cmp(ckDifferent, X, T), "not X"},
        {Cmp(ckDifferent, X, Fl), "X"},
        {Cmp(ckAnd, X, T), "X"},
        {Cmp(ckAnd, X, Fl), "False"},
        {Cmp(ckOr, X, Fl), "X"},
        {Cmp(ckOr, X, T), "True"},
        {Cmp(ckAnd, F, Fl), "Ready and False"},
        {Cmp(ckOr, F, T), "Ready or True"},
        {Cmp(ckEqual, T, X), "True = X"},
        {Not(T), "False"},
        {Not(Fl), "True"},
    };
    for (const TSimplifyCase& c : cases) {
        auto list = CreateRootNode<TPascalCommands>();
        TPascalLet* let = list->AddLet();
        let->Target->AddText(S("P"));
        c.fill(let->Value);
        let->Value->Simplify();
        EXPECT_EQ(WriteToText(let), S("P := ") + S(c.text) + S(";\n")) << c.text;
    }
}

TEST(PascalExpressionQueries, SameExpressionAndFindUsage) {
    auto d = CreateRootNode<TPascalDeclarations>();
    TPascalVariable* v = AddVariable(d.get(), S("V"), S("Integer"));
    auto e = [&](const TFill& fill) {
        auto* expr = CreateNode<TPascalExpression>(d.get());
        fill(expr);
        return expr;
    };
    const TFill V = [v](TPascalExpression* x) { x->AddCallTo(v); };
    const TFill Empty = [](TPascalExpression*) {};
    EXPECT_TRUE(SameExpression(e(Empty), e(Empty)));
    EXPECT_TRUE(SameExpression(e(N("Integer")), e(N("Integer"))));
    EXPECT_FALSE(SameExpression(e(N("Integer")), e(N("integer"))));
    EXPECT_TRUE(SameExpression(e(V), e(V)));
    EXPECT_FALSE(SameExpression(e(V), e(N("V"))));
    EXPECT_FALSE(SameExpression(e(Op(okAdd, N("A"), N("B"))), e(Op(okAdd, N("A"), N("B")))));

    TPascalExpression* inCall = e([&](TPascalExpression* x) {
        auto* call = x->AddCall(S("Inc"));
        v->Name = S("V");
        call->AddArgument(pkVar)->AddCallTo(v);
    });
    EXPECT_EQ(FindUsage(inCall, QString(), v, QString()), 1);
    TPascalExpression* written = e(V);
    written->Mode = pkOut;
    EXPECT_EQ(FindUsage(written, QString(), v, QString()), 2);
    EXPECT_EQ(FindUsage(e(Not(Cmp(ckEqual, N("A"), V))), QString(), v, QString()), 1);
    EXPECT_EQ(FindUsage(e(N("V")), QString(), v, QString()), 0);
}

TEST(PascalExpressionQueries, MoveItemsAppendsInOrder) {
    auto d = CreateRootNode<TPascalNode>();
    auto* from = CreateNode<TPascalExpression>(d.get());
    auto* to = CreateNode<TPascalExpression>(d.get());
    to->AddText(S("A"));
    from->AddText(S(" + "));
    from->AddText(S("B"));
    MoveItems(from, to);
    EXPECT_TRUE(from->IsEmpty());
    EXPECT_EQ(WriteToText(to), S("A + B\n"));
}

}  // namespace
