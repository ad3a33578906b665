#include "engine/PixelMapping.h"

#include "engine/RenderRequest.h"

#include <algorithm>

namespace attractor {

PixelMapping stretchedFrame(QSizeF size)
{
    PixelMapping m;
    // The sizes go through float as the plots have always taken them.
    m.scaleX = static_cast<double>(static_cast<float>(size.width())) / (kFrameMax - kFrameMin);
    m.scaleY = static_cast<double>(static_cast<float>(size.height())) / (kFrameMax - kFrameMin);
    return m;
}

QRectF centredSquare(QSizeF size)
{
    const double side = static_cast<float>(std::min(size.width(), size.height()));
    return {(size.width() - side) / 2.0, (size.height() - side) / 2.0, side, side};
}

PixelMapping centredFrame(QSizeF size)
{
    return viewFrame(size, View());
}

PixelMapping viewFrame(QSizeF size, const View &view)
{
    const QRectF square = centredSquare(size);
    const double half = (kFrameMax - kFrameMin) / 2.0 / view.zoom;
    PixelMapping m;
    m.left = view.centre.x() - half;
    m.bottom = view.centre.y() - half;
    m.scaleX = m.scaleY = square.width() / (2.0 * half);
    m.originX = square.x();
    m.originY = square.y();
    return m;
}

PixelMapping requestFrame(const RenderRequest &request)
{
    const QSizeF size(request.size);
    return request.view ? viewFrame(size, clampedView(*request.view)) : stretchedFrame(size);
}

} // namespace attractor
