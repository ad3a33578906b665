#include "renderer/PngEncoder.h"

#include <gtest/gtest.h>

#include <QImage>

#include <random>

using namespace attractor;

namespace {

struct PngCase {
    QSize size;
    int threads;
};

class PngEncoder : public testing::TestWithParam<PngCase>
{
};

// Noise in every sample, alpha included, with runs of one colour between:
// both what the filter turns to zeros and what it cannot.
QImage noisyPicture(QSize size)
{
    QImage image(size, QImage::Format_RGBA64);
    std::mt19937_64 random(size.width() * 7919 + size.height());
    for (int y = 0; y < size.height(); ++y) {
        auto *line = reinterpret_cast<quint64 *>(image.scanLine(y));
        for (int x = 0; x < size.width(); ++x)
            line[x] = (x / 50) % 2 ? 0x123456789abcdef0ULL : random();
    }
    return image;
}

TEST_P(PngEncoder, DecodesToTheSameSixteenBitPixels)
{
    const PngCase &c = GetParam();
    const QImage picture = noisyPicture(c.size);
    QString error;
    const QByteArray png = encodePng16(picture, c.threads, &error);
    ASSERT_FALSE(png.isEmpty()) << error.toStdString();
    // IHDR: bit depth 16, colour type 6 (RGBA), not interlaced.
    EXPECT_EQ(static_cast<int>(png[24]), 16);
    EXPECT_EQ(static_cast<int>(png[25]), 6);
    EXPECT_EQ(static_cast<int>(png[28]), 0);
    const QImage decoded = QImage::fromData(png, "PNG");
    ASSERT_EQ(decoded.format(), QImage::Format_RGBA64);
    EXPECT_EQ(decoded, picture);
}

// One pixel; one band; several bands (4 MiB of rows each) on one and on
// more threads than bands; rows longer than a band.
INSTANTIATE_TEST_SUITE_P(Sizes, PngEncoder,
                         testing::Values(PngCase{{1, 1}, 2}, PngCase{{300, 200}, 2}, PngCase{{1000, 1500}, 1},
                                         PngCase{{1000, 1500}, 8}, PngCase{{600000, 2}, 2}));

TEST(PngEncoderRefusal, OnlyTakesSixteenBitImages)
{
    QString error;
    EXPECT_TRUE(encodePng16(QImage(4, 4, QImage::Format_RGBA8888), 1, &error).isEmpty());
    EXPECT_FALSE(error.isEmpty());
    EXPECT_TRUE(encodePng16(QImage(), 1, &error).isEmpty());
}

} // namespace
