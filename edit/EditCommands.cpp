#include "edit/EditCommands.h"

#include <QCoreApplication>

namespace attractor {

MapValueStep::MapValueStep(EditableFractal *model, MapEdit kind, const QList<int> &indices,
                           const QList<QvTransform> &before, const QList<QvTransform> &after,
                           const Selection &selection)
    : QUndoCommand(EditableFractal::stepName(kind))
    , _model(model)
    , _kind(kind)
    , _indices(indices)
    , _before(before)
    , _after(after)
    , _selection(selection)
    , _gesture(model->gesture())
{
}

bool MapValueStep::mergeWith(const QUndoCommand *other)
{
    const auto *next = static_cast<const MapValueStep *>(other);
    if (next->_indices != _indices || next->_gesture != _gesture)
        return false;
    _after = next->_after;
    return true;
}

void MapValueStep::redo()
{
    if (_model)
        _model->applyMaps(_indices, _after, _selection);
}

void MapValueStep::undo()
{
    if (_model)
        _model->applyMaps(_indices, _before, _selection);
}

MapListStep::MapListStep(EditableFractal *model, const QString &name, const QList<int> &indices,
                         const QList<QvTransform> &values, const Selection &withMaps,
                         const Selection &withoutMaps, bool removes)
    : QUndoCommand(name)
    , _model(model)
    , _indices(indices)
    , _values(values)
    , _withMaps(withMaps)
    , _withoutMaps(withoutMaps)
    , _removes(removes)
{
}

void MapListStep::redo()
{
    _removes ? remove() : insert();
}

void MapListStep::undo()
{
    _removes ? insert() : remove();
}

void MapListStep::insert()
{
    if (_model)
        _model->applyInsert(_indices, _values, _withMaps);
}

void MapListStep::remove()
{
    if (_model)
        _model->applyRemove(_indices, _withoutMaps);
}

SettingsStep::SettingsStep(EditableFractal *model, Field field, const Settings &before, const Settings &after)
    : QUndoCommand(field == Iterations   ? QCoreApplication::translate("EditableFractal", "Change Iterations")
                   : field == Background ? QCoreApplication::translate("EditableFractal", "Change Background")
                                         : QCoreApplication::translate("EditableFractal", "Change Density Look"))
    , _model(model)
    , _field(field)
    , _before(before)
    , _after(after)
    , _gesture(model->gesture())
{
}

bool SettingsStep::mergeWith(const QUndoCommand *other)
{
    const auto *next = static_cast<const SettingsStep *>(other);
    if (next->_gesture != _gesture)
        return false;
    _after = next->_after;
    return true;
}

void SettingsStep::redo()
{
    if (_model)
        _model->applySettings(_after);
}

void SettingsStep::undo()
{
    if (_model)
        _model->applySettings(_before);
}

FractalStep::FractalStep(EditableFractal *model, const QString &name, FracPtr before, FracPtr after,
                         const EditableFractal::Selection &selectionBefore)
    : QUndoCommand(name)
    , _model(model)
    , _before(std::move(before))
    , _after(std::move(after))
    , _selectionBefore(selectionBefore)
{
}

void FractalStep::redo()
{
    if (_model)
        _model->applyFractal(*_after, {});
}

void FractalStep::undo()
{
    if (_model)
        _model->applyFractal(*_before, _selectionBefore);
}

} // namespace attractor
