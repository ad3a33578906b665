#include "editor/GroupEdit.h"

#include "engine/PixelMapping.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace attractor::group {

namespace {

// Along one axis: the offset asked for, within what keeps every centre inside.
double offsetInside(double offset, const QList<double> &starts)
{
    double low = -std::numeric_limits<double>::infinity(), high = -low;
    for (double s : starts) {
        low = std::max(low, kFrameMin - s);
        high = std::min(high, kFrameMax - s);
    }
    return low <= high ? std::clamp(offset, low, high) : offset;
}

} // namespace

QList<QPointF> movedCentres(const QList<QPointF> &starts, int current, QPointF wanted)
{
    QList<double> xs, ys;
    for (QPointF s : starts)
        xs.append(s.x()), ys.append(s.y());
    const QPointF from = starts.at(current);
    const QPointF asked = wanted - from;
    const QPointF offset(offsetInside(asked.x(), xs), offsetInside(asked.y(), ys));
    QList<QPointF> moved;
    for (qsizetype i = 0; i < starts.size(); ++i) {
        // The grabbed map lands exactly where asked unless the move was cut short.
        const bool grabbed = i == current;
        const double x = grabbed && offset.x() == asked.x() ? wanted.x() : starts[i].x() + offset.x();
        const double y = grabbed && offset.y() == asked.y() ? wanted.y() : starts[i].y() + offset.y();
        moved.append({std::clamp(x, kFrameMin, kFrameMax), std::clamp(y, kFrameMin, kFrameMax)});
    }
    return moved;
}

QvTransform withSameChange(const QvTransform &other, const QvTransform &before, const QvTransform &after)
{
    const _t_matrix m = before.transformMatrix(), n = after.transformMatrix(), o = other.transformMatrix();
    const double turn = static_cast<double>(after.rotation()) - before.rotation();
    const double det = static_cast<double>(m.a) * m.d - static_cast<double>(m.b) * m.c;
    const double size = std::max({std::abs(m.a), std::abs(m.b), std::abs(m.c), std::abs(m.d)});
    QvTransform next = other;
    if (!(std::abs(det) > 1e-9 * size * size)) {
        next.setScale(other.scale() + after.scale() - before.scale());
        next.setRotation(static_cast<float>(other.rotation() + turn));
        next.setShear(static_cast<float>(static_cast<double>(other.shear()) + after.shear() - before.shear()));
        return next;
    }
    // c = n m⁻¹, then c o.
    const double ca = (n.a * m.d - n.b * m.c) / det, cb = (n.b * m.a - n.a * m.b) / det;
    const double cc = (n.c * m.d - n.d * m.c) / det, cd = (n.d * m.a - n.c * m.b) / det;
    _t_matrix r = o;
    r.a = static_cast<float>(ca * o.a + cb * o.c);
    r.b = static_cast<float>(ca * o.b + cb * o.d);
    r.c = static_cast<float>(cc * o.a + cd * o.c);
    r.d = static_cast<float>(cc * o.b + cd * o.d);
    next.setLinearPart(r, other.rotation() + turn);
    return next;
}

} // namespace attractor::group
