#include "model/QvTransform.h"

#include <gtest/gtest.h>

#include <QColor>

#include <cmath>
#include <numbers>

using namespace attractor;

TEST(QvTransform, PlainConstructorDefaults)
{
    const QvTransform t;
    EXPECT_EQ(t.scale(), QPointF(0.5, 0.5));
    EXPECT_EQ(t.rotation(), 0.0f);
    EXPECT_EQ(t.translation(), QPointF(0, 0));
    EXPECT_EQ(t.rgb(), (_rgb_color{0, 0, 0, 1}));
    EXPECT_EQ(t.probability(), 1.0f);
    EXPECT_TRUE(t.autoProbability());
}

TEST(QvTransform, AutoProbabilityIsExactlyOne)
{
    QvTransform t;
    t.setProbability(std::nextafter(1.0f, 0.0f)); // 0.99999994
    EXPECT_FALSE(t.autoProbability());
    t.setProbability(NAN);
    EXPECT_FALSE(t.autoProbability());
    t.setProbability(1.0f);
    EXPECT_TRUE(t.autoProbability());
}

TEST(QvTransform, MatrixOfQuarterTurnKeepsTheFloatAngleError)
{
    const QvTransform t(QPointF(2, 3), static_cast<float>(std::numbers::pi / 2), QPointF(1, -1), {});
    const _t_matrix m = t.transformMatrix();
    // The 32-bit angle is slightly above pi/2, so cos is tiny and negative, not zero.
    EXPECT_NE(m.a, 0.0f);
    EXPECT_NEAR(m.a, -8.742278e-08f, 1e-13);
    EXPECT_FLOAT_EQ(m.b, -2.0f);
    EXPECT_FLOAT_EQ(m.c, 3.0f);
    EXPECT_NEAR(m.d, -1.3113416e-07f, 1e-13);
    EXPECT_EQ(m.tx, 1.0f);
    EXPECT_EQ(m.ty, -1.0f);
}

TEST(QvTransform, MatrixNarrowsScaleBeforeMultiplying)
{
    // 1/3 narrowed to float first, then multiplied by cos 0 = 1 in doubles.
    const QvTransform t(QPointF(1.0 / 3.0, -0.5), 0.0f, QPointF(0.1, 0.2), {});
    const _t_matrix m = t.transformMatrix();
    EXPECT_EQ(m.a, static_cast<float>(1.0 / 3.0));
    EXPECT_EQ(m.d, -0.5f);
    // b is -sx * sin 0: a zero of the opposite sign to sx.
    EXPECT_EQ(m.b, 0.0f);
    EXPECT_TRUE(std::signbit(m.b));
    EXPECT_FALSE(std::signbit(m.c) && m.c != 0.0f);
    EXPECT_EQ(m.tx, 0.1f);
    EXPECT_EQ(m.ty, 0.2f);
}

TEST(QvTransform, ColourThatIsNotRgbStoresTransparentBlack)
{
    QvTransform t;
    t.setColor(QColor());
    EXPECT_EQ(t.rgb(), (_rgb_color{0, 0, 0, 0}));
    t.setColor(QColor::fromRgbF(0, 0.5f, 1, 1));
    EXPECT_FLOAT_EQ(t.rgb().b, 1.0f);
    EXPECT_NEAR(t.rgb().g, 0.5f, 1e-4);
}
