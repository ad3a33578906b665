#include "EditorFixture.h"

#include <QImage>
#include <QPainterPath>

#include <cmath>
#include <cstring>
#include <numbers>

using namespace attractor;
using namespace attractor::test;

namespace {
constexpr float kQuarterTurn = static_cast<float>(std::numbers::pi / 2);

void expectPath(const QPainterPath &path, const std::vector<QPointF> &points)
{
    ASSERT_GE(path.elementCount(), static_cast<int>(points.size()));
    for (int i = 0; i < static_cast<int>(points.size()); ++i)
        EditorTest::expectNear(QPointF(path.elementAt(i).x, path.elementAt(i).y), points[i], 1e-4);
}

// Image rows count down from the top: view point (x, y) is pixel (x, 399 - y).
QColor pixel(const QImage &image, double x, double y)
{
    return image.pixelColor(static_cast<int>(x), static_cast<int>(EditorTest::kSize - 1 - y));
}
} // namespace

// The user square (-2..2) fills the shorter side at one scale, centred.
TEST_F(EditorTest, ShowsTheUserSquareCentredOnTheShorterSide)
{
    for (const auto &[size, low] : {std::pair{QSize(400, 400), QPointF(0, 0)},
                                    std::pair{QSize(1200, 400), QPointF(400, 0)},
                                    std::pair{QSize(400, 1000), QPointF(0, 300)}}) {
        view->resize(size);
        expectNear(view->convertFromUserCoords({-2, -2}), low, 1e-9);
        expectNear(view->convertToUserCoords(low + QPointF(400, 400)), {2, 2}, 1e-9);
        expectNear({view->onePixelInUserCoords().width(), view->onePixelInUserCoords().height()}, {0.01, 0.01}, 1e-9);
    }
}

// Glyph outline round its rounded corner, handle centre, crosshairs; tiny maps keep a minimum glyph at any zoom.
TEST_F(EditorTest, GlyphHasTheRoundedCornerWhereTheScalePointsItAndMinimumsAtAnyZoom)
{
    const struct {
        QPointF scale;
        float rotation;
        std::vector<QPointF> glyph, cross;
        QPointF handle;
    } cases[] = {
        {{0.5, 0.5}, 0, {{150, 150}, {150, 250}, {244, 250}, {247, 250}, {250, 247}, {250, 244}, {250, 150}},
         {{195, 200}, {205, 200}, {200, 205}, {200, 195}}, {250, 250}},
        {{0.01, 0.03}, 0, {{195, 195}, {195, 205}, {199, 205}, {202, 205}, {205, 202}, {205, 199}, {205, 195}},
         {}, {201, 203}},
        {{0.5, 0.5}, kQuarterTurn, {{250, 150}, {150, 150}, {150, 244}, {150, 247}, {153, 250}, {156, 250}, {250, 250}},
         {{200, 195}, {200, 205}, {195, 200}, {205, 200}}, {150, 250}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.handle.x());
        const QvTransform t(c.scale, c.rotation, {0, 0}, defaultRGBColor());
        expectPath(view->pathFromTransform(t), c.glyph);
        expectNear(view->selectionBoxFromTransform(t).boundingRect().center(), c.handle, 1e-4);
        expectPath(view->crosshairsFromTransform(t), c.cross);
    }
    // The frame follows the model's view; a tiny map's glyph and every crosshair keep their size on screen.
    const QvTransform tiny({1e-7, 2e-7}, 0, {0.25, -0.5}, defaultRGBColor()), large({0.5, 0.5}, 0, {0.25, -0.5}, defaultRGBColor());
    for (const double zoom : {1.0 / 16, 1.0, 4.0, 1e5}) {
        view->model()->setView({{0.25, -0.5}, zoom});
        expectNear(view->convertFromUserCoords({0.25, -0.5}), {200, 200}, 1e-6);
        EXPECT_NEAR(view->onePixelInUserCoords().width(), 0.01 / zoom, 1e-6 / zoom);
        for (const QRectF &glyph : {view->pathFromTransform(tiny).boundingRect(), view->crosshairsFromTransform(large).boundingRect()}) {
            expectNear(glyph.topLeft(), {195, 195}, 1e-6);
            expectNear(glyph.bottomRight(), {205, 205}, 1e-6);
        }
        EXPECT_NEAR(view->pathFromTransform(large).boundingRect().width(), std::max(10.0, 100 * zoom), 1e-6 * zoom);
    }
}

TEST_F(EditorTest, HitTestFindsTheTopmostGlyphUnderThePoint)
{
    // 0 at the centre, selected; 1 over it from the lower right; 2 mirrored, lower left; 3 turned, upper left;
    view->setSelection(addMap({0, 0}).get());
    addMap({0.8, -0.8});
    addMap({-1.2, -1.2}, {-0.5, 0.5});
    addMap({-1.2, 1.2}, {0.5, 0.5}, kQuarterTurn);
    // 4 sheared to the right: the parallelogram is hit, the rectangle it leaves is not.
    addMap({1, 1.3})->setShear(0.5f);
    for (const auto &[point, index] : {std::pair{QPointF(370, 375), 4}, std::pair{QPointF(255, 360), -1},std::pair{QPointF(245, 245), 0}, std::pair{QPointF(249.5, 249.5), -1},
                                       std::pair{QPointF(240, 160), 1}, std::pair{QPointF(253, 253), -1},
                                       std::pair{QPointF(129.5, 129.5), 2}, std::pair{QPointF(30.5, 129.5), -1},
                                       std::pair{QPointF(30.5, 369.5), -1}, std::pair{QPointF(129.5, 369.5), 3}})
        EXPECT_EQ(view->transformUnderPoint(point), index < 0 ? nullptr : fractal->transforms()->at(index).get())
            << point.x() << ", " << point.y();
    view->setFractal(nullptr);
    EXPECT_EQ(view->transformUnderPoint({200, 200}), nullptr);
}

// Controls are enabled by the selection and the map count, and show the selected map's values.
TEST_F(EditorTest, ControlsFollowTheSelectionAndMapCount)
{
    for (const auto &[maps, newOn, deleteOn] : {std::tuple{0, true, false}, std::tuple{1, true, false},
                                                std::tuple{9, true, true}, std::tuple{10, false, true}}) {
        while (int(fractal->transforms()->size()) < maps)
            addMap({0, 0});
        view->updateDisplay();
        view->setSelection(maps ? fractal->transforms()->front().get() : nullptr);
        EXPECT_EQ(std::tuple(newButton->isEnabled(), deleteButton->isEnabled(), rotationSlider->isEnabled(),
                             colorWell->isEnabled(), probabilitySlider->isEnabled(), infoButton->isEnabled()),
                  std::tuple(newOn, deleteOn, maps > 0, maps > 0, maps > 0, maps > 0)) << maps;
    }
    view->newTransform(); // the menu command still comes while the button is off
    EXPECT_EQ(fractal->transforms()->size(), 10u);
    EXPECT_EQ(beeps, 1);
    // The rotation slider shows a quarter turn minus the rotation, wrapped once.
    for (const auto &[rotation, shown] : {std::pair{0.0f, 1.5707964f}, std::pair{2.0f, 5.853981f},
                                          std::pair{-7.0f, 8.570796f}, std::pair{kQuarterTurn, 0.0f}}) {
        view->setSelection(addMap({0, 0}, {0.5, 0.5}, rotation).get());
        EXPECT_FLOAT_EQ(rotationSlider->floatValue(), shown) << rotation;
    }
    const TransformPtr t = selectNewMap({0.5, -0.25}, {0.5, 0.5}, 0.1f);
    t->setProbability(0.25f);
    t->setRgb({0.25f, 0.5f, 0.75f, 1.0f});
    view->updateDisplay();
    EXPECT_FLOAT_EQ(probabilitySlider->floatValue(), 0.25f);
    EXPECT_EQ(colorWell->color(), QColor::fromRgbF(0.25f, 0.5f, 0.75f));
    // With nothing selected the disabled controls show no map's values.
    view->setSelection(nullptr);
    EXPECT_FALSE(colorWell->color().isValid() || colorWell->isEnabled());
    EXPECT_FLOAT_EQ(probabilitySlider->floatValue(), probabilitySlider->floatMinimum());
    EXPECT_FLOAT_EQ(rotationSlider->floatValue(), rotationSlider->floatMinimum());
    EXPECT_TRUE(probabilitySlider->toolTip().isEmpty() && rotationSlider->toolTip().isEmpty());
    EXPECT_EQ(changes.count(), 0) << "showing values is no edit";
}

TEST_F(EditorTest, PaintsSquareAxesGlyphsAndHandleAndOddColoursClamped)
{
    view->setFractal(QvFrac::defaultFractal());
    view->setSelection(view->fractal()->transforms()->at(2).get()); // the red map
    const QImage image = view->grab().toImage();
    EXPECT_EQ(pixel(image, 20, 380), QColor(Qt::white)) << "background";
    const QColor square = pixel(image, 99.5, 175); // the grey square's left edge
    EXPECT_TRUE(square.red() > 120 && square.red() < 250 && square.red() == square.blue());
    EXPECT_TRUE(pixel(image, 199.5, 395).red() < 200 && pixel(image, 5, 199.5).red() < 200) << "axes";
    // Unselected green glyph with automatic probability: 0.8 alpha over white.
    const QColor green = pixel(image, 80, 120);
    EXPECT_TRUE(std::abs(green.red() - 51) <= 2 && green.green() == 255 && std::abs(green.blue() - 51) <= 2);
    // The red map's handle at (250, 350): white inside, black around; a three-wide outline.
    EXPECT_EQ(pixel(image, 250, 350), QColor(Qt::white));
    EXPECT_TRUE(pixel(image, 245.5, 350).red() < 80 && pixel(image, 150.6, 300).red() < 60);
    // Colours a document may hold that Qt has no valid colour for: shown clamped, no Qt warning, kept exactly.
    const _rgb_color odd{std::nanf(""), 2.0f, -1.0f, 5.0f};
    QvTransform *map = view->fractal()->transforms()->at(0).get();
    map->setRgb(odd);
    LogCapture log;
    view->setSelection(map);
    view->repaint();
    colorWell->repaint();
    EXPECT_TRUE(log.lines().isEmpty()) << log.lines().join(u'\n').toStdString();
    EXPECT_TRUE(colorWell->color().isValid());
    const _rgb_color kept = map->rgb();
    EXPECT_EQ(std::memcmp(&kept, &odd, sizeof odd), 0);
}

TEST(FloatSlider, MapsUserPositionsOntoItsRange)
{
    FloatSlider slider;
    slider.setFloatRange(-2.0f, 6.0f);
    for (const auto &[position, value] : {std::pair{slider.minimum(), -2.0f}, std::pair{slider.maximum() / 2, 2.0f},
                                          std::pair{slider.maximum(), 6.0f}}) {
        slider.setValue(position);
        EXPECT_EQ(slider.floatValue(), value);
    }
}
