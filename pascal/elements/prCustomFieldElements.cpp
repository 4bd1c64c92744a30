#include "pascal/elements/prCustomFieldElements.h"

#include "core/cuLocalization.h"
#include "core/cuStringIds.h"
#include "scheme/diUtils.h"

#include <atomic>

T_ELEMENT_CLASS_IMPL(TMembersByTypeConnection, TNamedNamespaceConnection)
T_ELEMENT_CLASS_IMPL_ABSTRACT(TCustomFieldElement, TNameElement)
T_ELEMENT_CLASS_IMPL(TFieldElementResult, TCustomFieldElement)
T_ELEMENT_CLASS_IMPL(TFieldElementParameterIndex, TCustomFieldElement)
T_ELEMENT_CLASS_IMPL(TFieldElementParameterValue, TCustomFieldElement)
T_ELEMENT_CLASS_IMPL(TFieldElementLocalIndex, TCustomFieldElement)
T_ELEMENT_CLASS_IMPL(TFieldElementLocalItem, TCustomFieldElement)

namespace {

const QString kMembersConnectionChild = QStringLiteral("MembersByTypeConnection");

// Set by the field unit at start-up, read by every thread.
std::atomic<int> g_implicitIdentifierImage{NoImageIndex};

// The members a connection of a field-like declaration may show.
bool IsMemberKind(TDeclarationKind kind, bool classOfAccess) {
    switch (kind) {
    case TDeclarationKind::Record:
    case TDeclarationKind::Field:
    case TDeclarationKind::Constant:
    case TDeclarationKind::PropertyGetSet:
    case TDeclarationKind::PropertyWithField:
    case TDeclarationKind::PropertyWithSubObject:
    case TDeclarationKind::ArrayProperty:
    case TDeclarationKind::Event:
    case TDeclarationKind::Notification:
    case TDeclarationKind::DoubleMethod:
    case TDeclarationKind::Locker:
    case TDeclarationKind::Method:
    case TDeclarationKind::BuiltInFree:
    case TDeclarationKind::BuiltInClassName:
    case TDeclarationKind::BuiltInClassType:
        return true;
    case TDeclarationKind::Constructor:
    case TDeclarationKind::BuiltInCreate:
        // Called on the class, not on an instance.
        return classOfAccess;
    default:
        return false;
    }
}

bool IsBuiltInMember(TDeclarationKind kind) {
    return kind == TDeclarationKind::BuiltInCreate || kind == TDeclarationKind::BuiltInFree ||
           kind == TDeclarationKind::BuiltInClassName || kind == TDeclarationKind::BuiltInClassType;
}

}  // namespace

// ---------------------------------------------------------------------------
// TMembersByTypeConnection

void TMembersByTypeConnection::Create() {
    TNamedNamespaceConnection::Create();
    SetFilter(ncfPublicOnly);
}

TNamespaceItem* TMembersByTypeConnection::GetNameItem() { return MainNameItem(ParentElement()); }

void TMembersByTypeConnection::ForgetVanishedMembers() {
    // While the prefix is set the target is the members' namespace: without
    // a target that namespace has gone (the connection let go of it).
    if (!Prefix().isEmpty() && !Target()) m_typeMembers = nullptr;
}

void TMembersByTypeConnection::SetTypeItem(TNamespaceItem* typeItem) {
    ForgetVanishedMembers();
    TNamespace* members = nullptr;
    bool classOf = false;
    TElement* element = typeItem ? typeItem->GetElement() : nullptr;
    switch (DeclarationKindOf(element)) {
    case TDeclarationKind::Object:
        classOf = IsSecondaryNameItem(typeItem);
        [[fallthrough]];
    case TDeclarationKind::Record:
        if (auto* owner = dynamic_cast<INamespaceOwner*>(element)) members = owner->GetNamespace();
        break;
    case TDeclarationKind::StandardType:
        if (static_cast<TStandardTypeElement*>(element)->TypeName() == StandardTypeName::Object)
            members = ObjectMembersNamespace();
        break;
    default:
        break;
    }
    if (members == m_typeMembers && classOf == m_classOfAccess) return;
    // What passes depends on the class-of access: the covers are made again.
    if (classOf != m_classOfAccess) SetTarget(nullptr);
    m_typeMembers = members;
    m_classOfAccess = classOf;
    UpdateTarget();
}

void TMembersByTypeConnection::SetMembersPrefix(const QString& name) {
    ForgetVanishedMembers();
    if (name.isEmpty()) {
        // Gone before the prefix: no cover is ever seen without it.
        SetTarget(nullptr);
        SetPrefix(name);
    } else {
        SetPrefix(name);
        UpdateTarget();
    }
}

void TMembersByTypeConnection::UpdateTarget() { SetTarget(Prefix().isEmpty() ? nullptr : m_typeMembers); }

bool TMembersByTypeConnection::AcceptsItem(TNamespaceItem* item) {
    if (!TNamedNamespaceConnection::AcceptsItem(item)) return false;
    if (!IsMemberKind(DeclarationKindOf(item), m_classOfAccess)) return false;
    if (IsSeenThroughOwnerConnection(item) || item->IsThroughConnection(this)) return false;
    return !IsMemberOfOwnContainer(item);
}

bool TMembersByTypeConnection::SeesThrough(const TNamespaceConnection* inner) {
    return !inner || !inner->ElementClass()->InheritsFrom(TNamespaceConnectionToOwner::StaticClass());
}

bool TMembersByTypeConnection::IsMemberOfOwnContainer(TNamespaceItem* item) {
    TElement* container = GetDeclarationContainer(this);
    const TScopeKind scope = ScopeKindOf(container);
    if (scope != TScopeKind::Object && scope != TScopeKind::Record) return false;
    if (scope == TScopeKind::Object && IsBuiltInMember(DeclarationKindOf(item))) return true;
    TElement* memberContainer = GetDeclarationContainer(item->GetElement());
    if (memberContainer == container) return true;
    auto* inheriting = scope == TScopeKind::Object ? dynamic_cast<IInheritingScope*>(container) : nullptr;
    return inheriting && memberContainer && inheriting->InheritsMembersOf(memberContainer);
}

// ---------------------------------------------------------------------------
// TCustomFieldElement

// The link to the type: not counted as a use of the type's name, and it
// lets go when the type's item goes.
class TCustomFieldElement::TTypeLink : public TReference {
public:
    explicit TTypeLink(TCustomFieldElement* owner) noexcept : m_owner(owner) { Flags = rfNotCounted; }
    void TargetChanged() override { m_owner->TypeTargetChanged(); }

private:
    TCustomFieldElement* m_owner;
};

TCustomFieldElement::TCustomFieldElement() noexcept : m_type(std::make_unique<TTypeLink>(this)) {}

TCustomFieldElement::~TCustomFieldElement() = default;

void TCustomFieldElement::Create() {
    TNameElement::Create();
    m_members = TElement::CreateSubElement<TMembersByTypeConnection>(this);
    m_members->SetMembersPrefix(GetName());
}

void TCustomFieldElement::BeforeDestruction() {
    m_type->SetTarget(nullptr);
    TNameElement::BeforeDestruction();
}

TNamespaceItem* TCustomFieldElement::TypeItem() const noexcept { return m_type->Target(); }

void TCustomFieldElement::SetTypeItem(TNamespaceItem* item) {
    if (item == m_type->Target()) {
        TypeTargetChanged();
        return;
    }
    m_type->SetTarget(item);
}

void TCustomFieldElement::TypeTargetChanged() {
    if (m_members && !IsBeingDestroyed()) m_members->SetTypeItem(ResolveTypeAlias(m_type->Target()));
}

bool TCustomFieldElement::IsReferenced() {
    return (m_members && m_members->ReferenceCount() > 0) || (Item() && Item()->HasReferences());
}

int TCustomFieldElement::GetImageIndex() { return g_implicitIdentifierImage.load(std::memory_order_relaxed); }

void TCustomFieldElement::UpdateNamespaceItem() {
    TNameElement::UpdateNamespaceItem();
    if (m_members) m_members->SetOwner(Item() ? Namespace() : nullptr);
}

void TCustomFieldElement::GetChildName(TElement* child, TSchemeFiler* filer, QString& name) {
    if (child && child == m_members)
        name = kMembersConnectionChild;
    else
        TNameElement::GetChildName(child, filer, name);
}

// ---------------------------------------------------------------------------
// The five implicit identifiers

namespace {
void SetStandardType(TCustomFieldElement* element, const QString& name) {
    TTypeDescriptor descriptor;
    GetStandardTypeDescriptor(name, descriptor);
    element->SetTypeItem(descriptor.Item);
}
}  // namespace

QString TFieldElementResult::GetName() { return QStringLiteral("Result"); }
QString TFieldElementResult::GetDescription() { return LoadStr(strMethodResult); }
void TFieldElementResult::Create() {
    TCustomFieldElement::Create();
    SetNameOptions(NameOptions() & ~noRegister);
}

QString TFieldElementParameterIndex::GetName() { return QStringLiteral("AIndex"); }
QString TFieldElementParameterIndex::GetDescription() { return LoadStr(strIndex); }
void TFieldElementParameterIndex::Create() {
    TCustomFieldElement::Create();
    SetStandardType(this, StandardTypeName::Index);
}

QString TFieldElementParameterValue::GetName() { return QStringLiteral("AValue"); }
QString TFieldElementParameterValue::GetDescription() { return LoadStr(strParameterValueHint); }

QString TFieldElementLocalIndex::GetName() { return QStringLiteral("Index"); }
QString TFieldElementLocalIndex::GetDescription() { return LoadStr(strCurrentIndexCycle); }
void TFieldElementLocalIndex::Create() {
    TCustomFieldElement::Create();
    SetStandardType(this, StandardTypeName::Index);
}

QString TFieldElementLocalItem::GetName() { return QStringLiteral("Item"); }
QString TFieldElementLocalItem::GetDescription() { return LoadStr(strCurrentElementCycle); }

void SetImplicitIdentifierImage(int index) noexcept { g_implicitIdentifierImage.store(index, std::memory_order_relaxed); }

// ---------------------------------------------------------------------------
// GetTypeDescriptor

void GetTypeDescriptor(TNamespaceItem* typeItem, TTypeDescriptor& descriptor) {
    GetStandardTypeDescriptor(StandardTypeName::Variant, descriptor);
    TNamespaceItem* resolved = ResolveTypeAlias(typeItem);
    TElement* element = resolved ? resolved->GetElement() : nullptr;
    switch (DeclarationKindOf(element)) {
    case TDeclarationKind::StandardType: {
        auto* type = static_cast<TStandardTypeElement*>(element);
        SetTypeDescriptor(type->Kind(), typeItem, type->Item(), descriptor);
        break;
    }
    case TDeclarationKind::Object:
        SetTypeDescriptor(IsSecondaryNameItem(resolved) ? TValueTypeKind::ObjectType : TValueTypeKind::Object, typeItem,
                          MainNameItem(element), descriptor);
        break;
    case TDeclarationKind::MethodType:
    case TDeclarationKind::Event:
    case TDeclarationKind::Notification:
        SetTypeDescriptor(TValueTypeKind::MethodType, typeItem, MainNameItem(element), descriptor);
        break;
    case TDeclarationKind::Pointer:
        SetTypeDescriptor(TValueTypeKind::Pointer, typeItem, MainNameItem(element), descriptor);
        break;
    case TDeclarationKind::Array:
        SetTypeDescriptor(TValueTypeKind::Array, typeItem, MainNameItem(element), descriptor);
        break;
    case TDeclarationKind::Record:
        SetTypeDescriptor(TValueTypeKind::Record, typeItem, MainNameItem(element), descriptor);
        break;
    case TDeclarationKind::Enum:
        if (IsSecondaryNameItem(resolved))
            SetTypeDescriptor(TValueTypeKind::EnumSet, typeItem, resolved->GetOriginal(), descriptor);
        else
            SetTypeDescriptor(TValueTypeKind::Enum, typeItem, MainNameItem(element), descriptor);
        break;
    default:
        break;
    }
}

void InitCustomFieldElementsUnit() {}

void FinalCustomFieldElementsUnit() { SetImplicitIdentifierImage(NoImageIndex); }
