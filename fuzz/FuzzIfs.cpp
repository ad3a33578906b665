#include "model/QvFrac.h"
#include "persistence/IfsFormat.h"

#include <QByteArray>

#include <cstdint>
#include <cstdlib>

// Any bytes: entries or a reason, never both; every 2D entry a fractal or a
// reason naming it; and a fractal that was made writes a file that reads again.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const attractor::IfsReadResult read = attractor::readIfs(bytes);
    if (read.ok() == read.entries.empty())
        std::abort();
    for (const attractor::IfsEntry &entry : read.entries) {
        if (entry.threeD)
            continue;
        const attractor::DocumentReadResult result = attractor::fractalFromIfsEntry(entry);
        if (result.ok() == !result.error.isEmpty() || (!result.ok() && !result.error.startsWith(entry.name)))
            std::abort();
        if (result.ok() && !attractor::readIfs(attractor::ifsText(*result.fractal, entry.name)).ok())
            std::abort();
    }
    return 0;
}
