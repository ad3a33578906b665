// The editor canvas's mouse and keyboard: Qt events turned into the view's
// operations, in view coordinates (y up).
#include "editor/QvIFSView.h"

#include "editor/GlyphGeometry.h"
#include "model/QvTransform.h"

#include <QKeyEvent>
#include <QMouseEvent>

#include <algorithm>
#include <cmath>

namespace attractor {

void QvIFSView::mouseEntered()
{
    _mouseExited = false;
}

void QvIFSView::mouseExited()
{
    _mouseExited = true;
}

void QvIFSView::flagsChanged(Qt::KeyboardModifiers modifiers)
{
    _optionKeyDown = modifiers.testFlag(Qt::AltModifier);
    update();
}

void QvIFSView::mouseMoved(QPointF viewPoint)
{
    _mouseMovedPoint = viewPoint;
    const int under = _model && hasArea() ? glyph::mapUnder(_model->fractal(), frame(), viewPoint) : -1;
    if (under != _hover) {
        _hover = under;
        update();
    }
}

void QvIFSView::mouseDown(QPointF viewPoint)
{
    if (!_model)
        return;
    _model->beginGesture();
    mouseEntered();
    _mouseDownPoint = viewPoint;
    if (const QvTransform *selected = selection()) {
        // The handles win over any glyph drawn above them; the corner over the edge.
        if (selectionBoxFromTransform(*selected).contains(viewPoint)) {
            _scalingSelection = true;
            return;
        }
        if (shearBoxFromTransform(*selected).contains(viewPoint)) {
            _shearingSelection = true;
            return;
        }
    }
    const int under = hasArea() ? glyph::mapUnder(_model->fractal(), frame(), viewPoint) : -1;
    _model->select(under);
    if (under < 0)
        return;
    // Keeps the grabbed point of the glyph under the pointer while moving.
    _offset = convertToUserCoords(viewPoint) - _model->map(under).translation();
}

void QvIFSView::mouseDragged(QPointF viewPoint, Qt::KeyboardModifiers modifiers, bool rightButton)
{
    _optionKeyDown = modifiers.testFlag(Qt::AltModifier) || rightButton;
    _mouseDraggedPoint = viewPoint;
    const QvTransform *selected = selection();
    if (!selected || !hasArea())
        return;

    const QPointF to = convertToUserCoords(viewPoint);
    if (_shearingSelection) {
        commitMapEdit(MapEdit::Shear, glyph::shearedTowards(*selected, to));
    } else if (_scalingSelection && _optionKeyDown) {
        commitMapEdit(MapEdit::Rotate, glyph::turnedTowards(*selected, to));
    } else if (_scalingSelection) {
        commitMapEdit(MapEdit::Scale, glyph::stretchedTo(*selected, to));
    } else {
        QPointF p = to - _offset;
        // The centre stays inside the visible square so the map can always be grabbed again.
        p.setX(std::clamp(p.x(), kFrameMin, kFrameMax));
        p.setY(std::clamp(p.y(), kFrameMin, kFrameMax));
        QvTransform next = *selected;
        next.setTranslation(p);
        commitMapEdit(MapEdit::Move, next);
    }
}

void QvIFSView::mouseUp(int clickCount)
{
    _scalingSelection = false;
    _shearingSelection = false;
    if (_model)
        _model->beginGesture();
    if (clickCount == 2)
        showInfo();
}

void QvIFSView::rightMouseDown(QPointF viewPoint)
{
    _optionKeyDown = true;
    mouseDown(viewPoint);
}

void QvIFSView::rightMouseDragged(QPointF viewPoint, Qt::KeyboardModifiers modifiers)
{
    mouseDragged(viewPoint, modifiers, true);
}

void QvIFSView::rightMouseUp(Qt::KeyboardModifiers modifiers, int clickCount)
{
    _optionKeyDown = modifiers.testFlag(Qt::AltModifier);
    update();
    mouseUp(clickCount);
}

QPointF QvIFSView::viewPointFromEvent(const QMouseEvent *event) const
{
    const QPointF p = event->position();
    return {p.x(), height() - p.y()};
}

void QvIFSView::enterEvent(QEnterEvent *event)
{
    QWidget::enterEvent(event);
    mouseEntered();
}

void QvIFSView::leaveEvent(QEvent *event)
{
    QWidget::leaveEvent(event);
    mouseExited();
}

void QvIFSView::mousePressEvent(QMouseEvent *event)
{
    // A second button during a gesture belongs to that gesture.
    if (_gestureButton != Qt::NoButton
        || (event->button() != Qt::LeftButton && event->button() != Qt::RightButton)) {
        event->ignore();
        return;
    }
    // The Option key may have changed while another widget had the keyboard.
    if (event->modifiers().testFlag(Qt::AltModifier) != _optionKeyDown)
        flagsChanged(event->modifiers());
    _gestureButton = event->button();
    _clickCount = 1;
    if (_gestureButton == Qt::RightButton)
        rightMouseDown(viewPointFromEvent(event));
    else
        mouseDown(viewPointFromEvent(event));
    event->accept();
}

void QvIFSView::mouseDoubleClickEvent(QMouseEvent *event)
{
    // Qt sends the second press of a double click as this event; when a plain
    // press is already under way, only the count changes.
    if (_gestureButton == Qt::NoButton)
        mousePressEvent(event);
    if (_gestureButton == event->button())
        _clickCount = 2;
    event->accept();
}

void QvIFSView::mouseMoveEvent(QMouseEvent *event)
{
    // The release went elsewhere (a modal dialog opened mid-gesture): the
    // gesture ended when the button came up, so this is a plain move.
    if (_gestureButton != Qt::NoButton && !event->buttons().testFlag(_gestureButton))
        endGesture(event->modifiers());
    if (_gestureButton == Qt::NoButton) {
        mouseMoved(viewPointFromEvent(event));
        return;
    }
    if (_gestureButton == Qt::RightButton)
        rightMouseDragged(viewPointFromEvent(event), event->modifiers());
    else
        mouseDragged(viewPointFromEvent(event), event->modifiers());
}

void QvIFSView::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != _gestureButton || _gestureButton == Qt::NoButton) {
        event->ignore();
        return;
    }
    endGesture(event->modifiers(), _clickCount);
}

void QvIFSView::endGesture(Qt::KeyboardModifiers modifiers, int clickCount)
{
    const Qt::MouseButton button = _gestureButton;
    _gestureButton = Qt::NoButton;
    _clickCount = 0;
    if (button == Qt::RightButton)
        rightMouseUp(modifiers, clickCount);
    else
        mouseUp(clickCount);
}

void QvIFSView::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Alt) {
        flagsChanged(event->modifiers() | Qt::AltModifier);
        return;
    }
    if (!interpretKeyEvent(event))
        QWidget::keyPressEvent(event);
}

void QvIFSView::keyReleaseEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Alt) {
        flagsChanged(event->modifiers() & ~Qt::AltModifier);
        return;
    }
    QWidget::keyReleaseEvent(event);
}

bool QvIFSView::interpretKeyEvent(const QKeyEvent *event)
{
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    const int key = event->key();
    const bool arrow = key == Qt::Key_Left || key == Qt::Key_Right || key == Qt::Key_Up
                       || key == Qt::Key_Down;

    if (arrow && mods == Qt::NoModifier) {
        switch (key) {
        case Qt::Key_Up: moveUp(); break;
        case Qt::Key_Down: moveDown(); break;
        case Qt::Key_Left: moveLeft(); break;
        default: moveRight(); break;
        }
        return true;
    }
    if (arrow && mods == Qt::ShiftModifier) {
        switch (key) {
        case Qt::Key_Up: moveUpAndModifySelection(); break;
        case Qt::Key_Down: moveDownAndModifySelection(); break;
        case Qt::Key_Left: moveLeftAndModifySelection(); break;
        default: moveRightAndModifySelection(); break;
        }
        return true;
    }
    if (mods == (Qt::AltModifier | Qt::ShiftModifier) || mods == (Qt::ControlModifier | Qt::ShiftModifier)) {
        if (key == Qt::Key_Left) {
            shearLeft();
            return true;
        }
        if (key == Qt::Key_Right) {
            shearRight();
            return true;
        }
    }
    if (mods == Qt::AltModifier || mods == Qt::ControlModifier) {
        if (key == Qt::Key_Left) {
            moveWordLeft();
            return true;
        }
        if (key == Qt::Key_Right) {
            moveWordRight();
            return true;
        }
    }
    if (mods == Qt::ControlModifier) {
        switch (key) {
        case Qt::Key_Up: moveToBeginningOfParagraph(); return true;
        case Qt::Key_Down: moveToEndOfParagraph(); return true;
        case Qt::Key_B: moveBackward(); return true;
        case Qt::Key_F: moveForward(); return true;
        default: break;
        }
    }
    if (mods == Qt::NoModifier && key == Qt::Key_Backspace) {
        deleteBackward();
        return true;
    }
    if (mods == Qt::NoModifier && key == Qt::Key_Delete) {
        deleteForward();
        return true;
    }
    return false;
}

} // namespace attractor
