#include "EditorFixture.h"

#include "persistence/DocumentFormat.h"

#include <QUndoStack>

#include <functional>
#include <numbers>

using namespace attractor;
using namespace attractor::test;

namespace {

using Selection = EditableFractal::Selection;
constexpr auto kShift = Qt::ShiftModifier;
constexpr double kQuarter = std::numbers::pi / 2;

// Three small glyphs centred at view (100, 100), (300, 100) and (200, 300).
class SelectionTest : public EditorTest
{
public:
    void SetUp() override
    {
        EditorTest::SetUp();
        for (QPointF at : {QPointF(-1, -1), QPointF(1, -1), QPointF(0, 1)})
            addMap(at, {0.25, 0.25});
        view->updateDisplay();
    }
    EditableFractal &model() { return *view->model(); }
    QUndoStack &stack() { return *model().undoStack(); }
    std::pair<QString, Selection> state() { return {jsonRepresentation(*fractal), model().selection()}; }
    void modifiedClick(QPointF p, Qt::KeyboardModifiers m) { press(p, Qt::LeftButton, m), release(p, Qt::LeftButton, m); }
};

// Clicks, Shift/Ctrl toggles, rubber bands, Select All and Escape: selection changes, never edits.
TEST_F(SelectionTest, ClicksTogglesBandsSelectAllAndEscapeSetTheSelection)
{
    const struct {
        const char *what;
        std::function<void()> act;
        Selection after;
    } cases[] = {
        {"click", [&] { click({100, 100}); }, {{0}, 0}},
        {"shift-click adds", [&] { modifiedClick({300, 100}, kShift); }, {{0, 1}, 1}},
        {"ctrl-click adds", [&] { modifiedClick({200, 300}, Qt::ControlModifier); }, {{0, 1, 2}, 2}},
        {"shift-click removes", [&] { modifiedClick({300, 100}, kShift); }, {{0, 2}, 2}},
        {"ctrl-click removes the current", [&] { modifiedClick({200, 300}, Qt::ControlModifier); }, {{0}, 0}},
        {"empty click", [&] { click({380, 380}); }, {}},
        {"band touching two", [&] { drag({50, 40}, {276, 120}); }, {{0, 1}, 1}},
        {"shift-band adds a corner", [&] { drag({240, 340}, {222, 322}, Qt::LeftButton, kShift); }, {{0, 1, 2}, 1}},
        {"band replaces", [&] { drag({330, 124}, {200, 290}); }, {{1, 2}, 2}},
        {"escape", [&] { QTest::keyClick(view, Qt::Key_Escape); }, {}},
        {"select all", [&] { view->selectAll(); }, {{0, 1, 2}, 2}},
        {"click on one of many makes it current", [&] { press({100, 100}); }, {{0, 1, 2}, 0}},
        {"and its release alone selects it", [&] { release({100, 100}); }, {{0}, 0}},
    };
    for (const auto &c : cases) {
        c.act();
        EXPECT_EQ(model().selection(), c.after) << c.what;
    }
    press({20, 20});
    move({150, 60}, Qt::LeftButton);
    EXPECT_EQ(view->rubberBand(), QRectF(20, 20, 130, 40));
    release({150, 60});
    EXPECT_TRUE(view->rubberBand().isEmpty());
    EXPECT_EQ(changes.count(), 0);
    EXPECT_EQ(stack().count(), 0);
}

// Maps 0 and 2 selected, 2 current. Each gesture changes every selected map
// as one step; undo brings back values and selection.
TEST_F(SelectionTest, GesturesKeysAndControlsEditEverySelectedMapAsOneStep)
{
    fractal->transforms()->at(0)->setRotation(static_cast<float>(kQuarter));
    const QPointF corner(225, 325), centre(200, 300);
    const struct {
        const char *what;
        std::function<void()> act;
        std::function<void(const QvTransform &, const QvTransform &)> check; // maps 0 and 2
        Selection after = {{0, 2}, 2};
    } cases[] = {
        {"drag", [&] { drag({110, 90}, {160, 120}); },
         [](auto &a, auto &b) { expectNear(a.translation(), {-0.5, -0.7}, 1e-9), expectNear(b.translation(), {0.5, 1.3}, 1e-9); },
         {{0, 2}, 0}},
        {"drag stops as a group", [&] { drag({200, 300}, {1500, 300}); },
         [](auto &a, auto &b) { EXPECT_EQ(std::pair(a.translation().x(), b.translation().x()), std::pair(1.0, 2.0)); }},
        {"arrows", [&] { QTest::keyClick(view, Qt::Key_Right), QTest::keyClick(view, Qt::Key_Right); },
         [](auto &a, auto &b) { EXPECT_NEAR(a.translation().x(), -0.98, 1e-6); EXPECT_NEAR(b.translation().x(), 0.02, 1e-6); }},
        {"shift+up", [&] { QTest::keyClick(view, Qt::Key_Up, kShift); },
         [](auto &a, auto &b) { EXPECT_NEAR(a.scale().y(), 0.26, 1e-9); EXPECT_NEAR(b.scale().y(), 0.26, 1e-9); }},
        {"alt+left", [&] { QTest::keyClick(view, Qt::Key_Left, Qt::AltModifier); },
         [](auto &a, auto &b) { EXPECT_NEAR(a.rotation(), kQuarter + 0.0174533, 1e-6); EXPECT_NEAR(b.rotation(), 0.0174533, 1e-6); }},
        {"alt+shift+right", [&] { QTest::keyClick(view, Qt::Key_Right, Qt::AltModifier | kShift); },
         [](auto &a, auto &b) { EXPECT_NEAR(a.shear(), 0.01, 1e-7); EXPECT_NEAR(b.shear(), 0.01, 1e-7); }},
        // The current map twice as wide; the turned one alike along the same line.
        {"stretch", [&] { drag(corner, corner + QPointF(25, 0)); },
         [](auto &a, auto &b) {
             const _t_matrix m = a.transformMatrix();
             expectNear(b.scale(), {0.5, 0.25}, 1e-6);
             EXPECT_TRUE(std::abs(m.a) < 1e-6 && std::abs(m.b + 0.5) < 1e-6 && std::abs(m.c - 0.25) < 1e-6 && std::abs(m.d) < 1e-6);
         }},
        {"turn", [&] { drag(corner, centre + QPointF(-25, 25), Qt::LeftButton, Qt::AltModifier); },
         [](auto &a, auto &b) {
             EXPECT_NEAR(a.rotation(), 2 * kQuarter, 1e-5); EXPECT_NEAR(b.rotation(), kQuarter, 1e-5);
             expectNear(a.scale(), {0.25, 0.25}, 1e-6);
         }},
        {"colour", [&] { colorWell->chooseColor(Qt::red); }, [](auto &a, auto &b) { EXPECT_TRUE(a.rgb() == b.rgb() && b.rgb().r == 1); }},
        {"probability", [&] { probabilitySlider->setValue(probabilitySlider->maximum() / 4); },
         [](auto &a, auto &b) { EXPECT_TRUE(a.probability() == 0.5f && b.probability() == 0.5f); }},
    };
    for (const auto &c : cases) {
        model().setSelection({0, 2}, 2);
        stack().clear();
        const auto before = state();
        c.act();
        EXPECT_EQ(stack().count(), 1) << c.what;
        c.check(*fractal->transforms()->at(0), *fractal->transforms()->at(2));
        EXPECT_EQ(fractal->transforms()->at(1)->translation(), QPointF(1, -1)) << c.what;
        EXPECT_EQ(model().selection(), c.after) << c.what;
        model().select(1);
        stack().undo();
        EXPECT_EQ(state(), std::pair(before.first, c.after)) << c.what;
    }
    // Delete, duplicate: the maps go or come together, and come back or go selected.
    const auto before = state();
    QTest::keyClick(view, Qt::Key_Delete);
    EXPECT_EQ(model().mapCount(), 1);
    stack().undo();
    EXPECT_EQ(state(), before);
    view->duplicate();
    EXPECT_EQ(model().selection(), (Selection{{3, 4}, 4}));
    expectNear(fractal->transforms()->at(4)->translation(), {0.1, 0.9}, 1e-9);
    // Deleting every map is refused.
    view->selectAll();
    beeps = 0;
    view->deleteTransform();
    EXPECT_EQ(std::pair(model().mapCount(), beeps), std::pair(5, 1));
}

// Shared values show; values that differ leave their field blank; a typed
// value goes to every selected map as one step.
TEST_F(SelectionTest, InfoPanelShowsSharedValuesAndTypesOntoAll)
{
    const QvIFSView::InfoFields &info = view->infoFields();
    const auto texts = [&] {
        QStringList all;
        for (QLineEdit *f : {info.translation, info.scale, info.a, info.b, info.tx, info.ty, info.sx, info.probability})
            all << f->text();
        return all.join(u'|');
    };
    const auto typeTx = [&](const char *text) { info.tx->setText(QLatin1String(text)), emit info.tx->editingFinished(); };
    model().setSelection({0, 1}, 1);
    EXPECT_EQ(texts(), QStringLiteral("|(0.250, 0.250)|0.25|0||-1|0.25|1"));
    typeTx(""); // left blank: no edit
    EXPECT_EQ(stack().count(), 0);
    model().select(1);
    EXPECT_EQ(texts(), QStringLiteral("(1.000, -1.000)|(0.250, 0.250)|0.25|0|1|-1|0.25|1"));
    model().setSelection({0, 1}, 1);
    typeTx("0.5");
    EXPECT_EQ(texts(), QStringLiteral("(0.500, -1.000)|(0.250, 0.250)|0.25|0|0.5|-1|0.25|1"));
    EXPECT_EQ(std::pair(fractal->transforms()->at(2)->translation(), int(stack().count())), std::pair(QPointF(0, 1), 1));
    model().select(2);
    stack().undo();
    EXPECT_EQ(std::pair(info.tx->text(), fractal->transforms()->at(0)->translation().x()), std::pair(QString(), -1.0));
    EXPECT_EQ(model().selection(), (Selection{{0, 1}, 1}));
}

} // namespace
