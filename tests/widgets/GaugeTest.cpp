// The Qt gauge: the letters and colours the toolkit gives the core, the screen, when its
// setters draw, and its Designer promotion. The pixels of each kind are tested in tests/gauge.
#include "GaugeTestSupport.h"
#include "runtime/Exception.h"
#include "ui_GaugeForm.h"
#include <QApplication>
#include <QPainter>
#include <QScreen>
#include <QTest>
#include <gmock/gmock.h>

namespace {

unsigned Rgb(const QImage& image, int x, int y) { return image.pixel(x, y) & 0xFFFFFFu; }

auto Refused(const std::string& message) { return testing::ThrowsMessage<EInvalidOperation>(message); }

// The window's gauge, 265 × 20 with the range 0..102, on a shown window.
class Gauge : public ::testing::Test {
protected:
    void SetUp() override
    {
        gauge->setGeometry(10, 20, 265, 20);
        gauge->SetMaxValue(102);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        gauge->paints = 0;
    }
    // The picture at `percent` (of 0..100), without text.
    QImage PictureAt(int percent)
    {
        gauge->SetShowText(false);
        gauge->SetMaxValue(100);
        gauge->SetProgress(percent);
        return gauge->Picture();
    }

    QWidget window;
    CountingGauge* gauge = new CountingGauge(&window);
};

} // namespace

// The text is what showing it changes: crisp white letters, in the middle of the paint
// rectangle's size (not offset by its corner), that turn the bar's black white and the white beside it black.
TEST_F(Gauge, PercentageTextInvertsWhatItCovers)
{
    gauge->SetProgress(51);  // 50 %: the bar ends after column 131
    const QImage with = gauge->Picture(), without = PictureAt(50);
    QFont font = gauge->font();
    font.setStyleStrategy(QFont::NoAntialias);
    const QFontMetrics metrics(font);
    QImage letters(265, 20, QImage::Format_RGB32);
    letters.fill(Qt::black);
    QPainter painter(&letters);
    painter.setClipRect(1, 1, 263, 18);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText((264 - metrics.horizontalAdvance("50%")) / 2, (19 - metrics.height()) / 2 + metrics.ascent(),
                     "50%");
    ASSERT_FALSE(with == without);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 265; ++x)
            ASSERT_EQ(Rgb(with, x, y) ^ Rgb(without, x, y), Rgb(letters, x, y)) << "text at " << x << ", " << y;
}

// Direct colours are 0x00BBGGRR; system colours and ParentColor come from the palette.
TEST_F(Gauge, ColoursFromTheValueOrThePalette)
{
    QPalette palette = gauge->palette();
    palette.setColor(QPalette::Base, QColor(1, 2, 3));
    palette.setColor(QPalette::Window, QColor(4, 5, 6));
    gauge->setPalette(palette);
    gauge->SetKind(gkPie);
    gauge->SetForeColor(0x00332211);
    gauge->SetBackColor(clWindow);
    const QImage empty = PictureAt(0), full = PictureAt(100);  // the parent's colour outside the disc
    gauge->SetColor(clWindow);  // the value it had, and still it turns ParentColor off
    const QImage own = gauge->Picture();
    EXPECT_EQ(std::make_tuple(Rgb(empty, 2, 2), Rgb(empty, 132, 10), Rgb(full, 132, 10), Rgb(own, 2, 2)),
              std::make_tuple(0x040506u, 0x010203u, 0x112233u, 0x010203u));
    EXPECT_EQ(QColorToColor(QColor(0x11, 0x22, 0x33)), 0x00332211u);
}

// A setter draws the new picture at once, before any event runs, and only when what is
// shown changes: not for an equal value, nor for progress within the same whole percent.
TEST_F(Gauge, SettersDrawOnceWhenThePictureChanges)
{
    const std::pair<std::function<void()>, int> steps[] = {
        {[&] { gauge->SetProgress(51); }, 1},   {[&] { gauge->SetProgress(52); }, 0},  // 50 % both
        {[&] { gauge->SetProgress(500); }, 1},  {[&] { gauge->SetProgress(1); }, 1},
        {[&] { gauge->SetShowText(false); }, 1}, {[&] { gauge->SetKind(gkPie); }, 1},
        {[&] { gauge->SetBorderStyle(bsNone); }, 1}, {[&] { gauge->SetForeColor(clRed); }, 1},
        {[&] { gauge->SetBackColor(clBlue); }, 1},   {[&] { gauge->SetColor(clGreen); }, 1},
        {[&] { gauge->SetParentColor(true); }, 1},   {[&] { gauge->SetMinValue(30); }, 1},
        {[&] { gauge->SetMaxValue(50); }, 1},
    };
    int paints = 0;
    for (std::size_t i = 0; i < std::size(steps); ++i) {
        steps[i].first();
        steps[i].first();
        EXPECT_EQ(gauge->paints, paints += steps[i].second) << "step " << i;
        const QImage shown = window.screen()->grabWindow(window.winId(), 10, 20, 265, 20).toImage();
        EXPECT_EQ(shown.convertToFormat(QImage::Format_RGB32), gauge->Picture());
    }
    gauge->hide();  // hidden, or without a shown window, there is nothing to draw on
    CountingGauge alone;
    for (CountingGauge* g : {gauge, &alone}) {
        g->SetProgress(50);
        g->SetKind(gkNeedle);
    }
    EXPECT_EQ(gauge->paints + alone.paints, paints);
}

TEST(GaugeForm, DesignerFormSetsEveryPropertyWhileTheGaugeIsLoading)
{
    QWidget form;
    Ui::GaugeForm ui;
    {
        TStoredFormReading reading;
        ui.setupUi(&form);  // MinValue 200 arrives before MaxValue 300
    }
    TGauge& g = *ui.Postep;
    EXPECT_TRUE(g.Loading());
    g.FinishLoading();
    EXPECT_EQ(std::tuple(g.MinValue(), g.MaxValue(), g.Progress()), std::tuple(200, 300, 250));
    EXPECT_EQ(std::tuple(g.Kind(), g.BorderStyle(), g.ShowText(), g.ForeColor(), g.BackColor()),
              std::tuple(gkPie, bsNone, false, clRed, clBtnFace));
    EXPECT_THAT([&] { g.SetMaxValue(100); }, Refused("Value must be between 201 and 2147483647"));
}

// Letters included: a picture without pixels is null, and drawing the text into a tiny one warns of nothing.
TEST(GaugeForm, PictureHasTheGaugesSizeFromANewGaugeToNone)
{
    TGauge gauge;
    EXPECT_EQ(gauge.Picture().size(), QSize(100, 100));
    for (const QSize size : {QSize(0, 5), QSize(1, 1), QSize(3, 40)}) {
        gauge.resize(size);
        EXPECT_EQ(gauge.Picture().size(), size.isEmpty() ? QSize(0, 0) : size);
    }
}

// One application; a Qt warning (a painter on an image without pixels, ...) fails the test.
int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
        if (type != QtDebugMsg && type != QtInfoMsg)
            ADD_FAILURE() << "Qt: " << text.toStdString();
    });
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
