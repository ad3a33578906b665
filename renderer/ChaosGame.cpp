#include "renderer/ChaosGame.h"

#include "model/QvFrac.h"

#include <algorithm>
#include <cmath>
#include <math.h>

namespace attractor {

ChaosTables buildChaosTables(const QvFrac &fractal)
{
    ChaosTables t;
    t.bgColor = fractal.bgColor();
    t.iterations = fractal.iterations();
    const TransformList &maps = *fractal.transforms();
    const size_t n = maps.size();
    t.matrix.reserve(n);
    t.colour.reserve(n);
    t.weight.reserve(n);
    t.share.reserve(n);

    float sum = 0.0f;
    for (const TransformPtr &map : maps) {
        t.matrix.push_back(map->transformMatrix());
        const _rgb_color rgb = map->rgb();
        t.colour.push_back({rgb.r, rgb.g, rgb.b});
        const QPointF scale = map->scale();
        float area = static_cast<float>(scale.x() * scale.y());
        if (area < 0)
            area = -area;
        float w = powf(area, map->probability());
        // Zero-area maps keep a small chance of being picked, or their part of
        // the attractor would vanish.
        if (static_cast<double>(w) < 0.01)
            w = 0.01f;
        t.weight.push_back(w);
        sum += w;
    }

    int cursor = 0;
    for (size_t i = 0; i < n; ++i) {
        const float fraction = (t.weight[i] / sum) * 100.0f;
        const double whole = std::floor(static_cast<double>(fraction));
        // Non-finite weights (a huge scale raised to a huge power) give a
        // quotient that is not a number: such a map gets no slots of its own,
        // and nothing is ever written past the table.
        int share = whole >= 0.0 ? static_cast<int>(std::min(whole, 100.0)) : 0;
        share = std::min(share, 100 - cursor);
        t.share.push_back(share);
        for (int s = 0; s < share; ++s)
            t.table[cursor + s] = static_cast<int>(i);
        cursor += share;
    }
    for (int s = cursor; s < 100; ++s)
        t.table[s] = n > 0 ? static_cast<int>(n - 1) : 0;
    return t;
}

} // namespace attractor
