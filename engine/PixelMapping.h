#pragma once

#include <QPointF>
#include <QRectF>
#include <QSizeF>

#include "model/View.h"

namespace attractor {

struct RenderRequest;

// The standard frame of the document plane: the square from -2 to 2.
inline constexpr double kFrameMin = -2.0;
inline constexpr double kFrameMax = 2.0;

// Where document coordinates land on a picture's pixels, y up from the
// bottom edge: pixel = (point - corner) * scale + origin. Every picture
// (editor, renderer canvas, exports, the command line) maps through one.
struct PixelMapping {
    // The document point at the frame's lower-left corner.
    double left = kFrameMin;
    double bottom = kFrameMin;
    // Pixels per document unit along x and y.
    double scaleX = 1.0;
    double scaleY = 1.0;
    // The frame's lower-left corner in pixels.
    double originX = 0.0;
    double originY = 0.0;

    QPointF toPixels(QPointF point) const
    {
        return {(point.x() - left) * scaleX + originX, (point.y() - bottom) * scaleY + originY};
    }
    QPointF toDocument(QPointF pixel) const
    {
        return {(pixel.x() - originX) / scaleX + left, (pixel.y() - originY) / scaleY + bottom};
    }
};

// The largest square centred in an area of this size.
QRectF centredSquare(QSizeF size);

// The standard frame spread over the whole picture (stretched when it is not
// square), as the exports draw it.
PixelMapping stretchedFrame(QSizeF size);
// The standard frame on the largest centred square of the area, so that x
// and y share one scale, as both canvases show it.
PixelMapping centredFrame(QSizeF size);
// The view's square on the largest centred square of the area, the rest of
// the area showing more of the plane around it.
PixelMapping viewFrame(QSizeF size, const View &view);
// The mapping a rendered picture uses: the request's view (clamped) on its
// size, or without one the standard frame stretched as the exports have
// always drawn it.
PixelMapping requestFrame(const RenderRequest &request);

} // namespace attractor
