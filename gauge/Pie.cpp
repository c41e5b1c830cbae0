// Wedges of an ellipse: a closed outline of straight edges, filled and stroked.
#include "gauge/RasterSupport.h"

#include <cmath>
#include <numbers>
#include <vector>

namespace {

// The ellipse within the box's pixels as a curve: its centre and radii.
struct TEllipseCurve {
    double cx, cy, a, b;

    explicit TEllipseCurve(const TRect& box)
        : cx(box.left + (box.right - box.left - 1) / 2.0), cy(box.top + (box.bottom - box.top - 1) / 2.0),
          a((box.right - box.left - 1) / 2.0), b((box.bottom - box.top - 1) / 2.0)
    {
    }
    // Degrees counterclockwise from three o'clock, on the circle the ellipse is stretched from.
    double Angle(TPoint p) const
    {
        const double dx = a > 0 ? (p.x - cx) / a : p.x - cx;
        const double dy = b > 0 ? (cy - p.y) / b : cy - p.y;
        return std::atan2(dy, dx) * 180 / std::numbers::pi;
    }
    // Quarter turns come out exact, so a half dial's ends lie on its centre's row.
    TPointF At(double degrees) const
    {
        const double turns = degrees / 90;
        if (turns == std::round(turns)) {
            static constexpr int kCos[] = {1, 0, -1, 0}, kSin[] = {0, 1, 0, -1};
            const int quarter = ((static_cast<int>(turns) % 4) + 4) % 4;
            return {cx + a * kCos[quarter], cy - b * kSin[quarter]};
        }
        const double rad = degrees * std::numbers::pi / 180;
        return {cx + a * std::cos(rad), cy - b * std::sin(rad)};
    }
};

// The arc's chords from `from` to `to` (degrees), halved until each strays at most
// 0.3 pixel from the curve; the point at `from` is already in.
void AddArc(std::vector<TPointF>& points, const TEllipseCurve& curve, double from, double to)
{
    constexpr double kMaxStray = 0.3;
    const double radius = std::max(curve.a, curve.b);
    if (radius * (1 - std::cos((to - from) / 2 * std::numbers::pi / 180)) > kMaxStray) {
        AddArc(points, curve, from, (from + to) / 2);
        AddArc(points, curve, (from + to) / 2, to);
        return;
    }
    points.push_back(curve.At(to));
}

// The wedge's closed outline: centre, the arc quarter by quarter (split where it
// crosses an axis), centre.
std::vector<TPointF> WedgeOutline(const TEllipseCurve& curve, double from, double sweep)
{
    std::vector<TPointF> points{{curve.cx, curve.cy}, curve.At(from)};
    for (double at = from; at < from + sweep;) {
        const double next = std::min(from + sweep, (std::floor(at / 90) + 1) * 90);
        AddArc(points, curve, at, next);
        at = next;
    }
    points.push_back({curve.cx, curve.cy});
    return points;
}

// Every pixel of the box's rows whose centre lies inside the closed outline (even-odd).
void FillOutline(TGaugeBitmap& bitmap, const TRect& box, const std::vector<TPointF>& points, TRgb color)
{
    for (int y = std::max(box.top, 0); y < std::min(box.bottom, bitmap.height); ++y) {
        const double cy = y + 0.5;
        std::vector<double> crossings;
        for (std::size_t i = 0; i + 1 < points.size(); ++i) {
            const TPointF p = points[i], q = points[i + 1];
            if ((p.y <= cy) != (q.y <= cy))
                crossings.push_back(p.x + (cy - p.y) * (q.x - p.x) / (q.y - p.y));
        }
        std::sort(crossings.begin(), crossings.end());
        for (std::size_t i = 0; i + 1 < crossings.size(); i += 2)
            for (int x = std::max(0, int(std::ceil(crossings[i] - 0.5))); x < bitmap.width && x + 0.5 < crossings[i + 1];
                 ++x)
                bitmap.At(x, y) = color;
    }
}

void StrokeOutline(TGaugeBitmap& bitmap, const std::vector<TPointF>& points, TRgb color)
{
    for (std::size_t i = 0; i + 1 < points.size(); ++i)
        WalkLine(points[i], points[i + 1], [&](int x, int y) { Plot(bitmap, x, y, color); });
}

} // namespace

void Pie(TGaugeBitmap& bitmap, const TRect& rect, TPoint start, TPoint end, TShapeColors colors)
{
    const TRect box = Normalised(rect);
    if (box.right <= box.left || box.bottom <= box.top)
        return;
    const TEllipseCurve curve(box);
    const double from = curve.Angle(start);
    const double sweep = std::fmod(curve.Angle(end) - from + 720, 360.0);
    if (start == end || sweep == 0) {
        Ellipse(bitmap, rect, colors);
        return;
    }
    if (Thin(box)) {
        FillRect(bitmap, box, colors.pen);
        return;
    }
    const std::vector<TPointF> outline = WedgeOutline(curve, from, sweep);
    FillOutline(bitmap, box, outline, colors.brush);
    StrokeOutline(bitmap, outline, colors.pen);
}
