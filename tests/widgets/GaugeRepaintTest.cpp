// "Repaint at once": setters draw synchronously, only when something visible changed.
#include "GaugeTestSupport.h"

#include <QScreen>
#include <QTest>
#include <gtest/gtest.h>

namespace {

class GaugeRepaint : public ::testing::Test {
protected:
    void SetUp() override
    {
        window.resize(300, 60);
        gauge = new CountingGauge(&window);
        gauge->setGeometry(10, 20, 265, 20);
        gauge->SetMaxValue(102);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        gauge->paints = 0;
    }

    // What the screen shows of the gauge right now, without running the event loop.
    QImage OnScreen() const
    {
        const QPixmap shot = window.screen()->grabWindow(window.winId(), 10, 20, 265, 20);
        return shot.toImage().convertToFormat(QImage::Format_RGB32);
    }

    QWidget window;
    CountingGauge* gauge = nullptr;
};

} // namespace

TEST_F(GaugeRepaint, ProgressDrawsOnlyWhenTheWholePercentageChanges)
{
    gauge->SetProgress(51);
    EXPECT_EQ(gauge->paints, 1);
    gauge->SetProgress(52);  // still 50 %
    EXPECT_EQ(gauge->paints, 1);
    EXPECT_EQ(gauge->Progress(), 52);
    gauge->SetProgress(52);
    gauge->SetProgress(500);  // clamped to 102: 100 %
    EXPECT_EQ(gauge->paints, 2);
    gauge->SetProgress(102);
    EXPECT_EQ(gauge->paints, 2);
}

TEST_F(GaugeRepaint, UploadOfThousandLinesDrawsAtMostOncePerPercent)
{
    for (int line = 1; line <= 1030; ++line)
        gauge->SetProgress(line / 10);
    EXPECT_EQ(gauge->paints, 100);
    EXPECT_EQ(gauge->Percent(), 100);
}

TEST_F(GaugeRepaint, EveryOtherSetterDrawsOnceAndNotForAnEqualValue)
{
    gauge->SetKind(gkPie);
    gauge->SetKind(gkPie);
    gauge->SetShowText(false);
    gauge->SetShowText(false);
    gauge->SetBorderStyle(bsNone);
    gauge->SetBorderStyle(bsNone);
    gauge->SetForeColor(clRed);
    gauge->SetForeColor(clRed);
    gauge->SetBackColor(clBlue);
    gauge->SetBackColor(clBlue);
    gauge->SetMinValue(1);
    gauge->SetMinValue(1);
    gauge->SetMaxValue(50);
    gauge->SetMaxValue(50);
    EXPECT_EQ(gauge->paints, 7);
}

TEST_F(GaugeRepaint, TheScreenShowsTheNewPercentageBeforeEventsRun)
{
    gauge->SetShowText(false);
    gauge->SetProgress(51);
    const QImage shown = OnScreen();
    EXPECT_EQ(shown, gauge->Picture());
    EXPECT_EQ(Rgb(shown, 131, 10), kBlack);
    EXPECT_EQ(Rgb(shown, 132, 10), kWhite);
    EXPECT_EQ(gauge->internalWinId(), 0u);  // drawn on the window's surface, no window of its own
}

TEST_F(GaugeRepaint, GrabbedWidgetIsThePicture)
{
    gauge->SetProgress(60);
    EXPECT_EQ(gauge->grab().toImage().convertToFormat(QImage::Format_RGB32), gauge->Picture());
}

TEST_F(GaugeRepaint, HiddenGaugeDrawsNothing)
{
    gauge->hide();
    gauge->SetProgress(51);
    gauge->SetKind(gkNeedle);
    EXPECT_EQ(gauge->paints, 0);
}

TEST(GaugeWithoutWindow, DrawsNothingBeforeItsWindowIsShown)
{
    QWidget window;
    auto* gauge = new CountingGauge(&window);
    gauge->SetProgress(50);
    gauge->SetKind(gkPie);
    EXPECT_EQ(gauge->paints, 0);
    CountingGauge alone;
    alone.SetProgress(50);
    EXPECT_EQ(alone.paints, 0);
}
