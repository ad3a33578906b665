#include "renderer/RasterImage.h"

#include <QBuffer>
#include <QImageWriter>
#include <QRgba64>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

namespace attractor {

namespace {

// Bitmaps beyond this are refused rather than attempted: 8 bytes a pixel.
constexpr qint64 kMaxImageBytes = qint64(4) << 30;

// Colours are not clamped in the model, so out-of-range channels are clamped
// here. Adding 0.5 rounds to nearest: below 65536 a float's fraction has room
// for it, so the sum is exact.
inline quint16 channel16(float value)
{
    if (!(value > 0.0f))
        return 0;
    if (value >= 1.0f)
        return 65535;
    return static_cast<quint16>(value * 65535.0f + 0.5f);
}

inline QRgba64 rgba64(float r, float g, float b, float a)
{
    return QRgba64::fromRgba64(channel16(r), channel16(g), channel16(b), channel16(a));
}

inline void prefetchForWriting(const void *address)
{
#if defined(__GNUC__) || defined(__clang__)
    __builtin_prefetch(address, 1);
#else
    (void)address;
#endif
}

void fillImage(QImage &image, QRgba64 colour)
{
    const int width = image.width();
    for (int row = 0; row < image.height(); ++row) {
        auto *line = reinterpret_cast<QRgba64 *>(image.scanLine(row));
        std::fill(line, line + width, colour);
    }
}

QByteArray encode(const QImage &image, int code, QString *error)
{
    if (image.isNull()) {
        *error = QStringLiteral("there is no image to encode");
        return {};
    }
    if (code != kImageFormatJPEG && code != kImageFormatPNG) {
        *error = QStringLiteral("image format code %1 is not supported").arg(code);
        return {};
    }
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

bool drawRectWithQuartz(QImage &image, const QRectF &rect, const ChaosTables &tables, int32_t iterations,
                        const DrawObserver *observer)
{
    if (image.format() != QImage::Format_RGBA64 || image.isNull())
        return false;
    const _rgb_color bg = tables.bgColor;
    fillImage(image, rgba64(bg.r, bg.g, bg.b, bg.a));

    // The square goes onto the rectangle's size, as convertPointInBoundsToViewport
    // does: (x + 2) / 4 * w equals (x + 2) * (w / 4) because dividing by 4 is exact.
    const double quarterW = static_cast<double>(static_cast<float>(rect.width())) / 4;
    const double quarterH = static_cast<double>(static_cast<float>(rect.height())) / 4;
    const double width = image.width();
    const double height = image.height();
    const qsizetype stride = image.bytesPerLine();
    // y points up: the bottom row is the last one in memory.
    uchar *const bottomRow = image.scanLine(image.height() - 1);

    // Points land all over a large bitmap, so most stores miss the cache, and
    // the lock inside rand() makes every miss wait in full. Each store is
    // therefore prefetched and made a few points later, in the same order, so
    // the picture is the one direct stores would give. Points outside the
    // bitmap go to a scratch pixel, which keeps the loop free of branches that
    // a scattered attractor would mispredict.
    struct PendingPixel {
        QRgba64 *pixel;
        QRgba64 value;
    };
    constexpr unsigned kDelay = 16;
    QRgba64 scratch;
    std::array<PendingPixel, kDelay> pending;
    pending.fill({&scratch, QRgba64()});
    unsigned head = 0;
    auto plot = [&](float x, float y, float r, float g, float b) {
        const double px = (x + 2.0) * quarterW;
        const double py = (y + 2.0) * quarterH;
        // Also false for NaN, which a diverging map produces.
        const bool inside = px >= 0.0 && px < width && py >= 0.0 && py < height;
        const auto column = static_cast<qsizetype>(inside ? px : 0.0);
        const auto rowUp = static_cast<qsizetype>(inside ? py : 0.0);
        QRgba64 *const target =
            inside ? reinterpret_cast<QRgba64 *>(bottomRow - rowUp * stride) + column : &scratch;
        prefetchForWriting(target);
        PendingPixel &slot = pending[head];
        *slot.pixel = slot.value;
        slot = {target, QRgba64::fromRgba64(channel16(r), channel16(g), channel16(b), 65535)};
        head = (head + 1) % kDelay;
    };
    // Stores still pending when the game ends or is cancelled.
    auto flush = [&] {
        for (unsigned i = 0; i < kDelay; ++i) {
            const PendingPixel &slot = pending[(head + i) % kDelay];
            *slot.pixel = slot.value;
        }
    };

    const std::atomic<bool> *cancel = observer ? observer->cancel : nullptr;
    const std::function<void()> *progress =
        observer && observer->progressIncrement ? &observer->progressIncrement : nullptr;
    const int32_t step = iterations / 95;
    if (progress && step > 0) {
        // A countdown instead of k % step: a division per iteration would cost
        // more than the rest of the check.
        int32_t countdown = step;
        runChaosGame(tables, iterations, plot, [&](int32_t) {
            if (--countdown == 0) {
                countdown = step;
                (*progress)();
            }
            return !(cancel && cancel->load(std::memory_order_relaxed));
        });
    } else if (cancel) {
        runChaosGame(tables, iterations, plot,
                     [cancel](int32_t) { return !cancel->load(std::memory_order_relaxed); });
    } else {
        runChaosGame(tables, iterations, plot);
    }
    flush();
    return true;
}

QImage hiResBitmapInsideRect(const ChaosTables &tables, int32_t iterations, const QRectF &rect,
                             const DrawObserver *observer)
{
    if (!imageSizeError(rect).isEmpty())
        return {};
    QImage image(static_cast<int>(rect.width()), static_cast<int>(rect.height()), QImage::Format_RGBA64);
    // A null image here means the allocation failed.
    if (image.isNull())
        return {};
    drawRectWithQuartz(image, rect, tables, iterations, observer);
    return image;
}

QByteArray encodeImage(const QImage &image, int code)
{
    QString ignored;
    return encode(image, code, &ignored);
}

QByteArray hiResImageData(int code, const ChaosTables &tables, int32_t iterations, const QRectF &rect,
                          const ExportCallbacks &callbacks, QString *error)
{
    QString ignored;
    if (!error)
        error = &ignored;
    error->clear();
    // The size is checked before anything is drawn: a refused size leaves no
    // cancelled state to report.
    const QString sizeError = imageSizeError(rect);
    if (!sizeError.isEmpty()) {
        *error = sizeError;
        return {};
    }
    DrawObserver observer;
    observer.progressIncrement = callbacks.progressIncrement;
    observer.cancel = callbacks.cancel;
    const QImage image = hiResBitmapInsideRect(tables, iterations, rect, &observer);
    if (callbacks.cancel && callbacks.cancel->load()) {
        if (callbacks.status)
            callbacks.status(QStringLiteral("Cancelling..."));
        return {};
    }
    if (image.isNull()) {
        *error = QStringLiteral("there is not enough memory for an image of %1 \u00d7 %2 pixels")
                     .arg(static_cast<int>(rect.width()))
                     .arg(static_cast<int>(rect.height()));
        return {};
    }
    if (callbacks.status)
        callbacks.status(QStringLiteral("Writing image file..."));
    if (callbacks.disableCancel)
        callbacks.disableCancel();
    return encode(image, code, error);
}

QByteArray hiResImageData(int code, const ChaosTables &tables, int32_t iterations, const QRectF &rect,
                          const ExportCallbacks &callbacks)
{
    return hiResImageData(code, tables, iterations, rect, callbacks, nullptr);
}

} // namespace attractor
