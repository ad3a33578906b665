#include "EditorFixture.h"

#include <cmath>
#include <numbers>
#include <vector>

using namespace attractor;
using namespace attractor::test;

namespace {
constexpr double kQuarterPi = std::numbers::pi / 4;
}

struct DragCase {
    const char *name;
    QPointF from;
    QPointF to;
    Qt::MouseButton button;
    Qt::KeyboardModifiers modifiers;
    QPointF scale;
    double rotation;
    QPointF translation;
    bool covered = false; // a second map at (0.5, 0.5) drawn over the handle
};

// One map at the centre, scale (0.5, 0.5), selected; its handle is at (250, 250).
class MouseDrag : public EditorTest, public ::testing::WithParamInterface<DragCase> {};

TEST_P(MouseDrag, ChangesTheSelectedMap)
{
    const DragCase &c = GetParam();
    const TransformPtr t = addMap({0, 0});
    const TransformPtr above = c.covered ? addMap({0.5, 0.5}) : nullptr;
    view->setSelection(t.get());
    if (above) {
        ASSERT_EQ(view->transformUnderPoint(c.from), above.get());
    }
    changes->clear();

    drag(c.from, c.to, c.button, c.modifiers);

    EXPECT_EQ(view->selection(), t.get());
    if (above) {
        EXPECT_EQ(above->scale(), QPointF(0.5, 0.5));
        EXPECT_EQ(above->translation(), QPointF(0.5, 0.5));
    }
    EXPECT_NEAR(t->scale().x(), c.scale.x(), 1e-3);
    EXPECT_NEAR(t->scale().y(), c.scale.y(), 1e-3);
    EXPECT_NEAR(t->rotation(), c.rotation, 1e-4);
    // A clamped move lands exactly on the range end.
    EXPECT_DOUBLE_EQ(t->translation().x(), c.translation.x());
    EXPECT_DOUBLE_EQ(t->translation().y(), c.translation.y());
    // One drag step, one change.
    EXPECT_EQ(changes->count(), 1);
    EXPECT_FALSE(view->scalingSelection());
}

INSTANTIATE_TEST_SUITE_P(
    Editor, MouseDrag,
    ::testing::Values(
        DragCase{"HandleScales", {250, 250}, {300, 220}, Qt::LeftButton, {}, {1.0, 0.2}, 0, {0, 0}},
        DragCase{"HandleBeatsAGlyphDrawnAboveIt", {250, 250}, {300, 220}, Qt::LeftButton, {}, {1.0, 0.2}, 0, {0, 0}, true},
        DragCase{"HandleAcrossTheCentreMirrors", {250, 250}, {150, 250}, Qt::LeftButton, {}, {-0.5, 0.5}, 0, {0, 0}},
        DragCase{"AltTurnsLeft", {250, 250}, {200, 270.71}, Qt::LeftButton, Qt::AltModifier, {0.5, 0.5}, kQuarterPi, {0, 0}},
        DragCase{"AltTurnsRight", {250, 250}, {270.71, 200}, Qt::LeftButton, Qt::AltModifier, {0.5, 0.5}, -kQuarterPi, {0, 0}},
        DragCase{"AltTurnsAndGrows", {250, 250}, {200, 341.42}, Qt::LeftButton, Qt::AltModifier, {1.0, 1.0}, kQuarterPi, {0, 0}},
        DragCase{"RightButtonTurns", {250, 250}, {200, 270.71}, Qt::RightButton, {}, {0.5, 0.5}, kQuarterPi, {0, 0}},
        DragCase{"GlyphMovesKeepingTheGrabPoint", {210, 190}, {300, 300}, Qt::LeftButton, {}, {0.5, 0.5}, 0, {0.9, 1.1}},
        DragCase{"MoveStopsAtTheRightEdge", {210, 190}, {1500, 300}, Qt::LeftButton, {}, {0.5, 0.5}, 0, {2.0, 1.1}},
        DragCase{"MoveStopsAtTheBottomLeft", {200, 200}, {-900, -900}, Qt::LeftButton, {}, {0.5, 0.5}, 0, {-2.0, -2.0}}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(EditorTest, RightPressUsesTheRoundHandle)
{
    const TransformPtr t = addMap({0, 0});
    view->setSelection(t.get());
    // Inside the square handle's corner but outside the circle: a glyph press, no handle.
    press({246, 246}, Qt::RightButton);
    EXPECT_FALSE(view->scalingSelection());
    EXPECT_TRUE(view->optionKeyDown());
    release({246, 246}, Qt::RightButton);
    // The release takes the real Alt key again.
    EXPECT_FALSE(view->optionKeyDown());
}

TEST_F(EditorTest, DragStepsSwitchBetweenScalingAndTurning)
{
    const TransformPtr t = addMap({0, 0});
    view->setSelection(t.get());
    press({250, 250});
    move({200, 270.71}, Qt::LeftButton, Qt::AltModifier);
    EXPECT_NEAR(t->rotation(), kQuarterPi, 1e-4);
    EXPECT_TRUE(view->optionKeyDown());
    // Without Alt the turn stays and the handle lands under the pointer.
    move({200, 341.42}, Qt::LeftButton);
    EXPECT_FALSE(view->optionKeyDown());
    EXPECT_NEAR(t->rotation(), kQuarterPi, 1e-4);
    EXPECT_NEAR(t->scale().x(), 1.0, 1e-3);
    EXPECT_NEAR(t->scale().y(), 1.0, 1e-3);
    release({200, 341});
    EXPECT_EQ(changes->count(), 2);
}

// Alt-drags of the handle of a map turned by 0.3: where the angle has no
// value the rotation stays, and rounding never turns it into NaN.
struct TurnCase {
    const char *name;
    QPointF scale;
    std::vector<QPointF> pointer; // user coordinates, one drag step each
    float rotation;
    double tolerance;
};

class TurningWithoutAngle : public EditorTest, public ::testing::WithParamInterface<TurnCase> {};

TEST_P(TurningWithoutAngle, NeverStoresNaN)
{
    const TurnCase &c = GetParam();
    const TransformPtr t = addMap({0, 0}, c.scale, 0.3f);
    view->setSelection(t.get());
    const QPointF handle = view->selectionBoxFromTransform(*t).boundingRect().center();
    press(handle, Qt::LeftButton, Qt::AltModifier);
    ASSERT_TRUE(view->scalingSelection());
    for (const QPointF u : c.pointer) {
        move(view->convertFromUserCoords(u), Qt::LeftButton, Qt::AltModifier);
        EXPECT_NEAR(t->rotation(), c.rotation, c.tolerance) << u.x() << ", " << u.y();
        EXPECT_FALSE(std::isnan(t->scale().x()) || std::isnan(t->scale().y()));
    }
    release(handle, Qt::LeftButton, Qt::AltModifier);
}

INSTANTIATE_TEST_SUITE_P(
    Editor, TurningWithoutAngle,
    ::testing::Values(TurnCase{"PointerOnTheCentre", {0.5, 0.5}, {{0, 0}}, 0.3f, 0},
                      TurnCase{"ZeroScaleAtThePress", {0, 0}, {{0.5, 0.5}}, 0.3f, 0},
                      TurnCase{"ParallelToTheScale", {0.3, 0.7},
                               {{0.15, 0.35}, {0.3, 0.7}, {0.51, 1.19}, {0.87, 2.03}, {0.99, 2.31}, {0.0369, 0.0861}},
                               0.0f, 1e-3}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(EditorTest, PressingSelectsWithoutCountingAChange)
{
    const TransformPtr a = addMap({-1, -1});
    const TransformPtr b = addMap({1, 1});
    paintsAfterEvents();

    press({100, 100});
    release({100, 100});
    EXPECT_EQ(view->selection(), a.get());
    EXPECT_GE(paintsAfterEvents(), 1);

    press({300, 300});
    release({300, 300});
    EXPECT_EQ(view->selection(), b.get());

    // Empty space clears the selection; a drag there changes nothing.
    drag({200, 380}, {250, 390});
    EXPECT_EQ(view->selection(), nullptr);
    EXPECT_EQ(a->translation(), QPointF(-1, -1));
    EXPECT_EQ(b->translation(), QPointF(1, 1));
    EXPECT_EQ(changes->count(), 0);
}

TEST_F(EditorTest, HoverMarksTheTopmostGlyphAndOnlyRepaints)
{
    const TransformPtr below = addMap({0, 0});
    const TransformPtr above = addMap({0.5, 0.5});
    paintsAfterEvents();
    const struct {
        QPointF at;
        QvTransform *hover;
        bool repaints;
    } steps[] = {{{20, 20}, nullptr, false},
                 {{160, 160}, below.get(), true},
                 {{170, 165}, below.get(), false},
                 {{240, 240}, above.get(), true},
                 {{380, 20}, nullptr, true}};
    for (const auto &step : steps) {
        move(step.at, Qt::NoButton);
        EXPECT_EQ(view->halfSelection(), step.hover) << step.at.x();
        EXPECT_EQ(paintsAfterEvents() > 0, step.repaints) << step.at.x();
    }
    EXPECT_EQ(changes->count(), 0);
}

TEST_F(EditorTest, DoubleClickOpensTheInfoPanelOnce)
{
    const TransformPtr t = addMap({0, 0});
    press({180, 180});
    release({180, 180});
    EXPECT_EQ(view->selection(), t.get());
    EXPECT_FALSE(view->infoPanel()->isVisible());

    QTest::mouseDClick(view, Qt::LeftButton, Qt::NoModifier, widgetPoint({180, 180}));
    EXPECT_FALSE(view->infoPanel()->isVisible()) << "opens on the release, not the press";
    release({180, 180});
    EXPECT_TRUE(view->infoPanel()->isVisible());
    EXPECT_EQ(view->infoFields().translation->text(), QStringLiteral("(0.000, 0.000)"));

    // A third click in a row is an ordinary press.
    view->infoPanel()->hide();
    press({180, 180});
    release({180, 180});
    EXPECT_FALSE(view->infoPanel()->isVisible());
    EXPECT_EQ(changes->count(), 0);

    // The info button opens the same floating panel.
    QTest::mouseClick(infoButton, Qt::LeftButton);
    EXPECT_TRUE(view->infoPanel()->isVisible());
    EXPECT_TRUE(view->infoPanel()->isWindow());
}
