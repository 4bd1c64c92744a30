#pragma once
// A multimap from 64-bit hashes to pointers for hashes that many values
// share (the thousands of connections a namespace tells of one name): adding,
// finding and removing one (hash, value) pair cost about the same whatever
// the number of values under its hash, and the values under a hash are
// walked in the order they came. THashIndex keeps the entries of one hash in
// one run of slots and pays the length of that run for each of these.
//
// Each pair is an entry filed by the pair in one index and linked into the
// list of its hash, whose first entry a second index files by the hash.
// Not thread-safe; the owner locks.

#include "scheme/diHashIndex.h"

#include <cstddef>
#include <cstdint>
#include <deque>

template <class T>
class THashGroups {
public:
    THashGroups() = default;
    THashGroups(const THashGroups&) = delete;
    THashGroups& operator=(const THashGroups&) = delete;

    // The pairs held, each as often as it was added.
    size_t Count() const noexcept { return m_count; }

    // Adds value under hash (value must not be nil; the same pair twice is
    // kept twice, and walked once).
    void Insert(uint64_t hash, T* value) {
        ++m_count;
        if (TEntry* entry = FindEntry(hash, value)) {
            ++entry->times;
            return;
        }
        TEntry* entry = NewEntry(hash, value);
        m_pairs.Insert(PairHash(hash, value), entry);
        if (TEntry* first = First(hash)) {
            TEntry* last = first->prev;
            last->next = entry;
            entry->prev = last;
            first->prev = entry;
        } else {
            m_firsts.Insert(hash, entry);
        }
    }

    // Removes one of the pair (hash, value); false when there is none.
    bool Erase(uint64_t hash, T* value) {
        TEntry* entry = FindEntry(hash, value);
        if (!entry) return false;
        --m_count;
        if (--entry->times) return true;
        m_pairs.EraseHeld(PairHash(hash, value), entry);
        TEntry* first = First(hash);
        if (entry == first) {
            m_firsts.EraseHeld(hash, entry);
            if (TEntry* next = entry->next) {
                next->prev = entry->prev;
                m_firsts.Insert(hash, next);
            }
        } else {
            entry->prev->next = entry->next;
            (entry->next ? entry->next : first)->prev = entry->prev;
        }
        Recycle(entry);
        return true;
    }

    bool Contains(uint64_t hash, const T* value) const { return FindEntry(hash, value) != nullptr; }

    // Calls f(value) for every value under hash, in the order they came;
    // f must not change the groups.
    template <class F>
    void ForEach(uint64_t hash, F&& f) const {
        for (const TEntry* entry = First(hash); entry; entry = entry->next) f(entry->value);
    }

private:
    struct TEntry {
        uint64_t hash = 0;
        T* value = nullptr;
        TEntry* next = nullptr;  // in the list of the hash; the free list
        TEntry* prev = nullptr;  // the first entry's is the last one
        size_t times = 0;
    };

    static uint64_t PairHash(uint64_t hash, const T* value) noexcept {
        return MixHash(hash ^ MixHash(uint64_t(uintptr_t(value))));
    }

    TEntry* First(uint64_t hash) const {
        return m_firsts.Find(hash, [](const TEntry*) { return true; });
    }

    TEntry* FindEntry(uint64_t hash, const T* value) const {
        return m_pairs.Find(PairHash(hash, value),
                            [hash, value](const TEntry* e) { return e->hash == hash && e->value == value; });
    }

    TEntry* NewEntry(uint64_t hash, T* value) {
        TEntry* entry = m_free;
        if (entry)
            m_free = entry->next;
        else
            entry = &m_store.emplace_back();
        *entry = TEntry{hash, value, nullptr, entry, 1};
        return entry;
    }

    void Recycle(TEntry* entry) noexcept {
        *entry = TEntry{};
        entry->next = m_free;
        m_free = entry;
    }

    THashIndex<TEntry> m_pairs;   // every entry, by PairHash
    THashIndex<TEntry> m_firsts;  // the first entry of each hash, by the hash
    std::deque<TEntry> m_store;   // the entries; a deque never moves them
    TEntry* m_free = nullptr;
    size_t m_count = 0;
};
