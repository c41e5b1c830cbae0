// Ellipses by the midpoint algorithm, whole pixels only.
#include "gauge/RasterSupport.h"

#include <vector>

namespace {

// One run of the outline in the upper right quadrant: `length` pixels from `x`,
// `y` rows above the middle.
struct TQuadrantRun {
    int x, y, length;
};

// The curve through the box's outermost pixels: a = (w - 1) / 2, b = (h - 1) / 2;
// first along x while the curve is flat, then along y.
std::vector<TQuadrantRun> QuadrantRuns(int w, int h)
{
    const double a = (w - 1) / 2.0, b = (h - 1) / 2.0, a2 = a * a, b2 = b * b;
    std::vector<TQuadrantRun> runs;
    int x = 0, y = h / 2, start = 0;
    double d = b2 - a2 * b + a2 / 4;
    while (a2 * (2 * y - 1) > 2 * b2 * (x + 1)) {
        const bool down = d >= 0;  // the step goes down a row too
        d += b2 * (2 * x + 3);
        if (down) {
            d += a2 * (2 - 2 * y);
            runs.push_back({start, y, x - start + 1});
            start = x + 1;
            --y;
        }
        ++x;
    }
    runs.push_back({start, y, x - start + 1});
    d = b2 * (x + 0.5) * (x + 0.5) + a2 * ((y - 1) * (y - 1) - b2);
    for (const int lowest = (h - 1) & 1; y > lowest;) {
        if (d < 0) {
            d += b2 * (2 * x + 2);
            ++x;
        }
        d += a2 * (3 - 2 * y);
        --y;
        runs.push_back({x, y, 1});
    }
    return runs;
}

// A run mirrored into all four quadrants, with the fill between its halves; an odd
// width or height puts the middle column or row on the left or top half.
void MirrorRun(TGaugeBitmap& bitmap, const TRect& box, TQuadrantRun run, TShapeColors colors)
{
    const int w = box.right - box.left - 1, h = box.bottom - box.top - 1;
    const int midX = box.left + (w + 1) / 2, midY = box.top + (h + 1) / 2;
    const int right = midX + run.x;
    const int left = midX - run.x - (run.length - 1) - (w & 1);
    const int leftLength = std::min(run.length, right - left);
    const int top = midY - run.y, bottom = midY + run.y - (h & 1);
    const auto row = [&](int y) {
        for (int x = left + leftLength - 1; x < right && left + leftLength < right; ++x)
            Plot(bitmap, x, y, colors.brush);
        for (int x = left; x < left + leftLength; ++x)
            Plot(bitmap, x, y, colors.pen);
        for (int x = right; x < right + run.length; ++x)
            Plot(bitmap, x, y, colors.pen);
    };
    row(top);
    if (bottom > top)  // the middle row once
        row(bottom);
}

} // namespace

void Ellipse(TGaugeBitmap& bitmap, const TRect& rect, TShapeColors colors)
{
    const TRect box = Normalised(rect);
    if (box.right <= box.left || box.bottom <= box.top)
        return;
    if (Thin(box)) {  // a line along the box, its far end left out
        Line(bitmap, {box.left, box.top}, {box.right - 1, box.bottom - 1}, colors.pen);
        return;
    }
    for (const TQuadrantRun& run : QuadrantRuns(box.right - box.left, box.bottom - box.top))
        MirrorRun(bitmap, box, run, colors);
}
