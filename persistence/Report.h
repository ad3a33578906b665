#pragma once

#include <QString>

namespace attractor {

class QvFrac;

// The plain-text report of the maps: five lines a map (heading, translation,
// rotation, scale, matrix) and an empty line; empty for a fractal without maps.
QString textReport(const QvFrac &fractal);

} // namespace attractor
