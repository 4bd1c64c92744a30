#pragma once
// The text form of knots: the reader, the writer, hexadecimal streams,
// integers, encodings and atomic file writing (escaping is core/cuXmlEscape). TKnot's load and save
// operations are the public entry points; these are shared with the code
// writers and the tests.

#include "core/cuKnot.h"

#include <QByteArray>
#include <QString>
#include <QStringView>

namespace KnotText {

// Stream bytes as two upper-case hexadecimal digits each.
QString ToHex(const QByteArray& bytes);
// Digits of either case: an odd length gives false and leaves stream alone;
// a bad digit gives false with stream emptied.
bool FromHex(QStringView text, QByteArray& stream);
// Optional sign and decimal digits that fit 32 bits; nothing else.
bool ParseInt(QStringView text, int& value);

// The knot and its subtree as text, CR LF after every line. Raises when the
// tree is nested deeper than the reader reads (TKnot::MaxDepth).
QString Write(const TKnot& knot);
// The same, encoded, with the encoding's byte-order mark (none for Ansi).
QByteArray WriteBytes(const TKnot& knot, TKnotEncoding encoding);
// Text in an encoding, with that encoding's byte-order mark (none for Ansi).
QByteArray Encode(const QString& text, TKnotEncoding encoding);

// Parse into knot; false (and ksLoadFailed set) on a syntax error.
bool Read(TKnot& knot, const char16_t* text, qsizetype count);
bool ReadBytes(TKnot& knot, const QByteArray& bytes);

// Replaces the file's contents atomically (ReplaceFileContents); a failure
// raises 10090 with the system's reason, and the old file stays.
void WriteFileAtomically(const QString& fileName, const QByteArray& bytes);

}  // namespace KnotText
