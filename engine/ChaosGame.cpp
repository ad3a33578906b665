#include "engine/ChaosGame.h"

#include "model/QvFrac.h"

#include <algorithm>
#include <cmath>
#include <math.h>

namespace attractor {

namespace {

constexpr int64_t kMaxWorkers = 256;
// The generator's values: 0 .. 2^31 - 1.
constexpr double kDraws = 2147483648.0;

// Bounds on the generator's 2^31 values in proportion to the weights. A map
// whose weight is not a number gets none; infinite weights share all draws
// equally; with no usable weight at all, the last map takes everything, as
// it takes the table's leftovers.
std::vector<uint32_t> cumulativeBounds(const std::vector<float> &weight)
{
    const bool anyInfinite = std::any_of(weight.begin(), weight.end(), [](float w) { return std::isinf(w); });
    std::vector<double> usable(weight.size());
    double sum = 0.0;
    for (size_t i = 0; i < weight.size(); ++i) {
        const double w = weight[i];
        usable[i] = anyInfinite ? (std::isinf(w) ? 1.0 : 0.0) : (w > 0.0 ? w : 0.0);
        sum += usable[i];
    }
    if (!(sum > 0.0)) {
        usable.back() = 1.0;
        sum = 1.0;
    }
    std::vector<uint32_t> bound(weight.size());
    double running = 0.0;
    for (size_t i = 0; i < weight.size(); ++i) {
        running += usable[i];
        bound[i] = static_cast<uint32_t>(std::min(kDraws, std::floor(running / sum * kDraws)));
    }
    bound.back() = static_cast<uint32_t>(kDraws);
    return bound;
}

float mapArea(const QvTransform &map)
{
    const QPointF scale = map.scale();
    float area = static_cast<float>(scale.x() * scale.y());
    if (area < 0)
        area = -area;
    return area;
}

} // namespace

float selectionWeight(const QvTransform &map)
{
    float w = powf(mapArea(map), map.probability());
    // Zero-area maps keep a small chance of being picked, or their part of
    // the attractor would vanish.
    if (static_cast<double>(w) < 0.01)
        w = 0.01f;
    return w;
}

float probabilityForWeight(const QvTransform &map, double weight)
{
    const double area = mapArea(map);
    const double wanted = weight > 0.01 ? weight : 0.01;
    // Whichever of 0.01 and 1 is nearer by ratio.
    if (area == 0.0)
        return wanted < 0.1 ? 1.0f : 0.0f;
    const double p = std::log(wanted) / std::log(area);
    // Near area 1 the power may pass the float range; there the weight
    // hardly depends on it anyway.
    if (!std::isfinite(p) || std::fabs(p) > 1e30)
        return 1.0f;
    return static_cast<float>(p);
}

std::vector<double> drawShares(const ChaosTables &tables)
{
    std::vector<double> shares(tables.matrix.size(), 0.0);
    if (shares.empty())
        return shares;
    if (tables.bound.empty()) {
        for (const int map : tables.table)
            shares[static_cast<size_t>(map)] += 1;
        for (double &share : shares)
            share /= static_cast<double>(tables.table.size());
        return shares;
    }
    uint32_t below = 0;
    for (size_t i = 0; i < shares.size(); ++i) {
        shares[i] = static_cast<double>(tables.bound[i] - std::min(tables.bound[i], below)) / kDraws;
        below = std::max(below, tables.bound[i]);
    }
    return shares;
}

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
        const float w = selectionWeight(*map);
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
    if (n > t.table.size())
        t.bound = cumulativeBounds(t.weight);
    return t;
}

uint32_t drawSeed()
{
    return static_cast<uint32_t>(std::rand());
}

int chaosWorkerCount(int32_t n, int threads)
{
    // Below this many plotted points per walker, a thread's start and its
    // warm-up cost more than its share of the game saves.
    constexpr int64_t kMinShare = 100000;
    const int64_t most = std::max<int64_t>(1, chaosPlottedIterations(n) / kMinShare);
    return static_cast<int>(std::clamp<int64_t>(threads, 1, std::min<int64_t>(most, kMaxWorkers)));
}

uint32_t chaosWorkerSeed(uint32_t seed, int worker)
{
    if (worker == 0)
        return seed;
    // SplitMix64 of the seed and the walker's number: neighbouring walkers
    // get unrelated seeds.
    uint64_t z = (static_cast<uint64_t>(seed) << 32 | static_cast<uint32_t>(worker)) + 0x9e3779b97f4a7c15ULL;
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return static_cast<uint32_t>(z ^ (z >> 31));
}

int64_t chaosPlottedIterations(int32_t n)
{
    return std::max<int64_t>(0, static_cast<int64_t>(n) - kWarmUpIterations - 1);
}

ChaosProgress::ChaosProgress(int32_t n, int workers, const std::function<void()> *increment)
    : _increment(increment && *increment ? increment : nullptr)
    , _asked(std::max<int64_t>(0, static_cast<int64_t>(n) - 1))
    , _step(n / 95)
{
    // Every walker's warm-up, and the plotted points they share.
    const int64_t warmUp = std::clamp<int64_t>(static_cast<int64_t>(n) - 1, 0, kWarmUpIterations);
    _total = workers > 1 ? workers * warmUp + chaosPlottedIterations(n) : _asked;
}

void ChaosProgress::report()
{
    if (!_increment || _step <= 0 || _total <= 0)
        return;
    const int64_t done = std::min(_done.load(std::memory_order_relaxed), _total);
    // done * asked stays below 2^63 for any walker count in use.
    const int64_t due = done * _asked / _total / _step;
    for (; _reported < due; ++_reported)
        (*_increment)();
}

} // namespace attractor
