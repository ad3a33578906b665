#include "engine/DensityImage.h"

#include "engine/CopyAverage.h"
#include "engine/DensityFilter.h"

#include "engine/PixelMapping.h"

#include "engine/LargeBuffer.h"
#include "engine/RasterImage.h"

#include <QRgba64>

#include <algorithm>
#include <array>
#include <bit>
#include <limits>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <optional>
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

using Cell = DensityCell;

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

    // The hits this walker added inside the grid.
    uint64_t added() const { return _added; }

private:
    void addBucket(qsizetype band)
    {
        const qsizetype count = std::exchange(_filled[static_cast<size_t>(band)], 0);
        if (band == _grid->bands || count == 0)
            return;
        const Hit *const hits = _buckets + band * kBucketHits;
        Cell *const cells = _grid->cells;
        _added += static_cast<uint64_t>(count);
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
        }
    }

    static constexpr qsizetype kLookAhead = 24;

    DensityGrid *_grid;
    Hit *_buckets;
    std::vector<qsizetype> _filled;
    PixelMapping _frame;
    double _width, _height;
    uint64_t _added = 0;
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
// returns the hits the grid holds.
uint64_t mergeGrids(const std::vector<LargeBuffer> &grids, qsizetype cells, int threads)
{
    Cell *const into = static_cast<Cell *>(grids.front().data());
    std::mutex lock;
    uint64_t total = 0;
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
        uint64_t sum = 0;
        for (qsizetype i = first; i < end; ++i)
            sum += into[i].count;
        const std::lock_guard<std::mutex> guard(lock);
        total += sum;
    });
    return total;
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

// log2 and 2^x to about six digits, without a library call: the exposure
// takes three of them for every sample of a picture.
struct FastMath {
    static constexpr int kSteps = 256;
    std::array<float, kSteps + 1> log2Table;
    std::array<float, kSteps + 1> exp2Table;

    FastMath()
    {
        for (int i = 0; i <= kSteps; ++i) {
            log2Table[static_cast<size_t>(i)] = static_cast<float>(std::log2(1.0 + double(i) / kSteps));
            exp2Table[static_cast<size_t>(i)] = static_cast<float>(std::exp2(double(i) / kSteps));
        }
    }

    static const FastMath &instance()
    {
        static const FastMath math;
        return math;
    }

    // For v above 0 (the smallest normal float stands for anything below it).
    float log2(float v) const
    {
        const auto bits = std::bit_cast<uint32_t>(std::max(v, std::numeric_limits<float>::min()));
        const int exponent = static_cast<int>(bits >> 23) - 127;
        const float place = static_cast<float>(bits & 0x7fffff) * (kSteps / 8388608.0f);
        const int i = static_cast<int>(place);
        const float f = place - static_cast<float>(i);
        return static_cast<float>(exponent) + log2Table[static_cast<size_t>(i)]
            + (log2Table[static_cast<size_t>(i) + 1] - log2Table[static_cast<size_t>(i)]) * f;
    }

    float exp2(float y) const
    {
        y = std::clamp(y, -126.0f, 127.0f);
        const float whole = std::floor(y);
        const float place = (y - whole) * kSteps;
        const int i = std::min(static_cast<int>(place), kSteps - 1);
        const float f = place - static_cast<float>(i);
        const float mantissa = exp2Table[static_cast<size_t>(i)]
            + (exp2Table[static_cast<size_t>(i) + 1] - exp2Table[static_cast<size_t>(i)]) * f;
        return std::bit_cast<float>(static_cast<uint32_t>(static_cast<int>(whole) + 127) << 23) * mantissa;
    }
};

// A pixel of kExposureWhite times the picture's mean density is white at
// brightness 1: the mean sits in the middle tones and only dense detail
// (fixed points, folds) reaches full intensity.
constexpr double kExposureWhite = 24.0;
// Below this exposure the gamma curve goes on as a straight line, so that
// a stray hit in the dark is not lifted to a visible grey.
constexpr float kGammaThreshold = 0.01f;

// From a sample's filtered hits to its light, premultiplied: the exposure is
// the logarithm of its density relative to the mean, scaled by the
// brightness and raised to 1 / gamma.
class Exposure
{
public:
    Exposure(const DensityOptions &options, double meanDensity)
        : _math(FastMath::instance())
        , _perHit(static_cast<float>(1.0 / meanDensity))
        , _scale(static_cast<float>(options.brightness / std::log2(1.0 + kExposureWhite)))
        , _invGamma(static_cast<float>(1.0 / options.gamma))
        , _thresholdSlope(std::pow(kGammaThreshold, static_cast<float>(1.0 / options.gamma) - 1.0f))
        , _vibrancy(static_cast<float>(options.vibrancy))
        , _highlight(static_cast<float>(options.highlight))
    {
    }

    // Red, green, blue and alpha for n hits of this mean colour.
    std::array<float, 4> light(float n, float red, float green, float blue) const
    {
        const float exposure = _scale * _math.log2(1.0f + n * _perHit);
        const float lifted = curve(exposure);
        const float alpha = std::min(lifted, 1.0f);
        // Vibrant: the hits' own colour, never brighter than it.
        std::array<float, 4> lit{unit(red) * alpha, unit(green) * alpha, unit(blue) * alpha, alpha};
        if (_vibrancy < 1.0f) {
            for (int i = 0; i < 3; ++i) {
                const float colour = i == 0 ? red : i == 1 ? green : blue;
                lit[i] = _vibrancy * lit[i] + (1.0f - _vibrancy) * curve(unit(colour) * exposure);
            }
            // Each channel's own curve may pass full intensity: the hue kept
            // (highlight 0) or the channels clipped, which bleaches (1).
            const float most = std::max({lit[0], lit[1], lit[2]});
            if (most > 1.0f)
                for (int i = 0; i < 3; ++i)
                    lit[i] = (1.0f - _highlight) * lit[i] / most + _highlight * std::min(lit[i], 1.0f);
        }
        // Overexposed: the highlight lets it go towards white as far as it is over.
        if (lifted > 1.0f && _highlight > 0.0f) {
            const float toWhite = _highlight * (1.0f - 1.0f / lifted);
            for (int i = 0; i < 3; ++i)
                lit[i] += (alpha - lit[i]) * toWhite;
        }
        // Premultiplied colour never exceeds its alpha.
        for (int i = 0; i < 3; ++i)
            lit[i] = std::min(lit[i], alpha);
        return lit;
    }

private:
    float curve(float exposure) const
    {
        if (exposure >= kGammaThreshold)
            return _math.exp2(_math.log2(exposure) * _invGamma);
        return std::max(exposure, 0.0f) * _thresholdSlope;
    }

    const FastMath &_math;
    float _perHit;
    float _scale;
    float _invGamma;
    float _thresholdSlope;
    float _vibrancy;
    float _highlight;
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
    const DensityOptions options = clampedDensityOptions(request.density.value_or(DensityOptions{}));
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

    const int s = options.supersample;
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
    uint64_t total = 0;
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
        total = mergeGrids(grids, cellCount, threads);
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
            total += plot.added();
        }
    }
    if (total == 0) {
        fill();
        return true;
    }

    // The filter works on the fractal's copies averaged where its maps allow,
    // the hits as they are elsewhere, in the grid's own place.
    Cell *const cells = static_cast<Cell *>(grids.front().data());
    grids.resize(1);
    std::optional<DensityFilter> filter;
    if (options.deRadius > 0) {
        const uint64_t plotted = static_cast<uint64_t>(chaosPlottedIterations(iterations));
        const DensityMasses masses = densityMasses(cells, columns, rows, frame, tables, plotted,
                                                   plotted - std::min(plotted, total), threads);
        // The kernel narrows with the hits' noise: averaged hits count for more.
        filter.emplace(masses.mass, columns, rows, options.deRadius * s * std::sqrt(masses.noiseShare), threads);
    }
    // Exposed against the game's own mean: averaging moves hits, it does not add any.
    const Exposure exposure(options, static_cast<double>(total) / static_cast<double>(cellCount));
    // The hits of one row as the filter would give them, unfiltered.
    const auto plainRow = [&](qsizetype y, float *count, float *red, float *green, float *blue) {
        const Cell *const row = cells + y * columns;
        for (qsizetype x = 0; x < columns; ++x) {
            const DensityMass m = massOf(row[x]);
            count[x] = m.count;
            red[x] = m.red;
            green[x] = m.green;
            blue[x] = m.blue;
        }
    };
    // Samples are composed over the background premultiplied, summed over the
    // S x S of a pixel, and divided out again: a transparent background
    // leaves the hits' own colour with their coverage as alpha.
    const float bgA = unit(bg.a);
    const float bgR = unit(bg.r) * bgA, bgG = unit(bg.g) * bgA, bgB = unit(bg.b) * bgA;
    const float samples = static_cast<float>(s * s);
    const qsizetype width = image.width();
    // `side` is S, a constant where it is 1 so that the common case loops once.
    const auto tone = [&](auto side, qsizetype first, qsizetype end) {
        // The filtered hits of the S sample rows of one pixel row.
        std::vector<float> buffer(static_cast<size_t>(4 * side * columns));
        float *const count = buffer.data();
        float *const red = count + side * columns;
        float *const green = red + side * columns;
        float *const blue = green + side * columns;
        for (qsizetype y = first; y < end; ++y) {
            for (int sy = 0; sy < side; ++sy) {
                const qsizetype at = sy * columns;
                if (filter)
                    filter->row(y * side + sy, count + at, red + at, green + at, blue + at);
                else
                    plainRow(y * side + sy, count + at, red + at, green + at, blue + at);
            }
            Pixel *const out = line(y);
            for (qsizetype x = 0; x < width; ++x) {
                float r = 0, g = 0, b = 0, a = 0;
                bool hit = false;
                for (int sy = 0; sy < side; ++sy) {
                    for (int sx = 0; sx < side; ++sx) {
                        const qsizetype at = sy * columns + x * side + sx;
                        const float n = count[at];
                        std::array<float, 4> lit{0, 0, 0, 0};
                        if (n > 0.0f) {
                            hit = true;
                            lit = exposure.light(n, red[at] / n, green[at] / n, blue[at] / n);
                        }
                        const float under = 1 - lit[3];
                        r += lit[0] + bgR * under;
                        g += lit[1] + bgG * under;
                        b += lit[2] + bgB * under;
                        a += lit[3] + bgA * under;
                    }
                }
                // A pixel none of whose samples holds a hit is the background exactly.
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
