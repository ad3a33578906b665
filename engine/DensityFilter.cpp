#include "engine/DensityFilter.h"

#include "engine/RasterImage.h"

#include <algorithm>
#include <cmath>
#include <new>

namespace attractor {

namespace {

// How fast the kernel narrows with the count.
constexpr double kRadiusCurve = 0.5;
// A cell's hits leave it entirely from this radius on: level 1's reach.
constexpr double kFirstLevelRadius = 4.0;

// The radius, in samples, of a cell with this many hits around it (below
// one hit, the widest).
double radiusFor(size_t count, double maxRadius)
{
    return maxRadius / std::pow(static_cast<double>(std::max<size_t>(count, 1)), kRadiusCurve);
}

} // namespace

DensityFilter::Split DensityFilter::splitFor(float count) const
{
    // Also false for NaN.
    if (!(count < static_cast<float>(_splits.size())))
        return {1.0f, 0.0f, 0};
    return _splits[static_cast<size_t>(std::max(count, 0.0f))];
}

DensityFilter::DensityFilter(const DensityMass *cells, qsizetype columns, qsizetype rows, double maxRadius, int threads)
    : _cells(cells)
    , _columns(columns)
    , _rows(rows)
{
    if (!(maxRadius > 1.0) || columns <= 0 || rows <= 0)
        return;
    // Level k reaches 2^(k+1) samples; the top one reaches the widest kernel.
    const int top = std::max(1, static_cast<int>(std::ceil(std::log2(maxRadius) - 1.0)));
    // Counts past this one keep every hit (their radius is 1 or less).
    const auto spreadUpTo = static_cast<size_t>(std::ceil(std::pow(maxRadius, 1.0 / kRadiusCurve)));
    try {
        _splits.resize(spreadUpTo + 1, Split{1.0f, 0.0f, 0});
        for (size_t count = 0; count < _splits.size(); ++count) {
            const double radius = radiusFor(count, maxRadius);
            Split &split = _splits[count];
            if (radius <= 1.0)
                continue;
            if (radius < kFirstLevelRadius) {
                split = {static_cast<float>((kFirstLevelRadius - radius) / (kFirstLevelRadius - 1.0)), 0.0f, 1};
                continue;
            }
            const double position = std::min(std::log2(radius) - 1.0, static_cast<double>(top));
            const int level = std::min(static_cast<int>(position), top - 1);
            split = {0.0f, static_cast<float>(position - level), std::max(level, 1)};
            if (level < 1)
                split.upper = 0.0f;
        }
        _levels.resize(static_cast<size_t>(top));
        for (int k = 1; k <= top; ++k) {
            Level &level = _levels[static_cast<size_t>(k - 1)];
            const qsizetype side = qsizetype(1) << k;
            level.shift = k;
            level.columns = (columns + side - 1) / side + 2;
            level.rows = (rows + side - 1) / side + 2;
            level.mass.resize(static_cast<size_t>(level.columns * level.rows), Mass{0, 0, 0, 0});
            level.used.resize(static_cast<size_t>(level.rows), 0);
        }
    } catch (const std::bad_alloc &) {
        _levels.clear();
        return;
    }

    // Bands two apart never write the same level row when each band spans
    // two of the top level's cells: the even bands go at once, then the odd.
    const qsizetype topSide = qsizetype(1) << top;
    const qsizetype bandRows = std::max<qsizetype>(2 * topSide, (rows + 4 * threads - 1) / (4 * std::max(threads, 1)));
    const qsizetype bands = (rows + bandRows - 1) / bandRows;
    for (qsizetype parity = 0; parity < 2; ++parity) {
        const qsizetype count = (bands - parity + 1) / 2;
        forRowBands(count, threads, [&](qsizetype first, qsizetype end) {
            for (qsizetype i = first; i < end; ++i) {
                const qsizetype band = 2 * i + parity;
                spread(band * bandRows, std::min(rows, (band + 1) * bandRows));
            }
        });
    }
}

float DensityFilter::pilot(qsizetype x, qsizetype y) const
{
    // The hits of the cell and its eight neighbours: a lone hit beside dense
    // cells is an edge of dense detail, not a sparse region.
    float sum = 0;
    const qsizetype left = std::max<qsizetype>(x - 1, 0), right = std::min(x + 1, _columns - 1);
    for (qsizetype j = std::max<qsizetype>(y - 1, 0); j <= std::min(y + 1, _rows - 1); ++j) {
        const DensityMass *const row = _cells + j * _columns;
        for (qsizetype i = left; i <= right; ++i)
            sum += row[i].count;
    }
    return sum;
}

void DensityFilter::spread(qsizetype firstRow, qsizetype endRow)
{
    const auto add = [this](int k, qsizetype x, qsizetype y, float share, const DensityMass &cell) {
        Level &level = _levels[static_cast<size_t>(k - 1)];
        const float scale = 1.0f / static_cast<float>(qsizetype(1) << k);
        const float u = (static_cast<float>(x) + 0.5f) * scale - 0.5f;
        const float v = (static_cast<float>(y) + 0.5f) * scale - 0.5f;
        const float fu = std::floor(u), fv = std::floor(v);
        const float wx = u - fu, wy = v - fv;
        // Index 0 is the cell before the first: u is at least -0.5.
        const qsizetype i = static_cast<qsizetype>(fu) + 1, j = static_cast<qsizetype>(fv) + 1;
        const Mass m{cell.red * share, cell.green * share, cell.blue * share, cell.count * share};
        Mass *const row0 = level.mass.data() + j * level.columns + i;
        Mass *const row1 = row0 + level.columns;
        const auto put = [&m](Mass &to, float w) {
            to.red += m.red * w;
            to.green += m.green * w;
            to.blue += m.blue * w;
            to.count += m.count * w;
        };
        level.used[static_cast<size_t>(j)] = 1;
        level.used[static_cast<size_t>(j) + 1] = 1;
        put(row0[0], (1 - wx) * (1 - wy));
        put(row0[1], wx * (1 - wy));
        put(row1[0], (1 - wx) * wy);
        put(row1[1], wx * wy);
    };
    for (qsizetype y = firstRow; y < endRow; ++y) {
        const DensityMass *const row = _cells + y * _columns;
        for (qsizetype x = 0; x < _columns; ++x) {
            const DensityMass &cell = row[x];
            if (!(cell.count > 0.0f))
                continue;
            const Split split = splitFor(pilot(x, y));
            if (split.level == 0)
                continue;
            const float away = 1.0f - split.own;
            if (split.upper < 1.0f)
                add(split.level, x, y, away * (1.0f - split.upper), cell);
            if (split.upper > 0.0f)
                add(split.level + 1, x, y, away * split.upper, cell);
        }
    }
}

void DensityFilter::row(qsizetype y, float *count, float *red, float *green, float *blue) const
{
    const DensityMass *const cells = _cells + y * _columns;
    for (qsizetype x = 0; x < _columns; ++x) {
        const DensityMass &cell = cells[x];
        const float own = active() && cell.count > 0.0f ? splitFor(pilot(x, y)).own : 1.0f;
        count[x] = cell.count * own;
        red[x] = cell.red * own;
        green[x] = cell.green * own;
        blue[x] = cell.blue * own;
    }
    for (const Level &level : _levels) {
        const float scale = 1.0f / static_cast<float>(qsizetype(1) << level.shift);
        // Each level cell's mass lands on 4^k samples in all: read back, it is shared out again.
        const float area = scale * scale;
        const float v = (static_cast<float>(y) + 0.5f) * scale - 0.5f;
        const float fv = std::floor(v);
        const float wy = v - fv;
        const qsizetype j = static_cast<qsizetype>(fv) + 1;
        if (!level.used[static_cast<size_t>(j)] && !level.used[static_cast<size_t>(j) + 1])
            continue;
        const Mass *const row0 = level.mass.data() + j * level.columns;
        const Mass *const row1 = row0 + level.columns;
        const float w0 = (1 - wy) * area, w1 = wy * area;
        for (qsizetype x = 0; x < _columns; ++x) {
            const float u = (static_cast<float>(x) + 0.5f) * scale - 0.5f;
            const float fu = std::floor(u);
            const float wx = u - fu;
            const qsizetype i = static_cast<qsizetype>(fu) + 1;
            const float a = (1 - wx) * w0, b = wx * w0, c = (1 - wx) * w1, d = wx * w1;
            const Mass &p = row0[i], &q = row0[i + 1], &r = row1[i], &s = row1[i + 1];
            count[x] += p.count * a + q.count * b + r.count * c + s.count * d;
            red[x] += p.red * a + q.red * b + r.red * c + s.red * d;
            green[x] += p.green * a + q.green * b + r.green * c + s.green * d;
            blue[x] += p.blue * a + q.blue * b + r.blue * c + s.blue * d;
        }
    }
}

} // namespace attractor
