#include "model/QvTransform.h"

#include <QColor>

#include <cmath>

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
    m.c = static_cast<float>(sy * sinT);
    m.d = static_cast<float>(sy * cosT);
    m.tx = static_cast<float>(_translation.x());
    m.ty = static_cast<float>(_translation.y());
    return m;
}

} // namespace attractor
