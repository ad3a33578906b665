#include "AppFixture.h"

#include "app/DocumentController.h"
#include "app/DocumentWindow.h"
#include "app/MyDocument.h"
#include "editor/Beep.h"
#include "editor/QvIFSView.h"
#include "model/QvTransform.h"
#include "persistence/DocumentFormat.h"
#include "renderer/MyOpenGLView.h"
#include "widgets/ColorWell.h"
#include "widgets/FloatSlider.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
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
    for (const TransformPtr &t : *d->fractal()->transforms()) {
        put(t->translation().x()), put(t->translation().y()), put(t->scale().x()), put(t->scale().y());
        put(t->rotation()), put(t->probability()), put(t->rgb());
    }
    put(d->fractal()->iterations()), put(d->fractal()->bgColor());
    put(d->ifsView()->selectionIndex());
    return bytes;
}

QAction *action(MyDocument *d, const QKeySequence &keys)
{
    for (QAction *a : d->window()->actions()) {
        if (a->shortcuts().contains(keys))
            return a;
    }
    ADD_FAILURE() << "no action for " << keys.toString().toStdString();
    return nullptr;
}

class UndoTest : public AppFixture
{
public:
    void SetUp() override
    {
        AppFixture::SetUp();
        setBeepHandler([this] { ++beeps; });
    }
    void TearDown() override
    {
        setBeepHandler({});
        AppFixture::TearDown();
    }
    static void select(MyDocument *d, int index)
    {
        d->ifsView()->setSelection(d->fractal()->transforms()->at(static_cast<size_t>(index)).get());
    }
    static void mouse(MyDocument *d, QEvent::Type type, QPointF userPoint, Qt::MouseButtons buttons)
    {
        QvIFSView *v = d->ifsView();
        const QPointF p = v->convertFromUserCoords(userPoint);
        const QPointF local(p.x(), v->height() - p.y());
        QMouseEvent event(type, local, v->mapToGlobal(local), type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton,
                          buttons, Qt::NoModifier);
        QApplication::sendEvent(v, &event);
    }
    static void key(MyDocument *d, Qt::Key k, Qt::KeyboardModifiers m = Qt::NoModifier, int times = 1)
    {
        for (int i = 0; i < times; ++i)
            QTest::keyClick(d->ifsView(), k, m);
    }
    template <class W>
    static W *control(MyDocument *d, const char *name)
    {
        return d->window()->findChild<W *>(QLatin1String(name));
    }
    int beeps = 0;
};

struct StepCase {
    const char *name;
    std::function<void(MyDocument *)> edit;
    const char *undoText;
};

class UndoStep : public UndoTest, public ::testing::WithParamInterface<StepCase>
{
};

// Each kind of edit, however many events it took, is one step that undoes
// and redoes exactly through the menu's actions.
TEST_P(UndoStep, UndoesAndRedoesExactly)
{
    MyDocument *d = newDocument();
    select(d, 1);
    const QByteArray before = state(d);
    GetParam().edit(d);
    QUndoStack *stack = d->undoStack();
    ASSERT_EQ(stack->count(), 1);
    EXPECT_EQ(action(d, QKeySequence::Undo)->text(), QString::fromUtf8(GetParam().undoText));
    const QByteArray after = state(d);
    ASSERT_NE(after, before);
    EXPECT_TRUE(d->isDocumentEdited());

    QSignalSpy notified(d->ifsView(), &QvIFSView::changeMade);
    action(d, QKeySequence::Undo)->trigger();
    EXPECT_EQ(state(d), before);
    EXPECT_EQ(notified.count(), 1) << "one notification: both canvases redrawn once";
    EXPECT_FALSE(d->isDocumentEdited());
    EXPECT_FALSE(action(d, QKeySequence::Undo)->isEnabled());
    action(d, QKeySequence(QStringLiteral("Ctrl+Y")))->trigger();
    EXPECT_EQ(state(d), after);
    EXPECT_FALSE(action(d, QKeySequence(QStringLiteral("Ctrl+Shift+Z")))->isEnabled());
}

INSTANTIATE_TEST_SUITE_P(
    Editor, UndoStep,
    ::testing::Values(
        StepCase{"MouseDrag",
                 [](MyDocument *d) {
                     UndoTest::mouse(d, QEvent::MouseButtonPress, {0.9, -1.0}, Qt::LeftButton);
                     UndoTest::mouse(d, QEvent::MouseMove, {0.7, -0.9}, Qt::LeftButton);
                     UndoTest::mouse(d, QEvent::MouseMove, {0.5, -0.8}, Qt::LeftButton);
                     UndoTest::mouse(d, QEvent::MouseButtonRelease, {0.5, -0.8}, Qt::NoButton);
                 },
                 "Undo Move Map"},
        StepCase{"KeyBurst", [](MyDocument *d) { UndoTest::key(d, Qt::Key_Right, Qt::NoModifier, 3); }, "Undo Move Map"},
        StepCase{"TurnKeys", [](MyDocument *d) { UndoTest::key(d, Qt::Key_Left, Qt::ControlModifier, 2); }, "Undo Rotate Map"},
        StepCase{"ScaleKeys", [](MyDocument *d) { UndoTest::key(d, Qt::Key_Up, Qt::ShiftModifier, 2); }, "Undo Scale Map"},
        StepCase{"RotationSlider", [](MyDocument *d) { UndoTest::control<QSlider>(d, "rotationSlider")->setValue(1234); },
                 "Undo Rotate Map"},
        StepCase{"ProbabilitySlider",
                 [](MyDocument *d) { UndoTest::control<QSlider>(d, "probabilitySlider")->setValue(1234); },
                 "Undo Change Probability"},
        StepCase{"ColourWell", [](MyDocument *d) { UndoTest::control<ColorWell>(d, "colorWell")->chooseColor(Qt::yellow); },
                 "Undo Change Colour"},
        StepCase{"NewMap", [](MyDocument *d) { d->ifsView()->newTransform(); }, "Undo New Map"},
        StepCase{"DeleteMap", [](MyDocument *d) { d->ifsView()->deleteTransform(); }, "Undo Delete Map"},
        StepCase{"IterationSlider", [](MyDocument *d) { UndoTest::control<QSlider>(d, "iterSlider")->setValue(4321); },
                 "Undo Change Iterations"},
        StepCase{"Background", [](MyDocument *d) { UndoTest::control<ColorWell>(d, "bgColorWell")->chooseColor(Qt::cyan); },
                 "Undo Change Background"},
        StepCase{"RandomFractal", [](MyDocument *d) { d->makeRandomFractal(); }, "Undo New Random Fractal"},
        StepCase{"Duplicate", [](MyDocument *d) { action(d, QKeySequence(QStringLiteral("Ctrl+D")))->trigger(); },
                 "Undo Duplicate Map"},
        StepCase{"Cut", [](MyDocument *d) { action(d, QKeySequence::Cut)->trigger(); }, "Undo Cut Map"},
        StepCase{"TypedValue",
                 [](MyDocument *d) {
                     QLineEdit *field = d->ifsView()->infoFields().sy;
                     field->setText(QStringLiteral("0.3"));
                     emit field->editingFinished();
                 },
                 "Undo Type Value"}),
    CaseName());

// Another kind of edit ends a burst of keys; each burst is a step of its own.
TEST_F(UndoTest, AnotherEditEndsAKeyBurst)
{
    MyDocument *d = newDocument();
    select(d, 0);
    key(d, Qt::Key_Right, Qt::NoModifier, 2);
    key(d, Qt::Key_Up, Qt::ShiftModifier);
    key(d, Qt::Key_Right, Qt::NoModifier, 2);
    EXPECT_EQ(d->undoStack()->count(), 3);
    // Two clicks on a slider's track: two gestures, two steps.
    control<QSlider>(d, "rotationSlider")->setValue(100);
    control<QSlider>(d, "rotationSlider")->setValue(200);
    EXPECT_EQ(d->undoStack()->count(), 5);
}

TEST_F(UndoTest, EditedMarkFollowsSaveUndoRedoAndRevert)
{
    MyDocument *d = newDocument();
    select(d, 0);
    key(d, Qt::Key_Right);
    _savePaths.push_back(path(QStringLiteral("a.frac")));
    QSignalSpy edited(d, &Document::editedChanged);
    ASSERT_TRUE(d->save());
    EXPECT_FALSE(d->isDocumentEdited());
    EXPECT_EQ(edited.count(), 1);
    d->ifsView()->newTransform();
    EXPECT_TRUE(d->isDocumentEdited());
    action(d, QKeySequence::Undo)->trigger();
    EXPECT_FALSE(d->isDocumentEdited()) << "back at the saved state";
    action(d, QKeySequence::Undo)->trigger();
    EXPECT_TRUE(d->isDocumentEdited()) << "before the saved state";
    action(d, QKeySequence::Redo)->trigger();
    EXPECT_FALSE(d->isDocumentEdited());
    EXPECT_EQ(shownTitle(d), QStringLiteral("a.frac"));

    d->ifsView()->newTransform();
    ASSERT_TRUE(d->revert());
    EXPECT_EQ(d->undoStack()->count(), 0);
    EXPECT_FALSE(d->isDocumentEdited());
    EXPECT_TRUE(d->close()) << "no question for a clean document";
}

// The step holds the deleted map's values, not its place in memory.
TEST_F(UndoTest, UndoingADeleteAfterLaterEditsRestoresTheMap)
{
    MyDocument *d = newDocument();
    const QvTransform deleted = *d->fractal()->transforms()->at(1);
    select(d, 1);
    d->ifsView()->deleteTransform();
    select(d, 0);
    key(d, Qt::Key_Up, Qt::ShiftModifier, 2);
    d->ifsView()->newTransform();
    for (int i = 0; i < 3; ++i)
        action(d, QKeySequence::Undo)->trigger();
    ASSERT_EQ(d->fractal()->transforms()->size(), 3u);
    const QvTransform &back = *d->fractal()->transforms()->at(1);
    EXPECT_EQ(back.translation(), deleted.translation());
    EXPECT_EQ(back.rgb(), deleted.rgb());
    EXPECT_EQ(d->ifsView()->selectionIndex(), 1);
}

TEST_F(UndoTest, MapPastesIntoAnotherWindowAndFromFileText)
{
    MyDocument *from = newDocument();
    MyDocument *to = newDocument();
    select(from, 2);
    action(from, QKeySequence::Copy)->trigger();
    action(to, QKeySequence::Paste)->trigger();
    ASSERT_EQ(to->fractal()->transforms()->size(), 4u);
    const QvTransform &pasted = *to->fractal()->transforms()->back();
    EXPECT_EQ(pasted.translation(), from->fractal()->transforms()->at(2)->translation() + QPointF(0.1, -0.1));
    EXPECT_EQ(pasted.rgb(), from->fractal()->transforms()->at(2)->rgb());
    EXPECT_EQ(to->ifsView()->selectionIndex(), 3);
    EXPECT_EQ(to->undoStack()->count(), 1);

    QApplication::clipboard()->setText(QStringLiteral("  {'tx':0.25, 'ty':0.5, 'sx':0.125, 'sy':0.75, 'r':0, "
                                                      "'p':1, 'c':{'r':1, 'g':0, 'b':0, 'a':1}},\n"));
    action(to, QKeySequence::Paste)->trigger();
    ASSERT_EQ(to->fractal()->transforms()->size(), 5u);
    EXPECT_EQ(to->fractal()->transforms()->back()->scale(), QPointF(0.125, 0.75));
    EXPECT_EQ(beeps, 0);
}

TEST_F(UndoTest, TextThatIsNoMapIsRefused)
{
    MyDocument *d = newDocument();
    const QByteArray before = state(d);
    for (const char *text : {"hello", "{'type':'frac', 'n':5}", "{'tx':1, 'ty':"}) {
        QApplication::clipboard()->setText(QString::fromLatin1(text));
        action(d, QKeySequence::Paste)->trigger();
    }
    EXPECT_EQ(beeps, 3);
    EXPECT_EQ(state(d), before);
    EXPECT_EQ(d->undoStack()->count(), 0);
}

struct TypedCase {
    const char *name;
    QLineEdit *QvIFSView::InfoFields::*field;
    const char *text;
    bool accepted;
};

class TypedValue : public UndoTest, public ::testing::WithParamInterface<TypedCase>
{
};

TEST_P(TypedValue, AppliesANumberAndRefusesTheRest)
{
    const TypedCase &c = GetParam();
    MyDocument *d = newDocument();
    select(d, 0);
    QLineEdit *field = d->ifsView()->infoFields().*(c.field);
    const QString shown = field->text();
    const QByteArray before = state(d);
    field->setText(QString::fromLatin1(c.text));
    emit field->editingFinished();
    EXPECT_EQ(beeps, c.accepted ? 0 : 1);
    EXPECT_EQ(d->undoStack()->count(), c.accepted ? 1 : 0);
    EXPECT_EQ(field->text(), c.accepted ? QString::fromLatin1(c.text) : shown);
    EXPECT_TRUE(c.accepted || state(d) == before);
}

INSTANTIATE_TEST_SUITE_P(
    Editor, TypedValue,
    ::testing::Values(TypedCase{"TranslationX", &QvIFSView::InfoFields::tx, "0.1", true},
                      TypedCase{"ScaleXExact", &QvIFSView::InfoFields::sx, "0.30000000000000004", true},
                      TypedCase{"Degrees", &QvIFSView::InfoFields::degrees, "45", true},
                      TypedCase{"Probability", &QvIFSView::InfoFields::probability, "0.25", true},
                      TypedCase{"NotANumber", &QvIFSView::InfoFields::ty, "abc", false},
                      TypedCase{"NaN", &QvIFSView::InfoFields::sy, "nan", false},
                      TypedCase{"TooLargeForThirtyTwoBits", &QvIFSView::InfoFields::probability, "1e39", false},
                      TypedCase{"OutsideTheSquare", &QvIFSView::InfoFields::tx, "2.5", false}),
    CaseName());

} // namespace
} // namespace attractor
