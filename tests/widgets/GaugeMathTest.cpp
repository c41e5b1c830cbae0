#include "widgets/GaugeMath.h"

#include <cfloat>
#include <climits>
#include <cmath>
#include <gtest/gtest.h>
#include <random>

TEST(GaugeMath, PercentTruncatesAndStaysWithinRangeForAnyBounds)
{
    struct Case { std::int32_t value, min, max, percent; };
    const Case cases[] = {
        {51, 0, 102, 50}, {101, 0, 102, 99}, {102, 0, 102, 100}, {-50, -100, 0, 50}, {7, 7, 7, 0},
        {0, INT_MIN, INT_MAX, 50}, {INT_MAX - 1, INT_MIN, INT_MAX, 99}, {INT_MAX, INT_MIN, INT_MAX, 100},
        {10, 10, 0, 0}, {0, 10, 0, 100}, {-30, 10, 0, 100},  // inverted range left by a stored form
    };
    for (const Case& c : cases)
        EXPECT_EQ(GaugePercent(c.value, c.min, c.max), c.percent) << c.value << " in " << c.min << ".." << c.max;
}

TEST(GaugeMath, ScaledFallsShortWhereThe80BitHundredthDoes)
{
    EXPECT_EQ(GaugeScaled(10, 100), 9);
    EXPECT_EQ(GaugeScaled(50, 264), 132);
    EXPECT_EQ(GaugeScaled(10, -100), -9);  // a gauge narrower than its border
    for (int n = 1; n <= 2000; ++n)
        ASSERT_EQ(GaugeScaled(100, n), n) << n;
}

#if defined(__x86_64__) || defined(__i386__)
static_assert(LDBL_MANT_DIG == 64, "x86 long double is the 80-bit extended type");

long double ExtendedScaled(std::int32_t p, std::int32_t n)
{
    const volatile long double fraction = static_cast<long double>(p) * 0.01L;
    return std::trunc(static_cast<long double>(n) * fraction);
}

TEST(GaugeMath, ScaledMatchesExtendedPrecisionEverywhere)
{
    for (int p = 0; p <= 100; ++p)
        for (int n = 1; n <= 2000; ++n)
            ASSERT_EQ(GaugeScaled(p, n), static_cast<std::int64_t>(ExtendedScaled(p, n))) << p << " " << n;
    std::mt19937 random(20261206);
    std::uniform_int_distribution<std::int32_t> any(INT_MIN, INT_MAX);
    for (int i = 0; i < 20000; ++i) {
        const std::int32_t p = any(random), n = any(random);
        ASSERT_EQ(GaugeScaled(p, n), static_cast<std::int64_t>(ExtendedScaled(p, n))) << p << " " << n;
    }
}
#endif

TEST(GaugeMath, PointsRoundHalfToEven)
{
    EXPECT_EQ(RoundHalfEven(0.5), 0);
    EXPECT_EQ(RoundHalfEven(1.5), 2);
    EXPECT_EQ(RoundHalfEven(-1.5), -2);
    EXPECT_EQ(RoundHalfEven(2.5000001), 3);
    EXPECT_EQ(RoundHalfEven(131.99999999999997), 132);
    // Pie start clockwise from twelve o'clock in a 99 × 99 box; needle over the upper half.
    EXPECT_EQ(GaugePieStart(25, 99, 99), (TGaugePoint{98, 49}));
    EXPECT_EQ(GaugePieStart(75, 99, 99), (TGaugePoint{0, 49}));
    EXPECT_EQ(GaugePieStart(12, 99, 99), (TGaugePoint{83, 13}));
    EXPECT_EQ(GaugePieStart(1, 264, 19), (TGaugePoint{140, 0}));
    EXPECT_EQ(GaugeNeedleEnd(50, 101, 50), (TGaugePoint{50, 0}));
    EXPECT_EQ(GaugeNeedleEnd(100, 101, 50), (TGaugePoint{100, 49}));
    EXPECT_EQ(GaugeNeedleEnd(25, 265, 19), (TGaugePoint{39, 5}));
}
