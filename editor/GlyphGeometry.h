#pragma once

#include "engine/PixelMapping.h"

#include <QPainterPath>
#include <QPointF>
#include <QTransform>

#include <optional>

namespace attractor {

class QvFrac;
class QvTransform;

// The glyphs of the editor canvas and what lies under a point, in view
// coordinates (pixels, y up), for a frame mapped onto the view. Paths use the
// winding fill rule.
namespace glyph {

// Half the side of the unit box a map's scale is applied to.
inline constexpr float kBoxHalf = 1.0f;

// The map's rectangle (scaled, turned about its centre) with its rounded
// corner showing which way it is mirrored and turned.
QPainterPath mapPath(const QvTransform &map, const PixelMapping &frame);
QPainterPath crosshairs(const QvTransform &map, const PixelMapping &frame);
// The handle at the corner the scale points to; round when dragging it turns the map.
QPainterPath handle(const QvTransform &map, const PixelMapping &frame, bool round);
// The place of the topmost map whose glyph contains the point, or -1.
int mapUnder(const QvFrac &fractal, const PixelMapping &frame, QPointF viewPoint);

// Turns view points by minus the map's rotation about its translation; none for no map.
std::optional<QTransform> unturning(const QvTransform *map);
void rotatePath(QPainterPath &path, QPointF center, float radians);

} // namespace glyph
} // namespace attractor
