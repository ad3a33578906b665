#include "EngineTestFractals.h"

#include "renderer/RasterImage.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QRgba64>

#include <cmath>
#include <limits>

using namespace attractor;
using namespace attractor::test;

namespace {

quint16 sample16(float c)
{
    return static_cast<quint16>(std::lround(std::clamp(c, 0.0f, 1.0f) * 65535.0));
}

quint64 rgba16(_rgb_color c)
{
    return QRgba64::fromRgba64(sample16(c.r), sample16(c.g), sample16(c.b), sample16(c.a));
}

quint64 pixelAt(const QImage &image, int column, int row)
{
    return reinterpret_cast<const QRgba64 *>(image.constScanLine(row))[column];
}

// Pixels that differ from the given colour, as (column, row) pairs.
std::vector<QPoint> pixelsOtherThan(const QImage &image, quint64 colour)
{
    std::vector<QPoint> found;
    for (int row = 0; row < image.height(); ++row)
        for (int column = 0; column < image.width(); ++column)
            if (pixelAt(image, column, row) != colour)
                found.emplace_back(column, row);
    return found;
}

QImage draw(const FracPtr &fractal, const QRectF &rect, const DrawObserver *observer = nullptr)
{
    return hiResBitmapInsideRect(buildChaosTables(*fractal), fractal->iterations(), rect, observer);
}

// Records what an export reports.
struct ExportLog {
    QStringList statuses;
    int increments = 0;
    int cancelDisabled = 0;
    std::atomic<bool> cancel{false};
    int cancelAtIncrement = 0;

    ExportCallbacks callbacks()
    {
        ExportCallbacks c;
        c.status = [this](const QString &s) { statuses << s; };
        c.progressIncrement = [this] {
            if (++increments == cancelAtIncrement)
                cancel = true;
        };
        c.disableCancel = [this] { ++cancelDisabled; };
        c.cancel = &cancel;
        // One walker: pictures compared with a redraw must not depend on timing.
        c.threads = 1;
        return c;
    }
};

// Test names from the cases' own names.
const auto byName = [](const auto &info) { return std::string(info.param.name); };

// --- Mapping the square onto pixels -----------------------------------------

struct ViewportCase {
    QPointF point;
    QRectF bounds;
    QPointF expected;
};

class Viewport : public testing::TestWithParam<ViewportCase> {};

TEST_P(Viewport, MapsTheSquareOntoTheRectangleSize)
{
    const ViewportCase &c = GetParam();
    const QPointF p = convertPointInBoundsToViewport(c.point, c.bounds);
    EXPECT_DOUBLE_EQ(p.x(), c.expected.x());
    EXPECT_DOUBLE_EQ(p.y(), c.expected.y());
}

INSTANTIATE_TEST_SUITE_P(Points, Viewport,
                         testing::Values(ViewportCase{{2, 2}, {0, 0, 640, 480}, {640, 480}},
                                         // The origin of the rectangle plays no part.
                                         ViewportCase{{1, -1}, {35, -20, 400, 300}, {300, 75}},
                                         ViewportCase{{-2, 2}, {10, 10, 800, 600}, {0, 600}}),
                         [](const auto &info) { return "Case" + std::to_string(info.index); });

// --- What gets plotted ------------------------------------------------------

TEST(RasterBackEnd, SingleContractionLightsOnlyThePixelOfItsFixedPoint)
{
    // Fixed point (1.005, -0.505): inside pixel column 300 and, counted up
    // from the bottom, row 149 of a 400 x 400 image.
    const _rgb_color background{0.1f, 0.1f, 0.1f, 0.5f};
    const _rgb_color colour{0.2f, 0.4f, 0.6f, 0.3f};
    const FracPtr fractal =
        makeFractal({{.scale = {0.5, 0.5}, .translation = {0.5025, -0.2525}, .colour = colour}}, 50000, background);
    const QImage image = draw(fractal, QRectF(0, 0, 400, 400));
    ASSERT_EQ(image.format(), QImage::Format_RGBA64);
    ASSERT_EQ(image.size(), QSize(400, 400));

    const std::vector<QPoint> lit = pixelsOtherThan(image, rgba16(background));
    ASSERT_EQ(lit.size(), 1u);
    EXPECT_EQ(lit[0], QPoint(300, 399 - 149));
    // The map's colour exactly, always opaque.
    EXPECT_EQ(pixelAt(image, 300, 250), rgba16({colour.r, colour.g, colour.b, 1.0f}));
}

struct BackgroundCase {
    const char *name;
    _rgb_color background;
    int32_t iterations;
    bool withMaps;
    size_t lit;
};

class Background : public testing::TestWithParam<BackgroundCase> {};

TEST_P(Background, FillsEveryUnplottedPixelIncludingAlpha)
{
    const BackgroundCase &c = GetParam();
    const FracPtr fractal = c.withMaps ? makeFractal({{}, {.translation = {1, 1}}}, c.iterations, c.background)
                                       : makeFractal({}, c.iterations, c.background);
    const QImage image = draw(fractal, QRectF(0, 0, 64, 48));
    ASSERT_EQ(image.size(), QSize(64, 48));
    EXPECT_EQ(pixelsOtherThan(image, rgba16(c.background)).size(), c.lit);
}

INSTANTIATE_TEST_SUITE_P(
    Draws, Background,
    testing::Values(BackgroundCase{"NoIterations", {0.25f, 0.5f, 0.75f, 0}, 0, true, 0},
                    BackgroundCase{"WarmUpOnly", {0.2f, 0.3f, 0.4f, 0.6f}, 1001, true, 0},
                    BackgroundCase{"FirstPlottedIterationIsOnePixel", {0.2f, 0.3f, 0.4f, 0.6f}, 1002, true, 1},
                    BackgroundCase{"NoMaps", {1, 1, 1, 1}, 100000, false, 0},
                    BackgroundCase{"OutOfRangeColourIsClamped", {1.5f, -0.2f, 0.5f, 2}, 0, true, 0}),
    byName);

struct HalfCase {
    const char *name;
    double ty;
    bool upper;
};

class Upright : public testing::TestWithParam<HalfCase> {};

TEST_P(Upright, AttractorKeepsItsHalfOfThePlane)
{
    const HalfCase &c = GetParam();
    // y' = y / 2 + ty: the attractor's y lies between 2 ty and 2 (ty + 0.25).
    const FracPtr fractal =
        makeFractal({{.translation = {-0.5, c.ty}}, {.translation = {0.5, c.ty + 0.25}}}, 30000);
    const QImage image = draw(fractal, QRectF(0, 0, 200, 100));
    const std::vector<QPoint> lit = pixelsOtherThan(image, rgba16(fractal->bgColor()));
    ASSERT_GT(lit.size(), 50u);
    for (const QPoint &p : lit)
        EXPECT_EQ(p.y() < 50, c.upper) << p.x() << ", " << p.y();
}

INSTANTIATE_TEST_SUITE_P(Halves, Upright, testing::Values(HalfCase{"Upper", 0.75, true}, HalfCase{"Lower", -1.0, false}),
                         byName);

// --- Image sizes --------------------------------------------------------------

struct SizeCase {
    QRectF rect;
    QSize size; // empty: refused
};

class ImageSize : public testing::TestWithParam<SizeCase> {};

TEST_P(ImageSize, IsTheTruncatedRectangleOrRefusedWithAReason)
{
    const SizeCase &c = GetParam();
    const QImage image = draw(QvFrac::defaultFractal(), c.rect);
    EXPECT_EQ(image.isNull(), c.size.isEmpty());
    if (!image.isNull()) {
        EXPECT_EQ(image.size(), c.size);
    }
    EXPECT_EQ(imageSizeError(c.rect).isEmpty(), !c.size.isEmpty());
    if (!c.size.isEmpty())
        return;
    ExportLog log;
    QString error;
    const ChaosTables tables = buildChaosTables(*QvFrac::defaultFractal());
    EXPECT_TRUE(hiResImageData(kImageFormatPNG, tables, 5000, c.rect, log.callbacks(), &error).isEmpty());
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(log.statuses.contains(QStringLiteral("Writing image file...")));
}

const double nan = std::numeric_limits<double>::quiet_NaN();

INSTANTIATE_TEST_SUITE_P(
    Sizes, ImageSize,
    testing::Values(SizeCase{{0, 0, 1.9, 1.2}, {1, 1}}, SizeCase{{0, 0, 0.9, 10}, {}}, SizeCase{{0, 0, nan, 10}, {}},
                    SizeCase{{0, 0, 3e9, 1}, {}}, SizeCase{{0, 0, 40000, 20000}, {}}),
    [](const auto &info) { return "Case" + std::to_string(info.index); });

// --- Progress and cancel -----------------------------------------------------

struct ProgressCase {
    int32_t iterations;
    int increments;
};

class Progress : public testing::TestWithParam<ProgressCase> {};

TEST_P(Progress, OneIncrementPerNinetyFifthOfTheIterations)
{
    const ProgressCase &c = GetParam();
    const FracPtr fractal = QvFrac::defaultFractal();
    fractal->setIterations(c.iterations);
    int increments = 0;
    DrawObserver observer;
    observer.progressIncrement = [&] { ++increments; };
    draw(fractal, QRectF(0, 0, 40, 40), &observer);
    EXPECT_EQ(increments, c.increments);
}

INSTANTIATE_TEST_SUITE_P(Iterations, Progress,
                         testing::Values(ProgressCase{0, 0}, ProgressCase{94, 0}, ProgressCase{95, 94},
                                         ProgressCase{1000000, 95}),
                         [](const testing::TestParamInfo<ProgressCase> &info) {
                             return "N" + std::to_string(info.param.iterations);
                         });

TEST(Cancel, AtTheFirstIncrementStopsBeforeTheNextDrawAndGivesNoData)
{
    // N = 1 000 000: step 10 526, so the first increment comes soon after
    // k = 10 526, and the cancel it raises stops the game; the draw took one
    // seed from rand().
    std::srand(4);
    std::rand();
    const int next = std::rand();

    ExportLog log;
    log.cancelAtIncrement = 1;
    QString error;
    std::srand(4);
    const QByteArray data = hiResImageData(kImageFormatPNG, buildChaosTables(*QvFrac::defaultFractal()), 1000000,
                                           QRectF(0, 0, 200, 200), log.callbacks(), &error);
    EXPECT_EQ(std::rand(), next);
    EXPECT_TRUE(data.isEmpty());
    EXPECT_EQ(log.statuses, QStringList{QStringLiteral("Cancelling...")});
    EXPECT_EQ(log.increments, 1);
    EXPECT_EQ(log.cancelDisabled, 0);
    EXPECT_TRUE(error.isEmpty());
}

TEST(Cancel, KeepsWhatWasPlottedBeforeIt)
{
    const FracPtr fractal = QvFrac::defaultFractal();
    fractal->setIterations(1000000);
    const quint64 background = rgba16(fractal->bgColor());
    std::atomic<bool> cancel{false};
    DrawObserver observer;
    observer.cancel = &cancel;
    observer.progressIncrement = [&] { cancel = true; };
    const QRectF rect(0, 0, 400, 400);
    std::srand(4);
    const size_t partly = pixelsOtherThan(draw(fractal, rect, &observer), background).size();
    std::srand(4);
    const size_t whole = pixelsOtherThan(draw(fractal, rect), background).size();
    // 9525 points were plotted before the first increment cancelled the draw.
    EXPECT_GT(partly, 1000u);
    EXPECT_LT(partly, whole / 2);

    cancel = true;
    EXPECT_TRUE(pixelsOtherThan(draw(fractal, rect, &observer), background).empty());
}

// --- Encoding ----------------------------------------------------------------

TEST(Export, PngHolds16BitRgbaOfTheRequestedSize)
{
    const _rgb_color background{0.2f, 0.3f, 0.4f, 0.5f};
    const FracPtr fractal = QvFrac::defaultFractal();
    fractal->setBgColor(background);
    const ChaosTables tables = buildChaosTables(*fractal);
    const QRectF rect(0, 0, 800, 600);
    ExportLog log;
    QString error;
    std::srand(6);
    const QByteArray png = hiResImageData(kImageFormatPNG, tables, fractal->iterations(), rect, log.callbacks(), &error);
    ASSERT_FALSE(png.isEmpty()) << error.toStdString();
    EXPECT_EQ(log.statuses, QStringList{QStringLiteral("Writing image file...")});
    EXPECT_EQ(log.cancelDisabled, 1);
    EXPECT_EQ(log.increments, 95);

    // IHDR: bit depth 16, colour type 6 (RGBA), not interlaced.
    ASSERT_GT(png.size(), 29);
    EXPECT_TRUE(png.startsWith("\x89PNG\r\n\x1a\n"));
    EXPECT_EQ(png.mid(12, 4), QByteArray("IHDR"));
    EXPECT_EQ(static_cast<int>(png[24]), 16);
    EXPECT_EQ(static_cast<int>(png[25]), 6);
    EXPECT_EQ(static_cast<int>(png[28]), 0);

    const QImage decoded = QImage::fromData(png, "PNG");
    ASSERT_EQ(decoded.size(), QSize(800, 600));
    EXPECT_EQ(decoded.format(), QImage::Format_RGBA64);
    EXPECT_EQ(decoded.depth(), 64);
    // The middle of the hole is never plotted.
    EXPECT_EQ(pixelAt(decoded, 400, 450), rgba16(background));
    // Lossless: exactly the bitmap the same random sequence draws.
    std::srand(6);
    EXPECT_EQ(decoded, hiResBitmapInsideRect(tables, fractal->iterations(), rect));
}

TEST(Export, JpegIsOpaqueAndKeepsTheBackground)
{
    const FracPtr fractal = QvFrac::defaultFractal();
    fractal->setBgColor({0.2f, 0.4f, 0.6f, 0.0f});
    ExportLog log;
    const QByteArray jpeg = hiResImageData(kImageFormatJPEG, buildChaosTables(*fractal), fractal->iterations(),
                                           QRectF(0, 0, 300.7, 200.2), log.callbacks());
    ASSERT_FALSE(jpeg.isEmpty());
    EXPECT_TRUE(jpeg.startsWith("\xff\xd8"));
    const QImage decoded = QImage::fromData(jpeg, "JPEG");
    ASSERT_EQ(decoded.size(), QSize(300, 200));
    EXPECT_FALSE(decoded.hasAlphaChannel());
    const QColor hole = decoded.pixelColor(150, 150);
    EXPECT_NEAR(hole.red(), 51, 3);
    EXPECT_NEAR(hole.green(), 102, 3);
    EXPECT_NEAR(hole.blue(), 153, 3);
}

class UnsupportedCode : public testing::TestWithParam<int> {};

TEST_P(UnsupportedCode, GivesNoDataAfterDrawing)
{
    ExportLog log;
    QString error;
    const ChaosTables tables = buildChaosTables(*QvFrac::defaultFractal());
    EXPECT_TRUE(hiResImageData(GetParam(), tables, 20000, QRectF(0, 0, 50, 50), log.callbacks(), &error).isEmpty());
    EXPECT_EQ(log.increments, 95);
    EXPECT_EQ(log.statuses, QStringList{QStringLiteral("Writing image file...")});
    EXPECT_FALSE(error.isEmpty());
    EXPECT_TRUE(encodeImage(QImage(5, 5, QImage::Format_RGBA64), GetParam()).isEmpty());
    EXPECT_TRUE(encodeImage(QImage(), kImageFormatPNG).isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Codes, UnsupportedCode, testing::Values(1, 99));

} // namespace
