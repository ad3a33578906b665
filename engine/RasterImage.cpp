#include "engine/RasterImage.h"

#include "engine/LargeBuffer.h"
#include "engine/PngEncoder.h"

#include <QBuffer>
#include <QImageWriter>
#include <QRgba64>
#include <QThread>

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <limits>

namespace attractor {

namespace {

// Bitmaps beyond this are refused rather than attempted: 8 bytes a pixel.
constexpr qint64 kMaxImageBytes = qint64(4) << 30;
// Rows longer than this (a picture of tens of millions of pixels in one row)
// go to Qt's writer, which takes any row that fits in memory.
constexpr qsizetype kMostPngRowBytes = qsizetype(1) << 28;

// Bands of rows on several threads: the first touch of a fresh bitmap's
// pages costs more than the fill itself, and both divide.
void fillImage(QImage &image, QRgba64 colour, int threads)
{
    const int width = image.width();
    if (qint64(width) * image.height() < (qint64(1) << 18))
        threads = 1;
    // Rows found from the bits taken once: scanLine() may not be called from
    // several threads.
    uchar *const bits = image.bits();
    const qsizetype stride = image.bytesPerLine();
    forRowBands(image.height(), threads, [&](qsizetype first, qsizetype end) {
        for (qsizetype row = first; row < end; ++row) {
            auto *line = reinterpret_cast<QRgba64 *>(bits + row * stride);
            std::fill(line, line + width, colour);
        }
    });
}

QByteArray encode(const QImage &image, int code, int threads, QString *error)
{
    if (image.isNull()) {
        *error = QStringLiteral("there is no image to encode");
        return {};
    }
    if (code != kImageFormatJPEG && code != kImageFormatPNG) {
        *error = QStringLiteral("image format code %1 is not supported").arg(code);
        return {};
    }
    if (code == kImageFormatPNG && image.format() == QImage::Format_RGBA64
        && image.bytesPerLine() < kMostPngRowBytes)
        return encodePng16(image, threads, error);
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, QByteArray());
    bool written = false;
    if (code == kImageFormatJPEG) {
        writer.setFormat("jpeg");
        writer.setQuality(100);
        // JPEG has no alpha: the colour channels are kept as they are, opaque.
        written = writer.write(image.convertToFormat(QImage::Format_RGB888));
    } else {
        writer.setFormat("png");
        // Format_RGBA64 is what makes the writer store 16-bit RGBA samples.
        written = writer.write(image.format() == QImage::Format_RGBA64
                                   ? image
                                   : image.convertToFormat(QImage::Format_RGBA64));
    }
    if (!written) {
        *error = QStringLiteral("the image could not be encoded: %1").arg(writer.errorString());
        return {};
    }
    return data;
}

} // namespace

QPointF convertPointInBoundsToViewport(QPointF point, const QRectF &bounds)
{
    return stretchedFrame(bounds.size()).toPixels(point);
}

QSize imageSizeOf(const QRectF &rect)
{
    if (!imageSizeError(rect).isEmpty())
        return {};
    return {static_cast<int>(rect.width()), static_cast<int>(rect.height())};
}

QString imageSizeError(const QRectF &rect)
{
    const double w = std::trunc(rect.width());
    const double h = std::trunc(rect.height());
    if (!(w >= 1) || !(h >= 1))
        return QStringLiteral("the image size must be at least 1 \u00d7 1 pixels");
    if (w > std::numeric_limits<int>::max() || h > std::numeric_limits<int>::max()
        || w * h * 8 > static_cast<double>(kMaxImageBytes))
        return QStringLiteral("an image of %1 \u00d7 %2 pixels is too large")
            .arg(static_cast<qint64>(w))
            .arg(static_cast<qint64>(h));
    return {};
}

namespace {

// A plotted point's 16-bit pixel: its colour, opaque.
struct Pack16 {
    quint64 operator()(float r, float g, float b) const { return packRgba16(r, g, b, 1.0f); }
};
using RasterPlot = BitmapPlot<quint64, Pack16>;

} // namespace

bool drawRectWithQuartz(QImage &image, const RenderRequest &request, const DrawObserver *observer)
{
    if (image.format() != QImage::Format_RGBA64 || image.isNull() || image.size() != request.size)
        return false;
    const _rgb_color bg = request.tables.bgColor;
    fillImage(image, packRgba16(bg.r, bg.g, bg.b, bg.a), request.threads);

    ChaosRun run;
    run.seed = request.seed ? *request.seed : drawSeed();
    run.cancel = observer ? observer->cancel : nullptr;
    run.progressIncrement = observer && observer->progressIncrement ? &observer->progressIncrement : nullptr;
    const int workers = chaosWorkerCount(request.iterations, request.threads);
    // One scratch pixel per walker, a cache line apart.
    std::vector<quint64> scratch(static_cast<size_t>(workers) * 8);
    std::vector<RasterPlot> plots;
    plots.reserve(static_cast<size_t>(workers));
    const PixelMapping frame = requestFrame(request);
    for (int w = 0; w < workers; ++w)
        plots.emplace_back(image, frame, &scratch[static_cast<size_t>(w) * 8]);
    runChaosGame(request.tables, request.iterations, run, std::span<RasterPlot>(plots));
    return true;
}

QString renderSizeError(const RenderRequest &request)
{
    const QRectF rect(QPointF(0, 0), request.size);
    return request.density ? densitySizeError(rect, request.density->supersample) : imageSizeError(rect);
}

QImage hiResBitmapInsideRect(const RenderRequest &request, const DrawObserver *observer)
{
    if (!renderSizeError(request).isEmpty())
        return {};
    QImage image = largeImage(request.size, QImage::Format_RGBA64);
    // A null image here means the allocation failed.
    if (image.isNull())
        return {};
    if (!request.density) {
        drawRectWithQuartz(image, request, observer);
        return image;
    }
    // A cancelled density draw keeps the background; failing otherwise means
    // its counts found no memory.
    const bool drawn = drawDensity(image, request, observer ? *observer : DrawObserver{});
    return drawn || (observer && observer->cancel && observer->cancel->load()) ? image : QImage();
}

QByteArray encodeImage(const QImage &image, int code)
{
    QString ignored;
    return encode(image, code, QThread::idealThreadCount(), &ignored);
}

QByteArray hiResImageData(int code, const RenderRequest &asked, const ExportCallbacks &callbacks, QString *error)
{
    QString ignored;
    if (!error)
        error = &ignored;
    error->clear();
    // The size is checked before anything is drawn: a refused size leaves no
    // cancelled state to report.
    if (const QString sizeError = renderSizeError(asked); !sizeError.isEmpty()) {
        *error = sizeError;
        return {};
    }
    RenderRequest request = asked;
    if (request.threads <= 0)
        request.threads = QThread::idealThreadCount();
    DrawObserver observer;
    observer.progressIncrement = callbacks.progressIncrement;
    observer.cancel = callbacks.cancel;
    const QImage image = hiResBitmapInsideRect(request, &observer);
    if (callbacks.cancel && callbacks.cancel->load()) {
        if (callbacks.status)
            callbacks.status(QStringLiteral("Cancelling..."));
        return {};
    }
    if (image.isNull()) {
        *error = QStringLiteral("there is not enough memory for an image of %1 \u00d7 %2 pixels")
                     .arg(request.size.width())
                     .arg(request.size.height());
        return {};
    }
    if (callbacks.status)
        callbacks.status(QStringLiteral("Writing image file..."));
    if (callbacks.disableCancel)
        callbacks.disableCancel();
    return encode(image, code, request.threads, error);
}

} // namespace attractor
