// Statements: begin/end, terminators before "else", case layouts, loops and
// try statements, and the simplification of statement lists.

#include "pascal/generator/psModules.h"

#include <gtest/gtest.h>

#include <deque>
#include <random>
#include <string>

#include "psTestSupport.h"

namespace {

using namespace Qt::StringLiterals;

// A verbatim line that carries its own end (no ";" is added).
TStatement Line(const char* text) {
    return [=](TPascalCommands* list, TPascalMethodWithImplementation*) { list->AddText(S(text))->Terminated = false; };
}
TStatement Note(const char* text) {
    return [=](TPascalCommands* list, TPascalMethodWithImplementation*) { AddComment(list, S(text)); };
}

// A unit whose routines declare the locals the statements use.
class PascalStatements : public ::testing::Test {
protected:
    struct TRow {
        const char* what;
        TStatements statements;
        std::function<void(TPascalMethodWithImplementation*)> setup = {};
    };

    PascalStatements() : unit(CreatePascalUnit(S("Statements"))) {
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

    // Each row's statements in a routine of their own (the row's name is its
    // comment); the unit, written as built or after simplifying, is the
    // golden unit and compiles. Without a golden unit, every body must write
    // the same after simplifying as before.
    void ExpectBodies(const char* golden, const std::vector<TRow>& rows, bool simplify = false) {
        for (const TRow& row : rows) {
            TPascalMethodWithImplementation* m = Routine();
            m->Comment = S(row.what);
            if (row.setup) row.setup(m);
            AddStatements(m->Body, m, row.statements);
            const QString built = WriteToText(m->Body);
            if (simplify) m->Simplify();
            if (!golden) {
                EXPECT_EQ(WriteToText(m->Body), built) << row.what;
            }
        }
        const QString text = CompiledUnit(unit.get());
        if (golden) ExpectGoldenUnit(text, S(golden));
    }

    TNodePtr<TPascalUnit> unit;
    int count = 0;
};

TEST_F(PascalStatements, LayoutsOfIfCaseLoopsTryAndCalls) {
    ExpectBodies("StatementLayouts", {
        {"if", {If("C", {Text("X := 1")})}},
        {"if else", {If("C", {Text("X := 1")}, {Text("X := 2")})}},
        {"if else with blocks",
         {If("C", {Text("X := 1"), Text("Y := 1")}, {Text("X := 2"), Text("Y := 2")})}},
        {"empty then part", {If("C", {}, {Text("X := 2")})}},
        {"case with one statement in its else",
         {Case("X", {{"1, 2", {Text("Y := 1")}}, {"3..5", {Text("Y := 2"), Text("C := True")}}, {"6", {}}},
               {Text("Y := 0")})}},
        {"case with two statements in its else",
         {Case("X", {{"1", {Text("Y := 1")}}}, {Text("Y := 0"), Text("C := False")})}},
        {"loops and try statements",
         {For("I", "0", "X - 1", {Text("Y := Y + I")}, true), While("C", {}),
          TryFinally({Text("X := 1")}, {Text("X := 2")}),
          TryExcept({Text("X := 1")}, {{"E: EConvertError", {Text("X := 2")}}}, {Text("X := 3"), Text("raise")}),
          TryExcept({Text("X := 1")}, {}, {Text("X := 0")})}},
        {"calls and verbatim lines", {Call("Exit"), Call("Inc", {"X", "2"}), Line("Y := 2; { verbatim }"), Let("Y", "X")}},
    });
}

// A then part followed by "else" whose lone statement ends with a nested
// statement would put that statement's ";" before the "else" (or, for an if
// without else, give the "else" to the inner if).
TEST_F(PascalStatements, SemicolonBeforeElseFromANestedStatement) {
    const TStatement ifDef = [](TPascalCommands* list, TPascalMethodWithImplementation*) {
        TPascalIfDef* block = CreateNode<TPascalIfDef>(list);
        block->Condition->AddText(S("DEBUG"));
        block->NewLineAtEnd = true;
        CreateNode<TPascalCustomCommand>(block->ThenPart)->Text = S("X := 1");
    };
    auto ifElse = [](TStatement inner) { return TStatements{If("C", {std::move(inner)}, {Text("X := 3")})}; };
    ExpectBodies("SemicolonBeforeElse", {
        {"inner if without else", ifElse(If("D", {Text("X := 1")}))},
        {"inner if with else", ifElse(If("D", {Text("X := 1")}, {Text("X := 2")}))},
        {"while", ifElse(While("D", {Text("D := False")}))},
        {"for", ifElse(For("I", "1", "3", {Text("X := I")}))},
        {"verbatim text may carry its own ;", ifElse(Line("X := 1;"))},
        {"a loop with a begin/end body ends with its own end", ifElse(While("D", {Text("D := False"), Text("X := 1")}))},
        {"a lone conditional block", ifElse(ifDef)},
    });
}

// A body without begin/end whose only entry is a comment or a verbatim line
// (which may be a comment) would take the next statement as its body.
TEST_F(PascalStatements, CommentOrVerbatimLineAloneInABodyGetsBeginEnd) {
    ExpectBodies("LoneCommentOrVerbatimLine", {{"comment and verbatim line",
                   {While("C", {Note("nothing yet")}), If("D", {Line("// note")}), Text("X := 1")}}});
}

// "case X of else ... end" does not compile: a case without branches is its
// else part.
TEST_F(PascalStatements, CaseWithoutItemsWritesItsElsePartInPlace) {
    ExpectBodies("CaseWithoutItems", {
        {"one else statement", {Case("X", {}, {Text("Y := 0")})}},
        {"two else statements", {Case("X", {}, {Text("Y := 0"), Text("Y := 1")})}},
        {"empty, before else", {If("C", {Case("X", {})}, {Text("Y := 2")})}},
        {"one statement, before else", {If("C", {Case("X", {}, {Text("Y := 1")})}, {Text("Y := 2")})}},
        {"the case stands for its lone else statement, also for begin/end",
         {If("C", {Case("X", {}, {If("D", {Text("Y := 1")})})}, {Text("Y := 2")})}},
    });
}

// ---------------------------------------------------------------------------
// Simplification

TEST_F(PascalStatements, SimplificationRemovesDecidedBranchesAndDeadAssignments) {
    ExpectBodies("Simplification",
        {
            {"literal conditions decide branches",
             {If("True", {Text("X := 1")}, {Text("X := 2")}), If("False", {Text("Y := 1")}, {Text("Y := 2"), Text("Y := 3")}),
              While("False", {}), While("True", {Text("Break")})}},
            {"an overwritten local", {Let("X", "1"), Let("X", "2")}},
            {"a local read before it is overwritten", {Let("X", "1"), Call("Writeln", {"X"}), Let("X", "2")}},
            {"both branches and every case branch overwrite",
             {Let("X", "0"), If("C", {Let("X", "1")}, {Let("X", "2")}), Let("X", "5"),
              Case("Y", {{"1", {Let("X", "3")}}}, {Let("X", "4")}), Call("Writeln", {"X"})}},
        },
        true);
}

// Each assignment below is live: removing it changes what the routine does.
TEST_F(PascalStatements, DeadAssignmentRemovalKeepsLiveCode) {
    const TStatement elements = [](TPascalCommands* list, TPascalMethodWithImplementation* m) {
        for (int i = 1; i <= 2; ++i) {
            TPascalLet* let = list->AddLet();
            TPascalCallInExpression* element = let->Target->AddCallTo(Declared(m, S("A")));
            element->BracketKind = TPascalBracketKind::Square;
            element->AddArgument()->AddInteger(i);
            AddValue(let->Value, m, "X");
        }
    };
    auto letX = [](std::function<void(TPascalExpression*, TPascalMethodWithImplementation*)> value) -> TStatement {
        return [=](TPascalCommands* list, TPascalMethodWithImplementation* m) {
            TPascalLet* let = list->AddLet();
            AddValue(let->Target, m, "X");
            value(let->Value, m);
        };
    };
    const TStatement random = letX([](TPascalExpression* e, auto*) { e->AddCall(S("Random"))->AddArgument()->AddInteger(10); });
    const TStatement division = letX([](TPascalExpression* e, TPascalMethodWithImplementation* m) {
        TPascalOperationExpressionItem* div = e->AddOperation(TPascalOperationKind::Div);
        div->Left->AddInteger(10);
        AddValue(div->Right, m, "Y");
    });
    const TStatement takeAddress = [](TPascalCommands* list, TPascalMethodWithImplementation* m) {
        TPascalLet* let = list->AddLet();
        AddValue(let->Target, m, "P");
        let->Value->AddCallEx(S("@"), Declared(m, S("X")), QString());
    };
    auto local = [](const char* name, const char* type) {
        return [=](TPascalMethodWithImplementation* m) { AddVariable(m->LocalDeclarations, S(name), S(type)); };
    };
    ExpectBodies(nullptr,
        {
            {"elements of one array", {elements, Call("Writeln", {"A[1]"})}, local("A", "array[1..2] of Integer")},
            {"read by a verbatim line", {Let("X", "1"), Text("Writeln(X)"), Let("X", "2")}},
            {"read by a text item", {Let("X", "1"), Call("Writeln", {"x + 1"}), Let("X", "2")}},
            {"written before a conditional Exit", {Let("Result", "1"), If("C", {Call("Exit")}), Let("Result", "2")},
             [](TPascalMethodWithImplementation* m) {
                 m->Head->Kind = TPascalMethodKind::Function;
                 m->Head->ResultType->AddText(S("Integer"));
             }},
            {"a global", {Let("Global", "1"), Call("Routine1"), Let("Global", "2")}},
            {"a var parameter", {Let("V", "1"), Let("V", "2")},
             [](TPascalMethodWithImplementation* m) { m->Head->AddParameter(TPascalParamKind::Var, S("V"), S("Integer")); }},
            {"a value with a call", {random, Let("X", "2")}},
            {"a division that may fail", {division, Let("X", "2")}},
            {"a loop bound", {Let("I", "1"), For("I", "I", "3", {}), Call("Writeln")}},
            {"read in a finally part",
             {Let("X", "1"), TryFinally({Call("Writeln"), Let("X", "2")}, {Call("Writeln", {"X"})})}},
            {"inside a try part", {TryExcept({Let("X", "1"), Call("Writeln"), Let("X", "2")}, {}, {Call("Writeln", {"X"})})}},
            {"a local whose address is taken", {Text("P := @X"), Let("X", "1"), Call("Writeln", {"P^"}), Let("X", "2")},
             local("P", "^Integer")},
            {"a local whose address a call takes", {takeAddress, Let("X", "1"), Call("Writeln", {"P^"}), Let("X", "2")},
             local("P", "^Integer")},
            {"seen by a nested routine", {Let("X", "1"), Call("Show"), Let("X", "2")},
             [](TPascalMethodWithImplementation* m) {
                 auto* nested = AddMethodImplementation(m->LocalDeclarations, TPascalMethodKind::Procedure, S("Show"));
                 AddStatements(nested->Body, nested, {Call("Writeln", {"X"})});
             }},
        },
        true);
}

TEST_F(PascalStatements, DeadAssignmentRemovalOnALongListKeepsOnlyTheLast) {
    TPascalMethodWithImplementation* m = Routine();
    for (int i = 0; i < 20000; ++i) m->Body->AddLetTo(Declared(m, S(i % 2 ? "X" : "Y")), QString::number(i));
    m->Body->AddCall(S("Writeln"))->AddArgument()->AddText(S("X + Y"));
    m->Body->Simplify();
    EXPECT_EQ(WriteToText(m->Body), Lines({"Y := 19998;", "X := 19999;", "Writeln(X + Y);"}));
}

// More variables than fit the small form of the analysis.
TEST_F(PascalStatements, DeadAssignmentsOfManyVariables) {
    TPascalMethodWithImplementation* m = Routine();
    QList<TPascalVariable*> locals;
    for (int i = 0; i < 100; ++i)
        locals.append(AddVariable(m->LocalDeclarations, QStringLiteral("V%1").arg(i), S("Integer")));
    for (TPascalVariable* v : locals) m->Body->AddLetTo(v, S("1"));
    TPascalCustomCommand* verbatim = m->Body->AddText(S("Writeln(V7)"));
    for (TPascalVariable* v : locals) m->Body->AddLetTo(v, S("2"));
    TPascalLet* read = m->Body->AddLet();
    read->Target->AddCallTo(Declared(m, S("X")));
    for (TPascalVariable* v : locals) {
        TPascalCompareExpressionItem* test = read->Value->AddCompare(TPascalCompareKind::Equal);
        test->Left->AddCallTo(v);
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
// none, one or two statements. The unit is compiled and run; the trace it
// prints must be the trace that the tree means. A misplaced begin/end or a
// dangling else changes the trace or fails to compile.
class TRandomStatements {
public:
    explicit TRandomStatements(unsigned seed) : m_random(seed) {}

    // Names of locals that statements may write and print (none: marks only).
    std::vector<const char*> locals;

    // Up to two statements (three where depth allows); their trace goes to trace.
    TStatements List(int depth, QStringList& trace) {
        TStatements list;
        for (int i = 0, count = depth <= 0 ? Pick(2) : Pick(3); i < count; ++i) list.push_back(Statement(depth, trace));
        return list;
    }

private:
    enum TKind { Mark, IfKind, ForKind, WhileKind, CaseKind, TryExceptKind, TryFinallyKind, KindCount };

    TStatement Statement(int depth, QStringList& trace) {
        if (!locals.empty() && Pick(2) == 0) {
            // A local written or printed: what dead-assignment removal works on.
            const char* v = locals[size_t(Pick(int(locals.size())))];
            return Pick(3) == 0 ? Call("Write", {v, "' '"}) : Let(v, Number(Pick(100)));
        }
        QStringList never, chosen, other;
        switch (depth <= 0 ? Mark : TKind(Pick(KindCount))) {
        case Mark:
            trace << QString::number(++m_marks);
            return Call("Write", {Keep(u"'"_s + trace.back() + u" '"_s)});
        case IfKind: {
            const bool condition = Pick(2);
            TStatements thenPart = List(depth - 1, chosen), elsePart = Pick(2) ? List(depth - 1, other) : TStatements{};
            trace << (condition ? chosen : other);
            return If(condition ? "True" : "False", thenPart, elsePart);
        }
        case ForKind: {
            const int high = Pick(3);
            const bool downward = Pick(2);
            TStatements body = List(depth - 1, chosen);
            for (int i = 0; i < high; ++i) trace << chosen;
            return For(Keep(u"C"_s + QString::number(depth)), "1", Number(high), body, downward);
        }
        case WhileKind:
            return While("False", List(depth - 1, never));
        case CaseKind: {
            const int selector = 1 + Pick(3);
            TBranches items;
            for (int value = 1, count = Pick(3); value <= count; ++value)
                items.emplace_back(Number(value), List(depth - 1, value == selector ? chosen : never));
            TStatements elsePart = List(depth - 1, other);
            trace << (selector <= int(items.size()) ? chosen : other);
            return Case(Number(selector), items, elsePart);
        }
        case TryExceptKind: {  // nothing raises: only the try part runs
            TStatements tryPart = List(depth - 1, trace);
            TBranches handlers;
            if (Pick(2)) handlers.emplace_back("E: Exception", List(depth - 1, never));
            return TryExcept(tryPart, handlers, List(depth - 1, never));
        }
        default: {
            TStatements tryPart = List(depth - 1, trace);
            return TryFinally(tryPart, List(depth - 1, trace));
        }
        }
    }

    // Generated texts live as long as the generator.
    const char* Keep(const QString& text) { return m_texts.emplace_back(text.toStdString()).c_str(); }
    const char* Number(int value) { return Keep(QString::number(value)); }
    int Pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(m_random); }

    std::mt19937 m_random;
    int m_marks = 0;
    std::deque<std::string> m_texts;
};

// Sixty random routines "Run0".."Run59" in one unit, each with the loop
// counters C1..C4 and, with `locals`, the locals V1..V3 set to 0 first; the
// unit is compiled and run (simplified first with `simplify`). Answers the
// output and the text of the unit; the trace of the trees goes to `expected`.
QString RunRandomRoutines(unsigned seed, bool locals, bool simplify, QStringList& expected, QString* text) {
    TRandomStatements random(seed);
    auto unit = CreatePascalUnit(S("RandomStatements"));
    unit->ImplementationClause->UsedUnits->AddUnit(S("SysUtils"));
    QString calls;
    for (int r = 0; r < 60; ++r) {
        const QString name = QStringLiteral("Run%1").arg(r);
        AddMethodDeclaration(unit->InterfaceClause->Declarations, TPascalMethodKind::Procedure, name);
        auto* m = AddMethodImplementation(unit->ImplementationClause->Declarations, TPascalMethodKind::Procedure, name);
        for (const char* counter : {"C1", "C2", "C3", "C4"}) AddVariable(m->LocalDeclarations, S(counter), S("Integer"));
        random.locals.clear();
        for (const char* v : {"V1", "V2", "V3"}) {
            if (!locals) break;
            AddVariable(m->LocalDeclarations, S(v), S("Integer"));
            AddStatements(m->Body, m, {Let(v, "0")});
            random.locals.push_back(v);
        }
        for (int part = 0; part < (locals ? 8 : 1); ++part)
            AddStatements(m->Body, m, random.List(locals ? 3 : 4, expected));
        calls += name + QStringLiteral(";\n");
    }
    TFpcHarness fpc;
    *text = WritePascalModule(unit.get(), simplify);
    fpc.Add(unit->Name, *text);
    QString output;
    const QString failure = fpc.CompileAndRun(calls, &output);
    EXPECT_TRUE(failure.isEmpty()) << failure.toStdString();
    return output;
}

TEST(PascalStatementNesting, RandomTreesRunAsTheyMean) {
    if (!TFpcHarness::Available()) GTEST_SKIP() << "no fpc";
    QStringList expected;
    QString text;
    const QString output = RunRandomRoutines(1206, false, false, expected, &text);
    EXPECT_EQ(output.split(u' ', Qt::SkipEmptyParts), expected) << text.toStdString();
}

// Simplification must not change what a routine prints: random routines that
// write and print locals run once as built and once simplified.
TEST(PascalStatementNesting, SimplifiedRandomRoutinesPrintTheSame) {
    if (!TFpcHarness::Available()) GTEST_SKIP() << "no fpc";
    QStringList ignored;
    QString texts[2], outputs[2];
    for (int simplified = 0; simplified < 2; ++simplified)
        outputs[simplified] = RunRandomRoutines(77, true, simplified == 1, ignored, &texts[simplified]);
    EXPECT_EQ(outputs[1], outputs[0]);
    EXPECT_LT(texts[1].count(u'\n'), texts[0].count(u'\n') - 100);  // simplification did remove code
    EXPECT_GT(outputs[0].count(u' '), 100);
}

}  // namespace
