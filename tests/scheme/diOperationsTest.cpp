#include "scheme/diOperations.h"

#include "scheme/diFilers.h"
#include "support/testElements.h"

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

struct TFixture {
    std::unique_ptr<TScheme> scheme = MakeTestScheme();
    TUndoRedo history;
    TElementMessages messages;
    TFixture() {
        scheme->SetUndoRedo(&history);
        scheme->SetMessages(&messages);
    }
    TElement_TestLeaf* Leaf(int32_t number) { return dynamic_cast<TElement_TestLeaf*>(scheme->FindElement(number)); }
};

TEST(ElementOperations, FindTheirElementByNumberAcrossDeleteAndUndo) {
    TFixture f;
    auto* owner = TElement::CreateIn<TElement_TestOwner>(f.scheme.get(), f.scheme->Root());
    auto* leaf = TElement::CreateIn<TElement_TestLeaf>(f.scheme.get(), f.scheme->Root());
    leaf->SetValue("a");
    owner->First()->SetValue("sub");
    const int32_t leafNumber = leaf->Number();
    const int32_t subNumber = owner->First()->Number();

    TSchemeOperation::Execute(MakeNode<TTestValueOperation>(leaf, "b"));
    TSchemeOperation::Execute(MakeNode<TTestValueOperation>(owner->First(), "sub2"));
    TSchemeOperation::Execute(MakeNode<TTestDeleteOperation>(leaf));
    TSchemeOperation::Execute(MakeNode<TTestDeleteOperation>(owner));
    EXPECT_EQ(f.scheme->FindElement(leafNumber), nullptr);
    EXPECT_EQ(f.scheme->FindElement(subNumber), nullptr);

    f.history.Undo();  // the owner comes back, its sub-elements with their numbers
    f.history.Undo();  // the leaf comes back
    ASSERT_NE(f.Leaf(leafNumber), nullptr);
    ASSERT_NE(f.Leaf(subNumber), nullptr);
    EXPECT_EQ(f.Leaf(leafNumber)->Value(), QStringLiteral("b"));
    EXPECT_EQ(f.Leaf(subNumber)->Value(), QStringLiteral("sub2"));
    EXPECT_TRUE(f.Leaf(subNumber)->IsSubElement());

    f.history.Undo();
    f.history.Undo();  // the restored elements are new objects, found again by number
    EXPECT_EQ(f.Leaf(leafNumber)->Value(), QStringLiteral("a"));
    EXPECT_EQ(f.Leaf(subNumber)->Value(), QStringLiteral("sub"));
    EXPECT_EQ(f.scheme->Root()->ChildCount(), 2);

    for (int i = 0; i < 4; ++i) f.history.Redo();
    EXPECT_EQ(f.scheme->FindElement(leafNumber), nullptr);
    EXPECT_EQ(f.scheme->Root()->ChildCount(), 0);
    f.history.Undo();
    f.history.Undo();
    EXPECT_EQ(f.Leaf(leafNumber)->Value(), QStringLiteral("b"));
}

TEST(ElementOperations, OperationOnAMissingElementDoesNothing) {
    TFixture f;
    auto* leaf = TElement::CreateIn<TElement_TestLeaf>(f.scheme.get(), f.scheme->Root());
    auto op = MakeNode<TTestValueOperation>(leaf, "x");
    TTestValueOperation* raw = op.get();
    leaf->Free();
    TSchemeOperation::Execute(std::move(op));
    EXPECT_EQ(raw->Runs, 0);
    f.history.Undo();
    f.history.Redo();
    EXPECT_EQ(raw->Runs, 0);
}

TEST(ElementOperations, DependentsOnRedoAndUndoOnly) {
    TFixture f;
    auto* target = TElement::CreateIn<TElement_TestLeaf>(f.scheme.get(), f.scheme->Root());
    auto* onRedo = TElement::CreateIn<TElement_TestLeaf>(f.scheme.get(), f.scheme->Root());
    auto* onUndo = TElement::CreateIn<TElement_TestLeaf>(f.scheme.get(), f.scheme->Root());
    auto* gone = TElement::CreateIn<TElement_TestLeaf>(f.scheme.get(), f.scheme->Root());
    auto op = MakeNode<TTestValueOperation>(target, "v");
    onRedo->SaveToKnot(op->GetRedoDependents().Add(onRedo), fmSnapshot, 0);
    op->GetUndoDependents().Add(onUndo);
    op->GetUndoDependents().Add(gone);
    op->GetRedoDependents().Add(gone);
    EXPECT_EQ(op->GetRedoDependents().GetElementNumber(0), onRedo->Number());
    EXPECT_EQ(op->GetRedoDependents().GetKnot(0)->ReadInt(u"ID", 0), onRedo->Number());
    gone->Free();

    TSchemeOperation::Execute(std::move(op));
    EXPECT_EQ(onRedo->RedoDependentCount, 0) << "not on the first execution";
    f.history.Undo();
    EXPECT_EQ(onUndo->UndoDependentCount, 1);
    EXPECT_EQ(onRedo->UndoDependentCount, 0);
    f.history.Redo();
    EXPECT_EQ(onRedo->RedoDependentCount, 1);
    EXPECT_EQ(onUndo->RedoDependentCount, 0);
}

TEST(ElementOperations, HandDependentsToMovesTheSnapshots) {
    TFixture f;
    auto* a = TElement::CreateIn<TElement_TestLeaf>(f.scheme.get(), f.scheme->Root());
    auto* b = TElement::CreateIn<TElement_TestLeaf>(f.scheme.get(), f.scheme->Root());
    auto first = MakeNode<TTestValueOperation>(a, "1");
    auto second = MakeNode<TTestValueOperation>(a, "2");
    TKnot* knot = first->GetRedoDependents().Add(b);
    first->GetUndoDependents().Add(a);
    second->GetRedoDependents().Add(a);
    first->HandDependentsTo(*second);
    EXPECT_EQ(first->GetRedoDependents().Count(), 0);
    EXPECT_EQ(first->GetUndoDependents().Count(), 0);
    ASSERT_EQ(second->GetRedoDependents().Count(), 2);
    EXPECT_EQ(second->GetRedoDependents().GetElementNumber(1), b->Number());
    EXPECT_EQ(second->GetRedoDependents().GetKnot(1), knot);
    EXPECT_EQ(second->GetUndoDependents().Count(), 1);
}

TEST(ElementOperations, WithoutAHistoryTheOperationRunsOnceAndIsFreed) {
    auto scheme = MakeTestScheme();
    auto* leaf = TElement::CreateIn<TElement_TestLeaf>(scheme.get(), scheme->Root());
    bool freed = false;
    TSchemeOperation::Execute(MakeNode<TTestValueOperation>(leaf, "once", false, &freed));
    EXPECT_TRUE(freed);
    EXPECT_EQ(leaf->Value(), QStringLiteral("once"));
    scheme->BeginOperationGroup(true);  // without a history: nothing
    scheme->EndOperationGroup();
}

TEST(ElementOperations, MessagesBracketClearsOnlyWhenOutermost) {
    TFixture f;
    auto* leaf = TElement::CreateIn<TElement_TestLeaf>(f.scheme.get(), f.scheme->Root());
    f.messages.AddTextMessage(mkWarning, "old");
    TSchemeOperation::Execute(MakeNode<TTestValueOperation>(leaf, "quiet", false));
    EXPECT_EQ(f.messages.GetCount(), 1) << "without the flag the list stays";

    f.scheme->BeginMessages();
    f.messages.AddTextMessage(mkWarning, "inside");
    TSchemeOperation::Execute(MakeNode<TTestValueOperation>(leaf, "inner", true));
    EXPECT_EQ(f.messages.GetCount(), 1) << "an inner bracket does not clear";
    f.scheme->EndMessages();

    TSchemeOperation::Execute(MakeNode<TTestValueOperation>(leaf, "loud", true));
    EXPECT_EQ(f.messages.GetCount(), 0);
    f.messages.AddTextMessage(mkWarning, "again");
    f.history.Undo();
    EXPECT_EQ(f.messages.GetCount(), 0) << "undo clears as well";
    f.messages.AddTextMessage(mkWarning, "again");
    f.history.Redo();
    EXPECT_EQ(f.messages.GetCount(), 0) << "and redo";
    EXPECT_EQ(f.messages.UpdateCount(), 0);
}

TEST(ElementOperations, OperationGroupIsOneStepAndBracketsMessages) {
    TFixture f;
    auto* leaf = TElement::CreateIn<TElement_TestLeaf>(f.scheme.get(), f.scheme->Root());
    leaf->SetValue("start");
    f.messages.AddTextMessage(mkWarning, "old");
    f.scheme->BeginOperationGroup(true, "Two changes");
    EXPECT_EQ(f.messages.GetCount(), 0);
    f.messages.AddTextMessage(mkWarning, "during");
    TSchemeOperation::Execute(MakeNode<TTestValueOperation>(leaf, "one", true));
    TSchemeOperation::Execute(MakeNode<TTestValueOperation>(leaf, "two", true));
    EXPECT_EQ(f.messages.GetCount(), 1) << "the group is the outermost bracket";
    f.scheme->EndOperationGroup();
    EXPECT_EQ(f.messages.UpdateCount(), 0);
    ASSERT_EQ(f.history.UndoList()->ChildCount(), 1);
    EXPECT_EQ(static_cast<TOperation*>(f.history.UndoList()->FirstChild())->GetCaption(), QStringLiteral("Two changes"));
    f.history.Undo();
    EXPECT_EQ(leaf->Value(), QStringLiteral("start"));
}

}  // namespace
