#include "pascal/elements/prIdentifierElements.h"

#include "core/cuKnot.h"
#include "core/cuStringIds.h"
#include "pascal/elements/prCustomFieldElements.h"
#include "pascal/elements/prFieldElements.h"
#include "pascal/elements/prMethodElements.h"
#include "pascal/elements/prSimpleElements.h"
#include "elements/coRoot.h"
#include "scheme/diFilers.h"
#include "scheme/diPalette.h"
#include "scheme/diThemes.h"
#include "scheme/diUtils.h"

#include <QHash>

#include <algorithm>
#include <numeric>

T_ELEMENT_CLASS_IMPL(TIdentifierField, TCustomExpressionField)
T_ELEMENT_CLASS_IMPL(TIdentifierParameterValue, TExpressionField)
T_ELEMENT_CLASS_IMPL(TIdentifierParameterValues, TChildrenByNamespaceElement)
T_ELEMENT_CLASS_IMPL_ABSTRACT(TCustomIdentifierElement, TCustomDescribedElement)
T_ELEMENT_CLASS_IMPL_STORED_AS(TElement_IdentifierInMethod, TCustomIdentifierElement, "Identifier")
T_ELEMENT_CLASS_IMPL_STORED_AS(TElement_IdentifierInExpression, TCustomIdentifierElement, "Identifier")

namespace {

const QString kIdentifierChild = QStringLiteral("Identifier");
const QString kParameterValuesChild = QStringLiteral("ParameterValues");
const QString kValueNode = QStringLiteral("Value");
const QString kParameterAttribute = QStringLiteral("Parameter");
const QString kHintSeparator = QStringLiteral(": ");
// The deferred step that matches the stored values with the parameters.
constexpr intptr_t kMatchValuesStep = 1;
// The palette items' order and key.
constexpr int kIdentifierPaletteOrder = 2000;
const QString kIdentifierKey = QStringLiteral(" ");
constexpr int kPictureIdentifier = 0;

struct TIdentifierUnit {
    TImageStrip largeImages;
};
std::unique_ptr<TIdentifierUnit> g_identifierUnit;

// The type item that a field-like declaration or an implicit identifier declares; nil.
TNamespaceItem* DeclaredTypeItem(TElement* element) {
    if (auto* implicit = ClassAs<TCustomFieldElement>(element)) return implicit->TypeItem();
    if (auto* field = ClassAs<TCustomField>(element))
        return field->TypeField() ? field->TypeField()->GetTargetItem() : nullptr;
    return nullptr;
}

// The method type that typeItem names (aliases followed); nil.
TElement_MethodType* MethodTypeOf(TNamespaceItem* typeItem) {
    TNamespaceItem* resolved = ResolveTypeAlias(typeItem);
    return resolved ? ClassAs<TElement_MethodType>(resolved->GetElement()) : nullptr;
}

TNamespace* ParametersOf(TParametersContainer* parameters) { return parameters ? parameters->Namespace() : nullptr; }

bool IsFieldLike(TDeclarationKind kind) {
    return kind == TDeclarationKind::Field || kind == TDeclarationKind::Parameter ||
           kind == TDeclarationKind::SubObject || kind == TDeclarationKind::ImplicitIdentifier;
}

bool IsAncestorOf(const TElement* ancestor, const TElement* element) {
    for (const TElement* e = element; e; e = e->ParentElement())
        if (e == ancestor) return true;
    return false;
}

// A private method whose descendants may not call it is called only from
// inside its own object.
bool MayCallMethod(TElement* method, TElement* caller) {
    auto* declared = dynamic_cast<TElement_Method*>(method);
    if (!declared || declared->Visibility() != TVisibility::Private || declared->GetDescendantsCall()) return true;
    TElement* container = GetDeclarationContainer(declared);
    if (!container || ScopeKindOf(container) != TScopeKind::Object) return true;
    return IsAncestorOf(container, caller);
}

// What the value field holding an Identifier sees of the candidate: an array
// property named by its name gets its index here and is, to the holder, read
// (or assigned) as any property.
TValueCandidate HeldCandidate(TValueCandidate candidate) {
    if (candidate.Kind == TDeclarationKind::ArrayProperty && candidate.Role == TValueNameRole::Main)
        candidate.Kind = TDeclarationKind::PropertyGetSet;
    return candidate;
}

}  // namespace

bool StacksParameterValues(const std::vector<int>& widths) noexcept {
    const int total = std::accumulate(widths.begin(), widths.end(), 0);
    const bool wide = std::any_of(widths.begin(), widths.end(), [](int w) { return w > kMaxValueWidthInRow; });
    return total > kMaxValuesRowWidth || wide;
}

TNamespace* CallParametersOf(TNamespaceItem* item) {
    TElement* element = item ? item->GetElement() : nullptr;
    if (!element) return nullptr;
    if (auto* owner = dynamic_cast<ICallParametersOwner*>(element)) return owner->GetCallParameters(item);
    if (auto* method = dynamic_cast<TCustomMethod*>(element)) return ParametersOf(method->Parameters());
    if (!IsFieldLike(DeclarationKindOf(element))) return nullptr;
    if (TElement_MethodType* type = MethodTypeOf(DeclaredTypeItem(element))) return ParametersOf(type->Parameters());
    if (auto* indexed = dynamic_cast<TCustomFieldWithArrayTypeSupport*>(element)) return indexed->ParametersNamespace();
    return nullptr;
}

// ---------------------------------------------------------------------------
// TIdentifierField

void TIdentifierField::Create() {
    TCustomExpressionField::Create();
    SetOptions(Options() | eoRequired);
}

TCustomIdentifierElement* TIdentifierField::Owner() const {
    return dynamic_cast<TCustomIdentifierElement*>(ParentElement());
}

void TIdentifierField::GetReferencedType(TNamespaceItem* item, TNamespaceItem* resolved, TElement* element,
                                         TTypeDescriptor& descriptor) {
    const TDeclarationKind kind = DeclarationKindOf(element);
    if (kind == TDeclarationKind::Event || kind == TDeclarationKind::Notification) return;
    if (!IsFieldLike(kind)) {
        TCustomExpressionField::GetReferencedType(item, resolved, element, descriptor);
        return;
    }
    TNamespaceItem* typeItem = DeclaredTypeItem(element);
    if (!typeItem) {
        TCustomExpressionField::GetReferencedType(item, resolved, element, descriptor);
        return;
    }
    if (TElement_MethodType* type = MethodTypeOf(typeItem)) {
        GetTypeDescriptor(type->ResultType() ? type->ResultType()->GetTargetItem() : nullptr, descriptor);
        return;
    }
    GetTypeDescriptor(typeItem, descriptor);
    // Indexed only while the index value is filled: an empty index reads the whole value.
    TCustomIdentifierElement* owner = Owner();
    TIdentifierParameterValue* index = owner && owner->ParameterValues() ? owner->ParameterValues()->FirstValue() : nullptr;
    const bool indexed = index && index->IsFilled();
    if (!indexed) return;
    if (descriptor.Kind == TValueTypeKind::String) {
        GetStandardTypeDescriptor(StandardTypeName::Char, descriptor);
        return;
    }
    if (descriptor.Kind != TValueTypeKind::Array) return;
    TNamespaceItem* arrayItem = ResolveTypeAlias(typeItem);
    if (auto* array = dynamic_cast<TElement_Array*>(arrayItem ? arrayItem->GetElement() : nullptr))
        GetTypeDescriptor(array->ElementType() ? array->ElementType()->GetTargetItem() : nullptr, descriptor);
}

bool TIdentifierField::CanReferTo(TNamespaceItem* item) {
    if (!item) return false;
    TCustomIdentifierElement* owner = Owner();
    const bool statement = !owner || owner->IsStatement();
    const TValueCandidate candidate = DescribeValueCandidate(item);
    if (!statement)
        if (TExpressionField* holder = owner ? AsExpressionField(owner->ParentElement()) : nullptr;
            holder && !AcceptsValueCandidate(holder->AcceptFlags(), HeldCandidate(candidate)))
            return false;
    switch (candidate.Kind) {
    case TDeclarationKind::Method:
        return MayCallMethod(item->GetElement(), this);
    case TDeclarationKind::Field:
    case TDeclarationKind::Parameter:
    case TDeclarationKind::SubObject:
    case TDeclarationKind::ImplicitIdentifier:
        return !statement || MethodTypeOf(DeclaredTypeItem(item->GetElement()));
    case TDeclarationKind::Constructor:
    case TDeclarationKind::BuiltInCreate:
    case TDeclarationKind::BuiltInFree:
    case TDeclarationKind::OverrideInherited:
        return true;
    case TDeclarationKind::Event:
    case TDeclarationKind::Notification:
        return !candidate.ThroughOutConnection;
    case TDeclarationKind::PropertyGetSet:
    case TDeclarationKind::PropertyWithField:
    case TDeclarationKind::PropertyWithSubObject:
    case TDeclarationKind::ArrayProperty:
    case TDeclarationKind::Constant:
    case TDeclarationKind::EnumItem:
    case TDeclarationKind::Object:
    case TDeclarationKind::BuiltInClassName:
    case TDeclarationKind::BuiltInClassType:
        return !statement;
    default:
        return false;
    }
}

int TIdentifierField::GetThemeKind() const {
    TCustomIdentifierElement* owner = Owner();
    const bool values = owner && owner->ParameterValues() && owner->ParameterValues()->FirstValue();
    return values ? tekSubstitutionBegin : tekSubstitution;
}

void TIdentifierField::TellOwner(bool always) {
    TNamespaceItem* target = GetTargetItem();
    if (!always && target == m_told) return;
    m_told = target;
    if (IsBeingDestroyed()) return;
    if (TCustomIdentifierElement* owner = Owner(); owner && owner->ParameterValues())
        owner->ParameterValues()->TargetChanged();
}

void TIdentifierField::NamespaceNotify(int code, TNamespaceItem* item, intptr_t argument) {
    const bool wasTarget = item && item == GetTargetItem();
    TCustomExpressionField::NamespaceNotify(code, item, argument);
    TellOwner(wasTarget && code == nnItemChanged);
}

void TIdentifierField::TextChanged() {
    TCustomExpressionField::TextChanged();
    TellOwner(false);
}

void TIdentifierField::AfterLoad(TSchemeLoader* loader, intptr_t datum) {
    TCustomExpressionField::AfterLoad(loader, datum);
    TellOwner(false);
}

void TIdentifierField::UndoDependent(TKnot* snapshot) {
    TCustomExpressionField::UndoDependent(snapshot);
    TellOwner(false);
}

// ---------------------------------------------------------------------------
// TIdentifierParameterValue

void TIdentifierParameterValue::UpdateRequired() {
    TElement* declaration = Parameter() ? Parameter()->GetElement() : nullptr;
    auto* parameter = dynamic_cast<TCustomParameterWithValue*>(declaration);
    const bool required =
        parameter && (parameter->GetNotEmptyInValue() || parameter->Kind() != TParameterKind::In);
    const uint8_t options = required ? uint8_t(Options() | eoRequired) : uint8_t(Options() & ~eoRequired);
    if (options == Options()) return;
    SetOptions(options);
    CheckAll();
}

bool TIdentifierParameterValue::ComputeDisabled() {
    if (TExpressionField::ComputeDisabled()) return true;
    return Parameter() && !Parameter()->IsEnabled();
}

void TIdentifierParameterValue::GetHint(QString& text) {
    TNamespaceItem* item = Parameter();
    if (!item) {
        TExpressionField::GetHint(text);
        return;
    }
    TElement* declaration = item->GetElement();
    QString type;
    if (auto* implicit = dynamic_cast<TCustomFieldElement*>(declaration))
        type = implicit->TypeItem() ? implicit->TypeItem()->GetName() : QString();
    else if (auto* field = dynamic_cast<TCustomField*>(declaration))
        type = field->TypeField() ? field->TypeField()->GetText() : QString();
    text = item->GetName() + kHintSeparator + type;
}

int TIdentifierParameterValue::GetThemeKind() const {
    for (TNode* node = NextSibling(); node; node = node->NextSibling()) {
        auto* next = dynamic_cast<TIdentifierParameterValue*>(node);
        if (next && !next->IsSubElement() && next->IsVisible())
            return next->Top() == Top() ? tekSubstitutionContinue : tekSubstitutionEnd;
    }
    return tekSubstitutionEnd;
}

// ---------------------------------------------------------------------------
// TIdentifierParameterValues

TIdentifierParameterValues::TIdentifierParameterValues() noexcept {
    InitOptions(Options() | eoStoredInParentNode);
}

TIdentifierParameterValue* TIdentifierParameterValues::FirstValue() {
    for (TNode* node = FirstChild(); node; node = node->NextSibling())
        if (auto* value = dynamic_cast<TIdentifierParameterValue*>(node); value && !value->IsSubElement()) return value;
    return nullptr;
}

std::vector<TIdentifierParameterValue*> TIdentifierParameterValues::Values() {
    std::vector<TIdentifierParameterValue*> values;
    for (TVisualElement* child : CountedChildren()) values.push_back(static_cast<TIdentifierParameterValue*>(child));
    return values;
}

TNamespace* TIdentifierParameterValues::GetNamespace() {
    auto* owner = ClassAs<TCustomIdentifierElement>(ParentElement());
    return owner && owner->Identifier() ? CallParametersOf(owner->Identifier()->GetTargetItem()) : nullptr;
}

TReference* TIdentifierParameterValues::GetChildReference(TVisualElement* child) {
    return &static_cast<TIdentifierParameterValue*>(child)->ParameterReference();
}

const TElementClass* TIdentifierParameterValues::GetChildClass() { return TIdentifierParameterValue::StaticClass(); }

bool TIdentifierParameterValues::AcceptsItem(TNamespaceItem* item) {
    if (!item || item->AsCover()) return false;
    TElement* element = item->GetElement();
    return ClassAs<TElement_Parameter>(element) || ClassAs<TFieldElementParameterIndex>(element);
}

TVisualElement* TIdentifierParameterValues::CreateChildFor(TNamespaceItem* item) {
    auto* value = static_cast<TIdentifierParameterValue*>(TChildrenByNamespaceElement::CreateChildFor(item));
    value->UpdateRequired();
    // A kept value of a parameter that comes now (a file connection resolved).
    if (!m_kept.empty() && value->Parameter()) {
        const QString name = value->Parameter()->GetName();
        auto match = std::find_if(m_kept.begin(), m_kept.end(), [&name](const TNodePtr<TKnot>& kept) {
            return kept->ReadStr(kParameterAttribute) == name;
        });
        if (match != m_kept.end()) {
            TNodePtr<TKnot> knot = std::move(*match);
            m_kept.erase(match);
            value->LoadFromKnot(knot.get(), fmFile, 0);
        }
    }
    return value;
}

void TIdentifierParameterValues::NamespaceNotify(int code, TNamespaceItem* item, intptr_t argument) {
    TChildrenByNamespaceElement::NamespaceNotify(code, item, argument);
    if (code == nnItemChanged)
        if (auto* value = static_cast<TIdentifierParameterValue*>(ChildFor(item))) value->UpdateRequired();
    if (auto* owner = dynamic_cast<TVisualElement*>(ParentElement()))
        if (auto* identifier = static_cast<TCustomIdentifierElement*>(owner)->Identifier())
            identifier->Invalidate();
}

void TIdentifierParameterValues::LayoutChildren() {
    std::vector<TIdentifierParameterValue*> shown;
    std::vector<int> widths;
    for (TIdentifierParameterValue* value : Values())
        if (value->IsVisible()) {
            shown.push_back(value);
            widths.push_back(value->Width());
        }
    const bool stacked = StacksParameterValues(widths);
    int width = 0;
    int height = 0;
    for (TIdentifierParameterValue* value : shown) {
        if (stacked) {
            value->SetPosition(0, height);
            height += value->Height();
            width = std::max(width, value->Width());
        } else {
            value->SetPosition(width, 0);
            width += value->Width();
            height = std::max(height, value->Height());
        }
    }
    SetSize(width, height);
    for (TIdentifierParameterValue* value : shown) value->Invalidate();
}

bool TIdentifierParameterValues::HandleChildMessage(TElement* child, int msg, intptr_t p1, intptr_t p2) {
    if (msg == nmGetExpectedType)
        if (auto* value = ClassAs<TIdentifierParameterValue>(child); value && value->Parameter()) {
            GetTypeDescriptor(DeclaredTypeItem(value->Parameter()->GetElement()),
                              *reinterpret_cast<TTypeDescriptor*>(p1));
            return true;
        }
    return TChildrenByNamespaceElement::HandleChildMessage(child, msg, p1, p2);
}

bool TIdentifierParameterValues::ShouldSaveChild(TSchemeFiler* filer, TElement* child) {
    if (!filer->IsSnapshot() && child && child->ElementClass() == GetChildClass() && !child->IsSubElement())
        return false;
    return TChildrenByNamespaceElement::ShouldSaveChild(filer, child);
}

void TIdentifierParameterValues::SaveTo(TSchemeSaver* saver, TKnot* knot) {
    TChildrenByNamespaceElement::SaveTo(saver, knot);
    if (!saver->IsSnapshot())
        for (TIdentifierParameterValue* value : Values()) {
            if (!value->IsFilled() || !value->Parameter()) continue;
            if (value->IsDisabled() && saver->HasOption(foSkipDisabled)) continue;
            TKnot* node = knot->AddChild(kValueNode);
            node->WriteStr(kParameterAttribute, value->Parameter()->GetName());
            value->SaveTo(saver, node);
        }
    for (const TNodePtr<TKnot>& kept : m_kept) {
        TKnot* node = knot->AddChild(kValueNode);
        node->Assign(*kept);
        node->SetName(kValueNode);
    }
}

void TIdentifierParameterValues::LoadFrom(TSchemeLoader* loader, TKnot* knot) {
    TChildrenByNamespaceElement::LoadFrom(loader, knot);
    m_kept.clear();
    for (TKnot* node = knot->FindChild(kValueNode); node; node = node->FindNextSibling(kValueNode)) {
        TNodePtr<TKnot> kept = TKnot::Create(kValueNode);
        kept->Assign(*node);
        node->SetWasReadAll(true);
        kept->SetWasReadAll(false);
        m_kept.push_back(std::move(kept));
    }
    if (!m_kept.empty()) loader->AddDeferred(this, kMatchValuesStep);
}

void TIdentifierParameterValues::AfterLoad(TSchemeLoader* loader, intptr_t datum) {
    TChildrenByNamespaceElement::AfterLoad(loader, datum);
    if (datum == kMatchValuesStep) MatchKeptValues(loader);
}

void TIdentifierParameterValues::MatchKeptValues(TSchemeLoader* loader) {
    if (m_kept.empty()) return;
    // The kept nodes of each parameter name, first stored first.
    QHash<QString, std::vector<size_t>> byName;
    for (size_t i = m_kept.size(); i-- > 0;) byName[m_kept[i]->ReadStr(kParameterAttribute)].push_back(i);
    std::vector<bool> taken(m_kept.size(), false);
    // A snapshot restored over values that stayed (an undone step that had
    // matched a kept node, the call still resolved) holds that node again:
    // it is no longer kept where its parameter's value is filled.
    const bool restored = loader && loader->IsSnapshot();
    for (TIdentifierParameterValue* value : Values()) {
        if (!value->Parameter() || (value->IsFilled() && !restored)) continue;
        auto match = byName.find(value->Parameter()->GetName());
        if (match == byName.end() || match->empty()) continue;
        const size_t index = match->back();
        match->pop_back();
        taken[index] = true;
        if (!value->IsFilled()) value->LoadFrom(loader, m_kept[index].get());
    }
    std::vector<TNodePtr<TKnot>> left;
    for (size_t i = 0; i < m_kept.size(); ++i)
        if (!taken[i]) left.push_back(std::move(m_kept[i]));
    m_kept = std::move(left);
}

// ---------------------------------------------------------------------------
// TCustomIdentifierElement

void TCustomIdentifierElement::Create() {
    TCustomDescribedElement::Create();
    SetVisualOptions(VisualOptions() | voCanDisable);
    CreateDescriptionField();
    m_identifier = static_cast<TIdentifierField*>(
        TVisualElement::CreateSubElement(TIdentifierField::StaticClass(), this, nullptr, this));
    m_values = static_cast<TIdentifierParameterValues*>(
        TVisualElement::CreateSubElement(TIdentifierParameterValues::StaticClass(), this, nullptr, this));
}

void TCustomIdentifierElement::GetChildName(TElement* child, TSchemeFiler* filer, QString& name) {
    if (child && child == m_identifier)
        name = kIdentifierChild;
    else if (child && child == m_values)
        name = kParameterValuesChild;
    else
        TCustomDescribedElement::GetChildName(child, filer, name);
}

bool TCustomIdentifierElement::HandleNodeMessage(int msg, intptr_t p1, intptr_t p2) {
    if (msg == nmGetValueType && m_identifier) {
        m_identifier->GetValueType(*reinterpret_cast<TTypeDescriptor*>(p1));
        return true;
    }
    return TCustomDescribedElement::HandleNodeMessage(msg, p1, p2);
}

void TCustomIdentifierElement::LayOut() {
    if (m_layingOut || !m_identifier || !m_values || IsBeingDestroyed()) return;
    m_layingOut = true;
    m_identifier->SetPosition(0, 0);
    m_values->SetPosition(m_identifier->Width(), 0);
    SetSize(m_identifier->Width() + m_values->Width(), std::max(m_identifier->Height(), m_values->Height()));
    m_identifier->Invalidate();
    m_layingOut = false;
}

void TCustomIdentifierElement::ChildBoundsChanged(TVisualElement* child, const TRect& oldRect, int oldDescent) {
    TCustomDescribedElement::ChildBoundsChanged(child, oldRect, oldDescent);
    if (child == m_identifier || child == m_values) LayOut();
}

void TCustomIdentifierElement::UpdateLayout(bool force, bool all, bool widthChanged, bool heightChanged) {
    TCustomDescribedElement::UpdateLayout(force, all, widthChanged, heightChanged);
    LayOut();
}

void TCustomIdentifierElement::FocusFirst() {
    if (m_identifier)
        m_identifier->FocusFirst();
    else
        TCustomDescribedElement::FocusFirst();
}

// ---------------------------------------------------------------------------
// Unit

void InitIdentifierElementsUnit() {
    if (g_identifierUnit) return;
    g_identifierUnit = std::make_unique<TIdentifierUnit>();
    g_identifierUnit->largeImages =
        TImageStrip::Load(SchemeLargeImages(), QStringLiteral("prIdentifierElementsLargeImages"));
    AddItemsOnce(CommandElementClasses(), TElementClassList{TElement_IdentifierInMethod::StaticClass()});
    AddItemsOnce(ExpressionElementClasses(), TElementClassList{TElement_IdentifierInExpression::StaticClass()});
    const int picture = g_identifierUnit->largeImages.Picture(kPictureIdentifier);
    const std::pair<TPaletteGroup*, const TElementClass*> items[] = {
        {CommandsPaletteGroup(), TElement_IdentifierInMethod::StaticClass()},
        {ExpressionsPaletteGroup(), TElement_IdentifierInExpression::StaticClass()},
    };
    for (const auto& [group, cls] : items) {
        if (!group) continue;
        TElementPaletteItem* item = TElementPaletteItem::Create(group, pifLargeImage, picture, strIdentifier,
                                                                strIdentifierHint, kIdentifierPaletteOrder, cls);
        item->SetLetter(kIdentifierKey);
    }
}

void FinalIdentifierElementsUnit() {
    // The class groups and the palette entries belong to their registries.
    g_identifierUnit.reset();
}
