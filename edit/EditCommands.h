#pragma once

#include "edit/EditableFractal.h"
#include "model/QvFrac.h"
#include "model/QvTransform.h"

#include <QPointer>
#include <QUndoCommand>

namespace attractor {

// The undoable steps of the edit model. Each keeps values (never pointers
// into the list), so it finds its map whatever happened in between, and acts
// on the model, which sends the notifications.

// Maps' values replaced; undoing and redoing select those maps again.
class MapValueStep : public QUndoCommand
{
public:
    using Selection = EditableFractal::Selection;

    MapValueStep(EditableFractal *model, MapEdit kind, const QList<int> &indices, const QList<QvTransform> &before,
                 const QList<QvTransform> &after, const Selection &selection);

    int id() const override { return static_cast<int>(_kind); }
    // One kind of value on the same maps within one gesture is one step.
    bool mergeWith(const QUndoCommand *other) override;
    void redo() override;
    void undo() override;

private:
    QPointer<EditableFractal> _model;
    MapEdit _kind;
    QList<int> _indices;
    QList<QvTransform> _before;
    QList<QvTransform> _after;
    Selection _selection;
    int _gesture;
};

// Maps added at sorted places or, inverted, taken out from them. Each side
// has its selection: with the maps in the list, and without them.
class MapListStep : public QUndoCommand
{
public:
    using Selection = EditableFractal::Selection;

    MapListStep(EditableFractal *model, const QString &name, const QList<int> &indices,
                const QList<QvTransform> &values, const Selection &withMaps, const Selection &withoutMaps,
                bool removes);

    void redo() override;
    void undo() override;

private:
    void insert();
    void remove();

    QPointer<EditableFractal> _model;
    QList<int> _indices;
    QList<QvTransform> _values;
    Selection _withMaps;
    Selection _withoutMaps;
    bool _removes;
};

// The iteration count, the background or the density picture's look.
class SettingsStep : public QUndoCommand
{
public:
    enum Field { Iterations = 100, Background, Density };
    using Settings = EditableFractal::Settings;

    SettingsStep(EditableFractal *model, Field field, const Settings &before, const Settings &after);

    int id() const override { return _field; }
    // A slider drag is one step; another field or gesture starts a new one.
    bool mergeWith(const QUndoCommand *other) override;
    void redo() override;
    void undo() override;

private:
    QPointer<EditableFractal> _model;
    Field _field;
    Settings _before;
    Settings _after;
    int _gesture;
};

// The whole fractal replaced; both sides kept as copies of their values.
class FractalStep : public QUndoCommand
{
public:
    FractalStep(EditableFractal *model, const QString &name, FracPtr before, FracPtr after,
                const EditableFractal::Selection &selectionBefore);

    void redo() override;
    void undo() override;

private:
    QPointer<EditableFractal> _model;
    FracPtr _before;
    FracPtr _after;
    EditableFractal::Selection _selectionBefore;
};

} // namespace attractor
