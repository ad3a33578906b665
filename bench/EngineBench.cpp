// Iterations per second of the raster back end on one and two walkers, beside
// bare loops that only draw the map slot (from rand() and from the walkers'
// own generator), and the PNG and JPEG encoders on a finished picture.
#include "model/QvFrac.h"
#include "model/QvTransform.h"
#include "persistence/DocumentFormat.h"
#include "engine/ChaosGame.h"
#include "engine/GlibcRandom.h"
#include "engine/LargeBuffer.h"
#include "engine/PngEncoder.h"
#include "engine/RasterImage.h"

#include <benchmark/benchmark.h>

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QImageWriter>
#include <QRectF>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <string>

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

// The bare loop with the walkers' generator: what the lock in rand() costs.
void BM_BareInlineGenerator(benchmark::State &state)
{
    GlibcRandom random(1);
    for (auto _ : state) {
        for (int32_t k = 1; k < kIterations; ++k)
            benchmark::DoNotOptimize(random.next() % 100);
    }
    state.SetItemsProcessed(state.iterations() * kIterations);
}
BENCHMARK(BM_BareInlineGenerator)->Unit(benchmark::kMillisecond);

// A bare chaos game on the inline generator: the walker moves and nothing is
// plotted, so this is the loop without its memory traffic.
void BM_BareGame(benchmark::State &state)
{
    const ChaosTables tables = buildChaosTables(*QvFrac::defaultFractal());
    float sum = 0;
    for (auto _ : state) {
        runChaosGame(tables, kIterations, 1u, [&sum](float x, float, float, float, float) { sum += x; });
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * kIterations);
}
BENCHMARK(BM_BareGame)->Unit(benchmark::kMillisecond);

// Arguments: fractal (0 default, 1 ten maps), width, height, observed (progress
// and cancel as an export has them), walkers offered.
void BM_Raster(benchmark::State &state)
{
    const RenderRequest request{.tables = buildChaosTables(*fractalFor(static_cast<int>(state.range(0)))),
                                .size = QSize(static_cast<int>(state.range(1)), static_cast<int>(state.range(2))),
                                .iterations = kIterations,
                                .threads = static_cast<int>(state.range(4))};
    // The bitmap the exports draw into, on huge pages where offered.
    QImage image = largeImage(request.size, QImage::Format_RGBA64);
    std::atomic<bool> cancel{false};
    int increments = 0;
    DrawObserver observer;
    observer.cancel = &cancel;
    observer.progressIncrement = [&increments] { ++increments; };
    const bool observed = state.range(3) != 0;
    std::srand(1);
    for (auto _ : state) {
        drawRectWithQuartz(image, request, observed ? &observer : nullptr);
        benchmark::ClobberMemory();
    }
    benchmark::DoNotOptimize(increments);
    state.SetItemsProcessed(state.iterations() * kIterations);
}
BENCHMARK(BM_Raster)
    ->ArgNames({"maps10", "w", "h", "observed", "threads"})
    ->Args({0, 800, 600, 0, 1})
    ->Args({0, 1000, 500, 0, 1})
    ->Args({0, 1000, 500, 1, 1})
    ->Args({0, 1000, 500, 1, 2})
    ->Args({0, 4000, 4000, 1, 1})
    ->Args({0, 4000, 4000, 1, 2})
    ->Args({1, 1000, 500, 1, 2})
    ->Args({1, 4000, 4000, 1, 2})
    ->Unit(benchmark::kMillisecond);

// The whole export path: allocate, draw, no encoding.
void BM_HiResBitmap(benchmark::State &state)
{
    const RenderRequest request{.tables = buildChaosTables(*QvFrac::defaultFractal()),
                                .size = QSize(static_cast<int>(state.range(0)), static_cast<int>(state.range(1))),
                                .iterations = kIterations};
    std::srand(1);
    for (auto _ : state) {
        QImage image = hiResBitmapInsideRect(request);
        benchmark::DoNotOptimize(image.constBits());
    }
    state.SetItemsProcessed(state.iterations() * kIterations);
}
BENCHMARK(BM_HiResBitmap)->Args({1000, 500})->Args({4000, 4000})->Unit(benchmark::kMillisecond);

// Encoders on the default fractal at 4000 x 4000 with 100,000,000 points.
// Argument: 0 Qt's PNG writer as it comes, 1 Qt's at zlib level 1, 2 and 3
// the band encoder on one and two threads, 4 Qt's JPEG writer at quality 100.
void BM_Encode(benchmark::State &state)
{
    static const QImage picture = [] {
        return hiResBitmapInsideRect({.tables = buildChaosTables(*QvFrac::defaultFractal()),
                                      .size = {4000, 4000},
                                      .iterations = 100'000'000,
                                      .threads = 2,
                                      .seed = 1});
    }();
    const int method = static_cast<int>(state.range(0));
    qsizetype bytes = 0;
    for (auto _ : state) {
        QByteArray data;
        if (method == 2 || method == 3) {
            QString error;
            data = encodePng16(picture, method == 2 ? 1 : 2, &error);
        } else {
            QBuffer buffer(&data);
            buffer.open(QIODevice::WriteOnly);
            QImageWriter writer(&buffer, method == 4 ? "jpeg" : "png");
            if (method == 1)
                writer.setCompression(1);
            if (method == 4)
                writer.setQuality(100);
            writer.write(method == 4 ? picture.convertToFormat(QImage::Format_RGB888) : picture);
        }
        bytes = data.size();
        benchmark::DoNotOptimize(data.data());
    }
    state.counters["bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_Encode)->DenseRange(0, 4)->Unit(benchmark::kMillisecond)->Iterations(3);

// The whole command, process start to exit: attractor-cli render of the
// default fractal to a 16-bit PNG. Arguments: width, height, millions of
// iterations, density supersampling (0 for points).
void BM_CliRender(benchmark::State &state)
{
    static const bool written = [] {
        QFile file(QStringLiteral("/tmp/attractor-bench-default.frac"));
        return file.open(QIODevice::WriteOnly) && file.write(jsonRepresentation(*QvFrac::defaultFractal()).toUtf8()) > 0;
    }();
    if (!written) {
        state.SkipWithError("cannot write the document");
        return;
    }
    const std::string command = std::string(ATTRACTOR_CLI) + " render /tmp/attractor-bench-default.frac"
                                + " -o /tmp/attractor-bench-out.png --width " + std::to_string(state.range(0))
                                + " --height " + std::to_string(state.range(1)) + " --iterations "
                                + std::to_string(state.range(2) * 1000000)
                                + (state.range(3) ? " --mode density --supersample " + std::to_string(state.range(3)) : "")
                                + " 2>/dev/null";
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0)
            state.SkipWithError("render failed");
    }
}
BENCHMARK(BM_CliRender)
    ->ArgNames({"w", "h", "Miter", "densityS"})
    ->Args({1000, 500, 2, 0})
    ->Args({4000, 4000, 100, 0})
    ->Args({4000, 4000, 100, 1})
    ->Args({2000, 2000, 100, 2})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);

} // namespace

BENCHMARK_MAIN();
