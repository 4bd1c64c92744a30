#include "pascal/elements/prMethodElements.h"

#include "core/cuKnot.h"
#include "core/cuLocalization.h"
#include "core/cuStringIds.h"
#include "elements/coRoot.h"
#include "pascal/elements/prClassElements.h"
#include "pascal/elements/prCustomFieldElements.h"
#include "scheme/diNaming.h"
#include "scheme/diPalette.h"
#include "scheme/diUtils.h"

#include <array>
#include <memory>

T_ELEMENT_CLASS_IMPL(TParameterNameField, TIdentifierNameField)
T_ELEMENT_CLASS_IMPL_ABSTRACT(TCustomParameter, TCustomFieldWithArrayTypeSupport)
T_ELEMENT_CLASS_IMPL_ABSTRACT(TCustomParameterWithValue, TCustomParameter)
T_ELEMENT_CLASS_IMPL_STORED_AS(TElement_Parameter, TCustomParameterWithValue, "Field")
T_ELEMENT_CLASS_IMPL(TParametersContainer, TTextorElement)
T_ELEMENT_CLASS_IMPL_ABSTRACT(TCustomMethod, TNamedElementWithCommandContentWithResult)
T_ELEMENT_CLASS_IMPL(TMethodResultTypeField, TWatchedTypeField)
T_ELEMENT_CLASS_IMPL(TElement_Method, TCustomMethod)
T_ELEMENT_CLASS_IMPL(TElement_MethodType, TprNamedElement)
T_CLASS_IMPL_ABSTRACT(TMethodOptionOperation, TElementOperation)
T_CLASS_IMPL_ABSTRACT(TParameterKindOperation, TMethodOptionOperation)
T_CLASS_IMPL_ABSTRACT(TParameterNotEmptyValueOperation, TMethodOptionOperation)
T_CLASS_IMPL_ABSTRACT(TMethodDescendantsOperation, TMethodOptionOperation)
T_CLASS_IMPL_ABSTRACT(TMethodForInstanceOperation, TMethodOptionOperation)
T_CLASS_IMPL_ABSTRACT(TMethodCallingConventionOperation, TMethodOptionOperation)
T_CLASS_IMPL_ABSTRACT(TMethodNotEmptyOutValueOperation, TMethodOptionOperation)
T_CLASS_IMPL_ABSTRACT(TMethodTypeOperation, TMethodOptionOperation)

namespace {

const QString kMethodParametersChild = QStringLiteral("Parameters");
const QString kMethodResultTypeChild = QStringLiteral("ResultType");
const QString kNamespaceChildName = QStringLiteral("Namespace");
const QString kConnectionChildName = QStringLiteral("Connection");
const QString kParameterKindAttribute = QStringLiteral("Kind");
const QString kNotEmptyInAttribute = QStringLiteral("NotEmptyInValue");
const QString kOlderNotEmptyAttribute = QStringLiteral("NoEmptyValue");
const QString kNotEmptyOutAttribute = QStringLiteral("NotEmptyOutValue");
const QString kDescendantsCallAttribute = QStringLiteral("DescendantsCall");
const QString kDescendantsOverrideAttribute = QStringLiteral("DescendantsOverride");
const QString kClassMethodAttribute = QStringLiteral("ClassMethod");
const QString kConventionAttribute = QStringLiteral("CallingConvention");
const QString kInClassAttribute = QStringLiteral("InClass");

const char* const kParameterKindNames[kParameterKindCount] = {"", "InOut", "Out"};
const char* const kConventionNames[kCallingConventionCount] = {"", "Register", "Cdecl", "Stdcall", "Safecall",
                                                               "Fastcall"};

// The parameter list: elements, one per line.
constexpr uint32_t kParametersTextorOptions = 0x20801;
constexpr uint32_t kParametersRestrictions = trLineFeeds;
// The type field of a parameter.
constexpr uint32_t kParameterTypeTextorOptions = toEmptyWidth;
constexpr uint16_t kOptionFlags = pifLargeImage | pifChangesElement | pifToggle;
constexpr uint16_t kChoiceFlags = pifLargeImage | pifChangesElement | pifRadio;

// Pictures of the 12x12 strip (B), the small (S) and the large (L) one.
enum : int {
    kCharPublicMethod = 0,
    kCharParameter = 1,  // + kind
    kCharPrivateOverride = 4,
    kCharPrivateCall = 5,
    kCharPrivateBoth = 6,
    kCharPrivateNeither = 7,
    kCharMethodType = 8,
    kSmallMethodType = 0,
    kSmallMethod = 1,
    kSmallNotEmptyIn = 2,
    kSmallNotEmptyOut = 3,
    kLargeMethod = 0,
    kLargeParameter = 1,  // the kinds: L + 1 + kind
    kLargeNotEmpty = 4,
};

struct TMethodUnit {
    TImageStrip charImages;
    TImageStrip smallImages;
    TImageStrip largeImages;
    TPaletteItem* method = nullptr;
    TPaletteItem* parameter = nullptr;
    TPaletteItem* methodType = nullptr;
    std::array<TSchemePaletteItem*, kParameterKindCount> kinds{};
    TSchemePaletteItem* notEmptyIn = nullptr;
    TSchemePaletteItem* notEmptyOut = nullptr;
    TSchemePaletteItem* call = nullptr;
    TSchemePaletteItem* override_ = nullptr;
    std::array<TSchemePaletteItem*, kCallingConventionCount> conventions{};
    std::array<TSchemePaletteItem*, 2> places{};
    TSchemePaletteItem* methodNotEmptyOut = nullptr;
};
std::unique_ptr<TMethodUnit> g_methodUnit;

int MethodChar(int picture) { return g_methodUnit ? g_methodUnit->charImages.Picture(picture) : NoImageIndex; }
int MethodSmall(int picture) { return g_methodUnit ? g_methodUnit->smallImages.Picture(picture) : NoImageIndex; }

template <size_t N>
int IndexOfItem(const std::array<TSchemePaletteItem*, N>& items, const TPaletteItem* item) {
    for (size_t i = 0; i < N; ++i)
        if (items[i] && items[i] == item) return int(i);
    return -1;
}

// The index of name among names, ignoring case; 0 when none.
template <size_t N>
int IndexOfName(const char* const (&names)[N], QStringView name) {
    for (size_t i = 1; i < N; ++i)
        if (name.compare(QLatin1String(names[i]), Qt::CaseInsensitive) == 0) return int(i);
    return 0;
}

bool InsideCommands(TElement* element) {
    return ScopeKindOf(GetDeclarationContainer(element)) == TScopeKind::CommandsContainer;
}

void RunOption(TNodePtr<TSchemeOperation> op) { TSchemeOperation::Execute(std::move(op)); }

}  // namespace

// ---------------------------------------------------------------------------
// Parameters

void TParameterNameField::Create() {
    TIdentifierNameField::Create();
    SetNameOptions(NameOptions() | noAutoname);
}

const TElementClass* TCustomParameter::GetNameFieldClass() { return TParameterNameField::StaticClass(); }

void TCustomParameter::SetKind(TParameterKind kind) {
    if (kind == m_kind) return;
    m_kind = kind;
    OptionChanged();
}

void TCustomParameter::OptionChanged() {
    UpdateTitleLayout();
    NotifyEditStateChanged();
    if (NameField() && NameField()->Item()) NameField()->Item()->NotifyChanged();
}

void TCustomParameter::SaveTo(TSchemeSaver* saver, TKnot* knot) {
    TCustomFieldWithArrayTypeSupport::SaveTo(saver, knot);
    if (m_kind != TParameterKind::In)
        knot->WriteStr(kParameterKindAttribute, QLatin1String(kParameterKindNames[int(m_kind)]));
}

void TCustomParameter::LoadFrom(TSchemeLoader* loader, TKnot* knot) {
    TCustomFieldWithArrayTypeSupport::LoadFrom(loader, knot);
    SetKind(TParameterKind(knot->ReadStrView(kParameterKindAttribute, {}, [](QStringView stored) {
        return IndexOfName(kParameterKindNames, stored);
    })));
}

void TCustomParameterWithValue::SetNotEmptyInValue(bool value) {
    if (value == m_notEmptyIn) return;
    m_notEmptyIn = value;
    OptionChanged();
}

void TCustomParameterWithValue::SetNotEmptyOutValue(bool value) {
    if (value == m_notEmptyOut) return;
    m_notEmptyOut = value;
    OptionChanged();
}

bool TCustomParameterWithValue::GetNotEmptyInValue() const noexcept {
    return m_notEmptyIn && Kind() != TParameterKind::Out;
}

bool TCustomParameterWithValue::GetNotEmptyOutValue() const noexcept {
    return m_notEmptyOut && Kind() != TParameterKind::In;
}

void TCustomParameterWithValue::SaveTo(TSchemeSaver* saver, TKnot* knot) {
    TCustomParameter::SaveTo(saver, knot);
    if (m_notEmptyIn) knot->WriteBool(kNotEmptyInAttribute, true);
    if (m_notEmptyOut) knot->WriteBool(kNotEmptyOutAttribute, true);
}

void TCustomParameterWithValue::LoadFrom(TSchemeLoader* loader, TKnot* knot) {
    TCustomParameter::LoadFrom(loader, knot);
    SetNotEmptyInValue(knot->ReadBool(kNotEmptyInAttribute, false) || knot->ReadBool(kOlderNotEmptyAttribute, false));
    SetNotEmptyOutValue(knot->ReadBool(kNotEmptyOutAttribute, false));
}

void TElement_Parameter::Create() {
    TCustomParameterWithValue::Create();
    CreateDescriptionField();
    if (TFieldTypeField* type = TypeField()) {
        type->SetOptions(type->Options() & ~eoRequired);
        type->SetTextorOptions(type->TextorOptions() | kParameterTypeTextorOptions);
    }
    if (NameField()) NameField()->SetImageIndex(NamePicture());
}

int TElement_Parameter::NamePicture() const { return MethodChar(kCharParameter + int(Kind())); }

void TElement_Parameter::OptionChanged() {
    if (NameField()) NameField()->SetImageIndex(NamePicture());
    TCustomParameterWithValue::OptionChanged();
}

void TElement_Parameter::GetDefaultName(QString& stem, bool& numberFirst) {
    TCustomParameterWithValue::GetDefaultName(stem, numberFirst);
    stem = ProgramSettings()->ParametersPrefix()->Value() + QStringLiteral("Parameter");
}

void TElement_Parameter::InitNew(TPaletteItem* item) {
    TCustomParameterWithValue::InitNew(item);
    if (TypeField()) TypeField()->SetText(StandardTypeName::Int);
}

void TElement_Parameter::WriteTitle(TTitleWriter& writer) {
    TCustomParameterWithValue::WriteTitle(writer);
    if (NameField()) writer.AddField(NameField());
    if (TypeField() && TypeField()->IsFilled()) {
        writer.AddText(QStringLiteral(":"));
        writer.AddField(TypeField());
    }
    if (GetNotEmptyInValue()) writer.AddImage(MethodSmall(kSmallNotEmptyIn));
    if (GetNotEmptyOutValue()) writer.AddImage(MethodSmall(kSmallNotEmptyOut));
}

void TElement_Parameter::GetChildHint(TElement* child, QString& text) {
    if (child && child == TypeField())
        text = LoadStr(strParameterType);
    else
        TCustomParameterWithValue::GetChildHint(child, text);
}

void TElement_Parameter::GetPaletteItems(QList<TPaletteItem*>& list) {
    TCustomParameterWithValue::GetPaletteItems(list);
    if (!g_methodUnit) return;
    for (TSchemePaletteItem* item : g_methodUnit->kinds) list << item;
    list << g_methodUnit->notEmptyIn << g_methodUnit->notEmptyOut;
}

void TElement_Parameter::UpdatePaletteItemState(TPaletteItem* item, TPaletteItemState& state) {
    if (!g_methodUnit) return TCustomParameterWithValue::UpdatePaletteItemState(item, state);
    if (const int kind = IndexOfItem(g_methodUnit->kinds, item); kind >= 0) {
        state.Enabled = true;
        state.Checked = kind == int(Kind());
    } else if (item == g_methodUnit->notEmptyIn) {
        state.Enabled = Kind() != TParameterKind::Out;
        state.Checked = GetNotEmptyInValue();
    } else if (item == g_methodUnit->notEmptyOut) {
        state.Enabled = Kind() != TParameterKind::In;
        state.Checked = GetNotEmptyOutValue();
    } else {
        TCustomParameterWithValue::UpdatePaletteItemState(item, state);
    }
}

bool TElement_Parameter::ApplyPaletteItem(TPaletteItem* item, const QString& subCommand, bool checked) {
    if (!g_methodUnit) return TCustomParameterWithValue::ApplyPaletteItem(item, subCommand, checked);
    if (const int kind = IndexOfItem(g_methodUnit->kinds, item); kind >= 0) {
        if (kind != int(Kind())) RunOption(MakeNode<TParameterKindOperation>(this, kind));
        return true;
    }
    const bool in = item == g_methodUnit->notEmptyIn;
    if (in || item == g_methodUnit->notEmptyOut) {
        const bool newIn = in ? checked : NotEmptyInValue();
        const bool newOut = in ? NotEmptyOutValue() : checked;
        if (newIn != NotEmptyInValue() || newOut != NotEmptyOutValue())
            RunOption(MakeNode<TParameterNotEmptyValueOperation>(this, int(newIn) | int(newOut) << 1));
        return true;
    }
    return TCustomParameterWithValue::ApplyPaletteItem(item, subCommand, checked);
}

// ---------------------------------------------------------------------------
// TParametersContainer

void TParametersContainer::Create() {
    TTextorElement::Create();
    SetTextorOptions(TextorOptions() | kParametersTextorOptions);
    SetRestrictions(kParametersRestrictions);
    m_namespace = TElement::CreateSubElement<TNamespace>(this);
    m_namespace->SetOptions(m_namespace->Options() | eoStoredInParentNode);
    m_connection = TElement::CreateSubElement<TNamespaceConnection>(this);
    m_connection->SetOptions(m_connection->Options() | eoStoredInParentNode);
    // Every routine sees the names around it: covers only for what is asked.
    m_connection->SetLazy(true);
    m_connection->SetOwner(m_namespace);
}

void TParametersContainer::BeforeDestruction() {
    if (m_connection) m_connection->SetOwner(nullptr);
    TTextorElement::BeforeDestruction();
    m_namespace = nullptr;
    m_connection = nullptr;
}

QList<TElement_Parameter*> TParametersContainer::Parameters() const {
    QList<TElement_Parameter*> list;
    for (TNode* n = FirstChild(); n; n = n->NextSibling())
        if (auto* parameter = dynamic_cast<TElement_Parameter*>(n)) list << parameter;
    return list;
}

bool TParametersContainer::IsShown() const { return const_cast<TParametersContainer*>(this)->IsFilled() || IsEdited(); }

void TParametersContainer::AddParameter(TPaletteItem* item) {
    if (auto* owner = dynamic_cast<TTitledElement*>(ParentElement())) owner->UpdateTitleLayout();
    InsertNewElement(TElement_Parameter::StaticClass(), item, std::nullopt);
    if (auto* owner = dynamic_cast<TTitledElement*>(ParentElement())) owner->UpdateTitleLayout();
}

void TParametersContainer::FillAcceptedClasses(TElementClassList& list) {
    AddItemOnce(list, TElement_Parameter::StaticClass());
    TTextorElement::FillAcceptedClasses(list);
}

void TParametersContainer::GetChildName(TElement* child, TSchemeFiler* filer, QString& name) {
    if (child && child == m_namespace)
        name = kNamespaceChildName;
    else if (child && child == m_connection)
        name = kConnectionChildName;
    else
        TTextorElement::GetChildName(child, filer, name);
}

void TParametersContainer::TreePlacementChanged() {
    TTextorElement::TreePlacementChanged();
    // Types declared around the routine resolve inside its parameter list.
    if (!IsBeingDestroyed() && m_connection) m_connection->SetTarget(FindOwnerNamespace(this));
}

// ---------------------------------------------------------------------------
// TCustomMethod

void TCustomMethod::Create() {
    TNamedElementWithCommandContentWithResult::Create();
    CreateExpandButton(true);
    CreateDescriptionField();
    m_parameters = static_cast<TParametersContainer*>(
        TVisualElement::CreateSubElement(TParametersContainer::StaticClass(), this, Content(), this));
    if (TCommandsContainerWithResult* body = Body())
        if (body->Result()) body->Result()->SetNameOptions(body->Result()->NameOptions() & ~noRegister);
}

void TCustomMethod::BeforeDestruction() {
    TNamedElementWithCommandContentWithResult::BeforeDestruction();
    m_parameters = nullptr;
}

TCommandsContainerWithResult* TCustomMethod::Body() const {
    return dynamic_cast<TCommandsContainerWithResult*>(Content());
}

void TCustomMethod::TreePlacementChanged() {
    TNamedElementWithCommandContentWithResult::TreePlacementChanged();
    if (IsBeingDestroyed()) return;
    if (TCommandsContainerWithResult* body = Body(); body && m_parameters)
        body->Connection()->SetTarget(m_parameters->Namespace());
}

void TCustomMethod::GetPaletteItems(QList<TPaletteItem*>& list) {
    TNamedElementWithCommandContentWithResult::GetPaletteItems(list);
    if (ParameterPaletteItem() && !list.contains(ParameterPaletteItem())) list << ParameterPaletteItem();
}

bool TCustomMethod::ApplyPaletteItem(TPaletteItem* item, const QString& subCommand, bool checked) {
    if (item && item == ParameterPaletteItem() && m_parameters) {
        m_parameters->AddParameter(item);
        return true;
    }
    return TNamedElementWithCommandContentWithResult::ApplyPaletteItem(item, subCommand, checked);
}

void TCustomMethod::GetChildName(TElement* child, TSchemeFiler* filer, QString& name) {
    if (child && child == m_parameters)
        name = kMethodParametersChild;
    else
        TNamedElementWithCommandContentWithResult::GetChildName(child, filer, name);
}

void TCustomMethod::GetChildHint(TElement* child, QString& text) {
    if (child && child == m_parameters)
        text = LoadStr(strParametersMethod);
    else
        TNamedElementWithCommandContentWithResult::GetChildHint(child, text);
}

void TCustomMethod::WriteNameAndParameters(TTitleWriter& writer) {
    if (NameField()) writer.AddField(NameField());
    if (m_parameters && m_parameters->IsShown()) {
        writer.AddText(QStringLiteral("("));
        writer.AddField(m_parameters);
        writer.AddText(QStringLiteral(")"));
    }
}

// ---------------------------------------------------------------------------
// TElement_Method

void TMethodResultTypeField::TextChanged() {
    TWatchedTypeField::TextChanged();
    if (auto* method = dynamic_cast<TElement_Method*>(ParentElement()); method && !IsBeingDestroyed())
        method->ResultTypeChanged();
}

void TMethodResultTypeField::AfterLoad(TSchemeLoader* loader, intptr_t datum) {
    TWatchedTypeField::AfterLoad(loader, datum);
    if (auto* method = dynamic_cast<TElement_Method*>(ParentElement()); method && !IsBeingDestroyed())
        method->ResultTypeChanged();
}

void TElement_Method::Create() {
    TCustomMethod::Create();
    m_resultType = static_cast<TMethodResultTypeField*>(
        TVisualElement::CreateSubElement(TMethodResultTypeField::StaticClass(), this, Content(), this));
    m_resultType->SetVisualOptions(m_resultType->VisualOptions() | voHiddenWhileEmpty);
    if (NameField()) NameField()->SetImageIndex(NamePicture());
}

void TElement_Method::BeforeDestruction() {
    TCustomMethod::BeforeDestruction();
    m_resultType = nullptr;
}

bool TElement_Method::GetDescendantsCall() {
    IMethodsOwner* owner = FindMethodsOwner(this);
    return m_descendantsCall && Visibility() == TVisibility::Private && owner && owner->AllowsDescendantsOptions();
}

bool TElement_Method::GetDescendantsOverride() {
    IMethodsOwner* owner = FindMethodsOwner(this);
    return m_descendantsOverride && Visibility() == TVisibility::Private && owner &&
           owner->AllowsDescendantsOptions();
}

bool TElement_Method::GetForInstance() {
    if (m_forInstance) return true;
    IMethodsOwner* owner = FindMethodsOwner(this);
    return !owner || !owner->AllowsClassMethods();
}

bool TElement_Method::GetNotEmptyOutValue() const { return m_notEmptyOut && m_resultType && m_resultType->IsFilled(); }

int TElement_Method::NamePicture() {
    if (Visibility() != TVisibility::Private) return MethodChar(kCharPublicMethod);
    const bool call = GetDescendantsCall();
    const bool override_ = GetDescendantsOverride();
    if (call && override_) return MethodChar(kCharPrivateBoth);
    if (call) return MethodChar(kCharPrivateCall);
    if (override_) return MethodChar(kCharPrivateOverride);
    return MethodChar(kCharPrivateNeither);
}

void TElement_Method::FlagsChanged(bool picture) {
    if (picture && NameField()) NameField()->SetImageIndex(NamePicture());
    UpdateTitleLayout();
    NotifyEditStateChanged();
    if (NameField() && NameField()->Item()) NameField()->Item()->NotifyChanged();
}

void TElement_Method::SetDescendantsCall(bool value) {
    if (value == m_descendantsCall) return;
    m_descendantsCall = value;
    FlagsChanged(true);
}

void TElement_Method::SetDescendantsOverride(bool value) {
    if (value == m_descendantsOverride) return;
    m_descendantsOverride = value;
    FlagsChanged(true);
}

void TElement_Method::SetForInstance(bool value) {
    if (value == m_forInstance) return;
    m_forInstance = value;
    FlagsChanged(false);
}

void TElement_Method::SetCallingConvention(TCallingConvention value) {
    if (value == m_convention) return;
    m_convention = value;
    UpdateTitleLayout();
    NotifyEditStateChanged();
}

void TElement_Method::SetNotEmptyOutValue(bool value) {
    if (value == m_notEmptyOut) return;
    m_notEmptyOut = value;
    UpdateTitleLayout();
    NotifyEditStateChanged();
}

void TElement_Method::DeclaredVisibilityChanged() {
    TCustomMethod::DeclaredVisibilityChanged();
    if (IsBeingDestroyed()) return;
    if (NameField()) NameField()->SetImageIndex(NamePicture());
    if (!m_forInstance) UpdateTitleLayout();
    NotifyEditStateChanged();
}

void TElement_Method::TreePlacementChanged() {
    TCustomMethod::TreePlacementChanged();
    if (IsBeingDestroyed()) return;
    UpdateVisibilityMode();
    // The owner decides which options are in effect.
    if (NameField()) NameField()->SetImageIndex(NamePicture());
}

TVisibilityMode TElement_Method::GetVisibilityMode() {
    return InsideCommands(this) ? TVisibilityMode::Public : TVisibilityMode::ChoosablePublic;
}

void TElement_Method::TypeFieldChanged(TWatchedTypeField* field) {
    if (field == m_resultType) ResultTypeChanged();
}

void TElement_Method::ResultTypeChanged() {
    TCommandsContainerWithResult* body = Body();
    TFieldElementResult* result = body ? body->Result() : nullptr;
    if (!result || !m_resultType) return;
    if (!m_resultType->IsFilled()) {
        result->SetNameOptions(result->NameOptions() & ~noRegister);
        result->SetTypeItem(nullptr);
    } else {
        TNamespaceItem* type = m_resultType->GetTargetItem();
        if (!type) {
            TTypeDescriptor variant;
            GetStandardTypeDescriptor(StandardTypeName::Variant, variant);
            type = variant.TypeItem;
        }
        result->SetTypeItem(type);
        result->SetNameOptions(result->NameOptions() | noRegister);
    }
    UpdateTitleLayout();
    if (NameField() && NameField()->Item()) NameField()->Item()->NotifyChanged();
}

bool TElement_Method::GetDeclaredValueType(TNamespaceItem*, TTypeDescriptor& descriptor) {
    if (m_resultType) GetTypeDescriptor(m_resultType->GetTargetItem(), descriptor);
    return true;
}

void TElement_Method::WriteTitle(TTitleWriter& writer) {
    TCustomMethod::WriteTitle(writer);
    WriteNameAndParameters(writer);
    // An empty result type takes no room until it is edited.
    if (m_resultType) {
        if (m_resultType->IsFilled()) writer.AddText(QStringLiteral(":"));
        writer.AddField(m_resultType);
    }
    if (GetNotEmptyOutValue()) writer.AddImage(MethodSmall(kSmallNotEmptyOut));
    if (!GetForInstance()) writer.AddImage(WithoutInstanceTitlePicture());
    if (m_convention != TCallingConvention::Pascal)
        writer.AddText(QLatin1String(kConventionNames[int(m_convention)]).toString().toLower());
    if (IsExpanded())
        if (TVisualElement* body = GetContentContainer()) writer.AddBlock(body);
}

void TElement_Method::GetChildName(TElement* child, TSchemeFiler* filer, QString& name) {
    if (child && child == m_resultType)
        name = kMethodResultTypeChild;
    else
        TCustomMethod::GetChildName(child, filer, name);
}

void TElement_Method::GetChildHint(TElement* child, QString& text) {
    if (child && child == m_resultType)
        text = LoadStr(strResultType);
    else
        TCustomMethod::GetChildHint(child, text);
}

void TElement_Method::GetPaletteItems(QList<TPaletteItem*>& list) {
    TCustomMethod::GetPaletteItems(list);
    if (!g_methodUnit) return;
    IMethodsOwner* owner = FindMethodsOwner(this);
    if (owner && owner->AllowsDescendantsOptions()) list << g_methodUnit->call << g_methodUnit->override_;
    if (owner && owner->AllowsClassMethods() && WithoutInstancePaletteItem()) list << WithoutInstancePaletteItem();
    list << g_methodUnit->methodNotEmptyOut;
    for (TSchemePaletteItem* item : g_methodUnit->conventions) list << item;
}

void TElement_Method::UpdatePaletteItemState(TPaletteItem* item, TPaletteItemState& state) {
    if (!g_methodUnit) return TCustomMethod::UpdatePaletteItemState(item, state);
    const bool isPrivate = Visibility() == TVisibility::Private;
    if (item == g_methodUnit->call) {
        state.Enabled = isPrivate;
        state.Checked = GetDescendantsCall();
    } else if (item == g_methodUnit->override_) {
        state.Enabled = isPrivate;
        state.Checked = GetDescendantsOverride();
    } else if (item && item == WithoutInstancePaletteItem()) {
        state.Enabled = true;
        state.Checked = !GetForInstance();
    } else if (item == g_methodUnit->methodNotEmptyOut) {
        state.Enabled = m_resultType && m_resultType->IsFilled();
        state.Checked = GetNotEmptyOutValue();
    } else if (const int convention = IndexOfItem(g_methodUnit->conventions, item); convention >= 0) {
        state.Enabled = true;
        state.Checked = convention == int(m_convention);
    } else {
        TCustomMethod::UpdatePaletteItemState(item, state);
    }
}

bool TElement_Method::ApplyPaletteItem(TPaletteItem* item, const QString& subCommand, bool checked) {
    if (!g_methodUnit) return TCustomMethod::ApplyPaletteItem(item, subCommand, checked);
    if (item == g_methodUnit->call || item == g_methodUnit->override_) {
        const bool call = item == g_methodUnit->call ? checked : m_descendantsCall;
        const bool override_ = item == g_methodUnit->override_ ? checked : m_descendantsOverride;
        if (call != m_descendantsCall || override_ != m_descendantsOverride)
            RunOption(MakeNode<TMethodDescendantsOperation>(this, int(call) | int(override_) << 1));
        return true;
    }
    if (item && item == WithoutInstancePaletteItem()) {
        if (checked == m_forInstance) RunOption(MakeNode<TMethodForInstanceOperation>(this, int(!checked)));
        return true;
    }
    if (item == g_methodUnit->methodNotEmptyOut) {
        if (checked != m_notEmptyOut) RunOption(MakeNode<TMethodNotEmptyOutValueOperation>(this, int(checked)));
        return true;
    }
    if (const int convention = IndexOfItem(g_methodUnit->conventions, item); convention >= 0) {
        if (convention != int(m_convention)) RunOption(MakeNode<TMethodCallingConventionOperation>(this, convention));
        return true;
    }
    return TCustomMethod::ApplyPaletteItem(item, subCommand, checked);
}

void TElement_Method::SaveTo(TSchemeSaver* saver, TKnot* knot) {
    TCustomMethod::SaveTo(saver, knot);
    if (m_descendantsCall) knot->WriteBool(kDescendantsCallAttribute, true);
    if (m_descendantsOverride) knot->WriteBool(kDescendantsOverrideAttribute, true);
    if (!m_forInstance) knot->WriteBool(kClassMethodAttribute, true);
    if (m_convention != TCallingConvention::Pascal)
        knot->WriteStr(kConventionAttribute, QLatin1String(kConventionNames[int(m_convention)]));
    if (m_notEmptyOut) knot->WriteBool(kNotEmptyOutAttribute, true);
}

void TElement_Method::LoadFrom(TSchemeLoader* loader, TKnot* knot) {
    TCustomMethod::LoadFrom(loader, knot);
    SetDescendantsCall(knot->ReadBool(kDescendantsCallAttribute, false));
    SetDescendantsOverride(knot->ReadBool(kDescendantsOverrideAttribute, false));
    SetForInstance(!knot->ReadBool(kClassMethodAttribute, false));
    SetCallingConvention(TCallingConvention(knot->ReadStrView(kConventionAttribute, {}, [](QStringView stored) {
        return IndexOfName(kConventionNames, stored);
    })));
    SetNotEmptyOutValue(knot->ReadBool(kNotEmptyOutAttribute, false));
}

// ---------------------------------------------------------------------------
// TElement_MethodType

void TElement_MethodType::Create() {
    TprNamedElement::Create();
    CreateDescriptionField();
    if (NameField()) NameField()->SetImageIndex(MethodChar(kCharMethodType));
    m_parameters = static_cast<TParametersContainer*>(
        TVisualElement::CreateSubElement(TParametersContainer::StaticClass(), this, nullptr, this));
    m_resultType = static_cast<TTypeReferenceField*>(
        TVisualElement::CreateSubElement(TTypeReferenceField::StaticClass(), this, nullptr, this));
    m_resultType->SetVisualOptions(m_resultType->VisualOptions() | voHiddenWhileEmpty);
}

void TElement_MethodType::BeforeDestruction() {
    TprNamedElement::BeforeDestruction();
    m_parameters = nullptr;
    m_resultType = nullptr;
}

void TElement_MethodType::SetInClass(bool value) {
    if (value == m_inClass) return;
    m_inClass = value;
    if (NameField() && NameField()->Item()) NameField()->Item()->NotifyChanged();
    UpdateTitleLayout();
    NotifyEditStateChanged();
}

void TElement_MethodType::InitNew(TPaletteItem* item) {
    TprNamedElement::InitNew(item);
    SetInClass(true);
}

void TElement_MethodType::TreePlacementChanged() {
    TprNamedElement::TreePlacementChanged();
    if (!IsBeingDestroyed()) UpdateVisibilityMode();
}

TVisibilityMode TElement_MethodType::GetVisibilityMode() {
    return InsideCommands(this) ? TVisibilityMode::Public : TVisibilityMode::ChoosablePublic;
}

void TElement_MethodType::GetDefaultName(QString& stem, bool& numberFirst) {
    TprNamedElement::GetDefaultName(stem, numberFirst);
    stem = ProgramSettings()->TypesPrefix()->Value() + QStringLiteral("MethodType");
}

void TElement_MethodType::GetItemReferences(TNameField* field, std::vector<TReference*>& list) {
    TprNamedElement::GetItemReferences(field, list);
    if (field != NameField()) return;
    if (m_resultType) list.push_back(m_resultType->Link());
    if (m_parameters)
        for (TElement_Parameter* parameter : m_parameters->Parameters())
            if (parameter->TypeField()) list.push_back(parameter->TypeField()->Link());
}

void TElement_MethodType::WriteTitle(TTitleWriter& writer) {
    TprNamedElement::WriteTitle(writer);
    if (NameField()) writer.AddField(NameField());
    if (m_parameters && m_parameters->IsShown()) {
        writer.AddText(QStringLiteral("("));
        writer.AddField(m_parameters);
        writer.AddText(QStringLiteral(")"));
    }
    if (m_resultType) {
        if (m_resultType->IsFilled()) writer.AddText(QStringLiteral(":"));
        writer.AddField(m_resultType);
    }
    if (!m_inClass) writer.AddText(LoadStr(strInModuleTitle));
}

void TElement_MethodType::GetChildName(TElement* child, TSchemeFiler* filer, QString& name) {
    if (child && child == m_parameters)
        name = kMethodParametersChild;
    else if (child && child == m_resultType)
        name = kMethodResultTypeChild;
    else
        TprNamedElement::GetChildName(child, filer, name);
}

void TElement_MethodType::GetChildHint(TElement* child, QString& text) {
    if (child && child == m_parameters)
        text = LoadStr(strParametersMethod);
    else if (child && child == m_resultType)
        text = LoadStr(strResultType);
    else
        TprNamedElement::GetChildHint(child, text);
}

void TElement_MethodType::GetPaletteItems(QList<TPaletteItem*>& list) {
    TprNamedElement::GetPaletteItems(list);
    if (!g_methodUnit) return;
    list << g_methodUnit->places[0] << g_methodUnit->places[1];
    if (!list.contains(g_methodUnit->parameter)) list << g_methodUnit->parameter;
}

void TElement_MethodType::UpdatePaletteItemState(TPaletteItem* item, TPaletteItemState& state) {
    const int place = g_methodUnit ? IndexOfItem(g_methodUnit->places, item) : -1;
    if (place < 0) return TprNamedElement::UpdatePaletteItemState(item, state);
    state.Enabled = true;
    state.Checked = place == int(m_inClass);
}

bool TElement_MethodType::ApplyPaletteItem(TPaletteItem* item, const QString& subCommand, bool checked) {
    if (item && item == ParameterPaletteItem() && m_parameters) {
        m_parameters->AddParameter(item);
        return true;
    }
    const int place = g_methodUnit ? IndexOfItem(g_methodUnit->places, item) : -1;
    if (place < 0) return TprNamedElement::ApplyPaletteItem(item, subCommand, checked);
    if (place != int(m_inClass)) RunOption(MakeNode<TMethodTypeOperation>(this, place));
    return true;
}

void TElement_MethodType::SaveTo(TSchemeSaver* saver, TKnot* knot) {
    TprNamedElement::SaveTo(saver, knot);
    if (m_inClass) knot->WriteBool(kInClassAttribute, true);
}

void TElement_MethodType::LoadFrom(TSchemeLoader* loader, TKnot* knot) {
    TprNamedElement::LoadFrom(loader, knot);
    SetInClass(knot->ReadBool(kInClassAttribute, false));
}

// ---------------------------------------------------------------------------
// Operations

TMethodOptionOperation::TMethodOptionOperation(TElement* element, int value)
    : TElementOperation(element, true), m_newValue(value) {}

void TMethodOptionOperation::DoOnElement(TElement* element) {
    TElementOperation::DoOnElement(element);
    m_oldValue = Get(element);
    Set(element, m_newValue);
}

void TMethodOptionOperation::UndoOnElement(TElement* element) {
    TElementOperation::UndoOnElement(element);
    Set(element, m_oldValue);
}

namespace {
template <class T>
T* As(TElement* element) {
    return static_cast<T*>(element);
}
}  // namespace

int TParameterKindOperation::Get(TElement* e) const { return int(As<TCustomParameter>(e)->Kind()); }
void TParameterKindOperation::Set(TElement* e, int v) const { As<TCustomParameter>(e)->SetKind(TParameterKind(v)); }
int TParameterNotEmptyValueOperation::Get(TElement* e) const {
    auto* p = As<TCustomParameterWithValue>(e);
    return int(p->NotEmptyInValue()) | int(p->NotEmptyOutValue()) << 1;
}
void TParameterNotEmptyValueOperation::Set(TElement* e, int v) const {
    auto* p = As<TCustomParameterWithValue>(e);
    p->SetNotEmptyInValue(v & 1);
    p->SetNotEmptyOutValue(v & 2);
}
int TMethodDescendantsOperation::Get(TElement* e) const {
    auto* m = As<TElement_Method>(e);
    return int(m->DescendantsCall()) | int(m->DescendantsOverride()) << 1;
}
void TMethodDescendantsOperation::Set(TElement* e, int v) const {
    auto* m = As<TElement_Method>(e);
    m->SetDescendantsCall(v & 1);
    m->SetDescendantsOverride(v & 2);
}
int TMethodForInstanceOperation::Get(TElement* e) const { return int(As<TElement_Method>(e)->ForInstance()); }
void TMethodForInstanceOperation::Set(TElement* e, int v) const { As<TElement_Method>(e)->SetForInstance(v); }
int TMethodCallingConventionOperation::Get(TElement* e) const {
    return int(As<TElement_Method>(e)->CallingConvention());
}
void TMethodCallingConventionOperation::Set(TElement* e, int v) const {
    As<TElement_Method>(e)->SetCallingConvention(TCallingConvention(v));
}
int TMethodNotEmptyOutValueOperation::Get(TElement* e) const { return int(As<TElement_Method>(e)->NotEmptyOutValue()); }
void TMethodNotEmptyOutValueOperation::Set(TElement* e, int v) const { As<TElement_Method>(e)->SetNotEmptyOutValue(v); }
int TMethodTypeOperation::Get(TElement* e) const { return int(As<TElement_MethodType>(e)->InClass()); }
void TMethodTypeOperation::Set(TElement* e, int v) const { As<TElement_MethodType>(e)->SetInClass(v); }

// ---------------------------------------------------------------------------
// The unit

TPaletteItem* MethodPaletteItem() noexcept { return g_methodUnit ? g_methodUnit->method : nullptr; }
TPaletteItem* ParameterPaletteItem() noexcept { return g_methodUnit ? g_methodUnit->parameter : nullptr; }
TPaletteItem* MethodTypePaletteItem() noexcept { return g_methodUnit ? g_methodUnit->methodType : nullptr; }
TSchemePaletteItem* ParameterKindPaletteItem(TParameterKind kind) noexcept {
    return g_methodUnit ? g_methodUnit->kinds[size_t(kind)] : nullptr;
}
TSchemePaletteItem* NotEmptyInValuePaletteItem() noexcept { return g_methodUnit ? g_methodUnit->notEmptyIn : nullptr; }
TSchemePaletteItem* NotEmptyOutValuePaletteItem() noexcept {
    return g_methodUnit ? g_methodUnit->notEmptyOut : nullptr;
}
TSchemePaletteItem* CallPaletteItem() noexcept { return g_methodUnit ? g_methodUnit->call : nullptr; }
TSchemePaletteItem* OverridePaletteItem() noexcept { return g_methodUnit ? g_methodUnit->override_ : nullptr; }
TSchemePaletteItem* CallingConventionPaletteItem(TCallingConvention convention) noexcept {
    return g_methodUnit ? g_methodUnit->conventions[size_t(convention)] : nullptr;
}
TSchemePaletteItem* ImplementationPlacePaletteItem(bool inClass) noexcept {
    return g_methodUnit ? g_methodUnit->places[size_t(inClass)] : nullptr;
}
TSchemePaletteItem* MethodNotEmptyOutValuePaletteItem() noexcept {
    return g_methodUnit ? g_methodUnit->methodNotEmptyOut : nullptr;
}
int MethodCharImageBase() noexcept { return MethodChar(0); }

namespace {

void CreateElementItems(TMethodUnit& unit) {
    const TImageStrip& large = unit.largeImages;
    // Small where a routine body shows it under "Other".
    TElementPaletteItem* method = TElementPaletteItem::Create(
        PaletteInsertGroup(), pifLargeImage, unit.smallImages.Picture(kSmallMethod), large.Picture(kLargeMethod),
        strMethod, strMethodHint, 500, TElement_Method::StaticClass());
    method->SetLetter(QStringLiteral("M"));
    unit.method = method;
    unit.parameter = TElementPaletteItem::Create(PaletteInsertGroup(), pifLargeImage | pifNotDelegated,
                                                 large.Picture(kLargeParameter), strParameter, strParameterHint, 100,
                                                 TElement_Parameter::StaticClass());
    if (TypesOtherItem())
        unit.methodType = TElementPaletteItem::Create(TypesOtherItem(), 0, unit.smallImages.Picture(kSmallMethodType),
                                                      strMethodType, strMethodTypeHint, 150,
                                                      TElement_MethodType::StaticClass());
}

void CreateCommands(TMethodUnit& unit) {
    const TImageStrip& large = unit.largeImages;
    TPaletteGroup* kinds = TPaletteGroup::Create(Palette(), strParameterKind, 1100);
    const int kindCaptions[kParameterKindCount][3] = {
        {strIn, strInHint, 10}, {strInOut, strInOutHint, 8}, {strOut, strOutHint, 6}};
    for (int kind = 0; kind < kParameterKindCount; ++kind)
        unit.kinds[size_t(kind)] =
            TSchemePaletteItem::Create(kinds, kChoiceFlags, large.Picture(kLargeParameter + kind),
                                       kindCaptions[kind][0], kindCaptions[kind][1], kindCaptions[kind][2]);
    TPaletteGroup* options = PaletteOptionsGroup();
    unit.notEmptyIn = TSchemePaletteItem::Create(options, kOptionFlags, large.Picture(kLargeNotEmpty),
                                                 strNotEmptyInValue, strNotEmptyInValueHint, 110);
    unit.notEmptyOut = TSchemePaletteItem::Create(options, kOptionFlags, large.Picture(kLargeNotEmpty),
                                                  strNotEmptyOutValue, 0, 100);
    unit.call = TSchemePaletteItem::Create(options, kOptionFlags, NoImageIndex, strCall, strCallHint, 20);
    unit.override_ =
        TSchemePaletteItem::Create(options, kOptionFlags, NoImageIndex, strOverrideOption, strOverrideHint, 10);
    TPaletteGroup* conventions = TPaletteGroup::Create(Palette(), strCallingConvention, 300);
    const int conventionCaptions[kCallingConventionCount] = {strPascal,   strRegister, strCdecl,
                                                             strStdcall, strSafecall, strFastcall};
    for (int c = 0; c < kCallingConventionCount; ++c)
        unit.conventions[size_t(c)] = TSchemePaletteItem::Create(conventions, uint16_t(pifRadio | pifChangesElement),
                                                                 NoImageIndex, conventionCaptions[c], 0, 80 - 10 * c);
    TPaletteGroup* places = TPaletteGroup::Create(Palette(), strImplementationPlace, 1050);
    unit.places[0] = TSchemePaletteItem::Create(places, kChoiceFlags, NoImageIndex, strInModule, 0, 10);
    unit.places[1] = TSchemePaletteItem::Create(places, kChoiceFlags, NoImageIndex, strInObject, 0, 8);
    unit.methodNotEmptyOut = TSchemePaletteItem::Create(options, kOptionFlags, large.Picture(kLargeNotEmpty),
                                                        strMethodNotEmptyOutValue, 0, 8);
}

}  // namespace

void InitMethodElementsUnit() {
    if (g_methodUnit) return;
    auto unit = std::make_unique<TMethodUnit>();
    unit->charImages = TImageStrip::Load(SchemeCharImages(), QStringLiteral("prMethodElementsCharImages"));
    unit->smallImages = TImageStrip::Load(SchemeSmallImages(), QStringLiteral("prMethodElementsSmallImages"));
    unit->largeImages = TImageStrip::Load(SchemeLargeImages(), QStringLiteral("prMethodElementsLargeImages"));
    const TElementClass* method = TElement_Method::StaticClass();
    const TElementClass* methodType = TElement_MethodType::StaticClass();
    AddItemOnce(ClassMemberElementClasses(), method);
    AddItemOnce(ModuleElementClasses(), method);
    AddItemOnce(CommandElementClasses(), method);
    AddItemOnce(ModuleElementClasses(), methodType);
    AddItemOnce(CommandElementClasses(), methodType);
    if (Palette()) {
        CreateElementItems(*unit);
        CreateCommands(*unit);
    }
    g_methodUnit = std::move(unit);
}

void FinalMethodElementsUnit() {
    // The class groups and the palette entries belong to their registries.
    g_methodUnit.reset();
}
