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

// One map's values replaced; undoing selects it again.
class MapValueStep : public QUndoCommand
{
public:
    MapValueStep(EditableFractal *model, MapEdit kind, int index, const QvTransform &before,
                 const QvTransform &after);

    int id() const override { return static_cast<int>(_kind); }
    // One kind of value on one map within one gesture is one step.
    bool mergeWith(const QUndoCommand *other) override;
    void redo() override;
    void undo() override;

private:
    QPointer<EditableFractal> _model;
    MapEdit _kind;
    int _index;
    QvTransform _before;
    QvTransform _after;
    int _gesture;
};

// A map added at index or, inverted, taken out. Undoing an addition selects
// what was selected before it; undoing a removal selects the map again.
class MapListStep : public QUndoCommand
{
public:
    MapListStep(EditableFractal *model, const QString &name, int index, const QvTransform &value,
                int selectionBefore, bool removes);

    void redo() override;
    void undo() override;

private:
    void insert();
    void remove();

    QPointer<EditableFractal> _model;
    int _index;
    QvTransform _value;
    int _selectionBefore;
    bool _removes;
};

// The iteration count or the background.
class SettingsStep : public QUndoCommand
{
public:
    enum Field { Iterations = 100, Background };
    struct Settings {
        int32_t iterations = 0;
        _rgb_color background;
    };

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
    FractalStep(EditableFractal *model, const QString &name, FracPtr before, FracPtr after, int selectionBefore);

    void redo() override;
    void undo() override;

private:
    QPointer<EditableFractal> _model;
    FracPtr _before;
    FracPtr _after;
    int _selectionBefore;
};

} // namespace attractor
