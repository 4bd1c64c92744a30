#include "scheme/diNaming.h"

#include <QHash>

#include <algorithm>
#include <atomic>
#include <climits>
#include <deque>

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

// Work over many covers or items one after another loads what it reads of
// one this many steps ahead, and what it reads through that (the item whose
// name a cover shows, the first cover of an item) half as many ahead, so that
// a list longer than the caches hold does not wait for memory at each step.
constexpr size_t kLoadAhead = 8;
// How much of an item whose class is not known is loaded: the base and the
// first members of the class that declares it.
constexpr size_t kItemBytesLoaded = 192;

void PrefetchBytes(const void* object, size_t bytes) noexcept {
    const char* at = static_cast<const char*>(object);
    for (size_t offset = 0; offset < bytes; offset += 64) __builtin_prefetch(at + offset);
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

// MixHash is bijective: covers under one hash wrap one item, originals under
// one hash are one item.
uint64_t ItemHash(const TNamespaceItem* item) noexcept { return MixHash(uint64_t(uintptr_t(item))); }

bool Accepts(const TNamespace::TFilter& filter, TNamespace* ns, TNamespaceItem* item) {
    if (!filter) return true;
    bool accept = true;
    filter(ns, item, accept);
    return accept;
}

}  // namespace

// ---------------------------------------------------------------------------
// TNamespaceNotices: what connections announce while they work through a
// change waits in one queue per thread and is delivered in the order it was
// announced, when the outermost batch ends (a batch is a TUpdateScope of the
// queue) or when an own item's announcement, or a connection or namespace
// that goes, flushes it. So a change that reaches many covers through
// several connections is worked off connection by connection, each taking
// all it is sent before the next, rather than item by item down every
// connection in turn. A cover that goes lets go of its references when its
// turn comes and is freed when the outermost batch ends, so that notices
// still waiting may name it.

class TNamespaceNotices {
public:
    using TBatch = TUpdateScope<TNamespaceNotices>;

    static TNamespaceNotices& OfThisThread() noexcept;
    bool IsOpen() const noexcept { return m_depth > 0; }
    // Whether covers wait to go.
    bool IsRetiring() const noexcept { return m_retiring > 0; }
    void Defer(TNamespace* ns, int code, TNamespaceItem* item, intptr_t argument);
    // Inside a batch: the cover lets go of its references once the notices
    // before it are delivered, and is freed when the outermost batch ends.
    void Retire(std::unique_ptr<TNamespaceCoverItem> cover);
    // Delivers every notice waiting, those that come meanwhile included.
    void Flush();
    void ReleaseRetired() noexcept;

    // The bracket of TUpdateScope.
    void BeginUpdate() noexcept { ++m_depth; }
    void EndUpdate();
    void LeaveUpdate() noexcept;

private:
    struct TNotice {
        TNamespace* ns;  // nil: the item is a cover to retire
        int code;
        TNamespaceItem* item;
    };
    // Only covers' notices wait.
    static const TNamespaceCoverItem* AsCoverOf(const TNotice& notice) noexcept {
        return static_cast<const TNamespaceCoverItem*>(notice.item);
    }

    static constexpr size_t kDeliveredKept = 1024;

    std::vector<TNotice> m_waiting;
    size_t m_next = 0;
    // The former paths of the nnPathChanged notices waiting, in their order.
    std::deque<QString> m_formerPaths;
    std::vector<std::unique_ptr<TNamespaceCoverItem>> m_retired;
    size_t m_retiring = 0;
    int m_depth = 0;
};

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
    // References leave in the reverse order of joining (undo, a cut) or in
    // the order of joining (a scheme freed from its first element on): the
    // list is searched from both ends at once, so either order costs little.
    auto& list = *m_references;
    auto found = list.end();
    for (size_t front = 0, back = list.size(); front < back;) {
        if (list[--back] == reference) {
            found = list.begin() + ptrdiff_t(back);
            break;
        }
        if (front < back && list[front] == reference) {
            found = list.begin() + ptrdiff_t(front);
            break;
        }
        ++front;
    }
    if (found == list.end()) return false;
    list.erase(found);
    if (list.empty()) m_references.reset();
    return true;
}

void TNamespaceItem::DetachReferences() {
    for (;;) {
        TReference* reference = nullptr;
        {
            TMaybeLock lock(ReferenceLock());
            if (!m_references) return;
            reference = m_references->back();
            if (reference->Target() != this) {
                // Passed down from a cover whose connection did not let it go:
                // let go of it here and below, or the items this one wraps
                // would keep it after it is freed.
                RemoveReference(reference);
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
// TNamespaceNotices

TNamespaceNotices& TNamespaceNotices::OfThisThread() noexcept {
    thread_local TNamespaceNotices notices;
    return notices;
}

void TNamespaceNotices::Defer(TNamespace* ns, int code, TNamespaceItem* item, intptr_t argument) {
    if (code == nnPathChanged) m_formerPaths.push_back(*reinterpret_cast<const QString*>(argument));
    m_waiting.push_back(TNotice{ns, code, item});
}

void TNamespaceNotices::Retire(std::unique_ptr<TNamespaceCoverItem> cover) {
    cover->m_retired = true;
    ++m_retiring;
    m_waiting.push_back(TNotice{nullptr, 0, cover.get()});
    m_retired.push_back(std::move(cover));
}

void TNamespaceNotices::Flush() {
    // A notice's listeners may flush too: they go on from the same place.
    while (m_next < m_waiting.size()) {
        // The queue keeps no more delivered notices than waiting ones, so that
        // it stays as small as the change's front rather than its whole.
        if (m_next >= kDeliveredKept && m_next * 2 >= m_waiting.size()) {
            m_waiting.erase(m_waiting.begin(), m_waiting.begin() + ptrdiff_t(m_next));
            m_next = 0;
        }
        // What delivering reads first, loaded some notices ahead: the cover
        // and (for notices nearer) the first cover that shows it, which its
        // connection works on, and the item whose name it shows.
        if (m_next + kLoadAhead < m_waiting.size()) PrefetchLines(AsCoverOf(m_waiting[m_next + kLoadAhead]));
        if (m_next + kLoadAhead / 2 < m_waiting.size()) {
            const TNamespaceCoverItem* ahead = AsCoverOf(m_waiting[m_next + kLoadAhead / 2]);
            if (ahead->m_firstCover) PrefetchLines(ahead->m_firstCover);
            PrefetchBytes(ahead->m_nameSource, kItemBytesLoaded);
        }
        const TNotice notice = m_waiting[m_next++];
        if (!notice.ns) {
            --m_retiring;
            notice.item->DetachReferences();
        } else if (notice.code == nnPathChanged) {
            const QString former = std::move(m_formerPaths.front());
            m_formerPaths.pop_front();
            notice.ns->Deliver(notice.code, notice.item, intptr_t(&former));
        } else {
            notice.ns->Deliver(notice.code, notice.item, 0);
        }
    }
    m_waiting.clear();
    m_next = 0;
}

void TNamespaceNotices::ReleaseRetired() noexcept {
    for (size_t i = 0; i < m_retired.size(); ++i) {
        if (i + kLoadAhead < m_retired.size()) PrefetchLines(m_retired[i + kLoadAhead].get());
        m_retired[i].reset();
    }
    m_retired.clear();
}

void TNamespaceNotices::EndUpdate() {
    if (m_depth > 1) {
        --m_depth;
        return;
    }
    try {
        Flush();
    } catch (...) {
        LeaveUpdate();
        throw;
    }
    ReleaseRetired();
    m_depth = 0;
}

void TNamespaceNotices::LeaveUpdate() noexcept {
    if (m_depth > 1) {
        --m_depth;
        return;
    }
    // Ending by an exception: the rest is still delivered (the covers
    // waiting to go must not stay behind), and what it raises is logged.
    while (m_next < m_waiting.size()) {
        try {
            Flush();
        } catch (...) {
            LogCurrentException("namespace notice");
        }
    }
    m_waiting.clear();
    m_next = 0;
    m_formerPaths.clear();
    m_retiring = 0;
    ReleaseRetired();
    m_depth = 0;
}

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
    if (m_ownListeners.empty()) return;
    // Every message but the last carries the item it is about.
    if (auto* item = reinterpret_cast<TNamespaceItem*>(p1))
        if (const TNamespaceCoverItem* cover = item->AsCover(); cover && cover->Connection()->IsScopeLink()) return;
    // Last joined first, as the listeners; one that leaves meanwhile is passed over.
    for (size_t i = m_ownListeners.size(); i-- > 0;)
        if (i < m_ownListeners.size()) m_ownListeners[i]->OnTargetNotify(this, msg, p1, p2);
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
    TNamespaceNotices& notices = TNamespaceNotices::OfThisThread();
    if (notices.IsOpen()) {
        if (item->m_isCover) {
            notices.Defer(this, code, item, argument);
            return;
        }
        Deliver(code, item, argument);
        notices.Flush();
        return;
    }
    TNamespaceNotices::TBatch batch(&notices);
    Deliver(code, item, argument);
    batch.End();
}

void TNamespace::Deliver(int code, TNamespaceItem* item, intptr_t argument) {
    Broadcast(code, intptr_t(item), argument);
    DeliverToLazy(code, item, argument);
    if (code == nnItemAdded || code == nnEnabledChanged || code == nnRenamed || code == nnItemRemoved)
        RequestDuplicateCheck();
}

void TNamespace::DeliverToLazy(int code, TNamespaceItem* item, intptr_t argument) {
    if (!item || code < nnItemAdded || code > nnItemRemoved) return;
    const bool byName = code == nnItemAdded || code == nnItemChanged || code == nnEnabledChanged || code == nnRenamed;
    QVarLengthArray<TNamespaceConnection*, 8> lazy;
    const uint64_t itemHash = ItemHash(item);
    // Each connection once: one filed under both is taken with the item's.
    {
        std::lock_guard lock(m_lock);
        if (!m_lazyFiling) return;
        const TLazyFiling& filing = *m_lazyFiling;
        filing.byItem.ForEach(itemHash, [&lazy](TNamespaceConnection* c) { lazy.push_back(c); });
        if (byName && item->m_indexedIn == this)
            filing.byName.ForEach(item->m_nameHash, [&](TNamespaceConnection* c) {
                if (!filing.byItem.Contains(itemHash, c)) lazy.push_back(c);
            });
    }
    // One that an earlier one's reaction let go of is passed over (the
    // filing, once made, stays while the namespace lives).
    auto filed = [&](TNamespaceConnection* c) {
        std::lock_guard lock(m_lock);
        const TLazyFiling& filing = *m_lazyFiling;
        return filing.byItem.Contains(itemHash, c) ||
               (byName && item->m_indexedIn == this && filing.byName.Contains(item->m_nameHash, c));
    };
    for (TNamespaceConnection* c : lazy)
        if (filed(c)) c->OnTargetNotify(this, code, intptr_t(item), argument);
}

void TNamespace::Want(uint64_t hash) {
    // Up a chain of lazy connections without recursion: scopes nest deep.
    std::vector<TNamespace*> pending{this};
    while (!pending.empty()) {
        TNamespace* ns = pending.back();
        pending.pop_back();
        std::lock_guard lock(ns->m_lock);
        if (!ns->AddWanted(hash)) continue;
        for (TNamespaceConnection* connection : ns->m_lazyConnections) {
            if (!connection->m_listening) continue;
            TNamespace* target = connection->m_target;
            {
                std::lock_guard targetLock(target->m_lock);
                target->LazyFiling().byName.Insert(hash, connection);
            }
            pending.push_back(target);
        }
    }
}

void TNamespace::WantName(const QString& name) { Want(TNameKey(name).hash); }

void TNamespace::AddLazyConnection(TNamespaceConnection* connection) {
    // The own names are wanted only while lazy connections can carry the
    // wish: the first one takes those registered so far.
    if (m_lazyConnections.empty()) {
        std::lock_guard lock(m_lock);
        for (TNamespaceOwnItem* own = m_firstOwn; own; own = own->m_next)
            if (own->m_indexedIn == this) AddWanted(own->m_nameHash);
    }
    m_lazyConnections.push_back(connection);
}

void TNamespace::ShowLazyNames(uint64_t hash) {
    for (size_t i = 0; i < m_lazyConnections.size(); ++i) m_lazyConnections[i]->ShowHashed(hash, false);
}

void TNamespace::ShowEverything(TNamespaceConnection* viewer) {
    if (!viewer) m_viewedWhole = true;
    std::vector<TNamespaceConnection*> lazy;
    for (TNamespaceConnection* connection : m_lazyConnections)
        if (!viewer || viewer->SeesThrough(connection)) lazy.push_back(connection);
    for (TNamespaceConnection* connection : lazy) connection->MakeEager();
}

bool TNamespace::ViewedWhole(const TNamespaceConnection* connection) {
    if (m_viewedWhole) return true;
    std::lock_guard lock(m_lock);
    for (TNamespaceConnection* viewer : m_incoming)
        if (!viewer->m_lazy && viewer->m_autoFill && viewer->SeesThrough(connection)) return true;
    return false;
}

void TNamespace::NameGroup(const TNameKey& key, TNameGroup& group) {
    ShowLazyNames(key.hash);
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

namespace {
// Bits per own item in the filter of own names: few enough are set that a
// cover's name seldom falls on one.
constexpr size_t kOwnNameBitsPerItem = 16;
constexpr size_t kOwnNameWordsAtLeast = 8;
constexpr size_t kWordBits = 64;
}  // namespace

// The filter is made on the first question (only a namespace that shows
// covers asks) and kept from then on.
void TNamespace::FileOwnName(const TNamespaceItem* item) {
    if (item->m_isCover || m_ownNames.empty()) return;
    if (size_t(m_ownCount) * kOwnNameBitsPerItem > m_ownNames.size() * kWordBits)
        RefileOwnNames();
    else
        SetOwnNameBit(item->m_nameHash);
}

void TNamespace::UnfileOwnName(const TNamespaceItem* item) {
    if (item->m_isCover || m_ownNames.empty()) return;
    // The bit stays (another own name may share it) until the filter is made again.
    if (++m_ownNamesStale > size_t(m_ownCount) + kOwnNameWordsAtLeast * kWordBits / kOwnNameBitsPerItem)
        RefileOwnNames();
}

void TNamespace::RefileOwnNames() {
    size_t words = kOwnNameWordsAtLeast;
    while (words * kWordBits < size_t(m_ownCount) * kOwnNameBitsPerItem) words *= 2;
    m_ownNames.assign(words, 0);
    m_ownNamesStale = 0;
    for (TNamespaceOwnItem* own = m_firstOwn; own; own = own->m_next)
        if (own->m_indexedIn == this) SetOwnNameBit(own->m_nameHash);
}

void TNamespace::SetOwnNameBit(uint64_t hash) noexcept {
    const size_t bit = size_t(hash) & (m_ownNames.size() * kWordBits - 1);
    m_ownNames[bit / kWordBits] |= uint64_t(1) << (bit % kWordBits);
}

bool TNamespace::MayBeOwnName(uint64_t hash) {
    if (m_ownNames.empty()) RefileOwnNames();
    const size_t bit = size_t(hash) & (m_ownNames.size() * kWordBits - 1);
    return m_ownNames[bit / kWordBits] >> (bit % kWordBits) & 1;
}

void TNamespace::IndexAdd(TNamespaceItem* item, bool mark) {
    if (item->m_indexedIn) return;
    item->m_indexedIn = this;
    TNameKey key = TakeNameKey(item);
    item->m_nameKey = std::move(key.key);
    item->m_nameHash = key.hash;
    m_byName.Insert(item->m_nameHash, item);
    FileOwnName(item);
    if (!item->m_isCover && !m_lazyConnections.empty()) Want(item->m_nameHash);
    if (m_elementIndexed) {
        item->m_elementKey = item->GetElement();
        if (item->m_elementKey) InsertSeen(m_byElement[item->m_elementKey], item);
    }
    if (mark) MarkDirty(item);
}

void TNamespace::IndexRemove(TNamespaceItem* item) {
    if (item->m_indexedIn != this) return;
    m_byName.EraseHeld(item->m_nameHash, item);
    UnfileOwnName(item);
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
    UnfileOwnName(item);
    item->m_nameKey = std::move(key.key);
    item->m_nameHash = key.hash;
    m_byName.Insert(item->m_nameHash, item);
    FileOwnName(item);
    if (!item->m_isCover && !m_lazyConnections.empty()) Want(item->m_nameHash);
    MarkDirty(item);
}

void TNamespace::BuildElementIndex() {
    ShowEverything(nullptr);
    m_elementIndexed = true;
    auto add = [this](TNamespaceItem* item) {
        if (item->m_indexedIn != this) return;
        item->m_elementKey = item->GetElement();
        if (item->m_elementKey) InsertSeen(m_byElement[item->m_elementKey], item);
    };
    for (TNamespaceOwnItem* item = m_firstOwn; item; item = item->m_next) add(item);
    for (TNamespaceConnection* connection : m_connections) connection->m_covers.ForEach(add);
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
        return inner ? connection->CoverShown(inner) : nullptr;
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
    // A walk over everything: lazy connections show everything from now on.
    if (withConnections) ShowEverything(nullptr);
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
    ShowLazyNames(key.hash);
    return m_byName.Find(key.hash, [&](TNamespaceItem* item) { return item->m_nameKey == key.key; }) != nullptr;
}

QString TNamespace::GetUniqueName(const QString& base, bool useNumberFirst, const TNamingSettings& settings) {
    return settings.MakeUniqueName(base, useNumberFirst, [this](const QString& name) { return IsNameTaken(name); });
}

void TNamespace::MarkDirty(const TNamespaceItem* item) {
    // The check only ever changes own items; one that comes later marks its own name.
    if (m_freeing || m_ownCount == 0) return;
    if (item->m_isCover && !MayBeOwnName(item->m_nameHash)) return;
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
        TNamespaceNotices& notices = TNamespaceNotices::OfThisThread();
        TNamespaceNotices::TBatch batch(&notices);
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
        // Nothing addressed to the namespace may wait beyond it.
        notices.Flush();
        batch.End();
        Broadcast(nnNamespaceFreed, 0, 0);
    }
    TElement::BeforeDestruction();
}

// ---------------------------------------------------------------------------
// TCoverList

namespace {
// A cover added after the last one stands this far after it (or halfway to
// the end), so that covers that come in order leave room for those that
// come between.
constexpr uint64_t kPlaceStep = uint64_t(1) << 32;
// Holes are cleared away once they outnumber the covers by this many.
constexpr size_t kHolesTolerated = 16;
}  // namespace

TNamespaceCoverItem* TCoverList::Put(size_t slot, TCoverPtr cover) noexcept {
    cover->m_place = m_entries[slot].place;
    cover->m_slot = uint32_t(slot);
    m_entries[slot].cover = std::move(cover);
    ++m_live;
    return m_entries[slot].cover.get();
}

size_t TCoverList::SlotAfter(const TNamespaceItem* item) const {
    // Whether the cover at slot, or the last one before it, comes before item.
    auto before = [&](size_t slot) {
        for (size_t i = slot + 1; i-- > m_head;)
            if (const TNamespaceCoverItem* cover = m_entries[i].cover.get())
                return TNamespace::SeenBefore(cover->m_wrapped, item);
        return true;
    };
    size_t low = m_head, high = m_entries.size();
    while (low < high) {
        const size_t mid = low + (high - low) / 2;
        if (before(mid))
            low = mid + 1;
        else
            high = mid;
    }
    return low;
}

TNamespaceCoverItem* TCoverList::Add(TCoverPtr cover) {
    if (m_live == 0) {
        m_entries.clear();
        m_head = 0;
        m_entries.push_back(TEntry{uint64_t(1) << 63, nullptr});
        return Put(0, std::move(cover));
    }
    const TNamespaceCoverItem* last = m_entries.back().cover.get();
    if (TNamespace::SeenBefore(last->m_wrapped, cover->m_wrapped)) {
        const uint64_t low = m_entries.back().place;
        const uint64_t room = UINT64_MAX - low;
        if (room < 2) {
            Compact(true);
            return Add(std::move(cover));
        }
        m_entries.push_back(TEntry{room > kPlaceStep ? low + kPlaceStep : low + room / 2, nullptr});
        return Put(m_entries.size() - 1, std::move(cover));
    }
    const size_t slot = SlotAfter(cover->m_wrapped);
    // A hole just before keeps a place between the neighbours: the cover takes it.
    if (slot > 0 && !m_entries[slot - 1].cover) {
        if (slot - 1 < m_head) m_head = slot - 1;
        return Put(slot - 1, std::move(cover));
    }
    const uint64_t low = slot > 0 ? m_entries[slot - 1].place : 0;
    const uint64_t high = m_entries[slot].place;
    if (high - low < 2) {
        Compact(true);
        return Add(std::move(cover));
    }
    // Covers come in rising order at one spot (the new own items of a
    // namespace go before the covers it shows): a step up from the one
    // before keeps the room after it, where halving would use it up after
    // a few dozen and make every few dozen additions a compaction.
    uint64_t place = low + (high - low) / 2;
    if (slot == 0 && high > kPlaceStep)
        place = high - kPlaceStep;
    else if (high - low > 2 * kPlaceStep)
        place = low + kPlaceStep;
    m_entries.insert(m_entries.begin() + ptrdiff_t(slot), TEntry{place, nullptr});
    return Put(slot, std::move(cover));
}

size_t TCoverList::Find(const TNamespaceCoverItem* cover) const noexcept {
    if (cover->m_slot < m_entries.size() && m_entries[cover->m_slot].cover.get() == cover) return cover->m_slot;
    // Moved on by covers that came in between: found by its place.
    auto it = std::lower_bound(m_entries.begin() + ptrdiff_t(m_head), m_entries.end(), cover->m_place,
                               [](const TEntry& entry, uint64_t place) { return entry.place < place; });
    return size_t(it - m_entries.begin());
}

TCoverList::TCoverPtr TCoverList::Remove(TNamespaceCoverItem* cover) {
    const size_t slot = Find(cover);
    if (slot >= m_entries.size() || m_entries[slot].cover.get() != cover) return nullptr;
    TCoverPtr taken = std::move(m_entries[slot].cover);
    --m_live;
    if (m_live == 0) {
        m_entries.clear();
        m_head = 0;
        return taken;
    }
    while (!m_entries.back().cover) m_entries.pop_back();
    while (!m_entries[m_head].cover) ++m_head;
    if (m_entries.size() - m_live > m_live + kHolesTolerated) Compact(false);
    return taken;
}

void TCoverList::Compact(bool spread) {
    size_t to = 0;
    for (size_t from = m_head; from < m_entries.size(); ++from)
        if (m_entries[from].cover) m_entries[to++] = std::move(m_entries[from]);
    m_entries.resize(to);
    m_head = 0;
    const uint64_t spacing = UINT64_MAX / (uint64_t(m_live) + 1);
    for (size_t slot = 0; slot < m_entries.size(); ++slot) {
        if (spread) m_entries[slot].place = spacing * (slot + 1);
        TNamespaceCoverItem* cover = m_entries[slot].cover.get();
        cover->m_place = m_entries[slot].place;
        cover->m_slot = uint32_t(slot);
    }
}

// ---------------------------------------------------------------------------
// TNamespaceConnection

T_ELEMENT_CLASS_IMPL(TNamespaceConnection, TElement)

TNamespaceConnection::~TNamespaceConnection() {
    // Normally empty: BeforeDestruction let everything go.
    while (TNamespaceCoverItem* cover = m_covers.Last()) {
        const TCoverList::TCoverPtr owned = m_covers.Remove(cover);
        Unchain(cover);
    }
}

namespace {
// How many of an item's covers are walked before its connection's index is asked.
constexpr int kCoversWalked = 4;
}  // namespace

TNamespaceCoverItem* TNamespaceConnection::FindCover(TNamespaceItem* wrapped) const {
    {
        TMaybeLock lock(wrapped->ReferenceLock());
        TNamespaceCoverItem* cover = wrapped->m_firstCover;
        for (int walked = 0; cover && walked < kCoversWalked; cover = cover->m_nextCover, ++walked)
            if (cover->m_connection == this) return cover;
        if (!cover) return nullptr;
    }
    return m_byWrapped.Find(ItemHash(wrapped), [](const TNamespaceCoverItem*) { return true; });
}

// A cover goes among the first few of its item when there is room (a cover
// never moves further on: those after it come later), else after them, filed
// in its connection's index.
void TNamespaceConnection::Chain(TNamespaceCoverItem* cover) {
    TNamespaceItem* wrapped = cover->m_wrapped;
    TMaybeLock lock(wrapped->ReferenceLock());
    TNamespaceCoverItem** link = &wrapped->m_firstCover;
    int walked = 0;
    for (; *link && walked < kCoversWalked; ++walked) link = &(*link)->m_nextCover;
    cover->m_nextCover = *link;
    if (cover->m_nextCover) cover->m_nextCover->m_coverLink = &cover->m_nextCover;
    cover->m_coverLink = link;
    *link = cover;
    cover->m_indexed = walked == kCoversWalked;
    if (cover->m_indexed) cover->m_connection->m_byWrapped.Insert(ItemHash(wrapped), cover);
}

void TNamespaceConnection::Unchain(TNamespaceCoverItem* cover) {
    // Covers of other threads' connections beside it rewrite its link.
    TMaybeLock lock(cover->m_wrapped->ReferenceLock());
    if (!cover->m_coverLink) return;
    *cover->m_coverLink = cover->m_nextCover;
    if (cover->m_nextCover) cover->m_nextCover->m_coverLink = cover->m_coverLink;
    cover->m_nextCover = nullptr;
    cover->m_coverLink = nullptr;
    if (cover->m_indexed) cover->m_connection->m_byWrapped.EraseHeld(ItemHash(cover->m_wrapped), cover);
    cover->m_indexed = false;
}

int TNamespaceConnection::ReferenceCount() {
    std::lock_guard lock(m_lock);
    return m_referenceCount;
}

std::vector<TNamespaceCoverItem*> TNamespaceConnection::Covers() const {
    std::vector<TNamespaceCoverItem*> covers;
    covers.reserve(m_covers.Count());
    m_covers.ForEach([&](TNamespaceCoverItem* cover) { covers.push_back(cover); });
    return covers;
}

bool TNamespaceConnection::AcceptsItem(TNamespaceItem* item) {
    return !((m_filter & ncfPublicOnly) && item->GetVisibility() == 1);
}

bool TNamespaceConnection::ShowsOriginal(TNamespaceItem* original) const {
    return m_originals.Find(ItemHash(original), [original](TNamespaceItem* o) { return o == original; });
}

bool TNamespaceConnection::Refuses(TNamespaceItem* item) {
    TNamespaceItem* original = item->GetOriginal();
    if (m_owner && original->GetNamespace() == m_owner) return true;
    // Covers that go tell those that show them only when their notices come:
    // until then what comes through them must not spread further.
    if (TNamespaceNotices::OfThisThread().IsRetiring())
        for (TNamespaceCoverItem* cover = item->AsCover(); cover; cover = cover->m_wrapped->AsCover())
            if (cover->m_retired) return true;
    // Only an item whose original one of the covers shows may have come
    // through here: then the chain of covers tells.
    return ShowsOriginal(original) && item->IsThroughConnection(this);
}

void TNamespaceConnection::MakeCover(TNamespaceItem* item, bool announce) {
    TNamespaceCoverItem* cover = m_covers.Add(TCoverList::TCoverPtr(new TNamespaceCoverItem(this, item)));
    m_originals.Insert(ItemHash(cover->m_original), cover->m_original);
    Chain(cover);
    if (m_lazy) {
        std::lock_guard lock(m_target->m_lock);
        m_target->LazyFiling().byItem.Insert(ItemHash(item), this);
    }
    if (!m_owner) return;
    if (announce) {
        cover->m_announced = true;
        m_owner->Announce(nnItemAdded, cover);
        return;
    }
    std::lock_guard lock(m_owner->m_lock);
    m_owner->IndexAdd(cover, false);
}

TNamespaceCoverItem* TNamespaceConnection::CoverShown(TNamespaceItem* item) {
    if (TNamespaceCoverItem* cover = FindCover(item)) return cover;
    if (!m_lazy || !m_autoFill || !m_target || item->GetNamespace() != m_target) return nullptr;
    if (TNamespaceCoverItem* inner = item->AsCover(); inner && !SeesThrough(inner->Connection())) return nullptr;
    if (!Shows(item)) return nullptr;
    MakeCover(item, false);
    return FindCover(item);
}

void TNamespaceConnection::ShowHashed(uint64_t hash, bool announce) {
    TNamespace* target = m_target;
    if (!target || !m_autoFill || m_showing) return;
    {
        // What the target would show under the hash first, through its own
        // lazy connections (a cycle of connections is walked once).
        struct TShowing {
            bool& flag;
            explicit TShowing(bool& f) : flag(f) { flag = true; }
            ~TShowing() { flag = false; }
        } showing(m_showing);
        target->ShowLazyNames(hash);
    }
    TNamespace::TNameGroup items;
    {
        std::lock_guard lock(target->m_lock);
        target->m_byName.ForEach(hash, [&items](TNamespaceItem* item) { items.push_back(item); });
    }
    if (items.size() > 1) std::sort(items.begin(), items.end(), &TNamespace::SeenBefore);
    for (TNamespaceItem* item : items) {
        if (m_target != target || !m_lazy) return;
        if (TNamespaceCoverItem* inner = item->AsCover(); inner && !SeesThrough(inner->Connection())) continue;
        if (!FindCover(item) && Shows(item)) MakeCover(item, announce);
    }
}

void TNamespaceConnection::ShowWanted() {
    if (!m_owner || !m_target || !m_autoFill) return;
    std::vector<uint64_t> wanted;
    {
        std::lock_guard lock(m_owner->m_lock);
        wanted = m_owner->WantedHashes();
    }
    for (uint64_t hash : wanted) ShowHashed(hash, true);
}

void TNamespaceConnection::ListenForWanted() {
    if (m_listening || !m_lazy || !m_owner || !m_target) return;
    m_listening = true;
    std::vector<uint64_t> wanted;
    {
        std::lock_guard lock(m_owner->m_lock);
        wanted = m_owner->WantedHashes();
    }
    {
        std::lock_guard lock(m_target->m_lock);
        for (uint64_t hash : wanted) m_target->LazyFiling().byName.Insert(hash, this);
    }
    for (uint64_t hash : wanted) m_target->Want(hash);
}

void TNamespaceConnection::StopListeningForWanted() {
    if (!m_listening) return;
    m_listening = false;
    // Filed under every name the owner wants: the owner's wishes only grow.
    std::lock_guard ownerLock(m_owner->m_lock);
    std::lock_guard lock(m_target->m_lock);
    if (!m_target->m_lazyFiling) return;
    m_owner->m_wanted.ForEachEntry(
        [this](uint64_t hash, const TNamespace*) { m_target->m_lazyFiling->byName.Erase(hash, this); });
}

void TNamespaceConnection::Hear(TNamespace* target, bool on) {
    const THandler handler = MakeHandler<&TNamespaceConnection::OnTargetNotify>(this);
    std::lock_guard lock(target->m_lock);
    if (m_lazy) {
        // Told by the target through its indexes of what it wants and shows.
        if (!on && target->m_lazyFiling) m_covers.ForEach([&](TNamespaceCoverItem* cover) {
            target->m_lazyFiling->byItem.Erase(ItemHash(cover->m_wrapped), this);
        });
    } else if (m_hearsScopeLinks) {
        if (on)
            target->AddHandler(handler);
        else
            target->RemoveHandler(handler);
    } else if (on) {
        target->m_ownListeners.push_back(this);
    } else {
        EraseFrom(target->m_ownListeners, this);
    }
}

void TNamespaceConnection::MakeEager() {
    if (!m_lazy) return;
    TNamespace* target = m_target;
    StopListeningForWanted();
    if (target) Hear(target, false);
    m_lazy = false;
    if (m_owner) EraseFrom(m_owner->m_lazyConnections, this);
    if (!target) return;
    Hear(target, true);
    if (m_autoFill) BuildCovers();
}

void TNamespaceConnection::SetLazy(bool value) {
    if (value == m_lazy) return;
    if (!value) {
        MakeEager();
        return;
    }
    if (m_target || !m_prefix.isEmpty()) return;
    m_lazy = true;
    if (m_owner) m_owner->AddLazyConnection(this);
}

void TNamespaceConnection::FreeCover(TNamespaceCoverItem* cover) {
    TCoverList::TCoverPtr owned = m_covers.Remove(cover);
    m_originals.EraseHeld(ItemHash(cover->m_original), cover->m_original);
    Unchain(cover);
    if (m_lazy && m_target) {
        std::lock_guard lock(m_target->m_lock);
        if (m_target->m_lazyFiling) m_target->m_lazyFiling->byItem.Erase(ItemHash(cover->m_wrapped), this);
    }
    TNamespaceNotices& notices = TNamespaceNotices::OfThisThread();
    TNamespaceNotices::TBatch batch(&notices);
    if (m_owner) m_owner->Announce(nnItemRemoved, cover);
    notices.Retire(std::move(owned));
    batch.End();
}

void TNamespaceConnection::FreeCovers() {
    if (m_covers.IsEmpty()) return;
    TNamespaceNotices::TBatch batch(&TNamespaceNotices::OfThisThread());
    InUpdate(Scheme(), [this] {
        // From the last: each leaves no hole behind.
        const std::vector<TNamespaceCoverItem*> covers = Covers();
        for (size_t i = covers.size(); i-- > 0;) {
            if (i >= kLoadAhead) PrefetchLines(covers[i - kLoadAhead]);
            if (i >= kLoadAhead / 2) PrefetchBytes(covers[i - kLoadAhead / 2]->m_wrapped, kItemBytesLoaded);
            FreeCover(covers[i]);
        }
    });
    batch.End();
}

// Everything the target sees, in its order: its own items, then the covers
// of its own connections.
void TNamespaceConnection::BuildCovers() {
    TNamespace* target = m_target;
    if (!target) return;
    // The lazy connections of the target whose covers it shows show everything first.
    target->ShowEverything(this);
    std::vector<TNamespaceItem*> items;
    {
        std::lock_guard lock(target->m_lock);
        items.reserve(size_t(target->m_ownCount));
        for (TNamespaceOwnItem* item = target->m_firstOwn; item; item = item->NextOwn()) items.push_back(item);
        for (TNamespaceConnection* connection : target->m_connections)
            if (SeesThrough(connection))
                connection->m_covers.ForEach([&](TNamespaceCoverItem* cover) { items.push_back(cover); });
    }
    TNamespaceNotices::TBatch batch(&TNamespaceNotices::OfThisThread());
    InUpdate(Scheme(), [&] {
        for (size_t i = 0; i < items.size(); ++i) {
            if (i + kLoadAhead < items.size()) PrefetchLines(items[i + kLoadAhead]);
            if (i + kLoadAhead / 2 < items.size())
                if (const TNamespaceCoverItem* ahead = items[i + kLoadAhead / 2]->AsCover())
                    PrefetchBytes(ahead->m_nameSource, kItemBytesLoaded);
            TNamespaceItem* item = items[i];
            if (m_target == target && !FindCover(item) && Shows(item)) MakeCover(item);
        }
    });
    batch.End();
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
    TNamespaceNotices::TBatch batch(&TNamespaceNotices::OfThisThread());
    InUpdate(Scheme(), [&] {
        if (TNamespace* old = m_target) {
            FreeCovers();
            StopListeningForWanted();
            Hear(old, false);
            {
                std::lock_guard lock(old->m_lock);
                EraseFrom(old->m_incoming, this);
            }
            Unlink(old);
            m_target = nullptr;
        }
        if (!target || target->m_freeing || IsBeingDestroyed()) return;
        m_target = target;
        if (m_lazy && m_owner && m_owner->ViewedWhole(this)) {
            m_lazy = false;
            EraseFrom(m_owner->m_lazyConnections, this);
        }
        Hear(target, true);
        {
            std::lock_guard lock(target->m_lock);
            target->m_incoming.push_back(this);
        }
        Link(target);
        if (!m_lazy) {
            if (m_autoFill) BuildCovers();
            return;
        }
        ListenForWanted();
        ShowWanted();
    });
    batch.End();
}

void TNamespaceConnection::SetHearsScopeLinks(bool value) {
    if (value == m_hearsScopeLinks) return;
    TNamespace* target = m_target;
    if (target) SetTarget(nullptr);
    m_hearsScopeLinks = value;
    if (target) SetTarget(target);
}

void TNamespaceConnection::SetOwner(TNamespace* owner) {
    if (owner == m_owner) return;
    TNamespaceNotices::TBatch batch(&TNamespaceNotices::OfThisThread());
    InUpdate(Scheme(), [&] {
        if (TNamespace* old = m_owner) {
            const std::vector<TNamespaceCoverItem*> covers = Covers();
            for (size_t i = 0; i < covers.size(); ++i) {
                if (i + kLoadAhead < covers.size()) PrefetchLines(covers[i + kLoadAhead]);
                old->Announce(nnItemRemoved, covers[i]);
            }
            StopListeningForWanted();
            EraseFrom(old->m_connections, this);
            EraseFrom(old->m_lazyConnections, this);
            m_owner = nullptr;
        }
        if (!owner || owner->m_freeing) return;
        // What the new owner declares does not come back to it; what the old
        // one declared now may come.
        for (TNamespaceCoverItem* cover : Covers())
            if (cover->m_original->GetNamespace() == owner) FreeCover(cover);
        m_owner = owner;
        m_ownerSequence = NextSequence();
        owner->m_connections.push_back(this);
        if (m_lazy) owner->AddLazyConnection(this);
        for (TNamespaceCoverItem* cover : Covers()) owner->Announce(nnItemAdded, cover);
        if (m_lazy && m_target && owner->ViewedWhole(this)) MakeEager();
        if (!m_lazy) {
            if (m_autoFill) BuildCovers();
            return;
        }
        ListenForWanted();
        ShowWanted();
    });
    batch.End();
}

void TNamespaceConnection::SetFilter(uint8_t filter) {
    if (filter == m_filter) return;
    m_filter = filter;
    InUpdate(Scheme(), [this] {
        FreeCovers();
        if (m_lazy)
            ShowWanted();
        else if (m_autoFill && m_target)
            BuildCovers();
    });
}

void TNamespaceConnection::SetPrefix(const QString& prefix) {
    if (prefix == m_prefix) return;
    // Lazy covers are found under their wrapped names, which a prefix changes.
    if (!prefix.isEmpty()) MakeEager();
    m_prefix = prefix;
    if (!m_owner) return;
    TNamespaceNotices::TBatch batch(&TNamespaceNotices::OfThisThread());
    InUpdate(Scheme(), [this] {
        for (TNamespaceCoverItem* cover : Covers())
            if (m_owner) m_owner->Announce(nnRenamed, cover);
    });
    batch.End();
}

void TNamespaceConnection::NumberChanged(int32_t oldNumber) {
    TElement::NumberChanged(oldNumber);
    if (!m_owner) return;
    TNamespaceNotices::TBatch batch(&TNamespaceNotices::OfThisThread());
    for (TNamespaceCoverItem* cover : Covers()) {
        const QString former = QString::number(oldNumber) + QLatin1Char('.') + cover->Wrapped()->GetPath();
        if (m_owner) m_owner->Announce(nnPathChanged, cover, intptr_t(&former));
    }
    batch.End();
}

void TNamespaceConnection::BeforeDestruction() {
    TNamespaceNotices& notices = TNamespaceNotices::OfThisThread();
    TNamespaceNotices::TBatch batch(&notices);
    SetTarget(nullptr);
    SetOwner(nullptr);
    // Nothing about its covers may wait beyond the connection.
    notices.Flush();
    batch.End();
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
    if (TNamespaceCoverItem* inner = item->AsCover(); inner && !SeesThrough(inner->Connection())) return;
    TNamespaceCoverItem* cover = FindCover(item);
    if (m_lazy && !cover) {
        // Told because the owner wants the name: a cover when the item may be shown.
        if (code == nnItemAdded || code == nnItemChanged || code == nnEnabledChanged || code == nnRenamed)
            if (Shows(item)) MakeCover(item);
        return;
    }
    switch (code) {
    case nnItemAdded:
        if (!cover && Shows(item)) {
            MakeCover(item);
        } else if (cover && !cover->m_announced && m_owner) {
            // Shown by a look-up before its item's coming was delivered:
            // it comes now, as it would have come.
            cover->m_announced = true;
            {
                std::lock_guard lock(m_owner->m_lock);
                m_owner->MarkDirty(cover);
            }
            m_owner->Announce(nnItemAdded, cover);
        }
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
