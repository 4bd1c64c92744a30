#include "elements/diNamingElements.h"

#include "core/cuLocalization.h"
#include "core/cuStringIds.h"
#include "platform/plInput.h"
#include "scheme/diFilers.h"
#include "scheme/diMessages.h"
#include "scheme/diPalette.h"
#include "text/diTextor.h"

#include <algorithm>

T_ELEMENT_CLASS_IMPL_ABSTRACT(TNameElement, TElement)
T_ELEMENT_CLASS_IMPL(TNameField, TTextorElement)
T_ELEMENT_CLASS_IMPL(TCustomReferenceElement, TTextorElement)
T_ELEMENT_CLASS_IMPL(TReferenceElement, TCustomReferenceElement)
T_ELEMENT_CLASS_IMPL(TReferenceField, TCustomReferenceElement)
T_ELEMENT_CLASS_IMPL(TReferenceSignElement, TVisualElement)
T_CLASS_IMPL_ABSTRACT(TReferenceOperation, TElementOperation)
T_CLASS_IMPL_ABSTRACT(TReferenceElementTextorEditOperation, TTextorEditOperation)

namespace {

const QString kLinkName = QStringLiteral("Link");
const QChar kGroupSeparator = QLatin1Char('.');

TPaletteItem* g_autonameItem = nullptr;

// The element operation the scheme's undo list is running now, if any.
TElementOperation* RunningElementOperation(TElement* element) {
    TScheme* scheme = element->Scheme();
    TUndoRedo* history = scheme ? scheme->UndoRedo() : nullptr;
    return history ? dynamic_cast<TElementOperation*>(history->GetCurrentOperation()) : nullptr;
}

QString PathOf(TNamespaceItem* item) { return item ? item->GetPath() : QString(); }

void AddNameMessage(TElement* element, int stringId, const QString& argument = QString()) {
    const QString text = argument.isNull() ? LoadStr(stringId) : LoadStrFmt(stringId, {SanitizeMessageText(argument)});
    element->GetMessages()->AddElementLinkMessage(mkInvalidContent, text, QString::number(element->Number()));
}

bool TextHasElement(const TTextorElement* element) {
    for (TPortion* p = element->Textor()->GetFirstPortion(); p; p = p->GetNextPortion())
        if (p->Kind() == TPortionKind::Element) return true;
    return false;
}

// Data of the drop-down entries: "<create>", "<create here>", and the
// candidates from kFirstCandidateEntry on (the index in the listed paths).
enum : int {
    kCreateEntry = -2,
    kCreateHereEntry = -3,
    kFirstCandidateEntry = 1,
};

}  // namespace

// ---------------------------------------------------------------------------
// INamespaceOwner

TNamespace* FindOwnerNamespace(TElement* element) {
    TElement* parent = element->ParentElement();
    if (auto* ns = dynamic_cast<TNamespace*>(parent)) return ns;
    for (TElement* e = parent; e; e = e->ParentElement())
        if (auto* owner = dynamic_cast<INamespaceOwner*>(e)) return owner->GetNamespace();
    return nullptr;
}

// ---------------------------------------------------------------------------
// TNameElement

TNameElement* TNameElementNamespaceItem::NameElement() const { return static_cast<TNameElement*>(Element()); }
int TNameElementNamespaceItem::GetImageIndex() { return NameElement()->GetImageIndex(); }
QString TNameElementNamespaceItem::GetDescription() { return NameElement()->GetDescription(); }
bool TNameElementNamespaceItem::IsEnabled() { return NameElement()->IsEnabled(); }
QString TNameElementNamespaceItem::GetName() { return NameElement()->GetName(); }
bool TNameElementNamespaceItem::NeedsUniqueName() { return NameElement()->NeedsUniqueName(); }
int TNameElementNamespaceItem::GetItemFlags() { return NameElement()->GetItemFlags(); }
void TNameElementNamespaceItem::GetUsedReferences(std::vector<TReference*>& list) {
    NameElement()->GetUsedReferences(list);
}
int TNameElementNamespaceItem::GetVisibility() { return NameElement()->GetVisibility(); }

TNameElement::TNameElement() noexcept { InitOptions(Options() | eoNotStored); }

TNameElement::~TNameElement() = default;

void TNameElement::SetNameOptions(uint8_t value) {
    if (m_nameOptions == value) return;
    m_nameOptions = value;
    UpdateNamespaceItem();
}

TNamespace* TNameElement::GetNamespace() { return FindOwnerNamespace(this); }

void TNameElement::UpdateNamespaceItem() {
    if (m_namespace && (m_nameOptions & noRegister) && !IsBeingDestroyed()) {
        if (m_item) return;
        m_item = TNamespaceOwnItem::Create<TNameElementNamespaceItem>(nullptr, this);
        m_item->Register(m_namespace);
    } else {
        m_item.reset();
    }
}

void TNameElement::TreePlacementChanged() {
    TElement::TreePlacementChanged();
    TNamespace* ns = IsBeingDestroyed() ? nullptr : GetNamespace();
    if (ns == m_namespace) return;
    m_item.reset();
    m_namespace = ns;
    UpdateNamespaceItem();
}

void TNameElement::BeforeDestruction() {
    m_item.reset();
    m_namespace = nullptr;
    TElement::BeforeDestruction();
}

// ---------------------------------------------------------------------------
// TNameField

int TNameFieldNamespaceItem::GetImageIndex() { return m_field->GetImageIndex(); }
QString TNameFieldNamespaceItem::GetDescription() { return m_field->GetDescription(); }
bool TNameFieldNamespaceItem::IsEnabled() { return m_field->IsEnabled(); }
QString TNameFieldNamespaceItem::GetName() { return m_field->GetNameText(); }
TElement* TNameFieldNamespaceItem::GetNameElement() { return m_field; }
bool TNameFieldNamespaceItem::NeedsUniqueName() { return m_field->NeedsUniqueName(); }
int TNameFieldNamespaceItem::GetItemFlags() { return m_field->GetItemFlags(); }
void TNameFieldNamespaceItem::GetUsedReferences(std::vector<TReference*>& list) {
    m_field->GetUsedReferences(list);
}
int TNameFieldNamespaceItem::GetVisibility() { return m_field->GetVisibility(); }

void TNameFieldNamespaceItem::StateChanged() {
    TNamespaceOwnItem::StateChanged();
    m_field->CheckAll();
}

void TNameFieldNamespaceItem::AddReference(TReference* reference) {
    TNamespaceOwnItem::AddReference(reference);
    m_field->UpdateReferenceSign();
}

void TNameFieldNamespaceItem::RemoveReference(TReference* reference) {
    TNamespaceOwnItem::RemoveReference(reference);
    m_field->UpdateReferenceSign();
}

TNameField::TNameField() noexcept { InitOptions(Options() | kNameFieldElementOptions); }

TNameField::~TNameField() = default;

void TNameField::Create() {
    TTextorElement::Create();
    SetTextorOptions(TextorOptions() | kNameFieldTextorOptions);
    SetRestrictions(kNameFieldRestrictions);
}

bool TNameField::WantsItem() {
    return m_namespace && (m_nameOptions & noRegister) && !m_destroying && !IsBeingDestroyed() &&
           !GetNameText().isEmpty();
}

void TNameField::SetNameOptions(uint8_t value) {
    const uint8_t old = m_nameOptions;
    if (old == value) return;
    m_nameOptions = value;
    if (((old ^ value) & noUnique) && m_namespace) m_namespace->CheckDuplicates();
    if ((old ^ value) & noImageWhenFilled) UpdateBounds();
    UpdateNamespaceItem();
}

void TNameField::SetImageIndex(int index) {
    if (m_imageIndex == index) return;
    m_imageIndex = index;
    UpdateBounds();
    if (m_item) m_item->NotifyImageChanged();
}

TNamespace* TNameField::GetNamespace() { return FindOwnerNamespace(GetOwnerElement()); }

bool TNameField::IsEnabled() { return !IsEffectivelyDisabled(); }

void TNameField::UpdateNamespaceItem() {
    if (!WantsItem()) {
        m_item.reset();
    } else if (!m_item) {
        // Kept before it registers: the checks that registering starts read it.
        m_item = TNamespaceOwnItem::Create<TNameFieldNamespaceItem>(nullptr, GetOwnerElement(), this);
        m_item->Register(m_namespace);
    } else {
        m_item->NotifyChanged();
    }
    UpdateReferenceSign();
}

void TNameField::TextChanged() {
    TTextorElement::TextChanged();
    if (!WantsItem())
        UpdateNamespaceItem();
    else if (!m_item)
        UpdateNamespaceItem();
    else
        m_item->NotifyRenamed();
}

void TNameField::CheckContent() {
    TTextorElement::CheckContent();
    if (!m_item) return;
    if (m_item->IsDuplicate())
        AddNameMessage(this, strElementWithNameAlready, GetNameText());
    else if (m_item->HidesOverridable())
        AddNameMessage(this, strNameReservedYouNeed, GetNameText());
}

void TNameField::TreePlacementChanged() {
    TTextorElement::TreePlacementChanged();
    TNamespace* ns = IsBeingDestroyed() ? nullptr : GetNamespace();
    if (ns != m_namespace) {
        m_item.reset();
        m_namespace = ns;
    }
    UpdateNamespaceItem();
}

void TNameField::BeforeDestruction() {
    m_destroying = true;
    m_item.reset();
    m_namespace = nullptr;
    UpdateReferenceSign();
    TTextorElement::BeforeDestruction();
}

void TNameField::NumberChanged(int32_t oldNumber) {
    TTextorElement::NumberChanged(oldNumber);
    if (m_item) m_item->NumberChanged(oldNumber);
}

void TNameField::EffectiveDisabledChanged() {
    TTextorElement::EffectiveDisabledChanged();
    if (m_item) m_item->NotifyEnabledChanged();
}

void TNameField::UpdateReferenceSign() {
    // The sign element itself is placed by the sheet's root element; the
    // field repaints so that its corner shows the current state.
    if (!m_destroying && Sheet()) Invalidate();
}

void TNameField::GetPaletteItems(QList<TPaletteItem*>& list) {
    TTextorElement::GetPaletteItems(list);
    if ((m_nameOptions & noAutoname) && g_autonameItem) list.append(g_autonameItem);
}

void TNameField::UpdatePaletteItemState(TPaletteItem* item, TPaletteItemState& state) {
    TTextorElement::UpdatePaletteItemState(item, state);
    if (item == g_autonameItem) state.Enabled = !IsReadOnly() && CanAutoName() && !GetAutoName().isEmpty();
}

bool TNameField::ApplyPaletteItem(TPaletteItem* item, const QString& subCommand, bool checked) {
    if (item != g_autonameItem) return TTextorElement::ApplyPaletteItem(item, subCommand, checked);
    if (IsReadOnly() || !CanAutoName()) return false;
    const QString name = GetAutoName();
    if (name.isEmpty()) return false;
    ReplaceText(name);
    return true;
}

void TNameField::GetHint(QString& text) {
    TTextorElement::GetHint(text);
    if (text.isEmpty()) text = LoadStr(strElementName);
    if (NeedsUniqueName()) text += QStringLiteral("\r\n") + LoadStr(strNameMustUniqueAmong);
    text += QStringLiteral("\r\n") + LoadStr(strWhenReferringElementLetter);
}

TPaletteItem* AutonamePaletteItem() { return g_autonameItem; }

// ---------------------------------------------------------------------------
// TReferenceRouter

TReferenceRouter::TReferenceRouter(TNamespace* ns) : m_namespace(ns) {
    ns->AddListener(MakeHandler<&TReferenceRouter::OnNotify>(this));
}

TReferenceRouter::~TReferenceRouter() {
    if (m_namespace) m_namespace->RemoveListener(MakeHandler<&TReferenceRouter::OnNotify>(this));
}

TReferenceRouter* TReferenceRouter::Find(TNamespace* ns) {
    return ns ? dynamic_cast<TReferenceRouter*>(ns->Attachment()) : nullptr;
}

TReferenceRouter* TReferenceRouter::Of(TNamespace* ns) {
    if (TReferenceRouter* router = Find(ns)) return router;
    auto router = std::make_unique<TReferenceRouter>(ns);
    TReferenceRouter* raw = router.get();
    ns->SetAttachment(std::move(router));
    return raw;
}

namespace {
template <class K, class L>
void EraseFrom(QHash<K, L>& index, const K& key, TCustomReferenceElement* r) {
    auto it = index.find(key);
    if (it == index.end()) return;
    auto& list = it.value();
    list.erase(std::remove(list.begin(), list.end(), r), list.end());
    if (list.empty()) index.erase(it);
}
}  // namespace

void TReferenceRouter::Add(TCustomReferenceElement* reference) { Rekey(reference); }

void TReferenceRouter::Remove(TCustomReferenceElement* reference) {
    auto key = m_keys.find(reference);
    if (key != m_keys.end()) {
        EraseFrom(m_waiting, key.value(), reference);
        m_keys.erase(key);
    }
    auto target = m_targets.find(reference);
    if (target != m_targets.end()) {
        EraseFrom(m_byTarget, target.value(), reference);
        m_targets.erase(target);
    }
}

void TReferenceRouter::Rekey(TCustomReferenceElement* reference) {
    // A reference filed as it would be filed again stays where it is: a
    // target's change or a resolve rekeys it several times over.
    TNamespaceItem* target = reference->GetTargetItem();
    const QString text = target ? QString() : reference->GetText();
    if (target) {
        if (auto filed = m_targets.constFind(reference); filed != m_targets.constEnd() && filed.value() == target)
            return;
    } else if (auto filed = m_keys.constFind(reference); filed != m_keys.constEnd() && filed.value() == text) {
        return;
    }
    Remove(reference);
    if (target) {
        m_targets.insert(reference, target);
        m_byTarget[target].push_back(reference);
    } else {
        m_keys.insert(reference, text);
        m_waiting[text].push_back(reference);
    }
}

int TReferenceRouter::WaitingCount(const QString& name) const {
    auto it = m_waiting.constFind(name);
    return it == m_waiting.constEnd() ? 0 : int(it.value().size());
}

TReferenceRouter::TReferenceList TReferenceRouter::Concerned(TNamespaceItem* item, bool byName) {
    TReferenceList result;
    auto target = m_byTarget.constFind(item);
    if (target != m_byTarget.constEnd()) result = target.value();
    if (byName) {
        auto waiting = m_waiting.constFind(item->GetName());
        if (waiting != m_waiting.constEnd()) result.append(waiting->constData(), waiting->size());
    }
    return result;
}

void TReferenceRouter::OnNotify(TItfObject* sender, int code, intptr_t p1, intptr_t p2) {
    if (code == nnNamespaceFreed) {
        std::vector<TCustomReferenceElement*> all;
        for (auto it = m_keys.cbegin(); it != m_keys.cend(); ++it) all.push_back(it.key());
        for (auto it = m_targets.cbegin(); it != m_targets.cend(); ++it) all.push_back(it.key());
        m_namespace->RemoveListener(MakeHandler<&TReferenceRouter::OnNotify>(this));
        m_namespace = nullptr;
        for (TCustomReferenceElement* r : all) r->NamespaceNotify(code, nullptr, 0);
        return;
    }
    auto* item = reinterpret_cast<TNamespaceItem*>(p1);
    if (!item || code < nnItemAdded || code > nnItemRemoved) return;
    const bool byName = code == nnItemAdded || code == nnItemChanged || code == nnRenamed;
    const TReferenceList concerned = Concerned(item, byName);
    for (TCustomReferenceElement* r : concerned) {
        // An earlier reaction may have stopped this one listening.
        if (!m_keys.contains(r) && !m_targets.contains(r)) continue;
        r->NamespaceNotify(code, item, p2);
    }
}

// ---------------------------------------------------------------------------
// TCustomReferenceElement

void TCustomReferenceElementReference::TargetChanged() { m_element->CheckAll(); }
void TCustomReferenceElementReference::CycleStateChanged() { m_element->CheckAll(); }

TCustomReferenceElement::TCustomReferenceElement() noexcept
    : m_link(std::make_unique<TCustomReferenceElementReference>(this)) {
    InitVisualOptions(VisualOptions() | kReferenceVisualOptions);
}

TCustomReferenceElement::~TCustomReferenceElement() = default;

void TCustomReferenceElement::Create() {
    TTextorElement::Create();
    SetTextorOptions(TextorOptions() | kReferenceTextorOptions);
    SetRestrictions(kReferenceRestrictions);
}

void TCustomReferenceElement::SetReferenceOptions(uint8_t value) {
    const uint8_t old = m_referenceOptions;
    if (old == value) return;
    m_referenceOptions = value;
    if ((old ^ value) & roTargetImage) UpdateBounds();
    if ((old ^ value) & roFreeText) CheckAll();
}

TNamespace* TCustomReferenceElement::GetNamespace() { return FindOwnerNamespace(GetOwnerElement()); }

int TCustomReferenceElement::GetImageIndex() {
    TNamespaceItem* target = GetTargetItem();
    return (m_referenceOptions & roTargetImage) && target ? target->GetImageIndex() : -1;
}

bool TCustomReferenceElement::Accepts(TNamespaceItem* item) {
    if (!item || !CanReferTo(item)) return false;
    bool accept = true;
    HandleNodeMessage(nmAcceptReferenceItem, intptr_t(item), intptr_t(&accept));
    return accept;
}

bool TCustomReferenceElement::HasEmbeddedElement() const { return TextHasElement(this); }

void TCustomReferenceElement::SetTarget(TNamespaceItem* item) {
    if (m_link->Target() == item) return;
    m_link->SetTarget(item);
    if (m_router) m_router->Rekey(this);
}

void TCustomReferenceElement::ResolveByName() {
    TNamespaceItem* found = nullptr;
    const QString text = GetText();
    if (m_namespace && !m_destroying && !IsBeingDestroyed() && !text.isEmpty() && !HasEmbeddedElement())
        found = m_namespace->FindItemByName(
            text, [this](TNamespace*, TNamespaceItem* item, bool& accept) { accept = Accepts(item); });
    SetTarget(found);
    if (m_router) m_router->Rekey(this);
}

void TCustomReferenceElement::SetTargetByPath(const QString& path) {
    SetTarget(m_namespace && !path.isEmpty() ? m_namespace->FindItemByPath(path) : nullptr);
}

void TCustomReferenceElement::SetOwnText(const QString& text) {
    const uint8_t old = m_referenceState;
    m_referenceState |= rstOwnText;
    SetText(text);
    m_referenceState = old;
    if (m_router) m_router->Rekey(this);
}

void TCustomReferenceElement::TryAttach(TNamespaceItem* item) {
    if (GetTargetItem() || HasEmbeddedElement()) return;
    const QString text = GetText();
    if (text.isEmpty() || item->GetName() != text || !Accepts(item)) return;
    SetTarget(item);
}

void TCustomReferenceElement::TargetLost(TNamespaceItem* item) {
    if (TElementOperation* op = RunningElementOperation(this)) {
        TKnot* knot = op->GetUndoDependents().Add(this);
        knot->WriteStr(kLinkName, PathOf(item));
    }
    SetTarget(nullptr);
    ResolveByName();
}

void TCustomReferenceElement::NamespaceNotify(int code, TNamespaceItem* item, intptr_t argument) {
    if (code == nnNamespaceFreed) {
        m_router = nullptr;
        m_referenceState &= uint8_t(~rstListening);
        m_link->SetTarget(nullptr);
        m_namespace = nullptr;
        return;
    }
    const bool isTarget = item == GetTargetItem();
    switch (code) {
        case nnItemAdded:
            TryAttach(item);
            break;
        case nnItemChanged:
            if (!isTarget)
                TryAttach(item);
            else if (!Accepts(item))
                TargetLost(item);
            break;
        case nnImageChanged:
            if (isTarget && (m_referenceOptions & roTargetImage)) Invalidate();
            break;
        case nnEnabledChanged:
        case nnStateChanged:
            if (isTarget) CheckAll();
            break;
        case nnRenamed:
            if (isTarget)
                SetOwnText(item->GetName());
            else
                TryAttach(item);
            break;
        case nnItemRemoved:
            if (isTarget) TargetLost(item);
            break;
        default:
            break;
    }
}

void TCustomReferenceElement::StopListening() {
    if (m_router) m_router->Remove(this);
    m_router = nullptr;
    m_referenceState &= uint8_t(~rstListening);
}

void TCustomReferenceElement::UpdateListening() {
    const bool wanted = m_namespace && IsFilled() && !m_destroying && !IsBeingDestroyed();
    if (!wanted) {
        StopListening();
        return;
    }
    if (!m_router) {
        m_router = TReferenceRouter::Of(m_namespace);
        m_referenceState |= rstListening;
    }
    m_router->Rekey(this);
}

void TCustomReferenceElement::TextChanged() {
    TTextorElement::TextChanged();
    if (!(m_referenceState & rstOwnText)) ResolveByName();
    UpdateListening();
}

bool TCustomReferenceElement::GetIsFilled() { return GetTargetItem() || TTextorElement::GetIsFilled(); }

void TCustomReferenceElement::FilledChanged() {
    TTextorElement::FilledChanged();
    UpdateListening();
}

void TCustomReferenceElement::TreePlacementChanged() {
    TTextorElement::TreePlacementChanged();
    TNamespace* ns = IsBeingDestroyed() ? nullptr : GetNamespace();
    if (ns == m_namespace) return;
    StopListening();
    m_link->SetTarget(nullptr);
    m_namespace = ns;
    ResolveByName();
    UpdateListening();
    CheckAll();
}

void TCustomReferenceElement::BeforeDestruction() {
    m_destroying = true;
    StopListening();
    m_link->SetTarget(nullptr);
    TTextorElement::BeforeDestruction();
}

void TCustomReferenceElement::CheckContent() {
    TTextorElement::CheckContent();
    if (TNamespaceItem* target = GetTargetItem()) {
        if (target->GetName().isEmpty())
            AddNameMessage(this, strReferenceElementWithEmpty);
        else if (target->IsDuplicate() || target->HidesOverridable())
            AddNameMessage(this, strReferenceElementWithDuplicate);
        else if (!target->IsEnabled())
            AddNameMessage(this, strReferenceDisabledElement);
        else if (m_link->IsOnCycle())
            AddNameMessage(this, strCyclicalReference);
        return;
    }
    const QString text = GetText();
    if (!(m_referenceOptions & roFreeText) && !text.isEmpty())
        AddNameMessage(this, strElementNotFoundNot, text);
}

void TCustomReferenceElement::SaveTo(TSchemeSaver* saver, TKnot* knot) {
    TTextorElement::SaveTo(saver, knot);
    if (saver->IsSnapshot() && GetTargetItem()) knot->WriteStr(kLinkName, PathOf(GetTargetItem()));
}

void TCustomReferenceElement::LoadFrom(TSchemeLoader* loader, TKnot* knot) {
    TTextorElement::LoadFrom(loader, knot);
    if (!loader->IsSnapshot()) return;
    m_pendingLink = knot->ReadStr(kLinkName);
    if (!m_pendingLink.isEmpty()) loader->AddDeferred(this, 0);
}

void TCustomReferenceElement::AfterLoad(TSchemeLoader* loader, intptr_t datum) {
    TTextorElement::AfterLoad(loader, datum);
    const QString path = std::exchange(m_pendingLink, QString());
    if (TNamespaceItem* item = m_namespace ? m_namespace->FindItemByPath(path) : nullptr) SetTarget(item);
}

void TCustomReferenceElement::UndoDependent(TKnot* snapshot) {
    TTextorElement::UndoDependent(snapshot);
    const QString path = snapshot->ReadStr(kLinkName);
    if (!path.isEmpty()) SetTargetByPath(path);
}

TNodePtr<TTextorEditOperation> TCustomReferenceElement::CreateEditOperation() {
    return MakeNode<TReferenceElementTextorEditOperation>(this);
}

// ---- the drop-down list ----

TElement* TCustomReferenceElement::PlaceToCreate() {
    if (!m_namespace) return nullptr;
    for (TElement* e = ParentElement(); e; e = e->ParentElement())
        if (auto* owner = dynamic_cast<INamespaceOwner*>(e); owner && owner->GetNamespace() == m_namespace) return e;
    if (TElement* owner = m_namespace->ParentElement()) return owner;
    TElement* root = Scheme() ? Scheme()->Root() : nullptr;
    return dynamic_cast<TTextorElement*>(root);
}

namespace {
// The place that decides where an item is listed: its declaring element, or
// the connection that shows a cover.
TNode* ListingPlace(TNamespaceItem* item) {
    if (TNamespaceCoverItem* cover = item->AsCover()) return cover->Connection();
    return item->GetElement();
}

// Sorts the candidates as NamespaceItemPrecedes does, with the tree order of
// their places worked out once: one pre-order walk of each tree involved,
// instead of walking siblings for every comparison.
void SortByTreeOrder(TNamespace::TNameList& names) {
    QHash<const TNode*, int> order;
    int next = 0;
    for (const auto& entry : names) {
        TNode* place = ListingPlace(entry.second);
        if (!place || order.contains(place)) continue;
        TNode* top = place;
        while (top->Parent()) top = top->Parent();
        if (order.contains(top)) continue;
        for (TNode* n = top; n;) {
            order.insert(n, next++);
            if (n->FirstChild()) {
                n = n->FirstChild();
                continue;
            }
            while (n && n != top && !n->NextSibling()) n = n->Parent();
            n = n && n != top ? n->NextSibling() : nullptr;
        }
    }
    std::stable_sort(names.begin(), names.end(), [&order](const auto& x, const auto& y) {
        TNamespaceItem* a = x.second;
        TNamespaceItem* b = y.second;
        const bool lastA = a->GetItemFlags() & nifListedLast;
        const bool lastB = b->GetItemFlags() & nifListedLast;
        if (lastA != lastB) return lastB;
        TNamespaceCoverItem* ca = a->AsCover();
        TNamespaceCoverItem* cb = b->AsCover();
        if (ca && cb && ca->Connection() == cb->Connection()) return NamespaceItemPrecedes(a, b);
        const int oa = order.value(ListingPlace(a), -1);
        const int ob = order.value(ListingPlace(b), -1);
        if (oa < 0 || ob < 0) return NamespaceItemPrecedes(a, b);
        return oa < ob;
    });
}
}  // namespace

TDropDownItem* TCustomReferenceElement::FillDropDown(TDropDownItem* root) {
    if (!m_namespace) return TTextorElement::FillDropDown(root);
    if (m_createItem && PlaceToCreate()) root->AddItem(-1, LoadStr(strCreate), kCreateEntry);
    if (m_createHereItem) root->AddItem(-1, LoadStr(strCreateHere), kCreateHereEntry);

    TNamespace::TNameList names;
    m_namespace->GetNames(names, true, false,
                          [this](TNamespace*, TNamespaceItem* item, bool& accept) { accept = Accepts(item); });
    SortByTreeOrder(names);

    const bool shift = TInputState::Current().KeyboardModifiers() & ssShift;
    m_listedPaths.clear();
    TDropDownItem* preselected = nullptr;
    std::vector<TDropDownItem*> groups;  // the most recent group at each level
    for (const auto& [name, item] : names) {
        if ((item->GetItemFlags() & nifShiftOnly) && !shift) continue;
        const QStringList parts = name.split(kGroupSeparator);
        TDropDownItem* parent = root;
        int level = 0;
        for (; level + 1 < parts.size(); ++level) {
            if (level < int(groups.size()) && groups[size_t(level)]->Caption == parts[level]) {
                parent = groups[size_t(level)];
                continue;
            }
            groups.resize(size_t(level));
            TDropDownItem* group = parent->AddItem(-1, parts[level]);
            group->Selectable = false;
            groups.push_back(group);
            parent = group;
        }
        TDropDownItem* entry = parent->AddItem(item->GetImageIndex(), parts.last(),
                                               kFirstCandidateEntry + int(m_listedPaths.size()), item->GetDescription());
        entry->Enabled = item->IsEnabled();
        m_listedPaths.append(item->GetPath());
        if (item == GetTargetItem()) preselected = entry;
    }
    if (!preselected && IsFilled()) return TTextorElement::FillDropDown(root);
    return preselected;
}

bool TCustomReferenceElement::SelectDropDownItem(TDropDownItem* item) {
    if (!item || IsReadOnly()) return false;
    const int listed = item->Data - kFirstCandidateEntry;
    if (item->Selectable && listed >= 0 && listed < m_listedPaths.size()) {
        if (TNamespaceItem* target = m_namespace ? m_namespace->FindItemByPath(m_listedPaths[listed]) : nullptr) {
            ChooseItem(target);
            return true;
        }
    }
    if (item->Data == kCreateEntry) {
        ChooseCreate();
        return true;
    }
    if (item->Data == kCreateHereEntry && m_createHereItem) {
        ClearText();
        ApplyPaletteItem(m_createHereItem, QString(), false);
        return true;
    }
    return TTextorElement::SelectDropDownItem(item);
}

void TCustomReferenceElement::ChooseItem(TNamespaceItem* item) {
    TSchemeOperation::Execute(MakeNode<TReferenceOperation>(this, item));
}

void TCustomReferenceElement::ChooseCreate() {
    auto* elementItem = dynamic_cast<TElementPaletteItem*>(m_createItem);
    auto* place = dynamic_cast<TTextorElement*>(PlaceToCreate());
    if (!elementItem || !place) return;
    place->InsertNewElement(elementItem->ElementClass(), m_createItem, std::nullopt);
    if (!m_namespace) return;
    // The newest declaration of the place is the one just made.
    TNamespaceItem* newest = nullptr;
    m_namespace->ForEachItem(
        [&](TNamespaceItem* item, bool&) {
            TElement* e = item->GetElement();
            if (e && e->ElementClass() == elementItem->ElementClass() &&
                (!newest || e->Number() > newest->GetElement()->Number()))
                newest = item;
        },
        false);
    // A new element without a name (no automatic names) leaves the reference as it was.
    if (!newest || newest->GetName().isEmpty()) return;
    ChooseItem(newest);
}

// ---------------------------------------------------------------------------
// The two kinds

TReferenceElement::TReferenceElement() noexcept { InitVisualOptions(VisualOptions() | voStandAloneReference); }

TReferenceField::TReferenceField() noexcept { InitOptions(Options() | eoStoredInParentNode); }

void TReferenceField::Create() {
    TCustomReferenceElement::Create();
    SetTextorOptions(TextorOptions() | toFieldFrame);
}

// ---------------------------------------------------------------------------
// TReferenceSignElement

TReferenceSignElement::TReferenceSignElement() noexcept {
    InitOptions(Options() | eoNotStored);
    InitVisualOptions(VisualOptions() | kReferenceSignVisualOptions);
}

void TReferenceSignElement::FollowField() {
    if (!m_field) return;
    const TRect field = m_field->GetBoundsRect();
    const TRect own = GetBoundsRect();
    const int width = own.Right - own.Left;
    const int height = own.Bottom - own.Top;
    SetPosition(field.Left + kReferenceSignOverlap - width, field.Bottom - height + 1);
}

void TReferenceSignElement::GetHint(QString& text) {
    TVisualElement::GetHint(text);
    TNamespaceItem* item = m_field ? m_field->Item() : nullptr;
    if (!item) return;
    if (!text.isEmpty()) text += QStringLiteral("\r\n");
    text += LoadStrFmt(strReferenceCount, {QString::number(item->GetReferenceCount())});
}

// ---------------------------------------------------------------------------
// TReferenceOperation

TReferenceOperation::TReferenceOperation(TCustomReferenceElement* element, TNamespaceItem* target)
    : TElementOperation(element, true), m_newPath(PathOf(target)), m_newText(target ? target->GetName() : QString()) {}

void TReferenceOperation::DoOnElement(TElement* element) {
    TElementOperation::DoOnElement(element);
    auto* reference = static_cast<TCustomReferenceElement*>(element);
    if (!m_recorded) {
        m_recorded = true;
        m_oldPath = PathOf(reference->GetTargetItem());
        m_oldContent = MakeNode<TKnot>(kContentRootName);
        reference->SaveContent(m_oldContent.get(), fmSnapshot, std::nullopt, 0);
    }
    reference->SetOwnText(m_newText);
    reference->SetTargetByPath(m_newPath);
    reference->CheckAll();
    if (reference->IsEdited()) reference->FocusText(TTextFocusPlace::End);
}

void TReferenceOperation::UndoOnElement(TElement* element) {
    TElementOperation::UndoOnElement(element);
    auto* reference = static_cast<TCustomReferenceElement*>(element);
    reference->SetOwnText(QString());
    reference->InsertContent(m_oldContent.get(), fmSnapshot, 0, std::nullopt);
    reference->SetTargetByPath(m_oldPath);
    reference->CheckAll();
}

// ---------------------------------------------------------------------------
// TReferenceElementTextorEditOperation

TReferenceElementTextorEditOperation::TReferenceElementTextorEditOperation(TCustomReferenceElement* element)
    : TTextorEditOperation(element) {}

void TReferenceElementTextorEditOperation::DoEdit(TTextorElement* element) {
    if (!m_recorded) {
        m_recorded = true;
        m_oldPath = PathOf(static_cast<TCustomReferenceElement*>(element)->GetTargetItem());
    }
    TTextorEditOperation::DoEdit(element);
}

void TReferenceElementTextorEditOperation::UndoEdit(TTextorElement* element) {
    TTextorEditOperation::UndoEdit(element);
    auto* reference = static_cast<TCustomReferenceElement*>(element);
    if (!m_oldPath.isEmpty()) reference->SetTargetByPath(m_oldPath);
    reference->CheckAll();
}

// ---------------------------------------------------------------------------
// The unit

void InitNamingElementsUnit() {
    TNodePtr<TSchemePaletteItem> item =
        MakeNode<TSchemePaletteItem>(uint16_t(0), 0, strAutoname, strAutonameHint, kAutonamePaletteOrder);
    item->SetParent(PaletteActionsGroup());
    g_autonameItem = item.release();
}

void FinalNamingElementsUnit() { g_autonameItem = nullptr; }
