#include "cli/CliSupport.h"
#include "cli/NewCommand.h"
#include "cli/RenderCommand.h"
#include "cli/TextCommands.h"
#include "cli/ThumbnailCommand.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

namespace {

const char usage[] =
    "usage: attractor-cli COMMAND [ARGS]\n"
    "\n"
    "Commands:\n"
    "  render IN [--entry NAME] -o OUT [--width W] [--height H] [--iterations N] [--threads T]\n"
    "         [--mode points|density] [--supersample S] [--gamma G] [--brightness B]\n"
    "         [--vibrancy V] [--highlight H] [--de-radius R] [--center X,Y] [--zoom Z]\n"
    "                               draw the attractor of a document into an image\n"
    "  convert IN [--entry NAME] [-o OUT]\n"
    "                               write a document as .ifs or .flame by OUT's extension,\n"
    "                               otherwise as document text\n"
    "  report IN [--entry NAME] [-o OUT]\n"
    "                               write the plain-text report of a document's maps\n"
    "  new [--random] [-o OUT]      write a new document: the default fractal or a random one\n"
    "  thumbnail IN OUT [--size N]  draw a small square PNG of a document for file managers:\n"
    "                               N x N pixels, N 16 to 1024 (default 128)\n"
    "\n"
    "IN is a document (JSON text or legacy archive) or a Fractint .ifs file, whose entry NAME\n"
    "(by default the first 2D one) is read, fitted into the frame. IN may be /dev/stdin.\n"
    "Without -o the result goes to standard output.\n"
    "attractor-cli COMMAND --help describes one command.\n";

} // namespace

int main(int argc, char *argv[])
{
    using namespace attractor::cli;
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments().mid(1);
    const QString command = args.value(0);
    const QStringList rest = args.mid(1);

    if (command == QStringLiteral("--help") || command == QStringLiteral("-h") || command == QStringLiteral("help")) {
        std::fputs(usage, stdout);
        return ExitOk;
    }
    if (command == QStringLiteral("render"))
        return runRenderCommand(rest);
    if (command == QStringLiteral("convert"))
        return runConvertCommand(rest);
    if (command == QStringLiteral("report"))
        return runReportCommand(rest);
    if (command == QStringLiteral("new"))
        return runNewCommand(rest);
    if (command == QStringLiteral("thumbnail"))
        return runThumbnailCommand(rest);

    printError(command.isEmpty() ? QStringLiteral("no command given") : QStringLiteral("unknown command %1").arg(command));
    std::fputs(usage, stderr);
    return ExitUsage;
}
