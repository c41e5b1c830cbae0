// The picture of each gauge kind.
#include "gauge/GaugeMath.h"
#include "gauge/GaugePicture.h"

#include <algorithm>

namespace {

void DrawBar(TGaugeBitmap& bitmap, const TGaugeLook& look, const TRect& r)
{
    const int w = r.right - r.left + 1;
    const int h = r.bottom - r.top + 1;
    FillRect(bitmap, r, look.backColor);
    if (look.kind == gkHorizontalBar) {
        const int f = static_cast<int>(std::min<std::int64_t>(GaugeScaled(look.percent, w), w));
        if (f > 0)
            FillRect(bitmap, {r.left, r.top, f, h}, look.foreColor);
    } else {
        int f = static_cast<int>(GaugeScaled(look.percent, h));
        if (f >= h)
            f = h - 1;
        FillRect(bitmap, {r.left, h - f, w, h}, look.foreColor);
    }
}

// Width and height of the pie's and dial's box: the border's ring counts once.
TPoint RoundBox(const TGaugeLook& look, const TRect& r)
{
    const int extra = look.borderStyle == bsSingle ? 1 : 0;
    return {r.right - r.left + extra, r.bottom - r.top + extra};
}

void DrawPie(TGaugeBitmap& bitmap, const TGaugeLook& look, const TRect& r)
{
    const auto [w, h] = RoundBox(look, r);
    const TRect bounds{r.left, r.top, w, h};
    FillRect(bitmap, r, look.color);
    Ellipse(bitmap, bounds, {look.foreColor, look.backColor});
    if (look.percent > 0) {
        const TGaugePoint start = GaugePieStart(look.percent, w, h);
        Pie(bitmap, bounds, {start.x, start.y}, {w / 2, 0}, {look.foreColor, look.foreColor});
    }
}

void DrawNeedle(TGaugeBitmap& bitmap, const TGaugeLook& look, const TRect& r)
{
    const auto [w, h] = RoundBox(look, r);
    const int b = r.bottom;
    FillRect(bitmap, r, look.color);
    Pie(bitmap, {r.left, r.top, w, 2 * h - 1}, {r.left + w, b - 1}, {r.left, b - 1}, {look.foreColor, look.backColor});
    Line(bitmap, {r.left, b}, {r.left + w, b}, look.foreColor);
    if (look.percent > 0) {
        const TGaugePoint end = GaugeNeedleEnd(look.percent, look.width, b);
        Line(bitmap, {look.width / 2, b - 1}, {end.x, end.y}, look.foreColor);
    }
}

} // namespace

void DrawGaugeKind(TGaugeBitmap& bitmap, const TGaugeLook& look, const TRect& rect)
{
    switch (look.kind) {
    case gkText:
        FillRect(bitmap, rect, look.backColor);
        break;
    case gkHorizontalBar:
    case gkVerticalBar:
        DrawBar(bitmap, look, rect);
        break;
    case gkPie:
        DrawPie(bitmap, look, rect);
        break;
    case gkNeedle:
        DrawNeedle(bitmap, look, rect);
        break;
    }
}
