#pragma once

#include <QStringList>

namespace attractor::cli {

// attractor-cli report IN [-o OUT]
// Writes the plain-text report of the maps of a document.
// args are the arguments after "report". Returns the exit status.
int runReportCommand(const QStringList &args);

} // namespace attractor::cli
