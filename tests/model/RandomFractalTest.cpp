#include "model/QvFrac.h"
#include "model/QvTransform.h"
#include "model/RandomFractal.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

using namespace attractor;

TEST(RandomFractal, MapCountFollowsTheFirstDraw)
{
    EXPECT_EQ(randomMapCount(0.0), 3u);
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
    EXPECT_EQ(seedFromReferenceSeconds(0.0), 0u);
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
    EXPECT_EQ(t->rgb().r, static_cast<float>(draws[0]));
    EXPECT_EQ(t->rgb().g, static_cast<float>(draws[1]));
    EXPECT_EQ(t->rgb().b, static_cast<float>(draws[2]));
    EXPECT_EQ(t->rgb().a, 1.0f);
    EXPECT_EQ(t->translation().x(), draws[3] * 2 - 1);
    EXPECT_EQ(t->translation().y(), draws[4] * 2 - 1);
    EXPECT_EQ(t->rotation(), static_cast<float>(draws[5] * 3.141592653589793 * 2));
    EXPECT_EQ(t->scale().x(), draws[6] * (0.9 - 0.15) + 0.15);
    EXPECT_EQ(t->scale().y(), draws[7] * (0.9 - 0.15) + 0.15);
    EXPECT_EQ(t->probability(), 1.0f);
}

TEST(RandomFractal, RandomMapsStayInTheirRanges)
{
    const FracPtr f = QvFrac::randomFractalWithCount(200);
    ASSERT_EQ(f->transforms()->size(), 200u);
    EXPECT_EQ(f->iterations(), 100000);
    EXPECT_EQ(f->bgColor(), (_rgb_color{0, 0, 0, 1}));
    for (const TransformPtr &t : *f->transforms()) {
        EXPECT_GE(t->scale().x(), 0.15);
        EXPECT_LE(t->scale().x(), 0.9);
        EXPECT_GE(t->scale().y(), 0.15);
        EXPECT_LE(t->scale().y(), 0.9);
        EXPECT_GE(t->translation().x(), -1.0);
        EXPECT_LE(t->translation().x(), 1.0);
        EXPECT_GE(t->translation().y(), -1.0);
        EXPECT_LE(t->translation().y(), 1.0);
        EXPECT_GE(t->rotation(), 0.0f);
        EXPECT_LE(t->rotation(), static_cast<float>(2 * 3.141592653589793));
        EXPECT_EQ(t->rgb().a, 1.0f);
        EXPECT_TRUE(t->autoProbability());
    }
}

TEST(RandomFractal, SameSecondGivesSameMaps)
{
    // Both calls reseed from the clock; retry if a second boundary fell between them.
    for (int attempt = 0; attempt < 5; ++attempt) {
        const unsigned before = seedFromReferenceSeconds(secondsSinceReferenceDate());
        const FracPtr a = QvFrac::randomFractalWithCount(4);
        const FracPtr b = QvFrac::randomFractalWithCount(4);
        const unsigned after = seedFromReferenceSeconds(secondsSinceReferenceDate());
        if (before != after)
            continue;
        for (int i = 0; i < 4; ++i) {
            const QvTransform &x = *a->transforms()->at(i);
            const QvTransform &y = *b->transforms()->at(i);
            EXPECT_EQ(x.scale(), y.scale());
            EXPECT_EQ(x.translation(), y.translation());
            EXPECT_EQ(x.rotation(), y.rotation());
            EXPECT_EQ(x.rgb(), y.rgb());
        }
        return;
    }
    FAIL() << "clock kept crossing second boundaries";
}

TEST(RandomFractal, RandomFractalHasThreeToFiveMaps)
{
    for (int i = 0; i < 20; ++i) {
        std::srand(static_cast<unsigned>(i * 7919));
        const size_t n = QvFrac::randomFractal()->transforms()->size();
        EXPECT_GE(n, 3u);
        EXPECT_LE(n, 5u);
    }
    EXPECT_TRUE(QvFrac::randomFractalWithCount(0)->transforms()->empty());
}
