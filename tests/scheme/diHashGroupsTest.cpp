#include "scheme/diHashGroups.h"

#include <gtest/gtest.h>

#include <QRandomGenerator>

#include <algorithm>
#include <vector>

namespace {

// The pairs held, in the order they came (a pair added again keeps its
// place and counts once more).
struct TModelEntry {
    uint64_t hash;
    int* value;
    int times;
};

std::vector<int*> Under(const THashGroups<int>& groups, uint64_t hash) {
    std::vector<int*> out;
    groups.ForEach(hash, [&](int* v) { out.push_back(v); });
    return out;
}

std::vector<int*> Under(const std::vector<TModelEntry>& model, uint64_t hash) {
    std::vector<int*> out;
    for (const TModelEntry& e : model)
        if (e.hash == hash) out.push_back(e.value);
    return out;
}

// Random adds and removals of pairs drawn from few hashes and many values,
// so that hundreds of values share a hash, each first entry of a hash comes
// and goes many times and freed entries are taken again: every hash walks
// its values once each in the order they came, and every pair is found
// exactly while it is held. Every other round draws from a handful of
// values and removes more often than it adds, so that the pairs go from the
// short list into the indexes and, all gone, back again many times.
TEST(HashGroupsTest, AnswersLikeAnOrderedListOfPairsUnderChurn) {
    QRandomGenerator random(20261207);
    std::vector<int> values(400);
    for (int round = 0; round < 16; ++round) {
        THashGroups<int> groups;
        std::vector<TModelEntry> model;
        size_t held = 0;
        const quint32 hashes = round % 2 ? 2 : 2 + random.bounded(6u);
        const quint32 drawn = round % 2 ? 5 : quint32(values.size());
        for (int step = 0; step < 6000; ++step) {
            const uint64_t hash = MixHash(random.bounded(hashes)) ^ uint64_t(round);
            int* value = &values[random.bounded(drawn)];
            auto it = std::find_if(model.begin(), model.end(),
                                   [&](const TModelEntry& e) { return e.hash == hash && e.value == value; });
            if (random.bounded(100) < (round % 2 ? 45 : 55)) {
                groups.Insert(hash, value);
                if (it == model.end())
                    model.push_back({hash, value, 1});
                else
                    ++it->times;
                ++held;
            } else {
                ASSERT_EQ(groups.Erase(hash, value), it != model.end()) << round << " " << step;
                if (it != model.end()) {
                    --held;
                    if (--it->times == 0) model.erase(it);
                }
            }
            ASSERT_EQ(groups.Count(), held);
            ASSERT_EQ(Under(groups, hash), Under(model, hash)) << "round " << round << " step " << step;
            const bool modelHolds = std::any_of(model.begin(), model.end(), [&](const TModelEntry& e) {
                return e.hash == hash && e.value == value;
            });
            ASSERT_EQ(groups.Contains(hash, value), modelHolds) << "round " << round << " step " << step;
        }
        for (quint32 h = 0; h < hashes; ++h) {
            const uint64_t hash = MixHash(h) ^ uint64_t(round);
            ASSERT_EQ(Under(groups, hash), Under(model, hash)) << round;
        }
    }
}

TEST(HashGroupsTest, APairAddedTwiceStaysUntilRemovedTwice) {
    int a = 0, b = 0;
    THashGroups<int> groups;
    groups.Insert(7, &a);
    groups.Insert(7, &b);
    groups.Insert(7, &a);
    EXPECT_EQ(Under(groups, 7), (std::vector<int*>{&a, &b})) << "walked once, in its first place";
    EXPECT_TRUE(groups.Erase(7, &a));
    EXPECT_TRUE(groups.Contains(7, &a));
    EXPECT_TRUE(groups.Erase(7, &a));
    EXPECT_FALSE(groups.Contains(7, &a));
    EXPECT_FALSE(groups.Erase(7, &a));
    EXPECT_EQ(Under(groups, 7), std::vector<int*>{&b});
    EXPECT_FALSE(groups.Contains(8, &b)) << "another hash";
}

}  // namespace
