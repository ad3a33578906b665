#pragma once

#include "engine/ChaosGame.h"
#include "model/DensityOptions.h"
#include "model/View.h"

#include <QSize>

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>

namespace attractor {

// One picture asked of the engine: the canvas, the exports and the command
// line each describe what they want in one of these.
struct RenderRequest {
    // The fractal as it was when the picture was asked for.
    ChaosTables tables;
    // In pixels; the standard frame is spread over it, or the view's square
    // spans its shorter side when there is a view.
    QSize size;
    std::optional<View> view;
    int32_t iterations = 0;
    // The density picture with these options; points when none.
    std::optional<DensityOptions> density;
    // Walkers offered (see chaosWorkerCount); the exports take 0 as one per core.
    int threads = 1;
    // Taken from rand() when not given.
    std::optional<uint32_t> seed;
};

// Observes and steers a long draw: a progress step every (iterations / 95)
// iterations (none when that is 0), summed over the walkers and reported on
// the calling thread; a cancel flag polled between chunks of iterations (a
// cancelled draw stops within a chunk and keeps what it has plotted).
struct DrawObserver {
    std::function<void()> progressIncrement;
    const std::atomic<bool> *cancel = nullptr;
    // See ChaosRun::pausedSince.
    const std::atomic<int64_t> *pausedSince = nullptr;
};

} // namespace attractor
