#include "engine/CopyAverage.h"

#include "engine/ChaosGame.h"
#include "engine/LargeBuffer.h"
#include "engine/PixelMapping.h"
#include "engine/RasterImage.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>
#include <vector>

namespace attractor {

namespace {

struct Affine {
    double a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0;

    double x(double u, double v) const { return a * u + b * v + tx; }
    double y(double u, double v) const { return c * u + d * v + ty; }
    double det() const { return a * d - b * c; }
    bool finite() const
    {
        return std::isfinite(a) && std::isfinite(b) && std::isfinite(c) && std::isfinite(d) && std::isfinite(tx)
            && std::isfinite(ty);
    }
    Affine inverse() const
    {
        const double k = 1.0 / det();
        Affine i{d * k, -b * k, -c * k, a * k, 0, 0};
        i.tx = -(i.a * tx + i.b * ty);
        i.ty = -(i.c * tx + i.d * ty);
        return i;
    }
    // The largest factor by which it stretches a length.
    double stretch() const
    {
        const double t = a * a + b * b + c * c + d * d;
        const double s = det();
        return std::sqrt((t + std::sqrt(std::max(0.0, t * t - 4 * s * s))) / 2);
    }
};

Affine ofMatrix(const _t_matrix &m)
{
    return {m.a, m.b, m.c, m.d, m.tx, m.ty};
}

// The map as it moves pixels: x right, y up from the bottom edge, a cell
// one unit wide, as the plots find a point's cell.
Affine onPixels(const Affine &m, const PixelMapping &f)
{
    // The document point at the grid's lower-left corner.
    const double lx = f.left - f.originX / f.scaleX, ly = f.bottom - f.originY / f.scaleY;
    return {m.a,
            m.b * f.scaleX / f.scaleY,
            m.c * f.scaleY / f.scaleX,
            m.d,
            (m.x(lx, ly) - f.left) * f.scaleX + f.originX,
            (m.y(lx, ly) - f.bottom) * f.scaleY + f.originY};
}

// Whether every map shrinks and the box they map into itself lies on the
// grid: then the whole fractal does.
bool keptBoxOnGrid(const std::vector<Affine> &maps, const PixelMapping &frame, double columns, double rows)
{
    double radius = 0;
    for (const Affine &m : maps) {
        const double s = m.stretch();
        if (!(s < 1.0))
            return false;
        radius = std::max(radius, std::hypot(m.tx, m.ty) / (1.0 - s));
    }
    // Any box holding the fractal maps into one that still holds it, and
    // closer: from the disc every map keeps, towards the fractal's own box.
    double left = -radius, right = radius, bottom = -radius, top = radius;
    for (int step = 0; step < 10000; ++step) {
        double l = std::numeric_limits<double>::infinity(), r = -l, b = l, t = -l;
        for (const Affine &m : maps)
            for (const double u : {left, right})
                for (const double v : {bottom, top}) {
                    l = std::min(l, m.x(u, v));
                    r = std::max(r, m.x(u, v));
                    b = std::min(b, m.y(u, v));
                    t = std::max(t, m.y(u, v));
                }
        const double change = std::max({std::abs(l - left), std::abs(r - right), std::abs(b - bottom), std::abs(t - top)});
        left = l, right = r, bottom = b, top = t;
        if (!(change > 1e-12 * (1.0 + radius)))
            break;
    }
    const QPointF low = frame.toPixels({left, bottom}), high = frame.toPixels({right, top});
    // A thousandth of a cell: points exactly on the far edges fall off the
    // grid in any case.
    constexpr double kSlack = 1e-3;
    return low.x() >= -kSlack && low.y() >= -kSlack && high.x() <= columns + kSlack && high.y() <= rows + kSlack;
}

// Per row, the columns [first, end) whose cell's preimage under every map lies on the grid.
void knownSpans(const std::vector<Affine> &inverses, qsizetype columns, qsizetype rows, std::vector<qsizetype> &first,
                std::vector<qsizetype> &end)
{
    const double w = static_cast<double>(columns), h = static_cast<double>(rows);
    for (qsizetype y = 0; y < rows; ++y) {
        double lo = 0, hi = w;
        const auto within = [&](double slope, double at, double limit) {
            // 0 <= slope * x + at <= limit
            if (slope == 0) {
                if (!(at >= 0 && at <= limit))
                    hi = -1;
                return;
            }
            double x0 = -at / slope, x1 = (limit - at) / slope;
            if (x0 > x1)
                std::swap(x0, x1);
            lo = std::max(lo, x0);
            hi = std::min(hi, x1);
        };
        for (const Affine &m : inverses)
            for (const double dy : {0.0, 1.0})
                for (const double dx : {0.0, 1.0}) {
                    // Row y spans rows - 1 - y to rows - y upwards.
                    const double v = h - 1.0 - static_cast<double>(y) + dy;
                    within(m.a, m.a * dx + m.b * v + m.tx, w);
                    within(m.c, m.c * dx + m.d * v + m.ty, h);
                }
        // A cell whose preimage touches the grid's edge is on it, rounding aside.
        constexpr double kSlack = 1e-9;
        const qsizetype a = static_cast<qsizetype>(std::clamp(std::ceil(lo - kSlack), 0.0, w));
        const qsizetype b = static_cast<qsizetype>(std::clamp(std::floor(hi + kSlack) + 1, 0.0, w));
        first[static_cast<size_t>(y)] = a;
        end[static_cast<size_t>(y)] = std::max(a, b);
    }
}

// Adds n hits of this colour spread over the box of size w x h centred on
// (x, y) (y up), as far as it covers the rows [top, bottom) (y down) of the
// grid.
inline void splat(DensityMass *mass, qsizetype columns, qsizetype rows, qsizetype top, qsizetype bottom, double x,
                  double y, double w, double h, float n, float red, float green, float blue)
{
    const double x0 = x - w / 2, x1 = x + w / 2, y0 = y - h / 2, y1 = y + h / 2;
    const qsizetype i0 = static_cast<qsizetype>(std::floor(x0)), i1 = static_cast<qsizetype>(std::floor(x1));
    const qsizetype j0 = static_cast<qsizetype>(std::floor(y0)), j1 = static_cast<qsizetype>(std::floor(y1));
    for (qsizetype j = std::max(j0, rows - bottom); j <= std::min(j1, rows - 1 - top); ++j) {
        const double wy = h > 0 ? (std::min(y1, double(j + 1)) - std::max(y0, double(j))) / h : 1.0;
        if (!(wy > 0))
            continue;
        DensityMass *const row = mass + (rows - 1 - j) * columns;
        for (qsizetype i = std::max<qsizetype>(i0, 0); i <= std::min(i1, columns - 1); ++i) {
            const double wx = w > 0 ? (std::min(x1, double(i + 1)) - std::max(x0, double(i))) / w : 1.0;
            if (!(wx > 0))
                continue;
            const float k = n * static_cast<float>(wx * wy);
            DensityMass &to = row[i];
            to.red += red * k;
            to.green += green * k;
            to.blue += blue * k;
            to.count += k;
        }
    }
}

// The maps as they move cells, each with its colour and share of the draws,
// and per row the columns whose every copied hit is known.
struct CopyPlan {
    std::vector<Affine> moves;
    std::vector<ChaosTables::MapColour> colours;
    std::vector<float> shares;
    std::vector<qsizetype> first, end;
    bool whole = false;
};

std::optional<CopyPlan> planCopies(qsizetype columns, qsizetype rows, const PixelMapping &frame,
                                   const ChaosTables &tables, uint64_t plotted, uint64_t offGrid)
{
    if (columns <= 0 || rows <= 0 || tables.empty())
        return std::nullopt;
    const std::vector<double> shares = drawShares(tables);
    CopyPlan plan;
    std::vector<Affine> maps;
    for (size_t i = 0; i < shares.size(); ++i) {
        if (!(shares[i] > 0))
            continue;
        const Affine m = ofMatrix(tables.matrix[i]);
        const Affine g = onPixels(m, frame);
        if (!m.finite() || !g.finite() || g.stretch() > 2.0)
            return std::nullopt;
        maps.push_back(m);
        plan.moves.push_back(g);
        plan.colours.push_back(tables.colour[i]);
        plan.shares.push_back(static_cast<float>(shares[i]));
    }
    // Each cell with hits is copied once a map: with many maps on a large
    // picture that would take longer than the game.
    const double copies = double(maps.size()) * double(std::min<uint64_t>(plotted - std::min(plotted, offGrid),
                                                                            uint64_t(columns * rows)));
    if (maps.empty() || copies > 4.0 * (double(plotted) + double(columns * rows)))
        return std::nullopt;

    // Points the game rounds onto the grid's far edges fall off it; their
    // copies are lost, so only a few may.
    plan.whole = offGrid == 0
        || (offGrid <= plotted / 10000
            && keptBoxOnGrid(maps, frame, static_cast<double>(columns), static_cast<double>(rows)));
    plan.first.assign(static_cast<size_t>(rows), 0);
    plan.end.assign(static_cast<size_t>(rows), columns);
    if (!plan.whole) {
        std::vector<Affine> inverses;
        for (const Affine &g : plan.moves) {
            // A collapsed copy's preimage is a whole strip of the plane.
            if (!(std::abs(g.det()) > 1e-12))
                return std::nullopt;
            inverses.push_back(g.inverse());
        }
        knownSpans(inverses, columns, rows, plan.first, plan.end);
    }
    return plan;
}

// Rewrites each cell as its mass, in its own place.
void convertInPlace(DensityCell *cells, qsizetype count, int threads)
{
    forRowBands(count, threads, [cells](qsizetype first, qsizetype end) {
        for (qsizetype i = first; i < end; ++i) {
            const DensityMass m = massOf(cells[i]);
            std::memcpy(static_cast<void *>(cells + i), &m, sizeof m);
        }
    });
}

} // namespace

DensityMasses densityMasses(DensityCell *cells, qsizetype columns, qsizetype rows, const PixelMapping &frame,
                            const ChaosTables &tables, uint64_t plotted, uint64_t offGrid, int threads)
{
    static_assert(sizeof(DensityCell) == sizeof(DensityMass));
    DensityMass *const mass = reinterpret_cast<DensityMass *>(cells);
    const std::optional<CopyPlan> plan = planCopies(columns, rows, frame, tables, plotted, offGrid);
    if (!plan) {
        convertInPlace(cells, columns * rows, threads);
        return {mass};
    }

    // The cells with hits, row by row, copied out: the grid then takes the copies.
    std::vector<qsizetype> rowStart(static_cast<size_t>(rows) + 1, 0);
    forRowBands(rows, threads, [&](qsizetype firstRow, qsizetype endRow) {
        for (qsizetype y = firstRow; y < endRow; ++y) {
            const DensityCell *const row = cells + y * columns;
            rowStart[static_cast<size_t>(y) + 1] =
                std::count_if(row, row + columns, [](const DensityCell &c) { return c.count != 0; });
        }
    });
    for (size_t y = 1; y < rowStart.size(); ++y)
        rowStart[y] += rowStart[y - 1];
    const qsizetype lit = rowStart.back();
    LargeBuffer litCells(static_cast<size_t>(lit) * sizeof(DensityCell)), litColumns(static_cast<size_t>(lit) * sizeof(uint32_t));
    if (lit == 0 || !litCells || !litColumns) {
        convertInPlace(cells, columns * rows, threads);
        return {mass};
    }
    DensityCell *const sources = static_cast<DensityCell *>(litCells.data());
    uint32_t *const sourceColumns = static_cast<uint32_t *>(litColumns.data());
    forRowBands(rows, threads, [&](qsizetype firstRow, qsizetype endRow) {
        for (qsizetype y = firstRow; y < endRow; ++y) {
            DensityCell *const row = cells + y * columns;
            qsizetype at = rowStart[static_cast<size_t>(y)];
            for (qsizetype x = 0; x < columns; ++x)
                if (row[x].count != 0) {
                    sources[at] = row[x];
                    sourceColumns[at++] = static_cast<uint32_t>(x);
                }
            std::memset(static_cast<void *>(row), 0, static_cast<size_t>(columns) * sizeof(DensityCell));
        }
    });

    // Each thread fills its own band of rows, reading every source row whose
    // copy under some map reaches it.
    const int bands = static_cast<int>(std::clamp<qsizetype>(threads, 1, rows));
    forRowBands(bands, bands, [&](qsizetype firstBand, qsizetype endBand) {
        for (qsizetype band = firstBand; band < endBand; ++band) {
            const qsizetype top = band * rows / bands, bottom = (band + 1) * rows / bands;
            for (size_t k = 0; k < plan->moves.size(); ++k) {
                const Affine &g = plan->moves[k];
                // A cell's copy, as a box of its spread along x and y.
                const double w = std::hypot(g.a, g.b), h = std::hypot(g.c, g.d);
                const float share = plan->shares[k];
                const ChaosTables::MapColour colour = plan->colours[k];
                for (qsizetype y = 0; y < rows; ++y) {
                    // Where the copy of this source row reaches, y up.
                    const double v0 = static_cast<double>(rows - 1 - y), v1 = v0 + 1, right = double(columns);
                    const double reach0 = std::min({g.y(0, v0), g.y(right, v0), g.y(0, v1), g.y(right, v1)}) - h;
                    const double reach1 = std::max({g.y(0, v0), g.y(right, v0), g.y(0, v1), g.y(right, v1)}) + h;
                    if (reach1 < static_cast<double>(rows - bottom) || reach0 >= static_cast<double>(rows - top))
                        continue;
                    for (qsizetype i = rowStart[static_cast<size_t>(y)]; i < rowStart[static_cast<size_t>(y) + 1]; ++i) {
                        const DensityCell &c = sources[i];
                        const double u = static_cast<double>(sourceColumns[i]) + 0.5, v = v0 + 0.5;
                        splat(mass, columns, rows, top, bottom, g.x(u, v), g.y(u, v), w, h,
                              static_cast<float>(c.count) * share, (colour.red + c.red) / 2,
                              (colour.green + c.green) / 2, (colour.blue + c.blue) / 2);
                    }
                }
            }
            // Cells some hit may reach from off the grid keep their own.
            for (qsizetype y = top; y < bottom; ++y) {
                const qsizetype a = plan->first[static_cast<size_t>(y)], b = plan->end[static_cast<size_t>(y)];
                DensityMass *const row = mass + y * columns;
                std::fill(row, row + a, DensityMass{});
                std::fill(row + b, row + columns, DensityMass{});
                for (qsizetype i = rowStart[static_cast<size_t>(y)]; i < rowStart[static_cast<size_t>(y) + 1]; ++i) {
                    const qsizetype x = sourceColumns[i];
                    if (x < a || x >= b)
                        row[x] = massOf(sources[i]);
                }
            }
        }
    });
    double noiseShare = 1.0;
    if (plan->whole) {
        noiseShare = 0.0;
        for (const float share : plan->shares)
            noiseShare += double(share) * share;
    }
    return {mass, noiseShare};
}

} // namespace attractor
