#pragma once

#include "engine/DensityFilter.h"

#include <QtGlobal>

#include <cstdint>

namespace attractor {

struct ChaosTables;
struct PixelMapping;

// A fractal is the sum of its maps' copies of itself, each weighted by the
// share of draws its map gets. So applying every map once to the counts of a
// density picture estimates the same picture, but each copy is now made from
// all the hits of the region it copies: a map that shrinks a region of k
// cells into one averages k cells' noise, and the copy of a rarely drawn map
// is made from the hits of the whole fractal instead of its own few. Nothing
// is blurred but within the copy of one cell, smaller than a cell wherever
// the maps shrink.
//
// The grid's hits (`cells`, a grid on `frame`, y down) rewritten in place
// as the filter takes them, and returned: each map carries the hits in
// proportion to its draws where every hit that can reach a cell is known.
// That is everywhere when the whole fractal lies on the grid: none of the
// game's `plotted` points fell off it, or a few did (`offGrid`), on its
// edges, while every map shrinks and the box they keep lies on it.
// Otherwise it is the cells whose whole preimage under every map lies on the
// grid. Other cells keep their own hits, and so do all where the maps cannot
// be applied so (a drawn map that is not a number, stretches the plane more
// than twice, or collapses it where the fractal reaches off the grid) or
// where copying every cell with hits under every map would take longer than
// the game.
//
// The noise of n averaged hits is that of n * `noiseShare` hits as they
// fall: the sum of the squared shares of the maps' draws where every cell is
// averaged (a copy made from the hits of a region its map's share 1/k of
// the draws copies has k times the hits), 1 otherwise.
struct DensityMasses {
    DensityMass *mass = nullptr;
    double noiseShare = 1.0;
};
DensityMasses densityMasses(DensityCell *cells, qsizetype columns, qsizetype rows, const PixelMapping &frame,
                            const ChaosTables &tables, uint64_t plotted, uint64_t offGrid, int threads);

} // namespace attractor
