#include "EngineTestFractals.h"

#include "model/RandomFractal.h"
#include "renderer/GlibcRandom.h"
#include "renderer/RasterImage.h"

#include <gtest/gtest.h>

#include <QRgba64>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <iterator>
#include <set>
#include <thread>

using namespace attractor;
using namespace attractor::test;

namespace {

// --- The generator ------------------------------------------------------------

class Generator : public testing::TestWithParam<uint32_t>
{
};

TEST_P(Generator, YieldsWhatRandYieldsAfterSrandOfTheSameSeed)
{
    const uint32_t seed = GetParam();
    GlibcRandom random(seed);
    std::srand(seed);
    for (int i = 0; i < 20000; ++i)
        ASSERT_EQ(random.next(), std::rand()) << "value " << i;
}

// 0 is seeded as 1 by srand; seeds from 2^31 on go in as negative words.
INSTANTIATE_TEST_SUITE_P(Seeds, Generator, testing::Values(0u, 1u, 42u, 127773u, 2147483647u, 2147483648u, 4294967295u));

// --- Pictures -----------------------------------------------------------------

QImage drawn(const FracPtr &fractal, QSize size, int threads, uint32_t seed, int32_t iterations = 0)
{
    DrawObserver observer;
    observer.threads = threads;
    observer.seed = seed;
    return hiResBitmapInsideRect(buildChaosTables(*fractal), iterations > 0 ? iterations : fractal->iterations(),
                                 QRectF(QPointF(0, 0), size), &observer);
}

std::set<std::pair<int, int>> litPixels(const QImage &image, _rgb_color background)
{
    const QRgba64 bg = QRgba64::fromRgba64(qRound(background.r * 65535), qRound(background.g * 65535),
                                           qRound(background.b * 65535), qRound(background.a * 65535));
    std::set<std::pair<int, int>> lit;
    for (int row = 0; row < image.height(); ++row) {
        const auto *line = reinterpret_cast<const QRgba64 *>(image.constScanLine(row));
        for (int column = 0; column < image.width(); ++column)
            if (line[column] != bg)
                lit.emplace(column, row);
    }
    return lit;
}

TEST(OneWalker, DrawsTheBitmapThatRandDrawsAfterSrand)
{
    // The reference plots the walker that rand() moves after srand(7), the
    // way every draw did before walkers had generators of their own.
    const FracPtr fractal = QvFrac::defaultFractal();
    const ChaosTables tables = buildChaosTables(*fractal);
    const QSize size(300, 200);
    constexpr int32_t n = 300000;
    QImage expected(size, QImage::Format_RGBA64);
    expected.fill(Qt::black);
    std::srand(7);
    float x = 0, y = 0, r = 0, g = 0, b = 0;
    for (int32_t k = 1; k < n; ++k) {
        const int i = tables.table[std::rand() % 100];
        const _t_matrix &m = tables.matrix[i];
        const float nx = m.a * x + m.b * y + m.tx;
        y = m.c * x + m.d * y + m.ty;
        x = nx;
        r = (tables.colour[i].red + r) / 2.0f;
        g = (tables.colour[i].green + g) / 2.0f;
        b = (tables.colour[i].blue + b) / 2.0f;
        const double px = (x + 2.0) / 4 * size.width(), py = (y + 2.0) / 4 * size.height();
        if (k > kWarmUpIterations && px >= 0 && px < size.width() && py >= 0 && py < size.height())
            reinterpret_cast<QRgba64 *>(expected.scanLine(size.height() - 1 - int(py)))[int(px)] =
                QRgba64::fromRgba64(qRound(r * 65535.0f), qRound(g * 65535.0f), qRound(b * 65535.0f), 65535);
    }
    EXPECT_EQ(drawn(fractal, size, 1, 7, n), expected);
}

FracPtr tenRandomMaps()
{
    std::srand(2024);
    auto list = std::make_shared<TransformList>();
    for (int i = 0; i < 10; ++i)
        list->push_back(randomTransform());
    return std::make_shared<QvFrac>(list, 2000000, defaultRGBColor());
}

struct AgreementCase {
    const char *name;
    FracPtr fractal;
    // Largest share of the lit pixels of either picture that the other lacks.
    double tolerance;
};

class Walkers : public testing::TestWithParam<AgreementCase>
{
};

// Pictures from different random sequences differ only where the attractor
// is too sparse for the count: at 200 x 200 and 2,000,000 iterations these
// attractors are saturated, so the lit sets agree to within the tolerance.
TEST_P(Walkers, SeveralLightThePixelsThatOneLights)
{
    const AgreementCase &c = GetParam();
    c.fractal->setIterations(2000000);
    const auto one = litPixels(drawn(c.fractal, {200, 200}, 1, 99), c.fractal->bgColor());
    const auto three = litPixels(drawn(c.fractal, {200, 200}, 3, 99), c.fractal->bgColor());
    ASSERT_FALSE(one.empty());
    std::vector<std::pair<int, int>> onlyOne, onlyThree;
    std::set_difference(one.begin(), one.end(), three.begin(), three.end(), std::back_inserter(onlyOne));
    std::set_difference(three.begin(), three.end(), one.begin(), one.end(), std::back_inserter(onlyThree));
    EXPECT_LE(onlyOne.size(), c.tolerance * double(one.size()));
    EXPECT_LE(onlyThree.size(), c.tolerance * double(three.size()));
}

TEST(Walkers, SeveralDrawOnePointPictureExactly)
{
    const FracPtr point = makeFractal({{.scale = {0.5, 0.5}, .translation = {0.3, -0.7}, .colour = {0.2f, 0.9f, 0.4f, 1}}},
                                      2000000, {0.1f, 0.1f, 0.1f, 1});
    const QImage one = drawn(point, {123, 77}, 1, 5);
    EXPECT_EQ(litPixels(one, point->bgColor()).size(), 1u);
    EXPECT_EQ(drawn(point, {123, 77}, 3, 6), one);
}

TEST(Walkers, SeveralPlotAsManyPointsAsOne)
{
    // Far from saturated (half the points light a pixel of their own), so
    // the lit count tells how many points were plotted.
    const FracPtr fractal = QvFrac::defaultFractal();
    const double one = double(litPixels(drawn(fractal, {2000, 2000}, 1, 3, 400000), fractal->bgColor()).size());
    const double three = double(litPixels(drawn(fractal, {2000, 2000}, 3, 3, 400000), fractal->bgColor()).size());
    EXPECT_GT(one, 150000);
    EXPECT_NEAR(three, one, 0.01 * one);
}

INSTANTIATE_TEST_SUITE_P(Fractals, Walkers,
                         testing::Values(AgreementCase{"DefaultFractal", QvFrac::defaultFractal(), 0.002},
                                         AgreementCase{"TenRandomMaps", tenRandomMaps(), 0.02}),
                         [](const auto &info) { return std::string(info.param.name); });

// --- Sharing the work -----------------------------------------------------------

struct ShareCase {
    int32_t n;
    int threads;
    int workers;
};

class Share : public testing::TestWithParam<ShareCase>
{
};

TEST_P(Share, EveryWalkerWarmsUpAndThePlottedPointsAddUpToOneWalkers)
{
    const ShareCase &c = GetParam();
    const int workers = chaosWorkerCount(c.n, c.threads);
    EXPECT_EQ(workers, c.workers);
    int64_t plotted = 0;
    for (int w = 0; w < workers; ++w) {
        const int32_t own = chaosWorkerIterations(c.n, workers, w);
        EXPECT_GT(own, workers > 1 ? kWarmUpIterations + 1 : -1);
        plotted += std::max(0, own - kWarmUpIterations - 1);
    }
    EXPECT_EQ(plotted, std::max(0, c.n - kWarmUpIterations - 1));
}

INSTANTIATE_TEST_SUITE_P(Counts, Share,
                         testing::Values(ShareCase{0, 4, 1}, ShareCase{50000, 4, 1}, ShareCase{301000, 4, 2},
                                         ShareCase{2000000, 3, 3}, ShareCase{2000001, 0, 1},
                                         ShareCase{2147483647, 16, 16}));

// --- Progress and cancel across threads -------------------------------------------

TEST(WalkerProgress, SumsToTheSameIncrementsOnAnyNumberOfWalkers)
{
    for (int threads : {1, 2, 3}) {
        int increments = 0;
        DrawObserver observer;
        observer.threads = threads;
        observer.progressIncrement = [&] { ++increments; };
        const QImage image = hiResBitmapInsideRect(buildChaosTables(*QvFrac::defaultFractal()), 1000000,
                                                   QRectF(0, 0, 50, 50), &observer);
        EXPECT_EQ(increments, 95) << threads << " threads";
    }
}

// Every walker looks at the flag each 1024 iterations, tens of microseconds.
// On a machine shared with other work the walkers may wait for a core before
// they look, so the bound is on the processor time spent after the raise (a
// waiting walker spends none), with a loose bound on the wall-clock time.
TEST(WalkerCancel, StopsEveryWalkerWithinFiftyMilliseconds)
{
    using Clock = std::chrono::steady_clock;
    std::atomic<bool> cancel{false};
    Clock::time_point raised;
    std::clock_t raisedCpu = 0;
    DrawObserver observer;
    observer.threads = 3;
    observer.cancel = &cancel;
    // Raised while every walker is drawing.
    observer.progressIncrement = [&] {
        raised = Clock::now();
        raisedCpu = std::clock();
        cancel = true;
    };
    // Without the cancel this draw would take minutes.
    hiResBitmapInsideRect(buildChaosTables(*tenRandomMaps()), 2147483647, QRectF(0, 0, 2000, 2000), &observer);
    const std::clock_t stoppedCpu = std::clock();
    const Clock::time_point stopped = Clock::now();
    EXPECT_LT(double(stoppedCpu - raisedCpu) / CLOCKS_PER_SEC, 0.05);
    EXPECT_LT(stopped - raised, std::chrono::seconds(2));
}

// --- More maps than slots ----------------------------------------------------------

// Constant maps, each on the centre of its own pixel of a side x side grid;
// every third map weighs 1, the others the clamped minimum 0.01.
FracPtr gridOfMaps(int side, int count, int32_t iterations)
{
    std::vector<MapSpec> maps;
    for (int i = 0; i < count; ++i)
        maps.push_back({.scale = {0, 0},
                        .translation = {-2 + 4 * (i % side + 0.5) / side, 2 - 4 * (i / side + 0.5) / side},
                        .probability = i % 3 == 0 ? 0.0f : 1.0f});
    return makeFractal(maps, iterations);
}

struct ManyCase {
    int count;
    int side;
};

class ManyMaps : public testing::TestWithParam<ManyCase>
{
};

TEST_P(ManyMaps, EveryMapIsDrawnInTheExport)
{
    const ManyCase &c = GetParam();
    // A light map takes about 1 draw in 34 * count: this count leaves each
    // some 29 points, and the chance that one gets none is below 1e-12.
    const FracPtr fractal = gridOfMaps(c.side, c.count, 1001 + 1000 * c.count);
    ExportCallbacks callbacks;
    QString error;
    const QByteArray png = hiResImageData(kImageFormatPNG, buildChaosTables(*fractal), fractal->iterations(),
                                          QRectF(0, 0, c.side, c.side), callbacks, &error);
    ASSERT_FALSE(png.isEmpty()) << error.toStdString();
    const QImage image = QImage::fromData(png, "PNG");
    EXPECT_EQ(litPixels(image, fractal->bgColor()).size(), static_cast<size_t>(c.count));
}

TEST_P(ManyMaps, EachMapIsDrawnInProportionToItsWeight)
{
    const ManyCase &c = GetParam();
    const FracPtr fractal = gridOfMaps(c.side, c.count, 0);
    const ChaosTables tables = buildChaosTables(*fractal);
    int heavy = 0, light = 0;
    for (int i = 0; i < c.count; ++i)
        (i % 3 == 0 ? heavy : light) += 1;
    const std::vector<PlottedPoint> points = recordPlots(tables, 1001 + 2000000, 17);
    double lightPoints = 0;
    for (const PlottedPoint &p : points) {
        const int column = static_cast<int>((p.x + 2) / 4 * c.side);
        const int row = static_cast<int>((2 - p.y) / 4 * c.side);
        lightPoints += (row * c.side + column) % 3 != 0;
    }
    const double expected = light * 0.01 / (heavy + light * 0.01);
    EXPECT_NEAR(lightPoints / double(points.size()), expected, expected * 0.05);
}

INSTANTIATE_TEST_SUITE_P(Counts, ManyMaps,
                         testing::Values(ManyCase{101, 11}, ManyCase{1000, 32}, ManyCase{10000, 100}),
                         [](const auto &info) { return "Maps" + std::to_string(info.param.count); });

} // namespace
