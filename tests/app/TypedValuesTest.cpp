#include "AppFixture.h"
#include "model/QvTransform.h"
#include "persistence/DocumentFormat.h"

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QStatusBar>
#include <QTest>
#include <QUndoStack>

#include <functional>

namespace attractor {
namespace {

using TypedValues = AppFixture;
using F = QvIFSView::InfoFields;
using Field = QLineEdit *F::*;

QLineEdit *field(MyDocument *d, Field f) { return d->ifsView()->infoFields().*f; }
QLineEdit *iterField(MyDocument *d) { return d->window()->findChild<QLineEdit *>(QStringLiteral("iterField")); }
void type(QLineEdit *field, const char *text)
{
    field->setText(QString::fromUtf8(text));
    emit field->editingFinished();
}

// Text that is no map, and typed values out of range or no number: each
// beeps, says why in the status bar, changes nothing and shows the old value.
TEST_F(TypedValues, RefusedInputSaysWhyAndChangesNothing)
{
    MyDocument *d = newDocument();
    d->model()->select(0);
    const QByteArray before = jsonRepresentation(*d->fractal()).toUtf8();
    const auto typed = [d](Field f, const char *text) { return [=] { type(field(d, f), text); }; };
    const auto pasted = [d](const char *text) {
        return [=] { QApplication::clipboard()->setText(QLatin1String(text)), trigger(d, "Ctrl+V"); };
    };
    const char *probability = "Probability must be between 0 and 2", *centre = "Translation must be between -2 and 2";
    const char *count = "Iterations must be a whole number from 0 to 2147483647";
    const auto counted = [d](const char *text) { return [=] { type(iterField(d), text); }; };
    const std::pair<std::function<void()>, const char *> cases[] = {
        {pasted("hello"), "The clipboard holds no map"}, {typed(&F::probability, "-0.5"), probability},
        {pasted("{'type':'frac', 'n':5}"), "The clipboard holds no map"}, {typed(&F::probability, "2.5"), probability},
        {typed(&F::probability, "1e39"), "“1e39” is not a number"}, // beyond 32-bit floats
        {typed(&F::sy, "nan"), "“nan” is not a number"}, {typed(&F::shear, "1e39"), "“1e39” is not a number"},
        {typed(&F::tx, "2.5"), centre}, {typed(&F::ty, "-2.01"), centre},
        {counted("-5"), count}, {counted("3000000000"), count}, {counted("1.5"), count},
    };
    for (const auto &[act, reason] : cases) {
        d->window()->statusBar()->clearMessage();
        const int beeps = _beeps;
        act();
        EXPECT_EQ(d->window()->statusBar()->currentMessage(), QString::fromUtf8(reason));
        EXPECT_EQ(_beeps, beeps + 1) << reason;
    }
    EXPECT_EQ(field(d, &F::probability)->text(), QStringLiteral("1"));
    EXPECT_EQ(iterField(d)->text(), QStringLiteral("200000"));
    EXPECT_EQ(jsonRepresentation(*d->fractal()).toUtf8(), before);
    EXPECT_EQ(d->undoStack()->count(), 0);
}

// Each typed field is one step named after it; any count the engine draws
// can be typed, far past the slider's end. A copy of a map at the frame's edge stays inside it.
TEST_F(TypedValues, EachFieldIsAStepOfItsOwnName)
{
    MyDocument *d = newDocument();
    d->model()->select(1);
    for (const auto &[f, text, name] :
         {std::tuple{&F::tx, "2", "Set Translation X"}, {&F::ty, "-2", "Set Translation Y"},
          {&F::sx, "0.3", "Set Scale X"}, {&F::sy, "-0.4", "Set Scale Y"}, {&F::degrees, "30", "Set Rotation"},
          {&F::shear, "-1.25", "Set Shear"}, {&F::probability, "0", "Set Probability"}}) {
        type(field(d, f), text);
        EXPECT_EQ(d->undoStack()->undoText(), QLatin1String(name));
    }
    EXPECT_EQ(d->undoStack()->count(), 7);
    const QvTransform &m = d->model()->map(1);
    EXPECT_TRUE(m.translation() == QPointF(2, -2) && m.scale() == QPointF(0.3, -0.4) && m.probability() == 0.0f);
    EXPECT_EQ(m.shear(), -1.25f);
    EXPECT_FLOAT_EQ(m.rotation(), static_cast<float>(30 * 3.14159265358979 / 180));
    trigger(d, "Ctrl+D");
    EXPECT_EQ(d->model()->map(3).translation(), QPointF(1.9, -1.9));
    type(iterField(d), "2000000000");
    EXPECT_EQ(d->fractal()->iterations(), 2000000000);
    trigger(d, "Ctrl+Z");
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
    QLineEdit *p = field(d, &F::probability);
    p->selectAll();
    QTest::keyClicks(p, QStringLiteral("0.5"));
    const QPointF other = d->ifsView()->convertFromUserCoords(d->model()->map(2).translation());
    QTest::mouseClick(d->ifsView(), Qt::LeftButton, {}, QPoint(int(other.x()), d->ifsView()->height() - int(other.y())));
    EXPECT_EQ(d->model()->map(0).probability(), 0.5f);
    EXPECT_EQ(d->model()->map(2).probability(), 1.0f);
    EXPECT_EQ(d->model()->selectedIndex(), 2);
    EXPECT_EQ(d->undoStack()->count(), 1);
    EXPECT_EQ(p->text(), QStringLiteral("1")) << "the panel shows the newly selected map";
}

} // namespace
} // namespace attractor
