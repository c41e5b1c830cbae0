// Colour values: 0x00BBGGRR for a direct colour, 0xFF000000 plus an index for a system colour.
#pragma once

#include <QColor>
#include <QPalette>
#include <cstdint>

using TColor = std::uint32_t;

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

// The colour to draw with; system colours come from `palette` (active group).
QColor ColorToQColor(TColor color, const QPalette& palette);

// A direct colour value for an RGB colour.
TColor QColorToColor(const QColor& color);
