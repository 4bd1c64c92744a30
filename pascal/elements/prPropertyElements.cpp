#include "pascal/elements/prPropertyElements.h"

#include "core/cuKnot.h"
#include "core/cuLocalization.h"
#include "core/cuStringIds.h"
#include "core/cuUndoRedo.h"
#include "elements/coRoot.h"
#include "pascal/elements/prClassElements.h"
#include "pascal/elements/prClassMemberElements.h"
#include "pascal/elements/prCommandElements.h"
#include "scheme/diNaming.h"
#include "scheme/diPalette.h"
#include "scheme/diThemes.h"
#include "scheme/diUtils.h"

#include <memory>

T_ELEMENT_CLASS_IMPL_ABSTRACT(TCustomPropertyElement, TCustomField)
T_ELEMENT_CLASS_IMPL_ABSTRACT(TCustomFullPropertyElement, TCustomPropertyElement)
T_ELEMENT_CLASS_IMPL(TElement_Property, TCustomFullPropertyElement)
T_ELEMENT_CLASS_IMPL(TPropertyFieldNameField, TIdentifierNameField)
T_ELEMENT_CLASS_IMPL(TPropertyNameField, TIdentifierNameField)
T_ELEMENT_CLASS_IMPL(TPropertyWithFieldNameField, TPropertyNameField)
T_ELEMENT_CLASS_IMPL_ABSTRACT(TCustomPropertyWithField, TCustomPropertyElement)
T_ELEMENT_CLASS_IMPL(TElement_PropertyWithField, TCustomPropertyWithField)
T_ELEMENT_CLASS_IMPL(TPropertyWithSubObjectNameField, TPropertyWithFieldNameField)
T_ELEMENT_CLASS_IMPL(TElement_PropertyWithSubObject, TCustomPropertyWithField)
T_ELEMENT_CLASS_IMPL(TElement_PropertyArray, TCustomFullPropertyElement)
T_CLASS_IMPL_ABSTRACT(TPropertyForInstanceOperation, TMethodOptionOperation)
T_CLASS_IMPL_ABSTRACT(TPropertyWithSubObjectLazyOperation, TMethodOptionOperation)

namespace {

const QString kPropWriteChild = QStringLiteral("ContentWrite");
const QString kPropWriteValueChild = QStringLiteral("ContentWriteValue");
const QString kPropReadChild = QStringLiteral("ContentRead");
const QString kPropParametersChild = QStringLiteral("Parameters");
const QString kPropFieldNameChild = QStringLiteral("FieldName");
const QString kPropFieldMembersChild = QStringLiteral("FieldMembersByTypeConnection");
const QString kPropInitChild = QStringLiteral("ContentInit");
const QString kPropCountNameChild = QStringLiteral("CountName");
const QString kPropReadCountChild = QStringLiteral("ContentReadCount");
const QString kPropWriteCountChild = QStringLiteral("ContentWriteCount");
const QString kPropReadIndexChild = QStringLiteral("ContentReadIndex");
const QString kPropWriteIndexChild = QStringLiteral("ContentWriteIndex");
const QString kPropWriteCountValueChild = QStringLiteral("ContentWriteCountValue");
const QString kPropClassPropertyAttribute = QStringLiteral("ClassProperty");
const QString kPropLazyAttribute = QStringLiteral("Lazy");
const QString kPropPropertyStem = QStringLiteral("Property");
const QString kPropItemsStem = QStringLiteral("Items");
const QString kPropCountStem = QStringLiteral("Count");
const QString kPropValueName = QStringLiteral("AValue");

// Pictures of "prPropertyElementsCharImages" (P), "...SmallImages" (S) and "...LargeImages" (L).
enum : int {
    kPropCharProperty = 1,
    kPropCharArrayProperty = 2,
    kPropSmallProperty = 0,
    kPropSmallLazy = 1,
    kPropSmallArrayProperty = 2,
    kPropLargeAddParameters = 0,
    kPropLargePropertyWithField = 1,
};

// The commands: actions on one element at a time, options toggled.
constexpr uint16_t kPropActionFlags = pifLargeImage | pifChangesElement | pifNotForCombined;
constexpr uint16_t kPropLazyFlags = pifLargeImage | pifChangesElement | pifToggle;
constexpr int kPropAddSetterOrder = 1100;
constexpr int kPropAddCountSetterOrder = 1050;
constexpr int kPropAddParametersOrder = 1000;
constexpr int kPropLazyOrder = 5;

struct TPropertyUnit {
    TImageStrip charImages;
    TImageStrip smallImages;
    TImageStrip largeImages;
    TElementItems items;
    TSchemePaletteItem* addSetter = nullptr;
    TSchemePaletteItem* addCountSetter = nullptr;
    TSchemePaletteItem* addParameters = nullptr;
    TSchemePaletteItem* lazy = nullptr;
};
std::unique_ptr<TPropertyUnit> g_propertyUnit;

int PropertyChar(int index) { return g_propertyUnit ? g_propertyUnit->charImages.Picture(index) : NoImageIndex; }
int PropertySmall(int index) { return g_propertyUnit ? g_propertyUnit->smallImages.Picture(index) : NoImageIndex; }

bool PropIsItem(TPaletteItem* item, TSchemePaletteItem* TPropertyUnit::*member) {
    return item && g_propertyUnit && item == g_propertyUnit.get()->*member;
}

void PropAddItem(QList<TPaletteItem*>& list, TSchemePaletteItem* TPropertyUnit::*member) {
    if (g_propertyUnit && g_propertyUnit.get()->*member && !list.contains(g_propertyUnit.get()->*member))
        list << g_propertyUnit.get()->*member;
}

// An implicit identifier of cls registered in section's namespace.
template <class T>
T* PropMakeImplicit(TCommandsContainer* section) {
    return section ? TElement::CreateSubElement<T>(section->Namespace()) : nullptr;
}

void PropSetStandardType(TCustomFieldElement* element, const QString& name) {
    if (!element) return;
    TTypeDescriptor descriptor;
    GetStandardTypeDescriptor(name, descriptor);
    element->SetTypeItem(descriptor.Item);
}

void PropAnnounceChange(TNameField* field) {
    if (field && field->Item()) field->Item()->NotifyChanged();
}

// Whether item (or the item it covers) is the field's own.
bool PropNamesItem(TNameField* field, TNamespaceItem* item) {
    return field && item && field->Item() && field->Item() == item->GetOriginal();
}

// Whether the element changes because a step of its scheme's history is undone or redone.
bool PropIsReplayed(TElement* element) {
    TUndoRedo* history = element->Scheme() ? element->Scheme()->UndoRedo() : nullptr;
    const TOperation* running = history ? history->GetCurrentOperation() : nullptr;
    return running && (running->State() == TOperation::osUndoing || running->State() == TOperation::osRedoing);
}

}  // namespace

// ---------------------------------------------------------------------------
// TCustomPropertyElement

void TCustomPropertyElement::Create() {
    TCustomField::Create();
    CreateDescriptionField();
    m_write = CreateWriteSection();
    m_writeValue = PropMakeImplicit<TFieldElementParameterValue>(m_write);
    SetNamePicture(kPropCharProperty);
}

void TCustomPropertyElement::BeforeDestruction() {
    TCustomField::BeforeDestruction();
    m_write = nullptr;
    m_writeValue = nullptr;
    m_sections.clear();
}

TCommandsContainer* TCustomPropertyElement::MakeSection(const TElementClass* cls, TElement* before,
                                                        bool hiddenWhileEmpty) {
    auto* section = static_cast<TCommandsContainer*>(TVisualElement::CreateSubElement(cls, this, before, this));
    if (hiddenWhileEmpty) section->SetVisualOptions(section->VisualOptions() | voHiddenWhileEmpty);
    m_sections.append(section);
    return section;
}

TCommandsContainer* TCustomPropertyElement::CreateWriteSection() {
    return MakeSection(TCommandsContainer::StaticClass(), nullptr, true);
}

void TCustomPropertyElement::SetNamePicture(int index) {
    if (NameField()) NameField()->SetImageIndex(PropertyChar(index));
}

const TElementClass* TCustomPropertyElement::GetNameFieldClass() { return TPropertyNameField::StaticClass(); }

bool TCustomPropertyElement::HasSetter() const { return m_write && m_write->IsFilled(); }

void TCustomPropertyElement::GetDefaultName(QString& stem, bool&) { stem = kPropPropertyStem; }

bool TCustomPropertyElement::IsAssignableThrough(TNamespaceItem*) { return HasSetter(); }

void TCustomPropertyElement::TypeChanged() {
    TCustomField::TypeChanged();
    if (m_writeValue && !IsBeingDestroyed())
        m_writeValue->SetTypeItem(TypeField() ? TypeField()->GetTargetItem() : nullptr);
}

TNamespace* TCustomPropertyElement::SectionsScope() { return FindOwnerNamespace(this); }

void TCustomPropertyElement::TreePlacementChanged() {
    TCustomField::TreePlacementChanged();
    if (IsBeingDestroyed()) return;
    TNamespace* scope = SectionsScope();
    for (TCommandsContainer* section : m_sections)
        if (section->Connection()) section->Connection()->SetTarget(scope);
}

bool TCustomPropertyElement::IsSectionShown(TCommandsContainer* section) {
    return section && (section->IsFilled() || section->IsEdited());
}

void TCustomPropertyElement::SectionFilledChanged(TCommandsContainer* section) {
    if (section == m_write) PropAnnounceChange(NameField());
}

bool TCustomPropertyElement::HandleChildMessage(TElement* child, int msg, intptr_t p1, intptr_t p2) {
    const bool handled = TCustomField::HandleChildMessage(child, msg, p1, p2);
    if (msg == nmFilledChanged && !IsBeingDestroyed())
        if (auto* section = dynamic_cast<TCommandsContainer*>(child); section && m_sections.contains(section))
            SectionFilledChanged(section);
    return handled;
}

void TCustomPropertyElement::GetChildName(TElement* child, TSchemeFiler* filer, QString& name) {
    if (child && child == m_write)
        name = kPropWriteChild;
    else if (child && child == m_writeValue)
        name = kPropWriteValueChild;
    else
        TCustomField::GetChildName(child, filer, name);
}

void TCustomPropertyElement::GetChildHint(TElement* child, QString& text) {
    if (child && child == TypeField())
        text = LoadStr(strPropertyType);
    else
        TCustomField::GetChildHint(child, text);
}

bool TCustomPropertyElement::OpenSection(TCommandsContainer* section) {
    const bool empty = !section->IsFilled();
    SetExpanded(true);
    section->FocusText(TTextFocusPlace::Start);
    UpdateTitleLayout();
    if (!empty) section->SelectAll();
    return empty;
}

void TCustomPropertyElement::WriteSection(TTitleWriter& writer, int caption, TCommandsContainer* section) {
    writer.NewLine();
    writer.AddText(LoadStr(caption));
    writer.NewLine();
    if (section) writer.AddBlock(section);
}

void TCustomPropertyElement::GetPaletteItems(QList<TPaletteItem*>& list) {
    TCustomField::GetPaletteItems(list);
    if (m_write) PropAddItem(list, &TPropertyUnit::addSetter);
}

void TCustomPropertyElement::UpdatePaletteItemState(TPaletteItem* item, TPaletteItemState& state) {
    if (PropIsItem(item, &TPropertyUnit::addSetter)) {
        state.Enabled = m_write != nullptr;
        return;
    }
    TCustomField::UpdatePaletteItemState(item, state);
}

bool TCustomPropertyElement::ApplyPaletteItem(TPaletteItem* item, const QString& subCommand, bool checked) {
    if (PropIsItem(item, &TPropertyUnit::addSetter)) {
        if (m_write && OpenSection(m_write)) SetterOpened();
        return true;
    }
    return TCustomField::ApplyPaletteItem(item, subCommand, checked);
}

// ---------------------------------------------------------------------------
// TCustomFullPropertyElement

void TCustomFullPropertyElement::Create() {
    TCustomPropertyElement::Create();
    m_read = static_cast<TCommandsContainerWithResult*>(
        MakeSection(TCommandsContainerWithResult::StaticClass(), WriteSection(), false));
    m_read->SetOptions(m_read->Options() | eoRequired);
    // The getter's sections come first in the title.
    m_sections.removeOne(m_read);
    m_sections.prepend(m_read);
    if (TFieldElementResult* result = m_read->Result()) result->SetNameOptions(result->NameOptions() | noRegister);
}

void TCustomFullPropertyElement::BeforeDestruction() {
    TCustomPropertyElement::BeforeDestruction();
    m_read = nullptr;
}

bool TCustomFullPropertyElement::GetForInstance() {
    if (m_forInstance) return true;
    IMethodsOwner* owner = FindMethodsOwner(this);
    return !owner || !owner->AllowsClassMethods();
}

void TCustomFullPropertyElement::SetForInstance(bool value) {
    if (value == m_forInstance) return;
    m_forInstance = value;
    UpdateTitleLayout();
    NotifyEditStateChanged();
    PropAnnounceChange(NameField());
}

void TCustomFullPropertyElement::TypeChanged() {
    TCustomPropertyElement::TypeChanged();
    if (!m_read || IsBeingDestroyed()) return;
    if (TFieldElementResult* result = m_read->Result())
        result->SetTypeItem(TypeField() ? TypeField()->GetTargetItem() : nullptr);
}

void TCustomFullPropertyElement::InitNew(TPaletteItem* item) {
    TCustomPropertyElement::InitNew(item);
    if (TypeField()) TypeField()->SetText(StandardTypeName::Int);
    if (m_read) m_read->AddElementOfClass(TElement_Return::StaticClass());
    if (!WriteSection()) return;
    if (auto* let = dynamic_cast<TElement_Let*>(WriteSection()->AddElementOfClass(TElement_Let::StaticClass())))
        if (let->RightSide()) let->RightSide()->SetText(kPropValueName);
}

void TCustomFullPropertyElement::GetChildName(TElement* child, TSchemeFiler* filer, QString& name) {
    if (child && child == m_read)
        name = kPropReadChild;
    else
        TCustomPropertyElement::GetChildName(child, filer, name);
}

void TCustomFullPropertyElement::GetPaletteItems(QList<TPaletteItem*>& list) {
    TCustomPropertyElement::GetPaletteItems(list);
    IMethodsOwner* owner = FindMethodsOwner(this);
    TSchemePaletteItem* withoutInstance = WithoutInstancePaletteItem();
    if (owner && owner->AllowsClassMethods() && withoutInstance && !list.contains(withoutInstance))
        list << withoutInstance;
}

void TCustomFullPropertyElement::UpdatePaletteItemState(TPaletteItem* item, TPaletteItemState& state) {
    if (item && item == WithoutInstancePaletteItem()) {
        state.Enabled = true;
        state.Checked = !GetForInstance();
        return;
    }
    TCustomPropertyElement::UpdatePaletteItemState(item, state);
}

bool TCustomFullPropertyElement::ApplyPaletteItem(TPaletteItem* item, const QString& subCommand, bool checked) {
    if (item && item == WithoutInstancePaletteItem()) {
        if (checked == m_forInstance)
            TSchemeOperation::Execute(MakeNode<TPropertyForInstanceOperation>(this, int(!checked)));
        return true;
    }
    return TCustomPropertyElement::ApplyPaletteItem(item, subCommand, checked);
}

void TCustomFullPropertyElement::SaveTo(TSchemeSaver* saver, TKnot* knot) {
    TCustomPropertyElement::SaveTo(saver, knot);
    WriteOptionFlag(knot, kPropClassPropertyAttribute, !m_forInstance);
}

void TCustomFullPropertyElement::LoadFrom(TSchemeLoader* loader, TKnot* knot) {
    TCustomPropertyElement::LoadFrom(loader, knot);
    SetForInstance(!ReadOptionFlag(knot, kPropClassPropertyAttribute));
}

// ---------------------------------------------------------------------------
// TElement_Property

void TElement_Property::Create() {
    TCustomFullPropertyElement::Create();
    CreateExpandButton(true);
    m_parameters = static_cast<TParametersContainer*>(
        TVisualElement::CreateSubElement(TParametersContainer::StaticClass(), this, TypeField(), this));
    m_parameters->SetVisualOptions(m_parameters->VisualOptions() | voHiddenWhileEmpty);
}

void TElement_Property::BeforeDestruction() {
    TCustomFullPropertyElement::BeforeDestruction();
    m_parameters = nullptr;
}

TNamespace* TElement_Property::SectionsScope() {
    return m_parameters ? m_parameters->Namespace() : TCustomFullPropertyElement::SectionsScope();
}

TNamespace* TElement_Property::GetCallParameters(TNamespaceItem* item) {
    return m_parameters && PropNamesItem(NameField(), item) ? m_parameters->Namespace()
                                                                                        : nullptr;
}

void TElement_Property::WriteTitle(TTitleWriter& writer) {
    TCustomFullPropertyElement::WriteTitle(writer);
    if (NameField()) writer.AddField(NameField());
    if (m_parameters && m_parameters->IsShown()) {
        writer.AddText(QStringLiteral("("));
        writer.AddField(m_parameters);
        writer.AddText(QStringLiteral(")"));
    }
    writer.AddText(QStringLiteral(":"));
    if (TypeField()) writer.AddField(TypeField());
    if (!GetForInstance()) writer.AddImage(WithoutInstanceTitlePicture());
    if (!IsExpanded()) return;
    WriteSection(writer, strGetTitle, ReadSection());
    if (IsSectionShown(WriteSection())) WriteSection(writer, strSetTitle, WriteSection());
}

void TElement_Property::GetChildName(TElement* child, TSchemeFiler* filer, QString& name) {
    if (child && child == m_parameters)
        name = kPropParametersChild;
    else
        TCustomFullPropertyElement::GetChildName(child, filer, name);
}

void TElement_Property::GetChildHint(TElement* child, QString& text) {
    if (child && child == m_parameters)
        text = LoadStr(strPropertyParametersHint);
    else
        TCustomFullPropertyElement::GetChildHint(child, text);
}

void TElement_Property::GetPaletteItems(QList<TPaletteItem*>& list) {
    TCustomFullPropertyElement::GetPaletteItems(list);
    PropAddItem(list, &TPropertyUnit::addParameters);
    if (ParameterPaletteItem() && !list.contains(ParameterPaletteItem())) list << ParameterPaletteItem();
}

void TElement_Property::UpdatePaletteItemState(TPaletteItem* item, TPaletteItemState& state) {
    if (PropIsItem(item, &TPropertyUnit::addParameters)) {
        state.Enabled = m_parameters != nullptr;
        return;
    }
    TCustomFullPropertyElement::UpdatePaletteItemState(item, state);
}

bool TElement_Property::ApplyPaletteItem(TPaletteItem* item, const QString& subCommand, bool checked) {
    if (PropIsItem(item, &TPropertyUnit::addParameters)) {
        if (!m_parameters) return true;
        m_parameters->FocusText(TTextFocusPlace::Start);
        UpdateTitleLayout();
        m_parameters->SelectAll();
        return true;
    }
    if (item && item == ParameterPaletteItem() && m_parameters) {
        m_parameters->AddParameter(item);
        return true;
    }
    return TCustomFullPropertyElement::ApplyPaletteItem(item, subCommand, checked);
}

// ---------------------------------------------------------------------------
// Name fields of properties with a field

void TPropertyFieldNameField::Create() {
    TIdentifierNameField::Create();
    SetNameOptions(NameOptions() | noAutoname);
    SetImageIndex(FieldNamePicture());
}

bool TPropertyFieldNameField::CanAutoName() {
    auto* property = dynamic_cast<TCustomPropertyWithField*>(ParentElement());
    return property && property->NameField() && property->NameField()->IsFilled();
}

QString TPropertyFieldNameField::GetAutoName() {
    if (!CanAutoName()) return QString();
    auto* property = static_cast<TCustomPropertyWithField*>(ParentElement());
    return TCustomPropertyWithField::FieldNameFor(property->NameField()->GetNameText());
}

int TPropertyFieldNameField::GetVisibility() { return int(TVisibility::Private); }

int TPropertyFieldNameField::GetThemeKind() const { return tekNamePrivate; }

void TPropertyFieldNameField::TextChanged() {
    TIdentifierNameField::TextChanged();
    if (TNamedElement* owner = Owner(); owner && !IsBeingDestroyed()) owner->NameFieldChanged();
}

void TPropertyNameField::TextChanged() {
    TIdentifierNameField::TextChanged();
    if (TNamedElement* owner = Owner(); owner && !IsBeingDestroyed()) owner->NameFieldChanged();
}

void TPropertyWithFieldNameField::TextChanged() {
    // The first change of an edit: the name as it was before it.
    if (!IsEditing()) m_nameBeforeEdit = m_lastName;
    m_lastName = GetNameText();
    // A step undone or redone is no edit of the user's.
    if (PropIsReplayed(this)) m_nameBeforeEdit = m_lastName;
    TPropertyNameField::TextChanged();
}

void TPropertyWithFieldNameField::FinishEditing() {
    const QString before = m_nameBeforeEdit;
    m_nameBeforeEdit = m_lastName;
    TPropertyNameField::FinishEditing();
    if (before == m_lastName || IsBeingDestroyed()) return;
    if (auto* property = dynamic_cast<TCustomPropertyWithField*>(ParentElement())) property->NameEdited(before);
}

void TPropertyWithSubObjectNameField::Create() {
    TPropertyWithFieldNameField::Create();
    SetNameOptions(NameOptions() | noAutoname);
}

bool TPropertyWithSubObjectNameField::CanAutoName() {
    auto* property = dynamic_cast<TCustomField*>(ParentElement());
    return property && property->TypeField() && property->TypeField()->IsFilled();
}

QString TPropertyWithSubObjectNameField::GetAutoName() {
    if (!CanAutoName()) return QString();
    const QString type = TypeFieldName(static_cast<TCustomField*>(ParentElement())->TypeField());
    return HasTypesPrefix(type) ? type.mid(ProgramPrefix(&TProgramSettings::TypesPrefix).size()) : type;
}

// ---------------------------------------------------------------------------
// TCustomPropertyWithField

void TCustomPropertyWithField::Create() {
    TCustomPropertyElement::Create();
    m_fieldName = static_cast<TPropertyFieldNameField*>(
        TVisualElement::CreateSubElement(TPropertyFieldNameField::StaticClass(), this, TypeField(), this));
    m_fieldMembers = static_cast<TMembersByTypeConnection*>(
        TElement::CreateSubElement(GetMembersConnectionClass(), this, TypeField()));
    // The type's members under the field's name are private to the object.
    m_fieldMembers->SetPrivate(1);
}

void TCustomPropertyWithField::BeforeDestruction() {
    if (m_fieldMembers) m_fieldMembers->SetOwner(nullptr);
    TCustomPropertyElement::BeforeDestruction();
    m_fieldName = nullptr;
    m_fieldMembers = nullptr;
}

QString TCustomPropertyWithField::FieldNameFor(const QString& name) {
    return name.isEmpty() ? QString() : ProgramPrefix(&TProgramSettings::ObjectFieldsPrefix) + name;
}

const TElementClass* TCustomPropertyWithField::GetNameFieldClass() {
    return TPropertyWithFieldNameField::StaticClass();
}

void TCustomPropertyWithField::NameEdited(const QString& oldName) {
    if (!m_fieldName || !NameField() || m_fieldName->IsReadOnly()) return;
    const QString suggestion = FieldNameFor(NameField()->GetNameText());
    const QString current = m_fieldName->GetText();
    if (suggestion.isEmpty() || current == suggestion) return;
    // A name the user gave the field is kept.
    if (!current.isEmpty() && current != FieldNameFor(oldName)) return;
    m_fieldName->ReplaceText(suggestion);
}

TValueNameRole TCustomPropertyWithField::GetValueNameRole(TNamespaceItem* item) {
    return PropNamesItem(m_fieldName, item) ? TValueNameRole::FieldName : TValueNameRole::Main;
}

bool TCustomPropertyWithField::IsAssignableThrough(TNamespaceItem* item) {
    return PropNamesItem(m_fieldName, item) || TCustomPropertyElement::IsAssignableThrough(item);
}

void TCustomPropertyWithField::TypeChanged() {
    TCustomPropertyElement::TypeChanged();
    if (!m_fieldMembers || IsBeingDestroyed()) return;
    m_fieldMembers->SetTypeItem(IsEffectivelyDisabled() || !TypeField() ? nullptr : TypeField()->ResolvedTarget());
    PropAnnounceChange(m_fieldName);
}

void TCustomPropertyWithField::NameFieldChanged() {
    TCustomPropertyElement::NameFieldChanged();
    if (m_fieldMembers && m_fieldName) m_fieldMembers->SetMembersPrefix(m_fieldName->GetNameText());
}

void TCustomPropertyWithField::TreePlacementChanged() {
    TCustomPropertyElement::TreePlacementChanged();
    if (IsBeingDestroyed() || !m_fieldMembers) return;
    m_fieldMembers->SetOwner(FindOwnerNamespace(this));
}

void TCustomPropertyWithField::InitNew(TPaletteItem* item) {
    TCustomPropertyElement::InitNew(item);
    if (m_fieldName && NameField() && NameField()->IsFilled())
        m_fieldName->SetText(FieldNameFor(NameField()->GetNameText()));
}

void TCustomPropertyWithField::GetChildName(TElement* child, TSchemeFiler* filer, QString& name) {
    if (child && child == m_fieldName)
        name = kPropFieldNameChild;
    else if (child && child == m_fieldMembers)
        name = kPropFieldMembersChild;
    else
        TCustomPropertyElement::GetChildName(child, filer, name);
}

void TCustomPropertyWithField::GetChildHint(TElement* child, QString& text) {
    if (child && child == m_fieldName)
        text = LoadStr(strFieldNameDesirableThat);
    else
        TCustomPropertyElement::GetChildHint(child, text);
}

// ---------------------------------------------------------------------------
// TElement_PropertyWithField

void TElement_PropertyWithField::Create() {
    TCustomPropertyWithField::Create();
    CreateExpandButton(true);
}

void TElement_PropertyWithField::InitNew(TPaletteItem* item) {
    TCustomPropertyWithField::InitNew(item);
    if (TypeField()) TypeField()->SetText(StandardTypeName::Int);
    if (!WriteSection() || !FieldName() || !FieldName()->IsFilled()) return;
    auto* let = dynamic_cast<TElement_LetIfDifferent*>(
        WriteSection()->AddElementOfClass(TElement_LetIfDifferent::StaticClass()));
    if (!let) return;
    if (let->LeftSide()) let->LeftSide()->SetText(FieldName()->GetNameText());
    if (let->RightSide()) let->RightSide()->SetText(kPropValueName);
}

void TElement_PropertyWithField::WriteTitle(TTitleWriter& writer) {
    TCustomPropertyWithField::WriteTitle(writer);
    if (NameField()) writer.AddField(NameField());
    if (FieldName()) writer.AddField(FieldName());
    writer.AddText(QStringLiteral(":"));
    if (TypeField()) writer.AddField(TypeField());
    if (IsExpanded() && IsSectionShown(WriteSection())) WriteSection(writer, strSetTitle, WriteSection());
}

// ---------------------------------------------------------------------------
// TElement_PropertyWithSubObject

void TElement_PropertyWithSubObject::Create() {
    TCustomPropertyWithField::Create();
    CreateExpandButton(false);
    m_init = MakeSection(TCommandsContainer::StaticClass(), nullptr, false);
}

void TElement_PropertyWithSubObject::BeforeDestruction() {
    TCustomPropertyWithField::BeforeDestruction();
    m_init = nullptr;
}

const TElementClass* TElement_PropertyWithSubObject::GetNameFieldClass() {
    return TPropertyWithSubObjectNameField::StaticClass();
}

const TElementClass* TElement_PropertyWithSubObject::GetMembersConnectionClass() {
    return TSubObjectMembersByTypeConnection::StaticClass();
}

void TElement_PropertyWithSubObject::SetLazy(bool value) {
    if (value == m_lazy) return;
    m_lazy = value;
    UpdateTitleLayout();
    NotifyEditStateChanged();
}

bool TElement_PropertyWithSubObject::HandleChildMessage(TElement* child, int msg, intptr_t p1, intptr_t p2) {
    if (msg == nmAcceptReferenceItem && p2 && child && child == TypeField()) {
        TElement_Object* object = ObjectNamedBy(reinterpret_cast<TNamespaceItem*>(p1));
        if (!object || object->Kind() == TObjectKind::Abstract) *reinterpret_cast<bool*>(p2) = false;
    }
    return TCustomPropertyWithField::HandleChildMessage(child, msg, p1, p2);
}

void TElement_PropertyWithSubObject::FocusFirst() {
    if (TypeField())
        TypeField()->FocusFirst();
    else
        TCustomPropertyWithField::FocusFirst();
}

void TElement_PropertyWithSubObject::WriteTitle(TTitleWriter& writer) {
    TCustomPropertyWithField::WriteTitle(writer);
    if (NameField()) writer.AddField(NameField());
    if (FieldName()) writer.AddField(FieldName());
    writer.AddText(QStringLiteral(":"));
    if (TypeField()) writer.AddField(TypeField());
    if (m_lazy) writer.AddImage(PropertySmall(kPropSmallLazy));
    if (IsExpanded()) WriteSection(writer, strInitializationTitle, m_init);
}

void TElement_PropertyWithSubObject::GetChildName(TElement* child, TSchemeFiler* filer, QString& name) {
    if (child && child == m_init)
        name = kPropInitChild;
    else
        TCustomPropertyWithField::GetChildName(child, filer, name);
}

void TElement_PropertyWithSubObject::GetPaletteItems(QList<TPaletteItem*>& list) {
    TCustomPropertyWithField::GetPaletteItems(list);
    PropAddItem(list, &TPropertyUnit::lazy);
}

void TElement_PropertyWithSubObject::UpdatePaletteItemState(TPaletteItem* item, TPaletteItemState& state) {
    if (PropIsItem(item, &TPropertyUnit::lazy)) {
        state.Enabled = true;
        state.Checked = m_lazy;
        return;
    }
    TCustomPropertyWithField::UpdatePaletteItemState(item, state);
}

bool TElement_PropertyWithSubObject::ApplyPaletteItem(TPaletteItem* item, const QString& subCommand, bool checked) {
    if (PropIsItem(item, &TPropertyUnit::lazy)) {
        if (checked != m_lazy)
            TSchemeOperation::Execute(MakeNode<TPropertyWithSubObjectLazyOperation>(this, int(checked)));
        return true;
    }
    return TCustomPropertyWithField::ApplyPaletteItem(item, subCommand, checked);
}

void TElement_PropertyWithSubObject::SaveTo(TSchemeSaver* saver, TKnot* knot) {
    TCustomPropertyWithField::SaveTo(saver, knot);
    WriteOptionFlag(knot, kPropLazyAttribute, m_lazy);
}

void TElement_PropertyWithSubObject::LoadFrom(TSchemeLoader* loader, TKnot* knot) {
    TCustomPropertyWithField::LoadFrom(loader, knot);
    SetLazy(ReadOptionFlag(knot, kPropLazyAttribute));
}

// ---------------------------------------------------------------------------
// TElement_PropertyArray

void TElement_PropertyArray::Create() {
    TCustomFullPropertyElement::Create();
    CreateExpandButton(true);
    SetNamePicture(kPropCharArrayProperty);
    m_countName = static_cast<TIdentifierNameField*>(
        TVisualElement::CreateSubElement(TIdentifierNameField::StaticClass(), this, nullptr, this));
    m_countName->SetImageIndex(PropertyChar(kPropCharProperty));
    m_readCount = static_cast<TCommandsContainerWithResult*>(
        MakeSection(TCommandsContainerWithResult::StaticClass(), nullptr, false));
    m_readCount->SetOptions(m_readCount->Options() | eoRequired);
    if (TFieldElementResult* result = m_readCount->Result()) {
        result->SetNameOptions(result->NameOptions() | noRegister);
        PropSetStandardType(result, StandardTypeName::Int);
    }
    m_writeCount = MakeSection(TCommandsContainer::StaticClass(), nullptr, true);
    m_readIndex = PropMakeImplicit<TFieldElementParameterIndex>(ReadSection());
    m_writeIndex = PropMakeImplicit<TFieldElementParameterIndex>(WriteSection());
    m_writeCountValue = PropMakeImplicit<TFieldElementParameterValue>(m_writeCount);
    PropSetStandardType(m_writeCountValue, StandardTypeName::Int);
}

void TElement_PropertyArray::BeforeDestruction() {
    TCustomFullPropertyElement::BeforeDestruction();
    m_countName = nullptr;
    m_readCount = nullptr;
    m_writeCount = nullptr;
    m_readIndex = m_writeIndex = nullptr;
    m_writeCountValue = nullptr;
}

bool TElement_PropertyArray::HasCountSetter() const { return m_writeCount && m_writeCount->IsFilled(); }

TNamespace* TElement_PropertyArray::GetCallParameters(TNamespaceItem* item) {
    const bool main = PropNamesItem(NameField(), item);
    return main && ReadSection() ? ReadSection()->Namespace() : nullptr;
}

TValueNameRole TElement_PropertyArray::GetValueNameRole(TNamespaceItem* item) {
    return PropNamesItem(m_countName, item) ? TValueNameRole::CountName : TValueNameRole::Main;
}

bool TElement_PropertyArray::IsAssignableThrough(TNamespaceItem* item) {
    return PropNamesItem(m_countName, item) ? HasCountSetter() : HasSetter();
}

bool TElement_PropertyArray::GetDeclaredValueType(TNamespaceItem* item, TTypeDescriptor& descriptor) {
    if (!PropNamesItem(m_countName, item)) return TCustomFullPropertyElement::GetDeclaredValueType(item, descriptor);
    GetStandardTypeDescriptor(StandardTypeName::Int, descriptor);
    return true;
}

void TElement_PropertyArray::GetDefaultName(QString& stem, bool& numberFirst) {
    stem = kPropItemsStem;
    numberFirst = false;
}

void TElement_PropertyArray::InitNew(TPaletteItem* item) {
    TCustomFullPropertyElement::InitNew(item);
    if (m_readCount) m_readCount->AddElementOfClass(TElement_Return::StaticClass());
    const TNamingSettings* settings = NamingSettings();
    TNamespace* space = m_countName ? m_countName->GetNamespace() : nullptr;
    if (!space || !settings || !settings->FillEnabled()->Value()) return;
    // The number last: the first count is plainly "Count".
    m_countName->SetText(space->GetUniqueName(kPropCountStem, false, *settings));
}

void TElement_PropertyArray::SectionFilledChanged(TCommandsContainer* section) {
    TCustomFullPropertyElement::SectionFilledChanged(section);
    if (section == m_writeCount) PropAnnounceChange(m_countName);
}

void TElement_PropertyArray::WriteTitle(TTitleWriter& writer) {
    TCustomFullPropertyElement::WriteTitle(writer);
    if (NameField()) writer.AddField(NameField());
    writer.AddText(QStringLiteral(":"));
    if (TypeField()) writer.AddField(TypeField());
    const bool classProperty = !GetForInstance();
    if (!IsExpanded()) {
        if (m_countName) writer.AddField(m_countName);
        if (classProperty) writer.AddImage(WithoutInstanceTitlePicture());
        return;
    }
    if (classProperty) writer.AddImage(WithoutInstanceTitlePicture());
    WriteSection(writer, strGetTitle, ReadSection());
    if (IsSectionShown(WriteSection())) WriteSection(writer, strSetTitle, WriteSection());
    writer.NewLine();
    if (m_countName) writer.AddField(m_countName);
    WriteSection(writer, strGetTitle, m_readCount);
    if (IsSectionShown(m_writeCount)) WriteSection(writer, strSetTitle, m_writeCount);
}

void TElement_PropertyArray::GetChildName(TElement* child, TSchemeFiler* filer, QString& name) {
    if (child && child == m_countName)
        name = kPropCountNameChild;
    else if (child && child == m_readCount)
        name = kPropReadCountChild;
    else if (child && child == m_writeCount)
        name = kPropWriteCountChild;
    else if (child && child == m_readIndex)
        name = kPropReadIndexChild;
    else if (child && child == m_writeIndex)
        name = kPropWriteIndexChild;
    else if (child && child == m_writeCountValue)
        name = kPropWriteCountValueChild;
    else
        TCustomFullPropertyElement::GetChildName(child, filer, name);
}

void TElement_PropertyArray::GetChildHint(TElement* child, QString& text) {
    if (child && child == NameField())
        text = LoadStr(strArrayPropertyNameHint);
    else if (child && child == m_countName)
        text = LoadStr(strArrayCountNameHint);
    else
        TCustomFullPropertyElement::GetChildHint(child, text);
}

void TElement_PropertyArray::GetPaletteItems(QList<TPaletteItem*>& list) {
    TCustomFullPropertyElement::GetPaletteItems(list);
    PropAddItem(list, &TPropertyUnit::addCountSetter);
}

void TElement_PropertyArray::UpdatePaletteItemState(TPaletteItem* item, TPaletteItemState& state) {
    if (PropIsItem(item, &TPropertyUnit::addCountSetter)) {
        state.Enabled = m_writeCount != nullptr;
        return;
    }
    TCustomFullPropertyElement::UpdatePaletteItemState(item, state);
}

bool TElement_PropertyArray::ApplyPaletteItem(TPaletteItem* item, const QString& subCommand, bool checked) {
    if (PropIsItem(item, &TPropertyUnit::addCountSetter)) {
        if (m_writeCount) {
            OpenSection(m_writeCount);
            m_writeCount->SelectAll();
        }
        return true;
    }
    return TCustomFullPropertyElement::ApplyPaletteItem(item, subCommand, checked);
}

// ---------------------------------------------------------------------------
// Undo operations

int TPropertyForInstanceOperation::Get(TElement* element) const {
    return int(static_cast<TCustomFullPropertyElement*>(element)->ForInstance());
}

void TPropertyForInstanceOperation::Set(TElement* element, int value) const {
    static_cast<TCustomFullPropertyElement*>(element)->SetForInstance(value != 0);
}

int TPropertyWithSubObjectLazyOperation::Get(TElement* element) const {
    return int(static_cast<TElement_PropertyWithSubObject*>(element)->Lazy());
}

void TPropertyWithSubObjectLazyOperation::Set(TElement* element, int value) const {
    static_cast<TElement_PropertyWithSubObject*>(element)->SetLazy(value != 0);
}

// ---------------------------------------------------------------------------
// The unit

TPaletteItem* PropertyPaletteItem(const TElementClass* cls) noexcept {
    return g_propertyUnit ? FindElementItem(g_propertyUnit->items, cls) : nullptr;
}

TSchemePaletteItem* AddSetterPaletteItem() noexcept { return g_propertyUnit ? g_propertyUnit->addSetter : nullptr; }
TSchemePaletteItem* AddCountSetterPaletteItem() noexcept {
    return g_propertyUnit ? g_propertyUnit->addCountSetter : nullptr;
}
TSchemePaletteItem* AddParametersPaletteItem() noexcept {
    return g_propertyUnit ? g_propertyUnit->addParameters : nullptr;
}
TSchemePaletteItem* LazyPaletteItem() noexcept { return g_propertyUnit ? g_propertyUnit->lazy : nullptr; }

namespace {

void CreatePropertyCommands(TPropertyUnit& unit) {
    const int let = LetLargePicture();
    if (TPaletteGroup* actions = PaletteActionsGroup()) {
        unit.addSetter =
            TSchemePaletteItem::Create(actions, kPropActionFlags, let, strAddSetter, strAddSetterHint,
                                       kPropAddSetterOrder);
        unit.addCountSetter = TSchemePaletteItem::Create(actions, kPropActionFlags, let, strAddCountSetter,
                                                         strAddCountSetterHint, kPropAddCountSetterOrder);
        unit.addParameters =
            TSchemePaletteItem::Create(actions, kPropActionFlags, unit.largeImages.Picture(kPropLargeAddParameters),
                                       strAddParameters, strAddParametersHint, kPropAddParametersOrder);
    }
    if (TPaletteGroup* options = PaletteOptionsGroup())
        unit.lazy =
            TSchemePaletteItem::Create(options, kPropLazyFlags, DefaultLargeImage(), strLazy, 0, kPropLazyOrder);
}

}  // namespace

void InitPropertyElementsUnit() {
    if (g_propertyUnit) return;
    g_propertyUnit = std::make_unique<TPropertyUnit>();
    TPropertyUnit& unit = *g_propertyUnit;
    unit.charImages = TImageStrip::Load(SchemeCharImages(), QStringLiteral("prPropertyElementsCharImages"));
    unit.smallImages = TImageStrip::Load(SchemeSmallImages(), QStringLiteral("prPropertyElementsSmallImages"));
    unit.largeImages = TImageStrip::Load(SchemeLargeImages(), QStringLiteral("prPropertyElementsLargeImages"));
    AddItemsOnce(ClassMemberElementClasses(),
                 TElementClassList{TElement_Property::StaticClass(), TElement_PropertyWithField::StaticClass(),
                                   TElement_PropertyWithSubObject::StaticClass(),
                                   TElement_PropertyArray::StaticClass()});
    if (!Palette() || !PaletteInsertGroup()) return;
    TNode* insert = PaletteInsertGroup();
    AddElementItems(unit.items, {
        {TElement_PropertyWithField::StaticClass(), strPropertyWithField, strPropertyWithFieldHint, insert,
         pifLargeImage, unit.largeImages.Picture(kPropLargePropertyWithField), 460},
        {TElement_PropertyWithSubObject::StaticClass(), strPropertyWithSubObject, 0, insert, 0,
         unit.smallImages.Picture(kPropSmallProperty), 450},
        {TElement_PropertyArray::StaticClass(), strArrayProperty, strArrayPropertyHint, insert, 0,
         unit.smallImages.Picture(kPropSmallArrayProperty), 440},
        {TElement_Property::StaticClass(), strProperty, strPropertyHint, insert, 0,
         unit.smallImages.Picture(kPropSmallProperty), 430},
    });
    CreatePropertyCommands(unit);
}

void FinalPropertyElementsUnit() {
    // The class group and the palette entries belong to their registries.
    g_propertyUnit.reset();
}
