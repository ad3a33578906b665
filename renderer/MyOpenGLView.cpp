// Placeholder implementation so that the rest of the GUI links; replaced by the real canvas.
#include "renderer/MyOpenGLView.h"

#include "editor/ColorWell.h"

#include <QByteArray>
#include <QImage>
#include <QPainter>
#include <QSlider>

namespace attractor {

MyOpenGLView::MyOpenGLView(QWidget *parent) : QOpenGLWidget(parent) {}
MyOpenGLView::~MyOpenGLView() = default;
void MyOpenGLView::setIterSlider(QSlider *slider) { _iterSlider = slider; }
void MyOpenGLView::setBgColorWell(ColorWell *well) { _bgColorWell = well; }
void MyOpenGLView::setFractal(FracPtr fractal)
{
    if (fractal == _fractal)
        return;
    _fractal = std::move(fractal);
    if (_fractal) {
        updateDisplay();
        update();
    }
}
int32_t MyOpenGLView::iterations() const { return _fractal ? _fractal->iterations() : 0; }
QColor MyOpenGLView::bgColor() const { return _fractal ? colorFromRGBColor(_fractal->bgColor()) : QColor(); }
void MyOpenGLView::updateDisplay() {}
void MyOpenGLView::setPrinting(bool printing) { _printing = printing; }
QImage MyOpenGLView::hiResBitmapInsideRect(const QRectF &) { return {}; }
QImage MyOpenGLView::openGLBitmapInsideRect(const QRectF &) { return {}; }
QByteArray MyOpenGLView::dataOfFormat(int, bool, const QRectF &) { return {}; }
void MyOpenGLView::drawFractalAsImage(QPainter &, const QRectF &) {}
void MyOpenGLView::exportToJPG() {}
void MyOpenGLView::exportToHiRes() {}
void MyOpenGLView::iterSlider() {}
void MyOpenGLView::changeBGColor() {}
void MyOpenGLView::initializeGL() {}
void MyOpenGLView::resizeGL(int, int) {}
void MyOpenGLView::paintGL() {}
void MyOpenGLView::madeAChange() { emit changeMade(); }

} // namespace attractor
