#pragma once

#include <QStringList>

namespace attractor::cli {

// attractor-cli thumbnail IN OUT [--size N]: a small square PNG of a document
// for file managers. args are the arguments after "thumbnail". Returns the
// exit status.
int runThumbnailCommand(const QStringList &args);

} // namespace attractor::cli
