#pragma once

#include "engine/RenderRequest.h"

#include <QImage>
#include <QSize>

#include <atomic>
#include <functional>

namespace attractor {

// How a canvas picture is drawn: a flag that abandons the draw (polled by every walker between chunks of
// iterations), and, for a long draw, a copy of the growing picture with the
// share of the iterations done about every kPartialPictureMs, on the calling
// thread.
inline constexpr int kPartialPictureMs = 100;
using PartialPicture = std::function<void(const QImage &picture, double done)>;
struct CanvasDraw {
    const std::atomic<bool> *cancel = nullptr;
    // See ChaosRun::pausedSince.
    const std::atomic<int64_t> *pausedSince = nullptr;
    PartialPicture partial;
};

// The request's game plotted on the CPU into an 8-bit RGBA image (first row
// is the top) on its walkers, lighting exactly the pixels that one-pixel GL_POINTS would light under
// the y-up projection of the drawing square (the request's view on the
// shorter side when it has one): the pixel containing each point,
// in the point's colour at alpha 1, over the background at backgroundAlpha.
// Without a seed in the request it comes from rand(), once; on one walker the
// picture is the one a single game from that seed draws. An abandoned draw gives a null image.
QImage plotGlPoints(const RenderRequest &request, float backgroundAlpha, const CanvasDraw &draw = {});

// The request's density picture (default tone mapping when it asks for
// points) over the opaque background, as an 8-bit RGBA image (first row is
// the top), on its walkers. An abandoned draw gives a null image.
QImage plotDensityPreview(const RenderRequest &request, const CanvasDraw &draw = {});

// Whether two table sets give the same picture (compared bit for bit, so a
// value that is not a number still equals itself).
bool samePicture(const ChaosTables &a, const ChaosTables &b);

} // namespace attractor
