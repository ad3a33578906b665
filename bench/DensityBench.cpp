// The density picture's noise filter measured against a converged picture:
// for the default fractal, a sparse one and an area-filling one, 600 x 600
// at 1 million iterations drawn with and without the filter, each compared
// with the same view at 32 million (root-mean-square difference), and the
// mean brightness at 1 million against 64 million. Also the filter's cost
// on a large picture.
#include "model/QvFrac.h"
#include "model/QvTransform.h"
#include "engine/ChaosGame.h"
#include "engine/DensityImage.h"
#include "engine/ImageStats.h"
#include "engine/LargeBuffer.h"

#include <benchmark/benchmark.h>

#include <QImage>

#include <cstdio>

using namespace attractor;

namespace {

FracPtr fractalOf(std::initializer_list<std::tuple<double, double, float, _rgb_color>> maps)
{
    auto list = std::make_shared<TransformList>();
    for (const auto &[tx, ty, p, colour] : maps) {
        list->push_back(std::make_shared<QvTransform>(QPointF(0.5, 0.5), 0.0f, QPointF(tx, ty), colour));
        list->back()->setProbability(p);
    }
    return std::make_shared<QvFrac>(list, 1'000'000, _rgb_color{0, 0, 0, 1});
}

// 0: the default fractal; 1: the same triangle with nearly every draw going
// to one map, so most of it is sparse and one corner a hot spot; 2: four
// maps tiling the square with unequal weights, which fills it.
FracPtr testFractal(int kind)
{
    if (kind == 0)
        return QvFrac::defaultFractal();
    if (kind == 1)
        return fractalOf({{-1, -1, 0.85f, {1, 0.2f, 0.2f, 1}},
                          {1, -1, 0.05f, {0.2f, 1, 0.2f, 1}},
                          {-1, 1, 0.05f, {0.2f, 0.2f, 1, 1}},
                          {1, 1, 0.05f, {1, 1, 0.2f, 1}}});
    return fractalOf({{-1, -1, 0.4f, {1, 0.2f, 0.2f, 1}},
                      {1, -1, 0.3f, {0.2f, 1, 0.2f, 1}},
                      {-1, 1, 0.2f, {0.2f, 0.2f, 1, 1}},
                      {1, 1, 0.1f, {1, 1, 0.2f, 1}}});
}

QImage densityPicture(const FracPtr &fractal, QSize size, int32_t iterations, int radius, uint32_t seed)
{
    RenderRequest request;
    request.tables = buildChaosTables(*fractal);
    request.size = size;
    request.iterations = iterations;
    request.threads = 2;
    request.seed = seed;
    DensityOptions options;
    options.deRadius = radius;
    request.density = options;
    QImage image(size, QImage::Format_RGBA64);
    drawDensity(image, request, {});
    return image;
}

void BM_DensityFilterError(benchmark::State &state)
{
    const FracPtr fractal = testFractal(static_cast<int>(state.range(0)));
    const QSize size(600, 600);
    const QImage reference = densityPicture(fractal, size, 32'000'000, 0, 7);
    double plain = 0, filtered = 0, drift = 0;
    for (auto _ : state) {
        plain = rmsDifference(densityPicture(fractal, size, 1'000'000, 0, 1), reference);
        const QImage low = densityPicture(fractal, size, 1'000'000, DensityOptions{}.deRadius, 1);
        filtered = rmsDifference(low, reference);
        const QImage high = densityPicture(fractal, size, 64'000'000, DensityOptions{}.deRadius, 3);
        drift = meanBrightness(low) / meanBrightness(high) - 1.0;
    }
    state.counters["unfiltered"] = plain;
    state.counters["filtered"] = filtered;
    state.counters["ratio"] = filtered / plain;
    state.counters["drift1M64M"] = drift;
    std::printf("fractal %d: RMS error unfiltered %.5f, filtered %.5f (%.2f of it); brightness 1M/64M %+.2f %%\n",
                static_cast<int>(state.range(0)), plain, filtered, filtered / plain, drift * 100);
}
BENCHMARK(BM_DensityFilterError)->ArgName("fractal")->DenseRange(0, 2)->Iterations(1)->Unit(benchmark::kMillisecond);

// The default fractal at 4000 x 4000, 100 million iterations, on two walkers,
// with the filter (its default radius) and without.
void BM_DensityLarge(benchmark::State &state)
{
    const FracPtr fractal = QvFrac::defaultFractal();
    QImage image = largeImage({4000, 4000}, QImage::Format_RGBA64);
    RenderRequest request;
    request.tables = buildChaosTables(*fractal);
    request.size = image.size();
    request.iterations = 100'000'000;
    request.threads = 2;
    request.seed = 1;
    DensityOptions options;
    options.deRadius = static_cast<int>(state.range(0));
    request.density = options;
    for (auto _ : state) {
        drawDensity(image, request, {});
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_DensityLarge)->ArgName("radius")->Arg(0)->Arg(9)->Iterations(3)->UseRealTime()->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
