#pragma once
// Names of a scheme: namespaces that hold the names declared by elements,
// connections that show the names of another namespace (possibly of another
// scheme) under an optional prefix, and references that use a name.
//
// What a namespace sees: its own items in the order they were registered,
// then, for each connection it owns in the order the connections joined, the
// connection's covers. A connection shows everything its target sees, in the
// target's order: the target's own items and, through the target's own
// connections, covers of covers. It refuses an item that already came
// through itself and an item declared in its own owner, so chains and cycles
// of connections stay closed. What a scope sees therefore depends only on the
// structure (items, connections and their order), never on the order in
// which they were declared, connected or loaded.
//
// Locks: each namespace guards the reference lists of its own items, its
// listeners and the list of connections that target it; each connection
// guards the reference lists of its covers and its reference counter. Both
// are re-entrant. The lock that guards an item's reference list also guards
// the chain of covers that show the item. Shared namespaces (the standard
// types) are only read after start-up, from any thread.

#include "core/cuBlockPool.h"
#include "core/cuProps.h"
#include "scheme/diClasses.h"
#include "scheme/diHashGroups.h"
#include "scheme/diHashIndex.h"

#include <QHash>
#include <QList>
#include <QPair>
#include <QSet>
#include <QVarLengthArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

class TNamespace;
class TNamespaceConnection;
class TNamespaceNotices;
class TNamespaceCoverItem;
class TNamespaceOwnItem;
class TReference;
struct TNamespaceOwnItemDeleter;

// Notifications of a namespace to its listeners: Broadcast(code, item, argument).
enum : int {
    nnItemAdded = 101,
    nnPathChanged = 102,  // argument: const QString* with the former path
    nnItemChanged = 103,
    nnImageChanged = 104,
    nnReserved = 105,  // no sender
    nnEnabledChanged = 106,
    nnTitleChanged = 107,
    nnRenamed = 108,
    nnStateChanged = 109,
    nnItemRemoved = 110,
    // The namespace is being freed (item nil): listeners drop their pointer to it.
    nnNamespaceFreed = 111,
};

// Item state bits.
enum : uint8_t {
    nsChecked = 0x01,
    nsDuplicate = 0x02,
    nsHidesOverridable = 0x04,
};

// Item flags (GetItemFlags).
enum : int {
    nifOverridable = 0x01,  // a same-named item hides it instead of clashing
    nifListedLast = 0x02,   // listed after the others
};

// Connection filter bits.
enum : uint8_t {
    ncfPublicOnly = 0x01,  // only items whose visibility is not private pass
};

// ---------------------------------------------------------------------------
// TNamespaceItem

class TNamespaceItem {
public:
    virtual ~TNamespaceItem();
    TNamespaceItem(const TNamespaceItem&) = delete;
    TNamespaceItem& operator=(const TNamespaceItem&) = delete;

    uint8_t State() const noexcept { return m_state; }
    uint8_t PendingState() const noexcept { return m_pendingState; }
    bool IsDuplicate() const noexcept { return m_state & nsDuplicate; }
    bool HidesOverridable() const noexcept { return m_state & nsHidesOverridable; }

    // References in the list, less those with flag bit 0.
    int GetReferenceCount();
    bool HasReferences();

    // The namespace in which this item is seen (own: its namespace; cover:
    // the owner of its connection); nil when detached.
    virtual TNamespace* GetNamespace() const = 0;
    inline TNamespaceCoverItem* AsCover() noexcept;

    // ---- virtual operations ----
    virtual int GetImageIndex() { return -1; }
    virtual QString GetDescription() { return {}; }
    virtual bool IsEnabled() { return true; }
    virtual TNamespaceItem* GetOriginal() = 0;
    virtual TElement* GetElement() = 0;
    virtual QString GetPath() = 0;
    virtual QString GetName() = 0;
    virtual TElement* GetNameElement() = 0;
    virtual int GetItemFlags() { return 0; }
    virtual bool NeedsUniqueName() { return true; }
    // Appends the references that the declaration itself uses (for the
    // cycle search); never clears the list.
    virtual void GetUsedReferences(std::vector<TReference*>& list) {}
    // 1 = private.
    virtual int GetVisibility() { return 0; }
    // Announces 109 in the namespace that shows the item.
    virtual void StateChanged();
    virtual void RemoveReference(TReference* reference);
    virtual void AddReference(TReference* reference);
    virtual bool IsThroughConnection(const TNamespaceConnection* connection) { return false; }
    virtual bool IsThroughConnectionClass(const TClass* cls) { return false; }

protected:
    explicit TNamespaceItem(bool isCover) noexcept : m_isCover(isCover) {}
    // The lock that guards the reference list (nil: the item is detached).
    virtual std::recursive_mutex* ReferenceLock() const = 0;
    void AddToList(TReference* reference);
    bool RemoveFromList(TReference* reference);
    // Every reference still in the list leaves it; those that point here lose
    // their target. Runs before the item goes.
    void DetachReferences();

private:
    friend class TNamespace;
    friend class TNamespaceConnection;
    friend class TNamespaceNotices;
    friend struct TCycleMarks;

    // What the cycle search reads of every item it passes lies right after
    // the vtable, in the item's first cache line.
    // Marks of the cycle search: valid while m_cycleSearch is the number of
    // the search running. Only items that use references are marked.
    uint64_t m_cycleSearch = 0;
    int32_t m_cycleMark = 0;
    uint8_t m_state = nsChecked;
    uint8_t m_pendingState = nsChecked;
    const bool m_isCover;

    std::unique_ptr<std::vector<TReference*>> m_references;
    // The covers that show this item, one per connection, chained through
    // the covers in the order they came; under the same lock as the
    // reference list.
    TNamespaceCoverItem* m_firstCover = nullptr;

    // Index bookkeeping in the namespace that shows the item: the
    // case-folded name it is filed under and that name's hash.
    TNamespace* m_indexedIn = nullptr;
    uint64_t m_nameHash = 0;
    QString m_nameKey;
    TElement* m_elementKey = nullptr;
    // The name the key was folded from.
    QString m_keyedName;
};

// ---------------------------------------------------------------------------
// TNamespaceOwnItem: a name declared by an element inside a namespace.

class TNamespaceOwnItem : public TNamespaceItem {
public:
    explicit TNamespaceOwnItem(TElement* element) noexcept : TNamespaceItem(false), m_element(element) {}
    ~TNamespaceOwnItem() override;

    // Makes an item of class T (constructed with element and args) and
    // registers it in ns (nil: left unregistered).
    template <class T, class... Args>
    static std::unique_ptr<T, TNamespaceOwnItemDeleter> Create(TNamespace* ns, TElement* element,
                                                                      Args&&... args);

    // Appends the item to the namespace's own items and announces 101.
    void Register(TNamespace* ns);
    // Removes it and announces 110; references that still point here lose
    // their target. Nothing when not registered.
    void Unregister();
    TNamespace* Namespace() const noexcept { return m_namespace; }
    TElement* Element() const noexcept { return m_element; }

    // Announcements of the declaring element.
    void NotifyChanged();        // 103
    void Refresh();              // 103
    void NotifyImageChanged();   // 104, when the item has references
    void NotifyEnabledChanged(); // 106
    void NotifyTitleChanged();   // 107, when the item has references
    void NotifyRenamed();        // 108
    // The element got a new number: the path index follows and, when the
    // item has references, 102 with the former path.
    void NumberChanged(int32_t oldNumber);

    TNamespace* GetNamespace() const override { return m_namespace; }
    TNamespaceItem* GetOriginal() override { return this; }
    TElement* GetElement() override { return m_element; }
    TElement* GetNameElement() override { return m_element; }
    QString GetPath() override;

    TNamespaceOwnItem* NextOwn() const noexcept { return m_next; }

protected:
    std::recursive_mutex* ReferenceLock() const override;

private:
    friend class TNamespace;

    TElement* m_element;
    TNamespace* m_namespace = nullptr;
    TNamespaceOwnItem* m_prev = nullptr;
    TNamespaceOwnItem* m_next = nullptr;
    uint64_t m_sequence = 0;
    int32_t m_numberKey = 0;
};

// Unregisters (while the item is whole) and frees.
struct TNamespaceOwnItemDeleter {
    void operator()(TNamespaceOwnItem* item) const;
};
template <class T>
using TNamespaceOwnItemPtr = std::unique_ptr<T, TNamespaceOwnItemDeleter>;

template <class T, class... Args>
std::unique_ptr<T, TNamespaceOwnItemDeleter> TNamespaceOwnItem::Create(TNamespace* ns, TElement* element,
                                                                      Args&&... args) {
    TNamespaceOwnItemPtr<T> item(new T(element, std::forward<Args>(args)...));
    if (ns) item->Register(ns);
    return item;
}

// ---------------------------------------------------------------------------
// TNamespaceCoverItem: an item of a target namespace as seen through a connection.
//
// A cover of a cover of ... shows what the innermost item, its original,
// declares: the answers that pass through every level unchanged are asked of
// the original directly, so that none costs more on a long chain of
// connections than on a single one. Covers are many (a scope sees every name
// of every scope it reaches) and made and freed by whole connections: they
// are allocated in blocks.

class TNamespaceCoverItem final : public TNamespaceItem, public TBlockAllocated<TNamespaceCoverItem> {
public:
    TNamespaceConnection* Connection() const noexcept { return m_connection; }
    TNamespaceItem* Wrapped() const noexcept { return m_wrapped; }

    TNamespace* GetNamespace() const override;

    int GetImageIndex() override { return m_original->GetImageIndex(); }
    QString GetDescription() override { return m_original->GetDescription(); }
    bool IsEnabled() override { return m_original->IsEnabled(); }
    // The innermost wrapped item that is not a cover.
    TNamespaceItem* GetOriginal() override { return m_original; }
    TElement* GetElement() override { return m_original->GetElement(); }
    // The connection's number, ".", the wrapped path.
    QString GetPath() override;
    // The prefix, ".", the wrapped name; the wrapped name without a prefix.
    QString GetName() override;
    TElement* GetNameElement() override { return m_original->GetNameElement(); }
    int GetItemFlags() override { return m_original->GetItemFlags(); }
    bool NeedsUniqueName() override { return m_original->NeedsUniqueName(); }
    void GetUsedReferences(std::vector<TReference*>& list) override { m_original->GetUsedReferences(list); }
    // 1 when the connection is private, else the wrapped item's.
    int GetVisibility() override;
    // Under the connection's lock; the connection hears of it and the
    // wrapped item gets the same reference.
    void RemoveReference(TReference* reference) override;
    void AddReference(TReference* reference) override;
    bool IsThroughConnection(const TNamespaceConnection* connection) override;
    bool IsThroughConnectionClass(const TClass* cls) override;

protected:
    std::recursive_mutex* ReferenceLock() const override;

private:
    friend class TNamespace;
    friend class TNamespaceConnection;
    friend class TCoverList;
    friend class TNamespaceNotices;
    TNamespaceCoverItem(TNamespaceConnection* connection, TNamespaceItem* wrapped) noexcept;

    // What GetName shows when the connection has no prefix: the first item
    // down the chain that is not a cover without a prefix. Set again when the
    // name is announced changed, as it is after any prefix on the way changed.
    void TakeNameSource() noexcept;

    // What a look-up by name reads lies first, next to the name's key.
    TNamespaceConnection* m_connection;
    TNamespaceItem* m_nameSource = nullptr;
    // The place among the connection's covers: rising in the order the target
    // sees the wrapped items, so that covers compare without going down the
    // chain.
    uint64_t m_place = 0;
    // Where the cover stood in its connection's list when it was last put
    // there (a hint: covers put in between since may have moved it on).
    uint32_t m_slot = 0;
    // Freed by its connection, and waiting for the notices before its going
    // to be delivered: nothing shows it any more.
    bool m_retired = false;
    // Announced to the owner (a lazy connection makes some without).
    bool m_announced = false;
    TNamespaceItem* m_wrapped;
    TNamespaceItem* m_original;
    // The next cover of the same wrapped item (another connection's), and the
    // link that points here, so that a cover leaves the chain at once.
    TNamespaceCoverItem* m_nextCover = nullptr;
    TNamespaceCoverItem** m_coverLink = nullptr;
    // Filed in its connection's index (it came after the first few covers
    // of its item).
    bool m_indexed = false;
};

TNamespaceCoverItem* TNamespaceItem::AsCover() noexcept {
    return m_isCover ? static_cast<TNamespaceCoverItem*>(this) : nullptr;
}

// ---------------------------------------------------------------------------
// TReference

enum : uint8_t {
    rsOnCycle = 0x01,     // State: the reference lies on (or leads into) a cycle
    rfNotCounted = 0x01,  // Flags: not counted by GetReferenceCount
};

class TReference {
public:
    TReference() = default;
    // Leaves the target (without the cycle search: the declarations around
    // may already be half gone).
    virtual ~TReference();
    TReference(const TReference&) = delete;
    TReference& operator=(const TReference&) = delete;

    TNamespaceItem* Target() const noexcept { return m_target; }
    // When different: leaves the old item, joins the new one, TargetChanged,
    // the cycle bit cleared, then the cycle search from the old and the new item.
    void SetTarget(TNamespaceItem* item);

    uint8_t State() const noexcept { return m_state; }
    bool IsOnCycle() const noexcept { return m_state & rsOnCycle; }
    uint8_t Flags = 0;

    virtual void TargetChanged() {}
    virtual void CycleStateChanged() {}

    // Sets the cycle bit; CycleStateChanged on a change.
    void SetCycleState(bool onCycle);

private:
    friend class TNamespaceItem;
    // The target goes away: the reference leaves it without a search.
    void Drop();

    TNamespaceItem* m_target = nullptr;
    uint8_t m_state = 0;
};

// The cycle search from item: every reference on a cycle, and every
// reference that leads into one along the search, gets its cycle bit; the
// others lose it. Linear in the size of the graph that is not on a cycle:
// an item that led into no cycle, or only into cycles below it, is searched
// once per search.
void SearchCycles(TNamespaceItem* item);

// ---------------------------------------------------------------------------
// TNamespace

// An object that a layer above keeps with a namespace and that goes with it
// (freed after nnNamespaceFreed is announced).
class TNamespaceAttachment {
public:
    virtual ~TNamespaceAttachment() = default;
};

class TNamespace : public TElement {
    T_ELEMENT_CLASS(TNamespace)
public:
    TNamespace() noexcept { InitOptions(eoNotStored); }

    // filter(namespace, item, accept): accept is preset true.
    using TFilter = std::function<void(TNamespace* ns, TNamespaceItem* item, bool& accept)>;
    using TNameList = QList<QPair<QString, TNamespaceItem*>>;
    using TItemCallback = std::function<void(TNamespaceItem* item, bool& stop)>;

    // Own items first, then each connection's covers in order; the first item
    // whose full name equals name (case-sensitive unless cs says otherwise)
    // and that the filter accepts.
    TNamespaceItem* FindItemByName(const QString& name, const TFilter& filter = {},
                                   Qt::CaseSensitivity cs = Qt::CaseSensitive);
    // A stored path: "42" (own item of element 42), "17.42" (connection 17,
    // then 42 in its target), and so on. Empty, malformed or unknown: nil.
    TNamespaceItem* FindItemByPath(const QString& path);
    // Own items, then covers, whose element is element.
    TNamespaceItem* FindItemByElement(TElement* element);
    void ForEachItem(const TItemCallback& callback, bool withConnections);
    void GetNames(TNameList& names, bool withDisabled, bool onlyUnique, const TFilter& filter = {});
    // Whether any item (disabled ones included) bears name, ignoring case.
    bool IsNameTaken(const QString& name);
    // A listener waits for name to come (ignoring case): the lazy
    // connections that reach this namespace show it as soon as it comes.
    void WantName(const QString& name);
    QString GetUniqueName(const QString& base, bool useNumberFirst, const class TNamingSettings& settings);

    // The whole duplicate check; inside a scheme update the namespace is
    // queued and the check runs when the update ends.
    void CheckDuplicates();

    const std::vector<TNamespaceConnection*>& Connections() const noexcept { return m_connections; }
    int IncomingConnectionCount();

    // Listeners (connections and reference elements) join and leave under the lock.
    void AddListener(const THandler& handler);
    void RemoveListener(const THandler& handler);
    std::recursive_mutex& Lock() const noexcept { return m_lock; }
    TNamespaceAttachment* Attachment() const noexcept { return m_attachment.get(); }
    void SetAttachment(std::unique_ptr<TNamespaceAttachment> attachment) noexcept {
        m_attachment = std::move(attachment);
    }

    // Announces code for item to the listeners and keeps the indexes; 101,
    // 106, 108 and 110 are followed by the duplicate check of the names concerned.
    // The indexes follow at once. What an own item's announcement sets off
    // has run everywhere when it returns; a cover's announcement made while
    // connections work through a change (see TNamespaceNotices) waits its
    // turn behind those made before it.
    void Announce(int code, TNamespaceItem* item, intptr_t argument = 0);

    // Whether a comes before b in the namespace that sees both: own items in
    // the order registered, then the covers of each connection in the order
    // the connections joined, each connection's covers in its target's order.
    // Constant time: a cover's place among its connection's covers stands
    // for its wrapped item's place in the target.
    static bool SeenBefore(const TNamespaceItem* a, const TNamespaceItem* b);

    // TItfObject / TElement
    void Broadcast(int msg, intptr_t p1 = 0, intptr_t p2 = 0) override;
    // The element check, then the duplicate check of the names that changed
    // (all of them after CheckDuplicates).
    void Check() override;
    void BeforeDestruction() override;

protected:
    ~TNamespace() override;

private:
    friend class TNamespaceOwnItem;
    friend class TNamespaceConnection;
    friend class TNamespaceNotices;

    // Broadcasts code for item and runs the duplicate check it calls for.
    void Deliver(int code, TNamespaceItem* item, intptr_t argument);
    // Tells the lazy connections that target this namespace of code for
    // item: those that want its name and those that show it.
    void DeliverToLazy(int code, TNamespaceItem* item, intptr_t argument);

    // Lazy connections (see TNamespaceConnection::SetLazy). A name is wanted
    // here when an own item bears it (while lazy connections are owned here),
    // a listener waits for it, or a lazy connection fed by this namespace
    // wants it; the wish goes on to the targets of the lazy connections this
    // namespace owns.
    void Want(uint64_t hash);
    // Joins the lazy connections owned here.
    void AddLazyConnection(TNamespaceConnection* connection);
    // The covers that the lazy connections owned here (and those they reach)
    // would show under the hash of a name, made without announcing them:
    // they stood for names that were there already.
    void ShowLazyNames(uint64_t hash);
    // Everything the lazy connections owned here would show, for a walk over
    // all the namespace sees (viewer: a connection that targets it and shows
    // the covers of those it sees through; nil: every connection, from now on).
    void ShowEverything(TNamespaceConnection* viewer);
    // Whether a lazy connection joining here must show everything at once.
    bool ViewedWhole(const TNamespaceConnection* connection);

    // A case-folded name and its hash.
    struct TNameKey {
        QString key;
        uint64_t hash = 0;
        explicit TNameKey(const QString& name) : key(name.toCaseFolded()), hash(HashOf(key)) {}
        TNameKey(QString folded, uint64_t h) noexcept : key(std::move(folded)), hash(h) {}
        static uint64_t HashOf(const QString& key) noexcept { return MixHash(uint64_t(qHash(key, 0))); }
    };
    // The items filed under key, in the order the namespace sees them.
    using TNameGroup = QVarLengthArray<TNamespaceItem*, 4>;
    void NameGroup(const TNameKey& key, TNameGroup& group);
    // The key of the item's name as it is now, which the item keeps as the
    // name it is filed under. A cover that shows the very name its wrapped
    // item is filed under takes that item's key instead of folding it again.
    static TNameKey TakeNameKey(TNamespaceItem* item);
    // Without marking: a cover shown lazily stands for one that was there.
    void IndexAdd(TNamespaceItem* item, bool mark = true);
    void IndexRemove(TNamespaceItem* item);
    void IndexRename(TNamespaceItem* item);
    // The filter of own names (see m_ownNames); covers pass by.
    void FileOwnName(const TNamespaceItem* item);
    void UnfileOwnName(const TNamespaceItem* item);
    void RefileOwnNames();
    void SetOwnNameBit(uint64_t hash) noexcept;
    bool MayBeOwnName(uint64_t hash);
    void MarkDirty(const TNamespaceItem* item);
    void RequestDuplicateCheck();
    void RunDuplicateChecks();
    TNamespaceOwnItem* FindOwnByNumber(int32_t number);
    void BuildElementIndex();
    void BuildNumberIndex();
    void NumberIndexAdd(TNamespaceOwnItem* item);
    void NumberIndexRemove(TNamespaceOwnItem* item);

    mutable std::recursive_mutex m_lock;
    TNamespaceOwnItem* m_firstOwn = nullptr;
    TNamespaceOwnItem* m_lastOwn = nullptr;
    int m_ownCount = 0;
    std::vector<TNamespaceConnection*> m_connections;
    // Those of m_connections that are lazy, in the same order.
    std::vector<TNamespaceConnection*> m_lazyConnections;
    std::vector<TNamespaceConnection*> m_incoming;
    // The incoming connections that do not hear scope links' covers: told
    // of everything else after the listeners.
    std::vector<TNamespaceConnection*> m_ownListeners;

    // Every item seen here by case-folded name and by element; own items by
    // element number. The name index holds every item under the hash of its
    // key, in no order: equal hashes are told apart by the keys kept in the
    // items, and the few items of one name are put in the namespace's order
    // when looked up. The element and number lists keep that order; most
    // elements and numbers stand for one item, kept in place.
    template <class T>
    using TSmallList = QVarLengthArray<T*, 2>;
    THashIndex<TNamespaceItem> m_byName;
    QHash<TElement*, TSmallList<TNamespaceItem>> m_byElement;
    QHash<int32_t, TSmallList<TNamespaceOwnItem>> m_byNumber;

    // Built on the first look-up by element or by number, kept from then on.
    bool m_elementIndexed = false;
    bool m_numberIndexed = false;

    // A bit for the hash of each own item's name (bits of names that went
    // stay set until the filter is made again): a name whose bit is clear is
    // no own item's, so a cover of that name comes and goes without a
    // duplicate check. Many times as many bits as own items.
    std::vector<uint64_t> m_ownNames;
    size_t m_ownNamesStale = 0;
    std::vector<TNameKey> m_dirtyKeys;
    // The hashes of the names wanted here, and the lazy connections that
    // target this namespace under the hashes of the names they want and
    // under the hashes of the items they show. Thousands of them may file
    // under one name (every scope that refers to a standard type): filing,
    // asking for and letting go of one costs the same whatever their number.
    // Each hash filed once, with this namespace as its value: the index
    // serves as a set, a few slots for a few names.
    THashIndex<TNamespace> m_wanted;
    // Files the hash in one probe; false when it was wanted already.
    bool AddWanted(uint64_t hash) {
        bool added = false;
        m_wanted.FindOrInsert(hash, [](const TNamespace*) { return true; }, [&added, this] {
            added = true;
            return this;
        });
        return added;
    }
    std::vector<uint64_t> WantedHashes() const {
        std::vector<uint64_t> hashes;
        hashes.reserve(m_wanted.Count());
        m_wanted.ForEachEntry([&hashes](uint64_t hash, const TNamespace*) { hashes.push_back(hash); });
        return hashes;
    }
    struct TLazyFiling {
        THashGroups<TNamespaceConnection> byName;
        THashGroups<TNamespaceConnection> byItem;
    };
    // Made when the first lazy connection is filed: most namespaces are the
    // target of none.
    std::unique_ptr<TLazyFiling> m_lazyFiling;
    TLazyFiling& LazyFiling() {
        if (!m_lazyFiling) m_lazyFiling = std::make_unique<TLazyFiling>();
        return *m_lazyFiling;
    }
    // Something walked everything seen here: the lazy connections owned
    // here show everything.
    bool m_viewedWhole = false;
    bool m_fullCheckPending = false;
    bool m_freeing = false;
    std::unique_ptr<TNamespaceAttachment> m_attachment;
};

// ---------------------------------------------------------------------------
// TCoverList: the covers of one connection, in the order the connection's
// target sees their wrapped items, each with a place that rises in that
// order.
//
// One flat array of (place, cover): adding at either end and taking a cover
// away cost constant time and touch no other cover (a cover that goes leaves
// a hole that keeps its place, cleared away with the others once holes make
// up half the array); a cover that comes in between is found its place by a
// binary search and moves the array's tail on. Each cover keeps its slot, so
// that it is found again without a search unless covers came in between.
class TCoverList {
public:
    using TCoverPtr = std::unique_ptr<TNamespaceCoverItem>;

    TCoverList() = default;
    TCoverList(const TCoverList&) = delete;
    TCoverList& operator=(const TCoverList&) = delete;

    size_t Count() const noexcept { return m_live; }
    bool IsEmpty() const noexcept { return m_live == 0; }
    // The last cover (nil when there is none).
    TNamespaceCoverItem* Last() const noexcept { return m_live ? m_entries.back().cover.get() : nullptr; }
    template <class F>
    void ForEach(F&& f) const {
        for (size_t i = m_head; i < m_entries.size(); ++i)
            if (TNamespaceCoverItem* cover = m_entries[i].cover.get()) f(cover);
    }

    // Takes the cover in at the place of its wrapped item and gives it its place.
    TNamespaceCoverItem* Add(TCoverPtr cover);
    // Gives the cover up (nil when it is not here).
    TCoverPtr Remove(TNamespaceCoverItem* cover);

private:
    struct TEntry {
        uint64_t place;
        TCoverPtr cover;  // nil: a hole
    };

    TNamespaceCoverItem* Put(size_t slot, TCoverPtr cover) noexcept;
    // Where a cover of item belongs: the first slot whose cover (or, for a
    // hole, the last cover before it) the target sees after item.
    size_t SlotAfter(const TNamespaceItem* item) const;
    size_t Find(const TNamespaceCoverItem* cover) const noexcept;
    // Clears the holes away; with spread, the places are spread evenly
    // again too.
    void Compact(bool spread);

    std::vector<TEntry> m_entries;
    // Entries before it are holes; the last entry is never a hole.
    size_t m_head = 0;
    size_t m_live = 0;
};

// ---------------------------------------------------------------------------
// TNamespaceConnection

class TNamespaceConnection : public TElement {
    T_ELEMENT_CLASS(TNamespaceConnection)
public:
    TNamespaceConnection() noexcept { InitOptions(eoNotStored); }

    const QString& Prefix() const noexcept { return m_prefix; }
    // On a change, with an owner, every cover is announced renamed (108)
    // inside one scheme update.
    void SetPrefix(const QString& prefix);
    uint8_t Filter() const noexcept { return m_filter; }
    // On a change the covers are freed and, with AutoFill and a target, built again.
    void SetFilter(uint8_t filter);
    TNamespace* Owner() const noexcept { return m_owner; }
    // Covers are announced removed to the old owner and added to the new one;
    // they stay, except those of items the new owner declares, and with
    // AutoFill the items that the old owner's declaring kept out come.
    void SetOwner(TNamespace* owner);
    TNamespace* Target() const noexcept { return m_target; }
    // Frees the old target's covers, stops listening to it and leaves its
    // scheme's link list; listens to the new one, enters its scheme's link
    // list (when another scheme) and, with AutoFill, builds the covers.
    void SetTarget(TNamespace* target);
    bool AutoFill() const noexcept { return m_autoFill; }
    void SetAutoFill(bool value) noexcept { m_autoFill = value; }
    uint8_t Private() const noexcept { return m_private; }
    void SetPrivate(uint8_t value) noexcept { m_private = value; }
    // A scope link shows the names of an enclosing scope inside another.
    bool IsScopeLink() const noexcept { return m_scopeLink; }
    void SetScopeLink(bool value) noexcept { m_scopeLink = value; }
    // A connection that shows nothing a scope link brings into its target
    // is not told of those covers at all. A change while there is a target
    // connects to it again.
    bool HearsScopeLinks() const noexcept { return m_hearsScopeLinks; }
    void SetHearsScopeLinks(bool value);
    // A lazy connection makes a cover only when one is asked for: a look-up
    // by name or by path in its owner, a name that its owner (or a scope it
    // feeds) waits for or declares, and everything once something walks all
    // its owner sees or a connection that shows its covers targets its owner.
    // What its owner sees by any question is what an eager connection would
    // show; what it announces is what those who listen can tell apart. Set
    // before the target; a prefix makes it eager, and eager it stays.
    bool IsLazy() const noexcept { return m_lazy; }
    void SetLazy(bool value);
    int ReferenceCount();

    // The covers in the order the target sees the wrapped items.
    std::vector<TNamespaceCoverItem*> Covers() const;
    int CoverCount() const noexcept { return int(m_covers.Count()); }
    TNamespaceCoverItem* FindCover(TNamespaceItem* wrapped) const;
    std::recursive_mutex& Lock() const noexcept { return m_lock; }

    // Whether an item of the target may be shown (base: unless the filter
    // passes only public items and the item is private).
    virtual bool AcceptsItem(TNamespaceItem* item);
    // Whether what the target sees through inner may be shown at all (base:
    // yes, but a scope link's covers only while it hears them). A connection
    // that answers no does not walk the covers of inner, so that it costs
    // only what it can show.
    virtual bool SeesThrough(const TNamespaceConnection* inner) {
        return m_hearsScopeLinks || !inner || !inner->IsScopeLink();
    }
    virtual void ReferenceRemoved(TReference* reference) {}
    virtual void ReferenceAdded(TReference* reference) {}

    // Every cover's former path is announced (102) to the owner.
    void NumberChanged(int32_t oldNumber) override;
    void BeforeDestruction() override;

    // Items come back neither through this connection nor into its owner,
    // and nothing shows an item seen through a cover that is going.
    bool Refuses(TNamespaceItem* item);

protected:
    ~TNamespaceConnection() override;

private:
    friend class TNamespace;
    friend class TNamespaceCoverItem;

    void OnTargetNotify(TItfObject* sender, int code, intptr_t p1, intptr_t p2);
    void BuildCovers();
    void FreeCovers();
    void MakeCover(TNamespaceItem* item, bool announce = true);
    // Links the cover into, or out of, its wrapped item's chain of covers.
    static void Chain(TNamespaceCoverItem* cover);
    static void Unchain(TNamespaceCoverItem* cover);
    // The cover of item, made (without announcing it) when the connection
    // is lazy and shows the item; nil when it does not.
    TNamespaceCoverItem* CoverShown(TNamespaceItem* item);
    // Lazy: covers of what the target sees under hash, announced or not.
    void ShowHashed(uint64_t hash, bool announce);
    // Lazy: announced covers of every name the owner wants.
    void ShowWanted();
    // Lazy: the target files the connection under each name its owner wants
    // (or lets go of it).
    void ListenForWanted();
    void StopListeningForWanted();
    void MakeEager();
    // Starts or stops hearing the target: as a listener, as one of the
    // connections that do not hear scope links, or (lazy) through the
    // target's indexes.
    void Hear(TNamespace* target, bool on);
    void FreeCover(TNamespaceCoverItem* cover);
    // Whether a cover of original is here.
    bool ShowsOriginal(TNamespaceItem* original) const;
    bool Shows(TNamespaceItem* item) { return AcceptsItem(item) && !Refuses(item); }
    void Unlink(TNamespace* target);
    void Link(TNamespace* target);

    QString m_prefix;
    uint8_t m_filter = 0;
    TNamespace* m_owner = nullptr;
    TNamespace* m_target = nullptr;
    TCoverList m_covers;
    // The covers that came after the first few of their items, by wrapped
    // item. A cover is looked for first among the first few covers of its
    // item (which lie next to what the caller reads already), then here: an
    // item shown by many connections costs each of them one look-up, not a
    // walk past the covers of all the others.
    THashIndex<TNamespaceCoverItem> m_byWrapped;
    // The original of each cover (once per cover): an item whose original
    // none shows cannot have come through this connection before.
    THashIndex<TNamespaceItem> m_originals;
    bool m_autoFill = true;
    bool m_lazy = false;
    // Filed by the target under the names its owner wants.
    bool m_listening = false;
    // A look-up walks up through it (connections may form cycles).
    bool m_showing = false;
    bool m_scopeLink = false;
    bool m_hearsScopeLinks = true;
    int m_referenceCount = 0;
    uint8_t m_private = 0;
    uint64_t m_ownerSequence = 0;
    TScheme* m_linkedScheme = nullptr;
    mutable std::recursive_mutex m_lock;
};

// A connection that is itself named by an item (a file's name, for example):
// every reference made through it is also counted on that item.
class TNamedNamespaceConnection : public TNamespaceConnection {
    T_ELEMENT_CLASS(TNamedNamespaceConnection)
public:
    virtual TNamespaceItem* GetNameItem() { return nullptr; }
    void ReferenceRemoved(TReference* reference) override;
    void ReferenceAdded(TReference* reference) override;
};

// Order of items in lists: an item listed last after the others; otherwise
// the declaring elements in tree order (pre-order), a cover standing at the
// place of its connection; two covers of one connection by their wrapped items.
bool NamespaceItemPrecedes(TNamespaceItem* a, TNamespaceItem* b);

// ---------------------------------------------------------------------------
// Unique default names

// How a default name is cased; the values are the indexes of the setting
// "FillMode".
enum class TNamingMode : int { AsIs = 0, Upper = 1, Lower = 2, Extra = 3 };

// "_" between words: before a capital that follows a non-capital, or that
// ends a run of capitals followed by a lower-case letter (MyValue: My_Value,
// HTMLText: HTML_Text). An existing "_" is never doubled (A_B stays A_B).
QString InsertWordUnderscores(const QString& name);

// The first candidate that isTaken refuses: the base (with underscores and
// the case of mode), alone unless numberFirst, then with a counter from 1
// (2 when the base alone came first) padded to digits, after "_" when
// underscore is set (never after a name that already ends in "_"). Empty when
// the counter runs out.
QString MakeUniqueName(const QString& base, TNamingMode mode, bool numberFirst,
                       const std::function<bool(const QString&)>& isTaken, int digits, bool underscore);
// The same against a list of names compared ignoring case.
QString MakeUniqueName(const QString& base, TNamingMode mode, bool numberFirst, const QStringList& names,
                       int digits, bool underscore);

// The "Naming" settings section.
class TNamingSettings : public TProperty {
    T_CLASS(TNamingSettings)
public:
    // The section with its leaves.
    static TNodePtr<TNamingSettings> CreateRoot();
    static TNamingSettings* CreateIn(TProperty* parent);

    TBooleanProperty* FillEnabled() const noexcept { return m_fillEnabled; }
    TEnumProperty* FillMode() const noexcept { return m_fillMode; }
    TBooleanProperty* FillNumberFirst() const noexcept { return m_fillNumberFirst; }
    TBooleanProperty* FillUnderscore() const noexcept { return m_fillUnderscore; }
    TIntegerProperty* FillDigits() const noexcept { return m_fillDigits; }

    // MakeUniqueName with these settings; the number comes first only when
    // FillNumberFirst and useNumberFirst are both true.
    QString MakeUniqueName(const QString& base, bool useNumberFirst,
                           const std::function<bool(const QString&)>& isTaken) const;
    QString MakeUniqueName(const QString& base, bool useNumberFirst, const QStringList& names) const;

protected:
    ~TNamingSettings() override = default;

private:
    void AddLeaves();

    TBooleanProperty* m_fillEnabled = nullptr;
    TEnumProperty* m_fillMode = nullptr;
    TBooleanProperty* m_fillNumberFirst = nullptr;
    TBooleanProperty* m_fillUnderscore = nullptr;
    TIntegerProperty* m_fillDigits = nullptr;
};

// The shared "Naming" section, made by the unit's initialisation; nullptr
// outside the unit's lifetime (the application hangs it into its settings
// tree as it does the "Sounds" section).
TNamingSettings* NamingSettings() noexcept;
void InitNamingUnit();
void FinalNamingUnit();
