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

    QWidget window;
    CountingGauge* gauge = nullptr;
};

} // namespace

TEST_F(GaugeRepaint, ProgressDrawsOnlyWhenTheWholePercentageChanges)
{
    gauge->SetProgress(51);
    gauge->SetProgress(52);  // still 50 %
    EXPECT_EQ(gauge->paints, 1);
    gauge->SetProgress(500);  // clamped to 102: 100 %
    gauge->SetProgress(102);
    EXPECT_EQ(gauge->paints, 2);
    gauge->SetProgress(0);
    gauge->paints = 0;
    for (int line = 1; line <= 1030; ++line)  // the window's upload of 1,030 lines
        gauge->SetProgress(line / 10);
    EXPECT_EQ(gauge->paints, 100);
}

TEST_F(GaugeRepaint, EveryOtherSetterDrawsOnceAndNotForAnEqualValue)
{
    for (int twice = 0; twice < 2; ++twice) {
        gauge->SetKind(gkPie);
        gauge->SetShowText(false);
        gauge->SetBorderStyle(bsNone);
        gauge->SetForeColor(clRed);
        gauge->SetBackColor(clBlue);
        gauge->SetMinValue(1);
        gauge->SetMaxValue(50);
    }
    EXPECT_EQ(gauge->paints, 7);
}

TEST_F(GaugeRepaint, TheScreenShowsTheNewPercentageBeforeEventsRun)
{
    gauge->SetShowText(false);
    gauge->SetProgress(51);
    const QImage shown = window.screen()->grabWindow(window.winId(), 10, 20, 265, 20).toImage().convertToFormat(
        QImage::Format_RGB32);
    EXPECT_EQ(shown, gauge->Picture());
    EXPECT_EQ(Rgb(shown, 131, 10), kBlack);
    EXPECT_EQ(Rgb(shown, 132, 10), kWhite);
    EXPECT_EQ(gauge->internalWinId(), 0u);  // drawn on the window's surface, no window of its own
}

TEST_F(GaugeRepaint, HiddenOrWindowlessGaugeDrawsNothing)
{
    gauge->hide();
    gauge->SetProgress(51);
    gauge->SetKind(gkNeedle);
    QWidget unshown;
    auto* inUnshown = new CountingGauge(&unshown);
    CountingGauge alone;
    for (CountingGauge* g : {inUnshown, &alone}) {
        g->SetProgress(50);
        g->SetKind(gkPie);
    }
    EXPECT_EQ(gauge->paints + inUnshown->paints + alone.paints, 0);
}
