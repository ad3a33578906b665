#pragma once

#include <QStringList>

namespace attractor::cli {

// attractor-cli render IN -o OUT [--width W] [--height H] [--iterations N]
// args are the arguments after "render". Returns the exit status.
int runRenderCommand(const QStringList &args);

} // namespace attractor::cli
