#include "cli/TextCommands.h"

#include "cli/CliSupport.h"
#include "model/QvFrac.h"
#include "persistence/DocumentFormat.h"
#include "persistence/FlameFormat.h"
#include "persistence/IfsFormat.h"
#include "persistence/Report.h"

#include <QByteArray>
#include <QFileInfo>

#include <functional>

namespace attractor::cli {

namespace {

// What a text is made from: the fractal read, its name, its saved view and OUT's name.
struct TextSource {
    const QvFrac &fractal;
    QString name;
    View view;
    QString output;
};

// Reads IN and writes a text made from it to OUT or standard output.
int runTextCommand(const QStringList &args, const QString &usage, const QString &description,
                   const std::function<QByteArray(const TextSource &)> &textOf)
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
    QString error, name;
    View view;
    if (!readFractalFile(io.input, fractal, error, io.entry, &name, &view)) {
        printError(error);
        return ExitFailure;
    }
    const QByteArray bytes = textOf({*fractal, name, view, io.output});
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
    return runTextCommand(args, QStringLiteral("attractor-cli convert IN [--entry NAME] [-o OUT]"),
                          QStringLiteral("Reads a document (JSON text or legacy archive) or an entry of a Fractint "
                                         ".ifs file (NAME, by default the first 2D one) and writes it in the format of "
                                         "OUT's extension: .ifs, .flame, or otherwise document text, which keeps "
                                         "the document's saved view."),
                          [](const TextSource &in) {
                              const QString suffix = QFileInfo(in.output).suffix().toLower();
                              if (suffix == QStringLiteral("ifs"))
                                  return ifsText(in.fractal, in.name);
                              if (suffix == QStringLiteral("flame"))
                                  return flameText(in.fractal, in.name);
                              return jsonRepresentation(in.fractal, in.view).toUtf8();
                          });
}

int runReportCommand(const QStringList &args)
{
    return runTextCommand(args, QStringLiteral("attractor-cli report IN [--entry NAME] [-o OUT]"),
                          QStringLiteral("Writes the plain-text report of the maps of a document or of an entry "
                                         "of a Fractint .ifs file."),
                          [](const TextSource &in) { return textReport(in.fractal).toUtf8(); });
}

} // namespace attractor::cli
