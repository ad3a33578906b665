#pragma once

#include "persistence/DocumentReader.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <vector>

namespace attractor {

class QvFrac;

// One entry of a Fractint .ifs file: "name { a b c d e f p ... }", each map
// sending (x, y) to (a x + b y + e, c x + d y + f) with probability p.
struct IfsEntry {
    QString name;
    int line = 0;          // where the entry's name stands, from 1
    bool threeD = false;   // "name (3D) { ... }": 13 numbers a map, not drawn
    std::vector<std::array<double, 7>> maps; // a b c d e f p; empty for 3D entries
};

// The entries of a file, or a reason naming the line ("line 7: ...").
struct IfsReadResult {
    std::vector<IfsEntry> entries;
    QString error;
    bool ok() const { return error.isEmpty(); }
};

IfsReadResult readIfs(const QByteArray &bytes);

// The entry called name, or the first 2D entry for an empty name; none when
// there is no such entry.
const IfsEntry *findIfsEntry(const std::vector<IfsEntry> &entries, const QString &name);

// The entry as a fractal: its exact maps and probabilities, colours from a
// palette, fitted into the canvas frame by a similarity. A 3D or empty entry
// is refused with a reason naming it.
DocumentReadResult fractalFromIfsEntry(const IfsEntry &entry);

// The fractal as a one-entry .ifs text called name, probabilities summing to 1.
QByteArray ifsText(const QvFrac &fractal, const QString &name);

} // namespace attractor
