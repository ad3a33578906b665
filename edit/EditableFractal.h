#pragma once

#include "model/Colour.h"
#include "model/QvFrac.h"
#include "model/View.h"

#include <QObject>
#include <QString>

#include <cstdint>

class QUndoStack;

namespace attractor {

class QvTransform;

// Which value of a map an edit sets: names the undo step and decides which
// edits merge into one (only edits of one kind, on one map, in one gesture).
enum class MapEdit {
    Move = 1,
    Scale,
    Rotate,
    Colour,
    Probability,
    // Typed in the info panel, one field each.
    SetTranslationX,
    SetTranslationY,
    SetScaleX,
    SetScaleY,
    SetRotation,
    SetProbability,
    Shear,
    SetShear,
};

// The document's fractal, its selection and its undo history. Every change of
// the fractal goes through the calls below as an undoable step and ends in the
// signals, which both canvases, the info panel and the controls observe. The
// selection is the editor's, kept here so that steps can restore it.
class EditableFractal : public QObject
{
    Q_OBJECT

public:
    // Starts with the default fractal and an empty history.
    explicit EditableFractal(QObject *parent = nullptr);
    ~EditableFractal() override;

    // The fractal as it is now. Read only: change it through this model.
    const QvFrac &fractal() const { return *_fractal; }
    // The model's own object, for readers that keep a reference (the
    // document writer, tests); never to be changed from outside.
    const FracPtr &sharedFractal() const { return _fractal; }
    int mapCount() const;
    const QvTransform &map(int index) const;
    QUndoStack *undoStack() const { return _undoStack; }

    // The selected map's place, or -1.
    int selectedIndex() const { return _selected; }
    const QvTransform *selectedMap() const;
    // Not an edit; an index out of range selects nothing.
    void select(int index);

    // Edits after this never merge into a step begun before it: a mouse
    // press, a slider press, a pause in a key burst.
    void beginGesture() { ++_gesture; }
    int gesture() const { return _gesture; }

    // One map's values replaced, the map selected. Merges into the step
    // before when that set the same kind of value on the same map in the
    // same gesture. False (nothing done) for an index out of range.
    bool setMap(int index, const QvTransform &value, MapEdit kind);
    // A map added at index (clamped to the list), then selected.
    void insertMap(int index, const QvTransform &value, const QString &stepName);
    // The map taken out; nothing selected after. False for an index out of range.
    bool removeMap(int index, const QString &stepName);
    // The settings; a slider drag within one gesture is one step.
    void setIterations(int32_t iterations);
    void setBackground(_rgb_color colour);
    // The whole fractal replaced by a copy of this one (a random fractal).
    void replaceFractal(const QvFrac &fractal, const QString &stepName);
    // Not an edit: the fractal read from a file or reverted to. Takes the
    // object as it is, selects nothing and clears the history, whose steps
    // belonged to the fractal that went; the object already held is no change.
    void resetFractal(FracPtr fractal);

    // The part of the plane both canvases show. Not an edit: no undo step,
    // no change to the document's content.
    const View &view() const { return _view; }
    void setView(const View &view);

    static QString stepName(MapEdit kind);

signals:
    void mapChanged(int index);
    void mapInserted(int index);
    void mapRemoved(int index);
    void settingsChanged();
    void fractalReplaced();
    void selectionChanged(int index);
    // After every change of the fractal's content, whatever its kind.
    void fractalChanged();
    void viewChanged();

private:
    friend class MapValueStep;
    friend class MapListStep;
    friend class SettingsStep;
    friend class FractalStep;

    // What the steps apply, without recording anything.
    void applyMap(int index, const QvTransform &value);
    void applyInsert(int index, const QvTransform &value);
    void applyRemove(int index, int selectAfter);
    void applySettings(int32_t iterations, _rgb_color background);
    void applyFractal(const QvFrac &fractal, int selectAfter);
    void setSelected(int index);
    void reselect(int index);

    FracPtr _fractal;
    QUndoStack *_undoStack;
    int _selected = -1;
    int _gesture = 0;
    View _view;
};

} // namespace attractor
