#include "elements/diBaseElements.h"

#include "core/cuKnot.h"
#include "core/cuStringIds.h"
#include "elements/diSimpleElements.h"
#include "scheme/diFilers.h"
#include "scheme/diThemes.h"
#include "scheme/diUtils.h"

#include <utility>

T_ELEMENT_CLASS_IMPL(TTitledNameField, TNameField)
T_ELEMENT_CLASS_IMPL(TNamedElement, TTitledElement)
T_ELEMENT_CLASS_IMPL(TNamedElementWithContent, TNamedElement)
T_ELEMENT_CLASS_IMPL_ABSTRACT(TChildrenByNamespaceElement, TVisualElement)
T_CLASS_IMPL_ABSTRACT(TNamedElementVisibilityOperation, TElementOperation)

namespace {

const QString kNameChild = QStringLiteral("Name");
const QString kVisibilityAttribute = QStringLiteral("Visibility");
const QString kPrivateValue = QStringLiteral("Private");
const QString kPublicValue = QStringLiteral("Public");

// The "Visibility" group and its items.
constexpr int kVisibilityGroupOrder = 1200;
constexpr int kPublicItemOrder = 20;
constexpr int kPrivateItemOrder = 10;

struct TVisibilityItems {
    TSchemePaletteItem* publicItem = nullptr;
    TSchemePaletteItem* privateItem = nullptr;
};
TVisibilityItems g_visibilityItems;

TVisibility DefaultVisibility(TVisibilityMode mode) noexcept {
    return mode == TVisibilityMode::FixedPrivate || mode == TVisibilityMode::ChoosablePrivate ? TVisibility::Private
                                                                                                : TVisibility::Public;
}

// The visibility an item stands for; false when it is not one of the group.
bool ItemVisibility(const TPaletteItem* item, TVisibility& visibility) noexcept {
    if (!item) return false;
    if (item == g_visibilityItems.publicItem) {
        visibility = TVisibility::Public;
        return true;
    }
    if (item == g_visibilityItems.privateItem) {
        visibility = TVisibility::Private;
        return true;
    }
    return false;
}

}  // namespace

// ---------------------------------------------------------------------------
// TTitledNameField

TNamedElement* TTitledNameField::Owner() const noexcept { return ClassAs<TNamedElement>(Parent()); }

int TTitledNameField::GetThemeKind() const {
    const TNamedElement* owner = Owner();
    if (!owner || owner->VisibilityMode() == TVisibilityMode::Public) return tekName;
    return owner->Visibility() == TVisibility::Private ? tekNamePrivate : tekNamePublic;
}

QString TTitledNameField::GetDescription() {
    TNamedElement* owner = Owner();
    return owner ? owner->GetDescriptionText() : QString();
}

void TTitledNameField::GetUsedReferences(std::vector<TReference*>& list) {
    if (TNamedElement* owner = Owner()) owner->GetItemReferences(this, list);
}

int TTitledNameField::GetVisibility() {
    const TNamedElement* owner = Owner();
    return owner ? int(owner->Visibility()) : int(TVisibility::Public);
}

void TTitledNameField::Changed() {
    TNameField::Changed();
    if (TNamedElement* owner = Owner()) owner->NameFieldChanged();
}

// ---------------------------------------------------------------------------
// TNamedElement

void TNamedElement::Create() {
    TTitledElement::Create();
    CreateNameField();
    UpdateVisibilityMode();
}

void TNamedElement::CreateNameField() {
    m_nameField = static_cast<TNameField*>(TVisualElement::CreateSubElement(GetNameFieldClass(), this, nullptr, this));
}

const TElementClass* TNamedElement::GetNameFieldClass() { return TTitledNameField::StaticClass(); }

void TNamedElement::GetDefaultName(QString& stem, bool& numberFirst) { stem = GetTypeName(); }

void TNamedElement::UpdateVisibilityMode() {
    if (IsBeingDestroyed()) return;
    const TVisibilityMode mode = GetVisibilityMode();
    if (mode == m_visibilityMode) return;
    m_visibilityMode = mode;
    m_visibility = DefaultVisibility(mode);
    InvalidateNameLayout();
}

void TNamedElement::InvalidateNameLayout() {
    if (m_nameField && m_nameField->Textor()) m_nameField->Textor()->InvalidateAllLayouts();
}

bool TNamedElement::IsChoosable() const noexcept {
    return m_visibilityMode == TVisibilityMode::ChoosablePublic || m_visibilityMode == TVisibilityMode::ChoosablePrivate;
}

void TNamedElement::SetVisibility(TVisibility visibility) {
    if (visibility == m_visibility) return;
    m_visibility = visibility;
    DeclaredVisibilityChanged();
    NotifyEditStateChanged();
}

void TNamedElement::DeclaredVisibilityChanged() {
    if (!m_nameField) return;
    m_nameField->UpdateNamespaceItem();
    if (m_visibilityMode != TVisibilityMode::Public) InvalidateNameLayout();
}

void TNamedElement::Realign(TVisualElement* child) {
    TTitledElement::Realign(child);
    if (child && child == static_cast<TVisualElement*>(ExpandButton()) && m_nameField && (m_nameField->NameOptions() & noAnnounceTitle))
        if (TNameFieldNamespaceItem* item = m_nameField->Item()) item->NotifyTitleChanged();
}

void TNamedElement::FocusFirst() {
    if (m_nameField)
        m_nameField->FocusFirst();
    else
        TTitledElement::FocusFirst();
}

void TNamedElement::GetPaletteItems(QList<TPaletteItem*>& list) {
    TTitledElement::GetPaletteItems(list);
    if (m_visibilityMode == TVisibilityMode::Public || !g_visibilityItems.publicItem) return;
    list.append(g_visibilityItems.publicItem);
    list.append(g_visibilityItems.privateItem);
}

void TNamedElement::UpdatePaletteItemState(TPaletteItem* item, TPaletteItemState& state) {
    TVisibility visibility;
    if (!ItemVisibility(item, visibility)) {
        TTitledElement::UpdatePaletteItemState(item, state);
        return;
    }
    state.Enabled = IsChoosable();
    state.Checked = visibility == m_visibility;
}

bool TNamedElement::ApplyPaletteItem(TPaletteItem* item, const QString& subCommand, bool checked) {
    TVisibility visibility;
    if (!ItemVisibility(item, visibility)) return TTitledElement::ApplyPaletteItem(item, subCommand, checked);
    if (visibility != m_visibility)
        TSchemeOperation::Execute(MakeNode<TNamedElementVisibilityOperation>(this, visibility));
    return true;
}

void TNamedElement::InitNew(TPaletteItem* item) {
    TTitledElement::InitNew(item);
    if (!m_nameField) return;
    TNamespace* space = m_nameField->GetNamespace();
    const TNamingSettings* settings = NamingSettings();
    if (!space || !settings || !settings->FillEnabled()->Value()) return;
    QString stem;
    bool numberFirst = true;
    GetDefaultName(stem, numberFirst);
    if (!stem.isEmpty()) m_nameField->SetText(space->GetUniqueName(stem, numberFirst, *settings));
}

void TNamedElement::GetChildName(TElement* child, TSchemeFiler* filer, QString& name) {
    if (child && child == m_nameField)
        name = kNameChild;
    else
        TTitledElement::GetChildName(child, filer, name);
}

// A file keeps only "Private". A snapshot also carries new elements, made
// before they are placed: it keeps a visibility only when it differs from the
// default of the mode, so that a new element takes the default of its place.
void TNamedElement::SaveTo(TSchemeSaver* saver, TKnot* knot) {
    TTitledElement::SaveTo(saver, knot);
    if (!IsChoosable()) return;
    if (saver->IsSnapshot() && m_visibility != DefaultVisibility(m_visibilityMode))
        knot->WriteStr(kVisibilityAttribute, m_visibility == TVisibility::Private ? kPrivateValue : kPublicValue);
    else if (!saver->IsSnapshot() && m_visibility == TVisibility::Private)
        knot->WriteStr(kVisibilityAttribute, kPrivateValue);
}

void TNamedElement::LoadFrom(TSchemeLoader* loader, TKnot* knot) {
    TTitledElement::LoadFrom(loader, knot);
    if (!IsChoosable()) return;
    knot->ReadStrView(kVisibilityAttribute, {}, [&](QStringView stored) {
        const bool isPrivate = stored.compare(kPrivateValue, Qt::CaseInsensitive) == 0;
        if (loader->IsSnapshot() && stored.isEmpty())
            SetVisibility(DefaultVisibility(m_visibilityMode));
        else
            SetVisibility(isPrivate ? TVisibility::Private : TVisibility::Public);
    });
}

void TNamedElement::BeforeDestruction() {
    TTitledElement::BeforeDestruction();
    m_nameField = nullptr;
}

// ---------------------------------------------------------------------------
// TNamedElementWithContent

const TElementClass* TNamedElementWithContent::GetContentClass() { return TTitledTextContainer::StaticClass(); }

void TNamedElementWithContent::Create() {
    TNamedElement::Create();
    m_content.Make(this, GetContentClass());
}

void TNamedElementWithContent::FocusFirst() {
    if (!m_content.Focus()) TNamedElement::FocusFirst();
}

void TNamedElementWithContent::GetChildName(TElement* child, TSchemeFiler* filer, QString& name) {
    if (!m_content.Names(child, name)) TNamedElement::GetChildName(child, filer, name);
}

void TNamedElementWithContent::BeforeDestruction() {
    TNamedElement::BeforeDestruction();
    m_content.Forget();
}

// ---------------------------------------------------------------------------
// TNamedElementVisibilityOperation

TNamedElementVisibilityOperation::TNamedElementVisibilityOperation(TNamedElement* element, TVisibility visibility)
    : TElementOperation(element, true), m_newVisibility(visibility) {}

void TNamedElementVisibilityOperation::DoOnElement(TElement* element) {
    TElementOperation::DoOnElement(element);
    auto* named = dynamic_cast<TNamedElement*>(element);
    if (!named) return;
    m_oldVisibility = named->Visibility();
    named->SetVisibility(m_newVisibility);
}

void TNamedElementVisibilityOperation::UndoOnElement(TElement* element) {
    TElementOperation::UndoOnElement(element);
    if (auto* named = dynamic_cast<TNamedElement*>(element)) named->SetVisibility(m_oldVisibility);
}

// ---------------------------------------------------------------------------
// The unit

TSchemePaletteItem* PublicPaletteItem() noexcept { return g_visibilityItems.publicItem; }
TSchemePaletteItem* PrivatePaletteItem() noexcept { return g_visibilityItems.privateItem; }

void InitBaseElementsUnit() {
    // The strip holds the "Public" picture, then the "Private" one.
    const int pictures = SchemeLargeImages().Count();
    const int first = SchemeLargeImages().AddResourceImage(QStringLiteral("diBaseElementsLargeImages"));
    const bool loaded = SchemeLargeImages().Count() >= pictures + 2;
    constexpr uint16_t flags = pifToggle | pifLargeImage;
    TPaletteGroup* group = TPaletteGroup::Create(Palette(), strVisibility, kVisibilityGroupOrder);
    g_visibilityItems.publicItem = TSchemePaletteItem::Create(group, flags, loaded ? first : NoImageIndex, strPublic,
                                                              strPublicHint, kPublicItemOrder);
    g_visibilityItems.privateItem = TSchemePaletteItem::Create(group, flags, loaded ? first + 1 : NoImageIndex,
                                                               strPrivate, strPrivateHint, kPrivateItemOrder);
}

void FinalBaseElementsUnit() { g_visibilityItems = {}; }

// ---------------------------------------------------------------------------
// TChildrenByNamespaceElement

namespace {

const QString kChildReferencesKnot = QStringLiteral("ChildReferences");
const QString kChildForPrefix = QStringLiteral("ChildFor");
const QString kNamespaceSnapshot = QStringLiteral("Namespace");

}  // namespace

namespace {
uint64_t ItemHash(const TNamespaceItem* item) noexcept { return MixHash(uint64_t(reinterpret_cast<uintptr_t>(item))); }
}  // namespace

TChildrenByNamespaceElement::~TChildrenByNamespaceElement() = default;

TNamespace* TChildrenByNamespaceElement::GetNamespace() {
    auto* owner = dynamic_cast<INamespaceOwner*>(ParentElement());
    return owner ? owner->GetNamespace() : nullptr;
}

bool TChildrenByNamespaceElement::IsCounted(TElement* child) {
    return child && !child->IsSubElement() && child->ElementClass() == GetChildClass();
}

std::vector<TVisualElement*> TChildrenByNamespaceElement::CountedChildren() {
    std::vector<TVisualElement*> children;
    for (TNode* node = FirstChild(); node; node = node->NextSibling()) {
        auto* child = ClassAs<TVisualElement>(node);
        if (IsCounted(child)) children.push_back(child);
    }
    return children;
}

TNamespaceItem* TChildrenByNamespaceElement::ItemOf(TVisualElement* child) {
    TReference* reference = GetChildReference(child);
    return reference ? reference->Target() : nullptr;
}

void TChildrenByNamespaceElement::ChildrenChanged() {
    TVisualElement::ChildrenChanged();
    m_childIndexValid = false;
    ++m_childChanges;
}

void TChildrenByNamespaceElement::IndexChildren() {
    m_childByItem.Clear();
    m_unindexedChildren = 0;
    for (TVisualElement* child : CountedChildren())
        if (TNamespaceItem* item = ItemOf(child))
            m_childByItem.Insert(ItemHash(item), child);
        else
            ++m_unindexedChildren;
    m_childIndexValid = true;
}

TVisualElement* TChildrenByNamespaceElement::ChildFor(TNamespaceItem* item) {
    if (item) {
        if (!m_childIndexValid) IndexChildren();
        auto standsFor = [this, item](TVisualElement* child) { return ItemOf(child) == item; };
        if (TVisualElement* child = m_childByItem.Find(ItemHash(item), standsFor)) return child;
        // Every child was indexed under its item: none stands for this one.
        if (!m_unindexedChildren) return nullptr;
    }
    // A child without an item, or one that had none when the index was made
    // (its link is resolved after a load).
    for (TVisualElement* child : CountedChildren())
        if (ItemOf(child) == item) {
            if (item) IndexChildren();
            return child;
        }
    return nullptr;
}

TVisualElement* TChildrenByNamespaceElement::LastCountedChild() {
    for (TNode* node = LastChild(); node; node = node->PrevSibling())
        if (auto* child = dynamic_cast<TVisualElement*>(node); IsCounted(child)) return child;
    return nullptr;
}

TVisualElement* TChildrenByNamespaceElement::ChildBefore(TNamespaceItem* item) {
    // The children stand in the namespace's order: an item after the last
    // child's goes to the end (the common case, a namespace followed item by item).
    TVisualElement* last = LastCountedChild();
    TNamespaceItem* lastItem = last ? ItemOf(last) : nullptr;
    if (!last || (lastItem && NamespaceItemPrecedes(lastItem, item))) return nullptr;
    for (TVisualElement* child : CountedChildren()) {
        TNamespaceItem* other = ItemOf(child);
        if (other && NamespaceItemPrecedes(item, other)) return child;
    }
    return nullptr;
}

TVisualElement* TChildrenByNamespaceElement::CreateChildFor(TNamespaceItem* item) {
    TVisualElement* before = ChildBefore(item);
    const bool indexed = m_childIndexValid;
    const uint32_t changes = m_childChanges;
    auto* child = static_cast<TVisualElement*>(TElement::CreateIn(GetChildClass(), Scheme(), this, before));
    child->SetVisualParentAt(this, before);
    if (TReference* reference = GetChildReference(child)) reference->SetTarget(item);
    // The new child was the only change: the index takes it and stays.
    if (indexed && m_childChanges == changes + 1 && item && ItemOf(child) == item) {
        m_childByItem.Erase(ItemHash(item), child);
        m_childByItem.Insert(ItemHash(item), child);
        m_childIndexValid = true;
    }
    return child;
}

TElementOperation* TChildrenByNamespaceElement::OperationBeingDone(bool firstOnly) const {
    if (!Scheme() || !Scheme()->UndoRedo()) return nullptr;
    auto* op = dynamic_cast<TElementOperation*>(Scheme()->UndoRedo()->GetCurrentOperation());
    if (!op) return nullptr;
    const bool doing = op->State() == TOperation::osFirstExecution || (!firstOnly && op->State() == TOperation::osRedoing);
    return doing ? op : nullptr;
}

void TChildrenByNamespaceElement::RecordChild(TElementOperationDependents& set, TVisualElement* child) {
    TNamespaceItem* item = ItemOf(child);
    TKnot* knot = set.Add(this);
    child->SaveToKnot(knot, fmSnapshot, 0);
    knot->SetName(item ? item->GetPath() : QString());
}

void TChildrenByNamespaceElement::Follow(TNamespace* ns) {
    m_namespace = ns;
    if (!ns) return;
    ns->ForEachItem(
        [this](TNamespaceItem* item, bool&) {
            if (AcceptsItem(item)) CreateChildFor(item);
        },
        AcceptsCovers());
    ns->AddListener(MakeHandler<&TChildrenByNamespaceElement::OnNotify>(this));
}

void TChildrenByNamespaceElement::StopFollowing() {
    if (m_namespace) m_namespace->RemoveListener(MakeHandler<&TChildrenByNamespaceElement::OnNotify>(this));
    m_namespace = nullptr;
}

void TChildrenByNamespaceElement::TreePlacementChanged() {
    TVisualElement::TreePlacementChanged();
    FollowNamespaceAgain();
}

void TChildrenByNamespaceElement::FollowNamespaceAgain() {
    if (IsBeingDestroyed()) return;
    TNamespace* ns = GetNamespace();
    if (ns == m_namespace) return;
    TElementOperation* op = OperationBeingDone(true);
    if (op) {
        TKnot* knot = op->GetUndoDependents().Add(this);
        SaveToKnot(knot, fmSnapshot, 0);
        knot->SetName(kNamespaceSnapshot);
    }
    StopFollowing();
    for (TVisualElement* child : CountedChildren()) child->Free();
    Follow(ns);
    // A redo makes the new namespace's children again: they take back the
    // numbers and content they were made with.
    if (op)
        for (TVisualElement* child : CountedChildren()) RecordChild(op->GetRedoDependents(), child);
    RequestChildrenLayout();
}

void TChildrenByNamespaceElement::OnNotify(TItfObject*, int code, intptr_t p1, intptr_t p2) {
    if (code == nnNamespaceFreed) {
        m_namespace = nullptr;
        return;
    }
    NamespaceNotify(code, reinterpret_cast<TNamespaceItem*>(p1), p2);
}

void TChildrenByNamespaceElement::NamespaceNotify(int code, TNamespaceItem* item, intptr_t argument) {
    // Snapshots are taken on the first run only: a redo restores them after
    // the children are made again, and a fresh one would overwrite them.
    TElementOperation* op = OperationBeingDone(code != nnPathChanged);
    switch (code) {
    case nnItemAdded:
        if (!AcceptsItem(item)) return;
        if (TVisualElement* child = CreateChildFor(item); child && op) RecordChild(op->GetRedoDependents(), child);
        RequestChildrenLayout();
        return;
    case nnPathChanged: {
        if (!op) return;
        const QString& former = *reinterpret_cast<const QString*>(argument);
        for (TElementOperationDependents* set : {&op->GetRedoDependents(), &op->GetUndoDependents()})
            for (int i = 0; i < set->Count(); ++i)
                if (set->GetElementNumber(i) == Number() && set->GetKnot(i)->Name() == former)
                    set->GetKnot(i)->SetName(item->GetPath());
        return;
    }
    case nnEnabledChanged:
        if (TVisualElement* child = ChildFor(item)) child->UpdateDisabled();
        return;
    case nnRenamed:
        if (TVisualElement* child = ChildFor(item)) ItemRenamed(child, item);
        return;
    case nnItemRemoved:
        if (TVisualElement* child = ChildFor(item)) {
            if (op) RecordChild(op->GetUndoDependents(), child);
            const bool indexed = m_childIndexValid;
            const uint32_t changes = m_childChanges;
            child->Free();
            if (indexed && m_childChanges == changes + 1) {
                m_childByItem.Erase(ItemHash(item), child);
                m_childIndexValid = true;
            }
            RequestChildrenLayout();
        }
        return;
    default:
        return;
    }
}

void TChildrenByNamespaceElement::RequestChildrenLayout() {
    if (!Sheet() || !IsVisible() || IsBeingDestroyed() || m_layingOut) return;
    m_layingOut = true;
    try {
        LayoutChildren();
    } catch (...) {
        m_layingOut = false;
        throw;
    }
    m_layingOut = false;
}

void TChildrenByNamespaceElement::ChildBoundsChanged(TVisualElement* child, const TRect& oldRect, int oldDescent) {
    TVisualElement::ChildBoundsChanged(child, oldRect, oldDescent);
    if (child && child->IsVisible()) RequestChildrenLayout();
}

void TChildrenByNamespaceElement::ChildVisibilityChanged(TVisualElement* child) {
    TVisualElement::ChildVisibilityChanged(child);
    RequestChildrenLayout();
}

void TChildrenByNamespaceElement::UpdateLayout(bool force, bool all, bool widthChanged, bool heightChanged) {
    TVisualElement::UpdateLayout(force, all, widthChanged, heightChanged);
    if (force) RequestChildrenLayout();
}

bool TChildrenByNamespaceElement::ShouldSaveChild(TSchemeFiler* filer, TElement* child) {
    if (filer->IsSnapshot() && IsCounted(child)) return false;
    return TVisualElement::ShouldSaveChild(filer, child);
}

void TChildrenByNamespaceElement::SaveTo(TSchemeSaver* saver, TKnot* knot) {
    TVisualElement::SaveTo(saver, knot);
    if (!saver->IsSnapshot()) return;
    TKnot* children = knot->AddChild(kChildReferencesKnot);
    for (TVisualElement* child : CountedChildren()) {
        if (child->IsDisabled() && saver->HasOption(foSkipDisabled)) continue;
        if (saver->HasOption(foSaveInPlace) && child->SaveInPlace(saver, knot)) continue;
        TNamespaceItem* item = ItemOf(child);
        if (item) child->SaveTo(saver, children->AddChild(kChildForPrefix + item->GetPath()));
    }
}

void TChildrenByNamespaceElement::LoadFrom(TSchemeLoader* loader, TKnot* knot) {
    TVisualElement::LoadFrom(loader, knot);
    if (!loader->IsSnapshot()) return;
    m_pendingChildren = knot->FindChild(kChildReferencesKnot);
    if (m_pendingChildren) loader->AddDeferred(this, 0);
}

void TChildrenByNamespaceElement::AfterLoad(TSchemeLoader* loader, intptr_t datum) {
    TVisualElement::AfterLoad(loader, datum);
    TKnot* children = std::exchange(m_pendingChildren, nullptr);
    if (!children) return;
    for (TVisualElement* child : CountedChildren()) {
        TNamespaceItem* item = ItemOf(child);
        TKnot* knot = item ? children->FindChild(kChildForPrefix + item->GetPath()) : nullptr;
        if (knot) child->LoadFrom(loader, knot);
    }
}

void TChildrenByNamespaceElement::RedoDependent(TKnot* snapshot) {
    TVisualElement::RedoDependent(snapshot);
    for (TVisualElement* child : CountedChildren()) {
        TNamespaceItem* item = ItemOf(child);
        if (item && item->GetPath() == snapshot->Name()) {
            child->LoadFromKnot(snapshot, fmSnapshot, 0);
            return;
        }
    }
}

void TChildrenByNamespaceElement::UndoDependent(TKnot* snapshot) {
    if (snapshot->Name() == kNamespaceSnapshot)
        LoadFromKnot(snapshot, fmSnapshot, 0);
    else
        RedoDependent(snapshot);
}

void TChildrenByNamespaceElement::WriteText(QString& builder) {
    for (TVisualElement* child : CountedChildren()) child->WriteText(builder);
}

void TChildrenByNamespaceElement::BeforeDestruction() {
    StopFollowing();
    TVisualElement::BeforeDestruction();
}
