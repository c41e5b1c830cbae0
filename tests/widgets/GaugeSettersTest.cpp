#include "GaugeTestSupport.h"

#include "runtime/Exception.h"
#include "runtime/TextLookup.h"
#include "ui_GaugeForm.h"

#include <climits>
#include <cstdlib>
#include <gtest/gtest.h>

namespace {

std::string RangeMessage(TGauge& gauge, void (TGauge::*setter)(std::int32_t), std::int32_t value)
{
    try {
        (gauge.*setter)(value);
    } catch (const EInvalidOperation& error) {
        return error.Message();
    }
    return "no error";
}

} // namespace

TEST(GaugeSetters, ProgressAndBoundsClamp)
{
    TGauge gauge;
    EXPECT_FALSE(gauge.testAttribute(Qt::WA_NativeWindow));
    gauge.SetMaxValue(102);
    gauge.SetProgress(-1);
    EXPECT_EQ(gauge.Progress(), 0);
    gauge.SetProgress(500);
    EXPECT_EQ(gauge.Progress(), 102);
    EXPECT_EQ(gauge.Percent(), 100);
    gauge.SetMaxValue(65);  // bounds drag Progress along
    EXPECT_EQ(gauge.Progress(), 65);
    gauge.SetMinValue(65);  // equal bounds are accepted
    EXPECT_EQ(gauge.Percent(), 0);
}

TEST(GaugeSetters, CrossedBoundsRaiseWithUnwrappedNumbersAndChangeNothing)
{
    TGauge gauge;
    gauge.SetProgress(30);
    EXPECT_EQ(RangeMessage(gauge, &TGauge::SetMinValue, 200), "Value must be between -2147483647 and 99");
    EXPECT_EQ(RangeMessage(gauge, &TGauge::SetMaxValue, -5), "Value must be between 1 and 2147483647");
    EXPECT_EQ(gauge.MinValue(), 0);
    EXPECT_EQ(gauge.MaxValue(), 100);
    EXPECT_EQ(gauge.Progress(), 30);
    gauge.SetMinValue(INT_MIN);
    gauge.SetMaxValue(INT_MIN);
    EXPECT_EQ(RangeMessage(gauge, &TGauge::SetMinValue, 0), "Value must be between -2147483647 and -2147483649");
    gauge.SetMaxValue(INT_MAX);
    gauge.SetMinValue(INT_MAX);
    EXPECT_EQ(RangeMessage(gauge, &TGauge::SetMaxValue, 0), "Value must be between 2147483648 and 2147483647");
}

TEST(GaugeSetters, RangeMessageIsTranslatedAndFilledSafely)
{
    setenv("LANG", "pl_PL", 1);
    InitTextLookup(TEST_LOCALE_DIR);
    TGauge gauge;
    const std::string message = RangeMessage(gauge, &TGauge::SetMaxValue, -5);
    setenv("LANG", "C", 1);
    InitTextLookup(TEST_LOCALE_DIR);
    EXPECT_EQ(message, "Wartość musi leżeć poniżej 2147483647 i powyżej 1");
}

TEST(GaugeSetters, DesignerFormSetsEveryPropertyWhileTheGaugeIsLoading)
{
    QWidget form;
    Ui::GaugeForm ui;
    {
        TStoredFormReading reading;
        ui.setupUi(&form);  // MinValue 200 arrives before MaxValue 300
    }
    TGauge& gauge = *ui.Postep;
    EXPECT_TRUE(gauge.Loading());
    gauge.FinishLoading();
    EXPECT_EQ(gauge.geometry(), QRect(10, 20, 265, 20));
    EXPECT_EQ(gauge.MinValue(), 200);
    EXPECT_EQ(gauge.MaxValue(), 300);
    EXPECT_EQ(gauge.Progress(), 250);
    EXPECT_EQ(gauge.Kind(), gkPie);
    EXPECT_EQ(gauge.BorderStyle(), bsNone);
    EXPECT_FALSE(gauge.ShowText());
    EXPECT_EQ(gauge.ForeColor(), clRed);
    EXPECT_EQ(gauge.BackColor(), clBtnFace);
    EXPECT_EQ(RangeMessage(gauge, &TGauge::SetMaxValue, 100), "Value must be between 201 and 2147483647");
}

TEST(GaugeColors, BbggrrValuesAndSystemColoursFromThePalette)
{
    QPalette palette;
    palette.setColor(QPalette::Base, QColor(1, 2, 3));
    palette.setColor(QPalette::Shadow, QColor(9, 8, 7));
    EXPECT_EQ(ColorToQColor(clGreen, palette), QColor(0, 128, 0));
    EXPECT_EQ(ColorToQColor(0x00332211, palette), QColor(0x11, 0x22, 0x33));
    EXPECT_EQ(ColorToQColor(clWindow, palette), QColor(1, 2, 3));
    EXPECT_EQ(QColorToColor(QColor(0x11, 0x22, 0x33)), 0x00332211u);
    TBltBitmap bitmap;
    bitmap.MakeLike(QImage(265, 20, QImage::Format_RGB32), palette);
    EXPECT_EQ(bitmap.size(), QSize(265, 20));
    EXPECT_EQ(Rgb(bitmap, 264, 19), 0x090807u);
}
