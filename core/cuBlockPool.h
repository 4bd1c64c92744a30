#pragma once
// Fixed-size blocks for the knot tree and other classes of many small objects
// (TBlockAllocated). Trees of a million knots are built and freed often
// (snapshots, loads), whole texts when they are set; blocks carved from large
// slabs keep that from being dominated by the general allocator, and blocks
// freed together are taken again close together. Slabs are kept for reuse for
// the life of the process.
//
// Sanitizer builds (address or thread) use the general allocator instead, so
// that every block is seen by the sanitizer: a freed knot touched again is
// reported like any other freed object.

#include "core/cuRegions.h"  // QUILLANE_GENERAL_ALLOCATOR

#include <atomic>
#include <cstddef>
#include <new>
#include <vector>

// Free blocks of one size, in chains linked through their first word. Chains
// are kept as they were given back, so that taking one never walks its blocks
// (freed blocks lie all over memory: walking them is a cache miss per block).
class TBlockPool {
public:
    struct TBlock {
        TBlock* next;
    };
    struct TChain {  // last->next is nil
        TBlock* first = nullptr;
        TBlock* last = nullptr;
        size_t count = 0;
    };

    // Blocks keep the alignment of pointers, all that knots and parameters need;
    // no padding beyond it, since big trees are bound by memory traffic.
    static constexpr size_t RoundedSize(size_t size) noexcept { return (size + 7) & ~size_t(7); }
    explicit TBlockPool(size_t blockSize) noexcept : m_size(RoundedSize(blockSize)) {}

    // A whole chain of free blocks (never empty).
    TChain TakeChain();
    void GiveBack(const TChain& chain) noexcept;

private:
    struct TLock {
        explicit TLock(std::atomic_flag& f) noexcept;
        ~TLock() { flag.clear(std::memory_order_release); }
        std::atomic_flag& flag;
    };
    static constexpr size_t kSlabBytes = 256 * 1024;
    static constexpr size_t kFreshChainBytes = 64 * 1024;  // a new chain from the slab
    static constexpr size_t kShortChain = 64;

    void Join(const TChain& chain) noexcept;
    void Grow();

    const size_t m_size;
    std::atomic_flag m_busy;
    std::vector<TChain> m_chains;
    std::vector<char*> m_slabs;
    char* m_fresh = nullptr;  // the last slab's blocks never handed out
    size_t m_freshCount = 0;
};

// A thread's chain of free blocks of one size, so that most allocations and
// frees take no lock. A block may be freed by another thread than the one
// that took it: blocks belong to the pool, never to a thread. The chain goes
// back to the pool when it grows long and when the thread ends; after that
// (static destructors may still free knots) the thread uses the pool directly.
struct TBlockCacheState {  // trivially destructible: usable until the thread is gone
    TBlockPool::TChain chain;
    bool ready = false;   // the give-back at the thread's end is arranged and has not run
    bool closed = false;  // it has run
};

// Gives a thread's chain back at the thread's end.
class TBlockCache {
public:
    TBlockCache(TBlockCacheState& state, TBlockPool& pool) noexcept : m_state(state), m_pool(pool) {}
    ~TBlockCache();
    static void GiveAllBack(TBlockCacheState& state, TBlockPool& pool) noexcept;

private:
    TBlockCacheState& m_state;
    TBlockPool& m_pool;
};

// The blocks of one class: its pool (never destroyed: knots may be freed by
// static destructors of other units) and each thread's cache. The common
// cases stay short and inline; whatever involves the pool or the thread's end
// is out of line.
template <class T>
class TBlocks {
public:
    static constexpr size_t kBlockSize = TBlockPool::RoundedSize(sizeof(T));
    static_assert(alignof(T) <= 8, "blocks are aligned for pointers only");

#ifdef QUILLANE_GENERAL_ALLOCATOR
    static void* Alloc() { return ::operator new(sizeof(T)); }
    static void Release(void* block) noexcept { ::operator delete(block); }
#else
    static void* Alloc() {
        // A load takes its blocks in order, beside the objects they belong to.
        if (void* block = TRegions::Allocate(kBlockSize)) return block;
        TBlockCacheState& st = State();
        TBlockPool::TBlock* b = st.chain.first;
        if (!b || !st.ready) [[unlikely]]
            return AllocSlow(st);
        Take(st.chain, b);
        return b;
    }

    static void Release(void* block) noexcept {
        if (TRegions::Owns(block)) {
            TRegions::Release(block);
            return;
        }
        TBlockCacheState& st = State();
        TBlockPool::TChain& c = st.chain;
        auto* b = static_cast<TBlockPool::TBlock*>(block);
        b->next = c.first;
        if (!c.last) c.last = b;
        c.first = b;
        ++c.count;
        if (!st.ready || c.count > kKeep) [[unlikely]]
            Settle(st);
    }

private:
    static constexpr size_t kKeep = 16384;

    static TBlockPool& Pool() {
        static TBlockPool* pool = new TBlockPool(sizeof(T));
        return *pool;
    }
    static TBlockCacheState& State() noexcept {
        thread_local TBlockCacheState state;  // constant-initialised: no guard on the way
        return state;
    }

    static void Take(TBlockPool::TChain& c, TBlockPool::TBlock* b) noexcept {
        c.first = b->next;
        if (!c.first) c.last = nullptr;
        --c.count;
    }

    // Arranges the give-back at the thread's end, once per thread.
    static void Prepare(TBlockCacheState& st, TBlockPool& pool) noexcept {
        if (st.ready || st.closed) return;
        thread_local TBlockCache giveBackAtThreadEnd(st, pool);
        st.ready = true;
    }

    [[gnu::noinline]] static void* AllocSlow(TBlockCacheState& st) {
        TBlockPool& pool = Pool();  // made on the first allocation ever; may raise
        Prepare(st, pool);
        if (!st.chain.first) st.chain = pool.TakeChain();
        TBlockPool::TBlock* b = st.chain.first;
        Take(st.chain, b);
        if (st.closed) TBlockCache::GiveAllBack(st, pool);
        return b;
    }

    // Blocks are freed only after one was allocated: the pool exists.
    [[gnu::noinline]] static void Settle(TBlockCacheState& st) noexcept {
        TBlockPool& pool = Pool();
        Prepare(st, pool);
        if (st.closed || st.chain.count > kKeep) TBlockCache::GiveAllBack(st, pool);
    }
#endif
};

// Class-level allocation from the blocks of T, for classes of many small
// objects made and freed in bulk: `class TFoo final : public TBase,
// public TBlockAllocated<TFoo>`. An object of another size (a class derived
// from T) goes to the general allocator.
template <class T>
class TBlockAllocated {
public:
    static void* operator new(size_t size) { return size == sizeof(T) ? TBlocks<T>::Alloc() : ::operator new(size); }
    static void operator delete(void* block, size_t size) noexcept {
        if (size == sizeof(T))
            TBlocks<T>::Release(block);
        else
            ::operator delete(block);
    }
};
