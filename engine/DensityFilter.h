#pragma once

#include <QtGlobal>

#include <cstdint>
#include <vector>

namespace attractor {

// One supersampled pixel of a density picture: the mean colour of its hits
// and their count. A running mean stays as exact as its colours however many
// hits come (a float sum would lose the colour's low digits past a few
// hundred thousand).
struct DensityCell {
    float red = 0.0f;
    float green = 0.0f;
    float blue = 0.0f;
    uint32_t count = 0;
};
static_assert(sizeof(DensityCell) == 16);

// Hits as the filter takes them: their count, which need not be whole, and
// their colours' sums.
struct DensityMass {
    float red = 0.0f;
    float green = 0.0f;
    float blue = 0.0f;
    float count = 0.0f;
};
static_assert(sizeof(DensityMass) == 16);

inline DensityMass massOf(const DensityCell &c)
{
    const float n = static_cast<float>(c.count);
    return {c.red * n, c.green * n, c.blue * n, n};
}

// The adaptive noise filter of density pictures. Each cell's hits are spread
// by a kernel whose radius shrinks as the hits around it grow: maxRadius /
// sqrt(hits of the cell and its eight neighbours), so a lone hit is smoothed
// over the widest kernel, while a cell among many hits (maxRadius^2 or more)
// stays sharp, and so does a sparse cell at the edge of dense detail. The kernels come from a pyramid:
// a cell's hits are split between itself and the two levels nearest its
// radius (level k has cells 2^k samples wide, each reaching 2^(k+1) samples),
// spread bilinearly over that level's cells and read back bilinearly, which
// keeps every hit where it was on average and costs the same whatever the
// radius. With a radius of 1 or less nothing is filtered.
class DensityFilter
{
public:
    // The grid of columns x rows cells; the levels are made on up to `threads` threads.
    DensityFilter(const DensityMass *cells, qsizetype columns, qsizetype rows, double maxRadius, int threads);

    // Whether any cell's hits are spread (false also when the levels could not be had).
    bool active() const { return !_levels.empty(); }
    // The filtered hits of row y: their count and their colours' sums, per column.
    void row(qsizetype y, float *count, float *red, float *green, float *blue) const;

private:
    using Mass = DensityMass;
    struct Level {
        int shift = 0;
        qsizetype columns = 0, rows = 0;
        std::vector<Mass> mass;
        // Rows that received any mass: the others are skipped when read back.
        std::vector<char> used;
    };
    // Where a count's hits go: the share kept in its cell and the level (from
    // 1) and share of the upper of the two levels it is split between.
    struct Split {
        float own;
        float upper;
        int level;
    };
    Split splitFor(float count) const;
    float pilot(qsizetype x, qsizetype y) const;
    void spread(qsizetype firstRow, qsizetype endRow);

    const DensityMass *_cells;
    qsizetype _columns, _rows;
    std::vector<Split> _splits;
    std::vector<Level> _levels;
};

} // namespace attractor
