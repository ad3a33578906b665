#include "EditorFixture.h"

#include <QPainterPath>

#include <cmath>
#include <numbers>
#include <vector>

using namespace attractor;
using namespace attractor::test;

namespace {

std::vector<QPointF> elementPoints(const QPainterPath &path)
{
    std::vector<QPointF> points;
    for (int i = 0; i < path.elementCount(); ++i)
        points.emplace_back(path.elementAt(i).x, path.elementAt(i).y);
    return points;
}

void expectNear(QPointF actual, QPointF expected, double tolerance = 1e-9)
{
    EXPECT_NEAR(actual.x(), expected.x(), tolerance) << "expected x of " << expected.x() << ", " << expected.y();
    EXPECT_NEAR(actual.y(), expected.y(), tolerance) << "expected y of " << expected.x() << ", " << expected.y();
}

} // namespace

TEST_F(EditorTest, ConvertsBetweenViewAndUserCoordinates)
{
    expectNear(view->convertToUserCoords({200, 200}), {0, 0});
    expectNear(view->convertToUserCoords({0, 0}), {-2, -2});
    expectNear(view->convertToUserCoords({400, 400}), {2, 2});
    EXPECT_NEAR(view->onePixelInUserCoords().width(), 0.01, 1e-9);
    EXPECT_NEAR(view->onePixelInUserCoords().height(), 0.01, 1e-9);
    for (const QPointF p : {QPointF(13.25, 377.5), QPointF(0.5, 399), QPointF(250, 1)})
        expectNear(view->convertFromUserCoords(view->convertToUserCoords(p)), p, 1e-12);

    // A wider canvas shows the same square at one scale, centred.
    view->resize(800, 400);
    expectNear(view->convertFromUserCoords({1, 1}), {500, 300});
    EXPECT_NEAR(view->onePixelInUserCoords().width(), 0.01, 1e-9);
    EXPECT_NEAR(view->onePixelInUserCoords().height(), 0.01, 1e-9);
}

struct GlyphCase {
    const char *name;
    QPointF scale;
    float rotation;
    // Move, two lines, curve (control, control, end), line: before the closing line.
    std::vector<QPointF> points;
    QPointF handleCentre;
    // The crosshairs' two strokes, whatever the scale; none given: not checked.
    std::vector<QPointF> crosshairs = {};
};

class GlyphGeometry : public EditorTest, public ::testing::WithParamInterface<GlyphCase> {};

TEST_P(GlyphGeometry, PathHasTheRoundedCornerWhereTheScalePointsIt)
{
    const GlyphCase &c = GetParam();
    const TransformPtr t = addMap({0, 0}, c.scale, c.rotation);
    const std::vector<QPointF> points = elementPoints(view->pathFromTransform(*t));
    ASSERT_GE(points.size(), c.points.size());
    for (size_t i = 0; i < c.points.size(); ++i) {
        SCOPED_TRACE(i);
        expectNear(points[i], c.points[i], 1e-4);
    }
    EXPECT_EQ(view->pathFromTransform(*t).fillRule(), Qt::WindingFill);
    const QRectF handle = view->selectionBoxFromTransform(*t).boundingRect();
    expectNear(handle.center(), c.handleCentre, 1e-4);
    if (c.rotation == 0.0f) {
        EXPECT_NEAR(handle.width(), 10, 1e-9);
        EXPECT_NEAR(handle.height(), 10, 1e-9);
    }
    const std::vector<QPointF> cross = elementPoints(view->crosshairsFromTransform(*t));
    if (!c.crosshairs.empty()) {
        ASSERT_EQ(cross.size(), c.crosshairs.size());
    }
    for (size_t i = 0; i < c.crosshairs.size(); ++i)
        expectNear(cross[i], c.crosshairs[i], 1e-4);
}

INSTANTIATE_TEST_SUITE_P(
    Editor, GlyphGeometry,
    ::testing::Values(
        GlyphCase{"Plain", {0.5, 0.5}, 0.0f,
                  {{150, 150}, {150, 250}, {244, 250}, {247, 250}, {250, 247}, {250, 244}, {250, 150}},
                  {250, 250}, {{195, 200}, {205, 200}, {200, 205}, {200, 195}}},
        GlyphCase{"MirroredInBoth", {-0.5, -0.5}, 0.0f,
                  {{250, 250}, {250, 150}, {156, 150}, {153, 150}, {150, 153}, {150, 156}, {150, 250}},
                  {150, 150}},
        GlyphCase{"TinyKeepsMinimumButHandleFollowsScale", {0.01, 0.03}, 0.0f,
                  {{195, 195}, {195, 205}, {199, 205}, {202, 205}, {205, 202}, {205, 199}, {205, 195}},
                  {201, 203}},
        GlyphCase{"TinyNegativeKeepsItsSign", {-0.02, 0}, 0.0f,
                  {{205, 195}, {205, 205}, {201, 205}, {198, 205}, {195, 202}, {195, 199}, {195, 195}},
                  {198, 200}},
        // A quarter turn puts the rounded corner at the top left and the
        // crosshairs' horizontal stroke upright.
        GlyphCase{"QuarterTurn", {0.5, 0.5}, static_cast<float>(std::numbers::pi / 2),
                  {{250, 150}, {150, 150}, {150, 244}, {150, 247}, {153, 250}, {156, 250}, {250, 250}},
                  {150, 250}, {{200, 195}, {200, 205}, {195, 200}, {205, 200}}}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(EditorTest, HandleIsRoundWhileOptionIsHeld)
{
    const TransformPtr t = addMap({0, 0});
    const QPainterPath square = view->selectionBoxFromTransform(*t);
    EXPECT_TRUE(square.contains(QPointF(254.5, 254.5)));

    QTest::keyPress(view, Qt::Key_Alt, Qt::AltModifier);
    EXPECT_TRUE(view->optionKeyDown());
    const QPainterPath circle = view->selectionBoxFromTransform(*t);
    EXPECT_FALSE(circle.contains(QPointF(254.5, 254.5)));
    EXPECT_TRUE(circle.contains(QPointF(254.5, 250)));
    EXPECT_NEAR(circle.boundingRect().width(), 10, 1e-6);

    QTest::keyRelease(view, Qt::Key_Alt, Qt::NoModifier);
    EXPECT_FALSE(view->optionKeyDown());
}

struct HitCase {
    const char *name;
    QPointF point;
    int expected; // index into the maps, -1 for none
};

class HitTesting : public EditorTest, public ::testing::WithParamInterface<HitCase> {};

TEST_P(HitTesting, FindsTheTopmostGlyphUnderThePoint)
{
    // 0: plain at the centre, selected; 1: overlapping it from the lower right,
    // drawn on top; 2: mirrored, at the lower left; 3: a quarter turn, at the upper left.
    view->setSelection(addMap({0, 0}).get());
    addMap({0.8, -0.8});
    addMap({-1.2, -1.2}, {-0.5, 0.5});
    addMap({-1.2, 1.2}, {0.5, 0.5}, static_cast<float>(std::numbers::pi / 2));
    const HitCase &c = GetParam();
    QvTransform *hit = view->transformUnderPoint(c.point);
    QvTransform *expected = c.expected < 0 ? nullptr : fractal->transforms()->at(c.expected).get();
    EXPECT_EQ(hit, expected);
}

INSTANTIATE_TEST_SUITE_P(
    Editor, HitTesting,
    ::testing::Values(HitCase{"JustInsideTheRoundedCorner", {245, 245}, 0},
                      HitCase{"InTheRoundedOffCorner", {249.5, 249.5}, -1},
                      HitCase{"OverlapGoesToTheLaterMap", {240, 160}, 1},
                      HitCase{"OnTheHandleOutsideTheGlyph", {253, 253}, -1},
                      HitCase{"MirroredSquareCornerIsInside", {129.5, 129.5}, 2},
                      HitCase{"MirroredRoundedCornerIsOutside", {30.5, 129.5}, -1},
                      HitCase{"TurnedRoundedCornerIsOutside", {30.5, 369.5}, -1},
                      HitCase{"TurnedSquareCornerIsInside", {129.5, 369.5}, 3}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(EditorTest, HitTestingWithoutMapsOrFractalFindsNothing)
{
    EXPECT_EQ(view->transformUnderPoint({200, 200}), nullptr);
    view->setFractal(nullptr);
    EXPECT_EQ(view->transformUnderPoint({200, 200}), nullptr);
}
