#pragma once
// Named elements: titled elements whose title holds a name field that
// registers in the namespace of the element's surroundings, with a
// visibility (public or private) that the user may choose.

#include "elements/diNamingElements.h"
#include "elements/diTitled.h"
#include "scheme/diHashIndex.h"
#include "scheme/diOperations.h"

#include <cstdint>
#include <vector>

class TNamedElement;

// What a named element may do with its visibility.
enum class TVisibilityMode : uint8_t {
    Public = 0,            // always public; nothing offered
    FixedPublic = 1,       // always public; the items offered disabled
    FixedPrivate = 2,      // always private; the items offered disabled
    ChoosablePublic = 3,   // choosable, public by default
    ChoosablePrivate = 4,  // choosable, private by default
};

enum class TVisibility : uint8_t { Public = 0, Private = 1 };

// The name field in a named element's title: it answers the namespace
// item's questions from its owner.
class TTitledNameField : public TNameField {
    T_ELEMENT_CLASS(TTitledNameField)
public:
    TTitledNameField() noexcept = default;

    // The named element it stands in (its parent); nil while detached.
    TNamedElement* Owner() const noexcept;

    // "Name" in mode 0, else "NamePrivate" or "NamePublic".
    int GetThemeKind() const override;
    QString GetDescription() override;
    void GetUsedReferences(std::vector<TReference*>& list) override;
    int GetVisibility() override;
    // Tells the owner after each full re-evaluation.
    void Changed() override;

protected:
    ~TTitledNameField() override = default;
};

class TNamedElement : public TTitledElement {
    T_ELEMENT_CLASS(TNamedElement)
public:
    TNamedElement() noexcept = default;

    // A sub-element: the element tree owns it.
    TNameField* NameField() const noexcept { return m_nameField; }
    TVisibilityMode VisibilityMode() const noexcept { return m_visibilityMode; }
    TVisibility Visibility() const noexcept { return m_visibility; }
    // A change re-evaluates the name and tells the sheet the edit state changed.
    void SetVisibility(TVisibility visibility);
    // Takes the mode again (kinds call it when what decides it changes).
    void UpdateVisibilityMode();

    // ---- virtual operations ----
    virtual TVisibilityMode GetVisibilityMode() { return TVisibilityMode::ChoosablePublic; }
    virtual void CreateNameField();
    virtual const TElementClass* GetNameFieldClass();
    // Adds the references the element's own declaration uses (none here).
    virtual void GetItemReferences(TNameField* field, std::vector<TReference*>& list) {}
    // The stem of an automatic name (the type name here).
    virtual void GetDefaultName(QString& stem, bool& numberFirst);
    virtual void NameFieldChanged() {}
    // Public or private changed (not to be confused with being shown).
    virtual void DeclaredVisibilityChanged();

    // TCustomTitledElement: an expand button's change announces a title
    // change when the name field asks for it.
    void Realign(TVisualElement* child) override;
    // TVisualElement
    void FocusFirst() override;
    void GetPaletteItems(QList<TPaletteItem*>& list) override;
    void UpdatePaletteItemState(TPaletteItem* item, TPaletteItemState& state) override;
    bool ApplyPaletteItem(TPaletteItem* item, const QString& subCommand, bool checked) override;
    // TElement
    void InitNew(TPaletteItem* item) override;
    void GetChildName(TElement* child, TSchemeFiler* filer, QString& name) override;
    void LoadFrom(TSchemeLoader* loader, TKnot* knot) override;
    void SaveTo(TSchemeSaver* saver, TKnot* knot) override;
    void BeforeDestruction() override;
    void Create() override;

protected:
    ~TNamedElement() override = default;

private:
    bool IsChoosable() const noexcept;
    // The frame kind changed: the name is laid out again.
    void InvalidateNameLayout();

    TNameField* m_nameField = nullptr;
    TVisibilityMode m_visibilityMode = TVisibilityMode::Public;
    TVisibility m_visibility = TVisibility::Public;
};

class TNamedElementWithContent : public TNamedElement {
    T_ELEMENT_CLASS(TNamedElementWithContent)
public:
    TNamedElementWithContent() noexcept = default;

    // TTitledTextContainer here.
    virtual const TElementClass* GetContentClass();
    // A sub-element: the element tree owns it.
    TVisualElement* Content() const noexcept { return m_content.Get(); }

    TVisualElement* GetContentContainer() override { return m_content.Get(); }
    // The content when it takes the focus, else the name field.
    void FocusFirst() override;
    void GetChildName(TElement* child, TSchemeFiler* filer, QString& name) override;
    void BeforeDestruction() override;
    void Create() override;

protected:
    ~TNamedElementWithContent() override = default;

private:
    TContentSlot m_content;
};

// Sets a named element's visibility; undoing sets the former one.
class TNamedElementVisibilityOperation : public TElementOperation {
    T_CLASS(TNamedElementVisibilityOperation)
public:
    TNamedElementVisibilityOperation(TNamedElement* element, TVisibility visibility);

protected:
    void DoOnElement(TElement* element) override;
    void UndoOnElement(TElement* element) override;

private:
    TVisibility m_newVisibility;
    TVisibility m_oldVisibility = TVisibility::Public;
};

// A container whose counted children (those that are not sub-elements and
// are exactly of GetChildClass) mirror the items of a namespace one to one,
// in the namespace's order; it follows the namespace's item events and keeps
// the children's content through undo and redo.
class TChildrenByNamespaceElement : public TVisualElement {
    T_ELEMENT_CLASS(TChildrenByNamespaceElement)
public:
    TChildrenByNamespaceElement() noexcept = default;

    // The namespace followed; nil before attaching.
    TNamespace* FollowedNamespace() const noexcept { return m_namespace; }
    // The counted children in order.
    std::vector<TVisualElement*> CountedChildren();
    // The counted child standing for item; nil. Through an index of the
    // children by their items, so that following a namespace of many items
    // stays linear.
    TVisualElement* ChildFor(TNamespaceItem* item);
    bool IsLayingOutChildren() const noexcept { return m_layingOut; }

    // ---- virtual operations ----
    // From the owner through INamespaceOwner.
    virtual TNamespace* GetNamespace();
    // The link that ties a child to its item.
    virtual TReference* GetChildReference(TVisualElement* child) = 0;
    // A new child for item, at the item's place in the namespace's order.
    virtual TVisualElement* CreateChildFor(TNamespaceItem* item);
    virtual void LayoutChildren() = 0;
    virtual void ItemRenamed(TVisualElement* child, TNamespaceItem* item) {}
    virtual const TElementClass* GetChildClass() = 0;
    virtual bool AcceptsItem(TNamespaceItem* item) { return true; }
    // Whether AcceptsItem may accept covers (false: own items only, and the
    // namespace's connections need not show everything).
    virtual bool AcceptsCovers() { return true; }
    virtual void NamespaceNotify(int code, TNamespaceItem* item, intptr_t argument);

    // TVisualElement
    void ChildBoundsChanged(TVisualElement* child, const TRect& oldRect, int oldDescent) override;
    void ChildVisibilityChanged(TVisualElement* child) override;
    void UpdateLayout(bool force, bool all, bool widthChanged, bool heightChanged) override;
    // TElement
    void TreePlacementChanged() override;
    bool ShouldSaveChild(TSchemeFiler* filer, TElement* child) override;
    void SaveTo(TSchemeSaver* saver, TKnot* knot) override;
    void LoadFrom(TSchemeLoader* loader, TKnot* knot) override;
    void AfterLoad(TSchemeLoader* loader, intptr_t datum) override;
    void RedoDependent(TKnot* snapshot) override;
    void UndoDependent(TKnot* snapshot) override;
    void WriteText(QString& builder) override;
    void BeforeDestruction() override;
    // TNode: the index of the children waits for the next look-up.
    void ChildrenChanged() override;

protected:
    ~TChildrenByNamespaceElement() override;
    // Runs LayoutChildren when on a sheet, visible and not already laying out.
    void RequestChildrenLayout();
    // Follows GetNamespace when it answers another namespace than the one
    // followed: the children of the old one go (recorded for undo), the new
    // one's come.
    void FollowNamespaceAgain();

private:
    bool IsCounted(TElement* child);
    TNamespaceItem* ItemOf(TVisualElement* child);
    // The counted child a new child for item goes before (nil: at the end).
    TVisualElement* ChildBefore(TNamespaceItem* item);
    TVisualElement* LastCountedChild();
    void IndexChildren();
    // The element operation being run forwards (only its first run when
    // firstOnly); nil.
    TElementOperation* OperationBeingDone(bool firstOnly) const;
    // child's snapshot, named by its item's path, in set.
    void RecordChild(TElementOperationDependents& set, TVisualElement* child);
    void Follow(TNamespace* ns);
    void StopFollowing();
    void OnNotify(TItfObject* sender, int code, intptr_t p1, intptr_t p2);

    TNamespace* m_namespace = nullptr;
    // A snapshot's "ChildReferences" while its load runs (not owned: the
    // loader's knot outlives the deferred step).
    TKnot* m_pendingChildren = nullptr;
    bool m_layingOut = false;
    // The counted children by their items. Any change of the children makes
    // it wait for the next look-up (its entries are then never looked at, so
    // it may hold children that are gone); the additions and removals made
    // here keep it as it was.
    THashIndex<TVisualElement> m_childByItem;
    bool m_childIndexValid = false;
    // Counts the changes of the children, so that a step here knows that
    // the change it made was the only one.
    uint32_t m_childChanges = 0;
    // Counted children the index was made without (no item then).
    int m_unindexedChildren = 0;
};

// The "Visibility" group and its items (valid between InitBaseElementsUnit
// and FinalBaseElementsUnit).
TSchemePaletteItem* PublicPaletteItem() noexcept;
TSchemePaletteItem* PrivatePaletteItem() noexcept;
void InitBaseElementsUnit();
void FinalBaseElementsUnit();
