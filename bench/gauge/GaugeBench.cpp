// The gauge's paint cost, its core's composition alone, and how often an upload makes it paint.
//   bench_gauge [benchmark options]   (runs on the offscreen platform unless QT_QPA_PLATFORM is set)
#include "GaugeTestSupport.h"
#include "gauge/GaugePicture.h"

#include <QApplication>
#include <QTest>
#include <benchmark/benchmark.h>
#include <cstdlib>

namespace {

// The window's gauge: 265 × 20, range 0..102, on a shown window.
struct Window {
    QWidget window;
    CountingGauge* gauge = new CountingGauge(&window);

    Window()
    {
        window.resize(300, 60);
        gauge->setGeometry(10, 20, 265, 20);
        gauge->SetMaxValue(102);
        window.show();
        exposed = QTest::qWaitForWindowExposed(&window);
    }
    bool exposed = false;
};

Window* gWindow = nullptr;

// One synchronous paint onto the window: compose off-screen, copy once.
void BM_PaintOnce(benchmark::State& state)
{
    CountingGauge& gauge = *gWindow->gauge;
    gauge.SetProgress(51);
    for (auto _ : state)
        gauge.repaint();
}
BENCHMARK(BM_PaintOnce)->Unit(benchmark::kMicrosecond);

// The widget's picture: the core's composition, the toolkit's letters, the copy into a QImage.
void BM_ComposePicture(benchmark::State& state)
{
    CountingGauge& gauge = *gWindow->gauge;
    gauge.SetProgress(51);
    for (auto _ : state)
        benchmark::DoNotOptimize(gauge.Picture());
}
BENCHMARK(BM_ComposePicture)->Unit(benchmark::kMicrosecond);

// The core's composition alone, the window's size, no text: each kind.
void BM_ComposeCore(benchmark::State& state)
{
    TGaugeLook look;
    look.width = 265;
    look.height = 20;
    look.kind = static_cast<TGaugeKind>(state.range(0));
    look.showText = false;
    look.percent = 50;
    for (auto _ : state)
        benchmark::DoNotOptimize(ComposeGaugePicture(look, nullptr));
}
BENCHMARK(BM_ComposeCore)->DenseRange(gkHorizontalBar, gkNeedle)->Unit(benchmark::kMicrosecond);

// An upload of 1,030 lines sets Progress to lines / 10 after each line.
void BM_UploadProgressSteps(benchmark::State& state)
{
    CountingGauge& gauge = *gWindow->gauge;
    int paints = 0;
    for (auto _ : state) {
        gauge.SetProgress(0);
        gauge.paints = 0;
        for (int line = 1; line <= 1030; ++line)
            gauge.SetProgress(line / 10);
        paints = gauge.paints;
    }
    state.counters["paints"] = paints;
    if (paints > 101)
        state.SkipWithError("more than 101 paints during 1,030 progress steps");
}
BENCHMARK(BM_UploadProgressSteps)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    Window window;
    if (!window.exposed)
        return 1;
    gWindow = &window;
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
