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
// Most groups hold a few pairs (the names one scope waits for, the
// references of one namespace): up to kFewPairs they are kept in one short
// list in the order they came, searched from end to end, without the indexes;
// the indexes are made when one more comes, and given up when the last goes.
// Not thread-safe; the owner locks.

#include "scheme/diHashIndex.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

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
        if (!m_indexed) {
            if (TFewPair* pair = FindFew(hash, value)) {
                ++pair->times;
                ++m_count;
                return;
            }
            if (m_few.size() < kFewPairs) {
                m_few.push_back(TFewPair{hash, value, 1});
                ++m_count;
                return;
            }
            Index();
        }
        m_indexed->Insert(hash, value, 1);
        ++m_count;
    }

    // Removes one of the pair (hash, value); false when there is none.
    bool Erase(uint64_t hash, T* value) {
        if (!m_indexed) {
            TFewPair* pair = FindFew(hash, value);
            if (!pair) return false;
            if (!--pair->times) m_few.erase(m_few.begin() + (pair - m_few.data()));
        } else if (!m_indexed->Erase(hash, value)) {
            return false;
        }
        if (!--m_count) m_indexed.reset();  // the last pair went: the memory goes back
        return true;
    }

    bool Contains(uint64_t hash, const T* value) const {
        return m_indexed ? m_indexed->FindEntry(hash, value) != nullptr : FindFew(hash, value) != nullptr;
    }

    // Calls f(value) for every value under hash, in the order they came;
    // f must not change the groups.
    template <class F>
    void ForEach(uint64_t hash, F&& f) const {
        if (!m_indexed) {
            for (const TFewPair& pair : m_few)
                if (pair.hash == hash) f(pair.value);
            return;
        }
        for (const TEntry* entry = m_indexed->First(hash); entry; entry = entry->next) f(entry->value);
    }

private:
    struct TFewPair {
        uint64_t hash;
        T* value;
        size_t times;
    };
    struct TEntry {
        uint64_t hash = 0;
        T* value = nullptr;
        TEntry* next = nullptr;  // in the list of the hash; the free list
        TEntry* prev = nullptr;  // the first entry's is the last one
        size_t times = 0;
    };

    // The pairs as entries in their indexes.
    class TIndexed {
    public:
        // Adds times of the pair; a new one is filed and linked last in the
        // list of its hash.
        void Insert(uint64_t hash, T* value, size_t times) {
            if (TEntry* entry = FindEntry(hash, value)) {
                entry->times += times;
                return;
            }
            TEntry* entry = NewEntry(hash, value, times);
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

        bool Erase(uint64_t hash, T* value) {
            TEntry* entry = FindEntry(hash, value);
            if (!entry) return false;
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

        TEntry* First(uint64_t hash) const {
            return m_firsts.Find(hash, [](const TEntry*) { return true; });
        }

        TEntry* FindEntry(uint64_t hash, const T* value) const {
            return m_pairs.Find(PairHash(hash, value),
                                [hash, value](const TEntry* e) { return e->hash == hash && e->value == value; });
        }

    private:
        static constexpr size_t kFirstBlock = 8;
        static constexpr size_t kBlockDoublings = 7;

        static uint64_t PairHash(uint64_t hash, const T* value) noexcept {
            return MixHash(hash ^ MixHash(uint64_t(uintptr_t(value))));
        }

        // Each block of entries twice as big as the one before, up to a limit.
        static size_t BlockSize(size_t index) noexcept {
            return index < kBlockDoublings ? kFirstBlock << index : kFirstBlock << kBlockDoublings;
        }

        TEntry* NewEntry(uint64_t hash, T* value, size_t times) {
            TEntry* entry = m_free;
            if (entry) {
                m_free = entry->next;
            } else {
                if (m_blocks.empty() || m_lastBlockUsed == BlockSize(m_blocks.size() - 1)) {
                    m_blocks.push_back(std::make_unique<TEntry[]>(BlockSize(m_blocks.size())));
                    m_lastBlockUsed = 0;
                }
                entry = &m_blocks.back()[m_lastBlockUsed++];
            }
            *entry = TEntry{hash, value, nullptr, entry, times};
            return entry;
        }

        void Recycle(TEntry* entry) noexcept {
            *entry = TEntry{};
            entry->next = m_free;
            m_free = entry;
        }

        THashIndex<TEntry> m_pairs;   // every entry, by PairHash
        THashIndex<TEntry> m_firsts;  // the first entry of each hash, by the hash
        // The entries, in blocks that never move.
        std::vector<std::unique_ptr<TEntry[]>> m_blocks;
        size_t m_lastBlockUsed = 0;  // entries taken from the last block
        TEntry* m_free = nullptr;
    };

    static constexpr size_t kFewPairs = 8;

    TFewPair* FindFew(uint64_t hash, const T* value) const {
        for (const TFewPair& pair : m_few)
            if (pair.hash == hash && pair.value == value) return const_cast<TFewPair*>(&pair);
        return nullptr;
    }

    // The few pairs go into the indexes, in the order they came.
    void Index() {
        auto indexed = std::make_unique<TIndexed>();
        for (const TFewPair& pair : m_few) indexed->Insert(pair.hash, pair.value, pair.times);
        m_indexed = std::move(indexed);
        std::vector<TFewPair>().swap(m_few);
    }

    // Up to kFewPairs, in the order they came, while nothing is indexed.
    std::vector<TFewPair> m_few;
    std::unique_ptr<TIndexed> m_indexed;
    size_t m_count = 0;
};
