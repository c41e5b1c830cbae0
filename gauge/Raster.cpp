#include "gauge/RasterSupport.h"

void FillRect(TGaugeBitmap& bitmap, const TRect& rect, TRgb color)
{
    const int left = std::max(rect.left, 0), right = std::min(rect.right, bitmap.width);
    const int top = std::max(rect.top, 0), bottom = std::min(rect.bottom, bitmap.height);
    for (int y = top; y < bottom; ++y)
        std::fill_n(&bitmap.At(0, y) + left, std::max(right - left, 0), color);
}

void Line(TGaugeBitmap& bitmap, TPoint from, TPoint to, TRgb color)
{
    WalkLine({double(from.x), double(from.y)}, {double(to.x), double(to.y)},
             [&](int x, int y) { Plot(bitmap, x, y, color); });
}
