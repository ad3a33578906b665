#pragma once

#include "engine/PixelMapping.h"

#include <QObject>
#include <QPointF>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <vector>

namespace attractor {

class EditableFractal;

// Zoom and pan for the canvases of one document window, which all show the
// model's view: the wheel (one notch one zoom step) and a touchpad pinch zoom
// about the point under the pointer; a drag with the middle button, or with
// the left one while Space is held, pans so that the grabbed point stays
// under the pointer. Watches each canvas as an event filter and changes
// nothing but the view, which is no edit.
class ViewNavigator : public QObject
{
    Q_OBJECT

public:
    // A canvas's mapping of the document onto its widget pixels, y up from
    // the bottom edge.
    using Frame = std::function<PixelMapping()>;

    explicit ViewNavigator(EditableFractal *model, QObject *parent = nullptr);

    void addCanvas(QWidget *canvas, Frame frame);
    bool panning() const { return _panCanvas != nullptr; }

public slots:
    // About the centre of the view.
    void zoomIn();
    void zoomOut();
    // The attractor's extent filling the view; a beep when it has none.
    void fitAttractor();
    void showStandardFrame();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Canvas {
        QPointer<QWidget> widget;
        Frame frame;
    };
    const Canvas *canvasOf(QObject *watched) const;
    QPointF documentPoint(const Canvas &canvas, QPointF widgetPoint) const;
    void zoomAt(const Canvas &canvas, QPointF widgetPoint, double factor);
    void setSpaceDown(bool down);
    void showHand();

    QPointer<EditableFractal> _model;
    std::vector<Canvas> _canvases;
    bool _spaceDown = false;
    // The canvas a pan began on, the button that holds it and the document
    // point grabbed.
    QPointer<QWidget> _panCanvas;
    Qt::MouseButton _panButton = Qt::NoButton;
    QPointF _grabbed;
};

} // namespace attractor
