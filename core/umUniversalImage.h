#pragma once
// An image as a list of 32-bit frames with straight alpha. Icons and cursors
// are read by the icon reader (one frame per image of the file, in file
// order); every other format through the image library binding (one frame).
// Loading appends frames: callers load into a new or cleared image.

#include <QSize>
#include <QString>

#include <memory>
#include <vector>

class QIODevice;
class TBitmap32;

class TUniversalImage {
public:
    TUniversalImage();
    ~TUniversalImage();
    TUniversalImage(const TUniversalImage&) = delete;
    TUniversalImage& operator=(const TUniversalImage&) = delete;

    // Appends a new empty frame (blend mode) and returns it.
    TBitmap32* AddFrame();
    void Clear();
    // Clear, then a copy of each frame of `source`.
    void Assign(const TUniversalImage& source);

    bool IsEmpty() const noexcept { return m_frames.empty(); }
    int GetFrameCount() const noexcept { return int(m_frames.size()); }
    TBitmap32* GetFrame(int index) const { return m_frames.at(size_t(index)).get(); }
    TBitmap32* GetFirstFrame() const { return m_frames.empty() ? nullptr : m_frames.front().get(); }
    // The size of the first frame; 0 x 0 when the image is empty.
    QSize GetSize() const;

    // Draws frame `frameIndex` (the first when negative) onto `target` at
    // (x, y), blended; nothing when the image is empty.
    void DrawTo(TBitmap32& target, int x, int y, int frameIndex = -1) const;

    // Reads the file; the extensions "ico" and "cur" (any case) go to the icon
    // reader, everything else to the image library. Only a regular file is
    // read (anything else raises "Stream read error" without waiting for it),
    // and no more of it than MaxEncodedImageBytes, as of every stream.
    void LoadFromFile(const QString& fileName);
    // Reads from the stream's position: a header of the words 0 and 1 or 2
    // goes to the icon reader, anything else to the image library.
    void LoadFromStream(QIODevice& stream);
    // Reads an icon or cursor file; no images raises "Stream read error".
    void LoadIcon(QIODevice& stream);

    // Decode `source` (from its position) and write it in that format into
    // `dest` at its position.
    static void ConvertToBmp(QIODevice& source, QIODevice& dest);
    static void ConvertToGif(QIODevice& source, QIODevice& dest);
    static void ConvertToJpeg(QIODevice& source, QIODevice& dest);
    static void ConvertToPng(QIODevice& source, QIODevice& dest);
    static void ConvertToTiff(QIODevice& source, QIODevice& dest);

private:
    void LoadThroughLibrary(QIODevice& stream);
    std::vector<std::unique_ptr<TBitmap32>> m_frames;
};
