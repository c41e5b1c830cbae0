// Pixels of rendered gauges.
#include "GaugeTestSupport.h"

#include "widgets/GaugePicture.h"

#include <QFont>
#include <gtest/gtest.h>

namespace {

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

// Columns x0..x1 of row y all have `rgb`.
::testing::AssertionResult RowSpan(const QImage& image, int y, int x0, int x1, unsigned rgb)
{
    for (int x = x0; x <= x1; ++x)
        if (Rgb(image, x, y) != rgb)
            return ::testing::AssertionFailure() << "pixel (" << x << ", " << y << ") is " << std::hex
                                                 << Rgb(image, x, y) << Sketch(image).toStdString();
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult BorderIsBlack(const QImage& image)
{
    const int right = image.width() - 1, bottom = image.height() - 1;
    for (int y = 0; y <= bottom; ++y)
        if (Rgb(image, 0, y) != kBlack || Rgb(image, right, y) != kBlack)
            return ::testing::AssertionFailure() << "side column, row " << y;
    for (int x = 0; x <= right; ++x)
        if (Rgb(image, x, 0) != kBlack || Rgb(image, x, bottom) != kBlack)
            return ::testing::AssertionFailure() << "top or bottom row, column " << x;
    return ::testing::AssertionSuccess();
}

} // namespace

TEST_F(GaugePicture, BarAtZeroHalfAndFull)
{
    MakeBar(0);
    QImage picture = Picture();
    EXPECT_TRUE(BorderIsBlack(picture));
    for (int y = 1; y <= 18; ++y)
        ASSERT_TRUE(RowSpan(picture, y, 1, 263, kWhite));

    gauge.SetProgress(51);  // 50 %: F = 132, the bar covers columns 1..131
    picture = Picture();
    EXPECT_TRUE(BorderIsBlack(picture));
    for (int y = 1; y <= 18; ++y) {
        ASSERT_TRUE(RowSpan(picture, y, 1, 131, kBlack));
        ASSERT_TRUE(RowSpan(picture, y, 132, 263, kWhite));
    }

    gauge.SetProgress(102);
    picture = Picture();
    for (int y = 0; y <= 19; ++y)
        ASSERT_TRUE(RowSpan(picture, y, 0, 264, kBlack));
}

TEST_F(GaugePicture, BarSpanOfAHundredAtTenPercentFillsNine)
{
    gauge.resize(101, 10);  // R = (1, 1, 100, 9): W = 100, F = 9, columns 1..8
    gauge.SetShowText(false);
    gauge.SetProgress(10);
    const QImage picture = Picture();
    EXPECT_TRUE(RowSpan(picture, 5, 1, 8, kBlack));
    EXPECT_TRUE(RowSpan(picture, 5, 9, 99, kWhite));
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
            const unsigned bar = (x >= 1 && x <= 131 && y >= 1 && y <= 18) ? kBlack
                                 : (x >= 132 && x <= 263 && y >= 1 && y <= 18) ? kWhite
                                                                                 : kBlack;
            ASSERT_EQ(Rgb(picture, x, y), bar ^ mask) << x << ", " << y;
            if (mask == kWhite) {
                ++(x <= 131 ? overBar : overBack);
                left = std::min(left, x);
                right = std::max(right, x);
            }
        }
    EXPECT_GT(overBar, 10);   // white letters on the bar
    EXPECT_GT(overBack, 10);  // black letters beside it
    // Centred: the same room on both sides give or take the letters' side bearings.
    EXPECT_NEAR(left - 1, 263 - right, 4);
    EXPECT_TRUE(BorderIsBlack(picture));
}

TEST_F(GaugePicture, TextKindShowsOnlyThePercentageOnBackColor)
{
    MakeBar(102, true);
    gauge.SetKind(gkText);
    QImage picture = Picture();
    int black = 0;
    for (int y = 1; y <= 18; ++y)
        for (int x = 1; x <= 263; ++x)
            black += Rgb(picture, x, y) == kBlack;
    EXPECT_GT(black, 20);   // "100%"
    EXPECT_LT(black, 600);  // and nothing else
    gauge.SetShowText(false);
    picture = Picture();
    for (int y = 1; y <= 18; ++y)
        ASSERT_TRUE(RowSpan(picture, y, 1, 263, kWhite));
}

TEST_F(GaugePicture, VerticalBarGrowsFromTheBottom)
{
    gauge.resize(20, 100);  // H = 99
    gauge.SetShowText(false);
    gauge.SetKind(gkVerticalBar);
    gauge.SetProgress(50);  // F = 49: rows 50..98
    QImage picture = Picture();
    EXPECT_TRUE(BorderIsBlack(picture));
    EXPECT_TRUE(RowSpan(picture, 49, 1, 18, kWhite));
    EXPECT_TRUE(RowSpan(picture, 50, 1, 18, kBlack));
    EXPECT_TRUE(RowSpan(picture, 98, 1, 18, kBlack));
    gauge.SetProgress(100);  // F = 99 is cut to 98: rows 1..98
    picture = Picture();
    EXPECT_TRUE(RowSpan(picture, 1, 1, 18, kBlack));
    gauge.SetProgress(0);
    EXPECT_TRUE(RowSpan(Picture(), 98, 1, 18, kWhite));
}

TEST_F(GaugePicture, WithoutBorderThePictureReachesTheEdges)
{
    MakeBar(0);
    gauge.SetBorderStyle(bsNone);
    QImage picture = Picture();
    EXPECT_TRUE(RowSpan(picture, 0, 0, 264, kWhite));
    EXPECT_TRUE(RowSpan(picture, 19, 0, 264, kWhite));
    gauge.SetProgress(51);  // R = (0, 0, 265, 20): W = 266, F = 133, columns 0..132
    picture = Picture();
    EXPECT_TRUE(RowSpan(picture, 0, 0, 132, kBlack));
    EXPECT_TRUE(RowSpan(picture, 19, 0, 132, kBlack));
    EXPECT_TRUE(RowSpan(picture, 19, 133, 264, kWhite));
}

TEST_F(GaugePicture, PieAtAQuarterFillsTheUpperRightQuarter)
{
    gauge.SetShowText(false);
    gauge.SetKind(gkPie);
    gauge.SetColor(clRed);  // the gauge's own colour outside the disc
    QImage picture = Picture();
    EXPECT_TRUE(BorderIsBlack(picture));
    EXPECT_EQ(Rgb(picture, 3, 3), 0xFF0000u);
    EXPECT_EQ(Rgb(picture, 49, 1), kBlack);   // outline at twelve o'clock
    EXPECT_EQ(Rgb(picture, 98, 49), kBlack);  // and at three
    EXPECT_EQ(Rgb(picture, 72, 26), kWhite);  // 0 %: no wedge
    EXPECT_EQ(Rgb(picture, 49, 49), kWhite);

    gauge.SetProgress(25);
    picture = Picture();
    EXPECT_EQ(Rgb(picture, 3, 3), 0xFF0000u);
    EXPECT_EQ(Rgb(picture, 72, 26), kBlack);  // upper right
    EXPECT_EQ(Rgb(picture, 60, 10), kBlack);
    EXPECT_EQ(Rgb(picture, 90, 40), kBlack);
    EXPECT_EQ(Rgb(picture, 26, 26), kWhite);  // upper left
    EXPECT_EQ(Rgb(picture, 72, 72), kWhite);  // lower right
    EXPECT_EQ(Rgb(picture, 26, 72), kWhite);  // lower left

    gauge.SetProgress(100);
    picture = Picture();
    EXPECT_EQ(Rgb(picture, 26, 72), kBlack);
    EXPECT_EQ(Rgb(picture, 49, 49), kBlack);
    EXPECT_EQ(Rgb(picture, 3, 3), 0xFF0000u);
}

TEST_F(GaugePicture, NeedleStandsUprightAtHalfAndLiesRightAtFull)
{
    gauge.resize(101, 51);  // R = (1, 1, 100, 50), B = 50, needle foot at (50, 49)
    gauge.SetShowText(false);
    gauge.SetKind(gkNeedle);
    gauge.SetColor(clRed);
    QImage picture = Picture();
    EXPECT_TRUE(BorderIsBlack(picture));
    EXPECT_EQ(Rgb(picture, 2, 2), 0xFF0000u);  // outside the dial
    EXPECT_EQ(Rgb(picture, 50, 1), kBlack);    // the dial's rim
    for (int y = 5; y <= 45; y += 10)
        EXPECT_EQ(Rgb(picture, 50, y), kWhite) << "no needle at 0 %, row " << y;
    EXPECT_TRUE(RowSpan(picture, 40, 55, 90, kWhite));

    gauge.SetProgress(50);
    picture = Picture();
    for (int y = 2; y <= 48; ++y)
        ASSERT_EQ(Rgb(picture, 50, y), kBlack) << "needle row " << y << Sketch(picture).toStdString();
    EXPECT_EQ(Rgb(picture, 48, 30), kWhite);
    EXPECT_EQ(Rgb(picture, 52, 30), kWhite);

    gauge.SetProgress(100);
    picture = Picture();
    EXPECT_EQ(Rgb(picture, 50, 30), kWhite);
    EXPECT_TRUE(RowSpan(picture, 48, 55, 90, kWhite));
    EXPECT_TRUE(RowSpan(picture, 49, 50, 99, kBlack));
}

TEST_F(GaugePicture, SystemColoursComeFromThePalette)
{
    gauge.SetShowText(false);
    gauge.SetKind(gkText);
    gauge.SetBackColor(clWindow);
    QPalette palette = gauge.palette();
    palette.setColor(QPalette::Base, QColor(0x12, 0x34, 0x56));
    gauge.setPalette(palette);
    EXPECT_EQ(Rgb(Picture(), 50, 50), 0x123456u);
}

TEST(GaugePictureEdges, GaugesWithoutPixelsOrNarrowerThanTheirBorderDrawSafely)
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
