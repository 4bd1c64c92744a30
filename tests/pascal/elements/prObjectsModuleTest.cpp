// The objects module built as a user builds it: it checks clean, saves,
// loads and saves again byte for byte in both store modes, resolves every
// name again after a load, and every step undoes back to the empty scheme.
// Also what a user must reach on the sheet: an object's empty parent, the
// suggestions of handler and class-of names, each of two items of one caption.

#include "pascal/driver/moduleChecks.h"
#include "pascal/driver/objectsModule.h"

#include "pascal/elements/prClassMemberElements.h"
#include "pascal/elements/prExpressionExElements.h"
#include "scheme/diMessages.h"
#include "scheme/diPalette.h"

#include <gtest/gtest.h>

namespace {

class ObjectsModule : public ::testing::Test {
protected:
    TSheetDriver driver{ObjectsModuleRootClass(), ObjectsModuleName()};

    // An object named name at the end of the root, its parent typed when given.
    TElement_Object* AddObject(int n, const QString& name, const QString& parent = QString()) {
        driver.Focus(driver.Root());
        driver.MustApply(QStringLiteral("Object"));
        const QString object = QStringLiteral("Object[%1]").arg(n);
        Retype(object + QStringLiteral("/Name"), name);
        if (!parent.isEmpty()) Retype(object + QStringLiteral("/Parent"), parent);
        return dynamic_cast<TElement_Object*>(driver.StoredPlace(object));
    }
    void Retype(const QString& storedPath, const QString& text) {
        driver.Focus(driver.StoredPlace(storedPath));
        driver.SelectAll();
        driver.Type(text);
    }
};

// Messages of kind 2 or more of every element of a loaded scheme, checked.
QStringList CheckLoaded(TScheme* scheme) {
    QStringList found;
    for (TNode* node : PreOrder<TNode>(scheme->Root()))
        if (auto* element = dynamic_cast<TElement*>(node)) {
            element->CheckAll();
            TElementMessages* messages = element->Messages();
            for (int i = 0; messages && i < messages->GetCount(); ++i)
                if (messages->GetItem(i)->Kind() >= 2)
                    found << element->ElementClass()->Name() + QStringLiteral(": ") + messages->GetItem(i)->GetText();
        }
    return found;
}

}  // namespace

TEST_F(ObjectsModule, ChecksCleanAndSavesLoadsAndSavesAgainByteForByteInBothModes) {
    BuildObjectsModule(driver);
    ExpectCleanAndSavedByteForByteInBothModes(driver);
}

// Names resolved across objects (parents declared before their
// descendants, an event of one object named in another, a class method
// outside its object) resolve again in a loaded copy.
TEST_F(ObjectsModule, ALoadedCopyResolvesEveryNameAgainInBothModes) {
    BuildObjectsModule(driver);
    for (TStoreMode mode : kStoreModes) {
        const TLoadedScheme loaded = driver.Load(mode, driver.Save(mode));
        ASSERT_NE(loaded.Scheme, nullptr);
        EXPECT_EQ(Lines(CheckLoaded(loaded.Scheme.get())), "") << ModeName(mode);
    }
}

TEST_F(ObjectsModule, UndoingEveryStepGivesTheEmptySchemesBytesAndRedoingEveryStepTheModules) {
    ExpectEveryStepUndoneAndRedone(driver, BuildObjectsModule);
}

// The parent field of an object without a parent was left out of its title,
// so no click or key could reach it: a parent could never be typed in.
TEST_F(ObjectsModule, AnObjectWithoutAParentTakesOneTypedIntoItsEmptyParentField) {
    AddObject(0, QStringLiteral("TBase"));
    TElement_Object* child = AddObject(1, QStringLiteral("TChild"), QStringLiteral("TBase"));
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(child->Parent()->GetText(), QStringLiteral("TBase"));
    EXPECT_EQ(child->ParentState(), TParentState::Connected);
    EXPECT_TRUE(driver.Undo());
    EXPECT_FALSE(child->Parent()->IsFilled()) << "typing the parent is one undo step";
}

// The handler's and the class-of name's suggestions were computed but no
// command offered them.
TEST_F(ObjectsModule, AutonameTakesTheSuggestionsOfHandlerAndClassOfNames) {
    TElement_Object* button = AddObject(0, QStringLiteral("TButton"));
    driver.Focus(driver.StoredPlace(QStringLiteral("Object[0]/ClassOfName")));
    driver.MustApply(QStringLiteral("Autoname"));
    EXPECT_EQ(button->ClassOfName()->GetText(), QStringLiteral("TButtonClass"));
    driver.Focus(driver.StoredPlace(QStringLiteral("Object[0]/Content")));
    driver.MustApply(QStringLiteral("Event"));
    Retype(QStringLiteral("Object[0]/Content/Event/Name"), QStringLiteral("OnClick"));
    AddObject(1, QStringLiteral("TForm"));
    driver.Focus(driver.StoredPlace(QStringLiteral("Object[1]/Content")));
    driver.MustApply(QStringLiteral("Handler"));
    const QString handler = QStringLiteral("Object[1]/Content/Handler");
    driver.Focus(driver.StoredPlace(handler + QStringLiteral("/Name")));
    EXPECT_FALSE(driver.Apply(QStringLiteral("Autoname"))) << "no suggestion without an event";
    driver.Focus(driver.StoredPlace(handler + QStringLiteral("/Event")));
    driver.Type(QStringLiteral("TButton.OnClick"));
    driver.Focus(driver.StoredPlace(handler + QStringLiteral("/Name")));
    driver.MustApply(QStringLiteral("Autoname"));
    EXPECT_EQ(static_cast<TElement_Handler*>(driver.StoredPlace(handler))->NameField()->GetText(),
              QStringLiteral("ButtonClick"));
}

// Division and integer division share the caption "Dividing" (two texts of
// the same words, told apart by picture and hint): each is reached.
TEST_F(ObjectsModule, EachOfTheTwoDividingItemsIsReachedByItsPlaceAmongTheSameCaptions) {
    driver.Focus(driver.Root());
    driver.MustApplyKey(QStringLiteral("E"));
    driver.Focus(driver.StoredPlace(QStringLiteral("Field/Value")));
    QStringList hints;
    for (const TPaletteEntry& entry : driver.PaletteEntries())
        if (entry.Caption == QStringLiteral("Dividing")) hints << entry.Item->GetHint();
    ASSERT_EQ(hints.size(), 2);
    EXPECT_NE(hints[0], hints[1]);
    EXPECT_FALSE(driver.Apply(QStringLiteral("Dividing"), 2)) << "no third";
    driver.MustApply(QStringLiteral("Dividing"), 1);
    auto* division = dynamic_cast<TElement_Operation*>(driver.StoredPlace(QStringLiteral("Field/Value/Operation")));
    ASSERT_NE(division, nullptr);
    EXPECT_EQ(division->OperationKind(), TOperationKind::DivideInt);
}
