#include "model/QvTransform.h"

#include <QColor>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace attractor {

QvTransform::QvTransform()
    : QvTransform(QPointF(0.5, 0.5), 0.0f, QPointF(0.0, 0.0), defaultRGBColor())
{
}

QvTransform::QvTransform(QPointF scale, float rotation, QPointF translation, _rgb_color color)
    : _scale(scale)
    , _rotation(rotation)
    , _translation(translation)
    , _rgb(color)
    , _probability(1.0f)
{
}

QColor QvTransform::color() const
{
    return colorFromRGBColor(_rgb);
}

void QvTransform::setColor(const QColor &color)
{
    _rgb = rgbColorFromColor(color);
}

_t_matrix QvTransform::transformMatrix() const
{
    // Scale narrowed to 32 bits first, products in 64 bits, then narrowed:
    // stored documents and reports depend on exactly these roundings.
    const double sx = static_cast<float>(_scale.x());
    const double sy = static_cast<float>(_scale.y());
    const double theta = _rotation;
    const double cosT = std::cos(theta);
    const double sinT = std::sin(theta);
    _t_matrix m;
    m.a = static_cast<float>(sx * cosT);
    m.b = static_cast<float>(sx * -sinT);
    if (_shear != 0.0f) {
        const double h = _shear;
        m.a = static_cast<float>(sx * cosT + h * sinT);
        m.b = static_cast<float>(sx * -sinT + h * cosT);
    }
    m.c = static_cast<float>(sy * sinT);
    m.d = static_cast<float>(sy * cosT);
    m.tx = static_cast<float>(_translation.x());
    m.ty = static_cast<float>(_translation.y());
    return m;
}

QvTransform QvTransform::fromMatrix(const _t_matrix &m)
{
    QvTransform t;
    t.setLinearPart(m, 0.0);
    t.setTranslation(QPointF(m.tx, m.ty));
    return t;
}

void QvTransform::setLinearPart(const _t_matrix &m)
{
    setLinearPart(m, _rotation);
}

void QvTransform::setLinearPart(const _t_matrix &m, double angleNear)
{
    // The second row (c, d) is sy times (sin, cos) of the angle; the first
    // row then splits onto the turned axes. A zero second row leaves the
    // angle free: the nearest multiple of half a turn is taken.
    const double a = m.a, b = m.b, c = m.c, d = m.d;
    double theta = (c == 0.0 && d == 0.0) ? 0.0 : std::atan2(c, d);
    if (std::isfinite(angleNear))
        theta += std::numbers::pi * std::round((angleNear - theta) / std::numbers::pi);
    // The angle is stored narrowed; the rest is solved against that one.
    const float stored = static_cast<float>(theta);
    const double cosT = std::cos(static_cast<double>(stored));
    const double sinT = std::sin(static_cast<double>(stored));
    _rotation = stored;
    _scale = QPointF(a * cosT - b * sinT, c * sinT + d * cosT);
    double h = a * sinT + b * cosT;
    // What is left of a shear by the angle's rounding is no shear.
    const double size = std::max({std::abs(a), std::abs(b), std::abs(c), std::abs(d)});
    if (std::abs(h) <= 2 * std::numeric_limits<float>::epsilon() * size)
        h = 0.0;
    _shear = static_cast<float>(h);
}

} // namespace attractor
