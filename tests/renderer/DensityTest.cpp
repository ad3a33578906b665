#include "EngineTestFractals.h"

#include "model/RandomFractal.h"
#include "renderer/RasterImage.h"

#include <gtest/gtest.h>

#include <QRgba64>

#include <algorithm>
#include <cmath>
#include <limits>

using namespace attractor;
using namespace attractor::test;

namespace {

QImage density(const FracPtr &fractal, QSize size, DensityOptions options = {}, int threads = 1,
               int32_t iterations = -1)
{
    DrawObserver observer;
    observer.threads = threads;
    observer.seed = 8;
    observer.density = options;
    return hiResBitmapInsideRect(buildChaosTables(*fractal), iterations < 0 ? fractal->iterations() : iterations,
                                 QRectF(QPointF(0, 0), size), &observer);
}

QRgba64 pixel(const QImage &image, int x, int y)
{
    return reinterpret_cast<const QRgba64 *>(image.constScanLine(y))[x];
}

quint16 sample(double v)
{
    return static_cast<quint16>(std::lround(std::clamp(v, 0.0, 1.0) * 65535));
}

QRgba64 rgba(_rgb_color c)
{
    return QRgba64::fromRgba64(sample(c.r), sample(c.g), sample(c.b), sample(c.a));
}

// A colour c at coverage `share` over the background, premultiplied and
// divided out again.
QRgba64 over(_rgb_color c, double share, _rgb_color bg)
{
    const double a = share + bg.a * (1 - share);
    const auto channel = [&](double v, double b) { return (v * share + b * bg.a * (1 - share)) / a; };
    return rgba({float(channel(c.r, bg.r)), float(channel(c.g, bg.g)), float(channel(c.b, bg.b)), float(a)});
}

std::vector<QPoint> otherThan(const QImage &image, QRgba64 colour)
{
    std::vector<QPoint> found;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (pixel(image, x, y) != colour)
                found.emplace_back(x, y);
    return found;
}

// --- One point ------------------------------------------------------------------

struct PointCase {
    int supersample;
    int threads;
};

class DensityPoint : public testing::TestWithParam<PointCase>
{
};

// Fixed point (1.005, -0.505): pixel column 150, row 74 from the bottom of a
// 200 x 200 picture, and one sample of the S x S there.
TEST_P(DensityPoint, IsOnePixelInTheMapsColourOverTheBackground)
{
    const PointCase &c = GetParam();
    const _rgb_color bg{0.1f, 0.2f, 0.3f, 0.5f};
    const _rgb_color colour{0.2f, 0.4f, 0.6f, 1};
    const FracPtr fractal =
        makeFractal({{.scale = {0.5, 0.5}, .translation = {0.5025, -0.2525}, .colour = colour}}, 400000, bg);
    const QImage image = density(fractal, {200, 200}, {.supersample = c.supersample}, c.threads);
    ASSERT_EQ(image.size(), QSize(200, 200));
    const std::vector<QPoint> lit = otherThan(image, rgba(bg));
    ASSERT_EQ(lit.size(), 1u);
    EXPECT_EQ(lit[0], QPoint(150, 199 - 74));
    // Full coverage in one of S x S samples, the others background.
    const QRgba64 expected = over(colour, 1.0 / (c.supersample * c.supersample), bg);
    EXPECT_NEAR(pixel(image, 150, 125).red(), expected.red(), 1);
    EXPECT_NEAR(pixel(image, 150, 125).green(), expected.green(), 1);
    EXPECT_NEAR(pixel(image, 150, 125).blue(), expected.blue(), 1);
    EXPECT_NEAR(pixel(image, 150, 125).alpha(), expected.alpha(), 1);
}

INSTANTIATE_TEST_SUITE_P(Samples, DensityPoint,
                         testing::Values(PointCase{1, 1}, PointCase{1, 3}, PointCase{2, 2}, PointCase{4, 1}));

// --- Known hit ratios --------------------------------------------------------------

struct ToneCase {
    double gamma;
    double brightness;
};

class DensityTone : public testing::TestWithParam<ToneCase>
{
};

// Three constant white maps of equal weight, two on one pixel and one on
// another: the table gives them 33, 33 and 34 slots, so of the 300,000
// points the first pixel takes 198,000 and the second 102,000.
TEST_P(DensityTone, CoverageIsTheLogarithmOfTheHitsToThePowerOfOneOverGamma)
{
    const ToneCase &c = GetParam();
    const MapSpec twice{.scale = {0, 0}, .translation = {-1, 0}};
    const MapSpec once{.scale = {0, 0}, .translation = {1, 0}};
    const FracPtr fractal = makeFractal({twice, twice, once}, 301001, {0, 0, 0, 0});
    const QImage image = density(fractal, {4, 4}, {.gamma = c.gamma, .brightness = c.brightness});
    const double dense = pixel(image, 1, 1).alpha() / 65535.0;
    const double sparse = pixel(image, 3, 1).alpha() / 65535.0;
    EXPECT_NEAR(dense, std::min(c.brightness, 1.0), 1e-4);
    EXPECT_NEAR(sparse, std::pow(std::log1p(1.02e5) / std::log1p(1.98e5), 1 / c.gamma) * std::min(c.brightness, 1.0), 2e-3);
    // Over a transparent background the colour is the hits' own at any coverage.
    EXPECT_EQ(pixel(image, 3, 1).red(), 65535);
    EXPECT_EQ(otherThan(image, QRgba64::fromRgba64(0, 0, 0, 0)).size(), 2u);
}

INSTANTIATE_TEST_SUITE_P(Parameters, DensityTone,
                         testing::Values(ToneCase{2.2, 1}, ToneCase{1, 1}, ToneCase{4, 0.5}, ToneCase{2.2, 7}));

// --- Background and bad colours ----------------------------------------------------

struct BackgroundCase {
    const char *name;
    std::vector<MapSpec> maps;
    int32_t iterations;
    size_t lit;
    _rgb_color shown; // the colour a lit pixel shows, alpha 1
};

class DensityBackground : public testing::TestWithParam<BackgroundCase>
{
};

TEST_P(DensityBackground, IsExactWhereNothingLandsAndNeverNotANumber)
{
    const BackgroundCase &c = GetParam();
    const _rgb_color bg{0.25f, 0.5f, 0.75f, 0.6f};
    const QImage image = density(makeFractal(c.maps, c.iterations, bg), {64, 48}, {.supersample = 3});
    const std::vector<QPoint> lit = otherThan(image, rgba(bg));
    ASSERT_EQ(lit.size(), c.lit);
    if (!lit.empty()) {
        // One sample of nine at full coverage.
        const QRgba64 expected = over(c.shown, 1.0 / 9, bg);
        EXPECT_NEAR(pixel(image, lit[0].x(), lit[0].y()).red(), expected.red(), 1);
        EXPECT_NEAR(pixel(image, lit[0].x(), lit[0].y()).green(), expected.green(), 1);
        EXPECT_NEAR(pixel(image, lit[0].x(), lit[0].y()).blue(), expected.blue(), 1);
        EXPECT_NEAR(pixel(image, lit[0].x(), lit[0].y()).alpha(), expected.alpha(), 1);
    }
}

const float nan = std::numeric_limits<float>::quiet_NaN();
const MapSpec toTheOrigin{.scale = {0, 0}, .translation = {0.01, 0.01}};

INSTANTIATE_TEST_SUITE_P(
    Cases, DensityBackground,
    testing::Values(BackgroundCase{"NoMaps", {}, 100000, 0, {}},
                    BackgroundCase{"OnlyWarmUp", {toTheOrigin}, 1001, 0, {}},
                    BackgroundCase{"NotANumberColourCountsAsBlack",
                                   {{.scale = {0, 0}, .translation = {0.01, 0.01}, .colour = {nan, 1, 1, 1}}}, 5000, 1,
                                   {0, 1, 1, 1}},
                    BackgroundCase{"OutOfRangeColourIsClamped",
                                   {{.scale = {0, 0}, .translation = {0.01, 0.01}, .colour = {2, -1, 0.5, 1}}}, 5000, 1,
                                   {1, 0, 0.5, 1}},
                    BackgroundCase{"DivergingMapLeavesThePicture", {{.scale = {3, 3}, .translation = {1, 1}}}, 5000, 0,
                                   {}}),
    [](const auto &info) { return std::string(info.param.name); });

// --- Structure -------------------------------------------------------------------

// A random fractal whose points picture is a flat blob: nearly every pixel of
// the attractor lit at full strength. Its density picture spreads the
// coverage of those pixels widely.
TEST(DensityStructure, SpreadsBrightnessWherePointsSaturate)
{
    std::srand(31);
    auto list = std::make_shared<TransformList>();
    for (int i = 0; i < 5; ++i)
        list->push_back(randomTransform());
    const FracPtr fractal = std::make_shared<QvFrac>(list, 3000000, _rgb_color{0, 0, 0, 0});
    DrawObserver points;
    points.seed = 8;
    const QImage plotted = hiResBitmapInsideRect(buildChaosTables(*fractal), fractal->iterations(),
                                                 QRectF(0, 0, 200, 200), &points);
    const QImage dense = density(fractal, {200, 200}, {}, 2);
    std::vector<double> coverage;
    for (const QPoint &p : otherThan(plotted, QRgba64::fromRgba64(0, 0, 0, 0))) {
        EXPECT_EQ(pixel(plotted, p.x(), p.y()).alpha(), 65535);
        coverage.push_back(pixel(dense, p.x(), p.y()).alpha() / 65535.0);
    }
    ASSERT_GT(coverage.size(), 1000u);
    std::sort(coverage.begin(), coverage.end());
    const double low = coverage[coverage.size() / 10], high = coverage[coverage.size() * 9 / 10];
    EXPECT_GT(high - low, 0.2) << low << " .. " << high;
    EXPECT_EQ(coverage.back(), 1.0);
}

// --- Buffers ----------------------------------------------------------------------

struct BufferCase {
    QSize size;
    int supersample;
    int threads;
    int walkers;
};

class DensityBuffers : public testing::TestWithParam<BufferCase>
{
};

TEST_P(DensityBuffers, FitWithinFourGibibytesWithFewerWalkersOrAreRefused)
{
    const BufferCase &c = GetParam();
    EXPECT_EQ(densityWalkers(c.size, c.supersample, c.threads), c.walkers);
    EXPECT_EQ(densitySizeError(QRectF(QPointF(0, 0), c.size), c.supersample).isEmpty(), c.walkers > 0);
}

// 16 bytes a sample: 10000 x 10000 is 1.6 GB a walker.
INSTANTIATE_TEST_SUITE_P(Sizes, DensityBuffers,
                         testing::Values(BufferCase{{4000, 4000}, 1, 2, 2}, BufferCase{{10000, 10000}, 1, 4, 2},
                                         BufferCase{{10000, 10000}, 2, 1, 0}, BufferCase{{8000, 8000}, 2, 2, 1},
                                         BufferCase{{0, 10}, 1, 1, 0}));

} // namespace
