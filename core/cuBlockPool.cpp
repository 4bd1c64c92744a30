#include "core/cuBlockPool.h"

#include <algorithm>

TBlockPool::TLock::TLock(std::atomic_flag& f) noexcept : flag(f) {
    while (flag.test_and_set(std::memory_order_acquire))
        while (flag.test(std::memory_order_relaxed)) {}
}

TBlockPool::TChain TBlockPool::TakeChain() {
    TLock lock(m_busy);
    if (m_chains.empty()) Grow();
    const TChain chain = m_chains.back();
    m_chains.pop_back();
    return chain;
}

void TBlockPool::GiveBack(const TChain& chain) noexcept {
    TLock lock(m_busy);
    // Short chains (threads past their end free one block at a time) join the last one.
    if (chain.count < kShortChain && !m_chains.empty()) {
        Join(chain);
        return;
    }
    try {
        m_chains.push_back(chain);
    } catch (...) {
        // Out of memory for the list: the list held a chain before (it never
        // shrinks), so there is one to join.
        Join(chain);
    }
}

void TBlockPool::Join(const TChain& chain) noexcept {
    TChain& back = m_chains.back();
    chain.last->next = back.first;
    back.first = chain.first;
    back.count += chain.count;
}

void TBlockPool::Grow() {
    if (m_freshCount == 0) {
        const size_t count = kSlabBytes / m_size;
        char* slab = static_cast<char*>(::operator new(count * m_size, std::align_val_t(16)));
        m_slabs.push_back(slab);
        m_fresh = slab;
        m_freshCount = count;
    }
    // Only the blocks of one chain are linked (and so touched): a slab's pages
    // are taken from the system when they are first needed, not all at once.
    const size_t count = std::min(m_freshCount, std::max<size_t>(1, kFreshChainBytes / m_size));
    TChain chain;
    for (size_t i = count; i-- > 0;) {
        auto* b = reinterpret_cast<TBlock*>(m_fresh + i * m_size);
        b->next = chain.first;
        chain.first = b;
        if (!chain.last) chain.last = b;
    }
    chain.count = count;
    m_fresh += count * m_size;
    m_freshCount -= count;
    m_chains.push_back(chain);
}

TBlockCache::~TBlockCache() {
    GiveAllBack(m_state, m_pool);
    m_state.closed = true;
    m_state.ready = false;
}

void TBlockCache::GiveAllBack(TBlockCacheState& state, TBlockPool& pool) noexcept {
    if (!state.chain.first) return;
    pool.GiveBack(state.chain);
    state.chain = {};
}
