#pragma once

#include "persistence/DocumentReader.h"

class QByteArray;

namespace attractor {

// Reads a fractal from the older binary archive format (an NSArchiver typed
// stream). Never crashes on malformed bytes: the error says what was wrong.
DocumentReadResult readLegacyArchive(const QByteArray &bytes);

} // namespace attractor
