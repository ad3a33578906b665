#pragma once

#include "engine/RenderRequest.h"

#include <QImage>
#include <QRectF>
#include <QString>

#include <atomic>
#include <functional>

namespace attractor {


// Bytes of the counts a density picture of this size needs, shared by its
// walkers, and of the buckets each walker files its hits in (an eighth of
// the counts).
qint64 densityGridBytes(QSize size, int supersample);
qint64 densityBucketBytes(QSize size, int supersample);
// How many of `threads` walkers fit with the counts within 4 GiB (0 when not
// even one does).
int densityWalkers(QSize size, int supersample, int threads);
// Why a density picture of this rectangle's size cannot be made, or empty.
QString densitySizeError(const QRectF &rect, int supersample);

// Draws the request's density picture (default options when it asks for
// points) into a Format_RGBA64 (or, rounded to 8 bits, Format_RGBA8888) image
// of its size (first row is the top), with the request's walkers and seed and
// the observer's progress and cancel. False when the image is of another
// format or size, the buffers cannot be had, or the draw was cancelled (the
// image then holds the background).
bool drawDensity(QImage &image, const RenderRequest &request, const DrawObserver &observer);

} // namespace attractor
