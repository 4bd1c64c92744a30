#pragma once
// GIF encoding with giflib (Qt cannot write GIF). A frame with at most 256
// colours (255 when some pixels are transparent) keeps them exactly; richer
// frames are reduced by median cut. Pixels with alpha below 128 take the
// transparent index, which the file declares in a graphics control extension.

#include <QByteArray>
#include <QImage>

// Appends the GIF encoding of `frame` to `out`; false when giflib fails.
bool WriteGif(const QImage& frame, QByteArray& out);
