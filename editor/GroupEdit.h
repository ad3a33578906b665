#pragma once

#include "model/QvTransform.h"

#include <QList>
#include <QPointF>

namespace attractor::group {

// A gesture on the current map carried over to the other selected maps.

// The centres moved by one offset: the one that takes the current map's
// centre to `wanted`, cut short so that no centre leaves the frame. A group
// too wide for the frame moves whole, each centre then kept inside.
QList<QPointF> movedCentres(const QList<QPointF> &starts, int current, QPointF wanted);

// `other` changed as `before` was changed into `after`: the new linear part
// times the inverse of the old one, applied before other's own; where
// `before` has no inverse, the same change of scale, rotation and shear.
QvTransform withSameChange(const QvTransform &other, const QvTransform &before, const QvTransform &after);

} // namespace attractor::group
