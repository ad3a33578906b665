#include "AppFixture.h"

#include "engine/Fitting.h"
#include "widgets/ViewNavigator.h"

#include <QNativeGestureEvent>
#include <QTest>
#include <QUndoStack>
#include <QWheelEvent>

#include <cmath>
#include <functional>

namespace attractor {
namespace {

class ViewTest : public AppFixture
{
protected:
    void SetUp() override
    {
        AppFixture::SetUp();
        d = newDocument();
        d->window()->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(d->window()));
        canvases = {d->ifsView(), d->fractalView()};
    }
    // The canvas's mapping (widget pixels, y up) and the document point under a widget point.
    PixelMapping frameOf(QWidget *canvas) const
    {
        return canvas == d->ifsView() ? d->ifsView()->frame() : d->fractalView()->frame();
    }
    QPointF under(QWidget *canvas, QPointF p) const { return frameOf(canvas).toDocument({p.x(), canvas->height() - p.y()}); }
    static void send(QWidget *canvas, QEvent::Type type, QPointF p, Qt::MouseButton button, Qt::MouseButtons held)
    {
        QMouseEvent event(type, p, canvas->mapToGlobal(p), button, held, Qt::NoModifier);
        QApplication::sendEvent(canvas, &event);
    }
    void expectNear(QPointF a, QPointF b, double tolerance = 1e-9) const
    {
        EXPECT_LE(std::hypot(a.x() - b.x(), a.y() - b.y()), tolerance) << a.x() << "," << a.y() << " vs " << b.x() << "," << b.y();
    }
    // Both canvases follow the one view: its centre in the middle of each square, its zoom in each scale.
    void expectBothShowTheView() const
    {
        const View v = d->model()->view();
        for (QWidget *canvas : canvases) {
            const double side = std::min(canvas->width(), canvas->height());
            const PixelMapping f = frameOf(canvas);
            EXPECT_NEAR(f.scaleX, side * v.zoom / 4, 1e-9 * f.scaleX);
            expectNear(f.toPixels(v.centre), {canvas->width() / 2.0, canvas->height() / 2.0}, 0.51);
        }
    }
    void expectNoEdit() const
    {
        EXPECT_EQ(d->undoStack()->count(), 0);
        EXPECT_FALSE(d->isDocumentEdited() || d->window()->isWindowModified());
    }

    MyDocument *d = nullptr;
    std::vector<QWidget *> canvases;
};

// A notch is one zoom step, a pinch its own factor; the point under the pointer stays there.
TEST_F(ViewTest, WheelAndPinchZoomAboutThePointOnEitherCanvas)
{
    struct Row { QPointF at; double notches, pinch; };
    for (QWidget *canvas : canvases) {
        double zoom = 1.0;
        for (const Row &row : {Row{{100, 120}, 1, 0}, Row{{300, 50}, 3, 0}, Row{{20, 400}, -2, 0}, Row{{250, 260}, 0.5, 0},
                               Row{{60, 300}, 0, 0.5}, Row{{400, 100}, 0, -0.25}}) {
            const QPointF before = under(canvas, row.at);
            if (row.pinch != 0) {
                QNativeGestureEvent pinch(Qt::ZoomNativeGesture, QPointingDevice::primaryPointingDevice(), 2, row.at,
                                          row.at, canvas->mapToGlobal(row.at), row.pinch, {});
                QApplication::sendEvent(canvas, &pinch);
                zoom *= 1 + row.pinch;
            } else {
                QWheelEvent wheel(row.at, canvas->mapToGlobal(row.at), {}, QPoint(0, int(row.notches * 120)), Qt::NoButton,
                                  Qt::NoModifier, Qt::NoScrollPhase, false);
                QApplication::sendEvent(canvas, &wheel);
                zoom *= std::pow(kZoomStep, row.notches);
            }
            EXPECT_NEAR(d->model()->view().zoom, zoom, 1e-9 * zoom);
            expectNear(under(canvas, row.at), before);
            expectBothShowTheView();
        }
        d->model()->setView({});
    }
    expectNoEdit();
}

// Middle drags and Space+left drags pan: the grabbed point ends under the pointer; a plain left drag on the picture does not.
TEST_F(ViewTest, DragsPanByTheDraggedDistance)
{
    struct Row { int canvas; Qt::MouseButton button; bool space, pans; };
    for (const Row &row : {Row{0, Qt::MiddleButton, false, true}, Row{1, Qt::MiddleButton, false, true},
                           Row{0, Qt::LeftButton, true, true}, Row{1, Qt::LeftButton, true, true},
                           Row{1, Qt::LeftButton, false, false}}) {
        QWidget *canvas = canvases[size_t(row.canvas)];
        d->model()->setView({{0.3, -0.2}, 3});
        const View start = d->model()->view();
        const QPointF from(200, 150), to(140, 230);
        const QPointF grabbed = under(canvas, from);
        if (row.space)
            QTest::keyPress(d->ifsView(), Qt::Key_Space);
        send(canvas, QEvent::MouseButtonPress, from, row.button, row.button);
        send(canvas, QEvent::MouseMove, (from + to) / 2, Qt::NoButton, row.button);
        send(canvas, QEvent::MouseMove, to, Qt::NoButton, row.button);
        EXPECT_EQ(d->navigator()->panning(), row.pans);
        send(canvas, QEvent::MouseButtonRelease, to, row.button, Qt::NoButton);
        if (row.space)
            QTest::keyRelease(d->ifsView(), Qt::Key_Space);
        EXPECT_FALSE(d->navigator()->panning());
        if (row.pans)
            expectNear(under(canvas, to), grabbed);
        else
            EXPECT_EQ(d->model()->view(), start);
        EXPECT_EQ(d->model()->view().zoom, 3);
        expectBothShowTheView();
    }
    expectNoEdit();
}

TEST_F(ViewTest, ViewMenuZoomsFitsAndRestoresTheStandardFrame)
{
    const View start{{0.5, 0.25}, 2};
    const std::optional<QRectF> bounds = attractorBounds(d->model()->fractal());
    ASSERT_TRUE(bounds.has_value());
    for (const auto &[keys, expected] : {std::pair{"Ctrl+=", View{start.centre, 2 * kZoomStep}}, {"Ctrl++", View{start.centre, 2 * kZoomStep}},
                                         {"Ctrl+-", View{start.centre, 2 / kZoomStep}}, {"Ctrl+0", viewFitting(*bounds)},
                                         {"Ctrl+1", View{}}}) {
        d->model()->setView(start);
        trigger(d, keys);
        EXPECT_EQ(d->model()->view().centre, expected.centre) << keys;
        EXPECT_NEAR(d->model()->view().zoom, expected.zoom, 1e-12) << keys;
    }
    EXPECT_NE(viewFitting(*bounds), View{});
    expectNoEdit();
}

// Saved only by a save, which writes it even when nothing else changed; opening and reverting bring it back.
TEST_F(ViewTest, TheSavedViewComesBackOnOpenAndRevert)
{
    const View saved{{-0.75, 0.125}, 8};
    _savePaths << path(QStringLiteral("zoomed.frac"));
    ASSERT_TRUE(d->save());
    d->model()->setView(saved);
    expectNoEdit();
    ASSERT_TRUE(d->save());
    EXPECT_TRUE(readFile(QStringLiteral("zoomed.frac")).contains("'zoom':'8'"));
    d->model()->setView({{1, 1}, 0.5});
    d->ifsView()->newTransform();
    ASSERT_TRUE(d->revert());
    EXPECT_EQ(d->model()->view(), saved);
    d->close();
    settle();
    MyDocument *again = open(QStringLiteral("zoomed.frac"));
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(again->model()->view(), saved);
    EXPECT_FALSE(again->isDocumentEdited());
    EXPECT_TRUE(_errors.isEmpty());
}

} // namespace
} // namespace attractor
