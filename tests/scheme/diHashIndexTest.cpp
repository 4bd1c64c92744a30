#include "scheme/diHashIndex.h"

#include <gtest/gtest.h>

#include <QRandomGenerator>

#include <algorithm>
#include <map>
#include <utility>
#include <vector>

namespace {

// What the index holds under hash, sorted (the index keeps no order).
std::vector<int*> Under(const THashIndex<int>& index, uint64_t hash) {
    std::vector<int*> out;
    index.ForEach(hash, [&](int* v) { out.push_back(v); });
    std::sort(out.begin(), out.end());
    return out;
}

std::vector<int*> Under(const std::multimap<uint64_t, int*>& model, uint64_t hash) {
    std::vector<int*> out;
    for (auto [it, end] = model.equal_range(hash); it != end; ++it) out.push_back(it->second);
    std::sort(out.begin(), out.end());
    return out;
}

// Random inserts (waiting, or into the slot a search ends on), erases
// (immediate, or waiting for their slots) and finds against a plain
// multimap. Hashes come from a small set so that many share a home slot,
// runs of occupied slots wrap round the end of the table and erasing shifts
// long runs back; some rounds use hashes whose low bits collide (equal
// homes, distinct hashes), some whose top bits differ as well, so that the
// byte beside each slot tells entries of one run apart. Every other triple
// of rounds fills the index with entries under other hashes first, so that
// its table is big enough to keep entries and removals waiting.
TEST(HashIndexTest, AnswersLikeAPlainMultimapUnderChurn) {
    enum THashes { hsPlain, hsEqualHomes, hsEqualHomesOtherTops, hsCount };
    constexpr int kFillers = 600;
    QRandomGenerator random(20261206);
    std::vector<int> values(64);
    std::vector<int> fillers(kFillers);
    for (int round = 0; round < 60; ++round) {
        THashIndex<int> index;
        std::multimap<uint64_t, int*> model;
        const bool filled = (round / hsCount) % 2;
        auto fillerHash = [&fillers](const int& filler) { return MixHash(uint64_t(1000000 + (&filler - fillers.data()))); };
        if (filled)
            for (int& filler : fillers) {
                index.Insert(fillerHash(filler), &filler);
                model.emplace(fillerHash(filler), &filler);
            }
        const uint64_t spread = 4 + random.bounded(200);
        auto hashOf = [&](uint64_t h) {
            switch (THashes(round % hsCount)) {
            case hsEqualHomes: return (h << 40) | (h % 3);
            case hsEqualHomesOtherTops: return (h << 57) | (h << 20) | (h % 5);
            default: return h;
            }
        };
        for (int step = 0; step < 2000; ++step) {
            const uint64_t hash = hashOf(random.bounded(quint32(spread)));
            int* value = &values[random.bounded(quint32(values.size()))];
            const std::vector<int*> before = Under(model, hash);
            const bool hasValue = std::count(before.begin(), before.end(), value) > 0;
            if (random.bounded(100) < 55) {
                index.Insert(hash, value);
                model.emplace(hash, value);
            } else if (random.bounded(100) < 30) {
                // Made and added only when no entry under hash is the value.
                int* const made = hasValue ? nullptr : value;
                auto same = [&](int* v) { return v == value; };
                ASSERT_EQ(index.FindOrInsert(hash, same, [&] { return made; }), value) << round << " " << step;
                if (!hasValue) model.emplace(hash, value);
            } else {
                auto [it, end] = model.equal_range(hash);
                while (it != end && it->second != value) ++it;
                if (it != end && random.bounded(2))
                    index.EraseHeld(hash, value);  // waits: look-ups must pass over it
                else
                    ASSERT_EQ(index.Erase(hash, value), it != end) << "round " << round << " step " << step;
                if (it != end) model.erase(it);
            }
            const uint64_t probe = hashOf(random.bounded(quint32(spread)));
            const std::vector<int*> expected = Under(model, probe);
            ASSERT_EQ(Under(index, probe), expected) << "round " << round << " step " << step;
            const bool held = std::count(expected.begin(), expected.end(), value);
            ASSERT_EQ(index.Find(probe, [&](int* v) { return v == value; }), held ? value : nullptr) << round;
        }
        for (uint64_t h = 0; h < spread; ++h) ASSERT_EQ(Under(index, hashOf(h)), Under(model, hashOf(h))) << round;
        // Every entry once, those waiting to go in included and those waiting for removal not.
        std::vector<std::pair<uint64_t, int*>> walked;
        index.ForEachEntry([&walked](uint64_t hash, int* value) { walked.emplace_back(hash, value); });
        std::sort(walked.begin(), walked.end());
        std::vector<std::pair<uint64_t, int*>> held(model.begin(), model.end());
        std::sort(held.begin(), held.end());
        ASSERT_EQ(walked, held) << round;
        if (filled) {
            for (const int& filler : fillers)
                ASSERT_EQ(Under(index, fillerHash(filler)), std::vector<int*>{const_cast<int*>(&filler)}) << round;
        }
    }
}

TEST(HashIndexTest, AClearedIndexHoldsNothingAndTakesNewEntries) {
    std::vector<int> values(100);
    THashIndex<int> index;
    for (int& v : values) index.Insert(MixHash(uint64_t(&v - values.data())), &v);
    index.Clear();
    for (int& v : values) EXPECT_TRUE(Under(index, MixHash(uint64_t(&v - values.data()))).empty());
    index.Insert(MixHash(7), &values[7]);
    EXPECT_EQ(Under(index, MixHash(7)), std::vector<int*>{&values[7]});
    EXPECT_TRUE(index.Erase(MixHash(7), &values[7]));
    EXPECT_TRUE(Under(index, MixHash(7)).empty());
}

// Forgetting keeps the slots for the next entries: the entries still waiting
// to go in and the removals still waiting are dropped with the rest, so
// nothing comes back and the index takes and finds new entries as before.
TEST(HashIndexTest, AForgottenIndexDropsWaitingEntriesAndTakesNewOnes) {
    std::vector<int> values(100);
    THashIndex<int> index;
    auto hashOf = [&values](int& v) { return MixHash(uint64_t(&v - values.data())); };
    for (int& v : values) index.Insert(hashOf(v), &v);
    for (int i = 0; i < 5; ++i) index.EraseHeld(hashOf(values[size_t(i)]), &values[size_t(i)]);
    index.Forget();
    for (int& v : values) EXPECT_TRUE(Under(index, hashOf(v)).empty());
    for (int i = 0; i < 50; ++i) index.Insert(hashOf(values[size_t(i)]), &values[size_t(i)]);
    for (int i = 0; i < 100; ++i) {
        int* v = &values[size_t(i)];
        EXPECT_EQ(Under(index, hashOf(*v)), i < 50 ? std::vector<int*>{v} : std::vector<int*>{}) << i;
    }
    EXPECT_TRUE(index.Erase(hashOf(values[7]), &values[7]));
    EXPECT_TRUE(Under(index, hashOf(values[7])).empty());
}

TEST(HashIndexTest, MixedHashesOfNeighboursStayApart) {
    std::vector<uint64_t> homes;
    for (uint64_t i = 0; i < 1024; ++i) homes.push_back(MixHash(i) & 1023);
    std::sort(homes.begin(), homes.end());
    EXPECT_GT(std::unique(homes.begin(), homes.end()) - homes.begin(), 550)
        << "about 1 - 1/e of the slots are hit by a good mix";
}

}  // namespace
