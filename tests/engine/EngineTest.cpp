#include "EngineTestFractals.h"

#include <gtest/gtest.h>

#include <limits>
#include <set>

using namespace attractor;
using namespace attractor::test;

namespace {

TEST(SelectionTable, GivesEachMapItsShareOfSlotsInListOrder)
{
    const float inf = std::numeric_limits<float>::infinity(), nan = std::numeric_limits<float>::quiet_NaN();
    const std::pair<std::vector<MapSpec>, std::vector<int>> cases[] = {
        {{{}, {}, {}}, {33, 33, 34}},                                // the rounding leftover goes to the last map
        {{{.scale = {0, 0.5}}, {}}, {3, 97}},                        // a weight of 0 is raised to 0.01
        {{{.scale = {0, 0.5}, .probability = 0}, {}}, {80, 20}},     // 0 to the power 0 is 1
        {{{.scale = {-0.75, 1}}, {.scale = {0.25, 1}}}, {75, 25}},   // a mirrored map weighs by its area
        {{{.probability = 2}, {}}, {20, 80}},                        // the probability is an exponent on the area
        {{{.scale = {0, 0.5}, .probability = -1}, {}}, {0, 100}},
        {{{.probability = nan}, {}}, {0, 100}},
        {{{.scale = {1e30, 1e30}, .probability = inf}, {}}, {0, 100}}};
    for (const auto &[maps, slotsPerMap] : cases) {
        const ChaosTables tables = buildChaosTables(*makeFractal(maps));
        std::vector<int> counted(maps.size(), 0);
        for (int slot = 0; slot < 100; ++slot) {
            ASSERT_GE(tables.table[slot], slot ? tables.table[slot - 1] : 0);
            ++counted.at(static_cast<size_t>(tables.table[slot]));
        }
        EXPECT_EQ(counted, slotsPerMap);
    }
}

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
    std::vector<std::array<float, 4>> points; // x, y, red, blue
    runChaosGame(tables, 1400, 3, [&](float x, float y, float r, float, float b) { points.push_back({x, y, r, b}); });
    ASSERT_EQ(points.size(), 399u);
    for (size_t p = 1; p < points.size(); ++p) {
        const float first = drawn[p + 1000] < 50 ? 1.0f : 0.0f;
        EXPECT_EQ(points[p][0], first ? -1.0f : 1.5f) << p;
        EXPECT_EQ(points[p][1], first ? 0.5f : -1.0f) << p;
        // The mean of the map's colour and the previous point's.
        EXPECT_FLOAT_EQ(points[p][2], (first + points[p - 1][2]) / 2) << p;
        EXPECT_FLOAT_EQ(points[p][3], (1 - first + points[p - 1][3]) / 2) << p;
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
        std::set<uint32_t> seeds{chaosWorkerSeed(123, 0)};
        for (int w = 1; w < workers; ++w)
            seeds.insert(chaosWorkerSeed(123, w));
        EXPECT_EQ(seeds.size(), size_t(workers));
        if (n > 2000001)
            continue;
        int64_t plotted = 0;
        std::vector<std::function<void(float, float, float, float, float)>> plots(
            size_t(workers), [&plotted](float, float, float, float, float) { std::atomic_ref(plotted)++; });
        runChaosGame(tables, n, ChaosRun{}, std::span(plots));
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
        const QImage image = draw(fractal, {200, 200}, {.threads = threads, .seed = 99}, &observer);
        for (const QPoint &p : pixelsOtherThan(image, rgba16(fractal->bgColor())))
            lit[threads / 3].emplace(p.x(), p.y());
        EXPECT_EQ(increments, 95) << threads;
    }
    ASSERT_GT(lit[0].size(), 5000u);
    size_t shared = 0;
    for (const auto &p : lit[1])
        shared += lit[0].count(p);
    EXPECT_GE(shared, 0.998 * std::max(lit[0].size(), lit[1].size()));
}

} // namespace
