#include "canvas/GlPointPlot.h"

#include "engine/DensityImage.h"
#include "engine/RasterImage.h"

#include <QElapsedTimer>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <atomic>
#include <cmath>
#include <cstring>

namespace attractor {

namespace {

// The same at alpha 1, once per plotted point: all channels at once where
// the processor can, with the same clamps and rounding.
inline quint32 packOpaque(float r, float g, float b)
{
#if defined(__SSE2__)
    // max gives its second operand for NaN, so NaN goes to 0 as above.
    __m128 v = _mm_max_ps(_mm_set_ps(1.0f, b, g, r), _mm_setzero_ps());
    v = _mm_min_ps(v, _mm_set1_ps(1.0f));
    const __m128 scaled = _mm_mul_ps(v, _mm_set1_ps(255.0f));
    const __m128i whole = _mm_cvttps_epi32(scaled);
    const __m128 fraction = _mm_sub_ps(scaled, _mm_cvtepi32_ps(whole));
    // All ones (minus one) where the fraction rounds up.
    const __m128i up = _mm_castps_si128(_mm_cmpge_ps(fraction, _mm_set1_ps(0.5f)));
    const __m128i rounded = _mm_sub_epi32(whole, up);
    const __m128i words = _mm_packs_epi32(rounded, rounded);
    return static_cast<quint32>(_mm_cvtsi128_si32(_mm_packus_epi16(words, words)));
#else
    return packRgba8(r, g, b, 1.0f);
#endif
}

template <typename T>
bool sameBits(const std::vector<T> &a, const std::vector<T> &b)
{
    return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(T)) == 0);
}

// A plotted point's 8-bit pixel. The pixel that BitmapPlot picks is the one
// that GL lights: GL clips points whose centre lies outside the viewport and
// lights the pixel that contains the rest.
struct PackOpaque8 {
    quint32 operator()(float r, float g, float b) const { return packOpaque(r, g, b); }
};
using CanvasPlot = BitmapPlot<quint32, PackOpaque8>;

// A copy of a picture that walkers may still be storing to.
QImage snapshot(const QImage &image)
{
    QImage copy(image.size(), image.format());
    if (copy.isNull())
        return copy;
    for (int row = 0; row < image.height(); ++row) {
        auto *from = const_cast<quint32 *>(reinterpret_cast<const quint32 *>(image.constScanLine(row)));
        auto *to = reinterpret_cast<quint32 *>(copy.scanLine(row));
        for (int x = 0; x < image.width(); ++x)
            to[x] = std::atomic_ref<quint32>(from[x]).load(std::memory_order_relaxed);
    }
    return copy;
}

} // namespace

QImage plotGlPoints(const RenderRequest &request, float backgroundAlpha, const CanvasDraw &draw)
{
    const QSize size = request.size;
    if (size.isEmpty())
        return {};
    QImage image(size, QImage::Format_RGBA8888);
    if (image.isNull())
        return {};
    const _rgb_color bg = request.tables.bgColor;
    const quint32 background = packRgba8(bg.r, bg.g, bg.b, backgroundAlpha);
    for (int row = 0; row < size.height(); ++row) {
        auto *line = reinterpret_cast<quint32 *>(image.scanLine(row));
        std::fill(line, line + size.width(), background);
    }

    const int walkers = chaosWorkerCount(request.iterations, request.threads);
    // One scratch pixel per walker, a cache line apart.
    std::vector<quint32> scratch(static_cast<size_t>(walkers) * 16);
    std::vector<CanvasPlot> plots;
    plots.reserve(static_cast<size_t>(walkers));
    const PixelMapping frame = requestFrame(request);
    for (int w = 0; w < walkers; ++w)
        plots.emplace_back(image, frame, &scratch[static_cast<size_t>(w) * 16]);
    ChaosRun run;
    run.seed = request.seed ? *request.seed : drawSeed();
    run.cancel = draw.cancel;
    run.pausedSince = draw.pausedSince;
    QElapsedTimer clock;
    clock.start();
    qint64 nextPartial = kPartialPictureMs;
    int steps = 0;
    const std::function<void()> step = [&] {
        ++steps;
        if (clock.elapsed() >= nextPartial) {
            draw.partial(snapshot(image), std::min(1.0, steps / 95.0));
            nextPartial = clock.elapsed() + kPartialPictureMs;
        }
    };
    if (draw.partial)
        run.progressIncrement = &step;
    return runChaosGame(request.tables, request.iterations, run, std::span<CanvasPlot>(plots)) ? image : QImage();
}

QImage plotDensityPreview(const RenderRequest &request, const CanvasDraw &draw)
{
    if (request.size.isEmpty())
        return {};
    QImage image(request.size, QImage::Format_RGBA8888);
    if (image.isNull())
        return {};
    // Over a transparent background the tone mapping would live in alpha
    // alone, which the screen does not show.
    RenderRequest opaque = request;
    opaque.tables.bgColor.a = 1.0f;
    DrawObserver observer;
    observer.cancel = draw.cancel;
    observer.pausedSince = draw.pausedSince;
    if (!drawDensity(image, opaque, observer))
        return {};
    return image;
}

bool samePicture(const ChaosTables &a, const ChaosTables &b)
{
    return a.iterations == b.iterations && std::memcmp(&a.bgColor, &b.bgColor, sizeof a.bgColor) == 0
        && sameBits(a.matrix, b.matrix) && sameBits(a.colour, b.colour) && a.table == b.table
        && a.bound == b.bound;
}

} // namespace attractor
