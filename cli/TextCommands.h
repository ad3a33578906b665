#pragma once

#include <QStringList>

namespace attractor::cli {

// attractor-cli convert IN [-o OUT]
// Reads a document (JSON text or legacy archive) and writes its document text.
// args are the arguments after "convert". Returns the exit status.
int runConvertCommand(const QStringList &args);

// attractor-cli report IN [-o OUT]
// Writes the plain-text report of the maps of a document.
// args are the arguments after "report". Returns the exit status.
int runReportCommand(const QStringList &args);

} // namespace attractor::cli
