#include "widgets/FloatSlider.h"

#include <algorithm>
#include <cmath>

namespace attractor {

FloatSlider::FloatSlider(QWidget *parent)
    : FloatSlider(Qt::Horizontal, parent)
{
}

FloatSlider::FloatSlider(Qt::Orientation orientation, QWidget *parent)
    : QSlider(orientation, parent)
{
    setRange(0, kSteps);
    connect(this, &QSlider::valueChanged, this, [this](int position) {
        if (_settingPosition)
            return;
        const double fraction = static_cast<double>(position) / kSteps;
        _value = static_cast<float>(_minimum + fraction * (static_cast<double>(_maximum) - _minimum));
        emit floatValueChanged(_value);
    });
}

void FloatSlider::setFloatRange(float minimum, float maximum)
{
    _minimum = minimum;
    _maximum = std::max(maximum, minimum);
    setFloatValue(_value);
}

void FloatSlider::setFloatValue(float value)
{
    _value = value;
    _settingPosition = true;
    setValue(positionFor(value));
    _settingPosition = false;
}

int FloatSlider::positionFor(float value) const
{
    const double span = static_cast<double>(_maximum) - _minimum;
    if (!(span > 0) || !std::isfinite(value))
        return 0;
    const double fraction = (static_cast<double>(value) - _minimum) / span;
    return static_cast<int>(std::lround(std::clamp(fraction, 0.0, 1.0) * kSteps));
}

} // namespace attractor
