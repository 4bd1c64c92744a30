#include "core/cuBlockPool.h"
#include "core/cuRegions.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <set>
#include <vector>

namespace {

struct TSmall final : TBlockAllocated<TSmall> {
    char bytes[40] = {};
};

uintptr_t RegionBase(const void* block) {
    return reinterpret_cast<uintptr_t>(block) & ~(TRegions::kRegionBytes - 1);
}

std::vector<std::unique_ptr<TSmall>> MakeInScope(size_t count) {
    TRegionScope scope;
    std::vector<std::unique_ptr<TSmall>> made;
    for (size_t i = 0; i < count; ++i) made.push_back(std::make_unique<TSmall>());
    return made;
}

class RegionsTest : public testing::Test {
protected:
    void SetUp() override {
#ifdef QUILLANE_GENERAL_ALLOCATOR
        GTEST_SKIP() << "sanitizer builds take nothing from regions";
#endif
    }
};

TEST_F(RegionsTest, ObjectsOfAScopeLieInTheOrderTheyAreMade) {
    const auto made = MakeInScope(3);
    for (const auto& object : made) EXPECT_TRUE(TRegions::Owns(object.get()));
    const auto step = reinterpret_cast<uintptr_t>(made[1].get()) - reinterpret_cast<uintptr_t>(made[0].get());
    EXPECT_EQ(step, 48u);  // 40 bytes at the general allocator's alignment
    EXPECT_EQ(reinterpret_cast<uintptr_t>(made[2].get()) - reinterpret_cast<uintptr_t>(made[1].get()), step);
    const auto outside = std::make_unique<TSmall>();
    EXPECT_FALSE(TRegions::Owns(outside.get()));
}

TEST_F(RegionsTest, LargeObjectsAndStackMemoryAreNotTheRegions) {
    TRegionScope scope;
    EXPECT_EQ(TRegions::Allocate(TRegions::kLargestObject + 1), nullptr);
    int onStack = 0;
    EXPECT_FALSE(TRegions::Owns(&onStack));
}

// A load freed whole gives its regions back: the next load takes them again
// instead of asking the system for more memory each time.
TEST_F(RegionsTest, RegionsOfALoadFreedWholeAreTakenAgain) {
    constexpr size_t kObjects = 3 * TRegions::kRegionBytes / 48;  // more than two regions
    std::set<uintptr_t> used;
    {
        auto made = MakeInScope(kObjects);
        for (const auto& object : made) used.insert(RegionBase(object.get()));
    }
    ASSERT_GE(used.size(), 3u);
    const auto again = MakeInScope(kObjects);
    for (const auto& object : again) EXPECT_TRUE(used.count(RegionBase(object.get()))) << "a new region was taken";
}

// One object kept from a load keeps its region: later loads never write over it.
TEST_F(RegionsTest, AnObjectOutlivesTheRestOfItsLoad) {
    auto made = MakeInScope(100);
    std::unique_ptr<TSmall> kept = std::move(made[50]);
    std::memset(kept->bytes, 0x5A, sizeof kept->bytes);
    made.clear();
    const auto later = MakeInScope(3 * TRegions::kRegionBytes / 48);
    for (const auto& object : later) {
        std::memset(object->bytes, 0xA5, sizeof object->bytes);
        ASSERT_NE(object.get(), kept.get());
    }
    for (char byte : kept->bytes) ASSERT_EQ(byte, char(0x5A));
}

}  // namespace
