#pragma once

#include "engine/ChaosGame.h"

#include <QImage>
#include <QRectF>
#include <QString>

#include <atomic>
#include <functional>

namespace attractor {

// The density rendering: every pixel of a grid supersampled S x S counts its
// hits and sums the walker's colour at each. Afterwards a pixel's colour is
// the mean colour of its hits, its coverage log(1 + count) / log(1 + most)
// raised to 1 / gamma and scaled by the brightness, composed over the
// background; supersampled pixels are averaged down. A pixel never hit is
// the background exactly.
struct DensityOptions {
    int supersample = 1;
    double gamma = 2.2;
    // Above 1 it acts as 1.
    double brightness = 1.0;
};

inline constexpr int kMinSupersample = 1;
inline constexpr int kMaxSupersample = 4;
inline constexpr double kMinGamma = 1.0;
inline constexpr double kMaxGamma = 4.0;

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

struct DrawObserver;

// Draws the density picture into a Format_RGBA64 (or, rounded to 8 bits,
// Format_RGBA8888) image of the rectangle's size (first row is the top), with
// the observer's walkers, seed, progress and cancel. False when the image is
// of another format, the buffers cannot be had, or the draw was cancelled
// (the image then holds the background).
bool drawDensity(QImage &image, const QRectF &rect, const ChaosTables &tables, int32_t iterations,
                 const DensityOptions &options, const DrawObserver &observer);

} // namespace attractor
