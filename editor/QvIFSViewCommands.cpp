// The editor canvas's commands: keyboard nudges, its controls' actions, the
// clipboard and the text export, each an edit through the model.
#include "editor/QvIFSView.h"

#include "editor/MapClipboard.h"
#include "editor/TextExport.h"
#include "model/QvTransform.h"
#include "widgets/Beep.h"
#include "widgets/ColorWell.h"
#include "widgets/FloatSlider.h"

namespace attractor {

namespace {

constexpr double kRotationStep = 0.017453292519944444;
constexpr double kScaleStep = 0.01;
constexpr double kShearStep = 0.01;
// Keys pressed further apart than this start a new undo step.
constexpr qint64 kKeyPauseMs = 1000;

} // namespace

void QvIFSView::moveUp()
{
    moveSelectionYBy(static_cast<float>(onePixelInUserCoords().height()));
}

void QvIFSView::moveDown()
{
    moveSelectionYBy(-static_cast<float>(onePixelInUserCoords().height()));
}

void QvIFSView::moveLeft()
{
    moveSelectionXBy(-static_cast<float>(onePixelInUserCoords().width()));
}

void QvIFSView::moveRight()
{
    moveSelectionXBy(static_cast<float>(onePixelInUserCoords().width()));
}

void QvIFSView::moveSelectionXBy(float dx)
{
    moveSelectionBy(static_cast<double>(dx), 0.0);
}

void QvIFSView::moveSelectionYBy(float dy)
{
    moveSelectionBy(0.0, static_cast<double>(dy));
}

void QvIFSView::moveSelectionBy(double dx, double dy)
{
    const QvTransform *selected = selection();
    if (!selected)
        return;
    const QPointF to = selected->translation() + QPointF(dx, dy);
    // Only the moved axis is checked, so a map a document left outside the
    // frame can still come back; a NaN step (a view without area) is refused.
    const auto inside = [](double v) { return v <= kFrameMax && v >= kFrameMin; };
    if (!((dx == 0.0 || inside(to.x())) && (dy == 0.0 || inside(to.y())))) {
        refuse(this, tr("The centre of a map stays between -2 and 2"));
        return;
    }
    QvTransform next = *selected;
    next.setTranslation(to);
    commitKeyEdit(MapEdit::Move, next);
}

void QvIFSView::moveWordLeft()
{
    rotateSelectionBy(kRotationStep);
}

void QvIFSView::moveWordRight()
{
    rotateSelectionBy(-kRotationStep);
}

void QvIFSView::rotateSelectionBy(double step)
{
    const QvTransform *selected = selection();
    if (!selected)
        return;
    float r = static_cast<float>(static_cast<double>(selected->rotation()) + step);
    // One wrap per key press, so a far-out angle from a document comes back gradually.
    if (step > 0 && static_cast<double>(r) > kFullTurn)
        r = static_cast<float>(static_cast<double>(r) - kFullTurn);
    else if (step < 0 && r < 0.0f)
        r = static_cast<float>(static_cast<double>(r) + kFullTurn);
    QvTransform next = *selected;
    next.setRotation(r);
    commitKeyEdit(MapEdit::Rotate, next);
}

void QvIFSView::moveLeftAndModifySelection()
{
    changeSelectionScaleBy(-kScaleStep, 0);
}

void QvIFSView::moveRightAndModifySelection()
{
    changeSelectionScaleBy(kScaleStep, 0);
}

void QvIFSView::moveDownAndModifySelection()
{
    changeSelectionScaleBy(0, -kScaleStep);
}

void QvIFSView::moveUpAndModifySelection()
{
    changeSelectionScaleBy(0, kScaleStep);
}

void QvIFSView::changeSelectionScaleBy(double dx, double dy)
{
    const QvTransform *selected = selection();
    if (!selected)
        return;
    const QPointF s = selected->scale();
    QvTransform next = *selected;
    next.setScale({dx != 0 ? s.x() + dx : s.x(), dy != 0 ? s.y() + dy : s.y()});
    commitKeyEdit(MapEdit::Scale, next);
}

void QvIFSView::shearLeft()
{
    shearSelectionBy(-kShearStep);
}

void QvIFSView::shearRight()
{
    shearSelectionBy(kShearStep);
}

void QvIFSView::shearSelectionBy(double step)
{
    const QvTransform *selected = selection();
    if (!selected)
        return;
    QvTransform next = *selected;
    next.setShear(static_cast<float>(static_cast<double>(selected->shear()) + step));
    commitKeyEdit(MapEdit::Shear, next);
}

void QvIFSView::newTransform()
{
    if (!_model)
        return;
    const int count = _model->mapCount();
    if (count >= kMaxTransformsForNew) {
        refuse(this, tr("New Map makes at most %1 maps").arg(kMaxTransformsForNew));
        return;
    }
    // Selected, so the user sees where it went and can recolour it at once;
    // in a colour that shows on the background.
    QvTransform map;
    map.setRgb(colourShowingOn(_model->fractal().bgColor(), count));
    _model->insertMap(count, map, tr("New Map"));
}

void QvIFSView::deleteTransform()
{
    if (!_model)
        return;
    const int index = selectionIndex();
    if (index < 0) {
        refuse(this, tr("No map is selected"));
        return;
    }
    // The last map is never deleted: a fractal needs one.
    if (_model->mapCount() < 2) {
        refuse(this, tr("A fractal keeps at least one map"));
        return;
    }
    _model->removeMap(index, tr("Delete Map"));
}

void QvIFSView::changeRotation()
{
    const QvTransform *selected = selection();
    if (!selected || !_controls.rotationSlider)
        return;
    const double value = _controls.rotationSlider->floatValue();
    if (!_controls.rotationSlider->isSliderDown())
        _model->beginGesture();
    QvTransform next = *selected;
    next.setRotation(static_cast<float>(kQuarterTurn - value));
    commitMapEdit(MapEdit::Rotate, next);
}

void QvIFSView::changeColor()
{
    const QvTransform *selected = selection();
    if (!selected)
        return;
    // The sender may be the well itself or any other colour source.
    const ColorWell *well = qobject_cast<const ColorWell *>(sender());
    if (!well)
        well = _controls.colorWell;
    if (!well)
        return;
    _model->beginGesture();
    QvTransform next = *selected;
    next.setColor(well->color().toRgb());
    commitMapEdit(MapEdit::Colour, next);
}

void QvIFSView::changeProbability()
{
    const QvTransform *selected = selection();
    if (!selected || !_controls.probabilitySlider)
        return;
    if (!_controls.probabilitySlider->isSliderDown())
        _model->beginGesture();
    QvTransform next = *selected;
    next.setProbability(_controls.probabilitySlider->floatValue());
    commitMapEdit(MapEdit::Probability, next);
}

void QvIFSView::commitMapEdit(MapEdit kind, const QvTransform &next)
{
    if (_model)
        _model->setMap(selectionIndex(), next, kind);
}

void QvIFSView::commitKeyEdit(MapEdit kind, const QvTransform &next)
{
    if (!_model)
        return;
    if (kind != _lastKeyKind || _keyGesture != _model->gesture() || !_keyTimer.isValid()
        || _keyTimer.elapsed() > kKeyPauseMs)
        _model->beginGesture();
    commitMapEdit(kind, next);
    _lastKeyKind = kind;
    _keyGesture = _model->gesture();
    _keyTimer.start();
}

// ---------------------------------------------------------------- clipboard

bool QvIFSView::copySelection()
{
    const QvTransform *selected = selection();
    if (!selected) {
        refuse(this, tr("No map is selected"));
        return false;
    }
    clipboard::putMap(*selected);
    return true;
}

void QvIFSView::copy()
{
    copySelection();
}

void QvIFSView::cut()
{
    if (!_model)
        return;
    if (selection() && _model->mapCount() < 2) {
        refuse(this, tr("A fractal keeps at least one map"));
        return;
    }
    if (!copySelection())
        return;
    _model->removeMap(selectionIndex(), tr("Cut Map"));
}

void QvIFSView::paste()
{
    const std::optional<QvTransform> map = clipboard::takeMap();
    if (!map) {
        refuse(this, tr("The clipboard holds no map"));
        return;
    }
    addMapCopy(*map, tr("Paste Map"));
}

void QvIFSView::duplicate()
{
    const QvTransform *selected = selection();
    if (!selected) {
        refuse(this, tr("No map is selected"));
        return;
    }
    addMapCopy(*selected, tr("Duplicate Map"));
}

void QvIFSView::addMapCopy(const QvTransform &value, const QString &name)
{
    if (_model)
        _model->insertMap(_model->mapCount(), clipboard::placedCopy(value), name);
}

// ---------------------------------------------------------------- text export

void QvIFSView::exportToText()
{
    text_export::runPanel(window(), [view = QPointer<QvIFSView>(this)](int result, const QString &path) {
        if (view)
            view->exportPanelDidEnd(result, path, text_export::kContext);
    });
}

bool QvIFSView::exportPanelDidEnd(int returnCode, const QString &path, const QString &contextInfo)
{
    return text_export::panelDidEnd(_model ? &_model->fractal() : nullptr, returnCode, path, contextInfo);
}

} // namespace attractor
