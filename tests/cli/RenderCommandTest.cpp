#include "model/QvFrac.h"
#include "persistence/DocumentFormat.h"

#include "CliRunner.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRgba64>
#include <QTemporaryDir>

#include <csignal>

#include <signal.h>

using namespace attractor;

namespace {

QStringList toStrings(const std::vector<const char *> &texts)
{
    QStringList list;
    for (const char *t : texts)
        list << QString::fromUtf8(t);
    return list;
}

struct Result {
    int exitCode = -1;
    QString err;
};

class RenderCommand : public testing::Test
{
protected:
    void SetUp() override
    {
        ensureApplication();
        ASSERT_TRUE(dir.isValid());
    }

    QString path(const QString &file) const { return dir.filePath(file); }

    QString writeDocument(const QString &file, const FracPtr &fractal) const
    {
        writeFile(path(file), jsonRepresentation(*fractal).toUtf8());
        return path(file);
    }

    static Result run(const QStringList &args)
    {
        const CliRun run = cli(QStringList{QStringLiteral("render")} + args);
        return {run.exitCode, QString::fromLocal8Bit(run.err)};
    }

    QStringList filesInDir() const
    {
        QStringList files = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
        files.sort();
        return files;
    }

    QTemporaryDir dir;
};

struct OutputCase {
    const char *name;
    const char *file;
    std::vector<const char *> size;
    QSize expected;
    bool png;
};

class RenderOutput : public RenderCommand, public testing::WithParamInterface<OutputCase> {};

TEST_P(RenderOutput, WritesTheImageTypeOfTheExtensionAtTheRequestedSize)
{
    const OutputCase &c = GetParam();
    const QString in = writeDocument(QStringLiteral("in.frac"), QvFrac::defaultFractal());
    const QString out = path(QString::fromLatin1(c.file));
    const Result r = run(QStringList{in, QStringLiteral("-o"), out} + toStrings(c.size));
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.err, QStringLiteral("Drawing fractal...\nWriting image file...\nDone.\n"));

    const QByteArray bytes = readFile(out);
    const QImage image = QImage::fromData(bytes);
    ASSERT_EQ(image.size(), c.expected);
    if (c.png) {
        EXPECT_TRUE(bytes.startsWith("\x89PNG"));
        EXPECT_EQ(image.format(), QImage::Format_RGBA64);
    } else {
        EXPECT_TRUE(bytes.startsWith("\xff\xd8"));
        EXPECT_FALSE(image.hasAlphaChannel());
    }
    EXPECT_EQ(filesInDir().size(), 2);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, RenderOutput,
    testing::Values(OutputCase{"Png", "out.png", {"--width", "320", "--height", "200"}, {320, 200}, true},
                    OutputCase{"UpperCaseJpeg", "OUT.JPEG", {"--height", "20", "--width", "33"}, {33, 20}, false},
                    OutputCase{"DefaultSize", "big.png", {}, {1000, 1000}, true}),
    [](const testing::TestParamInfo<OutputCase> &info) { return std::string(info.param.name); });

TEST_F(RenderCommand, IterationCountIsTheDocumentsUnlessGiven)
{
    // A white background and a count that is all warm-up: nothing is plotted.
    const FracPtr fractal = QvFrac::defaultFractal();
    fractal->setIterations(1001);
    fractal->setBgColor({1, 1, 1, 1});
    const QString in = writeDocument(QStringLiteral("in.frac"), fractal);
    auto plotted = [&](const QStringList &extra) {
        const QString out = path(QStringLiteral("out.png"));
        const Result r = run(QStringList{in, QStringLiteral("-o"), out, QStringLiteral("--width"),
                                         QStringLiteral("50"), QStringLiteral("--height"), QStringLiteral("50")}
                             + extra);
        EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
        const QImage image(out);
        int count = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                count += image.pixelColor(x, y) != QColor(Qt::white);
        return count;
    };
    EXPECT_EQ(plotted({}), 0);
    EXPECT_GT(plotted({QStringLiteral("--iterations"), QStringLiteral("20000")}), 100);
}

struct UsageCase {
    const char *name;
    std::vector<const char *> args; // "IN" and "OUT" stand for a readable document and a fresh output path
    const char *message;
};

class RenderUsage : public RenderCommand, public testing::WithParamInterface<UsageCase> {};

TEST_P(RenderUsage, BadArgumentsExitWith2AndWriteNothing)
{
    const UsageCase &c = GetParam();
    const QString in = writeDocument(QStringLiteral("in.frac"), QvFrac::defaultFractal());
    QStringList args;
    for (const QString &a : toStrings(c.args))
        args << (a == QStringLiteral("IN") ? in : a.startsWith(QStringLiteral("OUT")) ? path(a) : a);
    const Result r = run(args);
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(r.err.startsWith(QStringLiteral("attractor-cli: "))) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QString::fromUtf8(c.message))) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("usage: attractor-cli render")));
    EXPECT_EQ(filesInDir(), QStringList{QStringLiteral("in.frac")});
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, RenderUsage,
    testing::Values(UsageCase{"NoOutput", {"IN"}, "no output file"},
                    UsageCase{"NoInput", {"-o", "OUT.png"}, "no input file"},
                    UsageCase{"OutputWithoutName", {"IN", "-o"}, "-o needs a value"},
                    UsageCase{"UnknownOption", {"IN", "-o", "OUT.png", "--depth", "8"}, "unknown option --depth"},
                    UsageCase{"TwoInputs", {"IN", "IN", "-o", "OUT.png"}, "unexpected argument"},
                    UsageCase{"ZeroWidth", {"IN", "-o", "OUT.png", "--width", "0"}, "--width needs a whole number"},
                    UsageCase{"WidthNotANumber", {"IN", "-o", "OUT.png", "--width", "wide"}, "'wide'"},
                    UsageCase{"IterationsTooMany", {"IN", "-o", "OUT.png", "--iterations", "3000000000"}, "--iterations"},
                    UsageCase{"UnknownImageType", {"IN", "-o", "OUT.gif"}, "unknown image type"},
                    UsageCase{"TooLarge", {"IN", "-o", "OUT.png", "--width", "100000", "--height", "100000"},
                              "too large"}),
    [](const testing::TestParamInfo<UsageCase> &info) { return std::string(info.param.name); });

TEST_F(RenderCommand, UnreadableDocumentExitsWith1NamingTheFile)
{
    writeFile(path(QStringLiteral("garbage.frac")), "{ 'transforms': [ ");
    for (const QString &in : {path(QStringLiteral("missing.frac")), path(QStringLiteral("garbage.frac")), dir.path()}) {
        const Result r = run({in, QStringLiteral("-o"), path(QStringLiteral("out.png"))});
        EXPECT_EQ(r.exitCode, 1) << in.toStdString();
        const QString prefix = QStringLiteral("attractor-cli: %1: ").arg(QDir::toNativeSeparators(in));
        EXPECT_TRUE(r.err.contains(prefix)) << r.err.toStdString();
        EXPECT_FALSE(QFile::exists(path(QStringLiteral("out.png"))));
    }
}

TEST_F(RenderCommand, UnwritableOutputExitsWith1)
{
    const QString in = writeDocument(QStringLiteral("in.frac"), QvFrac::defaultFractal());
    const QString out = path(QStringLiteral("no/such/folder/out.png"));
    const Result r = run({in, QStringLiteral("-o"), out});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("attractor-cli: ") + QDir::toNativeSeparators(out))) << r.err.toStdString();
}

TEST_F(RenderCommand, CtrlCCancelsLeavesNoFileAndExits130)
{
    const QString in = writeDocument(QStringLiteral("in.frac"), QvFrac::defaultFractal());
    // An existing output must survive a cancelled render untouched.
    const QString out = path(QStringLiteral("out.png"));
    writeFile(out, "previous contents");

    QProcess process;
    process.start(QStringLiteral(ATTRACTOR_CLI),
                  {QStringLiteral("render"), in, QStringLiteral("-o"), out, QStringLiteral("--width"),
                   QStringLiteral("200"), QStringLiteral("--height"), QStringLiteral("200"),
                   QStringLiteral("--iterations"), QStringLiteral("2147483647")});
    ASSERT_TRUE(process.waitForStarted());
    // The status line comes once Ctrl-C is handled; the draw takes minutes.
    QByteArray err;
    while (!err.contains("Drawing fractal...\n") && process.state() == QProcess::Running) {
        process.waitForReadyRead(1000);
        err += process.readAllStandardError();
    }
    ASSERT_EQ(process.state(), QProcess::Running) << err.toStdString();
    ASSERT_EQ(::kill(static_cast<pid_t>(process.processId()), SIGINT), 0);
    ASSERT_TRUE(process.waitForFinished(30000));
    err += process.readAllStandardError();

    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 130);
    EXPECT_EQ(err, QByteArray("Drawing fractal...\nCancelling...\n"));
    EXPECT_EQ(readFile(out), QByteArray("previous contents"));
    EXPECT_EQ(filesInDir(), (QStringList{QStringLiteral("in.frac"), QStringLiteral("out.png")}));
}

} // namespace
