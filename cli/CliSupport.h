#pragma once

#include "model/QvFrac.h"

#include <QString>
#include <QStringList>

class QByteArray;

namespace attractor::cli {

// Exit statuses of every command.
enum ExitStatus { ExitOk = 0, ExitFailure = 1, ExitUsage = 2 };

// Reads the document at path (a file, or a stream such as /dev/stdin) into
// out. On failure out is left alone and error holds "<path>: <reason>"; a
// document text that does not parse has also written its log line.
bool readFractalFile(const QString &path, FracPtr &out, QString &error);

// Replaces the file at path with bytes all at once: readers never see half a
// file, and a failed write leaves the old contents. Devices and pipes (an
// existing path that is no regular file) are written directly. On failure
// error holds "<path>: <reason>".
bool writeFileAtomically(const QString &path, const QByteArray &bytes, QString &error);

// Writes bytes to standard output; false when they could not all be written.
bool writeStandardOutput(const QByteArray &bytes);

// One line "attractor-cli: <message>" on standard error.
void printError(const QString &message);

// The arguments "IN [-o OUT]" common to convert and report.
struct InputOutputArguments {
    QString input;
    QString output; // empty: standard output
};

// Parses args (after the command name) of the form "IN [-o OUT]". On a usage
// error prints the message and the usage line and returns false.
bool parseInputOutput(const QStringList &args, const QString &usage, InputOutputArguments &out);

} // namespace attractor::cli
