#pragma once

#include "model/Colour.h"
#include "model/DensityOptions.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace attractor {

class QvTransform;

using TransformPtr = std::shared_ptr<QvTransform>;
// The ordered list of maps. Held through a shared pointer so that two fractals
// made from the same list see each other's changes, and so the editor's
// selection can refer to a map.
using TransformList = std::vector<TransformPtr>;
using TransformListPtr = std::shared_ptr<TransformList>;

class QvFrac;
using FracPtr = std::shared_ptr<QvFrac>;

// The fractal: maps, iteration count and background. One object is shared by a
// document and both its canvases, which edit it in place.
class QvFrac
{
public:
    QvFrac();
    QvFrac(TransformListPtr transforms, int32_t iterations, _rgb_color bgColor);

    // Green, blue and red halves at the corners of the square: the Sierpinski triangle.
    static FracPtr defaultFractal();
    // Three to five random maps; reseeds the process-wide generator from the clock.
    static FracPtr randomFractal();
    static FracPtr randomFractalWithCount(uint64_t count);

    // The list itself, not a copy.
    const TransformListPtr &transforms() const { return _transforms; }
    int32_t iterations() const { return _iterations; }
    void setIterations(int32_t iterations) { _iterations = iterations; }
    _rgb_color bgColor() const { return _bgColor; }
    void setBgColor(_rgb_color bgColor) { _bgColor = bgColor; }
    // How its density picture looks; the supersampling is no part of it.
    const DensityOptions &density() const { return _density; }
    void setDensity(const DensityOptions &density);

    // A deep copy: new maps with the same values, for work that must not see
    // later edits (a drawing on another thread).
    FracPtr clone() const;

private:
    TransformListPtr _transforms;
    int32_t _iterations = 0;
    _rgb_color _bgColor;
    DensityOptions _density;
};

} // namespace attractor
