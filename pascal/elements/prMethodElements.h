#pragma once
// Routines: the method (a procedure or function with parameters, a result
// type and a body), the method type, the parameter and the list that holds a
// routine's parameters. Every option is switched by a palette command through
// an undoable operation of its own.

#include "pascal/elements/prCommandsContainer.h"
#include "pascal/elements/prFieldElements.h"
#include "scheme/diOperations.h"

#include <QString>

#include <cstdint>

class TNamespaceConnection;
class TPaletteItem;
class TSchemePaletteItem;

enum class TParameterKind : uint8_t { In = 0, InOut = 1, Out = 2 };
constexpr int kParameterKindCount = 3;

enum class TCallingConvention : uint8_t { Pascal = 0, Register, Cdecl, Stdcall, Safecall, Fastcall };
constexpr int kCallingConventionCount = 6;

class TParameterNameField : public TIdentifierNameField {
    T_ELEMENT_CLASS(TParameterNameField)
public:
    void Create() override;

protected:
    ~TParameterNameField() override = default;
};

class TCustomParameter : public TCustomFieldWithArrayTypeSupport {
    T_ELEMENT_CLASS(TCustomParameter)
public:
    TParameterKind Kind() const noexcept { return m_kind; }
    // Re-draws the name picture and the title; nothing when equal.
    void SetKind(TParameterKind kind);

    TProgramClassification GetClassification() const override { return {TDeclarationKind::Parameter}; }
    // Only an In-Out or Out parameter takes a value.
    bool IsAssignableThrough(TNamespaceItem* item) override { return m_kind != TParameterKind::In; }
    const TElementClass* GetNameFieldClass() override;
    TVisibilityMode GetVisibilityMode() override { return TVisibilityMode::Public; }
    // "Kind": "InOut" or "Out", read ignoring case; In is not written.
    void LoadFrom(TSchemeLoader* loader, TKnot* knot) override;
    void SaveTo(TSchemeSaver* saver, TKnot* knot) override;

protected:
    ~TCustomParameter() override = default;
    virtual void OptionChanged();

private:
    TParameterKind m_kind = TParameterKind::In;
};

class TCustomParameterWithValue : public TCustomParameter {
    T_ELEMENT_CLASS(TCustomParameterWithValue)
public:
    bool NotEmptyInValue() const noexcept { return m_notEmptyIn; }
    bool NotEmptyOutValue() const noexcept { return m_notEmptyOut; }
    void SetNotEmptyInValue(bool value);
    void SetNotEmptyOutValue(bool value);
    // The flags in effect: in for In and In-Out, out for In-Out and Out.
    bool GetNotEmptyInValue() const noexcept;
    bool GetNotEmptyOutValue() const noexcept;

    // "NotEmptyInValue" (or the older "NoEmptyValue") and "NotEmptyOutValue".
    void LoadFrom(TSchemeLoader* loader, TKnot* knot) override;
    void SaveTo(TSchemeSaver* saver, TKnot* knot) override;

protected:
    ~TCustomParameterWithValue() override = default;

private:
    bool m_notEmptyIn = false;
    bool m_notEmptyOut = false;
};

// A parameter, stored under the node name of a field.
class TElement_Parameter : public TCustomParameterWithValue {
    T_ELEMENT_CLASS(TElement_Parameter)
public:
    int NamePicture() const;
    void GetDefaultName(QString& stem, bool& numberFirst) override;
    void InitNew(TPaletteItem* item) override;
    void WriteTitle(TTitleWriter& writer) override;
    void GetChildHint(TElement* child, QString& text) override;
    void GetPaletteItems(QList<TPaletteItem*>& list) override;
    void UpdatePaletteItemState(TPaletteItem* item, TPaletteItemState& state) override;
    bool ApplyPaletteItem(TPaletteItem* item, const QString& subCommand, bool checked) override;
    void Create() override;

protected:
    ~TElement_Parameter() override = default;
    void OptionChanged() override;
};

// The parameters of a routine: one per line; their names register in its
// namespace, which sees the scope around the routine.
class TParametersContainer : public TTextorElement, public INamespaceOwner {
    T_ELEMENT_CLASS(TParametersContainer)
public:
    TNamespace* Namespace() const noexcept { return m_namespace; }
    TNamespaceConnection* Connection() const noexcept { return m_connection; }
    QList<TElement_Parameter*> Parameters() const;
    // Whether a title shows the list: it holds parameters or is edited.
    bool IsShown() const;
    // A new parameter at the end, as one edit; the owner's title is laid out again.
    void AddParameter(TPaletteItem* item);

    TNamespace* GetNamespace() override { return m_namespace; }
    void FillAcceptedClasses(TElementClassList& list) override;
    void GetChildName(TElement* child, TSchemeFiler* filer, QString& name) override;
    void TreePlacementChanged() override;
    void Create() override;
    void BeforeDestruction() override;

protected:
    ~TParametersContainer() override = default;

private:
    TNamespace* m_namespace = nullptr;
    TNamespaceConnection* m_connection = nullptr;
};

class TCustomMethod : public TNamedElementWithCommandContentWithResult {
    T_ELEMENT_CLASS(TCustomMethod)
public:
    TParametersContainer* Parameters() const noexcept { return m_parameters; }
    TCommandsContainerWithResult* Body() const;

    // The body sees the parameters.
    void TreePlacementChanged() override;
    // "Parameter" adds a parameter at the end of the list.
    void GetPaletteItems(QList<TPaletteItem*>& list) override;
    bool ApplyPaletteItem(TPaletteItem* item, const QString& subCommand, bool checked) override;
    void GetChildName(TElement* child, TSchemeFiler* filer, QString& name) override;
    void GetChildHint(TElement* child, QString& text) override;
    void Create() override;
    void BeforeDestruction() override;

protected:
    ~TCustomMethod() override = default;
    // Name, "(" parameters ")" when there are any.
    void WriteNameAndParameters(TTitleWriter& writer);

private:
    TParametersContainer* m_parameters = nullptr;
};

// The result type: the method hears also of its text becoming empty or filled.
class TMethodResultTypeField : public TWatchedTypeField {
    T_ELEMENT_CLASS(TMethodResultTypeField)
public:
    void TextChanged() override;
    void AfterLoad(TSchemeLoader* loader, intptr_t datum) override;

protected:
    ~TMethodResultTypeField() override = default;
};

class TElement_Method : public TCustomMethod,
                        public IValueDeclaration,
                        public ITypeFieldOwner,
                        public IMethodOptions {
    T_ELEMENT_CLASS(TElement_Method)
public:
    TMethodResultTypeField* ResultType() const noexcept { return m_resultType; }

    bool DescendantsCall() const noexcept { return m_descendantsCall; }
    bool DescendantsOverride() const noexcept { return m_descendantsOverride; }
    bool ForInstance() const noexcept { return m_forInstance; }
    TCallingConvention CallingConvention() const noexcept { return m_convention; }
    bool NotEmptyOutValue() const noexcept { return m_notEmptyOut; }
    void SetDescendantsCall(bool value);
    void SetDescendantsOverride(bool value);
    void SetForInstance(bool value);
    void SetCallingConvention(TCallingConvention value);
    void SetNotEmptyOutValue(bool value);

    // The options in effect. Call and Override need a private method and an
    // owner that allows descendants' options; a method without instance needs
    // an owner that allows class methods. The stored flags stay as they are.
    bool GetDescendantsCall() override;
    bool GetDescendantsOverride() override;
    bool GetForInstance() override;
    bool GetNotEmptyOutValue() const;
    int NamePicture();

    // "Result" follows the result type: registered with its item (the
    // standard "variant" while unresolved), unregistered while it is empty.
    void ResultTypeChanged();

    TProgramClassification GetClassification() const override { return {TDeclarationKind::Method}; }
    bool GetDeclaredValueType(TNamespaceItem* item, TTypeDescriptor& descriptor) override;
    void TypeFieldChanged(TWatchedTypeField* field) override;
    TVisibilityMode GetVisibilityMode() override;
    void DeclaredVisibilityChanged() override;
    void WriteTitle(TTitleWriter& writer) override;
    void GetChildName(TElement* child, TSchemeFiler* filer, QString& name) override;
    void GetChildHint(TElement* child, QString& text) override;
    void GetPaletteItems(QList<TPaletteItem*>& list) override;
    void UpdatePaletteItemState(TPaletteItem* item, TPaletteItemState& state) override;
    bool ApplyPaletteItem(TPaletteItem* item, const QString& subCommand, bool checked) override;
    void LoadFrom(TSchemeLoader* loader, TKnot* knot) override;
    void SaveTo(TSchemeSaver* saver, TKnot* knot) override;
    void TreePlacementChanged() override;
    void Create() override;
    void BeforeDestruction() override;

protected:
    ~TElement_Method() override = default;

private:
    void FlagsChanged(bool picture);

    TMethodResultTypeField* m_resultType = nullptr;
    bool m_descendantsCall = false;
    bool m_descendantsOverride = false;
    bool m_forInstance = true;
    TCallingConvention m_convention = TCallingConvention::Pascal;
    bool m_notEmptyOut = false;
};

class TElement_MethodType : public TprNamedElement, public ITypeElement {
    T_ELEMENT_CLASS(TElement_MethodType)
public:
    TParametersContainer* Parameters() const noexcept { return m_parameters; }
    TTypeReferenceField* ResultType() const noexcept { return m_resultType; }
    bool InClass() const noexcept { return m_inClass; }
    void SetInClass(bool value);

    TProgramClassification GetClassification() const override { return {TDeclarationKind::MethodType}; }
    TVisibilityMode GetVisibilityMode() override;
    void GetDefaultName(QString& stem, bool& numberFirst) override;
    // A new method type is of an object.
    void InitNew(TPaletteItem* item) override;
    void TreePlacementChanged() override;
    // The result type and every parameter's type (cyclic definitions).
    void GetItemReferences(TNameField* field, std::vector<TReference*>& list) override;
    void WriteTitle(TTitleWriter& writer) override;
    void GetChildName(TElement* child, TSchemeFiler* filer, QString& name) override;
    void GetChildHint(TElement* child, QString& text) override;
    // "Parameter" adds a parameter at the end of the list.
    void GetPaletteItems(QList<TPaletteItem*>& list) override;
    void UpdatePaletteItemState(TPaletteItem* item, TPaletteItemState& state) override;
    bool ApplyPaletteItem(TPaletteItem* item, const QString& subCommand, bool checked) override;
    // "InClass": missing reads as "in module".
    void LoadFrom(TSchemeLoader* loader, TKnot* knot) override;
    void SaveTo(TSchemeSaver* saver, TKnot* knot) override;
    void Create() override;
    void BeforeDestruction() override;

protected:
    ~TElement_MethodType() override = default;

private:
    TParametersContainer* m_parameters = nullptr;
    TTypeReferenceField* m_resultType = nullptr;
    bool m_inClass = true;
};


// ---------------------------------------------------------------------------
// Undo operations: each keeps the new value and, once done, the old one.

// The base: an option read and set through the element's getter and setter.
class TMethodOptionOperation : public TElementOperation {
    T_CLASS(TMethodOptionOperation)
public:
    TMethodOptionOperation(TElement* element, int value);

protected:
    virtual int Get(TElement* element) const = 0;
    virtual void Set(TElement* element, int value) const = 0;
    void DoOnElement(TElement* element) override;
    void UndoOnElement(TElement* element) override;

private:
    int m_newValue;
    int m_oldValue = 0;
};

#define QUILLANE_METHOD_OPTION_OPERATION(Name)                  \
    class Name : public TMethodOptionOperation {                \
        T_CLASS(Name)                                           \
    public:                                                     \
        using TMethodOptionOperation::TMethodOptionOperation;   \
                                                                \
    protected:                                                  \
        int Get(TElement* element) const override;              \
        void Set(TElement* element, int value) const override;  \
    };

QUILLANE_METHOD_OPTION_OPERATION(TParameterKindOperation)
// Both not-empty flags of a parameter: bit 0 in, bit 1 out.
QUILLANE_METHOD_OPTION_OPERATION(TParameterNotEmptyValueOperation)
// Both descendants' flags: bit 0 Call, bit 1 Override.
QUILLANE_METHOD_OPTION_OPERATION(TMethodDescendantsOperation)
QUILLANE_METHOD_OPTION_OPERATION(TMethodForInstanceOperation)
QUILLANE_METHOD_OPTION_OPERATION(TMethodCallingConventionOperation)
QUILLANE_METHOD_OPTION_OPERATION(TMethodNotEmptyOutValueOperation)
QUILLANE_METHOD_OPTION_OPERATION(TMethodTypeOperation)
#undef QUILLANE_METHOD_OPTION_OPERATION

// ---------------------------------------------------------------------------
// The unit

TPaletteItem* MethodPaletteItem() noexcept;
TPaletteItem* ParameterPaletteItem() noexcept;
TPaletteItem* MethodTypePaletteItem() noexcept;
TSchemePaletteItem* ParameterKindPaletteItem(TParameterKind kind) noexcept;
TSchemePaletteItem* NotEmptyInValuePaletteItem() noexcept;
TSchemePaletteItem* NotEmptyOutValuePaletteItem() noexcept;
TSchemePaletteItem* CallPaletteItem() noexcept;
TSchemePaletteItem* OverridePaletteItem() noexcept;
TSchemePaletteItem* CallingConventionPaletteItem(TCallingConvention convention) noexcept;
TSchemePaletteItem* ImplementationPlacePaletteItem(bool inClass) noexcept;
TSchemePaletteItem* MethodNotEmptyOutValuePaletteItem() noexcept;
// The first picture of the unit's 12x12 strip; NoImageIndex outside.
int MethodCharImageBase() noexcept;

void InitMethodElementsUnit();
void FinalMethodElementsUnit();
