#include "widgets/GdiShapes.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

// Qt strokes a box of w × h over w + 1 columns; the ellipse here covers l..r-1.
QRectF ShapeBox(const TRect& rect)
{
    const auto [l, r] = std::minmax(rect.left, rect.right);
    const auto [t, b] = std::minmax(rect.top, rect.bottom);
    return QRectF(l, t, r - l - 1, b - t - 1);
}

// The angle (degrees, counterclockwise from three o'clock) at which the ellipse meets
// the radial through `point`, in the parametric form QPainterPath::arcTo takes.
double ArcAngle(const QRectF& box, QPointF point)
{
    double dx = point.x() - box.center().x();
    double dy = box.center().y() - point.y();
    if (box.width() > 0 && box.height() > 0) {
        dx /= box.width();
        dy /= box.height();
    }
    return std::atan2(dy, dx) * 180 / std::numbers::pi;
}

} // namespace

void GdiFillRect(QPainter& painter, const TRect& rect, const QColor& color)
{
    if (rect.right > rect.left && rect.bottom > rect.top)
        painter.fillRect(QRect(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top), color);
}

void GdiEllipse(QPainter& painter, const TRect& rect)
{
    const QRectF box = ShapeBox(rect);
    if (box.width() >= 0 && box.height() >= 0)
        painter.drawEllipse(box);
}

void GdiPie(QPainter& painter, const TRect& rect, QPoint start, QPoint end)
{
    const QRectF box = ShapeBox(rect);
    if (box.width() < 0 || box.height() < 0)
        return;
    const double from = ArcAngle(box, start);
    double sweep = std::fmod(ArcAngle(box, end) - from, 360.0);
    if (sweep < 0)
        sweep += 360;
    if (start == end || sweep == 0) {
        painter.drawEllipse(box);
        return;
    }
    QPainterPath wedge(box.center());
    wedge.arcTo(box, from, sweep);
    wedge.closeSubpath();
    painter.drawPath(wedge);
}

void GdiLine(QPainter& painter, QPoint from, QPoint to)
{
    if (from == to)
        return;
    QPen pen = painter.pen();
    pen.setCapStyle(Qt::FlatCap);
    painter.save();
    painter.setPen(pen);
    painter.drawLine(from, to);
    painter.restore();
}
