#include "AppFixture.h"

#include "engine/Fitting.h"
#include "widgets/ViewNavigator.h"

#include <QNativeGestureEvent>
#include <QTest>
#include <QUndoStack>
#include <QWheelEvent>

namespace attractor {
namespace {

struct ViewTest : AppFixture {
    void SetUp() override { AppFixture::SetUp(), d = newDocument(), d->window()->show(), void(QTest::qWaitForWindowExposed(d->window())); }
    QWidget *canvas(int i) const { return i ? static_cast<QWidget *>(d->fractalView()) : d->ifsView(); }
    // The document point under a widget point, through the canvas's own mapping (y up).
    QPointF under(int i, QPointF p) const { return (i ? d->fractalView()->frame() : d->ifsView()->frame()).toDocument({p.x(), canvas(i)->height() - p.y()}); }
    void expectNoEdit() const { EXPECT_TRUE(d->undoStack()->count() == 0 && !d->isDocumentEdited()); }
    MyDocument *d = nullptr;
};

// The wheel (a notch a step) and a pinch zoom about the pointer; middle and Space+left drags take the
// grabbed point along; a plain left drag on the picture does nothing. The other canvas shows the same view.
TEST_F(ViewTest, GesturesOnEitherCanvasKeepTheGrabbedPointUnderThePointer)
{
    enum Kind { Wheel, Pinch, Middle, SpaceLeft, Left };
    struct Row { int canvas; Kind kind; double amount; QPointF from, to; };
    for (const Row &r : {Row{0, Wheel, 1, {100, 120}}, Row{1, Wheel, -2.5, {300, 50}}, Row{0, Pinch, 0.5, {60, 300}},
                         Row{1, Pinch, -0.25, {400, 100}}, Row{0, Middle, 0, {200, 150}, {140, 230}},
                         Row{1, Middle, 0, {20, 40}, {300, 10}}, Row{0, SpaceLeft, 0, {200, 150}, {260, 90}},
                         Row{1, SpaceLeft, 0, {100, 100}, {50, 300}}, Row{1, Left, 0, {100, 100}, {50, 300}}}) {
        const View start{{0.3, -0.2}, 3};
        d->model()->setView(start);
        QWidget *w = canvas(r.canvas);
        const QPointF grabbed = under(r.canvas, r.from), to = r.kind <= Pinch ? r.from : r.to, global = w->mapToGlobal(r.from);
        double factor = 1;
        if (r.kind == Wheel) {
            QWheelEvent wheel(r.from, global, {}, QPoint(0, int(r.amount * 120)), {}, {}, Qt::NoScrollPhase, false);
            QApplication::sendEvent(w, &wheel);
            factor = std::pow(kZoomStep, r.amount);
        } else if (r.kind == Pinch) {
            QNativeGestureEvent pinch(Qt::ZoomNativeGesture, QPointingDevice::primaryPointingDevice(), 2, r.from, r.from, global, r.amount, {});
            QApplication::sendEvent(w, &pinch);
            factor = 1 + r.amount;
        } else {
            const Qt::MouseButton button = r.kind == Middle ? Qt::MiddleButton : Qt::LeftButton;
            if (r.kind == SpaceLeft)
                QTest::keyPress(d->ifsView(), Qt::Key_Space);
            for (const auto &[type, at, held] : {std::tuple{QEvent::MouseButtonPress, r.from, button}, {QEvent::MouseMove, to, button},
                                                 {QEvent::MouseButtonRelease, to, Qt::NoButton}}) {
                QMouseEvent event(type, at, w->mapToGlobal(at), type == QEvent::MouseMove ? Qt::NoButton : button, held, {});
                QApplication::sendEvent(w, &event);
            }
            QTest::keyRelease(d->ifsView(), Qt::Key_Space);
        }
        const View v = d->model()->view();
        EXPECT_NEAR(v.zoom, 3 * factor, 1e-9);
        EXPECT_LE(QLineF(under(r.canvas, r.kind == Left ? r.from : to), grabbed).length(), 1e-9) << r.kind;
        EXPECT_EQ(r.kind == Left, v == start);
        QWidget *other = canvas(1 - r.canvas);
        EXPECT_LE(QLineF(under(1 - r.canvas, {other->width() / 2.0, other->height() / 2.0}), v.centre).length(), 0.51 / v.zoom / 100);
    }
    EXPECT_FALSE(d->navigator()->panning());
    expectNoEdit();
}

TEST_F(ViewTest, ViewMenuZoomsAboutTheCentreFitsTheAttractorAndRestoresTheStandardFrame)
{
    const View start{{0.5, 0.25}, 2}, fitted = viewFitting(attractorBounds(d->model()->fractal()).value());
    for (const auto &[keys, expected] : {std::pair{"Ctrl+=", View{start.centre, 2 * kZoomStep}}, {"Ctrl++", View{start.centre, 2 * kZoomStep}},
                                         {"Ctrl+-", View{start.centre, 2 / kZoomStep}}, {"Ctrl+0", fitted}, {"Ctrl+1", View{}}}) {
        d->model()->setView(start);
        trigger(d, keys);
        EXPECT_EQ(d->model()->view().centre, expected.centre) << keys;
        EXPECT_NEAR(d->model()->view().zoom, expected.zoom, 1e-12) << keys;
    }
    EXPECT_NE(fitted, View{});
    expectNoEdit();
}

// Saved only by a save, which writes it though nothing else changed; opening and reverting bring it back.
TEST_F(ViewTest, TheSavedViewComesBackOnOpenAndRevert)
{
    const View saved{{-0.75, 0.125}, 8};
    _savePaths << path(QStringLiteral("zoomed.frac"));
    ASSERT_TRUE(d->save());
    d->model()->setView(saved);
    expectNoEdit();
    ASSERT_TRUE(d->save());
    d->model()->setView({{1, 1}, 0.5}), d->ifsView()->newTransform();
    ASSERT_TRUE(d->revert());
    EXPECT_EQ(d->model()->view(), saved);
    d->close(), settle();
    MyDocument *again = open(QStringLiteral("zoomed.frac"));
    EXPECT_TRUE(again && again->model()->view() == saved && !again->isDocumentEdited() && _errors.isEmpty());
}

} // namespace
} // namespace attractor
