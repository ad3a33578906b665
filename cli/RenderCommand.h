#pragma once

#include "engine/RenderRequest.h"
#include "model/QvFrac.h"
#include "model/View.h"

#include <QPointF>
#include <QSize>
#include <QStringList>

#include <cstdint>
#include <optional>

namespace attractor::cli {

// attractor-cli render IN -o OUT [--width W] [--height H] [--iterations N]
// args are the arguments after "render". Returns the exit status.
int runRenderCommand(const QStringList &args);

// The points picture render asks the engine for: a given centre or zoom
// replaces its part of the saved view, and with neither, a fractal without a
// saved view is drawn in the standard frame stretched over the whole size.
RenderRequest renderRequest(const QvFrac &fractal, const View &saved, QSize size, int32_t iterations, int threads,
                            std::optional<QPointF> centre = {}, std::optional<double> zoom = {});

} // namespace attractor::cli
