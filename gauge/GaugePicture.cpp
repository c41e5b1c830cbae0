#include "gauge/GaugePicture.h"

#include <algorithm>

TRect GaugePaintRect(const TGaugeLook& look)
{
    if (look.borderStyle == bsSingle)
        return {1, 1, look.width - 1, look.height - 1};
    return {0, 0, look.width, look.height};
}

void XorPercentText(TGaugeBitmap& bitmap, const TTextMask& mask, const TRect& rect)
{
    // Centred in the paint rectangle's size, not offset by its corner: the picture's
    // long-standing placement.
    const int x = (rect.right - rect.left + 1 - mask.advance) / 2;
    const int y = (rect.bottom - rect.top + 1 - mask.lineHeight) / 2;
    const int dx = x - mask.originX, dy = y + mask.ascent - mask.baseline;
    const int left = std::max({rect.left, dx, 0}), right = std::min({rect.right, dx + mask.width, bitmap.width});
    const int top = std::max({rect.top, dy, 0}), bottom = std::min({rect.bottom, dy + mask.height, bitmap.height});
    for (int row = top; row < bottom; ++row)
        for (int col = left; col < right; ++col)
            if (mask.ink[std::size_t(row - dy) * std::size_t(mask.width) + std::size_t(col - dx)] != 0)
                bitmap.At(col, row) ^= 0xFFFFFFu;
}

TGaugeBitmap ComposeGaugePicture(const TGaugeLook& look, const TTextMasker& masker)
{
    if (look.width <= 0 || look.height <= 0)
        return {};
    TGaugeBitmap picture(look.width, look.height, 0x000000);
    const TRect rect = GaugePaintRect(look);
    DrawGaugeKind(picture, look, rect);
    if (look.showText && masker)
        XorPercentText(picture, masker(std::to_string(look.percent) + '%'), rect);
    return picture;
}
