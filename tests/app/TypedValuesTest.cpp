#include "AppFixture.h"
#include "model/QvTransform.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QMainWindow>
#include <QSlider>
#include <QStatusBar>
#include <QTest>
#include <QUndoStack>

namespace attractor {
namespace {

using TypedValues = AppFixture;
using Field = QLineEdit *QvIFSView::InfoFields::*;

QLineEdit *field(MyDocument *d, Field f) { return d->ifsView()->infoFields().*f; }
void type(MyDocument *d, Field f, const QString &text)
{
    field(d, f)->setText(text);
    emit field(d, f)->editingFinished();
}
QString status(MyDocument *d) { return d->window()->statusBar()->currentMessage(); }
QLineEdit *iterField(MyDocument *d) { return d->window()->findChild<QLineEdit *>(QStringLiteral("iterField")); }
void typeIterations(MyDocument *d, const QString &text)
{
    iterField(d)->setText(text);
    emit iterField(d)->editingFinished();
}

// A refused value beeps, says why in the window's status bar, changes
// nothing and shows the value it had again.
TEST_F(TypedValues, RefusedValuesSayWhyAndChangeNothing)
{
    MyDocument *d = newDocument();
    d->model()->select(0);
    const QvTransform before = d->model()->map(0);
    const int32_t iterations = d->fractal()->iterations();
    struct Case { Field field; const char *text; const char *reason; };
    for (const Case &c : {Case{&QvIFSView::InfoFields::probability, "-0.5", "Probability must be between 0 and 2"},
                          Case{&QvIFSView::InfoFields::probability, "2.5", "Probability must be between 0 and 2"},
                          Case{&QvIFSView::InfoFields::probability, "inf", "“inf” is not a number"},
                          Case{&QvIFSView::InfoFields::sx, "abc", "“abc” is not a number"},
                          Case{&QvIFSView::InfoFields::tx, "2.5", "Translation must be between -2 and 2"},
                          Case{&QvIFSView::InfoFields::ty, "-2.01", "Translation must be between -2 and 2"}}) {
        d->window()->statusBar()->clearMessage();
        const int beeps = _beeps;
        const QString shown = field(d, c.field)->text();
        type(d, c.field, QString::fromUtf8(c.text));
        EXPECT_EQ(status(d), QString::fromUtf8(c.reason)) << c.text;
        EXPECT_EQ(_beeps, beeps + 1) << c.text;
        EXPECT_EQ(field(d, c.field)->text(), shown) << c.text;
    }
    for (const char *text : {"-5", "abc", "3000000000", "1.5"}) {
        d->window()->statusBar()->clearMessage();
        typeIterations(d, QLatin1String(text));
        EXPECT_EQ(status(d), QStringLiteral("Iterations must be a whole number from 0 to 2147483647")) << text;
        EXPECT_EQ(iterField(d)->text(), QString::number(iterations));
    }
    const QvTransform &after = d->model()->map(0);
    EXPECT_TRUE(after.translation() == before.translation() && after.scale() == before.scale()
                && after.probability() == before.probability());
    EXPECT_EQ(d->fractal()->iterations(), iterations);
    EXPECT_EQ(d->undoStack()->count(), 0);
    // Refusing the last map's deletion says why too.
    d->window()->statusBar()->clearMessage();
    for (int i = 0; i < 2; ++i)
        d->model()->removeMap(0, QStringLiteral("Delete Map"));
    d->model()->select(0);
    d->ifsView()->deleteTransform();
    EXPECT_EQ(status(d), QStringLiteral("A fractal keeps at least one map"));
}

// Each typed field is one step named after it; any count the engine draws
// can be typed, far past the slider's end.
TEST_F(TypedValues, EachFieldIsAStepOfItsOwnName)
{
    MyDocument *d = newDocument();
    d->model()->select(1);
    struct Case { Field field; const char *text; const char *undo; };
    for (const Case &c : {Case{&QvIFSView::InfoFields::tx, "0.25", "Undo Set Translation X"},
                          Case{&QvIFSView::InfoFields::ty, "-0.75", "Undo Set Translation Y"},
                          Case{&QvIFSView::InfoFields::sx, "0.3", "Undo Set Scale X"},
                          Case{&QvIFSView::InfoFields::sy, "-0.4", "Undo Set Scale Y"},
                          Case{&QvIFSView::InfoFields::degrees, "30", "Undo Set Rotation"},
                          Case{&QvIFSView::InfoFields::probability, "0", "Undo Set Probability"}}) {
        const int steps = d->undoStack()->count();
        type(d, c.field, QLatin1String(c.text));
        EXPECT_EQ(d->undoStack()->count(), steps + 1) << c.undo;
        EXPECT_EQ(d->undoStack()->undoText(), QString::fromLatin1(c.undo).mid(5));
    }
    const QvTransform &m = d->model()->map(1);
    EXPECT_EQ(m.translation(), QPointF(0.25, -0.75));
    EXPECT_EQ(m.scale(), QPointF(0.3, -0.4));
    EXPECT_FLOAT_EQ(m.rotation(), static_cast<float>(30 * 3.14159265358979 / 180));
    EXPECT_EQ(m.probability(), 0.0f);

    typeIterations(d, QStringLiteral("2000000000"));
    EXPECT_EQ(d->fractal()->iterations(), 2000000000);
    EXPECT_EQ(d->undoStack()->undoText(), QStringLiteral("Change Iterations"));
    d->undoStack()->undo();
    EXPECT_EQ(d->fractal()->iterations(), 200000);
    EXPECT_EQ(iterField(d)->text(), QStringLiteral("200000"));
}

// A value typed and left by clicking elsewhere (here a canvas, which selects
// another map) is applied to the map it was typed for, as one step.
TEST_F(TypedValues, ClickingElsewhereAppliesTheTypedValue)
{
    MyDocument *d = newDocument();
    d->window()->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(d->window()));
    d->model()->select(0);
    d->ifsView()->showInfo();
    QLineEdit *p = field(d, &QvIFSView::InfoFields::probability);
    p->selectAll();
    QTest::keyClicks(p, QStringLiteral("0.5"));
    const QPointF other = d->ifsView()->convertFromUserCoords(d->model()->map(2).translation());
    QTest::mouseClick(d->ifsView(), Qt::LeftButton, {}, QPoint(int(other.x()), d->ifsView()->height() - int(other.y())));
    EXPECT_EQ(d->model()->map(0).probability(), 0.5f);
    EXPECT_EQ(d->model()->map(2).probability(), 1.0f);
    EXPECT_EQ(d->model()->selectedIndex(), 2);
    EXPECT_EQ(d->undoStack()->count(), 1);
    EXPECT_EQ(d->undoStack()->undoText(), QStringLiteral("Set Probability"));
    EXPECT_EQ(p->text(), QStringLiteral("1")) << "the panel shows the newly selected map";
}

// A pasted or duplicated copy of a map at the frame's edge stays inside it.
TEST_F(TypedValues, CopiesAtTheEdgeStayInsideTheFrame)
{
    MyDocument *d = newDocument();
    d->model()->select(0);
    type(d, &QvIFSView::InfoFields::tx, QStringLiteral("2"));
    type(d, &QvIFSView::InfoFields::ty, QStringLiteral("-2"));
    d->ifsView()->duplicate();
    EXPECT_EQ(d->model()->map(3).translation(), QPointF(1.9, -1.9));
    d->model()->select(1);
    type(d, &QvIFSView::InfoFields::tx, QStringLiteral("-2"));
    type(d, &QvIFSView::InfoFields::ty, QStringLiteral("2"));
    d->ifsView()->copy();
    d->ifsView()->paste();
    EXPECT_EQ(d->model()->map(4).translation(), QPointF(-1.9, 1.9));
    d->model()->select(2);
    d->ifsView()->duplicate();
    EXPECT_EQ(d->model()->map(5).translation(), QPointF(0.1, 0.9)) << "inside, the offset is as before";
}

} // namespace
} // namespace attractor
