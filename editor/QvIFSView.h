#pragma once

#include "model/QvFrac.h"

#include <QWidget>

class QAbstractButton;
class QLabel;

namespace attractor {

class ColorWell;
class FloatSlider;
class MyOpenGLView;

// The editor canvas: every map as a glyph to select, move, scale and rotate.
class QvIFSView : public QWidget
{
    Q_OBJECT

public:
    explicit QvIFSView(QWidget *parent = nullptr);
    ~QvIFSView() override;

    // Outlets; the view works with any that are set and ignores the others.
    struct Controls {
        QAbstractButton *newTransformButton = nullptr;
        QAbstractButton *deleteTransformButton = nullptr;
        FloatSlider *rotationSlider = nullptr;
        ColorWell *colorWell = nullptr;
        FloatSlider *probabilitySlider = nullptr;
        QAbstractButton *infoButton = nullptr;
    };
    void setControls(const Controls &controls);
    void setFractalView(MyOpenGLView *view);

    FracPtr fractal() const { return _fractal; }
    void setFractal(FracPtr fractal);

    void exportToText();

signals:
    // One change made through this canvas; its own document counts it.
    void changeMade();

public slots:
    void newTransform();
    void deleteTransform();
    void changeRotation();
    void changeColor();
    void changeProbability();
    void showInfo();

private:
    Controls _controls;
    MyOpenGLView *_fractalView = nullptr;
    FracPtr _fractal;
};

} // namespace attractor
