#include "EditorFixture.h"

#include <QImage>
#include <QLineEdit>

#include <cmath>
#include <numbers>

using namespace attractor;
using namespace attractor::test;

struct RotationSliderCase {
    const char *name;
    float rotation;
    float sliderValue;
};

class RotationSlider : public EditorTest, public ::testing::WithParamInterface<RotationSliderCase> {};

TEST_P(RotationSlider, ShowsAQuarterTurnMinusTheRotationWrappedOnce)
{
    const TransformPtr t = addMap({0, 0}, {0.5, 0.5}, GetParam().rotation);
    view->setSelection(t.get());
    EXPECT_FLOAT_EQ(rotationSlider->floatValue(), GetParam().sliderValue);
}

INSTANTIATE_TEST_SUITE_P(
    Editor, RotationSlider,
    ::testing::Values(RotationSliderCase{"Zero", 0.0f, 1.5707964f},
                      RotationSliderCase{"TwoWrapsOnce", 2.0f, 5.853981f},
                      RotationSliderCase{"MinusSevenIsNotWrapped", -7.0f, 8.570796f},
                      // The 32-bit quarter turn lies a hair above the slider's: still the left end.
                      RotationSliderCase{"QuarterTurnStaysAtTheLeftEnd", static_cast<float>(std::numbers::pi / 2),
                                         0.0f}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(EditorTest, ControlsAndInfoPanelFollowTheSelection)
{
    const TransformPtr t = addMap({0.5, -0.25}, {0.5, 0.5}, 0.1f);
    t->setProbability(0.25f);
    t->setRgb({0.25f, 0.5f, 0.75f, 1.0f});
    view->setSelection(t.get());

    EXPECT_FLOAT_EQ(probabilitySlider->floatValue(), -0.25f);
    EXPECT_EQ(colorWell->color(), t->color());
    const QvIFSView::InfoFields &info = view->infoFields();
    EXPECT_EQ(info.translation->text(), QStringLiteral("(0.500, -0.250)"));
    EXPECT_EQ(info.rotation->text(), QStringLiteral("0.100 radians"));
    EXPECT_EQ(info.scale->text(), QStringLiteral("(0.500, 0.500)"));
    const _t_matrix m = t->transformMatrix();
    const float shown[] = {info.a->text().toFloat(), info.b->text().toFloat(), info.c->text().toFloat(),
                           info.d->text().toFloat()};
    const float expected[] = {m.a, m.b, m.c, m.d};
    for (int i = 0; i < 4; ++i)
        EXPECT_NEAR(shown[i], expected[i], 1e-5) << "matrix entry " << i;
    EXPECT_LT(shown[1], 0.0f);

    view->setSelection(nullptr);
    for (QLineEdit *field : {info.translation, info.rotation, info.scale, info.a, info.b, info.c, info.d})
        EXPECT_TRUE(field->text().isEmpty());
    // Values stay as they were; only the enabling changes.
    EXPECT_FLOAT_EQ(probabilitySlider->floatValue(), -0.25f);
}

struct EnablingCase {
    const char *name;
    int maps;
    bool select;
    bool newEnabled;
    bool deleteEnabled;
};

class ControlEnabling : public EditorTest, public ::testing::WithParamInterface<EnablingCase> {};

TEST_P(ControlEnabling, FollowsSelectionAndMapCount)
{
    const EnablingCase &c = GetParam();
    for (int i = 0; i < c.maps; ++i)
        addMap({0, 0});
    view->updateDisplay();
    if (c.select)
        view->setSelection(fractal->transforms()->front().get());
    EXPECT_EQ(newButton->isEnabled(), c.newEnabled);
    EXPECT_EQ(deleteButton->isEnabled(), c.deleteEnabled);
    for (QWidget *w : std::initializer_list<QWidget *>{rotationSlider, colorWell, probabilitySlider, infoButton})
        EXPECT_EQ(w->isEnabled(), c.select);
}

INSTANTIATE_TEST_SUITE_P(Editor, ControlEnabling,
                         ::testing::Values(EnablingCase{"NoMapsNoSelection", 0, false, true, false},
                                           EnablingCase{"OnlyMapSelected", 1, true, true, false},
                                           EnablingCase{"NineMapsSelected", 9, true, true, true},
                                           EnablingCase{"TenMapsSelected", 10, true, false, true}),
                         [](const auto &info) { return std::string(info.param.name); });

// Documents may hold far more maps than the new-map button allows.
TEST_F(EditorTest, ManyMapsStayUsable)
{
    for (int i = 0; i < 60; ++i)
        addMap({-1.9 + i * 0.06, 0.03 * (i % 20) - 0.3}, {0.2 + 0.01 * (i % 7), 0.3}, 0.05f * i);
    const QPointF last = view->convertFromUserCoords(fractal->transforms()->back()->translation());
    press(last);
    release(last);
    EXPECT_EQ(view->selection(), fractal->transforms()->back().get());
    QTest::keyClick(view, Qt::Key_Delete);
    EXPECT_EQ(fractal->transforms()->size(), 59u);
    view->newTransform();
    EXPECT_EQ(fractal->transforms()->size(), 59u) << "refused beyond the button's limit";
    EXPECT_FALSE(newButton->isEnabled());
}
// Drawing: read back a few pixels of the rendered canvas. Image rows count
// down from the top, so view point (x, y) is pixel (x, 399 - y).
class Drawing : public EditorTest
{
protected:
    QColor pixel(const QImage &image, double x, double y) const
    {
        return image.pixelColor(static_cast<int>(x), static_cast<int>(kSize - 1 - y));
    }
};

TEST_F(Drawing, PaintsSquareAxesGlyphsAndHandle)
{
    view->setFractal(QvFrac::defaultFractal());
    QvTransform *red = view->fractal()->transforms()->at(2).get();
    view->setSelection(red);

    const QImage image = view->grab().toImage();
    if (const QByteArray path = qgetenv("ATTRACTOR_EDITOR_SCREENSHOT"); !path.isEmpty())
        image.save(QString::fromLocal8Bit(path));
    ASSERT_EQ(image.size(), QSize(kSize, kSize));

    EXPECT_EQ(pixel(image, 20, 380), QColor(Qt::white)) << "background";
    // The grey square's left edge at x = 100, away from glyphs and axes.
    const QColor square = pixel(image, 99.5, 175);
    EXPECT_LT(square.red(), 250);
    EXPECT_GT(square.red(), 120);
    EXPECT_EQ(square.red(), square.blue());
    // The axes run through the whole canvas.
    EXPECT_LT(pixel(image, 199.5, 395).red(), 200);
    EXPECT_LT(pixel(image, 5, 199.5).red(), 200);

    // Unselected green glyph with automatic probability: 0.8 alpha over white.
    const QColor green = pixel(image, 80, 120);
    EXPECT_NEAR(green.red(), 51, 2);
    EXPECT_EQ(green.green(), 255);
    EXPECT_NEAR(green.blue(), 51, 2);

    // The selected red map's handle at F(0.5, 1.5) = (250, 350) is white inside, black around.
    EXPECT_EQ(pixel(image, 250, 350), QColor(Qt::white));
    EXPECT_LT(pixel(image, 245.5, 350).red(), 80);
    // The selection's outline is three wide: black well inside the edge at x = 150.
    const QColor outline = pixel(image, 150.6, 300);
    EXPECT_LT(outline.red(), 60);
}

TEST_F(Drawing, ExplicitProbabilityShowsAsOpacityAndHoverAsPlainColour)
{
    const TransformPtr t = addMap({0, 0}, {1.0, 1.0});
    t->setRgb({0.0f, 0.0f, 1.0f, 1.0f});
    t->setProbability(0.5f); // alpha 0.6 + 1.5 / 5 = 0.9
    QImage image = view->grab().toImage();
    QColor inside = image.pixelColor(260, 140);
    EXPECT_NEAR(inside.red(), 26, 2);
    EXPECT_EQ(inside.blue(), 255);

    move({260, 260}, Qt::NoButton);
    ASSERT_EQ(view->halfSelection(), t.get());
    image = view->grab().toImage();
    inside = image.pixelColor(260, 140);
    EXPECT_EQ(inside.red(), 0);
    EXPECT_EQ(inside.blue(), 255);
}

TEST_F(Drawing, WithoutFractalOnlyBackgroundSquareAndAxes)
{
    view->setFractal(nullptr);
    EXPECT_TRUE(newButton->isEnabled());
    const QImage image = view->grab().toImage();
    EXPECT_EQ(image.pixelColor(150, 150), QColor(Qt::white));
    EXPECT_LT(image.pixelColor(100, 150).red(), 250);
}
