#pragma once

#include "model/QvFrac.h"
#include "model/QvTransform.h"
#include "renderer/ChaosGame.h"

#include <optional>
#include <vector>

namespace attractor::test {

struct MapSpec {
    QPointF scale{0.5, 0.5};
    QPointF translation{0, 0};
    _rgb_color colour{1, 1, 1, 1};
    float probability = 1.0f;
    float rotation = 0.0f;
};

inline FracPtr makeFractal(const std::vector<MapSpec> &maps, int32_t iterations = 200000,
                           _rgb_color background = {0, 0, 0, 1})
{
    auto list = std::make_shared<TransformList>();
    for (const MapSpec &m : maps) {
        auto t = std::make_shared<QvTransform>(m.scale, m.rotation, m.translation, m.colour);
        t->setProbability(m.probability);
        list->push_back(t);
    }
    return std::make_shared<QvFrac>(list, iterations, background);
}

struct PlottedPoint {
    float x, y, red, green, blue;
};

// Every point the chaos game plots, in order, seeded from rand() or as given.
inline std::vector<PlottedPoint> recordPlots(const ChaosTables &tables, int32_t iterations,
                                             std::optional<uint32_t> seed = std::nullopt)
{
    std::vector<PlottedPoint> points;
    runChaosGame(tables, iterations, seed ? *seed : drawSeed(),
                 [&](float x, float y, float r, float g, float b) { points.push_back({x, y, r, g, b}); });
    return points;
}

} // namespace attractor::test
