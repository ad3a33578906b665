#include "persistence/DocumentFormat.h"
#include "persistence/DocumentReader.h"

#include <QByteArray>

#include <cstdint>
#include <cstdlib>

// Any file: JSON text and archive alike give a fractal or a reason, never
// both, never a crash; and a fractal that opened can be saved and opened again.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const attractor::DocumentReadResult result = attractor::readDocument(bytes);
    if (result.ok() == !result.error.isEmpty())
        std::abort();
    if (result.ok()) {
        const attractor::DocumentReadResult again = attractor::readDocument(attractor::jsonRepresentation(*result.fractal).toUtf8());
        if (!again.ok())
            std::abort();
    }
    return 0;
}
