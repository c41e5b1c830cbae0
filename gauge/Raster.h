// Filled rectangles, ellipses, pies and lines with the gauge's pixel rules, straight
// into a TGaugeBitmap: a rectangle (l, t, r, b) covers x = l..r-1 and y = t..b-1 and an
// ellipse lies within the same pixels; a line leaves out the pixel at its right end (at
// its bottom end when it is steeper than 45 degrees). Everything is clipped to the bitmap.
#pragma once

#include "gauge/GaugeBitmap.h"

struct TRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

struct TPoint {
    int x = 0;
    int y = 0;
    friend bool operator==(const TPoint&, const TPoint&) = default;
};

// A one-pixel outline in `pen` around a fill in `brush`.
struct TShapeColors {
    TRgb pen = 0;
    TRgb brush = 0;
};

void FillRect(TGaugeBitmap& bitmap, const TRect& rect, TRgb color);

void Ellipse(TGaugeBitmap& bitmap, const TRect& rect, TShapeColors colors);

// The wedge from the radial through `start` counterclockwise to the radial through
// `end`; the whole ellipse when both lie on the same radial. Its fill takes the pixels
// whose centres lie inside the wedge, its outline the lines along the wedge's edges.
void Pie(TGaugeBitmap& bitmap, const TRect& rect, TPoint start, TPoint end, TShapeColors colors);

// From `from` to `to`.
void Line(TGaugeBitmap& bitmap, TPoint from, TPoint to, TRgb color);
