#include "editor/MapCommands.h"

#include "editor/QvIFSView.h"

#include <QCoreApplication>

namespace attractor {

MapEditCommand::MapEditCommand(QvIFSView *view, Kind kind, int index, const QvTransform &before,
                               const QvTransform &after, int gesture)
    : QUndoCommand(nameOf(kind))
    , _view(view)
    , _kind(kind)
    , _index(index)
    , _before(before)
    , _after(after)
    , _gesture(gesture)
{
}

QString MapEditCommand::nameOf(Kind kind)
{
    switch (kind) {
    case Move: return QCoreApplication::translate("QvIFSView", "Move Map");
    case Scale: return QCoreApplication::translate("QvIFSView", "Scale Map");
    case Rotate: return QCoreApplication::translate("QvIFSView", "Rotate Map");
    case Colour: return QCoreApplication::translate("QvIFSView", "Change Colour");
    case Probability: return QCoreApplication::translate("QvIFSView", "Change Probability");
    case Value: break;
    }
    return QCoreApplication::translate("QvIFSView", "Type Value");
}

bool MapEditCommand::mergeWith(const QUndoCommand *other)
{
    const auto *next = static_cast<const MapEditCommand *>(other);
    if (next->_index != _index || next->_gesture != _gesture)
        return false;
    _after = next->_after;
    return true;
}

void MapEditCommand::redo()
{
    if (_view)
        _view->setMapValue(_index, _after);
}

void MapEditCommand::undo()
{
    if (_view)
        _view->setMapValue(_index, _before);
}

InsertMapCommand::InsertMapCommand(QvIFSView *view, const QString &name, int index, const QvTransform &value,
                                   int selectionBefore, bool removes)
    : QUndoCommand(name)
    , _view(view)
    , _index(index)
    , _value(value)
    , _selectionBefore(selectionBefore)
    , _removes(removes)
{
}

void InsertMapCommand::redo()
{
    _removes ? remove() : insert();
}

void InsertMapCommand::undo()
{
    _removes ? insert() : remove();
}

void InsertMapCommand::insert()
{
    if (_view)
        _view->insertMap(_index, _value);
}

void InsertMapCommand::remove()
{
    if (_view)
        _view->removeMap(_index, _removes ? -1 : _selectionBefore);
}

} // namespace attractor
