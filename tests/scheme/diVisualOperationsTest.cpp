// The Disable palette item and its undoable operation; palette items that
// visual elements offer.

#include "scheme/diVisualOperations.h"

#include "scheme/diPalette.h"
#include "support/testElements.h"
#include "support/testLog.h"
#include "support/testVisualElements.h"

#include <gtest/gtest.h>

namespace {

// A sheet showing two boxes.
class DisableItem : public ::testing::Test, public TSheetFixture {
protected:
    TElement_TestBox* a = AddBox(root);
    TElement_TestBox* b = AddBox(root);
};

TEST_F(DisableItem, AppliedDisablesAndUndoEnablesAgain) {
    TDisablePaletteItem* item = PaletteDisableItem();
    item->ExecuteFor(a, true);
    EXPECT_TRUE(a->IsDisabled());
    TPaletteItemState state;
    a->GetItemState(item, state);
    EXPECT_TRUE(state.Checked);

    // The same state again is handled without a new step.
    TOperation* last = history.GetNextUndo();
    EXPECT_TRUE(a->ApplyItem(item, QString(), true));
    EXPECT_EQ(history.GetNextUndo(), last);

    history.Undo();
    EXPECT_FALSE(a->IsDisabled());
    history.Redo();
    EXPECT_TRUE(a->IsDisabled());

    // An element that cannot be disabled refuses the item.
    b->SetVisualOptions(voFocusable);
    EXPECT_FALSE(b->ApplyItem(item, QString(), true));
    EXPECT_EQ(history.GetNextUndo(), last);
}

TEST_F(DisableItem, UndoneAfterTheElementWasDeletedAndRestored) {
    const int32_t number = a->Number();
    auto box = [&] { return dynamic_cast<TElement_TestBox*>(scheme->FindElement(number)); };
    PaletteDisableItem()->ApplyTo(a, true);
    TSchemeOperation::Execute(MakeNode<TTestDeleteOperation>(a));
    history.Undo();  // restored, with its number and disabled state
    ASSERT_NE(box(), nullptr);
    EXPECT_TRUE(box()->IsDisabled());
    EXPECT_EQ(box()->Sheet(), &sheet);
    history.Undo();  // the disabling: found again by number
    EXPECT_FALSE(box()->IsDisabled());
}

// The sheet's bracket closes at the end of a scope, where nothing may pass:
// a listener that raises on the held-back focus news is logged, the undo ends.
// Undo focuses the element that was focused when the operation was made, with
// one focus news, and no element that was not.
class TRaisingListener {
public:
    explicit TRaisingListener(TSheet* sheet) : m_sheet(sheet) { sheet->AddHandler(Handler()); }
    ~TRaisingListener() { m_sheet->RemoveHandler(Handler()); }
    int Raised = 0;

private:
    THandler Handler() { return MakeHandler<&TRaisingListener::OnSheet>(this); }
    void OnSheet(TItfObject*, int msg, intptr_t, intptr_t) {
        if (msg != snFocus) return;
        ++Raised;
        throw Exception(QStringLiteral("listener"));
    }
    TSheet* m_sheet;
};

TEST_F(DisableItem, ListenerRaisingAsTheSheetBracketClosesIsLoggedNotPassed) {
    a->Focus();
    TVisualElement::DisableWithOperation(a, true);
    b->Focus();
    TRaisingListener listener(&sheet);
    TWarningLog log;
    EXPECT_NO_THROW(history.Undo());
    EXPECT_EQ(listener.Raised, 1);
    EXPECT_TRUE(log.Contains(QStringLiteral("listener")));
    EXPECT_EQ(sheet.Focused(), a);
    EXPECT_FALSE(a->IsDisabled());
    EXPECT_EQ(sheet.UpdateCount(), 0);

    TVisualElement::DisableWithOperation(b, true);
    history.Undo();
    EXPECT_EQ(sheet.Focused(), a);
}

TEST_F(DisableItem, AppliedToAListIsOneStepInsideAGroup) {
    TElement_TestBox* c = AddBox(root);
    c->SetDisabled(true);
    scheme->BeginOperationGroup(false);
    PaletteDisableItem()->ExecuteForList({a, b, c}, true);
    scheme->EndOperationGroup();
    EXPECT_TRUE(b->IsDisabled());
    history.Undo();
    EXPECT_FALSE(a->IsDisabled());
    EXPECT_TRUE(c->IsDisabled());
    EXPECT_FALSE(history.CanUndo());
}

TEST_F(DisableItem, ElementsOfferTheDisableItemAndTheItemsOfTheirAcceptedClasses) {
    TPaletteGroup* group = TPaletteGroup::Create(Palette(), 0, 1);
    TPaletteItem* holder = TPaletteItem::Create(group, 0, -1, 0, 0, 1);
    TElementPaletteItem* insertBox =
        TElementPaletteItem::Create(holder, 0, -1, 0, 0, 1, TElement_TestBox::StaticClass());
    TElementPaletteItem::Create(group, 0, -1, 0, 0, 2, TElement_TestNamed::StaticClass());

    TElement_TestBox* box = a;
    QList<TPaletteItem*> items;
    box->CollectPaletteItems(items);
    EXPECT_EQ(items, (QList<TPaletteItem*>{PaletteDisableItem(), holder, insertBox}));

    // For the focused element itself the Disable item (selection only) is dropped.
    bool fromSelection = true;
    box->CollectPaletteItemsForSelection(items, fromSelection);
    EXPECT_FALSE(fromSelection);
    EXPECT_EQ(items, (QList<TPaletteItem*>{holder, insertBox}));

    // For children selected in a text: what every one of them offers, less
    // the items not offered for a selection (every element item) and the
    // holders left empty.
    box->SetVisualOptions(voFocusable | voTextContainer);
    TElement_TestBox* c1 = AddBox(box);
    TElement_TestBox* c2 = AddBox(box);
    TElement_TestBox* c3 = AddBox(box);
    c3->SetVisualOptions(voFocusable);  // cannot be disabled
    c1->SetInSelectedText(true);
    c2->SetInSelectedText(true);
    box->CollectPaletteItemsForSelection(items, fromSelection);
    EXPECT_TRUE(fromSelection);
    EXPECT_EQ(items, (QList<TPaletteItem*>{PaletteDisableItem()}));
    c3->SetInSelectedText(true);
    box->CollectPaletteItemsForSelection(items, fromSelection);
    EXPECT_TRUE(fromSelection);
    EXPECT_TRUE(items.isEmpty());

    group->Free();
}

}  // namespace
