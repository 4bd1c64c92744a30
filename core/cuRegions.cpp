#include "core/cuRegions.h"

#ifndef QUILLANE_GENERAL_ALLOCATOR

#include "platform/plMemory.h"

#include <array>
#include <cstdint>
#include <new>

namespace {

// The head of a region; its blocks follow on the next cache line.
struct TRegion {
    // Blocks taken and not yet freed, and one more while a thread takes
    // blocks from the region.
    std::atomic<int64_t> live{0};
    TRegion* nextFree = nullptr;
};
constexpr size_t kHeadBytes = 64;
static_assert(sizeof(TRegion) <= kHeadBytes);

class TSpinLock {
public:
    explicit TSpinLock(std::atomic_flag& flag) noexcept : m_flag(flag) {
        while (m_flag.test_and_set(std::memory_order_acquire))
            while (m_flag.test(std::memory_order_relaxed)) {}
    }
    ~TSpinLock() { m_flag.clear(std::memory_order_release); }

private:
    std::atomic_flag& m_flag;
};

// Every region ever made, found by address in a table that only grows
// (regions are never given back to the system) and is read without a lock,
// and the regions free for taking.
class TRegionStore {
public:
    // A region to take blocks from, with the taking thread's hold; nil when
    // no memory is left or the table is full.
    TRegion* Take() noexcept {
        TSpinLock lock(m_busy);
        TRegion* region = m_free;
        if (region) {
            m_free = region->nextFree;
        } else {
            if (m_count == kMostRegions) return nullptr;
            void* memory = AllocateAlignedForLife(TRegions::kRegionBytes);
            if (!memory) return nullptr;
            region = new (memory) TRegion;
            Enter(reinterpret_cast<uintptr_t>(memory));
        }
        region->nextFree = nullptr;
        region->live.store(1, std::memory_order_relaxed);
        return region;
    }

    void GiveBack(TRegion* region) noexcept {
        TSpinLock lock(m_busy);
        region->nextFree = m_free;
        m_free = region;
    }

    bool Holds(uintptr_t base) const noexcept {
        for (size_t i = SlotOf(base);; i = (i + 1) % kSlots) {
            const uintptr_t at = m_slots[i].load(std::memory_order_acquire);
            if (at == base) return true;
            if (at == 0) return false;
        }
    }

private:
    // 8 GiB of regions; the table stays at most half full, so a look-up
    // meets an empty slot soon.
    static constexpr size_t kMostRegions = 4096;
    static constexpr size_t kSlots = 2 * kMostRegions;

    static size_t SlotOf(uintptr_t base) noexcept {
        return size_t((uint64_t(base / TRegions::kRegionBytes) * 0x9E3779B97F4A7C15ull) >> 32) % kSlots;
    }

    void Enter(uintptr_t base) noexcept {
        size_t i = SlotOf(base);
        while (m_slots[i].load(std::memory_order_relaxed) != 0) i = (i + 1) % kSlots;
        m_slots[i].store(base, std::memory_order_release);
        ++m_count;
    }

    std::atomic_flag m_busy;
    TRegion* m_free = nullptr;
    size_t m_count = 0;
    std::array<std::atomic<uintptr_t>, kSlots> m_slots{};
};

// Constant-initialised and trivially destructible: usable by objects freed
// while the program ends.
constinit TRegionStore g_regions;

// The region this thread takes blocks from while a scope is open.
struct TTaking {
    TRegion* region = nullptr;
    char* next = nullptr;
    char* end = nullptr;
};
thread_local constinit TTaking t_taking;

TRegion* RegionOf(const void* block) noexcept {
    return reinterpret_cast<TRegion*>(reinterpret_cast<uintptr_t>(block) & ~(TRegions::kRegionBytes - 1));
}

void Drop(TRegion* region) noexcept {
    if (region->live.fetch_sub(1, std::memory_order_acq_rel) == 1) g_regions.GiveBack(region);
}

void StopTaking(TTaking& taking) noexcept {
    if (taking.region) Drop(taking.region);
    taking = TTaking{};
}

}  // namespace

void* TRegions::Take(size_t size) noexcept {
    size = (size + kAlignment - 1) & ~(kAlignment - 1);
    TTaking& taking = t_taking;
    if (size_t(taking.end - taking.next) < size) {
        StopTaking(taking);
        TRegion* region = g_regions.Take();
        if (!region) return nullptr;
        s_anyRegion.store(true, std::memory_order_relaxed);
        taking.region = region;
        taking.next = reinterpret_cast<char*>(region) + kHeadBytes;
        taking.end = reinterpret_cast<char*>(region) + kRegionBytes;
    }
    void* block = taking.next;
    taking.next += size;
    taking.region->live.fetch_add(1, std::memory_order_relaxed);
    return block;
}

bool TRegions::IsRegionBlock(const void* block) noexcept {
    return g_regions.Holds(reinterpret_cast<uintptr_t>(RegionOf(block)));
}

void TRegions::Release(void* block) noexcept {
    Drop(RegionOf(block));
}

TRegionScope::TRegionScope() noexcept {
    ++TRegions::OpenDepth();
}

TRegionScope::~TRegionScope() {
    if (--TRegions::OpenDepth() == 0) StopTaking(t_taking);
}

#else

TRegionScope::TRegionScope() noexcept = default;
TRegionScope::~TRegionScope() = default;

#endif
