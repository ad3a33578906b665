#include "model/Colour.h"
#include "model/QvFrac.h"
#include "model/QvTransform.h"
#include "model/RandomFractal.h"
#include "model/View.h"
#include "engine/PixelMapping.h"

#include <gtest/gtest.h>

#include <QColor>
#include <QLineF>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <vector>
#include <numbers>

using namespace attractor;

TEST(Colour, ConversionThroughQColorKeepsComponentsUnclamped)
{
    // QColor keeps 16 bits a channel: the way back is within half a step.
    const _rgb_color samples[] = {{0, 0.5f, 1, 1}, {0.1f, 0.2f, 0.3f, 0.4f}, {1.5f, -0.25f, 0.5f, 1}};
    for (const _rgb_color &c : samples) {
        const _rgb_color back = rgbColorFromColor(colorFromRGBColor(c));
        for (const auto channel : {&_rgb_color::r, &_rgb_color::g, &_rgb_color::b, &_rgb_color::a})
            EXPECT_NEAR(back.*channel, c.*channel, 0.5 / 65535) << c.r;
    }
    EXPECT_EQ(rgbColorFromColor(QColor::fromCmykF(0, 1, 1, 0)), (_rgb_color{1, 0, 0, 1}));
    EXPECT_EQ(rgbColorFromColor(QColor()), (_rgb_color{0, 0, 0, 0}));
}

TEST(QvFrac, DefaultFractalIsTheColouredSierpinskiTriangleAndANewMapBlack)
{
    const FracPtr f = QvFrac::defaultFractal();
    ASSERT_EQ(f->transforms()->size(), 3u);
    EXPECT_EQ(f->iterations(), 200000);
    EXPECT_EQ(f->bgColor(), (_rgb_color{0, 0, 0, 1}));
    const QPointF translations[] = {{-1, -1}, {1, -1}, {0, 1}};
    const _rgb_color colours[] = {{0, 1, 0, 1}, {0, 0, 1, 1}, {1, 0, 0, 1}};
    for (int i = 0; i < 3; ++i) {
        const QvTransform &t = *f->transforms()->at(i);
        EXPECT_TRUE(t.scale() == QPointF(0.5, 0.5) && t.rotation() == 0.0f && t.autoProbability()) << i;
        EXPECT_EQ(t.translation(), translations[i]);
        EXPECT_EQ(t.rgb(), colours[i]);
    }
    // A new map is black and its probability automatic: exactly one, nothing near it.
    QvTransform t;
    EXPECT_TRUE(t.rgb() == (_rgb_color{0, 0, 0, 1}) && t.autoProbability());
    for (const float p : {std::nextafter(1.0f, 0.0f), NAN}) {
        t.setProbability(p);
        EXPECT_FALSE(t.autoProbability()) << p;
    }
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
    EXPECT_TRUE(m.tx == 1.0f && m.ty == -1.0f);
    // 1/3 narrowed to float first; b is -sx * sin 0, a zero of the opposite sign to sx.
    const _t_matrix n = QvTransform(QPointF(1.0 / 3.0, -0.5), 0.0f, QPointF(0.1, 0.2), {}).transformMatrix();
    EXPECT_EQ(n.a, static_cast<float>(1.0 / 3.0));
    EXPECT_EQ(n.d, -0.5f);
    EXPECT_TRUE(n.b == 0.0f && std::signbit(n.b));
    EXPECT_EQ(n.tx, 0.1f);
}

// Every linear part, mirrored and singular ones too, comes back from the
// parameters to within a few float steps of its largest entry.
TEST(QvTransform, EveryMatrixRoundTripsThroughItsParameters)
{
    std::vector<_t_matrix> cases{
        {0, 0, 0, 0, 0, 0},        {0, 1, 0, 0, 1, 2},     {1, 2, 2, 4, 0, 0},      {0, 0, 3, -4, 0, 0},
        {-1, 0, 0, 1, 0.5f, 0},    {0.85f, 0.04f, -0.04f, 0.85f, 0, 1.6f},          {0, 0, 0, 0.16f, 0, 0},
        {0.2f, -0.26f, 0.23f, 0.22f, 0, 1.6f}, {-0.15f, 0.28f, 0.26f, 0.24f, 0, 0.44f}, {1e-30f, 0, 0, 1e30f, 0, 0},
    };
    std::srand(7);
    const auto draw = [] { return static_cast<float>(std::rand()) / RAND_MAX * 4.0f - 2.0f; };
    for (int i = 0; i < 2000; ++i) {
        _t_matrix m{draw(), draw(), draw(), draw(), draw(), draw()};
        if (i % 4 == 1) // rank one: the second row a multiple of the first
            m.c = m.a * 0.5f, m.d = m.b * 0.5f;
        cases.push_back(m);
    }
    for (const _t_matrix &m : cases) {
        const QvTransform t = QvTransform::fromMatrix(m);
        const _t_matrix n = t.transformMatrix();
        const float size = std::max({std::abs(m.a), std::abs(m.b), std::abs(m.c), std::abs(m.d)});
        const float tolerance = 4 * std::numeric_limits<float>::epsilon() * size;
        SCOPED_TRACE(testing::Message() << m.a << ' ' << m.b << ' ' << m.c << ' ' << m.d);
        for (const auto entry : {&_t_matrix::a, &_t_matrix::b, &_t_matrix::c, &_t_matrix::d})
            EXPECT_NEAR(n.*entry, m.*entry, tolerance);
        EXPECT_TRUE(n.tx == m.tx && n.ty == m.ty);
    }
    // A shear without a turn is the upper right entry; a turned map keeps its
    // old matrix until sheared.
    QvTransform t(QPointF(0.5, 0.25), 0.0f, QPointF(), {});
    t.setShear(0.75f);
    const _t_matrix s = t.transformMatrix();
    EXPECT_TRUE(s.a == 0.5f && s.b == 0.75f && s.c == 0.0f && s.d == 0.25f);
    EXPECT_EQ(QvTransform::fromMatrix(s).shear(), 0.75f);
    // Of the two angles half a turn apart, the one nearest the hint is kept;
    // the other negates the scales.
    const _t_matrix turned = QvTransform(QPointF(0.5, 0.25), 0.3f, QPointF(), {}).transformMatrix();
    for (const auto &[near, angle, sign] : {std::tuple{0.2, 0.3, 1.0}, {3.0, 0.3 + std::numbers::pi, -1.0},
                                            {-2.0, 0.3 - std::numbers::pi, -1.0}, {6.5, 0.3 + 2 * std::numbers::pi, 1.0}}) {
        t.setLinearPart(turned, near);
        EXPECT_NEAR(t.rotation(), angle, 1e-6) << near;
        EXPECT_NEAR(t.scale().y(), 0.25 * sign, 1e-6) << near;
    }
}

// The first draw sets the map count, the clock the seed; then colour, translation, rotation and scale are drawn.
TEST(RandomFractal, MapCountSeedAndDrawOrder)
{
    for (const auto &[draw, count] : {std::pair{std::nextafter(1 / 2.999, 0.0), 3u}, {1 / 2.999 + 1e-12, 4u},
                                      {std::nextafter(2 / 2.999, 0.0), 4u}, {2 / 2.999 + 1e-12, 5u}, {1.0, 5u}})
        EXPECT_EQ(randomMapCount(draw), count) << draw;
    // The seed is the low bits of whole seconds since the reference date.
    EXPECT_EQ(seedFromReferenceSeconds(12.9), 12u);
    EXPECT_EQ(seedFromReferenceSeconds(4294967296.0 + 7.5), 7u);
    // Now is about 25 years after the reference date.
    EXPECT_GT(secondsSinceReferenceDate(), 7.0e8);
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
    EXPECT_TRUE(f->transforms()->size() == 7u && f->iterations() == 100000);
    EXPECT_EQ(f->bgColor(), (_rgb_color{0, 0, 0, 1}));
}

// Zooming keeps the anchor's pixel on any window, capped zoom included;
// views are clamped; a fitted rectangle is centred, its longer side 95%.
TEST(View, ZoomKeepsTheAnchorsPixelPanClampAndFit)
{
    const auto distance = [](QPointF a, QPointF b) { return QLineF(a, b).length(); };
    for (const QSizeF size : {QSizeF(400, 400), QSizeF(640, 200), QSizeF(90, 300)})
        for (const View &from : {View(), View{{0.5, -1}, 3}, View{{-2, 4}, 0.25}, View{{1, 1}, kMaxZoom / 2}})
            for (const QPointF p : {QPointF(0, 0), QPointF(1.5, -0.7), QPointF(-3, 2)})
                for (const double factor : {kZoomStep, 1 / kZoomStep, 10.0}) {
                    const View to = zoomedAbout(from, p, factor);
                    EXPECT_DOUBLE_EQ(to.zoom, std::min(from.zoom * factor, kMaxZoom));
                    const QPointF pixel = viewFrame(size, from).toPixels(p);
                    EXPECT_LT(distance(viewFrame(size, to).toPixels(p), pixel), 1e-6) << p.x() << " " << factor;
                    EXPECT_LT(distance(viewFrame(size, to).toDocument(pixel), p), 1e-9);
                }
    EXPECT_EQ(pannedBy(View{{1, 1}, 2}, {0.5, -3}), (View{{1.5, -2}, 2}));
    const double inf = std::numeric_limits<double>::infinity(), nan = std::nan("");
    for (const auto &[in, out] : {std::pair{View{{1, 2}, 3}, View{{1, 2}, 3}}, {View{{0, 0}, 1e9}, View{{0, 0}, kMaxZoom}},
                                  {View{{0, 0}, 1e-3}, View{{0, 0}, kMinZoom}}, {View{{nan, 5}, -2}, View{{0, 5}, 1}},
                                  {View{{-inf, -1e7}, nan}, View{{0, -kMaxViewCentre}, 1}}, {View{{1, 1}, inf}, View{{1, 1}, 1}},
                                  {zoomedAbout(View{{1, 1}, 2}, {3, 3}, nan), View{{1, 1}, 2}}, {pannedBy(View(), {2e6, 0}), View{{kMaxViewCentre, 0}, 1}},
                                  {viewFitting(QRectF(2, 3, 0, 0)), View{{2, 3}, 1}}, {viewFitting(QRectF(0, 0, inf, 1)), View()},
                                  {viewFitting(QRectF(0, 0, 1e-12, 0)), View{{5e-13, 0}, kMaxZoom}}})
        EXPECT_EQ(clampedView(in), out) << in.centre.x() << " " << in.zoom;
    for (const QRectF r : {QRectF(-1, -1, 2, 2), QRectF(0.5, 1, 0.1, 0.02), QRectF(3, -4, -1, 8)}) {
        const PixelMapping m = viewFrame(QSizeF(1000, 1000), viewFitting(r));
        const QRectF px = QRectF(m.toPixels(r.topLeft()), m.toPixels(r.bottomRight())).normalized();
        EXPECT_NEAR(std::max(px.width(), px.height()), 950, 1e-6);
        EXPECT_LT(distance(px.center(), {500, 500}), 1e-6);
    }
}
