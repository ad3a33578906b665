#include "GlViewTestSupport.h"

#include "widgets/ColorWell.h"
#include "renderer/RasterImage.h"

#include <QBuffer>
#include <QImageReader>
#include <QOpenGLContext>
#include <QPainter>
#include <QSet>
#include <QSignalSpy>
#include <QSlider>

#include <cmath>
#include <cstdlib>

using namespace attractor;
using namespace attractor::test;

namespace {

const _rgb_color kBlueGrey{0.2f, 0.4f, 0.6f, 0.3f};

QRgb opaque(_rgb_color c)
{
    return qRgba(qRound(c.r * 255), qRound(c.g * 255), qRound(c.b * 255), 255);
}

// Pixels that differ from the background (compared in 8 bits).
QSet<QPoint> litPixels(const QImage &source, _rgb_color bg)
{
    const QImage image = source.convertToFormat(QImage::Format_RGBA8888);
    const QRgb background = opaque(bg);
    QSet<QPoint> lit;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if ((image.pixel(x, y) & 0xffffff) != (background & 0xffffff))
                lit.insert(QPoint(x, y));
    return lit;
}

// Pixels in one set with no lit pixel at or next to them in the other: the
// only allowed differences are points falling exactly on a pixel border.
int unmatched(const QSet<QPoint> &a, const QSet<QPoint> &b)
{
    int count = 0;
    for (const QPoint &p : a) {
        bool near = false;
        for (int dy = -1; dy <= 1 && !near; ++dy)
            for (int dx = -1; dx <= 1 && !near; ++dx)
                near = b.contains(p + QPoint(dx, dy));
        count += near ? 0 : 1;
    }
    return count;
}

// Plotted points on a pixel border, where OpenGL's rasteriser may choose
// either neighbour: it snaps positions to a sub-pixel grid (1/256 pixel in
// Mesa), so "on the border" means within that grid. Drawn with the same seed
// as the pictures being compared.
int borderPoints(const QvFrac &fractal, QSize size, unsigned seed)
{
    const auto onBorder = [](double v) { return std::abs(v - std::round(v)) <= 1.0 / 256; };
    std::srand(seed);
    int count = 0;
    runChaosGame(buildChaosTables(fractal), fractal.iterations(), [&](float x, float y, float, float, float) {
        count += onBorder((x + 2.0) / 4.0 * size.width()) || onBorder((y + 2.0) / 4.0 * size.height());
    });
    return count;
}

QSet<QPoint> difference(const QSet<QPoint> &a, const QSet<QPoint> &b)
{
    QSet<QPoint> d = a;
    d.subtract(b);
    return d;
}

} // namespace

TEST(GlViewReadBack, BackgroundIsOpaqueAndAnUpperHalfAttractorLandsInTheTopRows)
{
    // Two small maps whose attractor lies near y = 1, well inside the upper half.
    auto view = shownView({200, 160}, makeFractal({{.scale = {0.3, 0.3}, .translation = {-0.6, 0.7}, .colour = {1, 0.5f, 0, 1}},
                                                   {.scale = {0.3, 0.3}, .translation = {0.6, 0.7}, .colour = {0, 1, 1, 1}}},
                                                  50000, kBlueGrey));
    const QImage image = view->openGLBitmapInsideRect(QRectF(view->rect()));
    ASSERT_EQ(image.size(), QSize(200, 160));
    const QSet<QPoint> lit = litPixels(image, kBlueGrey);
    ASSERT_GT(lit.size(), 20);
    for (const QPoint &p : lit)
        ASSERT_LT(p.y(), 80) << "point at row " << p.y() << " of a picture lying in the upper half";
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = image.pixel(x, y);
            ASSERT_EQ(qAlpha(pixel), 255) << x << "," << y;
            if (!lit.contains(QPoint(x, y))) {
                ASSERT_EQ(pixel, opaque(kBlueGrey)) << x << "," << y;
            }
        }
}

struct CountCase {
    int32_t iterations;
    int litPixels;
};

class GlViewReadBackCount : public ::testing::TestWithParam<CountCase> {};

TEST_P(GlViewReadBackCount, OnlyIterationsPastTheWarmUpArePlotted)
{
    const CountCase c = GetParam();
    FracPtr fractal = QvFrac::defaultFractal();
    fractal->setIterations(c.iterations);
    fractal->setBgColor(kBlueGrey);
    auto view = shownView({120, 90}, fractal);
    for (auto path : {MyOpenGLView::PointPath::CpuImage, MyOpenGLView::PointPath::GlPoints}) {
        view->setPointPath(path);
        const QImage image = view->openGLBitmapInsideRect(QRectF(view->rect()));
        ASSERT_EQ(image.size(), QSize(120, 90));
        EXPECT_EQ(litPixels(image, kBlueGrey).size(), c.litPixels);
    }
}

INSTANTIATE_TEST_SUITE_P(Counts, GlViewReadBackCount,
                         ::testing::Values(CountCase{0, 0}, CountCase{1001, 0}, CountCase{1002, 1}));

struct SizeCase {
    QRectF rect;
    QSize size;
};

class GlViewReadBackSize : public ::testing::TestWithParam<SizeCase> {};

TEST_P(GlViewReadBackSize, TruncatesTheRectangleAndPacksRows)
{
    const SizeCase c = GetParam();
    auto view = shownView({320, 240}, QvFrac::defaultFractal());
    const QImage image = view->openGLBitmapInsideRect(c.rect);
    if (c.size.isEmpty()) {
        EXPECT_TRUE(image.isNull());
        return;
    }
    ASSERT_EQ(image.size(), c.size);
    EXPECT_EQ(image.bytesPerLine(), c.size.width() * 4);
    EXPECT_EQ(image.sizeInBytes(), qsizetype(c.size.width()) * c.size.height() * 4);
    // The viewport is restored: the canvas still shows a full picture.
    view->requestRedraw();
    ASSERT_TRUE(waitForPicture(*view));
    const QImage screen = view->grabFramebuffer();
    EXPECT_EQ(screen.size(), view->size() * view->devicePixelRatioF());
}

INSTANTIATE_TEST_SUITE_P(Rects, GlViewReadBackSize,
                         ::testing::Values(SizeCase{QRectF(0, 0, 300.7, 200.2), QSize(300, 200)},
                                           SizeCase{QRectF(5, 5, 33.99, 1.5), QSize(33, 1)},
                                           SizeCase{QRectF(0, 0, -20, 10), QSize()}));

TEST(GlViewReadBack, OnlyJpegIsEncodedFromTheReadBack)
{
    auto view = shownView({160, 120}, QvFrac::defaultFractal());
    for (int code : {1, 99})
        EXPECT_TRUE(view->dataOfFormat(code, false, QRectF(view->rect())).isEmpty()) << code;
    QByteArray jpeg = view->dataOfFormat(kImageFormatJPEG, false, QRectF(view->rect()));
    QBuffer buffer(&jpeg);
    QImageReader reader(&buffer);
    EXPECT_EQ(reader.format(), QByteArray("jpeg"));
    EXPECT_EQ(reader.read().size(), QSize(160, 120));
}

struct BackEndCase {
    const char *name;
    QSize size;
    bool rotated;
};

class GlViewBackEnds : public ::testing::TestWithParam<BackEndCase> {};

TEST_P(GlViewBackEnds, PointsImageAndRasterLightTheSamePixels)
{
    const BackEndCase c = GetParam();
    FracPtr fractal = QvFrac::defaultFractal();
    if (c.rotated) {
        fractal = makeFractal({{.scale = {0.6, 0.55}, .translation = {0.3, -0.2}, .colour = {1, 0, 0, 1}, .rotation = 0.7f},
                               {.scale = {0.4, -0.5}, .translation = {-0.9, 0.8}, .colour = {0, 1, 0.3f, 1}, .rotation = -1.1f},
                               {.scale = {0.3, 0.3}, .translation = {1.1, 1.0}, .colour = {0.2f, 0.2f, 1, 1}, .rotation = 2.0f}});
    }
    fractal->setIterations(60000);
    auto view = shownView(c.size, fractal);
    const QRectF rect(view->rect());
    const _rgb_color bg = fractal->bgColor();

    view->setPointPath(MyOpenGLView::PointPath::GlPoints);
    std::srand(4242);
    const QImage points = view->openGLBitmapInsideRect(rect);
    view->setPointPath(MyOpenGLView::PointPath::CpuImage);
    std::srand(4242);
    const QImage plotted = view->openGLBitmapInsideRect(rect);
    std::srand(4242);
    const QImage raster = view->hiResBitmapInsideRect(rect);

    const QSet<QPoint> litPoints = litPixels(points, bg);
    const QSet<QPoint> litPlotted = litPixels(plotted, bg);
    const QSet<QPoint> litRaster = litPixels(raster, bg);
    ASSERT_GT(litPoints.size(), 500);
    // Border points may round either way; anything else is a real difference.
    const int border = borderPoints(*fractal, c.size, 4242);
    const int limit = border + 1;
    EXPECT_LE(difference(litPoints, litPlotted).size(), limit);
    EXPECT_LE(difference(litPlotted, litPoints).size(), limit);
    EXPECT_EQ(unmatched(litPoints, litPlotted), 0);
    EXPECT_EQ(unmatched(litPlotted, litPoints), 0);
    EXPECT_LE(difference(litPoints, litRaster).size(), limit);
    EXPECT_LE(difference(litRaster, litPoints).size(), limit);
    EXPECT_EQ(unmatched(litRaster, litPoints), 0);

    // Same pixels, same colours (8-bit rounding aside).
    int colourMismatches = 0;
    for (const QPoint &p : litPoints) {
        if (!litPlotted.contains(p))
            continue;
        const QRgb a = points.pixel(p);
        const QRgb b = plotted.pixel(p);
        if (std::abs(qRed(a) - qRed(b)) > 1 || std::abs(qGreen(a) - qGreen(b)) > 1
            || std::abs(qBlue(a) - qBlue(b)) > 1)
            ++colourMismatches;
    }
    // A point that moves to the neighbouring pixel also changes which point
    // was drawn last on the two pixels involved.
    EXPECT_LE(colourMismatches, 2 * border + 1);
    EXPECT_LT(border, fractal->iterations() / 20);
}

INSTANTIATE_TEST_SUITE_P(Fractals, GlViewBackEnds,
                         ::testing::Values(BackEndCase{"wide", QSize(257, 91), false},
                                           BackEndCase{"rotated", QSize(180, 220), true}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(GlViewScreen, OnScreenPictureMatchesPointsOverATransparentBackground)
{
    FracPtr fractal = QvFrac::defaultFractal();
    fractal->setIterations(40000);
    fractal->setBgColor({0.5f, 0.25f, 0.75f, 1.0f});
    auto view = shownView({150, 130}, fractal);
    ASSERT_TRUE(waitForPicture(*view));

    std::srand(77);
    view->requestRedraw();
    ASSERT_TRUE(waitForPicture(*view));
    const QImage imagePath = view->grabFramebuffer().convertToFormat(QImage::Format_RGBA8888);

    view->setPointPath(MyOpenGLView::PointPath::GlPoints);
    QCoreApplication::processEvents();
    std::srand(77);
    const QImage pointsPath = view->grabFramebuffer().convertToFormat(QImage::Format_RGBA8888);

    // On a high-density screen (the run with QT_SCALE_FACTOR=2) the picture
    // covers every device pixel of the framebuffer, not just a corner of it.
    const double scale = qEnvironmentVariableIsSet("QT_SCALE_FACTOR")
                             ? qEnvironmentVariable("QT_SCALE_FACTOR").toDouble() : 1.0;
    EXPECT_DOUBLE_EQ(view->devicePixelRatioF(), scale);
    ASSERT_EQ(imagePath.size(), view->size() * scale);
    ASSERT_EQ(imagePath.size(), pointsPath.size());
    int lit = 0, differing = 0;
    QRect litBounds;
    for (int y = 0; y < imagePath.height(); ++y)
        for (int x = 0; x < imagePath.width(); ++x) {
            const int alpha = qAlpha(imagePath.pixel(x, y));
            ASSERT_TRUE(alpha == 0 || alpha == 255) << "alpha " << alpha;
            lit += alpha == 255;
            if (alpha == 255)
                litBounds |= QRect(x, y, 1, 1);
            differing += (alpha == 255) != (qAlpha(pointsPath.pixel(x, y)) == 255);
        }
    EXPECT_GT(lit, 500);
    EXPECT_LE(differing, borderPoints(*fractal, imagePath.size(), 77) + 2);
    // The default fractal's triangle spans the whole square.
    EXPECT_GE(litBounds.width(), imagePath.width() * 9 / 10);
    EXPECT_GE(litBounds.height(), imagePath.height() * 9 / 10);
}

TEST(GlViewScreen, PrintingPictureIsTheRasterImageOfTheBounds)
{
    FracPtr fractal = QvFrac::defaultFractal();
    fractal->setIterations(30000);
    auto view = shownView({140, 100}, fractal);
    view->setPrinting(true);
    QImage page(140, 100, QImage::Format_RGBA8888);
    page.fill(Qt::white);
    {
        QPainter painter(&page);
        std::srand(5);
        view->drawFractalAsImage(painter, QRectF(0, 0, 140, 100));
    }
    view->setPrinting(false);
    std::srand(5);
    const QImage expected = hiResBitmapInsideRect(buildChaosTables(*fractal), 30000, QRectF(0, 0, 140, 100))
                                .convertToFormat(QImage::Format_RGBA8888);
    EXPECT_EQ(page, expected);
}

TEST(GlViewState, SettingTheHeldFractalAgainChangesNothing)
{
    FracPtr fractal = QvFrac::defaultFractal();
    auto view = shownView({100, 100}, fractal);
    ASSERT_TRUE(waitForPicture(*view));
    QTest::qWait(50);
    PaintCounter paints(view.get());
    QSignalSpy changes(view.get(), &MyOpenGLView::changeMade);
    view->setFractal(fractal);
    QTest::qWait(100);
    EXPECT_EQ(paints.count, 0);
    EXPECT_EQ(changes.count(), 0);
    EXPECT_EQ(view->fractal(), fractal);
}

TEST(GlViewState, DroppingTheFractalLeavesTheControls)
{
    QSlider slider(Qt::Horizontal);
    slider.setRange(0, 10000000);
    ColorWell well;
    FracPtr fractal = QvFrac::defaultFractal();
    fractal->setBgColor({0.1f, 0.2f, 0.3f, 1.0f});
    MyOpenGLView view;
    view.setIterSlider(&slider);
    view.setBgColorWell(&well);
    view.setFractal(fractal);
    EXPECT_EQ(slider.value(), 200000);
    const QColor shown = well.color();
    EXPECT_EQ(shown, colorFromRGBColor(fractal->bgColor()));
    QSignalSpy changes(&view, &MyOpenGLView::changeMade);
    view.setFractal(nullptr);
    EXPECT_EQ(view.fractal(), nullptr);
    EXPECT_EQ(slider.value(), 200000);
    EXPECT_EQ(well.color(), shown);
    EXPECT_EQ(view.iterations(), 0);
    EXPECT_FALSE(view.bgColor().isValid());
    EXPECT_EQ(changes.count(), 0);
    // Controls moved with no fractal held do nothing.
    slider.setValue(5000);
    well.chooseColor(Qt::red);
    EXPECT_EQ(changes.count(), 0);
}

TEST(GlViewState, SliderSetsTheCountReportsOneChangeAndRedraws)
{
    QSlider slider(Qt::Horizontal);
    slider.setRange(0, 10000000);
    FracPtr fractal = QvFrac::defaultFractal();
    auto view = shownView({100, 100}, fractal);
    view->setIterSlider(&slider);
    ASSERT_TRUE(waitForPicture(*view));
    QTest::qWait(50);
    PaintCounter paints(view.get());
    QSignalSpy changes(view.get(), &MyOpenGLView::changeMade);
    slider.setValue(50000);
    EXPECT_EQ(fractal->iterations(), 50000);
    EXPECT_EQ(changes.count(), 1);
    EXPECT_FALSE(view->pictureIsCurrent());
    ASSERT_TRUE(waitForPicture(*view));
    EXPECT_GE(paints.count, 1);
    // Showing another fractal's count is not an edit.
    view->setFractal(QvFrac::defaultFractal());
    EXPECT_EQ(slider.value(), 200000);
    EXPECT_EQ(changes.count(), 1);
}

TEST(GlViewState, ColourChoiceStoresRgbAndAlphaAsTheBackground)
{
    ColorWell well;
    FracPtr fractal = QvFrac::defaultFractal();
    auto view = shownView({100, 100}, fractal);
    view->setBgColorWell(&well);
    ASSERT_TRUE(waitForPicture(*view));
    QSignalSpy changes(view.get(), &MyOpenGLView::changeMade);
    const QColor chosen = QColor::fromHsvF(0.6f, 0.5f, 0.7f, 0.25f);
    well.chooseColor(chosen);
    const QColor rgb = chosen.toRgb();
    const _rgb_color bg = fractal->bgColor();
    // QColor keeps 16 bits a component.
    EXPECT_NEAR(bg.r, rgb.redF(), 1e-6);
    EXPECT_NEAR(bg.g, rgb.greenF(), 1e-6);
    EXPECT_NEAR(bg.b, rgb.blueF(), 1e-6);
    EXPECT_NEAR(bg.a, 0.25f, 1.0 / 65535);
    EXPECT_NE(bg, defaultRGBColor());
    EXPECT_EQ(changes.count(), 1);
    // The new background shows at once in the read-back.
    const QImage image = view->openGLBitmapInsideRect(QRectF(0, 0, 100, 100));
    EXPECT_EQ(image.pixel(0, 0), opaque(bg));
    ASSERT_TRUE(waitForPicture(*view));
}

TEST(GlViewState, ANewerEditAbandonsALongDraw)
{
    FracPtr fractal = QvFrac::defaultFractal();
    auto view = shownView({120, 120}, fractal);
    ASSERT_TRUE(waitForPicture(*view));
    fractal->setIterations(400000000);
    view->update();
    QTest::qWait(50);
    EXPECT_FALSE(view->pictureIsCurrent());
    fractal->setIterations(20000);
    view->update();
    // Far sooner than the long draw could finish.
    ASSERT_TRUE(waitForPicture(*view, 20000));
}
