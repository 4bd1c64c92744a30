#pragma once
// Field-like declarations: the base that gives a declaration a type and
// shows the members of that type under the declaration's name
// (TCustomField), the variant that can be indexed (arrays and strings get
// the implicit "AIndex"), the variant with an initial value, and the field
// or variable element itself (TElement_Field). Parameters, sub-objects and
// properties derive from these bases.
//
// Also the type field that tells its owner when what it names changes
// (TWatchedTypeField), which the type declarations use too.

#include "pascal/elements/prCustomFieldElements.h"
#include "pascal/elements/prExpressionElements.h"
#include "scheme/diOperations.h"

#include <QString>

#include <cstdint>
#include <vector>

class TPaletteItem;
class TWatchedTypeField;

// The owner of a watched type field.
class ITypeFieldOwner {
public:
    // The field's target changed, or the item it names announced a change
    // (of itself or of its picture).
    virtual void TypeFieldChanged(TWatchedTypeField* field) = 0;

protected:
    ~ITypeFieldOwner() = default;
};

// A type reference that tells its owner (ITypeFieldOwner) when its target
// changes or the target announces a change, however it came about (typing,
// a rename, a load, an undo).
class TWatchedTypeField : public TTypeReferenceField {
    T_ELEMENT_CLASS(TWatchedTypeField)
public:
    // The target, followed through aliases.
    TNamespaceItem* ResolvedTarget() const { return ResolveTypeAlias(GetTargetItem()); }

    void NamespaceNotify(int code, TNamespaceItem* item, intptr_t argument) override;
    void TextChanged() override;
    void AfterLoad(TSchemeLoader* loader, intptr_t datum) override;
    void UndoDependent(TKnot* snapshot) override;

protected:
    ~TWatchedTypeField() override = default;

private:
    void TellOwner(bool always);
    TNamespaceItem* m_told = nullptr;
};

// The type of a field-like declaration.
class TFieldTypeField : public TWatchedTypeField {
    T_ELEMENT_CLASS(TFieldTypeField)
protected:
    ~TFieldTypeField() override = default;
};

class TCustomField : public TprNamedElement, public IValueDeclaration, public ITypeFieldOwner {
    T_ELEMENT_CLASS(TCustomField)
public:
    // Sub-elements: the element tree owns them.
    TFieldTypeField* TypeField() const noexcept { return m_type; }
    TMembersByTypeConnection* MembersConnection() const noexcept { return m_members; }

    // Shows the members of the resolved type (none while effectively
    // disabled), then the name item announces a change.
    virtual void TypeChanged();
    // The class of MembersConnection (a sub-object's hides "Free").
    virtual const TElementClass* GetMembersConnectionClass();

    // The value type of the declared type.
    bool GetDeclaredValueType(TNamespaceItem* item, TTypeDescriptor& descriptor) override;
    void TypeFieldChanged(TWatchedTypeField* field) override;
    void NameFieldChanged() override;
    void DeclaredVisibilityChanged() override;
    void EffectiveDisabledChanged() override;
    void TreePlacementChanged() override;
    void GetChildName(TElement* child, TSchemeFiler* filer, QString& name) override;
    void Create() override;
    void BeforeDestruction() override;

protected:
    ~TCustomField() override = default;
    // Whether MembersConnection shows the type's members (an indexed property shows none).
    virtual bool ShowsTypeMembers() const { return true; }

private:
    TFieldTypeField* m_type = nullptr;
    TMembersByTypeConnection* m_members = nullptr;
};

class TCustomFieldWithArrayTypeSupport : public TCustomField {
    T_ELEMENT_CLASS(TCustomFieldWithArrayTypeSupport)
public:
    TNamespace* ParametersNamespace() const noexcept { return m_parameters; }
    TFieldElementParameterIndex* ParameterIndex() const noexcept { return m_index; }
    // Whether "AIndex" is registered: the type is an array or "str".
    bool IsIndexable() const;

    void TypeChanged() override;
    void GetChildName(TElement* child, TSchemeFiler* filer, QString& name) override;
    void Create() override;
    void BeforeDestruction() override;

protected:
    ~TCustomFieldWithArrayTypeSupport() override = default;

private:
    TNamespace* m_parameters = nullptr;
    TFieldElementParameterIndex* m_index = nullptr;
};

class TCustomFieldWithValue : public TCustomFieldWithArrayTypeSupport {
    T_ELEMENT_CLASS(TCustomFieldWithValue)
public:
    TExpressionField* ValueField() const noexcept { return m_value; }
    bool AccessToPrivateMembers() const noexcept { return m_access; }
    // Private members of the type pass the members connection while set.
    void SetAccessToPrivateMembers(bool value);

    // The references inside the value (cyclic definitions).
    void GetItemReferences(TNameField* field, std::vector<TReference*>& list) override;
    // The value is expected to be of the field's type.
    bool HandleChildMessage(TElement* child, int msg, intptr_t p1, intptr_t p2) override;
    // In an object or a record the value takes no variables or calls.
    void TreePlacementChanged() override;
    void GetPaletteItems(QList<TPaletteItem*>& list) override;
    void UpdatePaletteItemState(TPaletteItem* item, TPaletteItemState& state) override;
    bool ApplyPaletteItem(TPaletteItem* item, const QString& subCommand, bool checked) override;
    void GetChildName(TElement* child, TSchemeFiler* filer, QString& name) override;
    void LoadFrom(TSchemeLoader* loader, TKnot* knot) override;
    void SaveTo(TSchemeSaver* saver, TKnot* knot) override;
    void Create() override;
    void BeforeDestruction() override;

protected:
    ~TCustomFieldWithValue() override = default;

private:
    TExpressionField* m_value = nullptr;
    bool m_access = false;
};

// The name field of a field: suggests a name from the type.
class TFieldNameField : public TIdentifierNameField {
    T_ELEMENT_CLASS(TFieldNameField)
public:
    QString GetAutoName() override;
    bool CanAutoName() override;
    // The owner hears of every change of the name (the members' prefix follows).
    void TextChanged() override;
    void Create() override;

protected:
    ~TFieldNameField() override = default;
};

// A field or variable ("Field").
class TElement_Field : public TCustomFieldWithValue {
    T_ELEMENT_CLASS(TElement_Field)
public:
    TProgramClassification GetClassification() const override { return {TDeclarationKind::Field}; }
    const TElementClass* GetNameFieldClass() override;
    TVisibilityMode GetVisibilityMode() override;
    // The field prefix of the declaration container, then the stem.
    void GetDefaultName(QString& stem, bool& numberFirst) override;
    void InitNew(TPaletteItem* item) override;
    void WriteTitle(TTitleWriter& writer) override;
    void GetChildHint(TElement* child, QString& text) override;
    void Create() override;

protected:
    ~TElement_Field() override = default;
};

// Sets a field's access to private members; undoing sets the former value.
class TFieldAccessToPrivateMembersOperation : public TElementOperation {
    T_CLASS(TFieldAccessToPrivateMembersOperation)
public:
    TFieldAccessToPrivateMembersOperation(TCustomFieldWithValue* element, bool value);

protected:
    void DoOnElement(TElement* element) override;
    void UndoOnElement(TElement* element) override;

private:
    bool m_newValue;
    bool m_oldValue = false;
};

// The suggested name of a declaration typed typeName in container: without
// the "TypesPrefix", first letter upper-cased, after the field prefix.
QString FieldNameFromType(const QString& typeName, TElement* container);
// The name a type field shows: its target's name, else its text.
QString TypeFieldName(TTypeReferenceField* field);

// The unit's palette items (valid between its initialisation and finalisation).
TPaletteItem* FieldPaletteItem() noexcept;
TPaletteItem* FieldInitialValuePaletteItem() noexcept;
TPaletteItem* FieldAccessPaletteItem() noexcept;
// The picture of a field's name (also that of a property's backing field); NoImageIndex outside.
int FieldNamePicture() noexcept;

void InitFieldElementsUnit();
void FinalFieldElementsUnit();
