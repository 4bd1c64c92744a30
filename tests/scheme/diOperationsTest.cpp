#include "scheme/diOperations.h"

#include "support/testElements.h"
#include "support/testStop.h"

#include <gtest/gtest.h>

namespace {

// Sets a leaf's value; the old one is recorded on the first run.
class TTestValueOperation : public TElementOperation {
public:
    TTestValueOperation(TElement_TestLeaf* leaf, QString value, bool withMessages = false, bool* freed = nullptr)
        : TElementOperation(leaf, withMessages), m_new(std::move(value)), m_freed(freed) {}
    ~TTestValueOperation() override {
        if (m_freed) *m_freed = true;
    }
    int Runs = 0;

protected:
    void DoOnElement(TElement* element) override {
        TElementOperation::DoOnElement(element);
        auto* leaf = static_cast<TElement_TestLeaf*>(element);
        if (State() == osFirstExecution) m_old = leaf->Value();
        leaf->SetValue(m_new);
        ++Runs;
    }
    void UndoOnElement(TElement* element) override {
        TElementOperation::UndoOnElement(element);
        static_cast<TElement_TestLeaf*>(element)->SetValue(m_old);
    }

private:
    QString m_new, m_old;
    bool* m_freed;
};

// A scheme with a history and a message list, and a leaf in it.
class ElementOperations : public ::testing::Test {
protected:
    ElementOperations() {
        scheme->SetUndoRedo(&history);
        scheme->SetMessages(&messages);
    }
    TElement_TestLeaf* Add() { return TElement::CreateIn<TElement_TestLeaf>(scheme.get(), scheme->Root()); }
    TElement_TestLeaf* Leaf(int32_t number) {
        return Found(dynamic_cast<TElement_TestLeaf*>(scheme->FindElement(number)), "leaf " + std::to_string(number));
    }
    void Set(TElement_TestLeaf* leaf, const char* value, bool withMessages = false) {
        TSchemeOperation::Execute(MakeNode<TTestValueOperation>(leaf, value, withMessages));
    }

    std::unique_ptr<TScheme> scheme = MakeTestScheme();
    TUndoRedo history;
    TElementMessages messages;
    TElement_TestLeaf* leaf = Add();
};

TEST_F(ElementOperations, FindTheirElementByNumberAcrossDeleteAndUndo) {
    auto* owner = TElement::CreateIn<TElement_TestOwner>(scheme.get(), scheme->Root());
    leaf->SetValue("a");
    owner->First()->SetValue("sub");
    const int32_t leafNumber = leaf->Number();
    const int32_t subNumber = owner->First()->Number();

    Set(leaf, "b");
    Set(owner->First(), "sub2");
    TSchemeOperation::Execute(MakeNode<TTestDeleteOperation>(leaf));
    TSchemeOperation::Execute(MakeNode<TTestDeleteOperation>(owner));
    history.Undo();  // the owner comes back, its sub-elements with their numbers
    history.Undo();  // the leaf comes back
    EXPECT_EQ(Leaf(leafNumber)->Value(), QStringLiteral("b"));
    EXPECT_TRUE(Leaf(subNumber)->IsSubElement());

    history.Undo();
    history.Undo();  // the restored elements are new objects, found again by number
    EXPECT_EQ(Leaf(leafNumber)->Value(), QStringLiteral("a"));
    EXPECT_EQ(Leaf(subNumber)->Value(), QStringLiteral("sub"));

    for (int i = 0; i < 4; ++i) history.Redo();
    EXPECT_EQ(scheme->Root()->ChildCount(), 0);
}

TEST_F(ElementOperations, OperationOnAMissingElementDoesNothing) {
    auto op = MakeNode<TTestValueOperation>(leaf, "x");
    TTestValueOperation* raw = op.get();
    leaf->Free();
    TSchemeOperation::Execute(std::move(op));
    history.Undo();
    history.Redo();
    EXPECT_EQ(raw->Runs, 0);
}

TEST_F(ElementOperations, DependentsOnRedoAndUndoOnly) {
    auto* onRedo = Add();
    auto* onUndo = Add();
    auto* gone = Add();
    auto op = MakeNode<TTestValueOperation>(leaf, "v");
    onRedo->SaveToKnot(op->GetRedoDependents().Add(onRedo), fmSnapshot, 0);
    op->GetUndoDependents().Add(onUndo);
    op->GetUndoDependents().Add(gone);
    op->GetRedoDependents().Add(gone);
    EXPECT_EQ(op->GetRedoDependents().GetKnot(0)->ReadInt(u"ID", 0), onRedo->Number());
    gone->Free();

    TSchemeOperation::Execute(std::move(op));
    history.Undo();
    history.Redo();
    EXPECT_EQ(onRedo->RedoDependentCount, 1) << "not on the first execution";
    EXPECT_EQ(onUndo->UndoDependentCount, 1);
    EXPECT_EQ(onRedo->UndoDependentCount + onUndo->RedoDependentCount, 0);
}

TEST_F(ElementOperations, HandDependentsToMovesTheSnapshots) {
    auto* b = Add();
    auto first = MakeNode<TTestValueOperation>(leaf, "1");
    auto second = MakeNode<TTestValueOperation>(leaf, "2");
    TKnot* knot = first->GetRedoDependents().Add(b);
    first->GetUndoDependents().Add(leaf);
    second->GetRedoDependents().Add(leaf);
    first->HandDependentsTo(*second);
    EXPECT_EQ(first->GetRedoDependents().Count() + first->GetUndoDependents().Count(), 0);
    ASSERT_EQ(second->GetRedoDependents().Count(), 2);
    EXPECT_EQ(second->GetRedoDependents().GetElementNumber(1), b->Number());
    EXPECT_EQ(second->GetRedoDependents().GetKnot(1), knot);
    EXPECT_EQ(second->GetUndoDependents().Count(), 1);
}

TEST(ElementOperationsWithoutHistory, RunOnceAndAreFreed) {
    auto scheme = MakeTestScheme();
    auto* leaf = TElement::CreateIn<TElement_TestLeaf>(scheme.get(), scheme->Root());
    bool freed = false;
    TSchemeOperation::Execute(MakeNode<TTestValueOperation>(leaf, "once", false, &freed));
    EXPECT_TRUE(freed);
    EXPECT_EQ(leaf->Value(), QStringLiteral("once"));
    scheme->BeginOperationGroup(true);  // without a history: nothing
    scheme->EndOperationGroup();
}

TEST_F(ElementOperations, MessagesBracketClearsOnlyWhenOutermostAndAGroupIsOneStep) {
    messages.AddTextMessage(mkWarning, "old");
    Set(leaf, "quiet");
    EXPECT_EQ(messages.GetCount(), 1) << "without the flag the list stays";

    scheme->BeginMessages();
    messages.AddTextMessage(mkWarning, "inside");
    Set(leaf, "inner", true);
    EXPECT_EQ(messages.GetCount(), 1) << "an inner bracket does not clear";
    scheme->EndMessages();

    Set(leaf, "loud", true);
    EXPECT_EQ(messages.GetCount(), 0);
    messages.AddTextMessage(mkWarning, "again");
    history.Undo();
    EXPECT_EQ(messages.GetCount(), 0) << "undo clears as well";
    messages.AddTextMessage(mkWarning, "again");
    history.Redo();
    EXPECT_EQ(messages.GetCount(), 0) << "and redo";
    EXPECT_EQ(messages.UpdateCount(), 0);

    // A group is one step and the outermost bracket.
    leaf->SetValue("start");
    messages.AddTextMessage(mkWarning, "old");
    const int steps = history.UndoList()->ChildCount();
    scheme->BeginOperationGroup(true, "Two changes");
    EXPECT_EQ(messages.GetCount(), 0);
    messages.AddTextMessage(mkWarning, "during");
    Set(leaf, "one", true);
    Set(leaf, "two", true);
    EXPECT_EQ(messages.GetCount(), 1) << "the group is the outermost bracket";
    scheme->EndOperationGroup();
    EXPECT_EQ(messages.UpdateCount(), 0);
    EXPECT_EQ(history.UndoList()->ChildCount(), steps + 1);
    EXPECT_EQ(history.GetNextUndo()->GetCaption(), QStringLiteral("Two changes"));
    history.Undo();
    EXPECT_EQ(leaf->Value(), QStringLiteral("start"));
}

}  // namespace
