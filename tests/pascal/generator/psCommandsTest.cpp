// Statements: begin/end, terminators before "else", case layouts, loops and
// try statements, and the simplification of statement lists.

#include "pascal/generator/psModules.h"

#include <gtest/gtest.h>

#include <random>

#include "psTestSupport.h"

namespace {

// A unit whose routines declare the locals the statements below use.
class PascalStatements : public ::testing::Test {
protected:
    PascalStatements() : unit(CreatePascalUnit(QStringLiteral("Statements"))) {}

    TPascalMethodWithImplementation* Routine() {
        auto* m = AddMethodImplementation(unit->ImplementationClause->Declarations, TPascalMethodKind::Procedure,
                                          QStringLiteral("Routine%1").arg(++count));
        for (const char* name : {"C", "D"}) vars[name] = AddVariable(m->LocalDeclarations, S(name), S("Boolean"));
        for (const char* name : {"X", "Y", "I"}) vars[name] = AddVariable(m->LocalDeclarations, S(name), S("Integer"));
        return m;
    }
    TPascalCommands* Body() { return Routine()->Body; }
    // Statements of a fragment are plain texts.
    static void Text(TPascalCommands* list, const char* text) { list->AddText(S(text)); }
    static TPascalIf* If(TPascalCommands* list, const char* condition) {
        TPascalIf* f = list->AddIf();
        f->Condition->AddText(S(condition));
        return f;
    }
    // A fresh body (in list) holding "if C then ... else <elseText>"; the
    // caller fills the then part.
    TPascalIf* IfElse(TPascalCommands*& list, const char* elseText) {
        list = Body();
        TPascalIf* f = If(list, "C");
        Text(f->ElsePart, elseText);
        return f;
    }
    void ExpectCompiles() {
        TFpcHarness fpc;
        fpc.AddUnit(unit.get());
        EXPECT_COMPILES(fpc);
    }

    TNodePtr<TPascalUnit> unit;
    std::map<std::string, TPascalVariable*> vars;
    int count = 0;
};

TEST_F(PascalStatements, IfWithoutAndWithElse) {
    TPascalCommands* a = Body();
    Text(If(a, "C")->ThenPart, "X := 1");
    EXPECT_EQ(WriteToText(a), Lines({"if C then", "  X := 1;"}));

    TPascalCommands* b;
    Text(IfElse(b, "X := 2")->ThenPart, "X := 1");
    EXPECT_EQ(WriteToText(b), Lines({"if C then", "  X := 1", "else", "  X := 2;"}));

    TPascalCommands* c = Body();
    TPascalIf* f = If(c, "C");
    Text(f->ThenPart, "X := 1");
    Text(f->ThenPart, "Y := 1");
    Text(f->ElsePart, "X := 2");
    Text(f->ElsePart, "Y := 2");
    EXPECT_EQ(WriteToText(c), Lines({"if C then", "begin", "  X := 1;", "  Y := 1;", "end", "else begin",
                                     "  X := 2;", "  Y := 2;", "end;"}));

    TPascalCommands* empty = Body();
    Text(If(empty, "C")->ElsePart, "X := 2");
    EXPECT_EQ(WriteToText(empty), Lines({"if C then", "begin", "end", "else", "  X := 2;"}));
    ExpectCompiles();
}

// A then part followed by "else" whose lone statement ends with a nested
// statement would put that statement's ";" before the "else" (or, for an if
// without else, give the "else" to the inner if).
TEST_F(PascalStatements, SemicolonBeforeElseFromANestedStatement) {
    TPascalCommands* lone;
    TPascalIf* outer = IfElse(lone, "X := 2");
    Text(If(outer->ThenPart, "D")->ThenPart, "X := 1");
    EXPECT_EQ(WriteToText(lone), Lines({"if C then", "begin", "  if D then", "    X := 1;", "end", "else", "  X := 2;"}));

    TPascalCommands* a;
    TPascalIf* inner = If(IfElse(a, "X := 3")->ThenPart, "D");
    Text(inner->ThenPart, "X := 1");
    Text(inner->ElsePart, "X := 2");
    EXPECT_EQ(WriteToText(a), Lines({"if C then", "begin", "  if D then", "    X := 1", "  else", "    X := 2;", "end",
                                     "else", "  X := 3;"}));

    TPascalCommands* b;
    TPascalWhile* w = IfElse(b, "X := 3")->ThenPart->AddWhile();
    w->Condition->AddText(S("D"));
    Text(w->Body, "D := False");
    EXPECT_EQ(WriteToText(b), Lines({"if C then", "begin", "  while D do", "    D := False;", "end", "else",
                                     "  X := 3;"}));

    TPascalCommands* c;
    TPascalFor* loop = IfElse(c, "X := 3")->ThenPart->AddFor();
    loop->Counter->AddCallTo(vars["I"]);
    loop->LowValue->AddInteger(1);
    loop->HighValue->AddInteger(3);
    Text(loop->Body, "X := I");
    EXPECT_EQ(WriteToText(c), Lines({"if C then", "begin", "  for I := 1 to 3 do", "    X := I;", "end", "else",
                                     "  X := 3;"}));

    // Verbatim text may carry its own ";".
    TPascalCommands* d;
    IfElse(d, "X := 3")->ThenPart->AddText(S("X := 1;"))->Terminated = false;
    EXPECT_EQ(WriteToText(d), Lines({"if C then", "begin", "  X := 1;", "end", "else", "  X := 3;"}));

    // A loop with a begin/end body, a case and a try end with their own "end".
    TPascalCommands* e;
    w = IfElse(e, "X := 3")->ThenPart->AddWhile();
    w->Condition->AddText(S("D"));
    Text(w->Body, "D := False");
    Text(w->Body, "X := 1");
    EXPECT_EQ(WriteToText(e), Lines({"if C then", "  while D do", "  begin", "    D := False;", "    X := 1;", "  end",
                                     "else", "  X := 3;"}));

    // A lone conditional block.
    TPascalCommands* g;
    TPascalIfDef* block = CreateNode<TPascalIfDef>(IfElse(g, "X := 2")->ThenPart);
    block->Condition->AddText(S("DEBUG"));
    block->NewLineAtEnd = true;
    CreateNode<TPascalCustomCommand>(block->ThenPart)->Text = S("X := 1");
    EXPECT_EQ(WriteToText(g), Lines({"if C then", "begin", "  {$IFDEF DEBUG}X := 1;", "  {$ENDIF}", "end", "else",
                                     "  X := 2;"}));
    ExpectCompiles();
}

// A body without begin/end whose only entry is a comment or a verbatim line
// (which may be a comment) would take the next statement as its body.
TEST_F(PascalStatements, CommentOrVerbatimLineAloneInABodyGetsBeginEnd) {
    TPascalCommands* a = Body();
    TPascalWhile* w = a->AddWhile();
    w->Condition->AddText(S("C"));
    AddComment(w->Body, S("nothing yet"));
    TPascalIf* f = If(a, "D");
    f->ThenPart->AddText(S("// note"))->Terminated = false;
    Text(a, "X := 1");
    EXPECT_EQ(WriteToText(a), Lines({"while C do", "begin", "  { nothing yet }", "end;", "if D then", "begin",
                                     "  // note", "end;", "X := 1;"}));
    ExpectCompiles();
}

TEST_F(PascalStatements, CaseLayouts) {
    TPascalCommands* a = Body();
    TPascalCase* c = a->AddCase();
    c->Selector->AddText(S("X"));
    TPascalCaseItem* one = c->Items->AddCaseItem();
    one->Values->AddText(S("1, 2"));
    Text(one->Commands, "Y := 1");
    TPascalCaseItem* two = c->Items->AddCaseItem();
    two->Values->AddText(S("3..5"));
    Text(two->Commands, "Y := 2");
    Text(two->Commands, "C := True");
    c->Items->AddCaseItem()->Values->AddText(S("6"));
    Text(c->ElsePart, "Y := 0");
    EXPECT_EQ(WriteToText(a), Lines({"case X of", "  1, 2:", "    Y := 1;", "  3..5:", "  begin", "    Y := 2;",
                                     "    C := True;", "  end;", "  6:", "  begin", "  end;", "else", "  Y := 0;",
                                     "end;"}));
    Text(c->ElsePart, "C := False");
    EXPECT_EQ(WriteToText(a), Lines({"case X of", "  1, 2:", "    Y := 1;", "  3..5:", "  begin", "    Y := 2;",
                                     "    C := True;", "  end;", "  6:", "  begin", "  end;", "else", "  begin",
                                     "    Y := 0;", "    C := False;", "  end;", "end;"}));
    ExpectCompiles();
}

// "case X of else ... end" does not compile: a case without branches is its
// else part.
TEST_F(PascalStatements, CaseWithoutItemsWritesItsElsePartInPlace) {
    TPascalCommands* a = Body();
    TPascalCase* c = a->AddCase();
    c->Selector->AddText(S("X"));
    Text(c->ElsePart, "Y := 0");
    EXPECT_EQ(WriteToText(a), S("Y := 0;\n"));

    Text(c->ElsePart, "Y := 1");
    EXPECT_EQ(WriteToText(a), Lines({"begin", "  Y := 0;", "  Y := 1;", "end;"}));

    TPascalCommands* b;
    IfElse(b, "Y := 2")->ThenPart->AddCase()->Selector->AddText(S("X"));
    EXPECT_EQ(WriteToText(b), Lines({"if C then", "  begin", "  end", "else", "  Y := 2;"}));

    TPascalCommands* d;
    Text(IfElse(d, "Y := 2")->ThenPart->AddCase()->ElsePart, "Y := 1");
    EXPECT_EQ(WriteToText(d), Lines({"if C then", "  Y := 1", "else", "  Y := 2;"}));

    // The case stands for its lone else statement, also for begin/end.
    TPascalCommands* e;
    Text(If(IfElse(e, "Y := 2")->ThenPart->AddCase()->ElsePart, "D")->ThenPart, "Y := 1");
    EXPECT_EQ(WriteToText(e), Lines({"if C then", "begin", "  if D then", "    Y := 1;", "end", "else", "  Y := 2;"}));
    ExpectCompiles();
}

TEST_F(PascalStatements, LoopsAndTryStatements) {
    TPascalCommands* a = Body();
    TPascalFor* down = a->AddFor();
    down->Counter->AddCallTo(vars["I"]);
    down->LowValue->AddInteger(0);
    down->HighValue->AddText(S("X - 1"));
    down->Downward = true;
    Text(down->Body, "Y := Y + I");
    TPascalWhile* w = a->AddWhile();
    w->Condition->AddText(S("C"));
    TPascalTryFinally* tf = a->AddTryFinally();
    Text(tf->TryPart, "X := 1");
    Text(tf->FinallyPart, "X := 2");
    TPascalTryExcept* te = a->AddTryExcept();
    Text(te->TryPart, "X := 1");
    TPascalTryExceptItem* handler = te->Handlers->AddHandler();
    handler->Values->AddText(S("E: EConvertError"));
    Text(handler->Commands, "X := 2");
    Text(te->ElsePart, "X := 3");
    Text(te->ElsePart, "raise");
    TPascalTryExcept* bare = a->AddTryExcept();
    Text(bare->TryPart, "X := 1");
    Text(bare->ElsePart, "X := 0");
    EXPECT_EQ(WriteToText(a),
              Lines({"for I := X - 1 downto 0 do", "  Y := Y + I;", "while C do", "begin", "end;", "try", "  X := 1;",
                     "finally", "  X := 2;", "end;", "try", "  X := 1;", "except", "  on E: EConvertError do",
                     "    X := 2;", "else begin", "  X := 3;", "  raise;", "end;", "end;", "try", "  X := 1;",
                     "except", "  X := 0;", "end;"}));
    unit->ImplementationClause->UsedUnits->AddUnit(S("SysUtils"));
    ExpectCompiles();
}

TEST_F(PascalStatements, CallsAndVerbatimLines) {
    TPascalCommands* a = Body();
    a->AddCall(S("Exit"));
    a->AddCallTo(vars["X"])->AddArgument()->AddInteger(1);
    a->AddText(S("Y := 2 { verbatim }"))->Terminated = false;
    TPascalLet* let = a->AddLetTo(vars["Y"], S("X"));
    let->Value->AddText(S(" + 1"));
    EXPECT_EQ(WriteToText(a), Lines({"Exit;", "X(1);", "Y := 2 { verbatim }", "Y := X + 1;"}));
}

// ---------------------------------------------------------------------------
// Simplification

TEST_F(PascalStatements, LiteralConditionsDecideBranches) {
    TPascalCommands* a = Body();
    TPascalIf* t = a->AddIf();
    t->Condition->AddBoolean(true);
    Text(t->ThenPart, "X := 1");
    Text(t->ElsePart, "X := 2");
    TPascalIf* f = a->AddIf();
    f->Condition->AddBoolean(false);
    Text(f->ThenPart, "Y := 1");
    Text(f->ElsePart, "Y := 2");
    Text(f->ElsePart, "Y := 3");
    a->AddWhile()->Condition->AddBoolean(false);
    TPascalWhile* endless = a->AddWhile();
    endless->Condition->AddBoolean(true);
    Text(endless->Body, "Break");
    a->Simplify();
    EXPECT_EQ(WriteToText(a), Lines({"X := 1;", "Y := 2;", "Y := 3;", "while True do", "  Break;"}));
}

// X := value, with X one of the routine's locals (or a node given).
TPascalLet* Let(TPascalCommands* list, TPascalNamedNode* target, const QString& value) {
    return list->AddLetTo(target, value);
}

TEST_F(PascalStatements, DeadAssignmentsOfLocalsAreRemoved) {
    TPascalMethodWithImplementation* m = Routine();
    TPascalVariable* x = vars["X"];
    Let(m->Body, x, S("1"));
    Let(m->Body, x, S("2"));
    m->Body->Simplify();
    EXPECT_EQ(WriteToText(m->Body), S("X := 2;\n"));

    TPascalMethodWithImplementation* read = Routine();
    x = vars["X"];
    Let(read->Body, x, S("1"));
    read->Body->AddCall(S("Writeln"))->AddArgument()->AddCallTo(x);
    Let(read->Body, x, S("2"));
    read->Body->Simplify();
    EXPECT_EQ(WriteToText(read->Body), Lines({"X := 1;", "Writeln(X);", "X := 2;"}));

    // Both branches overwrite; every branch of a case and its else overwrite.
    TPascalMethodWithImplementation* branches = Routine();
    x = vars["X"];
    Let(branches->Body, x, S("0"));
    TPascalIf* f = branches->Body->AddIf();
    f->Condition->AddCallTo(vars["C"]);
    Let(f->ThenPart, x, S("1"));
    Let(f->ElsePart, x, S("2"));
    Let(branches->Body, x, S("5"));
    TPascalCase* c = branches->Body->AddCase();
    c->Selector->AddCallTo(vars["Y"]);
    TPascalCaseItem* item = c->Items->AddCaseItem();
    item->Values->AddInteger(1);
    Let(item->Commands, x, S("3"));
    Let(c->ElsePart, x, S("4"));
    branches->Body->AddCall(S("Writeln"))->AddArgument()->AddCallTo(x);
    branches->Simplify();
    EXPECT_EQ(WriteToText(branches->Body), Lines({"if C then", "  X := 1", "else", "  X := 2;", "case Y of", "  1:",
                                                  "    X := 3;", "else", "  X := 4;", "end;", "Writeln(X);"}));
    ExpectCompiles();
}

// Each assignment below is live: removing it changes what the routine does.
TEST_F(PascalStatements, DeadAssignmentRemovalKeepsLiveCode) {
    auto* globals = unit->ImplementationClause->Declarations;
    TPascalVariable* global = AddVariable(globals, S("Global"), S("Integer"), false, globals->First());
    AddVariable(globals, S("Cells"), S("array[1..2] of Integer"), false, globals->First());

    struct TCase {
        const char* name;
        std::function<void(TPascalMethodWithImplementation*)> build;
    };
    const TCase cases[] = {
        {"elements of one array",
         [&](TPascalMethodWithImplementation* m) {
             TPascalVariable* a = AddVariable(m->LocalDeclarations, S("A"), S("array[1..2] of Integer"));
             for (int i = 1; i <= 2; ++i) {
                 TPascalLet* let = m->Body->AddLet();
                 TPascalCallInExpression* element = let->Target->AddCallTo(a);
                 element->BracketKind = TPascalBracketKind::Square;
                 element->AddArgument()->AddInteger(i);
                 let->Value->AddCallTo(vars["X"]);
             }
             m->Body->AddCall(S("Writeln"))->AddArgument()->AddText(S("A[1]"));
         }},
        {"read by a verbatim line",
         [&](TPascalMethodWithImplementation* m) {
             Let(m->Body, vars["X"], S("1"));
             m->Body->AddText(S("Writeln(X)"));
             Let(m->Body, vars["X"], S("2"));
         }},
        {"read by a text item",
         [&](TPascalMethodWithImplementation* m) {
             Let(m->Body, vars["X"], S("1"));
             m->Body->AddCall(S("Writeln"))->AddArgument()->AddText(S("x + 1"));
             Let(m->Body, vars["X"], S("2"));
         }},
        {"written before a conditional Exit",
         [&](TPascalMethodWithImplementation* m) {
             m->Head->Kind = TPascalMethodKind::Function;
             m->Head->ResultType->AddText(S("Integer"));
             Let(m->Body, m->ResultVariable, S("1"));
             TPascalIf* f = m->Body->AddIf();
             f->Condition->AddCallTo(vars["C"]);
             f->ThenPart->AddCall(S("Exit"));
             Let(m->Body, m->ResultVariable, S("2"));
         }},
        {"a global",
         [&](TPascalMethodWithImplementation* m) {
             Let(m->Body, global, S("1"));
             m->Body->AddCall(S("Routine1"));
             Let(m->Body, global, S("2"));
         }},
        {"a var parameter",
         [&](TPascalMethodWithImplementation* m) {
             TPascalMethodParameter* p = m->Head->AddParameter(TPascalParamKind::Var, S("P"), S("Integer"));
             Let(m->Body, p, S("1"));
             Let(m->Body, p, S("2"));
         }},
        {"a value with a call",
         [&](TPascalMethodWithImplementation* m) {
             TPascalLet* let = m->Body->AddLet();
             let->Target->AddCallTo(vars["X"]);
             let->Value->AddCall(S("Random"))->AddArgument()->AddInteger(10);
             Let(m->Body, vars["X"], S("2"));
         }},
        {"a division that may fail",
         [&](TPascalMethodWithImplementation* m) {
             TPascalLet* let = m->Body->AddLet();
             let->Target->AddCallTo(vars["X"]);
             TPascalOperationExpressionItem* div = let->Value->AddOperation(TPascalOperationKind::Div);
             div->Left->AddInteger(10);
             div->Right->AddCallTo(vars["Y"]);
             Let(m->Body, vars["X"], S("2"));
         }},
        {"a loop bound",
         [&](TPascalMethodWithImplementation* m) {
             Let(m->Body, vars["I"], S("1"));
             TPascalFor* loop = m->Body->AddFor();
             loop->Counter->AddCallTo(vars["I"]);
             loop->LowValue->AddCallTo(vars["I"]);
             loop->HighValue->AddInteger(3);
             m->Body->AddCall(S("Writeln"));
         }},
        {"read in a finally part",
         [&](TPascalMethodWithImplementation* m) {
             Let(m->Body, vars["X"], S("1"));
             TPascalTryFinally* t = m->Body->AddTryFinally();
             t->TryPart->AddCall(S("Writeln"));
             Let(t->TryPart, vars["X"], S("2"));
             t->FinallyPart->AddCall(S("Writeln"))->AddArgument()->AddCallTo(vars["X"]);
         }},
        {"inside a try part",
         [&](TPascalMethodWithImplementation* m) {
             TPascalTryExcept* t = m->Body->AddTryExcept();
             Let(t->TryPart, vars["X"], S("1"));
             t->TryPart->AddCall(S("Writeln"));
             Let(t->TryPart, vars["X"], S("2"));
             t->ElsePart->AddCall(S("Writeln"))->AddArgument()->AddCallTo(vars["X"]);
         }},
        {"a local whose address is taken",
         [&](TPascalMethodWithImplementation* m) {
             TPascalVariable* p = AddVariable(m->LocalDeclarations, S("P"), S("^Integer"));
             m->Body->AddText(S("P := @X"));
             Let(m->Body, vars["X"], S("1"));
             m->Body->AddCall(S("Writeln"))->AddArgument()->AddCallEx(QString(), p, S("^"));
             Let(m->Body, vars["X"], S("2"));
         }},
        {"a local whose address a call takes",
         [&](TPascalMethodWithImplementation* m) {
             TPascalVariable* p = AddVariable(m->LocalDeclarations, S("P"), S("^Integer"));
             TPascalLet* take = m->Body->AddLet();
             take->Target->AddCallTo(p);
             take->Value->AddCallEx(S("@"), vars["X"], QString());
             Let(m->Body, vars["X"], S("1"));
             m->Body->AddCall(S("Writeln"))->AddArgument()->AddCallEx(QString(), p, S("^"));
             Let(m->Body, vars["X"], S("2"));
         }},
        {"seen by a nested routine",
         [&](TPascalMethodWithImplementation* m) {
             TPascalMethodWithImplementation* nested =
                 AddMethodImplementation(m->LocalDeclarations, TPascalMethodKind::Procedure, S("Show"));
             nested->Body->AddCall(S("Writeln"))->AddArgument()->AddCallTo(vars["X"]);
             Let(m->Body, vars["X"], S("1"));
             m->Body->AddCall(S("Show"));
             Let(m->Body, vars["X"], S("2"));
         }},
    };
    for (const TCase& c : cases) {
        TPascalMethodWithImplementation* m = Routine();
        c.build(m);
        const QString before = WriteToText(m->Body);
        m->Simplify();
        EXPECT_EQ(WriteToText(m->Body), before) << c.name;
    }
    ExpectCompiles();
}

TEST_F(PascalStatements, DeadAssignmentRemovalOnALongListKeepsOnlyTheLast) {
    TPascalMethodWithImplementation* m = Routine();
    for (int i = 0; i < 20000; ++i) Let(m->Body, i % 2 ? vars["X"] : vars["Y"], QString::number(i));
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
    for (TPascalVariable* v : locals) Let(m->Body, v, S("1"));
    m->Body->AddText(S("Writeln(V7)"));
    for (TPascalVariable* v : locals) Let(m->Body, v, S("2"));
    TPascalLet* read = m->Body->AddLet();
    read->Target->AddCallTo(vars["X"]);
    for (TPascalVariable* v : locals) {
        TPascalCompareExpressionItem* sum = read->Value->AddCompare(TPascalCompareKind::Equal);
        sum->Left->AddCallTo(v);
        sum->Right->AddInteger(0);
    }
    const int before = m->Body->ChildCount();
    m->Body->Simplify();
    EXPECT_EQ(m->Body->ChildCount(), before);  // the verbatim line may read any of them

    m->Body->First()->Next()->Free();  // drop V1 := 1
    for (TPascalNode* s = m->Body->First(); s;) {
        TPascalNode* next = s->Next();
        if (PascalAs<TPascalCustomCommand>(s)) s->Free();
        s = next;
    }
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

    // Fills list with up to two statements; appends their trace to trace.
    void List(TPascalCommands* list, int depth, QStringList& trace) {
        const int count = depth <= 0 ? Pick(2) : Pick(3);
        for (int i = 0; i < count; ++i) Statement(list, depth, trace);
    }

private:
    void Statement(TPascalCommands* list, int depth, QStringList& trace) {
        if (!locals.empty() && Pick(2) == 0) {
            // A local written or printed: what dead-assignment removal works on.
            TPascalVariable* v = locals[size_t(Pick(int(locals.size())))];
            if (Pick(3) == 0) {
                TPascalCallInCommands* print = list->AddCall(S("Write"));
                print->AddArgument()->AddCallTo(v);
                print->AddArgument()->AddString(S(" "));
            } else {
                list->AddLetTo(v, QString::number(Pick(100)));
            }
            return;
        }
        switch (depth <= 0 ? 0 : Pick(7)) {
        case 0: {
            const QString mark = QString::number(++m_marks);
            list->AddCall(S("Write"))->AddArgument()->AddString(mark + u' ');
            trace << mark;
            break;
        }
        case 1: {
            TPascalIf* s = list->AddIf();
            const bool condition = Pick(2);
            s->Condition->AddBoolean(condition);
            QStringList thenTrace, elseTrace;
            List(s->ThenPart, depth - 1, thenTrace);
            if (Pick(2)) List(s->ElsePart, depth - 1, elseTrace);
            trace << (condition ? thenTrace : elseTrace);
            break;
        }
        case 2: {
            TPascalFor* s = list->AddFor();
            s->Counter->AddText(QStringLiteral("C%1").arg(depth));
            const int high = Pick(3);
            s->LowValue->AddInteger(1);
            s->HighValue->AddInteger(high);
            s->Downward = Pick(2);
            QStringList body;
            List(s->Body, depth - 1, body);
            for (int i = 0; i < high; ++i) trace << body;
            break;
        }
        case 3: {
            TPascalWhile* s = list->AddWhile();
            s->Condition->AddBoolean(false);
            QStringList never;
            List(s->Body, depth - 1, never);
            break;
        }
        case 4: {
            TPascalCase* s = list->AddCase();
            const int selector = 1 + Pick(3);
            s->Selector->AddInteger(selector);
            QStringList chosen;
            bool taken = false;
            for (int value = 1, items = Pick(3); value <= items; ++value) {
                TPascalCaseItem* item = s->Items->AddCaseItem();
                item->Values->AddInteger(value);
                QStringList itemTrace;
                List(item->Commands, depth - 1, itemTrace);
                if (value == selector) chosen = itemTrace, taken = true;
            }
            QStringList elseTrace;
            List(s->ElsePart, depth - 1, elseTrace);
            trace << (taken ? chosen : elseTrace);
            break;
        }
        case 5: {  // nothing raises: only the try part runs
            TPascalTryExcept* s = list->AddTryExcept();
            List(s->TryPart, depth - 1, trace);
            QStringList never;
            if (Pick(2)) {
                TPascalTryExceptItem* handler = s->Handlers->AddHandler();
                handler->Values->AddText(S("E: Exception"));
                List(handler->Commands, depth - 1, never);
            }
            List(s->ElsePart, depth - 1, never);
            break;
        }
        default: {
            TPascalTryFinally* s = list->AddTryFinally();
            List(s->TryPart, depth - 1, trace);
            List(s->FinallyPart, depth - 1, trace);
            break;
        }
        }
    }

    int Pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(m_random); }
    std::mt19937 m_random;
    int m_marks = 0;

public:
    // Locals that statements may write and print (none: marks only).
    std::vector<TPascalVariable*> locals;
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
        for (int d = 1; d <= 4; ++d) AddVariable(m->LocalDeclarations, QStringLiteral("C%1").arg(d), S("Integer"));
        random.locals.clear();
        for (int v = 1; locals && v <= 3; ++v) {
            random.locals.push_back(AddVariable(m->LocalDeclarations, QStringLiteral("V%1").arg(v), S("Integer")));
            m->Body->AddLetTo(random.locals.back(), S("0"));
        }
        for (int part = 0; part < (locals ? 8 : 1); ++part) random.List(m->Body, locals ? 3 : 4, expected);
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
