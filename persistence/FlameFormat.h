#pragma once

#include <QByteArray>
#include <QString>

namespace attractor {

class QvFrac;

// The fractal as a flam3 flame called name: one linear xform a map, weights
// from the probabilities, a palette of the maps' colours, the background,
// and a camera framing the editor's square.
QByteArray flameText(const QvFrac &fractal, const QString &name);

} // namespace attractor
