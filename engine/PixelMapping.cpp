#include "engine/PixelMapping.h"

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

PixelMapping centredFrame(QSizeF size)
{
    const double side = static_cast<float>(std::min(size.width(), size.height()));
    PixelMapping m;
    m.scaleX = m.scaleY = side / (kFrameMax - kFrameMin);
    m.originX = (size.width() - side) / 2.0;
    m.originY = (size.height() - side) / 2.0;
    return m;
}

} // namespace attractor
