#include "model/QvFrac.h"
#include "model/QvTransform.h"
#include "persistence/DocumentFormat.h"
#include "persistence/DocumentReader.h"
#include "persistence/Report.h"

#include "CliRunner.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using namespace attractor;

QStringList args(const char *line)
{
    return QString::fromLatin1(line).split(u' ', Qt::SkipEmptyParts);
}

TEST(Cli, NewWritesTheDefaultDocumentAndConvertReproducesItsBytes)
{
    const CliRun created = cli(args("new"));
    ASSERT_EQ(created.exitCode, 0) << created.err.toStdString();
    EXPECT_EQ(created.out, jsonRepresentation(*QvFrac::defaultFractal()).toUtf8());
    EXPECT_TRUE(created.err.isEmpty());
    const CliRun converted = cli(args("convert /dev/stdin"), created.out);
    EXPECT_EQ(converted.exitCode, 0) << converted.err.toStdString();
    EXPECT_EQ(converted.out, created.out);
}

// A random map's 64-bit scale and translation come back as 32-bit values;
// from then on converting changes nothing.
TEST(Cli, RandomNewHasThreeToFiveWhiteMapsAndIsStableAfterOneConversion)
{
    const CliRun created = cli(args("new --random"));
    ASSERT_EQ(created.exitCode, 0);
    const DocumentReadResult doc = readDocument(created.out);
    ASSERT_TRUE(doc.ok()) << doc.error.toStdString();
    const size_t count = doc.fractal->transforms()->size();
    EXPECT_TRUE(count >= 3 && count <= 5) << count;
    EXPECT_EQ(doc.fractal->transforms()->at(0)->rgb(), (_rgb_color{1, 1, 1, 1}));

    const CliRun once = cli(args("convert /dev/stdin"), created.out);
    ASSERT_EQ(once.exitCode, 0) << once.err.toStdString();
    const CliRun twice = cli(args("convert /dev/stdin"), once.out);
    EXPECT_EQ(twice.exitCode, 0);
    EXPECT_EQ(twice.out, once.out);
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
    EXPECT_EQ(readFile(report), textReport(*QvFrac::defaultFractal()).toUtf8());
    EXPECT_EQ(cli({QStringLiteral("report"), doc}).out, readFile(report));
}

class UnreadableDocument : public ::testing::TestWithParam<const char *> {};

TEST_P(UnreadableDocument, FailsWithReasonAndLeavesOutputAlone)
{
    QTemporaryDir dir;
    const QString in = dir.filePath(QStringLiteral("in.frac"));
    const QString existing = dir.filePath(QStringLiteral("existing.frac"));
    const QString absent = dir.filePath(QStringLiteral("absent.frac"));
    const QByteArray bytes(GetParam());
    writeFile(in, bytes);
    writeFile(existing, "precious");

    const DocumentReadResult expected = readDocument(bytes);
    ASSERT_FALSE(expected.ok());
    QByteArray message;
    if (bytes.startsWith('{')) // the JSON reader's own line comes first, without the place
        message += "JSON Parsing Error: " + expected.error.mid(expected.error.indexOf(u':') + 2).toUtf8() + '\n';
    message += "attractor-cli: " + in.toUtf8() + ": " + expected.error.toUtf8() + '\n';

    for (const QString &command : {QStringLiteral("convert"), QStringLiteral("report")}) {
        for (const QString &out : {existing, absent}) {
            const CliRun run = cli({command, in, QStringLiteral("-o"), out});
            EXPECT_EQ(run.exitCode, 1);
            EXPECT_EQ(run.err.toStdString(), message.toStdString());
            EXPECT_TRUE(run.out.isEmpty());
        }
        EXPECT_EQ(readFile(existing), QByteArray("precious"));
        EXPECT_FALSE(QFile::exists(absent));
    }
}

INSTANTIATE_TEST_SUITE_P(Documents, UnreadableDocument,
                         ::testing::Values("{'n':", "not a document", ""));

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

// Help goes to standard output with status 0; a usage error names itself on
// standard error, adds the usage and exits with 2.
class Arguments : public ::testing::TestWithParam<std::pair<const char *, int>> {};

TEST_P(Arguments, HelpOrUsageError)
{
    const CliRun run = cli(args(GetParam().first));
    EXPECT_EQ(run.exitCode, GetParam().second);
    if (GetParam().second == 0) {
        EXPECT_TRUE(run.out.startsWith("usage: attractor-cli")) << run.out.toStdString();
        EXPECT_TRUE(run.err.isEmpty());
    } else {
        EXPECT_TRUE(run.out.isEmpty());
        EXPECT_TRUE(run.err.startsWith("attractor-cli: ")) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains("usage: attractor-cli")) << run.err.toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(Lines, Arguments, ::testing::Values(
    std::pair{"-h", 0}, std::pair{"convert --help", 0}, std::pair{"new --help", 0}, std::pair{"", 2},
    std::pair{"frob", 2}, std::pair{"convert", 2}, std::pair{"convert a b", 2}, std::pair{"convert a -o", 2},
    std::pair{"convert a -o x -o y", 2}, std::pair{"report --bogus a", 2}, std::pair{"new extra", 2}));

} // namespace
