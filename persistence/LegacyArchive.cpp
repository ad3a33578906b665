#include "persistence/LegacyArchive.h"

#include <QByteArray>

namespace attractor {

// Placeholder until the typed-stream reader lands.
DocumentReadResult readLegacyArchive(const QByteArray &)
{
    return {nullptr, QStringLiteral("not a fractal document (legacy archives are not supported yet)")};
}

} // namespace attractor
