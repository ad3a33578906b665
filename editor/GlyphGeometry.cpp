#include "editor/GlyphGeometry.h"

#include "model/QvFrac.h"
#include "model/QvTransform.h"

#include <QTransform>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace attractor::glyph {

namespace {

// In pixels, like the handles: a glyph keeps its size on screen at any zoom.
constexpr double kMinHalfSize = 5.0;
constexpr double kCorner = 3.0;
constexpr double kCrosshairHalf = 5.0;
constexpr double kHandleHalf = 5.0;

// The box's centre and the images of its half axes, in document units.
struct Box {
    QPointF centre, e1, e2;
};

double length(QPointF v)
{
    return std::hypot(v.x(), v.y());
}

Box imageOfBox(const QvTransform &t)
{
    const _t_matrix m = t.transformMatrix();
    return {t.translation(), QPointF(m.a, m.c) * kBoxHalf, QPointF(m.b, m.d) * kBoxHalf};
}

// Document units per pixel of the frame; a frame of no area has no pixels to keep.
double unitsPerPixel(const PixelMapping &frame)
{
    return frame.scaleX > 0 && std::isfinite(frame.scaleX) ? 1.0 / frame.scaleX : 1.0;
}

// A tiny or flat map keeps a glyph large enough to grab: each half axis at
// least the minimum long, the second at least the minimum off the first's
// line, on the side that keeps the mirroring.
Box grabbable(Box box, const PixelMapping &frame)
{
    const double least = kMinHalfSize * unitsPerPixel(frame);
    const auto atLeast = [least](QPointF v, QPointF fallback) {
        const double l = length(v);
        if (l >= least)
            return v;
        return l > 0 ? v * (least / l) : fallback * least;
    };
    box.e1 = atLeast(box.e1, {1, 0});
    box.e2 = atLeast(box.e2, {0, 1});
    const double l1 = length(box.e1);
    const QPointF normal(-box.e1.y() / l1, box.e1.x() / l1);
    const double height = box.e2.x() * normal.x() + box.e2.y() * normal.y();
    if (std::abs(height) < least)
        box.e2 += normal * ((height < 0 ? -least : least) - height);
    return box;
}

QPointF unit(QPointF v)
{
    const double l = length(v);
    return l > 0 ? v / l : QPointF();
}

QPainterPath handleBox(QPointF at, double turn, bool round)
{
    QPainterPath path;
    path.setFillRule(Qt::WindingFill);
    const QRectF box(-kHandleHalf, -kHandleHalf, 2 * kHandleHalf, 2 * kHandleHalf);
    if (round)
        path.addEllipse(box);
    else
        path.addRect(box);
    QTransform place;
    place.translate(at.x(), at.y());
    place.rotateRadians(turn);
    path = place.map(path);
    path.setFillRule(Qt::WindingFill);
    return path;
}

} // namespace

QPainterPath mapPath(const QvTransform &t, const PixelMapping &frame)
{
    const Box box = grabbable(imageOfBox(t), frame);
    const QPointF a = frame.toPixels(box.centre - box.e1 - box.e2);
    const QPointF b = frame.toPixels(box.centre - box.e1 + box.e2);
    const QPointF c = frame.toPixels(box.centre + box.e1 + box.e2);
    const QPointF d = frame.toPixels(box.centre + box.e1 - box.e2);
    // The rounding runs along the two edges that meet at the corner.
    const QPointF alongTop = unit(c - b) * kCorner;
    const QPointF alongSide = unit(c - d) * kCorner;

    QPainterPath path;
    path.setFillRule(Qt::WindingFill);
    path.moveTo(a);
    path.lineTo(b);
    path.lineTo(c - 2 * alongTop);
    path.cubicTo(c - alongTop, c - alongSide, c - 2 * alongSide);
    path.lineTo(d);
    path.closeSubpath();
    return path;
}

QPainterPath crosshairs(const QvTransform &t, const PixelMapping &frame)
{
    const Box box = grabbable(imageOfBox(t), frame);
    const double half = kCrosshairHalf * unitsPerPixel(frame);
    const QPointF x = unit(box.e1) * half;
    const QPointF y = unit(box.e2) * half;
    QPainterPath path;
    path.setFillRule(Qt::WindingFill);
    path.moveTo(frame.toPixels(box.centre - x));
    path.lineTo(frame.toPixels(box.centre + x));
    path.moveTo(frame.toPixels(box.centre + y));
    path.lineTo(frame.toPixels(box.centre - y));
    return path;
}

QPainterPath handle(const QvTransform &t, const PixelMapping &frame, bool round)
{
    // No minimum size here: a tiny map's handle sits where the map sends the corner.
    const Box box = imageOfBox(t);
    const QPointF along = frame.toPixels(box.centre + box.e1) - frame.toPixels(box.centre);
    const double turn = along.isNull() ? 0.0 : std::atan2(along.y(), along.x());
    return handleBox(frame.toPixels(box.centre + box.e1 + box.e2), turn, round);
}

QPainterPath shearHandle(const QvTransform &t, const PixelMapping &frame)
{
    const Box box = imageOfBox(t);
    const QPointF along = frame.toPixels(box.centre + box.e1) - frame.toPixels(box.centre);
    const double turn = along.isNull() ? 0.0 : std::atan2(along.y(), along.x());
    return handleBox(frame.toPixels(box.centre + box.e2), turn + std::atan(1.0), false);
}

QvTransform stretchedTo(const QvTransform &map, QPointF to)
{
    const _t_matrix m = map.transformMatrix();
    const QPointF d = (to - map.translation()) / kBoxHalf;
    QvTransform next = map;
    const double det = static_cast<double>(m.a) * m.d - static_cast<double>(m.b) * m.c;
    const double size = std::max({std::abs(m.a), std::abs(m.b), std::abs(m.c), std::abs(m.d)});
    if (!(std::abs(det) > 1e-9 * size * size)) {
        next.setScale(d);
        next.setRotation(0.0f);
        next.setShear(0.0f);
        return next;
    }
    // How far along each edge the corner must go: m (alpha, beta) = d.
    const double alpha = (m.d * d.x() - m.b * d.y()) / det;
    const double beta = (m.a * d.y() - m.c * d.x()) / det;
    _t_matrix n = m;
    n.a = static_cast<float>(m.a * alpha);
    n.c = static_cast<float>(m.c * alpha);
    n.b = static_cast<float>(m.b * beta);
    n.d = static_cast<float>(m.d * beta);
    next.setLinearPart(n);
    return next;
}

QvTransform turnedTowards(const QvTransform &map, QPointF to)
{
    const _t_matrix m = map.transformMatrix();
    const QPointF corner(static_cast<double>(m.a) + m.b, static_cast<double>(m.c) + m.d);
    const QPointF d = to - map.translation();
    // A pointer on the centre, or a corner on it, gives no direction.
    if (corner.isNull() || d.isNull())
        return map;
    const double turn = std::atan2(d.y(), d.x()) - std::atan2(corner.y(), corner.x());
    const double c = std::cos(turn), s = std::sin(turn);
    _t_matrix n = m;
    n.a = static_cast<float>(c * m.a - s * m.c);
    n.b = static_cast<float>(c * m.b - s * m.d);
    n.c = static_cast<float>(s * m.a + c * m.c);
    n.d = static_cast<float>(s * m.b + c * m.d);
    QvTransform next = map;
    next.setLinearPart(n, static_cast<double>(map.rotation()) + std::remainder(turn, 2 * std::numbers::pi));
    return next;
}

QvTransform shearedTowards(const QvTransform &map, QPointF to)
{
    const _t_matrix m = map.transformMatrix();
    const QPointF e1(m.a, m.c), e2(m.b, m.d);
    const double l2 = QPointF::dotProduct(e1, e1);
    if (!(l2 > 0.0))
        return map;
    const double lambda = QPointF::dotProduct((to - map.translation()) / kBoxHalf - e2, e1) / l2;
    _t_matrix n = m;
    n.b = static_cast<float>(m.b + lambda * m.a);
    n.d = static_cast<float>(m.d + lambda * m.c);
    QvTransform next = map;
    next.setLinearPart(n);
    return next;
}

int mapUnder(const QvFrac &fractal, const PixelMapping &frame, QPointF viewPoint)
{
    const TransformList &list = *fractal.transforms();
    for (int i = static_cast<int>(list.size()) - 1; i >= 0; --i) {
        const TransformPtr &map = list[static_cast<size_t>(i)];
        if (map && mapPath(*map, frame).contains(viewPoint))
            return i;
    }
    return -1;
}

} // namespace attractor::glyph
