#pragma once
// A compact multimap from 64-bit hashes to pointers, for indexes of many
// thousands of entries that must stay cheap when they no longer fit in the
// caches: one flat array of (hash, pointer) slots probed linearly, so that a
// look-up touches one cache line (rarely two) and compares hashes before the
// caller looks at any object. Several pointers may share a hash (equal keys,
// or a rare collision of different keys): the caller tells them apart.
// Beside each slot a byte tells whether it is taken and holds seven bits of
// its hash: a look-up probes these bytes (a sixteenth of the slots' memory,
// so more of them stay in the caches) and loads a slot only when its byte
// matches, so that a look-up of a hash not held rarely loads a slot.
//
// New entries wait in a short list while the slots they will take are
// loaded, and go into the table together once the list is full, so that an
// insertion does not stall on a slot that is not in the cache (look-ups
// check the list too). Removals of entries known to be held (EraseHeld) wait
// the same way in a list of their own; until they are done, look-ups pass
// over the entries they will remove. Only tables too big for a few cache
// lines keep these lists (they take as much memory as 32 slots): a small
// table takes its entries and removals at once. An empty index holds no
// table at all, so that the many objects that keep an index they seldom
// fill (namespaces, connections) stay small. Not thread-safe; the owner
// locks (only PrefetchUnlocked may be called without the lock).

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <utility>

// A bijective mix of 64 bits (the finaliser of MurmurHash3): equal results
// mean equal inputs, and every input bit reaches the low bits.
constexpr uint64_t MixHash(uint64_t h) noexcept {
    h ^= h >> 33;
    h *= 0xff51afd7ed558ccdull;
    h ^= h >> 33;
    h *= 0xc4ceb9fe1a85ec53ull;
    h ^= h >> 33;
    return h;
}

template <class T>
class THashIndex {
public:
    THashIndex() = default;
    THashIndex(const THashIndex&) = delete;
    THashIndex& operator=(const THashIndex&) = delete;

    // Starts loading the first slot probed for hash, for a look-up that
    // follows after other work.
    void Prefetch(uint64_t hash) const noexcept {
        if (m_count) PrefetchProbe(hash);
    }

    // The same for a look-up that follows under the owner's lock, called
    // before the lock is taken, from any thread: it reads only what the
    // table published of its place when it last grew, so at worst it loads
    // a line that is no longer needed.
    void PrefetchUnlocked(uint64_t hash) const noexcept {
        const uintptr_t base = m_publishedSlots.load(std::memory_order_relaxed);
        const size_t mask = m_publishedMask.load(std::memory_order_relaxed);
        if (!base) return;
        const size_t home = size_t(hash) & mask;
        __builtin_prefetch(reinterpret_cast<const void*>(base + (mask + 1) * sizeof(TSlot) + home));
        __builtin_prefetch(reinterpret_cast<const void*>(base + home * sizeof(TSlot)));
    }

    // Adds value under hash (value must not be nil; the same pair twice is
    // kept twice).
    void Insert(uint64_t hash, T* value) {
        if (!m_pending) {
            if ((m_count + 1) * 2 > Capacity()) Grow();
            if (!m_pending) {
                Place(hash, value);
                ++m_count;
                return;
            }
        }
        TPending& pending = *m_pending;
        for (size_t i = 0; i < m_erasing; ++i)
            if (pending.erasures[i].hash == hash && pending.erasures[i].value == value) {
                // Still in its slot: the removal is called off.
                pending.erasures[i] = pending.erasures[--m_erasing];
                ++m_count;
                return;
            }
        if (m_waiting == kWaiting) Settle();
        if ((m_count + m_erasing + 1) * 2 > Capacity()) {
            Settle();
            SettleErasures();
            if ((m_count + 1) * 2 > Capacity()) Grow();
        }
        PrefetchProbe(hash);
        pending.queue[m_waiting++] = TSlot{hash, value};
        ++m_count;
    }

    size_t Count() const noexcept { return m_count; }

    // Removes every entry and gives the slots back.
    void Clear() noexcept {
        m_slots.reset();
        m_pending.reset();
        m_mask = m_count = 0;
        m_waiting = m_erasing = 0;
        Publish();
    }

    // Removes every entry and keeps the slots for the next ones.
    void Forget() noexcept {
        const size_t capacity = Capacity();
        std::fill_n(m_slots.get(), capacity, TSlot{});
        std::fill_n(Tags(), capacity, uint8_t(0));
        m_count = 0;
        m_waiting = m_erasing = 0;
    }

    // Removes one entry (hash, value); false when there is none.
    bool Erase(uint64_t hash, T* value) noexcept {
        SettleErasures();
        if (!m_count) return false;
        for (size_t i = 0; i < m_waiting; ++i)
            if (m_pending->queue[i].hash == hash && m_pending->queue[i].value == value) {
                m_pending->queue[i] = m_pending->queue[--m_waiting];
                --m_count;
                return true;
            }
        const uint8_t* tags = Tags();
        for (size_t i = size_t(hash) & m_mask;; i = (i + 1) & m_mask) {
            TSlot& slot = m_slots[i];
            if (!tags[i]) return false;
            if (slot.hash == hash && slot.value == value) {
                RemoveAt(i);
                --m_count;
                return true;
            }
        }
    }

    // Removes one entry (hash, value) that the index holds, without waiting
    // for its slot to load (in a big table): the removal is done with the
    // next ones.
    void EraseHeld(uint64_t hash, T* value) noexcept {
        if (!m_pending) {
            Erase(hash, value);
            return;
        }
        TPending& pending = *m_pending;
        for (size_t i = 0; i < m_waiting; ++i)
            if (pending.queue[i].hash == hash && pending.queue[i].value == value) {
                pending.queue[i] = pending.queue[--m_waiting];
                --m_count;
                return;
            }
        if (m_erasing == kWaiting) SettleErasures();
        PrefetchProbe(hash);
        pending.erasures[m_erasing++] = TSlot{hash, value};
        --m_count;
    }

    // The first value under hash for which accept(value) is true (in no
    // particular order); nil when none.
    template <class F>
    T* Find(uint64_t hash, F&& accept) const {
        if (!m_count) return nullptr;
        size_t vacant;
        return Search(hash, accept, vacant);
    }

    // The first value under hash for which accept(value) is true; when there
    // is none, make() (never nil) is added under hash and answered. The new
    // entry takes the free slot that ended the search when the table has
    // room, without waiting: that slot is in the cache already.
    template <class F, class M>
    T* FindOrInsert(uint64_t hash, F&& accept, M&& make) {
        size_t vacant = 0;
        if (m_slots)
            if (T* found = Search(hash, accept, vacant)) return found;
        T* made = make();
        if (!m_slots || (m_count + m_erasing + 1) * 2 > Capacity()) {
            Insert(hash, made);
            return made;
        }
        m_slots[vacant] = TSlot{hash, made};
        Tags()[vacant] = TagOf(hash);
        ++m_count;
        return made;
    }

    // Calls f(value) for every value under hash.
    template <class F>
    void ForEach(uint64_t hash, F&& f) const {
        Find(hash, [&f](T* value) {
            f(value);
            return false;
        });
    }

    // Calls f(hash, value) for every entry, in no particular order; f must
    // not change the index.
    template <class F>
    void ForEachEntry(F&& f) const {
        for (size_t i = 0; i < m_waiting; ++i) f(m_pending->queue[i].hash, m_pending->queue[i].value);
        const uint8_t* tags = Tags();
        uint32_t passed = 0;
        for (size_t i = 0; i < Capacity(); ++i)
            if (tags[i] && !PassOver(m_slots[i], passed)) f(m_slots[i].hash, m_slots[i].value);
    }

private:
    struct TSlot {
        uint64_t hash;
        T* value;  // nil: free
    };

    static constexpr size_t kWaiting = 16;
    static_assert(kWaiting <= 32, "Find marks the waiting removals in 32 bits");
    // The smallest table that keeps the lists of waiting entries and removals.
    static constexpr size_t kQueuedFrom = 256;
    static constexpr uint8_t kTaken = 0x80;  // in the byte of every taken slot (0: free)
    static constexpr int kTagShift = 57;     // the hash's top seven bits go into its byte

    // The entries waiting to go in and the removals waiting to be done.
    struct TPending {
        TSlot queue[kWaiting] = {};
        TSlot erasures[kWaiting] = {};
    };

    static uint8_t TagOf(uint64_t hash) noexcept { return uint8_t(kTaken | (hash >> kTagShift)); }

    size_t Capacity() const noexcept { return m_slots ? m_mask + 1 : 0; }
    // The bytes beside the slots lie after the last slot, in the same block.
    uint8_t* Tags() const noexcept { return reinterpret_cast<uint8_t*>(m_slots.get() + Capacity()); }

    // Loads the home slot of hash and the slot after it, where a probe goes
    // on when the home slot is taken (often in the same cache line).
    void PrefetchProbe(uint64_t hash) const noexcept {
        const size_t home = size_t(hash) & m_mask;
        __builtin_prefetch(Tags() + home);
        __builtin_prefetch(&m_slots[home]);
        __builtin_prefetch(&m_slots[(home + 1) & m_mask]);
    }

    void Publish() noexcept {
        m_publishedSlots.store(reinterpret_cast<uintptr_t>(m_slots.get()), std::memory_order_relaxed);
        m_publishedMask.store(m_mask, std::memory_order_relaxed);
    }

    // The first value under hash that accept takes (the waiting entries
    // first), or nil with vacant at the free slot that ended the probe.
    template <class F>
    T* Search(uint64_t hash, F& accept, size_t& vacant) const {
        for (size_t i = 0; i < m_waiting; ++i)
            if (m_pending->queue[i].hash == hash && accept(m_pending->queue[i].value)) return m_pending->queue[i].value;
        uint32_t passed = 0;  // the waiting removals that have hidden an entry
        const uint8_t tag = TagOf(hash);
        const uint8_t* tags = Tags();
        for (vacant = size_t(hash) & m_mask; tags[vacant]; vacant = (vacant + 1) & m_mask) {
            if (tags[vacant] != tag) continue;
            const TSlot& slot = m_slots[vacant];
            if (slot.hash == hash && !PassOver(slot, passed) && accept(slot.value)) return slot.value;
        }
        return nullptr;
    }

    // The waiting entries go into their slots.
    void Settle() noexcept {
        for (size_t i = 0; i < m_waiting; ++i) Place(m_pending->queue[i].hash, m_pending->queue[i].value);
        m_waiting = 0;
    }

    // The waiting removals are done.
    void SettleErasures() noexcept {
        const uint8_t* tags = Tags();
        for (size_t e = 0; e < m_erasing; ++e) {
            const TSlot& erasure = m_pending->erasures[e];
            for (size_t i = size_t(erasure.hash) & m_mask; tags[i]; i = (i + 1) & m_mask)
                if (m_slots[i].hash == erasure.hash && m_slots[i].value == erasure.value) {
                    RemoveAt(i);
                    break;
                }
        }
        m_erasing = 0;
    }

    // Whether slot holds an entry that a waiting removal takes away; each
    // removal hides one entry (the same pair may be held twice).
    bool PassOver(const TSlot& slot, uint32_t& passed) const noexcept {
        for (size_t e = 0; e < m_erasing; ++e)
            if (!(passed & (1u << e)) && m_pending->erasures[e].hash == slot.hash &&
                m_pending->erasures[e].value == slot.value) {
                passed |= 1u << e;
                return true;
            }
        return false;
    }

    void Place(uint64_t hash, T* value) noexcept {
        uint8_t* tags = Tags();
        size_t i = size_t(hash) & m_mask;
        while (tags[i]) i = (i + 1) & m_mask;
        m_slots[i] = TSlot{hash, value};
        tags[i] = TagOf(hash);
    }

    // The slots and, after them, their bytes: one block, all free.
    static std::unique_ptr<TSlot[]> NewSlots(size_t capacity) {
        const size_t slotsForTags = (capacity + sizeof(TSlot) - 1) / sizeof(TSlot);
        return std::unique_ptr<TSlot[]>(new TSlot[capacity + slotsForTags]());
    }

    void Grow() {
        const size_t old = Capacity();
        const size_t capacity = old ? old * 2 : 8;
        std::unique_ptr<TSlot[]> former = NewSlots(capacity);
        std::swap(former, m_slots);
        m_mask = capacity - 1;
        if (capacity >= kQueuedFrom && !m_pending) m_pending = std::make_unique<TPending>();
        Publish();
        for (size_t i = 0; i < old; ++i)
            if (former[i].value) Place(former[i].hash, former[i].value);
    }

    // Backward-shift deletion: the entries after the hole that may move
    // closer to their home slot do, so no probe ever stops short.
    void RemoveAt(size_t hole) noexcept {
        uint8_t* tags = Tags();
        for (size_t j = (hole + 1) & m_mask; tags[j]; j = (j + 1) & m_mask) {
            const size_t home = size_t(m_slots[j].hash) & m_mask;
            // The entry stays when its home lies cyclically in (hole, j].
            const bool stays = hole <= j ? (hole < home && home <= j) : (hole < home || home <= j);
            if (stays) continue;
            m_slots[hole] = m_slots[j];
            tags[hole] = tags[j];
            hole = j;
        }
        m_slots[hole].value = nullptr;
        tags[hole] = 0;
    }

    std::unique_ptr<TSlot[]> m_slots;  // the slots, then beside each (after the last) its byte:
                                       // kTaken and seven bits of its hash, or 0
    std::unique_ptr<TPending> m_pending;  // only in tables of kQueuedFrom slots and more
    size_t m_mask = 0;
    size_t m_count = 0;  // the waiting entries included, those waiting for removal not
    uint8_t m_waiting = 0;
    uint8_t m_erasing = 0;
    // The slots' address and mask for PrefetchUnlocked, written under the
    // owner's lock when the slots are made anew.
    std::atomic<uintptr_t> m_publishedSlots{0};
    std::atomic<size_t> m_publishedMask{0};
};
