// The picture of each gauge kind.
#include "widgets/GaugeMath.h"
#include "widgets/GaugePicture.h"

#include <QPainter>

namespace {

QPen OnePixelPen(const QColor& color)
{
    return QPen(color, 1, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
}

void DrawBar(QPainter& painter, const TGaugeLook& look, const TRect& r)
{
    const int w = r.right - r.left + 1;
    const int h = r.bottom - r.top + 1;
    GdiFillRect(painter, r, look.backColor);
    if (look.kind == gkHorizontalBar) {
        const int f = static_cast<int>(std::min<std::int64_t>(GaugeScaled(look.percent, w), w));
        if (f > 0)
            GdiFillRect(painter, {r.left, r.top, f, h}, look.foreColor);
    } else {
        int f = static_cast<int>(GaugeScaled(look.percent, h));
        if (f >= h)
            f = h - 1;
        GdiFillRect(painter, {r.left, h - f, w, h}, look.foreColor);
    }
}

// Width and height of the pie's and dial's box: the border's ring counts once.
QSize RoundBox(const TGaugeLook& look, const TRect& r)
{
    const int extra = look.borderStyle == bsSingle ? 1 : 0;
    return {r.right - r.left + extra, r.bottom - r.top + extra};
}

void DrawPie(QPainter& painter, const TGaugeLook& look, const TRect& r)
{
    const QSize box = RoundBox(look, r);
    const TRect bounds{r.left, r.top, box.width(), box.height()};
    GdiFillRect(painter, r, look.color);
    painter.setPen(OnePixelPen(look.foreColor));
    painter.setBrush(look.backColor);
    GdiEllipse(painter, bounds);
    if (look.percent > 0) {
        painter.setBrush(look.foreColor);
        const TGaugePoint start = GaugePieStart(look.percent, box.width(), box.height());
        GdiPie(painter, bounds, {start.x, start.y}, {box.width() / 2, 0});
    }
}

void DrawNeedle(QPainter& painter, const TGaugeLook& look, const TRect& r)
{
    const QSize box = RoundBox(look, r);
    const int w = box.width(), h = box.height(), b = r.bottom;
    GdiFillRect(painter, r, look.color);
    painter.setPen(OnePixelPen(look.foreColor));
    painter.setBrush(look.backColor);
    GdiPie(painter, {r.left, r.top, w, 2 * h - 1}, {r.left + w, b - 1}, {r.left, b - 1});
    GdiLine(painter, {r.left, b}, {r.left + w, b});
    if (look.percent > 0) {
        const int mx = look.width / 2;
        const TGaugePoint end = GaugeNeedleEnd(look.percent, look.width, b);
        GdiLine(painter, {mx, b - 1}, {end.x, end.y});
    }
}

} // namespace

void DrawGaugeKind(QImage& image, const TGaugeLook& look, const TRect& rect)
{
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, false);
    switch (look.kind) {
    case gkText:
        GdiFillRect(painter, rect, look.backColor);
        break;
    case gkHorizontalBar:
    case gkVerticalBar:
        DrawBar(painter, look, rect);
        break;
    case gkPie:
        DrawPie(painter, look, rect);
        break;
    case gkNeedle:
        DrawNeedle(painter, look, rect);
        break;
    }
}
