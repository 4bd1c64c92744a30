#include "elements/diNamingElements.h"

#include "core/cuLocalization.h"
#include "core/cuStringIds.h"
#include "platform/plInput.h"
#include "scheme/diCanvas.h"
#include "scheme/diFilers.h"
#include "scheme/diMessages.h"
#include "scheme/diPalette.h"
#include "scheme/diThemes.h"
#include "scheme/diUtils.h"
#include "text/diTextor.h"

#include <algorithm>
#include <deque>
#include <optional>
#include <utility>
#include <vector>

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

// The element operation the scheme's undo list is running for the first
// time, if any: what it records stays for every later redo, so a redo (or
// an undo) records nothing again.
TElementOperation* FirstRunOfElementOperation(TElement* element) {
    TScheme* scheme = element->Scheme();
    TUndoRedo* history = scheme ? scheme->UndoRedo() : nullptr;
    auto* op = history ? dynamic_cast<TElementOperation*>(history->GetCurrentOperation()) : nullptr;
    return op && op->State() == TOperation::osFirstExecution ? op : nullptr;
}

QString PathOf(TNamespaceItem* item) { return item ? item->GetPath() : QString(); }

void AddNameMessage(TElement* element, int stringId, const QString& argument = QString()) {
    const QString text = argument.isNull() ? LoadStr(stringId) : LoadStrFmt(stringId, {SanitizeMessageText(argument)});
    element->GetMessages()->AddElementLinkMessage(mkInvalidContent, text, QString::number(element->Number()));
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
    TElement* parent = element->ParentOrNewPlace();
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
    if (!(reference->Flags & rfNotCounted)) ++m_countedReferences;
    m_field->UpdateReferenceSign();
}

void TNameFieldNamespaceItem::RemoveReference(TReference* reference) {
    TNamespaceOwnItem::RemoveReference(reference);
    if (!HasReferences())
        m_countedReferences = 0;
    else if (!(reference->Flags & rfNotCounted) && m_countedReferences > 0)
        --m_countedReferences;
    m_field->UpdateReferenceSign();
}

// ---------------------------------------------------------------------------
// TElementImageRoom

namespace {
bool ShowsPicture(const TTextorElement& element, int index) { return index >= 0 && element.Sheet(); }
}  // namespace

TRect TElementImageRoom::Widen(const TTextorElement& element, TRect padding, int index) const {
    if (!ShowsPicture(element, index)) return padding;
    padding.Left += SchemeCharImages().Width() + element.Sheet()->Canvas()->Theme().GetImageData(0).Size;
    return padding;
}

void TElementImageRoom::Paint(TSheetCanvas& canvas, const TTextorElement& element, int left, int index) const {
    if (!ShowsPicture(element, index) || element.Textor()->UpdateCount() > 0) return;
    const int row = element.FirstRowHeight() > 0 ? element.FirstRowHeight() : element.Height();
    canvas.DrawCharImage(QPoint(left, std::max(0, (row - SchemeCharImages().Height()) / 2)), index);
}

void TElementImageRoom::Update(TTextorElement& element, int index) {
    const bool shown = index >= 0;
    if (shown == m_shown) {
        element.Invalidate();
        return;
    }
    m_shown = shown;
    element.Textor()->InvalidateAllLayouts();
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
    if ((old ^ value) & noImageWhenFilled) m_imageRoom.Update(*this, ShownImage());
    UpdateNamespaceItem();
}

void TNameField::SetImageIndex(int index) {
    if (m_imageIndex == index) return;
    m_imageIndex = index;
    m_imageRoom.Update(*this, ShownImage());
    if (m_item) m_item->NotifyImageChanged();
}

int TNameField::ShownImage() {
    if ((m_nameOptions & noImageWhenFilled) && !IsFilled()) return -1;
    return GetImageIndex();
}

void TNameField::FilledChanged() {
    TTextorElement::FilledChanged();
    if (m_nameOptions & noImageWhenFilled) m_imageRoom.Update(*this, ShownImage());
}

int TNameField::GetThemeKind() const {
    return HasTextorOption(toFieldFrame) ? int(tekName) : TTextorElement::GetThemeKind();
}

TRect TNameField::GetPadding() { return m_imageRoom.Widen(*this, TTextorElement::GetPadding(), ShownImage()); }

void TNameField::Paint(TSheetCanvas& canvas) {
    TTextorElement::Paint(canvas);
    m_imageRoom.Paint(canvas, *this, TTextorElement::GetPadding().Left, ShownImage());
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

// The references showing the name take the new one at once; held, each
// lays out once and the boxes holding several of them once after them all.
void TNameField::TextChanged() {
    TTextorElement::TextChanged();
    const TSheetLayoutHold held(Sheet());
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
    FreeReferenceSign();
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

bool TNameField::WantsReferenceSign() {
    return !m_destroying && !IsBeingDestroyed() && Sheet() && IsVisible() && m_item &&
           m_item->HasCountedReferences();
}

void TNameField::FreeReferenceSign() {
    TReferenceSignElement* sign = std::exchange(m_sign, nullptr);
    if (!sign) return;
    sign->m_field = nullptr;
    sign->Free();
}

void TNameField::UpdateReferenceSign() {
    if (!WantsReferenceSign()) {
        FreeReferenceSign();
        return;
    }
    if (!m_sign) {
        TVisualElement* root = Sheet()->Root();
        if (!root || root->IsBeingDestroyed()) return;
        auto* sign = TElement::CreateSubElement<TReferenceSignElement>(root);
        sign->m_field = this;
        m_sign = sign;
        sign->SetVisualParent(root);
        sign->UpdateLayout(true, false, false, false);
    }
    m_sign->FollowField();
}

void TNameField::UpdateLayout(bool force, bool all, bool widthChanged, bool heightChanged) {
    TTextorElement::UpdateLayout(force, all, widthChanged, heightChanged);
    UpdateReferenceSign();
}

void TNameField::PositionChanged() {
    TTextorElement::PositionChanged();
    if (m_sign) m_sign->FollowField();
}

void TNameField::BoundsChanged(const TRect& oldRect, int oldDescent) {
    TTextorElement::BoundsChanged(oldRect, oldDescent);
    if (m_sign) m_sign->FollowField();
}

void TNameField::VisibilityChanged() {
    TTextorElement::VisibilityChanged();
    UpdateReferenceSign();
}

void TNameField::DetachFromSheet() {
    FreeReferenceSign();
    TTextorElement::DetachFromSheet();
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
// MixHash is bijective: references under one hash point at one item.
uint64_t TargetHash(const TNamespaceItem* item) noexcept {
    return MixHash(uint64_t(reinterpret_cast<uintptr_t>(item)));
}

uint64_t NameHash(const QString& name) noexcept { return MixHash(uint64_t(qHash(name))); }
}  // namespace

void TReferenceRouter::Link(TCustomReferenceElement* reference) {
    reference->m_routed = true;
    reference->m_routedPrev = nullptr;
    reference->m_routedNext = m_first;
    if (m_first) m_first->m_routedPrev = reference;
    m_first = reference;
}

void TReferenceRouter::Unlink(TCustomReferenceElement* reference) {
    if (reference->m_routedPrev)
        reference->m_routedPrev->m_routedNext = reference->m_routedNext;
    else
        m_first = reference->m_routedNext;
    if (reference->m_routedNext) reference->m_routedNext->m_routedPrev = reference->m_routedPrev;
    reference->m_routedPrev = reference->m_routedNext = nullptr;
    reference->m_routed = false;
}

void TReferenceRouter::Add(TCustomReferenceElement* reference) { Rekey(reference); }

void TReferenceRouter::Remove(TCustomReferenceElement* reference) {
    if (!reference->m_routed) return;
    if (TNamespaceItem* target = std::exchange(reference->m_routedTarget, nullptr))
        m_byTarget.Erase(TargetHash(target), reference);
    else
        m_waiting.Erase(NameHash(reference->m_routedKey), reference);
    reference->m_routedKey.clear();
    Unlink(reference);
}

void TReferenceRouter::Rekey(TCustomReferenceElement* reference) {
    // Filed as it is already (a renamed target's references keep it): nothing moves.
    if (TNamespaceItem* target = reference->GetTargetItem()) {
        if (reference->m_routed && reference->m_routedTarget == target) return;
        Remove(reference);
        m_byTarget.Insert(TargetHash(target), reference);
        reference->m_routedTarget = target;
        Link(reference);
        return;
    }
    QString text = reference->GetText();
    if (reference->m_routed && !reference->m_routedTarget && reference->m_routedKey == text) return;
    Remove(reference);
    m_namespace->WantName(text);
    m_waiting.Insert(NameHash(text), reference);
    reference->m_routedKey = std::move(text);
    Link(reference);
}

int TReferenceRouter::WaitingCount(const QString& name) const {
    int count = 0;
    m_waiting.ForEach(NameHash(name), [&](TCustomReferenceElement* r) { count += r->m_routedKey == name; });
    return count;
}

bool TReferenceRouter::Files(TCustomReferenceElement* reference, TNamespaceItem* item, const QString& name) const {
    if (item) return m_byTarget.Contains(TargetHash(item), reference);
    return reference->m_routedKey == name && m_waiting.Contains(NameHash(name), reference);
}

void TReferenceRouter::NamespaceFreed() {
    std::vector<TCustomReferenceElement*> all;
    while (TCustomReferenceElement* r = m_first) {
        all.push_back(r);
        Remove(r);
    }
    m_namespace->RemoveListener(MakeHandler<&TReferenceRouter::OnNotify>(this));
    m_namespace = nullptr;
    for (TCustomReferenceElement* r : all) r->NamespaceNotify(nnNamespaceFreed, nullptr, 0);
}

void TReferenceRouter::OnNotify(TItfObject* sender, int code, intptr_t p1, intptr_t p2) {
    if (code == nnNamespaceFreed) {
        NamespaceFreed();
        return;
    }
    auto* item = reinterpret_cast<TNamespaceItem*>(p1);
    if (!item || code < nnItemAdded || code > nnItemRemoved) return;
    // The references concerned (pointing at the item, waiting for its name),
    // taken before any of them reacts; each is asked only while an earlier
    // reaction has left it filed where it was found.
    TConcerned pointing;
    m_byTarget.ForEach(TargetHash(item), [&pointing](TCustomReferenceElement* r) { pointing.append(r); });
    TConcerned waiting;
    QString name;
    if ((code == nnItemAdded || code == nnItemChanged || code == nnRenamed) && m_waiting.Count()) {
        name = item->GetName();
        m_waiting.ForEach(NameHash(name), [&](TCustomReferenceElement* r) {
            if (r->m_routedKey == name) waiting.append(r);
        });
    }
    for (TCustomReferenceElement* r : pointing)
        if (Files(r, item, QString())) r->NamespaceNotify(code, item, p2);
    for (TCustomReferenceElement* r : waiting)
        if (Files(r, nullptr, name)) r->NamespaceNotify(code, item, p2);
}

// ---------------------------------------------------------------------------
// TCustomReferenceElement

// Also when the target goes without an event (its item lets its references
// go): the router files the reference again.
void TCustomReferenceElementReference::TargetChanged() {
    if (m_element->m_router) m_element->m_router->Rekey(m_element);
    m_element->CheckAll();
}
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
    if ((old ^ value) & roTargetImage) m_imageRoom.Update(*this, GetImageIndex());
    if ((old ^ value) & roFreeText) CheckAll();
}

TRect TCustomReferenceElement::GetPadding() {
    return m_imageRoom.Widen(*this, TTextorElement::GetPadding(), GetImageIndex());
}

void TCustomReferenceElement::Paint(TSheetCanvas& canvas) {
    TTextorElement::Paint(canvas);
    m_imageRoom.Paint(canvas, *this, TTextorElement::GetPadding().Left, GetImageIndex());
}

TNamespace* TCustomReferenceElement::GetNamespace() { return FindOwnerNamespace(GetOwnerElement()); }

int TCustomReferenceElement::GetImageIndex() {
    TNamespaceItem* target = GetTargetItem();
    return (m_referenceOptions & roTargetImage) && target ? target->GetImageIndex() : -1;
}

bool TCustomReferenceElement::Accepts(TNamespaceItem* item) {
    if (!item || !CanReferTo(item)) return false;
    bool accept = true;
    SendNodeMessageUp(nmAcceptReferenceItem, intptr_t(item), intptr_t(&accept));
    return accept;
}

void TCustomReferenceElement::SetTarget(TNamespaceItem* item) {
    if (m_link->Target() == item) return;
    m_link->SetTarget(item);
    if (m_router) m_router->Rekey(this);
    if (m_referenceOptions & roTargetImage) m_imageRoom.Update(*this, GetImageIndex());
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
    if (TElementOperation* op = FirstRunOfElementOperation(this)) {
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
            if (isTarget && (m_referenceOptions & roTargetImage)) m_imageRoom.Update(*this, GetImageIndex());
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

// The tree order of the places of the candidates, worked out once per fill
// (instead of walking the siblings for every comparison): every place and
// its ancestors are marked, then a pre-order walk through the marked nodes
// numbers them. The marked children of a node are put in sibling order by
// walks from each one to the next marked sibling; the walks advance side by
// side, so that their loads from memory overlap instead of following one
// another down a long list of siblings.
class TListingOrder {
public:
    // Marks place and its ancestors; the number of place after Number.
    const int* Mark(TNode* place) {
        const int* own = nullptr;
        TMark* below = nullptr;
        for (TNode* n = place; n; n = n->Parent()) {
            TMark* mark = Find(n);
            const bool known = mark != nullptr;
            if (!known) {
                mark = &m_marks.emplace_back(TMark{n});
                m_index.Insert(HashOf(n), mark);
                if (!n->Parent()) m_tops.push_back(mark);
            }
            if (below) mark->Marked.push_back(below);
            if (!own) own = &mark->Order;
            if (known) break;
            below = mark;
        }
        return own;
    }
    void Number() {
        int next = 0;
        std::vector<TMark*> stack;
        for (TMark* top : m_tops) {
            stack.push_back(top);
            while (!stack.empty()) {
                TMark* mark = stack.back();
                stack.pop_back();
                mark->Order = next++;
                InSiblingOrder(mark->Marked);
                stack.insert(stack.end(), mark->Marked.rbegin(), mark->Marked.rend());
            }
        }
    }

private:
    struct TMark {
        TNode* Node;
        int Order = -1;
        std::vector<TMark*> Marked{};  // the marked children
        TMark* Next = nullptr;         // the next marked sibling
        bool Follows = false;          // a marked sibling comes before it
    };
    // How many walks ahead the nodes and index slots are loaded.
    static constexpr size_t kLookAhead = 16;

    // MixHash is bijective: equal hashes are equal nodes.
    static uint64_t HashOf(const TNode* node) noexcept { return MixHash(uint64_t(reinterpret_cast<uintptr_t>(node))); }
    TMark* Find(const TNode* node) const { return m_index.Find(HashOf(node), [](TMark*) { return true; }); }
    // A node's links lie in its first two cache lines.
    static void Prefetch(const TNode* node) noexcept {
        __builtin_prefetch(node);
        __builtin_prefetch(reinterpret_cast<const char*>(node) + 64);
    }

    // Sorts siblings (marks of children of one node) into their order.
    void InSiblingOrder(std::vector<TMark*>& siblings) {
        if (siblings.size() < 2) return;
        struct TWalk {
            TMark* From;
            const TNode* At;
        };
        std::vector<TWalk> walks;
        walks.reserve(siblings.size());
        for (TMark* mark : siblings) walks.push_back(TWalk{mark, mark->Node->NextSibling()});
        while (!walks.empty()) {
            size_t kept = 0;
            for (size_t i = 0; i < walks.size(); ++i) {
                if (i + kLookAhead < walks.size())
                    if (const TNode* ahead = walks[i + kLookAhead].At) {
                        Prefetch(ahead);
                        m_index.Prefetch(HashOf(ahead));
                    }
                TWalk walk = walks[i];
                if (!walk.At) continue;  // the last one
                if (TMark* found = Find(walk.At)) {
                    walk.From->Next = found;
                    found->Follows = true;
                    continue;
                }
                walk.At = walk.At->NextSibling();
                walks[kept++] = walk;
            }
            walks.resize(kept);
        }
        TMark* first = *std::find_if(siblings.begin(), siblings.end(), [](TMark* m) { return !m->Follows; });
        siblings.clear();
        for (TMark* m = first; m; m = m->Next) siblings.push_back(m);
    }

    std::deque<TMark> m_marks;  // stable addresses for the index
    THashIndex<TMark> m_index;
    std::vector<TMark*> m_tops;
};

// What the list shows of a candidate, asked of the item once, while it is
// at hand.
struct TCandidate {
    TNamespaceItem* Item;
    QString Name;
    QString Description;
    QString Path;
    int Image;
    bool Enabled;
};

// The candidates of a list, in the order of NamespaceItemPrecedes once sorted.
class TCandidateList {
public:
    // expected: about how many there will be.
    explicit TCandidateList(size_t expected) {
        m_candidates.reserve(expected);
        m_keys.reserve(expected);
        m_orders.reserve(expected);
    }
    size_t Size() const noexcept { return m_keys.size(); }
    // The i-th in the listed order (after Sort).
    const TCandidate& operator[](size_t i) const { return m_candidates[m_keys[i].Index]; }

    void Add(TNamespaceItem* item, int flags) {
        TNode* place = ListingPlace(item);
        m_orders.push_back(place ? m_order.Mark(place) : nullptr);
        m_keys.push_back(TKey{-1, uint32_t(m_candidates.size()), bool(flags & nifListedLast), item->AsCover() != nullptr});
        m_candidates.push_back(TCandidate{item, item->GetName(), item->GetDescription(), item->GetPath(),
                                          item->GetImageIndex(), item->IsEnabled()});
    }
    void Sort() {
        m_order.Number();
        for (TKey& key : m_keys) key.Order = m_orders[key.Index] ? *m_orders[key.Index] : -1;
        std::stable_sort(m_keys.begin(), m_keys.end(), [this](const TKey& a, const TKey& b) {
            if (a.Last != b.Last) return b.Last;
            // Covers shown by one connection, or places outside the trees.
            if (a.Order < 0 || b.Order < 0 || (a.Order == b.Order && a.Cover && b.Cover))
                return NamespaceItemPrecedes(m_candidates[a.Index].Item, m_candidates[b.Index].Item);
            return a.Order < b.Order;
        });
    }

private:
    // What orders a candidate (kept apart, so that the sort moves little).
    struct TKey {
        int Order;  // of its listing place; -1 unknown
        uint32_t Index;
        bool Last;
        bool Cover;
    };
    std::vector<TCandidate> m_candidates;
    std::vector<TKey> m_keys;
    std::vector<const int*> m_orders;  // of the candidates' places
    TListingOrder m_order;
};

// The entry of candidate under root, in the groups its name's parts before
// "." give; groups holds the most recent group at each level.
TDropDownItem* AddGroupedEntry(TDropDownItem* root, std::vector<TDropDownItem*>& groups, const TCandidate& candidate,
                               int data) {
    const QString& name = candidate.Name;
    TDropDownItem* parent = root;
    qsizetype from = 0;
    size_t level = 0;
    for (qsizetype dot = name.indexOf(kGroupSeparator); dot >= 0;
         from = dot + 1, dot = name.indexOf(kGroupSeparator, from), ++level) {
        const QStringView part = QStringView(name).mid(from, dot - from);
        if (level < groups.size() && groups[level]->Caption == part) {
            parent = groups[level];
            continue;
        }
        groups.resize(level);
        TDropDownItem* group = parent->AddItem(-1, part.toString());
        group->Selectable = false;
        groups.push_back(group);
        parent = group;
    }
    TDropDownItem* entry = parent->AddItem(candidate.Image, from ? name.mid(from) : name, data, candidate.Description);
    entry->Enabled = candidate.Enabled;
    return entry;
}

}  // namespace

TDropDownItem* TCustomReferenceElement::FillDropDown(TDropDownItem* root) {
    if (!m_namespace) return TTextorElement::FillDropDown(root);
    if (m_createItem && PlaceToCreate()) root->AddItem(-1, LoadStr(strCreate), kCreateEntry);
    if (m_createHereItem) root->AddItem(-1, LoadStr(strCreateHere), kCreateHereEntry);

    // The accepted items (as TNamespace::GetNames gathers them), each asked
    // everything the list shows in one pass; items listed only while Shift is
    // held are passed over without it. The last fill's size is the likely size.
    const bool shift = TInputState::Current().KeyboardModifiers() & ssShift;
    TCandidateList candidates(size_t(m_listedPaths.size()));
    m_namespace->ForEachItem(
        [&](TNamespaceItem* item, bool&) {
            if (!Accepts(item)) return;
            const int flags = item->GetItemFlags();
            if (!(flags & nifShiftOnly) || shift) candidates.Add(item, flags);
        },
        true);
    candidates.Sort();

    m_listedPaths.clear();
    m_listedPaths.reserve(qsizetype(candidates.Size()));
    TDropDownItem* preselected = nullptr;
    std::vector<TDropDownItem*> groups;
    for (size_t i = 0; i < candidates.Size(); ++i) {
        const TCandidate& candidate = candidates[i];
        TDropDownItem* entry = AddGroupedEntry(root, groups, candidate, kFirstCandidateEntry + int(m_listedPaths.size()));
        m_listedPaths.append(candidate.Path);
        if (candidate.Item == GetTargetItem()) preselected = entry;
    }
    if (!preselected && IsFilled()) return TTextorElement::FillDropDown(root);
    return preselected;
}

bool TCustomReferenceElement::SelectDropDownItem(TDropDownItem* item) {
    if (!item || IsReadOnly()) return false;
    TOperationGroupScope group(Scheme());
    const bool handled = ChooseEntry(item);
    group.End();
    return handled;
}

bool TCustomReferenceElement::ChooseEntry(TDropDownItem* item) {
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
        ChooseCreateHere();
        return true;
    }
    return TTextorElement::SelectDropDownItem(item);
}

void TCustomReferenceElement::ChooseCreateHere() {
    // Only the selection goes (nothing when the element is not being edited).
    EnterText(TEnterMode::Selection, TTextorRange{}, false, std::nullopt);
    ApplyPaletteItem(m_createHereItem, QString(), false);
}

void TCustomReferenceElement::ChooseItem(TNamespaceItem* item) {
    TSchemeOperation::Execute(MakeNode<TReferenceOperation>(this, item));
}

namespace {

// Where "<create>" puts a new element: the text and the range (none: the
// text's end).
struct TCreatePlace {
    TTextorElement* Text = nullptr;
    std::optional<TTextorRange> Range;
};

void SearchCreatePlace(TTextorElement* text, const TElementClass* cls, TCreatePlace& place);

// The texts of element that delegate to their owner: the element itself, or
// its sub-element texts.
void SearchDelegatingTexts(TElement* element, const TElementClass* cls, TCreatePlace& place) {
    if (auto* text = dynamic_cast<TTextorElement*>(element)) {
        if (text->HasTextorOption(toDelegating)) SearchCreatePlace(text, cls, place);
        return;
    }
    for (TNode* n = element->FirstChild(); n; n = n->NextSibling())
        if (auto* text = dynamic_cast<TTextorElement*>(n);
            text && text->IsSubElement() && text->HasTextorOption(toDelegating))
            SearchCreatePlace(text, cls, place);
}

// Right after the last element of cls in text order, looking into the
// embedded elements' delegating texts; the first text searched is the
// default place.
void SearchCreatePlace(TTextorElement* text, const TElementClass* cls, TCreatePlace& place) {
    if (!place.Text) place.Text = text;
    for (TPortion* p = text->Textor()->GetFirstPortion(); p; p = p->GetNextPortion()) {
        if (p->Kind() != TPortionKind::Element) continue;
        auto* portion = static_cast<TElementPortion*>(p);
        TVisualElement* element = portion->Element();
        if (!element) continue;
        if (element->ElementClass() == cls) {
            const TTextorPosition after{portion->Paragraph(), portion->Next(), 0};
            place = TCreatePlace{text, TTextorRange{after, after}};
        } else {
            SearchDelegatingTexts(element, cls, place);
        }
    }
}

// The place in owner (a text, else its sub-element texts).
TCreatePlace FindCreatePlace(TElement* owner, const TElementClass* cls) {
    TCreatePlace place;
    if (auto* text = dynamic_cast<TTextorElement*>(owner)) {
        SearchCreatePlace(text, cls, place);
        return place;
    }
    for (TNode* n = owner->FirstChild(); n; n = n->NextSibling())
        if (auto* text = dynamic_cast<TTextorElement*>(n); text && text->IsSubElement())
            SearchCreatePlace(text, cls, place);
    return place;
}

}  // namespace

void TCustomReferenceElement::ChooseCreate() {
    auto* elementItem = dynamic_cast<TElementPaletteItem*>(m_createItem);
    TElement* owner = PlaceToCreate();
    if (!elementItem || !owner) return;
    const TCreatePlace place = FindCreatePlace(owner, elementItem->ElementClass());
    if (!place.Text) return;
    place.Text->InsertNewElement(elementItem->ElementClass(), m_createItem, place.Range);
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

TReferenceElement::TReferenceElement() noexcept { InitVisualOptions(VisualOptions() | voCanDisable); }

int TReferenceElement::GetThemeKind() const { return tekSubstitution; }

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
    TVisualElement* root = m_field && m_field->Sheet() ? m_field->Sheet()->Root() : nullptr;
    if (!root) return;
    const QPoint inField(kReferenceSignOverlap - Width(), m_field->Height() - Height() + 1);
    const QPoint inRoot = root->SheetToClient(m_field->ClientToSheet(inField));
    SetPosition(inRoot.x(), inRoot.y());
}

void TReferenceSignElement::UpdateLayout(bool force, bool all, bool widthChanged, bool heightChanged) {
    TVisualElement::UpdateLayout(force, all, widthChanged, heightChanged);
    if (!force || !Sheet()) return;
    const QSize size = Sheet()->Canvas()->GetThemeSize(tekReferenced);
    SetSize(size.width(), size.height());
    FollowField();
}

void TReferenceSignElement::Paint(TSheetCanvas& canvas) { canvas.DrawThemeImage(tekReferenced, QPoint(0, 0)); }

void TReferenceSignElement::GetStoredName(TSchemeFiler* filer, QString& name) { name = kReferenceSignName; }

void TReferenceSignElement::BeforeDestruction() {
    if (m_field && m_field->m_sign == this) m_field->m_sign = nullptr;
    m_field = nullptr;
    TVisualElement::BeforeDestruction();
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
    const int pictures = SchemeLargeImages().Count();
    const int first = SchemeLargeImages().AddResourceImage(QStringLiteral("diNamingElementsLargeImages"));
    const int image = SchemeLargeImages().Count() > pictures ? first : NoImageIndex;
    TNodePtr<TSchemePaletteItem> item = MakeNode<TSchemePaletteItem>(uint16_t(pifLargeImage), image, strAutoname,
                                                                     strAutonameHint, kAutonamePaletteOrder);
    item->SetParent(PaletteActionsGroup());
    g_autonameItem = item.release();
}

void FinalNamingElementsUnit() { g_autonameItem = nullptr; }
