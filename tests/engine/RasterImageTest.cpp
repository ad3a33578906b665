#include "EngineTestFractals.h"

#include "engine/DensityImage.h"
#include "engine/ImageStats.h"
#include "engine/PngEncoder.h"

#include <gtest/gtest.h>

#include <limits>
#include <random>

using namespace attractor;
using namespace attractor::test;

namespace {

// Records what a PNG export reports; one walker, so a redraw gives the same picture.
struct ExportLog {
    QStringList statuses;
    int increments = 0, cancelDisabled = 0, cancelAtIncrement = 0;
    std::atomic<bool> cancel{false};
    QString error;
    QByteArray run(const ChaosTables &tables, int32_t iterations, QSize size)
    {
        const ExportCallbacks c{.status = [this](const QString &s) { statuses << s; },
                                .progressIncrement = [this] { cancel = ++increments == cancelAtIncrement || cancel; },
                                .disableCancel = [this] { ++cancelDisabled; }, .cancel = &cancel};
        return hiResImageData(kImageFormatPNG, {.tables = tables, .size = size, .iterations = iterations}, c, &error);
    }
};

// Fixed point (1.005, -0.505): column 300 and, from the bottom, row 149 of
// 400 x 400, reached long before the warm-up ends.
TEST(RasterBackEnd, PlotsPastTheWarmUpOpaqueOverTheBackgroundIncludingAlpha)
{
    const std::vector<MapSpec> contraction{{.translation = {0.5025, -0.2525}, .colour = {0.2f, 0.4f, 0.6f, 0.3f}}};
    const _rgb_color bg{0.2f, 0.3f, 0.4f, 0.6f};
    const std::vector<QPoint> none, fixedPoint{QPoint(300, 399 - 149)};
    // Out-of-range background colours are clamped.
    for (auto [background, iterations, withMaps, lit] :
         {std::tuple{bg, -7, true, none}, {bg, 1001, true, none}, {bg, 1002, true, fixedPoint},
          {bg, 50000, true, fixedPoint}, {_rgb_color{1, 1, 1, 1}, 100000, false, none},
          {_rgb_color{1.5f, -0.2f, 0.5f, 2}, 0, true, none}}) {
        const QImage image = draw(makeFractal(withMaps ? contraction : std::vector<MapSpec>{}, iterations, background),
                                  {400, 400});
        ASSERT_EQ(image.format(), QImage::Format_RGBA64);
        EXPECT_EQ(pixelsOtherThan(image, rgba16(background)), lit) << iterations;
        for (const QPoint &p : lit)
            EXPECT_EQ(pixelAt(image, p.x(), p.y()), rgba16({0.2f, 0.4f, 0.6f, 1.0f}));
    }
}

// Sizes are truncated; too small, not a number or over 4 GiB at 8 bytes a pixel is refused.
// A density picture takes 16 bytes a sample, shared by the walkers, and two bytes a sample of
// buckets per walker: 10000 x 10000 is 1.6 GB, 15000 x 15000 leaves room for one walker's
// buckets, 16383 x 16383 for none.
TEST(ImageSize, IsTheTruncatedRectangleOrRefusedWithAReasonAndDensityWalkersFit)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (auto [rect, size] : {std::pair{QRectF(0, 0, 1.9, 1.2), QSize(1, 1)}, {QRectF(0, 0, 0.9, 10), QSize()},
                              {QRectF(0, 0, nan, 10), QSize()}, {QRectF(0, 0, 3e9, 1), QSize()},
                              {QRectF(0, 0, 40000, 20000), QSize()}}) {
        EXPECT_EQ(imageSizeOf(rect), size) << rect.width();
        EXPECT_EQ(imageSizeError(rect).isEmpty(), !size.isEmpty());
    }
    // The engine refuses such sizes itself, before drawing anything.
    const ChaosTables tables = buildChaosTables(*QvFrac::defaultFractal());
    for (const QSize size : {QSize(1, 1), QSize(0, 10), QSize(40000, 20000)}) {
        const bool refused = size != QSize(1, 1);
        EXPECT_EQ(hiResBitmapInsideRect({.tables = tables, .size = size, .iterations = 5000}).isNull(), refused);
        ExportLog log;
        EXPECT_EQ(log.run(tables, 5000, size).isEmpty(), refused);
        EXPECT_EQ(log.error.isEmpty(), !refused);
        EXPECT_EQ(log.statuses.isEmpty(), refused);
    }
    for (auto [size, supersample, threads, walkers] :
         {std::tuple{QSize(4000, 4000), 1, 2, 2}, {QSize(10000, 10000), 1, 4, 4}, {QSize(10000, 10000), 2, 1, 0},
          {QSize(15000, 15000), 1, 8, 1}, {QSize(16383, 16383), 1, 1, 0}, {QSize(0, 10), 1, 1, 0}}) {
        EXPECT_EQ(densityWalkers(size, supersample, threads), walkers) << size.width();
        EXPECT_EQ(densitySizeError(QRectF(QPointF(0, 0), size), supersample).isEmpty(), walkers > 0);
    }
}

// Progress is one increment per ninety-fifth of the iterations; a cancel at the first increment
// gives no data and takes one seed; the PNG is the lossless sixteen-bit bitmap.
TEST(Export, ProgressCancelAndTheLosslessSixteenBitPng)
{
    const FracPtr fractal = QvFrac::defaultFractal();
    fractal->setBgColor({0.2f, 0.3f, 0.4f, 0.5f});
    const ChaosTables tables = buildChaosTables(*fractal);
    for (auto [iterations, expected] : {std::pair(94, 0), {95, 94}, {1000000, 95}}) {
        ExportLog log;
        log.run(tables, iterations, {40, 40});
        EXPECT_EQ(log.increments, expected) << iterations;
    }
    std::srand(4);
    std::rand();
    const int next = std::rand();
    std::srand(4);
    ExportLog cancelled;
    cancelled.cancelAtIncrement = 1;
    EXPECT_TRUE(cancelled.run(tables, 1000000, {200, 200}).isEmpty());
    EXPECT_EQ(std::rand(), next);
    EXPECT_EQ(cancelled.statuses, QStringList{QStringLiteral("Cancelling...")});
    EXPECT_TRUE(cancelled.increments == 1 && cancelled.cancelDisabled == 0 && cancelled.error.isEmpty());

    ExportLog log;
    std::srand(6);
    const QByteArray png = log.run(tables, 200000, {800, 600});
    EXPECT_EQ(log.statuses, QStringList{QStringLiteral("Writing image file...")});
    EXPECT_EQ(log.cancelDisabled, 1);
    // IHDR: bit depth 16, colour type 6 (RGBA), not interlaced.
    ASSERT_GT(png.size(), 29) << log.error.toStdString();
    EXPECT_EQ(png.mid(24, 5), QByteArray("\x10\x06\0\0\0", 5));
    std::srand(6);
    EXPECT_EQ(QImage::fromData(png, "PNG"), hiResBitmapInsideRect({.tables = tables, .size = {800, 600}, .iterations = 200000}));
}

// Noise in every sample with runs of one colour between (what the filter
// turns to zeros and what it cannot): one pixel; bands of 4 MiB of rows on one
// and on more threads than bands; rows longer than a band.
TEST(PngEncoder, DecodesToTheSameSixteenBitPixels)
{
    for (auto [size, threads] : {std::pair{QSize(1, 1), 2}, {QSize(1000, 1500), 1}, {QSize(1000, 1500), 8},
                                 {QSize(600000, 2), 2}}) {
        QImage picture(size, QImage::Format_RGBA64);
        std::mt19937_64 random(7919);
        for (int y = 0; y < size.height(); ++y)
            for (int x = 0; x < size.width(); ++x)
                reinterpret_cast<quint64 *>(picture.scanLine(y))[x] = (x / 50) % 2 ? 0x123456789abcdef0ULL : random();
        QString error;
        EXPECT_EQ(QImage::fromData(encodePng16(picture, threads, &error), "PNG"), picture) << error.toStdString();
    }
}

// --- Density pictures ---------------------------------------------------------

QImage density(const FracPtr &fractal, QSize size, DensityOptions options, int threads = 1)
{
    return draw(fractal, size, {.density = options, .threads = threads, .seed = 8});
}

// Fixed point (1.005, -0.505): column 150, row 74 from the bottom of 200 x 200
// (300 and 149 of 400 x 400), and one sample of the S x S there at full
// coverage. Up to 2 million samples each walker counts on a grid of its
// own; 400 x 400 at S = 4 shares one grid.
TEST(DensityPoint, IsOnePixelInTheMapsColourOverTheBackground)
{
    const _rgb_color bg{0.1f, 0.2f, 0.3f, 0.5f}, colour{0.2f, 0.4f, 0.6f, 1};
    // Not a number counts as black; out of range is clamped. A game of 9
    // points is counted as fully as a long one.
    for (auto [side, supersample, threads, given, shown, iterations] :
         {std::tuple{200, 1, 1, colour, colour, 1010}, {200, 1, 3, colour, colour, 400000},
          {200, 2, 2, colour, colour, 400000}, {200, 4, 1, colour, colour, 400000},
          {400, 4, 1, colour, colour, 1010}, {400, 4, 2, colour, colour, 400000},
          {200, 3, 1, _rgb_color{std::numeric_limits<float>::quiet_NaN(), 1, 1, 1}, _rgb_color{0, 1, 1, 1}, 400000},
          {200, 3, 1, _rgb_color{2, -1, 0.5, 1}, _rgb_color{1, 0, 0.5, 1}, 400000}}) {
        SCOPED_TRACE(testing::Message() << side << " S=" << supersample << " n=" << iterations);
        const FracPtr fractal =
            makeFractal({{.scale = {0.5, 0.5}, .translation = {0.5025, -0.2525}, .colour = given}}, iterations, bg);
        // The noise filter aside: it may spread a point of a thousand hits on a supersampled grid.
        const QImage image = density(fractal, {side, side}, {.supersample = supersample, .deRadius = 0}, threads);
        ASSERT_EQ(image.size(), QSize(side, side));
        const QPoint lit = side == 200 ? QPoint(150, 199 - 74) : QPoint(300, 399 - 149);
        EXPECT_EQ(pixelsOtherThan(image, rgba16(bg)), std::vector{lit});
        // The colour at coverage 1 / S^2 over the background, premultiplied and divided out again.
        const double share = 1.0 / (supersample * supersample), a = share + bg.a * (1 - share);
        const auto over = [&](double v, double b) { return float((v * share + b * bg.a * (1 - share)) / a); };
        const QRgba64 got = pixelAt(image, lit.x(), lit.y()),
                      want = rgba16({over(shown.r, bg.r), over(shown.g, bg.g), over(shown.b, bg.b), float(a)});
        for (auto [g, w] : {std::pair{got.red(), want.red()}, {got.green(), want.green()}, {got.blue(), want.blue()},
                            {got.alpha(), want.alpha()}})
            EXPECT_NEAR(g, w, 1);
    }
}

// The mean of one channel (0 red, 1 green, 2 blue) over the picture.
double meanChannel(const QImage &image, int channel)
{
    double sum = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgba64 p = pixelAt(image, x, y);
            sum += channel == 0 ? p.red() : channel == 1 ? p.green() : p.blue();
        }
    return sum / (65535.0 * image.width() * image.height());
}

// The exposure of n hits on a picture of `cells` pixels holding `total`:
// log2(1 + n / mean) / log2(25) times the brightness, to the power 1 / gamma.
double exposed(double n, double total, double cells, double gamma = 2.2, double brightness = 1.0)
{
    const double exposure = brightness * std::log2(1 + n * cells / total) / std::log2(25.0);
    return std::min(1.0, std::pow(exposure, 1 / gamma));
}

// Three constant white maps with 33, 33 and 34 slots, two on one pixel and
// one on another: two thirds of the points take one pixel, a third the other.
TEST(DensityTone, ExposureFollowsTheMeanDensityNotTheIterationCountCountingEveryWalker)
{
    const MapSpec twice{.scale = {0, 0}, .translation = {-1, 0}};
    for (const int32_t iterations : {30101, 301001, 2408001}) {
        const FracPtr fractal = makeFractal({twice, twice, {.scale = {0, 0}, .translation = {1, 0}}}, iterations, {0, 0, 0, 0});
        for (auto [gamma, brightness] : {std::pair{2.2, 1.0}, {4.0, 0.5}, {1.0, 0.25}, {2.2, 9.0}}) {
            SCOPED_TRACE(testing::Message() << iterations << " gamma " << gamma << " brightness " << brightness);
            const QImage image = density(fractal, {8, 8}, {.gamma = gamma, .brightness = brightness});
            const double b = std::min(brightness, kMaxBrightness);
            EXPECT_NEAR(pixelAt(image, 2, 3).alpha() / 65535.0, exposed(0.66, 1, 64, gamma, b), 3e-3);
            EXPECT_NEAR(pixelAt(image, 6, 3).alpha() / 65535.0, exposed(0.34, 1, 64, gamma, b), 3e-3);
            // Over a transparent background the colour is the hits' own at any coverage.
            EXPECT_EQ(pixelAt(image, 6, 3).red(), 65535);
            EXPECT_EQ(pixelsOtherThan(image, QRgba64::fromRgba64(0, 0, 0, 0)).size(), 2u);
        }
    }
    // The mean is the view's own: the dimmer pixel alone in the view holds all its hits.
    const FracPtr fractal = makeFractal({twice, twice, {.scale = {0, 0}, .translation = {1, 0}}}, 301001, {0, 0, 0, 0});
    const QImage viewed = draw(fractal, {4, 4}, {.view = View{{1, 0}, 4}, .density = DensityOptions(), .seed = 8});
    EXPECT_EQ(pixelsOtherThan(viewed, QRgba64::fromRgba64(0, 0, 0, 0)), std::vector{QPoint(2, 1)});
    EXPECT_NEAR(pixelAt(viewed, 2, 1).alpha() / 65535.0, exposed(1, 1, 16), 3e-3);
    // A hundred constant maps, one of them at (1, 0) and one outside the
    // drawing square: of 1,000,000 points the first's pixel takes about 10,000
    // of the 990,000 inside, on any number of walkers and either kind of grid.
    // One walker's hits left out would change its share by half.
    std::vector<MapSpec> maps(98, twice);
    maps.push_back({.scale = {0, 0}, .translation = {3, 3}});
    maps.push_back({.scale = {0, 0}, .translation = {1, 0}});
    const FracPtr many = makeFractal(maps, 1001001, {0, 0, 0, 0});
    for (const int threads : {1, 2, 3})
        for (const int side : {4, 1600}) {
            const double brightness = side == 4 ? 1.0 : 0.1;
            const QImage image = density(many, {side, side}, {.brightness = brightness}, threads);
            EXPECT_NEAR(pixelAt(image, side * 3 / 4, side / 2 - 1).alpha() / 65535.0,
                        exposed(1e4, 9.9e5, double(side) * side, 2.2, brightness), 3e-3)
                << threads << " walkers, " << side;
            EXPECT_EQ(pixelsOtherThan(image, QRgba64::fromRgba64(0, 0, 0, 0)).size(), 2u);
        }
}

// Vibrancy 0 applies the gamma to each channel, which pales a colour;
// overexposed pixels keep their colour unless the highlight lets them bleach.
TEST(DensityTone, VibrancyAndHighlightDecideHowColourGivesWayToWhite)
{
    const FracPtr fractal = makeFractal({{.scale = {0, 0}, .translation = {0.05, 0.05}, .colour = {1, 0.25f, 0, 1}},
                                         {.scale = {0.5, 0.5}, .translation = {1, 1}, .colour = {1, 0.25f, 0, 1}, .probability = 0.2f}},
                                        400000);
    const auto pixel = [&](DensityOptions options) { return pixelAt(density(fractal, {40, 40}, options), 20, 19); };
    const QRgba64 vivid = pixel({}), pale = pixel({.vibrancy = 0}), bleached = pixel({.highlight = 1});
    // The hot spot is overexposed: its own colour at vibrancy 1.
    EXPECT_EQ(vivid.red(), 65535);
    EXPECT_NEAR(vivid.green(), 16384, 2);
    EXPECT_GT(pale.green(), vivid.green() + 10000);
    EXPECT_GT(bleached.green(), vivid.green() + 4000);
    EXPECT_GT(bleached.blue(), 4000);
}

// An area-filling fractal (uneven weights) and the default one, 80 x 80
// against 32 times the iterations: the filter brings the filled one much
// closer and lights what a radius of 0 leaves dark (which is the points
// picture's pixels).
TEST(DensityFilter, LowersTheErrorOfSparsePicturesAndLeavesDenseDetail)
{
    const _rgb_color white{1, 1, 1, 1};
    const FracPtr filled = makeFractal({{.translation = {-1, -1}, .colour = white, .probability = 0.4f},
                                        {.translation = {1, -1}, .colour = white, .probability = 0.3f},
                                        {.translation = {-1, 1}, .colour = white, .probability = 0.2f},
                                        {.translation = {1, 1}, .colour = white, .probability = 0.1f}},
                                       6000);
    const QSize size(80, 80);
    const auto picture = [&](const FracPtr &f, int32_t n, int radius) {
        f->setIterations(n);
        return density(f, size, {.deRadius = radius});
    };
    const QImage reference = picture(filled, 192000, 0);
    const double plain = rmsDifference(picture(filled, 6000, 0), reference);
    const double smoothed = rmsDifference(picture(filled, 6000, 9), reference);
    EXPECT_LT(smoothed, 0.7 * plain);
    EXPECT_LT(std::abs(meanBrightness(picture(filled, 6000, 9)) / meanBrightness(reference) - 1), 0.05);

    const QRgba64 black = QRgba64::fromRgba64(0, 0, 0, 65535);
    const QImage points = draw(filled, size, {.seed = 8});
    EXPECT_GT(pixelsOtherThan(picture(filled, 6000, 9), black).size(), pixelsOtherThan(points, black).size() + 100);
    // Two walkers light as many pixels as one: every walker's hits count. The
    // game is long enough that the second walker takes a good share of it.
    filled->setIterations(3000000);
    const QSize large(1400, 1400);
    const double alone = double(pixelsOtherThan(density(filled, large, {.deRadius = 0}, 1), black).size());
    EXPECT_NEAR(double(pixelsOtherThan(density(filled, large, {.deRadius = 0}, 2), black).size()), alone, alone * 0.02);

    // The default fractal's detail reaches single pixels: its holes stay
    // dark, and its copies, each made from all its hits (which count for
    // more, so the kernel narrows), bring it closer still, in the colours
    // the game blends.
    const FracPtr triangle = QvFrac::defaultFractal();
    const QImage sharp = picture(triangle, 20000, 0), filtered = picture(triangle, 20000, 9),
                 converged = picture(triangle, 640000, 0);
    EXPECT_EQ(pixelsOtherThan(filtered, black), pixelsOtherThan(converged, black));
    EXPECT_LT(rmsDifference(filtered, converged), 0.7 * rmsDifference(sharp, converged));
    for (int channel = 0; channel < 3; ++channel)
        EXPECT_NEAR(meanChannel(filtered, channel) / meanChannel(converged, channel), 1.0, 0.01) << channel;
}

// Copies are averaged only where every hit that can reach a pixel is on the
// picture (a radius of 1 averages without spreading). Zoomed into the
// triangle, each pixel's copies come from off the picture under some map,
// so nothing changes. Zoomed into a blob of overlapping copies, its middle
// comes from within it and comes closer; its edges keep their own hits.
TEST(CopyAverage, AveragesOnlyWhereEveryCopiedRegionIsOnThePicture)
{
    const auto picture = [](const FracPtr &f, int32_t n, int radius, const View &view) {
        f->setIterations(n);
        return draw(f, {80, 80}, {.view = view, .density = DensityOptions{.deRadius = radius}, .seed = 8});
    };
    const FracPtr triangle = QvFrac::defaultFractal();
    const View corner{{0.5, -0.8}, 3};
    EXPECT_EQ(picture(triangle, 200000, 1, corner), picture(triangle, 200000, 0, corner));

    std::vector<MapSpec> maps;
    for (const QPointF t : {QPointF(-0.2, -0.2), {0.2, -0.2}, {-0.2, 0.2}, {0.2, 0.2}})
        maps.push_back({.scale = {0.8, 0.8}, .translation = t});
    const FracPtr blob = makeFractal(maps);
    const View middle{{0, 0}, 2.5};
    const QImage converged = picture(blob, 1920000, 0, middle), plain = picture(blob, 60000, 0, middle),
                 averaged = picture(blob, 60000, 1, middle);
    const QRect centre(24, 24, 32, 32);
    EXPECT_LT(rmsDifference(averaged.copy(centre), converged.copy(centre)),
              0.7 * rmsDifference(plain.copy(centre), converged.copy(centre)));
    for (const QRect edge : {QRect(0, 0, 80, 10), QRect(0, 70, 80, 10), QRect(0, 0, 10, 80), QRect(70, 0, 10, 80)})
        EXPECT_EQ(averaged.copy(edge), plain.copy(edge));

    // On several threads, each filling rows of its own, the whole blob is as
    // bright (its walkers share the game by time, so the noise differs).
    blob->setIterations(200000);
    const QImage one = density(blob, {80, 80}, {.deRadius = 1}), three = density(blob, {80, 80}, {.deRadius = 1}, 3);
    EXPECT_NEAR(meanBrightness(three) / meanBrightness(one), 1.0, 0.02);
    EXPECT_EQ(pixelsOtherThan(three, QRgba64::fromRgba64(0, 0, 0, 65535)).size(),
              pixelsOtherThan(one, QRgba64::fromRgba64(0, 0, 0, 65535)).size());
}

// The canvas's 8-bit density picture is the 16-bit one rounded, the
// background included; one walker, so the same seed gives the same game.
TEST(DensityEightBits, AreTheSixteenBitPictureRounded)
{
    FracPtr fractal = QvFrac::defaultFractal();
    fractal->setBgColor({0.3f, 0.6f, 0.9f, 1});
    const QImage rounded = density(fractal, {90, 70}, {}).convertToFormat(QImage::Format_RGBA8888);
    QImage narrow(90, 70, QImage::Format_RGBA8888);
    ASSERT_TRUE(drawDensity(narrow, requestFor(fractal, {90, 70}, {.seed = 8}), {}));
    EXPECT_EQ(narrow.pixel(0, 0), qRgb(77, 153, 230));
    EXPECT_GT(pixelsOtherThan(narrow, pixelAt(narrow, 0, 0)).size(), 500u);
    for (int y = 0; y < 70; ++y)
        for (int x = 0; x < 90; ++x) {
            const QRgb a = narrow.pixel(x, y), b = rounded.pixel(x, y);
            ASSERT_LE(std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) + std::abs(qBlue(a) - qBlue(b))
                          + 3 * std::abs(qAlpha(a) - qAlpha(b)), 2) << x << ", " << y;
        }
}

// --- Views ----------------------------------------------------------------------

// At zoom 2 a view shows 100 pixels a unit, as 400 x 400 standard does: the
// same game (one walker, one seed) lights the same pixels as a crop of it,
// the non-square picture showing more around the view's square. Only points
// on a pixel edge may round the other way.
TEST(ViewPicture, IsACropOfTheStandardPictureAtTheSameScale)
{
    FracPtr fractal = QvFrac::defaultFractal();
    fractal->setBgColor({0, 0, 0, 0});
    // Without the noise filter, which spreads a hit differently near the edges of a crop.
    for (const std::optional<DensityOptions> density :
         {std::optional<DensityOptions>(), std::optional(DensityOptions{.supersample = 2, .deRadius = 0})}) {
        const QImage whole = draw(fractal, {400, 400}, {.density = density, .seed = 5});
        for (const auto &[size, centre, crop] : {std::tuple{QSize(200, 200), QPointF(1, 1), QPoint(200, 0)},
                                                 {QSize(300, 200), QPointF(0.5, 1), QPoint(100, 0)},
                                                 {QSize(200, 300), QPointF(1, 0.5), QPoint(200, 0)}}) {
            const QImage part = draw(fractal, size, {.view = View{centre, 2}, .density = density, .seed = 5});
            const std::vector<QPoint> lit = pixelsOtherThan(part, QRgba64::fromRgba64(0, 0, 0, 0));
            EXPECT_GT(lit.size(), 2000u);
            int differ = 0;
            for (const QPoint &p : lit)
                differ += !density ? pixelAt(part, p.x(), p.y()) != pixelAt(whole, p.x() + crop.x(), p.y() + crop.y())
                                   : pixelAt(whole, p.x() + crop.x(), p.y() + crop.y()).alpha() == 0;
            EXPECT_LE(differ, 10) << size.width() << "x" << size.height() << (density ? " density" : "");
            EXPECT_NEAR(double(lit.size()), double(pixelsOtherThan(whole.copy(QRect(crop, size)), QRgba64::fromRgba64(0, 0, 0, 0)).size()), 10);
        }
    }
}

} // namespace
