#include "widgets/GaugeMath.h"

#include <cfloat>
#include <climits>
#include <cmath>
#include <gtest/gtest.h>
#include <random>

TEST(GaugePercent, WholePercentTruncated)
{
    EXPECT_EQ(GaugePercent(51, 0, 102), 50);
    EXPECT_EQ(GaugePercent(52, 0, 102), 50);
    EXPECT_EQ(GaugePercent(101, 0, 102), 99);
    EXPECT_EQ(GaugePercent(102, 0, 102), 100);
    EXPECT_EQ(GaugePercent(0, 0, 102), 0);
    EXPECT_EQ(GaugePercent(-50, -100, 0), 50);
    EXPECT_EQ(GaugePercent(7, 7, 7), 0);
}

TEST(GaugePercent, WidestRangeDoesNotOverflow)
{
    EXPECT_EQ(GaugePercent(INT_MIN, INT_MIN, INT_MAX), 0);
    EXPECT_EQ(GaugePercent(0, INT_MIN, INT_MAX), 50);
    EXPECT_EQ(GaugePercent(INT_MAX - 1, INT_MIN, INT_MAX), 99);
    EXPECT_EQ(GaugePercent(INT_MAX, INT_MIN, INT_MAX), 100);
    EXPECT_EQ(GaugePercent(INT_MAX, -1, INT_MAX), 100);
}

TEST(GaugePercent, InvertedRangeLeftByAStoredFormStaysWithin0To100)
{
    EXPECT_EQ(GaugePercent(10, 10, 0), 0);
    EXPECT_EQ(GaugePercent(0, 10, 0), 100);
    EXPECT_EQ(GaugePercent(-30, 10, 0), 100);
    EXPECT_EQ(GaugePercent(40, 10, 0), 0);
}

TEST(GaugeScaled, FallsShortWhereThe80BitHundredthDoes)
{
    EXPECT_EQ(GaugeScaled(10, 100), 9);
    EXPECT_EQ(GaugeScaled(5, 20), 0);
    EXPECT_EQ(GaugeScaled(50, 100), 50);
    EXPECT_EQ(GaugeScaled(50, 264), 132);
    EXPECT_EQ(GaugeScaled(0, 264), 0);
    for (int n = 1; n <= 2000; ++n)
        ASSERT_EQ(GaugeScaled(100, n), n) << n;
    EXPECT_EQ(GaugeScaled(10, -100), -9);  // a gauge narrower than its border
}

#if defined(__x86_64__) || defined(__i386__)
static_assert(LDBL_MANT_DIG == 64, "x86 long double is the 80-bit extended type");

long double ExtendedScaled(std::int32_t p, std::int32_t n)
{
    const volatile long double fraction = static_cast<long double>(p) * 0.01L;
    return std::trunc(static_cast<long double>(n) * fraction);
}

TEST(GaugeScaled, MatchesExtendedPrecisionForEveryPercentAndSpan)
{
    int mismatches = 0;
    for (int p = 0; p <= 100; ++p)
        for (int n = 1; n <= 2000; ++n)
            if (GaugeScaled(p, n) != static_cast<std::int64_t>(ExtendedScaled(p, n)) && ++mismatches < 5)
                ADD_FAILURE() << "P " << p << " N " << n;
    EXPECT_EQ(mismatches, 0);
}

TEST(GaugeScaled, MatchesExtendedPrecisionForWideOperands)
{
    std::mt19937 random(20261206);
    std::uniform_int_distribution<std::int32_t> any(INT_MIN, INT_MAX);
    for (int i = 0; i < 20000; ++i) {
        const std::int32_t p = any(random), n = any(random);
        ASSERT_EQ(GaugeScaled(p, n), static_cast<std::int64_t>(ExtendedScaled(p, n))) << p << " " << n;
    }
}
#endif

TEST(RoundHalfEven, HalvesGoToTheEvenNeighbour)
{
    EXPECT_EQ(RoundHalfEven(0.5), 0);
    EXPECT_EQ(RoundHalfEven(1.5), 2);
    EXPECT_EQ(RoundHalfEven(2.5), 2);
    EXPECT_EQ(RoundHalfEven(-0.5), 0);
    EXPECT_EQ(RoundHalfEven(-1.5), -2);
    EXPECT_EQ(RoundHalfEven(2.4999999), 2);
    EXPECT_EQ(RoundHalfEven(2.5000001), 3);
    EXPECT_EQ(RoundHalfEven(131.99999999999997), 132);
}

TEST(GaugePoints, PieStartWalksClockwiseFromTwelve)
{
    // Box 99 × 99: MX = MY = 49.
    EXPECT_EQ(GaugePieStart(25, 99, 99), (TGaugePoint{98, 49}));  // three o'clock
    EXPECT_EQ(GaugePieStart(50, 99, 99), (TGaugePoint{49, 98}));  // six o'clock
    EXPECT_EQ(GaugePieStart(75, 99, 99), (TGaugePoint{0, 49}));   // nine o'clock
    EXPECT_EQ(GaugePieStart(100, 99, 99), (TGaugePoint{49, 0}));  // back at the end point
    EXPECT_EQ(GaugePieStart(1, 264, 19), (TGaugePoint{140, 0}));
    EXPECT_EQ(GaugePieStart(12, 99, 99), (TGaugePoint{83, 13}));
}

TEST(GaugePoints, NeedleEndSweepsTheUpperHalf)
{
    EXPECT_EQ(GaugeNeedleEnd(50, 101, 50), (TGaugePoint{50, 0}));
    EXPECT_EQ(GaugeNeedleEnd(100, 101, 50), (TGaugePoint{100, 49}));
    EXPECT_EQ(GaugeNeedleEnd(1, 101, 50), (TGaugePoint{0, 47}));
    EXPECT_EQ(GaugeNeedleEnd(25, 265, 19), (TGaugePoint{39, 5}));
}
