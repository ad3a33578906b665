#include "engine/Fitting.h"

#include "engine/ChaosGame.h"
#include "model/QvFrac.h"
#include "model/QvTransform.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace attractor {

namespace {

// Any fixed seed: the fit must not change from one import to the next.
constexpr uint32_t kFitSeed = 1;

bool finite(const _t_matrix &m)
{
    return std::isfinite(m.a) && std::isfinite(m.b) && std::isfinite(m.c) && std::isfinite(m.d)
           && std::isfinite(m.tx) && std::isfinite(m.ty);
}

} // namespace

std::optional<QRectF> attractorBounds(const QvFrac &fractal, int32_t n)
{
    const ChaosTables tables = buildChaosTables(fractal);
    constexpr double inf = std::numeric_limits<double>::infinity();
    double left = inf, right = -inf, bottom = inf, top = -inf;
    bool bounded = true;
    // Stops at the first point off to infinity: nothing after it counts.
    const bool done = runChaosGame(
        tables, n, kFitSeed,
        [&](float x, float y, float, float, float) {
            bounded = bounded && std::isfinite(x) && std::isfinite(y);
            left = std::min<double>(left, x), right = std::max<double>(right, x);
            bottom = std::min<double>(bottom, y), top = std::max<double>(top, y);
        },
        [&bounded] { return bounded; });
    if (!done || !bounded || !(left <= right))
        return std::nullopt;
    return QRectF(QPointF(left, bottom), QPointF(right, top));
}

void applySimilarity(QvFrac &fractal, double s, QPointF offset)
{
    for (const TransformPtr &map : *fractal.transforms()) {
        const _t_matrix m = map->transformMatrix();
        const QPointF t = map->translation();
        map->setTranslation(QPointF(s * t.x() + offset.x() - (m.a * offset.x() + m.b * offset.y()),
                                    s * t.y() + offset.y() - (m.c * offset.x() + m.d * offset.y())));
    }
}

bool fitIntoFrame(QvFrac &fractal)
{
    const std::optional<QRectF> bounds = attractorBounds(fractal);
    if (!bounds)
        return false;
    const double side = std::max(bounds->width(), bounds->height());
    double s = 2.0 * kFitHalfSide / side;
    if (!(side > 0.0) || !std::isfinite(s))
        s = 1.0;
    const QPointF offset = -s * bounds->center();
    const FracPtr fitted = fractal.clone();
    applySimilarity(*fitted, s, offset);
    for (const TransformPtr &map : *fitted->transforms())
        if (!finite(map->transformMatrix()))
            return false;
    for (size_t i = 0; i < fitted->transforms()->size(); ++i)
        fractal.transforms()->at(i)->setTranslation(fitted->transforms()->at(i)->translation());
    return true;
}

} // namespace attractor
