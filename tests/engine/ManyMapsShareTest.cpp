#include "EngineTestFractals.h"

#include "engine/GlibcRandom.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <numeric>
#include <vector>

using namespace attractor;
using namespace attractor::test;

namespace {

// The generator yields 0 .. 2^31 - 1.
constexpr double kDraws = 2147483648.0;
const float nan = std::numeric_limits<float>::quiet_NaN();

// Scales (some mirrored, some flat) and exponents that vary between
// neighbours, so that a weight taken from the wrong map shows; the flat maps
// weigh the clamped 0.01.
std::vector<MapSpec> variedMaps(int count)
{
    const float exponents[] = {1.0f, 0.5f, 2.0f, 0.0f, 3.0f, 1.5f};
    std::vector<MapSpec> maps;
    for (int i = 0; i < count; ++i)
        maps.push_back({.scale = {(i % 7 + 1) / 8.0 * (i % 2 ? -1 : 1), i % 11 == 0 ? 0.0 : (i % 5 + 1) / 5.5},
                        .probability = exponents[i % 6]});
    return maps;
}

struct ShareCase {
    int count;
    std::vector<size_t> notANumber; // weights that are not a number: no draws
    std::vector<size_t> infinite;   // 0 to the power -1: all draws, shared equally
    std::vector<double> expected;   // each map's share of the draws, as a fraction
};

// Each map's share is its area to the power of its probability (never under
// 0.01) against the sum, to within the rounding of each bound to a whole draw.
TEST(ManyMapsShare, EachMapGetsDrawsInProportionToItsWeight)
{
    auto proportional = [](int count, std::vector<size_t> skip) {
        std::vector<double> w;
        for (const MapSpec &m : variedMaps(count))
            w.push_back(std::max(0.01, std::pow(std::fabs(m.scale.x() * m.scale.y()), double(m.probability))));
        for (size_t i : skip)
            w[i] = 0;
        const double sum = std::accumulate(w.begin(), w.end(), 0.0);
        for (double &x : w)
            x /= sum;
        return w;
    };
    std::vector<double> lastOnly(101, 0.0), thirds(130, 0.0);
    lastOnly.back() = 1;
    for (size_t i : {7u, 50u, 129u})
        thirds[i] = 1.0 / 3;
    std::vector<size_t> all(101);
    std::iota(all.begin(), all.end(), 0);
    const ShareCase cases[] = {
        {101, {}, {}, proportional(101, {})},
        {1000, {}, {}, proportional(1000, {})},
        {120, {0, 3, 60, 119}, {}, proportional(120, {0, 3, 60, 119})},
        {130, {90}, {7, 50, 129}, thirds},
        {101, all, {}, lastOnly}, // no usable weight: the last map takes all
    };
    // Up to 100 maps the game keeps drawing from the 100-slot table.
    EXPECT_TRUE(buildChaosTables(*makeFractal(variedMaps(100))).bound.empty());
    for (const ShareCase &c : cases) {
        SCOPED_TRACE(testing::Message() << c.count << " maps");
        std::vector<MapSpec> maps = variedMaps(c.count);
        for (size_t i : c.notANumber)
            maps[i].probability = nan;
        for (size_t i : c.infinite)
            maps[i] = {.scale = {0, 0}, .probability = -1};
        const ChaosTables t = buildChaosTables(*makeFractal(maps));
        ASSERT_EQ(t.bound.size(), maps.size());
        EXPECT_EQ(t.bound.back(), 2147483648u);
        for (size_t i = 0; i < maps.size(); ++i) {
            const double share = double(t.bound[i]) - (i > 0 ? double(t.bound[i - 1]) : 0.0);
            EXPECT_NEAR(share, c.expected[i] * kDraws, 1.0 + 1e-5 * c.expected[i] * kDraws) << i;
        }
    }
}

// Map 0 of 101 weighs w against 100 maps of 1 and lifts the walker by 1000;
// map i > 0 is constant at (i, 0).
ChaosTables firstMapWeighing(float w)
{
    std::vector<MapSpec> maps{{.scale = {double(w), 1}, .translation = {0, 1000}, .probability = 1}};
    for (int i = 1; i <= 100; ++i)
        maps.push_back({.scale = {0, 0}, .translation = {double(i), 0}, .probability = 0});
    return buildChaosTables(*makeFractal(maps));
}

// A draw equal to a bound belongs to the next map; one below it to this map.
// Map 0's weight is bisected (positive floats order as their bits do) to put
// its bound exactly on a draw of the game, or one above it.
TEST(ManyMapsShare, ADrawOnABoundGoesToTheNextMap)
{
    const uint32_t seed = 11;
    const int32_t n = kWarmUpIterations + 1 + 20000;
    GlibcRandom random(seed);
    std::vector<uint32_t> draws(n - 1); // the draws of iterations 1 .. n-1
    for (uint32_t &d : draws)
        d = static_cast<uint32_t>(random.next());
    const uint32_t reachableLo = firstMapWeighing(0.02f).bound[0] + 1, reachableHi = firstMapWeighing(0.5f).bound[0];
    int checked[2] = {0, 0}; // draws just below a bound, draws on one
    for (size_t p = 0; p + kWarmUpIterations < draws.size() && (checked[0] < 2 || checked[1] < 2); ++p) {
        const uint32_t draw = draws[p + kWarmUpIterations];
        for (int onBound = 0; onBound < 2 && draw >= reachableLo && draw < reachableHi; ++onBound) {
            uint32_t lo = std::bit_cast<uint32_t>(0.02f), hi = std::bit_cast<uint32_t>(0.5f);
            while (lo < hi) {
                const uint32_t mid = lo + (hi - lo) / 2;
                (firstMapWeighing(std::bit_cast<float>(mid)).bound[0] < draw + 1 - onBound ? lo = mid + 1 : hi = mid);
            }
            const ChaosTables t = firstMapWeighing(std::bit_cast<float>(lo));
            if (t.bound[0] != draw + 1 - onBound || checked[onBound]++ >= 2)
                continue;
            float x = 0, y = 0;
            size_t at = 0;
            runChaosGame(t, n, seed, [&](float px, float py, float, float, float) {
                if (at++ == p)
                    x = px, y = py;
            });
            // Map 1 sits at (1, 0); map 0 lifts the walker to 1000 or more.
            EXPECT_TRUE(onBound ? x == 1.0f && y == 0.0f : y >= 1000.0f) << "draw " << draw << ", on bound " << onBound;
        }
    }
    EXPECT_GE(checked[0], 2);
    EXPECT_GE(checked[1], 2);
}

} // namespace
