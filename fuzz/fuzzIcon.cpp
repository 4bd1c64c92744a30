// libFuzzer target: the icon and cursor reader and the conversion of every
// entry it accepts into a 32-bit bitmap. Any input must either load or fail
// with the project's exception; nothing else may happen.

#include "core/cuClasses.h"
#include "core/umBitmap32.h"
#include "core/umIcon.h"

#include <QBuffer>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    QBuffer buffer;
    buffer.setData(reinterpret_cast<const char*>(data), qsizetype(size));
    buffer.open(QIODevice::ReadOnly);
    TIconImage icon;
    try {
        icon.LoadFromStream(buffer);
    } catch (const Exception&) {
    }
    for (int i = 0; i < icon.Count(); ++i) {
        if (icon.GetPngStream(i)) continue;
        TBitmap32 bitmap;
        try {
            icon.CopyToBitmap32(i, bitmap);
        } catch (const Exception&) {
        }
    }
    return 0;
}
