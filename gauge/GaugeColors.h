// Colour values: 0x00BBGGRR for a direct colour, 0xFF000000 plus an index for a system colour.
// The picture is composed in resolved 0x00RRGGBB values (TRgb).
#pragma once

#include <cstdint>
#include <functional>

using TColor = std::uint32_t;
using TRgb = std::uint32_t;

inline constexpr TColor clBlack = 0x000000;
inline constexpr TColor clWhite = 0xFFFFFF;
inline constexpr TColor clRed = 0x0000FF;
inline constexpr TColor clGreen = 0x008000;
inline constexpr TColor clBlue = 0xFF0000;
inline constexpr TColor clWindow = 0xFF000005;
inline constexpr TColor clWindowFrame = 0xFF000006;
inline constexpr TColor clWindowText = 0xFF000008;
inline constexpr TColor clBtnFace = 0xFF00000F;

inline constexpr bool IsSystemColor(TColor color) { return (color & 0xFF000000u) == 0xFF000000u; }

// What a system colour looks like is the front-end's business.
using TSystemColorResolver = std::function<TRgb(TColor systemColor)>;

// The RGB value of a direct colour; system colours go to `resolve`.
inline TRgb ResolveColor(TColor color, const TSystemColorResolver& resolve)
{
    if (IsSystemColor(color))
        return resolve(color) & 0xFFFFFFu;
    return (color & 0xFFu) << 16 | (color & 0xFF00u) | (color >> 16 & 0xFFu);
}
