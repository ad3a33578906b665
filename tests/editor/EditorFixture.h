#pragma once

#include "support/LogCapture.h"

#include "widgets/Beep.h"
#include "editor/QvIFSView.h"
#include "model/QvFrac.h"
#include "model/QvTransform.h"
#include "widgets/ColorWell.h"
#include "widgets/FloatSlider.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QLineF>
#include <QMouseEvent>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <memory>

namespace attractor::test {

// A 400 x 400 canvas beside its controls, an empty fractal. Points given to
// the helpers are view coordinates (y up): view (x, y) is widget (x, 400 - y).
class EditorTest : public ::testing::Test
{
public:
    static constexpr int kSize = 400;

    void SetUp() override
    {
        window->resize(kSize + 200, kSize);
        view->setGeometry(0, 0, kSize, kSize);
        for (QWidget *w : std::initializer_list<QWidget *>{newButton, deleteButton, infoButton, rotationSlider,
                                                          probabilitySlider, colorWell})
            w->move(kSize + 10, 0);
        view->setControls({newButton, deleteButton, rotationSlider, colorWell, probabilitySlider, infoButton});
        view->setFractal(fractal);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        setBeepHandler([this] { ++beeps; });
        changes.clear();
    }
    void TearDown() override { setBeepHandler({}); }
    TransformPtr addMap(QPointF translation, QPointF scale = {0.5, 0.5}, float rotation = 0.0f)
    {
        auto t = std::make_shared<QvTransform>(scale, rotation, translation, _rgb_color{0.2f, 0.4f, 0.6f, 1.0f});
        fractal->transforms()->push_back(t);
        return t;
    }
    TransformPtr selectNewMap(QPointF translation, QPointF scale = {0.5, 0.5}, float rotation = 0.0f)
    {
        TransformPtr t = addMap(translation, scale, rotation);
        view->setSelection(t.get());
        changes.clear();
        return t;
    }
    void press(QPointF p, Qt::MouseButton b = Qt::LeftButton, Qt::KeyboardModifiers m = {},
               QTest::MouseAction a = QTest::MousePress)
    {
        QTest::mouseEvent(a, view, b, m, QPointF(p.x(), kSize - p.y()).toPoint());
    }
    void release(QPointF p, Qt::MouseButton b = Qt::LeftButton, Qt::KeyboardModifiers m = {})
    {
        press(p, b, m, QTest::MouseRelease);
    }
    void click(QPointF p, Qt::KeyboardModifiers m = {}) { press(p, Qt::LeftButton, m), release(p, Qt::LeftButton, m); }
    // Unlike QTest's, this move keeps fractions and the modifiers of the moment.
    void move(QPointF p, Qt::MouseButtons buttons, Qt::KeyboardModifiers m = {})
    {
        const QPointF local(p.x(), kSize - p.y());
        QMouseEvent event(QEvent::MouseMove, local, view->mapToGlobal(local), Qt::NoButton, buttons, m);
        QApplication::sendEvent(view, &event);
    }
    void drag(QPointF from, QPointF to, Qt::MouseButton b = Qt::LeftButton, Qt::KeyboardModifiers m = {})
    {
        press(from, b, m), move(to, b, m), release(to, b, m);
    }
    static void expectNear(QPointF actual, QPointF expected, double tolerance)
    {
        EXPECT_LE(QLineF(actual, expected).length(), tolerance) << "expected " << expected.x() << ", " << expected.y();
    }

    const std::unique_ptr<QWidget> window = std::make_unique<QWidget>();
    QvIFSView *const view = new QvIFSView(window.get());
    QPushButton *const newButton = new QPushButton(QStringLiteral("New"), window.get());
    QPushButton *const deleteButton = new QPushButton(QStringLiteral("Delete"), window.get());
    QPushButton *const infoButton = new QPushButton(QStringLiteral("Info"), window.get());
    FloatSlider *const rotationSlider = new FloatSlider(window.get());
    FloatSlider *const probabilitySlider = new FloatSlider(window.get());
    ColorWell *const colorWell = new ColorWell(window.get());
    const FracPtr fractal = std::make_shared<QvFrac>(std::make_shared<TransformList>(), 1000, defaultRGBColor());
    QSignalSpy changes{view, &QvIFSView::changeMade};
    int beeps = 0;
};

} // namespace attractor::test
