#pragma once

#include <QPointF>

namespace attractor {

// What part of the document plane a window shows: the square of side
// 4 / zoom centred on centre, spanning the shorter side of each canvas.
// Zoom 1 at the origin is the standard frame from -2 to 2. Not part of the
// fractal: changing it is no edit.
struct View {
    QPointF centre;
    double zoom = 1.0;

    bool isStandard() const { return centre.isNull() && zoom == 1.0; }
    bool operator==(const View &) const = default;
};

inline constexpr double kMinZoom = 1.0 / 16.0;
inline constexpr double kMaxZoom = 1e6;

} // namespace attractor
