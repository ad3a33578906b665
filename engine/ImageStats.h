#pragma once

#include <QImage>

namespace attractor {

// The mean of the red, green and blue channels (0 to 1) over every pixel,
// each composed over black by its alpha: how bright the picture looks.
double meanBrightness(const QImage &image);

// The root-mean-square difference of two pictures of one size, over the
// channels of the pixels composed over black (0 to 1); -1 when the sizes differ.
double rmsDifference(const QImage &a, const QImage &b);

} // namespace attractor
