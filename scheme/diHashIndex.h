#pragma once
// A compact multimap from 64-bit hashes to pointers, for indexes of many
// thousands of entries that must stay cheap when they no longer fit in the
// caches: one flat array of (hash, pointer) slots probed linearly, so that a
// look-up touches one cache line (rarely two) and compares hashes before the
// caller looks at any object. Several pointers may share a hash (equal keys,
// or a rare collision of different keys): the caller tells them apart.
//
// New entries wait in a short list while the slots they will take are
// loaded, and go into the table together once the list is full, so that an
// insertion does not stall on a slot that is not in the cache (look-ups
// check the list too). Removals of entries known to be held (EraseHeld) wait
// the same way in a list of their own; until they are done, look-ups pass
// over the entries they will remove. Not thread-safe; the owner locks.

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
        if (m_count) __builtin_prefetch(&m_slots[size_t(hash) & m_mask]);
    }

    // Adds value under hash (value must not be nil; the same pair twice is
    // kept twice).
    void Insert(uint64_t hash, T* value) {
        for (size_t i = 0; i < m_erasing; ++i)
            if (m_erasures[i].hash == hash && m_erasures[i].value == value) {
                // Still in its slot: the removal is called off.
                m_erasures[i] = m_erasures[--m_erasing];
                ++m_count;
                return;
            }
        if (m_waiting == kWaiting) Settle();
        if ((m_count + m_erasing + 1) * 2 > Capacity()) {
            Settle();
            SettleErasures();
            if ((m_count + 1) * 2 > Capacity()) Grow();
        }
        __builtin_prefetch(&m_slots[size_t(hash) & m_mask]);
        m_queue[m_waiting++] = TSlot{hash, value};
        ++m_count;
    }

    // Removes one entry (hash, value); false when there is none.
    bool Erase(uint64_t hash, T* value) noexcept {
        SettleErasures();
        if (!m_count) return false;
        for (size_t i = 0; i < m_waiting; ++i)
            if (m_queue[i].hash == hash && m_queue[i].value == value) {
                m_queue[i] = m_queue[--m_waiting];
                --m_count;
                return true;
            }
        for (size_t i = size_t(hash) & m_mask;; i = (i + 1) & m_mask) {
            TSlot& slot = m_slots[i];
            if (!slot.value) return false;
            if (slot.hash == hash && slot.value == value) {
                RemoveAt(i);
                --m_count;
                return true;
            }
        }
    }

    // Removes one entry (hash, value) that the index holds, without waiting
    // for its slot to load: the removal is done with the next ones.
    void EraseHeld(uint64_t hash, T* value) noexcept {
        for (size_t i = 0; i < m_waiting; ++i)
            if (m_queue[i].hash == hash && m_queue[i].value == value) {
                m_queue[i] = m_queue[--m_waiting];
                --m_count;
                return;
            }
        if (m_erasing == kWaiting) SettleErasures();
        __builtin_prefetch(&m_slots[size_t(hash) & m_mask]);
        m_erasures[m_erasing++] = TSlot{hash, value};
        --m_count;
    }

    // The first value under hash for which accept(value) is true (in no
    // particular order); nil when none.
    template <class F>
    T* Find(uint64_t hash, F&& accept) const {
        if (!m_count) return nullptr;
        for (size_t i = 0; i < m_waiting; ++i)
            if (m_queue[i].hash == hash && accept(m_queue[i].value)) return m_queue[i].value;
        uint32_t passed = 0;  // the waiting removals that have hidden an entry
        for (size_t i = size_t(hash) & m_mask;; i = (i + 1) & m_mask) {
            const TSlot& slot = m_slots[i];
            if (!slot.value) return nullptr;
            if (slot.hash == hash && !PassOver(slot, passed) && accept(slot.value)) return slot.value;
        }
    }

    // Calls f(value) for every value under hash.
    template <class F>
    void ForEach(uint64_t hash, F&& f) const {
        Find(hash, [&f](T* value) {
            f(value);
            return false;
        });
    }

private:
    struct TSlot {
        uint64_t hash;
        T* value;  // nil: free
    };

    static constexpr size_t kWaiting = 16;
    static_assert(kWaiting <= 32, "Find marks the waiting removals in 32 bits");

    size_t Capacity() const noexcept { return m_slots ? m_mask + 1 : 0; }

    // The waiting entries go into their slots.
    void Settle() noexcept {
        for (size_t i = 0; i < m_waiting; ++i) Place(m_queue[i].hash, m_queue[i].value);
        m_waiting = 0;
    }

    // The waiting removals are done.
    void SettleErasures() noexcept {
        for (size_t e = 0; e < m_erasing; ++e)
            for (size_t i = size_t(m_erasures[e].hash) & m_mask; m_slots[i].value; i = (i + 1) & m_mask)
                if (m_slots[i].hash == m_erasures[e].hash && m_slots[i].value == m_erasures[e].value) {
                    RemoveAt(i);
                    break;
                }
        m_erasing = 0;
    }

    // Whether slot holds an entry that a waiting removal takes away; each
    // removal hides one entry (the same pair may be held twice).
    bool PassOver(const TSlot& slot, uint32_t& passed) const noexcept {
        for (size_t e = 0; e < m_erasing; ++e)
            if (!(passed & (1u << e)) && m_erasures[e].hash == slot.hash && m_erasures[e].value == slot.value) {
                passed |= 1u << e;
                return true;
            }
        return false;
    }

    void Place(uint64_t hash, T* value) noexcept {
        size_t i = size_t(hash) & m_mask;
        while (m_slots[i].value) i = (i + 1) & m_mask;
        m_slots[i] = TSlot{hash, value};
    }

    void Grow() {
        const size_t old = Capacity();
        const size_t capacity = old ? old * 2 : 8;
        std::unique_ptr<TSlot[]> former(new TSlot[capacity]());
        std::swap(former, m_slots);
        m_mask = capacity - 1;
        for (size_t i = 0; i < old; ++i)
            if (former[i].value) Place(former[i].hash, former[i].value);
    }

    // Backward-shift deletion: the entries after the hole that may move
    // closer to their home slot do, so no probe ever stops short.
    void RemoveAt(size_t hole) noexcept {
        for (size_t j = (hole + 1) & m_mask; m_slots[j].value; j = (j + 1) & m_mask) {
            const size_t home = size_t(m_slots[j].hash) & m_mask;
            // The entry stays when its home lies cyclically in (hole, j].
            const bool stays = hole <= j ? (hole < home && home <= j) : (hole < home || home <= j);
            if (stays) continue;
            m_slots[hole] = m_slots[j];
            hole = j;
        }
        m_slots[hole].value = nullptr;
    }

    std::unique_ptr<TSlot[]> m_slots;
    size_t m_mask = 0;
    size_t m_count = 0;  // the waiting entries included, those waiting for removal not
    size_t m_waiting = 0;
    size_t m_erasing = 0;
    TSlot m_queue[kWaiting] = {};
    TSlot m_erasures[kWaiting] = {};
};
