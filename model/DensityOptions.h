#pragma once

namespace attractor {

// How a density picture turns hit counts into colour. The exposure is set by
// the picture's mean density (hits per pixel over the whole picture), so more
// iterations make a picture smoother, neither brighter nor darker.
struct DensityOptions {
    // Samples a side of each pixel; a choice of the export, not of the document.
    int supersample = 1;
    // Applied to the exposure after the logarithm of the density.
    double gamma = 2.2;
    // Scales the exposure; 1 puts a pixel of the mean density well below white.
    double brightness = 1.0;
    // The share of the gamma applied to the luminance alone (the colour keeps
    // its saturation); the rest is applied to each channel, which bleaches.
    double vibrancy = 1.0;
    // How far an overexposed pixel may turn white: 0 keeps its hue at full
    // intensity, 1 lets each channel clip on its own.
    double highlight = 0.0;
    // The widest kernel, in output pixels, the noise filter spreads a sparse
    // pixel's hits over; the kernel shrinks as a pixel's count grows. 0 is off.
    int deRadius = 9;

    bool operator==(const DensityOptions &) const = default;
    // The look alone: what a document keeps (supersampling aside).
    bool sameLook(const DensityOptions &other) const;
};

inline constexpr int kMinSupersample = 1;
inline constexpr int kMaxSupersample = 4;
inline constexpr double kMinGamma = 1.0;
inline constexpr double kMaxGamma = 4.0;
inline constexpr double kMaxBrightness = 4.0;
inline constexpr int kMaxDeRadius = 30;

// Every field within its range; what is not finite takes the default.
DensityOptions clampedDensityOptions(const DensityOptions &options);

} // namespace attractor
