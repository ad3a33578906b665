#pragma once

#include "support/PaintCounter.h"

#include "support/LogCapture.h"

#include "editor/Beep.h"
#include "widgets/ColorWell.h"
#include "widgets/FloatSlider.h"
#include "editor/QvIFSView.h"
#include "model/QvFrac.h"
#include "model/QvTransform.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <memory>

namespace attractor::test {

// A 400 x 400 canvas in a window with all its controls. Points given to the
// helpers are view coordinates (y up): design (x, y) is widget (x, 400 - y).
class EditorTest : public ::testing::Test
{
protected:
    static constexpr int kSize = 400;

    void SetUp() override
    {
        window = std::make_unique<QWidget>();
        window->resize(kSize + 200, kSize);
        view = new QvIFSView(window.get());
        view->setGeometry(0, 0, kSize, kSize);
        newButton = new QPushButton(QStringLiteral("New"), window.get());
        deleteButton = new QPushButton(QStringLiteral("Delete"), window.get());
        infoButton = new QPushButton(QStringLiteral("Info"), window.get());
        rotationSlider = new FloatSlider(window.get());
        probabilitySlider = new FloatSlider(window.get());
        colorWell = new ColorWell(window.get());
        for (QWidget *w : std::initializer_list<QWidget *>{newButton, deleteButton, infoButton,
                                                          rotationSlider, probabilitySlider, colorWell})
            w->move(kSize + 10, w->y());
        view->setControls({newButton, deleteButton, rotationSlider, colorWell, probabilitySlider, infoButton});

        fractal = std::make_shared<QvFrac>(std::make_shared<TransformList>(), 1000, defaultRGBColor());
        view->setFractal(fractal);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        QCoreApplication::processEvents();

        setBeepHandler([this] { ++beeps; });
        changes = std::make_unique<QSignalSpy>(view, &QvIFSView::changeMade);
        view->installEventFilter(&paintCounter);
    }

    void TearDown() override
    {
        setBeepHandler({});
        changes.reset();
        window.reset();
    }

    TransformPtr addMap(QPointF translation, QPointF scale = {0.5, 0.5}, float rotation = 0.0f)
    {
        auto t = std::make_shared<QvTransform>(scale, rotation, translation, _rgb_color{0.2f, 0.4f, 0.6f, 1.0f});
        fractal->transforms()->push_back(t);
        return t;
    }

    static QPoint widgetPoint(QPointF viewPoint)
    {
        return QPoint(qRound(viewPoint.x()), qRound(kSize - viewPoint.y()));
    }

    // Whole-point presses and releases go through QTest like a user's clicks.
    void press(QPointF viewPoint, Qt::MouseButton button = Qt::LeftButton,
               Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::mouseEvent(QTest::MousePress, view, button, modifiers, widgetPoint(viewPoint));
    }
    void release(QPointF viewPoint, Qt::MouseButton button = Qt::LeftButton,
                 Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::mouseEvent(QTest::MouseRelease, view, button, modifiers, widgetPoint(viewPoint));
    }

    // Moves carry fractional positions and the modifiers of the moment,
    // which QTest's own move drops.
    void move(QPointF viewPoint, Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        const QPointF local(viewPoint.x(), kSize - viewPoint.y());
        QMouseEvent event(QEvent::MouseMove, local, view->mapToGlobal(local), Qt::NoButton, buttons,
                          modifiers);
        QApplication::sendEvent(view, &event);
    }

    void drag(QPointF from, QPointF to, Qt::MouseButton button = Qt::LeftButton,
              Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        press(from, button, modifiers);
        move(to, button, modifiers);
        release(to, button, modifiers);
    }

    int paintsAfterEvents()
    {
        paintCounter.count = 0;
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
        return paintCounter.count;
    }

    std::unique_ptr<QWidget> window;
    QvIFSView *view = nullptr;
    QPushButton *newButton = nullptr;
    QPushButton *deleteButton = nullptr;
    QPushButton *infoButton = nullptr;
    FloatSlider *rotationSlider = nullptr;
    FloatSlider *probabilitySlider = nullptr;
    ColorWell *colorWell = nullptr;
    FracPtr fractal;
    std::unique_ptr<QSignalSpy> changes;
    PaintCounter paintCounter;
    int beeps = 0;
};

} // namespace attractor::test
