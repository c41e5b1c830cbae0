// The progress gauge through what it shows: its picture, the screen, and what its setters do.
#include "gauge/GaugeMath.h"
#include "GaugeTestSupport.h"
#include "runtime/Exception.h"
#include "runtime/TextLookup.h"
#include "ui_GaugeForm.h"
#include <QApplication>
#include <QPainter>
#include <QScreen>
#include <QTest>
#include <climits>
#include <cmath>
#include <gmock/gmock.h>
#include <random>

namespace {

unsigned Rgb(const QImage& image, int x, int y) { return image.pixel(x, y) & 0xFFFFFFu; }

// Rows of the pictures side by side: '#' black, '.' white, 'o' any other colour.
std::string Sketch(const std::vector<QImage>& pictures)
{
    std::string rows;
    for (int y = 0; y < pictures.front().height(); ++y)
        for (std::size_t i = 0; i < pictures.size(); ++i) {
            for (int x = 0; x < pictures[i].width(); ++x)
                rows += "#.o"[Rgb(pictures[i], x, y) == 0 ? 0 : Rgb(pictures[i], x, y) == 0xFFFFFF ? 1 : 2];
            rows += i + 1 < pictures.size() ? ' ' : '\n';
        }
    return rows;
}

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

// Every percentage, either border: from its base the bar covers the scaled percentage of its span, less one.
TEST_F(Gauge, BarsGrowByTheScaledPercentage)
{
    gauge->resize(100, 40);
    for (const TGaugeKind kind : {gkHorizontalBar, gkVerticalBar, gkText})
        for (const TBorderStyle border : {bsSingle, bsNone})
            for (int p = 0; p <= 100; ++p) {
                gauge->SetKind(kind);
                gauge->SetBorderStyle(border);
                const int in = border == bsSingle, right = 100 - in, bottom = 40 - in;  // inner edges
                QImage expected(100, 40, QImage::Format_RGB32);
                expected.fill(Qt::black);
                if (kind != gkVerticalBar) {
                    const std::int64_t length = kind == gkText ? 0 : GaugeScaled(p, right - in + 1);
                    const int end = int(std::clamp<std::int64_t>(length, in, right));
                    QPainter(&expected).fillRect(QRect(end, in, right - end, bottom - in), Qt::white);
                } else {
                    const int span = bottom - in + 1;
                    const int top = span - int(std::min<std::int64_t>(GaugeScaled(p, span), span - 1));
                    QPainter(&expected).fillRect(QRect(in, in, right - in, std::min(top, bottom) - in),
                                                 Qt::white);
                }
                ASSERT_TRUE(PictureAt(p) == expected) << p << "%\n" << Sketch({gauge->Picture(), expected});
            }
}

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
    painter.setClipRect(1, 1, 263, 18), painter.setFont(font), painter.setPen(Qt::white);
    painter.drawText((264 - metrics.horizontalAdvance("50%")) / 2, (19 - metrics.height()) / 2 + metrics.ascent(),
                     "50%");
    ASSERT_FALSE(with == without);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 265; ++x)
            ASSERT_EQ(Rgb(with, x, y) ^ Rgb(without, x, y), Rgb(letters, x, y)) << "text at " << x << ", " << y;
}

// Pie clockwise from twelve, needle from the left over the dial, the gauge's own colour
// (red) around them; the third pie and the last needle without border, the one before it with an empty box.
TEST_F(Gauge, PieAndNeedlePixelByPixel)
{
    gauge->SetColor(clRed);
    const struct { TGaugeKind kind; int width; bool ring; int percent; } shown[] = {
        {gkPie, 12, true, 12}, {gkPie, 11, true, 35}, {gkPie, 12, false, 60}, {gkNeedle, 15, true, 10},
        {gkNeedle, 15, true, 30}, {gkNeedle, 3, true, 50}, {gkNeedle, 15, false, 90}};
    std::vector<QImage> pictures;
    for (const auto& s : shown) {
        gauge->SetKind(s.kind);
        gauge->SetBorderStyle(s.ring ? bsSingle : bsNone);
        gauge->resize(s.width, 8);
        pictures.push_back(PictureAt(s.percent));
    }
    EXPECT_EQ(Sketch(pictures),
              "############ ########### ooo######ooo ############### ############### ### oooo######ooooo\n"
              "#oo######oo# #oo#####oo# o##..######o #ooo######oooo# #oo#######oooo# ### ooo#......##ooo\n"
              "###..##..### #o#..####o# #....####### #oo#......##oo# #oo##.....##oo# ### oo#.........#oo\n"
              "##...#....## ##...###### #....####### #o#........#oo# #o#.#......#oo# ### o#..........#oo\n"
              "##........## ##....##### #...######## ####........#o# ##...#......#o# ### #............#o\n"
              "###......### #o#.....#o# #..######### ##..###.....#o# ##....#.....#o# ### #..........###o\n"
              "#oo######oo# #oo#####oo# o##########o #############o# #############o# ### #.......###..#o\n"
              "############ ########### ooo######ooo ############### ############### ### ##############o\n");
    gauge->resize(6, 1);  // a dial one pixel high is its outline only
    EXPECT_EQ(Sketch({PictureAt(50)}), "######\n");
    gauge->resize(15, 8), gauge->SetBorderStyle(bsSingle), gauge->SetForeColor(clBlue);  // the dial's base line
    EXPECT_EQ(Sketch({PictureAt(30)}).substr(7 * 16), "#oooooooooooooo\n");            // is on the bottom border
    gauge->SetKind(gkNeedle), gauge->resize(265, 100);  // a needle at 1 % stands off the base line
    EXPECT_FALSE(PictureAt(1) == PictureAt(0));
    for (const auto& [value, whole] : std::initializer_list<std::pair<double, std::int64_t>>{
             {0.5, 0}, {1.5, 2}, {-1.5, -2}, {2.5000001, 3}, {131.99999999999997, 132}})
        EXPECT_EQ(RoundHalfEven(value), whole) << value;  // the points round half to even
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

TEST_F(Gauge, TinyGaugesOfEveryKindDrawSafely)
{
    for (const QSize size : {QSize(0, 0), QSize(0, 5), QSize(5, 0), QSize(1, 1), QSize(2, 2), QSize(3, 40)})
        for (const TGaugeKind kind : {gkText, gkHorizontalBar, gkVerticalBar, gkPie, gkNeedle}) {
            gauge->resize(size);
            gauge->SetKind(kind);
            gauge->SetProgress(gauge->Progress() ? 0 : 51);
            EXPECT_EQ(gauge->Picture().size(), size.isEmpty() ? QSize(0, 0) : size);  // null when empty
        }
    EXPECT_EQ(TGauge().Picture().size(), QSize(100, 100));  // as a new gauge is made
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
    for (CountingGauge* g : {gauge, &alone})
        g->SetProgress(50), g->SetKind(gkNeedle);
    EXPECT_EQ(gauge->paints + alone.paints, paints);
}

// Progress stays within the bounds, which drag it along, and is counted in 64 bits; crossed
// bounds are refused with numbers that do not wrap, in the user's language, and change nothing.
TEST_F(Gauge, BoundsHoldProgressAndCrossedBoundsAreRefused)
{
    gauge->SetProgress(500);
    EXPECT_EQ(std::make_pair(gauge->Progress(), gauge->Percent()), std::make_pair(102, 100));
    gauge->SetMaxValue(65);
    gauge->SetMinValue(65);  // equal bounds are accepted
    EXPECT_EQ(std::make_pair(gauge->Progress(), gauge->Percent()), std::make_pair(65, 0));
    gauge->SetMinValue(30);
    gauge->SetMaxValue(99);
    gauge->SetProgress(-1);
    EXPECT_THAT([&] { gauge->SetMinValue(200); }, Refused("Value must be between -2147483647 and 98"));
    EXPECT_THAT([&] { gauge->SetMaxValue(-5); }, Refused("Value must be between 31 and 2147483647"));
    EXPECT_EQ(std::tuple(gauge->MinValue(), gauge->MaxValue(), gauge->Progress()), std::tuple(30, 99, 30));
    gauge->SetMinValue(INT_MIN);
    gauge->SetMaxValue(INT_MIN);
    EXPECT_THAT([&] { gauge->SetMinValue(0); }, Refused("Value must be between -2147483647 and -2147483649"));
    gauge->SetMaxValue(INT_MAX);
    gauge->SetProgress(INT_MAX - 1);
    EXPECT_EQ(gauge->Percent(), 99);
    gauge->SetMinValue(INT_MAX);
    EXPECT_THAT([&] { gauge->SetMaxValue(0); }, Refused("Value must be between 2147483648 and 2147483647"));
    const auto use = [](const char* lang) { setenv("LANG", lang, 1), InitTextLookup(TEST_LOCALE_DIR); };
    use("pl_PL");
    EXPECT_THAT([&] { gauge->SetMaxValue(0); },
                Refused("Wartość musi leżeć poniżej 2147483647 i powyżej 2147483648"));
    use("C");
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
    EXPECT_EQ(GaugePercent(-30, 10, 0), 100);  // an inverted range a stored form leaves: 0..100 % still
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
