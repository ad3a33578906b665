#pragma once

#include "model/Colour.h"
#include "model/QvTransform.h"
#include "engine/GlibcRandom.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <span>
#include <system_error>
#include <thread>
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
    // Only for more than 100 maps, where 100 slots would starve most maps:
    // map i takes the draws below bound[i] (and at or above bound[i - 1]) of
    // the 2^31 that the generator yields, so each is drawn in proportion to
    // its weight. Empty when the table serves.
    std::vector<uint32_t> bound;
    _rgb_color bgColor;
    int32_t iterations = 0;

    bool empty() const { return matrix.empty(); }
};

// How heavily the chaos game favours a map: its area |sx sy| raised to its
// probability, and at least 0.01 so that a map of no area still shows. Maps
// are drawn in proportion to these weights.
float selectionWeight(const QvTransform &map);
// The probability whose selectionWeight for this map's area comes nearest
// to weight: weights below 0.01 act as 0.01; a map of area 1 (or not a
// number) weighs the same at every probability and gets 1; one of no area
// only weighs 0.01 (probability 1) or 1 (probability 0).
float probabilityForWeight(const QvTransform &map, double weight);

// Builds the per-map tables and the selection: the 100-slot table for up to
// 100 maps, the cumulative bounds beyond. The background and the fractal's
// own iteration count come along.
ChaosTables buildChaosTables(const QvFrac &fractal);
// The share of the game's draws each map gets, as the table or the bounds
// hand them out (they sum to 1 when there are maps).
std::vector<double> drawShares(const ChaosTables &tables);

inline constexpr int32_t kWarmUpIterations = 1000;
// Iterations between two looks at cancel and progress: well under a
// millisecond of drawing, and no cost worth measuring in the loop.
inline constexpr int32_t kChaosChunk = 1024;
// Plotted iterations a walker claims at a time when several share a draw.
inline constexpr int64_t kChaosBatch = 64 * kChaosChunk;

// A seed for one draw, taken from the process-wide rand() (which random
// fractal generation seeds): one call per draw, wherever the draw runs.
uint32_t drawSeed();

// How many walkers a draw of n iterations gets when `threads` are offered:
// short draws keep one, since each walker repeats the warm-up.
int chaosWorkerCount(int32_t n, int threads);
// Walker w's seed: walker 0 keeps the draw's seed, so one walker draws what
// rand() after srand(seed) would.
uint32_t chaosWorkerSeed(uint32_t seed, int worker);
// The points a draw of n iterations plots past its warm-up, on any number of
// walkers: each walker warms up in full, then they share these.
int64_t chaosPlottedIterations(int32_t n);

// Progress of a draw summed over its walkers: one increment per (n / 95)
// iterations of the n asked for, the walkers' extra warm-ups scaled away, so
// a draw reports as many increments on any number of walkers. Walkers add
// what they did; only the thread that owns the draw reports.
class ChaosProgress
{
public:
    ChaosProgress(int32_t n, int workers, const std::function<void()> *increment);
    void add(int32_t iterations) { _done.fetch_add(iterations, std::memory_order_relaxed); }
    void report();

private:
    std::atomic<int64_t> _done{0};
    const std::function<void()> *_increment;
    int64_t _asked = 0;
    int64_t _total = 0;
    int64_t _step = 0;
    int64_t _reported = 0;
};

namespace chaos_detail {

struct Walker {
    float x = 0.0f, y = 0.0f;
    float red = 0.0f, green = 0.0f, blue = 0.0f;
};

struct TableSelect {
    const int *table;
    int operator()(int32_t draw) const { return table[draw % 100]; }
};

struct BoundSelect {
    const uint32_t *begin;
    const uint32_t *end;
    int operator()(int32_t draw) const
    {
        return static_cast<int>(std::upper_bound(begin, end, static_cast<uint32_t>(draw)) - begin);
    }
};

// `count` iterations of one walker: draw, move, blend and, past the warm-up,
// plot. Nothing here allocates, locks or touches the model.
template <bool Plotting, typename Select, typename Plot>
inline void steps(const ChaosTables &tables, const Select &select, GlibcRandom &random, Walker &walker,
                  int32_t count, Plot &plot)
{
    const _t_matrix *const matrix = tables.matrix.data();
    const ChaosTables::MapColour *const colour = tables.colour.data();
    float x = walker.x, y = walker.y;
    float red = walker.red, green = walker.green, blue = walker.blue;
    for (int32_t k = 0; k < count; ++k) {
        const int i = select(random.next());
        const _t_matrix &m = matrix[i];
        const float nx = m.a * x + m.b * y + m.tx;
        const float ny = m.c * x + m.d * y + m.ty;
        x = nx;
        y = ny;
        red = (colour[i].red + red) / 2.0f;
        green = (colour[i].green + green) / 2.0f;
        blue = (colour[i].blue + blue) / 2.0f;
        if constexpr (Plotting)
            plot(x, y, red, green, blue);
    }
    walker = {x, y, red, green, blue};
}

// One walker for k = 1 .. n-1, plotting from k = 1001 on; when k reaches n,
// `claim()` may give it more iterations (0 ends the walk). `afterChunk(done)`
// is asked after every chunk of iterations and stops the walker when false.
template <typename Select, typename Plot, typename AfterChunk, typename Claim>
inline bool walk(const ChaosTables &tables, const Select &select, int32_t n, uint32_t seed, Plot &plot,
                 AfterChunk &afterChunk, Claim &claim)
{
    GlibcRandom random(seed);
    Walker walker;
    int32_t done = 0;
    int64_t end = n;
    // Asked before the first chunk too: a draw cancelled before it starts
    // plots nothing.
    for (int64_t k = 1;;) {
        if (!afterChunk(done))
            return false;
        if (k >= end) {
            end += claim();
            if (k >= end)
                return true;
        }
        const int64_t stop = std::min<int64_t>(end, k + kChaosChunk);
        const int64_t warmEnd = std::min<int64_t>(stop, kWarmUpIterations + 1);
        if (k < warmEnd)
            steps<false>(tables, select, random, walker, static_cast<int32_t>(warmEnd - k), plot);
        if (warmEnd < stop)
            steps<true>(tables, select, random, walker, static_cast<int32_t>(stop - std::max(k, warmEnd)), plot);
        done = static_cast<int32_t>(stop - k);
        k = stop;
    }
}

template <typename Plot, typename AfterChunk, typename Claim>
inline bool walk(const ChaosTables &tables, int32_t n, uint32_t seed, Plot &plot, AfterChunk &afterChunk, Claim &claim)
{
    if (tables.bound.empty())
        return walk(tables, TableSelect{tables.table.data()}, n, seed, plot, afterChunk, claim);
    const BoundSelect select{tables.bound.data(), tables.bound.data() + tables.bound.size()};
    return walk(tables, select, n, seed, plot, afterChunk, claim);
}

template <typename Plot, typename AfterChunk>
inline bool walk(const ChaosTables &tables, int32_t n, uint32_t seed, Plot &plot, AfterChunk &afterChunk)
{
    auto nothingMore = [] { return int64_t(0); };
    return walk(tables, n, seed, plot, afterChunk, nothingMore);
}

} // namespace chaos_detail

// The chaos game, shared by every back end, on one walker seeded with
// `seed`. For k = 1 .. n-1: pick a map with the generator's next value
// modulo 100 (see ChaosTables for more maps), move the walker, blend the
// colour, and from k = 1001 on `plot(x, y, r, g, b)`. `keepGoing()` is asked
// every kChaosChunk iterations; false stops the game there (the result is
// false). A fractal without maps plots nothing.
template <typename Plot, typename KeepGoing>
inline bool runChaosGame(const ChaosTables &tables, int32_t n, uint32_t seed, Plot &&plot, KeepGoing &&keepGoing)
{
    if (tables.empty())
        return true;
    auto afterChunk = [&keepGoing](int32_t) { return static_cast<bool>(keepGoing()); };
    return chaos_detail::walk(tables, n, seed, plot, afterChunk);
}

template <typename Plot>
inline void runChaosGame(const ChaosTables &tables, int32_t n, uint32_t seed, Plot &&plot)
{
    runChaosGame(tables, n, seed, std::forward<Plot>(plot), [] { return true; });
}

// The same with the seed taken from rand() once (drawSeed).
template <typename Plot>
inline void runChaosGame(const ChaosTables &tables, int32_t n, Plot &&plot)
{
    runChaosGame(tables, n, drawSeed(), std::forward<Plot>(plot));
}

// How a draw on several walkers is run and watched.
struct ChaosRun {
    uint32_t seed = 1;
    // Polled by every walker between chunks: a set flag stops them all
    // within a chunk.
    const std::atomic<bool> *cancel = nullptr;
    // Called on the calling thread only.
    const std::function<void()> *progressIncrement = nullptr;
    // When set, a steady-clock time in nanoseconds since which the walkers
    // should stand aside (0 when not): they wait between chunks, but never
    // longer than kChaosLongestPause after it.
    const std::atomic<int64_t> *pausedSince = nullptr;
};

inline constexpr std::chrono::milliseconds kChaosLongestPause{40};

// Library code (memset, Qt's image fills) may leave the upper halves of the
// wide vector registers in use, and new threads inherit that state. The game
// is compiled for plain SSE2, and on some processors every such instruction
// then also waits on those upper halves: the game ran at half speed after an
// image fill. Clearing them first costs nothing.
inline void chaosClearUpperVectorState()
{
#if (defined(__GNUC__) || defined(__clang__)) && defined(__x86_64__)
    static const bool hasAvx = __builtin_cpu_supports("avx");
    if (hasAvx)
        // The registers are named so that no value is kept in them across it.
        asm volatile("vzeroupper" ::: "xmm0", "xmm1", "xmm2", "xmm3", "xmm4", "xmm5", "xmm6", "xmm7", "xmm8",
                     "xmm9", "xmm10", "xmm11", "xmm12", "xmm13", "xmm14", "xmm15", "memory");
#endif
}

// Waits while a pause asks it, for at most kChaosLongestPause from its start.
inline void chaosStandAside(const std::atomic<int64_t> *pausedSince, const std::atomic<bool> *cancel)
{
    if (!pausedSince)
        return;
    using namespace std::chrono;
    for (int64_t since; (since = pausedSince->load(std::memory_order_relaxed)) != 0;) {
        if (cancel && cancel->load(std::memory_order_relaxed))
            return;
        const int64_t now = duration_cast<nanoseconds>(steady_clock::now().time_since_epoch()).count();
        if (now - since >= duration_cast<nanoseconds>(kChaosLongestPause).count())
            return;
        std::this_thread::sleep_for(microseconds(500));
    }
}

// The chaos game on plots.size() walkers (see chaosWorkerCount), walker w
// plotting through plots[w] on its own thread; walker 0 runs on the calling
// thread. Plots that share a bitmap must store whole pixels atomically.
// False when cancelled.
template <typename Plot>
bool runChaosGame(const ChaosTables &tables, int32_t n, const ChaosRun &run, std::span<Plot> plots)
{
    const auto cancelled = [&run] { return run.cancel && run.cancel->load(std::memory_order_relaxed); };
    if (tables.empty() || plots.empty())
        return !cancelled();
    const int workers = static_cast<int>(plots.size());
    ChaosProgress progress(n, workers, run.progressIncrement);
    std::atomic<int> running{workers - 1};
    // Past its warm-up each walker claims plotted iterations a batch at a
    // time: a walker the system holds back (the window drawing a frame, say)
    // leaves more to the others instead of finishing last alone.
    std::atomic<int64_t> unclaimed{workers > 1 ? chaosPlottedIterations(n) : 0};
    const auto work = [&](int w) {
        chaosClearUpperVectorState();
        auto afterChunk = [&](int32_t done) {
            progress.add(done);
            if (w == 0)
                progress.report();
            chaosStandAside(run.pausedSince, run.cancel);
            return !cancelled();
        };
        auto claim = [&unclaimed] {
            const int64_t left = unclaimed.fetch_sub(kChaosBatch, std::memory_order_relaxed);
            return std::clamp<int64_t>(left, 0, kChaosBatch);
        };
        const int32_t first = workers > 1 ? std::min(n, kWarmUpIterations + 1) : n;
        return chaos_detail::walk(tables, first, chaosWorkerSeed(run.seed, w), plots[static_cast<size_t>(w)],
                                  afterChunk, claim);
    };
    std::vector<std::thread> helpers;
    helpers.reserve(static_cast<size_t>(workers - 1));
    for (int w = 1; w < workers; ++w) {
        const auto helper = [&, w] {
            work(w);
            running.fetch_sub(1, std::memory_order_release);
        };
        try {
            helpers.emplace_back(helper);
        } catch (const std::system_error &) {
            // No thread to be had: this walker runs here instead.
            helper();
        }
    }
    work(0);
    // Walker 0 may finish first; the others' progress is still reported here.
    while (run.progressIncrement && running.load(std::memory_order_acquire) > 0) {
        progress.report();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    for (std::thread &helper : helpers)
        helper.join();
    if (cancelled())
        return false;
    progress.report();
    return true;
}

} // namespace attractor
