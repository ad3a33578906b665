#include "engine/ImageStats.h"

#include <QRgba64>

#include <cmath>

namespace attractor {

namespace {

// The picture as 16-bit premultiplied pixels: composed over black.
QImage premultiplied(const QImage &image)
{
    return image.convertToFormat(QImage::Format_RGBA64_Premultiplied);
}

template <typename Body>
void forEachChannel(const QImage &image, Body &&body)
{
    for (int y = 0; y < image.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgba64 *>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x)
            body(y, x, line[x]);
    }
}

} // namespace

double meanBrightness(const QImage &image)
{
    if (image.isNull())
        return 0.0;
    const QImage lit = premultiplied(image);
    double sum = 0.0;
    forEachChannel(lit, [&sum](int, int, QRgba64 p) { sum += double(p.red()) + p.green() + p.blue(); });
    return sum / (3.0 * 65535.0 * double(image.width()) * image.height());
}

double rmsDifference(const QImage &a, const QImage &b)
{
    if (a.size() != b.size() || a.isNull())
        return -1.0;
    const QImage first = premultiplied(a), second = premultiplied(b);
    double sum = 0.0;
    forEachChannel(first, [&](int y, int x, QRgba64 p) {
        const QRgba64 q = reinterpret_cast<const QRgba64 *>(second.constScanLine(y))[x];
        const double dr = (double(p.red()) - q.red()) / 65535.0, dg = (double(p.green()) - q.green()) / 65535.0,
                     db = (double(p.blue()) - q.blue()) / 65535.0;
        sum += dr * dr + dg * dg + db * db;
    });
    return std::sqrt(sum / (3.0 * double(a.width()) * a.height()));
}

} // namespace attractor
