// Placeholder implementation so that the rest of the GUI links; replaced by the real editor.
#include "editor/QvIFSView.h"

#include "renderer/MyOpenGLView.h"

namespace attractor {

QvIFSView::QvIFSView(QWidget *parent) : QWidget(parent) {}
QvIFSView::~QvIFSView() = default;
void QvIFSView::setControls(const Controls &controls) { _controls = controls; }
void QvIFSView::setFractalView(MyOpenGLView *view) { _fractalView = view; }
void QvIFSView::setFractal(FracPtr fractal)
{
    if (fractal == _fractal)
        return;
    _fractal = std::move(fractal);
    if (_fractalView)
        _fractalView->setFractal(_fractal);
    update();
}
void QvIFSView::exportToText() {}
void QvIFSView::newTransform() {}
void QvIFSView::deleteTransform() {}
void QvIFSView::changeRotation() {}
void QvIFSView::changeColor() {}
void QvIFSView::changeProbability() {}
void QvIFSView::showInfo() {}

} // namespace attractor
