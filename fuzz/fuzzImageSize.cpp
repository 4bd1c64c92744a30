// libFuzzer target: the image header readers of every format (the steps its
// corpus test replays). Any bytes must end in a size within 1..INT_MAX, known
// or made up; a read that never ends is a timeout, one past the bytes an
// AddressSanitizer report.

#include "support/testImageHeaders.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    if (ReplayImageHeaderBytes(bytes) != 0) std::abort();
    return 0;
}
