#include "GlViewTestSupport.h"

using namespace attractor;
using namespace attractor::test;

namespace {

struct Shape {
    const char *name;
    QSize size;
};

class SquareCanvas : public ::testing::TestWithParam<Shape>
{
};

} // namespace

TEST_P(SquareCanvas, DrawsTheSquareCentredOverTheBackground)
{
    FracPtr fractal = QvFrac::defaultFractal();
    fractal->setIterations(40000);
    fractal->setBgColor({0.5f, 0.25f, 0.75f, 1.0f});
    auto view = shownView(GetParam().size, fractal);
    ASSERT_TRUE(waitForPicture(*view));
    const QImage shown = view->grabFramebuffer().convertToFormat(QImage::Format_RGBA8888);
    ASSERT_EQ(shown.size(), view->size() * view->devicePixelRatioF());

    const int side = std::min(shown.width(), shown.height());
    const QRect square((shown.width() - side) / 2, (shown.height() - side) / 2, side, side);
    EXPECT_EQ(view->pictureSquare().size(), square.size());
    const QRgb backdrop = qRgb(128, 64, 191);
    QRect litBounds;
    int backdropOutside = 0, outside = 0;
    for (int y = 0; y < shown.height(); ++y)
        for (int x = 0; x < shown.width(); ++x) {
            const QRgb pixel = shown.pixel(x, y);
            const bool lit = (pixel & 0xffffff) != (backdrop & 0xffffff);
            if (lit)
                litBounds |= QRect(x, y, 1, 1);
            if (!square.contains(x, y)) {
                ++outside;
                backdropOutside += !lit;
            }
        }
    EXPECT_EQ(backdropOutside, outside);
    // The default fractal's triangle spans the square, and only the square.
    EXPECT_TRUE(square.contains(litBounds));
    EXPECT_GE(litBounds.width(), side * 9 / 10);
    EXPECT_GE(litBounds.height(), side * 9 / 10);
}

INSTANTIATE_TEST_SUITE_P(Shapes, SquareCanvas,
                         ::testing::Values(Shape{"Wide", {300, 120}}, Shape{"Tall", {110, 260}}),
                         [](const auto &info) { return std::string(info.param.name); });
