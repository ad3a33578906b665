#include "cli/ThumbnailCommand.h"

#include "cli/CliSupport.h"
#include "cli/RenderCommand.h"
#include "engine/RasterImage.h"

#include <QBuffer>
#include <QImage>
#include <QThread>

#include <algorithm>
#include <cstdint>
#include <cstdio>

namespace attractor::cli {

namespace {

constexpr int kDefaultSide = 128;
constexpr int kSmallestSide = 16;
constexpr int kLargestSide = 1024;
// A file manager asks for the thumbnails of a whole folder at once, so each
// gets about a tenth of a second. Sixteen points a pixel of the square leave
// no pixel of an attractor unlit, even one that covers all of it; one core
// plots some 50 million points a second, so 4 million take under 0.1 s and
// still give the largest thumbnail 4 points a pixel, plenty for the quarter
// of the square or less that most attractors cover.
constexpr int32_t kPointsPerPixel = 16;
constexpr int32_t kMostIterations = 4'000'000;

const QString &usageLine()
{
    static const QString usage = QStringLiteral("attractor-cli thumbnail IN OUT [--size N]");
    return usage;
}

struct ThumbnailArguments {
    QString input;
    QString output;
    int side = kDefaultSide;
};

// Empty on success, otherwise what is wrong with the arguments.
QString parseArguments(const QStringList &args, ThumbnailArguments &out)
{
    QStringList files;
    for (qsizetype k = 0; k < args.size(); ++k) {
        const QString &arg = args.at(k);
        if (arg == QStringLiteral("--size")) {
            if (k + 1 >= args.size())
                return QStringLiteral("--size needs a value");
            bool ok = false;
            const QString text = args.at(++k);
            out.side = text.toInt(&ok);
            if (!ok || out.side < kSmallestSide || out.side > kLargestSide)
                return QStringLiteral("--size needs a whole number from %1 to %2, not '%3'")
                    .arg(kSmallestSide).arg(kLargestSide).arg(text);
        } else if (arg.startsWith(u'-') && arg.size() > 1) {
            return QStringLiteral("unknown option %1").arg(arg);
        } else if (files.size() < 2) {
            files.append(arg);
        } else {
            return QStringLiteral("unexpected argument %1").arg(arg);
        }
    }
    if (files.value(0).isEmpty())
        return QStringLiteral("no input file given");
    if (files.size() < 2)
        return QStringLiteral("no output file given");
    if (files.at(1).isEmpty())
        return QStringLiteral("empty output file name");
    out.input = files.at(0);
    out.output = files.at(1);
    return {};
}

} // namespace

int runThumbnailCommand(const QStringList &args)
{
    if (args.contains(QStringLiteral("-h")) || args.contains(QStringLiteral("--help"))) {
        writeStandardOutput(QStringLiteral("usage: %1\n"
                                           "Draws the attractor of a document, or of the first 2D entry of a "
                                           "Fractint .ifs file, into OUT as an 8-bit PNG of N x N pixels "
                                           "(N %2 to %3, default %4), in the document's saved view. The iteration "
                                           "count is the document's, but at most %5 a pixel and %6 in all, so "
                                           "that the drawing takes a fraction of a second; file managers call "
                                           "this through the installed thumbnailer.\n")
                                .arg(usageLine())
                                .arg(kSmallestSide)
                                .arg(kLargestSide)
                                .arg(kDefaultSide)
                                .arg(kPointsPerPixel)
                                .arg(kMostIterations)
                                .toUtf8());
        return ExitOk;
    }
    ThumbnailArguments arguments;
    if (const QString failure = parseArguments(args, arguments); !failure.isEmpty()) {
        printUsageError(failure, usageLine());
        return ExitUsage;
    }

    FracPtr fractal;
    QString error;
    View saved;
    if (!readFractalFile(arguments.input, fractal, error, {}, nullptr, &saved)) {
        printError(error);
        return ExitFailure;
    }
    const int side = arguments.side;
    const int32_t iterations = std::min({fractal->iterations(), kPointsPerPixel * side * side, kMostIterations});
    const QImage picture = hiResBitmapInsideRect(
        renderRequest(*fractal, saved, QSize(side, side), iterations, QThread::idealThreadCount()));
    QByteArray png;
    QBuffer buffer(&png);
    // File managers expect an ordinary 8-bit PNG; the engine draws 16 bits a channel.
    if (picture.isNull() || !buffer.open(QIODevice::WriteOnly)
        || !picture.convertToFormat(QImage::Format_RGBA8888).save(&buffer, "PNG")) {
        printError(QStringLiteral("%1: the picture could not be made").arg(arguments.output));
        return ExitFailure;
    }
    if (!writeFileAtomically(arguments.output, png, error)) {
        printError(error);
        return ExitFailure;
    }
    return ExitOk;
}

} // namespace attractor::cli
