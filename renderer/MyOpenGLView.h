#pragma once

#include "model/QvFrac.h"

#include <QOpenGLWidget>

#include <cstdint>

class QSlider;

namespace attractor {

class ColorWell;

// The renderer canvas: the attractor of the shared fractal, drawn again in
// full after every edit.
class MyOpenGLView : public QOpenGLWidget
{
    Q_OBJECT

public:
    explicit MyOpenGLView(QWidget *parent = nullptr);
    ~MyOpenGLView() override;

    // Outlets; the view works with any that are set and ignores the others.
    void setIterSlider(QSlider *slider);
    void setBgColorWell(ColorWell *well);

    FracPtr fractal() const { return _fractal; }
    void setFractal(FracPtr fractal);

    int32_t iterations() const;
    QColor bgColor() const;
    void updateDisplay();
    void setPrinting(bool printing);
    bool printing() const { return _printing; }

    // Off-screen images.
    QImage hiResBitmapInsideRect(const QRectF &rect);
    QImage openGLBitmapInsideRect(const QRectF &rect);
    QByteArray dataOfFormat(int code, bool hiRes, const QRectF &rect);
    // The printing picture: the view's bounds drawn by the raster back end
    // at one pixel per unit, painted into target.
    void drawFractalAsImage(QPainter &painter, const QRectF &target);

    // Export workflows (started by the document).
    void exportToJPG();
    void exportToHiRes();

signals:
    // One change made through this canvas; its own document counts it.
    void changeMade();

public slots:
    void iterSlider();
    void changeBGColor();

protected:
    void initializeGL() override;
    void resizeGL(int w, int h) override;
    void paintGL() override;

private:
    void madeAChange();

    QSlider *_iterSlider = nullptr;
    ColorWell *_bgColorWell = nullptr;
    FracPtr _fractal;
    bool _printing = false;
};

} // namespace attractor
