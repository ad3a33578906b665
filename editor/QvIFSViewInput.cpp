// The editor canvas's mouse and keyboard: Qt events turned into the view's
// operations, in view coordinates (y up).
#include "editor/QvIFSView.h"

#include "editor/GlyphGeometry.h"
#include "editor/GroupEdit.h"
#include "model/QvTransform.h"

#include <QKeyEvent>
#include <QMouseEvent>

#include <algorithm>
#include <cmath>
#include <utility>

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

void QvIFSView::mouseDown(QPointF viewPoint, Qt::KeyboardModifiers modifiers)
{
    if (!_model)
        return;
    _model->beginGesture();
    mouseEntered();
    _mouseDownPoint = viewPoint;
    _onlyOnRelease = -1;
    const bool toggling = modifiers & (Qt::ShiftModifier | Qt::ControlModifier);
    if (const QvTransform *selected = selection(); selected && !toggling) {
        // The handles win over any glyph drawn above them; the corner over the edge.
        if (selectionBoxFromTransform(*selected).contains(viewPoint)) {
            _scalingSelection = true;
            grabSelection();
            return;
        }
        if (shearBoxFromTransform(*selected).contains(viewPoint)) {
            _shearingSelection = true;
            grabSelection();
            return;
        }
    }
    const int under = hasArea() ? glyph::mapUnder(_model->fractal(), frame(), viewPoint) : -1;
    if (under < 0) {
        if (!toggling)
            _model->clearSelection();
        _banding = true;
        _bandBase = _model->selection();
        _bandFrom = _bandTo = viewPoint;
        return;
    }
    if (toggling) {
        _model->toggle(under);
        // A map just taken out of the selection is not dragged.
        if (!_model->isSelected(under))
            return;
    } else if (_model->isSelected(under)) {
        _model->setSelection(_model->selectedIndices(), under);
        _onlyOnRelease = _model->selectedIndices().size() > 1 ? under : -1;
    } else {
        _model->select(under);
    }
    _movingSelection = true;
    grabSelection();
    // Keeps the grabbed point of the glyph under the pointer while moving.
    _offset = convertToUserCoords(viewPoint) - _model->map(under).translation();
}

void QvIFSView::grabSelection()
{
    _grabbedIndices = _model->selectedIndices();
    _grabbedMaps = selectedMaps();
}

void QvIFSView::selectInBand()
{
    QList<int> indices = _bandBase.indices;
    const QRectF band = rubberBand();
    for (int i = 0; i < _model->mapCount(); ++i) {
        if (pathFromTransform(_model->map(i)).intersects(band))
            indices.append(i);
    }
    _model->setSelection(indices, _bandBase.current);
}

QRectF QvIFSView::rubberBand() const
{
    return _banding ? QRectF(_bandFrom, _bandTo).normalized() : QRectF();
}

void QvIFSView::mouseDragged(QPointF viewPoint, Qt::KeyboardModifiers modifiers, bool rightButton)
{
    _optionKeyDown = modifiers.testFlag(Qt::AltModifier) || rightButton;
    _mouseDraggedPoint = viewPoint;
    if (_banding && _model) {
        _bandTo = viewPoint;
        selectInBand();
        update();
        return;
    }
    const QvTransform *selected = selection();
    if (!selected || !hasArea())
        return;

    const QPointF to = convertToUserCoords(viewPoint);
    if (_shearingSelection) {
        commitHandleEdit(MapEdit::Shear, glyph::shearedTowards(*selected, to));
    } else if (_scalingSelection && _optionKeyDown) {
        commitHandleEdit(MapEdit::Rotate, glyph::turnedTowards(*selected, to));
    } else if (_scalingSelection) {
        commitHandleEdit(MapEdit::Scale, glyph::stretchedTo(*selected, to));
    } else if (_movingSelection && _grabbedIndices == _model->selectedIndices()) {
        QList<QPointF> starts;
        for (const QvTransform &map : std::as_const(_grabbedMaps))
            starts.append(map.translation());
        // The centres stay inside the visible square so the maps can always be grabbed again.
        const QList<QPointF> centres =
            group::movedCentres(starts, static_cast<int>(_grabbedIndices.indexOf(selectionIndex())), to - _offset);
        MapValues values;
        for (qsizetype k = 0; k < _grabbedIndices.size(); ++k) {
            QvTransform next = _grabbedMaps[k];
            next.setTranslation(centres[k]);
            values.append({_grabbedIndices[k], next});
        }
        _onlyOnRelease = -1;
        commitMapEdit(MapEdit::Move, values);
    }
}

void QvIFSView::mouseUp(int clickCount)
{
    _scalingSelection = false;
    _shearingSelection = false;
    _movingSelection = false;
    if (_banding) {
        _banding = false;
        update();
    }
    if (_model) {
        if (_onlyOnRelease >= 0)
            _model->select(_onlyOnRelease);
        _model->beginGesture();
    }
    _onlyOnRelease = -1;
    if (clickCount == 2)
        showInfo();
}

void QvIFSView::rightMouseDown(QPointF viewPoint, Qt::KeyboardModifiers modifiers)
{
    _optionKeyDown = true;
    mouseDown(viewPoint, modifiers);
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
        rightMouseDown(viewPointFromEvent(event), event->modifiers());
    else
        mouseDown(viewPointFromEvent(event), event->modifiers());
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
    if (mods == Qt::NoModifier && key == Qt::Key_Escape && _model) {
        _model->clearSelection();
        return true;
    }
    return false;
}

} // namespace attractor
