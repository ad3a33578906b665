#include "model/QvFrac.h"
#include "persistence/DocumentFormat.h"
#include "persistence/DocumentReader.h"
#include "persistence/FlameFormat.h"
#include "persistence/IfsFormat.h"
#include "persistence/Report.h"
#include "support/Files.h"
#include "support/Pictures.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

#include <string>

#include <signal.h>

namespace {

using namespace attractor;

// Runs attractor-cli as a user would and collects what it says.
struct CliRun { int exitCode = -1; QByteArray out, err; };

CliRun cli(const QStringList &args, const QByteArray &input = {}, int waitMs = 120000)
{
    QProcess process;
    process.start(QStringLiteral(ATTRACTOR_CLI), args);
    EXPECT_TRUE(process.waitForStarted());
    process.write(input), process.closeWriteChannel();
    EXPECT_TRUE(process.waitForFinished(waitMs));
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

using test::readFile;
using test::writeFile;

const char fernIfs[] = "; Barnsley\r\nfern {\r\n 0 0 0 .16 0 0 .01\r\n .85 .04 -.04 .85 0 1.6 .85\r\n"
                       " .2 -.26 .23 .22 0 1.6 .07\r\n -.15 .28 .26 .24 0 .44 .07\r\n}\r\n"
                       "cube (3D) { 1 0 0 0 1 0 0 0 1 0 0 0 1 }\r\ndot { 0 0 0 0 1 1 1 }\r\n";

FracPtr ifsEntry(const char *name)
{
    return fractalFromIfsEntry(*findIfsEntry(readIfs(fernIfs).entries, QString::fromLatin1(name))).fractal;
}

// A folder holding the default document as in.frac.
class Cli : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // QProcess wants an application object.
        static int argc = 1;
        static char name[] = "test_cli", *argv[] = {name, nullptr};
        static QCoreApplication app(argc, argv);
        writeDocument(QvFrac::defaultFractal());
    }
    void writeDocument(const FracPtr &fractal, const View &view = {}) { writeFile(file("in.frac"), jsonRepresentation(*fractal, view).toUtf8()); }
    QString file(const char *name) const { return dir.filePath(QLatin1String(name)); }
    QImage rendered(const std::string &rest)
    {
        const CliRun r = cli(args("render @in.frac -o @out.png " + rest, dir));
        EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
        return QImage(file("out.png"));
    }
    QStringList files() const { return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name); }
    QTemporaryDir dir;
};

// PNG or JPEG by the extension, at the size asked for; an .ifs entry (named in any case) draws too.
TEST_F(Cli, WritesTheImageTypeOfTheExtensionAtTheRequestedSize)
{
    writeFile(file("in.IFS"), fernIfs);
    for (const auto &[line, out, size] :
         {std::tuple{"@in.frac -o @out.png --width 320 --height 200", "out.png", QSize(320, 200)},
          {"@in.frac -o @OUT.JPEG --height 20 --width 33", "OUT.JPEG", QSize(33, 20)},
          {"@in.frac -o @big.png", "big.png", QSize(1000, 1000)},
          {"@in.IFS --entry FERN -o @fern.png --width 40 --height 30", "fern.png", QSize(40, 30)}}) {
        const CliRun r = cli(args(std::string("render ") + line, dir));
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
        EXPECT_EQ(r.err, QByteArray("Drawing fractal...\nWriting image file...\nDone.\n"));
        const QByteArray bytes = readFile(file(out));
        const QImage image = QImage::fromData(bytes);
        const bool png = QByteArray(out).endsWith(".png");
        EXPECT_EQ(image.size(), size);
        EXPECT_TRUE(bytes.startsWith(png ? "\x89PNG" : "\xff\xd8"));
        EXPECT_EQ(image.format() == QImage::Format_RGBA64, png) << "16 bits a channel in PNG, 8 in JPEG";
    }
    EXPECT_EQ(files().size(), 6);
}

// A white background and a count that is all warm-up: nothing is plotted unless more are asked for.
TEST_F(Cli, IterationCountIsTheDocumentsUnlessGiven)
{
    const FracPtr fractal = QvFrac::defaultFractal();
    fractal->setIterations(1001);
    fractal->setBgColor({1, 1, 1, 1});
    writeDocument(fractal);
    for (const auto &[extra, plots] : {std::pair{"", false}, std::pair{"--iterations 20000", true}}) {
        const QImage image = rendered(std::string("--width 50 --height 50 ") + extra);
        EXPECT_EQ(std::ranges::count(test::covered(image, qRgb(255, 255, 255), 0), true) > 0, plots) << extra;
    }
}

// The density look comes from the document; each option given replaces its
// part. One walker draws the same game in every process.
TEST_F(Cli, DensityLookIsTheDocumentsUnlessGiven)
{
    const FracPtr fractal = QvFrac::defaultFractal();
    fractal->setDensity({.gamma = 1.5, .brightness = 0.8, .vibrancy = 0.5, .highlight = 0.3, .deRadius = 0});
    writeDocument(fractal);
    const std::string common = "--mode density --width 120 --height 90 --iterations 40000 --threads 1 ";
    const QImage saved = rendered(common);
    EXPECT_TRUE(saved.size() == QSize(120, 90) && saved.format() == QImage::Format_RGBA64);
    EXPECT_EQ(rendered(common + "--gamma 1.5"), saved);
    const QImage changed = rendered(common + "--brightness 0.4 --de-radius 6");
    writeDocument(QvFrac::defaultFractal());
    EXPECT_NE(rendered(common), saved);
    EXPECT_EQ(rendered(common + "--gamma 1.5 --brightness 0.8 --vibrancy 0.5 --highlight 0.3 --de-radius 0"), saved);
    EXPECT_EQ(rendered(common + "--gamma 1.5 --brightness 0.4 --vibrancy 0.5 --highlight 0.3 --de-radius 6"), changed);
}

// Help goes to standard output with status 0; a usage error names itself on
// standard error, adds the usage and exits with 2. Neither writes a file.
TEST_F(Cli, HelpOrUsageErrorWritesNothing)
{
#define OUT "render @in.frac -o @out.png "
    const std::pair<const char *, const char *> lines[] = { // no message: help
        {"-h", nullptr}, {"convert --help", nullptr}, {"", "no command given"}, {"frob", "unknown command frob"},
        {"convert", ""}, {"convert a b", ""}, {"convert a -o", ""}, {"convert a -o x -o y", ""}, {"new extra", ""},
        {"convert @in.frac --entry fern", "--entry needs an .ifs input file"}, {"report --bogus a", ""},
        {"render @in.frac --entry fern -o @out.png", "--entry needs an .ifs input file"},
        {"convert a.ifs --entry", "--entry needs a name"}, {"render @in.frac", "no output file"},
        {"render -o @out.png", "no input file"}, {"render @in.frac -o", "-o needs a value"},
        {OUT "--depth 8", "unknown option --depth"}, {"render @in.frac @in.frac -o @out.png", "unexpected argument"},
        {OUT "--width 0", "--width needs a whole number"}, {OUT "--width wide", "'wide'"},
        {OUT "--iterations 3000000000", "--iterations"}, {"render @in.frac -o @out.gif", "unknown image type"},
        {OUT "--width 100000 --height 100000", "too large"}, {OUT "--threads 0", "--threads needs"},
        {OUT "--mode flame", "--mode needs points or density"}, {OUT "--gamma 2", "need --mode density"},
        {OUT "--mode density --supersample 5", "--supersample needs a whole number from 1 to 4"},
        {OUT "--mode density --gamma 0.5", "--gamma needs a number from 1 to 4"},
        {OUT "--mode density --brightness 4.5", "--brightness needs a number from 0 to 4"},
        {OUT "--mode density --vibrancy 2", "--vibrancy needs a number from 0 to 1"},
        {OUT "--mode density --de-radius 31", "--de-radius needs a whole number from 0 to 30, not '31'"},
        {OUT "--highlight 0.5", "need --mode density"}, {OUT "--mode density --de-radius", "--de-radius needs a value"},
        {OUT "--mode density --supersample 3 --width 8000 --height 8000", "needs more than 4 GiB"},
        {OUT "--zoom 0", "--zoom needs a number from 0.0625 to 1000000, not '0'"}, {OUT "--zoom nan", "--zoom needs"},
        {OUT "--center 1", "--center needs two numbers X,Y"}, {OUT "--center 1,inf", "not '1,inf'"},
        {OUT "--center 2e6,0", "--center"}, {"thumbnail --help", nullptr}, {"thumbnail @in.frac", "no output file given"},
        {"thumbnail @in.frac @t.png --size", "--size needs a value"}, {"thumbnail --size 64", "no input file given"},
        {"thumbnail @in.frac @t.png --size 0", "--size needs a whole number from 16 to 1024, not '0'"},
        {"thumbnail @in.frac @t.png --size 5000", "not '5000'"}, {"thumbnail @in.frac @t.png x", "unexpected argument x"}};
#undef OUT
    for (const auto &[line, message] : lines) {
        const CliRun r = cli(args(line, dir));
        EXPECT_EQ(r.exitCode, message ? 2 : 0) << line;
        EXPECT_TRUE(message ? r.err.startsWith("attractor-cli: ") && r.err.contains(message) && r.out.isEmpty()
                            : r.out.startsWith("usage: attractor-cli") && r.err.isEmpty())
            << line << r.err.toStdString();
        EXPECT_TRUE((message ? r.err : r.out).contains("usage: attractor-cli")) << line;
    }
    EXPECT_EQ(files(), QStringList{QStringLiteral("in.frac")});
}

// --center and --zoom draw the crop of the standard picture at their scale (2 million points light every pixel of the
// triangle); without them the saved view is drawn, each option replacing its part of it; convert keeps it.
TEST_F(Cli, ViewDrawsACropOfTheStandardPictureAndConvertKeepsIt)
{
    const auto lit = [](const QImage &image) { return test::covered(image, qRgb(0, 0, 0), 0); };
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

// A thumbnail is render's picture of the document in its saved view, 8 bits a channel, square at the size asked for
// (128 by default); an .ifs file gives its first 2D entry.
TEST_F(Cli, ThumbnailIsTheRenderedPictureSquareAtTheSize)
{
    writeFile(file("in.ifs"), fernIfs);
    const FracPtr fractal = QvFrac::defaultFractal();
    fractal->setIterations(1000000);
    writeDocument(fractal, View{{1, 1}, 2});
    for (const auto &[in, size, side] : {std::tuple{"in.frac", "", 128}, {"in.frac", "--size 256", 256}, {"in.ifs", "--size 100", 100}}) {
        const CliRun r = cli(args(std::string("thumbnail @") + in + " @t.png " + size, dir));
        EXPECT_TRUE(r.exitCode == 0 && r.out.isEmpty() && r.err.isEmpty()) << in << r.err.toStdString();
        const QImage thumbnail(file("t.png"));
        EXPECT_TRUE(thumbnail.size() == QSize(side, side) && thumbnail.depth() == 32) << in << " " << size;
        const std::string square = " --width " + std::to_string(side) + " --height " + std::to_string(side);
        ASSERT_EQ(cli(args(std::string("render @") + in + " -o @r.png" + square, dir)).exitCode, 0);
        const auto lit = [](const QImage &image) { return test::covered(image, qRgb(0, 0, 0)); };
        EXPECT_GT(test::agreement(lit(thumbnail), lit(QImage(file("r.png")))), 0.9) << in << " " << size;
    }
}

// However many iterations a document asks for, its thumbnail draws few enough to be quick: here an attractor that
// fills the square evenly leaves some of its million pixels unlit (about e^-4 of them at 4 million points).
TEST_F(Cli, ThumbnailCapsTheIterationCount)
{
    QByteArray maps;
    for (const char *corner : {"-1,'ty':-1", "1,'ty':-1", "-1,'ty':1", "1,'ty':1"})
        maps += "{'tx':" + QByteArray(corner) + ",'sx':0.5,'sy':0.5,'r':0,'p':1,'c':{'r':1,'g':1,'b':1,'a':1}},";
    writeFile(file("in.frac"), "{'n':2147483647,'bg':{'r':0,'g':0,'b':0,'a':1},'transforms':[" + maps.chopped(1) + "]}");
    const CliRun r = cli(args("thumbnail @in.frac @t.png --size 1024", dir), {}, 30000);
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const auto unlit = std::ranges::count(test::covered(QImage(file("t.png")), qRgb(0, 0, 0), 0), false);
    EXPECT_TRUE(unlit > 1000 && unlit < 300000) << unlit;
}

// A folder, an output in no folder, a 3D entry, a name the file lacks, an .ifs file or a document that does not read
// (missing, broken text, no document, empty): exit 1 naming the file (and the entry, the whole line where it is known),
// nothing written and no older output replaced.
TEST_F(Cli, FailuresExitWith1NamingTheFileAndWriteNothing)
{
    writeFile(file("in.ifs"), fernIfs);
    writeFile(file("bad.ifs"), "\na { 1 2 3 }");
    writeFile(file("broken.frac"), "{'n':");
    writeFile(file("words.frac"), "not a document");
    writeFile(file("empty.frac"), "");
    writeFile(file("kept.frac"), "precious");
    for (const auto &[line, message] :
         {std::pair{"render @. -o @out.png", "@.: "}, {"render @in.frac -o @no/such/out.png", "@no/such/out.png: "},
          {"convert @in.ifs --entry cube -o @out.frac", "@in.ifs: cube: 3D entries cannot be drawn\n"},
          {"render @in.ifs --entry nope -o @out.png", "@in.ifs: no entry “nope”\n"},
          {"report @bad.ifs -o @out.txt", "@bad.ifs: line 2: the entry “a” has 3 numbers, not 7 for each map\n"},
          {"convert @none.frac -o @kept.frac", "@none.frac: No such file or directory\n"},
          {"report @none.frac", "@none.frac: No such file or directory\n"},
          {"render @broken.frac -o @out.png", "@broken.frac: JSON syntax error at line 1, column 6: Unexpected end of"},
          {"convert @words.frac -o @kept.frac",
           "@words.frac: not a fractal document: it is neither document text (which begins with “{”) nor an archive\n"},
          {"report @empty.frac -o @out.txt", "@empty.frac: not a fractal document: the file is empty\n"},
          {"thumbnail @empty.frac @t.png", "@empty.frac: not a fractal document: the file is empty\n"},
          {"thumbnail @none.frac @t.png", "@none.frac: No such file or directory\n"},
          {"thumbnail @in.frac @no/such/t.png --size 16", "@no/such/t.png: "}}) {
        const CliRun r = cli(args(line, dir));
        const QByteArray said = "attractor-cli: " + QByteArray(message).replace('@', dir.path().toUtf8() + '/');
        EXPECT_EQ(r.exitCode, 1) << line;
        EXPECT_TRUE(r.out.isEmpty() && (said.endsWith('\n') ? r.err == said : r.err.contains(said)))
            << r.err.toStdString();
    }
    // The JSON reader's own line comes first, without the place.
    const QByteArray broken = cli(args("report @broken.frac", dir)).err;
    EXPECT_TRUE(broken.startsWith("JSON Parsing Error: Unexpected end of source string.\nattractor-cli: "))
        << broken.toStdString();
    EXPECT_EQ(readFile(file("kept.frac")), QByteArray("precious"));
    EXPECT_EQ(files().join(u' '), QStringLiteral("bad.ifs broken.frac empty.frac in.frac in.ifs kept.frac words.frac"));
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

// new writes the default document; convert reproduces it or writes the format of OUT's extension, taking an .ifs
// entry (the first 2D one unless --entry names one); report -o replaces an older report.
TEST_F(Cli, NewConvertAndReportWriteTheFormatOfTheExtension)
{
    writeFile(file("in.IFS"), fernIfs);
    writeFile(file("r.txt"), "old report");
    const FracPtr sierpinski = QvFrac::defaultFractal();
    const QByteArray defaultText = jsonRepresentation(*sierpinski).toUtf8();
    for (const auto &[line, out, expected] :
         {std::tuple{"new -o @a.frac", "a.frac", defaultText}, {"convert @a.frac -o @b.frac", "b.frac", defaultText},
          {"report -o @r.txt @a.frac", "r.txt", textReport(*sierpinski).toUtf8()},
          {"convert @in.IFS -o @c.frac", "c.frac", jsonRepresentation(*ifsEntry("")).toUtf8()},
          {"convert @in.IFS --entry fern -o @b.Ifs", "b.Ifs", ifsText(*ifsEntry("fern"), QStringLiteral("fern"))},
          {"convert --entry dot @in.IFS -o @c.ifs", "c.ifs", ifsText(*ifsEntry("dot"), QStringLiteral("dot"))},
          {"convert @in.frac -o @d.ifs", "d.ifs", ifsText(*sierpinski, QStringLiteral("in"))},
          {"convert @in.frac -o @e.flame", "e.flame", flameText(*sierpinski, QStringLiteral("in"))},
          {"convert @in.frac -o @f.txt", "f.txt", defaultText}}) {
        const CliRun r = cli(args(line, dir));
        EXPECT_TRUE(r.exitCode == 0 && r.out.isEmpty() && r.err.isEmpty()) << line << r.err.toStdString();
        EXPECT_EQ(readFile(file(out)), expected) << line;
    }
    EXPECT_EQ(cli(args("convert /dev/stdin", dir), cli(args("new", dir)).out).out, defaultText);
    EXPECT_EQ(cli(args("report @a.frac", dir)).out, readFile(file("r.txt")));
    EXPECT_EQ(cli(args("report @in.IFS --entry dot", dir)).out, textReport(*ifsEntry("dot")).toUtf8());
    // A random map's 64-bit values come back as 32-bit ones; from then on converting changes nothing.
    const CliRun created = cli(args("new --random", dir));
    ASSERT_TRUE(created.exitCode == 0 && readDocument(created.out).ok());
    const QByteArray once = cli(args("convert /dev/stdin", dir), created.out).out;
    EXPECT_EQ(cli(args("convert /dev/stdin", dir), once).out, once);
}

} // namespace
