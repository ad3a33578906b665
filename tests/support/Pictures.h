#pragma once

#include "engine/ChaosGame.h"
#include "engine/RasterImage.h"
#include "model/QvFrac.h"

#include <QImage>

#include <vector>

namespace attractor::test {

// The engine's picture of the fractal, side x side.
inline QImage enginePicture(const QvFrac &fractal, int side, int32_t iterations, uint32_t seed)
{
    return hiResBitmapInsideRect(
        {.tables = buildChaosTables(fractal), .size = {side, side}, .iterations = iterations, .seed = seed});
}

// Pixels unlike the background, grown by `grow` pixels each way so that
// points on either side of a pixel edge meet.
inline std::vector<bool> covered(const QImage &picture, QRgb bg, int grow = 1)
{
    const QImage image = picture.convertToFormat(QImage::Format_RGB32);
    const int w = image.width(), h = image.height();
    std::vector<bool> near(size_t(w * h));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const QRgb p = image.pixel(x, y);
            if (std::abs(qRed(p) - qRed(bg)) + std::abs(qGreen(p) - qGreen(bg)) + std::abs(qBlue(p) - qBlue(bg)) > 24)
                for (int v = std::max(y - grow, 0); v <= std::min(y + grow, h - 1); ++v)
                    for (int u = std::max(x - grow, 0); u <= std::min(x + grow, w - 1); ++u)
                        near[size_t(v * w + u)] = true;
        }
    return near;
}

// Pixels both cover over pixels either covers.
inline double agreement(const std::vector<bool> &a, const std::vector<bool> &b)
{
    int both = 0, either = 0;
    for (size_t i = 0; i < a.size(); ++i)
        both += a[i] && b[i], either += a[i] || b[i];
    return either ? double(both) / either : 1.0;
}

} // namespace attractor::test
