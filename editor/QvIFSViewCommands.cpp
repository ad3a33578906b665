// The editor canvas's commands: keyboard nudges, its controls' actions, the
// clipboard and the text export, each an edit through the model.
#include "editor/QvIFSView.h"

#include "editor/GroupEdit.h"
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
    if (!selection())
        return;
    // Only the moved axis is checked, so a map a document left outside the
    // frame can still come back; a NaN step (a view without area) is refused.
    const auto inside = [](double v) { return v <= kFrameMax && v >= kFrameMin; };
    bool allInside = true;
    const MapValues values = changedSelection([&](QvTransform &map) {
        const QPointF to = map.translation() + QPointF(dx, dy);
        allInside = allInside && (dx == 0.0 || inside(to.x())) && (dy == 0.0 || inside(to.y()));
        map.setTranslation(to);
    });
    if (!allInside) {
        refuse(this, tr("The centre of a map stays between -2 and 2"));
        return;
    }
    commitKeyEdit(MapEdit::Move, values);
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
    if (!selection())
        return;
    commitKeyEdit(MapEdit::Rotate, changedSelection([step](QvTransform &map) {
        float r = static_cast<float>(static_cast<double>(map.rotation()) + step);
        // One wrap per key press, so a far-out angle from a document comes back gradually.
        if (step > 0 && static_cast<double>(r) > kFullTurn)
            r = static_cast<float>(static_cast<double>(r) - kFullTurn);
        else if (step < 0 && r < 0.0f)
            r = static_cast<float>(static_cast<double>(r) + kFullTurn);
        map.setRotation(r);
    }));
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
    if (!selection())
        return;
    commitKeyEdit(MapEdit::Scale, changedSelection([dx, dy](QvTransform &map) {
        const QPointF s = map.scale();
        map.setScale({dx != 0 ? s.x() + dx : s.x(), dy != 0 ? s.y() + dy : s.y()});
    }));
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
    if (!selection())
        return;
    commitKeyEdit(MapEdit::Shear, changedSelection([step](QvTransform &map) {
        map.setShear(static_cast<float>(static_cast<double>(map.shear()) + step));
    }));
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
    if (!canRemoveSelection())
        return;
    const QList<int> selected = _model->selectedIndices();
    _model->removeMaps(selected, selected.size() > 1 ? tr("Delete Maps") : tr("Delete Map"));
}

bool QvIFSView::canRemoveSelection()
{
    if (!_model)
        return false;
    const QList<int> selected = _model->selectedIndices();
    if (selected.isEmpty()) {
        refuse(this, tr("No map is selected"));
        return false;
    }
    // The last map is never deleted: a fractal needs one.
    if (_model->mapCount() <= selected.size()) {
        refuse(this, tr("A fractal keeps at least one map"));
        return false;
    }
    return true;
}

void QvIFSView::changeRotation()
{
    if (!selection() || !_controls.rotationSlider)
        return;
    const double value = _controls.rotationSlider->floatValue();
    if (!_controls.rotationSlider->isSliderDown())
        _model->beginGesture();
    commitMapEdit(MapEdit::Rotate, changedSelection([value](QvTransform &map) {
        map.setRotation(static_cast<float>(kQuarterTurn - value));
    }));
}

void QvIFSView::changeColor()
{
    if (!selection())
        return;
    // The sender may be the well itself or any other colour source.
    const ColorWell *well = qobject_cast<const ColorWell *>(sender());
    if (!well)
        well = _controls.colorWell;
    if (!well)
        return;
    _model->beginGesture();
    const QColor colour = well->color().toRgb();
    commitMapEdit(MapEdit::Colour, changedSelection([&colour](QvTransform &map) { map.setColor(colour); }));
}

void QvIFSView::changeProbability()
{
    if (!selection() || !_controls.probabilitySlider)
        return;
    if (!_controls.probabilitySlider->isSliderDown())
        _model->beginGesture();
    const float value = _controls.probabilitySlider->floatValue();
    commitMapEdit(MapEdit::Probability, changedSelection([value](QvTransform &map) {
        map.setProbability(value);
    }));
}

QList<QvTransform> QvIFSView::selectedMaps() const
{
    QList<QvTransform> maps;
    if (_model) {
        for (int index : _model->selectedIndices())
            maps.append(_model->map(index));
    }
    return maps;
}

QvIFSView::MapValues QvIFSView::changedSelection(const std::function<void(QvTransform &)> &change) const
{
    MapValues values;
    if (_model) {
        for (int index : _model->selectedIndices()) {
            QvTransform next = _model->map(index);
            change(next);
            values.append({index, next});
        }
    }
    return values;
}

void QvIFSView::commitMapEdit(MapEdit kind, const MapValues &values)
{
    if (_model)
        _model->setMaps(values, kind);
}

void QvIFSView::commitHandleEdit(MapEdit kind, const QvTransform &next)
{
    const qsizetype current = _grabbedIndices.indexOf(selectionIndex());
    // The selection changed under the gesture (an undo by key): it ends here.
    if (current < 0 || _grabbedIndices != _model->selectedIndices())
        return;
    MapValues values;
    for (qsizetype k = 0; k < _grabbedIndices.size(); ++k) {
        values.append({_grabbedIndices[k], k == current ? next
                                                        : group::withSameChange(_grabbedMaps[k], _grabbedMaps[current], next)});
    }
    commitMapEdit(kind, values);
}

void QvIFSView::commitKeyEdit(MapEdit kind, const MapValues &values)
{
    if (!_model)
        return;
    if (kind != _lastKeyKind || _keyGesture != _model->gesture() || !_keyTimer.isValid()
        || _keyTimer.elapsed() > kKeyPauseMs)
        _model->beginGesture();
    commitMapEdit(kind, values);
    _lastKeyKind = kind;
    _keyGesture = _model->gesture();
    _keyTimer.start();
}

// ---------------------------------------------------------------- clipboard

bool QvIFSView::copySelection()
{
    if (!selection()) {
        refuse(this, tr("No map is selected"));
        return false;
    }
    clipboard::putMaps(selectedMaps());
    return true;
}

void QvIFSView::copy()
{
    copySelection();
}

void QvIFSView::cut()
{
    if (!canRemoveSelection())
        return;
    const QList<int> selected = _model->selectedIndices();
    copySelection();
    _model->removeMaps(selected, selected.size() > 1 ? tr("Cut Maps") : tr("Cut Map"));
}

void QvIFSView::paste()
{
    const QList<QvTransform> maps = clipboard::takeMaps();
    if (maps.isEmpty()) {
        refuse(this, tr("The clipboard holds no map"));
        return;
    }
    addMapCopies(maps, maps.size() > 1 ? tr("Paste Maps") : tr("Paste Map"));
}

void QvIFSView::duplicate()
{
    if (!selection()) {
        refuse(this, tr("No map is selected"));
        return;
    }
    const QList<QvTransform> maps = selectedMaps();
    addMapCopies(maps, maps.size() > 1 ? tr("Duplicate Maps") : tr("Duplicate Map"));
}

void QvIFSView::addMapCopies(const QList<QvTransform> &values, const QString &name)
{
    if (_model)
        _model->insertMaps(_model->mapCount(), clipboard::placedCopies(values), name);
}

void QvIFSView::selectAll()
{
    if (_model)
        _model->selectAll();
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
