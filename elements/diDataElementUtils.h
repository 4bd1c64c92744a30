#pragma once
// What data elements need to know about files: the data kinds by file
// extension (format numbers and their kind names), the pixel size of an image
// read from its header without decoding it, and the desktop applications that
// can open a kind of file. The tables and header readers are plain logic; the
// applications come from the XDG association files (platform/plDesktopApps),
// read as files: no program is run to find them.

#include "platform/plDesktopApps.h"

#include <QString>
#include <QStringList>

#include <cstdint>

class QIODevice;

// Format numbers; 0 is no known format.
enum TImageFormat : int {
    ifNone = 0,
    ifBmp = 1,
    ifIco = 2,
    ifCur = 3,
    ifEmf = 4,
    ifWmf = 5,
    ifJpeg = 6,
    ifJpg = 7,
    ifJpe = 8,
    ifJfif = 9,
    ifGif = 10,
    ifPng = 11,
    ifTif = 12,
    ifTiff = 13,
};
constexpr int kImageFormatCount = 14;
// The set bit of a format in a 16-bit set of formats.
constexpr uint16_t ImageFormatBit(int format) noexcept { return uint16_t(1u << format); }
// Every format number 0 to 13.
constexpr uint16_t kAllImageFormats = 0x3FFF;

// The size an unknown image counts as, and that of an unknown icon or cursor
// (the desktop's icon size).
constexpr int kUnknownImageSize = 100;
constexpr int kDesktopIconSize = 32;

// The extension of a format ("" for 0 and numbers outside the table).
QString ImageFormatExtension(int format);
// The string id of the kind name of a format ("Bitmap", "Icon", "JPEG" ...);
// 0 for format 0 and numbers outside the table.
int ImageFormatKindName(int format);
// The first format 1..13 whose extension equals `extension` regardless of
// case; 0 when none does.
int ImageFormatFromExtension(const QString& extension);
// Whether the format is one of the JPEG extensions (6 to 9).
constexpr bool IsJpegFormat(int format) noexcept { return format >= ifJpeg && format <= ifJfif; }

// The pixel size of an image from the header at the stream's position, by
// format number (bmp, ico, cur, jpeg, gif and png have one; metafiles and tiff
// none). True when both sizes were found. Otherwise each missing one is
// replaced, for icons and cursors by kDesktopIconSize, else by
// kUnknownImageSize, and the result is false. Any bytes end: a short read, a
// JPEG segment length below 2, a byte where a marker should start that is
// none, and sizes outside 1..2147483647 count as no size.
bool ReadImageSize(QIODevice& stream, int format, int& width, int& height);

// The type as a file extension: its letters and digits only, so that no
// crafted type can name another folder or hide a second extension.
QString SanitizedFileExtension(const QString& type);

// The desktop applications that can open files of the extension, one entry
// per application: `names` their names, `programs` their desktop ids, in the
// user's order of preference; `preferred` is the index of the default
// application of the extension's type, -1 without one. Only files are read.
void GetOpenWithPrograms(const QString& extension, int& preferred, QStringList& names, QStringList& programs,
                         const TXdgDirs& dirs = TXdgDirs::FromEnvironment());
