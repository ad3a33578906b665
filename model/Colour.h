#pragma once

class QColor;

namespace attractor {

// Colour of a map or of the background: calibrated-RGB components, nominally
// 0..1 but never clamped, so values read from a document survive unchanged.
struct _rgb_color {
    float r = 0.0f;
    float g = 0.0f;
    float b = 0.0f;
    float a = 0.0f;

    friend bool operator==(const _rgb_color &, const _rgb_color &) = default;
};
using RgbColor = _rgb_color;

_rgb_color defaultRGBColor();

// A component as shown: clamped to 0..1, NaN as 0.
inline float clampedUnit(float v)
{
    return v > 0.0f ? (v < 1.0f ? v : 1.0f) : 0.0f;
}

QColor colorFromRGBColor(_rgb_color colour);

// An opaque colour that stands out against the background, for the index-th
// map made by the user: light on dark backgrounds, dark on light ones.
_rgb_color colourShowingOn(_rgb_color background, int index);

// A colour that cannot be expressed in RGB (an invalid QColor) gives (0, 0, 0, 0).
_rgb_color rgbColorFromColor(const QColor &color);

} // namespace attractor
