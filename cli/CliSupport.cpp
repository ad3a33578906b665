#include "cli/CliSupport.h"

#include "persistence/AtomicWrite.h"
#include "persistence/DocumentReader.h"
#include "persistence/IfsFormat.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdio>

namespace attractor::cli {

namespace {

QString displayName(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

} // namespace

bool isIfsPath(const QString &path)
{
    return QFileInfo(path).suffix().compare(QStringLiteral("ifs"), Qt::CaseInsensitive) == 0;
}

bool readFractalFile(const QString &path, FracPtr &out, QString &error, const QString &entry, QString *name, View *view)
{
    if (QFileInfo(path).isDir()) {
        error = QStringLiteral("%1: Is a directory").arg(displayName(path));
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("%1: %2").arg(displayName(path), file.errorString());
        return false;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        error = QStringLiteral("%1: %2").arg(displayName(path), file.errorString());
        return false;
    }
    DocumentReadResult result;
    QString title = QFileInfo(path).completeBaseName();
    if (isIfsPath(path)) {
        const IfsReadResult read = readIfs(bytes);
        const IfsEntry *found = read.ok() ? findIfsEntry(read.entries, entry) : nullptr;
        if (found)
            result = fractalFromIfsEntry(*found), title = found->name;
        else if (read.ok())
            result.error = entry.isEmpty() ? QStringLiteral("no 2D entry") : QStringLiteral("no entry “%1”").arg(entry);
        else
            result.error = read.error;
    } else {
        result = readDocument(bytes);
    }
    if (!result.ok()) {
        error = QStringLiteral("%1: %2").arg(displayName(path), result.error);
        return false;
    }
    out = result.fractal;
    if (name)
        *name = title;
    if (view)
        *view = result.view;
    return true;
}

bool writeFileAtomically(const QString &path, const QByteArray &bytes, QString &error)
{
    const QFileInfo info(path);
    if (info.exists() && !info.isFile() && !info.isDir()) {
        // A device or pipe cannot be replaced by renaming; write straight into it.
        QFile device(path);
        if (!device.open(QIODevice::WriteOnly) || device.write(bytes) != bytes.size() || !device.flush()) {
            error = QStringLiteral("%1: %2").arg(displayName(path), device.errorString());
            return false;
        }
        return true;
    }
    QString reason;
    if (!attractor::writeFileAtomically(path, bytes, &reason)) {
        error = QStringLiteral("%1: %2").arg(displayName(path), reason);
        return false;
    }
    return true;
}

bool writeStandardOutput(const QByteArray &bytes)
{
    const size_t size = static_cast<size_t>(bytes.size());
    return std::fwrite(bytes.constData(), 1, size, stdout) == size && std::fflush(stdout) == 0;
}

void printError(const QString &message)
{
    const QByteArray line = QStringLiteral("attractor-cli: %1\n").arg(message).toLocal8Bit();
    std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stderr);
    std::fflush(stderr);
}

void printUsageError(const QString &message, const QString &usage)
{
    printError(message);
    std::fputs(qPrintable(QStringLiteral("usage: %1\n").arg(usage)), stderr);
}

QString entryOptionError(const QString &input, const QString &entry)
{
    if (entry.isNull() || isIfsPath(input))
        return {};
    return QStringLiteral("--entry needs an .ifs input file, not %1").arg(displayName(input));
}

bool parseInputOutput(const QStringList &args, const QString &usage, InputOutputArguments &out)
{
    QString failure;
    InputOutputArguments parsed;
    bool outputGiven = false;
    for (qsizetype k = 0; k < args.size() && failure.isEmpty(); ++k) {
        const QString &arg = args.at(k);
        if (arg == QStringLiteral("--entry")) {
            if (k + 1 >= args.size())
                failure = QStringLiteral("--entry needs a name");
            else
                parsed.entry = args.at(++k);
        } else if (arg == QStringLiteral("-o") || arg == QStringLiteral("--output")) {
            if (k + 1 >= args.size())
                failure = QStringLiteral("%1 needs a file name").arg(arg);
            else if (outputGiven)
                failure = QStringLiteral("more than one output file");
            else
                parsed.output = args.at(++k);
            outputGiven = true;
        } else if (arg.startsWith(u'-') && arg != QStringLiteral("-") && arg.size() > 1) {
            failure = QStringLiteral("unknown option %1").arg(arg);
        } else if (parsed.input.isEmpty()) {
            parsed.input = arg;
        } else {
            failure = QStringLiteral("unexpected argument %1").arg(arg);
        }
    }
    if (failure.isEmpty() && parsed.input.isEmpty())
        failure = QStringLiteral("no input file given");
    if (failure.isEmpty() && outputGiven && parsed.output.isEmpty())
        failure = QStringLiteral("empty output file name");
    if (failure.isEmpty())
        failure = entryOptionError(parsed.input, parsed.entry);
    if (!failure.isEmpty()) {
        printUsageError(failure, usage);
        return false;
    }
    out = parsed;
    return true;
}

} // namespace attractor::cli
