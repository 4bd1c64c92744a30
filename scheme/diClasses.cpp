#include "scheme/diClasses.h"

#include "core/cuLocalization.h"
#include "core/cuRegions.h"
#include "core/cuStringIds.h"
#include "core/cuUtils.h"

#include <algorithm>

// ---------------------------------------------------------------------------
// Element numbers

namespace {
std::atomic<int32_t> g_lastElementNumber{0};
}

int32_t TakeElementNumber() noexcept { return g_lastElementNumber.fetch_add(1, std::memory_order_relaxed) + 1; }

void RaiseElementNumber(int32_t number) noexcept {
    if (number > kHighestRaisingElementNumber) return;
    int32_t current = g_lastElementNumber.load(std::memory_order_relaxed);
    while (number > current &&
           !g_lastElementNumber.compare_exchange_weak(current, number, std::memory_order_relaxed)) {
    }
}

int32_t LastElementNumber() noexcept { return g_lastElementNumber.load(std::memory_order_relaxed); }

// ---------------------------------------------------------------------------
// Nesting

void CheckElementNesting(int level) {
    if (level > kMaxElementNesting) throw Exception::FromId(strNestingTooDeep, {QString::number(kMaxElementNesting)});
}

// ---------------------------------------------------------------------------
// TElement: construction and identity

T_ELEMENT_CLASS_IMPL(TElement, TNode)

void* TElement::operator new(size_t size) {
    if (void* block = TRegions::Allocate(size)) return block;
    return ::operator new(size);
}

void TElement::operator delete(void* block, size_t size) noexcept {
    if (TRegions::Owns(block))
        TRegions::Release(block);
    else
        ::operator delete(block, size);
}

TElement* TElement::CreateIn(const TElementClass* cls, TScheme* scheme, TElement* parent, TElement* before) {
    return CreateWith(cls, scheme, parent, before, 0);
}

TElement* TElement::CreateSubElement(const TElementClass* cls, TElement* owner, TElement* before) {
    return CreateWith(cls, owner->Scheme(), owner, before, eoSubElement);
}

TElement* TElement::CreateWith(const TElementClass* cls, TScheme* scheme, TElement* parent, TElement* before,
                               uint8_t addOptions) {
    TItfObject* object = cls->NewInstance();
    TElement* element = dynamic_cast<TElement*>(object);
    if (!element) {
        if (auto* node = dynamic_cast<TNode*>(object))
            node->Free();
        else
            delete object;
        throw Exception::FromId(strAbstractClass, {cls->Name()});
    }
    try {
        if (addOptions) element->SetOptions(element->Options() | addOptions);
        element->m_scheme = scheme;
        if (scheme) element->m_number = scheme->Register(element);
        element->Create();
        element->SetParentBefore(parent, before);
    } catch (...) {
        element->Free();
        throw;
    }
    return element;
}

TElement::~TElement() {
    if (m_scheme) m_scheme->Unregister(this);
}

void TElement::BeforeDestruction() {
    if (!IsBeingDestroyed()) BroadcastNodeMessage(nmBeingDestroyed, 0, 0, true, true);
}

void TElement::SetOptions(uint8_t value) {
    if (value == m_options) return;
    const uint8_t old = m_options;
    m_options = value;
    OptionsChanged(old);
}

void TElement::SetNumber(int32_t number) {
    if (number == m_number) return;
    const int32_t old = m_number;
    if (m_scheme) m_scheme->IndexRemove(this, old);
    m_number = number;
    if (m_scheme) m_scheme->IndexAdd(this);
    NumberChanged(old);
}

TElement* TElement::ParentElement() const noexcept { return ClassAs<TElement>(Parent()); }

TElement* TElement::ParentOrNewPlace() const noexcept {
    if (TElement* parent = ParentElement()) return parent;
    return m_scheme && this != m_scheme->Root() ? m_scheme->NewElementPlace() : nullptr;
}

int TElement::NestingLevel() const noexcept {
    int level = 0;
    for (const TElement* e = this; const TElement* parent = e->ParentElement(); e = parent)
        if (!e->IsSubElement()) ++level;
    return level;
}

TElement* TElement::GetOwnerElement() noexcept {
    TElement* e = this;
    while (e->IsSubElement()) {
        TElement* p = e->ParentElement();
        if (!p) break;
        e = p;
    }
    return e;
}

TElementMessages* TElement::GetMessages() {
    if (!m_messages) m_messages = std::make_unique<TElementMessages>();
    return m_messages.get();
}

bool TElement::HasNoErrors() const noexcept {
    if (!m_messages) return true;
    return !m_messages->HasKindIn((1u << mkWarning) | (1u << mkError) | (1u << mkValueRequired) |
                                  (1u << mkInvalidContent));
}

// ---------------------------------------------------------------------------
// Filled, default and check

void TElement::UpdateFilled() {
    if (IsBeingDestroyed()) return;
    const bool filled = GetIsFilled();
    if (filled == IsFilled()) return;
    SetStateBits(esFilled, filled);
    FilledChanged();
}

void TElement::UpdateDefault() {
    if (IsBeingDestroyed()) return;
    const bool isDefault = GetIsDefault();
    if (isDefault == IsDefault()) return;
    SetStateBits(esNotDefault, !isDefault);
    DefaultStateChanged();
}

void TElement::CheckAll() {
    UpdateFilled();
    UpdateDefault();
    Check();
}

void TElement::Check() {
    if (IsBeingDestroyed()) return;
    if (m_scheme && m_scheme->UpdateCount() > 0) {
        if (!(m_state & esQueued)) m_scheme->Enqueue(this);
        return;
    }
    const bool hadNoErrors = HasNoErrors();
    if (m_messages) m_messages->Clear();
    if (IsActive()) {
        if (!IsFilled() && IsRequired())
            GetMessages()->AddElementLinkMessage(mkValueRequired, LoadStr(strTheValueMustBeSet),
                                                 QString::number(m_number));
        else if (IsFilled())
            CheckContent();
    }
    if (m_messages && m_messages->GetCount() == 0) m_messages.reset();
    if (HasNoErrors() != hadNoErrors) MessagesChanged();
}

void TElement::OptionsChanged(uint8_t oldOptions) {
    if (((m_options ^ oldOptions) & (eoValidated | eoRequired)) && (m_options & eoValidated)) CheckAll();
}

void TElement::Changed() {
    CheckAll();
    if (!IsBeingDestroyed()) SendNodeMessage(nmChanged);
}

void TElement::FilledChanged() { SendNodeMessage(nmFilledChanged); }
void TElement::DefaultStateChanged() { SendNodeMessage(nmDefaultStateChanged); }

void TElement::NumberChanged(int32_t oldNumber) {
    if (!m_messages) return;
    const QString oldText = QString::number(oldNumber);
    const QString newText = QString::number(m_number);
    for (int i = 0; i < m_messages->GetCount(); ++i) {
        TElementMessage* m = m_messages->GetItem(i);
        for (int s = 0; s < m->SegmentCount(); ++s)
            if (m->Segment(s).Kind == skElements && m->Segment(s).Value == oldText) m->SetSegmentValue(s, newText);
    }
}

// ---------------------------------------------------------------------------
// Tree, palette and naming operations

void TElement::InitNewTree(TPaletteItem* item) {
    BroadcastNodeMessage(nmInitNew, reinterpret_cast<intptr_t>(item), 0, true, true);
}

void TElement::GetAcceptedClasses(TElementClassList& list) {
    FillAcceptedClasses(list);
    for (qsizetype i = list.size() - 1; i >= 0; --i)
        if (!list[i]->CanBePlacedIn(this)) list.removeAt(i);
}

void TElement::FillAcceptedClasses(TElementClassList& list) {
    if (IsSubElement())
        if (TElement* p = ParentElement()) p->FillChildAcceptedClasses(this, list);
}

void TElement::FillChildAcceptedClasses(TElement* child, TElementClassList& list) {
    if (IsSubElement())
        if (TElement* p = ParentElement()) p->FillChildAcceptedClasses(child, list);
}

void TElement::GetChildHint(TElement* child, QString& text) {
    if (IsSubElement())
        if (TElement* p = ParentElement()) p->GetChildHint(child, text);
}

void TElement::GetChildPaletteItems(TElement* child, QList<TPaletteItem*>& list) {
    if (IsSubElement())
        if (TElement* p = ParentElement()) p->GetChildPaletteItems(child, list);
}

void TElement::GetChildName(TElement* child, TSchemeFiler* filer, QString& name) {
    if (IsSubElement())
        if (TElement* p = ParentElement()) {
            p->GetChildName(child, filer, name);
            return;
        }
    name.clear();
}

void TElement::AdjustChildPaletteItemInfo(TElement* child, TPaletteItem* item, TPaletteItemInfo& info) {
    if (IsSubElement())
        if (TElement* p = ParentElement()) p->AdjustChildPaletteItemInfo(this, item, info);
}

void TElement::WriteText(QString& builder) {
    for (TNode* c = FirstChild(); c; c = c->NextSibling())
        if (auto* e = dynamic_cast<TElement*>(c); e && e->IsSubElement()) e->WriteText(builder);
}

// ---------------------------------------------------------------------------
// Node messages

void TElement::ParentChanged() {
    TNode::ParentChanged();
    // A subtree on its way out gets no placement news.
    if (!IsBeingDestroyed()) BroadcastNodeMessage(nmTreePlacementChanged, 0, 0, true, true);
}

bool TElement::HandleNodeMessage(int msg, intptr_t p1, intptr_t p2) {
    // A parent that takes node message 3 for itself must not leave a dying
    // child unmarked: it would go on being checked while it is freed.
    if (msg == nmBeingDestroyed) m_state |= esBeingDestroyed;
    if (TElement* p = ParentElement())
        if (p->HandleChildMessage(this, msg, p1, p2)) return true;
    switch (msg) {
    case nmTreePlacementChanged:
        TreePlacementChanged();
        return true;
    case nmBeingDestroyed:
        m_state |= esBeingDestroyed;
        return true;
    case nmInitNew:
        InitNew(reinterpret_cast<TPaletteItem*>(p1));
        return true;
    default:
        return false;
    }
}

// ---------------------------------------------------------------------------
// TScheme

T_CLASS_IMPL_ABSTRACT(TScheme, TItfObject)

TScheme::TScheme(const TElementClass* rootClass, const QString& name) : m_rootClass(rootClass), m_name(name) {
    if (rootClass) m_root.reset(TElement::CreateIn(rootClass, this, nullptr));
}

TScheme::~TScheme() {
    // The tree goes first, while the index and the queue it unregisters from still exist.
    m_root.reset();
    // Elements made in this scheme but never linked under the root outlive it
    // only as dangling registrations; cut them loose.
    for (TElement* e = m_firstRegistered; e;) {
        TElement* next = e->m_registeredNext;
        e->m_scheme = nullptr;
        e->m_registeredPrev = e->m_registeredNext = e->m_sameNumberNext = nullptr;
        e->m_queueSlot = -1;
        e = next;
    }
}

void TScheme::SetFileName(const QString& fileName) {
    if (fileName == m_fileName) return;
    m_fileName = fileName;
    Broadcast(scFileNameChanged);
}

void TScheme::SetReadOnly(bool value) {
    if (value == m_readOnly) return;
    m_readOnly = value;
    Broadcast(scReadOnlyChanged);
}

TScheme* TScheme::GetConnectedScheme(const QString& fileName) {
    TScheme* scheme = nullptr;
    if (OnGetConnectedScheme) OnGetConnectedScheme(this, fileName, scheme);
    return scheme;
}

void TScheme::AddLink(TScheme* scheme) {
    std::lock_guard lock(m_linksLock);
    m_links.append(scheme);
}

void TScheme::RemoveLink(TScheme* scheme) {
    std::lock_guard lock(m_linksLock);
    m_links.removeOne(scheme);
}

bool TScheme::HasDependentSchemes() const {
    std::lock_guard lock(m_linksLock);
    return !m_links.isEmpty();
}

void TScheme::BeginMessages() {
    if (m_messages) m_messages->BeginUpdate();
}

void TScheme::EndMessages() {
    if (m_messages) m_messages->EndUpdate();
}

// ---- registration and the index by number ----

int32_t TScheme::Register(TElement* element) {
    element->m_registration = ++m_registrations;
    element->m_registeredPrev = m_lastRegistered;
    element->m_registeredNext = nullptr;
    if (m_lastRegistered)
        m_lastRegistered->m_registeredNext = element;
    else
        m_firstRegistered = element;
    m_lastRegistered = element;
    ++m_elementCount;
    element->m_number = TakeElementNumber();
    IndexAdd(element);
    return element->m_number;
}

void TScheme::Unregister(TElement* element) {
    if (element->m_queueSlot >= 0) {
        m_checkQueue[size_t(element->m_queueSlot)] = nullptr;
        element->m_queueSlot = -1;
    }
    IndexRemove(element, element->m_number);
    if (element->m_registeredPrev)
        element->m_registeredPrev->m_registeredNext = element->m_registeredNext;
    else
        m_firstRegistered = element->m_registeredNext;
    if (element->m_registeredNext)
        element->m_registeredNext->m_registeredPrev = element->m_registeredPrev;
    else
        m_lastRegistered = element->m_registeredPrev;
    element->m_registeredPrev = element->m_registeredNext = nullptr;
    --m_elementCount;
    element->m_scheme = nullptr;
}

TScheme::TIndexPage* TScheme::IndexPage(int32_t number, bool create) {
    const int32_t key = number >> kIndexPageBits;
    auto it = m_indexPages.find(key);
    if (it == m_indexPages.end()) {
        if (!create) return nullptr;
        it = m_indexPages.emplace(key, std::make_unique<TIndexPage>()).first;
    }
    return it->second.get();
}

// Only elements that stay in the chain are asked (one leaving may be in its
// destructor).
const TClass* TScheme::ClassOfChain(const TElement* head) noexcept {
    return head && !head->m_sameNumberNext ? head->ClassType() : nullptr;
}

// Elements sharing a number are chained in registration order, so the head
// of the chain is the first registered.
void TScheme::IndexAdd(TElement* element) {
    if (element->m_number == 0) return;
    TIndexPage* page = IndexPage(element->m_number, true);
    const int slot = IndexSlot(element->m_number);
    TElement** link = &page->entries[slot];
    if (!*link) ++page->used;
    while (*link && (*link)->m_registration < element->m_registration) link = &(*link)->m_sameNumberNext;
    element->m_sameNumberNext = *link;
    *link = element;
    page->classes[slot] = ClassOfChain(page->entries[slot]);
    ++m_indexedCount;
}

void TScheme::IndexRemove(TElement* element, int32_t number) {
    if (number == 0) return;
    TIndexPage* page = IndexPage(number, false);
    if (!page) return;
    const int slot = IndexSlot(number);
    TElement** link = &page->entries[slot];
    while (*link && *link != element) link = &(*link)->m_sameNumberNext;
    if (*link) {
        *link = element->m_sameNumberNext;
        --m_indexedCount;
    }
    element->m_sameNumberNext = nullptr;
    page->classes[slot] = ClassOfChain(page->entries[slot]);
    if (!page->entries[slot] && --page->used == 0) m_indexPages.erase(number >> kIndexPageBits);
}

TElement* TScheme::FindElement(int32_t number) const {
    if (number == 0) return nullptr;
    auto it = m_indexPages.find(number >> kIndexPageBits);
    return it == m_indexPages.end() ? nullptr : it->second->entries[IndexSlot(number)];
}

bool TScheme::IsRegistered(const TElement* element, int32_t number) const {
    if (number == 0) {
        for (const TElement* e = m_firstRegistered; e; e = e->m_registeredNext)
            if (e == element) return true;
        return false;
    }
    for (const TElement* e = FindElement(number); e; e = e->m_sameNumberNext)
        if (e == element) return true;
    return false;
}

// ---- the check queue ----

namespace {
constexpr size_t kCheckPrefetchDistance = 32;
// The room the check queue keeps once it has run (elements).
constexpr size_t kCheckQueueKept = 4096;

// A hint only: both cache lines of the element's head (the vtable pointer and
// the fields a check reads), for reading.
inline void PrefetchElement(const TElement* e) noexcept {
#if defined(__GNUC__)
    if (!e) return;
    __builtin_prefetch(e, 0, 3);
    __builtin_prefetch(reinterpret_cast<const char*>(e) + 64, 0, 3);
#else
    (void)e;
#endif
}
}  // namespace

void TScheme::Enqueue(TElement* element) {
    element->m_state |= esQueued;
    element->m_queueSlot = int(m_checkQueue.size());
    m_checkQueue.push_back(element);
}

int TScheme::CheckQueueLength() const noexcept {
    int n = 0;
    for (TElement* e : m_checkQueue) n += e != nullptr;
    return n;
}

void TScheme::EndUpdate() {
    if (m_updateCount > 0) --m_updateCount;
    if (m_updateCount == 0 && m_root && !m_runningChecks) RunCheckQueue();
}

// Takes the queue in order. A check may open and close updates of its own or
// queue further elements: those are appended and taken by this same run; an
// element destroyed meanwhile has left its slot empty.
void TScheme::RunCheckQueue() {
    m_runningChecks = true;
    size_t i = 0;
    try {
        for (; i < m_checkQueue.size(); ++i) {
            // A large queue has left the cache by the time it runs: fetch the
            // elements a few slots ahead while the current one is checked.
            if (i + kCheckPrefetchDistance < m_checkQueue.size())
                PrefetchElement(m_checkQueue[i + kCheckPrefetchDistance]);
            TElement* e = m_checkQueue[i];
            if (!e) continue;
            m_checkQueue[i] = nullptr;
            e->m_queueSlot = -1;
            e->m_state &= uint8_t(~esQueued);
            e->Check();
        }
    } catch (...) {
        // The rest stays queued, in order, for the next outermost EndUpdate.
        std::vector<TElement*> rest;
        for (size_t j = i + 1; j < m_checkQueue.size(); ++j)
            if (TElement* e = m_checkQueue[j]) {
                e->m_queueSlot = int(rest.size());
                rest.push_back(e);
            }
        m_checkQueue.swap(rest);
        m_runningChecks = false;
        throw;
    }
    m_checkQueue.clear();
    // A load queues every element it makes: that much room is not kept for
    // the few checks an edit queues.
    if (m_checkQueue.capacity() > kCheckQueueKept) std::vector<TElement*>().swap(m_checkQueue);
    m_runningChecks = false;
}

// ---------------------------------------------------------------------------
// TSchemeLoader

TSchemeLoader::TSchemeLoader(TScheme* scheme, TElementMessages* messages, TKnot* knot, uint8_t options,
                             uint8_t mode)
    : TSchemeFiler(mode, knot, options), m_scheme(scheme), m_messages(messages), m_update(scheme) {
    m_formatVersion = ParseFormatVersion(Knot()->ReadStr(QStringLiteral("FormatVersion")));
    if (m_messages) {
        if (static_cast<TKnot*>(Knot()->GetRoot())->LoadFailed())
            m_messages->AddTextMessage(mkWarning, LoadStr(strDataProvidedAreCorrupt));
        if (m_formatVersion >= kSchemeFormatNewer)
            m_messages->AddTextMessage(mkWarning, LoadStr(strFormatDataProvidedNewer));
    }
}


void TSchemeLoader::AddDeferred(TElement* element, intptr_t datum, TDeferredOrder order) {
    (order == TDeferredOrder::First ? m_deferredFirst : m_deferred).push_back({element, element->Number(), datum});
}

void TSchemeLoader::AddNumberMapping(int32_t stored, int32_t renumbered) {
    m_storedNumbers.push_back(stored);
    m_newNumbers.push_back(renumbered);
    if (!m_numberIndex.contains(stored)) m_numberIndex.insert(stored, renumbered);
}

void TSchemeLoader::EnterNesting(const TElement* parent) {
    if (m_nesting >= MaxNesting) throw Exception::FromId(strDataProvidedAreCorrupt);
    if (m_nesting == 0 && parent != m_placeParent) {
        m_placeParent = parent;
        m_placeLevel = parent ? parent->NestingLevel() : 0;
    }
    CheckElementNesting(m_placeLevel + m_nesting + 1);
    ++m_nesting;
}

void TSchemeLoader::Finish() {
    if (m_finished) return;
    m_finished = true;
    // Elements deferred later during these steps are taken too, those
    // deferred as First before the others.
    size_t first = 0;
    size_t inTurn = 0;
    while (first < m_deferredFirst.size() || inTurn < m_deferred.size()) {
        const Deferred d = first < m_deferredFirst.size() ? m_deferredFirst[first++] : m_deferred[inTurn++];
        if (m_scheme && !m_scheme->IsRegistered(d.element, d.number)) continue;
        d.element->AfterLoad(this, d.datum);
    }
    m_deferredFirst.clear();
    m_deferred.clear();
    m_update.End();
    if (m_messages && !IsSnapshot()) ReportUnread();
}

void TSchemeLoader::ReportUnread() {
    QList<TKnot*> knots;
    QList<TKnotParam*> params;
    static_cast<TKnot*>(Knot()->GetRoot())->CollectUnread(&knots, &params, false);
    for (TKnot* k : knots)
        m_messages->AddTextMessage(mkWarning, LoadStrFmt(strNodeWasNotRead, {SanitizeMessageText(k->GetPath())}));
    for (TKnotParam* p : params)
        m_messages->AddTextMessage(mkWarning,
                                   LoadStrFmt(strAttributeWasNotRead, {SanitizeMessageText(p->GetPath())}));
}

// ---------------------------------------------------------------------------
// Element storage

namespace {
const QString kId = QStringLiteral("ID");

template <class F>
void ForEachSubElement(TElement* owner, F&& f) {
    for (TNode* c = owner->FirstChild(); c;) {
        TNode* next = c->NextSibling();
        if (auto* e = dynamic_cast<TElement*>(c); e && e->IsSubElement()) f(e);
        c = next;
    }
}
}  // namespace

bool TElement::ShouldSaveChild(TSchemeFiler* filer, TElement* child) {
    if (!filer->IsSnapshot() && (child->Options() & eoNotStored)) return false;
    if (filer->HasOption(foSkipComments) && (child->Options() & eoComment)) return false;
    return true;
}

QString TElement::ValueAttributeIn(TSchemeFiler* filer, const QString& own) {
    if (!IsStoredInParentNode(filer)) return own;
    QString name;
    GetStoredName(filer, name);
    return name;
}

bool TElement::IsStoredInParentNode(TSchemeFiler* filer) {
    return IsSubElement() && (Options() & eoStoredInParentNode) && !filer->IsSnapshot();
}

// A sub-element that its owner leaves unnamed is stored under its type name:
// an empty knot name would make the written text unreadable.
void TElement::GetStoredName(TSchemeFiler* filer, QString& name) {
    name.clear();
    if (TElement* p = ParentElement()) p->GetChildName(this, filer, name);
    if (name.isEmpty()) name = GetTypeName();
}

void TElement::SaveToKnot(TKnot* knot, uint8_t mode, uint8_t options) {
    TSchemeSaver saver(mode, knot, options);
    SaveTo(&saver, knot);
}

void TElement::SaveTo(TSchemeSaver* saver, TKnot* knot) {
    if (saver->IsSnapshot() || (Options() & eoReferable)) knot->WriteInt(kId, m_number);
    ForEachSubElement(this, [&](TElement* child) {
        if (!ShouldSaveChild(saver, child)) return;
        if (saver->HasOption(foSaveInPlace) && child->SaveInPlace(saver, knot)) return;
        if (child->IsStoredInParentNode(saver)) {
            child->SaveTo(saver, knot);
            return;
        }
        QString name;
        child->GetStoredName(saver, name);
        TKnot* sub = knot->AddChild(name);
        child->SaveTo(saver, sub);
        if (sub->IsEmpty() && !(child->IsValidated() && !child->IsDefault())) sub->Free();
    });
}

void TElement::LoadFrom(TSchemeLoader* loader, TKnot* knot) {
    if (loader->IsSnapshot()) {
        const int32_t stored = knot->ReadInt(kId, 0);
        RaiseElementNumber(stored);
        SetNumber(stored);
    } else if (Options() & eoReferable) {
        // A stored 0 names no element and is not mapped.
        const int32_t stored = knot->ReadInt(kId, 0);
        if (stored != 0 && stored != m_number) loader->AddNumberMapping(stored, m_number);
    }
    if (loader->HasOption(foSharedData)) m_state |= esSharedData;
    ForEachSubElement(this, [&](TElement* child) {
        if (!loader->IsSnapshot() && (child->Options() & eoNotStored)) return;
        if (child->IsStoredInParentNode(loader)) {
            child->LoadFrom(loader, knot);
            return;
        }
        QString name;
        child->GetStoredName(loader, name);
        if (TKnot* sub = knot->FindChild(name)) child->LoadFrom(loader, sub);
    });
}

void TElement::LoadFromKnot(TKnot* knot, uint8_t mode, uint8_t options) {
    TSchemeLoader loader(m_scheme, m_scheme ? m_scheme->Messages() : nullptr, knot, options, mode);
    LoadFrom(&loader, knot);
    loader.Finish();
}

// ---------------------------------------------------------------------------
// Scheme files

void TScheme::SaveRootToKnot(TKnot* knot, uint8_t mode, uint8_t options) {
    TSchemeSaver saver(mode, knot, options);
    knot->SetName(m_name);
    saver.WriteFormatVersion();
    if (m_root) m_root->SaveTo(&saver, knot);
}

void TScheme::LoadFromFile(const QString& fileName) {
    TWaitScope wait;
    SetFileName(fileName);
    TNodePtr<TKnot> knot = TKnot::Create();
    m_loadedDamaged = !knot->LoadFromFile(fileName);
    TSchemeLoader loader(this, m_messages, knot.get(), 0, fmFile);
    // The file is read; what is made from it lies in the order of the tree.
    TRegionScope regions;
    if (m_root) m_root->LoadFrom(&loader, knot.get());
    loader.Finish();
}

// The new content is written completely into a temporary file beside the
// target and renamed over it (TKnot::SaveToFile); until the rename the old
// file is untouched. A read-only target is replaced all the same.
void TScheme::SaveToFile(const QString& fileName, bool keepOldName) {
    TWaitScope wait;
    if (DeepestNestingLevel() > kMaxElementNesting)
        throw Exception::FromId(strSchemeTooDeepToSave, {QString::number(kMaxElementNesting)});
    const QString oldName = m_fileName;
    SetFileName(fileName);
    try {
        TNodePtr<TKnot> knot = TKnot::Create();
        SaveRootToKnot(knot.get(), fmFile, foSchemeFile);
        knot->SaveToFile(fileName, TKnotEncoding::Utf8);
    } catch (...) {
        if (keepOldName) SetFileName(oldName);
        throw;
    }
    if (keepOldName) SetFileName(oldName);
}

// One walk over the tree, keeping the levels of the current element's ancestors.
int TScheme::DeepestNestingLevel() const {
    if (!m_root) return 0;
    int deepest = 0;
    std::vector<std::pair<const TNode*, int>> path;
    for (const TNode* node : PreOrder<const TNode>(m_root.get())) {
        while (!path.empty() && path.back().first != node->Parent()) path.pop_back();
        const auto* element = dynamic_cast<const TElement*>(node);
        const bool counted = !path.empty() && element && !element->IsSubElement();
        const int level = (path.empty() ? 0 : path.back().second) + (counted ? 1 : 0);
        deepest = std::max(deepest, level);
        path.emplace_back(node, level);
    }
    return deepest;
}

// ---------------------------------------------------------------------------
// Operations bound to a scheme

T_CLASS_IMPL_ABSTRACT(TSchemeOperation, TOperation)
T_CLASS_IMPL_ABSTRACT(TSchemeGroupingOperation, TGroupingOperation)

void TSchemeOperation::Execute(TNodePtr<TSchemeOperation> op) {
    TUndoRedo* history = op->Scheme() ? op->Scheme()->UndoRedo() : nullptr;
    TOperation::Submit(std::move(op), history);
}

void TScheme::BeginOperationGroup(bool withMessages, const QString& caption) {
    if (m_undoRedo) m_undoRedo->BeginGroup(MakeNode<TSchemeGroupingOperation>(this, withMessages, caption));
}

void TScheme::EndOperationGroup() {
    if (m_undoRedo) m_undoRedo->EndGroup();
}

TOperationGroupScope::~TOperationGroupScope() {
    if (!m_scheme) return;
    try {
        m_scheme->EndOperationGroup();
    } catch (...) {
        LogCurrentException("An undo group raised as it closed while its scope was left");
    }
}

// ---------------------------------------------------------------------------
// TFindData

bool TFindData::Matches(TElement*, const QString& text) const {
    return text.compare(Text, CaseSensitive ? Qt::CaseSensitive : Qt::CaseInsensitive) == 0;
}

void TFindData::ReportNotFound() const {
    ShowMessageBox(LoadStrFmt(strCouldNotFind, {Text}), QString(), MsgBox::IconInformation);
}
