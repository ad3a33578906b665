#include "model/QvFrac.h"
#include "persistence/DocumentFormat.h"
#include "support/FileSizeLimit.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

using namespace attractor;

namespace {

// QProcess wants an application object.
int argc = 1;
char name[] = "test_cli_write";
char *argv[] = {name, nullptr};
QCoreApplication app(argc, argv);

QByteArray contentsOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

struct Result {
    int exitCode = -1;
    QString err;
};

// The child inherits the file-size limit and the ignored SIGXFSZ.
Result render(const QString &in, const QString &out)
{
    QProcess process;
    process.start(QStringLiteral(ATTRACTOR_CLI),
                  {QStringLiteral("render"), in, QStringLiteral("-o"), out, QStringLiteral("--width"),
                   QStringLiteral("400"), QStringLiteral("--height"), QStringLiteral("400")});
    EXPECT_TRUE(process.waitForFinished(120000));
    return {process.exitCode(), QString::fromLocal8Bit(process.readAllStandardError())};
}

} // namespace

// A write the disk cuts short must leave the old file as it was and fail
// with a message that names the file.
TEST(CliWriteFailure, ShortWriteKeepsTheOldFileAndExitsWithFailure)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString in = dir.filePath(QStringLiteral("in.frac"));
    {
        QFile file(in);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(jsonRepresentation(*QvFrac::defaultFractal()).toUtf8());
    }
    // Larger than the file's write buffer, so the image goes out in one write
    // that the limit below cuts short rather than in a flush that fails.
    const QString full = dir.filePath(QStringLiteral("full.png"));
    ASSERT_EQ(render(in, full).exitCode, 0);
    ASSERT_GT(QFileInfo(full).size(), 32 * 1024);

    const QString out = dir.filePath(QStringLiteral("out.png"));
    const QByteArray old("the previous picture");
    {
        QFile file(out);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(old);
    }
    Result r;
    {
        const FileSizeLimit limit(16 * 1024);
        r = render(in, out);
    }
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("attractor-cli: ") + QDir::toNativeSeparators(out))) << r.err.toStdString();
    EXPECT_EQ(contentsOf(out), old);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 3) << "a temporary file was left behind";
}
