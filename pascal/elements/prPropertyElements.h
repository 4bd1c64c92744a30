#pragma once
// The four property declarations of an object:
//   TElement_Property               getter and setter sections, optional parameters
//   TElement_PropertyWithField      backed by a field of its own, optional setter
//   TElement_PropertyWithSubObject  backed by an owned sub-object, optionally lazy
//   TElement_PropertyArray          indexed items and a count, each with getter and setter
// Their sections are routine bodies that see the implicit "Result", "AValue"
// and "AIndex". A property can be assigned only while its setter section holds
// commands; a class property ("Without Instance") is seen outside its object.

#include "pascal/elements/prCommandsContainer.h"
#include "pascal/elements/prFieldElements.h"
#include "pascal/elements/prMethodElements.h"

#include <QString>

#include <cstdint>

class TPaletteItem;
class TSchemePaletteItem;

// The base of every property: a type, a description and, unless the kind
// has none, a setter section ("ContentWrite", shown only while filled or
// edited) in which "AValue" of the property's type is seen.
class TCustomPropertyElement : public TCustomField {
    T_ELEMENT_CLASS(TCustomPropertyElement)
public:
    // Sub-elements: the element tree owns them; nil when the kind has no setter.
    TCommandsContainer* WriteSection() const noexcept { return m_write; }
    TFieldElementParameterValue* WriteValue() const noexcept { return m_writeValue; }
    // Whether a value can be set: the setter section holds commands.
    bool HasSetter() const;
    // "Add Setter" opened an empty setter section (nothing here).
    virtual void SetterOpened() {}

    const TElementClass* GetNameFieldClass() override;
    TVisibilityMode GetVisibilityMode() override { return TVisibilityMode::FixedPublic; }
    // "Property" (the node name of the plain property).
    void GetDefaultName(QString& stem, bool& numberFirst) override;
    // By its name only while there is a setter.
    bool IsAssignableThrough(TNamespaceItem* item) override;
    // "AValue" takes the property's type.
    void TypeChanged() override;
    // The sections see the enclosing scope (SectionsScope).
    void TreePlacementChanged() override;
    // A section becoming filled or empty: the names announce their writability.
    bool HandleChildMessage(TElement* child, int msg, intptr_t p1, intptr_t p2) override;
    void GetChildName(TElement* child, TSchemeFiler* filer, QString& name) override;
    void GetChildHint(TElement* child, QString& text) override;
    void GetPaletteItems(QList<TPaletteItem*>& list) override;
    void UpdatePaletteItemState(TPaletteItem* item, TPaletteItemState& state) override;
    bool ApplyPaletteItem(TPaletteItem* item, const QString& subCommand, bool checked) override;
    void Create() override;
    void BeforeDestruction() override;

protected:
    ~TCustomPropertyElement() override = default;
    // The setter section: a commands container hidden while empty; nil for none.
    virtual TCommandsContainer* CreateWriteSection();
    // The namespace every section's connection targets: the enclosing scope's.
    virtual TNamespace* SectionsScope();
    // Whether the section is shown in the title: filled or being edited.
    static bool IsSectionShown(TCommandsContainer* section);
    // A section became filled or empty.
    virtual void SectionFilledChanged(TCommandsContainer* section);
    // A commands container of cls made as a sub-element before before.
    TCommandsContainer* MakeSection(const TElementClass* cls, TElement* before, bool hiddenWhileEmpty);
    // Expands, focuses the section and selects all of it; answers whether it was empty.
    bool OpenSection(TCommandsContainer* section);
    // Every section, in title order.
    QList<TCommandsContainer*> m_sections;
    // The name picture: P + index of the unit's 12 x 12 strip.
    void SetNamePicture(int index);
    // A caption row and the section below it.
    static void WriteSection(TTitleWriter& writer, int caption, TCommandsContainer* section);

private:
    TCommandsContainer* m_write = nullptr;
    TFieldElementParameterValue* m_writeValue = nullptr;
};

// A property with a getter section ("ContentRead", required, its "Result" of
// the property's type) and a choice of being a class property.
class TCustomFullPropertyElement : public TCustomPropertyElement, public IMethodOptions {
    T_ELEMENT_CLASS(TCustomFullPropertyElement)
public:
    TCommandsContainerWithResult* ReadSection() const noexcept { return m_read; }
    bool ForInstance() const noexcept { return m_forInstance; }
    // Re-lays the title; the name announces the change.
    void SetForInstance(bool value);

    // IMethodOptions: no descendants' options; without instance only where
    // the owner allows class members.
    bool GetDescendantsCall() override { return false; }
    bool GetDescendantsOverride() override { return false; }
    bool GetForInstance() override;

    // "Result" of the getter takes the property's type.
    void TypeChanged() override;
    // The type reads "int", the getter returns, the setter assigns "AValue".
    void InitNew(TPaletteItem* item) override;
    void GetChildName(TElement* child, TSchemeFiler* filer, QString& name) override;
    void GetPaletteItems(QList<TPaletteItem*>& list) override;
    void UpdatePaletteItemState(TPaletteItem* item, TPaletteItemState& state) override;
    bool ApplyPaletteItem(TPaletteItem* item, const QString& subCommand, bool checked) override;
    // "ClassProperty"="1" for a class property.
    void LoadFrom(TSchemeLoader* loader, TKnot* knot) override;
    void SaveTo(TSchemeSaver* saver, TKnot* knot) override;
    void Create() override;
    void BeforeDestruction() override;

protected:
    ~TCustomFullPropertyElement() override = default;

private:
    TCommandsContainerWithResult* m_read = nullptr;
    bool m_forInstance = true;
};

// A property with parameters ("Parameters", shown while filled or edited),
// whose sections see them.
class TElement_Property : public TCustomFullPropertyElement, public ICallParametersOwner {
    T_ELEMENT_CLASS(TElement_Property)
public:
    TParametersContainer* Parameters() const noexcept { return m_parameters; }

    TProgramClassification GetClassification() const override { return {TDeclarationKind::PropertyGetSet}; }
    // A call through the name passes values to the parameters.
    TNamespace* GetCallParameters(TNamespaceItem* item) override;
    void WriteTitle(TTitleWriter& writer) override;
    void GetChildName(TElement* child, TSchemeFiler* filer, QString& name) override;
    void GetChildHint(TElement* child, QString& text) override;
    void GetPaletteItems(QList<TPaletteItem*>& list) override;
    void UpdatePaletteItemState(TPaletteItem* item, TPaletteItemState& state) override;
    bool ApplyPaletteItem(TPaletteItem* item, const QString& subCommand, bool checked) override;
    void Create() override;
    void BeforeDestruction() override;

protected:
    ~TElement_Property() override = default;
    TNamespace* SectionsScope() override;

private:
    TParametersContainer* m_parameters = nullptr;
};

// The name of a property's backing field: private, suggested from the
// property's name after the "ObjectFieldsPrefix".
class TPropertyFieldNameField : public TIdentifierNameField {
    T_ELEMENT_CLASS(TPropertyFieldNameField)
public:
    QString GetAutoName() override;
    bool CanAutoName() override;
    int GetVisibility() override;
    int GetThemeKind() const override;
    // The owner hears of every change (the field's members follow the name).
    void TextChanged() override;
    void Create() override;

protected:
    ~TPropertyFieldNameField() override = default;
};

// The name field of a property: the owner hears of every change (the members
// of the type are seen under the name).
class TPropertyNameField : public TIdentifierNameField {
    T_ELEMENT_CLASS(TPropertyNameField)
public:
    void TextChanged() override;

protected:
    ~TPropertyNameField() override = default;
};

// The name field of a property with a field: when the user finishes editing
// the name, the field name follows it unless the user named the field.
class TPropertyWithFieldNameField : public TPropertyNameField {
    T_ELEMENT_CLASS(TPropertyWithFieldNameField)
public:
    void TextChanged() override;
    void FinishEditing() override;

protected:
    ~TPropertyWithFieldNameField() override = default;

private:
    QString m_lastName;
    QString m_nameBeforeEdit;
};

// A property backed by a field ("FieldName"), whose type's members are also
// seen privately under the field's name ("FieldMembersByTypeConnection").
class TCustomPropertyWithField : public TCustomPropertyElement {
    T_ELEMENT_CLASS(TCustomPropertyWithField)
public:
    TPropertyFieldNameField* FieldName() const noexcept { return m_fieldName; }
    TMembersByTypeConnection* FieldMembersConnection() const noexcept { return m_fieldMembers; }
    // "ObjectFieldsPrefix" and name; empty for an empty name.
    static QString FieldNameFor(const QString& name);
    // The user finished editing the name that read oldName: the field name is
    // filled in again when it is empty or still the suggestion for oldName.
    void NameEdited(const QString& oldName);

    const TElementClass* GetNameFieldClass() override;
    TValueNameRole GetValueNameRole(TNamespaceItem* item) override;
    bool IsAssignableThrough(TNamespaceItem* item) override;
    void TypeChanged() override;
    void NameFieldChanged() override;
    void TreePlacementChanged() override;
    // The field is named after a named new property.
    void InitNew(TPaletteItem* item) override;
    void GetChildName(TElement* child, TSchemeFiler* filer, QString& name) override;
    void GetChildHint(TElement* child, QString& text) override;
    void Create() override;
    void BeforeDestruction() override;

protected:
    ~TCustomPropertyWithField() override = default;

private:
    TPropertyFieldNameField* m_fieldName = nullptr;
    TMembersByTypeConnection* m_fieldMembers = nullptr;
};

class TElement_PropertyWithField : public TCustomPropertyWithField {
    T_ELEMENT_CLASS(TElement_PropertyWithField)
public:
    TProgramClassification GetClassification() const override { return {TDeclarationKind::PropertyWithField}; }
    // The type reads "int"; with a field name the setter assigns "AValue" to
    // the field when it differs.
    void InitNew(TPaletteItem* item) override;
    void WriteTitle(TTitleWriter& writer) override;
    void Create() override;

protected:
    ~TElement_PropertyWithField() override = default;
};

// Suggests the type's name without the "TypesPrefix".
class TPropertyWithSubObjectNameField : public TPropertyWithFieldNameField {
    T_ELEMENT_CLASS(TPropertyWithSubObjectNameField)
public:
    QString GetAutoName() override;
    bool CanAutoName() override;
    void Create() override;

protected:
    ~TPropertyWithSubObjectNameField() override = default;
};

// A property backed by a sub-object of an object type that is not Abstract:
// no setter, commands run after the sub-object is made ("ContentInit"),
// optionally made on first use ("Lazy"). Its members never offer "Free".
class TElement_PropertyWithSubObject : public TCustomPropertyWithField {
    T_ELEMENT_CLASS(TElement_PropertyWithSubObject)
public:
    TCommandsContainer* InitSection() const noexcept { return m_init; }
    bool Lazy() const noexcept { return m_lazy; }
    void SetLazy(bool value);

    TProgramClassification GetClassification() const override { return {TDeclarationKind::PropertyWithSubObject}; }
    const TElementClass* GetNameFieldClass() override;
    const TElementClass* GetMembersConnectionClass() override;
    // The type names an object that is not Abstract.
    bool HandleChildMessage(TElement* child, int msg, intptr_t p1, intptr_t p2) override;
    void FocusFirst() override;
    void WriteTitle(TTitleWriter& writer) override;
    void GetChildName(TElement* child, TSchemeFiler* filer, QString& name) override;
    void GetPaletteItems(QList<TPaletteItem*>& list) override;
    void UpdatePaletteItemState(TPaletteItem* item, TPaletteItemState& state) override;
    bool ApplyPaletteItem(TPaletteItem* item, const QString& subCommand, bool checked) override;
    // "Lazy"="1" when set.
    void LoadFrom(TSchemeLoader* loader, TKnot* knot) override;
    void SaveTo(TSchemeSaver* saver, TKnot* knot) override;
    void Create() override;
    void BeforeDestruction() override;

protected:
    ~TElement_PropertyWithSubObject() override = default;
    TCommandsContainer* CreateWriteSection() override { return nullptr; }

private:
    TCommandsContainer* m_init = nullptr;
    bool m_lazy = false;
};

// Items by index ("AIndex" in the getter and setter) and a count under a
// name of its own ("CountName") with its getter and setter. By its name it is
// reached only with an index; it shows no members of its type.
class TElement_PropertyArray : public TCustomFullPropertyElement, public ICallParametersOwner {
    T_ELEMENT_CLASS(TElement_PropertyArray)
public:
    TIdentifierNameField* CountName() const noexcept { return m_countName; }
    TCommandsContainerWithResult* ReadCountSection() const noexcept { return m_readCount; }
    TCommandsContainer* WriteCountSection() const noexcept { return m_writeCount; }
    TFieldElementParameterIndex* ReadIndex() const noexcept { return m_readIndex; }
    TFieldElementParameterIndex* WriteIndex() const noexcept { return m_writeIndex; }
    TFieldElementParameterValue* WriteCountValue() const noexcept { return m_writeCountValue; }
    // Whether the count can be set: its setter section holds commands.
    bool HasCountSetter() const;

    TProgramClassification GetClassification() const override { return {TDeclarationKind::ArrayProperty}; }
    // By the main name: the getter's "AIndex"; by the count name: none.
    TNamespace* GetCallParameters(TNamespaceItem* item) override;
    TValueNameRole GetValueNameRole(TNamespaceItem* item) override;
    bool IsAssignableThrough(TNamespaceItem* item) override;
    // The count name yields "int".
    bool GetDeclaredValueType(TNamespaceItem* item, TTypeDescriptor& descriptor) override;
    // "Items", numbered with the number last.
    void GetDefaultName(QString& stem, bool& numberFirst) override;
    // Also: the count named "Count" made unique (number last), the count getter returns.
    void InitNew(TPaletteItem* item) override;
    void WriteTitle(TTitleWriter& writer) override;
    void GetChildName(TElement* child, TSchemeFiler* filer, QString& name) override;
    void GetChildHint(TElement* child, QString& text) override;
    void GetPaletteItems(QList<TPaletteItem*>& list) override;
    void UpdatePaletteItemState(TPaletteItem* item, TPaletteItemState& state) override;
    bool ApplyPaletteItem(TPaletteItem* item, const QString& subCommand, bool checked) override;
    void Create() override;
    void BeforeDestruction() override;

protected:
    ~TElement_PropertyArray() override = default;
    bool ShowsTypeMembers() const override { return false; }
    void SectionFilledChanged(TCommandsContainer* section) override;

private:
    TIdentifierNameField* m_countName = nullptr;
    TCommandsContainerWithResult* m_readCount = nullptr;
    TCommandsContainer* m_writeCount = nullptr;
    TFieldElementParameterIndex* m_readIndex = nullptr;
    TFieldElementParameterIndex* m_writeIndex = nullptr;
    TFieldElementParameterValue* m_writeCountValue = nullptr;
};

// Sets whether a full property is for an instance; undoing sets the former value.
class TPropertyForInstanceOperation : public TMethodOptionOperation {
    T_CLASS(TPropertyForInstanceOperation)
public:
    using TMethodOptionOperation::TMethodOptionOperation;

protected:
    int Get(TElement* element) const override;
    void Set(TElement* element, int value) const override;
};

// Sets Lazy of a property with sub-object; undoing sets the former value.
class TPropertyWithSubObjectLazyOperation : public TMethodOptionOperation {
    T_CLASS(TPropertyWithSubObjectLazyOperation)
public:
    using TMethodOptionOperation::TMethodOptionOperation;

protected:
    int Get(TElement* element) const override;
    void Set(TElement* element, int value) const override;
};

// The unit's palette items (valid between its initialisation and finalisation; nil outside).
TPaletteItem* PropertyPaletteItem(const TElementClass* cls) noexcept;
TSchemePaletteItem* AddSetterPaletteItem() noexcept;
TSchemePaletteItem* AddCountSetterPaletteItem() noexcept;
TSchemePaletteItem* AddParametersPaletteItem() noexcept;
TSchemePaletteItem* LazyPaletteItem() noexcept;

void InitPropertyElementsUnit();
void FinalPropertyElementsUnit();
