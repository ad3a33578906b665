#include "cli/TextCommands.h"

#include "cli/CliSupport.h"
#include "model/QvFrac.h"
#include "persistence/DocumentFormat.h"
#include "persistence/Report.h"

#include <QByteArray>

#include <functional>

namespace attractor::cli {

namespace {

// Reads IN and writes a text made from its fractal to OUT or standard output.
int runTextCommand(const QStringList &args, const QString &usage, const QString &description,
                   const std::function<QString(const QvFrac &)> &textOf)
{
    if (args.contains(QStringLiteral("-h")) || args.contains(QStringLiteral("--help"))) {
        writeStandardOutput(QStringLiteral("usage: %1\n%2\nWithout -o the result goes to standard output.\n")
                                .arg(usage, description)
                                .toUtf8());
        return ExitOk;
    }
    InputOutputArguments io;
    if (!parseInputOutput(args, usage, io))
        return ExitUsage;

    FracPtr fractal;
    QString error;
    if (!readFractalFile(io.input, fractal, error)) {
        printError(error);
        return ExitFailure;
    }
    const QByteArray bytes = textOf(*fractal).toUtf8();
    if (io.output.isEmpty()) {
        if (!writeStandardOutput(bytes)) {
            printError(QStringLiteral("cannot write to standard output"));
            return ExitFailure;
        }
    } else if (!writeFileAtomically(io.output, bytes, error)) {
        printError(error);
        return ExitFailure;
    }
    return ExitOk;
}

} // namespace

int runConvertCommand(const QStringList &args)
{
    return runTextCommand(args, QStringLiteral("attractor-cli convert IN [-o OUT]"),
                          QStringLiteral("Reads a document (JSON text or legacy archive) and writes its document text."),
                          [](const QvFrac &fractal) { return jsonRepresentation(fractal); });
}

int runReportCommand(const QStringList &args)
{
    return runTextCommand(args, QStringLiteral("attractor-cli report IN [-o OUT]"),
                          QStringLiteral("Writes the plain-text report of the maps of a document."),
                          [](const QvFrac &fractal) { return textReport(fractal); });
}

} // namespace attractor::cli
