#include "AppFixture.h"
#include "model/QvTransform.h"
#include "widgets/ColorWell.h"

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>
#include <QUndoStack>

#include <functional>

namespace attractor {
namespace {

// Every number of the fractal, byte for byte, and the selected place.
QByteArray state(MyDocument *d)
{
    QByteArray bytes;
    auto put = [&bytes](const auto &v) { bytes.append(reinterpret_cast<const char *>(&v), sizeof v); };
    for (const TransformPtr &t : *d->fractal()->transforms())
        put(t->translation()), put(t->scale()), put(t->rotation()), put(t->probability()), put(t->rgb());
    put(d->fractal()->iterations()), put(d->fractal()->bgColor()), put(d->ifsView()->selectionIndex());
    return bytes;
}

void select(MyDocument *d, int index) { d->ifsView()->setSelection(d->fractal()->transforms()->at(size_t(index)).get()); }
void key(MyDocument *d, Qt::Key k, Qt::KeyboardModifiers m, int times) { while (times--) QTest::keyClick(d->ifsView(), k, m); }
template <class W>
W *control(MyDocument *d, const char *name) { return d->window()->findChild<W *>(QLatin1String(name)); }
using UndoTest = AppFixture;

struct StepCase { const char *name; std::function<void(MyDocument *)> edit; const char *undoText; };

class UndoStep : public UndoTest, public ::testing::WithParamInterface<StepCase> {};

// Each kind of edit, however many events it took, is one step of its own
// document that undoes and redoes exactly through the menu, with one notification.
TEST_P(UndoStep, UndoesAndRedoesExactly)
{
    MyDocument *d = newDocument();
    MyDocument *front = newDocument();
    front->window()->activateWindow();
    select(d, 1);
    const QByteArray before = state(d);
    GetParam().edit(d);
    ASSERT_EQ(d->undoStack()->count(), 1);
    EXPECT_EQ(shownTitle(d), QStringLiteral("Untitled*"));
    EXPECT_EQ(action(d, QKeySequence::Undo)->text(), QString::fromUtf8(GetParam().undoText));
    const QByteArray after = state(d);
    ASSERT_NE(after, before);
    EXPECT_TRUE(sharedByCanvases(d) && !front->isDocumentEdited());

    QSignalSpy notified(d->ifsView(), &QvIFSView::changeMade);
    trigger(d, "Ctrl+Z");
    EXPECT_EQ(state(d), before);
    EXPECT_EQ(notified.count(), 1);
    EXPECT_FALSE(d->isDocumentEdited() || action(d, QKeySequence::Undo)->isEnabled());
    EXPECT_TRUE(sharedByCanvases(d));
    trigger(d, "Ctrl+Y");
    EXPECT_EQ(state(d), after);
    EXPECT_FALSE(action(d, QKeySequence(QStringLiteral("Ctrl+Shift+Z")))->isEnabled());
}

INSTANTIATE_TEST_SUITE_P(
    Editor, UndoStep,
    ::testing::Values(
        StepCase{"MouseDrag",
                 [](MyDocument *d) {
                     for (auto [type, x, y] : {std::tuple{QEvent::MouseButtonPress, 0.9, -1.0}, {QEvent::MouseMove, 0.7, -0.9},
                                               {QEvent::MouseMove, 0.5, -0.8}, {QEvent::MouseButtonRelease, 0.5, -0.8}}) {
                         const QPointF p = d->ifsView()->convertFromUserCoords({x, y}), local(p.x(), d->ifsView()->height() - p.y());
                         QMouseEvent event(type, local, d->ifsView()->mapToGlobal(local), type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton,
                                           type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
                         QApplication::sendEvent(d->ifsView(), &event);
                     }
                 },
                 "Undo Move Map"},
        StepCase{"KeyBurst", [](MyDocument *d) { key(d, Qt::Key_Right, Qt::NoModifier, 3); }, "Undo Move Map"},
        StepCase{"TurnKeys", [](MyDocument *d) { key(d, Qt::Key_Left, Qt::ControlModifier, 2); }, "Undo Rotate Map"},
        StepCase{"ScaleKeys", [](MyDocument *d) { key(d, Qt::Key_Up, Qt::ShiftModifier, 2); }, "Undo Scale Map"},
        StepCase{"ProbabilitySlider", [](MyDocument *d) { control<QSlider>(d, "probabilitySlider")->setValue(1234); }, "Undo Change Probability"},
        StepCase{"ColourWell", [](MyDocument *d) { control<ColorWell>(d, "colorWell")->chooseColor(Qt::yellow); }, "Undo Change Colour"},
        StepCase{"NewMapButton", [](MyDocument *d) { control<QAbstractButton>(d, "newTransformButton")->click(); }, "Undo New Map"},
        StepCase{"DeleteMap", [](MyDocument *d) { d->ifsView()->deleteTransform(); }, "Undo Delete Map"},
        StepCase{"IterationSlider", [](MyDocument *d) { control<QSlider>(d, "iterSlider")->setValue(4321); }, "Undo Change Iterations"},
        StepCase{"Background", [](MyDocument *d) { control<ColorWell>(d, "bgColorWell")->chooseColor(Qt::cyan); }, "Undo Change Background"},
        StepCase{"RandomFractal",
                 [](MyDocument *d) {
                     d->makeRandomFractal();
                     for (const TransformPtr &t : *d->fractal()->transforms())
                         EXPECT_EQ(t->rgb(), (_rgb_color{1, 1, 1, 1})) << "white maps";
                 },
                 "Undo New Random Fractal"},
        StepCase{"Duplicate", [](MyDocument *d) { trigger(d, "Ctrl+D"); }, "Undo Duplicate Map"},
        StepCase{"Cut", [](MyDocument *d) { trigger(d, "Ctrl+X"); }, "Undo Cut Map"},
        StepCase{"CopyPaste", [](MyDocument *d) { trigger(d, "Ctrl+C"), trigger(d, "Ctrl+V"); }, "Undo Paste Map"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(UndoTest, EditedMarkFollowsSaveUndoAndRedo)
{
    MyDocument *d = newDocument();
    d->ifsView()->newTransform();
    _savePaths << path(QStringLiteral("a.frac"));
    ASSERT_TRUE(d->save());
    EXPECT_FALSE(d->isDocumentEdited());
    d->ifsView()->newTransform();
    trigger(d, "Ctrl+Z");
    EXPECT_FALSE(d->isDocumentEdited()) << "back at the saved state";
    trigger(d, "Ctrl+Z");
    EXPECT_TRUE(d->isDocumentEdited()) << "before the saved state";
    trigger(d, "Ctrl+Y");
    EXPECT_EQ(shownTitle(d), QStringLiteral("a.frac"));
}

// A key burst is one step until another kind of edit; the map is restored
// from the values the step holds, not from its place in memory.
TEST_F(UndoTest, KeyBurstsMergeAndADeletedMapComesBackAfterLaterEdits)
{
    MyDocument *d = newDocument();
    const QvTransform deleted = *d->fractal()->transforms()->at(1);
    select(d, 1);
    d->ifsView()->deleteTransform();
    select(d, 0);
    key(d, Qt::Key_Right, Qt::NoModifier, 3);
    key(d, Qt::Key_Up, Qt::ShiftModifier, 2);
    key(d, Qt::Key_Right, Qt::NoModifier, 1);
    EXPECT_EQ(d->undoStack()->count(), 4);
    // Two clicks on a slider's track: two gestures on the same map, two steps.
    control<QSlider>(d, "rotationSlider")->setValue(100);
    control<QSlider>(d, "rotationSlider")->setValue(200);
    EXPECT_EQ(d->undoStack()->count(), 6);
    for (int i = 0; i < 6; ++i)
        trigger(d, "Ctrl+Z");
    ASSERT_EQ(d->fractal()->transforms()->size(), 3u);
    const QvTransform &back = *d->fractal()->transforms()->at(1);
    EXPECT_EQ(std::pair(back.translation(), back.scale()), std::pair(deleted.translation(), deleted.scale()));
    EXPECT_EQ(back.rgb(), deleted.rgb());
    EXPECT_EQ(d->ifsView()->selectionIndex(), 1);
}

// Maps selected with Select All, copied in one window and pasted in another,
// arrive in their order, offset together and selected; one undo takes them
// out. Map tables copied from a document's text paste too.
TEST_F(UndoTest, MapsPasteTogetherIntoAnotherWindowAndFromFileText)
{
    MyDocument *from = newDocument(), *to = newDocument();
    select(to, 1);
    trigger(from, "Ctrl+A");
    trigger(from, "Ctrl+C");
    trigger(to, "Ctrl+V");
    ASSERT_EQ(to->fractal()->transforms()->size(), 6u);
    for (int i = 0; i < 3; ++i) {
        const QvTransform &pasted = *to->fractal()->transforms()->at(3 + i), &copied = *from->fractal()->transforms()->at(i);
        EXPECT_EQ(pasted.translation(), copied.translation() + QPointF(0.1, -0.1));
        EXPECT_EQ(pasted.rgb(), copied.rgb());
    }
    EXPECT_EQ(to->model()->selection(), (EditableFractal::Selection{{3, 4, 5}, 5}));
    EXPECT_EQ(action(to, QKeySequence::Undo)->text(), QStringLiteral("Undo Paste Maps"));
    trigger(to, "Ctrl+Z");
    EXPECT_EQ(std::pair(int(to->fractal()->transforms()->size()), to->model()->selection()), std::pair(3, EditableFractal::Selection{{1}, 1}));
    QApplication::clipboard()->setText(QStringLiteral("  {'tx':0.25, 'ty':0.5, 'sx':0.125, 'sy':0.75, 'r':0, 'p':1},\n"
                                                      "\t{'tx':-1, 'ty':0, 'sx':0.5, 'sy':0.5, 'r':1, 'p':1},\n"));
    trigger(to, "Ctrl+V");
    ASSERT_EQ(to->fractal()->transforms()->size(), 5u);
    EXPECT_EQ(std::pair(to->model()->map(3).scale(), to->model()->map(4).scale()), std::pair(QPointF(0.125, 0.75), QPointF(0.5, 0.5)));
    EXPECT_EQ(_beeps, 0);
}

} // namespace
} // namespace attractor
