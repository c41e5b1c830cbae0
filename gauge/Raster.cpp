#include "gauge/Raster.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numbers>
#include <vector>

namespace {

void Plot(TGaugeBitmap& bitmap, int x, int y, TRgb color)
{
    if (bitmap.Contains(x, y))
        bitmap.At(x, y) = color;
}

// The shape's pixels within its box, row by row.
struct TMask {
    TRect box;
    std::vector<std::uint8_t> in;

    bool Has(int x, int y) const
    {
        if (x < box.left || y < box.top || x >= box.right || y >= box.bottom)
            return false;
        return in[std::size_t(y - box.top) * std::size_t(box.right - box.left) + std::size_t(x - box.left)] != 0;
    }
    void Set(int x, int y)
    {
        if (x >= box.left && y >= box.top && x < box.right && y < box.bottom)
            in[std::size_t(y - box.top) * std::size_t(box.right - box.left) + std::size_t(x - box.left)] = 1;
    }
};

// The ellipse through the centres of the box's outermost pixels.
struct TEllipseGeometry {
    double cx, cy, a, b;

    explicit TEllipseGeometry(const TRect& box)
        : cx((box.left + box.right - 1) / 2.0), cy((box.top + box.bottom - 1) / 2.0),
          a((box.right - box.left - 1) / 2.0), b((box.bottom - box.top - 1) / 2.0)
    {
    }
    // Half the curve's extent across the line at `offset` from the centre along the other axis.
    static double HalfChord(double radius, double otherRadius, double offset)
    {
        if (otherRadius <= 0)
            return offset == 0 ? radius : -1;
        const double t = 1 - (offset / otherRadius) * (offset / otherRadius);
        return t < 0 ? -1 : radius * std::sqrt(t);
    }
    // A pixel belongs when it is within half a pixel of the curve's inside along its row or its column.
    bool Covers(int x, int y) const
    {
        const double dx = std::abs(x - cx), dy = std::abs(y - cy);
        return dx <= HalfChord(a, b, dy) + 0.5 || dy <= HalfChord(b, a, dx) + 0.5;
    }
    // Degrees counterclockwise from three o'clock, as on a circle the ellipse is stretched from.
    double Angle(double x, double y) const
    {
        const double dx = a > 0 ? (x - cx) / a : x - cx;
        const double dy = b > 0 ? (cy - y) / b : cy - y;
        return std::atan2(dy, dx) * 180 / std::numbers::pi;
    }
};

TRect Normalised(const TRect& rect)
{
    const auto [l, r] = std::minmax(rect.left, rect.right);
    const auto [t, b] = std::minmax(rect.top, rect.bottom);
    return {l, t, r, b};
}

TMask EllipseMask(const TRect& box, const TEllipseGeometry& shape)
{
    TMask mask{box, std::vector<std::uint8_t>(std::size_t(box.right - box.left) * std::size_t(box.bottom - box.top))};
    for (int y = box.top; y < box.bottom; ++y)
        for (int x = box.left; x < box.right; ++x)
            if (shape.Covers(x, y))
                mask.Set(x, y);
    return mask;
}

// The outline is every pixel of the shape with a side on the outside.
void PaintMask(TGaugeBitmap& bitmap, const TMask& mask, TShapeColors colors)
{
    for (int y = mask.box.top; y < mask.box.bottom; ++y)
        for (int x = mask.box.left; x < mask.box.right; ++x) {
            if (!mask.Has(x, y))
                continue;
            const bool edge = !mask.Has(x - 1, y) || !mask.Has(x + 1, y) || !mask.Has(x, y - 1) || !mask.Has(x, y + 1);
            Plot(bitmap, x, y, edge ? colors.pen : colors.brush);
        }
}

// Marks the pixels a line from `from` to `to` passes, both ends included.
template <typename Visit>
void Walk(TPoint from, TPoint to, bool withEnd, Visit visit)
{
    const int dx = std::abs(to.x - from.x), dy = -std::abs(to.y - from.y);
    const int sx = from.x < to.x ? 1 : -1, sy = from.y < to.y ? 1 : -1;
    int err = dx + dy;
    for (TPoint p = from;;) {
        if (p == to) {
            if (withEnd)
                visit(p.x, p.y);
            return;
        }
        visit(p.x, p.y);
        const int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            p.x += sx;
        }
        if (e2 <= dx) {
            err += dx;
            p.y += sy;
        }
    }
}

} // namespace

void FillRect(TGaugeBitmap& bitmap, const TRect& rect, TRgb color)
{
    const int left = std::max(rect.left, 0), right = std::min(rect.right, bitmap.width);
    const int top = std::max(rect.top, 0), bottom = std::min(rect.bottom, bitmap.height);
    for (int y = top; y < bottom; ++y)
        std::fill_n(&bitmap.At(0, y) + left, std::max(right - left, 0), color);
}

void Ellipse(TGaugeBitmap& bitmap, const TRect& rect, TShapeColors colors)
{
    const TRect box = Normalised(rect);
    if (box.right <= box.left || box.bottom <= box.top)
        return;
    PaintMask(bitmap, EllipseMask(box, TEllipseGeometry(box)), colors);
}

void Pie(TGaugeBitmap& bitmap, const TRect& rect, TPoint start, TPoint end, TShapeColors colors)
{
    const TRect box = Normalised(rect);
    if (box.right <= box.left || box.bottom <= box.top)
        return;
    const TEllipseGeometry shape(box);
    const double from = shape.Angle(start.x, start.y);
    const double sweep = std::fmod(shape.Angle(end.x, end.y) - from + 720, 360.0);
    if (start == end || sweep == 0) {
        Ellipse(bitmap, rect, colors);
        return;
    }
    TMask mask = EllipseMask(box, shape);
    TMask wedge{box, std::vector<std::uint8_t>(mask.in.size())};
    for (int y = box.top; y < box.bottom; ++y)
        for (int x = box.left; x < box.right; ++x)
            if (mask.Has(x, y) && std::fmod(shape.Angle(x, y) - from + 720, 360.0) <= sweep)
                wedge.Set(x, y);
    // The radials keep a thin wedge joined to its centre.
    const TPoint centre{int(std::lround(shape.cx)), int(std::lround(shape.cy))};
    for (const double angle : {from, from + sweep}) {
        const double rad = angle * std::numbers::pi / 180;
        const TPoint rim{int(std::lround(shape.cx + shape.a * std::cos(rad))),
                         int(std::lround(shape.cy - shape.b * std::sin(rad)))};
        Walk(centre, rim, true, [&](int x, int y) {
            if (mask.Has(x, y))
                wedge.Set(x, y);
        });
    }
    PaintMask(bitmap, wedge, colors);
}

void Line(TGaugeBitmap& bitmap, TPoint from, TPoint to, TRgb color)
{
    Walk(from, to, false, [&](int x, int y) { Plot(bitmap, x, y, color); });
}
