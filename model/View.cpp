#include "model/View.h"

#include <algorithm>
#include <cmath>

namespace attractor {

namespace {

double finiteOr(double value, double fallback) { return std::isfinite(value) ? value : fallback; }

double clampedCentre(double value) { return std::clamp(finiteOr(value, 0.0), -kMaxViewCentre, kMaxViewCentre); }

} // namespace

View clampedView(const View &view)
{
    const double zoom = std::isfinite(view.zoom) && view.zoom > 0 ? std::clamp(view.zoom, kMinZoom, kMaxZoom) : 1.0;
    return {QPointF(clampedCentre(view.centre.x()), clampedCentre(view.centre.y())), zoom};
}

View zoomedAbout(const View &view, QPointF documentPoint, double factor)
{
    const View from = clampedView(view);
    if (!std::isfinite(factor) || factor <= 0)
        return from;
    // The zoom clamped first, so that a capped zoom still keeps the point in place.
    const double zoom = clampedView({from.centre, from.zoom * factor}).zoom;
    return clampedView({documentPoint + (from.centre - documentPoint) * (from.zoom / zoom), zoom});
}

View pannedBy(const View &view, QPointF documentDelta)
{
    return clampedView({view.centre + documentDelta, view.zoom});
}

View viewFitting(const QRectF &documentBounds)
{
    const QRectF r = documentBounds.normalized();
    if (!std::isfinite(r.x()) || !std::isfinite(r.y()) || !std::isfinite(r.width()) || !std::isfinite(r.height()))
        return {};
    const double side = std::max(r.width(), r.height());
    // The standard frame's square is 4 units across.
    return clampedView({r.center(), side > 0 ? 4.0 * kFitViewShare / side : 1.0});
}

} // namespace attractor
