#include "renderer/GlPointPlot.h"

#include "renderer/DensityImage.h"
#include "renderer/RasterImage.h"

#include <QElapsedTimer>
#include <QThread>

#include <atomic>
#include <cmath>
#include <cstring>

namespace attractor {

namespace {

// Float to 8-bit the way OpenGL stores a colour in an 8-bit framebuffer.
uchar unorm8(float value)
{
    if (!(value > 0.0f))
        return 0;
    if (value >= 1.0f)
        return 255;
    // Rounding half up in doubles gives lround's result for these positive
    // values without a library call per channel and point.
    const float scaled = value * 255.0f;
    return static_cast<uchar>(static_cast<double>(scaled) + 0.5);
}

quint32 packRgba(float r, float g, float b, float a)
{
    const uchar bytes[4] = {unorm8(r), unorm8(g), unorm8(b), unorm8(a)};
    quint32 word = 0;
    std::memcpy(&word, bytes, sizeof word);
    return word;
}

template <typename T>
bool sameBits(const std::vector<T> &a, const std::vector<T> &b)
{
    return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(T)) == 0);
}

} // namespace

QImage plotGlPoints(const ChaosTables &tables, int32_t iterations, QSize size, float backgroundAlpha,
                    const std::function<bool()> &keepGoing, const PartialPicture &partial)
{
    if (size.isEmpty())
        return {};
    QImage image(size, QImage::Format_RGBA8888);
    if (image.isNull())
        return {};
    const int width = size.width();
    const int height = size.height();
    const _rgb_color bg = tables.bgColor;
    const quint32 background = packRgba(bg.r, bg.g, bg.b, backgroundAlpha);
    for (int row = 0; row < height; ++row) {
        auto *line = reinterpret_cast<quint32 *>(image.scanLine(row));
        std::fill(line, line + width, background);
    }

    const double w = width;
    const double h = height;
    uchar *const bits = image.bits();
    const qsizetype stride = image.bytesPerLine();
    auto plot = [=](float x, float y, float r, float g, float b) {
        // Window coordinates of the point; GL clips points whose centre lies
        // outside the viewport and lights the pixel that contains the rest.
        const double px = (x + 2.0) / 4.0 * w;
        const double py = (y + 2.0) / 4.0 * h;
        if (!(px >= 0.0 && px < w && py >= 0.0 && py < h))
            return;
        const int column = static_cast<int>(px);
        const int row = height - 1 - static_cast<int>(py);
        reinterpret_cast<quint32 *>(bits + row * stride)[column] = packRgba(r, g, b, 1.0f);
    };

    QElapsedTimer clock;
    clock.start();
    qint64 nextPartial = kPartialPictureMs;
    int64_t chunks = 0;
    const auto goOn = [&] {
        ++chunks;
        if (partial && clock.elapsed() >= nextPartial) {
            nextPartial = clock.elapsed() + kPartialPictureMs;
            partial(image.copy(), std::min(1.0, double(chunks) * kChaosChunk / std::max(iterations, 1)));
        }
        return !keepGoing || keepGoing();
    };
    const bool finished = runChaosGame(tables, iterations, drawSeed(), plot, goOn);
    return finished ? image : QImage();
}

QImage plotDensityPreview(const ChaosTables &tables, QSize size, const std::function<bool()> &keepGoing)
{
    if (size.isEmpty())
        return {};
    QImage image(size, QImage::Format_RGBA64);
    if (image.isNull())
        return {};
    // Over a transparent background the tone mapping would live in alpha
    // alone, which the screen does not show.
    ChaosTables opaque = tables;
    opaque.bgColor.a = 1.0f;
    std::atomic<bool> cancel{false};
    DrawObserver observer;
    observer.threads = QThread::idealThreadCount();
    observer.cancel = &cancel;
    if (keepGoing)
        observer.progressIncrement = [&] {
            if (!keepGoing())
                cancel = true;
        };
    const DensityOptions options;
    observer.density = options;
    if (!drawDensity(image, QRectF(QPointF(0, 0), size), opaque, opaque.iterations, options, observer))
        return {};
    return image.convertToFormat(QImage::Format_RGBA8888);
}

bool samePicture(const ChaosTables &a, const ChaosTables &b)
{
    return a.iterations == b.iterations && std::memcmp(&a.bgColor, &b.bgColor, sizeof a.bgColor) == 0
        && sameBits(a.matrix, b.matrix) && sameBits(a.colour, b.colour) && a.table == b.table
        && a.bound == b.bound;
}

} // namespace attractor
