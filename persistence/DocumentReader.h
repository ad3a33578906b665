#pragma once

#include "model/QvFrac.h"
#include "model/View.h"

#include <QString>

class QByteArray;

namespace attractor {

// The outcome of reading document bytes: a fractal, or a reason a person
// can read; with the view the document was saved with (the standard frame
// for documents without one and for other formats).
struct DocumentReadResult {
    FracPtr fractal;
    QString error;
    View view;

    bool ok() const { return fractal != nullptr; }
};

// Whether the bytes are read as document text: valid UTF-8 that begins with
// '{', after a byte-order mark if there is one. The saver asks the same.
bool isDocumentText(const QByteArray &bytes);

// The one path from file bytes to a fractal. Valid UTF-8 beginning with '{'
// is read as the JSON document text; everything else as a legacy archive.
DocumentReadResult readDocument(const QByteArray &bytes);

} // namespace attractor
