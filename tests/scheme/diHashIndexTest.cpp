#include "scheme/diHashIndex.h"

#include <gtest/gtest.h>

#include <QRandomGenerator>

#include <algorithm>
#include <map>
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

// Random inserts, erases (immediate, or waiting for their slots) and finds
// against a plain multimap. Hashes come from a
// small set so that many share a home slot, runs of occupied slots wrap
// round the end of the table and erasing shifts long runs back; some rounds
// use hashes whose low bits collide (equal homes, distinct hashes).
TEST(HashIndexTest, AnswersLikeAPlainMultimapUnderChurn) {
    QRandomGenerator random(20261206);
    std::vector<int> values(64);
    for (int round = 0; round < 40; ++round) {
        THashIndex<int> index;
        std::multimap<uint64_t, int*> model;
        const uint64_t spread = 4 + random.bounded(200);
        auto hashOf = [&](uint64_t h) { return round % 3 == 0 ? (h << 40) | (h % 3) : h; };
        for (int step = 0; step < 2000; ++step) {
            const uint64_t hash = hashOf(random.bounded(quint32(spread)));
            int* value = &values[random.bounded(quint32(values.size()))];
            if (random.bounded(100) < 55) {
                index.Insert(hash, value);
                model.emplace(hash, value);
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
    }
}

TEST(HashIndexTest, MixedHashesOfNeighboursStayApart) {
    std::vector<uint64_t> homes;
    for (uint64_t i = 0; i < 1024; ++i) homes.push_back(MixHash(i) & 1023);
    std::sort(homes.begin(), homes.end());
    EXPECT_GT(std::unique(homes.begin(), homes.end()) - homes.begin(), 550)
        << "about 1 - 1/e of the slots are hit by a good mix";
}

}  // namespace
