#include "model/Colour.h"

#include <gtest/gtest.h>

#include <QColor>

using namespace attractor;

TEST(Colour, DefaultIsOpaqueBlack)
{
    EXPECT_EQ(defaultRGBColor(), (_rgb_color{0, 0, 0, 1}));
}

TEST(Colour, RoundTripThroughQColorKeepsComponents)
{
    // QColor keeps 16 bits a channel, so the way back is exact for values on
    // that grid and within half a step otherwise.
    const _rgb_color samples[] = {{0, 0, 0, 1}, {1, 1, 1, 1}, {0, 0.5f, 1, 1}, {0.25f, 0.75f, 0.125f, 0.5f},
                                  {0.1f, 0.2f, 0.3f, 0.4f}};
    for (const _rgb_color &c : samples) {
        const _rgb_color back = rgbColorFromColor(colorFromRGBColor(c));
        EXPECT_NEAR(back.r, c.r, 0.5 / 65535) << c.r;
        EXPECT_NEAR(back.g, c.g, 0.5 / 65535);
        EXPECT_NEAR(back.b, c.b, 0.5 / 65535);
        EXPECT_NEAR(back.a, c.a, 0.5 / 65535);
    }
}

TEST(Colour, OtherColourModelsConvertToRgb)
{
    const _rgb_color fromHsv = rgbColorFromColor(QColor::fromHsvF(0.0f, 1.0f, 1.0f, 0.5f));
    EXPECT_FLOAT_EQ(fromHsv.r, 1.0f);
    EXPECT_FLOAT_EQ(fromHsv.g, 0.0f);
    EXPECT_FLOAT_EQ(fromHsv.b, 0.0f);
    EXPECT_NEAR(fromHsv.a, 0.5f, 1e-4);

    const _rgb_color fromCmyk = rgbColorFromColor(QColor::fromCmykF(0, 1, 1, 0));
    EXPECT_FLOAT_EQ(fromCmyk.r, 1.0f);
    EXPECT_FLOAT_EQ(fromCmyk.g, 0.0f);
    EXPECT_FLOAT_EQ(fromCmyk.b, 0.0f);
}

TEST(Colour, InvalidColourGivesTransparentBlack)
{
    EXPECT_EQ(rgbColorFromColor(QColor()), (_rgb_color{0, 0, 0, 0}));
}

TEST(Colour, OutOfRangeComponentsAreNotClamped)
{
    const _rgb_color c = rgbColorFromColor(colorFromRGBColor({1.5f, -0.25f, 0.5f, 1}));
    EXPECT_NEAR(c.r, 1.5f, 1e-3);
    EXPECT_NEAR(c.g, -0.25f, 1e-3);
}
