#include "renderer/DensityImage.h"

#include "renderer/LargeBuffer.h"
#include "renderer/RasterImage.h"

#include <QRgba64>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <thread>
#include <vector>

namespace attractor {

namespace {

constexpr qint64 kMaxBufferBytes = qint64(4) << 30;

// One supersampled pixel: the mean colour of its hits and their count. A
// running mean stays as exact as its colours however many hits come (a float
// sum would lose the colour's low digits past a few hundred thousand).
struct Cell {
    float red = 0.0f;
    float green = 0.0f;
    float blue = 0.0f;
    uint32_t count = 0;
};
static_assert(sizeof(Cell) == 16);

// Each walker counts into a buffer of its own: plain adds, no atomics and no
// contention, merged once at the end. A hit reads its cell before it adds,
// and cells are scattered over a buffer far larger than the cache, so each
// cell is prefetched and its hit added a few hits later, in the same order.
// Hits outside the grid go to the walker's own scratch cell.
class DensityPlot
{
public:
    DensityPlot(Cell *cells, Cell *scratch, qsizetype width, qsizetype height, const QRectF &rect, int supersample)
        : _cells(cells)
        , _scratch(scratch)
        , _quarterW(static_cast<double>(static_cast<float>(rect.width())) * supersample / 4)
        , _quarterH(static_cast<double>(static_cast<float>(rect.height())) * supersample / 4)
        , _width(static_cast<double>(width))
        , _height(static_cast<double>(height))
        , _columns(width)
        , _rows(height)
    {
        _pending.fill({scratch, 0, 0, 0});
    }

    void operator()(float x, float y, float r, float g, float b)
    {
        const double px = (x + 2.0) * _quarterW;
        const double py = (y + 2.0) * _quarterH;
        // Also false for NaN, which a diverging map produces.
        const bool inside = px >= 0.0 && px < _width && py >= 0.0 && py < _height;
        // y points up: the bottom row is the last one.
        Cell *const cell = inside ? _cells + (_rows - 1 - static_cast<qsizetype>(py)) * _columns
                                        + static_cast<qsizetype>(px)
                                  : _scratch;
#if defined(__GNUC__) || defined(__clang__)
        __builtin_prefetch(cell, 1);
#endif
        Hit &slot = _pending[_head];
        add(slot);
        slot = {cell, r, g, b};
        _head = (_head + 1) % kDelay;
    }

    // Hits still pending when the game ends or is cancelled.
    void flush()
    {
        for (unsigned i = 0; i < kDelay; ++i)
            add(_pending[(_head + i) % kDelay]);
        _pending.fill({_scratch, 0, 0, 0});
    }

private:
    struct Hit {
        Cell *cell;
        float r, g, b;
    };
    static constexpr unsigned kDelay = 16;

    static void add(const Hit &hit)
    {
        Cell &cell = *hit.cell;
        const float weight = 1.0f / static_cast<float>(++cell.count);
        cell.red += (hit.r - cell.red) * weight;
        cell.green += (hit.g - cell.green) * weight;
        cell.blue += (hit.b - cell.blue) * weight;
    }

    Cell *_cells;
    Cell *_scratch;
    double _quarterW, _quarterH, _width, _height;
    qsizetype _columns, _rows;
    std::array<Hit, kDelay> _pending;
    unsigned _head = 0;
};

inline float unit(float v)
{
    // NaN goes to 0 with the rest of what is below range.
    return v > 0.0f ? (v < 1.0f ? v : 1.0f) : 0.0f;
}

} // namespace

qint64 densityBytesPerWalker(QSize size, int supersample)
{
    return qint64(size.width()) * supersample * size.height() * supersample * qint64(sizeof(Cell));
}

int densityWalkers(QSize size, int supersample, int threads)
{
    const qint64 each = densityBytesPerWalker(size, supersample);
    if (each <= 0 || each > kMaxBufferBytes)
        return 0;
    return static_cast<int>(std::clamp<qint64>(kMaxBufferBytes / each, 1, std::max(threads, 1)));
}

QString densitySizeError(const QRectF &rect, int supersample)
{
    const QString plain = imageSizeError(rect);
    if (!plain.isEmpty())
        return plain;
    const QSize size(static_cast<int>(rect.width()), static_cast<int>(rect.height()));
    if (densityWalkers(size, supersample, 1) == 0)
        return QStringLiteral("a density picture of %1 \u00d7 %2 pixels at supersampling %3 needs more than "
                              "4 GiB for its counts")
            .arg(size.width())
            .arg(size.height())
            .arg(supersample);
    return {};
}

bool drawDensity(QImage &image, const QRectF &rect, const ChaosTables &tables, int32_t iterations,
                 const DensityOptions &options, const DrawObserver &observer)
{
    if (image.format() != QImage::Format_RGBA64 || image.isNull())
        return false;
    const _rgb_color bg = tables.bgColor;
    const QRgba64 background =
        QRgba64::fromRgba64(channel16(bg.r), channel16(bg.g), channel16(bg.b), channel16(bg.a));
    image.fill(QColor::fromRgba64(background));

    const int s = std::clamp(options.supersample, kMinSupersample, kMaxSupersample);
    const qsizetype columns = qsizetype(image.width()) * s;
    const qsizetype rows = qsizetype(image.height()) * s;
    const int walkers =
        std::min(chaosWorkerCount(iterations, observer.threads), densityWalkers(image.size(), s, observer.threads));
    std::vector<LargeBuffer> buffers;
    std::vector<DensityPlot> plots;
    // One scratch cell per walker, four cache lines apart.
    std::vector<Cell> scratch(static_cast<size_t>(std::max(walkers, 0)) * 16);
    for (int w = 0; w < walkers; ++w) {
        // Zero pages come from the system untouched until hit.
        LargeBuffer cells(static_cast<size_t>(columns * rows) * sizeof(Cell));
        if (!cells)
            break;
        plots.emplace_back(static_cast<Cell *>(cells.data()), &scratch[static_cast<size_t>(w) * 16], columns, rows,
                           rect, s);
        buffers.push_back(std::move(cells));
    }
    if (buffers.empty())
        return false;

    ChaosRun run;
    run.seed = observer.seed ? *observer.seed : drawSeed();
    run.cancel = observer.cancel;
    run.progressIncrement = observer.progressIncrement ? &observer.progressIncrement : nullptr;
    const bool finished = runChaosGame(tables, iterations, run, std::span<DensityPlot>(plots));
    for (DensityPlot &plot : plots)
        plot.flush();
    if (!finished)
        return false;

    // Merge the walkers' counts into the first buffer, finding the most hits.
    const int threads = std::max(1, observer.threads);
    std::vector<uint32_t> bandMost(static_cast<size_t>(threads) + 1, 0);
    std::atomic<int> band{0};
    forRowBands(rows, threads, [&](qsizetype first, qsizetype end) {
        uint32_t most = 0;
        Cell *const into = static_cast<Cell *>(buffers[0].data());
        for (qsizetype i = first * columns; i < end * columns; ++i) {
            Cell &c = into[i];
            for (size_t w = 1; w < buffers.size(); ++w) {
                const Cell &o = static_cast<const Cell *>(buffers[w].data())[i];
                if (o.count == 0)
                    continue;
                const double total = double(c.count) + o.count;
                const double own = c.count / total, other = o.count / total;
                c.red = static_cast<float>(c.red * own + o.red * other);
                c.green = static_cast<float>(c.green * own + o.green * other);
                c.blue = static_cast<float>(c.blue * own + o.blue * other);
                c.count += o.count;
            }
            most = std::max(most, c.count);
        }
        bandMost[static_cast<size_t>(band.fetch_add(1))] = most;
    });
    buffers.resize(1);
    const uint32_t most = *std::max_element(bandMost.begin(), bandMost.end());
    if (most == 0)
        return true;

    // Coverage by count; counts repeat, so the common small ones come from a table.
    const double gamma = std::clamp(options.gamma, kMinGamma, kMaxGamma);
    const double brightness = std::clamp(std::isfinite(options.brightness) ? options.brightness : 1.0, 0.0, 1.0);
    const double logMost = std::log1p(static_cast<double>(most));
    const auto coverageOf = [&](uint32_t count) {
        return static_cast<float>(std::pow(std::log1p(static_cast<double>(count)) / logMost, 1.0 / gamma) * brightness);
    };
    std::vector<float> coverageTable(std::min<size_t>(most, 1u << 16) + 1);
    for (size_t k = 0; k < coverageTable.size(); ++k)
        coverageTable[k] = coverageOf(static_cast<uint32_t>(k));

    // Samples are composed over the background premultiplied, summed over the
    // S x S of a pixel, and divided out again: a transparent background
    // leaves the hits' own colour with their coverage as alpha.
    const float bgA = unit(bg.a);
    const float bgR = unit(bg.r) * bgA, bgG = unit(bg.g) * bgA, bgB = unit(bg.b) * bgA;
    const float samples = static_cast<float>(s * s);
    const Cell *const cells = static_cast<const Cell *>(buffers[0].data());
    // Rows found from the bits taken once: scanLine() may not be called from
    // several threads.
    uchar *const bits = image.bits();
    const qsizetype stride = image.bytesPerLine();
    forRowBands(image.height(), threads, [&](qsizetype first, qsizetype end) {
        for (qsizetype y = first; y < end; ++y) {
            auto *line = reinterpret_cast<QRgba64 *>(bits + y * stride);
            for (qsizetype x = 0; x < image.width(); ++x) {
                float r = 0, g = 0, b = 0, a = 0;
                bool hit = false;
                for (int sy = 0; sy < s; ++sy) {
                    const Cell *row = cells + (y * s + sy) * columns + x * s;
                    for (int sx = 0; sx < s; ++sx) {
                        const Cell &c = row[sx];
                        const float cover = c.count == 0 ? 0.0f
                                            : c.count < coverageTable.size() ? coverageTable[c.count]
                                                                             : coverageOf(c.count);
                        hit = hit || c.count != 0;
                        r += unit(c.red) * cover + bgR * (1 - cover);
                        g += unit(c.green) * cover + bgG * (1 - cover);
                        b += unit(c.blue) * cover + bgB * (1 - cover);
                        a += cover + bgA * (1 - cover);
                    }
                }
                // A pixel none of whose samples was hit keeps the fill exactly.
                if (!hit)
                    continue;
                const float alpha = a / samples;
                if (a > 0.0f)
                    line[x] = QRgba64::fromRgba64(channel16(r / a), channel16(g / a), channel16(b / a),
                                                  channel16(alpha));
                else
                    line[x] = QRgba64::fromRgba64(channel16(bg.r), channel16(bg.g), channel16(bg.b), 0);
            }
        }
    });
    return true;
}

} // namespace attractor
