#pragma once

#include "model/QvTransform.h"

#include <QPointer>
#include <QUndoCommand>

namespace attractor {

class QvIFSView;

// Undoable edits of the maps. Each holds the values it needs, never a pointer
// into the list, so it finds the right map whatever happened in between, and
// goes through the editor, which selects the map it touched and sends the one
// notification of a change.

// One map's values replaced: a move, scale, turn, colour, probability or typed value.
class MapEditCommand : public QUndoCommand
{
public:
    enum Kind { Move = 1, Scale, Rotate, Colour, Probability, Value };

    MapEditCommand(QvIFSView *view, Kind kind, int index, const QvTransform &before, const QvTransform &after,
                   int gesture);

    static QString nameOf(Kind kind);

    int id() const override { return _kind; }
    // Edits of one gesture on one map become one step.
    bool mergeWith(const QUndoCommand *other) override;
    void redo() override;
    void undo() override;

private:
    QPointer<QvIFSView> _view;
    Kind _kind;
    int _index;
    QvTransform _before;
    QvTransform _after;
    int _gesture;
};

// A map added at index (New Map, Paste, Duplicate) or, inverted, taken out (Delete, Cut).
class InsertMapCommand : public QUndoCommand
{
public:
    InsertMapCommand(QvIFSView *view, const QString &name, int index, const QvTransform &value,
                     int selectionBefore, bool removes = false);

    void redo() override;
    void undo() override;

private:
    void insert();
    void remove();

    QPointer<QvIFSView> _view;
    int _index;
    QvTransform _value;
    int _selectionBefore;
    bool _removes;
};

} // namespace attractor
