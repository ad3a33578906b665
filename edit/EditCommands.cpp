#include "edit/EditCommands.h"

#include <QCoreApplication>

namespace attractor {

MapValueStep::MapValueStep(EditableFractal *model, MapEdit kind, int index, const QvTransform &before,
                           const QvTransform &after)
    : QUndoCommand(EditableFractal::stepName(kind))
    , _model(model)
    , _kind(kind)
    , _index(index)
    , _before(before)
    , _after(after)
    , _gesture(model->gesture())
{
}

bool MapValueStep::mergeWith(const QUndoCommand *other)
{
    const auto *next = static_cast<const MapValueStep *>(other);
    if (next->_index != _index || next->_gesture != _gesture)
        return false;
    _after = next->_after;
    return true;
}

void MapValueStep::redo()
{
    if (_model)
        _model->applyMap(_index, _after);
}

void MapValueStep::undo()
{
    if (_model)
        _model->applyMap(_index, _before);
}

MapListStep::MapListStep(EditableFractal *model, const QString &name, int index, const QvTransform &value,
                         int selectionBefore, bool removes)
    : QUndoCommand(name)
    , _model(model)
    , _index(index)
    , _value(value)
    , _selectionBefore(selectionBefore)
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
        _model->applyInsert(_index, _value);
}

void MapListStep::remove()
{
    if (_model)
        _model->applyRemove(_index, _removes ? -1 : _selectionBefore);
}

SettingsStep::SettingsStep(EditableFractal *model, Field field, const Settings &before, const Settings &after)
    : QUndoCommand(field == Iterations ? QCoreApplication::translate("EditableFractal", "Change Iterations")
                                       : QCoreApplication::translate("EditableFractal", "Change Background"))
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
        _model->applySettings(_after.iterations, _after.background);
}

void SettingsStep::undo()
{
    if (_model)
        _model->applySettings(_before.iterations, _before.background);
}

FractalStep::FractalStep(EditableFractal *model, const QString &name, FracPtr before, FracPtr after,
                         int selectionBefore)
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
        _model->applyFractal(*_after, -1);
}

void FractalStep::undo()
{
    if (_model)
        _model->applyFractal(*_before, _selectionBefore);
}

} // namespace attractor
