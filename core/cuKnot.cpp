#include "core/cuKnot.h"

#include "core/cuKnotText.h"
#include "core/cuStringIds.h"

#include <QFile>
#include <QFileDevice>
#include <QFileInfo>
#include <QIODevice>

#include <atomic>
#include <new>
#include <typeinfo>
#if defined(__SANITIZE_ADDRESS__) || defined(__has_feature)
#if defined(__SANITIZE_ADDRESS__) || __has_feature(address_sanitizer)
#include <sanitizer/asan_interface.h>
#endif
#endif
#include <vector>

T_CLASS_IMPL(TKnot, TNode)

// ---------------------------------------------------------------------------
// Block pools. Trees of a million knots are built and freed often (snapshots,
// loads); fixed-size blocks carved from large slabs keep that from being
// dominated by the general allocator. Slabs are kept for reuse for the life of
// the process. Sanitizer builds use the general allocator, so that misuse of a
// freed knot is still caught.

namespace {

// In sanitizer builds a free block is poisoned except its first word (the
// link of the free chain), so that touching a freed knot is still reported.
#if defined(__SANITIZE_ADDRESS__)
#define QUILLANE_POOL_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QUILLANE_POOL_ASAN 1
#endif
#endif

inline void PoisonFree(void* block, size_t size) noexcept {
#ifdef QUILLANE_POOL_ASAN
    ASAN_POISON_MEMORY_REGION(static_cast<char*>(block) + sizeof(void*), size - sizeof(void*));
#else
    (void)block, (void)size;
#endif
}

inline void Unpoison(void* block, size_t size) noexcept {
#ifdef QUILLANE_POOL_ASAN
    ASAN_UNPOISON_MEMORY_REGION(block, size);
#else
    (void)block, (void)size;
#endif
}

class TBlockPool {
public:
    struct TBlock {
        TBlock* next;
    };
    // Free blocks linked through their first word; last->next is nil.
    struct TChain {
        TBlock* first = nullptr;
        TBlock* last = nullptr;
        size_t count = 0;
    };

    // Blocks keep the alignment of pointers, all that knots and parameters need;
    // no padding beyond it, since big trees are bound by memory traffic.
    static constexpr size_t RoundedSize(size_t size) noexcept { return (size + 7) & ~size_t(7); }
    explicit TBlockPool(size_t blockSize) noexcept : m_size(RoundedSize(blockSize)) {}
    size_t BlockSize() const noexcept { return m_size; }

    // A whole chain of free blocks (never empty). Chains are kept as they were
    // given back, so that taking one never walks its blocks (freed blocks lie
    // all over memory: walking them is a cache miss per block).
    TChain TakeChain() {
        TLock lock(m_busy);
        if (m_chains.empty()) Grow();
        const TChain chain = m_chains.back();
        m_chains.pop_back();
        return chain;
    }

    void GiveBack(const TChain& chain) noexcept {
        TLock lock(m_busy);
        // Short chains (threads past their end free one block at a time) join the last one.
        if (chain.count < kShortChain && !m_chains.empty()) {
            Join(chain);
            return;
        }
        try {
            m_chains.push_back(chain);
        } catch (...) {
            // Out of memory for the list: the list held a chain before (it
            // never shrinks), so there is one to join.
            Join(chain);
        }
    }

private:
    struct TLock {
        explicit TLock(std::atomic_flag& f) noexcept : flag(f) {
            while (flag.test_and_set(std::memory_order_acquire))
                while (flag.test(std::memory_order_relaxed)) {}
        }
        ~TLock() { flag.clear(std::memory_order_release); }
        std::atomic_flag& flag;
    };
    static constexpr size_t kSlabBytes = 256 * 1024;
    static constexpr size_t kShortChain = 64;

    void Join(const TChain& chain) noexcept {
        TChain& back = m_chains.back();
        chain.last->next = back.first;
        back.first = chain.first;
        back.count += chain.count;
    }

    void Grow() {
        const size_t count = kSlabBytes / m_size;
        char* slab = static_cast<char*>(::operator new(count * m_size, std::align_val_t(16)));
        m_slabs.push_back(slab);
        TChain chain;
        for (size_t i = count; i-- > 0;) {
            auto* b = reinterpret_cast<TBlock*>(slab + i * m_size);
            b->next = chain.first;
            chain.first = b;
            if (!chain.last) chain.last = b;
            PoisonFree(b, m_size);
        }
        chain.count = count;
        m_chains.push_back(chain);
    }

    const size_t m_size;
    std::atomic_flag m_busy;
    std::vector<TChain> m_chains;
    std::vector<char*> m_slabs;
};

// Each thread keeps a chain of free blocks, so that most allocations and
// frees take no lock. A block may be freed by another thread than the one that
// took it: blocks belong to the pool, never to a thread. Chains go back to the
// pool when they grow long and when the thread ends; after that (static
// destructors may still free knots) the thread uses the pool directly.
struct TCacheState {  // trivially destructible: usable until the thread is gone
    TBlockPool::TChain chain;
    bool ready = false;   // the give-back at the thread's end is arranged and has not run
    bool closed = false;  // it has run
};

class TBlockCache {
public:
    TBlockCache(TCacheState& state, TBlockPool& pool) noexcept : m_state(state), m_pool(pool) {}
    ~TBlockCache() {
        GiveAllBack(m_state, m_pool);
        m_state.closed = true;
        m_state.ready = false;
    }

    static void GiveAllBack(TCacheState& st, TBlockPool& pool) noexcept {
        if (!st.chain.first) return;
        pool.GiveBack(st.chain);
        st.chain = {};
    }

private:
    TCacheState& m_state;
    TBlockPool& m_pool;
};

// The blocks of one class: its pool (never destroyed: knots may be freed by
// static destructors of other units) and each thread's cache. The common
// cases stay short and inline; whatever involves the pool or the thread's
// end is out of line.
template <class T>
class TBlocks {
public:
    static constexpr size_t kBlockSize = TBlockPool::RoundedSize(sizeof(T));
    static_assert(alignof(T) <= 8, "blocks are aligned for pointers only");

    static void* Alloc() {
        TCacheState& st = State();
        TBlockPool::TBlock* b = st.chain.first;
        if (!b || !st.ready) [[unlikely]]
            return AllocSlow(st);
        Take(st.chain, b);
        Unpoison(b, kBlockSize);
        return b;
    }

    static void Release(void* block) noexcept {
        TCacheState& st = State();
        TBlockPool::TChain freed;
        Push(freed, block);
        Splice(st, freed);
    }

    // Blocks freed together, given back in one step.
    static void Push(TBlockPool::TChain& chain, void* block) noexcept {
        auto* b = static_cast<TBlockPool::TBlock*>(block);
        b->next = chain.first;
        chain.first = b;
        if (!chain.last) chain.last = b;
        ++chain.count;
        PoisonFree(b, kBlockSize);
    }
    static void ReleaseChain(const TBlockPool::TChain& freed) noexcept {
        if (freed.first) Splice(State(), freed);
    }

private:
    static constexpr size_t kKeep = 16384;

    static TBlockPool& Pool() {
        static TBlockPool* pool = new TBlockPool(sizeof(T));
        return *pool;
    }
    static TCacheState& State() noexcept {
        thread_local TCacheState state;  // constant-initialised: no guard on the way
        return state;
    }

    static void Take(TBlockPool::TChain& c, TBlockPool::TBlock* b) noexcept {
        c.first = b->next;
        if (!c.first) c.last = nullptr;
        --c.count;
    }

    static void Splice(TCacheState& st, const TBlockPool::TChain& freed) noexcept {
        TBlockPool::TChain& c = st.chain;
        freed.last->next = c.first;
        if (!c.last) c.last = freed.last;
        c.first = freed.first;
        c.count += freed.count;
        if (!st.ready || c.count > kKeep) [[unlikely]]
            Settle(st);
    }

    // Arranges the give-back at the thread's end, once per thread.
    static void Prepare(TCacheState& st, TBlockPool& pool) noexcept {
        if (st.ready || st.closed) return;
        thread_local TBlockCache giveBackAtThreadEnd(st, pool);
        st.ready = true;
    }

    [[gnu::noinline]] static void* AllocSlow(TCacheState& st) {
        TBlockPool& pool = Pool();  // made on the first allocation ever; may raise
        Prepare(st, pool);
        if (!st.chain.first) st.chain = pool.TakeChain();
        TBlockPool::TBlock* b = st.chain.first;
        Take(st.chain, b);
        if (st.closed) TBlockCache::GiveAllBack(st, pool);
        Unpoison(b, kBlockSize);
        return b;
    }

    // Blocks are freed only after one was allocated: the pool exists.
    [[gnu::noinline]] static void Settle(TCacheState& st) noexcept {
        TBlockPool& pool = Pool();
        Prepare(st, pool);
        if (st.closed || st.chain.count > kKeep) TBlockCache::GiveAllBack(st, pool);
    }
};

using TKnotBlocks = TBlocks<TKnot>;
using TParamBlocks = TBlocks<TKnotParam>;

}  // namespace

void* TKnot::operator new(size_t size) {
    return size == sizeof(TKnot) ? TKnotBlocks::Alloc() : ::operator new(size);
}
void TKnot::operator delete(void* block, size_t size) noexcept {
    if (size == sizeof(TKnot))
        TKnotBlocks::Release(block);
    else
        ::operator delete(block);
}
void* TKnotParam::operator new(size_t size) {
    return size == sizeof(TKnotParam) ? TParamBlocks::Alloc() : ::operator new(size);
}
void TKnotParam::operator delete(void* block, size_t size) noexcept {
    if (size == sizeof(TKnotParam))
        TParamBlocks::Release(block);
    else
        ::operator delete(block);
}

// ---------------------------------------------------------------------------
// TKnotParam

TKnotParam::~TKnotParam() {
    FreeStream();
    if (m_knot) m_knot->UnlinkParam(this);
}

void TKnotParam::FreeStream() noexcept {
    if (m_kind == pkStream) delete m_stream;
    m_stream = nullptr;
}

QString TKnotParam::GetValue() {
    m_wasRead = true;
    switch (m_kind) {
    case pkString:
        return m_value;
    case pkStream:
    case pkStreamRef:
        return m_stream ? KnotText::ToHex(*m_stream) : QString();
    default:
        return {};
    }
}

bool TKnotParam::HasValue() {
    m_wasRead = true;
    return m_kind != pkNone;
}

bool TKnotParam::ReadToStream(QByteArray& stream) {
    m_wasRead = true;
    if (m_kind == pkStream || m_kind == pkStreamRef) {
        stream = m_stream ? *m_stream : QByteArray();
        return true;
    }
    return KnotText::FromHex(m_value, stream);
}

void TKnotParam::SetString(const QString& value) {
    FreeStream();
    m_value = value;
    m_kind = pkString;
}

void TKnotParam::SetStream(const QByteArray& stream) {
    QByteArray* copy = new QByteArray(stream);
    FreeStream();
    m_value.clear();
    m_stream = copy;
    m_kind = pkStream;
}

void TKnotParam::SetStreamRef(const QByteArray* stream) {
    FreeStream();
    m_value.clear();
    m_stream = const_cast<QByteArray*>(stream);
    m_kind = pkStreamRef;
}

void TKnotParam::SetNone() {
    FreeStream();
    m_value.clear();
    m_kind = pkNone;
}

void TKnotParam::Assign(const TKnotParam& source) {
    if (&source == this) return;
    m_name = source.m_name;
    switch (source.m_kind) {
    case pkString:
        SetString(source.m_value);
        break;
    case pkStream:
        SetStream(source.m_stream ? *source.m_stream : QByteArray());
        break;
    case pkStreamRef:
        SetStreamRef(source.m_stream);
        break;
    default:
        SetNone();
    }
}

QString TKnotParam::GetPath() const {
    return (m_knot ? m_knot->GetPath() : QString()) + QLatin1Char('.') + m_name;
}

// ---------------------------------------------------------------------------
// TKnot: structure

TKnot::~TKnot() { FreeParams(); }

bool TKnot::IsValidName(QStringView name) noexcept {
    if (name.isEmpty() || name.front() == u'!' || name.front() == u'?') return false;
    for (QChar c : name) {
        const char16_t u = c.unicode();
        if (u <= 32 || u == u'"' || u == u'\'' || u == u'&' || u == u'/' || u == u'<' || u == u'=' || u == u'>')
            return false;
    }
    return true;
}

void TKnot::SetName(const QString& name) {
    Q_ASSERT_X(name.isEmpty() || IsValidName(name), "TKnot::SetName", "not a valid knot name");
    m_name = name;
}

int TKnot::ParamCount() const noexcept {
    int n = 0;
    for (TKnotParam* p = m_params; p; p = p->m_next) ++n;
    return n;
}

void TKnot::FreeParams() noexcept {
    TKnotParam* p = m_params;
    m_params = m_lastParam = nullptr;
    while (p) {
        TKnotParam* next = p->m_next;
        p->m_knot = nullptr;  // no unlinking walk
        delete p;
        p = next;
    }
}

void TKnot::UnlinkParam(TKnotParam* param) noexcept {
    TKnotParam* prev = nullptr;
    for (TKnotParam* p = m_params; p; prev = p, p = p->m_next) {
        if (p != param) continue;
        (prev ? prev->m_next : m_params) = p->m_next;
        if (m_lastParam == p) m_lastParam = prev;
        p->m_next = nullptr;
        p->m_knot = nullptr;
        return;
    }
}

namespace {
// Pre-order walk of a subtree without recursion.
template <class F>
void WalkNodes(TNode* top, F&& visit) {
    TNode* n = top;
    for (;;) {
        visit(n);
        if (n->FirstChild()) {
            n = n->FirstChild();
            continue;
        }
        while (n != top && !n->NextSibling()) n = n->Parent();
        if (n == top) return;
        n = n->NextSibling();
    }
}

template <class F>
void WalkKnots(TKnot* top, F&& visit) {
    WalkNodes(top, [&](TNode* n) { visit(static_cast<TKnot*>(n)); });
}
}  // namespace

// Frees the subtree of each child without recursion. A subtree made of plain
// knots only (no derived class that could act before destruction) is unlinked
// once and its knots deleted children first, relying on the node destructor
// not to look at the links; any other subtree is freed leaf first through
// Free() with a moving cursor.
void TKnot::FreeChildren() noexcept {
    // The list's storage is reused: growing a fresh list for every subtree costs
    // more than the frees. It is taken out of the spare slot while in use, so
    // that a derived knot freeing knots from a notification gets its own.
    thread_local std::vector<TKnot*> spare;
    std::vector<TKnot*> order;
    order.swap(spare);
    while (TNode* child = LastChild()) {
        order.clear();
        bool plain = true;
        WalkNodes(child, [&](TNode* n) {
            plain = plain && typeid(*n) == typeid(TKnot);
            if (plain) {
                order.push_back(static_cast<TKnot*>(n));
                // The walk reads the links at the start of the knot; the rest of
                // it is fetched meanwhile for the delete that follows.
                __builtin_prefetch(reinterpret_cast<const char*>(n) + sizeof(TKnot) - 1);
            }
        });
        if (plain) {
            child->SetParentBefore(nullptr, nullptr);
            DeletePlain(order);
            continue;
        }
        TNode* n = child;
        for (;;) {
            while (n->LastChild()) n = n->LastChild();
            TNode* parent = n->Parent();
            n->Free();
            if (n == child) break;
            n = parent;
        }
    }
    order.clear();
    if (order.capacity() <= 65536) spare.swap(order);  // a huge subtree's list is not kept
}

// Deletes detached plain knots, children before parents, as delete would,
// giving their blocks back in one step.
void TKnot::DeletePlain(const std::vector<TKnot*>& order) noexcept {
    TBlockPool::TChain knots, params;
    for (size_t i = order.size(); i-- > 0;) {
        TKnot* k = order[i];
        TKnotParam* p = k->m_params;
        k->m_params = k->m_lastParam = nullptr;
        while (p) {
            TKnotParam* next = p->m_next;
            p->m_knot = nullptr;  // no unlinking walk
            p->~TKnotParam();
            TParamBlocks::Push(params, p);
            p = next;
        }
        k->TKnot::~TKnot();
        TKnotBlocks::Push(knots, k);
    }
    TParamBlocks::ReleaseChain(params);
    TKnotBlocks::ReleaseChain(knots);
}

void TKnot::BeforeDestruction() { FreeChildren(); }

void TKnot::ParentChanged() {
    TNode* parent = Parent();
    if (parent && parent->InheritsFrom(StaticClass())) SetFlags(static_cast<TKnot*>(parent)->m_flags);
}

void TKnot::SetFlags(TKnotFlags flags) {
    if (m_flags == flags) return;
    // Pre-order walk without recursion; a subtree whose top already has the value is skipped.
    TKnot* k = this;
    for (;;) {
        bool descend = false;
        if (k->m_flags != flags) {
            k->m_flags = flags;
            descend = k->FirstChild() != nullptr;
        }
        if (descend) {
            k = k->FirstKnot();
            continue;
        }
        while (k != this && !k->NextSibling()) k = k->ParentKnot();
        if (k == this) return;
        k = k->NextKnot();
    }
}

void TKnot::SetWasRead(bool value) noexcept {
    m_state = value ? (m_state | ksRead) : (m_state & ~ksRead);
}


void TKnot::SetWasReadAll(bool value) {
    WalkKnots(this, [value](TKnot* k) {
        k->SetWasRead(value);
        for (TKnotParam* p = k->m_params; p; p = p->m_next) p->m_wasRead = value;
    });
}

TKnot* TKnot::Marked(TKnot* knot) noexcept {
    if (knot) knot->m_state |= ksRead;
    return knot;
}

void TKnot::AppendBuilt(TKnot* child) {
    // Plain knots with the same inherited flags react to no notification of
    // the attach protocol (TKnot only takes its parent's flags over, and they
    // are equal), so the child is linked directly. A derived knot at either
    // end gets the whole protocol.
    if (typeid(*this) == typeid(TKnot) && typeid(*child) == typeid(TKnot) && child->m_flags == m_flags &&
        !child->Parent()) {
        AppendChildQuietly(child);
        return;
    }
    child->SetParentBefore(this, nullptr);
}

TKnot* TKnot::AddChild(const QString& name) {
    Q_ASSERT_X(name.isEmpty() || IsValidName(name), "TKnot::AddChild", "not a valid knot name");
    TNodePtr<TKnot> child = Create(name);
    child->m_flags = m_flags;
    child->SetParentBefore(this, nullptr);
    return Marked(child.release());
}

TKnot* TKnot::FindChild(QStringView name) {
    for (TKnot* k = FirstKnot(); k; k = k->NextKnot())
        if (k->m_name == name) return Marked(k);
    return nullptr;
}

TKnot* TKnot::FindNextSibling(QStringView name) {
    for (TKnot* k = NextKnot(); k; k = k->NextKnot())
        if (k->m_name == name) return Marked(k);
    return nullptr;
}

TKnot* TKnot::FindOrAddChild(const QString& name) {
    if (TKnot* k = FindChild(name)) return k;
    return AddChild(name);
}

TKnot* TKnot::FindPath(QStringView path, bool create) {
    TKnot* k = this;
    for (;;) {
        const qsizetype dot = path.indexOf(u'.');
        const QStringView name = dot < 0 ? path : path.left(dot);
        TKnot* next = k->FindChild(name);
        if (!next) {
            if (!create) return nullptr;
            next = k->AddChild(name.toString());
        }
        k = next;
        if (dot < 0) return k;
        path = path.mid(dot + 1);
    }
}

TKnot* TKnot::GetFirstChild() { return Marked(FirstKnot()); }
TKnot* TKnot::GetLastChild() { return Marked(static_cast<TKnot*>(LastChild())); }
TKnot* TKnot::GetNextSibling() { return Marked(NextKnot()); }
TKnot* TKnot::GetParentKnot() {
    TNode* parent = Parent();
    return parent && parent->InheritsFrom(StaticClass()) ? Marked(static_cast<TKnot*>(parent)) : nullptr;
}

TKnotParam* TKnot::AddParam(const QString& name) {
    Q_ASSERT_X(IsValidName(name), "TKnot::AddParam", "not a valid parameter name");
    return NewParam(name);
}

TKnotParam* TKnot::NewParam(const QString& name) {
    auto* p = new TKnotParam(this, name);
    (m_lastParam ? m_lastParam->m_next : m_params) = p;
    m_lastParam = p;
    return p;
}

TKnotParam* TKnot::FindParam(QStringView name) const noexcept {
    for (TKnotParam* p = m_params; p; p = p->m_next)
        if (p->m_name == name) return p;
    return nullptr;
}

bool TKnot::HasParam(QStringView name) {
    TKnotParam* p = FindParam(name);
    if (p) p->m_wasRead = true;
    return p;
}

bool TKnot::IsEmpty() const {
    if (m_params) return false;
    if (!FirstChild()) return true;
    if (GetFlags() & kfIndexed) return false;
    // Any knot below with parameters, or an indexed knot with children, makes it non-empty.
    bool empty = true;
    TKnot* top = const_cast<TKnot*>(this);
    TNode* n = top->FirstChild();
    while (n && empty) {
        auto* k = static_cast<TKnot*>(n);
        if (k->m_params || (k->FirstChild() && (k->GetFlags() & kfIndexed))) {
            empty = false;
            break;
        }
        if (k->FirstChild()) {
            n = k->FirstChild();
            continue;
        }
        while (n != top && !n->NextSibling()) n = n->Parent();
        n = n == top ? nullptr : n->NextSibling();
    }
    return empty;
}

void TKnot::Clear() {
    m_name.clear();
    m_flagsRemoved = m_flagsAdded = 0;
    FreeParams();
    FreeChildren();
    m_state = 0;
}

void TKnot::Assign(const TKnot& source) {
    if (&source == this) return;
    // A copy of the source first, so that assigning from one's own subtree works.
    TNodePtr<TKnot> copy = Create(source.m_name);
    copy->m_flags = m_flags;
    std::vector<std::pair<const TKnot*, TKnot*>> stack;  // source knot, its detached copy
    auto copyOwn = [](const TKnot& from, TKnot& to) {
        to.m_name = from.m_name;
        to.m_flagsRemoved = from.m_flagsRemoved;
        to.m_flagsAdded = from.m_flagsAdded;
        for (TKnotParam* p = from.m_params; p; p = p->m_next) to.NewParam(p->m_name)->Assign(*p);
    };
    copyOwn(source, *copy);
    // Depth-first; each copy is linked to its parent once its own subtree is complete.
    stack.emplace_back(&source, copy.get());
    std::vector<const TKnot*> cursor{source.FirstKnot()};
    while (!stack.empty()) {
        const TKnot* next = cursor.back();
        if (!next) {
            TKnot* done = stack.back().second;
            stack.pop_back();
            cursor.pop_back();
            if (!stack.empty()) stack.back().second->AppendBuilt(done);
            continue;
        }
        cursor.back() = next->NextKnot();
        auto* c = new TKnot();
        c->m_flags = m_flags;
        copyOwn(*next, *c);
        stack.emplace_back(next, c);
        cursor.push_back(next->FirstKnot());
    }
    // Take the copy over.
    const TKnotFlags inherited = m_flags;
    Clear();
    m_name = copy->m_name;
    m_flagsRemoved = copy->m_flagsRemoved;
    m_flagsAdded = copy->m_flagsAdded;
    m_params = copy->m_params;
    m_lastParam = copy->m_lastParam;
    copy->m_params = copy->m_lastParam = nullptr;
    for (TKnotParam* p = m_params; p; p = p->m_next) p->m_knot = this;
    while (TNode* c = copy->FirstChild()) static_cast<TKnot*>(c)->SetParentBefore(this, nullptr);
    m_flags = inherited;
}

// ---------------------------------------------------------------------------
// Typed values

QString TKnot::ReadStr(QStringView name, const QString& defaultValue) {
    TKnotParam* p = FindParam(name);
    return p ? p->GetValue() : defaultValue;
}

bool TKnot::ReadBool(QStringView name, bool defaultValue) {
    TKnotParam* p = FindParam(name);
    if (!p) return defaultValue;
    const QString v = p->GetValue();
    if (v == u"1") return true;
    if (v == u"0") return false;
    return defaultValue;
}

int TKnot::ReadInt(QStringView name, int defaultValue, int min, int max) {
    TKnotParam* p = FindParam(name);
    if (!p) return defaultValue;
    int value;
    if (!KnotText::ParseInt(p->GetValue(), value)) return defaultValue;
    if (min != max && (value < min || value > max)) return defaultValue;
    return value;
}

bool TKnot::ReadStream(QStringView name, QByteArray& stream) {
    TKnotParam* p = FindParam(name);
    return !p || p->ReadToStream(stream);
}

TKnotParam* TKnot::ParamForWrite(const QString& name) {
    Q_ASSERT_X(IsValidName(name), "TKnot::Write", "not a valid parameter name");
    if (GetFlags() & kfUniqueParams)
        if (TKnotParam* p = FindParam(name)) return p;
    return NewParam(name);
}

TKnotParam* TKnot::WriteStr(const QString& name, const QString& text) {
    TKnotParam* p = ParamForWrite(name);
    p->SetString(text);
    return p;
}

TKnotParam* TKnot::WriteBool(const QString& name, bool value) {
    return WriteStr(name, value ? QStringLiteral("1") : QStringLiteral("0"));
}

TKnotParam* TKnot::WriteInt(const QString& name, int value) { return WriteStr(name, QString::number(value)); }

TKnotParam* TKnot::WriteStream(const QString& name, const QByteArray& stream) {
    TKnotParam* p = ParamForWrite(name);
    p->SetStream(stream);
    return p;
}

TKnotParam* TKnot::WriteStreamRef(const QString& name, const QByteArray* stream) {
    TKnotParam* p = ParamForWrite(name);
    p->SetStreamRef(stream);
    return p;
}

TKnotParam* TKnot::WriteName(const QString& name) {
    TKnotParam* p = ParamForWrite(name);
    p->SetNone();
    return p;
}

// ---------------------------------------------------------------------------
// Reports

QString TKnot::GetPath() const {
    // Collect the steps upwards, then join them from the root down.
    QStringList steps;
    for (const TKnot* k = this; k; k = k->Parent() && k->Parent()->InheritsFrom(StaticClass()) ? k->ParentKnot() : nullptr) {
        const TKnot* parent = k->Parent() && k->Parent()->InheritsFrom(StaticClass()) ? k->ParentKnot() : nullptr;
        if (parent && (parent->GetFlags() & kfIndexed))
            steps.append(k->m_name + QLatin1Char('[') + QString::number(k->GetIndex() + 1) + QLatin1Char(']'));
        else
            steps.append(k->m_name);
    }
    std::reverse(steps.begin(), steps.end());
    return steps.join(QLatin1Char('.'));
}

bool TKnot::CollectUnread(QList<TKnot*>* knots, QList<TKnotParam*>* params, bool checkSelf) {
    bool found = false;
    // The top knot is examined with the caller's checkSelf, every knot below with checkSelf set.
    TNode* n = this;
    for (;;) {
        auto* k = static_cast<TKnot*>(n);
        bool descend = true;
        if ((k != this || checkSelf) && !k->GetWasRead()) {
            if (knots) knots->append(k);
            found = true;
            descend = false;
        } else {
            for (TKnotParam* p = k->m_params; p; p = p->m_next)
                if (!p->m_wasRead) {
                    if (params) params->append(p);
                    found = true;
                }
        }
        if (descend && n->FirstChild()) {
            n = n->FirstChild();
            continue;
        }
        while (n != this && !n->NextSibling()) n = n->Parent();
        if (n == this) return found;
        n = n->NextSibling();
    }
}

// ---------------------------------------------------------------------------
// Text and files

QString TKnot::SaveToString() const { return KnotText::Write(*this); }

QByteArray TKnot::SaveToBytes(TKnotEncoding encoding) const {
    return KnotText::WriteBytes(*this, encoding);
}

void TKnot::SaveToStream(QIODevice& stream, TKnotEncoding encoding) const {
    const QByteArray bytes = SaveToBytes(encoding);
    if (stream.write(bytes) != bytes.size()) {
        const auto* file = qobject_cast<const QFileDevice*>(&stream);
        throw Exception::FromId(strCannotWriteFile, {file ? file->fileName() : stream.objectName()});
    }
}

void TKnot::SaveToFile(const QString& fileName, TKnotEncoding encoding) const {
    KnotText::WriteFileAtomically(fileName, SaveToBytes(encoding));
}

bool TKnot::LoadFromText(const QChar* chars, qsizetype count) {
    return KnotText::Read(*this, reinterpret_cast<const char16_t*>(chars), count);
}

bool TKnot::LoadFromBytes(const QByteArray& bytes) { return KnotText::ReadBytes(*this, bytes); }

bool TKnot::LoadFromStream(QIODevice& stream) { return LoadFromBytes(stream.readAll()); }

bool TKnot::LoadFromFile(const QString& fileName) {
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        if (!QFileInfo::exists(fileName)) throw Exception::FromId(strFileNotFound, {fileName});
        throw Exception::FromId(strCannotReadFile, {fileName});
    }
    return LoadFromStream(file);
}
