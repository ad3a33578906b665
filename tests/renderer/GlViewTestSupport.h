#pragma once

#include "support/PaintCounter.h"

#include "model/QvFrac.h"
#include "model/QvTransform.h"
#include "renderer/MyOpenGLView.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QOpenGLContext>
#include <QTest>

#include <memory>
#include <vector>

namespace attractor::testing {

inline FracPtr fractalOf(std::vector<QvTransform> maps, int32_t iterations, _rgb_color bg)
{
    auto list = std::make_shared<TransformList>();
    for (QvTransform &map : maps)
        list->push_back(std::make_shared<QvTransform>(map));
    return std::make_shared<QvFrac>(list, iterations, bg);
}

// Two small maps whose attractor lies near y = 1, well inside the upper half.
inline FracPtr upperHalfFractal(int32_t iterations, _rgb_color bg)
{
    return fractalOf({QvTransform(QPointF(0.3, 0.3), 0.0f, QPointF(-0.6, 0.7), {1, 0.5f, 0, 1}),
                      QvTransform(QPointF(0.3, 0.3), 0.0f, QPointF(0.6, 0.7), {0, 1, 1, 1})},
                     iterations, bg);
}

// A shown canvas with a working OpenGL context. A missing context is a
// failure, never a skip: the canvas is useless without one.
inline std::unique_ptr<MyOpenGLView> shownView(QSize size, FracPtr fractal)
{
    auto view = std::make_unique<MyOpenGLView>();
    view->resize(size);
    view->setFractal(std::move(fractal));
    view->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(view.get()));
    QCoreApplication::processEvents();
    EXPECT_TRUE(view->context() && view->context()->isValid()) << "no OpenGL context";
    EXPECT_TRUE(view->hasOpenGL()) << "the OpenGL context has no fixed-function drawing";
    return view;
}

inline bool waitForPicture(MyOpenGLView &view, int timeoutMs = 60000)
{
    return QTest::qWaitFor([&] { return view.pictureIsCurrent(); }, timeoutMs);
}

} // namespace attractor::testing
