// Filled rectangles, ellipses, pies and lines with the pixel rules of the gauge's
// drawing conventions, on an aliased QPainter: a rectangle (l, t, r, b) covers
// x = l..r-1 and y = t..b-1, and a line leaves out its end pixel.
#pragma once

#include <QColor>
#include <QPoint>

class QPainter;

struct TRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

void GdiFillRect(QPainter& painter, const TRect& rect, const QColor& color);

// Outlined with the painter's pen, filled with its brush.
void GdiEllipse(QPainter& painter, const TRect& rect);

// The wedge from the radial through `start` counterclockwise to the radial through
// `end`; the whole ellipse when both lie on the same radial.
void GdiPie(QPainter& painter, const TRect& rect, QPoint start, QPoint end);

// From `from` to `to`, `to` itself not drawn.
void GdiLine(QPainter& painter, QPoint from, QPoint to);
