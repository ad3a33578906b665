#pragma once

#include "model/Colour.h"

#include <QPointF>

class QColor;

namespace attractor {

// The 2x3 affine matrix of a map: (x, y) -> (a*x + b*y + tx, c*x + d*y + ty).
struct _t_matrix {
    float a = 0.0f;
    float b = 0.0f;
    float c = 0.0f;
    float d = 0.0f;
    float tx = 0.0f;
    float ty = 0.0f;
};
using TMatrix = _t_matrix;

// The largest probability parameter the editor offers: the exponent of a
// map's area in its weight runs from 0 (all maps alike) to 2.
inline constexpr float kMaxProbability = 2.0f;

// One map of the fractal, kept as the parameters the user edits. Setters store
// what they get: no validation, no clamping, no notification.
//
// The linear part is [[sx, shear], [0, sy]] times the rotation by the angle:
// a point is turned, sheared along x in proportion to its turned y, then
// scaled along the fixed axes. Every real 2x2 matrix, mirrored or singular,
// has such a form; without shear it is the scale-after-turn of old documents.
class QvTransform
{
public:
    // Scale (0.5, 0.5), no rotation, at the origin, opaque black, automatic probability.
    QvTransform();
    QvTransform(QPointF scale, float rotation, QPointF translation, _rgb_color color);

    QPointF scale() const { return _scale; }
    void setScale(QPointF scale) { _scale = scale; }
    float rotation() const { return _rotation; }
    void setRotation(float rotation) { _rotation = rotation; }
    QPointF translation() const { return _translation; }
    void setTranslation(QPointF translation) { _translation = translation; }
    _rgb_color rgb() const { return _rgb; }
    void setRgb(_rgb_color rgb) { _rgb = rgb; }
    float shear() const { return _shear; }
    void setShear(float shear) { _shear = shear; }
    float probability() const { return _probability; }
    void setProbability(float probability) { _probability = probability; }

    QColor color() const;
    void setColor(const QColor &color);

    _t_matrix transformMatrix() const;
    // The map whose matrix is m, to the float width of its parameters; its
    // colour and probability are the defaults.
    static QvTransform fromMatrix(const _t_matrix &m);
    // The linear part replaced by m's, keeping translation, colour and
    // probability. Of the two angles that fit m, half a turn apart, the one
    // nearest angleNear is taken (the map's present angle by default), so an
    // edit does not flip the map's numbers.
    void setLinearPart(const _t_matrix &m);
    void setLinearPart(const _t_matrix &m, double angleNear);
    bool autoProbability() const { return _probability == 1.0f; }

private:
    QPointF _scale;
    float _rotation = 0.0f;
    float _shear = 0.0f;
    QPointF _translation;
    _rgb_color _rgb;
    float _probability = 0.0f;
};

} // namespace attractor
