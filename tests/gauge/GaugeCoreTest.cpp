// The gauge's core without a toolkit: the pixels of every kind, and what the model accepts.
#include "gauge/GaugeMath.h"
#include "gauge/GaugeModel.h"
#include "runtime/Exception.h"
#include "runtime/TextLookup.h"

#include <climits>
#include <cmath>
#include <cstdlib>
#include <gmock/gmock.h>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr TRgb kRed = 0xFF0000, kBlue = 0x0000FF;

// Rows of the pictures side by side: '#' black, '.' white, 'o' any other colour.
std::string Sketch(const std::vector<TGaugeBitmap>& pictures)
{
    std::string rows;
    for (int y = 0; y < pictures.front().height; ++y)
        for (std::size_t i = 0; i < pictures.size(); ++i) {
            for (int x = 0; x < pictures[i].width; ++x) {
                const TRgb rgb = pictures[i].At(x, y);
                rows += rgb == 0 ? '#' : rgb == 0xFFFFFF ? '.' : 'o';
            }
            rows += i + 1 < pictures.size() ? ' ' : '\n';
        }
    return rows;
}

// The picture without text.
TGaugeBitmap Picture(TGaugeKind kind, int width, int height, TBorderStyle border, int percent, TRgb color = kRed)
{
    TGaugeLook look;
    look.width = width;
    look.height = height;
    look.kind = kind;
    look.showText = false;
    look.borderStyle = border;
    look.color = color;
    look.percent = percent;
    return ComposeGaugePicture(look, nullptr);
}

// White where x = l..r-1, y = t..b-1 on black.
TGaugeBitmap WhiteBox(int width, int height, int l, int t, int r, int b)
{
    TGaugeBitmap expected(width, height, 0);
    for (int y = t; y < b; ++y)
        for (int x = l; x < r; ++x)
            expected.At(x, y) = 0xFFFFFF;
    return expected;
}

auto Refused(const std::string& message) { return testing::ThrowsMessage<EInvalidOperation>(message); }

} // namespace

// Every percentage, either border: from its base the bar covers the scaled percentage of its span, less one.
TEST(GaugePicture, BarsGrowByTheScaledPercentage)
{
    for (const TGaugeKind kind : {gkHorizontalBar, gkVerticalBar, gkText})
        for (const TBorderStyle border : {bsSingle, bsNone})
            for (int p = 0; p <= 100; ++p) {
                const int in = border == bsSingle, right = 100 - in, bottom = 40 - in;  // inner edges
                TGaugeBitmap expected;
                if (kind != gkVerticalBar) {
                    const std::int64_t length = kind == gkText ? 0 : GaugeScaled(p, right - in + 1);
                    const int end = int(std::clamp<std::int64_t>(length, in, right));
                    expected = WhiteBox(100, 40, end, in, right, bottom);
                } else {
                    const int span = bottom - in + 1;
                    const int top = span - int(std::min<std::int64_t>(GaugeScaled(p, span), span - 1));
                    expected = WhiteBox(100, 40, in, in, right, std::min(top, bottom));
                }
                const TGaugeBitmap shown = Picture(kind, 100, 40, border, p);
                ASSERT_TRUE(shown.pixels == expected.pixels) << p << "%\n" << Sketch({shown, expected});
            }
}

// Pie clockwise from twelve, needle from the left over the dial, the gauge's own colour
// (red) around them; the third pie and the last needle without border, the one before it with an empty box.
TEST(GaugePicture, PieAndNeedlePixelByPixel)
{
    const struct { TGaugeKind kind; int width; bool ring; int percent; } shown[] = {
        {gkPie, 12, true, 12}, {gkPie, 11, true, 35}, {gkPie, 12, false, 60}, {gkNeedle, 15, true, 10},
        {gkNeedle, 15, true, 30}, {gkNeedle, 3, true, 50}, {gkNeedle, 15, false, 90}};
    std::vector<TGaugeBitmap> pictures;
    for (const auto& s : shown)
        pictures.push_back(Picture(s.kind, s.width, 8, s.ring ? bsSingle : bsNone, s.percent));
    EXPECT_EQ(Sketch(pictures),
              "############ ########### ooo######ooo ############### ############### ### oooo######ooooo\n"
              "#oo######oo# #oo#####oo# o##..######o #ooo######oooo# #oo#######oooo# ### ooo#......##ooo\n"
              "###..##..### #o#..####o# #....####### #oo#......##oo# #oo##.....##oo# ### oo#.........#oo\n"
              "##...#....## ##...###### #....####### #o#........#oo# #o#.#......#oo# ### o#..........#oo\n"
              "##........## ##....##### #...######## ####........#o# ##...#......#o# ### #............#o\n"
              "###......### #o#.....#o# #..######### ##..###.....#o# ##....#.....#o# ### #..........###o\n"
              "#oo######oo# #oo#####oo# o##########o #############o# #############o# ### #.......###..#o\n"
              "############ ########### ooo######ooo ############### ############### ### ##############o\n");
}

TEST(GaugePicture, AnEllipseOfOddHeightHasItsMiddleRow)
{
    EXPECT_EQ(Sketch({Picture(gkPie, 31, 3, bsNone, 0)}), "ooo#########################ooo\n"
                                                          "oo#.........................#oo\n"
                                                          "ooo#########################ooo\n");
}

TEST(GaugePicture, ADialOnePixelHighIsItsOutlineOnly)
{
    EXPECT_EQ(Sketch({Picture(gkNeedle, 6, 1, bsNone, 50)}), "######\n");
}

TEST(GaugePicture, TheDialsBaseLineIsOnTheBottomBorder)
{
    TGaugeLook look;
    look.width = 15;
    look.height = 8;
    look.kind = gkNeedle;
    look.showText = false;
    look.foreColor = kBlue;
    look.percent = 30;
    EXPECT_EQ(Sketch({ComposeGaugePicture(look, nullptr)}).substr(7 * 16), "#oooooooooooooo\n");
}

TEST(GaugePicture, ANeedleAtOnePercentStandsOffTheBaseLine)
{
    EXPECT_FALSE(Picture(gkNeedle, 265, 100, bsSingle, 1).pixels == Picture(gkNeedle, 265, 100, bsSingle, 0).pixels);
}

TEST(GaugePicture, PointsRoundHalfToEven)
{
    for (const auto& [value, whole] : std::initializer_list<std::pair<double, std::int64_t>>{
             {0.5, 0}, {1.5, 2}, {-1.5, -2}, {2.5000001, 3}, {131.99999999999997, 132}})
        EXPECT_EQ(RoundHalfEven(value), whole) << value;
}

TEST(GaugePicture, TinyGaugesOfEveryKindDrawSafely)
{
    for (const auto& [w, h] : {std::pair{0, 0}, {0, 5}, {5, 0}, {1, 1}, {2, 2}, {3, 40}})
        for (const TGaugeKind kind : {gkText, gkHorizontalBar, gkVerticalBar, gkPie, gkNeedle})
            for (const int percent : {0, 50}) {
                const TGaugeBitmap shown = Picture(kind, w, h, bsSingle, percent);
                const bool empty = w == 0 || h == 0;  // no pixels at all
                EXPECT_EQ(std::pair(shown.width, shown.height), empty ? std::pair(0, 0) : std::pair(w, h));
                EXPECT_EQ(shown.pixels.size(), std::size_t(shown.width * shown.height));
            }
}

// Letters the front-end gives are inverted where they fall in the paint rectangle, centred
// in its size with the font's metrics, and nowhere outside it.
TEST(GaugePicture, TextMaskIsCentredInvertedAndClipped)
{
    TGaugeLook look;
    look.width = 12;
    look.height = 6;
    look.kind = gkText;
    look.percent = 7;
    std::string asked;
    const TGaugeBitmap shown = ComposeGaugePicture(look, [&](const std::string& text) {
        asked = text;
        TTextMask mask{.width = 14, .height = 3, .ink = std::vector<std::uint8_t>(42, 1), .originX = 3,
                       .baseline = 2, .advance = 5, .lineHeight = 3, .ascent = 1};
        mask.ink[16] = 0;  // row 1, column 2
        return mask;
    });
    EXPECT_EQ(asked, "7%");
    // At x = (11 - 5) / 2 less originX, y = (5 - 3) / 2 + ascent less baseline: the mask's corner at 0, 0.
    EXPECT_EQ(Sketch({shown}), "############\n"
                               "##.#########\n"
                               "############\n"
                               "#..........#\n"
                               "#..........#\n"
                               "############\n");
}

// Progress stays within the bounds, which drag it along, and is counted in 64 bits; crossed
// bounds are refused with numbers that do not wrap, in the user's language, and change nothing.
TEST(GaugeModel, BoundsHoldProgressAndCrossedBoundsAreRefused)
{
    const TComponent owner;
    TGaugeModel gauge(owner);
    gauge.SetMaxValue(102);
    gauge.SetProgress(500);
    EXPECT_EQ(std::make_pair(gauge.Progress(), gauge.Percent()), std::make_pair(102, 100));
    gauge.SetMaxValue(65);
    gauge.SetMinValue(65);  // equal bounds are accepted
    EXPECT_EQ(std::make_pair(gauge.Progress(), gauge.Percent()), std::make_pair(65, 0));
    gauge.SetMinValue(30);
    gauge.SetMaxValue(99);
    gauge.SetProgress(-1);
    EXPECT_THAT([&] { gauge.SetMinValue(200); }, Refused("Value must be between -2147483647 and 98"));
    EXPECT_THAT([&] { gauge.SetMaxValue(-5); }, Refused("Value must be between 31 and 2147483647"));
    EXPECT_EQ(std::tuple(gauge.MinValue(), gauge.MaxValue(), gauge.Progress()), std::tuple(30, 99, 30));
    gauge.SetMinValue(INT_MIN);
    gauge.SetMaxValue(INT_MIN);
    EXPECT_THAT([&] { gauge.SetMinValue(0); }, Refused("Value must be between -2147483647 and -2147483649"));
    gauge.SetMaxValue(INT_MAX);
    gauge.SetProgress(INT_MAX - 1);
    EXPECT_EQ(gauge.Percent(), 99);
    gauge.SetMinValue(INT_MAX);
    EXPECT_THAT([&] { gauge.SetMaxValue(0); }, Refused("Value must be between 2147483648 and 2147483647"));
    const auto use = [](const char* lang) {
        setenv("LANG", lang, 1);
        InitTextLookup(TEST_LOCALE_DIR);
    };
    use("pl_PL");
    EXPECT_THAT([&] { gauge.SetMaxValue(0); }, Refused("Wartość musi leżeć poniżej 2147483647 i powyżej 2147483648"));
    use("C");
}

// Direct colours are 0x00BBGGRR and come out as 0x00RRGGBB; system colours and ParentColor
// are what the front-end says.
TEST(GaugeModel, LookResolvesColoursThroughTheFrontEnd)
{
    const TComponent owner;
    TGaugeModel gauge(owner);
    gauge.SetForeColor(0x00332211);
    gauge.SetBackColor(clWindow);
    const auto resolve = [](TColor system) { return system == clWindow ? TRgb{0x010203} : TRgb{0}; };
    const TGaugeLook parent = gauge.Look(10, 10, resolve, 0x040506);
    gauge.SetColor(clWindow);  // the value it had, and still it turns ParentColor off
    const TGaugeLook own = gauge.Look(10, 10, resolve, 0x040506);
    EXPECT_EQ(std::make_tuple(parent.foreColor, parent.backColor, parent.color, own.color, gauge.ParentColor()),
              std::make_tuple(0x112233u, 0x010203u, 0x040506u, 0x010203u, false));
}

TEST(GaugeModel, AnInvertedRangeAStoredFormLeavesStillGivesZeroToHundredPercent)
{
    EXPECT_EQ(GaugePercent(-30, 10, 0), 100);
}

#if defined(__x86_64__) || defined(__i386__)
// The bar length as the 80-bit extended arithmetic gives it, which falls short of the exact
// value (10 % of 100 is 9): every percentage of every size up to 2,000, then any numbers.
TEST(GaugeMath, ScaledMatchesExtendedPrecisionEverywhere)
{
    std::mt19937 random(20261206);
    std::uniform_int_distribution<std::int32_t> any(INT_MIN, INT_MAX);
    for (int i = 0; i < 222000; ++i) {
        const bool small = i < 202000;
        const std::int32_t p = small ? i / 2000 : any(random), n = small ? i % 2000 + 1 : any(random);
        const volatile long double fraction = p * 0.01L;
        ASSERT_EQ(GaugeScaled(p, n), static_cast<std::int64_t>(std::trunc(n * fraction))) << p << " " << n;
    }
}
#endif
