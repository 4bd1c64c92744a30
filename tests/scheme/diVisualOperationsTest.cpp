// The Disable palette item and its undoable operation; palette items that
// visual elements offer.

#include "scheme/diVisualOperations.h"

#include "core/cuKnot.h"
#include "scheme/diFilers.h"
#include "scheme/diPalette.h"
#include "support/testElements.h"
#include "visualFixture.h"

#include <gtest/gtest.h>

namespace {

TElement_TestBox* Box(TSheetFixture& f, int32_t number) {
    return dynamic_cast<TElement_TestBox*>(f.scheme->FindElement(number));
}

TEST(DisableItem, AppliedDisablesAndUndoEnablesAgain) {
    TSheetFixture f;
    TElement_TestBox* box = AddBox(f.root);
    TDisablePaletteItem* item = PaletteDisableItem();
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->Letter(), QStringLiteral("D"));

    item->ExecuteFor(box, true);
    EXPECT_TRUE(box->IsDisabled());
    EXPECT_TRUE(f.history.CanUndo());
    TPaletteItemState state;
    box->GetItemState(item, state);
    EXPECT_TRUE(state.Checked);

    // The same state again is handled without a new step.
    TOperation* last = f.history.GetNextUndo();
    EXPECT_TRUE(box->ApplyItem(item, QString(), true));
    EXPECT_EQ(f.history.GetNextUndo(), last);

    f.history.Undo();
    EXPECT_FALSE(box->IsDisabled());
    f.history.Redo();
    EXPECT_TRUE(box->IsDisabled());
}

TEST(DisableItem, IsRefusedByElementsThatCannotBeDisabled) {
    TSheetFixture f;
    TElement_TestBox* box = AddBox(f.root);
    box->SetOptionsWord(voFocusable);
    EXPECT_FALSE(box->ApplyItem(PaletteDisableItem(), QString(), true));
    EXPECT_FALSE(box->IsDisabled());
    EXPECT_FALSE(f.history.CanUndo());
}

TEST(DisableItem, UndoneAfterTheElementWasDeletedAndRestored) {
    TSheetFixture f;
    TElement_TestBox* box = AddBox(f.root);
    const int32_t number = box->Number();
    PaletteDisableItem()->ApplyTo(box, true);
    TSchemeOperation::Execute(MakeNode<TTestDeleteOperation>(box));
    EXPECT_EQ(f.scheme->FindElement(number), nullptr);
    f.history.Undo();  // restored, with its number and disabled state
    ASSERT_NE(Box(f, number), nullptr);
    EXPECT_TRUE(Box(f, number)->IsDisabled());
    EXPECT_EQ(Box(f, number)->Sheet(), &f.sheet);
    f.history.Undo();  // the disabling: found again by number
    EXPECT_FALSE(Box(f, number)->IsDisabled());
}

TEST(DisableItem, UndoFocusesTheElementThatWasFocused) {
    TSheetFixture f;
    TElement_TestBox* a = AddBox(f.root);
    TElement_TestBox* b = AddBox(f.root);
    a->Focus();
    TVisualElement::DisableWithOperation(a, true);
    b->Focus();
    TSheetRecorder rec(&f.sheet);
    f.history.Undo();
    EXPECT_EQ(f.sheet.Focused(), a);
    EXPECT_FALSE(a->IsDisabled());
    EXPECT_EQ(rec.Count(snFocus), 1);  // inside one bracket of the sheet
    b->Focus();
    f.history.Redo();
    EXPECT_EQ(f.sheet.Focused(), a);
    // An element not focused when the operation was made is not focused by it.
    TVisualElement::DisableWithOperation(b, true);
    a->Focus();
    f.history.Undo();
    EXPECT_EQ(f.sheet.Focused(), a);
}

// The sheet's bracket closes at the end of a scope, where nothing may pass:
// a listener that raises on the held-back focus news is logged, the undo ends.
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

TEST(DisableItem, ListenerRaisingAsTheSheetBracketClosesIsLoggedNotPassed) {
    TSheetFixture f;
    TElement_TestBox* a = AddBox(f.root);
    TElement_TestBox* b = AddBox(f.root);
    a->Focus();
    TVisualElement::DisableWithOperation(a, true);
    b->Focus();
    TRaisingListener listener(&f.sheet);
    EXPECT_NO_THROW(f.history.Undo());
    EXPECT_EQ(listener.Raised, 1);
    EXPECT_EQ(f.sheet.Focused(), a);
    EXPECT_FALSE(a->IsDisabled());
    EXPECT_EQ(f.sheet.UpdateCount(), 0);
}

TEST(DisableItem, AppliedToAListIsOneStepInsideAGroup) {
    TSheetFixture f;
    TElement_TestBox* a = AddBox(f.root);
    TElement_TestBox* b = AddBox(f.root);
    TElement_TestBox* c = AddBox(f.root);
    c->SetDisabled(true);
    f.scheme->BeginOperationGroup(false);
    PaletteDisableItem()->ExecuteForList({a, b, c}, true);
    f.scheme->EndOperationGroup();
    EXPECT_TRUE(a->IsDisabled());
    EXPECT_TRUE(b->IsDisabled());
    f.history.Undo();
    EXPECT_FALSE(a->IsDisabled());
    EXPECT_FALSE(b->IsDisabled());
    EXPECT_TRUE(c->IsDisabled());
    EXPECT_FALSE(f.history.CanUndo());
}

TEST(PaletteItems, ElementsOfferTheDisableItemAndTheItemsOfTheirAcceptedClasses) {
    TSheetFixture f;
    TPaletteGroup* group = TPaletteGroup::Create(Palette(), 0, 1);
    TPaletteItem* holder = TPaletteItem::Create(group, 0, -1, 0, 0, 1);
    TElementPaletteItem* insertBox =
        TElementPaletteItem::Create(holder, 0, -1, 0, 0, 1, TElement_TestBox::StaticClass());
    TElementPaletteItem* other = TElementPaletteItem::Create(group, 0, -1, 0, 0, 2, TElement_TestNamed::StaticClass());
    (void)other;
    EXPECT_EQ(Palette()->FindItemForClass(TElement_TestBox::StaticClass()), insertBox);

    TElement_TestBox* box = AddBox(f.root);
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
    box->SetOptionsWord(voFocusable | voTextContainer);
    TElement_TestBox* c1 = AddBox(box);
    TElement_TestBox* c2 = AddBox(box);
    TElement_TestBox* c3 = AddBox(box);
    c3->SetOptionsWord(voFocusable);  // cannot be disabled
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
