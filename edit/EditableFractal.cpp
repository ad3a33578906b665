#include "edit/EditableFractal.h"

#include "edit/EditCommands.h"
#include "model/QvTransform.h"

#include <QCoreApplication>
#include <QUndoStack>

#include <algorithm>
#include <cstring>
#include <numeric>

namespace attractor {

namespace {
// Enough for a long day of editing without memory growing for ever.
constexpr int kUndoLimit = 1000;

bool sameBits(_rgb_color a, _rgb_color b)
{
    // Bit for bit: a NaN read from a file is no change.
    return std::memcmp(&a, &b, sizeof a) == 0;
}
} // namespace

EditableFractal::EditableFractal(QObject *parent)
    : QObject(parent)
    , _fractal(QvFrac::defaultFractal())
    , _undoStack(new QUndoStack(this))
{
    _undoStack->setUndoLimit(kUndoLimit);
}

EditableFractal::~EditableFractal()
{
    // Steps left on the stack must not reach a half-destroyed model.
    _undoStack->clear();
}

void EditableFractal::setView(const View &view)
{
    const View usable = clampedView(view);
    if (usable == _view)
        return;
    _view = usable;
    emit viewChanged();
}

QString EditableFractal::stepName(MapEdit kind)
{
    const char *name = "";
    switch (kind) {
    case MapEdit::Move: name = QT_TRANSLATE_NOOP("EditableFractal", "Move Map"); break;
    case MapEdit::Scale: name = QT_TRANSLATE_NOOP("EditableFractal", "Scale Map"); break;
    case MapEdit::Rotate: name = QT_TRANSLATE_NOOP("EditableFractal", "Rotate Map"); break;
    case MapEdit::Colour: name = QT_TRANSLATE_NOOP("EditableFractal", "Change Colour"); break;
    case MapEdit::Probability: name = QT_TRANSLATE_NOOP("EditableFractal", "Change Probability"); break;
    case MapEdit::SetTranslationX: name = QT_TRANSLATE_NOOP("EditableFractal", "Set Translation X"); break;
    case MapEdit::SetTranslationY: name = QT_TRANSLATE_NOOP("EditableFractal", "Set Translation Y"); break;
    case MapEdit::SetScaleX: name = QT_TRANSLATE_NOOP("EditableFractal", "Set Scale X"); break;
    case MapEdit::SetScaleY: name = QT_TRANSLATE_NOOP("EditableFractal", "Set Scale Y"); break;
    case MapEdit::SetRotation: name = QT_TRANSLATE_NOOP("EditableFractal", "Set Rotation"); break;
    case MapEdit::SetProbability: name = QT_TRANSLATE_NOOP("EditableFractal", "Set Probability"); break;
    case MapEdit::Shear: name = QT_TRANSLATE_NOOP("EditableFractal", "Shear Map"); break;
    case MapEdit::SetShear: name = QT_TRANSLATE_NOOP("EditableFractal", "Set Shear"); break;
    }
    return QCoreApplication::translate("EditableFractal", name);
}

int EditableFractal::mapCount() const
{
    return static_cast<int>(_fractal->transforms()->size());
}

const QvTransform &EditableFractal::map(int index) const
{
    return *_fractal->transforms()->at(static_cast<size_t>(index));
}

const QvTransform *EditableFractal::selectedMap() const
{
    return _selection.current >= 0 ? &map(_selection.current) : nullptr;
}

bool EditableFractal::isSelected(int index) const
{
    return std::binary_search(_selection.indices.begin(), _selection.indices.end(), index);
}

void EditableFractal::select(int index)
{
    setSelection({index}, index);
}

void EditableFractal::setSelection(const QList<int> &indices, int current)
{
    setSelectionState(usable({indices, current}));
}

void EditableFractal::toggle(int index)
{
    if (index < 0 || index >= mapCount())
        return;
    Selection next = _selection;
    if (isSelected(index)) {
        next.indices.removeOne(index);
        next.current = next.current == index ? -1 : next.current;
    } else {
        next.indices.append(index);
        next.current = index;
    }
    setSelectionState(usable(next));
}

void EditableFractal::selectAll()
{
    QList<int> all(mapCount());
    std::iota(all.begin(), all.end(), 0);
    setSelection(all, _selection.current);
}

EditableFractal::Selection EditableFractal::usable(Selection selection) const
{
    const int count = mapCount();
    QList<int> &in = selection.indices;
    if (selection.current >= 0 && selection.current < count)
        in.append(selection.current);
    in.removeIf([count](int i) { return i < 0 || i >= count; });
    std::sort(in.begin(), in.end());
    in.erase(std::unique(in.begin(), in.end()), in.end());
    if (!std::binary_search(in.begin(), in.end(), selection.current))
        selection.current = in.isEmpty() ? -1 : in.last();
    return selection;
}

void EditableFractal::setSelectionState(const Selection &selection, bool placesMoved)
{
    if (selection == _selection && !placesMoved)
        return;
    _selection = selection;
    emit selectionChanged(_selection.current);
}

bool EditableFractal::validPlaces(const QList<int> &sorted) const
{
    return !sorted.isEmpty() && sorted.first() >= 0 && sorted.last() < mapCount()
           && std::adjacent_find(sorted.begin(), sorted.end()) == sorted.end();
}

bool EditableFractal::setMap(int index, const QvTransform &value, MapEdit kind)
{
    return setMaps({{index, value}}, kind);
}

bool EditableFractal::setMaps(const QList<MapValue> &values, MapEdit kind)
{
    QList<MapValue> sorted = values;
    std::stable_sort(sorted.begin(), sorted.end(), [](const MapValue &a, const MapValue &b) { return a.first < b.first; });
    QList<int> indices;
    QList<QvTransform> before, after;
    for (const auto &[index, value] : sorted)
        indices.append(index), after.append(value);
    if (!validPlaces(indices))
        return false;
    for (int index : indices)
        before.append(map(index));
    _undoStack->push(new MapValueStep(this, kind, indices, before, after, usable({indices, indices.contains(_selection.current) ? _selection.current : -1})));
    return true;
}

void EditableFractal::insertMap(int index, const QvTransform &value, const QString &stepName)
{
    insertMaps(index, {value}, stepName);
}

void EditableFractal::insertMaps(int index, const QList<QvTransform> &values, const QString &stepName)
{
    if (values.isEmpty())
        return;
    index = std::clamp(index, 0, mapCount());
    QList<int> indices(values.size());
    std::iota(indices.begin(), indices.end(), index);
    _undoStack->push(new MapListStep(this, stepName, indices, values, {indices, indices.last()}, _selection, false));
}

bool EditableFractal::removeMap(int index, const QString &stepName)
{
    return removeMaps({index}, stepName);
}

bool EditableFractal::removeMaps(const QList<int> &indices, const QString &stepName)
{
    QList<int> sorted = indices;
    std::sort(sorted.begin(), sorted.end());
    if (!validPlaces(sorted))
        return false;
    QList<QvTransform> values;
    for (int index : sorted)
        values.append(map(index));
    const int current = sorted.contains(_selection.current) ? _selection.current : sorted.last();
    _undoStack->push(new MapListStep(this, stepName, sorted, values, {sorted, current}, {}, true));
    return true;
}

void EditableFractal::setIterations(int32_t iterations)
{
    if (iterations == _fractal->iterations())
        return;
    const SettingsStep::Settings before = settings();
    SettingsStep::Settings after = before;
    after.iterations = iterations;
    _undoStack->push(new SettingsStep(this, SettingsStep::Iterations, before, after));
}

void EditableFractal::setBackground(_rgb_color colour)
{
    if (sameBits(colour, _fractal->bgColor()))
        return;
    const SettingsStep::Settings before = settings();
    SettingsStep::Settings after = before;
    after.background = colour;
    _undoStack->push(new SettingsStep(this, SettingsStep::Background, before, after));
}

void EditableFractal::setDensity(const DensityOptions &density)
{
    QvFrac probe;
    probe.setDensity(density);
    if (probe.density() == _fractal->density())
        return;
    const SettingsStep::Settings before = settings();
    SettingsStep::Settings after = before;
    after.density = probe.density();
    _undoStack->push(new SettingsStep(this, SettingsStep::Density, before, after));
}

EditableFractal::Settings EditableFractal::settings() const
{
    return {_fractal->iterations(), _fractal->bgColor(), _fractal->density()};
}

void EditableFractal::replaceFractal(const QvFrac &fractal, const QString &stepName)
{
    _undoStack->push(new FractalStep(this, stepName, _fractal->clone(), fractal.clone(), _selection));
}

void EditableFractal::resetFractal(FracPtr fractal)
{
    if (fractal && fractal == _fractal)
        return;
    _undoStack->clear();
    _fractal = fractal ? std::move(fractal) : QvFrac::defaultFractal();
    _selection = {};
    emit fractalReplaced();
    setSelectionState({}, true);
    emit fractalChanged();
}

void EditableFractal::applyMaps(const QList<int> &indices, const QList<QvTransform> &values, const Selection &after)
{
    if (!validPlaces(indices))
        return;
    for (qsizetype k = 0; k < indices.size(); ++k)
        *(*_fractal->transforms())[static_cast<size_t>(indices[k])] = values.at(k);
    setSelectionState(usable(after));
    for (int index : indices)
        emit mapChanged(index);
    emit fractalChanged();
}

void EditableFractal::applyInsert(const QList<int> &indices, const QList<QvTransform> &values, const Selection &after)
{
    TransformList &list = *_fractal->transforms();
    // In ascending order each place is final once its map is in: later ones lie beyond it.
    for (qsizetype k = 0; k < indices.size(); ++k) {
        const int index = std::clamp(indices[k], 0, mapCount());
        list.insert(list.begin() + index, std::make_shared<QvTransform>(values.at(k)));
        _selection = {};
        emit mapInserted(index);
    }
    setSelectionState(usable(after), true);
    emit fractalChanged();
}

void EditableFractal::applyRemove(const QList<int> &indices, const Selection &after)
{
    if (!validPlaces(indices))
        return;
    TransformList &list = *_fractal->transforms();
    // From the back, so the places still to go stay where they were.
    for (auto it = indices.rbegin(); it != indices.rend(); ++it) {
        list.erase(list.begin() + *it);
        _selection = {};
        emit mapRemoved(*it);
    }
    setSelectionState(usable(after), true);
    emit fractalChanged();
}

void EditableFractal::applySettings(const SettingsStep::Settings &settings)
{
    _fractal->setIterations(settings.iterations);
    _fractal->setBgColor(settings.background);
    _fractal->setDensity(settings.density);
    emit settingsChanged();
    emit fractalChanged();
}

void EditableFractal::applyFractal(const QvFrac &fractal, const Selection &after)
{
    _fractal = fractal.clone();
    _selection = {};
    emit fractalReplaced();
    setSelectionState(usable(after), true);
    emit fractalChanged();
}

} // namespace attractor
