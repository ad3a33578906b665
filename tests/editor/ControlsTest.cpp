#include "widgets/FloatSlider.h"

#include <gtest/gtest.h>

#include <QSignalSpy>

using namespace attractor;

// Values the editor shows stay exact and silent; the user's positions map onto the range.
TEST(FloatSlider, KeepsShownValuesAndMapsUserPositions)
{
    FloatSlider slider;
    slider.setFloatRange(-2.0f, 6.0f);
    QSignalSpy spy(&slider, &FloatSlider::floatValueChanged);
    for (float v : {-0.25f, -1.2345678f, 7.5f}) {
        slider.setFloatValue(v);
        EXPECT_EQ(slider.floatValue(), v);
    }
    EXPECT_EQ(slider.value(), slider.maximum()) << "out of range pins the handle";
    EXPECT_EQ(spy.count(), 0);
    for (const auto &[position, value] : {std::pair{slider.minimum(), -2.0f}, std::pair{slider.maximum() / 2, 2.0f},
                                          std::pair{slider.maximum(), 6.0f}}) {
        slider.setValue(position);
        EXPECT_EQ(slider.floatValue(), value);
        EXPECT_EQ(spy.takeLast().front().toFloat(), value);
    }
}
