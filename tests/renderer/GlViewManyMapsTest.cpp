#include "GlViewTestSupport.h"

#include <QImage>

using namespace attractor;
using namespace attractor::test;

namespace {

class GlViewManyMaps : public ::testing::TestWithParam<MyOpenGLView::PointPath>
{
};

// 101 constant maps, each on the centre of its own 10 x 10 cell of a square
// canvas: more maps than the selection table has slots, and every one of them
// lights its pixel on screen.
TEST_P(GlViewManyMaps, EveryMapIsDrawn)
{
    constexpr int kSide = 11;
    constexpr int kMaps = 101;
    std::vector<MapSpec> maps;
    for (int i = 0; i < kMaps; ++i)
        maps.push_back({.scale = {0, 0},
                        .translation = {-2 + 4 * (i % kSide + 0.5) / kSide, 2 - 4 * (i / kSide + 0.5) / kSide}});
    auto view = shownView({kSide * 10, kSide * 10}, makeFractal(maps, 200000));
    view->setPointPath(GetParam());
    const QImage image = view->openGLBitmapInsideRect(QRectF(view->rect())).convertToFormat(QImage::Format_RGB32);
    int lit = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            lit += image.pixel(x, y) != qRgb(0, 0, 0);
    EXPECT_EQ(lit, kMaps);
}

INSTANTIATE_TEST_SUITE_P(Paths, GlViewManyMaps,
                         ::testing::Values(MyOpenGLView::PointPath::CpuImage, MyOpenGLView::PointPath::GlPoints),
                         [](const auto &info) {
                             return info.param == MyOpenGLView::PointPath::CpuImage ? "CpuImage" : "GlPoints";
                         });

} // namespace
