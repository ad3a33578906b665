#pragma once

#include <QPointF>
#include <QRectF>

#include <cstdint>
#include <optional>

namespace attractor {

class QvFrac;

// Iterations of the chaos game that estimate an attractor's extent.
inline constexpr int32_t kFitIterations = 100000;
// Half the side of the square an attractor is fitted into: a margin inside the frame.
inline constexpr double kFitHalfSide = 1.9;

// The smallest rectangle holding every point the chaos game plots for the
// fractal in n iterations from a fixed seed, so the same fractal always
// gives the same rectangle (of no width or height for a point or a line).
// None when a point is not finite or there are no maps.
std::optional<QRectF> attractorBounds(const QvFrac &fractal, int32_t n = kFitIterations);

// The fractal's picture scaled by s > 0 about the origin, then moved by
// offset: each map f(x) = M x + t becomes g f g^-1 for g(x) = s x + offset,
// which keeps M and gives the translation s t + offset - M offset.
void applySimilarity(QvFrac &fractal, double s, QPointF offset);

// Scales and moves the fractal so that its attractor is centred in the frame
// and its longer side spans [-kFitHalfSide, kFitHalfSide]; a single point
// goes to the centre unscaled. False, and the fractal left alone, when the
// attractor is not bounded or the fitted maps would not be finite.
bool fitIntoFrame(QvFrac &fractal);

} // namespace attractor
