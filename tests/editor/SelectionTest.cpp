#include "EditorFixture.h"

#include "persistence/DocumentFormat.h"

#include <QUndoStack>

#include <climits>
#include <functional>
#include <numbers>

using namespace attractor;
using namespace attractor::test;

namespace {

using Selection = EditableFractal::Selection;
constexpr auto kShift = Qt::ShiftModifier;

// Three small glyphs centred at view (100, 100), (300, 100) and (200, 300).
struct SelectionTest : EditorTest {
    void SetUp() override { EditorTest::SetUp(), addMap({-1, -1}, {0.25, 0.25}), addMap({1, -1}, {0.25, 0.25}), addMap({0, 1}, {0.25, 0.25}); }
    EditableFractal &model() { return *view->model(); }
    QUndoStack &stack() { return *model().undoStack(); }
    QvTransform &map(int i) { return *fractal->transforms()->at(size_t(i)); }
};

// Clicks, Shift/Ctrl toggles, rubber bands (touching is enough), Select All
// and Escape: selection changes, never edits.
TEST_F(SelectionTest, ClicksTogglesBandsSelectAllAndEscapeSetTheSelection)
{
    const std::pair<std::function<void()>, Selection> cases[] = {
        {[&] { click({100, 100}, {}); }, {{0}, 0}},
        {[&] { click({300, 100}, kShift); }, {{0, 1}, 1}},
        {[&] { click({200, 300}, Qt::ControlModifier); }, {{0, 1, 2}, 2}},
        {[&] { click({300, 100}, kShift); }, {{0, 2}, 2}},
        {[&] { click({200, 300}, Qt::ControlModifier); }, {{0}, 0}},
        {[&] { click({380, 380}, {}); }, {}},
        {[&] { drag({50, 40}, {276, 120}); }, {{0, 1}, 1}},
        {[&] { drag({240, 340}, {222, 322}, Qt::LeftButton, kShift); }, {{0, 1, 2}, 1}}, // a corner
        {[&] { drag({330, 124}, {200, 290}); }, {{1, 2}, 2}},
        {[&] { QTest::keyClick(view, Qt::Key_Escape); }, {}},
        {[&] { view->selectAll(); }, {{0, 1, 2}, 2}},
        {[&] { press({100, 100}); }, {{0, 1, 2}, 0}}, // one of many: current, and alone once released
        {[&] { release({100, 100}); }, {{0}, 0}},
        // Places out of range or twice are dropped; the current map joins the set, else the last is current.
        {[&] { model().setSelection({2, 0, 9, -1, 0}, 0); }, {{0, 2}, 0}},
        {[&] { model().toggle(9); }, {{0, 2}, 0}},
        {[&] { model().setSelection({1}, 2); }, {{1, 2}, 2}},
        {[&] { model().setSelection({2, 1}, 7); }, {{1, 2}, 2}},
        {[&] { model().select(INT_MIN); }, {}},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        cases[i].first();
        EXPECT_EQ(model().selection(), cases[i].second) << i;
    }
    EXPECT_TRUE(view->rubberBand().isEmpty() && changes.isEmpty() && stack().count() == 0);
}

// Maps 0 (turned a quarter) and 2 selected, 2 current: each gesture is one
// step that changes both alike, about their own centres; undo restores them
// and the selection that went with the step.
TEST_F(SelectionTest, GesturesKeysAndControlsEditEverySelectedMapAsOneStep)
{
    map(0).setRotation(static_cast<float>(std::numbers::pi / 2));
    const QPointF corner(225, 325);
    const auto by = [](QPointF d) { return [d](QvTransform &m) { m.setTranslation(m.translation() + d); }; };
    const auto linear = [](float a, float b, float c, float d) { // left-multiplied
        return [=](QvTransform &m) { const _t_matrix t = m.transformMatrix(); m.setLinearPart({a * t.a + b * t.c, a * t.b + b * t.d, c * t.a + d * t.c, c * t.b + d * t.d, 0, 0}); };
    };
    const struct {
        std::function<void()> act;
        std::function<void(QvTransform &)> change;
        int current = 2;
    } cases[] = {
        {[&] { drag({110, 90}, {160, 120}); }, by({0.5, 0.3}), 0},
        {[&] { drag({200, 300}, {1500, 300}); }, by({2, 0})}, // stops as a group
        {[&] { QTest::keyClick(view, Qt::Key_Right), QTest::keyClick(view, Qt::Key_Right); }, by({0.02f, 0})},
        {[&] { QTest::keyClick(view, Qt::Key_Up, kShift); }, [](QvTransform &m) { m.setScale(m.scale() + QPointF(0, 0.01)); }},
        {[&] { QTest::keyClick(view, Qt::Key_Left, Qt::AltModifier); }, [](QvTransform &m) { m.setRotation(m.rotation() + 0.017453292f); }},
        {[&] { QTest::keyClick(view, Qt::Key_Right, Qt::AltModifier | kShift); }, [](QvTransform &m) { m.setShear(0.01f); }},
        {[&] { drag(corner, corner + QPointF(25, 0)); }, linear(2, 0, 0, 1)},
        {[&] { drag(corner, {175, 325}, Qt::LeftButton, Qt::AltModifier); }, linear(0, -1, 1, 0)},
        {[&] { colorWell->chooseColor(Qt::red); }, [](QvTransform &m) { m.setColor(Qt::red); }},
        {[&] { probabilitySlider->setValue(probabilitySlider->maximum() / 4); }, [](QvTransform &m) { m.setProbability(0.5f); }},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        model().setSelection({0, 2}, 2);
        stack().clear();
        const QString before = jsonRepresentation(*fractal);
        QvTransform expected[] = {map(0), map(1), map(2)};
        cases[i].change(expected[0]), cases[i].change(expected[2]);
        cases[i].act();
        for (int k = 0; k < 3; ++k) {
            const _t_matrix a = map(k).transformMatrix(), e = expected[k].transformMatrix();
            for (auto [x, y] : {std::pair{a.a, e.a}, {a.b, e.b}, {a.c, e.c}, {a.d, e.d}, {a.tx, e.tx}, {a.ty, e.ty}})
                EXPECT_NEAR(x, y, 1e-5) << i << " map " << k;
            EXPECT_TRUE(map(k).rgb() == expected[k].rgb() && map(k).probability() == expected[k].probability()) << i;
        }
        const Selection after{{0, 2}, cases[i].current};
        EXPECT_EQ(std::tuple(int(stack().count()), model().selection()), std::tuple(1, after)) << i;
        model().select(1);
        stack().undo();
        EXPECT_EQ(std::pair(jsonRepresentation(*fractal), model().selection()), std::pair(before, after)) << i;
    }
    // Delete and duplicate: the maps go or come together, and come back or go selected.
    QTest::keyClick(view, Qt::Key_Delete);
    EXPECT_EQ(model().mapCount(), 1);
    stack().undo();
    view->duplicate();
    EXPECT_EQ(std::pair(model().selection(), map(4).translation()), std::pair(Selection{{3, 4}, 4}, QPointF(0.1, 0.9)));
    view->selectAll(); // deleting every map is refused
    view->deleteTransform();
    EXPECT_EQ(std::pair(model().mapCount(), beeps), std::pair(5, 1));
}

// Values the selected maps share show, others (all without a selection) stay blank; a typed value goes
// to all of them as one step, a field left as it was to none.
TEST_F(SelectionTest, InfoPanelShowsSharedValuesAndTypesOntoAll)
{
    map(1).setRotation(0.1f);
    const QvIFSView::InfoFields &info = view->infoFields();
    const auto texts = [&] {
        QStringList all;
        for (QLineEdit *f : {info.translation, info.rotation, info.scale, info.a, info.b, info.c, info.d, info.tx,
                             info.ty, info.probability})
            all << f->text();
        return all.join(u'|');
    };
    for (const auto &[selected, typed, shown] :
         {std::tuple{QList<int>{1}, "1",
                     "(1.000, -1.000)|0.100 radians|(0.250, 0.250)|0.248751|-0.0249584|0.0249584|0.248751|1|-1|1"},
          {QList<int>{0, 1}, "", "||(0.250, 0.250)||||||-1|1"},
          {QList<int>{0, 1}, "0.5", "(0.500, -1.000)||(0.250, 0.250)|||||0.5|-1|1"}, {QList<int>{}, "", "|||||||||"}}) {
        model().setSelection(selected, selected.isEmpty() ? -1 : 1);
        info.tx->setText(QLatin1String(typed)), emit info.tx->editingFinished();
        EXPECT_EQ(texts(), QLatin1String(shown)) << texts().toStdString();
    }
    EXPECT_EQ(std::pair(map(2).translation(), int(stack().count())), std::pair(QPointF(0, 1), 1));
    stack().undo();
    EXPECT_EQ(std::tuple(info.tx->text(), map(0).translation().x(), model().selection()), std::tuple(QString(), -1.0, Selection{{0, 1}, 1}));
}

} // namespace
