#include "model/QvFrac.h"
#include "model/QvTransform.h"

#include <gtest/gtest.h>

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
}

TEST(QvFrac, FractalsMadeFromOneListShareIt)
{
    auto list = std::make_shared<TransformList>();
    QvFrac a(list, 10, defaultRGBColor());
    QvFrac b(list, 20, defaultRGBColor());
    a.transforms()->push_back(std::make_shared<QvTransform>());
    EXPECT_EQ(b.transforms()->size(), 1u);
    EXPECT_EQ(a.transforms()->front(), b.transforms()->front());
}

TEST(QvFrac, IterationCountIsStoredUnchecked)
{
    QvFrac f;
    f.setIterations(0);
    EXPECT_EQ(f.iterations(), 0);
    f.setIterations(-5);
    EXPECT_EQ(f.iterations(), -5);
}

TEST(QvFrac, CloneIsIndependent)
{
    const FracPtr f = QvFrac::defaultFractal();
    const FracPtr copy = f->clone();
    f->transforms()->front()->setTranslation({0.5, 0.5});
    f->transforms()->pop_back();
    ASSERT_EQ(copy->transforms()->size(), 3u);
    EXPECT_EQ(copy->transforms()->front()->translation(), QPointF(-1, -1));
    EXPECT_EQ(copy->iterations(), 200000);
}
