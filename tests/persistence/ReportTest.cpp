#include "persistence/Report.h"

#include "model/QvFrac.h"
#include "model/QvTransform.h"

#include <gtest/gtest.h>

using namespace attractor;

TEST(Report, SinglePlainMap)
{
    QvFrac f;
    f.transforms()->push_back(std::make_shared<QvTransform>());
    EXPECT_EQ(textReport(f), QStringLiteral("Transform 1:\n"
                                            "\tTranslation: (0.000000, 0.000000)\n"
                                            "\tRotation: 0.000000 radians\n"
                                            "\tScale: (0.500000, 0.500000)\n"
                                            "\tMatrix:\t0.500000 \t-0.000000 \n"
                                            "\t\t0.000000 \t0.500000\n"
                                            "\n"));
}

TEST(Report, EmptyFractalGivesEmptyText)
{
    EXPECT_TRUE(textReport(QvFrac()).isEmpty());
}

TEST(Report, MapsAreNumberedInListOrder)
{
    const FracPtr f = QvFrac::defaultFractal();
    f->transforms()->at(1)->setRotation(1.0f);
    const QString report = textReport(*f);
    EXPECT_TRUE(report.startsWith(QStringLiteral("Transform 1:\n\tTranslation: (-1.000000, -1.000000)\n")));
    EXPECT_TRUE(report.contains(QStringLiteral("Transform 2:\n\tTranslation: (1.000000, -1.000000)\n"
                                               "\tRotation: 1.000000 radians\n")));
    EXPECT_TRUE(report.contains(QStringLiteral("Transform 3:\n\tTranslation: (0.000000, 1.000000)\n")));
    EXPECT_EQ(report.count(QStringLiteral("Transform ")), 3);
    // cos 1 and sin 1 times 0.5 for the rotated map's matrix.
    EXPECT_TRUE(report.contains(QStringLiteral("\tMatrix:\t0.270151 \t-0.420735 \n\t\t0.420735 \t0.270151\n\n")));
}
