#include "model/QvFrac.h"

#include "model/QvTransform.h"

namespace attractor {

QvFrac::QvFrac()
    : _transforms(std::make_shared<TransformList>())
{
}

QvFrac::QvFrac(TransformListPtr transforms, int32_t iterations, _rgb_color bgColor)
    : _transforms(transforms ? std::move(transforms) : std::make_shared<TransformList>())
    , _iterations(iterations)
    , _bgColor(bgColor)
{
}

FracPtr QvFrac::defaultFractal()
{
    auto list = std::make_shared<TransformList>();
    list->reserve(3);
    const QPointF half(0.5, 0.5);
    list->push_back(std::make_shared<QvTransform>(half, 0.0f, QPointF(-1, -1), _rgb_color{0, 1, 0, 1}));
    list->push_back(std::make_shared<QvTransform>(half, 0.0f, QPointF(1, -1), _rgb_color{0, 0, 1, 1}));
    list->push_back(std::make_shared<QvTransform>(half, 0.0f, QPointF(0, 1), _rgb_color{1, 0, 0, 1}));
    return std::make_shared<QvFrac>(list, 200000, defaultRGBColor());
}

FracPtr QvFrac::clone() const
{
    auto list = std::make_shared<TransformList>();
    list->reserve(_transforms->size());
    for (const TransformPtr &t : *_transforms)
        list->push_back(std::make_shared<QvTransform>(*t));
    auto copy = std::make_shared<QvFrac>(list, _iterations, _bgColor);
    copy->_density = _density;
    return copy;
}

void QvFrac::setDensity(const DensityOptions &density)
{
    _density = clampedDensityOptions(density);
    _density.supersample = DensityOptions{}.supersample;
}

} // namespace attractor
