#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QStringList>

#include <gtest/gtest.h>

// Runs attractor-cli as a user would and collects what it says.
struct CliRun {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

// QProcess wants an application object.
inline void ensureApplication()
{
    static int argc = 1;
    static char name[] = "test_cli";
    static char *argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
}

inline CliRun cli(const QStringList &args, const QByteArray &input = {})
{
    ensureApplication();
    QProcess process;
    process.start(QStringLiteral(ATTRACTOR_CLI), args);
    EXPECT_TRUE(process.waitForStarted());
    process.write(input);
    process.closeWriteChannel();
    EXPECT_TRUE(process.waitForFinished(120000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    return {process.exitCode(), process.readAllStandardOutput(), process.readAllStandardError()};
}

inline QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

inline void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}
