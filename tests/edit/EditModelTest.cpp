#include "edit/EditableFractal.h"
#include "model/QvFrac.h"
#include "model/QvTransform.h"
#include "persistence/DocumentFormat.h"

#include <QUndoStack>

#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <limits>
#include <memory>
#include <string>

using namespace attractor;

namespace {

// The document as its text, which writes every value exactly (a negative
// zero too), and the selection: an undo must give back exactly what was there.
using Selection = EditableFractal::Selection;
struct State {
    QString text;
    Selection selected;
    bool operator==(const State &) const = default;
};

void PrintTo(const State &s, std::ostream *out)
{
    *out << s.text.toStdString() << " selected " << testing::PrintToString(s.selected.indices) << " current "
         << s.selected.current;
}

Selection only(int index) { return index < 0 ? Selection() : Selection{{index}, index}; }
State stateOf(const QvFrac &fractal, int selected) { return {jsonRepresentation(fractal), only(selected)}; }
QString textOf(const QvTransform &map) { return jsonRepresentation(map); }

State stateOf(const EditableFractal &model) { return {jsonRepresentation(model.fractal()), model.selection()}; }

QvTransform makeMap(QPointF scale, float rotation, QPointF translation, _rgb_color rgb, float probability)
{
    QvTransform m(scale, rotation, translation, rgb);
    m.setProbability(probability);
    return m;
}

// Four maps that differ in every value and a background with a negative zero.
FracPtr startingFractal()
{
    auto list = std::make_shared<TransformList>();
    for (int i = 0; i < 4; ++i)
        list->push_back(std::make_shared<QvTransform>(makeMap({0.5 - 0.2 * i, 0.1 + 0.15 * i}, 0.3f * i - 1,
                                                              {i - 1.5, 0.75 * i}, {0.1f * i, 0.2f, 1 - 0.2f * i, 1},
                                                              1.0f + 0.5f * i)));
    return std::make_shared<QvFrac>(list, 123457, _rgb_color{0.05f, -0.0f, 0.9f, 1});
}

std::string text(const QString &s) { return s.toStdString(); }

class EditModel : public testing::Test
{
protected:
    EditModel() { model.resetFractal(startingFractal()); }

    QUndoStack &stack() { return *model.undoStack(); }

    // The map at index with its values changed by `by` (the model does not
    // look at which value an edit's kind names).
    QvTransform edited(int index, double by = 1.0)
    {
        QvTransform m = model.map(index);
        m.setTranslation(m.translation() + QPointF(0.25 * by, -0.5 * by));
        m.setRotation(m.rotation() + 0.75f * static_cast<float>(by));
        m.setProbability(0.25f * static_cast<float>(by));
        return m;
    }

    // Runs `edit`; checks it is one step named `name` that undoes to the state
    // before (selected as `undoneSelection`) and redoes to the state after.
    void checkStep(const std::function<void()> &edit, const std::string &name, int undoneSelection)
    {
        checkStep(edit, name, only(undoneSelection));
    }
    void checkStep(const std::function<void()> &edit, const std::string &name, const Selection &undoneSelection)
    {
        State before = stateOf(model);
        const int count = stack().count();
        edit();
        const State after = stateOf(model);
        EXPECT_NE(after, before);
        EXPECT_EQ(stack().count(), count + 1);
        EXPECT_EQ(text(stack().undoText()), name);
        stack().undo();
        before.selected = undoneSelection;
        EXPECT_EQ(stateOf(model), before) << name;
        stack().redo();
        EXPECT_EQ(stateOf(model), after) << name;
    }

    EditableFractal model;
};

const std::pair<MapEdit, const char *> kinds[] = {
    {MapEdit::Move, "Move Map"},         {MapEdit::Scale, "Scale Map"},
    {MapEdit::Rotate, "Rotate Map"},     {MapEdit::Colour, "Change Colour"},
    {MapEdit::Probability, "Change Probability"}, {MapEdit::SetTranslationX, "Set Translation X"},
    {MapEdit::SetTranslationY, "Set Translation Y"}, {MapEdit::SetScaleX, "Set Scale X"},
    {MapEdit::SetScaleY, "Set Scale Y"}, {MapEdit::SetRotation, "Set Rotation"},
    {MapEdit::SetProbability, "Set Probability"}};

// Each kind: one exact, named step that selects its map (also on undo);
// repeats in one gesture merge; another gesture, map or kind does not.
TEST_F(EditModel, EachMapEditIsOneNamedStepAndMergesOnlyWithItsOwnKindMapAndGesture)
{
    for (size_t k = 0; k < std::size(kinds); ++k) {
        const auto [kind, name] = kinds[k];
        const MapEdit other = kinds[(k + 1) % std::size(kinds)].first;
        model.resetFractal(startingFractal());
        model.select(0);
        checkStep([&] { ASSERT_TRUE(model.setMap(2, edited(2), kind)); }, name, 2);
        EXPECT_EQ(model.selectedIndex(), 2) << name;
        model.select(3);
        stack().undo();
        EXPECT_EQ(model.selectedIndex(), 2) << name;
        stack().redo();

        const State afterFirst = stateOf(model);
        model.beginGesture();
        checkStep([&] { for (int i = 2; i <= 4; ++i) ASSERT_TRUE(model.setMap(2, edited(2, i), kind)); },
                  name, 2);
        checkStep([&] { ASSERT_TRUE(model.setMap(1, edited(1), kind)); }, name, 1);
        checkStep([&] { ASSERT_TRUE(model.setMap(1, edited(1, 2), other)); }, text(EditableFractal::stepName(other)), 1);
        EXPECT_EQ(stack().count(), 4);
        for (int i = 0; i < 3; ++i)
            stack().undo();
        EXPECT_EQ(stateOf(model), afterFirst) << name;
    }
}

TEST_F(EditModel, SettingsStepsAreExactNamedAndMergeOnlyWithinOneFieldAndGesture)
{
    model.select(1);
    checkStep([&] { for (int n : {1000, 2000, 3000}) model.setIterations(n); }, "Change Iterations", 1);
    EXPECT_EQ(model.fractal().iterations(), 3000);
    // The negative zero of the background comes back as one.
    checkStep([&] { for (float g : {0.1f, 0.2f, 0.3f}) model.setBackground({0, g, 0, 1}); }, "Change Background", 1);
    checkStep([&] { model.setIterations(4242); }, "Change Iterations", 1);
    model.beginGesture();
    checkStep([&] { model.setIterations(4343); }, "Change Iterations", 1);
    checkStep([&] { model.setBackground({1, 0, 0, 1}); }, "Change Background", 1);
    model.beginGesture();
    checkStep([&] { model.setBackground({0, 1, 0, 1}); }, "Change Background", 1);
    // The density look, clamped, its supersampling no part of the document.
    checkStep([&] { for (double g : {1.5, 2.5, 9.0}) model.setDensity({.supersample = 3, .gamma = g}); }, "Change Density Look", 1);
    EXPECT_EQ(model.fractal().density(), (DensityOptions{.gamma = kMaxGamma}));
    model.setDensity({.supersample = 2, .gamma = kMaxGamma});
    EXPECT_EQ(stack().count(), 7);

    // A map edit and a settings step never merge either.
    model.resetFractal(startingFractal());
    ASSERT_TRUE(model.setMap(0, edited(0), MapEdit::Move));
    model.setIterations(10);
    ASSERT_TRUE(model.setMap(0, edited(0, 2), MapEdit::Move));
    EXPECT_EQ(stack().count(), 3);
}

TEST_F(EditModel, SettingASettingToTheSameBitsPushesNoStep)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    FracPtr withNaN = startingFractal();
    withNaN->setBgColor({nan, -0.0f, nan, 1});
    model.resetFractal(withNaN);
    QObject context;
    int changes = 0;
    QObject::connect(&model, &EditableFractal::fractalChanged, &context, [&] { ++changes; });
    model.setIterations(model.fractal().iterations());
    model.setBackground({nan, -0.0f, nan, 1});
    EXPECT_TRUE(changes == 0 && stack().count() == 0);
    // 0 and -0 compare equal but are not the same value.
    checkStep([&] { model.setBackground({nan, 0.0f, nan, 1}); }, "Change Background", -1);
}

// Replacing is one step on a copy of the given fractal; resetting takes the
// fractal as it is and clears the history and the selection.
TEST_F(EditModel, ReplaceTakesACopyAsOneStepAndResetTakesTheFractalAndClearsTheHistory)
{
    model.setSelection({3, 1}, 1);
    auto list = std::make_shared<TransformList>();
    list->push_back(std::make_shared<QvTransform>(makeMap({0.7, 0.2}, 0.5f, {1, 1}, {1, 1, 0, 1}, 1.0f)));
    QvFrac other(list, 999, {0.2f, 0.1f, 0.0f, 1});
    checkStep([&] { model.replaceFractal(other, QStringLiteral("Random Fractal")); }, "Random Fractal", Selection{{1, 3}, 1});
    // Later changes to the caller's fractal are none of the document's.
    const State after = stateOf(other, -1);
    list->at(0)->setTranslation({-9, -9});
    list->push_back(std::make_shared<QvTransform>());
    other.setIterations(1);
    EXPECT_EQ(stateOf(model), after);
    stack().undo();
    stack().redo();
    EXPECT_EQ(stateOf(model), after);

    model.insertMap(0, QvTransform(), QStringLiteral("Add Map"));
    stack().undo();
    model.select(0);
    const FracPtr loaded = QvFrac::defaultFractal();
    model.resetFractal(loaded);
    EXPECT_EQ(model.sharedFractal(), loaded);
    EXPECT_FALSE(stack().canUndo() || stack().canRedo() || !stack().isClean() || model.selectedIndex() != -1);
}

// Maps set, taken out and added together: one step each that undoes and
// redoes values, places and the selection that went with it, whatever was
// selected in between; the same maps merge within a gesture.
TEST_F(EditModel, GroupEditsAreOneStepRestoringValuesAndSelection)
{
    const QvTransform added[] = {makeMap({0.2, 0.3}, 1.0f, {-0.5, 0.25}, {0.3f, 0.3f, 0.9f, 1}, 1.5f), QvTransform()};
    model.setSelection({0, 1, 3}, 3);
    checkStep([&] { ASSERT_TRUE(model.setMaps({{3, edited(3)}, {1, edited(1)}}, MapEdit::Move)); }, "Move Map", Selection{{1, 3}, 3});
    model.select(0);
    stack().undo();
    EXPECT_EQ(model.selection(), (Selection{{1, 3}, 3}));
    stack().redo();
    const QvTransform one = edited(1, 2), three = edited(3, 2);
    ASSERT_TRUE(model.setMaps({{1, one}, {3, three}}, MapEdit::Move) && model.setMaps({{1, edited(1, 3)}}, MapEdit::Move));
    EXPECT_EQ(stack().count(), 2);
    stack().undo();
    EXPECT_EQ(std::pair(textOf(model.map(1)), textOf(model.map(3))), std::pair(textOf(one), textOf(three)));
    stack().redo();

    model.setSelection({0, 2}, 0);
    checkStep([&] { ASSERT_TRUE(model.removeMaps({2, 0}, QStringLiteral("Delete Maps"))); }, "Delete Maps", Selection{{0, 2}, 0});
    EXPECT_EQ(std::pair(model.mapCount(), model.selection()), std::pair(2, Selection()));
    model.select(1);
    checkStep([&] { model.insertMaps(1, {added[0], added[1]}, QStringLiteral("Paste Maps")); }, "Paste Maps", 1);
    EXPECT_EQ(model.selection(), (Selection{{1, 2}, 2}));
    EXPECT_EQ(std::pair(textOf(model.map(1)), textOf(model.map(2))), std::pair(textOf(added[0]), textOf(added[1])));

    // Past either end: added at that end, and undone again.
    const State before = stateOf(model);
    model.insertMap(INT_MAX, added[0], QStringLiteral("Add Map"));
    model.insertMap(-7, added[1], QStringLiteral("Add Map"));
    EXPECT_EQ(std::pair(textOf(model.map(0)), textOf(model.map(5))), std::pair(textOf(added[1]), textOf(added[0])));
    stack().undo(), stack().undo();
    EXPECT_EQ(stateOf(model), before);
    // No maps, a place twice or out of range: no step.
    const std::pair unchanged(stack().index(), stateOf(model));
    EXPECT_FALSE(model.setMap(INT_MIN, added[0], MapEdit::Move) || model.removeMap(INT_MAX, {}) || model.setMaps({}, MapEdit::Move) || model.setMaps({{1, added[0]}, {1, added[1]}}, MapEdit::Move)
                 || model.setMaps({{0, added[0]}, {6, added[1]}}, MapEdit::Move) || model.removeMaps({}, {})
                 || model.removeMaps({2, 2}, {}) || model.removeMaps({0, -1}, {}));
    model.insertMaps(0, {}, {});
    EXPECT_EQ(std::pair(stack().index(), stateOf(model)), unchanged);
}

} // namespace

// The view is stored clamped, signalled only when it changes, and no edit.
TEST_F(EditModel, ViewIsClampedSignalledOnChangeAndNoEdit)
{
    QObject context;
    int views = 0, edits = 0;
    QObject::connect(&model, &EditableFractal::viewChanged, &context, [&] { ++views; });
    QObject::connect(&model, &EditableFractal::fractalChanged, &context, [&] { ++edits; });
    for (const auto &[set, held, signalled] : {std::tuple{View{{1, 2}, 3}, View{{1, 2}, 3}, 1}, {View{{1, 2}, 3}, View{{1, 2}, 3}, 1},
                                               {View{{1, 2}, 1e12}, View{{1, 2}, kMaxZoom}, 2}, {View{{1, 2}, 2e12}, View{{1, 2}, kMaxZoom}, 2},
                                               {View{{std::nan(""), 0}, 0}, View(), 3}}) {
        model.setView(set);
        EXPECT_TRUE(model.view() == held && views == signalled) << views;
    }
    EXPECT_TRUE(edits == 0 && stack().count() == 0);
}
