#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

namespace attractor {

// Writes a Format_RGBA64 image as a PNG with 16-bit RGBA samples, not
// interlaced, lossless. Bands of rows are filtered and deflated on `threads`
// threads into one zlib stream (each band ends on a byte boundary, only the
// last one finishes the stream), so the file is an ordinary PNG that any
// reader takes. A null or differently formatted image gives no data and a
// reason in *error.
QByteArray encodePng16(const QImage &image, int threads, QString *error);

} // namespace attractor
