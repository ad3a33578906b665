#pragma once

#include <QStringList>

namespace attractor::cli {

// attractor-cli convert IN [-o OUT]
// Reads a document (JSON text or legacy archive) and writes its document text.
// args are the arguments after "convert". Returns the exit status.
int runConvertCommand(const QStringList &args);

} // namespace attractor::cli
