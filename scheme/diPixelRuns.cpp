#include "scheme/diPixelRuns.h"

#include <algorithm>
#include <cstring>

namespace {
// A stretch of one colour at least this long is kept as a fill (or a blend of
// that colour), and opaque pixels at least this many in a row are copied as
// they are; anything shorter is composed pixel by pixel.
constexpr int kMinColourRun = 8;
constexpr int kMinCopyRun = 16;

constexpr QRgb kOpaque = 0xff000000u;

bool IsOpaque(QRgb pixel) noexcept { return pixel >= kOpaque; }

// Each of the four channels of x times a / 255, rounded as the raster engine
// rounds (two channels apart in each half of a 64-bit word).
inline uint32_t ByteMul(uint32_t x, uint32_t a) noexcept {
    uint64_t t = ((uint64_t(x) | (uint64_t(x) << 24)) & 0x00ff00ff00ff00ffull) * a;
    t = (t + ((t >> 8) & 0x00ff00ff00ff00ffull) + 0x0080008000800080ull) >> 8;
    t &= 0x00ff00ff00ff00ffull;
    return uint32_t(t) | uint32_t(t >> 24);
}

inline QRgb Compose(QRgb source, QRgb target) noexcept {
    if (IsOpaque(source)) return source;
    if (source == 0) return target;
    return source + ByteMul(target, qAlpha(~source));
}

int ColourRunAt(const QRgb* line, int from, int to) noexcept {
    int end = from + 1;
    while (end < to && line[end] == line[from]) ++end;
    return end - from;
}

// Long fills are most of a frame's pixels: with wider stores where the
// processor has them. The dynamic loader picks the version before a thread
// sanitizer's runtime is up, and an instrumented picker crashes there: such
// a build has the plain version alone.
#if defined(__SANITIZE_THREAD__)
#define QUILLANE_FILL_VERSIONS
#else
#define QUILLANE_FILL_VERSIONS [[gnu::target_clones("avx2", "default")]]
#endif
QUILLANE_FILL_VERSIONS void FillLine(QRgb* line, int count, QRgb colour) noexcept {
    for (int x = 0; x < count; ++x) line[x] = colour;
}
}  // namespace

QRgb ComposePixel(QRgb source, QRgb target) noexcept { return Compose(source, target); }

bool ComposesAsRuns(const QImage& picture) noexcept {
    return (picture.format() == QImage::Format_ARGB32_Premultiplied || picture.format() == QImage::Format_RGB32) &&
           picture.devicePixelRatio() == 1.0;
}

TPixelTarget TPixelTarget::Over(QImage& image, const TRect& clip, QPoint shift) {
    TPixelTarget target;
    target.Bits = reinterpret_cast<QRgb*>(image.bits());
    target.Stride = image.bytesPerLine() / qsizetype(sizeof(QRgb));
    const TRect shifted{clip.Left + shift.x(), clip.Top + shift.y(), clip.Right + shift.x(), clip.Bottom + shift.y()};
    target.Clip = IntersectRects(shifted, TRect{0, 0, image.width(), image.height()});
    target.Shift = shift;
    return target;
}

void TPixelTarget::Fill(const TRect& rect, QRgb opaque) const {
    const TRect area = IntersectRects(
        TRect{rect.Left + Shift.x(), rect.Top + Shift.y(), rect.Right + Shift.x(), rect.Bottom + Shift.y()}, Clip);
    if (area.IsEmpty()) return;
    for (int y = area.Top; y < area.Bottom; ++y) FillLine(Bits + y * Stride + area.Left, area.Width(), opaque);
}

// ---------------------------------------------------------------------------
// TPixelRuns

TPixelRuns::TPixelRuns(const QImage& picture) : m_width(picture.width()), m_height(picture.height()) {
    Q_ASSERT(ComposesAsRuns(picture));
    const bool opaque = picture.format() == QImage::Format_RGB32;
    QImage source = picture;
    if (opaque) source = picture.convertToFormat(QImage::Format_ARGB32_Premultiplied);  // alpha set in every pixel
    m_rows.reserve(size_t(m_height));
    const QRgb* previous = nullptr;
    for (int y = 0; y < m_height; ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(source.constScanLine(y));
        if (previous && std::memcmp(previous, line, size_t(m_width) * sizeof(QRgb)) == 0)
            m_rows.push_back(m_rows.back());
        else
            AddRow(line);
        previous = line;
    }
    m_runs.shrink_to_fit();
    m_pixels.shrink_to_fit();
}

qsizetype TPixelRuns::Bytes() const noexcept {
    return qsizetype(sizeof(*this) + m_rows.capacity() * sizeof(TRow) + m_runs.capacity() * sizeof(TRun) +
                     m_pixels.capacity() * sizeof(QRgb));
}

// The row's long stretches of one colour as such (clear ones left out), the
// pixels between them as pixels.
void TPixelRuns::AddRow(const QRgb* line) {
    TRow row{uint32_t(m_runs.size()), 0};
    int literal = 0;  // where the pixels not yet added start
    int x = 0;
    while (x < m_width) {
        const int length = ColourRunAt(line, x, m_width);
        if (length >= kMinColourRun) {
            AddLiterals(line, literal, x);
            if (line[x] != 0)
                m_runs.push_back(TRun{x, length, line[x], IsOpaque(line[x]) ? TRunKind::Fill : TRunKind::BlendColour});
            literal = x + length;
        }
        x += length;
    }
    AddLiterals(line, literal, m_width);
    row.Count = uint32_t(m_runs.size()) - row.First;
    m_rows.push_back(row);
}

// Pixels from..to of line without the clear ones at either end: copied when
// they are many and all opaque, else composed one by one.
void TPixelRuns::AddLiterals(const QRgb* line, int from, int to) {
    while (from < to && line[from] == 0) ++from;
    while (to > from && line[to - 1] == 0) --to;
    if (from >= to) return;
    const bool copies = to - from >= kMinCopyRun && std::all_of(line + from, line + to, IsOpaque);
    m_runs.push_back(TRun{from, to - from, uint32_t(m_pixels.size()), copies ? TRunKind::Copy : TRunKind::Pixels});
    m_pixels.insert(m_pixels.end(), line + from, line + to);
}

// Pixels from..to of the picture's row of run onto line (the target's row at
// the picture's left).
void TPixelRuns::DrawRun(const TRun& run, QRgb* line, int from, int to) const {
    switch (run.Kind) {
    case TRunKind::Fill:
        FillLine(line + from, to - from, QRgb(run.Value));
        break;
    case TRunKind::Copy:
        std::memcpy(line + from, m_pixels.data() + run.Value + (from - run.Left), size_t(to - from) * sizeof(QRgb));
        break;
    case TRunKind::Pixels: {
        const QRgb* source = m_pixels.data() + run.Value + (from - run.Left);
        for (int x = from; x < to; ++x, ++source) line[x] = Compose(*source, line[x]);
        break;
    }
    case TRunKind::BlendColour: {
        const QRgb source = run.Value;
        const uint32_t keep = qAlpha(~source);
        for (int x = from; x < to; ++x) line[x] = source + ByteMul(line[x], keep);
        break;
    }
    }
}

void TPixelRuns::Draw(const TPixelTarget& target, QPoint at) const {
    const int x0 = at.x() + target.Shift.x();
    const int y0 = at.y() + target.Shift.y();
    // What shows, in the picture's coordinates.
    const int left = std::max(0, target.Clip.Left - x0);
    const int right = std::min(m_width, target.Clip.Right - x0);
    const int top = std::max(0, target.Clip.Top - y0);
    const int bottom = std::min(m_height, target.Clip.Bottom - y0);
    if (left >= right || top >= bottom) return;
    for (int y = top; y < bottom; ++y) {
        QRgb* line = target.Bits + qsizetype(y0 + y) * target.Stride + x0;
        const TRow row = m_rows[size_t(y)];
        const TRun* run = m_runs.data() + row.First;
        for (const TRun* end = run + row.Count; run != end && run->Left < right; ++run) {
            const int from = std::max(run->Left, left);
            const int to = std::min(run->Left + run->Length, right);
            if (from < to) DrawRun(*run, line, from, to);
        }
    }
}

// ---------------------------------------------------------------------------
// TPictureRuns

const TPixelRuns& TPictureRuns::Of(const QImage& picture) {
    const qint64 key = picture.cacheKey();
    if (const auto it = m_runs.find(key); it != m_runs.end()) return it->second;
    if (m_runs.size() >= kLimit) m_runs.clear();
    return m_runs.emplace(key, TPixelRuns(picture)).first->second;
}
