#pragma once
// The names that generated code declares without a declaration element in
// the scheme ("Result" of a routine, "AIndex" and "AValue" of property
// sections, "Index" and "Item" of a For Each loop), the connection that
// shows the members of a type under the name of a field or identifier
// (TMembersByTypeConnection), and GetTypeDescriptor, the value type that a
// type's name item stands for.

#include "pascal/elements/prCommon.h"
#include "scheme/diNaming.h"

#include <QString>

#include <memory>

class TNamespaceItem;

// Shows the members of a type (an object's, a record's, or those every
// object has) under its owner's name, a point and the member's name. It
// shows nothing while that name is empty: a field without a name yet must
// not pour its type's members, unprefixed, into its scope.
class TMembersByTypeConnection : public TNamedNamespaceConnection {
    T_ELEMENT_CLASS(TMembersByTypeConnection)
public:
    TMembersByTypeConnection() noexcept = default;

    // The members of typeItem's type (aliases already followed): an
    // object's member namespace, a record's namespace, the object members
    // for the standard "object"; nothing otherwise.
    void SetTypeItem(TNamespaceItem* typeItem);
    // The owner's name as the prefix; the members show only while it is not empty.
    void SetMembersPrefix(const QString& name);
    // The type was named by an object's class-of name: constructors pass.
    bool ClassOfAccess() const noexcept { return m_classOfAccess; }
    // The namespace whose members are shown while the prefix is not empty.
    TNamespace* TypeMembers() const noexcept { return m_typeMembers; }

    // The owner's name item: an implicit identifier's, or a declaration's name field's.
    TNamespaceItem* GetNameItem() override;
    bool AcceptsItem(TNamespaceItem* item) override;
    // Never the names an enclosing scope shows inside the type.
    bool SeesThrough(const TNamespaceConnection* inner) override;
    // Private members never pass.
    void Create() override;

protected:
    ~TMembersByTypeConnection() override = default;

private:
    void UpdateTarget();
    void ForgetVanishedMembers();
    // Whether item is a member of the object or record the connection stands in.
    bool IsMemberOfOwnContainer(TNamespaceItem* item);

    TNamespace* m_typeMembers = nullptr;
    bool m_classOfAccess = false;
};

// An implicit identifier: a name element with a type, whose members it
// offers under its own name.
class TCustomFieldElement : public TNameElement, public IProgramElement {
    T_ELEMENT_CLASS(TCustomFieldElement)
public:
    TCustomFieldElement() noexcept;

    TNamespaceItem* TypeItem() const noexcept;
    // Stores the item and shows the members of its type (aliases followed).
    void SetTypeItem(TNamespaceItem* item);
    // A sub-element: the element tree owns it.
    TMembersByTypeConnection* MembersConnection() const noexcept { return m_members; }
    // Something refers to the identifier or to one of its members.
    bool IsReferenced();

    virtual bool IsReadOnly() { return true; }

    TProgramClassification GetClassification() const override { return {TDeclarationKind::ImplicitIdentifier}; }
    int GetImageIndex() override;
    int GetItemFlags() override { return nifOverridable; }
    // After the registration, the members connection follows into the same namespace.
    void UpdateNamespaceItem() override;
    void GetChildName(TElement* child, TSchemeFiler* filer, QString& name) override;
    void Create() override;
    void BeforeDestruction() override;

protected:
    ~TCustomFieldElement() override;

private:
    class TTypeLink;
    void TypeTargetChanged();

    std::unique_ptr<TTypeLink> m_type;
    TMembersByTypeConnection* m_members = nullptr;
};

// "Result" of a routine with a result (its type set by the routine).
class TFieldElementResult : public TCustomFieldElement {
    T_ELEMENT_CLASS(TFieldElementResult)
public:
    QString GetName() override;
    QString GetDescription() override;
    bool IsReadOnly() override { return false; }
    // Starts unregistered: the routine registers it.
    void Create() override;

protected:
    ~TFieldElementResult() override = default;
};

// "AIndex" of an array property section (type "index").
class TFieldElementParameterIndex : public TCustomFieldElement {
    T_ELEMENT_CLASS(TFieldElementParameterIndex)
public:
    QString GetName() override;
    QString GetDescription() override;
    void Create() override;

protected:
    ~TFieldElementParameterIndex() override = default;
};

// "AValue" of a property setter section (its type set by the property).
class TFieldElementParameterValue : public TCustomFieldElement {
    T_ELEMENT_CLASS(TFieldElementParameterValue)
public:
    QString GetName() override;
    QString GetDescription() override;

protected:
    ~TFieldElementParameterValue() override = default;
};

// "Index" of a For Each loop (type "index").
class TFieldElementLocalIndex : public TCustomFieldElement {
    T_ELEMENT_CLASS(TFieldElementLocalIndex)
public:
    QString GetName() override;
    QString GetDescription() override;
    void Create() override;

protected:
    ~TFieldElementLocalIndex() override = default;
};

// "Item" of a For Each loop (its type set from what the loop runs over).
class TFieldElementLocalItem : public TCustomFieldElement {
    T_ELEMENT_CLASS(TFieldElementLocalItem)
public:
    QString GetName() override;
    QString GetDescription() override;

protected:
    ~TFieldElementLocalItem() override = default;
};

// The picture of the implicit identifiers' names: the first picture of the
// field elements' 12 x 12 strip, which the field unit loads and hands over
// at start-up (none until then).
void SetImplicitIdentifierImage(int index) noexcept;

// The value type that typeItem names: "variant", then, through aliases, by
// the declaring element: a standard type its kind; an object 9, or 10 when
// named by its class-of name; a method type, event or notification 12; a
// pointer 7; an array 13; a record 16; an enumeration 14, or 15 by its
// set-of name. For the declared kinds the type item is the declaring
// element's name item (the set-of name's for 15) and Item the item given.
void GetTypeDescriptor(TNamespaceItem* typeItem, TTypeDescriptor& descriptor);

void InitCustomFieldElementsUnit();
void FinalCustomFieldElementsUnit();
