#include "EditorFixture.h"

#include <cmath>
#include <cstring>

namespace attractor::test {
namespace {

using EditorControls = EditorTest;

// A release that went to a modal dialog leaves no drag behind: the next move
// without the button is a plain move.
TEST_F(EditorControls, GestureEndsWhenTheButtonIsNoLongerHeld)
{
    const TransformPtr map = addMap({0, 0});
    view->updateDisplayAndFractal();
    changes->clear();
    press({200, 200});
    move({260, 240}, Qt::NoButton);
    move({300, 300}, Qt::NoButton);
    EXPECT_EQ(map->translation(), QPointF(0, 0));
    EXPECT_EQ(changes->count(), 0);
}

// The button is disabled there, but the menu command still comes.
TEST_F(EditorControls, NewMapAtTheLimitIsRefused)
{
    for (int i = 0; i < 10; ++i)
        addMap({0.1 * i, 0});
    view->updateDisplayAndFractal();
    changes->clear();
    view->newTransform();
    EXPECT_EQ(beeps, 1);
    EXPECT_EQ(changes->count(), 0);
    EXPECT_EQ(fractal->transforms()->size(), 10u);
}

// Colours a document may hold that Qt has no valid colour for.
TEST_F(EditorControls, OddColoursAreShownClampedAndKeptExactly)
{
    const float nan = std::nanf("");
    const _rgb_color odd{nan, 2.0f, -1.0f, 5.0f};
    const TransformPtr map = addMap({0, 0});
    map->setRgb(odd);
    LogCapture log;
    view->setSelection(map.get());
    view->repaint();
    colorWell->repaint();
    EXPECT_TRUE(log.lines().isEmpty()) << log.lines().join(u'\n').toStdString();
    EXPECT_TRUE(colorWell->color().isValid());
    const _rgb_color kept = map->rgb();
    EXPECT_EQ(std::memcmp(&kept, &odd, sizeof odd), 0);
}

} // namespace
} // namespace attractor::test
