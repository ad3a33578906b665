#include "persistence/LegacyArchive.h"

#include <QByteArray>

#include <cstdint>
#include <cstdlib>

// Any bytes: a fractal or a reason, never both, never neither, never a crash.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const attractor::DocumentReadResult result = attractor::readLegacyArchive(bytes);
    if (result.ok() == !result.error.isEmpty())
        std::abort();
    return 0;
}
