#include "scheme/diNaming.h"

#include <QHash>

#include <algorithm>
#include <atomic>
#include <climits>

namespace {

// Own items and connections joining an owner take a number from one counter:
// the order of the numbers is the order the namespace sees them in.
std::atomic<uint64_t> g_sequence{0};
uint64_t NextSequence() noexcept { return g_sequence.fetch_add(1, std::memory_order_relaxed) + 1; }

class TMaybeLock {
public:
    explicit TMaybeLock(std::recursive_mutex* mutex) : m_mutex(mutex) {
        if (m_mutex) m_mutex->lock();
    }
    ~TMaybeLock() {
        if (m_mutex) m_mutex->unlock();
    }
    TMaybeLock(const TMaybeLock&) = delete;
    TMaybeLock& operator=(const TMaybeLock&) = delete;

private:
    std::recursive_mutex* m_mutex;
};

// A hint only: every cache line of the object, for reading.
template <class T>
void PrefetchLines(const T* object) noexcept {
    const char* at = reinterpret_cast<const char*>(object);
    for (size_t offset = 0; offset < sizeof(T); offset += 64) __builtin_prefetch(at + offset);
}

// Runs f inside an update of scheme (when there is one).
template <class F>
void InUpdate(TScheme* scheme, F&& f) {
    TSchemeUpdate update(scheme);
    f();
    update.End();
}

template <class List, class T>
void InsertSeen(List& list, T* item) {
    auto at = std::upper_bound(list.begin(), list.end(), item,
                               [](T* a, T* b) { return TNamespace::SeenBefore(a, b); });
    list.insert(at, item);
}

// Searched from the end: items usually leave in the reverse order of coming.
template <class List, class T>
bool EraseFrom(List& list, T* item) {
    auto it = std::find(list.rbegin(), list.rend(), item);
    if (it == list.rend()) return false;
    list.erase(std::next(it).base());
    return true;
}

template <class K, class List, class T>
void EraseFromIndex(QHash<K, List>& index, const K& key, T* item) {
    auto it = index.find(key);
    if (it == index.end()) return;
    EraseFrom(*it, item);
    if (it->empty()) index.erase(it);
}

bool Accepts(const TNamespace::TFilter& filter, TNamespace* ns, TNamespaceItem* item) {
    if (!filter) return true;
    bool accept = true;
    filter(ns, item, accept);
    return accept;
}

}  // namespace

// ---------------------------------------------------------------------------
// TNamespaceItem

TNamespaceItem::~TNamespaceItem() = default;

int TNamespaceItem::GetReferenceCount() {
    TMaybeLock lock(ReferenceLock());
    if (!m_references) return 0;
    int count = 0;
    for (TReference* r : *m_references)
        if (!(r->Flags & rfNotCounted)) ++count;
    return count;
}

bool TNamespaceItem::HasReferences() {
    TMaybeLock lock(ReferenceLock());
    return m_references != nullptr;
}

void TNamespaceItem::StateChanged() {
    if (TNamespace* ns = GetNamespace()) ns->Announce(nnStateChanged, this);
}

void TNamespaceItem::AddReference(TReference* reference) {
    TMaybeLock lock(ReferenceLock());
    AddToList(reference);
}

void TNamespaceItem::RemoveReference(TReference* reference) {
    TMaybeLock lock(ReferenceLock());
    RemoveFromList(reference);
}

void TNamespaceItem::AddToList(TReference* reference) {
    if (!m_references) m_references = std::make_unique<std::vector<TReference*>>();
    m_references->push_back(reference);
}

bool TNamespaceItem::RemoveFromList(TReference* reference) {
    if (!m_references) return false;
    // References usually leave in the reverse order of joining.
    auto& list = *m_references;
    bool found = false;
    for (size_t i = list.size(); i-- > 0;)
        if (list[i] == reference) {
            list.erase(list.begin() + ptrdiff_t(i));
            found = true;
            break;
        }
    if (list.empty()) m_references.reset();
    return found;
}

void TNamespaceItem::DetachReferences() {
    for (;;) {
        TReference* reference = nullptr;
        {
            TMaybeLock lock(ReferenceLock());
            if (!m_references) return;
            reference = m_references->back();
            if (reference->Target() != this) {
                // Passed down from a cover whose connection did not let it go.
                RemoveFromList(reference);
                continue;
            }
        }
        reference->Drop();
        TMaybeLock lock(ReferenceLock());
        RemoveFromList(reference);  // nothing when the item let it go itself
    }
}

// ---------------------------------------------------------------------------
// TNamespaceOwnItem

TNamespaceOwnItem::~TNamespaceOwnItem() {
    // Normally done by the deleter while the item is whole.
    Unregister();
}

void TNamespaceOwnItemDeleter::operator()(TNamespaceOwnItem* item) const {
    if (!item) return;
    item->Unregister();
    delete item;
}

void TNamespaceOwnItem::Register(TNamespace* ns) {
    if (ns == m_namespace) return;
    Unregister();
    if (!ns || ns->m_freeing) return;
    {
        std::lock_guard lock(ns->m_lock);
        m_namespace = ns;
        m_sequence = NextSequence();
        m_prev = ns->m_lastOwn;
        m_next = nullptr;
        (m_prev ? m_prev->m_next : ns->m_firstOwn) = this;
        ns->m_lastOwn = this;
        ++ns->m_ownCount;
        ns->NumberIndexAdd(this);
    }
    ns->Announce(nnItemAdded, this);
}

void TNamespaceOwnItem::Unregister() {
    TNamespace* ns = m_namespace;
    if (!ns) return;
    {
        std::lock_guard lock(ns->m_lock);
        (m_prev ? m_prev->m_next : ns->m_firstOwn) = m_next;
        (m_next ? m_next->m_prev : ns->m_lastOwn) = m_prev;
        m_prev = m_next = nullptr;
        --ns->m_ownCount;
        ns->NumberIndexRemove(this);
        ns->IndexRemove(this);
    }
    ns->Announce(nnItemRemoved, this);
    DetachReferences();
    m_namespace = nullptr;
}

std::recursive_mutex* TNamespaceOwnItem::ReferenceLock() const {
    return m_namespace ? &m_namespace->m_lock : nullptr;
}

QString TNamespaceOwnItem::GetPath() {
    TElement* element = GetElement();
    return QString::number(element ? element->Number() : 0);
}

void TNamespaceOwnItem::NotifyChanged() {
    if (m_namespace) m_namespace->Announce(nnItemChanged, this);
}

void TNamespaceOwnItem::Refresh() { NotifyChanged(); }

void TNamespaceOwnItem::NotifyImageChanged() {
    if (m_namespace && HasReferences()) m_namespace->Announce(nnImageChanged, this);
}

void TNamespaceOwnItem::NotifyEnabledChanged() {
    if (m_namespace) m_namespace->Announce(nnEnabledChanged, this);
}

void TNamespaceOwnItem::NotifyTitleChanged() {
    if (m_namespace && HasReferences()) m_namespace->Announce(nnTitleChanged, this);
}

void TNamespaceOwnItem::NotifyRenamed() {
    __builtin_prefetch(this);  // the index reads the first line, beside the namespace read here
    if (m_namespace) m_namespace->Announce(nnRenamed, this);
}

void TNamespaceOwnItem::NumberChanged(int32_t oldNumber) {
    TNamespace* ns = m_namespace;
    if (!ns) return;
    {
        std::lock_guard lock(ns->m_lock);
        ns->NumberIndexRemove(this);
        ns->NumberIndexAdd(this);
    }
    if (!HasReferences()) return;
    const QString former = QString::number(oldNumber);
    ns->Announce(nnPathChanged, this, intptr_t(&former));
}

// ---------------------------------------------------------------------------
// TNamespaceCoverItem

TNamespaceCoverItem::TNamespaceCoverItem(TNamespaceConnection* connection, TNamespaceItem* wrapped) noexcept
    : TNamespaceItem(true), m_connection(connection), m_wrapped(wrapped), m_original(wrapped->GetOriginal()) {
    TakeNameSource();
}

void TNamespaceCoverItem::TakeNameSource() noexcept {
    TNamespaceCoverItem* inner = m_wrapped->AsCover();
    m_nameSource = inner && inner->m_connection->Prefix().isEmpty() ? inner->m_nameSource : m_wrapped;
}

TNamespace* TNamespaceCoverItem::GetNamespace() const { return m_connection->Owner(); }

QString TNamespaceCoverItem::GetPath() {
    return QString::number(m_connection->Number()) + QLatin1Char('.') + m_wrapped->GetPath();
}

QString TNamespaceCoverItem::GetName() {
    const QString& prefix = m_connection->Prefix();
    if (prefix.isEmpty()) return m_nameSource->GetName();
    return prefix + QLatin1Char('.') + m_wrapped->GetName();
}

int TNamespaceCoverItem::GetVisibility() {
    return m_connection->Private() == 1 ? 1 : m_wrapped->GetVisibility();
}

std::recursive_mutex* TNamespaceCoverItem::ReferenceLock() const { return &m_connection->m_lock; }

void TNamespaceCoverItem::AddReference(TReference* reference) {
    std::lock_guard lock(m_connection->m_lock);
    AddToList(reference);
    ++m_connection->m_referenceCount;
    m_connection->ReferenceAdded(reference);
    m_wrapped->AddReference(reference);
}

void TNamespaceCoverItem::RemoveReference(TReference* reference) {
    std::lock_guard lock(m_connection->m_lock);
    if (!RemoveFromList(reference)) return;
    --m_connection->m_referenceCount;
    m_connection->ReferenceRemoved(reference);
    m_wrapped->RemoveReference(reference);
}

bool TNamespaceCoverItem::IsThroughConnection(const TNamespaceConnection* connection) {
    for (TNamespaceItem* item = this; TNamespaceCoverItem* cover = item->AsCover(); item = cover->m_wrapped)
        if (cover->m_connection == connection) return true;
    return false;
}

bool TNamespaceCoverItem::IsThroughConnectionClass(const TClass* cls) {
    for (TNamespaceItem* item = this; TNamespaceCoverItem* cover = item->AsCover(); item = cover->m_wrapped)
        if (cover->m_connection->InheritsFrom(cls)) return true;
    return false;
}

// ---------------------------------------------------------------------------
// TReference

TReference::~TReference() {
    if (m_target) {
        TNamespaceItem* old = m_target;
        m_target = nullptr;
        old->RemoveReference(this);
    }
}

void TReference::SetTarget(TNamespaceItem* item) {
    if (item == m_target) return;
    TNamespaceItem* old = m_target;
    if (old) old->RemoveReference(this);
    m_target = item;
    if (item) item->AddReference(this);
    TargetChanged();
    SetCycleState(false);
    if (old) SearchCycles(old);
    if (item && item == m_target) SearchCycles(item);
}

void TReference::SetCycleState(bool onCycle) {
    const uint8_t state = onCycle ? uint8_t(m_state | rsOnCycle) : uint8_t(m_state & ~rsOnCycle);
    if (state == m_state) return;
    m_state = state;
    CycleStateChanged();
}

void TReference::Drop() {
    TNamespaceItem* old = m_target;
    if (!old) return;
    old->RemoveReference(this);
    m_target = nullptr;
    SetCycleState(false);
    TargetChanged();
}

struct TCycleMarks {
    static uint64_t& Search(TNamespaceItem* item) noexcept { return item->m_cycleSearch; }
    static int32_t& Mark(TNamespaceItem* item) noexcept { return item->m_cycleMark; }
};

namespace {
std::atomic<uint64_t> g_cycleSearches{0};
// Starts asked for while a search runs on this thread (from a handler of a
// changed cycle bit) wait until it ends: the marks belong to one search at a time.
thread_local std::vector<TNamespaceItem*>* t_pendingSearches = nullptr;

void SearchCyclesFrom(TNamespaceItem* start);
}  // namespace

void SearchCycles(TNamespaceItem* start) {
    if (t_pendingSearches) {
        t_pendingSearches->push_back(start);
        return;
    }
    std::vector<TNamespaceItem*> pending{start};
    t_pendingSearches = &pending;
    struct Reset {
        ~Reset() { t_pendingSearches = nullptr; }
    } reset;
    for (size_t i = 0; i < pending.size(); ++i) SearchCyclesFrom(pending[i]);
}

// The search keeps the items of the current path and, for this search only,
// what an item answered when it was not on a cycle itself: nothing (it
// reaches no cycle) or "below" (it leads into cycles that do not reach back
// above it). Either answer is the same from any path, and so are the marks
// its visit sets, so such an item is searched once. The marks live in the
// items that use references (items without any, such as the shared standard
// types, are never written).
namespace {
void SearchCyclesFrom(TNamespaceItem* start) {
    constexpr int kNone = -1;
    constexpr int kBelow = INT_MAX;
    constexpr int kPending = -2;
    constexpr int kLookahead = 16;  // frames
    // A frame's position on the path is its index in `frames`.
    struct Frame {
        TNamespaceItem* item;
        uint32_t first;  // its references in `refs`
        uint32_t next;
        uint32_t end;
        int32_t lowest;
    };
    const uint64_t search = g_cycleSearches.fetch_add(1, std::memory_order_relaxed) + 1;
    // The stacks of one thread's searches keep their room from one search to
    // the next (searches never overlap on a thread).
    thread_local std::vector<Frame> frames;
    thread_local std::vector<TReference*> refs;
    frames.clear();
    refs.clear();

    auto enter = [&](TNamespaceItem* item) -> int {
        if (TCycleMarks::Search(item) == search) return TCycleMarks::Mark(item);  // on the path or settled
        const size_t first = refs.size();
        item->GetUsedReferences(refs);
        if (refs.size() == first) return kNone;
        const int position = int(frames.size());
        TCycleMarks::Search(item) = search;
        TCycleMarks::Mark(item) = position;
        frames.push_back(Frame{item, uint32_t(first), uint32_t(first), uint32_t(refs.size()), kNone});
        return kPending;
    };
    auto deliver = [&](Frame& frame, int answer) {
        TReference* reference = refs[frame.next++];
        reference->SetCycleState(answer != kNone);
        if (answer != kNone && (frame.lowest == kNone || answer < frame.lowest)) frame.lowest = answer;
    };

    if (enter(start) != kPending) return;
    while (!frames.empty()) {
        Frame& top = frames.back();
        if (top.next < top.end) {
            TNamespaceItem* target = refs[top.next]->Target();
            const int answer = target ? enter(target) : kNone;
            if (answer != kPending) deliver(frames.back(), answer);
            continue;
        }
        const Frame done = top;
        const int position = int(frames.size()) - 1;
        // Leaving frames, the walk climbs back up the path, and each frame
        // below goes on with its next reference: start loading, some
        // frames ahead, that frame's item (its marks are written when it
        // is left) and the item it visits next, and further ahead the
        // reference whose cycle bit it sets when it resumes, so that on a
        // path longer than the caches hold the climb does not wait for
        // memory at every step. (Loading more lines of the items, or
        // anything on the way down, which the processor already streams,
        // measured slower.)
        if (position >= 2 * kLookahead) __builtin_prefetch(refs[frames[size_t(position - 2 * kLookahead)].next]);
        if (position >= kLookahead) {
            const Frame& ahead = frames[size_t(position - kLookahead)];
            __builtin_prefetch(ahead.item);
            if (ahead.next + 1 < ahead.end)
                if (const TNamespaceItem* next = refs[ahead.next + 1]->Target()) __builtin_prefetch(next);
        }
        frames.pop_back();
        refs.resize(done.first);
        if (done.lowest == kNone)
            TCycleMarks::Mark(done.item) = kNone;
        else if (done.lowest > position)
            TCycleMarks::Mark(done.item) = kBelow;
        else
            TCycleMarks::Search(done.item) = 0;  // on a cycle: searched again from another path
        if (frames.empty()) return;
        deliver(frames.back(), done.lowest);
    }
}
}  // namespace

// ---------------------------------------------------------------------------
// TNamespace

T_ELEMENT_CLASS_IMPL(TNamespace, TElement)

TNamespace::~TNamespace() = default;

namespace {
// Where an item stands in the namespace that sees it: own items (group 0) by
// their sequence, then each connection's covers (the group of the connection's
// joining) by their place.
struct TSeenKey {
    uint64_t group;
    uint64_t within;
    bool operator<(const TSeenKey& other) const noexcept {
        return group != other.group ? group < other.group : within < other.within;
    }
};
}  // namespace

bool TNamespace::SeenBefore(const TNamespaceItem* a, const TNamespaceItem* b) {
    auto key = [](const TNamespaceItem* item) {
        if (!item->m_isCover) return TSeenKey{0, static_cast<const TNamespaceOwnItem*>(item)->m_sequence};
        auto* cover = static_cast<const TNamespaceCoverItem*>(item);
        return TSeenKey{cover->m_connection->m_ownerSequence, cover->m_place};
    };
    return key(a) < key(b);
}

void TNamespace::AddListener(const THandler& handler) {
    std::lock_guard lock(m_lock);
    AddHandler(handler);
}

void TNamespace::RemoveListener(const THandler& handler) {
    std::lock_guard lock(m_lock);
    RemoveHandler(handler);
}

void TNamespace::Broadcast(int msg, intptr_t p1, intptr_t p2) {
    std::lock_guard lock(m_lock);
    TElement::Broadcast(msg, p1, p2);
}

int TNamespace::IncomingConnectionCount() {
    std::lock_guard lock(m_lock);
    return int(m_incoming.size());
}

void TNamespace::Announce(int code, TNamespaceItem* item, intptr_t argument) {
    {
        std::lock_guard lock(m_lock);
        switch (code) {
        case nnItemAdded: IndexAdd(item); break;
        case nnRenamed: IndexRename(item); break;
        case nnItemRemoved: IndexRemove(item); break;
        case nnEnabledChanged:
            if (item->m_indexedIn == this) MarkDirty(item);
            break;
        default: break;
        }
    }
    Broadcast(code, intptr_t(item), argument);
    if (code == nnItemAdded || code == nnEnabledChanged || code == nnRenamed || code == nnItemRemoved)
        RequestDuplicateCheck();
}

void TNamespace::NameGroup(const TNameKey& key, TNameGroup& group) const {
    m_byName.ForEach(key.hash, [&](TNamespaceItem* item) {
        if (item->m_nameKey == key.key) group.push_back(item);
    });
    // Usually one item; the index keeps no order among equal names.
    if (group.size() > 1) std::sort(group.begin(), group.end(), &TNamespace::SeenBefore);
}

TNamespace::TNameKey TNamespace::TakeNameKey(TNamespaceItem* item) {
    QString name = item->GetName();
    const TNamespaceCoverItem* cover = item->AsCover();
    const TNamespaceItem* inner = cover ? cover->Wrapped() : nullptr;
    if (inner && inner->m_indexedIn && inner->m_keyedName == name) {
        item->m_keyedName = std::move(name);
        return TNameKey(inner->m_nameKey, inner->m_nameHash);
    }
    TNameKey key(name);
    item->m_keyedName = std::move(name);
    return key;
}

void TNamespace::IndexAdd(TNamespaceItem* item) {
    if (item->m_indexedIn) return;
    item->m_indexedIn = this;
    TNameKey key = TakeNameKey(item);
    item->m_nameKey = std::move(key.key);
    item->m_nameHash = key.hash;
    m_byName.Insert(item->m_nameHash, item);
    if (m_elementIndexed) {
        item->m_elementKey = item->GetElement();
        if (item->m_elementKey) InsertSeen(m_byElement[item->m_elementKey], item);
    }
    MarkDirty(item);
}

void TNamespace::IndexRemove(TNamespaceItem* item) {
    if (item->m_indexedIn != this) return;
    m_byName.Erase(item->m_nameHash, item);
    if (item->m_elementKey) EraseFromIndex(m_byElement, item->m_elementKey, item);
    item->m_indexedIn = nullptr;
    item->m_elementKey = nullptr;
    MarkDirty(item);
}

void TNamespace::IndexRename(TNamespaceItem* item) {
    if (item->m_indexedIn != this) return;
    // What the rename reads next loads side by side while the name is folded,
    // rather than one miss after another: the slot of the old name, the texts
    // of the old key and name (compared, then let go) and the first cover,
    // which its connection renames next.
    m_byName.Prefetch(item->m_nameHash);
    __builtin_prefetch(item->m_nameKey.constData());
    __builtin_prefetch(item->m_keyedName.constData());
    if (item->m_firstCover) PrefetchLines(item->m_firstCover);
    TNameKey key = TakeNameKey(item);
    m_byName.Prefetch(key.hash);
    MarkDirty(item);
    if (key.hash == item->m_nameHash && key.key == item->m_nameKey) return;
    m_byName.EraseHeld(item->m_nameHash, item);
    item->m_nameKey = std::move(key.key);
    item->m_nameHash = key.hash;
    m_byName.Insert(item->m_nameHash, item);
    MarkDirty(item);
}

void TNamespace::BuildElementIndex() {
    m_elementIndexed = true;
    auto add = [this](TNamespaceItem* item) {
        if (item->m_indexedIn != this) return;
        item->m_elementKey = item->GetElement();
        if (item->m_elementKey) InsertSeen(m_byElement[item->m_elementKey], item);
    };
    for (TNamespaceOwnItem* item = m_firstOwn; item; item = item->m_next) add(item);
    for (TNamespaceConnection* connection : m_connections)
        for (const auto& cover : connection->m_covers) add(cover.get());
}

void TNamespace::BuildNumberIndex() {
    m_numberIndexed = true;
    for (TNamespaceOwnItem* item = m_firstOwn; item; item = item->m_next) NumberIndexAdd(item);
}

void TNamespace::NumberIndexAdd(TNamespaceOwnItem* item) {
    if (!m_numberIndexed) return;
    TElement* element = item->GetElement();
    item->m_numberKey = element ? element->Number() : 0;
    InsertSeen(m_byNumber[item->m_numberKey], item);
}

void TNamespace::NumberIndexRemove(TNamespaceOwnItem* item) {
    if (m_numberIndexed) EraseFromIndex(m_byNumber, item->m_numberKey, item);
}

TNamespaceOwnItem* TNamespace::FindOwnByNumber(int32_t number) {
    if (!m_numberIndexed) BuildNumberIndex();
    bool stale = false;
    if (auto it = m_byNumber.constFind(number); it != m_byNumber.cend())
        for (TNamespaceOwnItem* item : *it) {
            TElement* element = item->GetElement();
            if ((element ? element->Number() : 0) == number) return item;
            stale = true;
        }
    if (!stale) return nullptr;
    // An element changed its number without telling its item: look through
    // all and mend the index.
    TNamespaceOwnItem* found = nullptr;
    for (TNamespaceOwnItem* item = m_firstOwn; item; item = item->m_next) {
        TElement* element = item->GetElement();
        const int32_t current = element ? element->Number() : 0;
        if (current != item->m_numberKey) {
            NumberIndexRemove(item);
            NumberIndexAdd(item);
        }
        if (!found && current == number) found = item;
    }
    return found;
}

TNamespaceItem* TNamespace::FindItemByName(const QString& name, const TFilter& filter, Qt::CaseSensitivity cs) {
    std::lock_guard lock(m_lock);
    TNameGroup candidates;
    NameGroup(TNameKey(name), candidates);
    for (TNamespaceItem* item : candidates)
        if (QString::compare(item->GetName(), name, cs) == 0 && Accepts(filter, this, item)) return item;
    return nullptr;
}

TNamespaceItem* TNamespace::FindItemByPath(const QString& path) {
    if (path.isEmpty()) return nullptr;
    std::lock_guard lock(m_lock);
    const qsizetype dot = path.indexOf(QLatin1Char('.'));
    bool ok = false;
    if (dot < 0) {
        const int32_t number = path.toInt(&ok);
        return ok ? FindOwnByNumber(number) : nullptr;
    }
    const int32_t number = path.left(dot).toInt(&ok);
    if (!ok) return nullptr;
    for (TNamespaceConnection* connection : m_connections) {
        if (connection->Number() != number) continue;
        TNamespace* target = connection->Target();
        if (!target) return nullptr;
        TNamespaceItem* inner = target->FindItemByPath(path.mid(dot + 1));
        return inner ? connection->FindCover(inner) : nullptr;
    }
    return nullptr;
}

TNamespaceItem* TNamespace::FindItemByElement(TElement* element) {
    if (!element) return nullptr;
    std::lock_guard lock(m_lock);
    if (!m_elementIndexed) BuildElementIndex();
    auto it = m_byElement.constFind(element);
    if (it == m_byElement.cend()) return nullptr;
    for (TNamespaceItem* item : *it)
        if (item->GetElement() == element) return item;
    return nullptr;
}

void TNamespace::ForEachItem(const TItemCallback& callback, bool withConnections) {
    std::lock_guard lock(m_lock);
    bool stop = false;
    for (TNamespaceOwnItem* item = m_firstOwn; item && !stop;) {
        TNamespaceOwnItem* next = item->m_next;
        callback(item, stop);
        item = next;
    }
    if (!withConnections) return;
    const std::vector<TNamespaceConnection*> connections = m_connections;
    for (TNamespaceConnection* connection : connections)
        for (TNamespaceCoverItem* cover : connection->Covers()) {
            if (stop) return;
            callback(cover, stop);
        }
}

void TNamespace::GetNames(TNameList& names, bool withDisabled, bool onlyUnique, const TFilter& filter) {
    ForEachItem(
        [&](TNamespaceItem* item, bool&) {
            if (!withDisabled && !item->IsEnabled()) return;
            if (onlyUnique && !item->NeedsUniqueName()) return;
            if (!Accepts(filter, this, item)) return;
            names.append({item->GetName(), item});
        },
        true);
}

bool TNamespace::IsNameTaken(const QString& name) {
    std::lock_guard lock(m_lock);
    const TNameKey key(name);
    return m_byName.Find(key.hash, [&](TNamespaceItem* item) { return item->m_nameKey == key.key; }) != nullptr;
}

QString TNamespace::GetUniqueName(const QString& base, bool useNumberFirst, const TNamingSettings& settings) {
    return settings.MakeUniqueName(base, useNumberFirst, [this](const QString& name) { return IsNameTaken(name); });
}

void TNamespace::MarkDirty(const TNamespaceItem* item) {
    // The check only ever changes own items; one that comes later marks its own name.
    if (m_freeing || m_ownCount == 0) return;
    if (!m_dirtyKeys.empty() && m_dirtyKeys.back().hash == item->m_nameHash && m_dirtyKeys.back().key == item->m_nameKey)
        return;
    m_dirtyKeys.emplace_back(item->m_nameKey, item->m_nameHash);
}

void TNamespace::CheckDuplicates() {
    if (m_freeing || IsBeingDestroyed() || m_ownCount == 0) return;
    m_fullCheckPending = true;
    RequestDuplicateCheck();
}

void TNamespace::RequestDuplicateCheck() {
    if (m_freeing || IsBeingDestroyed() || (m_dirtyKeys.empty() && !m_fullCheckPending)) return;
    if (Scheme() && Scheme()->UpdateCount() > 0) {
        TElement::Check();  // queued: the check runs when the update ends
        return;
    }
    RunDuplicateChecks();
}

void TNamespace::Check() {
    TElement::Check();
    if (m_freeing || IsBeingDestroyed() || (Scheme() && Scheme()->UpdateCount() > 0)) return;
    RunDuplicateChecks();
}

// The check compares names ignoring case only, so it works name by name: the
// names whose items came, went, were renamed or enabled since the last check,
// or every name after CheckDuplicates. The states change, and 109 is
// announced, in the order of the own items.
void TNamespace::RunDuplicateChecks() {
    std::vector<TNameKey> keys;
    {
        std::lock_guard lock(m_lock);
        keys.swap(m_dirtyKeys);
        if (m_fullCheckPending) {
            m_fullCheckPending = false;
            for (TNamespaceOwnItem* item = m_firstOwn; item; item = item->m_next) {
                IndexRename(item);  // a name that changed unannounced is taken as it is now
                keys.emplace_back(item->m_nameKey, item->m_nameHash);
            }
            m_dirtyKeys.clear();
        }
    }
    // The list goes back empty, so that marking names allocates nothing.
    auto giveBack = [&] {
        keys.clear();
        std::lock_guard lock(m_lock);
        if (m_dirtyKeys.empty()) m_dirtyKeys.swap(keys);
    };
    if (m_ownCount == 0 || keys.empty()) {
        giveBack();
        return;
    }
    if (keys.size() > 1) {
        std::sort(keys.begin(), keys.end(), [](const TNameKey& a, const TNameKey& b) {
            return a.hash != b.hash ? a.hash < b.hash : a.key < b.key;
        });
        keys.erase(std::unique(keys.begin(), keys.end(),
                               [](const TNameKey& a, const TNameKey& b) { return a.hash == b.hash && a.key == b.key; }),
                   keys.end());
    }
    QVarLengthArray<TNamespaceOwnItem*, 8> touched;
    for (const TNameKey& key : keys) {
        TNameGroup group;
        NameGroup(key, group);
        if (group.empty()) continue;
        const qsizetype before = touched.size();
        for (TNamespaceItem* item : group)
            if (!item->AsCover()) touched.push_back(static_cast<TNamespaceOwnItem*>(item));
        if (touched.size() == before) continue;
        for (qsizetype i = before; i < touched.size(); ++i)
            touched[i]->m_pendingState =
                uint8_t((touched[i]->m_state & ~(nsDuplicate | nsHidesOverridable)) | nsChecked);
        for (qsizetype i = before; i < touched.size(); ++i) {
            TNamespaceOwnItem* item = touched[i];
            if (!item->NeedsUniqueName() || !item->IsEnabled() || (item->GetItemFlags() & nifOverridable) ||
                (item->m_pendingState & (nsDuplicate | nsHidesOverridable)))
                continue;
            for (TNamespaceItem* other : group) {
                if (other == item || !other->IsEnabled() || !other->NeedsUniqueName()) continue;
                TNamespaceCoverItem* cover = other->AsCover();
                if (cover && cover->GetOriginal() == item) continue;  // its own name seen again
                const bool overridable = other->GetItemFlags() & nifOverridable;
                if (!cover && !overridable) {
                    item->m_pendingState = uint8_t((item->m_pendingState | nsDuplicate) & ~nsChecked);
                    other->m_pendingState = uint8_t((other->m_pendingState | nsDuplicate) & ~nsChecked);
                } else {
                    item->m_pendingState =
                        uint8_t((item->m_pendingState | (overridable ? nsHidesOverridable : nsDuplicate)) & ~nsChecked);
                }
                break;
            }
        }
    }
    giveBack();
    if (touched.size() > 1)
        std::sort(touched.begin(), touched.end(),
                  [](TNamespaceOwnItem* a, TNamespaceOwnItem* b) { return a->m_sequence < b->m_sequence; });
    for (TNamespaceOwnItem* item : touched) {
        if (item->m_pendingState == item->m_state) continue;
        item->m_state = item->m_pendingState;
        item->StateChanged();
    }
}

void TNamespace::BeforeDestruction() {
    if (!m_freeing) {
        m_freeing = true;
        m_dirtyKeys.clear();
        m_fullCheckPending = false;
        while (!m_connections.empty()) m_connections.back()->SetOwner(nullptr);
        for (;;) {
            TNamespaceConnection* connection = nullptr;
            {
                std::lock_guard lock(m_lock);
                if (m_incoming.empty()) break;
                connection = m_incoming.back();
            }
            connection->SetTarget(nullptr);
        }
        while (m_lastOwn) m_lastOwn->Unregister();
        Broadcast(nnNamespaceFreed, 0, 0);
    }
    TElement::BeforeDestruction();
}

// ---------------------------------------------------------------------------
// TNamespaceConnection

T_ELEMENT_CLASS_IMPL(TNamespaceConnection, TElement)

TNamespaceConnection::~TNamespaceConnection() {
    // Normally empty: BeforeDestruction let everything go.
    for (const auto& cover : m_covers) Unchain(cover.get());
}

// The covers of an item are found from the item itself: the chain is short
// (one cover per connection that shows it) and lies next to data the caller
// already touches, where an index by item would cost a cache miss per look-up.
TNamespaceCoverItem* TNamespaceConnection::FindCover(TNamespaceItem* wrapped) const {
    TMaybeLock lock(wrapped->ReferenceLock());
    for (TNamespaceCoverItem* cover = wrapped->m_firstCover; cover; cover = cover->m_nextCover)
        if (cover->m_connection == this) return cover;
    return nullptr;
}

void TNamespaceConnection::Chain(TNamespaceCoverItem* cover) {
    TNamespaceItem* wrapped = cover->m_wrapped;
    TMaybeLock lock(wrapped->ReferenceLock());
    cover->m_nextCover = wrapped->m_firstCover;
    wrapped->m_firstCover = cover;
}

void TNamespaceConnection::Unchain(TNamespaceCoverItem* cover) {
    TNamespaceItem* wrapped = cover->m_wrapped;
    TMaybeLock lock(wrapped->ReferenceLock());
    for (TNamespaceCoverItem** link = &wrapped->m_firstCover; *link; link = &(*link)->m_nextCover)
        if (*link == cover) {
            *link = cover->m_nextCover;
            break;
        }
    cover->m_nextCover = nullptr;
}

int TNamespaceConnection::ReferenceCount() {
    std::lock_guard lock(m_lock);
    return m_referenceCount;
}

std::vector<TNamespaceCoverItem*> TNamespaceConnection::Covers() const {
    std::vector<TNamespaceCoverItem*> covers;
    covers.reserve(m_covers.size());
    for (const auto& cover : m_covers) covers.push_back(cover.get());
    return covers;
}

bool TNamespaceConnection::AcceptsItem(TNamespaceItem* item) {
    return !((m_filter & ncfPublicOnly) && item->GetVisibility() == 1);
}

bool TNamespaceConnection::Refuses(TNamespaceItem* item) {
    TNamespaceItem* original = item->GetOriginal();
    if (m_owner && original->GetNamespace() == m_owner) return true;
    // Only an item whose original one of the covers shows may have come
    // through here: then the chain of covers tells.
    return m_originals.contains(original) && item->IsThroughConnection(this);
}

void TNamespaceConnection::Place(std::set<TCoverPtr, CoverOrder>::iterator it) {
    constexpr uint64_t kStep = uint64_t(1) << 32;
    const uint64_t low = it == m_covers.begin() ? 0 : (*std::prev(it))->m_place;
    const auto next = std::next(it);
    const uint64_t high = next == m_covers.end() ? UINT64_MAX : (*next)->m_place;
    if (high - low >= 2) {
        // At either end a step away from the neighbour, so that covers that
        // come in order leave room for those that come between.
        if (next == m_covers.end() && it != m_covers.begin() && high - low > kStep)
            (*it)->m_place = low + kStep;
        else if (it == m_covers.begin() && next != m_covers.end() && high > kStep)
            (*it)->m_place = high - kStep;
        else
            (*it)->m_place = low + (high - low) / 2;
        return;
    }
    const uint64_t spacing = UINT64_MAX / (uint64_t(m_covers.size()) + 1);
    uint64_t place = 0;
    for (const auto& cover : m_covers) cover->m_place = place += spacing;
}

void TNamespaceConnection::MakeCover(TNamespaceItem* item) {
    // Covers mostly come in the target's order: tried at the end first.
    auto it = m_covers.insert(m_covers.end(), TCoverPtr(new TNamespaceCoverItem(this, item)));
    Place(it);
    TNamespaceCoverItem* cover = it->get();
    ++m_originals[cover->m_original];
    Chain(cover);
    if (m_owner) m_owner->Announce(nnItemAdded, cover);
}

void TNamespaceConnection::FreeCover(TNamespaceCoverItem* cover) {
    auto it = m_covers.find(cover);
    TCoverPtr owned = std::move(m_covers.extract(it).value());
    if (auto count = m_originals.find(cover->m_original); --*count == 0) m_originals.erase(count);
    Unchain(cover);
    if (m_owner) m_owner->Announce(nnItemRemoved, cover);
    cover->DetachReferences();
}

void TNamespaceConnection::FreeCovers() {
    if (m_covers.empty()) return;
    InUpdate(Scheme(), [this] {
        while (!m_covers.empty()) FreeCover(std::prev(m_covers.end())->get());
    });
}

// Everything the target sees, in its order: its own items, then the covers
// of its own connections.
void TNamespaceConnection::BuildCovers() {
    TNamespace* target = m_target;
    if (!target) return;
    std::vector<TNamespaceItem*> items;
    {
        std::lock_guard lock(target->m_lock);
        items.reserve(size_t(target->m_ownCount));
        for (TNamespaceOwnItem* item = target->m_firstOwn; item; item = item->NextOwn()) items.push_back(item);
        for (TNamespaceConnection* connection : target->m_connections)
            for (const auto& cover : connection->m_covers) items.push_back(cover.get());
    }
    InUpdate(Scheme(), [&] {
        for (TNamespaceItem* item : items)
            if (m_target == target && !FindCover(item) && Shows(item)) MakeCover(item);
    });
}

void TNamespaceConnection::Link(TNamespace* target) {
    TScheme* mine = Scheme();
    TScheme* theirs = target->Scheme();
    if (!mine || !theirs || mine == theirs) return;
    theirs->AddLink(mine);
    m_linkedScheme = theirs;
}

void TNamespaceConnection::Unlink(TNamespace*) {
    if (!m_linkedScheme) return;
    m_linkedScheme->RemoveLink(Scheme());
    m_linkedScheme = nullptr;
}

void TNamespaceConnection::SetTarget(TNamespace* target) {
    if (target == m_target) return;
    const THandler handler = MakeHandler<&TNamespaceConnection::OnTargetNotify>(this);
    InUpdate(Scheme(), [&] {
        if (TNamespace* old = m_target) {
            FreeCovers();
            {
                std::lock_guard lock(old->m_lock);
                old->RemoveHandler(handler);
                EraseFrom(old->m_incoming, this);
            }
            Unlink(old);
            m_target = nullptr;
        }
        if (!target || target->m_freeing || IsBeingDestroyed()) return;
        m_target = target;
        {
            std::lock_guard lock(target->m_lock);
            target->AddHandler(handler);
            target->m_incoming.push_back(this);
        }
        Link(target);
        if (m_autoFill) BuildCovers();
    });
}

void TNamespaceConnection::SetOwner(TNamespace* owner) {
    if (owner == m_owner) return;
    InUpdate(Scheme(), [&] {
        if (TNamespace* old = m_owner) {
            for (TNamespaceCoverItem* cover : Covers()) old->Announce(nnItemRemoved, cover);
            EraseFrom(old->m_connections, this);
            m_owner = nullptr;
        }
        if (!owner || owner->m_freeing) return;
        m_owner = owner;
        m_ownerSequence = NextSequence();
        owner->m_connections.push_back(this);
        for (TNamespaceCoverItem* cover : Covers()) owner->Announce(nnItemAdded, cover);
    });
}

void TNamespaceConnection::SetFilter(uint8_t filter) {
    if (filter == m_filter) return;
    m_filter = filter;
    InUpdate(Scheme(), [this] {
        FreeCovers();
        if (m_autoFill && m_target) BuildCovers();
    });
}

void TNamespaceConnection::SetPrefix(const QString& prefix) {
    if (prefix == m_prefix) return;
    m_prefix = prefix;
    if (!m_owner) return;
    InUpdate(Scheme(), [this] {
        for (TNamespaceCoverItem* cover : Covers())
            if (m_owner) m_owner->Announce(nnRenamed, cover);
    });
}

void TNamespaceConnection::NumberChanged(int32_t oldNumber) {
    TElement::NumberChanged(oldNumber);
    if (!m_owner) return;
    for (TNamespaceCoverItem* cover : Covers()) {
        const QString former = QString::number(oldNumber) + QLatin1Char('.') + cover->Wrapped()->GetPath();
        if (m_owner) m_owner->Announce(nnPathChanged, cover, intptr_t(&former));
    }
}

void TNamespaceConnection::BeforeDestruction() {
    SetTarget(nullptr);
    SetOwner(nullptr);
    TElement::BeforeDestruction();
}

void TNamespaceConnection::OnTargetNotify(TItfObject* sender, int code, intptr_t p1, intptr_t p2) {
    if (sender != m_target) return;
    if (code == nnNamespaceFreed) {
        SetTarget(nullptr);
        return;
    }
    if (!m_autoFill) return;
    auto* item = reinterpret_cast<TNamespaceItem*>(p1);
    if (!item) return;
    TNamespaceCoverItem* cover = FindCover(item);
    switch (code) {
    case nnItemAdded:
        if (!cover && Shows(item)) MakeCover(item);
        break;
    case nnPathChanged:
        if (cover && m_owner) {
            const QString former =
                QString::number(Number()) + QLatin1Char('.') + *reinterpret_cast<const QString*>(p2);
            m_owner->Announce(nnPathChanged, cover, intptr_t(&former));
        }
        break;
    case nnItemChanged: {
        const bool shows = Shows(item);
        if (shows && cover) {
            if (m_owner) m_owner->Announce(nnItemChanged, cover);
        } else if (cover) {
            FreeCover(cover);
        } else if (shows) {
            MakeCover(item);
        }
        break;
    }
    case nnRenamed:
        // Also when a prefix on the way down changed.
        if (cover) cover->TakeNameSource();
        [[fallthrough]];
    case nnImageChanged:
    case nnReserved:
    case nnEnabledChanged:
    case nnTitleChanged:
        if (cover && m_owner) m_owner->Announce(code, cover);
        break;
    case nnItemRemoved:
        if (cover) FreeCover(cover);
        break;
    default: break;
    }
}

// ---------------------------------------------------------------------------
// TNamedNamespaceConnection

T_ELEMENT_CLASS_IMPL(TNamedNamespaceConnection, TNamespaceConnection)

void TNamedNamespaceConnection::ReferenceAdded(TReference* reference) {
    if (TNamespaceItem* item = GetNameItem()) item->AddReference(reference);
}

void TNamedNamespaceConnection::ReferenceRemoved(TReference* reference) {
    if (TNamespaceItem* item = GetNameItem()) item->RemoveReference(reference);
}

// ---------------------------------------------------------------------------
// Order of items

bool NamespaceItemPrecedes(TNamespaceItem* a, TNamespaceItem* b) {
    const bool lastA = a->GetItemFlags() & nifListedLast;
    const bool lastB = b->GetItemFlags() & nifListedLast;
    if (lastA != lastB) return lastB;
    TNamespaceCoverItem* ca = a->AsCover();
    TNamespaceCoverItem* cb = b->AsCover();
    if (ca && cb && ca->Connection() == cb->Connection()) return NamespaceItemPrecedes(ca->Wrapped(), cb->Wrapped());
    TNode* placeA = ca ? static_cast<TNode*>(ca->Connection()) : a->GetElement();
    TNode* placeB = cb ? static_cast<TNode*>(cb->Connection()) : b->GetElement();
    if (!placeA || !placeB || placeA == placeB) return false;
    return TNode::IsBefore(placeA, placeB);
}

// ---------------------------------------------------------------------------
// Unique default names

QString InsertWordUnderscores(const QString& name) {
    QString s = name;
    for (qsizetype i = s.size() - 1; i >= 1; --i) {
        if (!s[i].isUpper()) continue;
        const QChar before = s[i - 1];
        bool insert;
        if (before == QLatin1Char('_'))
            insert = false;
        else if (!before.isUpper())
            insert = true;
        else
            insert = i + 1 < s.size() && !s[i + 1].isUpper() && s[i + 1] != QLatin1Char('_');
        if (insert) s.insert(i, QLatin1Char('_'));
    }
    return s;
}

QString MakeUniqueName(const QString& base, TNamingMode mode, bool numberFirst,
                       const std::function<bool(const QString&)>& isTaken, int digits, bool underscore) {
    QString name = underscore ? InsertWordUnderscores(base) : base;
    switch (mode) {
    case TNamingMode::Upper: name = name.toUpper(); break;
    case TNamingMode::Lower: name = name.toLower(); break;
    case TNamingMode::Extra:
        if (!name.isEmpty() && !(name.size() >= 2 && name[1].isUpper())) name[0] = name[0].toLower();
        break;
    case TNamingMode::AsIs: break;
    }
    const bool separate = underscore && !name.isEmpty() && !name.endsWith(QLatin1Char('_'));
    for (int counter = 1; counter < INT_MAX; ++counter) {
        QString candidate = name;
        if (counter >= 2 || numberFirst) {
            if (separate) candidate += QLatin1Char('_');
            candidate += QString::number(counter).rightJustified(std::max(digits, 1), QLatin1Char('0'));
        }
        if (!isTaken(candidate)) return candidate;
    }
    return {};
}

QString MakeUniqueName(const QString& base, TNamingMode mode, bool numberFirst, const QStringList& names,
                       int digits, bool underscore) {
    QSet<QString> taken;
    taken.reserve(names.size());
    for (const QString& n : names) taken.insert(n.toCaseFolded());
    return MakeUniqueName(
        base, mode, numberFirst, [&taken](const QString& c) { return taken.contains(c.toCaseFolded()); }, digits,
        underscore);
}

// ---------------------------------------------------------------------------
// TNamingSettings

T_CLASS_IMPL(TNamingSettings, TProperty)

TNodePtr<TNamingSettings> TNamingSettings::CreateRoot() {
    TNodePtr<TNamingSettings> settings = TProperty::CreateRoot<TNamingSettings>(QStringLiteral("Naming"));
    settings->AddLeaves();
    return settings;
}

TNamingSettings* TNamingSettings::CreateIn(TProperty* parent) {
    auto* settings = TProperty::Create<TNamingSettings>(parent, QStringLiteral("Naming"));
    settings->AddLeaves();
    return settings;
}

void TNamingSettings::AddLeaves() {
    m_fillEnabled = TProperty::Create<TBooleanProperty>(this, QStringLiteral("FillEnabled"), true);
    m_fillMode = TProperty::Create<TEnumProperty>(
        this, QStringLiteral("FillMode"),
        QStringList{QString(), QStringLiteral("Upper"), QStringLiteral("Lower"), QStringLiteral("Extra")});
    m_fillNumberFirst = TProperty::Create<TBooleanProperty>(this, QStringLiteral("FillNumberFirst"), true);
    m_fillUnderscore = TProperty::Create<TBooleanProperty>(this, QStringLiteral("FillUnderscore"), false);
    m_fillDigits = TProperty::Create<TIntegerProperty>(this, QStringLiteral("FillDigits"), 1, 1, 12);
}

QString TNamingSettings::MakeUniqueName(const QString& base, bool useNumberFirst,
                                        const std::function<bool(const QString&)>& isTaken) const {
    return ::MakeUniqueName(base, TNamingMode(m_fillMode->Value()), m_fillNumberFirst->Value() && useNumberFirst,
                            isTaken, m_fillDigits->Value(), m_fillUnderscore->Value());
}

QString TNamingSettings::MakeUniqueName(const QString& base, bool useNumberFirst, const QStringList& names) const {
    return ::MakeUniqueName(base, TNamingMode(m_fillMode->Value()), m_fillNumberFirst->Value() && useNumberFirst,
                            names, m_fillDigits->Value(), m_fillUnderscore->Value());
}

// ---------------------------------------------------------------------------
// The unit

namespace {
TNodePtr<TNamingSettings> g_namingSettings;
}  // namespace

TNamingSettings* NamingSettings() noexcept { return g_namingSettings.get(); }

void InitNamingUnit() { g_namingSettings = TNamingSettings::CreateRoot(); }

void FinalNamingUnit() { g_namingSettings.reset(); }
