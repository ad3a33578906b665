#pragma once

#include "model/QvFrac.h"
#include "model/View.h"

#include <QString>
#include <QStringList>

class QByteArray;

namespace attractor::cli {

// Exit statuses of every command.
enum ExitStatus { ExitOk = 0, ExitFailure = 1, ExitUsage = 2 };

// Whether path names a Fractint .ifs file, by its extension in any case.
bool isIfsPath(const QString &path);

// Reads the fractal at path (a file, or a stream such as /dev/stdin) into
// out: a document, or from an .ifs file (see isIfsPath) the entry called
// entry, by default the first 2D one, fitted into the frame. name, when
// given, receives the entry's name or else the file's base name; view, when
// given, the view saved in a document (the standard frame for others). On
// failure out is left alone and error holds "<path>: <reason>"; a document
// text that does not parse has also written its log line.
bool readFractalFile(const QString &path, FracPtr &out, QString &error, const QString &entry = {},
                     QString *name = nullptr, View *view = nullptr);

// Replaces the file at path with bytes all at once: readers never see half a
// file, and a failed write leaves the old contents. Devices and pipes (an
// existing path that is no regular file) are written directly. On failure
// error holds "<path>: <reason>".
bool writeFileAtomically(const QString &path, const QByteArray &bytes, QString &error);

// Writes bytes to standard output; false when they could not all be written.
bool writeStandardOutput(const QByteArray &bytes);

// One line "attractor-cli: <message>" on standard error.
void printError(const QString &message);
// The message, then "usage: <usage>", on standard error.
void printUsageError(const QString &message, const QString &usage);

// The arguments "IN [--entry NAME] [-o OUT]" common to convert and report.
struct InputOutputArguments {
    QString input;
    QString entry;  // of an .ifs input; empty: the first 2D one
    QString output; // empty: standard output
};

// What is wrong with --entry NAME for this input (it needs an .ifs file), or
// empty; a null entry is no --entry at all.
QString entryOptionError(const QString &input, const QString &entry);

// Parses args (after the command name) of the form "IN [--entry NAME] [-o OUT]".
// On a usage error prints the message and the usage line and returns false.
bool parseInputOutput(const QStringList &args, const QString &usage, InputOutputArguments &out);

} // namespace attractor::cli
