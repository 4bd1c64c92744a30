#include "core/cuUndoRedo.h"

#include <gtest/gtest.h>

namespace {

// An operation that logs what it does and runs a scripted reaction.
class TTestOp : public TOperation {
public:
    TTestOp(QString name, QStringList* log, int flags) : TOperation(name), name(name), log(log), flags(flags) {}

    QString name;
    QStringList* log;
    int flags;
    bool logHooks = false;  // BeginExecute and EndExecute log themselves with the state
    std::function<void(TTestOp*)> onExecute, onUndo;
    std::function<bool(TOperation*)> merge;

    QString GetCaption() const override { return Caption(); }
    int GetFlags() const override { return flags; }
    bool MergeWith(TOperation* previous) override { return merge && merge(previous); }

protected:
    ~TTestOp() override { log->append("free " + name); }
    void LogHook(const char* hook) {
        if (logHooks) log->append(QStringLiteral("%1 %2 %3").arg(QLatin1String(hook), name).arg(State()));
    }
    void BeginExecute() override { LogHook("begin"); }
    void EndExecute() override { LogHook("end"); }
    void DoExecute() override {
        log->append((State() == osRedoing ? "redo " : "do ") + name);
        if (onExecute) onExecute(this);
    }
    void DoUndo() override {
        log->append("undo " + name);
        if (onUndo) onUndo(this);
    }
};

class TLogGroup : public TGroupingOperation {
public:
    TLogGroup(QString name, QStringList* log) : TGroupingOperation(std::move(name)), log(log) {}
    QStringList* log;

protected:
    ~TLogGroup() override { log->append("free group " + Caption()); }
};

class UndoRedoTest : public ::testing::Test {
protected:
    QStringList log;  // what the operations did
    QList<int> codes;  // what the history broadcast
    std::unique_ptr<TUndoRedo> history = std::make_unique<TUndoRedo>();

    void SetUp() override { history->AddHandler(MakeHandler<&UndoRedoTest::OnHistory>(this)); }
    void OnHistory(TItfObject*, int msg, intptr_t, intptr_t) { codes << msg; }

    TNodePtr<TTestOp> Op(const QString& name, int flags = TOperation::ofChangesData) {
        return MakeNode<TTestOp>(name, &log, flags);
    }
    TTestOp* Submit(const QString& name, int flags = TOperation::ofChangesData,
                    std::function<void(TTestOp*)> onExecute = {}) {
        TNodePtr<TTestOp> op = Op(name, flags);
        op->onExecute = std::move(onExecute);
        TTestOp* raw = op.get();
        history->Execute(std::move(op));
        return raw;  // may be freed already; compare only
    }
    static QStringList Names(const TNode* list) {
        QStringList names;
        for (TNode* c = list->FirstChild(); c; c = c->NextSibling()) {
            auto* op = static_cast<TOperation*>(c);
            QString s = op->Caption();
            if (c->HasChildren()) s += "(" + Names(c).join(",") + ")";
            names << s;
        }
        return names;
    }
    QStringList UndoNames() const { return Names(history->UndoList()); }
    QStringList RedoNames() const { return Names(history->RedoList()); }
    void Reset() {
        log.clear();
        codes.clear();
    }
};

// Running and filing

TEST_F(UndoRedoTest, ExecuteUndoRedoAndExecuteAgain) {
    history->Undo();  // on empty lists: nothing
    history->Redo();
    EXPECT_TRUE(codes.isEmpty());
    Submit("a");
    EXPECT_EQ(log, QStringList({"do a"}));
    EXPECT_EQ(codes, QList<int>({TUndoRedo::urModifiedChanged, TUndoRedo::urExecuted}));
    Submit("b");
    history->ResetModified();
    Reset();
    history->Undo();
    history->Undo();
    EXPECT_EQ(RedoNames(), QStringList({"a", "b"}));
    EXPECT_EQ(history->GetNextRedo()->Caption(), "a");
    history->Redo();
    EXPECT_EQ(UndoNames(), QStringList({"a"}));
    EXPECT_EQ(RedoNames(), QStringList({"b"}));
    EXPECT_EQ(log, QStringList({"undo b", "undo a", "redo a"}));
    EXPECT_EQ(codes, QList<int>({4, 2, 2, 3}));  // undoing back to the saved state still counts
    EXPECT_TRUE(history->Modified());
    Reset();
    Submit("c");  // empties the redo list
    EXPECT_EQ(log, QStringList({"do c", "free b"}));
    EXPECT_EQ(UndoNames(), QStringList({"a", "c"}));
    EXPECT_FALSE(history->CanRedo());
}

TEST_F(UndoRedoTest, ModifiedFlagBroadcastsOnlyWhenItChangesAndMergedOperationsLeaveOneStep) {
    Submit("view", 0);  // changes no data
    EXPECT_FALSE(history->Modified());
    Submit("a");
    Submit("b");
    history->ResetModified();
    history->ResetModified();
    EXPECT_FALSE(history->Modified());
    EXPECT_EQ(codes, QList<int>({1, 4, 1, 1, 4}));
    // A merged operation is freed and leaves one step.
    TNodePtr<TTestOp> c = Op("c");
    TOperation* seen = nullptr;
    c->merge = [&](TOperation* previous) {
        seen = previous;
        return true;
    };
    TOperation* b = history->GetNextUndo();
    Reset();
    history->Execute(std::move(c));
    EXPECT_EQ(seen, b);
    EXPECT_EQ(UndoNames(), QStringList({"view", "a", "b"}));
    EXPECT_EQ(log, QStringList({"do c", "free c"}));
    EXPECT_EQ(codes, QList<int>({4, 1}));
}

TEST_F(UndoRedoTest, NotKeptOperationRunsOnceAndIsFreed) {
    struct {
        const char* title;
        int flags;
        QList<int> codes;
        QStringList undo, redo;
    } const cases[] = {
        {"view only", TOperation::ofNotKept, {1}, {"a"}, {"b"}},
        {"changing data clears first", TOperation::ofNotKept | TOperation::ofChangesData, {6, 1}, {}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.title);
        history = std::make_unique<TUndoRedo>();
        SetUp();
        Submit("a");
        Submit("b");
        history->Undo();
        Reset();
        Submit("x", c.flags);
        EXPECT_EQ(codes, c.codes);
        EXPECT_TRUE(log.startsWith("do x"));
        EXPECT_TRUE(log.contains("free x"));
        EXPECT_EQ(UndoNames(), c.undo);
        EXPECT_EQ(RedoNames(), c.redo);
    }
}

// Groups

TEST_F(UndoRedoTest, GroupOfThreeIsOneStepAndEmptyNestedAndInnerGroupsAreFreed) {
    history->BeginGroup(MakeNode<TLogGroup>("", &log));
    EXPECT_EQ(history->GetCurrentOperation(), history->CurrentGroup());
    EXPECT_EQ(history->CurrentGroup()->State(), TOperation::osFirstExecution);
    Submit("a");
    Submit("b");
    Submit("c");
    EXPECT_FALSE(history->CanUndo());
    history->EndGroup();
    EXPECT_EQ(codes, QList<int>({4, 1, 1, 1, 1}));
    EXPECT_EQ(UndoNames(), QStringList({"(a,b,c)"}));
    Reset();
    history->Undo();
    history->Redo();
    EXPECT_EQ(log, QStringList({"undo c", "undo b", "undo a", "redo a", "redo b", "redo c"}));
    Reset();
    history->BeginGroup(MakeNode<TLogGroup>("g", &log));
    history->EndGroup();  // empty: freed without a broadcast
    EXPECT_TRUE(codes.isEmpty());
    EXPECT_EQ(log, QStringList({"free group g"}));
    // A nested group is freed and its content goes to the outer group.
    history->BeginGroup(MakeNode<TLogGroup>("outer", &log));
    history->BeginGroup(MakeNode<TLogGroup>("inner", &log));
    EXPECT_EQ(history->GroupDepth(), 2);
    Submit("d");
    history->EndGroup();
    EXPECT_EQ(history->CurrentGroup()->Caption(), "outer");
    Submit("e");
    history->EndGroup();
    history->EndGroup();  // unbalanced: ignored
    EXPECT_EQ(history->GroupDepth(), 0);
    // A group opened while an operation runs is freed.
    Submit("p", TOperation::ofChangesData, [&](TTestOp*) {
        history->BeginGroup(MakeNode<TLogGroup>("g2", &log));
        Submit("s");
        history->EndGroup();
    });
    EXPECT_EQ(UndoNames(), QStringList({"(a,b,c)", "outer(d,e)", "p(s)"}));
    EXPECT_TRUE(log.contains("free group g2"));
}

// Failures

TEST_F(UndoRedoTest, RaisingOperationIsFreedAndNotFiledAndReachesItsParent) {
    const auto raise = [](TTestOp*) { throw Exception("no"); };
    TTestOp* a = Submit("a");
    Reset();
    EXPECT_THROW(Submit("bad", TOperation::ofChangesData, raise), Exception);
    EXPECT_EQ(log, QStringList({"do bad", "free bad"}));
    EXPECT_TRUE(codes.isEmpty());
    Submit("p", TOperation::ofChangesData, [&](TTestOp*) {
        Submit("s1");
        EXPECT_THROW(Submit("bad", TOperation::ofChangesData, raise), Exception);
    });
    EXPECT_EQ(UndoNames(), QStringList({"a", "p(s1)"}));
    // Raising while undone: freed, and gone from both lists.
    history->Undo();
    a->onUndo = raise;
    Reset();
    EXPECT_THROW(history->Undo(), Exception);
    EXPECT_EQ(log, QStringList({"undo a", "free a"}));
    EXPECT_EQ(UndoNames(), QStringList());
    EXPECT_EQ(RedoNames(), QStringList({"p(s1)"}));
    EXPECT_EQ(history->GetCurrentOperation(), nullptr);
}

// An operation running from a list must never be freed under its own feet: a
// data-changing operation that is not kept clears the history; when it is
// submitted while another operation is undone, redone or first executed, that
// one must survive.
TEST_F(UndoRedoTest, ClearingWhileAnOperationRunsDoesNotFreeIt) {
    const auto wipe = [&](TTestOp*) { Submit("wipe", TOperation::ofChangesData | TOperation::ofNotKept); };
    TTestOp* a = Submit("a");
    Submit("b");
    a->onUndo = wipe;
    history->Undo();
    Reset();
    history->Undo();
    EXPECT_EQ(log, QStringList({"undo a", "do wipe", "free b", "free wipe"}));
    EXPECT_EQ(RedoNames(), QStringList({"a"}));
    EXPECT_EQ(codes, QList<int>({6, 1, 2}));
    {
        SCOPED_TRACE("redone");
        a->onUndo = {};
        history->Redo();
        Submit("c");
        history->Undo();
        history->Undo();
        a->onExecute = wipe;
        Reset();
        history->Redo();
        EXPECT_EQ(log, QStringList({"redo a", "do wipe", "free c", "free wipe"}));
        EXPECT_EQ(UndoNames(), QStringList({"a"}));
    }
    SCOPED_TRACE("first execution");
    Submit("p", TOperation::ofChangesData, wipe);
    EXPECT_EQ(UndoNames(), QStringList({"p"}));
}

// Sub-operations become children, undone after their parent. Redoing an
// operation replays the sub-operations recorded as its children; what it
// submits again while redone must not run a second time (and must not empty
// the redo list, which would free the rest of the redo steps).
TEST_F(UndoRedoTest, SubOperationsBecomeChildrenUndoAfterTheirParentAndRedoOnce) {
    Submit("p", TOperation::ofChangesData, [&](TTestOp*) {
        EXPECT_EQ(history->GetCurrentOperation()->Caption(), "p");
        Submit("s1");
        Submit("s2");
    });
    EXPECT_EQ(UndoNames(), QStringList({"p(s1,s2)"}));
    EXPECT_EQ(codes, QList<int>({4, 1, 1, 1}));
    TTestOp* q = Submit("q");
    history->Undo();
    history->Undo();
    Reset();
    history->Redo();
    // the resubmitted twins are dropped unrun
    EXPECT_EQ(log, QStringList({"redo s1", "redo s2", "redo p", "free s1", "free s2"}));
    EXPECT_EQ(RedoNames(), QStringList({"q"}));
    EXPECT_EQ(codes, QList<int>({3}));
    Reset();
    history->Undo();
    EXPECT_EQ(log, QStringList({"undo p", "undo s2", "undo s1"}));
    // A not-kept operation submitted during a redo still runs.
    history->Redo();
    q->onExecute = [&](TTestOp*) { Submit("view", TOperation::ofNotKept); };
    Reset();
    history->Redo();
    EXPECT_EQ(log, QStringList({"redo q", "do view", "free view"}));
    EXPECT_EQ(UndoNames(), QStringList({"p(s1,s2)", "q"}));
}

// Children present before the first execution run once; sub-operations that
// they submit are filed after them and not run again by the same walk.
TEST_F(UndoRedoTest, PrebuiltChildrenRunOnceEvenWhenTheySubmit) {
    TNodePtr<TTestOp> p = Op("p");
    TNodePtr<TTestOp> c = Op("c");
    c->onExecute = [&](TTestOp* self) {
        if (self->State() == TOperation::osFirstExecution) Submit("s");
    };
    c.release()->SetParent(p.get());
    history->Execute(std::move(p));
    EXPECT_EQ(log, QStringList({"do c", "do s", "do p"}));
    EXPECT_EQ(UndoNames(), QStringList({"p(c,s)"}));
}

// Without a history, and the end of a history

TEST_F(UndoRedoTest, WithoutAHistoryOrWhenItEnds) {
    TOperation::Submit(Op("solo"), nullptr);  // runs once and is freed
    EXPECT_EQ(log, QStringList({"do solo", "free solo"}));
    TNodePtr<TTestOp> bad = Op("bad");
    bad->onExecute = [](TTestOp*) { throw Exception("no"); };
    EXPECT_THROW(TOperation::Submit(std::move(bad), nullptr), Exception);
    EXPECT_EQ(log, QStringList({"do solo", "free solo", "do bad", "free bad"}));
    // Destroying the history clears it and frees an open group.
    Submit("a");
    history->BeginGroup(MakeNode<TLogGroup>("g", &log));
    Submit("b");
    Reset();
    history.reset();
    EXPECT_EQ(codes, QList<int>({6}));
    EXPECT_TRUE(log.contains("free a"));
    EXPECT_TRUE(log.contains("free b"));
    EXPECT_TRUE(log.contains("free group g"));
}

TEST_F(UndoRedoTest, GroupCaptionAndFlagsComeFromTheChildren) {
    TNodePtr<TGroupingOperation> g = MakeNode<TGroupingOperation>();
    EXPECT_EQ(g->GetFlags(), 0);
    EXPECT_EQ(g->GetCaption(), "");
    Op("first", TOperation::ofNotKept).release()->SetParent(g.get());
    Op("second", TOperation::ofChangesData).release()->SetParent(g.get());
    EXPECT_EQ(g->GetFlags(), TOperation::ofNotKept | TOperation::ofChangesData);
    EXPECT_EQ(g->GetCaption(), "first");
    EXPECT_EQ(MakeNode<TGroupingOperation>("Typing")->GetCaption(), "Typing");
}

TEST_F(UndoRedoTest, HooksRunInOrderWithTheirStateAndLeaveItIdle) {
    TNodePtr<TTestOp> p = Op("p");
    for (const char* name : {"a", "b"}) Op(name).release()->SetParent(p.get());
    p->ForEach([](TNode* n) { static_cast<TTestOp*>(n)->logHooks = true; }, true, true);
    p->Execute(true);
    EXPECT_EQ(log, QStringList({"begin p 1", "begin a 1", "do a", "end a 1", "begin b 1", "do b", "end b 1", "do p",
                                "end p 1"}));
    log.clear();
    p->Undo();
    EXPECT_EQ(log, QStringList({"begin p 2", "undo p", "begin b 2", "undo b", "end b 2", "begin a 2", "undo a",
                                "end a 2", "end p 2"}));

    static_cast<TTestOp*>(p->LastOperation())->onExecute = [](TTestOp*) { throw Exception("no"); };
    EXPECT_THROW(p->Execute(false), Exception);
    for (TOperation* op : {static_cast<TOperation*>(p.get()), p->FirstOperation(), p->LastOperation()})
        EXPECT_EQ(op->State(), TOperation::osIdle) << op->Caption().toStdString();
}

}  // namespace
