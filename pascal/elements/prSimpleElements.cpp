#include "pascal/elements/prSimpleElements.h"

#include "core/cuLocalization.h"
#include "core/cuStringIds.h"
#include "elements/coRoot.h"
#include "scheme/diNaming.h"
#include "scheme/diPalette.h"
#include "scheme/diUtils.h"

#include <QStringList>

#include <memory>

T_ELEMENT_CLASS_IMPL(TArrayTypeField, TWatchedTypeField)
T_ELEMENT_CLASS_IMPL(TTypeAliasRefTypeField, TWatchedTypeField)
T_ELEMENT_CLASS_IMPL(TElement_Use, TprNamedElement)
T_ELEMENT_CLASS_IMPL(TElement_Constant, TprNamedElement)
T_ELEMENT_CLASS_IMPL(TRecordFieldsContainer, TTitledTextContainer)
T_ELEMENT_CLASS_IMPL(TRecordConnectionToOwner, TNamespaceConnectionToOwner)
T_ELEMENT_CLASS_IMPL(TElement_Record, TprNamedElementWithContent)
T_ELEMENT_CLASS_IMPL(TArrayNameField, TIdentifierNameField)
T_ELEMENT_CLASS_IMPL(TElement_Array, TprNamedElement)
T_ELEMENT_CLASS_IMPL(TPointerNameField, TIdentifierNameField)
T_ELEMENT_CLASS_IMPL(TElement_Pointer, TprNamedElement)
T_ELEMENT_CLASS_IMPL(TElement_TypeAlias, TprNamedElement)
T_ELEMENT_CLASS_IMPL(TEnumItemsContainer, TTitledTextContainer)
T_ELEMENT_CLASS_IMPL(TEnumSetOfNameField, TTitledNameField)
T_ELEMENT_CLASS_IMPL(TElement_Enum, TprNamedElementWithContent)
T_ELEMENT_CLASS_IMPL(TElement_EnumItem, TprNamedElement)
T_ELEMENT_CLASS_IMPL(TCodeContainer, TTitledTextContainer)
T_ELEMENT_CLASS_IMPL(TElement_Code, TTitledElementWithContent)

namespace {

const QString kConstantValueChild = QStringLiteral("Value");
const QString kRecordNamespaceChild = QStringLiteral("Namespace");
const QString kConnectionToOwnerChild = QStringLiteral("ConnectionToOwner");
const QString kMinChild = QStringLiteral("Min");
const QString kMaxChild = QStringLiteral("Max");
const QString kElementTypeChild = QStringLiteral("ElementType");
const QString kRefTypeChild = QStringLiteral("RefType");
const QString kSetOfNameChild = QStringLiteral("SetOfName");

// The contents of records and enumerations: one element per line.
constexpr uint32_t kListTextorOptions = 0x20121;
constexpr uint32_t kListRestrictions = trLineFeeds;
// The code block: any characters, tabs and lines.
constexpr uint32_t kCodeTextorOptions = 0x101011;
constexpr uint32_t kCodeRestrictions = trAllCharacters;
// The bounds of an array: numbers, no variables or calls.
constexpr uint16_t kArrayBoundFlags = afNumbers | afNoVariables;

// Pictures: "prSimpleElementsCharImages" (C), "...SmallImages" (S), "...LargeImages" (L).
enum : int {
    kCharEnumItem = 0,
    kCharArray = 2,
    kCharEnum = 3,
    kCharRecord = 4,
    kCharConstant = 7,
    kCharSetOfName = 9,
    kSmallAlias = 0,
    kSmallRecord = 1,
    kSmallArray = 2,
    kSmallUse = 3,
    kSmallPointer = 4,
    kSmallConstant = 5,
    kSmallEnum = 7,
    kSmallCode = 8,
    kLargeEnumItem = 0,
    kLargeEnum = 1,
    kLargeConstant = 2,
};
// The "pointer" picture of the standard types' strip.
constexpr int kStandardPointerPicture = 7;

struct TSimpleUnit {
    TImageStrip charImages;
    TImageStrip smallImages;
    TImageStrip largeImages;
    TElementItems items;
    TSchemePaletteItem* generatePrefix = nullptr;
    TSchemePaletteItem* arrayBounds = nullptr;
};
std::unique_ptr<TSimpleUnit> g_simpleUnit;

int SimpleCharPicture(int picture) { return g_simpleUnit ? g_simpleUnit->charImages.Picture(picture) : NoImageIndex; }
int SimpleSmallPicture(int picture) { return g_simpleUnit ? g_simpleUnit->smallImages.Picture(picture) : NoImageIndex; }

void SetNamePicture(TNamedElement* element, int picture) {
    if (element->NameField()) element->NameField()->SetImageIndex(picture);
}

// 0 in a routine body, else what the kind would have.
bool InRoutineBody(TElement* element) {
    return ScopeKindOf(GetDeclarationContainer(element)) == TScopeKind::CommandsContainer;
}

QString TypesPrefix() { return ProgramPrefix(&TProgramSettings::TypesPrefix); }

QString WithoutTypesPrefix(const QString& name) {
    return HasTypesPrefix(name) ? name.mid(TypesPrefix().size()) : name;
}

template <class T>
T* MakeField(TElement* owner, bool required) {
    auto* field = static_cast<T*>(TVisualElement::CreateSubElement(T::StaticClass(), owner, nullptr,
                                                                   static_cast<TVisualElement*>(owner)));
    if (required) field->SetOptions(field->Options() | eoRequired);
    return field;
}

void AddReferencesInside(TElement* top, std::vector<TReference*>& list) {
    for (TNode* node : PreOrder<TNode>(top))
        if (auto* reference = dynamic_cast<TCustomReferenceElement*>(node)) list.push_back(reference->Link());
}

}  // namespace

QString CommonNamePrefix(const QStringList& names) {
    if (names.isEmpty()) return QString();
    QString prefix = names.first();
    for (const QString& name : names) {
        while (!prefix.isEmpty() && !name.startsWith(prefix)) prefix.chop(1);
        if (prefix.isEmpty()) break;
    }
    return prefix;
}

// ---------------------------------------------------------------------------
// Use

void TElement_Use::Create() {
    TprNamedElement::Create();
    CreateDescriptionField();
}

void TElement_Use::GetDefaultName(QString& stem, bool&) { stem.clear(); }

void TElement_Use::WriteTitle(TTitleWriter& writer) {
    TprNamedElement::WriteTitle(writer);
    writer.AddImage(SimpleSmallPicture(kSmallUse));
    if (NameField()) writer.AddField(NameField());
}

// ---------------------------------------------------------------------------
// Constant

void TElement_Constant::Create() {
    TprNamedElement::Create();
    CreateDescriptionField();
    SetNamePicture(this, SimpleCharPicture(kCharConstant));
    m_value = MakeField<TExpressionField>(this, false);
    m_value->SetAcceptFlags(kDefaultAcceptFlags | afNoVariables);
    m_value->SetTextorOptions(m_value->TextorOptions() | toEmptyWidth);
}

void TElement_Constant::BeforeDestruction() {
    TprNamedElement::BeforeDestruction();
    m_value = nullptr;
}

bool TElement_Constant::GetDeclaredValueType(TNamespaceItem*, TTypeDescriptor& descriptor) {
    if (!m_value) return false;
    m_value->GetValueType(descriptor);
    return true;
}

TVisibilityMode TElement_Constant::GetVisibilityMode() {
    const TScopeKind scope = ScopeKindOf(GetDeclarationContainer(this));
    if (scope == TScopeKind::CommandsContainer) return TVisibilityMode::Public;
    if (scope == TScopeKind::Object || scope == TScopeKind::ProgramRoot) return TVisibilityMode::ChoosablePrivate;
    return TprNamedElement::GetVisibilityMode();
}

void TElement_Constant::GetDefaultName(QString& stem, bool& numberFirst) {
    TprNamedElement::GetDefaultName(stem, numberFirst);
    stem = ProgramPrefix(&TProgramSettings::ConstantsPrefix) + stem;
}

void TElement_Constant::GetItemReferences(TNameField* field, std::vector<TReference*>& list) {
    TprNamedElement::GetItemReferences(field, list);
    if (field && field == NameField() && m_value) AddReferencesInside(m_value, list);
}

bool TElement_Constant::HandleChildMessage(TElement* child, int msg, intptr_t p1, intptr_t p2) {
    if (msg == nmGetExpectedType && child && child == m_value) {
        m_value->GetValueType(*reinterpret_cast<TTypeDescriptor*>(p1));
        return true;
    }
    return TprNamedElement::HandleChildMessage(child, msg, p1, p2);
}

void TElement_Constant::WriteTitle(TTitleWriter& writer) {
    TprNamedElement::WriteTitle(writer);
    if (NameField()) writer.AddField(NameField());
    writer.AddText(QStringLiteral("="));
    if (m_value) writer.AddField(m_value);
}

void TElement_Constant::GetChildName(TElement* child, TSchemeFiler* filer, QString& name) {
    if (child && child == m_value)
        name = kConstantValueChild;
    else
        TprNamedElement::GetChildName(child, filer, name);
}

void TElement_Constant::GetChildHint(TElement* child, QString& text) {
    if (child && child == m_value)
        text = LoadStr(strValueConstantValueType);
    else
        TprNamedElement::GetChildHint(child, text);
}

// ---------------------------------------------------------------------------
// Record

void TRecordFieldsContainer::Create() {
    TTitledTextContainer::Create();
    SetOptions(Options() | eoRequired);
    SetTextorOptions(TextorOptions() | kListTextorOptions);
    SetRestrictions(kListRestrictions);
}

void TRecordFieldsContainer::FillAcceptedClasses(TElementClassList& list) {
    AddItemOnce(list, TElement_Field::StaticClass());
    TTitledTextContainer::FillAcceptedClasses(list);
}

bool TRecordConnectionToOwner::AcceptsItem(TNamespaceItem* item) {
    if (!TNamespaceConnectionToOwner::AcceptsItem(item)) return false;
    switch (DeclarationKindOf(item)) {
    case TDeclarationKind::StandardType:
    case TDeclarationKind::Object:
    case TDeclarationKind::MethodType:
    case TDeclarationKind::Record:
    case TDeclarationKind::Array:
    case TDeclarationKind::Pointer:
    case TDeclarationKind::TypeAlias:
    case TDeclarationKind::Enum:
    case TDeclarationKind::Constant:
    case TDeclarationKind::EnumItem:
    case TDeclarationKind::Handler:
        return true;
    default:
        return false;
    }
}

bool TRecordConnectionToOwner::SeesThrough(const TNamespaceConnection* inner) {
    return !inner || !inner->ElementClass()->InheritsFrom(TMembersByTypeConnection::StaticClass());
}

void TElement_Record::Create() {
    TprNamedElementWithContent::Create();
    CreateDescriptionField();
    CreateExpandButton(true);
    SetNamePicture(this, SimpleCharPicture(kCharRecord));
    m_namespace = TElement::CreateSubElement<TNamespace>(this);
    m_connection = TElement::CreateSubElement<TRecordConnectionToOwner>(this);
    m_connection->SetOwner(m_namespace);
}

void TElement_Record::BeforeDestruction() {
    if (m_connection) m_connection->SetOwner(nullptr);
    TprNamedElementWithContent::BeforeDestruction();
    m_namespace = nullptr;
    m_connection = nullptr;
}

const TElementClass* TElement_Record::GetContentClass() { return TRecordFieldsContainer::StaticClass(); }

TVisibilityMode TElement_Record::GetVisibilityMode() {
    return InRoutineBody(this) ? TVisibilityMode::Public : TprNamedElementWithContent::GetVisibilityMode();
}

void TElement_Record::GetDefaultName(QString& stem, bool&) { stem = TypesPrefix() + QStringLiteral("Record"); }

void TElement_Record::GetItemReferences(TNameField* field, std::vector<TReference*>& list) {
    TprNamedElementWithContent::GetItemReferences(field, list);
    if (!field || field != NameField() || !Content()) return;
    for (TNode* n = Content()->FirstChild(); n; n = n->NextSibling())
        if (auto* member = dynamic_cast<TCustomField*>(n); member && member->TypeField())
            list.push_back(member->TypeField()->Link());
}

void TElement_Record::TreePlacementChanged() {
    TprNamedElementWithContent::TreePlacementChanged();
    if (IsBeingDestroyed() || !m_connection) return;
    // The names of the enclosing scope are seen inside.
    m_connection->SetTarget(FindOwnerNamespace(this));
}

void TElement_Record::WriteTitle(TTitleWriter& writer) {
    TprNamedElementWithContent::WriteTitle(writer);
    if (NameField()) writer.AddField(NameField());
    if (IsExpanded() && Content()) writer.AddBlock(Content());
}

void TElement_Record::GetChildName(TElement* child, TSchemeFiler* filer, QString& name) {
    if (child && child == m_namespace)
        name = kRecordNamespaceChild;
    else if (child && child == m_connection)
        name = kConnectionToOwnerChild;
    else
        TprNamedElementWithContent::GetChildName(child, filer, name);
}

// ---------------------------------------------------------------------------
// Array

void TArrayNameField::Create() {
    TIdentifierNameField::Create();
    SetNameOptions(NameOptions() | noAutoname);
}

bool TArrayNameField::CanAutoName() {
    auto* array = dynamic_cast<TElement_Array*>(ParentElement());
    return array && array->ElementType() && array->ElementType()->IsFilled();
}

QString TArrayNameField::GetAutoName() {
    if (!CanAutoName()) return QString();
    const QString name = CapitalizeFirst(TypeFieldName(static_cast<TElement_Array*>(ParentElement())->ElementType())) +
                         QStringLiteral("Array");
    return HasTypesPrefix(name) ? name : TypesPrefix() + name;
}

void TElement_Array::Create() {
    TprNamedElement::Create();
    CreateDescriptionField();
    SetNamePicture(this, SimpleCharPicture(kCharArray));
    // The bounds show while filled or edited ("Bounds" starts editing them).
    m_min = MakeField<TExpressionField>(this, false);
    m_min->SetAcceptFlags(kArrayBoundFlags);
    m_min->SetVisualOptions(m_min->VisualOptions() | voHiddenWhileEmpty);
    m_max = MakeField<TExpressionField>(this, false);
    m_max->SetAcceptFlags(kArrayBoundFlags);
    m_max->SetVisualOptions(m_max->VisualOptions() | voHiddenWhileEmpty);
    m_elementType = MakeField<TArrayTypeField>(this, true);
}

void TElement_Array::BeforeDestruction() {
    TprNamedElement::BeforeDestruction();
    m_min = m_max = nullptr;
    m_elementType = nullptr;
}

bool TElement_Array::HasBounds() const { return (m_min && m_min->IsFilled()) || (m_max && m_max->IsFilled()); }

const TElementClass* TElement_Array::GetNameFieldClass() { return TArrayNameField::StaticClass(); }

TVisibilityMode TElement_Array::GetVisibilityMode() {
    return InRoutineBody(this) ? TVisibilityMode::Public : TprNamedElement::GetVisibilityMode();
}

void TElement_Array::GetDefaultName(QString& stem, bool&) { stem = TypesPrefix() + QStringLiteral("Array"); }

void TElement_Array::GetItemReferences(TNameField* field, std::vector<TReference*>& list) {
    TprNamedElement::GetItemReferences(field, list);
    if (field && field == NameField() && m_elementType) list.push_back(m_elementType->Link());
}

void TElement_Array::TypeFieldChanged(TWatchedTypeField* field) {
    // A change that comes back through the namespaces does not recurse.
    if (field != m_elementType || m_announcing || !NameField() || !NameField()->Item()) return;
    m_announcing = true;
    NameField()->Item()->NotifyChanged();
    m_announcing = false;
}

bool TElement_Array::HandleChildMessage(TElement* child, int msg, intptr_t p1, intptr_t p2) {
    if (msg == nmGetExpectedType && child && (child == m_min || child == m_max))
        return AnswerStandardType(StandardTypeName::Int, p1);
    return TprNamedElement::HandleChildMessage(child, msg, p1, p2);
}

void TElement_Array::InitNew(TPaletteItem* item) {
    TprNamedElement::InitNew(item);
    if (m_elementType) m_elementType->SetText(StandardTypeName::Int);
}

void TElement_Array::WriteTitle(TTitleWriter& writer) {
    TprNamedElement::WriteTitle(writer);
    if (NameField()) writer.AddField(NameField());
    const bool min = m_min && (m_min->IsFilled() || m_min->IsEdited());
    const bool max = m_max && (m_max->IsFilled() || m_max->IsEdited());
    // A single bound shows its side and the "..".
    if (min || max) {
        writer.AddText(QStringLiteral("["));
        if (m_min) writer.AddField(m_min);
        writer.AddText(QStringLiteral(".."));
        if (m_max) writer.AddField(m_max);
        writer.AddText(QStringLiteral("]"));
    }
    writer.AddText(QStringLiteral(":"));
    if (m_elementType) writer.AddField(m_elementType);
}

void TElement_Array::GetPaletteItems(QList<TPaletteItem*>& list) {
    TprNamedElement::GetPaletteItems(list);
    if (g_simpleUnit && g_simpleUnit->arrayBounds) list.append(g_simpleUnit->arrayBounds);
}

void TElement_Array::UpdatePaletteItemState(TPaletteItem* item, TPaletteItemState& state) {
    if (g_simpleUnit && item == g_simpleUnit->arrayBounds) {
        state.Enabled = m_min != nullptr;
        return;
    }
    TprNamedElement::UpdatePaletteItemState(item, state);
}

bool TElement_Array::ApplyPaletteItem(TPaletteItem* item, const QString& subCommand, bool checked) {
    if (g_simpleUnit && item == g_simpleUnit->arrayBounds) {
        if (!m_min) return true;
        m_min->FocusText(TTextFocusPlace::Start);
        m_min->SelectAll();
        return true;
    }
    return TprNamedElement::ApplyPaletteItem(item, subCommand, checked);
}

void TElement_Array::GetChildName(TElement* child, TSchemeFiler* filer, QString& name) {
    if (child && child == m_min)
        name = kMinChild;
    else if (child && child == m_max)
        name = kMaxChild;
    else if (child && child == m_elementType)
        name = kElementTypeChild;
    else
        TprNamedElement::GetChildName(child, filer, name);
}

void TElement_Array::GetChildHint(TElement* child, QString& text) {
    if (child && child == m_min)
        text = LoadStr(strArrayMinimum);
    else if (child && child == m_max)
        text = LoadStr(strArrayMaximum);
    else if (child && child == m_elementType)
        text = LoadStr(strTypeOfArrayElements);
    else
        TprNamedElement::GetChildHint(child, text);
}

// ---------------------------------------------------------------------------
// Pointer

void TPointerNameField::Create() {
    TIdentifierNameField::Create();
    SetNameOptions(NameOptions() | noAutoname);
}

bool TPointerNameField::CanAutoName() {
    auto* pointer = dynamic_cast<TElement_Pointer*>(ParentElement());
    return pointer && pointer->RefType() && pointer->RefType()->IsFilled();
}

QString TPointerNameField::GetAutoName() {
    if (!CanAutoName()) return QString();
    const QString type = TypeFieldName(static_cast<TElement_Pointer*>(ParentElement())->RefType());
    return QStringLiteral("P") + CapitalizeFirst(WithoutTypesPrefix(type));
}

void TElement_Pointer::Create() {
    TprNamedElement::Create();
    CreateDescriptionField();
    SetNamePicture(this, StandardCharImageBase() < 0 ? NoImageIndex : StandardCharImageBase() + kStandardPointerPicture);
    m_refType = MakeField<TTypeReferenceField>(this, true);
}

void TElement_Pointer::BeforeDestruction() {
    TprNamedElement::BeforeDestruction();
    m_refType = nullptr;
}

const TElementClass* TElement_Pointer::GetNameFieldClass() { return TPointerNameField::StaticClass(); }

TVisibilityMode TElement_Pointer::GetVisibilityMode() {
    return InRoutineBody(this) ? TVisibilityMode::Public : TprNamedElement::GetVisibilityMode();
}

void TElement_Pointer::GetDefaultName(QString& stem, bool&) { stem = QStringLiteral("PPointer"); }

void TElement_Pointer::GetItemReferences(TNameField* field, std::vector<TReference*>& list) {
    TprNamedElement::GetItemReferences(field, list);
    if (field && field == NameField() && m_refType) list.push_back(m_refType->Link());
}

void TElement_Pointer::FocusFirst() {
    if (m_refType)
        m_refType->FocusFirst();
    else
        TprNamedElement::FocusFirst();
}

void TElement_Pointer::WriteTitle(TTitleWriter& writer) {
    TprNamedElement::WriteTitle(writer);
    if (NameField()) writer.AddField(NameField());
    writer.AddText(QStringLiteral("to"));
    if (m_refType) writer.AddField(m_refType);
}

void TElement_Pointer::GetChildName(TElement* child, TSchemeFiler* filer, QString& name) {
    if (child && child == m_refType)
        name = kRefTypeChild;
    else
        TprNamedElement::GetChildName(child, filer, name);
}

void TElement_Pointer::GetChildHint(TElement* child, QString& text) {
    if (child && child == m_refType)
        text = LoadStr(strPointerTypeHint);
    else
        TprNamedElement::GetChildHint(child, text);
}

// ---------------------------------------------------------------------------
// Type alias

void TElement_TypeAlias::Create() {
    TprNamedElement::Create();
    CreateDescriptionField();
    m_refType = MakeField<TTypeAliasRefTypeField>(this, true);
}

void TElement_TypeAlias::BeforeDestruction() {
    TprNamedElement::BeforeDestruction();
    m_refType = nullptr;
}

TNamespaceItem* TElement_TypeAlias::GetRefTypeItem() { return m_refType ? m_refType->GetTargetItem() : nullptr; }

TNamespaceItem* TElement_TypeAlias::GetFinalRefType() {
    return NameField() && NameField()->Item() ? FinalAliasTarget(NameField()->Item()) : nullptr;
}

TVisibilityMode TElement_TypeAlias::GetVisibilityMode() {
    return InRoutineBody(this) ? TVisibilityMode::Public : TprNamedElement::GetVisibilityMode();
}

void TElement_TypeAlias::GetItemReferences(TNameField* field, std::vector<TReference*>& list) {
    TprNamedElement::GetItemReferences(field, list);
    if (field && field == NameField() && m_refType) list.push_back(m_refType->Link());
}

void TElement_TypeAlias::TypeFieldChanged(TWatchedTypeField* field) {
    if (field != m_refType || m_announcing || !NameField()) return;
    m_announcing = true;
    TNamespaceItem* final = GetFinalRefType();
    NameField()->SetImageIndex(final ? final->GetImageIndex() : NoImageIndex);
    if (NameField()->Item()) NameField()->Item()->NotifyChanged();
    m_announcing = false;
}

void TElement_TypeAlias::FocusFirst() {
    if (m_refType)
        m_refType->FocusFirst();
    else
        TprNamedElement::FocusFirst();
}

void TElement_TypeAlias::WriteTitle(TTitleWriter& writer) {
    TprNamedElement::WriteTitle(writer);
    if (NameField()) writer.AddField(NameField());
    writer.AddImage(SimpleSmallPicture(kSmallAlias));
    if (m_refType) writer.AddField(m_refType);
}

void TElement_TypeAlias::GetChildName(TElement* child, TSchemeFiler* filer, QString& name) {
    if (child && child == m_refType)
        name = kRefTypeChild;
    else
        TprNamedElement::GetChildName(child, filer, name);
}

void TElement_TypeAlias::GetChildHint(TElement* child, QString& text) {
    if (child && child == m_refType)
        text = LoadStr(strAliasTypeHint);
    else
        TprNamedElement::GetChildHint(child, text);
}

// ---------------------------------------------------------------------------
// Enumeration

void TEnumItemsContainer::Create() {
    TTitledTextContainer::Create();
    SetOptions(Options() | eoRequired);
    SetTextorOptions(TextorOptions() | kListTextorOptions);
    SetRestrictions(kListRestrictions);
}

void TEnumItemsContainer::FillAcceptedClasses(TElementClassList& list) {
    AddItemOnce(list, TElement_EnumItem::StaticClass());
    TTitledTextContainer::FillAcceptedClasses(list);
}

void TEnumSetOfNameField::Create() {
    TTitledNameField::Create();
    SetRestrictions(kIdentifierRestrictions);
    SetNameOptions(NameOptions() | noImageWhenFilled | noAutoname);
    SetImageIndex(SimpleCharPicture(kCharSetOfName));
}

bool TEnumSetOfNameField::CanAutoName() {
    auto* owner = dynamic_cast<TElement_Enum*>(ParentElement());
    return owner && owner->NameField() && owner->NameField()->IsFilled();
}

QString TEnumSetOfNameField::GetAutoName() {
    if (!CanAutoName()) return QString();
    return CapitalizeFirst(static_cast<TElement_Enum*>(ParentElement())->NameField()->GetNameText()) +
           QStringLiteral("s");
}

int TEnumSetOfNameField::GetVisibility() {
    auto* owner = dynamic_cast<TElement_Enum*>(ParentElement());
    return owner && owner->Visibility() == TVisibility::Private ? 1 : 0;
}

void TElement_Enum::Create() {
    TprNamedElementWithContent::Create();
    CreateDescriptionField();
    CreateExpandButton(true);
    SetNamePicture(this, SimpleCharPicture(kCharEnum));
    m_setOfName = MakeField<TEnumSetOfNameField>(this, false);
}

void TElement_Enum::BeforeDestruction() {
    TprNamedElementWithContent::BeforeDestruction();
    m_setOfName = nullptr;
}

const TElementClass* TElement_Enum::GetContentClass() { return TEnumItemsContainer::StaticClass(); }

TVisibilityMode TElement_Enum::GetVisibilityMode() {
    return InRoutineBody(this) ? TVisibilityMode::Public : TprNamedElementWithContent::GetVisibilityMode();
}

void TElement_Enum::GetDefaultName(QString& stem, bool&) { stem = TypesPrefix() + QStringLiteral("Enum"); }

void TElement_Enum::DeclaredVisibilityChanged() {
    TprNamedElementWithContent::DeclaredVisibilityChanged();
    if (m_setOfName) m_setOfName->UpdateNamespaceItem();
}

std::vector<TElement_EnumItem*> TElement_Enum::Items() const {
    std::vector<TElement_EnumItem*> items;
    if (TVisualElement* content = Content())
        for (TNode* n = content->FirstChild(); n; n = n->NextSibling())
            if (auto* item = dynamic_cast<TElement_EnumItem*>(n)) items.push_back(item);
    return items;
}

QString TElement_Enum::GeneratedPrefix() {
    const QString rest = NameField() ? WithoutTypesPrefix(NameField()->GetNameText()) : QString();
    QString prefix;
    for (QChar c : rest)
        if (c.isUpper()) prefix += c;
    return prefix.toLower();
}

void TElement_Enum::GeneratePrefix() {
    const QString prefix = GeneratedPrefix();
    const std::vector<TElement_EnumItem*> items = Items();
    if (prefix.isEmpty() || items.empty()) return;
    QStringList names;
    for (TElement_EnumItem* item : items) names.append(item->NameField()->GetNameText());
    const QString common = CommonNamePrefix(names);
    TOperationGroupScope group(Scheme(), true);
    for (int i = 0; i < int(items.size()); ++i) {
        const QString name = prefix + names[i].mid(common.size());
        if (name != names[i]) items[size_t(i)]->NameField()->ReplaceText(name);
    }
    group.End();
}

void TElement_Enum::WriteTitle(TTitleWriter& writer) {
    TprNamedElementWithContent::WriteTitle(writer);
    if (NameField()) writer.AddField(NameField());
    if (m_setOfName) writer.AddField(m_setOfName);
    if (IsExpanded() && Content()) writer.AddBlock(Content());
}

void TElement_Enum::GetPaletteItems(QList<TPaletteItem*>& list) {
    TprNamedElementWithContent::GetPaletteItems(list);
    if (g_simpleUnit && g_simpleUnit->generatePrefix) list.append(g_simpleUnit->generatePrefix);
}

void TElement_Enum::UpdatePaletteItemState(TPaletteItem* item, TPaletteItemState& state) {
    if (g_simpleUnit && item == g_simpleUnit->generatePrefix) {
        state.Enabled = true;
        return;
    }
    TprNamedElementWithContent::UpdatePaletteItemState(item, state);
}

bool TElement_Enum::ApplyPaletteItem(TPaletteItem* item, const QString& subCommand, bool checked) {
    if (g_simpleUnit && item == g_simpleUnit->generatePrefix) {
        GeneratePrefix();
        return true;
    }
    return TprNamedElementWithContent::ApplyPaletteItem(item, subCommand, checked);
}

void TElement_Enum::GetChildName(TElement* child, TSchemeFiler* filer, QString& name) {
    if (child && child == m_setOfName)
        name = kSetOfNameChild;
    else
        TprNamedElementWithContent::GetChildName(child, filer, name);
}

void TElement_Enum::GetChildHint(TElement* child, QString& text) {
    if (child && child == m_setOfName)
        text = LoadStr(strNameSetBasedThis);
    else
        TprNamedElementWithContent::GetChildHint(child, text);
}

void TElement_EnumItem::Create() {
    TprNamedElement::Create();
    CreateDescriptionField();
    SetNamePicture(this, SimpleCharPicture(kCharEnumItem));
}

void TElement_EnumItem::WriteTitle(TTitleWriter& writer) {
    TprNamedElement::WriteTitle(writer);
    if (NameField()) writer.AddField(NameField());
}

// ---------------------------------------------------------------------------
// Code

void TCodeContainer::Create() {
    TTitledTextContainer::Create();
    SetOptions(Options() | eoRequired);
    SetTextorOptions(TextorOptions() | kCodeTextorOptions);
    SetRestrictions(kCodeRestrictions);
}

void TElement_Code::Create() {
    TTitledElementWithContent::Create();
    CreateDescriptionField();
    CreateExpandButton(true);
}

const TElementClass* TElement_Code::GetContentClass() { return TCodeContainer::StaticClass(); }

void TElement_Code::WriteTitle(TTitleWriter& writer) {
    TTitledElementWithContent::WriteTitle(writer);
    writer.AddImage(SimpleSmallPicture(kSmallCode));
    if (IsExpanded() && GetContentContainer()) writer.AddBlock(GetContentContainer());
}

// ---------------------------------------------------------------------------
// The unit

TPaletteItem* SimpleElementPaletteItem(const TElementClass* cls) noexcept {
    if (!g_simpleUnit) return nullptr;
    return FindElementItem(g_simpleUnit->items, cls);
}

TPaletteItem* GeneratePrefixPaletteItem() noexcept { return g_simpleUnit ? g_simpleUnit->generatePrefix : nullptr; }
TPaletteItem* ArrayBoundsPaletteItem() noexcept { return g_simpleUnit ? g_simpleUnit->arrayBounds : nullptr; }

void InitSimpleElementsUnit() {
    if (g_simpleUnit) return;
    g_simpleUnit = std::make_unique<TSimpleUnit>();
    TSimpleUnit& unit = *g_simpleUnit;
    unit.smallImages = TImageStrip::Load(SchemeSmallImages(), QStringLiteral("prSimpleElementsSmallImages"));
    unit.charImages = TImageStrip::Load(SchemeCharImages(), QStringLiteral("prSimpleElementsCharImages"));
    unit.largeImages = TImageStrip::Load(SchemeLargeImages(), QStringLiteral("prSimpleElementsLargeImages"));

    AddItemsOnce(ModuleElementClasses(),
                 TElementClassList{TElement_Constant::StaticClass(), TElement_Use::StaticClass(),
                                   TElement_Enum::StaticClass(), TElement_Record::StaticClass(),
                                   TElement_Array::StaticClass(), TElement_Pointer::StaticClass(),
                                   TElement_TypeAlias::StaticClass()});
    AddItemOnce(ClassMemberElementClasses(), TElement_Constant::StaticClass());
    AddItemsOnce(CommandElementClasses(),
                 TElementClassList{TElement_Constant::StaticClass(), TElement_Enum::StaticClass(),
                                   TElement_Array::StaticClass(), TElement_Pointer::StaticClass(),
                                   TElement_TypeAlias::StaticClass(), TElement_Record::StaticClass(),
                                   TElement_Code::StaticClass()});
    if (!Palette() || !TypesPaletteGroup()) return;
    AddElementItems(unit.items, {
        // Large where the program root shows it among the Insert commands.
        {TElement_Constant::StaticClass(), strConstant, strConstantHint, PaletteOtherInsertItem(), 0,
         SimpleSmallPicture(kSmallConstant), 200, unit.largeImages.Picture(kLargeConstant)},
        {TElement_Use::StaticClass(), strUse, strUseHint, PaletteOtherInsertItem(), 0, SimpleSmallPicture(kSmallUse), 100},
        {TElement_Code::StaticClass(), strCode, strCodeHint, CommandsOtherItem(), 0, SimpleSmallPicture(kSmallCode), 100},
        // Small where a routine body shows it under "Other".
        {TElement_Enum::StaticClass(), strEnumeration, strEnumerationHint, TypesPaletteGroup(), pifLargeImage,
         unit.largeImages.Picture(kLargeEnum), 400, SimpleSmallPicture(kSmallEnum)},
        {TElement_EnumItem::StaticClass(), strItem, strItemInTheEnumeration, PaletteInsertGroup(), pifLargeImage,
         unit.largeImages.Picture(kLargeEnumItem), 100},
        {TElement_Array::StaticClass(), strArray, strArrayHint, TypesOtherItem(), 0, SimpleSmallPicture(kSmallArray), 200},
        {TElement_TypeAlias::StaticClass(), strAlias, strTypeAliasBasisThis, TypesOtherItem(), 0,
         SimpleSmallPicture(kSmallAlias), 160},
        {TElement_Pointer::StaticClass(), strPointer, strPointerHint, TypesOtherItem(), 0, SimpleSmallPicture(kSmallPointer),
         140},
        {TElement_Record::StaticClass(), strRecord, strRecordHint, TypesOtherItem(), 0, SimpleSmallPicture(kSmallRecord),
         80},
    });
    // The naming elements' large strip starts with the "Autoname" picture.
    const int autonamePicture = AutonamePaletteItem() ? AutonamePaletteItem()->LargeImage() : NoImageIndex;
    unit.generatePrefix = TSchemePaletteItem::Create(PaletteActionsGroup(), pifLargeImage | pifChangesElement,
                                                     autonamePicture, strGeneratePrefix, strGeneratePrefixHint, 100);
    unit.arrayBounds = TSchemePaletteItem::Create(PaletteActionsGroup(), pifChangesElement | pifNotForCombined,
                                                  SimpleSmallPicture(kSmallArray), strArrayBounds, strArrayBoundsHint, 1100);
}

void FinalSimpleElementsUnit() { g_simpleUnit.reset(); }
