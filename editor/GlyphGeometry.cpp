#include "editor/GlyphGeometry.h"

#include "model/QvFrac.h"
#include "model/QvTransform.h"

#include <cmath>

namespace attractor::glyph {

namespace {

constexpr float kMinHalfSize = 0.05f;
constexpr double kCorner = 3.0;
constexpr double kCrosshairHalf = 0.05f;
constexpr double kHandleHalf = 5.0;

// A tiny map keeps a glyph large enough to grab.
float minimumHalfSize(float v)
{
    if (v >= 0.0f && v < kMinHalfSize)
        return kMinHalfSize;
    if (v < 0.0f && v > -kMinHalfSize)
        return -kMinHalfSize;
    return v;
}

} // namespace

std::optional<QTransform> unturning(const QvTransform *map)
{
    if (!map)
        return std::nullopt;
    if (map->rotation() == 0.0f)
        return QTransform();
    const QPointF c = map->translation();
    QTransform transform;
    transform.translate(c.x(), c.y());
    transform.rotateRadians(-static_cast<double>(map->rotation()));
    transform.translate(-c.x(), -c.y());
    return transform;
}

void rotatePath(QPainterPath &path, QPointF center, float radians)
{
    if (radians == 0.0f)
        return;
    QTransform transform;
    transform.translate(center.x(), center.y());
    transform.rotateRadians(radians);
    transform.translate(-center.x(), -center.y());
    const Qt::FillRule rule = path.fillRule();
    path = transform.map(path);
    path.setFillRule(rule);
}

QPainterPath mapPath(const QvTransform &t, const PixelMapping &frame)
{
    const QPointF tr = t.translation();
    const QPointF s = t.scale();
    const double hx = minimumHalfSize(static_cast<float>(kBoxHalf * s.x()));
    const double hy = minimumHalfSize(static_cast<float>(kBoxHalf * s.y()));
    const double sigmaX = static_cast<float>(std::abs(hx) / hx);
    const double sigmaY = static_cast<float>(std::abs(hy) / hy);

    const QPointF a = frame.toPixels({tr.x() - hx, tr.y() - hy});
    const QPointF b = frame.toPixels({tr.x() - hx, tr.y() + hy});
    const QPointF c = frame.toPixels({tr.x() + hx, tr.y() + hy});
    const QPointF d = frame.toPixels({tr.x() + hx, tr.y() - hy});

    QPainterPath path;
    path.setFillRule(Qt::WindingFill);
    path.moveTo(a);
    path.lineTo(b);
    path.lineTo(c.x() - 2 * kCorner * sigmaX, c.y());
    path.cubicTo(QPointF(c.x() - kCorner * sigmaX, c.y()), QPointF(c.x(), c.y() - kCorner * sigmaY),
                 QPointF(c.x(), c.y() - 2 * kCorner * sigmaY));
    path.lineTo(d);
    path.closeSubpath();
    rotatePath(path, frame.toPixels(tr), t.rotation());
    return path;
}

QPainterPath crosshairs(const QvTransform &t, const PixelMapping &frame)
{
    const QPointF tr = t.translation();
    QPainterPath path;
    path.setFillRule(Qt::WindingFill);
    path.moveTo(frame.toPixels({tr.x() - kCrosshairHalf, tr.y()}));
    path.lineTo(frame.toPixels({tr.x() + kCrosshairHalf, tr.y()}));
    path.moveTo(frame.toPixels({tr.x(), tr.y() + kCrosshairHalf}));
    path.lineTo(frame.toPixels({tr.x(), tr.y() - kCrosshairHalf}));
    rotatePath(path, frame.toPixels(tr), t.rotation());
    return path;
}

QPainterPath handle(const QvTransform &t, const PixelMapping &frame, bool round)
{
    const QPointF tr = t.translation();
    const QPointF s = t.scale();
    // No minimum size here: a tiny map's handle sits where its scale says.
    const double hx = static_cast<float>(kBoxHalf * s.x());
    const double hy = static_cast<float>(kBoxHalf * s.y());
    const QPointF p = frame.toPixels({tr.x() + hx, tr.y() + hy});
    const QRectF box(p.x() - kHandleHalf, p.y() - kHandleHalf, 2 * kHandleHalf, 2 * kHandleHalf);
    QPainterPath path;
    path.setFillRule(Qt::WindingFill);
    if (round)
        path.addEllipse(box);
    else
        path.addRect(box);
    rotatePath(path, frame.toPixels(tr), t.rotation());
    return path;
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
