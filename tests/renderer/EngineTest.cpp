#include "EngineTestFractals.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace attractor;
using namespace attractor::test;

namespace {

// --- Selection table -------------------------------------------------------

struct TableCase {
    const char *name;
    std::vector<MapSpec> maps;
    std::vector<int> slotsPerMap;
};

std::vector<MapSpec> equalMaps(int count)
{
    return std::vector<MapSpec>(static_cast<size_t>(count), MapSpec{});
}

class SelectionTable : public testing::TestWithParam<TableCase> {};

TEST_P(SelectionTable, GivesEachMapItsShareOfSlotsInListOrder)
{
    const TableCase &c = GetParam();
    const ChaosTables tables = buildChaosTables(*makeFractal(c.maps));
    const int n = static_cast<int>(c.maps.size());
    ASSERT_EQ(tables.share.size(), c.maps.size());

    std::vector<int> counted(c.maps.size(), 0);
    int previous = 0;
    for (int slot = 0; slot < 100; ++slot) {
        const int map = tables.table[slot];
        ASSERT_GE(map, 0);
        ASSERT_LT(map, n);
        // Slots are handed out map by map, so the table never steps back.
        EXPECT_GE(map, previous) << "slot " << slot;
        previous = map;
        ++counted[static_cast<size_t>(map)];
    }
    EXPECT_EQ(counted, c.slotsPerMap);
    // Rounding leftovers always go to the last map.
    EXPECT_EQ(tables.table[99], n - 1);
}

INSTANTIATE_TEST_SUITE_P(
    Weights, SelectionTable,
    testing::Values(
        TableCase{"ThreeEqualMapsLeaveTheLastSlotToTheThird", equalMaps(3), {33, 33, 34}},
        // Weights 0.01 (clamped) and 0.25: 3 and 96 slots, the leftover to the last.
        TableCase{"ZeroScaleWithPositiveProbability",
                  {{.scale = {0, 0.5}, .probability = 1}, {.scale = {0.5, 0.5}}}, {3, 97}},
        // 0 to the power 0 is 1: weights 1 and 0.25.
        TableCase{"ZeroScaleWithZeroProbability",
                  {{.scale = {0, 0.5}, .probability = 0}, {.scale = {0.5, 0.5}}}, {80, 20}},
        TableCase{"MirroredScaleWeighsByItsAbsoluteArea", {{.scale = {-0.75, 1}}, {.scale = {0.25, 1}}}, {75, 25}},
        TableCase{"ZeroProbabilityEverywhereGivesEqualWeights",
                  {{.scale = {0.9, 0.9}, .probability = 0}, {.scale = {0.1, 0.1}, .probability = 0}}, {50, 50}},
        // 0.25 squared against 0.25: weights 0.0625 and 0.25.
        TableCase{"ProbabilityIsAnExponentOnTheArea",
                  {{.scale = {0.5, 0.5}, .probability = 2}, {.scale = {0.5, 0.5}}}, {20, 80}},
        TableCase{"MoreThanTenMaps", equalMaps(12), {8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 12}}),
    [](const testing::TestParamInfo<TableCase> &info) { return std::string(info.param.name); });

TEST(SelectionTable, NonFiniteWeightsStillPickAValidMap)
{
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    for (const std::vector<MapSpec> &maps :
         {std::vector<MapSpec>{{.scale = {0, 0.5}, .probability = -1}, {}},
          std::vector<MapSpec>{{.probability = nan}, {}, {}},
          std::vector<MapSpec>{{.scale = {1e30, 1e30}, .probability = inf}, {}}}) {
        const ChaosTables tables = buildChaosTables(*makeFractal(maps));
        for (int slot = 0; slot < 100; ++slot) {
            EXPECT_GE(tables.table[slot], 0);
            EXPECT_LT(tables.table[slot], static_cast<int>(maps.size()));
        }
    }
}

TEST(SelectionTable, NoMapsGiveNothingToPlot)
{
    const ChaosTables tables = buildChaosTables(*makeFractal({}, 100000));
    EXPECT_TRUE(tables.empty());
    EXPECT_TRUE(recordPlots(tables, 100000).empty());
}

// --- The iteration -----------------------------------------------------------

class PlotCount : public testing::TestWithParam<int32_t> {};

// A draw takes exactly one value of the process-wide generator, its seed,
// whatever its length.
TEST_P(PlotCount, FirstThousandPositionsAreWarmUpAndTheDrawTakesOneSeedFromRand)
{
    const int32_t n = GetParam();
    std::srand(11);
    std::rand();
    const int next = std::rand();

    std::srand(11);
    const ChaosTables tables = buildChaosTables(*QvFrac::defaultFractal());
    const size_t expected = n > 1001 ? static_cast<size_t>(n - 1001) : 0;
    EXPECT_EQ(recordPlots(tables, n).size(), expected);
    EXPECT_EQ(std::rand(), next);
}

INSTANTIATE_TEST_SUITE_P(Iterations, PlotCount, testing::Values(-7, 1001, 1002, 4321));

TEST(ChaosGame, EachIterationTakesTheMapOfSlotRandModulo100AndBlendsItsColour)
{
    // Constant maps put the walker exactly on the chosen map's translation.
    const ChaosTables tables = buildChaosTables(*makeFractal(
        {{.scale = {0, 0}, .translation = {-1, 0.5}, .colour = {1, 0, 0, 1}, .probability = 0},
         {.scale = {0, 0}, .translation = {1.5, -1}, .colour = {0, 0, 1, 1}, .probability = 0}}));
    constexpr int32_t n = 1400;
    std::srand(3);
    std::vector<int> drawnSlots;
    for (int k = 1; k < n; ++k)
        drawnSlots.push_back(std::rand() % 100);

    const std::vector<PlottedPoint> points = recordPlots(tables, n, 3);
    ASSERT_EQ(points.size(), static_cast<size_t>(n - 1001));
    int mixed = 0;
    for (size_t p = 0; p < points.size(); ++p) {
        const bool first = drawnSlots[p + 1000] < 50;
        EXPECT_EQ(points[p].x, first ? -1.0f : 1.5f) << p;
        EXPECT_EQ(points[p].y, first ? 0.5f : -1.0f) << p;
        // Each point's colour is the mean of its map's and the previous point's.
        EXPECT_FLOAT_EQ(points[p].red + points[p].blue, 1.0f) << p;
        EXPECT_EQ(points[p].green, 0.0f);
        EXPECT_EQ(points[p].red > 0.5f, first) << p;
        mixed += points[p].red > 0.5f && points[p].red < 1.0f;
    }
    EXPECT_GT(mixed, 100);
}

TEST(ChaosGame, FirstPlottedPointIsThePositionAfterTheWarmUp)
{
    // A quarter turn about (0.5, 0.5) has period 4 from the origin:
    // (1, 0), (1, 1), (0, 1), (0, 0), ... so iteration 1001 is at (1, 0).
    const ChaosTables tables = buildChaosTables(*makeFractal(
        {{.scale = {1, 1}, .translation = {1, 0}, .colour = {0.5, 0.25, 1, 1}, .rotation = float(M_PI / 2)}}));
    const std::vector<PlottedPoint> points = recordPlots(tables, 1003);
    ASSERT_EQ(points.size(), 2u);
    EXPECT_NEAR(points[0].x, 1.0, 1e-3);
    EXPECT_NEAR(points[0].y, 0.0, 1e-3);
    EXPECT_NEAR(points[1].x, 1.0, 1e-3);
    EXPECT_NEAR(points[1].y, 1.0, 1e-3);
    // After a thousand halvings only the map's colour is left of the black start.
    EXPECT_FLOAT_EQ(points[0].red, 0.5f);
    EXPECT_FLOAT_EQ(points[0].green, 0.25f);
    EXPECT_FLOAT_EQ(points[0].blue, 1.0f);
}

// --- Known attractors --------------------------------------------------------

// Signed area test: which side of the edge a -> b the point p lies on.
double side(double ax, double ay, double bx, double by, double px, double py)
{
    return (bx - ax) * (py - ay) - (by - ay) * (px - ax);
}

TEST(KnownAttractor, DefaultFractalStaysInItsTriangleAndOutOfTheHole)
{
    std::srand(1);
    const std::vector<PlottedPoint> points = recordPlots(buildChaosTables(*QvFrac::defaultFractal()), 200000);
    ASSERT_EQ(points.size(), 200000u - 1001u);
    constexpr double eps = 1e-4;
    int inLowerLeft = 0, inLowerRight = 0, inTop = 0;
    for (const PlottedPoint &p : points) {
        // Counter-clockwise corners (-2, -2), (2, -2), (0, 2).
        ASSERT_GE(side(-2, -2, 2, -2, p.x, p.y), -eps);
        ASSERT_GE(side(2, -2, 0, 2, p.x, p.y), -eps);
        ASSERT_GE(side(0, 2, -2, -2, p.x, p.y), -eps);
        // The central hole has corners (0, -2), (1, 0), (-1, 0): never strictly inside.
        const bool inHole = side(0, -2, 1, 0, p.x, p.y) > eps && side(1, 0, -1, 0, p.x, p.y) > eps
                            && side(-1, 0, 0, -2, p.x, p.y) > eps;
        ASSERT_FALSE(inHole) << p.x << ", " << p.y;
        inLowerLeft += p.y < 0 && p.x < 0;
        inLowerRight += p.y < 0 && p.x > 0;
        inTop += p.y > 0;
        // The last map's colour dominates: green, blue and red corners.
        if (p.y < -0.01 && p.x < -0.01) {
            EXPECT_GE(p.green, 0.5f);
        }
        if (p.y > 0.01) {
            EXPECT_GE(p.red, 0.5f);
        }
    }
    // Equal areas, equal weights: each corner holds about a third.
    for (int part : {inLowerLeft, inLowerRight, inTop})
        EXPECT_NEAR(part / double(points.size()), 1.0 / 3, 0.02);
}

} // namespace
