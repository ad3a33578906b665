#pragma once

#include "model/Colour.h"
#include "model/QvTransform.h"

#include <array>
#include <cstdint>
#include <cstdlib>
#include <utility>
#include <vector>

namespace attractor {

class QvFrac;

// Everything one draw needs, copied from the fractal before the loop so that
// the loop touches no model object and a worker can draw from a snapshot.
struct ChaosTables {
    struct MapColour {
        float red = 0.0f;
        float green = 0.0f;
        float blue = 0.0f;
    };

    std::vector<_t_matrix> matrix;
    std::vector<MapColour> colour;
    std::vector<float> weight;
    std::vector<int> share;
    // Map index per slot; meaningless when there are no maps.
    std::array<int, 100> table{};
    _rgb_color bgColor;
    int32_t iterations = 0;

    bool empty() const { return matrix.empty(); }
};

// Builds the per-map tables and the 100-slot selection table. The background
// and the fractal's own iteration count come along.
ChaosTables buildChaosTables(const QvFrac &fractal);

inline constexpr int32_t kWarmUpIterations = 1000;

// The chaos game, shared by every back end. For k = 1 .. n-1: `check(k)`
// (return false to stop at once), pick a map with rand() % 100, move the
// walker, blend the colour, and from k = 1001 on `plot(x, y, r, g, b)`.
// A fractal without maps plots nothing.
template <typename Plot, typename Check>
inline void runChaosGame(const ChaosTables &tables, int32_t n, Plot &&plot, Check &&check)
{
    if (tables.empty())
        return;
    const _t_matrix *const matrix = tables.matrix.data();
    const ChaosTables::MapColour *const colour = tables.colour.data();
    const int *const table = tables.table.data();
    float x = 0.0f, y = 0.0f;
    float red = 0.0f, green = 0.0f, blue = 0.0f;
    for (int32_t k = 1; k < n; ++k) {
        if (!check(k))
            return;
        const int i = table[std::rand() % 100];
        const _t_matrix &m = matrix[i];
        const float nx = m.a * x + m.b * y + m.tx;
        const float ny = m.c * x + m.d * y + m.ty;
        x = nx;
        y = ny;
        red = (colour[i].red + red) / 2.0f;
        green = (colour[i].green + green) / 2.0f;
        blue = (colour[i].blue + blue) / 2.0f;
        if (k > kWarmUpIterations)
            plot(x, y, red, green, blue);
    }
}

template <typename Plot>
inline void runChaosGame(const ChaosTables &tables, int32_t n, Plot &&plot)
{
    runChaosGame(tables, n, std::forward<Plot>(plot), [](int32_t) { return true; });
}

} // namespace attractor
