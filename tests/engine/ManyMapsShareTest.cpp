#include "EngineTestFractals.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numeric>
#include <vector>

using namespace attractor;
using namespace attractor::test;

namespace {

// The generator yields 0 .. 2^31 - 1.
constexpr double kDraws = 2147483648.0;

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

// Each map's share is its area to the power of its probability (never under
// 0.01) against the sum, to within the rounding of each bound to a whole draw.
// A weight that is not a number gets no draws; infinite ones (0 to the power
// -1) share all draws equally; with no usable weight the last map takes all.
TEST(ManyMapsShare, EachMapGetsDrawsInProportionToItsWeight)
{
    // Up to 100 maps the game keeps drawing from the 100-slot table, the
    // last map taking what rounding leaves.
    EXPECT_TRUE(buildChaosTables(*makeFractal(variedMaps(100))).bound.empty());
    EXPECT_EQ(drawShares(buildChaosTables(*QvFrac::defaultFractal())), (std::vector{0.33, 0.33, 0.34}));
    std::vector<size_t> all(101);
    std::iota(all.begin(), all.end(), 0);
    // Maps, those whose weight is not a number, infinite ones.
    for (auto [count, notANumber, infinite] :
         {std::tuple{101, std::vector<size_t>{}, std::vector<size_t>{}}, {1000, {}, {}}, {120, {0, 3, 60, 119}, {}},
          {130, {90}, {7, 50, 129}}, {101, all, {}}}) {
        SCOPED_TRACE(testing::Message() << count << " maps");
        std::vector<MapSpec> maps = variedMaps(count);
        std::vector<double> expected;
        for (const MapSpec &m : maps)
            expected.push_back(std::max(0.01, std::pow(std::fabs(m.scale.x() * m.scale.y()), double(m.probability))));
        for (size_t i : notANumber) {
            maps[i].probability = std::numeric_limits<float>::quiet_NaN();
            expected[i] = 0;
        }
        if (!infinite.empty())
            expected.assign(maps.size(), 0.0);
        for (size_t i : infinite) {
            maps[i] = {.scale = {0, 0}, .probability = -1};
            expected[i] = 1;
        }
        if (notANumber.size() == maps.size())
            expected.back() = 1;
        const double sum = std::accumulate(expected.begin(), expected.end(), 0.0);
        const ChaosTables t = buildChaosTables(*makeFractal(maps));
        ASSERT_EQ(t.bound.size(), maps.size());
        EXPECT_EQ(t.bound.back(), 2147483648u);
        const std::vector<double> shares = drawShares(t);
        for (size_t i = 0; i < maps.size(); ++i)
            EXPECT_NEAR(shares[i], expected[i] / sum, (1.0 + 1e-5 * expected[i] / sum * kDraws) / kDraws) << i;
    }
}

} // namespace
