#pragma once

#include "renderer/ChaosGame.h"

#include <QImage>
#include <QSize>

#include <functional>

namespace attractor {

// The chaos game plotted on the CPU into an 8-bit RGBA image (first row is the
// top), lighting exactly the pixels that one-pixel GL_POINTS would light under
// the y-up projection of the drawing square: the pixel containing each point,
// in the point's colour at alpha 1, over the background at backgroundAlpha.
// The seed comes from rand(), once. keepGoing is asked every few thousand
// iterations; when it says no, the plot is abandoned and a null image comes
// back. partial, when given, gets a copy of the growing picture and the share
// of the iterations done about every kPartialPictureMs.
inline constexpr int kPartialPictureMs = 100;
using PartialPicture = std::function<void(const QImage &picture, double done)>;
QImage plotGlPoints(const ChaosTables &tables, int32_t iterations, QSize size, float backgroundAlpha,
                    const std::function<bool()> &keepGoing = {}, const PartialPicture &partial = {});

// The density picture of the game at the canvas's size with the default
// tone mapping, over the opaque background, as an 8-bit RGBA image (first row
// is the top); drawn by the engine's walkers on all cores. keepGoing is asked
// at each progress step; when it says no, a null image comes back.
QImage plotDensityPreview(const ChaosTables &tables, QSize size, const std::function<bool()> &keepGoing = {});

// Whether two table sets give the same picture (compared bit for bit, so a
// value that is not a number still equals itself).
bool samePicture(const ChaosTables &a, const ChaosTables &b);

} // namespace attractor
