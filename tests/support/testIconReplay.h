#pragma once
// Replaying arbitrary bytes as an icon or cursor file, shared by the icon
// fuzzer and the test that replays its corpus: the reader keeps what it can
// (a broken file ends in the project's exception), then every bitmap entry it
// kept converts to a 32-bit bitmap of the entry's size.

#include "core/cuClasses.h"
#include "core/umBitmap32.h"
#include "core/umIcon.h"

#include <QBuffer>
#include <QByteArray>

struct TIconReplay {
    int entries = 0;   // entries the reader kept
    int badSizes = 0;  // converted entries whose bitmap is not the entry's size
};

inline TIconReplay ReplayIconBytes(const QByteArray& bytes) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    TIconImage icon;
    try {
        icon.LoadFromStream(buffer);
    } catch (const Exception&) {
    }
    TIconReplay result;
    result.entries = icon.Count();
    for (int i = 0; i < icon.Count(); ++i) {
        if (icon.GetPngStream(i)) continue;
        TBitmap32 bitmap;
        icon.CopyToBitmap32(i, bitmap);  // whole entries always convert
        if (bitmap.Width() != icon.Width(i) || bitmap.Height() != icon.Height(i)) ++result.badSizes;
    }
    return result;
}
