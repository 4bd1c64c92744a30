#pragma once
// Object types: the object (a class with a parent, a class-of name, members,
// construction and destruction commands), the connections that decide which
// members a descendant sees and which are seen outside under the object's
// name, the "Kind" and "Without Instance" commands. The members that only
// make sense in an object are in prClassMemberElements, registered right
// after this unit.

#include "pascal/elements/prCommandsContainer.h"
#include "pascal/elements/prFieldElements.h"
#include "scheme/diOperations.h"

#include <QString>

#include <cstdint>
#include <vector>

class TElement_Object;
class TExpandButton;
class TPaletteItem;
class TSchemePaletteItem;

enum class TObjectKind : uint8_t { Regular = 0, Abstract = 1, Final = 2 };
constexpr int kObjectKindCount = 3;

// How many ancestors an object may have: a longer chain of parents is
// refused (the object then sees only the built-in members), so that what a
// root announces never nests deeper than this through its descendants.
constexpr int kMaxParentDepth = 32;

// What became of an object's parent.
enum class TParentState : uint8_t { None, Connected, TooDeep, Cycle };

// The object an item names by its main name (aliases followed); nil for
// anything else, the class-of name included.
TElement_Object* ObjectNamedBy(TNamespaceItem* item);

// The parent: only the name of an object that is not Final.
class TParentClassField : public TWatchedTypeField {
    T_ELEMENT_CLASS(TParentClassField)
public:
    bool CanReferTo(TNamespaceItem* item) override;
    // A parent beyond the depth limit is refused with a message.
    void CheckContent() override;
    void Create() override;

protected:
    ~TParentClassField() override = default;
};

// The name of the class-of type: suggests the object's name and "Class".
class TClassOfNameField : public TIdentifierNameField {
    T_ELEMENT_CLASS(TClassOfNameField)
public:
    QString GetAutoName() override;
    bool CanAutoName() override;
    int GetVisibility() override;
    void Create() override;

protected:
    ~TClassOfNameField() override = default;
};

// The object's name field: the object hears of every change of its text.
class TObjectNameField : public TIdentifierNameField {
    T_ELEMENT_CLASS(TObjectNameField)
public:
    void TextChanged() override;

protected:
    ~TObjectNameField() override = default;
};

// What a descendant sees of its parent: the public members, the built-in
// ones and the private methods that allow descendants to call or override
// them; never names of the parent's enclosing scope.
class TNamespaceConnectionToParent : public TNamespaceConnection {
    T_ELEMENT_CLASS(TNamespaceConnectionToParent)
public:
    bool AcceptsItem(TNamespaceItem* item) override;
    bool SeesThrough(const TNamespaceConnection* inner) override { return !inner || !inner->IsScopeLink(); }

protected:
    ~TNamespaceConnectionToParent() override = default;
};

// The members seen outside the object under its name and a point: events,
// notifications and what needs no instance (methods without instance,
// constructors, constants, "Create", "ClassName", "ClassType"). An event seen
// through it is another object's: a value may not fire it
// (IMembersOutConnection).
class TClassMembersOutConnection : public TNamedNamespaceConnection, public IMembersOutConnection {
    T_ELEMENT_CLASS(TClassMembersOutConnection)
public:
    TNamespaceItem* GetNameItem() override;
    bool AcceptsItem(TNamespaceItem* item) override;
    bool SeesThrough(const TNamespaceConnection* inner) override { return !inner || !inner->IsScopeLink(); }
    void Create() override;

protected:
    ~TClassMembersOutConnection() override = default;
};

// The members of an object: one per line.
class TObjectMembersContainer : public TTitledTextContainer {
    T_ELEMENT_CLASS(TObjectMembersContainer)
public:
    void FillAcceptedClasses(TElementClassList& list) override;
    void Create() override;

protected:
    ~TObjectMembersContainer() override = default;
};

class TElement_Object : public TprNamedElementWithContent,
                        public INamespaceOwner,
                        public ITypeElement,
                        public IMethodsOwner,
                        public IInheritingScope,
                        public ITypeFieldOwner {
    T_ELEMENT_CLASS(TElement_Object)
public:
    // Sub-elements: the element tree owns them.
    TNamespace* Namespace() const noexcept { return m_namespace; }
    TNamespaceConnectionToOwner* ConnectionToOwner() const noexcept { return m_connectionToOwner; }
    TParentClassField* Parent() const noexcept { return m_parent; }
    TNamespaceConnectionToParent* ConnectionToParent() const noexcept { return m_connectionToParent; }
    TClassOfNameField* ClassOfName() const noexcept { return m_classOfName; }
    TClassMembersOutConnection* ClassMembersOutConnection() const noexcept { return m_outConnection; }
    TCommandsContainer* Construction() const noexcept { return m_construction; }
    TCommandsContainer* Destruction() const noexcept { return m_destruction; }

    TObjectKind Kind() const noexcept { return m_kind; }
    // Re-draws the name picture; the name item announces the change.
    void SetKind(TObjectKind kind);
    int NamePicture() const;

    // The object the parent field names; nil without one.
    TElement_Object* ResolvedParent() const;
    // The parent whose members are seen (nil when refused or without one).
    TElement_Object* ConnectedParent() const;
    TParentState ParentState() const noexcept { return m_parentState; }
    // ConnectionToParent follows the parent field (a loaded object's once
    // the loader's deferred step connected it); the names announce a change
    // when what the object sees of its ancestors changed.
    void UpdateParentConnection();

    TNamespace* GetNamespace() override { return m_namespace; }
    bool AllowsDescendantsOptions() override { return true; }
    bool AllowsClassMethods() override { return true; }
    bool InheritsMembersOf(TElement* container) override;
    void TypeFieldChanged(TWatchedTypeField* field) override;
    TProgramClassification GetClassification() const override {
        return {TDeclarationKind::Object, TScopeKind::Object};
    }

    const TElementClass* GetContentClass() override;
    const TElementClass* GetNameFieldClass() override;
    TVisibilityMode GetVisibilityMode() override;
    void GetDefaultName(QString& stem, bool& numberFirst) override;
    void GetItemReferences(TNameField* field, std::vector<TReference*>& list) override;
    void NameFieldChanged() override;
    void DeclaredVisibilityChanged() override;
    void WriteTitle(TTitleWriter& writer) override;
    void TreePlacementChanged() override;
    void GetChildName(TElement* child, TSchemeFiler* filer, QString& name) override;
    void GetChildHint(TElement* child, QString& text) override;
    void GetPaletteItems(QList<TPaletteItem*>& list) override;
    void UpdatePaletteItemState(TPaletteItem* item, TPaletteItemState& state) override;
    bool ApplyPaletteItem(TPaletteItem* item, const QString& subCommand, bool checked) override;
    // "Kind": "Abstract" or "Final", read ignoring case; Regular is not written.
    void LoadFrom(TSchemeLoader* loader, TKnot* knot) override;
    // Connects the loaded objects to their parents, once each.
    void AfterLoad(TSchemeLoader* loader, intptr_t datum) override;
    void SaveTo(TSchemeSaver* saver, TKnot* knot) override;
    void Create() override;
    void BeforeDestruction() override;

protected:
    ~TElement_Object() override = default;

private:
    void UpdateOutConnection();
    bool IsOnParentCycle(TElement_Object* parent) const;
    // This object and the loaded ones above it that wait for their parents,
    // connected from the top down.
    void ConnectLoadedChain();

    TNamespace* m_namespace = nullptr;
    TNamespaceConnectionToOwner* m_connectionToOwner = nullptr;
    TParentClassField* m_parent = nullptr;
    TNamespaceConnectionToParent* m_connectionToParent = nullptr;
    TClassOfNameField* m_classOfName = nullptr;
    TClassMembersOutConnection* m_outConnection = nullptr;
    TCommandsContainer* m_construction = nullptr;
    TCommandsContainer* m_destruction = nullptr;
    TExpandButton* m_constructionButton = nullptr;
    TExpandButton* m_destructionButton = nullptr;
    TObjectKind m_kind = TObjectKind::Regular;
    TParentState m_parentState = TParentState::None;
    // Ancestors above, counted up to kMaxParentDepth + 1.
    int m_parentDepth = 0;
    bool m_updatingParent = false;
    // Loaded and not yet connected to its parent: the loader's deferred step
    // connects it once its ancestors are (see ConnectLoadedChain).
    bool m_parentAwaitsLoad = false;
    // Met by the walk of ConnectLoadedChain that is under way.
    bool m_inLoadedChain = false;
};

// The object's Kind, undoable.
class TObjectKindOperation : public TElementOperation {
    T_CLASS(TObjectKindOperation)
public:
    TObjectKindOperation(TElement_Object* element, TObjectKind kind);

protected:
    void DoOnElement(TElement* element) override;
    void UndoOnElement(TElement* element) override;

private:
    TObjectKind m_newKind;
    TObjectKind m_oldKind = TObjectKind::Regular;
};

// ---------------------------------------------------------------------------
// The unit

TPaletteItem* ObjectPaletteItem() noexcept;
TSchemePaletteItem* ObjectKindPaletteItem(TObjectKind kind) noexcept;
// "Without Instance" in the "Options" group (valid between the unit's
// initialisation and finalisation; nil outside).
TSchemePaletteItem* WithoutInstancePaletteItem() noexcept;
// The small picture a title shows for a member without instance.
int WithoutInstanceTitlePicture() noexcept;
// Pictures of the unit's strips: 12x12 (C), small (S); NoImageIndex outside.
int ClassCharPicture(int picture) noexcept;
int ClassSmallPicture(int picture) noexcept;
int ClassLargePicture(int picture) noexcept;

void InitClassElementsUnit();
void FinalClassElementsUnit();
