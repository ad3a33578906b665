#include "cli/NewCommand.h"

#include "cli/CliSupport.h"
#include "model/QvFrac.h"
#include "model/QvTransform.h"
#include "persistence/DocumentFormat.h"

#include <QByteArray>

#include <cstdio>

namespace attractor::cli {

int runNewCommand(const QStringList &args)
{
    const QString usage = QStringLiteral("attractor-cli new [--random] [-o OUT]");
    bool random = false;
    QString output;
    bool outputGiven = false;
    QString failure;
    for (qsizetype k = 0; k < args.size() && failure.isEmpty(); ++k) {
        const QString &arg = args.at(k);
        if (arg == QStringLiteral("-h") || arg == QStringLiteral("--help")) {
            writeStandardOutput(QStringLiteral("usage: %1\nWrites a new document: the default fractal, or with "
                                               "--random three to five random white maps.\nWithout -o the "
                                               "document goes to standard output.\n")
                                    .arg(usage)
                                    .toUtf8());
            return ExitOk;
        }
        if (arg == QStringLiteral("--random")) {
            random = true;
        } else if (arg == QStringLiteral("-o") || arg == QStringLiteral("--output")) {
            if (k + 1 >= args.size())
                failure = QStringLiteral("%1 needs a file name").arg(arg);
            else if (outputGiven)
                failure = QStringLiteral("more than one output file");
            else if ((output = args.at(++k)).isEmpty())
                failure = QStringLiteral("empty output file name");
            outputGiven = true;
        } else if (arg.startsWith(u'-')) {
            failure = QStringLiteral("unknown option %1").arg(arg);
        } else {
            failure = QStringLiteral("unexpected argument %1").arg(arg);
        }
    }
    if (!failure.isEmpty()) {
        printUsageError(failure, usage);
        return ExitUsage;
    }

    FracPtr fractal = random ? QvFrac::randomFractal() : QvFrac::defaultFractal();
    if (random) {
        for (const TransformPtr &t : *fractal->transforms())
            t->setRgb(_rgb_color{1, 1, 1, 1});
    }
    const QByteArray bytes = jsonRepresentation(*fractal).toUtf8();
    QString error;
    if (output.isEmpty()) {
        if (!writeStandardOutput(bytes)) {
            printError(QStringLiteral("cannot write to standard output"));
            return ExitFailure;
        }
    } else if (!writeFileAtomically(output, bytes, error)) {
        printError(error);
        return ExitFailure;
    }
    return ExitOk;
}

} // namespace attractor::cli
