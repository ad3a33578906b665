#include "renderer/RasterImage.h"

#include <QBuffer>
#include <QImageWriter>
#include <QRgba64>

#include <algorithm>
#include <cmath>
#include <limits>

namespace attractor {

namespace {

// Bitmaps beyond this are refused rather than attempted: 8 bytes a pixel.
constexpr qint64 kMaxImageBytes = qint64(4) << 30;

quint16 channel16(float value)
{
    if (!(value > 0.0f))
        return 0;
    if (value >= 1.0f)
        return 65535;
    return static_cast<quint16>(std::lround(value * 65535.0f));
}

QRgba64 rgba64(float r, float g, float b, float a)
{
    return QRgba64::fromRgba64(channel16(r), channel16(g), channel16(b), channel16(a));
}

} // namespace

QPointF convertPointInBoundsToViewport(QPointF point, const QRectF &bounds)
{
    const double w = static_cast<float>(bounds.width());
    const double h = static_cast<float>(bounds.height());
    return {(point.x() + 2) / 4 * w, (point.y() + 2) / 4 * h};
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

QImage hiResBitmapInsideRect(const ChaosTables &tables, int32_t iterations, const QRectF &rect,
                             const DrawObserver *observer)
{
    if (!imageSizeError(rect).isEmpty())
        return {};
    const int width = static_cast<int>(rect.width());
    const int height = static_cast<int>(rect.height());
    QImage image(width, height, QImage::Format_RGBA64);
    if (image.isNull())
        return {};
    const _rgb_color bg = tables.bgColor;
    image.fill(QColor::fromRgba64(rgba64(bg.r, bg.g, bg.b, bg.a)));

    // The square is mapped onto the rectangle's size: x' = (x + 2) / 4 * w.
    const double w = static_cast<float>(rect.width());
    const double h = static_cast<float>(rect.height());
    uchar *const bits = image.bits();
    const qsizetype stride = image.bytesPerLine();
    auto plot = [=](float x, float y, float r, float g, float b) {
        const double px = (x + 2.0) / 4 * w;
        const double py = (y + 2.0) / 4 * h;
        if (!(px >= 0.0 && px < width && py >= 0.0 && py < height))
            return;
        const int column = static_cast<int>(px);
        const int row = height - 1 - static_cast<int>(py);
        auto *pixel = reinterpret_cast<QRgba64 *>(bits + row * stride) + column;
        *pixel = rgba64(r, g, b, 1.0f);
    };

    const int32_t step = iterations / 95;
    if (observer && (observer->progressIncrement || observer->cancel)) {
        const std::atomic<bool> *cancel = observer->cancel;
        const std::function<void()> &progress = observer->progressIncrement;
        runChaosGame(tables, iterations, plot, [&](int32_t k) {
            if (progress && step != 0 && k % step == 0)
                progress();
            return !(cancel && cancel->load(std::memory_order_relaxed));
        });
    } else {
        runChaosGame(tables, iterations, plot);
    }
    return image;
}

QByteArray encodeImage(const QImage &image, int code)
{
    if (image.isNull())
        return {};
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, QByteArray());
    if (code == kImageFormatJPEG) {
        writer.setFormat("jpeg");
        writer.setQuality(100);
        // JPEG has no alpha: keep the colour channels as they are, opaque.
        if (!writer.write(image.convertToFormat(QImage::Format_RGB888)))
            return {};
    } else if (code == kImageFormatPNG) {
        writer.setFormat("png");
        const QImage png = image.format() == QImage::Format_RGBA64 ? image
                                                                  : image.convertToFormat(QImage::Format_RGBA64);
        if (!writer.write(png))
            return {};
    } else {
        return {};
    }
    return data;
}

QByteArray hiResImageData(int code, const ChaosTables &tables, int32_t iterations, const QRectF &rect,
                          const ExportCallbacks &callbacks)
{
    DrawObserver observer;
    observer.progressIncrement = callbacks.progressIncrement;
    observer.cancel = callbacks.cancel;
    const QImage image = hiResBitmapInsideRect(tables, iterations, rect, &observer);
    if (callbacks.cancel && callbacks.cancel->load()) {
        if (callbacks.status)
            callbacks.status(QStringLiteral("Cancelling..."));
        return {};
    }
    if (callbacks.status)
        callbacks.status(QStringLiteral("Writing image file..."));
    if (callbacks.disableCancel)
        callbacks.disableCancel();
    return encodeImage(image, code);
}

} // namespace attractor
