#pragma once

#include "engine/ChaosGame.h"
#include "engine/DensityImage.h"
#include "engine/PixelMapping.h"

#include <QByteArray>
#include <QImage>
#include <QPointF>
#include <QRectF>
#include <QRgba64>
#include <QString>
#include <QtEndian>

#include <algorithm>
#include <atomic>
#include <functional>
#include <optional>
#include <system_error>
#include <thread>
#include <vector>

namespace attractor {

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

inline QRgba64 packRgba16(float r, float g, float b, float a)
{
    return QRgba64::fromRgba64(channel16(r), channel16(g), channel16(b), channel16(a));
}

// Float to 8 bits the way OpenGL stores a colour in an 8-bit framebuffer:
// clamped (NaN to 0), scaled by 255 and rounded half up. Without branches or
// doubles: below 256 a float's fraction is exact, so comparing it with one
// half rounds exactly as adding one half in doubles would.
inline quint32 channel8(float value)
{
    const float clamped = value > 0.0f ? (value < 1.0f ? value : 1.0f) : 0.0f;
    const float scaled = clamped * 255.0f;
    const int whole = static_cast<int>(scaled);
    return static_cast<quint32>(whole + (scaled - static_cast<float>(whole) >= 0.5f ? 1 : 0));
}

// The bytes R, G, B, A in memory order, as Format_RGBA8888 keeps them.
inline quint32 packRgba8(float r, float g, float b, float a)
{
    return qToLittleEndian(channel8(r) | channel8(g) << 8 | channel8(b) << 16 | channel8(a) << 24);
}

// Runs body(firstRow, endRow) over bands of rows on up to `threads` threads.
template <typename Body>
inline void forRowBands(qsizetype rows, int threads, Body &&body)
{
    const int count = static_cast<int>(std::clamp<qsizetype>(threads, 1, std::max<qsizetype>(rows, 1)));
    std::vector<std::thread> pool;
    const qsizetype per = (rows + count - 1) / count;
    for (int t = 1; t < count; ++t) {
        const qsizetype first = t * per, end = std::min(rows, first + per);
        if (first >= end)
            break;
        try {
            pool.emplace_back([&body, first, end] { body(first, end); });
        } catch (const std::system_error &) {
            body(first, end);
        }
    }
    body(0, std::min(rows, per));
    for (std::thread &t : pool)
        t.join();
}

// Plots one walker's points into a bitmap that walkers share, document
// coordinates mapped to pixels by the frame, y up: each
// point stores pack(r, g, b) to the pixel that contains it. Points land all
// over a large bitmap and most stores miss the cache; plain stores let the
// processor keep many misses in flight. Points outside the bitmap (or not a
// number, as a diverging map gives) go to the walker's own scratch pixel,
// which keeps the loop free of branches that a scattered attractor would
// mispredict. Whole pixels are stored atomically (plain stores on this
// hardware), and the last writer wins.
template <typename Pixel, typename Pack>
class BitmapPlot
{
public:
    BitmapPlot(QImage &image, const PixelMapping &frame, Pixel *scratch, Pack pack = {})
        : _frame(frame)
        , _width(image.width())
        , _height(image.height())
        , _stride(image.bytesPerLine())
        // y points up: the bottom row is the last one in memory.
        , _bottomRow(image.scanLine(image.height() - 1))
        , _scratch(scratch)
        , _pack(pack)
    {
    }

    void operator()(float x, float y, float r, float g, float b)
    {
        const double px = (x - _frame.left) * _frame.scaleX + _frame.originX;
        const double py = (y - _frame.bottom) * _frame.scaleY + _frame.originY;
        const bool inside = px >= 0.0 && px < _width && py >= 0.0 && py < _height;
        const auto column = static_cast<qsizetype>(inside ? px : 0.0);
        const auto rowUp = static_cast<qsizetype>(inside ? py : 0.0);
        Pixel *const target = inside ? reinterpret_cast<Pixel *>(_bottomRow - rowUp * _stride) + column : _scratch;
        std::atomic_ref<Pixel>(*target).store(_pack(r, g, b), std::memory_order_relaxed);
    }

private:
    PixelMapping _frame;
    double _width, _height;
    qsizetype _stride;
    uchar *_bottomRow;
    Pixel *_scratch;
    Pack _pack;
};

// Image format codes of the exports.
inline constexpr int kImageFormatJPEG = 2;
inline constexpr int kImageFormatPNG = 3;

// Maps a point of the drawing square -2..2 onto a rectangle of the given size
// (origin not used): (-2, -2) -> (0, 0), (2, 2) -> (width, height), y up.
QPointF convertPointInBoundsToViewport(QPointF point, const QRectF &bounds);

// Why an image of this rectangle's size (width and height truncated) cannot be
// made, or an empty string when it can.
QString imageSizeError(const QRectF &rect);
// The rectangle's size in whole pixels (truncated), or an empty size where
// imageSizeError refuses it.
QSize imageSizeOf(const QRectF &rect);

// The raster back end: a 16-bit RGBA image of the request's size, filled with
// the background (alpha included), each plotted point filling the pixel that
// contains it with its colour at alpha 1, upright (first row is the top); or
// the density picture when the request asks for it. A null image when the
// size is refused (see imageSizeError, densitySizeError) or memory is short.
QImage hiResBitmapInsideRect(const RenderRequest &request, const DrawObserver *observer = nullptr);

// The raster back end into an existing Format_RGBA64 image of the request's
// size (anything else is left alone and gives false): fills it with the
// background and plots, y up from the bottom row. Lets a caller reuse one
// bitmap for several draws.
bool drawRectWithQuartz(QImage &image, const RenderRequest &request, const DrawObserver *observer = nullptr);

// Why the request's picture cannot be made at its size, or empty.
QString renderSizeError(const RenderRequest &request);

// Encodes by code: 2 JPEG at full quality (8-bit, opaque), 3 PNG (16-bit RGBA,
// not interlaced). Any other code gives no data.
QByteArray encodeImage(const QImage &image, int code);

// The high-resolution export: draw, then encode unless cancelled. Reports the
// status texts "Cancelling..." or "Writing image file..." (after which the
// export can no longer be cancelled).
struct ExportCallbacks {
    std::function<void(const QString &)> status;
    std::function<void()> progressIncrement;
    std::function<void()> disableCancel;
    const std::atomic<bool> *cancel = nullptr;
};
// Draws on one walker per core when the request offers 0. Says why no data
// came back: empty when cancelled, otherwise the refused size, the bitmap
// that could not be allocated, the unknown format code or the encoder's
// complaint.
QByteArray hiResImageData(int code, const RenderRequest &request, const ExportCallbacks &callbacks,
                          QString *error = nullptr);

} // namespace attractor
