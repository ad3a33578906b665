#include "EditorFixture.h"

#include <cmath>
#include <numbers>

using namespace attractor;
using namespace attractor::test;

namespace {
constexpr double kEighth = std::numbers::pi / 4;
}

// Drags of the selected map at the centre, scale 0.5, handle at (250, 250).
TEST_F(EditorTest, DragScalesTurnsAndMovesTheSelectedMap)
{
    const struct {
        QPointF from, to;
        Qt::MouseButton button;
        Qt::KeyboardModifiers modifiers;
        QPointF scale;
        double rotation;
        QPointF translation;
        bool covered; // a second map at (0.5, 0.5) drawn over the handle
    } cases[] = {
        {{250, 250}, {300, 220}, Qt::LeftButton, {}, {1.0, 0.2}, 0, {0, 0}, false},
        {{250, 250}, {300, 220}, Qt::LeftButton, {}, {1.0, 0.2}, 0, {0, 0}, true},
        {{250, 250}, {200, 270.71}, Qt::LeftButton, Qt::AltModifier, {0.5, 0.5}, kEighth, {0, 0}, false},
        {{250, 250}, {270.71, 200}, Qt::LeftButton, Qt::AltModifier, {0.5, 0.5}, -kEighth, {0, 0}, false},
        {{250, 250}, {200, 270.71}, Qt::RightButton, {}, {0.5, 0.5}, kEighth, {0, 0}, false},
        // A moved glyph keeps the grab point and stops exactly on the edges.
        {{210, 190}, {300, 300}, Qt::LeftButton, {}, {0.5, 0.5}, 0, {0.9, 1.1}, false},
        {{210, 190}, {1500, 300}, Qt::LeftButton, {}, {0.5, 0.5}, 0, {2.0, 1.1}, false},
        {{200, 200}, {-900, -900}, Qt::LeftButton, {}, {0.5, 0.5}, 0, {-2.0, -2.0}, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << c.to.x() << ", " << c.to.y() << (c.covered ? " covered" : ""));
        fractal->transforms()->clear();
        const TransformPtr t = selectNewMap({0, 0});
        const TransformPtr above = c.covered ? addMap({0.5, 0.5}) : nullptr;
        drag(c.from, c.to, c.button, c.modifiers);
        EXPECT_EQ(view->selection(), t.get());
        EXPECT_NEAR(t->scale().x(), c.scale.x(), 1e-3);
        EXPECT_NEAR(t->scale().y(), c.scale.y(), 1e-3);
        EXPECT_NEAR(t->rotation(), c.rotation, 1e-4);
        EXPECT_EQ(t->translation(), c.translation);
        if (above) {
            EXPECT_EQ(above->translation(), QPointF(0.5, 0.5));
        }
        EXPECT_EQ(changes.count(), 1) << "one drag step, one change";
        EXPECT_FALSE(view->scalingSelection());
    }
}

TEST_F(EditorTest, DragStepsSwitchBetweenScalingAndTurning)
{
    const TransformPtr t = selectNewMap({0, 0});
    press({250, 250});
    move({200, 270.71}, Qt::LeftButton, Qt::AltModifier);
    EXPECT_NEAR(t->rotation(), kEighth, 1e-4);
    // Without Alt the turn stays and the handle lands under the pointer.
    move({200, 341.42}, Qt::LeftButton);
    EXPECT_NEAR(t->rotation(), kEighth, 1e-4);
    EXPECT_NEAR(t->scale().x(), 1.0, 1e-3);
    EXPECT_NEAR(t->scale().y(), 1.0, 1e-3);
    release({200, 341});
    EXPECT_EQ(changes.count(), 2);
}

// Alt-drags where the angle has no value keep the rotation and never store NaN.
TEST_F(EditorTest, TurningWithoutAnAngleNeverStoresNaN)
{
    for (const auto &[scale, pointer, rotation] :
         {std::tuple{QPointF(0.5, 0.5), std::vector<QPointF>{{0, 0}}, 0.3f},
          std::tuple{QPointF(0, 0), std::vector<QPointF>{{0.5, 0.5}}, 0.3f},
          std::tuple{QPointF(0.3, 0.7), std::vector<QPointF>{{0.15, 0.35}, {0.3, 0.7}, {0.87, 2.03}, {0.0369, 0.0861}}, 0.0f}}) {
        const TransformPtr t = selectNewMap({0, 0}, scale, 0.3f);
        const QPointF handle = view->selectionBoxFromTransform(*t).boundingRect().center();
        press(handle, Qt::LeftButton, Qt::AltModifier);
        ASSERT_TRUE(view->scalingSelection());
        for (const QPointF u : pointer) {
            move(view->convertFromUserCoords(u), Qt::LeftButton, Qt::AltModifier);
            EXPECT_NEAR(t->rotation(), rotation, 1e-3) << u.x() << ", " << u.y();
            EXPECT_FALSE(std::isnan(t->scale().x()) || std::isnan(t->scale().y()));
        }
        release(handle, Qt::LeftButton, Qt::AltModifier);
    }
}

TEST_F(EditorTest, PressingAndHoveringSelectWithoutCountingAChange)
{
    const TransformPtr a = addMap({0, 0});
    const TransformPtr b = addMap({0.5, 0.5});
    click({160, 160});
    EXPECT_EQ(view->selection(), a.get());
    click({240, 240}); // where b lies over a
    EXPECT_EQ(view->selection(), b.get());
    for (const auto &[at, hover] : {std::pair{QPointF(160, 160), a.get()}, std::pair{QPointF(240, 240), b.get()},
                                    std::pair{QPointF(380, 20), static_cast<QvTransform *>(nullptr)}}) {
        move(at, Qt::NoButton);
        EXPECT_EQ(view->halfSelection(), hover) << at.x();
    }
    // Empty space clears the selection; a drag there changes nothing.
    drag({200, 380}, {250, 390});
    EXPECT_EQ(view->selection(), nullptr);
    EXPECT_EQ(a->translation(), QPointF(0, 0));
    EXPECT_EQ(changes.count(), 0);
}

// A release that went to a modal dialog leaves no drag behind.
TEST_F(EditorTest, GestureEndsWhenTheButtonIsNoLongerHeld)
{
    const TransformPtr map = selectNewMap({0, 0});
    press({200, 200});
    move({260, 240}, Qt::NoButton);
    move({300, 300}, Qt::NoButton);
    EXPECT_EQ(map->translation(), QPointF(0, 0));
    EXPECT_EQ(changes.count(), 0);
}

TEST_F(EditorTest, DoubleClickOrInfoButtonOpensTheInfoPanel)
{
    addMap({0, 0});
    click({180, 180});
    QTest::mouseDClick(view, Qt::LeftButton, Qt::NoModifier, widgetPoint({180, 180}));
    EXPECT_FALSE(view->infoPanel()->isVisible()) << "opens on the release, not the press";
    release({180, 180});
    EXPECT_TRUE(view->infoPanel()->isVisible());
    EXPECT_EQ(view->infoFields().translation->text(), QStringLiteral("(0.000, 0.000)"));
    view->infoPanel()->hide();
    click({180, 180}); // a third click in a row is an ordinary one
    EXPECT_FALSE(view->infoPanel()->isVisible());
    EXPECT_EQ(changes.count(), 0);
    QTest::mouseClick(infoButton, Qt::LeftButton);
    EXPECT_TRUE(view->infoPanel()->isVisible());
    EXPECT_TRUE(view->infoPanel()->isWindow());
}
