#include "editor/QvIFSView.h"
#include "model/QvFrac.h"
#include "model/QvTransform.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLineF>
#include <QMouseEvent>
#include <QTest>

#include <cmath>
#include <memory>
#include <numbers>

using namespace attractor;

namespace {

struct Shape {
    const char *name;
    QSize size;
};

class SquareView : public ::testing::TestWithParam<Shape>
{
protected:
    void SetUp() override
    {
        fractal = std::make_shared<QvFrac>(std::make_shared<TransformList>(), 1000, defaultRGBColor());
        map = std::make_shared<QvTransform>(QPointF(0.5, 0.5), 0.0f, QPointF(0, 0), _rgb_color{0.2f, 0.4f, 0.6f, 1});
        fractal->transforms()->push_back(map);
        view = std::make_unique<QvIFSView>();
        view->resize(GetParam().size);
        view->setFractal(fractal);
        view->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(view.get()));
    }

    // A pointer event at a point in view coordinates (y up), fractions kept.
    void send(QEvent::Type type, QPointF viewPoint, Qt::MouseButtons buttons)
    {
        const QPointF local(viewPoint.x(), view->height() - viewPoint.y());
        QMouseEvent event(type, local, view->mapToGlobal(local), type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton,
                          buttons, Qt::AltModifier);
        QApplication::sendEvent(view.get(), &event);
    }

    FracPtr fractal;
    TransformPtr map;
    std::unique_ptr<QvIFSView> view;
};

} // namespace

TEST_P(SquareView, ShowsTheUserSquareCentredAtOneScale)
{
    const QSize size = GetParam().size;
    const double side = std::min(size.width(), size.height());
    const QPointF low = view->convertFromUserCoords({-2, -2});
    const QPointF high = view->convertFromUserCoords({2, 2});
    EXPECT_NEAR(low.x(), (size.width() - side) / 2, 1e-9);
    EXPECT_NEAR(low.y(), (size.height() - side) / 2, 1e-9);
    EXPECT_NEAR(high.x() - low.x(), side, 1e-9);
    EXPECT_NEAR(high.y() - low.y(), side, 1e-9);
    const QSizeF pixel = view->onePixelInUserCoords();
    EXPECT_FLOAT_EQ(pixel.width(), pixel.height());
    const QPointF back = view->convertToUserCoords(view->convertFromUserCoords({1.25, -0.5}));
    EXPECT_NEAR(back.x(), 1.25, 1e-9);
    EXPECT_NEAR(back.y(), -0.5, 1e-9);
}

TEST_P(SquareView, AGlyphOfASquareMapIsSquare)
{
    map->setRotation(0.3f);
    const QPainterPath glyph = view->pathFromTransform(*map);
    ASSERT_GE(glyph.elementCount(), 4);
    const auto corner = [&](int i) { return QPointF(glyph.elementAt(i).x, glyph.elementAt(i).y); };
    // Corners a and b begin the outline, d comes last before it closes on a.
    int last = glyph.elementCount() - 1;
    while (last > 1 && corner(last) == corner(0))
        --last;
    const QLineF first(corner(0), corner(1));
    const QLineF second(corner(last), corner(0));
    EXPECT_NEAR(first.length(), second.length(), 1e-6);
    EXPECT_NEAR(std::abs(first.angleTo(second) - 180.0), 90.0, 1e-4);
}

TEST_P(SquareView, AltDragThroughAQuarterTurnKeepsTheScale)
{
    // The handle of the selected (0.5, 0.5) map sits at its corner (0.5, 0.5).
    view->setSelection(map.get());
    send(QEvent::MouseButtonPress, view->convertFromUserCoords({0.5, 0.5}), Qt::LeftButton);
    const QPointF turned = view->convertFromUserCoords({0, std::sqrt(0.5)});
    send(QEvent::MouseMove, turned, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, turned, Qt::NoButton);
    EXPECT_NEAR(map->rotation(), std::numbers::pi / 4, 1e-4);
    EXPECT_NEAR(map->scale().x(), 0.5, 1e-3);
    EXPECT_NEAR(map->scale().y(), 0.5, 1e-3);
}

INSTANTIATE_TEST_SUITE_P(Shapes, SquareView,
                         ::testing::Values(Shape{"Wide", {1200, 400}}, Shape{"Tall", {400, 1000}}),
                         [](const auto &info) { return std::string(info.param.name); });
