#include "gauge/GaugeMath.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

// 0.01 as the nearest 80-bit extended value: mantissa × 2^-70.
constexpr std::uint64_t kHundredthMantissa = 0xA3D70A3D70A3D70AULL;
constexpr int kHundredthExponent = -70;

struct U128 {
    std::uint64_t hi;
    std::uint64_t lo;
};

// A binary floating-point value mantissa × 2^exponent with at most 64 significant bits.
struct Extended {
    std::uint64_t mantissa;
    int exponent;
};

U128 Multiply(std::uint64_t a, std::uint64_t b)
{
    const std::uint64_t aLo = a & 0xFFFFFFFFu, aHi = a >> 32;
    const std::uint64_t bLo = b & 0xFFFFFFFFu, bHi = b >> 32;
    const std::uint64_t ll = aLo * bLo, lh = aLo * bHi, hl = aHi * bLo, hh = aHi * bHi;
    const std::uint64_t mid = (ll >> 32) + (lh & 0xFFFFFFFFu) + (hl & 0xFFFFFFFFu);
    return {hh + (lh >> 32) + (hl >> 32) + (mid >> 32), (mid << 32) | (ll & 0xFFFFFFFFu)};
}

int BitLength(std::uint64_t v)
{
    int n = 0;
    for (; v != 0; v >>= 1)
        ++n;
    return n;
}

// Rounds a 128-bit product to 64 significant bits, halves to even.
Extended RoundTo64Bits(U128 v, int exponent)
{
    if (v.hi == 0)
        return {v.lo, exponent};
    const int drop = BitLength(v.hi);  // 1..64 bits beyond the 64 kept
    const std::uint64_t kept = drop == 64 ? v.hi : (v.hi << (64 - drop)) | (v.lo >> drop);
    const std::uint64_t rest = drop == 64 ? v.lo : v.lo & ((std::uint64_t{1} << drop) - 1);
    const std::uint64_t half = std::uint64_t{1} << (drop - 1);
    const bool up = rest > half || (rest == half && (kept & 1) != 0);
    if (!up)
        return {kept, exponent + drop};
    if (kept == ~std::uint64_t{0})  // carried into a 65th bit
        return {std::uint64_t{1} << 63, exponent + drop + 1};
    return {kept + 1, exponent + drop};
}

Extended Times(Extended x, std::uint64_t n)
{
    return RoundTo64Bits(Multiply(x.mantissa, n), x.exponent);
}

std::int64_t Truncate(Extended x)
{
    if (x.exponent >= 0)  // not reached by 32-bit operands: the value stays below 2^57
        return static_cast<std::int64_t>(x.mantissa << std::min(x.exponent, 63));
    return x.exponent <= -64 ? 0 : static_cast<std::int64_t>(x.mantissa >> -x.exponent);
}

std::uint64_t Magnitude(std::int32_t v)
{
    return v < 0 ? std::uint64_t{0} - static_cast<std::uint64_t>(static_cast<std::int64_t>(v))
                 : static_cast<std::uint64_t>(v);
}

} // namespace

std::int32_t GaugePercent(std::int32_t progress, std::int32_t minValue, std::int32_t maxValue)
{
    if (maxValue == minValue)
        return 0;
    const std::int64_t covered = std::int64_t{progress} - minValue;
    const std::int64_t range = std::int64_t{maxValue} - minValue;
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(covered * 100 / range, 0, 100));
}

std::int64_t GaugeScaled(std::int32_t percent, std::int32_t span)
{
    const Extended fraction = Times({kHundredthMantissa, kHundredthExponent}, Magnitude(percent));
    const std::int64_t length = Truncate(Times(fraction, Magnitude(span)));
    return (percent < 0) != (span < 0) ? -length : length;
}

std::int64_t RoundHalfEven(double value)
{
    const double below = std::floor(value);
    const double fraction = value - below;
    auto whole = static_cast<std::int64_t>(below);
    if (fraction > 0.5 || (fraction == 0.5 && whole % 2 != 0))
        ++whole;
    return whole;
}

TGaugePoint GaugePieStart(std::int32_t percent, std::int32_t w, std::int32_t h)
{
    const double mx = w / 2, my = h / 2;
    const double angle = std::numbers::pi * (percent / 50.0 + 0.5);
    return {static_cast<std::int32_t>(RoundHalfEven(mx * (1 - std::cos(angle)))),
            static_cast<std::int32_t>(RoundHalfEven(my * (1 - std::sin(angle))))};
}

TGaugePoint GaugeNeedleEnd(std::int32_t percent, std::int32_t width, std::int32_t bottom)
{
    const double mx = width / 2;
    const double angle = percent / 100.0 * std::numbers::pi;
    return {static_cast<std::int32_t>(RoundHalfEven(mx * (1 - std::cos(angle)))),
            static_cast<std::int32_t>(RoundHalfEven((double(bottom) - 1) * (1 - std::sin(angle))))};
}
