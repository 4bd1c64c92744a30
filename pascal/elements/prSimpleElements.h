#pragma once
// The declarations that are not routines or objects: the uses entry, the
// constant, the record, the array, the pointer, the type alias, the
// enumeration with its items, and the code block whose text goes into the
// generated unit unchanged.

#include "pascal/elements/prFieldElements.h"

#include <QString>

#include <cstdint>
#include <vector>

class TPaletteItem;

// The element type of an array.
class TArrayTypeField : public TWatchedTypeField {
    T_ELEMENT_CLASS(TArrayTypeField)
protected:
    ~TArrayTypeField() override = default;
};

// The aliased type.
class TTypeAliasRefTypeField : public TWatchedTypeField {
    T_ELEMENT_CLASS(TTypeAliasRefTypeField)
protected:
    ~TTypeAliasRefTypeField() override = default;
};

// A uses entry ("Use"): a name and nothing more, never named automatically.
class TElement_Use : public TprNamedElement {
    T_ELEMENT_CLASS(TElement_Use)
public:
    TProgramClassification GetClassification() const override { return {TDeclarationKind::Use}; }
    void GetDefaultName(QString& stem, bool& numberFirst) override;
    void WriteTitle(TTitleWriter& writer) override;
    void Create() override;

protected:
    ~TElement_Use() override = default;
};

class TElement_Constant : public TprNamedElement, public IValueDeclaration {
    T_ELEMENT_CLASS(TElement_Constant)
public:
    TExpressionField* ValueField() const noexcept { return m_value; }

    TProgramClassification GetClassification() const override { return {TDeclarationKind::Constant}; }
    // The value type of its value.
    bool GetDeclaredValueType(TNamespaceItem* item, TTypeDescriptor& descriptor) override;
    TVisibilityMode GetVisibilityMode() override;
    void GetDefaultName(QString& stem, bool& numberFirst) override;
    void GetItemReferences(TNameField* field, std::vector<TReference*>& list) override;
    // The value expects its own type (the constant places no demand).
    bool HandleChildMessage(TElement* child, int msg, intptr_t p1, intptr_t p2) override;
    void WriteTitle(TTitleWriter& writer) override;
    void GetChildName(TElement* child, TSchemeFiler* filer, QString& name) override;
    void GetChildHint(TElement* child, QString& text) override;
    void Create() override;
    void BeforeDestruction() override;

protected:
    ~TElement_Constant() override = default;

private:
    TExpressionField* m_value = nullptr;
};

// The fields of a record.
class TRecordFieldsContainer : public TTitledTextContainer {
    T_ELEMENT_CLASS(TRecordFieldsContainer)
public:
    void FillAcceptedClasses(TElementClassList& list) override;
    void Create() override;

protected:
    ~TRecordFieldsContainer() override = default;
};

// What a record's fields can name of the enclosing scope: types, constants,
// enumeration items and handlers (a field's type takes only types, its
// value no variables or calls), never the members shown under a field's
// name. A record so holds a cover of each of those only, not of every name
// of the unit.
class TRecordConnectionToOwner : public TNamespaceConnectionToOwner {
    T_ELEMENT_CLASS(TRecordConnectionToOwner)
public:
    bool AcceptsItem(TNamespaceItem* item) override;
    bool SeesThrough(const TNamespaceConnection* inner) override;

protected:
    ~TRecordConnectionToOwner() override = default;
};

// A record: a scope of its own whose fields register in its namespace.
class TElement_Record : public TprNamedElementWithContent, public INamespaceOwner, public ITypeElement {
    T_ELEMENT_CLASS(TElement_Record)
public:
    TNamespace* Namespace() const noexcept { return m_namespace; }
    TNamespaceConnectionToOwner* ConnectionToOwner() const noexcept { return m_connection; }

    TNamespace* GetNamespace() override { return m_namespace; }
    TProgramClassification GetClassification() const override {
        return {TDeclarationKind::Record, TScopeKind::Record};
    }
    const TElementClass* GetContentClass() override;
    TVisibilityMode GetVisibilityMode() override;
    void GetDefaultName(QString& stem, bool& numberFirst) override;
    void GetItemReferences(TNameField* field, std::vector<TReference*>& list) override;
    void WriteTitle(TTitleWriter& writer) override;
    void TreePlacementChanged() override;
    void GetChildName(TElement* child, TSchemeFiler* filer, QString& name) override;
    void Create() override;
    void BeforeDestruction() override;

protected:
    ~TElement_Record() override = default;

private:
    TNamespace* m_namespace = nullptr;
    TNamespaceConnectionToOwner* m_connection = nullptr;
};

// Suggests the element type's name, "Array" and the "TypesPrefix".
class TArrayNameField : public TIdentifierNameField {
    T_ELEMENT_CLASS(TArrayNameField)
public:
    QString GetAutoName() override;
    bool CanAutoName() override;
    void Create() override;

protected:
    ~TArrayNameField() override = default;
};

class TElement_Array : public TprNamedElement, public ITypeElement, public ITypeFieldOwner {
    T_ELEMENT_CLASS(TElement_Array)
public:
    TExpressionField* Min() const noexcept { return m_min; }
    TExpressionField* Max() const noexcept { return m_max; }
    TArrayTypeField* ElementType() const noexcept { return m_elementType; }
    // "Min" or "Max" has content: an array with bounds, else a dynamic one.
    bool HasBounds() const;

    TProgramClassification GetClassification() const override { return {TDeclarationKind::Array}; }
    const TElementClass* GetNameFieldClass() override;
    TVisibilityMode GetVisibilityMode() override;
    void GetDefaultName(QString& stem, bool& numberFirst) override;
    void GetItemReferences(TNameField* field, std::vector<TReference*>& list) override;
    void TypeFieldChanged(TWatchedTypeField* field) override;
    // The bounds expect "int".
    bool HandleChildMessage(TElement* child, int msg, intptr_t p1, intptr_t p2) override;
    void InitNew(TPaletteItem* item) override;
    void WriteTitle(TTitleWriter& writer) override;
    // "Bounds": the bounds are shown only while filled or edited, so the
    // command is how they are first reached; it focuses the minimum.
    void GetPaletteItems(QList<TPaletteItem*>& list) override;
    void UpdatePaletteItemState(TPaletteItem* item, TPaletteItemState& state) override;
    bool ApplyPaletteItem(TPaletteItem* item, const QString& subCommand, bool checked) override;
    void GetChildName(TElement* child, TSchemeFiler* filer, QString& name) override;
    void GetChildHint(TElement* child, QString& text) override;
    void Create() override;
    void BeforeDestruction() override;

protected:
    ~TElement_Array() override = default;

private:
    TExpressionField* m_min = nullptr;
    TExpressionField* m_max = nullptr;
    TArrayTypeField* m_elementType = nullptr;
    bool m_announcing = false;
};

// Suggests "P" and the referenced type's name without the "TypesPrefix".
class TPointerNameField : public TIdentifierNameField {
    T_ELEMENT_CLASS(TPointerNameField)
public:
    QString GetAutoName() override;
    bool CanAutoName() override;
    void Create() override;

protected:
    ~TPointerNameField() override = default;
};

class TElement_Pointer : public TprNamedElement, public ITypeElement {
    T_ELEMENT_CLASS(TElement_Pointer)
public:
    TTypeReferenceField* RefType() const noexcept { return m_refType; }

    TProgramClassification GetClassification() const override { return {TDeclarationKind::Pointer}; }
    const TElementClass* GetNameFieldClass() override;
    TVisibilityMode GetVisibilityMode() override;
    void GetDefaultName(QString& stem, bool& numberFirst) override;
    void GetItemReferences(TNameField* field, std::vector<TReference*>& list) override;
    void FocusFirst() override;
    void WriteTitle(TTitleWriter& writer) override;
    void GetChildName(TElement* child, TSchemeFiler* filer, QString& name) override;
    void GetChildHint(TElement* child, QString& text) override;
    void Create() override;
    void BeforeDestruction() override;

protected:
    ~TElement_Pointer() override = default;

private:
    TTypeReferenceField* m_refType = nullptr;
};

class TElement_TypeAlias : public TprNamedElement,
                           public ITypeElement,
                           public ITypeAliasElement,
                           public ITypeFieldOwner {
    T_ELEMENT_CLASS(TElement_TypeAlias)
public:
    TTypeAliasRefTypeField* RefType() const noexcept { return m_refType; }
    // The first item along the aliases that is not an alias; nil when
    // unresolved or when the chain comes back to an alias it passed.
    TNamespaceItem* GetFinalRefType();

    TNamespaceItem* GetRefTypeItem() override;
    TProgramClassification GetClassification() const override { return {TDeclarationKind::TypeAlias}; }
    TVisibilityMode GetVisibilityMode() override;
    void GetItemReferences(TNameField* field, std::vector<TReference*>& list) override;
    // The picture follows the final type; the name item announces a change.
    void TypeFieldChanged(TWatchedTypeField* field) override;
    void FocusFirst() override;
    void WriteTitle(TTitleWriter& writer) override;
    void GetChildName(TElement* child, TSchemeFiler* filer, QString& name) override;
    void GetChildHint(TElement* child, QString& text) override;
    void Create() override;
    void BeforeDestruction() override;

protected:
    ~TElement_TypeAlias() override = default;

private:
    TTypeAliasRefTypeField* m_refType = nullptr;
    bool m_announcing = false;
};

// The items of an enumeration.
class TEnumItemsContainer : public TTitledTextContainer {
    T_ELEMENT_CLASS(TEnumItemsContainer)
public:
    void FillAcceptedClasses(TElementClassList& list) override;
    void Create() override;

protected:
    ~TEnumItemsContainer() override = default;
};

// The set-of name: the enumeration's name, first letter upper-cased, "s".
class TEnumSetOfNameField : public TTitledNameField {
    T_ELEMENT_CLASS(TEnumSetOfNameField)
public:
    QString GetAutoName() override;
    bool CanAutoName() override;
    // The enumeration's.
    int GetVisibility() override;
    void Create() override;

protected:
    ~TEnumSetOfNameField() override = default;
};

class TElement_EnumItem;

class TElement_Enum : public TprNamedElementWithContent, public ITypeElement {
    T_ELEMENT_CLASS(TElement_Enum)
public:
    TEnumSetOfNameField* SetOfName() const noexcept { return m_setOfName; }
    // The items in order.
    std::vector<TElement_EnumItem*> Items() const;
    // The prefix "Generate Prefix" puts before the items: the capitals of
    // the name after the "TypesPrefix", lower-cased.
    QString GeneratedPrefix();
    // Replaces the items' common prefix by the generated one, as one undo
    // step; nothing without a prefix or without items.
    void GeneratePrefix();

    TProgramClassification GetClassification() const override { return {TDeclarationKind::Enum}; }
    const TElementClass* GetContentClass() override;
    TVisibilityMode GetVisibilityMode() override;
    void GetDefaultName(QString& stem, bool& numberFirst) override;
    void DeclaredVisibilityChanged() override;
    void WriteTitle(TTitleWriter& writer) override;
    void GetPaletteItems(QList<TPaletteItem*>& list) override;
    void UpdatePaletteItemState(TPaletteItem* item, TPaletteItemState& state) override;
    bool ApplyPaletteItem(TPaletteItem* item, const QString& subCommand, bool checked) override;
    void GetChildName(TElement* child, TSchemeFiler* filer, QString& name) override;
    void GetChildHint(TElement* child, QString& text) override;
    void Create() override;
    void BeforeDestruction() override;

protected:
    ~TElement_Enum() override = default;

private:
    TEnumSetOfNameField* m_setOfName = nullptr;
};

class TElement_EnumItem : public TprNamedElement {
    T_ELEMENT_CLASS(TElement_EnumItem)
public:
    TProgramClassification GetClassification() const override { return {TDeclarationKind::EnumItem}; }
    TVisibilityMode GetVisibilityMode() override { return TVisibilityMode::Public; }
    void WriteTitle(TTitleWriter& writer) override;
    void Create() override;

protected:
    ~TElement_EnumItem() override = default;
};

// The text of the code block.
class TCodeContainer : public TTitledTextContainer {
    T_ELEMENT_CLASS(TCodeContainer)
public:
    void Create() override;

protected:
    ~TCodeContainer() override = default;
};

// Verbatim code ("Code").
class TElement_Code : public TTitledElementWithContent, public IProgramElement {
    T_ELEMENT_CLASS(TElement_Code)
public:
    TProgramClassification GetClassification() const override { return {}; }
    const TElementClass* GetContentClass() override;
    void WriteTitle(TTitleWriter& writer) override;
    void Create() override;

protected:
    ~TElement_Code() override = default;
};

// The longest prefix that every name begins with (empty for none).
QString CommonNamePrefix(const QStringList& names);

// The unit's palette items (valid between its initialisation and finalisation).
TPaletteItem* SimpleElementPaletteItem(const TElementClass* cls) noexcept;
TPaletteItem* GeneratePrefixPaletteItem() noexcept;
// The array's "Bounds" command.
TPaletteItem* ArrayBoundsPaletteItem() noexcept;

void InitSimpleElementsUnit();
void FinalSimpleElementsUnit();
