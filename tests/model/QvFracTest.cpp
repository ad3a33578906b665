#include "model/QvFrac.h"
#include "model/QvTransform.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

using namespace attractor;

TEST(QvFrac, DefaultFractalIsTheColouredSierpinskiTriangle)
{
    const FracPtr f = QvFrac::defaultFractal();
    ASSERT_EQ(f->transforms()->size(), 3u);
    EXPECT_EQ(f->iterations(), 200000);
    EXPECT_EQ(f->bgColor(), (_rgb_color{0, 0, 0, 1}));
    const QPointF translations[] = {{-1, -1}, {1, -1}, {0, 1}};
    const _rgb_color colours[] = {{0, 1, 0, 1}, {0, 0, 1, 1}, {1, 0, 0, 1}};
    for (int i = 0; i < 3; ++i) {
        const QvTransform &t = *f->transforms()->at(i);
        EXPECT_EQ(t.scale(), QPointF(0.5, 0.5));
        EXPECT_EQ(t.rotation(), 0.0f);
        EXPECT_EQ(t.translation(), translations[i]);
        EXPECT_EQ(t.rgb(), colours[i]);
        EXPECT_TRUE(t.autoProbability());
    }
    // A clone shares no map with its original.
    const FracPtr copy = f->clone();
    f->transforms()->front()->setTranslation({0.5, 0.5});
    f->transforms()->pop_back();
    ASSERT_EQ(copy->transforms()->size(), 3u);
    EXPECT_EQ(copy->transforms()->front()->translation(), QPointF(-1, -1));
    EXPECT_EQ(copy->iterations(), 200000);
}

TEST(QvTransform, AutoProbabilityIsExactlyOne)
{
    QvTransform t;
    EXPECT_EQ(t.rgb(), (_rgb_color{0, 0, 0, 1}));
    EXPECT_TRUE(t.autoProbability());
    t.setProbability(std::nextafter(1.0f, 0.0f));
    EXPECT_FALSE(t.autoProbability());
    t.setProbability(NAN);
    EXPECT_FALSE(t.autoProbability());
}

TEST(QvTransform, MatrixNarrowsToFloatAndKeepsTheAngleError)
{
    // The 32-bit angle is slightly above pi/2, so cos is tiny and negative, not zero.
    const _t_matrix m = QvTransform(QPointF(2, 3), static_cast<float>(std::numbers::pi / 2), QPointF(1, -1), {})
                            .transformMatrix();
    EXPECT_NEAR(m.a, -8.742278e-08f, 1e-13);
    EXPECT_FLOAT_EQ(m.b, -2.0f);
    EXPECT_FLOAT_EQ(m.c, 3.0f);
    EXPECT_NEAR(m.d, -1.3113416e-07f, 1e-13);
    EXPECT_EQ(m.tx, 1.0f);
    EXPECT_EQ(m.ty, -1.0f);
    // 1/3 narrowed to float first; b is -sx * sin 0, a zero of the opposite sign to sx.
    const _t_matrix n = QvTransform(QPointF(1.0 / 3.0, -0.5), 0.0f, QPointF(0.1, 0.2), {}).transformMatrix();
    EXPECT_EQ(n.a, static_cast<float>(1.0 / 3.0));
    EXPECT_EQ(n.d, -0.5f);
    EXPECT_TRUE(n.b == 0.0f && std::signbit(n.b));
    EXPECT_EQ(n.tx, 0.1f);
}
