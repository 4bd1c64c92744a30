// Statements: begin/end, terminators before "else", case layouts, loops and
// try statements, operator precedence, and the simplification of expressions
// and statement lists.

#include "psTestSupport.h"

#include "support/testStop.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

#include <random>

namespace {

using namespace Qt::StringLiterals;

// A unit whose routines declare the locals the statements use.
class PascalStatements : public ::testing::Test {
protected:
    enum class TCheck { Golden, GoldenSimplified, SameWhenSimplified };

    PascalStatements() { NewUnit(); }

    void NewUnit() {
        count = 0;
        unit = CreatePascalUnit(S("Statements"));
        unit->ImplementationClause->UsedUnits->AddUnit(S("SysUtils"));
        AddVariable(unit->ImplementationClause->Declarations, S("Global"), S("Integer"));
    }

    // A new routine with the locals C, D: Boolean and X, Y, I: Integer.
    TPascalMethodWithImplementation* Routine() {
        auto* m = AddMethodImplementation(unit->ImplementationClause->Declarations, TPascalMethodKind::Procedure,
                                          QStringLiteral("Routine%1").arg(++count));
        for (const char* name : {"C", "D"}) AddVariable(m->LocalDeclarations, S(name), S("Boolean"));
        for (const char* name : {"X", "Y", "I"}) AddVariable(m->LocalDeclarations, S(name), S("Integer"));
        return m;
    }

    // Each row "## what" of tests/data/pascal/<name>.txt describes the
    // statements of a routine of its own (the row's name is its comment); the
    // unit compiles and, written as built or after simplifying, is the golden
    // unit <name>.pas, or every body writes the same after simplifying as
    // before.
    void ExpectBodies(const QString& name, TCheck check) {
        const QStringList rows = TestData(name + u".txt"_s).split(u"## "_s);
        EXPECT_GT(rows.size(), 1) << "no rows in " << name.toStdString();
        for (const QString& row : rows.mid(1)) {
            TPascalMethodWithImplementation* m = Routine();
            const qsizetype end = row.indexOf(u'\n');
            m->Comment = row.left(end);
            AddStatements(m->Body, m, row.mid(end));
            const QString built = WriteToText(m->Body);
            if (check != TCheck::Golden) m->Simplify();
            if (check == TCheck::SameWhenSimplified) {
                EXPECT_EQ(WriteToText(m->Body), built) << m->Comment.toStdString();
            }
        }
        const QString text = CompiledUnit(unit.get());
        if (check != TCheck::SameWhenSimplified) ExpectGoldenUnit(text, name);
    }

    TNodePtr<TPascalUnit> unit;
    int count = 0;
};

// Each table in a unit of its own.
TEST_F(PascalStatements, StatementTables) {
    const std::pair<const char*, TCheck> tables[] = {
        {"StatementLayouts", TCheck::Golden},
        // A then part followed by "else" whose lone statement ends with a
        // nested statement would put that statement's ";" before the "else".
        {"SemicolonBeforeElse", TCheck::Golden},
        // A body without begin/end whose only entry is a comment or a verbatim
        // line would take the next statement as its body.
        {"LoneCommentOrVerbatimLine", TCheck::Golden},
        // "case X of else ... end" does not compile.
        {"CaseWithoutItems", TCheck::Golden},
        {"OperatorPrecedence", TCheck::Golden},
        {"ExpressionSimplify", TCheck::GoldenSimplified},
        {"Simplification", TCheck::GoldenSimplified},
        // Dead-assignment removal keeps every (live) assignment.
        {"LiveAssignments", TCheck::SameWhenSimplified},
    };
    for (const auto& [name, check] : tables) {
        SCOPED_TRACE(name);
        NewUnit();
        ExpectBodies(S(name), check);
    }
}

// More variables than fit the small form of the analysis.
TEST_F(PascalStatements, DeadAssignmentsOfManyVariables) {
    TPascalMethodWithImplementation* m = Routine();
    QString declarations, first, second;
    for (int i = 0; i < 100; ++i) {
        declarations += u"(var V%1 Integer) "_s.arg(i);
        first += u"(let V%1 1) "_s.arg(i);
        second += u"(let V%1 2) "_s.arg(i);
    }
    AddStatements(m->Body, m, declarations + first);
    TPascalCustomCommand* verbatim = m->Body->AddText(S("Writeln(V7)"));
    AddStatements(m->Body, m, second);
    TPascalLet* read = m->Body->AddLet();  // X := (V0 = 0) (V1 = 0) ...: reads all of them
    read->Target->AddCallTo(Found(Declared(m, S("X")), "X"));
    for (int i = 0; i < 100; ++i) {
        TPascalCompareExpressionItem* test = read->Value->AddCompare(TPascalCompareKind::Equal);
        test->Left->AddCallTo(Found(Declared(m, u"V%1"_s.arg(i)), "V" + std::to_string(i)));
        test->Right->AddInteger(0);
    }
    const int before = m->Body->ChildCount();
    m->Body->Simplify();
    EXPECT_EQ(m->Body->ChildCount(), before);  // the verbatim line may read any of them

    verbatim->Free();
    m->Body->Simplify();
    EXPECT_EQ(m->Body->ChildCount(), 101);
    EXPECT_EQ(WriteToText(m->Body).left(9), S("V0 := 2;\n"));
}

// Random statement trees: nested ifs with and without else, loops, case
// statements (with and without items) and try statements, with bodies of
// none, one or two statements, among assignments and prints of the locals
// V1..V3. The unit is compiled and run; the marks it prints ("#n") must be
// the trace that the trees mean. A misplaced begin/end or a dangling else
// changes the trace or fails to compile.
class TRandomStatements {
public:
    explicit TRandomStatements(unsigned seed) : m_random(seed) {}

    // The descriptions of up to two statements (three where depth allows);
    // their trace goes to trace.
    QString Statements(int depth, QStringList& trace) {
        QStringList list;
        for (int i = 0, count = depth <= 0 ? Pick(2) : Pick(3); i < count; ++i) list << Statement(depth, trace);
        return list.join(u' ');
    }

private:
    QString List(int depth, QStringList& trace) { return u'(' + Statements(depth, trace) + u')'; }

    enum TKind { Mark, IfKind, ForKind, WhileKind, CaseKind, TryExceptKind, TryFinallyKind, KindCount };

    QString Statement(int depth, QStringList& trace) {
        if (Pick(3) == 0) {
            // A local written or printed: what dead-assignment removal works on.
            const QString v = u"V%1"_s.arg(1 + Pick(3));
            return Pick(3) == 0 ? u"(call Write %1 \"' '\")"_s.arg(v) : u"(let %1 %2)"_s.arg(v).arg(Pick(100));
        }
        QStringList never, chosen, other;
        switch (depth <= 0 ? Mark : TKind(Pick(KindCount))) {
        case Mark:
            trace << u"#%1"_s.arg(++m_marks);
            return u"(call Write \"'%1 '\")"_s.arg(trace.back());
        case IfKind: {
            const bool condition = Pick(2);
            const QString thenPart = List(depth - 1, chosen);
            const QString elsePart = Pick(2) ? List(depth - 1, other) : QString();
            trace << (condition ? chosen : other);
            return u"(if %1 %2 %3)"_s.arg(condition ? u"True"_s : u"False"_s, thenPart, elsePart);
        }
        case ForKind: {
            const int high = Pick(3);
            const bool downward = Pick(2);
            const QString body = List(depth - 1, chosen);
            for (int i = 0; i < high; ++i) trace << chosen;
            return u"(%1 C%2 1 %3 %4)"_s.arg(downward ? u"downto"_s : u"for"_s).arg(depth).arg(high).arg(body);
        }
        case WhileKind:
            return u"(while False %1)"_s.arg(List(depth - 1, never));
        case CaseKind: {
            const int selector = 1 + Pick(3);
            QString items;
            const int count = Pick(3);
            for (int value = 1; value <= count; ++value)
                items += u"(\"%1\" %2)"_s.arg(value).arg(Statements(depth - 1, value == selector ? chosen : never));
            const QString elsePart = List(depth - 1, other);
            trace << (selector <= count ? chosen : other);
            return u"(case %1 (%2) %3)"_s.arg(selector).arg(items, elsePart);
        }
        case TryExceptKind: {  // nothing raises: only the try part runs
            const QString tryPart = List(depth - 1, trace);
            const QString handler = Pick(2) ? u"(\"E: Exception\" %1)"_s.arg(Statements(depth - 1, never)) : QString();
            return u"(try-except %1 (%2) %3)"_s.arg(tryPart, handler, List(depth - 1, never));
        }
        default: {
            const QString tryPart = List(depth - 1, trace);
            return u"(try-finally %1 %2)"_s.arg(tryPart, List(depth - 1, trace));
        }
        }
    }

    int Pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(m_random); }

    std::mt19937 m_random;
    int m_marks = 0;
};

// Sixty random routines "Run0".."Run59" in one unit, each with the loop
// counters C1..C4 and the locals V1..V3 set to 0 first; the unit is compiled
// and run (simplified first with `simplify`). Answers the output and the text
// of the unit; the trace of the trees goes to `expected`.
QStringList RunRandomRoutines(unsigned seed, bool simplify, QStringList& expected, QString* text) {
    TRandomStatements random(seed);
    auto unit = CreatePascalUnit(S("RandomStatements"));
    unit->ImplementationClause->UsedUnits->AddUnit(S("SysUtils"));
    QString calls;
    for (int r = 0; r < 60; ++r) {
        const QString name = QStringLiteral("Run%1").arg(r);
        AddMethodDeclaration(unit->InterfaceClause->Declarations, TPascalMethodKind::Procedure, name);
        auto* m = AddMethodImplementation(unit->ImplementationClause->Declarations, TPascalMethodKind::Procedure, name);
        AddStatements(m->Body, m, S("(var C1 Integer) (var C2 Integer) (var C3 Integer) (var C4 Integer) "
                                    "(var V1 Integer) (var V2 Integer) (var V3 Integer) (let V1 0) (let V2 0) (let V3 0)"));
        for (int part = 0; part < 8; ++part) AddStatements(m->Body, m, random.Statements(part == 0 ? 4 : 3, expected));
        calls += name + QStringLiteral(";\n");
    }
    return RunUnit(unit.get(), calls, simplify, text);
}

// As built, the routines print the marks their trees mean; simplified, they
// print the same as built.
TEST(PascalStatementNesting, RandomTreesRunAsTheyMeanAlsoSimplified) {
    if (!TFpcHarness::Available()) GTEST_SKIP() << "no fpc";
    QStringList expected, again;
    QString texts[2];
    const QStringList built = RunRandomRoutines(77, false, expected, &texts[0]);
    EXPECT_EQ(built.filter(QRegularExpression(u"^#"_s)), expected) << texts[0].toStdString();
    EXPECT_EQ(RunRandomRoutines(77, true, again, &texts[1]), built);
    EXPECT_LT(texts[1].count(u'\n'), texts[0].count(u'\n') - 100);  // simplification did remove code
    EXPECT_GT(expected.size(), 50);
}

}  // namespace
