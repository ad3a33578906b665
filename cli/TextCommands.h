#pragma once

#include <QStringList>

namespace attractor::cli {

// attractor-cli convert IN [--entry NAME] [-o OUT]
// Reads a document (JSON text or legacy archive) or an .ifs entry and writes
// it as .ifs or .flame text by OUT's extension, otherwise as document text.
// args are the arguments after "convert". Returns the exit status.
int runConvertCommand(const QStringList &args);

// attractor-cli report IN [--entry NAME] [-o OUT]
// Writes the plain-text report of the maps of a document or .ifs entry.
// args are the arguments after "report". Returns the exit status.
int runReportCommand(const QStringList &args);

} // namespace attractor::cli
