#include "EngineTestFractals.h"

#include <gtest/gtest.h>

#include <limits>
#include <set>

using namespace attractor;
using namespace attractor::test;

namespace {

struct TableCase {
    const char *name;
    std::vector<MapSpec> maps;
    std::vector<int> slotsPerMap;
};

class SelectionTable : public testing::TestWithParam<TableCase> {};

TEST_P(SelectionTable, GivesEachMapItsShareOfSlotsInListOrder)
{
    const TableCase &c = GetParam();
    const ChaosTables tables = buildChaosTables(*makeFractal(c.maps));
    std::vector<int> counted(c.maps.size(), 0);
    for (int slot = 0; slot < 100; ++slot) {
        ASSERT_GE(tables.table[slot], slot ? tables.table[slot - 1] : 0);
        ASSERT_LT(tables.table[slot], static_cast<int>(c.maps.size()));
        ++counted[static_cast<size_t>(tables.table[slot])];
    }
    EXPECT_EQ(counted, c.slotsPerMap);
}

const float inf = std::numeric_limits<float>::infinity();
const float nan = std::numeric_limits<float>::quiet_NaN();

INSTANTIATE_TEST_SUITE_P(
    Weights, SelectionTable,
    testing::Values(
        // The rounding leftover goes to the last map.
        TableCase{"ThreeEqualMaps", {{}, {}, {}}, {33, 33, 34}},
        // A weight of 0 is raised to 0.01.
        TableCase{"ZeroScale", {{.scale = {0, 0.5}}, {}}, {3, 97}},
        // 0 to the power 0 is 1.
        TableCase{"ZeroScaleZeroProbability", {{.scale = {0, 0.5}, .probability = 0}, {}}, {80, 20}},
        TableCase{"MirroredScaleWeighsByItsArea", {{.scale = {-0.75, 1}}, {.scale = {0.25, 1}}}, {75, 25}},
        TableCase{"ProbabilityIsAnExponentOnTheArea", {{.probability = 2}, {}}, {20, 80}},
        TableCase{"NegativeProbability", {{.scale = {0, 0.5}, .probability = -1}, {}}, {0, 100}},
        TableCase{"NotANumber", {{.probability = nan}, {}}, {0, 100}},
        TableCase{"Infinite", {{.scale = {1e30, 1e30}, .probability = inf}, {}}, {0, 100}}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(ChaosGame, EachIterationTakesTheMapOfSlotRandModulo100AndBlendsItsColour)
{
    // Constant maps put the walker exactly on the chosen map's translation.
    const ChaosTables tables = buildChaosTables(
        *makeFractal({{.scale = {0, 0}, .translation = {-1, 0.5}, .colour = {1, 0, 0, 1}, .probability = 0},
                      {.scale = {0, 0}, .translation = {1.5, -1}, .colour = {0, 0, 1, 1}, .probability = 0}}));
    std::srand(3);
    std::vector<int> drawn;
    for (int k = 1; k < 1400; ++k)
        drawn.push_back(std::rand() % 100);
    struct Point {
        float x, y, red, green, blue;
    };
    std::vector<Point> points;
    runChaosGame(tables, 1400, 3, [&](float x, float y, float r, float g, float b) { points.push_back({x, y, r, g, b}); });
    ASSERT_EQ(points.size(), 399u);
    for (size_t p = 0; p < points.size(); ++p) {
        const bool first = drawn[p + 1000] < 50;
        EXPECT_EQ(points[p].x, first ? -1.0f : 1.5f) << p;
        EXPECT_EQ(points[p].y, first ? 0.5f : -1.0f) << p;
        // The mean of the map's colour and the previous point's.
        if (p > 0) {
            EXPECT_FLOAT_EQ(points[p].red, ((first ? 1 : 0) + points[p - 1].red) / 2) << p;
        }
        EXPECT_FLOAT_EQ(points[p].red + points[p].blue, 1.0f) << p;
        EXPECT_EQ(points[p].green, 0.0f);
    }
}

// However the walkers share the plotted points between them, they plot as
// many as one walker would, each from its own seed.
TEST(Walkers, EachWarmsUpFromItsOwnSeedAndThePlottedPointsAddUpToOneWalkers)
{
    const ChaosTables tables = buildChaosTables(*QvFrac::defaultFractal());
    for (auto [n, threads, expected] : {std::tuple{0, 4, 1}, {50000, 4, 1}, {301000, 4, 2}, {2000000, 3, 3},
                                        {2000001, 0, 1}, {2147483647, 16, 16}}) {
        const int workers = chaosWorkerCount(n, threads);
        EXPECT_EQ(workers, expected) << n;
        std::set<uint32_t> seeds;
        for (int w = 0; w < workers; ++w)
            seeds.insert(chaosWorkerSeed(123, w));
        EXPECT_EQ(seeds.size(), size_t(workers));
        if (n > 2000001)
            continue;
        struct Count {
            int64_t points = 0;
            void operator()(float, float, float, float, float) { ++points; }
        };
        std::vector<Count> plots(static_cast<size_t>(workers));
        ChaosRun run;
        runChaosGame(tables, n, run, std::span<Count>(plots));
        int64_t plotted = 0;
        for (const Count &c : plots)
            plotted += c.points;
        EXPECT_EQ(plotted, std::max(0, n - kWarmUpIterations - 1)) << n;
    }
    EXPECT_EQ(chaosWorkerSeed(123, 0), 123u);
}

// At 200 x 200 the default attractor is saturated, so pictures from other
// random sequences light the same pixels bar a few.
TEST(Walkers, SeveralLightThePixelsThatOneLightsAndCountTheSameProgress)
{
    const FracPtr fractal = QvFrac::defaultFractal();
    fractal->setIterations(2000000);
    std::set<std::pair<int, int>> lit[2];
    for (int threads : {1, 3}) {
        int increments = 0;
        DrawObserver observer;
        observer.progressIncrement = [&] { ++increments; };
        observer.threads = threads;
        observer.seed = 99;
        for (const QPoint &p : pixelsOtherThan(draw(fractal, {200, 200}, &observer), rgba16(fractal->bgColor())))
            lit[threads / 3].emplace(p.x(), p.y());
        EXPECT_EQ(increments, 95) << threads;
    }
    ASSERT_GT(lit[0].size(), 5000u);
    size_t shared = 0;
    for (const auto &p : lit[1])
        shared += lit[0].count(p);
    EXPECT_GE(shared, 0.998 * lit[0].size());
    EXPECT_GE(shared, 0.998 * lit[1].size());
}

// Constant maps, each on its own pixel of a side x side grid, every third
// weighing 1 and the others the clamped 0.01: more maps than table slots.
TEST(ManyMaps, EveryMapIsDrawnInTheExport)
{
    for (int side : {11, 32}) {
        const int count = side == 11 ? 101 : 1000;
        std::vector<MapSpec> maps;
        for (int i = 0; i < count; ++i)
            maps.push_back({.scale = {0, 0},
                            .translation = {-2 + 4 * (i % side + 0.5) / side, 2 - 4 * (i / side + 0.5) / side},
                            .probability = i % 3 == 0 ? 0.0f : 1.0f});
        // A light map takes 1 draw in 34 * count: each gets some 29 points.
        const FracPtr fractal = makeFractal(maps, 1001 + 1000 * count);
        const QByteArray png = hiResImageData(kImageFormatPNG, buildChaosTables(*fractal), fractal->iterations(),
                                              QRectF(0, 0, side, side), ExportCallbacks{});
        EXPECT_EQ(pixelsOtherThan(QImage::fromData(png, "PNG"), rgba16(fractal->bgColor())).size(), size_t(count));
    }
}

} // namespace
