#pragma once

#include "model/Colour.h"

#include <QPointF>

#include <cstdint>
#include <memory>

namespace attractor {

class QvTransform;

// All draws come from the process-wide rand(), which the chaos game shares, so
// a given generator state always yields the same maps.
double randomFloat();
_rgb_color randomRGBColor();
QPointF randomScale();
QPointF randomTranslation();
double randomRotation();
std::shared_ptr<QvTransform> randomTransform();

// Seconds since 1 January 2001 UTC, the epoch that stored seeds were taken from.
double secondsSinceReferenceDate();
// The srand() seed for a clock reading: whole seconds, low 32 bits.
unsigned int seedFromReferenceSeconds(double seconds);
// The number of maps randomFractal() makes for its first draw u.
uint64_t randomMapCount(double u);

} // namespace attractor
