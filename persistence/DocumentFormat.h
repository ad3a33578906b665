#pragma once

#include "model/Colour.h"
#include "model/QvFrac.h"
#include "model/View.h"

#include <QString>

namespace attractor {

class JsonValue;

// "'key':value" with the value printed as %.15g (point as separator,
// whatever the locale). Infinities are written as the largest finite 32-bit
// float and NaN as 0: the reader accepts neither, and a document must open again.
QString floatToJSON(const QString &key, double value);
// "'key':{'r':.., 'g':.., 'b':.., 'a':..}"
QString rgbToJSON(const QString &key, _rgb_color colour);

// Name of the running platform for the document header: "Linux", "Mac" or "Windows".
QString platformString();
// "major.minor.patch" of the running system; 0 where it says nothing.
QString operatingSystemVersionString();

// A map as one transform table of the document text.
QString jsonRepresentation(const QvTransform &transform);
// The whole document text, byte for byte the same for the same fractal and
// view. The view is saved (clamped) only when it is not the standard frame,
// so documents never zoomed keep their bytes.
QString jsonRepresentation(const QvFrac &fractal, const View &view = {});

// The number under key of a table as a 64-bit float; 0 when the table, the
// key or a number there is missing. Strings count by the number they begin with.
double floatForKey(const QString &key, const JsonValue *table);
// The colour table under key; 0 for every missing component.
_rgb_color rgbForKey(const QString &key, const JsonValue *table);

// Maps read from a transform table and a document table. Missing keys, and
// values of the wrong kind, read as 0: a document with odd contents opens
// with what it has rather than not at all.
TransformPtr transformFromDictionary(const JsonValue *table);
FracPtr fractalFromDictionary(const JsonValue *table);
// The view saved in a document table, clamped; the standard frame when there
// is none or it is no table.
View viewFromDictionary(const JsonValue *table);

} // namespace attractor
