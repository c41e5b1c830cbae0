// What the rasteriser's files share; not for users of gauge/Raster.h.
#pragma once

#include "gauge/Raster.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <utility>

inline void Plot(TGaugeBitmap& bitmap, int x, int y, TRgb color)
{
    if (bitmap.Contains(x, y))
        bitmap.At(x, y) = color;
}

inline TRect Normalised(const TRect& rect)
{
    const auto [l, r] = std::minmax(rect.left, rect.right);
    const auto [t, b] = std::minmax(rect.top, rect.bottom);
    return {l, t, r, b};
}

// A box one pixel thin is outline only: the curve has no inside.
inline bool Thin(const TRect& box)
{
    return box.right - box.left == 1 || box.bottom - box.top == 1;
}

// A point where pixel (x, y) begins at x, y.
struct TPointF {
    double x, y;
};

// A line steps along its longer axis, from its smaller coordinate on, over the pixels whose start
// lies within its rounded ends, the last one left out; the shorter axis follows in
// 16.16 fixed point from 26.6 ends, rounded down.
template <typename Visit>
void WalkLine(TPointF from, TPointF to, Visit visit)
{
    std::int64_t x1 = std::int64_t(from.x * 64), y1 = std::int64_t(from.y * 64);
    std::int64_t x2 = std::int64_t(to.x * 64), y2 = std::int64_t(to.y * 64);
    const bool steep = std::abs(y2 - y1) > std::abs(x2 - x1);
    if (steep) {
        std::swap(x1, y1);
        std::swap(x2, y2);
    }
    if (x1 > x2) {
        std::swap(x1, x2);
        std::swap(y1, y2);
    }
    if (x2 == x1)
        return;
    const std::int64_t step = ((y2 - y1) << 16) / (x2 - x1);
    const std::int64_t first = (x1 + 32) >> 6, end = (x2 + 32) >> 6;
    std::int64_t minor = (y1 << 10) + ((((first << 6) + (step > 0 ? 32 : 0) - x1) * step) >> 6);
    for (std::int64_t major = first; major < end; ++major, minor += step) {
        const int a = static_cast<int>(major), b = static_cast<int>(minor >> 16);
        if (steep)
            visit(b, a);
        else
            visit(a, b);
    }
}
