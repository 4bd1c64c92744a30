#include "platform/plMemory.h"

#include <cstdlib>

#if defined(__GLIBC__)
#include <malloc.h>
#endif
#if defined(__linux__)
#include <sys/mman.h>
#endif

void KeepFreedMemoryForReuse() noexcept {
#if defined(__GLIBC__)
    mallopt(M_TRIM_THRESHOLD, int(kFreedMemoryKept));
    mallopt(M_MMAP_THRESHOLD, int(kMappedBlockAtLeast));
#endif
}

void* AllocateAlignedForLife(size_t bytes) noexcept {
    void* block = std::aligned_alloc(bytes, bytes);
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    // Only advice: where the system declines, the block works as it is.
    if (block) madvise(block, bytes, MADV_HUGEPAGE);
#endif
    return block;
}
