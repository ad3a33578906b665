#pragma once

#include <QPointF>
#include <QRectF>

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
// How far the centre may wander: pixel arithmetic stays finite and exact enough.
inline constexpr double kMaxViewCentre = 1e6;
// One wheel notch or zoom key: two steps double the zoom.
inline constexpr double kZoomStep = 1.4142135623730951;
// The share of the view's square a fitted rectangle's longer side spans.
inline constexpr double kFitViewShare = 0.95;

// The view made usable: zoom within [kMinZoom, kMaxZoom], the centre within
// kMaxViewCentre of the origin; a part that is not finite (or a zoom not
// above 0) takes the standard frame's value.
View clampedView(const View &view);

// The view zoomed by factor keeping documentPoint where it is on screen
// (the point under the pointer stays under it); clamped.
View zoomedAbout(const View &view, QPointF documentPoint, double factor);

// The view moved by a distance in document units; clamped.
View pannedBy(const View &view, QPointF documentDelta);

// The view centred on the rectangle with its longer side spanning
// kFitViewShare of the square; a single point keeps zoom 1. The standard
// view for a rectangle that is not finite.
View viewFitting(const QRectF &documentBounds);

} // namespace attractor
