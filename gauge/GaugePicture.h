// The gauge's picture, composed in a TGaugeBitmap apart from any window.
#pragma once

#include "gauge/GaugeBitmap.h"
#include "gauge/GaugeTypes.h"
#include "gauge/Raster.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Everything one paint needs, with the colours already resolved.
struct TGaugeLook {
    int width = 100;
    int height = 100;
    TGaugeKind kind = gkHorizontalBar;
    bool showText = true;
    TBorderStyle borderStyle = bsSingle;
    TRgb foreColor = 0x000000;
    TRgb backColor = 0xFFFFFF;
    TRgb color = 0xFFFFFF;  // the gauge's own colour, behind pie and dial
    std::int32_t percent = 0;
};

// A text's letters as the front-end's font draws them, with the metrics that place it.
struct TTextMask {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> ink;  // width × height, non-zero where a letter covers the pixel
    int originX = 0;                // where the text's pen starts within the mask
    int baseline = 0;               // the mask's row of the baseline
    int advance = 0;                // the text's advance width
    int lineHeight = 0;             // the font's line height
    int ascent = 0;
};

// The toolkit draws the letters: the core has no font.
using TTextMasker = std::function<TTextMask(const std::string& text)>;

// The whole client rectangle, less a one-pixel ring for the border.
TRect GaugePaintRect(const TGaugeLook& look);

// Black ring, the kind's picture, then the percentage text XORed in white (when
// look.showText). Empty for a gauge without pixels.
TGaugeBitmap ComposeGaugePicture(const TGaugeLook& look, const TTextMasker& masker);

// The picture of look.kind (no text) into `bitmap`.
void DrawGaugeKind(TGaugeBitmap& bitmap, const TGaugeLook& look, const TRect& rect);

// Inverts the pixels the letters cover, centred in `rect` and clipped to it.
void XorPercentText(TGaugeBitmap& bitmap, const TTextMask& mask, const TRect& rect);
