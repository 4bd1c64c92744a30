#pragma once
// Memory for the objects of one load. A module read from a file or copied
// for a generator run is a tree of many small objects that later walks read
// in tree order; taken from the general allocator after other work, they
// lie wherever earlier objects were freed, and every step of a walk waits
// for memory (and for a page's translation) of its own. While a
// TRegionScope is open on a thread, the classes that ask TRegions first
// (elements, and every class of TBlockAllocated) take their objects in
// order from large regions instead, so that the objects of one declaration
// lie next to each other, on few pages.
//
// A freed object leaves its memory in its region; a region is taken again
// only once every object taken from it is freed (a copy is freed whole; a
// module the user edits keeps at most the memory of its load). Regions are
// kept for reuse for the life of the process, as the block pools' slabs are.
// Any thread may free an object taken on another.
//
// Sanitizer builds (address or thread) take nothing from regions, so that
// every object is seen by the sanitizer.

#include <atomic>
#include <cstddef>

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define QUILLANE_GENERAL_ALLOCATOR 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define QUILLANE_GENERAL_ALLOCATOR 1
#endif
#endif

class TRegions {
public:
    // Bytes of one region (one large page where the system offers them).
    static constexpr size_t kRegionBytes = size_t(2) << 20;
    // Larger objects always come from the general allocator.
    static constexpr size_t kLargestObject = 4096;
    // Objects are aligned as the general allocator aligns them.
    static constexpr size_t kAlignment = 16;

    // Room for size bytes from the current region of this thread's open
    // scope; nil when no scope is open here, the object is large, or no
    // region can be had (the caller then uses the general allocator).
#ifdef QUILLANE_GENERAL_ALLOCATOR
    static void* Allocate(size_t) noexcept { return nullptr; }
    static bool Owns(const void*) noexcept { return false; }
    static void Release(void*) noexcept {}
#else
    static void* Allocate(size_t size) noexcept {
        return OpenDepth() && size <= kLargestObject ? Take(size) : nullptr;
    }
    // Whether block was taken from a region.
    static bool Owns(const void* block) noexcept {
        return s_anyRegion.load(std::memory_order_relaxed) && IsRegionBlock(block);
    }
    // Ends the life of a block that Owns: its region is taken again once
    // none of its blocks lives.
    static void Release(void* block) noexcept;
#endif

private:
    friend class TRegionScope;
    // The number of scopes open on this thread.
    static int& OpenDepth() noexcept {
        thread_local int depth = 0;  // constant-initialised: no guard on the way
        return depth;
    }
    static void* Take(size_t size) noexcept;
    static bool IsRegionBlock(const void* block) noexcept;
    // Set once the first region is made: until then nothing is looked up.
    static inline std::atomic<bool> s_anyRegion{false};
};

// Opens the regions for the objects made on this thread until it ends;
// scopes nest (the outermost one closes them).
class TRegionScope {
public:
    TRegionScope() noexcept;
    ~TRegionScope();
    TRegionScope(const TRegionScope&) = delete;
    TRegionScope& operator=(const TRegionScope&) = delete;
};
