// Speed of the renderer canvas under the platform's OpenGL (Mesa llvmpipe
// under Xvfb on the build machines): one full redraw as the user sees it,
// and how long the event loop can stall while a very long picture is drawn.
#include "model/QvFrac.h"
#include "canvas/GlPointPlot.h"
#include "canvas/MyOpenGLView.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <memory>

using namespace attractor;

namespace {

std::unique_ptr<MyOpenGLView> shownCanvas(MyOpenGLView::PointPath path, int32_t iterations, bool density = false)
{
    auto view = std::make_unique<MyOpenGLView>();
    view->resize(800, 600);
    view->setPointPath(path);
    view->setDensityPreview(density);
    FracPtr fractal = QvFrac::defaultFractal();
    fractal->setIterations(iterations);
    view->setFractal(fractal);
    view->show();
    QElapsedTimer clock;
    clock.start();
    while (!view->pictureIsCurrent() && clock.elapsed() < 60000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    // The window's first frames are still being composed: let them settle.
    clock.restart();
    while (clock.elapsed() < 300)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return view;
}

// Asks for a new picture and waits until it has been composed on screen.
void redrawAndWait(MyOpenGLView &view)
{
    bool shown = false;
    bool swapped = false;
    const auto onShown = QObject::connect(&view, &MyOpenGLView::pictureShown, [&] { shown = true; });
    const auto onSwap = QObject::connect(&view, &QOpenGLWidget::frameSwapped, [&] { swapped = shown; });
    view.requestRedraw();
    while (!swapped)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    QObject::disconnect(onShown);
    QObject::disconnect(onSwap);
}

// Arguments: the point path, the iterations, the density preview. A redraw
// counts until the picture of the full count is on screen.
void BM_CanvasRedraw(benchmark::State &state)
{
    const auto path = static_cast<MyOpenGLView::PointPath>(state.range(0));
    auto view = shownCanvas(path, static_cast<int32_t>(state.range(1)), state.range(2) != 0);
    if (!view->hasOpenGL()) {
        state.SkipWithError("no OpenGL context");
        return;
    }
    for (auto _ : state)
        redrawAndWait(*view);
    state.SetLabel(path == MyOpenGLView::PointPath::GlPoints ? "gl-points"
                   : state.range(2) != 0                     ? "density"
                                                             : "cpu-image+quad");
}
BENCHMARK(BM_CanvasRedraw)
    ->ArgNames({"path", "iterations", "density"})
    ->Args({static_cast<int>(MyOpenGLView::PointPath::CpuImage), 200000, 0})
    ->Args({static_cast<int>(MyOpenGLView::PointPath::GlPoints), 200000, 0})
    ->Args({static_cast<int>(MyOpenGLView::PointPath::CpuImage), 10000000, 0})
    ->Args({static_cast<int>(MyOpenGLView::PointPath::CpuImage), 10000000, 1})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

// The CPU plot alone at the 800 x 600 canvas's square, for comparison with
// the full redraw. Arguments: the iterations, the walkers offered.
void BM_PlotGlPoints(benchmark::State &state)
{
    const RenderRequest request{.tables = buildChaosTables(*QvFrac::defaultFractal()),
                                .size = {600, 600},
                                .iterations = static_cast<int32_t>(state.range(0)),
                                .threads = static_cast<int>(state.range(1))};
    for (auto _ : state)
        benchmark::DoNotOptimize(plotGlPoints(request, 0.0f));
}
// The preview's count and a full redraw's, on one walker and on two.
void plotArgs(benchmark::internal::Benchmark *b)
{
    b->ArgNames({"iterations", "threads"})->ArgsProduct({{500000, 10000000}, {1, 2}})->Unit(benchmark::kMillisecond);
}
BENCHMARK(BM_PlotGlPoints)->Apply(plotArgs);

// The density preview alone at the same size, tone mapping and conversion
// to the canvas's 8 bits included.
void BM_PlotDensityPreview(benchmark::State &state)
{
    const RenderRequest request{.tables = buildChaosTables(*QvFrac::defaultFractal()),
                                .size = {600, 600},
                                .iterations = static_cast<int32_t>(state.range(0)),
                                .threads = static_cast<int>(state.range(1))};
    for (auto _ : state)
        benchmark::DoNotOptimize(plotDensityPreview(request));
}
BENCHMARK(BM_PlotDensityPreview)->Apply(plotArgs);

// The longest gap, in milliseconds, between the ticks of a 1 ms timer while
// `work` runs the event loop: what a user would feel as a stall.
template <typename Work>
double longestTimerGapMs(Work &&work)
{
    QElapsedTimer clock;
    qint64 lastTick = 0;
    qint64 longest = 0;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(1);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        longest = std::max(longest, now - lastTick);
        lastTick = now;
    });
    clock.start();
    ticker.start();
    work(clock);
    ticker.stop();
    longest = std::max(longest, clock.nsecsElapsed() - lastTick);
    return longest / 1e6;
}

// While 10,000,000 iterations are drawn. Argument: the density preview.
void BM_EventLoopGapDuringLongRedraw(benchmark::State &state)
{
    auto view = shownCanvas(MyOpenGLView::PointPath::CpuImage, 10000000, state.range(0) != 0);
    if (!view->hasOpenGL()) {
        state.SkipWithError("no OpenGL context");
        return;
    }
    double worstGapMs = 0;
    for (auto _ : state)
        worstGapMs = std::max(worstGapMs, longestTimerGapMs([&](const QElapsedTimer &) { redrawAndWait(*view); }));
    state.counters["max_gap_ms"] = worstGapMs;
}
BENCHMARK(BM_EventLoopGapDuringLongRedraw)->ArgName("density")->DenseRange(0, 1)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

// From an edit (the background colour) to the first frame that shows it, at
// 2,000,000,000 iterations: the preview of the first part of the game.
// Argument: the density preview.
void BM_EditToFirstPictureOfLongGame(benchmark::State &state)
{
    auto view = shownCanvas(MyOpenGLView::PointPath::CpuImage, 500000, state.range(0) != 0);
    view->fractal()->setIterations(2000000000);
    double worstGapMs = 0;
    float shade = 0.0f;
    for (auto _ : state) {
        worstGapMs = std::max(worstGapMs, longestTimerGapMs([&](const QElapsedTimer &) {
            bool swapped = false;
            // The first frame whose picture comes from the edited fractal.
            const auto onSwap = QObject::connect(view.get(), &QOpenGLWidget::frameSwapped,
                                                 [&] { swapped = view->pictureFollowsFractal(); });
            shade = shade > 0.5f ? 0.0f : shade + 0.01f;
            view->fractal()->setBgColor({shade, shade, shade, 1.0f});
            view->update();
            while (!swapped)
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
            QObject::disconnect(onSwap);
        }));
    }
    state.counters["max_gap_ms"] = worstGapMs;
}
BENCHMARK(BM_EditToFirstPictureOfLongGame)
    ->ArgName("density")
    ->DenseRange(0, 1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(10);

// A zoom step (a wheel notch) at zoom 8 about a point of the default
// fractal's attractor, at 10,000,000 iterations: the time to the first frame
// that shows the new view, then (full_ms) to the frame of the full count, and
// the longest stall of the event loop meanwhile. Argument: the density preview.
void BM_ZoomStepToFirstPicture(benchmark::State &state)
{
    auto view = shownCanvas(MyOpenGLView::PointPath::CpuImage, 10000000, state.range(0) != 0);
    if (!view->hasOpenGL()) {
        state.SkipWithError("no OpenGL context");
        return;
    }
    const QPointF about(0.45, -0.55);
    view->model()->setView(zoomedAbout(View(), about, 8.0));
    while (!view->pictureIsCurrent())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    double worstGapMs = 0;
    double fullMs = 0;
    int steps = 0;
    for (auto _ : state) {
        double firstMs = 0;
        worstGapMs = std::max(worstGapMs, longestTimerGapMs([&](const QElapsedTimer &clock) {
            const qint64 start = clock.nsecsElapsed();
            bool first = false;
            bool full = false;
            const auto onSwap = QObject::connect(view.get(), &QOpenGLWidget::frameSwapped, [&] {
                if (!first && view->pictureFollowsFractal())
                    first = true, firstMs = (clock.nsecsElapsed() - start) / 1e6;
                full = first && view->pictureIsCurrent();
            });
            // In and out again, so the zoom stays about 8.
            view->model()->setView(zoomedAbout(view->model()->view(), about, ++steps % 2 ? kZoomStep : 1 / kZoomStep));
            while (!full)
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
            fullMs += (clock.nsecsElapsed() - start) / 1e6;
            QObject::disconnect(onSwap);
        }));
        state.SetIterationTime(firstMs / 1000);
    }
    state.counters["full_ms"] = fullMs / std::max(steps, 1);
    state.counters["max_gap_ms"] = worstGapMs;
}
BENCHMARK(BM_ZoomStepToFirstPicture)
    ->ArgName("density")
    ->DenseRange(0, 1)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(5);

// The same ticker with nothing drawn: what the machine itself costs (other
// processes sharing the cores), to read the figure above against.
void BM_EventLoopGapIdle(benchmark::State &state)
{
    double worstGapMs = 0;
    for (auto _ : state) {
        worstGapMs = std::max(worstGapMs, longestTimerGapMs([](const QElapsedTimer &clock) {
            while (clock.elapsed() < 1000)
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }));
    }
    state.counters["max_gap_ms"] = worstGapMs;
}
BENCHMARK(BM_EventLoopGapIdle)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        std::fprintf(stderr, "bench_glview needs a display: run it under xvfb-run -a\n");
        return 1;
    }
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
