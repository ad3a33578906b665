#pragma once

#include "model/DensityOptions.h"

#include <QWidget>

class QDoubleSpinBox;
class QSpinBox;

namespace attractor {

// The fields of a density picture's look: gamma, brightness, vibrancy,
// highlight and the noise filter's radius, each within its range. The
// renderer canvas's panel and the export sheet show the same ones.
class DensityControls : public QWidget
{
    Q_OBJECT

public:
    explicit DensityControls(QWidget *parent = nullptr);

    // The look shown (supersampling as given to setLook).
    DensityOptions look() const;
    // Shows the look without telling anyone.
    void setLook(const DensityOptions &look);

    QDoubleSpinBox *gammaBox() const { return _gamma; }
    QDoubleSpinBox *brightnessBox() const { return _brightness; }
    QDoubleSpinBox *vibrancyBox() const { return _vibrancy; }
    QDoubleSpinBox *highlightBox() const { return _highlight; }
    QSpinBox *deRadiusBox() const { return _radius; }

    // Makes the labels at least this wide, so that the fields line up with
    // those of a form around these.
    void setLabelWidth(int width);

signals:
    // The user changed a field.
    void lookEdited(const DensityOptions &look);

private:
    QDoubleSpinBox *_gamma;
    QDoubleSpinBox *_brightness;
    QDoubleSpinBox *_vibrancy;
    QDoubleSpinBox *_highlight;
    QSpinBox *_radius;
    int _supersample = 1;
    bool _showing = false;
};

} // namespace attractor
