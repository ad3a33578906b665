#include "model/DensityOptions.h"

#include <algorithm>
#include <cmath>

namespace attractor {

namespace {

double within(double value, double low, double high, double fallback)
{
    return std::isfinite(value) ? std::clamp(value, low, high) : fallback;
}

} // namespace

bool DensityOptions::sameLook(const DensityOptions &other) const
{
    DensityOptions mine = *this;
    mine.supersample = other.supersample;
    return mine == other;
}

DensityOptions clampedDensityOptions(const DensityOptions &options)
{
    const DensityOptions defaults;
    DensityOptions out;
    out.supersample = std::clamp(options.supersample, kMinSupersample, kMaxSupersample);
    out.gamma = within(options.gamma, kMinGamma, kMaxGamma, defaults.gamma);
    out.brightness = within(options.brightness, 0.0, kMaxBrightness, defaults.brightness);
    out.vibrancy = within(options.vibrancy, 0.0, 1.0, defaults.vibrancy);
    out.highlight = within(options.highlight, 0.0, 1.0, defaults.highlight);
    out.deRadius = std::clamp(options.deRadius, 0, kMaxDeRadius);
    return out;
}

} // namespace attractor
