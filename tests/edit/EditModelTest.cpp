#include "edit/EditableFractal.h"
#include "model/QvFrac.h"
#include "model/QvTransform.h"

#include <QUndoStack>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <climits>
#include <cmath>
#include <functional>
#include <limits>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

using namespace attractor;
using testing::ElementsAre;
using testing::IsEmpty;
using testing::UnorderedElementsAre;

namespace {

// Every value of the document as bits: an undo must give back exactly what
// was there, a negative zero or a NaN included, which == cannot tell.
struct MapBits {
    uint64_t scaleX, scaleY, translationX, translationY;
    uint32_t rotation, probability;
    std::array<uint32_t, 4> rgb;
    bool operator==(const MapBits &) const = default;
};

struct State {
    std::vector<MapBits> maps;
    int32_t iterations;
    std::array<uint32_t, 4> background;
    int selected;
    bool operator==(const State &) const = default;
};

std::array<uint32_t, 4> bitsOf(_rgb_color c)
{
    return {std::bit_cast<uint32_t>(c.r), std::bit_cast<uint32_t>(c.g), std::bit_cast<uint32_t>(c.b),
            std::bit_cast<uint32_t>(c.a)};
}

MapBits bitsOf(const QvTransform &m)
{
    return {std::bit_cast<uint64_t>(m.scale().x()),       std::bit_cast<uint64_t>(m.scale().y()),
            std::bit_cast<uint64_t>(m.translation().x()), std::bit_cast<uint64_t>(m.translation().y()),
            std::bit_cast<uint32_t>(m.rotation()),        std::bit_cast<uint32_t>(m.probability()),
            bitsOf(m.rgb())};
}

State stateOf(const QvFrac &fractal, int selected)
{
    State s{{}, fractal.iterations(), bitsOf(fractal.bgColor()), selected};
    for (const TransformPtr &m : *fractal.transforms())
        s.maps.push_back(bitsOf(*m));
    return s;
}

State stateOf(const EditableFractal &model)
{
    return stateOf(model.fractal(), model.selectedIndex());
}

// Readable failures: the values, not the bits.
void PrintTo(const State &s, std::ostream *os)
{
    const auto f = [](uint32_t b) { return std::bit_cast<float>(b); };
    const auto d = [](uint64_t b) { return std::bit_cast<double>(b); };
    *os << "{selected " << s.selected << ", iterations " << s.iterations << ", background (" << f(s.background[0])
        << ' ' << f(s.background[1]) << ' ' << f(s.background[2]) << ' ' << f(s.background[3]) << ")";
    for (const MapBits &m : s.maps)
        *os << ", map[scale (" << d(m.scaleX) << ' ' << d(m.scaleY) << ") rotation " << f(m.rotation)
            << " translation (" << d(m.translationX) << ' ' << d(m.translationY) << ") rgb (" << f(m.rgb[0]) << ' '
            << f(m.rgb[1]) << ' ' << f(m.rgb[2]) << ' ' << f(m.rgb[3]) << ") p " << f(m.probability) << ']';
    *os << '}';
}

// The model's signals in the order they came, as "name index".
class SignalLog
{
public:
    explicit SignalLog(EditableFractal &model)
    {
        const auto indexed = [this](const char *name) {
            return [this, name](int index) { _log.push_back(std::string(name) + ' ' + std::to_string(index)); };
        };
        const auto plain = [this](const char *name) { return [this, name] { _log.emplace_back(name); }; };
        _connections = {
            QObject::connect(&model, &EditableFractal::mapChanged, indexed("mapChanged")),
            QObject::connect(&model, &EditableFractal::mapInserted, indexed("mapInserted")),
            QObject::connect(&model, &EditableFractal::mapRemoved, indexed("mapRemoved")),
            QObject::connect(&model, &EditableFractal::selectionChanged, indexed("selectionChanged")),
            QObject::connect(&model, &EditableFractal::settingsChanged, plain("settingsChanged")),
            QObject::connect(&model, &EditableFractal::fractalReplaced, plain("fractalReplaced")),
            QObject::connect(&model, &EditableFractal::fractalChanged, plain("fractalChanged")),
        };
    }
    ~SignalLog()
    {
        for (const QMetaObject::Connection &c : _connections)
            QObject::disconnect(c);
    }

    // What came since the last call.
    std::vector<std::string> take() { return std::exchange(_log, {}); }

private:
    std::vector<std::string> _log;
    std::vector<QMetaObject::Connection> _connections;
};

QvTransform makeMap(QPointF scale, float rotation, QPointF translation, _rgb_color rgb, float probability)
{
    QvTransform m(scale, rotation, translation, rgb);
    m.setProbability(probability);
    return m;
}

// Four maps that differ in every value, odd settings and a background with a
// negative zero, so that a value put back in the wrong place shows.
FracPtr startingFractal()
{
    auto list = std::make_shared<TransformList>();
    list->push_back(std::make_shared<QvTransform>(
        makeMap({0.5, -0.25}, 0.3f, {-1, 0.75}, {0.1f, 0.2f, 0.3f, 1}, 1.0f)));
    list->push_back(std::make_shared<QvTransform>(
        makeMap({0.3, 0.6}, -1.2f, {0.5, -0.5}, {1, 0, 0.5f, 0.8f}, 0.7f)));
    list->push_back(std::make_shared<QvTransform>(
        makeMap({-0.4, 0.45}, 2.5f, {0.125, 1.5}, {0, 1, 0.25f, 1}, 2.0f)));
    list->push_back(std::make_shared<QvTransform>(
        makeMap({0.9, 0.1}, 0.0f, {1.5, -1.25}, {0.5f, 0.6f, 0.7f, 0.5f}, 1.0f)));
    return std::make_shared<QvFrac>(list, 123457, _rgb_color{0.05f, -0.0f, 0.9f, 1});
}

std::string text(const QString &s)
{
    return s.toStdString();
}

class EditModel : public testing::Test
{
protected:
    EditModel()
    {
        model.resetFractal(startingFractal());
        log.take();
    }

    QUndoStack &stack() { return *model.undoStack(); }

    // The map at index with the value that `kind` edits changed.
    QvTransform edited(int index, MapEdit kind, double by = 1.0)
    {
        QvTransform m = model.map(index);
        const QPointF t = m.translation(), s = m.scale();
        switch (kind) {
        case MapEdit::Move: m.setTranslation(t + QPointF(0.25 * by, -0.5 * by)); break;
        case MapEdit::Scale: m.setScale({s.x() * 0.5 * by, s.y() * 1.5 * by}); break;
        case MapEdit::Rotate: m.setRotation(m.rotation() + 0.75f * static_cast<float>(by)); break;
        case MapEdit::Colour: m.setRgb({0.9f, 0.8f * static_cast<float>(by), 0.1f, 0.6f}); break;
        case MapEdit::Probability: m.setProbability(m.probability() + 0.5f * static_cast<float>(by)); break;
        case MapEdit::SetTranslationX: m.setTranslation({t.x() + by, t.y()}); break;
        case MapEdit::SetTranslationY: m.setTranslation({t.x(), t.y() - by}); break;
        case MapEdit::SetScaleX: m.setScale({s.x() + 0.125 * by, s.y()}); break;
        case MapEdit::SetScaleY: m.setScale({s.x(), s.y() - 0.125 * by}); break;
        case MapEdit::SetRotation: m.setRotation(-3.0f * static_cast<float>(by)); break;
        case MapEdit::SetProbability: m.setProbability(0.25f * static_cast<float>(by)); break;
        }
        return m;
    }

    EditableFractal model;
    SignalLog log{model};
};

// --- One step of each kind: its change, its name, its undo and redo. -------

struct KindCase {
    MapEdit kind;
    const char *name;
};

class MapEditStep : public EditModel, public testing::WithParamInterface<KindCase> {};

TEST_P(MapEditStep, ChangesOnlyItsMapUndoesAndRedoesExactlyAndIsNamedForItsKind)
{
    const KindCase c = GetParam();
    model.select(2);
    log.take();
    const State before = stateOf(model);
    const QvTransform value = edited(2, c.kind);
    State after = before;
    after.maps[2] = bitsOf(value);
    ASSERT_NE(after, before);

    ASSERT_TRUE(model.setMap(2, value, c.kind));
    EXPECT_EQ(stateOf(model), after);
    EXPECT_EQ(stack().count(), 1);
    EXPECT_EQ(text(stack().undoText()), c.name);
    EXPECT_EQ(text(EditableFractal::stepName(c.kind)), c.name);
    EXPECT_THAT(log.take(), ElementsAre("mapChanged 2", "fractalChanged"));

    stack().undo();
    EXPECT_EQ(stateOf(model), before);
    EXPECT_EQ(text(stack().redoText()), c.name);
    EXPECT_THAT(log.take(), ElementsAre("mapChanged 2", "fractalChanged"));

    stack().redo();
    EXPECT_EQ(stateOf(model), after);
    EXPECT_THAT(log.take(), ElementsAre("mapChanged 2", "fractalChanged"));
}

INSTANTIATE_TEST_SUITE_P(
    AllKinds, MapEditStep,
    testing::Values(KindCase{MapEdit::Move, "Move Map"}, KindCase{MapEdit::Scale, "Scale Map"},
                    KindCase{MapEdit::Rotate, "Rotate Map"}, KindCase{MapEdit::Colour, "Change Colour"},
                    KindCase{MapEdit::Probability, "Change Probability"},
                    KindCase{MapEdit::SetTranslationX, "Set Translation X"},
                    KindCase{MapEdit::SetTranslationY, "Set Translation Y"},
                    KindCase{MapEdit::SetScaleX, "Set Scale X"}, KindCase{MapEdit::SetScaleY, "Set Scale Y"},
                    KindCase{MapEdit::SetRotation, "Set Rotation"},
                    KindCase{MapEdit::SetProbability, "Set Probability"}),
    [](const auto &info) {
        std::string name = info.param.name;
        std::erase(name, ' ');
        return name;
    });

const MapEdit allKinds[] = {MapEdit::Move,          MapEdit::Scale,           MapEdit::Rotate,
                            MapEdit::Colour,        MapEdit::Probability,     MapEdit::SetTranslationX,
                            MapEdit::SetTranslationY, MapEdit::SetScaleX,     MapEdit::SetScaleY,
                            MapEdit::SetRotation,   MapEdit::SetProbability};

// The editor edits the selected map, but an edit reached another way (a
// typed value after a click elsewhere) must show the map it changed.
TEST_F(EditModel, EditingAMapSelectsItAndUndoingItSelectsItAgain)
{
    model.select(0);
    log.take();
    const State before = stateOf(model);
    ASSERT_TRUE(model.setMap(3, edited(3, MapEdit::Move), MapEdit::Move));
    EXPECT_EQ(model.selectedIndex(), 3);
    EXPECT_THAT(log.take(), UnorderedElementsAre("mapChanged 3", "selectionChanged 3", "fractalChanged"));

    model.select(1);
    log.take();
    stack().undo();
    State expected = before;
    expected.selected = 3;
    EXPECT_EQ(stateOf(model), expected);
    EXPECT_EQ(model.selectedMap(), &model.map(3));
    EXPECT_THAT(log.take(), UnorderedElementsAre("mapChanged 3", "selectionChanged 3", "fractalChanged"));
}

TEST_F(EditModel, InsertAddsTheMapSelectsItAndUndoRestoresTheSelectionBefore)
{
    model.select(2);
    log.take();
    const State before = stateOf(model);
    const QvTransform value = makeMap({0.2, 0.3}, 1.0f, {-0.5, 0.25}, {0.3f, 0.3f, 0.9f, 1}, 1.5f);
    State after = before;
    after.maps.insert(after.maps.begin() + 1, bitsOf(value));
    after.selected = 1;

    model.insertMap(1, value, QStringLiteral("Add Map"));
    EXPECT_EQ(stateOf(model), after);
    EXPECT_EQ(stack().count(), 1);
    EXPECT_EQ(text(stack().undoText()), "Add Map");
    EXPECT_THAT(log.take(), ElementsAre("mapInserted 1", "selectionChanged 1", "fractalChanged"));

    // The map that was selected moved up by one and back: it is selected again.
    stack().undo();
    EXPECT_EQ(stateOf(model), before);
    EXPECT_THAT(log.take(), ElementsAre("mapRemoved 1", "selectionChanged 2", "fractalChanged"));

    stack().redo();
    EXPECT_EQ(stateOf(model), after);
    EXPECT_THAT(log.take(), ElementsAre("mapInserted 1", "selectionChanged 1", "fractalChanged"));
}

TEST_F(EditModel, UndoingAnInsertWithNothingSelectedSelectsNothing)
{
    const State before = stateOf(model);
    ASSERT_EQ(before.selected, -1);
    model.insertMap(4, QvTransform(), QStringLiteral("Add Map"));
    EXPECT_EQ(model.selectedIndex(), 4);
    stack().undo();
    EXPECT_EQ(stateOf(model), before);
}

// An index past either end adds the map at that end, and its undo takes out
// the map it added.
TEST_F(EditModel, InsertPastEitherEndAddsAtThatEndAndUndoes)
{
    const State before = stateOf(model);
    const QvTransform last = makeMap({0.1, 0.1}, 0.0f, {3, 3}, {1, 1, 1, 1}, 1.0f);
    const QvTransform first = makeMap({0.2, 0.2}, 0.0f, {-3, -3}, {0, 0, 0, 1}, 1.0f);
    model.insertMap(INT_MAX, last, QStringLiteral("Add Map"));
    model.insertMap(-7, first, QStringLiteral("Add Map"));
    State after = before;
    after.maps.push_back(bitsOf(last));
    after.maps.insert(after.maps.begin(), bitsOf(first));
    after.selected = 0;
    EXPECT_EQ(stateOf(model), after);
    EXPECT_THAT(log.take(), ElementsAre("mapInserted 4", "selectionChanged 4", "fractalChanged", "mapInserted 0",
                                        "selectionChanged 0", "fractalChanged"));
    stack().undo();
    stack().undo();
    EXPECT_EQ(stateOf(model), before);
    EXPECT_THAT(log.take(), ElementsAre("mapRemoved 0", "selectionChanged 4", "fractalChanged", "mapRemoved 4",
                                        "selectionChanged -1", "fractalChanged"));
}

TEST_F(EditModel, RemoveTakesTheMapOutSelectsNothingAndUndoPutsItBackSelected)
{
    model.select(1);
    log.take();
    const State before = stateOf(model);
    State after = before;
    after.maps.erase(after.maps.begin() + 1);
    after.selected = -1;

    ASSERT_TRUE(model.removeMap(1, QStringLiteral("Delete Map")));
    EXPECT_EQ(stateOf(model), after);
    EXPECT_EQ(stack().count(), 1);
    EXPECT_EQ(text(stack().undoText()), "Delete Map");
    EXPECT_THAT(log.take(), ElementsAre("mapRemoved 1", "selectionChanged -1", "fractalChanged"));

    stack().undo();
    EXPECT_EQ(stateOf(model), before);
    EXPECT_THAT(log.take(), ElementsAre("mapInserted 1", "selectionChanged 1", "fractalChanged"));

    stack().redo();
    EXPECT_EQ(stateOf(model), after);
    EXPECT_THAT(log.take(), ElementsAre("mapRemoved 1", "selectionChanged -1", "fractalChanged"));
}

// Undo shows the map that came back, whatever was selected before.
TEST_F(EditModel, UndoingARemovalSelectsTheMapThatCameBack)
{
    model.select(3);
    const State before = stateOf(model);
    ASSERT_TRUE(model.removeMap(0, QStringLiteral("Delete Map")));
    EXPECT_EQ(model.selectedIndex(), -1);
    stack().undo();
    State expected = before;
    expected.selected = 0;
    EXPECT_EQ(stateOf(model), expected);
}

TEST_F(EditModel, IterationsStepChangesOnlyTheIterations)
{
    model.select(1);
    log.take();
    const State before = stateOf(model);
    State after = before;
    after.iterations = 5000;

    model.setIterations(5000);
    EXPECT_EQ(stateOf(model), after);
    EXPECT_EQ(stack().count(), 1);
    EXPECT_EQ(text(stack().undoText()), "Change Iterations");
    EXPECT_THAT(log.take(), ElementsAre("settingsChanged", "fractalChanged"));

    stack().undo();
    EXPECT_EQ(stateOf(model), before);
    EXPECT_THAT(log.take(), ElementsAre("settingsChanged", "fractalChanged"));
    stack().redo();
    EXPECT_EQ(stateOf(model), after);
    EXPECT_THAT(log.take(), ElementsAre("settingsChanged", "fractalChanged"));
}

TEST_F(EditModel, BackgroundStepChangesOnlyTheBackground)
{
    model.select(1);
    log.take();
    const State before = stateOf(model);
    const _rgb_color colour{0.25f, 0.5f, 0.75f, 0.5f};
    State after = before;
    after.background = bitsOf(colour);

    model.setBackground(colour);
    EXPECT_EQ(stateOf(model), after);
    EXPECT_EQ(stack().count(), 1);
    EXPECT_EQ(text(stack().undoText()), "Change Background");
    EXPECT_THAT(log.take(), ElementsAre("settingsChanged", "fractalChanged"));

    // The background's negative zero comes back as a negative zero.
    stack().undo();
    EXPECT_EQ(stateOf(model), before);
    EXPECT_THAT(log.take(), ElementsAre("settingsChanged", "fractalChanged"));
    stack().redo();
    EXPECT_EQ(stateOf(model), after);
    EXPECT_THAT(log.take(), ElementsAre("settingsChanged", "fractalChanged"));
}

TEST_F(EditModel, ReplaceTakesACopyOfTheFractalAndUndoBringsBackTheOldOneAndItsSelection)
{
    model.select(2);
    log.take();
    const State before = stateOf(model);
    auto list = std::make_shared<TransformList>();
    list->push_back(std::make_shared<QvTransform>(makeMap({0.7, 0.2}, 0.5f, {1, 1}, {1, 1, 0, 1}, 1.0f)));
    list->push_back(std::make_shared<QvTransform>(makeMap({0.1, 0.8}, -0.5f, {-1, 0}, {0, 1, 1, 1}, 3.0f)));
    QvFrac other(list, 999, {0.2f, 0.1f, 0.0f, 1});
    const State after = stateOf(other, -1);

    model.replaceFractal(other, QStringLiteral("Random Fractal"));
    EXPECT_EQ(stateOf(model), after);
    EXPECT_EQ(stack().count(), 1);
    EXPECT_EQ(text(stack().undoText()), "Random Fractal");
    EXPECT_THAT(log.take(), ElementsAre("fractalReplaced", "selectionChanged -1", "fractalChanged"));

    // Later changes to the caller's fractal are none of the document's.
    list->at(0)->setTranslation({-9, -9});
    list->push_back(std::make_shared<QvTransform>());
    other.setIterations(1);
    EXPECT_EQ(stateOf(model), after);

    stack().undo();
    EXPECT_EQ(stateOf(model), before);
    EXPECT_THAT(log.take(), ElementsAre("fractalReplaced", "selectionChanged 2", "fractalChanged"));
    stack().redo();
    EXPECT_EQ(stateOf(model), after);
    EXPECT_THAT(log.take(), ElementsAre("fractalReplaced", "selectionChanged -1", "fractalChanged"));
}

// A long history of every kind undoes to the start and redoes to the end.
TEST_F(EditModel, AMixedHistoryUndoesAndRedoesThroughEveryState)
{
    std::vector<State> states{stateOf(model)};
    const auto record = [&] {
        states.push_back(stateOf(model));
        model.beginGesture();
    };
    model.select(1);
    states.back() = stateOf(model);
    for (MapEdit kind : allKinds) {
        ASSERT_TRUE(model.setMap(static_cast<int>(states.size()) % 4, edited(static_cast<int>(states.size()) % 4, kind),
                                 kind));
        record();
    }
    model.insertMap(2, QvTransform(), QStringLiteral("Add Map"));
    record();
    ASSERT_TRUE(model.removeMap(0, QStringLiteral("Delete Map")));
    record();
    model.setIterations(77);
    record();
    model.setBackground({1, 0, 1, 1});
    record();
    model.replaceFractal(*QvFrac::defaultFractal(), QStringLiteral("Random Fractal"));
    record();
    ASSERT_EQ(stack().count(), static_cast<int>(states.size()) - 1);

    // Undo restores each state but the selection an edit step reselects.
    for (int i = static_cast<int>(states.size()) - 2; i >= 0; --i) {
        stack().undo();
        State expected = states[static_cast<size_t>(i)];
        expected.selected = model.selectedIndex();
        EXPECT_EQ(stateOf(model), expected) << "undone to " << i;
    }
    for (size_t i = 1; i < states.size(); ++i) {
        stack().redo();
        EXPECT_EQ(stateOf(model), states[i]) << "redone to " << i;
    }
}

// --- Which edits merge into one step. -------------------------------------

TEST_F(EditModel, EditsOfOneKindOnOneMapInOneGestureAreOneStep)
{
    for (MapEdit kind : allKinds) {
        const State before = stateOf(model);
        model.beginGesture();
        QvTransform last;
        for (int k = 1; k <= 3; ++k) {
            last = edited(1, kind, k);
            ASSERT_TRUE(model.setMap(1, last, kind));
        }
        State after = before;
        after.maps[1] = bitsOf(last);
        after.selected = 1;
        EXPECT_EQ(stack().count(), 1) << text(EditableFractal::stepName(kind));
        EXPECT_EQ(stateOf(model), after);
        // One undo goes back past the whole drag; one redo to its end.
        stack().undo();
        State undone = before;
        undone.selected = 1;
        EXPECT_EQ(stateOf(model), undone) << text(EditableFractal::stepName(kind));
        stack().redo();
        EXPECT_EQ(stateOf(model), after) << text(EditableFractal::stepName(kind));
        model.resetFractal(startingFractal());
    }
}

TEST_F(EditModel, AnEditOfAnotherMapStartsANewStep)
{
    const State before = stateOf(model);
    const QvTransform first = edited(1, MapEdit::Move);
    const QvTransform second = edited(2, MapEdit::Move);
    ASSERT_TRUE(model.setMap(1, first, MapEdit::Move));
    ASSERT_TRUE(model.setMap(2, second, MapEdit::Move));
    ASSERT_EQ(stack().count(), 2);
    stack().undo();
    State expected = before;
    expected.maps[1] = bitsOf(first);
    expected.selected = 2;
    EXPECT_EQ(stateOf(model), expected);
    stack().undo();
    expected = before;
    expected.selected = 1;
    EXPECT_EQ(stateOf(model), expected);
}

TEST_F(EditModel, AnEditOfAnotherKindStartsANewStep)
{
    for (MapEdit a : allKinds) {
        for (MapEdit b : allKinds) {
            if (a == b)
                continue;
            model.resetFractal(startingFractal());
            const QvTransform first = edited(1, a);
            ASSERT_TRUE(model.setMap(1, first, a));
            ASSERT_TRUE(model.setMap(1, edited(1, b, 2), b));
            ASSERT_EQ(stack().count(), 2) << text(EditableFractal::stepName(a)) << " then "
                                          << text(EditableFractal::stepName(b));
            EXPECT_EQ(text(stack().undoText()), text(EditableFractal::stepName(b)));
            stack().undo();
            EXPECT_EQ(bitsOf(model.map(1)), bitsOf(first));
        }
    }
    // Nor does a map edit merge with a settings step or the other way round.
    model.resetFractal(startingFractal());
    ASSERT_TRUE(model.setMap(0, edited(0, MapEdit::Move), MapEdit::Move));
    model.setIterations(10);
    ASSERT_TRUE(model.setMap(0, edited(0, MapEdit::Move, 2), MapEdit::Move));
    EXPECT_EQ(stack().count(), 3);
}

TEST_F(EditModel, IterationsAndBackgroundAreSeparateSteps)
{
    const State before = stateOf(model);
    model.setIterations(4242);
    model.setBackground({0.5f, 0.5f, 0.5f, 1});
    ASSERT_EQ(stack().count(), 2);
    EXPECT_EQ(text(stack().undoText()), "Change Background");
    stack().undo();
    State expected = before;
    expected.iterations = 4242;
    EXPECT_EQ(stateOf(model), expected);
    EXPECT_EQ(text(stack().undoText()), "Change Iterations");

    // And the other way round.
    model.resetFractal(startingFractal());
    model.setBackground({0.5f, 0.5f, 0.5f, 1});
    model.setIterations(4242);
    ASSERT_EQ(stack().count(), 2);
    stack().undo();
    expected = before;
    expected.background = bitsOf(_rgb_color{0.5f, 0.5f, 0.5f, 1});
    EXPECT_EQ(stateOf(model), expected);
}

TEST_F(EditModel, ASliderDragOfOneSettingIsOneStep)
{
    const State before = stateOf(model);
    for (int32_t n : {1000, 2000, 3000})
        model.setIterations(n);
    EXPECT_EQ(stack().count(), 1);
    EXPECT_EQ(model.fractal().iterations(), 3000);
    for (float g : {0.1f, 0.2f, 0.3f})
        model.setBackground({0, g, 0, 1});
    EXPECT_EQ(stack().count(), 2);
    stack().undo();
    EXPECT_EQ(model.fractal().iterations(), 3000);
    stack().undo();
    EXPECT_EQ(stateOf(model), before);
    stack().redo();
    stack().redo();
    State after = before;
    after.iterations = 3000;
    after.background = bitsOf(_rgb_color{0, 0.3f, 0, 1});
    EXPECT_EQ(stateOf(model), after);
}

TEST_F(EditModel, ANewGestureStartsANewStep)
{
    const State before = stateOf(model);
    const QvTransform first = edited(1, MapEdit::Scale);
    ASSERT_TRUE(model.setMap(1, first, MapEdit::Scale));
    model.beginGesture();
    ASSERT_TRUE(model.setMap(1, edited(1, MapEdit::Scale, 2), MapEdit::Scale));
    ASSERT_EQ(stack().count(), 2);
    stack().undo();
    EXPECT_EQ(bitsOf(model.map(1)), bitsOf(first));

    model.resetFractal(startingFractal());
    model.setIterations(600);
    model.beginGesture();
    model.setIterations(700);
    ASSERT_EQ(stack().count(), 2);
    stack().undo();
    EXPECT_EQ(model.fractal().iterations(), 600);

    model.resetFractal(startingFractal());
    model.setBackground({1, 0, 0, 1});
    model.beginGesture();
    model.setBackground({0, 1, 0, 1});
    ASSERT_EQ(stack().count(), 2);
    stack().undo();
    State expected = before;
    expected.background = bitsOf(_rgb_color{1, 0, 0, 1});
    EXPECT_EQ(stateOf(model), expected);
}

// --- The saved state and a fresh history. ----------------------------------

TEST_F(EditModel, UndoAndRedoBackToTheSavedStateMakeItCleanAgain)
{
    ASSERT_TRUE(model.setMap(1, edited(1, MapEdit::Move), MapEdit::Move));
    model.beginGesture();
    model.setIterations(31);
    stack().setClean();
    const State saved = stateOf(model);
    model.beginGesture();
    model.setIterations(32);
    EXPECT_FALSE(stack().isClean());
    stack().undo();
    EXPECT_TRUE(stack().isClean());
    EXPECT_EQ(stateOf(model), saved);
    stack().undo();
    EXPECT_FALSE(stack().isClean());
    stack().redo();
    EXPECT_TRUE(stack().isClean());
    EXPECT_EQ(stateOf(model), saved);
    stack().redo();
    EXPECT_FALSE(stack().isClean());
}

// Merging into the saved step would leave no way back to what was saved.
TEST_F(EditModel, AnEditAfterSavingNeverMergesIntoTheSavedStep)
{
    ASSERT_TRUE(model.setMap(1, edited(1, MapEdit::Move), MapEdit::Move));
    stack().setClean();
    const State saved = stateOf(model);
    ASSERT_TRUE(model.setMap(1, edited(1, MapEdit::Move, 2), MapEdit::Move));
    EXPECT_EQ(stack().count(), 2);
    stack().undo();
    EXPECT_TRUE(stack().isClean());
    EXPECT_EQ(stateOf(model), saved);

    model.resetFractal(startingFractal());
    model.setIterations(50);
    stack().setClean();
    model.setIterations(60);
    EXPECT_EQ(stack().count(), 2);
    stack().undo();
    EXPECT_TRUE(stack().isClean());
    EXPECT_EQ(model.fractal().iterations(), 50);
}

TEST_F(EditModel, ResetTakesTheFractalAsItIsAndClearsTheHistory)
{
    model.select(2);
    ASSERT_TRUE(model.setMap(2, edited(2, MapEdit::Rotate), MapEdit::Rotate));
    model.setIterations(9);
    model.insertMap(0, QvTransform(), QStringLiteral("Add Map"));
    stack().undo();
    log.take();

    const FracPtr loaded = QvFrac::defaultFractal();
    loaded->setIterations(31337);
    model.resetFractal(loaded);
    EXPECT_EQ(model.sharedFractal(), loaded);
    EXPECT_EQ(stack().count(), 0);
    EXPECT_FALSE(stack().canUndo());
    EXPECT_FALSE(stack().canRedo());
    EXPECT_TRUE(stack().isClean());
    EXPECT_EQ(model.selectedIndex(), -1);
    EXPECT_THAT(log.take(), ElementsAre("fractalReplaced", "selectionChanged -1", "fractalChanged"));

    // Old steps cannot be replayed onto the new fractal.
    const State fresh = stateOf(model);
    stack().undo();
    stack().redo();
    EXPECT_EQ(stateOf(model), fresh);
    EXPECT_THAT(log.take(), IsEmpty());

    model.resetFractal(nullptr);
    EXPECT_EQ(stateOf(model), stateOf(*QvFrac::defaultFractal(), -1));
}

// --- Selection and edits that change nothing. ------------------------------

TEST_F(EditModel, SelectingOutOfRangeSelectsNothing)
{
    model.select(3);
    EXPECT_EQ(model.selectedMap(), &model.map(3));
    model.select(3);
    EXPECT_THAT(log.take(), ElementsAre("selectionChanged 3"));
    for (int index : {4, -1, -2, INT_MAX, INT_MIN}) {
        model.select(3);
        log.take();
        model.select(index);
        EXPECT_EQ(model.selectedIndex(), -1) << index;
        EXPECT_EQ(model.selectedMap(), nullptr);
        EXPECT_THAT(log.take(), ElementsAre("selectionChanged -1"));
    }
    EXPECT_EQ(stack().count(), 0);
}

TEST_F(EditModel, AMapEditOrRemovalOutOfRangeDoesNothing)
{
    model.select(1);
    log.take();
    const State before = stateOf(model);
    for (int index : {-1, 4, INT_MIN, INT_MAX}) {
        EXPECT_FALSE(model.setMap(index, QvTransform(), MapEdit::Move)) << index;
        EXPECT_FALSE(model.removeMap(index, QStringLiteral("Delete Map"))) << index;
    }
    EXPECT_EQ(stateOf(model), before);
    EXPECT_EQ(stack().count(), 0);
    EXPECT_THAT(log.take(), IsEmpty());
}

TEST_F(EditModel, SettingASettingToItsOwnValuePushesNoStep)
{
    model.setIterations(model.fractal().iterations());
    model.setBackground(model.fractal().bgColor());
    EXPECT_EQ(stack().count(), 0);
    EXPECT_THAT(log.take(), IsEmpty());

    // A NaN read from a file is no change when set again, though NaN != NaN.
    const float nan = std::numeric_limits<float>::quiet_NaN();
    FracPtr withNaN = startingFractal();
    withNaN->setBgColor({nan, 0.5f, nan, 1});
    model.resetFractal(withNaN);
    log.take();
    model.setBackground({nan, 0.5f, nan, 1});
    EXPECT_EQ(stack().count(), 0);
    EXPECT_THAT(log.take(), IsEmpty());
}

// The same value is the same bits: 0 and -0 compare equal but differ.
TEST_F(EditModel, ABackgroundThatDiffersOnlyInTheSignOfZeroIsAChange)
{
    const State before = stateOf(model);
    ASSERT_EQ(std::bit_cast<uint32_t>(model.fractal().bgColor().g), std::bit_cast<uint32_t>(-0.0f));
    model.setBackground({0.05f, 0.0f, 0.9f, 1});
    EXPECT_EQ(stack().count(), 1);
    EXPECT_EQ(std::bit_cast<uint32_t>(model.fractal().bgColor().g), 0u);
    stack().undo();
    EXPECT_EQ(stateOf(model), before);
}

// --- Lifetime. --------------------------------------------------------------

// Steps still on the stack are freed with the model without being undone or
// reaching a model half torn down (the sanitizer build checks the memory).
TEST(EditModelLifetime, DestroyingTheModelWithStepsOnTheStackUndoesNothing)
{
    auto owner = std::make_unique<QObject>();
    auto *model = new EditableFractal(owner.get());
    model->select(0);
    ASSERT_TRUE(model->setMap(0, QvTransform(), MapEdit::Move));
    model->insertMap(1, QvTransform(), QStringLiteral("Add Map"));
    ASSERT_TRUE(model->removeMap(2, QStringLiteral("Delete Map")));
    model->setIterations(5);
    model->setBackground({1, 1, 1, 1});
    model->replaceFractal(*QvFrac::defaultFractal(), QStringLiteral("Random Fractal"));
    model->undoStack()->undo();
    model->undoStack()->undo();
    ASSERT_EQ(model->undoStack()->count(), 6);

    std::vector<std::string> heard;
    {
        SignalLog log(*model);
        // A watcher of the history that reads the model as the history goes.
        QObject::connect(model->undoStack(), &QUndoStack::indexChanged, model,
                         [model, &heard](int) { heard.push_back(std::to_string(model->mapCount())); });
        const State last = stateOf(*model);
        ASSERT_EQ(last.maps.size(), 3u);
        owner.reset();
        EXPECT_THAT(log.take(), IsEmpty());
    }
    for (const std::string &count : heard)
        EXPECT_EQ(count, "3");
}

} // namespace
