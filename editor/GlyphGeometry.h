#pragma once

#include "engine/PixelMapping.h"

#include <QPainterPath>
#include <QPointF>

namespace attractor {

class QvFrac;
class QvTransform;

// The glyphs of the editor canvas and what lies under a point, in view
// coordinates (pixels, y up), for a frame mapped onto the view. A glyph is the
// image of the box [-1, 1]² under the map: a parallelogram, rounded at the
// image of the corner (1, 1). Paths use the winding fill rule.
namespace glyph {

// Half the side of the unit box the map is applied to.
inline constexpr float kBoxHalf = 1.0f;

QPainterPath mapPath(const QvTransform &map, const PixelMapping &frame);
// A small cross along the images of the x and y axes.
QPainterPath crosshairs(const QvTransform &map, const PixelMapping &frame);
// The handle at the rounded corner; round when dragging it turns the map.
QPainterPath handle(const QvTransform &map, const PixelMapping &frame, bool round);
// The diamond at the middle of the edge beside the rounded corner: dragging
// it slides that edge along the opposite one.
QPainterPath shearHandle(const QvTransform &map, const PixelMapping &frame);
// Mouse gestures on a map, in document coordinates: the map with its
// linear part changed so that a point of its glyph follows the pointer.
// The rounded corner goes to `to`, each edge keeping its direction (a flat
// map, which has no such stretch, becomes a plain rectangle there).
QvTransform stretchedTo(const QvTransform &map, QPointF to);
// Turned as a whole so that the rounded corner points at `to`.
QvTransform turnedTowards(const QvTransform &map, QPointF to);
// The edge beside the rounded corner slid along the opposite edge, its
// middle as near `to` as that allows.
QvTransform shearedTowards(const QvTransform &map, QPointF to);

// The place of the topmost map whose glyph contains the point, or -1.
int mapUnder(const QvFrac &fractal, const PixelMapping &frame, QPointF viewPoint);

} // namespace glyph
} // namespace attractor
