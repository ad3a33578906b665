#include "model/QvFrac.h"
#include "persistence/DocumentFormat.h"
#include "persistence/DocumentReader.h"
#include "persistence/FlameFormat.h"
#include "persistence/IfsFormat.h"
#include "persistence/Report.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

#include <string>

#include <signal.h>

namespace {

using namespace attractor;

// Runs attractor-cli as a user would and collects what it says.
struct CliRun { int exitCode = -1; QByteArray out, err; };

// QProcess wants an application object; every test makes sure there is one.
void ensureApplication()
{
    static int argc = 1;
    static char name[] = "test_cli", *argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
}

CliRun cli(const QStringList &args, const QByteArray &input = {})
{
    QProcess process;
    process.start(QStringLiteral(ATTRACTOR_CLI), args);
    EXPECT_TRUE(process.waitForStarted());
    process.write(input), process.closeWriteChannel();
    EXPECT_TRUE(process.waitForFinished(120000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    return {process.exitCode(), process.readAllStandardOutput(), process.readAllStandardError()};
}

// Splits a command line at spaces; a word starting with @ names a file in dir.
QStringList args(const std::string &line, const QTemporaryDir &dir)
{
    QStringList list = QString::fromStdString(line).split(u' ', Qt::SkipEmptyParts);
    for (QString &a : list)
        a = a.startsWith(u'@') ? dir.filePath(a.mid(1)) : a;
    return list;
}

QByteArray readFile(const QString &path) { QFile f(path); return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>"); }
void writeFile(const QString &path, const QByteArray &bytes) { QFile f(path); ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size()); }

// A folder holding the default document as in.frac.
class Cli : public ::testing::Test
{
protected:
    void SetUp() override { ensureApplication(), writeDocument(QvFrac::defaultFractal()); }
    void writeDocument(const FracPtr &fractal, const View &view = {}) { writeFile(file("in.frac"), jsonRepresentation(*fractal, view).toUtf8()); }
    QString file(const char *name) const { return dir.filePath(QLatin1String(name)); }
    CliRun render(const std::string &rest) { return cli(args("render @in.frac " + rest, dir)); }
    QImage rendered(const std::string &rest)
    {
        const CliRun r = render("-o @out.png " + rest);
        EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
        return QImage(file("out.png"));
    }
    QStringList files() const { return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name); }
    QTemporaryDir dir;
};

TEST_F(Cli, WritesTheImageTypeOfTheExtensionAtTheRequestedSize)
{
    for (const auto &[line, out, size] : {std::tuple{"-o @out.png --width 320 --height 200", "out.png", QSize(320, 200)},
                                          {"-o @OUT.JPEG --height 20 --width 33", "OUT.JPEG", QSize(33, 20)}, {"-o @big.png", "big.png", QSize(1000, 1000)}}) {
        const CliRun r = render(line);
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
        EXPECT_EQ(r.err, QByteArray("Drawing fractal...\nWriting image file...\nDone.\n"));
        const QByteArray bytes = readFile(file(out));
        const QImage image = QImage::fromData(bytes);
        const bool png = QByteArray(out).endsWith(".png");
        EXPECT_EQ(image.size(), size);
        EXPECT_TRUE(bytes.startsWith(png ? "\x89PNG" : "\xff\xd8"));
        EXPECT_EQ(image.format() == QImage::Format_RGBA64, png) << "16 bits a channel in PNG, 8 in JPEG";
    }
    EXPECT_EQ(files().size(), 4);
}

// A white background and a count that is all warm-up: nothing is plotted unless more are asked for.
TEST_F(Cli, IterationCountIsTheDocumentsUnlessGiven)
{
    const FracPtr fractal = QvFrac::defaultFractal();
    fractal->setIterations(1001);
    fractal->setBgColor({1, 1, 1, 1});
    writeDocument(fractal);
    for (const auto &[extra, plots] : {std::pair{"", false}, std::pair{"--iterations 20000", true}}) {
        QImage white(50, 50, QImage::Format_RGB32);
        white.fill(Qt::white);
        EXPECT_EQ(rendered(std::string("--width 50 --height 50 ") + extra).convertToFormat(QImage::Format_RGB32) != white, plots) << extra;
    }
}

// Nothing is brighter than the brightness (0.8 of full coverage) lets it be, on one thread or several.
TEST_F(Cli, DensityWritesASixteenBitPictureNoBrighterThanAsked)
{
    for (const char *threads : {"1", "3"}) {
        const QImage image = rendered(std::string("--mode density --supersample 2 --gamma 1.5 --brightness 0.8 --width 120 --height 90 "
                                                  "--iterations 400000 --threads ") + threads);
        EXPECT_TRUE(image.size() == QSize(120, 90) && image.format() == QImage::Format_RGBA64);
        int brightest = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                brightest = std::max({brightest, image.pixelColor(x, y).red(), image.pixelColor(x, y).green(), image.pixelColor(x, y).blue()});
        EXPECT_TRUE(brightest > 0 && brightest <= 0.8 * 255 + 1) << brightest;
    }
}

// Help goes to standard output with status 0; a usage error names itself on
// standard error, adds the usage and exits with 2. Neither writes a file.
class Usage : public Cli, public ::testing::WithParamInterface<std::pair<const char *, const char *>> {};

TEST_P(Usage, HelpOrUsageErrorWritesNothing)
{
    const auto [line, message] = GetParam(); // no message: help
    const CliRun r = cli(args(line, dir));
    EXPECT_EQ(r.exitCode, message ? 2 : 0);
    EXPECT_TRUE(message ? r.err.startsWith("attractor-cli: ") && r.err.contains(message) && r.out.isEmpty()
                        : r.out.startsWith("usage: attractor-cli") && r.err.isEmpty())
        << r.err.toStdString();
    EXPECT_TRUE((message ? r.err : r.out).contains("usage: attractor-cli"));
    EXPECT_EQ(files(), QStringList{QStringLiteral("in.frac")});
}

#define OUT "render @in.frac -o @out.png "
INSTANTIATE_TEST_SUITE_P(
    Lines, Usage,
    ::testing::Values(std::pair{"-h", nullptr}, std::pair{"convert --help", nullptr}, std::pair{"", "no command given"}, std::pair{"frob", "unknown command frob"},
                      std::pair{"convert", ""}, std::pair{"convert a b", ""}, std::pair{"convert a -o", ""}, std::pair{"convert a -o x -o y", ""},
                      std::pair{"report --bogus a", ""}, std::pair{"convert @in.frac --entry fern", "--entry needs an .ifs input file"},
                      std::pair{"render @in.frac --entry fern -o @out.png", "--entry needs an .ifs input file"}, std::pair{"convert a.ifs --entry", "--entry needs a name"}, std::pair{"new extra", ""}, std::pair{"render @in.frac", "no output file"},
                      std::pair{"render -o @out.png", "no input file"}, std::pair{"render @in.frac -o", "-o needs a value"},
                      std::pair{OUT "--depth 8", "unknown option --depth"}, std::pair{"render @in.frac @in.frac -o @out.png", "unexpected argument"},
                      std::pair{OUT "--width 0", "--width needs a whole number"}, std::pair{OUT "--width wide", "'wide'"},
                      std::pair{OUT "--iterations 3000000000", "--iterations"}, std::pair{"render @in.frac -o @out.gif", "unknown image type"},
                      std::pair{OUT "--width 100000 --height 100000", "too large"}, std::pair{OUT "--threads 0", "--threads needs"},
                      std::pair{OUT "--mode flame", "--mode needs points or density"}, std::pair{OUT "--gamma 2", "need --mode density"},
                      std::pair{OUT "--mode density --supersample 5", "--supersample needs a whole number from 1 to 4"},
                      std::pair{OUT "--mode density --gamma 0.5", "--gamma needs a number from 1 to 4"},
                      std::pair{OUT "--mode density --brightness 1.5", "--brightness needs a number from 0 to 1"},
                      std::pair{OUT "--mode density --supersample 3 --width 8000 --height 8000", "needs more than 4 GiB"},
                      std::pair{OUT "--zoom 0", "--zoom needs a number from 0.0625 to 1000000, not '0'"}, std::pair{OUT "--zoom nan", "--zoom needs"},
                      std::pair{OUT "--center 1", "--center needs two numbers X,Y"}, std::pair{OUT "--center 1,inf", "not '1,inf'"},
                      std::pair{OUT "--center 2e6,0", "--center"}));
#undef OUT

// --center and --zoom draw the crop of the standard picture at their scale (2 million points light every pixel of the
// triangle); without them the saved view is drawn, each option replacing its part of it; convert keeps it.
TEST_F(Cli, ViewDrawsACropOfTheStandardPictureAndConvertKeepsIt)
{
    const auto lit = [](const QImage &image) {
        std::vector<bool> on;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                on.push_back(image.pixelColor(x, y).value() > 20);
        return on;
    };
    const std::vector<bool> corner = lit(rendered("--width 400 --height 400 --iterations 2000000").copy(200, 0, 200, 200));
    for (const auto &[saved, options] : {std::pair{View(), "--center 1,1 --zoom 2"}, {View{{1, 1}, 2}, ""},
                                         {View{{1, 1}, 8}, "--zoom 2"}, {View{{-1, 0.5}, 2}, "--center 1,1"}}) {
        writeDocument(QvFrac::defaultFractal(), saved);
        const std::vector<bool> on = lit(rendered(std::string("--width 200 --height 200 --iterations 2000000 ") + options));
        ASSERT_EQ(on.size(), corner.size());
        int differ = 0;
        for (size_t i = 0; i < on.size(); ++i)
            differ += on[i] != corner[i];
        EXPECT_LE(differ, 50) << options << " of " << std::count(on.begin(), on.end(), true);
    }
    EXPECT_EQ(cli(args("convert @in.frac -o @kept.frac", dir)).exitCode, 0);
    EXPECT_EQ(readFile(file("kept.frac")), jsonRepresentation(*QvFrac::defaultFractal(), View{{-1, 0.5}, 2}).toUtf8());
}

// Missing, not a document, a folder; then an output in no folder: exit 1 naming the file.
TEST_F(Cli, UnreadableInputOrUnwritableOutputExitsWith1NamingTheFile)
{
    writeFile(file("garbage.frac"), "{ 'transforms': [ ");
    for (const auto &[line, named] : {std::pair{"@missing.frac -o @out.png", "@missing.frac"}, {"@garbage.frac -o @out.png", "@garbage.frac"},
                                      {"@. -o @out.png", "@."}, {"@in.frac -o @no/such/out.png", "@no/such/out.png"}}) {
        const CliRun r = cli(args(std::string("render ") + line, dir));
        EXPECT_EQ(r.exitCode, 1) << line;
        EXPECT_TRUE(r.err.contains("attractor-cli: " + args(named, dir)[0].toUtf8() + ": ")) << r.err.toStdString();
    }
    EXPECT_EQ(files(), (QStringList{QStringLiteral("garbage.frac"), QStringLiteral("in.frac")}));
}

TEST_F(Cli, CtrlCCancelsLeavesNoFileAndExits130)
{
    writeFile(file("out.png"), "previous contents");
    QProcess process;
    process.start(QStringLiteral(ATTRACTOR_CLI), args("render @in.frac -o @out.png --width 200 --height 200 --iterations 2147483647", dir));
    ASSERT_TRUE(process.waitForStarted());
    // The status line comes once Ctrl-C is handled; the draw takes minutes.
    QByteArray err;
    while (!err.contains("Drawing fractal...\n") && process.state() == QProcess::Running) {
        process.waitForReadyRead(1000);
        err += process.readAllStandardError();
    }
    ASSERT_EQ(::kill(static_cast<pid_t>(process.processId()), SIGINT), 0);
    ASSERT_TRUE(process.waitForFinished(30000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 130);
    EXPECT_EQ(err + process.readAllStandardError(), QByteArray("Drawing fractal...\nCancelling...\n"));
    EXPECT_EQ(readFile(file("out.png")), QByteArray("previous contents"));
    EXPECT_EQ(files(), (QStringList{QStringLiteral("in.frac"), QStringLiteral("out.png")}));
}

// new writes the default document; convert reproduces it; report -o replaces an older report.
TEST_F(Cli, NewConvertAndReportWriteTheDocumentAndItsReport)
{
    const QByteArray defaultText = jsonRepresentation(*QvFrac::defaultFractal()).toUtf8();
    EXPECT_EQ(cli(args("convert /dev/stdin", dir), cli(args("new", dir)).out).out, defaultText);
    ASSERT_EQ(cli(args("new -o @a.frac", dir)).exitCode, 0);
    const CliRun convert = cli(args("convert @a.frac -o @b.frac", dir));
    EXPECT_TRUE(convert.exitCode == 0 && convert.out.isEmpty() && convert.err.isEmpty()) << convert.err.toStdString();
    EXPECT_EQ(readFile(file("b.frac")), defaultText);
    writeFile(file("a.txt"), "old report");
    ASSERT_EQ(cli(args("report -o @a.txt @a.frac", dir)).exitCode, 0);
    EXPECT_EQ(readFile(file("a.txt")), textReport(*QvFrac::defaultFractal()).toUtf8());
    EXPECT_EQ(cli(args("report @a.frac", dir)).out, readFile(file("a.txt")));
}

// A random map's 64-bit values come back as 32-bit ones; from then on converting changes nothing.
TEST_F(Cli, RandomNewIsADocumentStableAfterOneConversion)
{
    const CliRun created = cli(args("new --random", dir));
    ASSERT_TRUE(created.exitCode == 0 && readDocument(created.out).ok());
    const QByteArray once = cli(args("convert /dev/stdin", dir), created.out).out;
    EXPECT_EQ(cli(args("convert /dev/stdin", dir), once).out, once);
}

class UnreadableDocument : public Cli, public ::testing::WithParamInterface<const char *> {};

// Missing or not a document: exit 1, the file and the reason on standard error, no output written.
TEST_P(UnreadableDocument, FailsWithReasonAndLeavesOutputAlone)
{
    const QString in = file("bad.frac");
    writeFile(file("existing.frac"), "precious");
    QByteArray message = "attractor-cli: " + in.toUtf8() + ": ";
    if (GetParam()) {
        writeFile(in, GetParam());
        const QString error = readDocument(GetParam()).error;
        message += error.toUtf8() + '\n';
        if (*GetParam() == '{') // the JSON reader's own line comes first, without the place
            message.prepend("JSON Parsing Error: " + error.mid(error.indexOf(u':') + 2).toUtf8() + '\n');
    }
    for (const char *line : {"convert @bad.frac -o @existing.frac", "report @bad.frac -o @absent.frac"}) {
        const CliRun run = cli(args(line, dir));
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_TRUE(GetParam() ? run.err == message : run.err.startsWith(message)) << run.err.toStdString();
        EXPECT_TRUE(run.out.isEmpty());
    }
    EXPECT_EQ(readFile(file("existing.frac")), QByteArray("precious"));
    EXPECT_FALSE(QFile::exists(file("absent.frac")));
}

const char fernIfs[] = "; Barnsley\r\nfern {\r\n 0 0 0 .16 0 0 .01\r\n .85 .04 -.04 .85 0 1.6 .85\r\n .2 -.26 .23 .22 0 1.6 .07\r\n"
                       " -.15 .28 .26 .24 0 .44 .07\r\n}\r\ncube (3D) { 1 0 0 0 1 0 0 0 1 0 0 0 1 }\r\ndot { 0 0 0 0 1 1 1 }\r\n";

FracPtr ifsEntry(const char *name)
{
    return fractalFromIfsEntry(*findIfsEntry(readIfs(fernIfs).entries, QString::fromLatin1(name))).fractal;
}

// An .ifs entry (the first 2D one unless --entry names one) converts and draws; OUT's extension picks what convert writes.
TEST_F(Cli, ConvertsAndDrawsAnIfsEntryWritingTheFormatOfTheExtension)
{
    writeFile(file("in.IFS"), fernIfs);
    const FracPtr sierpinski = QvFrac::defaultFractal();
    for (const auto &[line, out, expected] :
         {std::tuple{"convert @in.IFS -o @a.frac", "a.frac", jsonRepresentation(*ifsEntry("")).toUtf8()},
          {"convert @in.IFS --entry fern -o @b.Ifs", "b.Ifs", ifsText(*ifsEntry("fern"), QStringLiteral("fern"))},
          {"convert --entry dot @in.IFS -o @c.ifs", "c.ifs", ifsText(*ifsEntry("dot"), QStringLiteral("dot"))},
          {"convert @in.frac -o @d.ifs", "d.ifs", ifsText(*sierpinski, QStringLiteral("in"))},
          {"convert @in.frac -o @e.flame", "e.flame", flameText(*sierpinski, QStringLiteral("in"))},
          {"convert @in.frac -o @f.txt", "f.txt", jsonRepresentation(*sierpinski).toUtf8()}}) {
        const CliRun r = cli(args(line, dir));
        EXPECT_TRUE(r.exitCode == 0 && r.err.isEmpty()) << line << r.err.toStdString();
        EXPECT_EQ(readFile(file(out)), expected) << line;
    }
    EXPECT_EQ(cli(args("report @in.IFS --entry dot", dir)).out, textReport(*ifsEntry("dot")).toUtf8());
    const CliRun r = cli(args("render @in.IFS --entry FERN -o @fern.png --width 40 --height 30", dir));
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(QImage(file("fern.png")).size(), QSize(40, 30));
}

// A 3D entry, a name the file lacks, a file that does not read: exit 1 naming the file and the entry, nothing written.
TEST_F(Cli, AnIfsEntryThatCannotBeDrawnFailsAndWritesNothing)
{
    writeFile(file("in.ifs"), fernIfs);
    writeFile(file("bad.ifs"), "\na { 1 2 3 }");
    for (const auto &[line, message] : {std::pair{"convert @in.ifs --entry cube -o @out.frac", "@in.ifs: cube: 3D entries cannot be drawn"},
                                        {"render @in.ifs --entry nope -o @out.png", "@in.ifs: no entry “nope”"},
                                        {"report @bad.ifs -o @out.txt", "@bad.ifs: line 2: the entry “a” has 3 numbers, not 7 for each map"}}) {
        const CliRun r = cli(args(line, dir));
        EXPECT_EQ(r.exitCode, 1) << line;
        EXPECT_EQ(r.err, "attractor-cli: " + args(message, dir).join(u' ').toUtf8() + '\n');
        EXPECT_TRUE(r.out.isEmpty());
    }
    EXPECT_EQ(files(), (QStringList{QStringLiteral("bad.ifs"), QStringLiteral("in.frac"), QStringLiteral("in.ifs")}));
}

INSTANTIATE_TEST_SUITE_P(Documents, UnreadableDocument, ::testing::Values(nullptr, "{'n':", "not a document", ""));

} // namespace
