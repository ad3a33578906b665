#include "engine/DensityImage.h"

#include "engine/PixelMapping.h"

#include "engine/LargeBuffer.h"
#include "engine/RasterImage.h"

#include <QRgba64>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <thread>
#include <type_traits>
#include <utility>
#include <vector>

namespace attractor {

namespace {

// The picture's frame on the grid of samples: S x S a pixel.
PixelMapping sampleFrame(PixelMapping frame, int supersample)
{
    frame.scaleX *= supersample;
    frame.scaleY *= supersample;
    frame.originX *= supersample;
    frame.originY *= supersample;
    return frame;
}


constexpr qint64 kMaxBufferBytes = qint64(4) << 30;
// Up to this many bytes of counts a walker keeps a grid of its own (see
// OwnGridPlot); larger grids are shared (see DensityPlot).
constexpr qint64 kOwnGridBytes = qint64(32) << 20;
// ... as long as all of them together stay within this (on many cores the
// grids would otherwise take far more memory than one shared grid).
constexpr qint64 kOwnGridsBytes = qint64(128) << 20;

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

// 1 / count for the common small counts, the very values division gives:
// a hit's add then waits on no division.
constexpr uint32_t kReciprocals = 4096;
const float *reciprocals()
{
    static const std::array<float, kReciprocals> table = [] {
        std::array<float, kReciprocals> t{};
        for (uint32_t i = 1; i < kReciprocals; ++i)
            t[i] = 1.0f / static_cast<float>(i);
        return t;
    }();
    return table.data();
}

inline void addHit(Cell &c, float r, float g, float b, const float *reciprocal)
{
    const uint32_t count = ++c.count;
    const float weight = count < kReciprocals ? reciprocal[count] : 1.0f / static_cast<float>(count);
    c.red += (r - c.red) * weight;
    c.green += (g - c.green) * weight;
    c.blue += (b - c.blue) * weight;
}

// A hit, filed for later adding: its cell (a grid of at most 4 GiB has
// fewer than 2^28 cells) and the walker's colour.
struct Hit {
    uint32_t cell;
    float red, green, blue;
};
static_assert(sizeof(Hit) == 16);

// The grid is cut into bands of 2^kBandShift cells (a quarter of a megabyte,
// which stays in a core's own cache while a bucket goes in), each with a
// bucket of kBucketHits per walker.
constexpr int kBandShift = 14;
constexpr qsizetype kBucketHits = 2048;

// The counts of the whole grid, shared by all walkers.
struct DensityGrid {
    Cell *cells = nullptr;
    qsizetype columns = 0;
    qsizetype rows = 0;
    qsizetype bands = 0;
    std::unique_ptr<std::mutex[]> locks;
};

// Hits scattered over hundreds of megabytes of counts would each cost a trip
// to memory (and a read before the add). So a walker files each hit in its
// bucket for the hit's band and adds a full bucket at once, under the band's
// lock: the band's cells stay cached while its hits go in, and walkers share
// one grid without an atomic operation per hit. Hits outside the grid go to
// one more bucket, which is emptied without adding.
class DensityPlot
{
public:
    DensityPlot(DensityGrid &grid, Hit *buckets, const PixelMapping &frame)
        : _grid(&grid)
        , _buckets(buckets)
        , _filled(static_cast<size_t>(grid.bands) + 1, 0)
        , _frame(frame)
        , _width(static_cast<double>(grid.columns))
        , _height(static_cast<double>(grid.rows))
    {
    }

    void operator()(float x, float y, float r, float g, float b)
    {
        const double px = (x - _frame.left) * _frame.scaleX + _frame.originX;
        const double py = (y - _frame.bottom) * _frame.scaleY + _frame.originY;
        // Also false for NaN, which a diverging map produces.
        const bool inside = px >= 0.0 && px < _width && py >= 0.0 && py < _height;
        // y points up: the bottom row is the last one.
        const qsizetype cell = inside ? (_grid->rows - 1 - static_cast<qsizetype>(py)) * _grid->columns
                                            + static_cast<qsizetype>(px)
                                      : 0;
        const qsizetype band = inside ? cell >> kBandShift : _grid->bands;
        const qsizetype filled = _filled[static_cast<size_t>(band)]++;
        _buckets[band * kBucketHits + filled] = {static_cast<uint32_t>(cell), r, g, b};
        if (filled + 1 == kBucketHits)
            addBucket(band);
    }

    // Adds the hits still in the buckets when the game ends.
    void flush()
    {
        for (qsizetype band = 0; band < _grid->bands; ++band)
            addBucket(band);
    }

    // The most hits any cell had right after this walker added to it.
    uint32_t most() const { return _most; }

private:
    void addBucket(qsizetype band)
    {
        const qsizetype count = std::exchange(_filled[static_cast<size_t>(band)], 0);
        if (band == _grid->bands || count == 0)
            return;
        const Hit *const hits = _buckets + band * kBucketHits;
        Cell *const cells = _grid->cells;
        uint32_t most = _most;
        const float *const reciprocal = reciprocals();
        const std::lock_guard<std::mutex> lock(_grid->locks[static_cast<size_t>(band)]);
        for (qsizetype i = 0; i < count; ++i) {
#if defined(__GNUC__) || defined(__clang__)
            if (i + kLookAhead < count)
                __builtin_prefetch(cells + hits[i + kLookAhead].cell, 1);
#endif
            const Hit &hit = hits[i];
            Cell &c = cells[hit.cell];
            addHit(c, hit.red, hit.green, hit.blue, reciprocal);
            most = std::max(most, c.count);
        }
        _most = most;
    }

    static constexpr qsizetype kLookAhead = 24;

    DensityGrid *_grid;
    Hit *_buckets;
    std::vector<qsizetype> _filled;
    PixelMapping _frame;
    double _width, _height;
    uint32_t _most = 0;
};

// Where a grid is small enough, each walker adds its hits at once to a grid
// of its own, and the grids are summed afterwards: nothing is filed and
// nothing shared. An add must read its cell first, which on a grid of
// megabytes is a cache miss that would hold the walker up; so a hit waits
// kPending hits in a ring while its cell is fetched ahead. The ring keeps
// the order of the hits, so a cell's mean is the same. Hits outside the grid
// go to a spare cell past its end. Each walker's plot has cache lines of its
// own: the ring is written at every hit.
class alignas(64) OwnGridPlot
{
public:
    OwnGridPlot(Cell *cells, qsizetype columns, qsizetype rows, const PixelMapping &frame)
        : _cells(cells)
        , _spare(cells + columns * rows)
        , _columns(columns)
        , _rows(rows)
        , _frame(frame)
        , _width(static_cast<double>(columns))
        , _height(static_cast<double>(rows))
    {
        _pending.fill({_spare, 0.0f, 0.0f, 0.0f});
    }

    void operator()(float x, float y, float r, float g, float b)
    {
        const double px = (x - _frame.left) * _frame.scaleX + _frame.originX;
        const double py = (y - _frame.bottom) * _frame.scaleY + _frame.originY;
        // Also false for NaN, which a diverging map produces.
        const bool inside = px >= 0.0 && px < _width && py >= 0.0 && py < _height;
        // y points up: the bottom row is the last one.
        Cell *const cell = inside ? _cells + (_rows - 1 - static_cast<qsizetype>(py)) * _columns
                                        + static_cast<qsizetype>(px)
                                  : _spare;
#if defined(__GNUC__) || defined(__clang__)
        __builtin_prefetch(cell, 1);
#endif
        Pending &slot = _pending[_next++ % kPending];
        addHit(*slot.cell, slot.red, slot.green, slot.blue, _reciprocal);
        slot = {cell, r, g, b};
    }

    // Adds the hits still waiting when the game ends, oldest first.
    void flush()
    {
        for (unsigned i = 0; i < kPending; ++i) {
            Pending &slot = _pending[_next++ % kPending];
            addHit(*slot.cell, slot.red, slot.green, slot.blue, _reciprocal);
            slot = {_spare, 0.0f, 0.0f, 0.0f};
        }
    }

private:
    static constexpr unsigned kPending = 16;
    struct Pending {
        Cell *cell;
        float red, green, blue;
    };

    Cell *_cells;
    Cell *_spare;
    qsizetype _columns, _rows;
    PixelMapping _frame;
    double _width, _height;
    const float *_reciprocal = reciprocals();
    std::array<Pending, kPending> _pending;
    unsigned _next = 0;
};

// Adds every walker's own grid into the first, on up to `threads` threads;
// returns the most hits a cell has.
uint32_t mergeGrids(const std::vector<LargeBuffer> &grids, qsizetype cells, int threads)
{
    Cell *const into = static_cast<Cell *>(grids.front().data());
    std::mutex lock;
    uint32_t most = 0;
    forRowBands(cells, threads, [&](qsizetype first, qsizetype end) {
        for (size_t g = 1; g < grids.size(); ++g) {
            const Cell *const from = static_cast<const Cell *>(grids[g].data());
            for (qsizetype i = first; i < end; ++i) {
                const Cell &f = from[i];
                if (f.count == 0)
                    continue;
                Cell &t = into[i];
                const uint32_t count = t.count + f.count;
                const float share = static_cast<float>(f.count) / static_cast<float>(count);
                t.red += (f.red - t.red) * share;
                t.green += (f.green - t.green) * share;
                t.blue += (f.blue - t.blue) * share;
                t.count = count;
            }
        }
        uint32_t m = 0;
        for (qsizetype i = first; i < end; ++i)
            m = std::max(m, into[i].count);
        const std::lock_guard<std::mutex> guard(lock);
        most = std::max(most, m);
    });
    return most;
}

inline float unit(float v)
{
    // NaN goes to 0 with the rest of what is below range.
    return v > 0.0f ? (v < 1.0f ? v : 1.0f) : 0.0f;
}

// How a density picture's pixels are stored: 16 bits a channel for the
// exports, 8 for the canvas (rounded as the canvas rounds its points).
struct Rgba16 {
    using Pixel = QRgba64;
    static Pixel pack(float r, float g, float b, float a) { return packRgba16(r, g, b, a); }
};

struct Rgba8 {
    using Pixel = quint32;
    static Pixel pack(float r, float g, float b, float a) { return packRgba8(r, g, b, a); }
};

} // namespace

qint64 densityGridBytes(QSize size, int supersample)
{
    return qint64(size.width()) * supersample * size.height() * supersample * qint64(sizeof(Cell));
}

qint64 densityBucketBytes(QSize size, int supersample)
{
    const qint64 cells = densityGridBytes(size, supersample) / qint64(sizeof(Cell));
    return ((cells >> kBandShift) + 2) * kBucketHits * qint64(sizeof(Hit));
}

int densityWalkers(QSize size, int supersample, int threads)
{
    const qint64 grid = densityGridBytes(size, supersample);
    if (grid <= 0 || grid > kMaxBufferBytes)
        return 0;
    const qint64 buckets = densityBucketBytes(size, supersample);
    return static_cast<int>(std::clamp<qint64>((kMaxBufferBytes - grid) / buckets, 0, std::max(threads, 1)));
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

namespace {

template <typename Out>
bool drawDensityAs(QImage &image, const RenderRequest &request, const DrawObserver &observer)
{
    const ChaosTables &tables = request.tables;
    const int32_t iterations = request.iterations;
    const DensityOptions options = request.density.value_or(DensityOptions{});
    using Pixel = typename Out::Pixel;
    const _rgb_color bg = tables.bgColor;
    const Pixel background = Out::pack(bg.r, bg.g, bg.b, bg.a);
    // Rows found from the bits taken once: scanLine() may not be called from
    // several threads.
    uchar *const bits = image.bits();
    const qsizetype stride = image.bytesPerLine();
    const auto line = [bits, stride](qsizetype y) { return reinterpret_cast<Pixel *>(bits + y * stride); };
    // What a draw that ends early leaves.
    const auto fill = [&] {
        for (qsizetype y = 0; y < image.height(); ++y)
            std::fill(line(y), line(y) + image.width(), background);
    };

    const int s = std::clamp(options.supersample, kMinSupersample, kMaxSupersample);
    const qsizetype columns = qsizetype(image.width()) * s;
    const qsizetype rows = qsizetype(image.height()) * s;
    const int walkers =
        std::min(chaosWorkerCount(iterations, request.threads), densityWalkers(image.size(), s, request.threads));
    if (walkers == 0) {
        fill();
        return false;
    }
    ChaosRun run;
    run.seed = request.seed ? *request.seed : drawSeed();
    run.cancel = observer.cancel;
    run.pausedSince = observer.pausedSince;
    run.progressIncrement = observer.progressIncrement ? &observer.progressIncrement : nullptr;
    const int threads = std::max(1, request.threads);
    const qsizetype cellCount = columns * rows;
    const PixelMapping frame = sampleFrame(requestFrame(request), s);

    // Zero pages come from the system untouched until hit.
    std::vector<LargeBuffer> grids;
    uint32_t most = 0;
    const qint64 gridBytes = cellCount * qint64(sizeof(Cell));
    if (gridBytes <= kOwnGridBytes && gridBytes * walkers <= kOwnGridsBytes) {
        std::vector<OwnGridPlot> plots;
        for (int w = 0; w < walkers; ++w) {
            LargeBuffer own(static_cast<size_t>(cellCount + 1) * sizeof(Cell));
            if (!own)
                break;
            plots.emplace_back(static_cast<Cell *>(own.data()), columns, rows, frame);
            grids.push_back(std::move(own));
        }
        if (plots.empty() || !runChaosGame(tables, iterations, run, std::span<OwnGridPlot>(plots))) {
            fill();
            return false;
        }
        for (OwnGridPlot &plot : plots)
            plot.flush();
        most = mergeGrids(grids, cellCount, threads);
    } else {
        grids.emplace_back(static_cast<size_t>(cellCount) * sizeof(Cell));
        if (!grids.front()) {
            fill();
            return false;
        }
        DensityGrid grid;
        grid.cells = static_cast<Cell *>(grids.front().data());
        grid.columns = columns;
        grid.rows = rows;
        grid.bands = ((cellCount - 1) >> kBandShift) + 1;
        grid.locks.reset(new std::mutex[static_cast<size_t>(grid.bands)]);
        std::vector<LargeBuffer> buckets;
        std::vector<DensityPlot> plots;
        for (int w = 0; w < walkers; ++w) {
            LargeBuffer bucket(static_cast<size_t>(densityBucketBytes(image.size(), s)));
            if (!bucket)
                break;
            plots.emplace_back(grid, static_cast<Hit *>(bucket.data()), frame);
            buckets.push_back(std::move(bucket));
        }
        if (plots.empty() || !runChaosGame(tables, iterations, run, std::span<DensityPlot>(plots))) {
            fill();
            return false;
        }
        for (DensityPlot &plot : plots) {
            plot.flush();
            most = std::max(most, plot.most());
        }
    }
    if (most == 0) {
        fill();
        return true;
    }

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
    const Cell *const cells = static_cast<const Cell *>(grids.front().data());
    const qsizetype width = image.width();
    const float *const table = coverageTable.data();
    const size_t tableSize = coverageTable.size();
    // `side` is S, a constant where it is 1 so that the common case loops once.
    const auto tone = [&](auto side, qsizetype first, qsizetype end) {
        for (qsizetype y = first; y < end; ++y) {
            Pixel *const out = line(y);
            for (qsizetype x = 0; x < width; ++x) {
                float r = 0, g = 0, b = 0, a = 0;
                bool hit = false;
                for (int sy = 0; sy < side; ++sy) {
                    const Cell *row = cells + (y * side + sy) * columns + x * side;
                    for (int sx = 0; sx < side; ++sx) {
                        const Cell &c = row[sx];
                        const float cover = c.count == 0          ? 0.0f
                                            : c.count < tableSize ? table[c.count]
                                                                  : coverageOf(c.count);
                        hit = hit || c.count != 0;
                        r += unit(c.red) * cover + bgR * (1 - cover);
                        g += unit(c.green) * cover + bgG * (1 - cover);
                        b += unit(c.blue) * cover + bgB * (1 - cover);
                        a += cover + bgA * (1 - cover);
                    }
                }
                // A pixel none of whose samples was hit is the background exactly.
                if (!hit)
                    out[x] = background;
                else if (a > 0.0f)
                    out[x] = Out::pack(r / a, g / a, b / a, a / samples);
                else
                    out[x] = Out::pack(bg.r, bg.g, bg.b, 0.0f);
            }
        }
    };
    forRowBands(image.height(), threads, [&](qsizetype first, qsizetype end) {
        if (s == 1)
            tone(std::integral_constant<int, 1>{}, first, end);
        else
            tone(s, first, end);
    });
    return true;
}

} // namespace

bool drawDensity(QImage &image, const RenderRequest &request, const DrawObserver &observer)
{
    if (image.isNull() || image.size() != request.size)
        return false;
    if (image.format() == QImage::Format_RGBA64)
        return drawDensityAs<Rgba16>(image, request, observer);
    if (image.format() == QImage::Format_RGBA8888)
        return drawDensityAs<Rgba8>(image, request, observer);
    return false;
}

} // namespace attractor
