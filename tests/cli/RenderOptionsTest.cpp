#include "model/QvFrac.h"
#include "persistence/DocumentFormat.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

using namespace attractor;

namespace {

struct Outcome {
    int exitCode = -1;
    QString err;
};

// The drawing options of render: threads and the density mode.
class RenderOptions : public testing::TestWithParam<std::pair<const char *, QStringList>>
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        QFile f(dir.filePath(QStringLiteral("in.frac")));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(jsonRepresentation(*QvFrac::defaultFractal()).toUtf8());
    }

    Outcome render(const QStringList &options)
    {
        QProcess process;
        process.start(QStringLiteral(ATTRACTOR_CLI),
                      QStringList{QStringLiteral("render"), dir.filePath(QStringLiteral("in.frac")), QStringLiteral("-o"),
                                  dir.filePath(QStringLiteral("out.png"))}
                          + options);
        EXPECT_TRUE(process.waitForFinished(120000));
        return {process.exitCode(), QString::fromLocal8Bit(process.readAllStandardError())};
    }

    QTemporaryDir dir;
};

TEST_P(RenderOptions, OutOfRangeValuesAreUsageErrorsAndWriteNothing)
{
    const Outcome r = render(GetParam().second);
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(r.err.contains(QString::fromUtf8(GetParam().first))) << r.err.toStdString();
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("out.png"))));
}

const auto args = [](std::initializer_list<const char *> list) {
    QStringList out;
    for (const char *a : list)
        out << QString::fromUtf8(a);
    return out;
};

INSTANTIATE_TEST_SUITE_P(
    Values, RenderOptions,
    testing::Values(std::pair{"--threads needs", args({"--threads", "0"})},
                    std::pair{"--mode needs points or density", args({"--mode", "flame"})},
                    std::pair{"--supersample needs", args({"--mode", "density", "--supersample", "0"})},
                    std::pair{"--supersample needs a whole number from 1 to 4", args({"--mode", "density", "--supersample", "5"})},
                    std::pair{"--gamma needs a number from 1 to 4", args({"--mode", "density", "--gamma", "0.5"})},
                    std::pair{"--gamma needs", args({"--mode", "density", "--gamma", "nan"})},
                    std::pair{"--brightness needs a number from 0 to 1", args({"--mode", "density", "--brightness", "1.5"})},
                    std::pair{"--brightness needs", args({"--mode", "density", "--brightness", "-0.1"})},
                    std::pair{"need --mode density", args({"--gamma", "2"})},
                    std::pair{"needs more than 4 GiB",
                              args({"--mode", "density", "--supersample", "3", "--width", "8000", "--height", "8000"})}));

TEST_F(RenderOptions, DensityOnOneOrSeveralThreadsWritesASixteenBitPicture)
{
    for (const char *threads : {"1", "3"}) {
        const Outcome r = render(args({"--mode", "density", "--supersample", "2", "--gamma", "1.5", "--brightness",
                                   "0.8", "--width", "120", "--height", "90", "--iterations", "400000", "--threads",
                                   threads}));
        EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
        const QImage image(dir.filePath(QStringLiteral("out.png")));
        EXPECT_EQ(image.size(), QSize(120, 90));
        EXPECT_EQ(image.format(), QImage::Format_RGBA64);
        // Something is drawn, and nothing is brighter than the brightness
        // (0.8 of full coverage) lets it be.
        int brightest = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                brightest = std::max(brightest, qMax(qMax(image.pixelColor(x, y).red(), image.pixelColor(x, y).green()),
                                                     image.pixelColor(x, y).blue()));
        EXPECT_GT(brightest, 0);
        EXPECT_LE(brightest, 0.8 * 255 + 1);
    }
}

} // namespace
