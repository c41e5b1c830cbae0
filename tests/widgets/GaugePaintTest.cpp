// Pixels of rendered gauges.
#include "GaugeTestSupport.h"

#include "widgets/GaugePicture.h"

#include <gtest/gtest.h>

namespace {

// Rows for a failure message: '#' black, '.' white, 'o' anything else.
std::string Sketch(const QImage& image)
{
    std::string rows;
    for (int y = 0; y < image.height(); ++y) {
        rows += '\n';
        for (int x = 0; x < image.width(); ++x)
            rows += Rgb(image, x, y) == kBlack ? '#' : Rgb(image, x, y) == kWhite ? '.' : 'o';
    }
    return rows;
}

// Every pixel of the rectangle x0..x1 × y0..y1 has `rgb`.
::testing::AssertionResult Area(const QImage& image, int x0, int y0, int x1, int y1, unsigned rgb)
{
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x)
            if (Rgb(image, x, y) != rgb)
                return ::testing::AssertionFailure() << "pixel (" << x << ", " << y << ") is " << std::hex
                                                     << Rgb(image, x, y) << Sketch(image);
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult BorderIsBlack(const QImage& image)
{
    const int right = image.width() - 1, bottom = image.height() - 1;
    for (const auto& result : {Area(image, 0, 0, right, 0, kBlack), Area(image, 0, bottom, right, bottom, kBlack),
                              Area(image, 0, 0, 0, bottom, kBlack), Area(image, right, 0, right, bottom, kBlack)})
        if (!result)
            return result;
    return ::testing::AssertionSuccess();
}

class GaugePicture : public ::testing::Test {
protected:
    // The window's gauge: 265 × 20, range 0..102.
    void MakeBar(std::int32_t progress, bool showText = false)
    {
        gauge.resize(265, 20);
        gauge.SetMaxValue(102);
        gauge.SetShowText(showText);
        gauge.SetProgress(progress);
    }
    QImage Picture()
    {
        QImage picture = gauge.Picture();
        EXPECT_EQ(picture.format(), QImage::Format_RGB32);
        return picture;
    }

    TGauge gauge;
};

} // namespace

TEST_F(GaugePicture, BarAtZeroHalfAndFull)
{
    MakeBar(0);
    EXPECT_TRUE(BorderIsBlack(Picture()));
    EXPECT_TRUE(Area(Picture(), 1, 1, 263, 18, kWhite));
    gauge.SetProgress(51);  // 50 %: F = 132, the bar covers columns 1..131
    EXPECT_TRUE(BorderIsBlack(Picture()));
    EXPECT_TRUE(Area(Picture(), 1, 1, 131, 18, kBlack));
    EXPECT_TRUE(Area(Picture(), 132, 1, 263, 18, kWhite));
    gauge.SetProgress(102);
    EXPECT_TRUE(Area(Picture(), 0, 0, 264, 19, kBlack));
}

TEST_F(GaugePicture, WithoutBorderThePictureReachesTheEdges)
{
    MakeBar(51);
    gauge.SetBorderStyle(bsNone);  // R = (0, 0, 265, 20): W = 266, F = 133, columns 0..132
    EXPECT_TRUE(Area(Picture(), 0, 0, 132, 19, kBlack));
    EXPECT_TRUE(Area(Picture(), 133, 0, 264, 19, kWhite));
}

TEST_F(GaugePicture, TextInvertsWhereTheBarEnds)
{
    MakeBar(51, true);
    const QImage picture = Picture();
    QImage text(picture.size(), QImage::Format_RGB32);
    text.fill(Qt::black);
    TGaugeLook look;
    look.width = 265;
    look.height = 20;
    look.font = gauge.font();
    look.percent = 50;
    DrawPercentText(text, look, GaugePaintRect(look));

    int overBar = 0, overBack = 0, left = 264, right = 0;
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 265; ++x) {
            const unsigned mask = Rgb(text, x, y);
            ASSERT_TRUE(mask == kBlack || mask == kWhite) << "smoothed text pixel at " << x << ", " << y;
            const bool back = x >= 132 && x <= 263 && y >= 1 && y <= 18;
            ASSERT_EQ(Rgb(picture, x, y), (back ? kWhite : kBlack) ^ mask) << x << ", " << y;
            if (mask == kWhite) {
                ++(x <= 131 ? overBar : overBack);
                left = std::min(left, x);
                right = std::max(right, x);
            }
        }
    EXPECT_GT(overBar, 10);   // white letters on the bar
    EXPECT_GT(overBack, 10);  // black letters beside it
    EXPECT_NEAR(left - 1, 263 - right, 4);  // centred, give or take the side bearings
}

TEST_F(GaugePicture, TextKindShowsOnlyThePercentage)
{
    MakeBar(102, true);
    gauge.SetKind(gkText);
    const QImage picture = Picture();
    int black = 0;
    for (int y = 1; y <= 18; ++y)
        for (int x = 1; x <= 263; ++x)
            black += Rgb(picture, x, y) == kBlack;
    EXPECT_GT(black, 20);   // "100%"
    EXPECT_LT(black, 600);  // and nothing else
    gauge.SetShowText(false);
    EXPECT_TRUE(Area(Picture(), 1, 1, 263, 18, kWhite));
}

TEST_F(GaugePicture, VerticalBarGrowsFromTheBottom)
{
    gauge.resize(20, 100);  // H = 99
    gauge.SetShowText(false);
    gauge.SetKind(gkVerticalBar);
    gauge.SetProgress(50);  // F = 49: rows 50..98
    EXPECT_TRUE(BorderIsBlack(Picture()));
    EXPECT_TRUE(Area(Picture(), 1, 1, 18, 49, kWhite));
    EXPECT_TRUE(Area(Picture(), 1, 50, 18, 98, kBlack));
    gauge.SetProgress(100);  // F = 99 is cut to 98: rows 1..98
    EXPECT_TRUE(Area(Picture(), 1, 1, 18, 98, kBlack));
}

TEST_F(GaugePicture, PieFillsClockwiseFromTwelve)
{
    gauge.SetShowText(false);
    gauge.SetKind(gkPie);
    gauge.SetColor(clRed);  // the gauge's own colour outside the disc
    struct Probe { int x, y; unsigned at0, at25, at100; };
    const Probe probes[] = {
        {3, 3, 0xFF0000, 0xFF0000, 0xFF0000}, {49, 1, kBlack, kBlack, kBlack},  // corner, outline at twelve
        {72, 26, kWhite, kBlack, kBlack}, {90, 40, kWhite, kBlack, kBlack},     // upper right
        {26, 26, kWhite, kWhite, kBlack}, {72, 72, kWhite, kWhite, kBlack},     // upper left, lower right
        {26, 72, kWhite, kWhite, kBlack},
    };
    const QImage at0 = Picture();
    gauge.SetProgress(25);
    const QImage at25 = Picture();
    gauge.SetProgress(100);
    const QImage at100 = Picture();
    EXPECT_TRUE(BorderIsBlack(at0));
    for (const Probe& p : probes) {
        EXPECT_EQ(Rgb(at0, p.x, p.y), p.at0) << p.x << ", " << p.y << Sketch(at0);
        EXPECT_EQ(Rgb(at25, p.x, p.y), p.at25) << p.x << ", " << p.y << Sketch(at25);
        EXPECT_EQ(Rgb(at100, p.x, p.y), p.at100) << p.x << ", " << p.y;
    }
}

TEST_F(GaugePicture, NeedleStandsUprightAtHalfAndLiesRightAtFull)
{
    gauge.resize(101, 51);  // R = (1, 1, 100, 50), B = 50, needle foot at (50, 49)
    gauge.SetShowText(false);
    gauge.SetKind(gkNeedle);
    gauge.SetColor(clRed);
    EXPECT_TRUE(BorderIsBlack(Picture()));
    EXPECT_EQ(Rgb(Picture(), 2, 2), 0xFF0000u);  // outside the dial
    EXPECT_EQ(Rgb(Picture(), 50, 1), kBlack);    // the dial's rim
    EXPECT_TRUE(Area(Picture(), 50, 5, 50, 45, kWhite));  // no needle upright at 0 %
    EXPECT_TRUE(Area(Picture(), 55, 40, 90, 40, kWhite));
    gauge.SetProgress(50);
    EXPECT_TRUE(Area(Picture(), 50, 2, 50, 48, kBlack));
    EXPECT_TRUE(Area(Picture(), 48, 30, 48, 30, kWhite));
    EXPECT_TRUE(Area(Picture(), 52, 30, 52, 30, kWhite));
    gauge.SetProgress(100);
    EXPECT_TRUE(Area(Picture(), 50, 30, 50, 30, kWhite));
    EXPECT_TRUE(Area(Picture(), 55, 48, 90, 48, kWhite));
    EXPECT_TRUE(Area(Picture(), 50, 49, 99, 49, kBlack));
}

TEST(GaugePictureEdges, TinyGaugesOfEveryKindDrawSafely)
{
    TGauge gauge;
    for (const QSize size : {QSize(0, 0), QSize(1, 1), QSize(2, 2), QSize(3, 40)}) {
        gauge.resize(size);
        for (const TGaugeKind kind : {gkText, gkHorizontalBar, gkVerticalBar, gkPie, gkNeedle}) {
            gauge.SetKind(kind);
            gauge.SetProgress(50);
            const QImage picture = gauge.Picture();
            EXPECT_EQ(picture.isNull() ? QSize(0, 0) : picture.size(), size);
            gauge.SetProgress(0);
        }
    }
}
