#include "editor/ColorWell.h"
#include "editor/FloatSlider.h"

#include <gtest/gtest.h>

#include <QSignalSpy>

using namespace attractor;

TEST(FloatSlider, KeepsTheExactValueSetWithoutSignalling)
{
    FloatSlider slider;
    slider.setFloatRange(-2.0f, 0.0f);
    QSignalSpy spy(&slider, &FloatSlider::floatValueChanged);
    for (float v : {-0.25f, -1.2345678f, 0.3f, -7.0f, 0.0f}) {
        slider.setFloatValue(v);
        EXPECT_EQ(slider.floatValue(), v);
    }
    EXPECT_EQ(spy.count(), 0);
    // Out-of-range values pin the handle to the nearest end but keep their value.
    slider.setFloatValue(5.0f);
    EXPECT_EQ(slider.value(), slider.maximum());
    EXPECT_EQ(slider.floatValue(), 5.0f);
}

TEST(FloatSlider, UserPositionGivesTheValueItStandsFor)
{
    FloatSlider slider;
    slider.setFloatRange(0.0f, 6.0f);
    QSignalSpy spy(&slider, &FloatSlider::floatValueChanged);
    slider.setValue(slider.maximum() / 2);
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy.front().front().toFloat(), 3.0f);
    EXPECT_EQ(slider.floatValue(), 3.0f);
    slider.setValue(slider.minimum());
    EXPECT_EQ(slider.floatValue(), 0.0f);
    slider.setValue(slider.maximum());
    EXPECT_EQ(slider.floatValue(), 6.0f);
}

TEST(ColorWell, OnlyAChosenColourIsAnnounced)
{
    ColorWell well;
    QSignalSpy spy(&well, &ColorWell::colorChanged);
    well.setColor(Qt::green);
    EXPECT_EQ(well.color(), QColor(Qt::green));
    EXPECT_EQ(spy.count(), 0);
    well.chooseColor(Qt::blue);
    EXPECT_EQ(well.color(), QColor(Qt::blue));
    ASSERT_EQ(spy.count(), 1);
    well.chooseColor(QColor());
    EXPECT_EQ(well.color(), QColor(Qt::blue));
    EXPECT_EQ(spy.count(), 1);
}
