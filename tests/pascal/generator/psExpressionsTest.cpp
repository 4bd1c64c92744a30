// Expressions: literals, set constructors, conditional blocks, the queries,
// and random trees whose brackets must keep their meaning.

#include "psTestSupport.h"

#include <gtest/gtest.h>

#include <optional>
#include <random>

using namespace Qt::StringLiterals;

namespace {

// Items directly in call arguments are not bracketed; set constructors and
// conditional blocks in their inline and multi-line forms.
TEST(PascalExpressionItems, LiteralsCastsSetConstructorsAndConditionalBlocks) {
    auto list = CreateRootNode<TPascalCommands>();
    TPascalCallInCommands* call = list->AddCall(S("Show"));
    AddExpression(call->AddArgument(), nullptr, S("(= A B)"));
    AddExpression(call->AddArgument(), nullptr, S("(not P)"));
    call->AddArgument()->AddString(S("it's\tok"));
    call->AddArgument()->AddInteger(-42);
    call->AddArgument()->AddBoolean(true);
    TPascalToTypeExpressionItem* cast = call->AddArgument()->AddToType();
    cast->TypeName->AddText(S("Byte"));
    cast->Value->AddText(S("X"));
    call->AddArgument()->AddString(QString());
    call->Comment = S("note");
    EXPECT_EQ(WriteToText(call), S("Show(A = B, not P, 'it''s'#9'ok', -42, True, Byte(X), '') { note };\n"));

    TPascalLet* let = list->AddLet();
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

    TPascalIfDef* def = CreateNode<TPascalIfDef>(list.get());
    def->Condition->AddText(S("DEBUG"));
    CreateNode<TPascalCustomCommand>(def->ThenPart)->Text = S("Log('x')");
    def->NewLineAfterDirectives = true;
    def->IndentParts = true;
    def->NewLineAtEnd = true;
    EXPECT_EQ(WriteToText(def), Lines({"{$IFDEF DEBUG}", "  Log('x');", "", "{$ENDIF}"}));
    CreateNode<TPascalCustomCommand>(def->ElsePart)->Text = S("Beep");
    def->NewLineAfterDirectives = false;
    def->IndentParts = false;
    EXPECT_EQ(WriteToText(def), Lines({"{$IFDEF DEBUG}Log('x');", "{$ELSE}Beep;", "{$ENDIF}"}));
}

TEST(PascalExpressionQueries, SameExpressionAndFindUsage) {
    auto d = CreateRootNode<TPascalDeclarations>();
    TPascalMethodWithImplementation* m = AddMethodImplementation(d.get(), TPascalMethodKind::Procedure, S("Run"));
    TPascalVariable* v = AddVariable(m->LocalDeclarations, S("V"), S("Integer"));
    // The description's words refer to V only within m.
    auto e = [&](const char* description, TPascalMethodWithImplementation* routine = nullptr) {
        auto* expression = CreateNode<TPascalExpression>(d.get());
        if (*description) AddExpression(expression, routine, S(description));
        return expression;
    };
    EXPECT_TRUE(SameExpression(e(""), e("")));
    EXPECT_TRUE(SameExpression(e("Integer"), e("Integer")));
    EXPECT_FALSE(SameExpression(e("Integer"), e("integer")));
    EXPECT_TRUE(SameExpression(e("V", m), e("V", m)));
    EXPECT_FALSE(SameExpression(e("V", m), e("V")));
    EXPECT_FALSE(SameExpression(e("(+ A B)"), e("(+ A B)")));

    TPascalExpression* inCall = e("");
    inCall->AddCall(S("Inc"))->AddArgument(TPascalParamKind::Var)->AddCallTo(v);
    TPascalExpression* written = e("V", m);
    written->Mode = TPascalParamKind::Out;
    const std::pair<TPascalExpression*, TPascalUsage> usages[] = {{inCall, TPascalUsage::Read},
                                                                  {written, TPascalUsage::Written},
                                                                  {e("(not (= A V))", m), TPascalUsage::Read},
                                                                  {e("V"), TPascalUsage::None}};
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
        const TPascalOperationKind kind = Pick(4) == 0 ? TPascalOperationKind::Div : TPascalOperationKind(Pick(3));
        TPascalOperationExpressionItem* item = e->AddOperation(kind);
        TValue r = Integer(item->Left, depth - 1);
        for (int i = 1, count = Operands(); i < count; ++i) {
            const TValue x = Integer(i == 1 ? item->Right : item->AddOperand(), depth - 1);
            if (!r || !x || (kind == TPascalOperationKind::Div && *x == 0))
                r = std::nullopt;
            else
                r = InRange(kind == TPascalOperationKind::Add        ? *r + *x
                            : kind == TPascalOperationKind::Subtract ? *r - *x
                            : kind == TPascalOperationKind::Multiply ? *r * *x
                                                                     : *r / *x);
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
    QString text;
    EXPECT_EQ(RunUnit(unit.get(), S("Run;"), false, &text), expected) << text.toStdString();
}

}  // namespace
