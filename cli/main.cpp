#include "cli/RenderCommand.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments().mid(1);
    if (!args.isEmpty() && args.first() == QStringLiteral("render"))
        return attractor::cli::runRenderCommand(args.mid(1));
    std::fputs("usage: attractor-cli render|convert|report|new ...\n", stderr);
    return 2;
}
