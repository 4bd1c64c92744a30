// Expressions: brackets decided by the items, literals, calls, set
// constructors, conditional blocks, simplification and the queries.

#include "pascal/generator/psModules.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <random>

#include "psTestSupport.h"

using namespace Qt::StringLiterals;

namespace {

using enum TPascalCompareKind;
using enum TPascalOperationKind;

// Fills an operand: a name, or a nested item made by a builder.
using TFill = std::function<void(TPascalExpression*)>;
TFill N(const char* name) {
    return [name](TPascalExpression* e) { e->AddText(S(name)); };
}
// An item with two sides (and a third operand when c is given).
template <auto AddItem, class K>
TFill Sides(K kind, TFill a, TFill b, TFill c = {}) {
    return [=](TPascalExpression* e) {
        TCustomPascalTwoSideExpressionItem* item = (e->*AddItem)(kind, nullptr);
        a(item->Left);
        b(item->Right);
        if (c) c(item->AddOperand());
    };
}
TFill Cmp(TPascalCompareKind kind, TFill a, TFill b) { return Sides<&TPascalExpression::AddCompare>(kind, a, b); }
TFill Op(TPascalOperationKind kind, TFill a, TFill b, TFill c = {}) { return Sides<&TPascalExpression::AddOperation>(kind, a, b, c); }
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
        {"P", Cmp(And, Cmp(Equal, N("A"), N("B")), Cmp(Less, N("C"), N("D"))), "P := (A = B) and (C < D);"},
        {"X", Op(Multiply, Op(Add, N("A"), N("B")), N("C")), "X := (A + B) * C;"},
        {"P", Cmp(Equal, Op(Add, N("A"), N("B")), N("C")), "P := A + B = C;"},
        {"P", Not(Cmp(Equal, N("A"), N("B"))), "P := not (A = B);"},
        {"X", Op(Subtract, N("A"), Op(Add, N("B"), N("C"))), "X := A - (B + C);"},
        {"X", Op(Subtract, Op(Subtract, N("A"), N("B")), N("C")), "X := A - B - C;"},
        {"X", Op(Subtract, N("A"), N("B"), N("C")), "X := A - B - C;"},
        {"X", Op(Div, N("A"), Op(Multiply, N("B"), N("C"))), "X := A div (B * C);"},
        {"X", Op(Add, Op(Multiply, N("A"), N("B")), Op(Multiply, N("C"), N("D"))), "X := A * B + C * D;"},
        {"X", Op(Multiply, N("A"), Op(Subtract, N("B"), N("C"))), "X := A * (B - C);"},
        {"P", Not(In(N("A"), N("S"))), "P := not (A in S);"},
        {"P", Not(Is(N("O"), N("TList"))), "P := not (O is TList);"},
        {"P", Cmp(Equal, In(N("A"), N("S")), N("Q")), "P := (A in S) = Q;"},
        {"P", Cmp(And, Not(N("P")), N("Q")), "P := (not P) and Q;"},
        {"P", Cmp(Or, Cmp(And, N("P"), N("Q")), N("P")), "P := (P and Q) or P;"},
        {"P", Cmp(And, Cmp(More, Op(Add, N("A"), N("B")), N("C")), N("Q")), "P := (A + B > C) and Q;"},
        {"P", Not(Not(N("P"))), "P := not (not P);"},
        {"X", Op(Add, N("A"), Op(Add, N("B"), N("C"))), "X := A + (B + C);"},
    };
    auto unit = CreatePascalUnit(QStringLiteral("Brackets"));
    TPascalMethodWithImplementation* m =
        AddMethodImplementation(unit->ImplementationClause->Declarations, TPascalMethodKind::Procedure, QStringLiteral("Check"));
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

// Items directly in call arguments are not bracketed.
TEST(PascalLiterals, StringsIntegersBooleansCastsAndUnbracketedArguments) {
    auto list = CreateRootNode<TPascalCommands>();
    TPascalCallInCommands* call = list->AddCall(S("Show"));
    Cmp(Equal, N("A"), N("B"))(call->AddArgument());
    Not(N("P"))(call->AddArgument());
    call->AddArgument()->AddString(S("it's\tok"));
    call->AddArgument()->AddInteger(-42);
    call->AddArgument()->AddBoolean(true);
    TPascalToTypeExpressionItem* cast = call->AddArgument()->AddToType();
    cast->TypeName->AddText(S("Byte"));
    cast->Value->AddText(S("X"));
    call->AddArgument()->AddString(QString());
    call->Comment = S("note");
    EXPECT_EQ(WriteToText(call), S("Show(A = B, not P, 'it''s'#9'ok', -42, True, Byte(X), '') { note };\n"));
}

TEST(PascalCalls, TargetSuffixBracketKindAndRename) {
    auto d = CreateRootNode<TPascalDeclarations>();
    TPascalVariable* list = AddVariable(d.get(), S("Items"), S("TList"));
    auto commands = CreateRootNode<TPascalCommands>();
    TPascalCallInCommands* call = commands->AddCallEx(S("Self."), list, S(".Delete"));
    call->AddArgument()->AddInteger(0);
    TPascalLet* let = commands->AddLet();
    TPascalCallInExpression* element = let->Target->AddCallTo(list);
    element->BracketKind = TPascalBracketKind::Square;
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

TEST(PascalCustomText, LongLineIsNotBrokenInsideAQuotedLiteral) {
    // A verbatim value such as a user's condition may hold string literals;
    // a line break inside one leaves the literal open.
    auto unit = CreatePascalUnit(S("VerbatimLiteral"));
    TPascalMethodWithImplementation* m =
        AddMethodImplementation(unit->ImplementationClause->Declarations, TPascalMethodKind::Procedure, S("Check"));
    AddVariable(m->LocalDeclarations, S("Greeting"), S("string"));
    TPascalLet* let = m->Body->AddLet();
    let->Target->AddText(S("Greeting"));
    let->Value->AddText(S("Greeting + 'Hello, and welcome to the long, long (greeting) [text] of this program' + "
                          "'see, it goes on; and on'"));
    const QString text = CompiledUnit(unit.get());
    EXPECT_TRUE(text.contains(u"(greeting) [text] of this program' + \n    'see, it goes on; and on';"_s)) << text.toStdString();
}

TEST(PascalSetConstructor, InlineAndMultiLineForms) {
    auto commands = CreateRootNode<TPascalCommands>();
    TPascalLet* let = commands->AddLet();
    let->Target->AddText(S("S"));
    TPascalSetValueExpressionItem* set = let->Value->AddSetValue(TPascalBracketKind::Square);
    set->Values->AddText(S("A"));
    set->Values->AddText(S("B"));
    EXPECT_EQ(WriteToText(let), S("S := [A, B];\n"));

    set->MultiLine = true;
    set->NewLineBeforeClose = true;
    set->Values->OnePerLine = true;
    set->Comment = S("all");
    set->BracketKind = TPascalBracketKind::Round;
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
        {Not(Cmp(Different, N("A"), N("B"))), "A = B"},
        {Not(Cmp(Equal, N("A"), N("B"))), "A <> B"},
        {Not(Cmp(More, N("A"), N("B"))), "A <= B"},
        {Not(Cmp(MoreOrEqual, N("A"), N("B"))), "A < B"},
        {Not(Cmp(Less, N("A"), N("B"))), "A >= B"},
        {Not(Cmp(LessOrEqual, N("A"), N("B"))), "A > B"},
        {Not(Not(Not(X))), "not X"},
        {Not(Not(X)), "X"},
        {Cmp(Equal, X, T), "X"},
        {Cmp(Equal, X, Fl), "not X"},
        {Cmp(Equal, Cmp(Equal, N("A"), N("B")), Fl), "not (A = B)"},
        {Cmp(Different, X, T), "not X"},
        {Cmp(Different, X, Fl), "X"},
        {Cmp(And, X, T), "X"},
        {Cmp(And, X, Fl), "False"},
        {Cmp(Or, X, Fl), "X"},
        {Cmp(Or, X, T), "True"},
        {Cmp(And, F, Fl), "Ready and False"},
        {Cmp(Or, F, T), "Ready or True"},
        {Cmp(Equal, T, X), "True = X"},
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
    EXPECT_FALSE(SameExpression(e(Op(Add, N("A"), N("B"))), e(Op(Add, N("A"), N("B")))));

    TPascalExpression* inCall = e([&](TPascalExpression* x) {
        auto* call = x->AddCall(S("Inc"));
        v->Name = S("V");
        call->AddArgument(TPascalParamKind::Var)->AddCallTo(v);
    });
    TPascalExpression* written = e(V);
    written->Mode = TPascalParamKind::Out;
    const std::pair<TPascalExpression*, TPascalUsage> usages[] = {{inCall, TPascalUsage::Read},
                                                                  {written, TPascalUsage::Written},
                                                                  {e(Not(Cmp(Equal, N("A"), V))), TPascalUsage::Read},
                                                                  {e(N("V")), TPascalUsage::None}};
    for (const auto& [expression, usage] : usages) EXPECT_EQ(FindUsage(expression, QString(), v, QString()), usage);
}

// Random expression trees: each is written as a WriteLn argument, compiled and
// run, and the printed value must equal the value of the same tree computed
// here while it is built. A missing bracket changes the value or fails to
// compile; a bracket too many changes nothing, so this pins the meaning, not
// the text.
class TRandomExpressions {
public:
    using TValue = std::optional<int64_t>;
    explicit TRandomExpressions(unsigned seed) : m_random(seed) {}

    // Each builder fills e and answers the value, or nothing when the tree
    // divides by zero or leaves the range where the compiler's arithmetic and
    // ours agree.
    TValue Integer(TPascalExpression* e, int depth) {
        if (depth <= 0 || Pick(3) == 0) return Literal(e, Pick(19) - 9);
        const TPascalOperationKind kinds[] = {TPascalOperationKind::Add, TPascalOperationKind::Subtract,
                                              TPascalOperationKind::Multiply, TPascalOperationKind::Div};
        const TPascalOperationKind kind = kinds[Pick(4)];
        TPascalOperationExpressionItem* item = e->AddOperation(kind);
        TValue r = Integer(item->Left, depth - 1);
        for (int i = 1, count = Operands(); i < count; ++i) {
            const TValue x = Integer(i == 1 ? item->Right : item->AddOperand(), depth - 1);
            if (!r || !x || (kind == TPascalOperationKind::Div && *x == 0)) {
                r = std::nullopt;
                continue;
            }
            r = kind == TPascalOperationKind::Add        ? *r + *x
                : kind == TPascalOperationKind::Subtract ? *r - *x
                : kind == TPascalOperationKind::Multiply ? *r * *x
                                                         : *r / *x;
            r = InRange(r);
        }
        return r;
    }

    TValue Boolean(TPascalExpression* e, int depth) {
        switch (depth <= 0 ? 0 : Pick(6)) {
        case 0: {
            const bool value = Pick(2);
            e->AddBoolean(value);
            return value;
        }
        case 1: {  // comparison of numbers
            TPascalCompareExpressionItem* item = e->AddCompare(TPascalCompareKind(Pick(6)));
            const TValue a = Integer(item->Left, depth - 1), b = Integer(item->Right, depth - 1);
            if (!a || !b) return std::nullopt;
            const bool results[] = {*a == *b, *a != *b, *a > *b, *a >= *b, *a < *b, *a <= *b};
            return results[size_t(item->Kind)];
        }
        case 2:  // and, or
        case 3: {
            const bool isAnd = Pick(2) == 0;
            TPascalCompareExpressionItem* item = e->AddCompare(isAnd ? TPascalCompareKind::And : TPascalCompareKind::Or);
            TValue r = Boolean(item->Left, depth - 1);
            for (int i = 1, count = Operands(); i < count; ++i) {
                const TValue x = Boolean(i == 1 ? item->Right : item->AddOperand(), depth - 1);
                r = r && x ? TValue(isAnd ? *r && *x : *r || *x) : std::nullopt;
            }
            return r;
        }
        case 4: {
            const TValue v = Boolean(e->AddNot()->Operand, depth - 1);
            return v ? TValue(!*v) : std::nullopt;
        }
        default: {
            TPascalItemInSetExpressionItem* item = e->AddItemInSet();
            const TValue v = Integer(item->Item, depth - 1);
            TPascalSetValues* set = item->SetValue->AddSetValue(TPascalBracketKind::Square)->Values;
            bool found = false;
            for (int i = 0, first = Pick(4); i < 3; ++i)  // distinct bytes
                found = *Literal(set, first + 2 * i + Pick(2)) == v || found;
            return v && *v >= 0 && *v <= 255 ? TValue(found) : std::nullopt;
        }
        }
    }

private:
    static TValue InRange(TValue v) {
        constexpr int64_t limit = 1000000;
        return v && *v <= limit && *v >= -limit ? v : std::nullopt;
    }
    static TValue Literal(TPascalExpression* e, int value) {
        e->AddInteger(value);
        return value;
    }
    int Operands() { return Pick(4) == 0 ? 3 : 2; }
    int Pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(m_random); }
    std::mt19937 m_random;
};

TEST(PascalBrackets, RandomTreesComputeWhatTheyMean) {
    if (!TFpcHarness::Available()) GTEST_SKIP() << "no fpc";
    TRandomExpressions random(20261206);
    auto unit = CreatePascalUnit(S("RandomTrees"));
    AddMethodDeclaration(unit->InterfaceClause->Declarations, TPascalMethodKind::Procedure, S("Run"));
    TPascalMethodWithImplementation* run =
        AddMethodImplementation(unit->ImplementationClause->Declarations, TPascalMethodKind::Procedure, S("Run"));
    QStringList expected;
    while (expected.size() < 400) {
        const bool integer = expected.size() % 2;
        TPascalCallInCommands* call = run->Body->AddCall(S("WriteLn"));
        TPascalExpression* argument = call->AddArgument();
        const TRandomExpressions::TValue value = integer ? random.Integer(argument, 4) : random.Boolean(argument, 4);
        if (!value) {
            call->Free();
            continue;
        }
        expected << (integer ? QString::number(*value) : *value ? S("TRUE") : S("FALSE"));
    }
    TFpcHarness fpc;
    const QString text = fpc.AddUnit(unit.get());
    QString output;
    const QString failure = fpc.CompileAndRun(S("Run;"), &output);
    ASSERT_TRUE(failure.isEmpty()) << failure.toStdString();
    const QStringList lines = output.split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), expected.size());
    for (qsizetype i = 0; i < expected.size(); ++i)
        EXPECT_EQ(lines[i].trimmed(), expected[i]) << "statement " << i << " of\n" << text.toStdString();
}

}  // namespace
