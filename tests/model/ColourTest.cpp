#include "model/Colour.h"

#include <gtest/gtest.h>

#include <QColor>

using namespace attractor;

TEST(Colour, ConversionThroughQColorKeepsComponentsUnclamped)
{
    // QColor keeps 16 bits a channel: the way back is within half a step.
    const _rgb_color samples[] = {{0, 0.5f, 1, 1}, {0.1f, 0.2f, 0.3f, 0.4f}, {1.5f, -0.25f, 0.5f, 1}};
    for (const _rgb_color &c : samples) {
        const _rgb_color back = rgbColorFromColor(colorFromRGBColor(c));
        EXPECT_NEAR(back.r, c.r, 0.5 / 65535) << c.r;
        EXPECT_NEAR(back.g, c.g, 0.5 / 65535);
        EXPECT_NEAR(back.b, c.b, 0.5 / 65535);
        EXPECT_NEAR(back.a, c.a, 0.5 / 65535);
    }
    const _rgb_color fromCmyk = rgbColorFromColor(QColor::fromCmykF(0, 1, 1, 0));
    EXPECT_EQ(fromCmyk, (_rgb_color{1, 0, 0, 1}));
    EXPECT_EQ(rgbColorFromColor(QColor()), (_rgb_color{0, 0, 0, 0}));
}
