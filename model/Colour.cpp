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
    // form for them) rather than clamped. QColor has no form for NaN or for an
    // alpha outside 0..1 (it warns and gives an invalid colour), so those are
    // shown as the nearest it can hold; the document keeps its own values.
    const auto number = [](float v) { return v == v ? v : 0.0f; };
    const float alpha = number(colour.a) < 0.0f ? 0.0f : (number(colour.a) > 1.0f ? 1.0f : number(colour.a));
    return QColor::fromRgbF(number(colour.r), number(colour.g), number(colour.b), alpha);
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
