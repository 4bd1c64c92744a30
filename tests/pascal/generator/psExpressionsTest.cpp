// Expressions: brackets decided by the items, literals, calls, set
// constructors, conditional blocks, simplification and the queries.

#include "pascal/generator/psModules.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <random>

#include "psTestSupport.h"

using namespace Qt::StringLiterals;

namespace {

// Fills an operand: a name, or a nested item made by a builder.
using TFill = std::function<void(TPascalExpression*)>;
TFill N(const char* name) {
    return [name](TPascalExpression* e) { e->AddText(S(name)); };
}
// An item with two sides (and a third operand when c is given).
template <auto Add, class K>
TFill Sides(K kind, TFill a, TFill b, TFill c = {}) {
    return [=](TPascalExpression* e) {
        TCustomPascalTwoSideExpressionItem* item = (e->*Add)(kind, nullptr);
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
        {"P", Cmp(TPascalCompareKind::And, Cmp(TPascalCompareKind::Equal, N("A"), N("B")), Cmp(TPascalCompareKind::Less, N("C"), N("D"))), "P := (A = B) and (C < D);"},
        {"X", Op(TPascalOperationKind::Multiply, Op(TPascalOperationKind::Add, N("A"), N("B")), N("C")), "X := (A + B) * C;"},
        {"P", Cmp(TPascalCompareKind::Equal, Op(TPascalOperationKind::Add, N("A"), N("B")), N("C")), "P := A + B = C;"},
        {"P", Not(Cmp(TPascalCompareKind::Equal, N("A"), N("B"))), "P := not (A = B);"},
        {"X", Op(TPascalOperationKind::Subtract, N("A"), Op(TPascalOperationKind::Add, N("B"), N("C"))), "X := A - (B + C);"},
        {"X", Op(TPascalOperationKind::Subtract, Op(TPascalOperationKind::Subtract, N("A"), N("B")), N("C")), "X := A - B - C;"},
        {"X", Op(TPascalOperationKind::Subtract, N("A"), N("B"), N("C")), "X := A - B - C;"},
        {"X", Op(TPascalOperationKind::Div, N("A"), Op(TPascalOperationKind::Multiply, N("B"), N("C"))), "X := A div (B * C);"},
        {"X", Op(TPascalOperationKind::Add, Op(TPascalOperationKind::Multiply, N("A"), N("B")), Op(TPascalOperationKind::Multiply, N("C"), N("D"))), "X := A * B + C * D;"},
        {"X", Op(TPascalOperationKind::Multiply, N("A"), Op(TPascalOperationKind::Subtract, N("B"), N("C"))), "X := A * (B - C);"},
        {"P", Not(In(N("A"), N("S"))), "P := not (A in S);"},
        {"P", Not(Is(N("O"), N("TList"))), "P := not (O is TList);"},
        {"P", Cmp(TPascalCompareKind::Equal, In(N("A"), N("S")), N("Q")), "P := (A in S) = Q;"},
        {"P", Cmp(TPascalCompareKind::And, Not(N("P")), N("Q")), "P := (not P) and Q;"},
        {"P", Cmp(TPascalCompareKind::Or, Cmp(TPascalCompareKind::And, N("P"), N("Q")), N("P")), "P := (P and Q) or P;"},
        {"P", Cmp(TPascalCompareKind::And, Cmp(TPascalCompareKind::More, Op(TPascalOperationKind::Add, N("A"), N("B")), N("C")), N("Q")), "P := (A + B > C) and Q;"},
        {"P", Not(Not(N("P"))), "P := not (not P);"},
        {"X", Op(TPascalOperationKind::Add, N("A"), Op(TPascalOperationKind::Add, N("B"), N("C"))), "X := A + (B + C);"},
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

TEST(PascalBrackets, ItemsDirectlyInCallArgumentsAreNotBracketed) {
    auto list = CreateRootNode<TPascalCommands>();
    TPascalCallInCommands* call = list->AddCall(S("Check"));
    Cmp(TPascalCompareKind::Equal, N("A"), N("B"))(call->AddArgument());
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
    TFpcHarness fpc;
    const QString text = fpc.AddUnit(unit.get());
    EXPECT_TRUE(text.contains(u"'Hello, and welcome to the long, long (greeting) [text] of this program'"_s)) << text.toStdString();
    EXPECT_TRUE(text.contains(u"'see, it goes on; and on'"_s)) << text.toStdString();
    EXPECT_TRUE(text.contains(u"of this program' + \n    'see"_s)) << text.toStdString();
    EXPECT_COMPILES(fpc);
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
        {Not(Cmp(TPascalCompareKind::Different, N("A"), N("B"))), "A = B"},
        {Not(Cmp(TPascalCompareKind::Equal, N("A"), N("B"))), "A <> B"},
        {Not(Cmp(TPascalCompareKind::More, N("A"), N("B"))), "A <= B"},
        {Not(Cmp(TPascalCompareKind::MoreOrEqual, N("A"), N("B"))), "A < B"},
        {Not(Cmp(TPascalCompareKind::Less, N("A"), N("B"))), "A >= B"},
        {Not(Cmp(TPascalCompareKind::LessOrEqual, N("A"), N("B"))), "A > B"},
        {Not(Not(Not(X))), "not X"},
        {Not(Not(X)), "X"},
        {Cmp(TPascalCompareKind::Equal, X, T), "X"},
        {Cmp(TPascalCompareKind::Equal, X, Fl), "not X"},
        {Cmp(TPascalCompareKind::Equal, Cmp(TPascalCompareKind::Equal, N("A"), N("B")), Fl), "not (A = B)"},
        {Cmp(TPascalCompareKind::Different, X, T), "not X"},
        {Cmp(TPascalCompareKind::Different, X, Fl), "X"},
        {Cmp(TPascalCompareKind::And, X, T), "X"},
        {Cmp(TPascalCompareKind::And, X, Fl), "False"},
        {Cmp(TPascalCompareKind::Or, X, Fl), "X"},
        {Cmp(TPascalCompareKind::Or, X, T), "True"},
        {Cmp(TPascalCompareKind::And, F, Fl), "Ready and False"},
        {Cmp(TPascalCompareKind::Or, F, T), "Ready or True"},
        {Cmp(TPascalCompareKind::Equal, T, X), "True = X"},
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
    EXPECT_FALSE(SameExpression(e(Op(TPascalOperationKind::Add, N("A"), N("B"))), e(Op(TPascalOperationKind::Add, N("A"), N("B")))));

    TPascalExpression* inCall = e([&](TPascalExpression* x) {
        auto* call = x->AddCall(S("Inc"));
        v->Name = S("V");
        call->AddArgument(TPascalParamKind::Var)->AddCallTo(v);
    });
    EXPECT_EQ(FindUsage(inCall, QString(), v, QString()), TPascalUsage(1));
    TPascalExpression* written = e(V);
    written->Mode = TPascalParamKind::Out;
    EXPECT_EQ(FindUsage(written, QString(), v, QString()), TPascalUsage(2));
    EXPECT_EQ(FindUsage(e(Not(Cmp(TPascalCompareKind::Equal, N("A"), V))), QString(), v, QString()), TPascalUsage(1));
    EXPECT_EQ(FindUsage(e(N("V")), QString(), v, QString()), TPascalUsage(0));
}

// Random expression trees: each is written as a WriteLn argument, compiled and
// run, and the printed value must equal the value of the same tree computed
// here. A missing bracket changes the value or fails to compile; a bracket
// too many changes nothing, so this pins the meaning, not the text.
struct TRandomTree {
    enum TTag { Int, Bool, Op, Cmp, Not, In } tag = Int;
    int64_t value = 0;  // literal value
    int kind = 0;
    std::vector<std::unique_ptr<TRandomTree>> parts;

    void Fill(TPascalExpression* e) const {
        switch (tag) {
        case Int:
            e->AddInteger(int32_t(value));
            break;
        case Bool:
            e->AddBoolean(value != 0);
            break;
        case Op:
        case Cmp: {
            TCustomPascalTwoSideExpressionItem* item =
                tag == Op ? static_cast<TCustomPascalTwoSideExpressionItem*>(e->AddOperation(TPascalOperationKind(kind)))
                          : e->AddCompare(TPascalCompareKind(kind));
            for (size_t i = 0; i < parts.size(); ++i)
                parts[i]->Fill(i == 0 ? item->Left : i == 1 ? item->Right : item->AddOperand());
            break;
        }
        case Not:
            parts[0]->Fill(e->AddNot()->Operand);
            break;
        case In: {
            auto* item = e->AddItemInSet();
            parts[0]->Fill(item->Item);
            TPascalSetValueExpressionItem* set = item->SetValue->AddSetValue(TPascalBracketKind::Square);
            for (size_t i = 1; i < parts.size(); ++i) parts[i]->Fill(set->Values);
            break;
        }
        }
    }

    // The value, or nothing when the tree divides by zero or leaves the
    // range where the compiler's and our arithmetic agree.
    std::optional<int64_t> Value() const {
        std::vector<int64_t> v;
        for (const auto& p : parts) {
            std::optional<int64_t> x = p->Value();
            if (!x || *x > 1000000 || *x < -1000000) return std::nullopt;
            v.push_back(*x);
        }
        switch (tag) {
        case Int:
        case Bool:
            return value;
        case Not:
            return !v[0];
        case In:
            if (v[0] < 0 || v[0] > 255) return std::nullopt;
            return std::find(v.begin() + 1, v.end(), v[0]) != v.end();
        case Op: {
            int64_t r = v[0];
            for (size_t i = 1; i < v.size(); ++i) {
                if (kind == int(TPascalOperationKind::Div) && v[i] == 0) return std::nullopt;
                r = kind == int(TPascalOperationKind::Add) ? r + v[i] : kind == int(TPascalOperationKind::Subtract) ? r - v[i] : kind == int(TPascalOperationKind::Multiply) ? r * v[i] : r / v[i];
            }
            return r;
        }
        case Cmp: {
            if (kind == int(TPascalCompareKind::And) || kind == int(TPascalCompareKind::Or)) {
                bool r = v[0] != 0;
                for (size_t i = 1; i < v.size(); ++i) r = kind == int(TPascalCompareKind::And) ? r && v[i] : r || v[i];
                return r;
            }
            const int64_t a = v[0], b = v[1];
            const bool results[] = {a == b, a != b, a > b, a >= b, a < b, a <= b};
            return results[kind];
        }
        }
        return std::nullopt;
    }
};

class TRandomTrees {
public:
    explicit TRandomTrees(unsigned seed) : m_random(seed) {}

    std::unique_ptr<TRandomTree> Integer(int depth) {
        auto t = std::make_unique<TRandomTree>();
        if (depth <= 0 || Pick(3) == 0) {
            t->tag = TRandomTree::Int;
            t->value = Pick(19) - 9;
            return t;
        }
        t->tag = TRandomTree::Op;
        const TPascalOperationKind kinds[] = {TPascalOperationKind::Add, TPascalOperationKind::Subtract, TPascalOperationKind::Multiply, TPascalOperationKind::Div};
        t->kind = int(kinds[Pick(4)]);
        const int count = Pick(4) == 0 ? 3 : 2;
        for (int i = 0; i < count; ++i) t->parts.push_back(Integer(depth - 1));
        return t;
    }

    std::unique_ptr<TRandomTree> Boolean(int depth) {
        auto t = std::make_unique<TRandomTree>();
        const int choice = depth <= 0 ? 0 : Pick(6);
        switch (choice) {
        case 0:
            t->tag = TRandomTree::Bool;
            t->value = Pick(2);
            break;
        case 1:  // comparison of numbers
            t->tag = TRandomTree::Cmp;
            t->kind = Pick(6);
            t->parts.push_back(Integer(depth - 1));
            t->parts.push_back(Integer(depth - 1));
            break;
        case 2:  // and, or
        case 3: {
            t->tag = TRandomTree::Cmp;
            t->kind = int(choice == 2 ? TPascalCompareKind::And : TPascalCompareKind::Or);
            const int count = Pick(4) == 0 ? 3 : 2;
            for (int i = 0; i < count; ++i) t->parts.push_back(Boolean(depth - 1));
            break;
        }
        case 4:
            t->tag = TRandomTree::Not;
            t->parts.push_back(Boolean(depth - 1));
            break;
        default:
            t->tag = TRandomTree::In;
            t->parts.push_back(Integer(depth - 1));
            for (int i = 0, first = Pick(4); i < 3; ++i) {  // distinct bytes
                t->parts.push_back(std::make_unique<TRandomTree>());
                t->parts.back()->value = first + 2 * i + Pick(2);
            }
            break;
        }
        return t;
    }

private:
    int Pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(m_random); }
    std::mt19937 m_random;
};

TEST(PascalBrackets, RandomTreesComputeWhatTheyMean) {
    if (!TFpcHarness::Available()) GTEST_SKIP() << "no fpc";
    TRandomTrees random(20261206);
    auto unit = CreatePascalUnit(QStringLiteral("RandomTrees"));
    AddMethodDeclaration(unit->InterfaceClause->Declarations, TPascalMethodKind::Procedure, QStringLiteral("Run"));
    TPascalMethodWithImplementation* run = AddMethodImplementation(unit->ImplementationClause->Declarations, TPascalMethodKind::Procedure, QStringLiteral("Run"));
    QStringList expected;
    while (expected.size() < 400) {
        std::unique_ptr<TRandomTree> tree = expected.size() % 2 ? random.Integer(4) : random.Boolean(4);
        const std::optional<int64_t> value = tree->Value();
        if (!value || *value > 1000000 || *value < -1000000) continue;
        tree->Fill(run->Body->AddCall(S("WriteLn"))->AddArgument());
        expected << (tree->tag == TRandomTree::Int || tree->tag == TRandomTree::Op
                         ? QString::number(*value)
                         : (*value ? S("TRUE") : S("FALSE")));
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
