#include "platform/plGifWriter.h"

#include <QHash>

#include <gif_lib.h>

#include <vector>

namespace {

struct TPaletteFrame {
    std::vector<GifColorType> colors;   // opaque colours; the transparent index follows them
    std::vector<GifByteType> indices;   // one per pixel, rows top first
    bool hasTransparent = false;
};

bool IsTransparent(QRgb pixel) { return qAlpha(pixel) < 128; }

GifColorType ToGifColor(QRgb rgb) {
    return GifColorType{GifByteType(qRed(rgb)), GifByteType(qGreen(rgb)), GifByteType(qBlue(rgb))};
}

// Exact palette when the opaque colours fit; false when there are too many.
bool BuildExactPalette(const QImage& image, int maxColors, TPaletteFrame& frame) {
    QHash<QRgb, int> index;
    const int w = image.width();
    for (int y = 0; y < image.height(); ++y) {
        const QRgb* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < w; ++x) {
            if (IsTransparent(row[x])) continue;
            const QRgb rgb = row[x] & 0xFFFFFFu;
            if (index.contains(rgb)) continue;
            if (index.size() == maxColors) return false;
            index.insert(rgb, int(index.size()));
            frame.colors.push_back(ToGifColor(rgb));
        }
    }
    const int transparentIndex = int(frame.colors.size());
    frame.indices.reserve(size_t(w) * image.height());
    for (int y = 0; y < image.height(); ++y) {
        const QRgb* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < w; ++x)
            frame.indices.push_back(
                GifByteType(IsTransparent(row[x]) ? transparentIndex : index.value(row[x] & 0xFFFFFFu)));
    }
    return true;
}

// Median-cut reduction of the opaque pixels to `maxColors` colours.
bool BuildReducedPalette(const QImage& image, int maxColors, TPaletteFrame& frame) {
    std::vector<GifByteType> r, g, b;
    const size_t total = size_t(image.width()) * image.height();
    r.reserve(total);
    g.reserve(total);
    b.reserve(total);
    for (int y = 0; y < image.height(); ++y) {
        const QRgb* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (IsTransparent(row[x])) continue;
            r.push_back(GifByteType(qRed(row[x])));
            g.push_back(GifByteType(qGreen(row[x])));
            b.push_back(GifByteType(qBlue(row[x])));
        }
    }
    std::vector<GifByteType> reduced(r.size());
    std::vector<GifColorType> map(256);
    int mapSize = maxColors;
    if (GifQuantizeBuffer(unsigned(r.size()), 1, &mapSize, r.data(), g.data(), b.data(), reduced.data(),
                          map.data()) != GIF_OK)
        return false;
    frame.colors.assign(map.begin(), map.begin() + maxColors);
    const GifByteType transparentIndex = GifByteType(maxColors);
    frame.indices.reserve(total);
    size_t next = 0;
    for (int y = 0; y < image.height(); ++y) {
        const QRgb* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x)
            frame.indices.push_back(IsTransparent(row[x]) ? transparentIndex : reduced[next++]);
    }
    return true;
}

int AppendToArray(GifFileType* gif, const GifByteType* data, int length) {
    static_cast<QByteArray*>(gif->UserData)->append(reinterpret_cast<const char*>(data), length);
    return length;
}

bool Encode(const TPaletteFrame& frame, int width, int height, QByteArray& out) {
    const int used = int(frame.colors.size()) + (frame.hasTransparent ? 1 : 0);
    int mapSize = 2;
    while (mapSize < used) mapSize *= 2;
    std::vector<GifColorType> colors(size_t(mapSize), GifColorType{0, 0, 0});
    std::copy(frame.colors.begin(), frame.colors.end(), colors.begin());
    ColorMapObject* map = GifMakeMapObject(mapSize, colors.data());
    if (!map) return false;

    int error = 0;
    GifFileType* gif = EGifOpen(&out, AppendToArray, &error);
    if (!gif) {
        GifFreeMapObject(map);
        return false;
    }
    bool ok = true;
    if (frame.hasTransparent) EGifSetGifVersion(gif, true);
    ok = EGifPutScreenDesc(gif, width, height, 8, 0, map) == GIF_OK;
    if (ok && frame.hasTransparent) {
        GraphicsControlBlock gcb{};
        gcb.DisposalMode = DISPOSAL_UNSPECIFIED;
        gcb.DelayTime = 0;
        gcb.TransparentColor = int(frame.colors.size());
        GifByteType extension[4];
        const size_t length = EGifGCBToExtension(&gcb, extension);
        ok = EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, int(length), extension) == GIF_OK;
    }
    ok = ok && EGifPutImageDesc(gif, 0, 0, width, height, false, nullptr) == GIF_OK;
    for (int y = 0; ok && y < height; ++y)
        ok = EGifPutLine(gif, const_cast<GifByteType*>(frame.indices.data() + size_t(y) * width), width) == GIF_OK;
    ok = EGifCloseFile(gif, &error) == GIF_OK && ok;
    GifFreeMapObject(map);
    return ok;
}

}  // namespace

bool WriteGif(const QImage& source, QByteArray& out) {
    if (source.isNull() || source.width() > 65535 || source.height() > 65535) return false;
    const QImage image = source.convertToFormat(QImage::Format_ARGB32);
    TPaletteFrame frame;
    for (int y = 0; y < image.height() && !frame.hasTransparent; ++y) {
        const QRgb* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x)
            if (IsTransparent(row[x])) {
                frame.hasTransparent = true;
                break;
            }
    }
    const int maxColors = frame.hasTransparent ? 255 : 256;
    if (!BuildExactPalette(image, maxColors, frame)) {
        frame = TPaletteFrame{{}, {}, frame.hasTransparent};
        if (!BuildReducedPalette(image, maxColors, frame)) return false;
    }
    QByteArray encoded;
    if (!Encode(frame, image.width(), image.height(), encoded)) return false;
    out.append(encoded);
    return true;
}
