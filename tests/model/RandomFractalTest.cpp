#include "model/QvFrac.h"
#include "model/QvTransform.h"
#include "model/RandomFractal.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

using namespace attractor;

TEST(RandomFractal, MapCountFollowsTheFirstDraw)
{
    EXPECT_EQ(randomMapCount(std::nextafter(1 / 2.999, 0.0)), 3u);
    EXPECT_EQ(randomMapCount(1 / 2.999 + 1e-12), 4u);
    EXPECT_EQ(randomMapCount(std::nextafter(2 / 2.999, 0.0)), 4u);
    EXPECT_EQ(randomMapCount(2 / 2.999 + 1e-12), 5u);
    EXPECT_EQ(randomMapCount(1.0), 5u);
}

TEST(RandomFractal, SeedIsWholeSecondsLowBits)
{
    EXPECT_EQ(seedFromReferenceSeconds(12.9), 12u);
    EXPECT_EQ(seedFromReferenceSeconds(4294967296.0 + 7.5), 7u);
    // Now is about 25 years after the reference date.
    EXPECT_GT(secondsSinceReferenceDate(), 7.0e8);
}

TEST(RandomFractal, DrawOrderIsColourTranslationRotationScale)
{
    std::srand(1234);
    double draws[8];
    for (double &d : draws)
        d = randomFloat();
    std::srand(1234);
    const auto t = randomTransform();
    EXPECT_EQ(t->rgb(), (_rgb_color{float(draws[0]), float(draws[1]), float(draws[2]), 1.0f}));
    EXPECT_EQ(t->translation(), QPointF(draws[3] * 2 - 1, draws[4] * 2 - 1));
    EXPECT_EQ(t->rotation(), static_cast<float>(draws[5] * 3.141592653589793 * 2));
    EXPECT_EQ(t->scale(), QPointF(draws[6] * (0.9 - 0.15) + 0.15, draws[7] * (0.9 - 0.15) + 0.15));
    EXPECT_TRUE(t->autoProbability());

    const FracPtr f = QvFrac::randomFractalWithCount(7);
    EXPECT_EQ(f->transforms()->size(), 7u);
    EXPECT_EQ(f->iterations(), 100000);
    EXPECT_EQ(f->bgColor(), (_rgb_color{0, 0, 0, 1}));
}
