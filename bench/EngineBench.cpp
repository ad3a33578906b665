// Iterations per second of the raster back end, beside a bare loop that only
// draws the map slot. The back end should cost at most 1.5 times that loop.
#include "model/QvFrac.h"
#include "model/QvTransform.h"
#include "renderer/ChaosGame.h"
#include "renderer/RasterImage.h"

#include <benchmark/benchmark.h>

#include <QImage>
#include <QRectF>

#include <atomic>
#include <cmath>
#include <cstdlib>

using namespace attractor;

namespace {

constexpr int32_t kIterations = 10'000'000;

// Ten rotated maps whose attractor stays inside the square, like a busy
// hand-made fractal.
FracPtr tenMapFractal()
{
    auto list = std::make_shared<TransformList>();
    for (int i = 0; i < 10; ++i) {
        const double angle = i * 2 * M_PI / 10;
        const float shade = static_cast<float>(i) / 9.0f;
        list->push_back(std::make_shared<QvTransform>(QPointF(0.3 + 0.012 * i, 0.35), static_cast<float>(angle),
                                                      QPointF(std::cos(angle), std::sin(angle)),
                                                      _rgb_color{shade, 1.0f - shade, 0.5f, 1.0f}));
    }
    return std::make_shared<QvFrac>(list, kIterations, defaultRGBColor());
}

FracPtr fractalFor(int kind)
{
    return kind == 0 ? QvFrac::defaultFractal() : tenMapFractal();
}

void BM_BareRand(benchmark::State &state)
{
    std::srand(1);
    for (auto _ : state) {
        for (int32_t k = 1; k < kIterations; ++k)
            benchmark::DoNotOptimize(std::rand() % 100);
    }
    state.SetItemsProcessed(state.iterations() * kIterations);
}
BENCHMARK(BM_BareRand)->Unit(benchmark::kMillisecond);

// Arguments: fractal (0 default, 1 ten maps), width, height, observed (progress
// and cancel as an export has them).
void BM_Raster(benchmark::State &state)
{
    const ChaosTables tables = buildChaosTables(*fractalFor(static_cast<int>(state.range(0))));
    const QRectF rect(0, 0, static_cast<double>(state.range(1)), static_cast<double>(state.range(2)));
    QImage image(rect.size().toSize(), QImage::Format_RGBA64);
    std::atomic<bool> cancel{false};
    int increments = 0;
    DrawObserver observer;
    observer.cancel = &cancel;
    observer.progressIncrement = [&increments] { ++increments; };
    const bool observed = state.range(3) != 0;
    std::srand(1);
    for (auto _ : state) {
        drawRectWithQuartz(image, rect, tables, kIterations, observed ? &observer : nullptr);
        benchmark::ClobberMemory();
    }
    benchmark::DoNotOptimize(increments);
    state.SetItemsProcessed(state.iterations() * kIterations);
}
BENCHMARK(BM_Raster)
    ->ArgNames({"maps10", "w", "h", "observed"})
    ->Args({0, 1000, 500, 0})
    ->Args({0, 1000, 500, 1})
    ->Args({0, 4000, 4000, 1})
    ->Args({1, 1000, 500, 1})
    ->Args({1, 4000, 4000, 1})
    ->Unit(benchmark::kMillisecond);

// The whole export path: allocate, draw, no encoding.
void BM_HiResBitmap(benchmark::State &state)
{
    const ChaosTables tables = buildChaosTables(*QvFrac::defaultFractal());
    const QRectF rect(0, 0, static_cast<double>(state.range(0)), static_cast<double>(state.range(1)));
    std::srand(1);
    for (auto _ : state) {
        QImage image = hiResBitmapInsideRect(tables, kIterations, rect);
        benchmark::DoNotOptimize(image.constBits());
    }
    state.SetItemsProcessed(state.iterations() * kIterations);
}
BENCHMARK(BM_HiResBitmap)->Args({1000, 500})->Args({4000, 4000})->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
