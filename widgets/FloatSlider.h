#pragma once

#include <QSlider>

namespace attractor {

// A slider that carries a floating-point value over a fine integer scale.
class FloatSlider : public QSlider
{
    Q_OBJECT

public:
    explicit FloatSlider(QWidget *parent = nullptr);
    explicit FloatSlider(Qt::Orientation orientation, QWidget *parent = nullptr);

    void setFloatRange(float minimum, float maximum);
    float floatMinimum() const { return _minimum; }
    float floatMaximum() const { return _maximum; }

    // The exact value last set or chosen, not the rounded slider position.
    float floatValue() const { return _value; }
    void setFloatValue(float value);

signals:
    // Emitted when the user moves the slider.
    void floatValueChanged(float value);

private:
    static constexpr int kSteps = 100000;
    int positionFor(float value) const;

    float _minimum = 0.0f;
    float _maximum = 1.0f;
    float _value = 0.0f;
    bool _settingPosition = false;
};

} // namespace attractor
