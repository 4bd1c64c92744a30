#include "pascal/elements/prFieldElements.h"

#include "core/cuKnot.h"
#include "core/cuLocalization.h"
#include "core/cuStringIds.h"
#include "elements/coRoot.h"
#include "scheme/diFilers.h"
#include "scheme/diNaming.h"
#include "scheme/diPalette.h"
#include "scheme/diUtils.h"

#include <memory>

T_ELEMENT_CLASS_IMPL_ABSTRACT(TWatchedTypeField, TTypeReferenceField)
T_ELEMENT_CLASS_IMPL(TFieldTypeField, TWatchedTypeField)
T_ELEMENT_CLASS_IMPL_ABSTRACT(TCustomField, TprNamedElement)
T_ELEMENT_CLASS_IMPL_ABSTRACT(TCustomFieldWithArrayTypeSupport, TCustomField)
T_ELEMENT_CLASS_IMPL_ABSTRACT(TCustomFieldWithValue, TCustomFieldWithArrayTypeSupport)
T_ELEMENT_CLASS_IMPL(TFieldNameField, TIdentifierNameField)
T_ELEMENT_CLASS_IMPL(TElement_Field, TCustomFieldWithValue)
T_CLASS_IMPL_ABSTRACT(TFieldAccessToPrivateMembersOperation, TElementOperation)

namespace {

const QString kTypeChild = QStringLiteral("Type");
const QString kMembersChild = QStringLiteral("MembersByTypeConnection");
const QString kParametersChild = QStringLiteral("ParametersNamespace");
const QString kParameterIndexChild = QStringLiteral("ParameterIndex");
const QString kFieldValueChild = QStringLiteral("Value");
const QString kAccessAttribute = QStringLiteral("AccessToPrivateMembers");

// The value: shown only while filled or being edited.
constexpr uint16_t kValueVisualOptions = voHiddenWhileEmpty;
constexpr uint32_t kValueTextorOptions = toEmptyWidth;

// The commands: "Initial value" acts on one element at a time, "Access" toggles.
constexpr uint16_t kInitialValueFlags = pifLargeImage | pifChangesElement | pifNotForCombined;
constexpr uint16_t kAccessFlags = pifLargeImage | pifToggle | pifChangesElement;

// The picture of a Let in the command elements' strip, which that unit
// loads later: until then the shared default picture.
constexpr int kLetLargePicture = NoImageIndex;

struct TFieldUnit {
    TImageStrip charImages;
    TImageStrip smallImages;
    TImageStrip largeImages;
    TPaletteItem* fieldItem = nullptr;
    TSchemePaletteItem* initialValue = nullptr;
    TSchemePaletteItem* access = nullptr;
};
std::unique_ptr<TFieldUnit> g_fieldUnit;

bool IsStandardStr(TElement* element) {
    auto* type = dynamic_cast<TStandardTypeElement*>(element);
    return type && type->TypeName() == StandardTypeName::Str;
}

}  // namespace

// ---------------------------------------------------------------------------
// TWatchedTypeField

void TWatchedTypeField::TellOwner(bool always) {
    TNamespaceItem* target = GetTargetItem();
    if (!always && target == m_told) return;
    m_told = target;
    if (IsBeingDestroyed()) return;
    if (auto* owner = dynamic_cast<ITypeFieldOwner*>(ParentElement())) owner->TypeFieldChanged(this);
}

void TWatchedTypeField::NamespaceNotify(int code, TNamespaceItem* item, intptr_t argument) {
    const bool wasTarget = item && item == GetTargetItem();
    TTypeReferenceField::NamespaceNotify(code, item, argument);
    TellOwner(wasTarget && (code == nnItemChanged || code == nnImageChanged));
}

void TWatchedTypeField::TextChanged() {
    TTypeReferenceField::TextChanged();
    TellOwner(false);
}

void TWatchedTypeField::AfterLoad(TSchemeLoader* loader, intptr_t datum) {
    TTypeReferenceField::AfterLoad(loader, datum);
    TellOwner(false);
}

void TWatchedTypeField::UndoDependent(TKnot* snapshot) {
    TTypeReferenceField::UndoDependent(snapshot);
    TellOwner(false);
}

QString TypeFieldName(TTypeReferenceField* field) {
    if (!field) return QString();
    if (TNamespaceItem* target = field->GetTargetItem()) return target->GetName();
    return field->GetText();
}

QString FieldNameFromType(const QString& typeName, TElement* container) {
    if (typeName.isEmpty()) return QString();
    const QString types = ProgramPrefix(&TProgramSettings::TypesPrefix);
    const QString stem = HasTypesPrefix(typeName) ? typeName.mid(types.size()) : typeName;
    return FieldPrefixIn(container) + CapitalizeFirst(stem);
}

// ---------------------------------------------------------------------------
// TCustomField

void TCustomField::Create() {
    TprNamedElement::Create();
    m_type = static_cast<TFieldTypeField*>(
        TVisualElement::CreateSubElement(TFieldTypeField::StaticClass(), this, nullptr, this));
    m_type->SetOptions(m_type->Options() | eoRequired);
    m_members = static_cast<TMembersByTypeConnection*>(
        TElement::CreateSubElement(GetMembersConnectionClass(), this, m_type));
}

const TElementClass* TCustomField::GetMembersConnectionClass() { return TMembersByTypeConnection::StaticClass(); }

void TCustomField::BeforeDestruction() {
    if (m_members) m_members->SetOwner(nullptr);
    TprNamedElement::BeforeDestruction();
    m_type = nullptr;
    m_members = nullptr;
}

void TCustomField::TypeFieldChanged(TWatchedTypeField* field) {
    if (field == m_type) TypeChanged();
}

void TCustomField::TypeChanged() {
    if (!m_members || IsBeingDestroyed()) return;
    const bool shown = ShowsTypeMembers() && !IsEffectivelyDisabled() && m_type;
    m_members->SetTypeItem(shown ? m_type->ResolvedTarget() : nullptr);
    if (NameField() && NameField()->Item()) NameField()->Item()->NotifyChanged();
}

bool TCustomField::GetDeclaredValueType(TNamespaceItem*, TTypeDescriptor& descriptor) {
    GetTypeDescriptor(m_type ? m_type->GetTargetItem() : nullptr, descriptor);
    return true;
}

void TCustomField::NameFieldChanged() {
    TprNamedElement::NameFieldChanged();
    if (m_members && NameField()) m_members->SetMembersPrefix(NameField()->GetNameText());
}

void TCustomField::DeclaredVisibilityChanged() {
    TprNamedElement::DeclaredVisibilityChanged();
    if (m_members) m_members->SetPrivate(Visibility() == TVisibility::Private ? 1 : 0);
}

void TCustomField::EffectiveDisabledChanged() {
    TprNamedElement::EffectiveDisabledChanged();
    TypeChanged();
}

void TCustomField::TreePlacementChanged() {
    TprNamedElement::TreePlacementChanged();
    if (IsBeingDestroyed() || !m_members) return;
    // The members are seen where the field's own name is declared.
    m_members->SetOwner(FindOwnerNamespace(this));
}

void TCustomField::GetChildName(TElement* child, TSchemeFiler* filer, QString& name) {
    if (child && child == m_type)
        name = kTypeChild;
    else if (child && child == m_members)
        name = kMembersChild;
    else
        TprNamedElement::GetChildName(child, filer, name);
}

// ---------------------------------------------------------------------------
// TCustomFieldWithArrayTypeSupport

void TCustomFieldWithArrayTypeSupport::Create() {
    TCustomField::Create();
    m_parameters = TElement::CreateSubElement<TNamespace>(this, TypeField());
    m_index = TElement::CreateSubElement<TFieldElementParameterIndex>(m_parameters);
    m_index->SetNameOptions(m_index->NameOptions() & ~noRegister);
}

void TCustomFieldWithArrayTypeSupport::BeforeDestruction() {
    TCustomField::BeforeDestruction();
    m_parameters = nullptr;
    m_index = nullptr;
}

bool TCustomFieldWithArrayTypeSupport::IsIndexable() const {
    TNamespaceItem* type = TypeField() ? TypeField()->ResolvedTarget() : nullptr;
    TElement* element = type ? type->GetElement() : nullptr;
    return DeclarationKindOf(element) == TDeclarationKind::Array || IsStandardStr(element);
}

void TCustomFieldWithArrayTypeSupport::TypeChanged() {
    TCustomField::TypeChanged();
    if (!m_index || IsBeingDestroyed()) return;
    const uint8_t options = m_index->NameOptions();
    m_index->SetNameOptions(IsIndexable() ? uint8_t(options | noRegister) : uint8_t(options & ~noRegister));
}

void TCustomFieldWithArrayTypeSupport::GetChildName(TElement* child, TSchemeFiler* filer, QString& name) {
    if (child && child == m_parameters)
        name = kParametersChild;
    else if (child && child == m_index)
        name = kParameterIndexChild;
    else
        TCustomField::GetChildName(child, filer, name);
}

// ---------------------------------------------------------------------------
// TCustomFieldWithValue

void TCustomFieldWithValue::Create() {
    TCustomFieldWithArrayTypeSupport::Create();
    m_value = static_cast<TExpressionField*>(
        TVisualElement::CreateSubElement(TExpressionField::StaticClass(), this, nullptr, this));
    m_value->SetVisualOptions(m_value->VisualOptions() | kValueVisualOptions);
    m_value->SetTextorOptions(m_value->TextorOptions() | kValueTextorOptions);
}

void TCustomFieldWithValue::BeforeDestruction() {
    TCustomFieldWithArrayTypeSupport::BeforeDestruction();
    m_value = nullptr;
}

void TCustomFieldWithValue::SetAccessToPrivateMembers(bool value) {
    if (value == m_access) return;
    m_access = value;
    if (TMembersByTypeConnection* members = MembersConnection()) {
        const uint8_t filter = members->Filter();
        members->SetFilter(value ? uint8_t(filter & ~ncfPublicOnly) : uint8_t(filter | ncfPublicOnly));
    }
    UpdateTitleLayout();
    NotifyEditStateChanged();
}

void TCustomFieldWithValue::GetItemReferences(TNameField* field, std::vector<TReference*>& list) {
    TCustomFieldWithArrayTypeSupport::GetItemReferences(field, list);
    if (!field || field != NameField() || !m_value || !m_value->IsFilled()) return;
    for (TNode* node : PreOrder<TNode>(m_value))
        if (auto* reference = dynamic_cast<TCustomReferenceElement*>(node)) list.push_back(reference->Link());
}

bool TCustomFieldWithValue::HandleChildMessage(TElement* child, int msg, intptr_t p1, intptr_t p2) {
    if (msg == nmGetExpectedType && child && child == m_value) {
        GetTypeDescriptor(TypeField() ? TypeField()->GetTargetItem() : nullptr, *reinterpret_cast<TTypeDescriptor*>(p1));
        return true;
    }
    return TCustomFieldWithArrayTypeSupport::HandleChildMessage(child, msg, p1, p2);
}

void TCustomFieldWithValue::TreePlacementChanged() {
    TCustomFieldWithArrayTypeSupport::TreePlacementChanged();
    if (IsBeingDestroyed() || !m_value) return;
    const TScopeKind scope = ScopeKindOf(GetDeclarationContainer(this));
    const bool noVariables = scope == TScopeKind::Object || scope == TScopeKind::Record;
    const uint16_t flags = m_value->AcceptFlags();
    m_value->SetAcceptFlags(noVariables ? uint16_t(flags | afNoVariables) : uint16_t(flags & ~afNoVariables));
}

void TCustomFieldWithValue::GetPaletteItems(QList<TPaletteItem*>& list) {
    TCustomFieldWithArrayTypeSupport::GetPaletteItems(list);
    if (!g_fieldUnit) return;
    list.append(g_fieldUnit->initialValue);
    list.append(g_fieldUnit->access);
}

void TCustomFieldWithValue::UpdatePaletteItemState(TPaletteItem* item, TPaletteItemState& state) {
    if (g_fieldUnit && item == g_fieldUnit->initialValue) {
        state.Enabled = m_value != nullptr;
        return;
    }
    if (g_fieldUnit && item == g_fieldUnit->access) {
        state.Enabled = true;
        state.Checked = m_access;
        return;
    }
    TCustomFieldWithArrayTypeSupport::UpdatePaletteItemState(item, state);
}

bool TCustomFieldWithValue::ApplyPaletteItem(TPaletteItem* item, const QString& subCommand, bool checked) {
    if (g_fieldUnit && item == g_fieldUnit->initialValue) {
        if (!m_value) return true;
        SetExpanded(true);
        m_value->FocusText(TTextFocusPlace::Start);
        m_value->SelectAll();
        return true;
    }
    if (g_fieldUnit && item == g_fieldUnit->access) {
        if (checked != m_access)
            TSchemeOperation::Execute(MakeNode<TFieldAccessToPrivateMembersOperation>(this, checked));
        return true;
    }
    return TCustomFieldWithArrayTypeSupport::ApplyPaletteItem(item, subCommand, checked);
}

void TCustomFieldWithValue::GetChildName(TElement* child, TSchemeFiler* filer, QString& name) {
    if (child && child == m_value)
        name = kFieldValueChild;
    else
        TCustomFieldWithArrayTypeSupport::GetChildName(child, filer, name);
}

void TCustomFieldWithValue::SaveTo(TSchemeSaver* saver, TKnot* knot) {
    TCustomFieldWithArrayTypeSupport::SaveTo(saver, knot);
    WriteOptionFlag(knot, kAccessAttribute, m_access);
}

void TCustomFieldWithValue::LoadFrom(TSchemeLoader* loader, TKnot* knot) {
    TCustomFieldWithArrayTypeSupport::LoadFrom(loader, knot);
    SetAccessToPrivateMembers(ReadOptionFlag(knot, kAccessAttribute));
}

// ---------------------------------------------------------------------------
// TFieldNameField and TElement_Field

void TFieldNameField::Create() {
    TIdentifierNameField::Create();
    SetNameOptions(NameOptions() | noAutoname);
}

void TFieldNameField::TextChanged() {
    TIdentifierNameField::TextChanged();
    if (TNamedElement* owner = Owner()) owner->NameFieldChanged();
}

bool TFieldNameField::CanAutoName() {
    auto* field = dynamic_cast<TCustomField*>(ParentElement());
    return field && field->TypeField() && field->TypeField()->IsFilled();
}

QString TFieldNameField::GetAutoName() {
    auto* field = dynamic_cast<TCustomField*>(ParentElement());
    if (!field || !CanAutoName()) return QString();
    return FieldNameFromType(TypeFieldName(field->TypeField()), GetDeclarationContainer(field));
}

void TElement_Field::Create() {
    TCustomFieldWithValue::Create();
    CreateDescriptionField();
    if (NameField() && g_fieldUnit) NameField()->SetImageIndex(g_fieldUnit->charImages.Picture(0));
}

const TElementClass* TElement_Field::GetNameFieldClass() { return TFieldNameField::StaticClass(); }

TVisibilityMode TElement_Field::GetVisibilityMode() {
    switch (ScopeKindOf(GetDeclarationContainer(this))) {
    case TScopeKind::CommandsContainer:
    case TScopeKind::Record:
        return TVisibilityMode::Public;
    case TScopeKind::Object:
        return TVisibilityMode::FixedPrivate;
    case TScopeKind::ProgramRoot:
        return TVisibilityMode::ChoosablePrivate;
    case TScopeKind::None:
        break;
    }
    return TCustomFieldWithValue::GetVisibilityMode();
}

void TElement_Field::GetDefaultName(QString& stem, bool& numberFirst) {
    TCustomFieldWithValue::GetDefaultName(stem, numberFirst);
    stem = FieldPrefixIn(GetDeclarationContainer(this)) + stem;
}

void TElement_Field::InitNew(TPaletteItem* item) {
    TCustomFieldWithValue::InitNew(item);
    if (TypeField()) TypeField()->SetText(StandardTypeName::Int);
}

void TElement_Field::WriteTitle(TTitleWriter& writer) {
    TCustomFieldWithValue::WriteTitle(writer);
    if (NameField()) writer.AddField(NameField());
    writer.AddText(QStringLiteral(":"));
    if (TypeField()) writer.AddField(TypeField());
    if (ValueField() && (ValueField()->IsFilled() || ValueField()->IsEdited())) {
        writer.AddImage(kLetLargePicture);
        writer.AddField(ValueField());
    }
    if (AccessToPrivateMembers() && g_fieldUnit) writer.AddImage(g_fieldUnit->smallImages.Picture(0));
}

void TElement_Field::GetChildHint(TElement* child, QString& text) {
    if (child && child == TypeField())
        text = LoadStr(strFieldType);
    else if (child && child == ValueField())
        text = LoadStr(strInitialFieldValue);
    else
        TCustomFieldWithValue::GetChildHint(child, text);
}

// ---------------------------------------------------------------------------
// TFieldAccessToPrivateMembersOperation

TFieldAccessToPrivateMembersOperation::TFieldAccessToPrivateMembersOperation(TCustomFieldWithValue* element,
                                                                             bool value)
    : TElementOperation(element, true), m_newValue(value) {}

void TFieldAccessToPrivateMembersOperation::DoOnElement(TElement* element) {
    TElementOperation::DoOnElement(element);
    auto* field = dynamic_cast<TCustomFieldWithValue*>(element);
    if (!field) return;
    m_oldValue = field->AccessToPrivateMembers();
    field->SetAccessToPrivateMembers(m_newValue);
}

void TFieldAccessToPrivateMembersOperation::UndoOnElement(TElement* element) {
    TElementOperation::UndoOnElement(element);
    if (auto* field = dynamic_cast<TCustomFieldWithValue*>(element)) field->SetAccessToPrivateMembers(m_oldValue);
}

// ---------------------------------------------------------------------------
// The unit

TPaletteItem* FieldPaletteItem() noexcept { return g_fieldUnit ? g_fieldUnit->fieldItem : nullptr; }
TPaletteItem* FieldInitialValuePaletteItem() noexcept { return g_fieldUnit ? g_fieldUnit->initialValue : nullptr; }
TPaletteItem* FieldAccessPaletteItem() noexcept { return g_fieldUnit ? g_fieldUnit->access : nullptr; }
int FieldNamePicture() noexcept { return g_fieldUnit ? g_fieldUnit->charImages.Picture(0) : NoImageIndex; }

void InitFieldElementsUnit() {
    if (g_fieldUnit) return;
    auto unit = std::make_unique<TFieldUnit>();
    unit->charImages = TImageStrip::Load(SchemeCharImages(), QStringLiteral("prFieldElementsCharImages"));
    unit->smallImages = TImageStrip::Load(SchemeSmallImages(), QStringLiteral("prFieldElementsSmallImages"));
    unit->largeImages = TImageStrip::Load(SchemeLargeImages(), QStringLiteral("prFieldElementsLargeImages"));
    SetImplicitIdentifierImage(unit->charImages.Picture(0));

    const TElementClass* field = TElement_Field::StaticClass();
    AddItemOnce(ClassMemberElementClasses(), field);
    AddItemOnce(ModuleElementClasses(), field);
    AddItemOnce(CommandElementClasses(), field);
    if (Palette()) {
        TElementPaletteItem* item = TElementPaletteItem::Create(
            PaletteInsertGroup(), pifLargeImage, unit->largeImages.Picture(0), strField, strFieldHint, 800, field);
        item->SetLetter(QStringLiteral("E"));
        unit->fieldItem = item;
        unit->initialValue = TSchemePaletteItem::Create(PaletteActionsGroup(), kInitialValueFlags, kLetLargePicture,
                                                        strInitialValue, strInitialValueHint, 1100);
        unit->access = TSchemePaletteItem::Create(PaletteStateGroup(), kAccessFlags, unit->largeImages.Picture(1), strAccess,
                                                  strAccessHint, 1050);
    }
    g_fieldUnit = std::move(unit);
}

void FinalFieldElementsUnit() {
    SetImplicitIdentifierImage(NoImageIndex);
    g_fieldUnit.reset();
}
