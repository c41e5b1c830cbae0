// The gauge's picture: a plain 32-bit pixel buffer any window can present.
#pragma once

#include "gauge/GaugeColors.h"

#include <cstdint>
#include <vector>

// Row by row from the top left, one 0x00RRGGBB value a pixel.
struct TGaugeBitmap {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;

    TGaugeBitmap() = default;
    TGaugeBitmap(int w, int h, TRgb fill) : width(w), height(h), pixels(std::size_t(w) * std::size_t(h), fill) {}

    bool Contains(int x, int y) const { return x >= 0 && y >= 0 && x < width && y < height; }
    TRgb At(int x, int y) const { return pixels[std::size_t(y) * std::size_t(width) + std::size_t(x)]; }
    TRgb& At(int x, int y) { return pixels[std::size_t(y) * std::size_t(width) + std::size_t(x)]; }
};
