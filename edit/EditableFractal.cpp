#include "edit/EditableFractal.h"

#include "edit/EditCommands.h"
#include "model/QvTransform.h"

#include <QCoreApplication>
#include <QUndoStack>

#include <algorithm>
#include <cstring>

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
    return _selected >= 0 ? &map(_selected) : nullptr;
}

void EditableFractal::select(int index)
{
    setSelected(index >= 0 && index < mapCount() ? index : -1);
}

void EditableFractal::setSelected(int index)
{
    if (index == _selected)
        return;
    _selected = index;
    emit selectionChanged(index);
}

void EditableFractal::reselect(int index)
{
    // The places changed under the selection: observers hear of it even
    // when the number stays the same.
    _selected = index >= 0 && index < mapCount() ? index : -1;
    emit selectionChanged(_selected);
}

bool EditableFractal::setMap(int index, const QvTransform &value, MapEdit kind)
{
    if (index < 0 || index >= mapCount())
        return false;
    _undoStack->push(new MapValueStep(this, kind, index, map(index), value));
    return true;
}

void EditableFractal::insertMap(int index, const QvTransform &value, const QString &stepName)
{
    index = std::clamp(index, 0, mapCount());
    _undoStack->push(new MapListStep(this, stepName, index, value, _selected, false));
}

bool EditableFractal::removeMap(int index, const QString &stepName)
{
    if (index < 0 || index >= mapCount())
        return false;
    _undoStack->push(new MapListStep(this, stepName, index, map(index), -1, true));
    return true;
}

void EditableFractal::setIterations(int32_t iterations)
{
    if (iterations == _fractal->iterations())
        return;
    const SettingsStep::Settings before{_fractal->iterations(), _fractal->bgColor()};
    _undoStack->push(new SettingsStep(this, SettingsStep::Iterations, before, {iterations, before.background}));
}

void EditableFractal::setBackground(_rgb_color colour)
{
    if (sameBits(colour, _fractal->bgColor()))
        return;
    const SettingsStep::Settings before{_fractal->iterations(), _fractal->bgColor()};
    _undoStack->push(new SettingsStep(this, SettingsStep::Background, before, {before.iterations, colour}));
}

void EditableFractal::replaceFractal(const QvFrac &fractal, const QString &stepName)
{
    _undoStack->push(new FractalStep(this, stepName, _fractal->clone(), fractal.clone(), _selected));
}

void EditableFractal::resetFractal(FracPtr fractal)
{
    if (fractal && fractal == _fractal)
        return;
    _undoStack->clear();
    _fractal = fractal ? std::move(fractal) : QvFrac::defaultFractal();
    _selected = -1;
    emit fractalReplaced();
    reselect(-1);
    emit fractalChanged();
}

void EditableFractal::applyMap(int index, const QvTransform &value)
{
    if (index < 0 || index >= mapCount())
        return;
    *(*_fractal->transforms())[static_cast<size_t>(index)] = value;
    setSelected(index);
    emit mapChanged(index);
    emit fractalChanged();
}

void EditableFractal::applyInsert(int index, const QvTransform &value)
{
    TransformList &list = *_fractal->transforms();
    index = std::clamp(index, 0, mapCount());
    list.insert(list.begin() + index, std::make_shared<QvTransform>(value));
    // Places after the new map moved up by one; the new map is selected.
    _selected = -1;
    emit mapInserted(index);
    reselect(index);
    emit fractalChanged();
}

void EditableFractal::applyRemove(int index, int selectAfter)
{
    if (index < 0 || index >= mapCount())
        return;
    TransformList &list = *_fractal->transforms();
    list.erase(list.begin() + index);
    _selected = -1;
    emit mapRemoved(index);
    reselect(selectAfter);
    emit fractalChanged();
}

void EditableFractal::applySettings(int32_t iterations, _rgb_color background)
{
    _fractal->setIterations(iterations);
    _fractal->setBgColor(background);
    emit settingsChanged();
    emit fractalChanged();
}

void EditableFractal::applyFractal(const QvFrac &fractal, int selectAfter)
{
    _fractal = fractal.clone();
    _selected = -1;
    emit fractalReplaced();
    reselect(selectAfter);
    emit fractalChanged();
}

} // namespace attractor
