#include "cli/RenderCommand.h"

#include "cli/CliSupport.h"
#include "model/QvFrac.h"
#include "engine/ChaosGame.h"
#include "engine/DensityImage.h"
#include "engine/RasterImage.h"

#include <QFileInfo>
#include <QHash>
#include <QThread>
#include <QRectF>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <optional>

#include <unistd.h>

namespace attractor::cli {

namespace {

// The shell's status for a command ended by Ctrl-C.
constexpr int kExitInterrupted = 128 + SIGINT;
constexpr int kDefaultSize = 1000;
constexpr int kBarWidth = 40;
// More threads than this only add warm-ups.
constexpr int kMostThreads = 256;
// A draw reports (iterations / 95) steps: 95 of them, or 94 when 95 divides
// the count evenly.
constexpr int kProgressSteps = 95;

// Set from the SIGINT handler, polled by the draw once per iteration.
std::atomic<bool> interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free, "the signal handler may only touch a lock-free flag");

extern "C" void onInterrupt(int)
{
    interrupted.store(true);
}

struct RenderArguments {
    QString input;
    QString entry;
    QString output;
    int width = kDefaultSize;
    int height = kDefaultSize;
    std::optional<int32_t> iterations;
    int threads = QThread::idealThreadCount();
    // Density mode, and the options given, which override the document's look.
    bool densityMode = false;
    std::optional<int> supersample;
    std::optional<int> deRadius;
    std::optional<double> gamma, brightness, vibrancy, highlight;
    int format = 0;
    // What is given of the view; the rest comes from the document's saved view.
    std::optional<QPointF> centre;
    std::optional<double> zoom;
};

const QString &usageLine()
{
    static const QString usage =
        QStringLiteral("attractor-cli render IN [--entry NAME] -o OUT [--width W] [--height H] [--iterations N] [--threads T] "
                       "[--mode points|density] [--supersample S] [--gamma G] [--brightness B] [--vibrancy V] [--highlight H] "
                       "[--de-radius R] [--center X,Y] [--zoom Z]");
    return usage;
}

// The density options that take a number from low to high.
struct RealOption {
    std::optional<double> RenderArguments::*field;
    double low, high;
};
const QHash<QString, RealOption> &realOptions()
{
    static const QHash<QString, RealOption> options{
        {QStringLiteral("--gamma"), {&RenderArguments::gamma, kMinGamma, kMaxGamma}},
        {QStringLiteral("--brightness"), {&RenderArguments::brightness, 0.0, kMaxBrightness}},
        {QStringLiteral("--vibrancy"), {&RenderArguments::vibrancy, 0.0, 1.0}},
        {QStringLiteral("--highlight"), {&RenderArguments::highlight, 0.0, 1.0}},
    };
    return options;
}

// The document's look with what the command line gives in its place.
DensityOptions densityOptions(const RenderArguments &arguments, const DensityOptions &look)
{
    DensityOptions density = look;
    density.supersample = arguments.supersample.value_or(kMinSupersample);
    density.deRadius = arguments.deRadius.value_or(look.deRadius);
    density.gamma = arguments.gamma.value_or(look.gamma);
    density.brightness = arguments.brightness.value_or(look.brightness);
    density.vibrancy = arguments.vibrancy.value_or(look.vibrancy);
    density.highlight = arguments.highlight.value_or(look.highlight);
    return density;
}

// A whole number of at least `minimum`; the failure message names the option.
std::optional<int> parseNumber(const QString &option, const QString &text, int minimum, QString &failure)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < minimum) {
        failure = minimum > 0 ? QStringLiteral("%1 needs a whole number of at least %2, not '%3'").arg(option).arg(minimum).arg(text)
                              : QStringLiteral("%1 needs a whole number of 0 or more, not '%2'").arg(option, text);
        return std::nullopt;
    }
    return value;
}

// A number from `low` to `high`, both included.
std::optional<double> parseReal(const QString &option, const QString &text, double low, double high, QString &failure)
{
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (!ok || !(value >= low && value <= high)) {
        failure = QStringLiteral("%1 needs a number from %2 to %3, not '%4'")
                      .arg(option)
                      .arg(low, 0, 'g', 10)
                      .arg(high, 0, 'g', 10)
                      .arg(text);
        return std::nullopt;
    }
    return value;
}

// "X,Y": two finite numbers within the range of a view's centre.
std::optional<QPointF> parseCentre(const QString &text, QString &failure)
{
    const QStringList parts = text.split(u',');
    bool okX = false, okY = false;
    const double x = parts.size() == 2 ? parts[0].toDouble(&okX) : 0.0;
    const double y = parts.size() == 2 ? parts[1].toDouble(&okY) : 0.0;
    const auto inRange = [](double v) { return std::abs(v) <= kMaxViewCentre; }; // false for NaN
    if (!okX || !okY || !inRange(x) || !inRange(y)) {
        failure = QStringLiteral("--center needs two numbers X,Y from %1 to %2, not '%3'")
                      .arg(-kMaxViewCentre, 0, 'g', 10).arg(kMaxViewCentre, 0, 'g', 10).arg(text);
        return std::nullopt;
    }
    return QPointF(x, y);
}

int formatOf(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QStringLiteral("png"))
        return kImageFormatPNG;
    if (suffix == QStringLiteral("jpg") || suffix == QStringLiteral("jpeg"))
        return kImageFormatJPEG;
    return 0;
}

// Empty on success, otherwise what is wrong with the arguments.
QString parseArguments(const QStringList &args, RenderArguments &out)
{
    QString failure;
    bool outputGiven = false;
    bool densityGiven = false;
    for (qsizetype k = 0; k < args.size() && failure.isEmpty(); ++k) {
        const QString &arg = args.at(k);
        const bool takesValue = arg == QStringLiteral("-o") || arg == QStringLiteral("--output")
                                || arg == QStringLiteral("--width") || arg == QStringLiteral("--height")
                                || arg == QStringLiteral("--iterations") || arg == QStringLiteral("--threads")
                                || arg == QStringLiteral("--mode") || arg == QStringLiteral("--supersample")
                                || arg == QStringLiteral("--de-radius") || realOptions().contains(arg)
                                || arg == QStringLiteral("--entry") || arg == QStringLiteral("--center")
                                || arg == QStringLiteral("--zoom");
        if (takesValue && k + 1 >= args.size()) {
            failure = QStringLiteral("%1 needs a value").arg(arg);
        } else if (arg == QStringLiteral("-o") || arg == QStringLiteral("--output")) {
            if (outputGiven)
                failure = QStringLiteral("more than one output file");
            out.output = args.at(++k);
            outputGiven = true;
        } else if (arg == QStringLiteral("--entry")) {
            out.entry = args.at(++k);
        } else if (arg == QStringLiteral("--width")) {
            if (const auto w = parseNumber(arg, args.at(++k), 1, failure))
                out.width = *w;
        } else if (arg == QStringLiteral("--height")) {
            if (const auto h = parseNumber(arg, args.at(++k), 1, failure))
                out.height = *h;
        } else if (arg == QStringLiteral("--iterations")) {
            if (const auto n = parseNumber(arg, args.at(++k), 0, failure))
                out.iterations = *n;
        } else if (arg == QStringLiteral("--threads")) {
            if (const auto t = parseNumber(arg, args.at(++k), 1, failure))
                out.threads = std::min(*t, kMostThreads);
        } else if (arg == QStringLiteral("--mode")) {
            const QString mode = args.at(++k);
            if (mode != QStringLiteral("points") && mode != QStringLiteral("density"))
                failure = QStringLiteral("--mode needs points or density, not '%1'").arg(mode);
            out.densityMode = mode == QStringLiteral("density");
        } else if (arg == QStringLiteral("--supersample") || arg == QStringLiteral("--de-radius")) {
            const bool super = arg == QStringLiteral("--supersample");
            const int low = super ? kMinSupersample : 0, high = super ? kMaxSupersample : kMaxDeRadius;
            const auto v = parseNumber(arg, args.at(++k), low, failure);
            if (v && *v > high)
                failure = QStringLiteral("%1 needs a whole number from %2 to %3, not '%4'").arg(arg).arg(low).arg(high).arg(args.at(k));
            else if (v)
                (super ? out.supersample : out.deRadius) = *v;
            densityGiven = true;
        } else if (const auto real = realOptions().find(arg); real != realOptions().end()) {
            out.*(real->field) = parseReal(arg, args.at(++k), real->low, real->high, failure);
            densityGiven = true;
        } else if (arg == QStringLiteral("--center")) {
            out.centre = parseCentre(args.at(++k), failure);
        } else if (arg == QStringLiteral("--zoom")) {
            out.zoom = parseReal(arg, args.at(++k), kMinZoom, kMaxZoom, failure);
        } else if (arg.startsWith(u'-') && arg.size() > 1) {
            failure = QStringLiteral("unknown option %1").arg(arg);
        } else if (out.input.isEmpty()) {
            out.input = arg;
        } else {
            failure = QStringLiteral("unexpected argument %1").arg(arg);
        }
    }
    if (!failure.isEmpty())
        return failure;
    if (out.input.isEmpty())
        return QStringLiteral("no input file given");
    if (const QString entryError = entryOptionError(out.input, out.entry); !entryError.isEmpty())
        return entryError;
    if (!outputGiven)
        return QStringLiteral("no output file given (-o OUT)");
    if (out.output.isEmpty())
        return QStringLiteral("empty output file name");
    out.format = formatOf(out.output);
    if (out.format == 0)
        return QStringLiteral("%1: unknown image type; the name must end in .png, .jpg or .jpeg").arg(out.output);
    if (densityGiven && !out.densityMode)
        return QStringLiteral("--supersample, --gamma, --brightness, --vibrancy, --highlight and --de-radius need "
                              "--mode density");
    const QRectF rect(0, 0, out.width, out.height);
    const QString sizeError = out.densityMode ? densitySizeError(rect, out.supersample.value_or(kMinSupersample))
                                              : imageSizeError(rect);
    if (!sizeError.isEmpty())
        return sizeError;
    return {};
}

// Status texts on standard error, one per line; on a terminal the drawing
// also shows a bar that redraws itself in place.
class StatusLine
{
public:
    StatusLine()
        : _terminal(isatty(STDERR_FILENO) == 1)
    {
    }

    void status(const QString &text)
    {
        if (_barShown)
            std::fputc('\n', stderr);
        _barShown = false;
        _cancelShown = _cancelShown || text == QStringLiteral("Cancelling...");
        std::fprintf(stderr, "%s\n", qPrintable(text));
        std::fflush(stderr);
    }

    void step()
    {
        if (!_terminal)
            return;
        _steps = std::min(_steps + 1, kProgressSteps);
        const int filled = _steps * kBarWidth / kProgressSteps;
        const QByteArray bar = QByteArray(filled, '#') + QByteArray(kBarWidth - filled, '-');
        std::fprintf(stderr, "\r[%s] %3d%%", bar.constData(), _steps * 100 / kProgressSteps);
        std::fflush(stderr);
        _barShown = true;
    }

    bool cancelShown() const { return _cancelShown; }

private:
    bool _terminal;
    bool _barShown = false;
    bool _cancelShown = false;
    int _steps = 0;
};

// Ctrl-C cancels the render for as long as this lives.
class InterruptGuard
{
public:
    InterruptGuard()
    {
        interrupted.store(false);
        struct sigaction action = {};
        action.sa_handler = onInterrupt;
        sigemptyset(&action.sa_mask);
        sigaction(SIGINT, &action, &_previous);
    }
    ~InterruptGuard() { sigaction(SIGINT, &_previous, nullptr); }
    InterruptGuard(const InterruptGuard &) = delete;
    InterruptGuard &operator=(const InterruptGuard &) = delete;

private:
    struct sigaction _previous = {};
};

} // namespace

RenderRequest renderRequest(const QvFrac &fractal, const View &saved, QSize size, int32_t iterations, int threads,
                            std::optional<QPointF> centre, std::optional<double> zoom)
{
    RenderRequest request;
    request.tables = buildChaosTables(fractal);
    request.size = size;
    request.iterations = iterations;
    request.threads = threads;
    if (centre || zoom || !saved.isStandard())
        request.view = View{centre.value_or(saved.centre), zoom.value_or(saved.zoom)};
    return request;
}

int runRenderCommand(const QStringList &args)
{
    if (args.contains(QStringLiteral("-h")) || args.contains(QStringLiteral("--help"))) {
        writeStandardOutput(QStringLiteral("usage: %1\n"
                                           "Draws the attractor of a document, or of an entry of a Fractint .ifs "
                                           "file (NAME, by default the first 2D one), into an image: a 16-bit PNG "
                                           "or a JPEG, by the extension of OUT.\n"
                                           "The size is %2 x %2 pixels unless given; the iteration count is the "
                                           "document's own unless given. The drawing runs on T threads, by "
                                           "default one per core.\n"
                                           "--mode density counts the hits of each pixel (of a grid "
                                           "supersampled S x S, S 1 to 4) and exposes them by the picture's "
                                           "mean density, so more iterations make it smoother, not brighter: "
                                           "the logarithm of a pixel's density over the mean, times the "
                                           "brightness B (0 to 4), to the power 1/G (G 1 to 4). Vibrancy V "
                                           "(0 to 1) is the share of the gamma applied to the luminance alone; "
                                           "highlight H (0 to 1) lets overexposed pixels turn white. The noise "
                                           "filter spreads the hits of sparse pixels over up to R pixels "
                                           "(0 to 30; 0 turns it off). Options not given are the document's "
                                           "own (defaults G 2.2, B 1, V 1, H 0, R 9).\n"
                                           "--center X,Y and --zoom Z (%3 to %4) show the square of side 4/Z "
                                           "centred on (X, Y), the shorter side of the image spanning it; either "
                                           "one not given is the document's saved view's (0,0 and 1 when it has "
                                           "none). With neither, a document without a saved view is drawn from -2 "
                                           "to 2 stretched over the whole image.\n"
                                           "Ctrl-C stops the drawing and writes nothing.\n")
                                .arg(usageLine())
                                .arg(kDefaultSize)
                                .arg(kMinZoom, 0, 'g', 10)
                                .arg(kMaxZoom, 0, 'g', 10)
                                .toUtf8());
        return ExitOk;
    }
    RenderArguments arguments;
    const QString failure = parseArguments(args, arguments);
    if (!failure.isEmpty()) {
        printUsageError(failure, usageLine());
        return ExitUsage;
    }

    FracPtr fractal;
    QString error;
    View saved;
    if (!readFractalFile(arguments.input, fractal, error, arguments.entry, nullptr, &saved)) {
        printError(error);
        return ExitFailure;
    }
    RenderRequest request = renderRequest(*fractal, saved, QSize(arguments.width, arguments.height),
                                          arguments.iterations.value_or(fractal->iterations()), arguments.threads,
                                          arguments.centre, arguments.zoom);
    if (arguments.densityMode)
        request.density = densityOptions(arguments, fractal->density());

    InterruptGuard guard;
    StatusLine line;
    ExportCallbacks callbacks;
    callbacks.status = [&line](const QString &text) { line.status(text); };
    callbacks.progressIncrement = [&line] { line.step(); };
    callbacks.cancel = &interrupted;

    line.status(QStringLiteral("Drawing fractal..."));
    const QByteArray data = hiResImageData(arguments.format, request, callbacks, &error);
    if (interrupted.load()) {
        // A Ctrl-C during encoding still stops before anything is written.
        if (!line.cancelShown())
            line.status(QStringLiteral("Cancelling..."));
        return kExitInterrupted;
    }
    if (data.isEmpty()) {
        printError(QStringLiteral("%1: %2").arg(arguments.output, error));
        return ExitFailure;
    }
    if (!writeFileAtomically(arguments.output, data, error)) {
        printError(error);
        return ExitFailure;
    }
    line.status(QStringLiteral("Done."));
    return ExitOk;
}

} // namespace attractor::cli
