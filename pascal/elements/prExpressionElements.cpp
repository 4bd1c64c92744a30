#include "pascal/elements/prExpressionElements.h"

#include "core/cuLocalization.h"
#include "core/cuStringIds.h"
#include "elements/coRoot.h"
#include "pascal/elements/prCustomFieldElements.h"
#include "scheme/diMessages.h"
#include "scheme/diNaming.h"
#include "scheme/diPalette.h"
#include "scheme/diThemes.h"
#include "scheme/diUtils.h"

#include <QVarLengthArray>

#include <memory>
#include <utility>

T_ELEMENT_CLASS_IMPL_ABSTRACT(TCustomExpressionField, TReferenceField)
T_ELEMENT_CLASS_IMPL(TExpressionField, TCustomExpressionField)
T_ELEMENT_CLASS_IMPL(TExpressionExField, TExpressionField)
T_ELEMENT_CLASS_IMPL(TElement_String, TTextorElement)
T_ELEMENT_CLASS_IMPL(TElement_Self, TCustomSmallImageElement)
T_ELEMENT_CLASS_IMPL(TElement_True, TCustomSmallImageElement)
T_ELEMENT_CLASS_IMPL_ABSTRACT(TCustomExpressionElement, TTitledElement)
T_ELEMENT_CLASS_IMPL(TElement_Not, TCustomExpressionElement)
T_ELEMENT_CLASS_IMPL(TElement_Fingers, TCustomExpressionElement)
T_ELEMENT_CLASS_IMPL(TElement_ToType, TCustomExpressionElement)
T_ELEMENT_CLASS_IMPL(TElement_SizeOf, TCustomExpressionElement)
T_ELEMENT_CLASS_IMPL_STORED_AS(TElement_MethodInExpression, TTitledElementWithCommandContentWithResult, "Method")

namespace {

const QString kValueChild = QStringLiteral("Value");
const QString kConditionChild = QStringLiteral("Condition");
const QString kValueTrueChild = QStringLiteral("ValueTrue");
const QString kValueFalseChild = QStringLiteral("ValueFalse");
const QString kNewTypeChild = QStringLiteral("NewType");

// The String's text: any characters, several lines.
constexpr uint32_t kStringTextorOptions = 0x22001;
constexpr uint32_t kStringRestrictions = trAllCharacters;
// A value field shown only while filled or edited.
constexpr uint32_t kOptionalValueTextorOptions = toEmptyWidth;

// Pictures of "prExpressionElementsSmallImages" (S) and "...LargeImages" (L).
enum : int {
    kPictureTrue = 0,
    kPictureSizeOf = 1,
    kPictureNot = 2,
    kPictureToType = 3,
    kPictureSelf = 5,
    kPictureFingers = 7,
    kPictureFingersSplit = 8,
    kLargePictureString = 0,
};
// The method's small picture 1 of the method elements' strip, which that
// unit loads later: until then none.
constexpr int kMethodSmallPicture = NoImageIndex;

struct TExpressionUnit {
    TImageStrip smallImages;
    TImageStrip largeImages;
    TElementItems items;
};
std::unique_ptr<TExpressionUnit> g_expressionUnit;

int ExpressionSmallPicture(int picture) {
    return g_expressionUnit ? g_expressionUnit->smallImages.Picture(picture) : NoImageIndex;
}

bool Has(uint16_t flags, uint16_t bit) noexcept { return flags & bit; }

// The value field that holds element (its nearest value-field ancestor); nil.
TExpressionField* HoldingField(TElement* element) {
    for (TElement* e = element ? element->ParentElement() : nullptr; e; e = e->ParentElement())
        if (auto* field = dynamic_cast<TExpressionField*>(e)) return field;
    return nullptr;
}

// The enumeration an enumeration item stands in.
TElement* EnclosingEnum(TElement* item) {
    for (TElement* e = item ? item->ParentElement() : nullptr; e; e = e->ParentElement())
        if (DeclarationKindOf(e) == TDeclarationKind::Enum) return e;
    return nullptr;
}

bool IsThroughOutConnection(TNamespaceItem* item) {
    for (TNamespaceItem* i = item; i;) {
        TNamespaceCoverItem* cover = i->AsCover();
        if (!cover) return false;
        if (dynamic_cast<IMembersOutConnection*>(cover->Connection())) return true;
        i = cover->Wrapped();
    }
    return false;
}

TTypeDescriptor* DescriptorOf(intptr_t p) { return reinterpret_cast<TTypeDescriptor*>(p); }

}  // namespace

// ---------------------------------------------------------------------------
// Flags and rules

uint16_t InheritedFlagsOf(uint8_t mask) noexcept {
    uint16_t flags = 0;
    if (mask & imAssignTarget) flags |= afAssignTarget;
    if (mask & imNoVariables) flags |= afNoVariables;
    if (mask & imNoConstants) flags |= afNoConstants;
    return flags;
}

TValueCandidate DescribeValueCandidate(TNamespaceItem* item) {
    TValueCandidate candidate;
    TElement* element = item ? item->GetElement() : nullptr;
    if (!element) return candidate;
    candidate.Kind = DeclarationKindOf(element);
    TNamespaceItem* original = item->GetOriginal();
    if (auto* declaration = dynamic_cast<IValueDeclaration*>(element)) {
        candidate.Role = declaration->GetValueNameRole(original);
        candidate.Assignable = declaration->IsAssignableThrough(original);
    }
    if (candidate.Kind == TDeclarationKind::Object && IsSecondaryNameItem(original))
        candidate.Role = TValueNameRole::ClassOf;
    if (auto* identifier = dynamic_cast<TCustomFieldElement*>(element)) candidate.Assignable = !identifier->IsReadOnly();
    candidate.ThroughOutConnection = IsThroughOutConnection(item);
    return candidate;
}

bool AcceptsValueCandidate(uint16_t flags, const TValueCandidate& c) noexcept {
    const bool assign = Has(flags, afAssignTarget);
    const bool noVariables = Has(flags, afNoVariables);
    const bool noConstants = Has(flags, afNoConstants);
    // Readable, or assignable through this name.
    const bool writable = !assign || c.Assignable;
    switch (c.Kind) {
    case TDeclarationKind::Handler:
        return !assign;
    case TDeclarationKind::Field:
        return !noVariables;
    case TDeclarationKind::Constant:
        return !assign && !noConstants;
    case TDeclarationKind::EnumItem:
        return Has(flags, afNumbers) && !assign && !noConstants;
    case TDeclarationKind::PropertyGetSet:
        return c.Role == TValueNameRole::Main && !noVariables && writable;
    case TDeclarationKind::PropertyWithField:
        if (c.Role == TValueNameRole::FieldName) return !noVariables;
        return c.Role == TValueNameRole::Main && !noVariables && writable;
    case TDeclarationKind::PropertyWithSubObject:
        if (c.Role == TValueNameRole::FieldName) return !noVariables;
        return c.Role == TValueNameRole::Main && !noVariables && !assign;
    case TDeclarationKind::ArrayProperty:
        // By its main name it needs an index: only through an Identifier.
        return c.Role == TValueNameRole::CountName && !noVariables && writable;
    case TDeclarationKind::Event:
    case TDeclarationKind::Notification:
        return !c.ThroughOutConnection && !noVariables;
    case TDeclarationKind::SubObject:
        return Has(flags, afInstances) && !assign && !noVariables;
    case TDeclarationKind::Parameter:
        return !noVariables && writable;
    case TDeclarationKind::Object:
        return c.Role == TValueNameRole::Main && Has(flags, afObjectTypes) && !assign && !noVariables && !noConstants;
    case TDeclarationKind::BuiltInClassType:
        return !assign && !noVariables;
    case TDeclarationKind::BuiltInClassName:
        return Has(flags, afStrings) && !assign && !noVariables;
    case TDeclarationKind::BuiltInCreate:
    case TDeclarationKind::Constructor:
        return Has(flags, afInstances) && !assign && !noVariables && !Has(flags, afNoInstanceCreation);
    case TDeclarationKind::Method:
    case TDeclarationKind::OverrideInherited:
        return !noVariables && !assign;
    case TDeclarationKind::ImplicitIdentifier:
        return !noVariables && writable;
    default:
        return false;
    }
}

// ---------------------------------------------------------------------------
// TCustomExpressionField

TElement* TCustomExpressionField::EmbeddedElement() const {
    for (TNode* n = FirstChild(); n; n = n->NextSibling()) {
        auto* element = ClassAs<TElement>(n);
        if (element && !element->IsSubElement()) return element;
    }
    return nullptr;
}

void TCustomExpressionField::GetValueType(TTypeDescriptor& descriptor) {
    GetStandardTypeDescriptor(StandardTypeName::Variant, descriptor);
    // A value that asks for itself, or a chain of constants deeper than the
    // limit, stays a variant.
    if (m_computing) return;
    const TTypeChainDepth depth;
    if (depth.Exceeded()) return;
    m_computing = true;
    struct TReset {
        bool& flag;
        ~TReset() { flag = false; }
    } reset{m_computing};

    if (TNamespaceItem* item = GetTargetItem()) {
        if (TNamespaceItem* resolved = ResolveTypeAlias(item))
            GetReferencedType(item, resolved, resolved->GetElement(), descriptor);
        return;
    }
    if (TElement* element = EmbeddedElement()) {
        element->SendNodeMessage(nmGetValueType, reinterpret_cast<intptr_t>(&descriptor), 0);
        return;
    }
    QString buffer;
    switch (ClassifyNumberLiteral(TextView(buffer))) {
    case TNumberLiteral::Integer:
        GetStandardTypeDescriptor(StandardTypeName::Int, descriptor);
        break;
    case TNumberLiteral::Float:
        GetStandardTypeDescriptor(StandardTypeName::Float, descriptor);
        break;
    case TNumberLiteral::None:
        break;
    }
}

void TCustomExpressionField::GetReferencedType(TNamespaceItem* item, TNamespaceItem* resolved, TElement* element,
                                               TTypeDescriptor& descriptor) {
    switch (DeclarationKindOf(element)) {
    case TDeclarationKind::ImplicitIdentifier:
        GetTypeDescriptor(static_cast<TCustomFieldElement*>(element)->TypeItem(), descriptor);
        return;
    case TDeclarationKind::EnumItem:
        SetTypeDescriptor(TValueTypeKind::Enum, item, MainNameItem(EnclosingEnum(element)), descriptor);
        return;
    case TDeclarationKind::Event:
    case TDeclarationKind::Notification:
        SetTypeDescriptor(TValueTypeKind::EventValue, item, resolved, descriptor);
        return;
    case TDeclarationKind::BuiltInClassName:
        GetStandardTypeDescriptor(StandardTypeName::Str, descriptor);
        return;
    case TDeclarationKind::BuiltInClassType:
        GetStandardTypeDescriptor(StandardTypeName::ObjectType, descriptor);
        return;
    case TDeclarationKind::Object:
        SetTypeDescriptor(TValueTypeKind::ObjectType, item, MainNameItem(element), descriptor);
        return;
    case TDeclarationKind::BuiltInCreate:
    case TDeclarationKind::Constructor:
        GetStandardTypeDescriptor(StandardTypeName::Object, descriptor);
        return;
    default:
        // Field-like declarations, constants and routines know their own.
        if (auto* declaration = Supports<IValueDeclaration>(element))
            declaration->GetDeclaredValueType(resolved, descriptor);
        return;
    }
}

// ---------------------------------------------------------------------------
// TExpressionField

TExpressionField::TExpressionField() noexcept { InitOptions(Options() & ~eoStoredInParentNode); }

void TExpressionField::Create() {
    TCustomExpressionField::Create();
    SetTextorOptions(TextorOptions() | toRichContent);
    SetRestrictions(TextRestrictions() | trSingleElement);
    SetReferenceOptions(ReferenceOptions() | roFreeText);
}

void TExpressionField::SetAcceptFlags(uint16_t flags) {
    if (flags == m_acceptFlags) return;
    m_acceptFlags = flags;
    // Names resolved under the old flags may be refused now, and the reverse.
    if (GetTargetItem() && !Accepts(GetTargetItem())) SetTarget(nullptr);
    if (!GetTargetItem() && !IsBeingDestroyed() && !GetText().isEmpty()) ResolveByName();
}

void TExpressionField::SetInheritMask(uint8_t mask) {
    m_inheritMask = mask;
    CopyInheritedFlags();
}

void TExpressionField::CopyInheritedFlags() {
    if (!m_inheritMask) return;
    TExpressionField* outer = HoldingField(this);
    if (!outer) return;
    const uint16_t selected = InheritedFlagsOf(m_inheritMask);
    SetAcceptFlags(uint16_t((m_acceptFlags & ~selected) | (outer->AcceptFlags() & selected)));
}

void TExpressionField::TreePlacementChanged() {
    TCustomExpressionField::TreePlacementChanged();
    if (!IsBeingDestroyed()) CopyInheritedFlags();
}

void TExpressionField::FillAcceptedClasses(TElementClassList& list) {
    AddItemsOnce(list, ExpressionElementClasses());
    TCustomExpressionField::FillAcceptedClasses(list);
    RemoveItems(list, ClassesGroups().GetGroup(cgInlineValueElements));
    AddItemsOnce(list, ClassesGroups().GetGroup(cgRichTextElements));
}

bool TExpressionField::CanReferTo(TNamespaceItem* item) {
    return item && AcceptsValueCandidate(m_acceptFlags, DescribeValueCandidate(item));
}

void TExpressionField::CheckContent() {
    TCustomExpressionField::CheckContent();
    if (GetTargetItem() || EmbeddedElement()) return;
    const QString text = GetText();
    if (text.isEmpty() || ClassifyNumberLiteral(text) != TNumberLiteral::None) return;
    GetMessages()->AddElementLinkMessage(mkInvalidContent,
                                         LoadStrFmt(strElementNotFoundNot, {SanitizeMessageText(text)}),
                                         QString::number(Number()));
}

TExpressionField* AsExpressionField(TElement* target) { return dynamic_cast<TExpressionField*>(target); }

bool AnswerStandardType(const QString& name, intptr_t descriptor) {
    GetStandardTypeDescriptor(name, *DescriptorOf(descriptor));
    return true;
}

// ---------------------------------------------------------------------------
// String, Self, True

TElement_String::TElement_String() noexcept {
    InitOptions(Options() | eoRequired);
    InitVisualOptions(VisualOptions() | voCanDisable);
}

void TElement_String::Create() {
    TTextorElement::Create();
    SetTextorOptions(TextorOptions() | kStringTextorOptions);
    SetRestrictions(kStringRestrictions);
}

bool TElement_String::ClassCanBePlacedIn(const TElementClass* cls, TElement* target) {
    if (!TTextorElement::ClassCanBePlacedIn(cls, target)) return false;
    const TExpressionField* field = AsExpressionField(target);
    return !field || (Has(field->AcceptFlags(), afStrings) && !Has(field->AcceptFlags(), afAssignTarget));
}

int TElement_String::GetThemeKind() const { return tekSubstitution; }

bool TElement_String::HandleNodeMessage(int msg, intptr_t p1, intptr_t p2) {
    if (msg == nmGetValueType) return AnswerStandardType(StandardTypeName::Str, p1);
    return TTextorElement::HandleNodeMessage(msg, p1, p2);
}

bool TElement_Self::ClassCanBePlacedIn(const TElementClass* cls, TElement* target) {
    if (!TCustomSmallImageElement::ClassCanBePlacedIn(cls, target)) return false;
    const TExpressionField* field = AsExpressionField(target);
    if (!field) return true;
    const uint16_t flags = field->AcceptFlags();
    if (!(flags & (afInstances | afObjectTypes)) || Has(flags, afAssignTarget) || Has(flags, afNoVariables))
        return false;
    for (TElement* e = target; e; e = e->ParentElement())
        if (ScopeKindOf(e) == TScopeKind::Object) return true;
    return false;
}

int TElement_Self::GetImageIndex() { return ExpressionSmallPicture(kPictureSelf); }

bool TElement_Self::HandleNodeMessage(int msg, intptr_t p1, intptr_t p2) {
    if (msg == nmGetValueType) return AnswerStandardType(StandardTypeName::Object, p1);
    return TCustomSmallImageElement::HandleNodeMessage(msg, p1, p2);
}

bool TElement_True::ClassCanBePlacedIn(const TElementClass* cls, TElement* target) {
    if (!TCustomSmallImageElement::ClassCanBePlacedIn(cls, target)) return false;
    const TExpressionField* field = AsExpressionField(target);
    if (!field) return true;
    const uint16_t flags = field->AcceptFlags();
    return Has(flags, afLogical) && !Has(flags, afAssignTarget) && !Has(flags, afNoConstants);
}

int TElement_True::GetImageIndex() { return ExpressionSmallPicture(kPictureTrue); }

bool TElement_True::HandleNodeMessage(int msg, intptr_t p1, intptr_t p2) {
    if (msg == nmGetValueType) return AnswerStandardType(StandardTypeName::Bool, p1);
    return TCustomSmallImageElement::HandleNodeMessage(msg, p1, p2);
}

// ---------------------------------------------------------------------------
// TCustomExpressionElement

void TCustomExpressionElement::Create() {
    TTitledElement::Create();
    SetStyleFlags(StyleFlags() | tsExpression);
}

TExpressionField* TCustomExpressionElement::AddValueField(const QString& name, int hintId, bool required,
                                                          uint16_t flags, uint8_t mask) {
    auto* field = static_cast<TExpressionField*>(
        TVisualElement::CreateSubElement(TExpressionField::StaticClass(), this, nullptr, this));
    if (required) field->SetOptions(field->Options() | eoRequired);
    field->SetAcceptFlags(flags);
    if (mask) field->SetInheritMask(mask);
    m_parts.append({field, name, hintId});
    return field;
}

TTypeReferenceField* TCustomExpressionElement::AddTypeField(const QString& name, int hintId) {
    auto* field = static_cast<TTypeReferenceField*>(
        TVisualElement::CreateSubElement(TTypeReferenceField::StaticClass(), this, nullptr, this));
    field->SetOptions(field->Options() | eoRequired);
    m_parts.append({field, name, hintId});
    return field;
}

const TCustomExpressionElement::TPart* TCustomExpressionElement::PartOf(TElement* child) const {
    for (const TPart& part : m_parts)
        if (part.Field == child) return &part;
    return nullptr;
}

void TCustomExpressionElement::GetChildName(TElement* child, TSchemeFiler* filer, QString& name) {
    if (const TPart* part = child ? PartOf(child) : nullptr)
        name = part->Name;
    else
        TTitledElement::GetChildName(child, filer, name);
}

void TCustomExpressionElement::GetChildHint(TElement* child, QString& text) {
    if (const TPart* part = child ? PartOf(child) : nullptr; part && part->HintId)
        text = LoadStr(part->HintId);
    else
        TTitledElement::GetChildHint(child, text);
}

// ---------------------------------------------------------------------------
// Not

void TElement_Not::Create() {
    TCustomExpressionElement::Create();
    m_value = AddValueField(kValueChild, strLogicalValue, true, afLogical, imNoVariables | imNoConstants);
}

bool TElement_Not::ClassCanBePlacedIn(const TElementClass* cls, TElement* target) {
    if (!TCustomExpressionElement::ClassCanBePlacedIn(cls, target)) return false;
    const TExpressionField* field = AsExpressionField(target);
    return !field || (Has(field->AcceptFlags(), afLogical) && !Has(field->AcceptFlags(), afAssignTarget));
}

bool TElement_Not::HandleNodeMessage(int msg, intptr_t p1, intptr_t p2) {
    if (msg == nmGetValueType) return AnswerStandardType(StandardTypeName::Bool, p1);
    return TCustomExpressionElement::HandleNodeMessage(msg, p1, p2);
}

bool TElement_Not::HandleChildMessage(TElement* child, int msg, intptr_t p1, intptr_t p2) {
    if (msg == nmGetExpectedType && child && child == m_value) return AnswerStandardType(StandardTypeName::Bool, p1);
    return TCustomExpressionElement::HandleChildMessage(child, msg, p1, p2);
}

void TElement_Not::WriteTitle(TTitleWriter& writer) {
    TCustomExpressionElement::WriteTitle(writer);
    writer.AddImage(ExpressionSmallPicture(kPictureNot));
    if (m_value) writer.AddField(m_value);
}

// ---------------------------------------------------------------------------
// If Then Else

void TElement_Fingers::Create() {
    TCustomExpressionElement::Create();
    m_condition = AddValueField(kConditionChild, strFingersCondition, true, afLogical | afNoConstants);
    m_true = AddValueField(kValueTrueChild, strValueIfCoditionTrue, false, kDefaultAcceptFlags);
    m_false = AddValueField(kValueFalseChild, strValueIfCoditionFalse, false, kDefaultAcceptFlags);
    m_true->SetTextorOptions(m_true->TextorOptions() | kOptionalValueTextorOptions);
    m_false->SetTextorOptions(m_false->TextorOptions() | kOptionalValueTextorOptions);
}

bool TElement_Fingers::ClassCanBePlacedIn(const TElementClass* cls, TElement* target) {
    if (!TCustomExpressionElement::ClassCanBePlacedIn(cls, target)) return false;
    const TExpressionField* field = AsExpressionField(target);
    if (!field) return true;
    if (Has(field->AcceptFlags(), afAssignTarget) || Has(field->AcceptFlags(), afNoVariables)) return false;
    for (TElement* e = target; e; e = e->ParentElement())
        if (dynamic_cast<TElement_Fingers*>(e)) return false;
    return true;
}

bool TElement_Fingers::HandleNodeMessage(int msg, intptr_t p1, intptr_t p2) {
    if (msg == nmGetValueType) {
        if (m_true) m_true->GetValueType(*DescriptorOf(p1));
        return true;
    }
    return TCustomExpressionElement::HandleNodeMessage(msg, p1, p2);
}

bool TElement_Fingers::HandleChildMessage(TElement* child, int msg, intptr_t p1, intptr_t p2) {
    if (msg == nmGetExpectedType && child) {
        if (child == m_condition) return AnswerStandardType(StandardTypeName::Bool, p1);
        if (child == m_true || child == m_false) {
            GetExpectedType(HoldingField(this), *DescriptorOf(p1));
            return true;
        }
    }
    return TCustomExpressionElement::HandleChildMessage(child, msg, p1, p2);
}

void TElement_Fingers::WriteTitle(TTitleWriter& writer) {
    TCustomExpressionElement::WriteTitle(writer);
    if (m_condition) writer.AddField(m_condition);
    if (m_true) writer.AddField(m_true);
    writer.AddImage(ExpressionSmallPicture(kPictureFingersSplit));
    if (m_false) writer.AddField(m_false);
}

// ---------------------------------------------------------------------------
// To Type

void TElement_ToType::Create() {
    TCustomExpressionElement::Create();
    m_value = AddValueField(kValueChild, strToTypeValueHint, true, kDefaultAcceptFlags,
                            imAssignTarget | imNoVariables | imNoConstants);
    m_newType = AddTypeField(kNewTypeChild, strNewType);
}

bool TElement_ToType::HandleNodeMessage(int msg, intptr_t p1, intptr_t p2) {
    if (msg == nmGetValueType) {
        GetTypeDescriptor(m_newType ? m_newType->GetTargetItem() : nullptr, *DescriptorOf(p1));
        return true;
    }
    return TCustomExpressionElement::HandleNodeMessage(msg, p1, p2);
}

bool TElement_ToType::HandleChildMessage(TElement* child, int msg, intptr_t p1, intptr_t p2) {
    if (msg == nmGetExpectedType && child && child == m_value && !m_value->IsFilled()) {
        GetTypeDescriptor(m_newType ? m_newType->GetTargetItem() : nullptr, *DescriptorOf(p1));
        return true;
    }
    return TCustomExpressionElement::HandleChildMessage(child, msg, p1, p2);
}

void TElement_ToType::InitNew(TPaletteItem* item) {
    TCustomExpressionElement::InitNew(item);
    if (!m_newType) return;
    TTypeDescriptor expected;
    GetExpectedType(HoldingField(this), expected);
    const bool known = expected.TypeItem && expected.Kind != TValueTypeKind::Variant;
    m_newType->SetText(known ? expected.TypeItem->GetName() : StandardTypeName::Int);
}

void TElement_ToType::WriteTitle(TTitleWriter& writer) {
    TCustomExpressionElement::WriteTitle(writer);
    if (m_value) writer.AddField(m_value);
    writer.AddImage(ExpressionSmallPicture(kPictureToType));
    if (m_newType) writer.AddField(m_newType);
}

// ---------------------------------------------------------------------------
// Size Of

void TElement_SizeOf::Create() {
    TCustomExpressionElement::Create();
    m_value = AddTypeField(kValueChild, strSizeOfTypeHint);
}

bool TElement_SizeOf::ClassCanBePlacedIn(const TElementClass* cls, TElement* target) {
    if (!TCustomExpressionElement::ClassCanBePlacedIn(cls, target)) return false;
    const TExpressionField* field = AsExpressionField(target);
    return !field || (Has(field->AcceptFlags(), afNumbers) && !Has(field->AcceptFlags(), afAssignTarget));
}

bool TElement_SizeOf::HandleNodeMessage(int msg, intptr_t p1, intptr_t p2) {
    if (msg == nmGetValueType) return AnswerStandardType(StandardTypeName::Int, p1);
    return TCustomExpressionElement::HandleNodeMessage(msg, p1, p2);
}

void TElement_SizeOf::WriteTitle(TTitleWriter& writer) {
    TCustomExpressionElement::WriteTitle(writer);
    writer.AddImage(ExpressionSmallPicture(kPictureSizeOf));
    if (m_value) writer.AddField(m_value);
}

// ---------------------------------------------------------------------------
// The anonymous method

void TElement_MethodInExpression::Create() {
    TTitledElementWithCommandContentWithResult::Create();
    SetStyleFlags(StyleFlags() | tsExpression);
    CreateDescriptionField();
    CreateExpandButton(true);
    if (TVisualElement* body = GetContentContainer()) body->SetOptions(body->Options() | eoRequired);
}

TCommandsContainerWithResult* TElement_MethodInExpression::Body() const {
    return dynamic_cast<TCommandsContainerWithResult*>(
        const_cast<TElement_MethodInExpression*>(this)->GetContentContainer());
}

bool TElement_MethodInExpression::ClassCanBePlacedIn(const TElementClass* cls, TElement* target) {
    if (!TTitledElementWithCommandContentWithResult::ClassCanBePlacedIn(cls, target)) return false;
    const TExpressionField* field = AsExpressionField(target);
    return !field || (!Has(field->AcceptFlags(), afAssignTarget) && !Has(field->AcceptFlags(), afNoVariables));
}

void TElement_MethodInExpression::TreePlacementChanged() {
    TTitledElementWithCommandContentWithResult::TreePlacementChanged();
    if (IsBeingDestroyed()) return;
    // The body sees the names of the scope the method stands in.
    if (TCommandsContainerWithResult* body = Body()) body->Connection()->SetTarget(FindOwnerNamespace(this));
}

void TElement_MethodInExpression::WriteTitle(TTitleWriter& writer) {
    TTitledElementWithCommandContentWithResult::WriteTitle(writer);
    if (IsExpanded())
        if (TVisualElement* body = GetContentContainer()) writer.AddBlock(body);
}

// ---------------------------------------------------------------------------
// The unit

namespace {

struct TExpressionItemRow {
    const TElementClass* cls;
    int caption;
    int hint;
    bool other;
    uint16_t flags;
    int picture;  // small, or large with pifLargeImage
    int order;
    const char16_t* letter;
};

}  // namespace

TPaletteItem* ExpressionElementPaletteItem(const TElementClass* cls) noexcept {
    if (!g_expressionUnit) return nullptr;
    return FindElementItem(g_expressionUnit->items, cls);
}

void InitExpressionElementsUnit() {
    if (g_expressionUnit) return;
    auto unit = std::make_unique<TExpressionUnit>();
    unit->smallImages = TImageStrip::Load(SchemeSmallImages(), QStringLiteral("prExpressionElementsSmallImages"));
    unit->largeImages = TImageStrip::Load(SchemeLargeImages(), QStringLiteral("prExpressionElementsLargeImages"));
    g_expressionUnit = std::move(unit);

    AddItemsOnce(ExpressionElementClasses(),
                 TElementClassList{TElement_String::StaticClass(), TElement_Self::StaticClass(),
                                   TElement_True::StaticClass(), TElement_Not::StaticClass(),
                                   TElement_ToType::StaticClass(), TElement_SizeOf::StaticClass(),
                                   TElement_Fingers::StaticClass(), TElement_MethodInExpression::StaticClass()});
    if (!ExpressionsPaletteGroup()) return;
    const TExpressionItemRow rows[] = {
        {TElement_String::StaticClass(), strString, strInsertingStringValue, false, pifLargeImage,
         g_expressionUnit->largeImages.Picture(kLargePictureString), 1200, nullptr},
        {TElement_Not::StaticClass(), strNot, strReversesLogicalValue, false, 0, ExpressionSmallPicture(kPictureNot), 950, u"N"},
        {TElement_ToType::StaticClass(), strToType, strToTypeHint, false, pifNewColumn, ExpressionSmallPicture(kPictureToType),
         220, nullptr},
        {TElement_Fingers::StaticClass(), strIfThenElse, strSubstitutionOneTwoValues, false, 0,
         ExpressionSmallPicture(kPictureFingers), 100, nullptr},
        {TElement_True::StaticClass(), strTrue, strLogicalValueTrue, false, 0, ExpressionSmallPicture(kPictureTrue), 80, u"T"},
        {TElement_Self::StaticClass(), strSelf, strCurrentObjectValueClass, false, 0, ExpressionSmallPicture(kPictureSelf), 50,
         nullptr},
        {TElement_MethodInExpression::StaticClass(), strMethodExpression, strAnonymousMethodHint, true, 0,
         kMethodSmallPicture, 200, nullptr},
        {TElement_SizeOf::StaticClass(), strSizeOf, strSizeBytesSpecifiedType, true, 0, ExpressionSmallPicture(kPictureSizeOf),
         100, nullptr},
    };
    for (const TExpressionItemRow& row : rows) {
        TNode* parent = row.other ? static_cast<TNode*>(ExpressionsOtherItem()) : ExpressionsPaletteGroup();
        TElementPaletteItem* item =
            TElementPaletteItem::Create(parent, row.flags, row.picture, row.caption, row.hint, row.order, row.cls);
        if (row.letter) item->SetLetter(QString::fromUtf16(row.letter));
        g_expressionUnit->items.append({row.cls, item});
    }
}

void FinalExpressionElementsUnit() {
    // The class group and the palette entries belong to their registries.
    g_expressionUnit.reset();
}
