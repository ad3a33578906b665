#include "model/RandomFractal.h"

#include "model/QvFrac.h"
#include "model/QvTransform.h"

#include <QDateTime>

#include <cmath>
#include <cstdlib>

namespace attractor {

namespace {
constexpr double kPi = 3.141592653589793;
// 2001-01-01T00:00:00Z in Unix seconds.
constexpr double kReferenceDateUnixSeconds = 978307200.0;
} // namespace

double randomFloat()
{
    return std::rand() / 2147483647.0;
}

_rgb_color randomRGBColor()
{
    const float r = static_cast<float>(randomFloat());
    const float g = static_cast<float>(randomFloat());
    const float b = static_cast<float>(randomFloat());
    return {r, g, b, 1.0f};
}

QPointF randomScale()
{
    const double sx = randomFloat() * (0.9 - 0.15) + 0.15;
    const double sy = randomFloat() * (0.9 - 0.15) + 0.15;
    return {sx, sy};
}

QPointF randomTranslation()
{
    const double tx = randomFloat() * 2 - 1;
    const double ty = randomFloat() * 2 - 1;
    return {tx, ty};
}

double randomRotation()
{
    return randomFloat() * kPi * 2;
}

std::shared_ptr<QvTransform> randomTransform()
{
    const _rgb_color colour = randomRGBColor();
    const QPointF translation = randomTranslation();
    const float rotation = static_cast<float>(randomRotation());
    const QPointF scale = randomScale();
    return std::make_shared<QvTransform>(scale, rotation, translation, colour);
}

double secondsSinceReferenceDate()
{
    return QDateTime::currentMSecsSinceEpoch() / 1000.0 - kReferenceDateUnixSeconds;
}

unsigned int seedFromReferenceSeconds(double seconds)
{
    const auto whole = static_cast<int64_t>(seconds);
    return static_cast<unsigned int>(static_cast<uint64_t>(whole) & 0xffffffffu);
}

uint64_t randomMapCount(double u)
{
    return static_cast<uint64_t>(std::floor(u * (5 + 0.999 - 3))) + 3;
}

FracPtr QvFrac::randomFractalWithCount(uint64_t count)
{
    std::srand(seedFromReferenceSeconds(secondsSinceReferenceDate()));
    auto list = std::make_shared<TransformList>();
    // No reserve(count): the count may come from anywhere and must not size an allocation up front.
    for (uint64_t i = 0; i < count; ++i)
        list->push_back(randomTransform());
    return std::make_shared<QvFrac>(list, 100000, defaultRGBColor());
}

FracPtr QvFrac::randomFractal()
{
    return randomFractalWithCount(randomMapCount(randomFloat()));
}

} // namespace attractor
