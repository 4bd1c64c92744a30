#pragma once
// How the general allocator treats memory given back. Big schemes and texts
// are loaded, freed and loaded again (snapshots, reloads, undo of a large
// paste); by default the C library hands the top of its heap back to the
// system when a few hundred kilobytes lie free there, and serves any block
// of more than 128 KB by a mapping of its own, so that each load of a big
// module takes its memory from the system again, one zeroed page at a time.
// Kept instead (up to a bound), a second load reuses the memory the first
// one freed, as the block pools (core/cuBlockPool) do for small objects.

#include <cstddef>

// At most this much free memory stays at the heap's top for the next
// allocations rather than going back to the system.
constexpr size_t kFreedMemoryKept = size_t(256) << 20;
// Blocks below this size come from the heap, whose freed memory is reused;
// larger ones are mapped and given back when freed.
constexpr size_t kMappedBlockAtLeast = size_t(32) << 20;

// Sets both for the whole process (with the GNU C library; elsewhere, and
// under a sanitizer's allocator, nothing changes). Called once at start-up.
void KeepFreedMemoryForReuse() noexcept;

// A block of `bytes` (a power of two) aligned to its own size, for memory a
// program keeps for its whole life; the system is asked to back it with
// large pages where it offers them, so that walking it takes few address
// translations. Nil when no memory is left.
void* AllocateAlignedForLife(size_t bytes) noexcept;
