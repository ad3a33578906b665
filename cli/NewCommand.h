#pragma once

#include <QStringList>

namespace attractor::cli {

// attractor-cli new [--random] [-o OUT]
// Writes the document text of the default fractal, or of a random one whose
// maps are all opaque white, as the editor's random command makes it.
// args are the arguments after "new". Returns the exit status.
int runNewCommand(const QStringList &args);

} // namespace attractor::cli
