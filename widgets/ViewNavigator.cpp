#include "widgets/ViewNavigator.h"

#include "edit/EditableFractal.h"
#include "engine/Fitting.h"
#include "widgets/Beep.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QNativeGestureEvent>
#include <QWheelEvent>

#include <cmath>

namespace attractor {

namespace {

// One notch of a wheel, in the units of angleDelta.
constexpr double kNotch = 120.0;

} // namespace

ViewNavigator::ViewNavigator(EditableFractal *model, QObject *parent)
    : QObject(parent)
    , _model(model)
{
}

void ViewNavigator::addCanvas(QWidget *canvas, Frame frame)
{
    _canvases.push_back({canvas, std::move(frame)});
    canvas->installEventFilter(this);
}

const ViewNavigator::Canvas *ViewNavigator::canvasOf(QObject *watched) const
{
    for (const Canvas &canvas : _canvases) {
        if (canvas.widget == watched)
            return &canvas;
    }
    return nullptr;
}

QPointF ViewNavigator::documentPoint(const Canvas &canvas, QPointF widgetPoint) const
{
    return canvas.frame().toDocument({widgetPoint.x(), canvas.widget->height() - widgetPoint.y()});
}

void ViewNavigator::zoomAt(const Canvas &canvas, QPointF widgetPoint, double factor)
{
    _model->setView(zoomedAbout(_model->view(), documentPoint(canvas, widgetPoint), factor));
}

void ViewNavigator::zoomIn()
{
    if (_model)
        _model->setView(zoomedAbout(_model->view(), _model->view().centre, kZoomStep));
}

void ViewNavigator::zoomOut()
{
    if (_model)
        _model->setView(zoomedAbout(_model->view(), _model->view().centre, 1.0 / kZoomStep));
}

void ViewNavigator::fitAttractor()
{
    if (!_model)
        return;
    const std::optional<QRectF> bounds = attractorBounds(_model->fractal());
    if (!bounds) {
        beep();
        return;
    }
    _model->setView(viewFitting(*bounds));
}

void ViewNavigator::showStandardFrame()
{
    if (_model)
        _model->setView(View());
}

void ViewNavigator::showHand()
{
    for (const Canvas &canvas : _canvases) {
        if (!canvas.widget)
            continue;
        if (_panCanvas)
            canvas.widget->setCursor(Qt::ClosedHandCursor);
        else if (_spaceDown)
            canvas.widget->setCursor(Qt::OpenHandCursor);
        else
            canvas.widget->unsetCursor();
    }
}

void ViewNavigator::setSpaceDown(bool down)
{
    if (_spaceDown == down)
        return;
    _spaceDown = down;
    showHand();
}

bool ViewNavigator::eventFilter(QObject *watched, QEvent *event)
{
    const Canvas *canvas = canvasOf(watched);
    if (!canvas || !_model)
        return false;
    switch (event->type()) {
    case QEvent::Wheel: {
        const auto *wheel = static_cast<QWheelEvent *>(event);
        const double notches = wheel->angleDelta().y() / kNotch;
        if (notches == 0.0)
            return false;
        zoomAt(*canvas, wheel->position(), std::pow(kZoomStep, notches));
        return true;
    }
    case QEvent::NativeGesture: {
        const auto *gesture = static_cast<QNativeGestureEvent *>(event);
        if (gesture->gestureType() != Qt::ZoomNativeGesture)
            return false;
        zoomAt(*canvas, gesture->position(), 1.0 + gesture->value());
        return true;
    }
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        const bool starts = mouse->button() == Qt::MiddleButton || (mouse->button() == Qt::LeftButton && _spaceDown);
        if (_panCanvas)
            return true;
        if (!starts)
            return false;
        _panCanvas = canvas->widget;
        _panButton = mouse->button();
        _grabbed = documentPoint(*canvas, mouse->position());
        showHand();
        return true;
    }
    case QEvent::MouseMove: {
        if (_panCanvas != watched)
            return false;
        const auto *mouse = static_cast<QMouseEvent *>(event);
        _model->setView(pannedBy(_model->view(), _grabbed - documentPoint(*canvas, mouse->position())));
        return true;
    }
    case QEvent::MouseButtonRelease: {
        if (_panCanvas != watched)
            return false;
        if (static_cast<QMouseEvent *>(event)->button() == _panButton) {
            _panCanvas = nullptr;
            _panButton = Qt::NoButton;
            showHand();
        }
        return true;
    }
    case QEvent::KeyPress:
    case QEvent::KeyRelease: {
        const auto *key = static_cast<QKeyEvent *>(event);
        const bool press = event->type() == QEvent::KeyPress;
        // A modifier pressed meanwhile must not keep the hand held.
        if (key->key() != Qt::Key_Space || (press && key->modifiers() != Qt::NoModifier))
            return false;
        if (!key->isAutoRepeat())
            setSpaceDown(press);
        return true;
    }
    case QEvent::FocusOut:
        // The release may go to another window.
        setSpaceDown(false);
        return false;
    default:
        return false;
    }
}

} // namespace attractor
