// libFuzzer target: the icon and cursor reader and the conversion of every
// entry it accepts into a 32-bit bitmap (the steps its corpus test replays).
// Any input must either load or fail with the project's exception, and every
// entry kept must convert at its size; nothing else may happen.

#include "support/testIconReplay.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    if (ReplayIconBytes(bytes).badSizes != 0) std::abort();
    return 0;
}
