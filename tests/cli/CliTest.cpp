#include "model/QvFrac.h"
#include "model/QvTransform.h"
#include "persistence/DocumentFormat.h"
#include "persistence/DocumentReader.h"
#include "persistence/LegacyArchive.h"
#include "persistence/Report.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <ostream>

inline void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace {

using namespace attractor;

struct CliRun {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

CliRun cli(const QStringList &args, const QByteArray &input = {})
{
    static int argc = 1;
    static char name[] = "test_cli";
    static char *argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);

    QProcess process;
    process.start(QStringLiteral(ATTRACTOR_CLI), args);
    EXPECT_TRUE(process.waitForStarted());
    process.write(input);
    process.closeWriteChannel();
    EXPECT_TRUE(process.waitForFinished(60000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    return {process.exitCode(), process.readAllStandardOutput(), process.readAllStandardError()};
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

TEST(Cli, NewWritesTheDefaultDocument)
{
    const CliRun run = cli({QStringLiteral("new")});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(run.out, jsonRepresentation(*QvFrac::defaultFractal()).toUtf8());
    EXPECT_TRUE(run.err.isEmpty());
}

TEST(Cli, NewPipedThroughConvertReproducesTheBytes)
{
    const CliRun created = cli({QStringLiteral("new")});
    ASSERT_EQ(created.exitCode, 0);
    const CliRun converted = cli({QStringLiteral("convert"), QStringLiteral("/dev/stdin")}, created.out);
    EXPECT_EQ(converted.exitCode, 0) << converted.err.toStdString();
    EXPECT_EQ(converted.out, created.out);
}

// A random map's 64-bit scale and translation come back as 32-bit values;
// from then on converting changes nothing.
TEST(Cli, RandomDocumentIsStableAfterOneConversion)
{
    const CliRun created = cli({QStringLiteral("new"), QStringLiteral("--random")});
    ASSERT_EQ(created.exitCode, 0);
    const CliRun once = cli({QStringLiteral("convert"), QStringLiteral("/dev/stdin")}, created.out);
    ASSERT_EQ(once.exitCode, 0) << once.err.toStdString();
    const CliRun twice = cli({QStringLiteral("convert"), QStringLiteral("/dev/stdin")}, once.out);
    EXPECT_EQ(twice.exitCode, 0);
    EXPECT_EQ(twice.out, once.out);
    EXPECT_EQ(once.out.count('\n'), created.out.count('\n'));
}

TEST(Cli, RandomNewHasThreeToFiveWhiteMaps)
{
    const CliRun run = cli({QStringLiteral("new"), QStringLiteral("--random")});
    ASSERT_EQ(run.exitCode, 0);
    const DocumentReadResult doc = readDocument(run.out);
    ASSERT_TRUE(doc.ok()) << doc.error.toStdString();
    EXPECT_EQ(doc.fractal->iterations(), 100000);
    const size_t count = doc.fractal->transforms()->size();
    EXPECT_TRUE(count >= 3 && count <= 5) << count;
    for (const TransformPtr &t : *doc.fractal->transforms())
        EXPECT_EQ(t->rgb(), (_rgb_color{1, 1, 1, 1}));
}

TEST(Cli, CommandsWriteOutputFiles)
{
    QTemporaryDir dir;
    const QString doc = dir.filePath(QStringLiteral("a.frac"));
    const QString copy = dir.filePath(QStringLiteral("b.frac"));
    const QString report = dir.filePath(QStringLiteral("a.txt"));
    ASSERT_EQ(cli({QStringLiteral("new"), QStringLiteral("-o"), doc}).exitCode, 0);
    EXPECT_EQ(readFile(doc), jsonRepresentation(*QvFrac::defaultFractal()).toUtf8());
    const CliRun convert = cli({QStringLiteral("convert"), doc, QStringLiteral("-o"), copy});
    EXPECT_EQ(convert.exitCode, 0) << convert.err.toStdString();
    EXPECT_TRUE(convert.out.isEmpty());
    EXPECT_EQ(readFile(copy), readFile(doc));

    writeFile(report, "old report");
    ASSERT_EQ(cli({QStringLiteral("report"), QStringLiteral("-o"), report, doc}).exitCode, 0);
    const DocumentReadResult read = readDocument(readFile(doc));
    ASSERT_TRUE(read.ok());
    EXPECT_EQ(readFile(report), textReport(*read.fractal).toUtf8());
    EXPECT_EQ(cli({QStringLiteral("report"), doc}).out, readFile(report));
}

struct Unreadable {
    const char *bytes;
    bool json; // whether the JSON reader's log line comes first
};

class UnreadableDocument : public testing::TestWithParam<Unreadable> {};

TEST_P(UnreadableDocument, FailsWithReasonAndLeavesOutputAlone)
{
    QTemporaryDir dir;
    const QString in = dir.filePath(QStringLiteral("in.frac"));
    const QString existing = dir.filePath(QStringLiteral("existing.frac"));
    const QString absent = dir.filePath(QStringLiteral("absent.frac"));
    const QByteArray bytes(GetParam().bytes);
    writeFile(in, bytes);
    writeFile(existing, "precious");

    const DocumentReadResult expected = readDocument(bytes);
    ASSERT_FALSE(expected.ok());
    QByteArray message;
    if (GetParam().json)
        message += "JSON Parsing Error: " + expected.error.toUtf8() + '\n';
    message += "attractor-cli: " + in.toUtf8() + ": " + expected.error.toUtf8() + '\n';

    for (const QString &command : {QStringLiteral("convert"), QStringLiteral("report")}) {
        for (const QString &out : {existing, absent}) {
            const CliRun run = cli({command, in, QStringLiteral("-o"), out});
            EXPECT_EQ(run.exitCode, 1);
            EXPECT_EQ(QString::fromUtf8(run.err), QString::fromUtf8(message));
            EXPECT_TRUE(run.out.isEmpty());
        }
        EXPECT_EQ(readFile(existing), QByteArray("precious"));
        EXPECT_FALSE(QFile::exists(absent));
    }
}

INSTANTIATE_TEST_SUITE_P(Documents, UnreadableDocument, testing::Values(
    Unreadable{"{'n':", true},
    Unreadable{"{'transforms':[{'tx':1}", true},
    Unreadable{"{n:1}", true},
    Unreadable{"not a document", false},
    Unreadable{"", false}),
    [](const auto &info) { return "Case" + std::to_string(info.index); });

TEST(Cli, MissingInputAndUnwritableOutputNameTheFile)
{
    QTemporaryDir dir;
    const QString missing = dir.filePath(QStringLiteral("missing.frac"));
    const CliRun noInput = cli({QStringLiteral("convert"), missing});
    EXPECT_EQ(noInput.exitCode, 1);
    EXPECT_TRUE(noInput.err.startsWith("attractor-cli: " + missing.toUtf8() + ": ")) << noInput.err.toStdString();

    const QString unwritable = dir.filePath(QStringLiteral("no/such/folder/out.frac"));
    const CliRun noOutput = cli({QStringLiteral("new"), QStringLiteral("-o"), unwritable});
    EXPECT_EQ(noOutput.exitCode, 1);
    EXPECT_TRUE(noOutput.err.startsWith("attractor-cli: " + unwritable.toUtf8() + ": ")) << noOutput.err.toStdString();
}

class UsageError : public testing::TestWithParam<QStringList> {};

TEST_P(UsageError, ExitsWithStatusTwoAndUsage)
{
    const CliRun run = cli(GetParam());
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(run.out.isEmpty());
    EXPECT_TRUE(run.err.startsWith("attractor-cli: ")) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains("usage: attractor-cli")) << run.err.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Arguments, UsageError, testing::Values(
    QStringList{},
    QStringList{QStringLiteral("frob")},
    QStringList{QStringLiteral("convert")},
    QStringList{QStringLiteral("convert"), QStringLiteral("a"), QStringLiteral("b")},
    QStringList{QStringLiteral("convert"), QStringLiteral("a"), QStringLiteral("-o")},
    QStringList{QStringLiteral("convert"), QStringLiteral("a"), QStringLiteral("-o"), QStringLiteral("x"),
                QStringLiteral("-o"), QStringLiteral("y")},
    QStringList{QStringLiteral("report"), QStringLiteral("--bogus"), QStringLiteral("a")},
    QStringList{QStringLiteral("report"), QStringLiteral("-o"), QStringLiteral("out")},
    QStringList{QStringLiteral("new"), QStringLiteral("extra")},
    QStringList{QStringLiteral("new"), QStringLiteral("-o")},
    QStringList{QStringLiteral("new"), QStringLiteral("--random=yes")}),
    [](const auto &info) { return "Case" + std::to_string(info.index); });

class Help : public testing::TestWithParam<QStringList> {};

TEST_P(Help, GoesToStandardOutput)
{
    const CliRun run = cli(GetParam());
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(run.out.startsWith("usage: attractor-cli")) << run.out.toStdString();
    EXPECT_TRUE(run.err.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Arguments, Help, testing::Values(
    QStringList{QStringLiteral("--help")},
    QStringList{QStringLiteral("-h")},
    QStringList{QStringLiteral("convert"), QStringLiteral("--help")},
    QStringList{QStringLiteral("report"), QStringLiteral("-h")},
    QStringList{QStringLiteral("new"), QStringLiteral("--help")}),
    [](const auto &info) { return "Case" + std::to_string(info.index); });

} // namespace
