#include "model/Colour.h"

#include <QColor>

#include <cmath>

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

namespace attractor {

_rgb_color colourShowingOn(_rgb_color background, int index)
{
    // Relative luminance of the background as shown: over black where it is
    // transparent, with out-of-range and NaN components taken as the nearest.
    const float alpha = clampedUnit(background.a);
    const float luminance = alpha * (0.2126f * clampedUnit(background.r) + 0.7152f * clampedUnit(background.g)
                                     + 0.0722f * clampedUnit(background.b));
    // Hues a golden angle apart, so maps added one after another differ;
    // light on a dark background, dark on a light one.
    const float hue = std::fmod(0.13f + 0.381966f * static_cast<float>(index < 0 ? 0 : index), 1.0f);
    const QColor c = QColor::fromHsvF(hue, 0.55f, luminance < 0.5f ? 1.0f : 0.45f);
    return {static_cast<float>(c.redF()), static_cast<float>(c.greenF()), static_cast<float>(c.blueF()), 1.0f};
}

} // namespace attractor
