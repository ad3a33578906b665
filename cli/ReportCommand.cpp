#include "cli/ReportCommand.h"

#include "cli/CliSupport.h"
#include "model/QvFrac.h"
#include "persistence/Report.h"

#include <QByteArray>

#include <cstdio>

namespace attractor::cli {

int runReportCommand(const QStringList &args)
{
    const QString usage = QStringLiteral("attractor-cli report IN [-o OUT]");
    if (args.contains(QStringLiteral("-h")) || args.contains(QStringLiteral("--help"))) {
        writeStandardOutput(QStringLiteral("usage: %1\nWrites the plain-text report of the maps of a document.\nWithout -o the result goes to standard output.\n")
                                .arg(usage)
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
    const QByteArray bytes = textReport(*fractal).toUtf8();
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

} // namespace attractor::cli
