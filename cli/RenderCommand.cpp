#include "cli/RenderCommand.h"

#include <QStringList>

#include <cstdio>

namespace attractor::cli {

// Placeholder until the chaos-game renderer lands.
int runRenderCommand(const QStringList &)
{
    std::fputs("attractor-cli: render is not available yet\n", stderr);
    return 1;
}

} // namespace attractor::cli
