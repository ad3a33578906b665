#include "EngineTestFractals.h"

#include "engine/GlibcRandom.h"

#include <gtest/gtest.h>

#include <bit>
#include <functional>
#include <cmath>
#include <limits>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <vector>

using namespace attractor;
using namespace attractor::test;

namespace {

// The generator yields 0 .. 2^31 - 1.
constexpr double kDraws = 2147483648.0;
const float nan = std::numeric_limits<float>::quiet_NaN();
const float inf = std::numeric_limits<float>::infinity();

// The weight rule written out in double: the map's area to the power of its
// probability, never under 0.01.
double expectedWeight(const MapSpec &m)
{
    const double w = std::pow(std::fabs(m.scale.x() * m.scale.y()), static_cast<double>(m.probability));
    return w < 0.01 ? 0.01 : w;
}

int64_t shareOf(const ChaosTables &t, size_t i)
{
    return int64_t(t.bound[i]) - (i > 0 ? int64_t(t.bound[i - 1]) : 0);
}

// The map a draw picks, written as the range rule: the first map whose bound
// lies above the draw.
int mapOfDraw(const std::vector<uint32_t> &bound, uint32_t draw)
{
    size_t i = 0;
    while (i < bound.size() && bound[i] <= draw)
        ++i;
    return static_cast<int>(i);
}

// --- How the 2^31 draws are shared. -----------------------------------------

struct ShareCase {
    const char *name;
    std::vector<MapSpec> maps;
};

void PrintTo(const ShareCase &c, std::ostream *os)
{
    *os << c.name;
}

class ManyMapsShare : public testing::TestWithParam<ShareCase> {};

TEST_P(ManyMapsShare, EachMapGetsDrawsInProportionToItsWeight)
{
    const std::vector<MapSpec> &maps = GetParam().maps;
    const ChaosTables t = buildChaosTables(*makeFractal(maps));
    const size_t n = maps.size();
    ASSERT_EQ(t.weight.size(), n);
    ASSERT_EQ(t.bound.size(), n);

    // The stored weights follow the rule (float against double).
    for (size_t i = 0; i < n; ++i)
        EXPECT_NEAR(t.weight[i], expectedWeight(maps[i]), 2e-6 * expectedWeight(maps[i])) << i;

    // Against the stored weights the split is exact up to the rounding of
    // each bound down to a whole draw: every bound within one draw of its
    // exact place, so every share within one draw of its exact size.
    double sum = 0.0;
    for (float w : t.weight)
        sum += w;
    double running = 0.0;
    for (size_t i = 0; i < n; ++i) {
        running += t.weight[i];
        const double exactBound = running / sum * kDraws;
        EXPECT_LE(double(t.bound[i]), exactBound + 1e-6) << i;
        EXPECT_GT(double(t.bound[i]), exactBound - 1.0) << i;
        if (i > 0) {
            ASSERT_GE(t.bound[i], t.bound[i - 1]) << i;
        }
        EXPECT_NEAR(double(shareOf(t, i)), double(t.weight[i]) / sum * kDraws, 1.0 + 1e-6) << i;
    }
    EXPECT_EQ(t.bound.back(), 2147483648u);
}

// Scales (some mirrored, some flat) and exponents that vary between
// neighbours, so that a weight taken from the wrong map shows.
std::vector<MapSpec> variedMaps(int count)
{
    const float exponents[] = {1.0f, 0.5f, 2.0f, 0.0f, 3.0f, -1.0f, 1.5f};
    std::vector<MapSpec> maps;
    for (int i = 0; i < count; ++i) {
        const double sx = (i % 7 + 1) / 8.0 * (i % 2 ? -1 : 1);
        const double sy = i % 11 == 0 ? 0.0 : (i % 5 + 1) / 5.5;
        float p = exponents[i % 7];
        // A flat map with a negative exponent would weigh infinitely much.
        if (sy == 0.0 && p < 0)
            p = 1.0f;
        maps.push_back({.scale = {sx, sy}, .probability = p});
    }
    return maps;
}

std::vector<MapSpec> equalMaps(int count)
{
    return std::vector<MapSpec>(static_cast<size_t>(count), MapSpec{});
}

// One map weighing 81 against many of the clamped 0.01 and a few of 1.
std::vector<MapSpec> oneHeavyMap(int count)
{
    std::vector<MapSpec> maps;
    for (int i = 0; i < count; ++i) {
        if (i == count / 3)
            maps.push_back({.scale = {3, -3}, .probability = 2});
        else
            maps.push_back({.scale = {0.05, 0.1}, .probability = i % 9 == 0 ? 0.0f : 1.0f});
    }
    return maps;
}

INSTANTIATE_TEST_SUITE_P(Weights, ManyMapsShare,
                         testing::Values(ShareCase{"Varied101", variedMaps(101)},
                                         ShareCase{"Varied150", variedMaps(150)},
                                         ShareCase{"Varied1000", variedMaps(1000)},
                                         ShareCase{"Equal101", equalMaps(101)},
                                         ShareCase{"Equal1000", equalMaps(1000)},
                                         ShareCase{"OneHeavy101", oneHeavyMap(101)},
                                         ShareCase{"OneHeavy1000", oneHeavyMap(1000)}),
                         [](const auto &info) { return std::string(info.param.name); });

// A map whose weight is not a number gets no draws; the others share them in
// proportion to their weights.
TEST(ManyMapsShareEdges, AMapWeighingNotANumberGetsNoDraws)
{
    std::vector<MapSpec> maps = variedMaps(120);
    for (size_t i : {0u, 3u, 60u, 119u})
        maps[i].probability = nan;
    const ChaosTables t = buildChaosTables(*makeFractal(maps));
    ASSERT_EQ(t.bound.size(), maps.size());
    double sum = 0.0;
    for (size_t i = 0; i < maps.size(); ++i)
        if (!std::isnan(maps[i].probability))
            sum += t.weight[i];
    for (size_t i = 0; i < maps.size(); ++i) {
        if (std::isnan(maps[i].probability)) {
            EXPECT_TRUE(std::isnan(t.weight[i])) << i;
            EXPECT_EQ(shareOf(t, i), 0) << i;
        } else {
            EXPECT_NEAR(double(shareOf(t, i)), double(t.weight[i]) / sum * kDraws, 1.0 + 1e-6) << i;
        }
    }
    EXPECT_EQ(t.bound.back(), 2147483648u);
}

// Infinite weights cannot be compared: those maps share all draws equally
// and the finite ones get none.
TEST(ManyMapsShareEdges, InfiniteWeightsShareAllDrawsEqually)
{
    std::vector<MapSpec> maps = variedMaps(130);
    // 0 to a negative power is infinite.
    for (size_t i : {7u, 50u, 129u})
        maps[i] = {.scale = {0, 0}, .probability = -1};
    maps[90].probability = nan;
    const ChaosTables t = buildChaosTables(*makeFractal(maps));
    ASSERT_EQ(t.bound.size(), maps.size());
    for (size_t i = 0; i < maps.size(); ++i) {
        if (i == 7 || i == 50 || i == 129) {
            EXPECT_TRUE(std::isinf(t.weight[i])) << i;
            EXPECT_NEAR(double(shareOf(t, i)), kDraws / 3, 1.0) << i;
        } else {
            EXPECT_EQ(shareOf(t, i), 0) << i;
        }
    }
    EXPECT_EQ(t.bound.back(), 2147483648u);
}

// With no usable weight at all the last map takes every draw, as it takes the
// table's leftovers with fewer maps.
TEST(ManyMapsShareEdges, WithNoUsableWeightTheLastMapTakesAllDraws)
{
    std::vector<MapSpec> maps = variedMaps(101);
    for (MapSpec &m : maps)
        m.probability = nan;
    const ChaosTables t = buildChaosTables(*makeFractal(maps));
    ASSERT_EQ(t.bound.size(), maps.size());
    for (size_t i = 0; i + 1 < maps.size(); ++i)
        EXPECT_EQ(t.bound[i], 0u) << i;
    EXPECT_EQ(t.bound.back(), 2147483648u);
}

// --- Which map each draw of the game picks. ---------------------------------

struct Point {
    float x, y;
};

std::vector<Point> play(const ChaosTables &tables, int32_t n, uint32_t seed)
{
    std::vector<Point> points;
    runChaosGame(tables, n, seed, [&](float x, float y, float, float, float) { points.push_back({x, y}); });
    return points;
}

// The generator's values for the game's iterations k = 1 .. n-1.
std::vector<uint32_t> drawsOf(uint32_t seed, int32_t n)
{
    GlibcRandom random(seed);
    std::vector<uint32_t> draws;
    for (int32_t k = 1; k < n; ++k)
        draws.push_back(static_cast<uint32_t>(random.next()));
    return draws;
}

// Constant maps put the walker exactly on the picked map's translation:
// map i sits at (i, 0). Weights of 1 (0 to the power 0), the clamped 0.01,
// and some that are not a number, in an irregular pattern.
std::vector<MapSpec> constantMaps(int count)
{
    std::vector<MapSpec> maps;
    for (int i = 0; i < count; ++i) {
        const float p = i % 13 == 4 ? nan : (i % 3 == 0 || i % 7 == 2) ? 0.0f : 1.0f;
        maps.push_back({.scale = {0, 0}, .translation = {double(i), 0}, .probability = p});
    }
    return maps;
}

// Every plotted point, the 1001st draw on, is where the picked map puts it:
// on its translation for a constant map; the one other kind of map used here
// lifts the walker by 1000, above every constant map.
void expectEachDrawPicksItsMap(const ChaosTables &t, const std::vector<Point> &points,
                               const std::vector<uint32_t> &draws, const std::function<int(uint32_t)> &rule)
{
    ASSERT_EQ(points.size() + kWarmUpIterations, draws.size());
    int wrong = 0;
    for (size_t p = 0; p < points.size() && wrong < 10; ++p) {
        const uint32_t draw = draws[p + kWarmUpIterations];
        const int expected = rule(draw);
        const _t_matrix &m = t.matrix[static_cast<size_t>(expected)];
        const bool constant = m.a == 0 && m.b == 0 && m.c == 0 && m.d == 0;
        if (constant ? points[p].x != m.tx || points[p].y != m.ty : points[p].y < 1000) {
            ++wrong;
            ADD_FAILURE() << "point " << p << " of draw " << draw << " at (" << points[p].x << ", " << points[p].y
                          << "), not on map " << expected;
        }
    }
}

TEST(ManyMapsDraws, EachDrawPicksTheMapWhoseRangeHoldsIt)
{
    for (int count : {101, 150, 1000}) {
        SCOPED_TRACE(count);
        const ChaosTables t = buildChaosTables(*makeFractal(constantMaps(count)));
        ASSERT_EQ(t.bound.size(), size_t(count));
        // Enough draws that every light map of up to 150 comes up some 15 times.
        const int32_t n = 1001 + (count <= 150 ? 100000 : 30000);
        const uint32_t seed = 17u + static_cast<uint32_t>(count);
        const std::vector<Point> points = play(t, n, seed);
        const std::vector<uint32_t> draws = drawsOf(seed, n);
        expectEachDrawPicksItsMap(t, points, draws, [&](uint32_t d) { return mapOfDraw(t.bound, d); });
        // The rule itself: maps weighing nothing never come up; the rest do.
        std::vector<int> picked(static_cast<size_t>(count), 0);
        for (const Point &point : points)
            ++picked[static_cast<size_t>(point.x)];
        for (int i = 0; i < count; ++i) {
            if (i % 13 == 4) {
                EXPECT_EQ(picked[size_t(i)], 0) << i;
            } else if (count <= 150) {
                EXPECT_GT(picked[size_t(i)], 0) << i;
            }
        }
    }
}

// Up to 100 maps the table serves and a draw picks slot draw % 100.
TEST(ManyMapsDraws, OneHundredMapsStillUseTheTable)
{
    std::vector<MapSpec> maps = constantMaps(100);
    // Weights of 1 and 0.01 only, so that the table gives most maps a slot.
    for (MapSpec &m : maps)
        if (std::isnan(m.probability))
            m.probability = 0;
    const ChaosTables t = buildChaosTables(*makeFractal(maps));
    EXPECT_TRUE(t.bound.empty());
    ASSERT_GT(std::set<int>(t.table.begin(), t.table.end()).size(), 40u);
    const int32_t n = 1001 + 5000;
    expectEachDrawPicksItsMap(t, play(t, n, 5), drawsOf(5, n), [&](uint32_t d) { return t.table[d % 100]; });
}

// Map 0 of 101 weighs w against 100 maps of 1: (w, 1) to the power 1 weighs
// exactly w. It lifts the walker by 1000, apart from every other map.
ChaosTables firstMapWeighing(float w)
{
    std::vector<MapSpec> maps = constantMaps(101);
    for (size_t i = 1; i < maps.size(); ++i)
        maps[i].probability = 0;
    maps[0] = {.scale = {double(w), 1}, .translation = {0, 1000}, .probability = 1};
    return buildChaosTables(*makeFractal(maps));
}

// The weight of map 0 that puts its bound exactly at `target`, if a float
// weight between 0.02 and 0.5 does.
std::optional<ChaosTables> firstBoundAt(uint32_t target)
{
    // Positive floats order as their bits do, and the bound grows with the
    // weight: bisect on the bits.
    uint32_t lo = std::bit_cast<uint32_t>(0.02f), hi = std::bit_cast<uint32_t>(0.5f);
    while (lo < hi) {
        const uint32_t mid = lo + (hi - lo) / 2;
        if (firstMapWeighing(std::bit_cast<float>(mid)).bound[0] < target)
            lo = mid + 1;
        else
            hi = mid;
    }
    ChaosTables t = firstMapWeighing(std::bit_cast<float>(lo));
    if (t.bound[0] != target)
        return std::nullopt;
    return t;
}

// A draw equal to a bound belongs to the next map; one below it to this map.
// Draws of the game are exact values of the generator, so the weight is
// chosen to put the bound on one of them.
TEST(ManyMapsDraws, ADrawOnABoundGoesToTheNextMap)
{
    const uint32_t seed = 11;
    const int32_t n = 1001 + 20000;
    const std::vector<uint32_t> draws = drawsOf(seed, n);
    const uint32_t reachableLo = firstMapWeighing(0.02f).bound[0] + 1;
    const uint32_t reachableHi = firstMapWeighing(0.5f).bound[0] - 1;
    // Some 0.5% of the draws: about a hundred to choose from.
    ASSERT_LT(reachableLo + 1000000u, reachableHi);
    ASSERT_LT(reachableHi, 20000000u);
    int checked[2] = {0, 0};
    for (size_t p = 0; p + kWarmUpIterations < draws.size() && (checked[0] < 2 || checked[1] < 2); ++p) {
        const uint32_t draw = draws[p + kWarmUpIterations];
        if (draw < reachableLo || draw >= reachableHi)
            continue;
        for (int onBound : {1, 0}) {
            if (checked[onBound] >= 2)
                continue;
            const std::optional<ChaosTables> t = firstBoundAt(draw + (onBound ? 0 : 1));
            if (!t)
                continue;
            ++checked[onBound];
            const std::vector<Point> points = play(*t, n, seed);
            ASSERT_GT(points.size(), p);
            // Map 1 sits at (1, 0); map 0 lifts the walker to 1000 or more.
            if (onBound)
                EXPECT_TRUE(points[p].x == 1.0f && points[p].y == 0.0f) << "draw " << draw << " on the bound";
            else
                EXPECT_GE(points[p].y, 1000.0f) << "draw " << draw << " just below the bound";
            expectEachDrawPicksItsMap(*t, points, draws, [&](uint32_t d) { return mapOfDraw(t->bound, d); });
        }
    }
    EXPECT_EQ(checked[1], 2);
    EXPECT_EQ(checked[0], 2);
}

} // namespace
