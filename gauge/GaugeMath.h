// The gauge's arithmetic, free of any window: percentage, bar length, pie and needle points.
#pragma once

#include <cstdint>

struct TGaugePoint {
    std::int32_t x = 0;
    std::int32_t y = 0;
    friend bool operator==(const TGaugePoint&, const TGaugePoint&) = default;
};

// The whole percentage of the range that `progress` covers, truncated toward zero;
// 0 for an empty range. Computed in 64 bits so the widest range cannot overflow,
// and kept within 0..100 even for the inverted range a stored form may leave.
std::int32_t GaugePercent(std::int32_t progress, std::int32_t minValue, std::int32_t maxValue);

// trunc(span × (percent × 0.01)) as 80-bit extended arithmetic gives it: 0.01 held as
// 0xA3D70A3D70A3D70A × 2^-70, each product rounded to 64 significant bits, halves to
// even. Done with integers, so every target gives the same pixels.
std::int64_t GaugeScaled(std::int32_t percent, std::int32_t span);

// Rounds to the nearest integer, halves to even.
std::int64_t RoundHalfEven(double value);

// The pie's start point for a box of w × h (w, h as the pie picture computes them).
TGaugePoint GaugePieStart(std::int32_t percent, std::int32_t w, std::int32_t h);

// The needle's end point: `width` is the whole gauge's width, `bottom` the paint
// rectangle's bottom edge.
TGaugePoint GaugeNeedleEnd(std::int32_t percent, std::int32_t width, std::int32_t bottom);
