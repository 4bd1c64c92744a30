// Name fields and references on real namespaces: renames followed, letter
// case, duplicates and reserved names, empty names, deletion with undo by
// path, cycles, disabled targets; and the drop-down list of a reference.

#include "elements/diNamingElements.h"

#include "core/cuLocalization.h"
#include "core/cuStringIds.h"
#include "core/cuUndoRedo.h"
#include "platform/plInput.h"
#include "scheme/diCustomElements.h"
#include "scheme/diMessages.h"
#include "scheme/diPalette.h"
#include "support/testEnglish.h"
#include "support/testNaming.h"
#include "support/testTextor.h"

#include <gtest/gtest.h>

// A reference that accepts every item.
class TElement_NamingRef : public TReferenceElement {
    T_ELEMENT_CLASS(TElement_NamingRef)
public:
    bool CanReferTo(TNamespaceItem* item) override { return true; }
};
T_ELEMENT_CLASS_IMPL(TElement_NamingRef, TReferenceElement)

// An element whose name is typed into its name field.
class TElement_NamingOwner : public TElement {
    T_ELEMENT_CLASS(TElement_NamingOwner)
public:
    TNameField* Field = nullptr;
    void Create() override {
        TElement::Create();
        Field = TElement::CreateSubElement<TNameField>(this);
    }
};
T_ELEMENT_CLASS_IMPL(TElement_NamingOwner, TElement)

// A visual element with a name field that takes an automatic name when new,
// as long as the "Naming" settings fill names in.
class TElement_NamingBox : public TVisualElement {
    T_ELEMENT_CLASS(TElement_NamingBox)
public:
    TNameField* Field = nullptr;
    void Create() override {
        TVisualElement::Create();
        Field = TElement::CreateSubElement<TNameField>(this);
    }
    void GetChildName(TElement* child, TSchemeFiler* filer, QString& name) override {
        if (child == Field)
            name = QStringLiteral("Name");
        else
            TVisualElement::GetChildName(child, filer, name);
    }
    void InitNew(TPaletteItem* item) override {
        TVisualElement::InitNew(item);
        // Made outside the tree: no names to avoid yet.
        if (NamingSettings()->FillEnabled()->Value())
            Field->SetText(NamingSettings()->MakeUniqueName(QStringLiteral("Box"), false, QStringList()));
    }
};
T_ELEMENT_CLASS_IMPL(TElement_NamingBox, TVisualElement)

// A text inside a text that passes its palette and messages to its owner.
class TElement_NamingInnerText : public TTextorElement {
    T_ELEMENT_CLASS(TElement_NamingInnerText)
public:
    void Create() override {
        TTextorElement::Create();
        SetTextorOptions(TextorOptions() | toRichContent | toDelegating);
    }
    void FillAcceptedClasses(TElementClassList& list) override { list << TElement_NamingBox::StaticClass(); }
};
T_ELEMENT_CLASS_IMPL(TElement_NamingInnerText, TTextorElement)

// A text that owns a namespace for what is typed into it.
class TElement_NamingText : public TTextorElement, public INamespaceOwner {
    T_ELEMENT_CLASS(TElement_NamingText)
public:
    void Create() override {
        TTextorElement::Create();
        SetTextorOptions(TextorOptions() | toRichContent);
    }
    TNamespace* GetNamespace() override {
        if (!m_namespace) m_namespace.reset(TElement::CreateIn<TNamespace>(Scheme(), nullptr));
        return m_namespace.get();
    }
    void BeforeDestruction() override {
        TTextorElement::BeforeDestruction();
        m_namespace.reset();
    }
    void FillAcceptedClasses(TElementClassList& list) override {
        list << TElement_NamingRef::StaticClass() << TElement_NamingBox::StaticClass()
             << TElement_NamingInnerText::StaticClass();
    }

private:
    TNodePtr<TNamespace> m_namespace;
};
T_ELEMENT_CLASS_IMPL(TElement_NamingText, TTextorElement)

// Gives the references below it the root scope's names, and refuses every one.
class TElement_NamingRefuser : public TElement, public INamespaceOwner {
    T_ELEMENT_CLASS(TElement_NamingRefuser)
public:
    TNamespace* GetNamespace() override { return static_cast<TNamespace*>(Scheme()->Root()); }
    bool HandleNodeMessage(int msg, intptr_t p1, intptr_t p2) override {
        if (msg != nmAcceptReferenceItem) return TElement::HandleNodeMessage(msg, p1, p2);
        *reinterpret_cast<bool*>(p2) = false;
        return true;
    }
};
T_ELEMENT_CLASS_IMPL(TElement_NamingRefuser, TElement)

namespace {

// Removes a declaration from its scope (kept alive) and puts it back on undo.
class TNamingRemoveOperation : public TElementOperation {
public:
    TNamingRemoveOperation(TElement_TestDecl* decl, TElement_TestScope* scope)
        : TElementOperation(scope, false), m_decl(decl), m_scope(scope) {}

protected:
    void DoOnElement(TElement* element) override {
        TElementOperation::DoOnElement(element);
        m_decl->SetParent(nullptr);
    }
    void UndoOnElement(TElement* element) override {
        TElementOperation::UndoOnElement(element);
        m_decl->SetParent(m_scope);
    }

private:
    TElement_TestDecl* m_decl;
    TElement_TestScope* m_scope;
};

// The message texts of element, links unmarked.
QStringList NamingMessages(TElement* element) {
    QStringList texts;
    if (TElementMessages* list = element->Messages())
        for (int i = 0; i < list->GetCount(); ++i) texts << list->GetItem(i)->GetText();
    return texts;
}

QString Expected(int id, const QString& argument = QString()) {
    QString text = argument.isNull() ? LoadStr(id) : LoadStrFmt(id, {argument});
    return text.remove(QLatin1Char('[')).remove(QLatin1Char(']'));
}

class NamingElements : public ::testing::Test {
protected:
    NamingElements() { scheme->SetUndoRedo(&history); }

    TElement_NamingRef* Ref(const QString& text, TElement* parent = nullptr) {
        auto* ref = TElement::CreateIn<TElement_NamingRef>(scheme.get(), parent ? parent : root);
        ref->SetText(text);
        return ref;
    }
    TElement_NamingOwner* Named(const QString& name) {
        auto* owner = TElement::CreateIn<TElement_NamingOwner>(scheme.get(), root);
        owner->Field->SetText(name);
        return owner;
    }
    TNamespaceItem* ItemOf(TElement* element) { return root->FindItemByElement(element); }

    TEnglishTexts english;
    TUndoRedo history;
    std::unique_ptr<TScheme> scheme = MakeScopeScheme();
    TElement_TestScope* root = static_cast<TElement_TestScope*>(scheme->Root());
};

TEST_F(NamingElements, RenameRewritesEveryReference) {
    TElement_NamingOwner* a = Named(QStringLiteral("A"));
    TElement_NamingRef* before = Ref(QStringLiteral("A"));
    TElement_NamingRef* after = Ref(QStringLiteral("A"));
    ASSERT_EQ(before->GetTargetItem(), a->Field->Item());
    ASSERT_EQ(after->GetTargetItem(), a->Field->Item());
    EXPECT_EQ(a->Field->Item()->GetReferenceCount(), 2);

    a->Field->SetText(QStringLiteral("B"));
    EXPECT_EQ(before->GetText(), QStringLiteral("B"));
    EXPECT_EQ(after->GetText(), QStringLiteral("B"));
    EXPECT_EQ(after->GetTargetItem(), a->Field->Item());
}

// A reference takes each new name by changing only the characters that differ
// from the old one; it shows the name and stays attached, and each undo
// brings the name before it back to the reference too.
TEST_F(NamingElements, APartlyChangedNameShowsInTheReferencesAndUndoesStepByStep) {
    TElement_NamingOwner* total = Named(QStringLiteral("Total"));
    TElement_NamingRef* ref = Ref(QStringLiteral("Total"));
    ASSERT_EQ(ref->GetTargetItem(), total->Field->Item());
    const QStringList names = {QStringLiteral("Totals"), QStringLiteral("Tota"), QStringLiteral("Subtotal"),
                               QStringLiteral("SubTOTAL"), QStringLiteral("S")};
    for (const QString& name : names) {
        total->Field->ReplaceText(name);
        EXPECT_EQ(ref->GetText(), name);
        EXPECT_EQ(ref->GetTargetItem(), total->Field->Item());
    }
    for (qsizetype i = names.size() - 1; i >= 0; --i) {
        history.Undo();
        const QString before = i > 0 ? names[i - 1] : QStringLiteral("Total");
        EXPECT_EQ(total->Field->GetText(), before);
        EXPECT_EQ(ref->GetText(), before);
        EXPECT_EQ(ref->GetTargetItem(), total->Field->Item());
    }
    history.Redo();
    EXPECT_EQ(ref->GetText(), names.front());
}

TEST_F(NamingElements, ReferenceWaitingForNameAttachesWhenDeclared) {
    TElement_NamingRef* ref = Ref(QStringLiteral("Later"));
    EXPECT_EQ(ref->GetTargetItem(), nullptr);
    EXPECT_TRUE(NamingMessages(ref).contains(Expected(strElementNotFoundNot, QStringLiteral("Later"))));
    TElement_TestDecl* decl = AddDecl(root, QStringLiteral("Later"));
    EXPECT_EQ(ref->GetTargetItem(), decl->Item());
    EXPECT_TRUE(NamingMessages(ref).isEmpty());
}

TEST_F(NamingElements, CaseSensitiveReferenceAndCaseInsensitiveDuplicate) {
    TElement_NamingOwner* upper = Named(QStringLiteral("A"));
    TElement_NamingRef* ref = Ref(QStringLiteral("a"));
    EXPECT_EQ(ref->GetTargetItem(), nullptr);
    EXPECT_TRUE(NamingMessages(upper).isEmpty());

    TElement_NamingOwner* lower = Named(QStringLiteral("a"));
    EXPECT_TRUE(NamingMessages(lower->Field).contains(Expected(strElementWithNameAlready, QStringLiteral("a")))) << NamingMessages(lower->Field).join('|').toStdString();
    EXPECT_EQ(ref->GetTargetItem(), lower->Field->Item());
}

TEST_F(NamingElements, NameHidingBuiltInIsReserved) {
    AddDecl(root, QStringLiteral("Integer"), nifOverridable);
    TElement_NamingOwner* named = Named(QStringLiteral("Integer"));
    EXPECT_TRUE(NamingMessages(named->Field).contains(Expected(strNameReservedYouNeed, QStringLiteral("Integer"))));
}

TEST_F(NamingElements, EmptyNameFieldHasNoItemAndIsNoDuplicate) {
    TElement_NamingOwner* first = Named(QString());
    TElement_NamingOwner* second = Named(QString());
    EXPECT_EQ(first->Field->Item(), nullptr);
    EXPECT_FALSE(NamingMessages(second->Field).contains(Expected(strElementWithNameAlready, QString(""))));
    second->Field->SetText(QStringLiteral("N"));
    ASSERT_NE(second->Field->Item(), nullptr);
    second->Field->SetText(QString());
    EXPECT_EQ(second->Field->Item(), nullptr);
}

TEST_F(NamingElements, DeletedTargetReportsAndUndoReattachesSameElementByPath) {
    TElement_TestDecl* target = AddDecl(root, QStringLiteral("X"));
    TElement_NamingRef* ref = Ref(QStringLiteral("X"));
    ASSERT_EQ(ref->GetTargetItem(), target->Item());

    TSchemeOperation::Execute(MakeNode<TNamingRemoveOperation>(target, root));
    EXPECT_EQ(ref->GetTargetItem(), nullptr);
    EXPECT_TRUE(NamingMessages(ref).contains(Expected(strElementNotFoundNot, QStringLiteral("X"))));

    TElement_TestDecl* other = AddDecl(root, QStringLiteral("X"));
    EXPECT_EQ(ref->GetTargetItem(), other->Item());
    history.Undo();
    EXPECT_EQ(ref->GetTargetItem(), target->Item());
    EXPECT_EQ(ref->GetText(), QStringLiteral("X"));
}

TEST_F(NamingElements, LostTargetsAreRecordedOnTheFirstRunOnlyNotAgainAtEachRedo) {
    TElement_TestDecl* target = AddDecl(root, QStringLiteral("X"));
    std::vector<TElement_NamingRef*> refs{Ref(QStringLiteral("X")), Ref(QStringLiteral("X"))};
    auto removal = MakeNode<TNamingRemoveOperation>(target, root);
    TNamingRemoveOperation* op = removal.get();
    TSchemeOperation::Execute(std::move(removal));
    for (int cycle = 0; cycle < 2; ++cycle) {
        history.Undo();
        history.Redo();
    }
    EXPECT_EQ(op->GetUndoDependents().Count(), int(refs.size()));
    history.Undo();
    for (TElement_NamingRef* ref : refs) EXPECT_EQ(ref->GetTargetItem(), target->Item());
}

TEST_F(NamingElements, CycleThroughUsedReferences) {
    TElement_TestDecl* decl = AddDecl(root, QStringLiteral("Self"));
    TElement_NamingRef* ref = Ref(QStringLiteral("Self"));
    decl->Used.push_back(ref->Link());
    ref->SetTarget(nullptr);
    ref->ResolveByName();
    EXPECT_TRUE(ref->Link()->IsOnCycle());
    EXPECT_TRUE(NamingMessages(ref).contains(Expected(strCyclicalReference)));
}

TEST_F(NamingElements, DisabledTarget) {
    TElement_TestDecl* decl = AddDecl(root, QStringLiteral("Off"));
    decl->Enabled = false;
    TElement_NamingRef* ref = Ref(QStringLiteral("Off"));
    EXPECT_TRUE(NamingMessages(ref).contains(Expected(strReferenceDisabledElement)));

    TElement_NamingOwner* named = Named(QStringLiteral("Field"));
    TElement_NamingRef* toField = Ref(QStringLiteral("Field"));
    ASSERT_TRUE(NamingMessages(toField).isEmpty());
    named->Field->SetDisabled(true);
    EXPECT_TRUE(NamingMessages(toField).contains(Expected(strReferenceDisabledElement)));
}

TEST_F(NamingElements, AcceptanceRefusedByAGrandparent) {
    TElement_TestDecl* decl = AddDecl(root, QStringLiteral("X"));
    auto* refuser = TElement::CreateIn<TElement_NamingRefuser>(scheme.get(), root);
    auto* parent = TElement::CreateIn<TElement_NamingOwner>(scheme.get(), refuser);
    EXPECT_EQ(Ref(QStringLiteral("X"), parent)->GetTargetItem(), nullptr);
    EXPECT_EQ(Ref(QStringLiteral("X"))->GetTargetItem(), decl->Item());
}

TEST_F(NamingElements, RouterHandsNameEventsOnlyToWaitingReferences) {
    Ref(QStringLiteral("P"));
    Ref(QStringLiteral("P"));
    Ref(QStringLiteral("Q"));
    TReferenceRouter* router = TReferenceRouter::Find(root);
    ASSERT_NE(router, nullptr);
    EXPECT_EQ(router->WaitingCount(QStringLiteral("P")), 2);
    AddDecl(root, QStringLiteral("P"));
    EXPECT_EQ(router->WaitingCount(QStringLiteral("P")), 0);
    EXPECT_EQ(router->WaitingCount(QStringLiteral("Q")), 1);
}

// ---------------------------------------------------------------------------
// The drop-down list

class NamingDropDown : public NamingElements {
protected:
    // Captions of root's entries, depth-first, groups marked with "/".
    static QStringList Captions(TDropDownItem* item) {
        QStringList list;
        for (TDropDownItem* e = item->FirstItem(); e; e = e->NextItem()) {
            list << (e->Selectable ? e->Caption : e->Caption + QLatin1Char('/'));
            for (const QString& inner : Captions(e)) list << QStringLiteral("  ") + inner;
        }
        return list;
    }
    TNodePtr<TDropDownItem> rootItem = MakeNode<TDropDownItem>();
    TFakeInputState input;
    TInputStateInstaller installInput{&input};
};

TEST_F(NamingDropDown, GroupsAtDotsShiftOnlyItemsAndPreselectedTarget) {
    AddDecl(root, QStringLiteral("Alpha"));
    AddDecl(root, QStringLiteral("Sys.Beta"));
    AddDecl(root, QStringLiteral("Sys.Gamma"));
    AddDecl(root, QStringLiteral("Hidden"), nifShiftOnly);
    TElement_NamingRef* ref = Ref(QStringLiteral("Sys.Gamma"));

    TDropDownItem* preselected = ref->FillDropDown(rootItem.get());
    EXPECT_EQ(Captions(rootItem.get()),
              QStringList({"Alpha", "Sys/", "  Beta", "  Gamma"}));
    ASSERT_NE(preselected, nullptr);
    EXPECT_EQ(preselected->Caption, QStringLiteral("Gamma"));

    input.Modifiers = ssShift;
    TNodePtr<TDropDownItem> withShift = MakeNode<TDropDownItem>();
    ref->FillDropDown(withShift.get());
    EXPECT_TRUE(Captions(withShift.get()).contains(QStringLiteral("Hidden")));
}

TEST_F(NamingDropDown, EntriesFollowTheTreeOrderOfTheirPlacesNotTheOrderOfDeclaring) {
    TElement_TestDecl* late = AddDecl(root, QStringLiteral("Late"));
    TElement_TestDecl* early = AddDecl(root, QStringLiteral("Early"));
    TElement_TestScope* other = AddScope(root, QStringLiteral("Other"));
    TElement_TestDecl* second = AddDecl(other, QStringLiteral("Second"));
    AddDecl(other, QStringLiteral("First"))->SetParentBefore(other, second);
    TElement_TestLink* link = AddLink(root, other);
    early->SetParentBefore(root, late);
    link->SetParentBefore(root, late);
    Ref(QString())->FillDropDown(rootItem.get());
    EXPECT_EQ(Captions(rootItem.get()), QStringList({"Early", "First", "Second", "Late"}));
}

TEST_F(NamingDropDown, ChoosingAnEntryIsUndoable) {
    TElement_TestDecl* first = AddDecl(root, QStringLiteral("First"));
    TElement_TestDecl* second = AddDecl(root, QStringLiteral("Second"));
    TElement_NamingRef* ref = Ref(QStringLiteral("First"));
    ref->FillDropDown(rootItem.get());
    TDropDownItem* entry = rootItem->FirstItem()->NextItem();
    ASSERT_EQ(entry->Caption, QStringLiteral("Second"));
    ASSERT_TRUE(ref->SelectDropDownItem(entry));
    EXPECT_EQ(ref->GetTargetItem(), second->Item());
    EXPECT_EQ(ref->GetText(), QStringLiteral("Second"));
    history.Undo();
    EXPECT_EQ(ref->GetTargetItem(), first->Item());
    EXPECT_EQ(ref->GetText(), QStringLiteral("First"));
}

TEST_F(NamingDropDown, CreateEntriesOfferedWhenItemsAreSet) {
    AddDecl(root, QStringLiteral("Alpha"));
    TElement_NamingRef* ref = Ref(QStringLiteral("Alpha"));
    TNodePtr<TSchemePaletteItem> create = MakeNode<TSchemePaletteItem>(uint16_t(0), -1, strCreate, 0, 1);
    ref->SetCreateHereItem(create.get());
    ref->FillDropDown(rootItem.get());
    EXPECT_EQ(Captions(rootItem.get()), QStringList({LoadStr(strCreateHere), "Alpha"}));
    ref->SetCreateHereItem(nullptr);
}

// "<create>" in a text that owns the namespace.
class NamingCreate : public NamingDropDown {
protected:
    NamingCreate() {
        text = TElement::CreateIn<TElement_NamingText>(scheme.get(), root);
        ref = static_cast<TElement_NamingRef*>(text->AddElementOfClass(TElement_NamingRef::StaticClass()));
        createItem = MakeNode<TElementPaletteItem>(uint16_t(0), -1, strCreate, 0, 1, TElement_NamingBox::StaticClass());
        ref->SetCreateItem(createItem.get());
        ref->SetText(QStringLiteral("Typed"));
    }
    ~NamingCreate() override { ref->SetCreateItem(nullptr); }
    void ChooseCreate(bool fillNames) {
        NamingSettings()->FillEnabled()->SetValue(fillNames);
        ref->FillDropDown(rootItem.get());
        TDropDownItem* create = rootItem->FirstItem();
        ASSERT_EQ(create->Caption, LoadStr(strCreate));
        ASSERT_TRUE(ref->SelectDropDownItem(create));
        NamingSettings()->FillEnabled()->SetValue(true);
        ASSERT_EQ(text->ChildCount(), 2);
    }
    TElement_NamingText* text = nullptr;
    TElement_NamingRef* ref = nullptr;
    TNodePtr<TElementPaletteItem> createItem;
};

TEST_F(NamingCreate, NewElementWithAutomaticNameBecomesTarget) {
    ChooseCreate(true);
    ASSERT_NE(ref->GetTargetItem(), nullptr);
    EXPECT_EQ(ref->GetText(), ref->GetTargetItem()->GetName());
}

TEST_F(NamingCreate, CreateBetweenTwoDeclarationsLandsAfterTheLastAndOneUndoTakesBoth) {
    text->InsertElementOfClass(TElement_NamingBox::StaticClass(), false, text->Textor()->GetStartPosition());
    auto* inner = static_cast<TTextorElement*>(text->AddElementOfClass(TElement_NamingInnerText::StaticClass()));
    auto* second = static_cast<TElement_NamingBox*>(inner->AddElementOfClass(TElement_NamingBox::StaticClass()));
    text->AddElementOfClass(TElement_NamingRef::StaticClass());  // after the declarations
    auto* first = static_cast<TElementPortion*>(text->Textor()->GetFirstPortion())->Element();
    static_cast<TElement_NamingBox*>(first)->Field->SetText(QStringLiteral("First"));
    second->Field->SetText(QStringLiteral("Second"));

    ref->FillDropDown(rootItem.get());
    ASSERT_TRUE(ref->SelectDropDownItem(rootItem->FirstItem()));
    ASSERT_NE(ref->GetTargetItem(), nullptr);
    auto* made = static_cast<TVisualElement*>(ref->GetTargetItem()->GetElement());
    EXPECT_EQ(static_cast<TElementPortion*>(made->TextorSlot())->Prev(), dynamic_cast<TPortion*>(second->TextorSlot()))
        << "the new declaration stands right after the last one";
    history.Undo();
    EXPECT_EQ(ParagraphTexts(*inner->Textor()), QStringList{QStringLiteral("\uFFFC")});
    EXPECT_EQ(ref->GetText(), QStringLiteral("Typed"));
    EXPECT_EQ(ref->GetTargetItem(), nullptr);
}

TEST_F(NamingCreate, CreateWithoutNameEmptiedTypedName) {
    ChooseCreate(false);
    EXPECT_EQ(ref->GetTargetItem(), nullptr);
    EXPECT_EQ(ref->GetText(), QStringLiteral("Typed"));
}

}  // namespace
