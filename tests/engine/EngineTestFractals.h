#pragma once

#include "model/QvFrac.h"
#include "model/QvTransform.h"
#include "engine/ChaosGame.h"
#include "engine/RasterImage.h"

#include <QImage>
#include <QRgba64>

#include <cmath>
#include <vector>

namespace attractor::test {

struct MapSpec {
    QPointF scale{0.5, 0.5};
    QPointF translation{0, 0};
    _rgb_color colour{1, 1, 1, 1};
    float probability = 1.0f;
};

inline FracPtr makeFractal(const std::vector<MapSpec> &maps, int32_t iterations = 200000,
                           _rgb_color background = {0, 0, 0, 1})
{
    auto list = std::make_shared<TransformList>();
    for (const MapSpec &m : maps) {
        list->push_back(std::make_shared<QvTransform>(m.scale, 0.0f, m.translation, m.colour));
        list->back()->setProbability(m.probability);
    }
    return std::make_shared<QvFrac>(list, iterations, background);
}

// The fractal's own game at this size; the rest of the request as given.
inline RenderRequest requestFor(const FracPtr &fractal, QSize size, RenderRequest request = {})
{
    request.tables = buildChaosTables(*fractal);
    request.size = size;
    request.iterations = fractal->iterations();
    return request;
}

inline QImage draw(const FracPtr &fractal, QSize size, RenderRequest request = {}, const DrawObserver *observer = nullptr)
{
    return hiResBitmapInsideRect(requestFor(fractal, size, std::move(request)), observer);
}

inline QRgba64 rgba16(_rgb_color c)
{
    const auto sample = [](double v) { return quint16(std::lround(std::clamp(v, 0.0, 1.0) * 65535)); };
    return QRgba64::fromRgba64(sample(c.r), sample(c.g), sample(c.b), sample(c.a));
}

inline QRgba64 pixelAt(const QImage &image, int x, int y)
{
    return image.convertToFormat(QImage::Format_RGBA64).pixelColor(x, y).rgba64();
}

// Pixels whose colour differs from `colour` (an 8-bit image compares in 8 bits).
inline std::vector<QPoint> pixelsOtherThan(const QImage &source, QRgba64 colour)
{
    const QImage image = source.convertToFormat(QImage::Format_RGBA64);
    std::vector<QPoint> found;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (reinterpret_cast<const QRgba64 *>(image.constScanLine(y))[x] != colour)
                found.emplace_back(x, y);
    return found;
}

} // namespace attractor::test
