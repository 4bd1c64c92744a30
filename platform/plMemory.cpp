#include "platform/plMemory.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

void KeepFreedMemoryForReuse() noexcept {
#if defined(__GLIBC__)
    mallopt(M_TRIM_THRESHOLD, int(kFreedMemoryKept));
    mallopt(M_MMAP_THRESHOLD, int(kMappedBlockAtLeast));
#endif
}
