#pragma once

#include "model/Colour.h"
#include "model/QvFrac.h"
#include "model/QvTransform.h"
#include "model/View.h"

#include <QList>
#include <QObject>
#include <QString>

#include <algorithm>
#include <cstdint>
#include <utility>

class QUndoStack;

namespace attractor {

// Which value of a map an edit sets: names the undo step and decides which
// edits merge into one (only edits of one kind, on the same maps, in one gesture).
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
// selection is the editor's, kept here so that steps can restore it: a set of
// map places and, among them, the current map (the one last clicked), whose
// values the controls show and whose handles the editor draws.
class EditableFractal : public QObject
{
    Q_OBJECT

public:
    struct Selection {
        QList<int> indices; // sorted, each once
        int current = -1;   // one of indices, or -1 when they are empty
        // Element by element: QList's own comparison hands memcmp a null
        // pointer for an empty list, which the sanitizers reject.
        bool operator==(const Selection &o) const
        {
            return current == o.current && std::equal(indices.begin(), indices.end(), o.indices.begin(), o.indices.end());
        }
    };
    // One map's new value, by place.
    using MapValue = std::pair<int, QvTransform>;

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

    // The current map's place, or -1.
    int selectedIndex() const { return _selection.current; }
    const QvTransform *selectedMap() const;
    const Selection &selection() const { return _selection; }
    QList<int> selectedIndices() const { return _selection.indices; }
    bool isSelected(int index) const;
    // Selection changes are no edits. Only this map, current; an index out of
    // range selects nothing.
    void select(int index);
    // Places out of range are dropped; current joins the set, or else the
    // last of them is current.
    void setSelection(const QList<int> &indices, int current);
    // In or out of the set; a map put in becomes current.
    void toggle(int index);
    void selectAll();
    void clearSelection() { select(-1); }

    // Edits after this never merge into a step begun before it: a mouse
    // press, a slider press, a pause in a key burst.
    void beginGesture() { ++_gesture; }
    int gesture() const { return _gesture; }

    // One map's values replaced, the map selected. Merges into the step
    // before when that set the same kind of value on the same map in the
    // same gesture. False (nothing done) for an index out of range.
    bool setMap(int index, const QvTransform &value, MapEdit kind);
    // Several maps' values as one step, those maps selected (the current one
    // stays current when it is among them). Merges like setMap when the step
    // before set the same maps. False (nothing done) for no maps or any place
    // out of range or named twice.
    bool setMaps(const QList<MapValue> &values, MapEdit kind);
    // A map added at index (clamped to the list), then selected.
    void insertMap(int index, const QvTransform &value, const QString &stepName);
    // Maps added together in this order from index on, then selected, the
    // last one current. Undoing brings back the selection from before.
    void insertMaps(int index, const QList<QvTransform> &values, const QString &stepName);
    // The map taken out; nothing selected after. False for an index out of range.
    bool removeMap(int index, const QString &stepName);
    // The maps taken out as one step; nothing selected after; undoing puts
    // them back in their places, selected. False for none or any out of range.
    bool removeMaps(const QList<int> &indices, const QString &stepName);
    // The settings; a slider drag within one gesture is one step.
    void setIterations(int32_t iterations);
    void setBackground(_rgb_color colour);
    // The density picture's look (its supersampling aside), clamped.
    void setDensity(const DensityOptions &density);
    // What the iteration count, background and look are now.
    struct Settings {
        int32_t iterations = 0;
        _rgb_color background;
        DensityOptions density;
    };
    Settings settings() const;
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
    // The set or the current map changed, or their places did: index is the
    // current map's.
    void selectionChanged(int index);
    // After every change of the fractal's content, whatever its kind.
    void fractalChanged();
    void viewChanged();

private:
    friend class MapValueStep;
    friend class MapListStep;
    friend class SettingsStep;
    friend class FractalStep;

    // What the steps apply, without recording anything. Places are sorted.
    void applyMaps(const QList<int> &indices, const QList<QvTransform> &values, const Selection &after);
    void applyInsert(const QList<int> &indices, const QList<QvTransform> &values, const Selection &after);
    void applyRemove(const QList<int> &indices, const Selection &after);
    void applySettings(const Settings &settings);
    void applyFractal(const QvFrac &fractal, const Selection &after);
    // The selection made valid for the list as it is now.
    Selection usable(Selection selection) const;
    // Always tells observers when placesMoved: the same numbers may name other maps.
    void setSelectionState(const Selection &selection, bool placesMoved = false);
    bool validPlaces(const QList<int> &sortedIndices) const;

    FracPtr _fractal;
    QUndoStack *_undoStack;
    Selection _selection;
    int _gesture = 0;
    View _view;
};

} // namespace attractor
