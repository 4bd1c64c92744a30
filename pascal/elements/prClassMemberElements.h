#pragma once
// The members that only make sense in an object or beside it: the
// sub-object, the event and the notification, the double method and the
// locker, the handler of another object's event, the override of an
// inherited method and the constructor.

#include "pascal/elements/prClassElements.h"
#include "pascal/elements/prMethodElements.h"

#include <QString>

class TNamespaceConnection;
class TPaletteItem;

// Shows only the target's own items (the parameters of an event, a method
// type or an overridden method), no covers.
class TConnectionToParameters : public TNamespaceConnection {
    T_ELEMENT_CLASS(TConnectionToParameters)
public:
    bool AcceptsItem(TNamespaceItem* item) override;
    bool SeesThrough(const TNamespaceConnection*) override { return false; }

protected:
    ~TConnectionToParameters() override = default;
};

// A sub-object's members: never "Free" (its owner frees it).
class TSubObjectMembersByTypeConnection : public TMembersByTypeConnection {
    T_ELEMENT_CLASS(TSubObjectMembersByTypeConnection)
public:
    bool AcceptsItem(TNamespaceItem* item) override;

protected:
    ~TSubObjectMembersByTypeConnection() override = default;
};

// Suggests the type's name without the types prefix after the field prefix.
// (the field's rule: its container's field prefix and the type's name).
class TSubObjectNameField : public TFieldNameField {
    T_ELEMENT_CLASS(TSubObjectNameField)
protected:
    ~TSubObjectNameField() override = default;
};

// A field holding an object that its owner creates and frees.
class TElement_SubObject : public TCustomField {
    T_ELEMENT_CLASS(TElement_SubObject)
public:
    TProgramClassification GetClassification() const override { return {TDeclarationKind::SubObject}; }
    const TElementClass* GetNameFieldClass() override;
    const TElementClass* GetMembersConnectionClass() override;
    TVisibilityMode GetVisibilityMode() override;
    void GetDefaultName(QString& stem, bool& numberFirst) override;
    // The type names an object that is not Abstract.
    bool HandleNodeMessage(int msg, intptr_t p1, intptr_t p2) override;
    void FocusFirst() override;
    void WriteTitle(TTitleWriter& writer) override;
    void GetChildHint(TElement* child, QString& text) override;
    void Create() override;

protected:
    ~TElement_SubObject() override = default;
};

// An event or a notification.
class TCustomEventElement : public TprNamedElement {
    T_ELEMENT_CLASS(TCustomEventElement)
public:
    // The name without a leading "On" (those two letters, case-sensitive).
    QString GetShortName() const;
    // "Do" and the short name: the method that fires the event.
    QString GetDoMethodName() const;
    TVisibilityMode GetVisibilityMode() override { return TVisibilityMode::FixedPublic; }
    void GetDefaultName(QString& stem, bool& numberFirst) override;

protected:
    ~TCustomEventElement() override = default;
};

class TElement_Event : public TCustomEventElement {
    T_ELEMENT_CLASS(TElement_Event)
public:
    TParametersContainer* Parameters() const noexcept { return m_parameters; }
    TProgramClassification GetClassification() const override { return {TDeclarationKind::Event}; }
    void WriteTitle(TTitleWriter& writer) override;
    void GetChildName(TElement* child, TSchemeFiler* filer, QString& name) override;
    void GetChildHint(TElement* child, QString& text) override;
    // "Parameter" adds a parameter at the end of the list.
    void GetPaletteItems(QList<TPaletteItem*>& list) override;
    bool ApplyPaletteItem(TPaletteItem* item, const QString& subCommand, bool checked) override;
    void Create() override;
    void BeforeDestruction() override;

protected:
    ~TElement_Event() override = default;

private:
    TParametersContainer* m_parameters = nullptr;
};

// Accepts only lockers.
class TLockerReferenceField : public TReferenceField {
    T_ELEMENT_CLASS(TLockerReferenceField)
public:
    bool CanReferTo(TNamespaceItem* item) override;

protected:
    ~TLockerReferenceField() override = default;
};

class TElement_Notification : public TCustomEventElement {
    T_ELEMENT_CLASS(TElement_Notification)
public:
    TLockerReferenceField* Locker() const noexcept { return m_locker; }
    TProgramClassification GetClassification() const override { return {TDeclarationKind::Notification}; }
    void WriteTitle(TTitleWriter& writer) override;
    void GetChildName(TElement* child, TSchemeFiler* filer, QString& name) override;
    void GetChildHint(TElement* child, QString& text) override;
    void Create() override;
    void BeforeDestruction() override;

protected:
    ~TElement_Notification() override = default;

private:
    TLockerReferenceField* m_locker = nullptr;
};

// Commands on enter and on exit (a locker also on the first enter and the
// last exit); every section sees the enclosing scope.
class TCustomDoubleMethodElement : public TprNamedElement {
    T_ELEMENT_CLASS(TCustomDoubleMethodElement)
public:
    TCommandsContainer* ContentEnter() const noexcept { return m_enter; }
    TCommandsContainer* ContentExit() const noexcept { return m_exit; }
    virtual QString GetEnterMethodName() const;
    virtual QString GetExitMethodName() const;
    void GetDefaultName(QString& stem, bool& numberFirst) override;
    void TreePlacementChanged() override;
    void WriteTitle(TTitleWriter& writer) override;
    void GetChildName(TElement* child, TSchemeFiler* filer, QString& name) override;
    void Create() override;
    void BeforeDestruction() override;

protected:
    ~TCustomDoubleMethodElement() override = default;
    // The sections in title order, each after its caption.
    virtual void WriteSections(TTitleWriter& writer);
    void WriteSection(TTitleWriter& writer, int caption, TCommandsContainer* section);
    // A new section before before (nil: at the end).
    TCommandsContainer* AddSection(TElement* before = nullptr);
    virtual bool InitiallyExpanded() const { return true; }

private:
    TCommandsContainer* m_enter = nullptr;
    TCommandsContainer* m_exit = nullptr;
};

class TElement_DoubleMethod : public TCustomDoubleMethodElement {
    T_ELEMENT_CLASS(TElement_DoubleMethod)
public:
    TProgramClassification GetClassification() const override { return {TDeclarationKind::DoubleMethod}; }

protected:
    ~TElement_DoubleMethod() override = default;
};

class TElement_Locker : public TCustomDoubleMethodElement {
    T_ELEMENT_CLASS(TElement_Locker)
public:
    TCommandsContainer* ContentFirstEnter() const noexcept { return m_firstEnter; }
    TCommandsContainer* ContentLastExit() const noexcept { return m_lastExit; }
    QString GetEnterMethodName() const override;
    QString GetExitMethodName() const override;
    // "ObjectFieldsPrefix", the name and "Count".
    QString GetCounterFieldName() const;
    TProgramClassification GetClassification() const override { return {TDeclarationKind::Locker}; }
    TVisibilityMode GetVisibilityMode() override { return TVisibilityMode::FixedPublic; }
    void GetDefaultName(QString& stem, bool& numberFirst) override;
    void TreePlacementChanged() override;
    void GetChildName(TElement* child, TSchemeFiler* filer, QString& name) override;
    void Create() override;
    void BeforeDestruction() override;

protected:
    ~TElement_Locker() override = default;
    void WriteSections(TTitleWriter& writer) override;
    bool InitiallyExpanded() const override { return false; }

private:
    TCommandsContainer* m_firstEnter = nullptr;
    TCommandsContainer* m_lastExit = nullptr;
};

// A method type of an object, or an event or notification of another
// object named by its name, a point and the event's name.
class THandlerReferenceField : public TReferenceField {
    T_ELEMENT_CLASS(THandlerReferenceField)
public:
    bool CanReferTo(TNamespaceItem* item) override;
    void TextChanged() override;
    void NamespaceNotify(int code, TNamespaceItem* item, intptr_t argument) override;
    void AfterLoad(TSchemeLoader* loader, intptr_t datum) override;
    void UndoDependent(TKnot* snapshot) override;

protected:
    ~THandlerReferenceField() override = default;
};

// Suggests the event field's text without the types prefix and the first ".On".
// Offers "Autoname", so that its suggestion can be taken.
class THandlerNameField : public TIdentifierNameField {
    T_ELEMENT_CLASS(THandlerNameField)
public:
    QString GetAutoName() override;
    bool CanAutoName() override;
    void Create() override;

protected:
    ~THandlerNameField() override = default;
};

class TElement_Handler : public TNamedElementWithCommandContentWithResult {
    T_ELEMENT_CLASS(TElement_Handler)
public:
    THandlerReferenceField* Event() const noexcept { return m_event; }
    TConnectionToParameters* ConnectionToParameters() const noexcept { return m_parameters; }
    TCommandsContainerWithResult* Body() const;
    // The parameters of the named event or method type are seen in the body.
    void EventChanged();
    TProgramClassification GetClassification() const override { return {TDeclarationKind::Handler}; }
    const TElementClass* GetNameFieldClass() override;
    TVisibilityMode GetVisibilityMode() override { return TVisibilityMode::FixedPrivate; }
    void FocusFirst() override;
    void TreePlacementChanged() override;
    void WriteTitle(TTitleWriter& writer) override;
    void GetChildName(TElement* child, TSchemeFiler* filer, QString& name) override;
    void GetChildHint(TElement* child, QString& text) override;
    void Create() override;
    void BeforeDestruction() override;

protected:
    ~TElement_Handler() override = default;

private:
    THandlerReferenceField* m_event = nullptr;
    TConnectionToParameters* m_parameters = nullptr;
};

// A method of an ancestor whose Override option is in effect; framed as a
// private name.
class TOverrideReferenceField : public TReferenceField {
    T_ELEMENT_CLASS(TOverrideReferenceField)
public:
    bool CanReferTo(TNamespaceItem* item) override;
    int GetThemeKind() const override;
    void TextChanged() override;
    void NamespaceNotify(int code, TNamespaceItem* item, intptr_t argument) override;
    void AfterLoad(TSchemeLoader* loader, intptr_t datum) override;
    void UndoDependent(TKnot* snapshot) override;

protected:
    ~TOverrideReferenceField() override = default;
};

// "Inherited" in an override's body: the overridden method of the parent,
// whose value it yields.
class TOverrideInheritedElement : public TNameElement, public IProgramElement, public IValueDeclaration {
    T_ELEMENT_CLASS(TOverrideInheritedElement)
public:
    TProgramClassification GetClassification() const override { return {TDeclarationKind::OverrideInherited}; }
    // The overridden method's result type; "variant" while no method is named.
    bool GetDeclaredValueType(TNamespaceItem* item, TTypeDescriptor& descriptor) override;
    QString GetName() override;
    int GetImageIndex() override;
    QString GetDescription() override;
    int GetItemFlags() override { return 1; }

protected:
    ~TOverrideInheritedElement() override = default;
};

class TElement_Override : public TTitledElementWithCommandContentWithResult, public IProgramElement {
    T_ELEMENT_CLASS(TElement_Override)
public:
    TOverrideReferenceField* Method() const noexcept { return m_method; }
    TConnectionToParameters* ConnectionToParameters() const noexcept { return m_parameters; }
    TOverrideInheritedElement* Inherited() const noexcept { return m_inherited; }
    TCommandsContainerWithResult* Body() const;
    // The method the override names; nil while unresolved.
    TElement_Method* OverriddenMethod() const;
    // The overridden method's parameters and result type.
    void MethodChanged();
    TProgramClassification GetClassification() const override { return {}; }
    void FocusFirst() override;
    void TreePlacementChanged() override;
    void WriteTitle(TTitleWriter& writer) override;
    void GetChildName(TElement* child, TSchemeFiler* filer, QString& name) override;
    void GetChildHint(TElement* child, QString& text) override;
    // A new override calls the parent's method: its body starts with an
    // Identifier statement naming "Inherited".
    void InitNew(TPaletteItem* item) override;
    void Create() override;
    void BeforeDestruction() override;

protected:
    ~TElement_Override() override = default;

private:
    TOverrideReferenceField* m_method = nullptr;
    TConnectionToParameters* m_parameters = nullptr;
    TOverrideInheritedElement* m_inherited = nullptr;
};

class TElement_Constructor : public TCustomMethod {
    T_ELEMENT_CLASS(TElement_Constructor)
public:
    TProgramClassification GetClassification() const override { return {TDeclarationKind::Constructor}; }
    TVisibilityMode GetVisibilityMode() override { return TVisibilityMode::FixedPublic; }
    void GetDefaultName(QString& stem, bool& numberFirst) override;
    void WriteTitle(TTitleWriter& writer) override;
    void Create() override;

protected:
    ~TElement_Constructor() override = default;
};

// The member palette items (valid between the class unit's initialisation
// and finalisation; nil outside).
TPaletteItem* ClassMemberPaletteItem(const TElementClass* cls) noexcept;

void InitClassMemberElementsUnit();
void FinalClassMemberElementsUnit();
