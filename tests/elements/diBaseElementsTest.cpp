// Named elements (visibility in the palette and in files, automatic names,
// the "Autoname" item) and the container whose children follow a namespace.

#include "elements/diBaseElements.h"

#include "core/cuKnot.h"
#include "scheme/diFilers.h"
#include "support/testNaming.h"
#include "support/testVisualElements.h"

#include <gtest/gtest.h>

#include <functional>

// A box that offers the names of a scope it holds.
class TElement_BaseScopeBox : public TElement_TestBox, public INamespaceOwner {
    T_ELEMENT_CLASS(TElement_BaseScopeBox)
public:
    TElement_TestScope* Scope = nullptr;
    TNamespace* GetNamespace() override { return Scope; }
};
T_ELEMENT_CLASS_IMPL(TElement_BaseScopeBox, TElement_TestBox)

// A named element whose visibility mode the test sets before it is made.
class TElement_BaseNamed : public TNamedElement {
    T_ELEMENT_CLASS(TElement_BaseNamed)
public:
    static inline TVisibilityMode NextMode = TVisibilityMode::ChoosablePublic;
    TVisibilityMode Mode = NextMode;
    TVisibilityMode GetVisibilityMode() override { return Mode; }
};
T_ELEMENT_CLASS_IMPL(TElement_BaseNamed, TNamedElement)

// A name field that offers "Autoname" with the name the test gives it.
class TElement_BaseAutoField : public TTitledNameField {
    T_ELEMENT_CLASS(TElement_BaseAutoField)
public:
    QString Auto;
    bool Can = true;
    void Create() override {
        TTitledNameField::Create();
        SetNameOptions(NameOptions() | noAutoname);
    }
    QString GetAutoName() override { return Auto; }
    bool CanAutoName() override { return Can; }
};
T_ELEMENT_CLASS_IMPL(TElement_BaseAutoField, TTitledNameField)

class TElement_BaseAutoNamed : public TNamedElement {
    T_ELEMENT_CLASS(TElement_BaseAutoNamed)
public:
    const TElementClass* GetNameFieldClass() override { return TElement_BaseAutoField::StaticClass(); }
};
T_ELEMENT_CLASS_IMPL(TElement_BaseAutoNamed, TNamedElement)

// A child tied to an item by a plain reference; its value is stored.
class TElement_BaseChild : public TElement_TestBox {
    T_ELEMENT_CLASS(TElement_BaseChild)
public:
    TTestReference Link;
};
T_ELEMENT_CLASS_IMPL(TElement_BaseChild, TElement_TestBox)

class TElement_BaseFollower : public TChildrenByNamespaceElement {
    T_ELEMENT_CLASS(TElement_BaseFollower)
public:
    int Layouts = 0;
    // Follows ns instead of the owner's namespace (nil: the owner's again).
    void FollowInstead(TNamespace* ns) {
        m_instead = ns;
        FollowNamespaceAgain();
    }
    TNamespace* GetNamespace() override { return m_instead ? m_instead : TChildrenByNamespaceElement::GetNamespace(); }
    TReference* GetChildReference(TVisualElement* child) override {
        return &static_cast<TElement_BaseChild*>(child)->Link;
    }
    void LayoutChildren() override { ++Layouts; }
    const TElementClass* GetChildClass() override { return TElement_BaseChild::StaticClass(); }

private:
    TNamespace* m_instead = nullptr;
};
T_ELEMENT_CLASS_IMPL(TElement_BaseFollower, TChildrenByNamespaceElement)

namespace {

// An element operation that runs the test's steps on its element.
class TBaseStepOperation : public TElementOperation {
public:
    using TStep = std::function<void()>;
    TBaseStepOperation(TElement* element, TStep doStep, TStep undoStep)
        : TElementOperation(element, false), m_do(std::move(doStep)), m_undo(std::move(undoStep)) {}

protected:
    void DoOnElement(TElement* element) override {
        TElementOperation::DoOnElement(element);
        m_do();
    }
    void UndoOnElement(TElement* element) override {
        TElementOperation::UndoOnElement(element);
        m_undo();
    }

private:
    TStep m_do;
    TStep m_undo;
};

void RunStep(TElement* element, TBaseStepOperation::TStep doStep, TBaseStepOperation::TStep undoStep) {
    TSchemeOperation::Execute(MakeNode<TBaseStepOperation>(element, std::move(doStep), std::move(undoStep)));
}

class NamedElements : public ::testing::Test, public TSheetFixture {
protected:
    NamedElements() {
        box->Scope = AddScope(box, QStringLiteral("Names"));
        NamingSettings()->FillEnabled()->SetValue(true);
    }
    ~NamedElements() override { NamingSettings()->FillEnabled()->SetValue(true); }

    template <class T = TElement_BaseNamed>
    T* AddNamed(TElement* parent = nullptr) {
        auto* element = TElement::CreateIn<T>(scheme.get(), parent ? parent : box);
        element->SetVisualParent(box);
        return element;
    }
    TElement_BaseNamed* AddNamedOfMode(TVisibilityMode mode) {
        TElement_BaseNamed::NextMode = mode;
        TElement_BaseNamed* element = AddNamed();
        TElement_BaseNamed::NextMode = TVisibilityMode::ChoosablePublic;
        return element;
    }
    static TPaletteItemState StateOf(TVisualElement* element, TPaletteItem* item) {
        TPaletteItemState state;
        element->UpdatePaletteItemState(item, state);
        return state;
    }
    static bool Offers(TVisualElement* element, TPaletteItem* item) {
        QList<TPaletteItem*> list;
        element->GetPaletteItems(list);
        return list.contains(item);
    }

    TElement_BaseScopeBox* box = TElement::CreateIn<TElement_BaseScopeBox>(scheme.get(), root);
};

struct TVisibilityCase {
    TVisibilityMode mode;
    bool offered;
    bool enabled;
    TVisibility initial;
    int themeKind;
};

const TVisibilityCase kVisibilityCases[] = {
    {TVisibilityMode::Public, false, false, TVisibility::Public, tekName},
    {TVisibilityMode::FixedPublic, true, false, TVisibility::Public, tekNamePublic},
    {TVisibilityMode::FixedPrivate, true, false, TVisibility::Private, tekNamePrivate},
    {TVisibilityMode::ChoosablePublic, true, true, TVisibility::Public, tekNamePublic},
    {TVisibilityMode::ChoosablePrivate, true, true, TVisibility::Private, tekNamePrivate},
};

TEST_F(NamedElements, EachModeOffersEnablesAndChecksTheVisibilityItemsAndStoresOnlyAChosenPrivate) {
    for (const TVisibilityCase& c : kVisibilityCases) {
        SCOPED_TRACE(int(c.mode));
        TElement_BaseNamed* element = AddNamedOfMode(c.mode);
        EXPECT_EQ(element->Visibility(), c.initial);
        EXPECT_EQ(element->NameField()->GetThemeKind(), c.themeKind);
        EXPECT_EQ(element->NameField()->GetVisibility(), int(c.initial));
        EXPECT_EQ(Offers(element, PublicPaletteItem()), c.offered);
        EXPECT_EQ(Offers(element, PrivatePaletteItem()), c.offered);
        const TPaletteItemState privateState = StateOf(element, PrivatePaletteItem());
        EXPECT_EQ(privateState.Enabled, c.enabled);
        EXPECT_EQ(privateState.Checked, c.initial == TVisibility::Private);
        EXPECT_EQ(StateOf(element, PublicPaletteItem()).Checked, c.initial == TVisibility::Public);

        TNodePtr<TKnot> knot = TKnot::Create();
        element->SaveToKnot(knot.get(), fmFile, 0);
        const bool writesPrivate = c.enabled && c.initial == TVisibility::Private;
        EXPECT_EQ(knot->ReadStr(QStringLiteral("Visibility")), writesPrivate ? QStringLiteral("Private") : QString());
    }
}

TEST_F(NamedElements, PrivateInAnyCaseLoadsAsPrivateAndAnythingElseAsPublic) {
    const struct {
        const char* value;
        TVisibility loaded;
    } cases[] = {{"private", TVisibility::Private}, {"PRIVATE", TVisibility::Private}, {"Public", TVisibility::Public},
                 {"", TVisibility::Public}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        TElement_BaseNamed* element = AddNamedOfMode(TVisibilityMode::ChoosablePrivate);
        TNodePtr<TKnot> knot = TKnot::Create();
        if (*c.value) knot->WriteStr(QStringLiteral("Visibility"), QString::fromLatin1(c.value));
        element->LoadFromKnot(knot.get(), fmFile, 0);
        EXPECT_EQ(element->Visibility(), c.loaded);
    }
}

TEST_F(NamedElements, ApplyingTheOtherVisibilityIsOneUndoableStepAndTheCurrentOneChangesNothing) {
    TElement_BaseNamed* element = AddNamed();
    EXPECT_TRUE(element->ApplyPaletteItem(PublicPaletteItem(), QString(), true));
    EXPECT_FALSE(history.CanUndo());
    EXPECT_TRUE(element->ApplyPaletteItem(PrivatePaletteItem(), QString(), true));
    EXPECT_EQ(element->Visibility(), TVisibility::Private);
    EXPECT_EQ(element->NameField()->GetThemeKind(), tekNamePrivate);
    history.Undo();
    EXPECT_EQ(element->Visibility(), TVisibility::Public);
    history.Redo();
    EXPECT_EQ(element->Visibility(), TVisibility::Private);
}

TEST_F(NamedElements, ANewElementIsNamedAfterItsTypeOnlyWhileFillEnabledIsOn) {
    TElement_BaseNamed* first = AddNamed();
    first->InitNewTree(nullptr);
    TElement_BaseNamed* second = AddNamed();
    second->InitNewTree(nullptr);
    const QString stem = first->GetTypeName();
    EXPECT_TRUE(first->NameField()->GetText().startsWith(stem)) << first->NameField()->GetText().toStdString();
    EXPECT_NE(first->NameField()->GetText(), stem);  // the number comes first
    EXPECT_NE(second->NameField()->GetText(), first->NameField()->GetText());
    ASSERT_NE(first->NameField()->Item(), nullptr);

    NamingSettings()->FillEnabled()->SetValue(false);
    TElement_BaseNamed* third = AddNamed();
    third->InitNewTree(nullptr);
    EXPECT_EQ(third->NameField()->GetText(), QString());
    EXPECT_EQ(third->NameField()->Item(), nullptr);
}

TEST_F(NamedElements, AutonameIsEnabledOnlyWhenItCanActAndItsNameIsUndoable) {
    auto* element = AddNamed<TElement_BaseAutoNamed>();
    auto* field = static_cast<TElement_BaseAutoField*>(element->NameField());
    ASSERT_TRUE(Offers(field, AutonamePaletteItem()));
    EXPECT_FALSE(StateOf(field, AutonamePaletteItem()).Enabled);  // no name to give
    field->Auto = QStringLiteral("Counter");
    field->Can = false;
    EXPECT_FALSE(StateOf(field, AutonamePaletteItem()).Enabled);
    EXPECT_FALSE(field->ApplyPaletteItem(AutonamePaletteItem(), QString(), false));
    field->Can = true;
    EXPECT_TRUE(StateOf(field, AutonamePaletteItem()).Enabled);
    EXPECT_TRUE(field->ApplyPaletteItem(AutonamePaletteItem(), QString(), false));
    EXPECT_EQ(field->GetText(), QStringLiteral("Counter"));
    history.Undo();
    EXPECT_EQ(field->GetText(), QString());
}

// ---------------------------------------------------------------------------
// Children that follow a namespace

class ChildrenByNamespace : public NamedElements {
protected:
    ChildrenByNamespace() {
        AddDecl(box->Scope, QStringLiteral("A"));
        AddDecl(box->Scope, QStringLiteral("C"));
        follower = TElement::CreateIn<TElement_BaseFollower>(scheme.get(), box);
        follower->SetVisualParent(box);
    }
    QStringList ChildNames() {
        QStringList names;
        for (TVisualElement* child : follower->CountedChildren())
            names << static_cast<TElement_BaseChild*>(child)->Link.Target()->GetName();
        return names;
    }
    // Moves decl between the shelf and the followed scope in one step.
    void MoveIn(TElement_TestDecl* decl, TElement* before) {
        RunStep(
            follower, [=, this] { decl->SetParentBefore(box->Scope, before); }, [=, this] { decl->SetParent(shelf); });
    }

    TElement_TestScope* shelf = AddScope(root, QStringLiteral("Shelf"));
    TElement_BaseFollower* follower = nullptr;
};

TEST_F(ChildrenByNamespace, AChildPerItemInOrderAndAnAddedItemTakesItsPlace) {
    EXPECT_EQ(ChildNames(), QStringList({"A", "C"}));
    TElement_TestDecl* b = AddDecl(shelf, QStringLiteral("B"));
    MoveIn(b, static_cast<TElement*>(box->Scope->LastChild()));
    EXPECT_EQ(ChildNames(), QStringList({"A", "B", "C"}));
    EXPECT_EQ(follower->FollowedNamespace(), box->Scope);
}

TEST_F(ChildrenByNamespace, UndoRemovesTheAddedChildAndRedoBringsItBackWithItsFormerContent) {
    TElement_TestDecl* b = AddDecl(shelf, QStringLiteral("B"));
    MoveIn(b, nullptr);
    auto* child = static_cast<TElement_BaseChild*>(follower->ChildFor(b->Item()));
    ASSERT_NE(child, nullptr);
    const int32_t number = child->Number();
    RunStep(
        child, [=, this] { static_cast<TElement_BaseChild*>(scheme->FindElement(number))->SetValue("edited"); },
        [=, this] { static_cast<TElement_BaseChild*>(scheme->FindElement(number))->SetValue(QString()); });

    history.Undo();
    history.Undo();
    EXPECT_EQ(ChildNames(), QStringList({"A", "C"}));
    history.Redo();
    history.Redo();
    EXPECT_EQ(ChildNames(), QStringList({"A", "C", "B"}));
    auto* again = static_cast<TElement_BaseChild*>(follower->ChildFor(b->Item()));
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(again->Number(), number);
    EXPECT_EQ(again->Value(), QStringLiteral("edited"));
}

// Children made for another namespace followed in a step were made anew on
// its redo, with new numbers, so that later steps naming them missed them.
TEST_F(ChildrenByNamespace, RedoingASwitchToAnotherNamespaceBringsItsChildrenBackWithTheirNumbers) {
    AddDecl(shelf, QStringLiteral("S"));
    RunStep(follower, [=, this] { follower->FollowInstead(shelf); }, [=, this] { follower->FollowInstead(nullptr); });
    ASSERT_EQ(ChildNames(), QStringList({"S"}));
    const int32_t number = follower->CountedChildren().front()->Number();
    // The step names the child by its number, as a stored step does.
    auto setValue = [=, this](const char* value) {
        if (auto* child = dynamic_cast<TElement_BaseChild*>(scheme->FindElement(number))) child->SetValue(value);
    };
    RunStep(follower, [=] { setValue("edited"); }, [=] { setValue(""); });
    history.Undo();
    history.Undo();
    EXPECT_EQ(ChildNames(), QStringList({"A", "C"}));
    history.Redo();
    history.Redo();
    ASSERT_EQ(ChildNames(), QStringList({"S"}));
    EXPECT_EQ(follower->CountedChildren().front()->Number(), number);
    EXPECT_EQ(static_cast<TElement_BaseChild*>(follower->CountedChildren().front())->Value(), QStringLiteral("edited"));
}

TEST_F(ChildrenByNamespace, APathChangeRenamesTheSnapshotsOfTheStepBeingDone) {
    TElement_TestDecl* b = AddDecl(shelf, QStringLiteral("B"));
    TElementOperation* step = nullptr;
    RunStep(
        follower,
        [&] {
            b->SetParent(box->Scope);
            b->Renumber(b->Number() + 1000);
            step = dynamic_cast<TElementOperation*>(scheme->UndoRedo()->GetCurrentOperation());
        },
        [] {});
    ASSERT_NE(step, nullptr);
    ASSERT_EQ(step->GetRedoDependents().Count(), 1);
    EXPECT_EQ(step->GetRedoDependents().GetKnot(0)->Name(), b->Item()->GetPath());
}

TEST_F(ChildrenByNamespace, ARemovedItemTakesItsChildAndUndoRestoresItsContent) {
    auto* a = static_cast<TElement_TestDecl*>(box->Scope->FirstChild());
    static_cast<TElement_BaseChild*>(follower->ChildFor(a->Item()))->SetValue("kept");
    RunStep(follower, [=, this] { a->SetParent(shelf); }, [=, this] { a->SetParentBefore(box->Scope, box->Scope->FirstChild()); });
    EXPECT_EQ(ChildNames(), QStringList({"C"}));
    history.Undo();
    EXPECT_EQ(ChildNames(), QStringList({"A", "C"}));
    EXPECT_EQ(static_cast<TElement_BaseChild*>(follower->ChildFor(a->Item()))->Value(), QStringLiteral("kept"));
}

}  // namespace
