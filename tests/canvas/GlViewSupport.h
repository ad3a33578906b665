#pragma once

#include "engine/EngineTestFractals.h"

#include "canvas/MyOpenGLView.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QOpenGLContext>
#include <QTest>

#include <memory>

namespace attractor::test {

// A shown canvas with a working OpenGL context: a missing context is a
// failure, never a skip, as the canvas is useless without one.
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

} // namespace attractor::test
