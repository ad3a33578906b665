#include "model/Colour.h"

#include <QColor>

namespace attractor {

_rgb_color defaultRGBColor()
{
    return {0.0f, 0.0f, 0.0f, 1.0f};
}

QColor colorFromRGBColor(_rgb_color colour)
{
    // Components outside 0..1 are kept (QColor switches to its extended-range
    // form for them) rather than clamped.
    return QColor::fromRgbF(colour.r, colour.g, colour.b, colour.a);
}

_rgb_color rgbColorFromColor(const QColor &color)
{
    if (!color.isValid())
        return {0.0f, 0.0f, 0.0f, 0.0f};
    // HSV, HSL and CMYK colours are converted by getRgbF itself; extended-range
    // RGB components come back unclamped.
    float r = 0, g = 0, b = 0, a = 0;
    color.getRgbF(&r, &g, &b, &a);
    return {r, g, b, a};
}

} // namespace attractor
