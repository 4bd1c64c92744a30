#pragma once
// Small value types of the model. Rectangles keep exclusive right and bottom
// edges; they become QRect (x, y, width, height) only where painting starts.

#include <QRect>
#include <QSize>

struct TRect {
    int Left = 0;
    int Top = 0;
    int Right = 0;   // exclusive
    int Bottom = 0;  // exclusive

    constexpr int Width() const noexcept { return Right - Left; }
    constexpr int Height() const noexcept { return Bottom - Top; }
    constexpr bool IsEmpty() const noexcept { return Right <= Left || Bottom <= Top; }
    // Whether inner lies wholly inside this rectangle.
    constexpr bool Holds(const TRect& inner) const noexcept {
        return Left <= inner.Left && Top <= inner.Top && inner.Right <= Right && inner.Bottom <= Bottom;
    }

    QRect ToQRect() const noexcept { return QRect(Left, Top, Width(), Height()); }
    static TRect FromQRect(const QRect& r) noexcept {
        return TRect{r.x(), r.y(), r.x() + r.width(), r.y() + r.height()};
    }
    friend constexpr bool operator==(const TRect&, const TRect&) = default;
};

// What two rectangles share; an empty rectangle at the origin when nothing.
constexpr TRect IntersectRects(const TRect& a, const TRect& b) noexcept {
    const TRect r{a.Left > b.Left ? a.Left : b.Left, a.Top > b.Top ? a.Top : b.Top,
                  a.Right < b.Right ? a.Right : b.Right, a.Bottom < b.Bottom ? a.Bottom : b.Bottom};
    return r.IsEmpty() ? TRect{} : r;
}
