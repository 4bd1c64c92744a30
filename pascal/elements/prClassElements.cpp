#include "pascal/elements/prClassElements.h"

#include "core/cuKnot.h"
#include "core/cuLocalization.h"
#include "core/cuStringIds.h"
#include "elements/coRoot.h"
#include "elements/diSimpleElements.h"
#include "scheme/diMessages.h"
#include "scheme/diNaming.h"
#include "scheme/diPalette.h"
#include "scheme/diUtils.h"

#include <QStringList>

#include <algorithm>
#include <array>
#include <iterator>
#include <memory>
#include <utility>

T_ELEMENT_CLASS_IMPL(TParentClassField, TWatchedTypeField)
T_ELEMENT_CLASS_IMPL(TClassOfNameField, TIdentifierNameField)
T_ELEMENT_CLASS_IMPL(TObjectNameField, TIdentifierNameField)
T_ELEMENT_CLASS_IMPL(TNamespaceConnectionToParent, TNamespaceConnection)
T_ELEMENT_CLASS_IMPL(TClassMembersOutConnection, TNamedNamespaceConnection)
T_ELEMENT_CLASS_IMPL(TObjectMembersContainer, TTitledTextContainer)
T_ELEMENT_CLASS_IMPL(TElement_Object, TprNamedElementWithContent)
T_CLASS_IMPL_ABSTRACT(TObjectKindOperation, TElementOperation)

namespace {

const QString kObjNamespaceChild = QStringLiteral("Namespace");
const QString kObjConnectionToOwnerChild = QStringLiteral("ConnectionToOwner");
const QString kObjParentChild = QStringLiteral("Parent");
const QString kObjConnectionToParentChild = QStringLiteral("ConnectionToParent");
const QString kObjClassOfNameChild = QStringLiteral("ClassOfName");
const QString kObjOutConnectionChild = QStringLiteral("ClassMembersOutConnection");
const QString kObjConstructionChild = QStringLiteral("Construction");
const QString kObjDestructionChild = QStringLiteral("Destruction");
const QString kObjConstructionExpandedChild = QStringLiteral("ConstructionExpanded");
const QString kObjDestructionExpandedChild = QStringLiteral("DestructionExpanded");
const QString kObjKindAttribute = QStringLiteral("Kind");
const QStringList kObjKindNames = {QString(), QStringLiteral("Abstract"), QStringLiteral("Final")};

// The members: one element per paragraph.
constexpr uint32_t kObjMembersTextorOptions = 0x80121;
constexpr uint32_t kObjMembersRestrictions = trLineFeeds;
// The parent field's text option.
constexpr uint32_t kObjParentTextorOptions = 0x200;
// Kind commands: large radio buttons that change the element.
constexpr uint16_t kObjKindFlags = pifLargeImage | pifChangesElement | pifRadio;
constexpr uint16_t kObjWithoutInstanceFlags = pifLargeImage | pifChangesElement | pifToggle;
constexpr int kObjKindGroupOrder = 1100;
constexpr int kObjWithoutInstanceOrder = 5;
// The deferred step of a loaded object that connects it to its parent.
constexpr intptr_t kObjConnectParentStep = 1;

// Pictures: "prClassElementsCharImages" (C), "...SmallImages" (S), "...LargeImages" (L).
enum : int { kObjSmallParent = 1, kObjSmallWithoutInstance = 6, kObjLargeObject = 0, kObjLargeWithoutInstance = 2 };
// The object pictures of the standard strip: Regular, Abstract, Final after it; the class-of name.
constexpr int kObjStandardObjectPicture = 1;
constexpr int kObjStandardClassOfPicture = 4;

struct TClassUnit {
    TImageStrip charImages;
    TImageStrip smallImages;
    TImageStrip largeImages;
    TPaletteItem* object = nullptr;
    std::array<TSchemePaletteItem*, kObjectKindCount> kinds{};
    TSchemePaletteItem* withoutInstance = nullptr;
};
std::unique_ptr<TClassUnit> g_classUnit;

QString ObjTypesPrefix() { return ProgramPrefix(&TProgramSettings::TypesPrefix); }

TElement_Object* ObjOwnerObject(TElement* element) {
    return element ? dynamic_cast<TElement_Object*>(element->ParentElement()) : nullptr;
}

bool ObjLiesInside(TElement* element, TElement* container) {
    for (TElement* e = element; e; e = e->ParentElement())
        if (e == container) return true;
    return false;
}

}  // namespace

TElement_Object* ObjectNamedBy(TNamespaceItem* item) {
    TNamespaceItem* resolved = ResolveTypeAlias(item);
    if (!resolved || IsSecondaryNameItem(resolved)) return nullptr;
    return dynamic_cast<TElement_Object*>(resolved->GetElement());
}

// ---------------------------------------------------------------------------
// Fields and connections

void TParentClassField::Create() {
    TWatchedTypeField::Create();
    SetTextorOptions(TextorOptions() | kObjParentTextorOptions);
}

void TParentClassField::CheckContent() {
    TWatchedTypeField::CheckContent();
    auto* owner = dynamic_cast<TElement_Object*>(ParentElement());
    if (!owner || owner->ParentState() != TParentState::TooDeep) return;
    GetMessages()->AddElementLinkMessage(mkError,
                                         LoadStrFmt(strParentChainTooDeep, {QString::number(kMaxParentDepth)}),
                                         QString::number(Number()));
}

bool TParentClassField::CanReferTo(TNamespaceItem* item) {
    TElement_Object* object = ObjectNamedBy(item);
    return object && object->Kind() != TObjectKind::Final;
}

void TClassOfNameField::Create() {
    TIdentifierNameField::Create();
    SetOptions(Options() & ~eoRequired);
    // "Autoname" takes the suggestion.
    SetNameOptions(NameOptions() | noImageWhenFilled | noAutoname);
    SetImageIndex(StandardCharImageBase() + kObjStandardClassOfPicture);
}

bool TClassOfNameField::CanAutoName() {
    TElement_Object* owner = ObjOwnerObject(this);
    return owner && owner->NameField() && owner->NameField()->IsFilled();
}

QString TClassOfNameField::GetAutoName() {
    if (!CanAutoName()) return QString();
    return ObjOwnerObject(this)->NameField()->GetNameText() + QStringLiteral("Class");
}

int TClassOfNameField::GetVisibility() {
    TElement_Object* owner = ObjOwnerObject(this);
    return owner && owner->Visibility() == TVisibility::Private ? 1 : 0;
}

void TObjectNameField::TextChanged() {
    TIdentifierNameField::TextChanged();
    if (TNamedElement* owner = Owner()) owner->NameFieldChanged();
}

bool TNamespaceConnectionToParent::AcceptsItem(TNamespaceItem* item) {
    if (!TNamespaceConnection::AcceptsItem(item) || IsSeenThroughOwnerConnection(item)) return false;
    TElement* element = item->GetElement();
    if (ObjLiesInside(element, ParentElement())) return false;
    if (item->GetVisibility() != int(TVisibility::Private)) return true;
    auto* method = dynamic_cast<IMethodOptions*>(element);
    return method && (method->GetDescendantsCall() || method->GetDescendantsOverride());
}

void TClassMembersOutConnection::Create() {
    TNamedNamespaceConnection::Create();
    SetFilter(ncfPublicOnly);
}

TNamespaceItem* TClassMembersOutConnection::GetNameItem() { return MainNameItem(ParentElement()); }

bool TClassMembersOutConnection::AcceptsItem(TNamespaceItem* item) {
    if (!TNamedNamespaceConnection::AcceptsItem(item)) return false;
    if (IsSeenThroughOwnerConnection(item) || item->IsThroughConnection(this)) return false;
    TElement* element = item->GetElement();
    switch (DeclarationKindOf(element)) {
    case TDeclarationKind::Event:
    case TDeclarationKind::Notification:
    case TDeclarationKind::Constructor:
    case TDeclarationKind::Constant:
    case TDeclarationKind::BuiltInCreate:
    case TDeclarationKind::BuiltInClassName:
    case TDeclarationKind::BuiltInClassType:
        return true;
    case TDeclarationKind::Method:
    case TDeclarationKind::PropertyGetSet:
    case TDeclarationKind::ArrayProperty:
        // Methods and class properties without an instance.
        if (auto* method = dynamic_cast<IMethodOptions*>(element)) return !method->GetForInstance();
        return false;
    default:
        return false;
    }
}

void TObjectMembersContainer::Create() {
    TTitledTextContainer::Create();
    SetTextorOptions(TextorOptions() | kObjMembersTextorOptions);
    SetRestrictions(kObjMembersRestrictions);
}

void TObjectMembersContainer::FillAcceptedClasses(TElementClassList& list) {
    AddItemsOnce(list, ClassMemberElementClasses());
    TTitledTextContainer::FillAcceptedClasses(list);
}

// ---------------------------------------------------------------------------
// TElement_Object

void TElement_Object::Create() {
    TprNamedElementWithContent::Create();
    CreateExpandButton(true);
    CreateDescriptionField();
    m_namespace = TElement::CreateSubElement<TNamespace>(this);
    m_connectionToOwner = TElement::CreateSubElement<TNamespaceConnectionToOwner>(this);
    m_connectionToOwner->SetOwner(m_namespace);
    m_parent = static_cast<TParentClassField*>(
        TVisualElement::CreateSubElement(TParentClassField::StaticClass(), this, nullptr, this));
    // An empty parent takes no room until it is edited.
    m_parent->SetVisualOptions(m_parent->VisualOptions() | voHiddenWhileEmpty);
    m_connectionToParent = TElement::CreateSubElement<TNamespaceConnectionToParent>(this);
    m_connectionToParent->SetOwner(m_namespace);
    m_connectionToParent->SetTarget(ObjectMembersNamespace());
    m_classOfName = static_cast<TClassOfNameField*>(
        TVisualElement::CreateSubElement(TClassOfNameField::StaticClass(), this, nullptr, this));
    m_outConnection = TElement::CreateSubElement<TClassMembersOutConnection>(this);
    m_construction = static_cast<TCommandsContainer*>(
        TVisualElement::CreateSubElement(TCommandsContainer::StaticClass(), this, nullptr, this));
    m_destruction = static_cast<TCommandsContainer*>(
        TVisualElement::CreateSubElement(TCommandsContainer::StaticClass(), this, nullptr, this));
    for (TCommandsContainer* section : {m_construction, m_destruction})
        section->Connection()->SetTarget(m_namespace);
    m_constructionButton = TExpandButton::CreateFor(this, false, nullptr, this, nullptr);
    m_destructionButton = TExpandButton::CreateFor(this, false, nullptr, this, nullptr);
    m_constructionButton->AddControlledElement(m_construction);
    m_destructionButton->AddControlledElement(m_destruction);
    if (NameField()) NameField()->SetImageIndex(NamePicture());
}

void TElement_Object::BeforeDestruction() {
    if (m_outConnection) m_outConnection->SetOwner(nullptr);
    if (m_connectionToOwner) m_connectionToOwner->SetOwner(nullptr);
    if (m_connectionToParent) m_connectionToParent->SetOwner(nullptr);
    TprNamedElementWithContent::BeforeDestruction();
    m_namespace = nullptr;
    m_connectionToOwner = nullptr;
    m_parent = nullptr;
    m_connectionToParent = nullptr;
    m_classOfName = nullptr;
    m_outConnection = nullptr;
    m_construction = m_destruction = nullptr;
    m_constructionButton = m_destructionButton = nullptr;
}

const TElementClass* TElement_Object::GetContentClass() { return TObjectMembersContainer::StaticClass(); }
const TElementClass* TElement_Object::GetNameFieldClass() { return TObjectNameField::StaticClass(); }

TVisibilityMode TElement_Object::GetVisibilityMode() {
    return ScopeKindOf(GetDeclarationContainer(this)) == TScopeKind::CommandsContainer
               ? TVisibilityMode::Public
               : TprNamedElementWithContent::GetVisibilityMode();
}

void TElement_Object::GetDefaultName(QString& stem, bool&) { stem = ObjTypesPrefix() + QStringLiteral("Object"); }

int TElement_Object::NamePicture() const { return StandardCharImageBase() + kObjStandardObjectPicture + int(m_kind); }

void TElement_Object::SetKind(TObjectKind kind) {
    if (kind == m_kind) return;
    m_kind = kind;
    if (NameField()) NameField()->SetImageIndex(NamePicture());
    NotifyEditStateChanged();
    // Parent and sub-object fields accept by the kind.
    if (NameField() && NameField()->Item()) NameField()->Item()->NotifyChanged();
}

TElement_Object* TElement_Object::ResolvedParent() const {
    return m_parent ? ObjectNamedBy(m_parent->GetTargetItem()) : nullptr;
}

TElement_Object* TElement_Object::ConnectedParent() const {
    return m_parentState == TParentState::Connected ? ResolvedParent() : nullptr;
}

bool TElement_Object::IsOnParentCycle(TElement_Object* parent) const {
    // A chain that is not refused is at most kMaxParentDepth long.
    TElement_Object* ancestor = parent;
    for (int step = 0; ancestor && step <= kMaxParentDepth + 1; ++step) {
        if (ancestor == this) return true;
        ancestor = ancestor->ResolvedParent();
    }
    return false;
}

void TElement_Object::UpdateParentConnection() {
    if (m_parentAwaitsLoad || m_updatingParent || IsBeingDestroyed() || !m_connectionToParent) return;
    m_updatingParent = true;
    TElement_Object* parent = ResolvedParent();
    TParentState state = TParentState::None;
    int depth = 0;
    if (parent && IsOnParentCycle(parent)) {
        state = TParentState::Cycle;
        depth = kMaxParentDepth + 1;
    } else if (parent) {
        depth = std::min(parent->m_parentDepth + 1, kMaxParentDepth + 1);
        state = depth > kMaxParentDepth ? TParentState::TooDeep : TParentState::Connected;
    }
    TNamespace* target = state == TParentState::Connected ? parent->Namespace() : ObjectMembersNamespace();
    const bool changed =
        target != m_connectionToParent->Target() || depth != m_parentDepth || state != m_parentState;
    m_parentDepth = depth;
    m_parentState = state;
    if (changed) {
        m_connectionToParent->SetTarget(target);
        // Descendants count their depth again; fields of this type see other members.
        if (NameField() && NameField()->Item()) NameField()->Item()->NotifyChanged();
        if (m_classOfName && m_classOfName->Item()) m_classOfName->Item()->NotifyChanged();
        m_parent->Check();
    }
    m_updatingParent = false;
}

void TElement_Object::ConnectLoadedChain() {
    std::vector<TElement_Object*> chain;
    TElement_Object* above = this;
    for (; above && above->m_parentAwaitsLoad && !above->m_inLoadedChain; above = above->ResolvedParent()) {
        above->m_inLoadedChain = true;
        chain.push_back(above);
    }
    const bool closed = above && above->m_inLoadedChain;
    for (TElement_Object* object : chain) object->m_inLoadedChain = false;
    // A walk that met one of its objects again closed a cycle there. Each
    // object on it stands as deep as an endless chain; then what each one
    // becomes follows from its parent's depth alone, which is final, so the
    // cycle's objects are connected in any order and tell nothing new to
    // one another.
    const auto cycle = closed ? std::find(chain.begin(), chain.end(), above) : chain.end();
    for (auto it = cycle; it != chain.end(); ++it) (*it)->m_parentDepth = kMaxParentDepth + 1;
    auto connect = [](TElement_Object* object) {
        object->m_parentAwaitsLoad = false;
        object->UpdateParentConnection();
    };
    std::for_each(cycle, chain.end(), connect);
    // The rest from the top down: each parent is connected before its
    // descendants, which count their depth from it once.
    std::for_each(std::make_reverse_iterator(cycle), chain.rend(), connect);
}

bool TElement_Object::InheritsMembersOf(TElement* container) {
    TElement_Object* ancestor = ConnectedParent();
    for (int step = 0; ancestor && step <= kMaxParentDepth; ++step) {
        if (ancestor == container) return true;
        ancestor = ancestor->ConnectedParent();
    }
    return false;
}

void TElement_Object::TypeFieldChanged(TWatchedTypeField* field) {
    if (field == m_parent) UpdateParentConnection();
}

void TElement_Object::UpdateOutConnection() {
    if (!m_outConnection || IsBeingDestroyed()) return;
    const QString name = NameField() ? NameField()->GetNameText() : QString();
    // Without a name no member is seen outside: they would pour in unprefixed.
    if (name.isEmpty()) {
        m_outConnection->SetTarget(nullptr);
        m_outConnection->SetPrefix(name);
    } else {
        m_outConnection->SetPrefix(name);
        m_outConnection->SetTarget(m_namespace);
    }
}

void TElement_Object::NameFieldChanged() {
    TprNamedElementWithContent::NameFieldChanged();
    UpdateOutConnection();
}

void TElement_Object::DeclaredVisibilityChanged() {
    TprNamedElementWithContent::DeclaredVisibilityChanged();
    if (IsBeingDestroyed() || !m_classOfName) return;
    m_classOfName->UpdateNamespaceItem();
    UpdateTitleLayout();
}

void TElement_Object::TreePlacementChanged() {
    TprNamedElementWithContent::TreePlacementChanged();
    if (IsBeingDestroyed() || !m_connectionToOwner) return;
    TNamespace* outer = FindOwnerNamespace(this);
    m_connectionToOwner->SetTarget(outer);
    m_outConnection->SetOwner(outer);
    UpdateOutConnection();
    UpdateParentConnection();
}

void TElement_Object::GetItemReferences(TNameField* field, std::vector<TReference*>& list) {
    TprNamedElementWithContent::GetItemReferences(field, list);
    // A cyclic inheritance is reported by the parent field.
    if (field && field == NameField() && m_parent) list.push_back(m_parent->Link());
}

void TElement_Object::WriteTitle(TTitleWriter& writer) {
    TprNamedElementWithContent::WriteTitle(writer);
    if (NameField()) writer.AddField(NameField());
    if (m_parent) {
        // Shown while filled or edited (focusing it shows it), so that a
        // parent can be typed in; the picture only with a parent.
        if (m_parent->IsFilled()) writer.AddImage(ClassSmallPicture(kObjSmallParent));
        writer.AddField(m_parent);
    }
    if (m_classOfName) writer.AddField(m_classOfName);
    if (!IsExpanded()) return;
    writer.NewLine();
    if (Content()) writer.AddBlock(Content());
    const std::pair<TExpandButton*, int> sections[] = {{m_constructionButton, strConstructionTitle},
                                                       {m_destructionButton, strDestructionTitle}};
    for (const auto& [button, caption] : sections) {
        if (!button) continue;
        writer.AddElement(button);
        writer.AddText(LoadStr(caption));
        writer.NewLine();
        if (button->Expanded() && !button->ControlledElements().isEmpty())
            writer.AddBlock(static_cast<TVisualElement*>(button->ControlledElements().first()));
    }
}

void TElement_Object::GetChildName(TElement* child, TSchemeFiler* filer, QString& name) {
    if (!child) return TprNamedElementWithContent::GetChildName(child, filer, name);
    const std::pair<TElement*, const QString*> names[] = {
        {m_namespace, &kObjNamespaceChild},
        {m_connectionToOwner, &kObjConnectionToOwnerChild},
        {m_parent, &kObjParentChild},
        {m_connectionToParent, &kObjConnectionToParentChild},
        {m_classOfName, &kObjClassOfNameChild},
        {m_outConnection, &kObjOutConnectionChild},
        {m_construction, &kObjConstructionChild},
        {m_destruction, &kObjDestructionChild},
        {m_constructionButton, &kObjConstructionExpandedChild},
        {m_destructionButton, &kObjDestructionExpandedChild},
    };
    for (const auto& [element, childName] : names)
        if (child == element) {
            name = *childName;
            return;
        }
    TprNamedElementWithContent::GetChildName(child, filer, name);
}

void TElement_Object::GetChildHint(TElement* child, QString& text) {
    if (child && child == m_parent)
        text = LoadStr(strParentObjectSpecifyingParent);
    else if (child && child == m_classOfName)
        text = LoadStr(strNameClassTypeBased);
    else
        TprNamedElementWithContent::GetChildHint(child, text);
}

void TElement_Object::GetPaletteItems(QList<TPaletteItem*>& list) {
    TprNamedElementWithContent::GetPaletteItems(list);
    if (!g_classUnit) return;
    for (TSchemePaletteItem* item : g_classUnit->kinds)
        if (item) list.append(item);
}

void TElement_Object::UpdatePaletteItemState(TPaletteItem* item, TPaletteItemState& state) {
    if (g_classUnit)
        for (int kind = 0; kind < kObjectKindCount; ++kind)
            if (item && item == g_classUnit->kinds[size_t(kind)]) {
                state.Enabled = true;
                state.Checked = kind == int(m_kind);
                return;
            }
    TprNamedElementWithContent::UpdatePaletteItemState(item, state);
}

bool TElement_Object::ApplyPaletteItem(TPaletteItem* item, const QString& subCommand, bool checked) {
    if (g_classUnit)
        for (int kind = 0; kind < kObjectKindCount; ++kind)
            if (item && item == g_classUnit->kinds[size_t(kind)]) {
                if (kind != int(m_kind)) TSchemeOperation::Execute(MakeNode<TObjectKindOperation>(this, TObjectKind(kind)));
                return true;
            }
    return TprNamedElementWithContent::ApplyPaletteItem(item, subCommand, checked);
}

void TElement_Object::LoadFrom(TSchemeLoader* loader, TKnot* knot) {
    // Connected once after the load: connecting each object as the names of
    // its ancestors come would count the depth of its descendants again for
    // every ancestor that comes.
    const bool deferred = std::exchange(m_parentAwaitsLoad, true);
    TprNamedElementWithContent::LoadFrom(loader, knot);
    SetKind(TObjectKind(ReadOptionKind(knot, kObjKindAttribute, kObjKindNames)));
    // Before the steps of the loaded references, which look through it.
    if (!deferred) loader->AddDeferred(this, kObjConnectParentStep, TSchemeLoader::TDeferredOrder::First);
}

void TElement_Object::AfterLoad(TSchemeLoader* loader, intptr_t datum) {
    TprNamedElementWithContent::AfterLoad(loader, datum);
    if (datum == kObjConnectParentStep && m_parentAwaitsLoad) ConnectLoadedChain();
}

void TElement_Object::SaveTo(TSchemeSaver* saver, TKnot* knot) {
    TprNamedElementWithContent::SaveTo(saver, knot);
    WriteOptionKind(knot, kObjKindAttribute, int(m_kind), kObjKindNames);
}

TObjectKindOperation::TObjectKindOperation(TElement_Object* element, TObjectKind kind)
    : TElementOperation(element, true), m_newKind(kind) {}

void TObjectKindOperation::DoOnElement(TElement* element) {
    TElementOperation::DoOnElement(element);
    auto* object = static_cast<TElement_Object*>(element);
    m_oldKind = object->Kind();
    object->SetKind(m_newKind);
}

void TObjectKindOperation::UndoOnElement(TElement* element) {
    TElementOperation::UndoOnElement(element);
    static_cast<TElement_Object*>(element)->SetKind(m_oldKind);
}

// ---------------------------------------------------------------------------
// The unit

TPaletteItem* ObjectPaletteItem() noexcept { return g_classUnit ? g_classUnit->object : nullptr; }

TSchemePaletteItem* ObjectKindPaletteItem(TObjectKind kind) noexcept {
    return g_classUnit ? g_classUnit->kinds[size_t(kind)] : nullptr;
}

TSchemePaletteItem* WithoutInstancePaletteItem() noexcept {
    return g_classUnit ? g_classUnit->withoutInstance : nullptr;
}

int WithoutInstanceTitlePicture() noexcept { return ClassSmallPicture(kObjSmallWithoutInstance); }

int ClassCharPicture(int picture) noexcept {
    return g_classUnit ? g_classUnit->charImages.Picture(picture) : NoImageIndex;
}

int ClassSmallPicture(int picture) noexcept {
    return g_classUnit ? g_classUnit->smallImages.Picture(picture) : NoImageIndex;
}

int ClassLargePicture(int picture) noexcept {
    return g_classUnit ? g_classUnit->largeImages.Picture(picture) : NoImageIndex;
}

namespace {

void CreateObjectCommands(TClassUnit& unit) {
    TPaletteGroup* kinds = TPaletteGroup::Create(Palette(), strKind, kObjKindGroupOrder);
    const int captions[kObjectKindCount][2] = {{strRegular, 8}, {strAbstract, 10}, {strFinal, 6}};
    const int picture = DefaultLargeImage();
    for (int kind = 0; kind < kObjectKindCount; ++kind)
        unit.kinds[size_t(kind)] =
            TSchemePaletteItem::Create(kinds, kObjKindFlags, picture, captions[kind][0], 0, captions[kind][1]);
    unit.withoutInstance = TSchemePaletteItem::Create(
        PaletteOptionsGroup(), kObjWithoutInstanceFlags, unit.largeImages.Picture(kObjLargeWithoutInstance),
        strWithoutInstance, strWithoutInstanceHint, kObjWithoutInstanceOrder);
}

}  // namespace

void InitClassElementsUnit() {
    if (g_classUnit) return;
    g_classUnit = std::make_unique<TClassUnit>();
    TClassUnit& unit = *g_classUnit;
    unit.charImages = TImageStrip::Load(SchemeCharImages(), QStringLiteral("prClassElementsCharImages"));
    unit.smallImages = TImageStrip::Load(SchemeSmallImages(), QStringLiteral("prClassElementsSmallImages"));
    unit.largeImages = TImageStrip::Load(SchemeLargeImages(), QStringLiteral("prClassElementsLargeImages"));
    AddItemOnce(ModuleElementClasses(), TElement_Object::StaticClass());
    if (Palette() && TypesPaletteGroup())
        unit.object = TElementPaletteItem::Create(TypesPaletteGroup(), pifLargeImage,
                                                  unit.largeImages.Picture(kObjLargeObject), strObject, strObjectHint,
                                                  500, TElement_Object::StaticClass());
    if (Palette() && PaletteOptionsGroup()) CreateObjectCommands(unit);
}

void FinalClassElementsUnit() {
    // The class groups and the palette entries belong to their registries.
    g_classUnit.reset();
}
