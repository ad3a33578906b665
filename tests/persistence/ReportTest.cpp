#include "persistence/Report.h"

#include "model/QvFrac.h"
#include "model/QvTransform.h"

#include <gtest/gtest.h>

using namespace attractor;

TEST(Report, MapsAreNumberedInListOrderWithTheirMatrix)
{
    EXPECT_TRUE(textReport(QvFrac()).isEmpty());
    QvFrac f;
    f.transforms()->push_back(std::make_shared<QvTransform>());
    auto rotated = std::make_shared<QvTransform>();
    rotated->setTranslation(QPointF(1, -1));
    rotated->setRotation(1.0f);
    f.transforms()->push_back(rotated);
    // cos 1 and sin 1 times 0.5 for the rotated map's matrix.
    EXPECT_EQ(textReport(f), QStringLiteral("Transform 1:\n"
                                            "\tTranslation: (0.000000, 0.000000)\n"
                                            "\tRotation: 0.000000 radians\n"
                                            "\tScale: (0.500000, 0.500000)\n"
                                            "\tMatrix:\t0.500000 \t-0.000000 \n"
                                            "\t\t0.000000 \t0.500000\n"
                                            "\n"
                                            "Transform 2:\n"
                                            "\tTranslation: (1.000000, -1.000000)\n"
                                            "\tRotation: 1.000000 radians\n"
                                            "\tScale: (0.500000, 0.500000)\n"
                                            "\tMatrix:\t0.270151 \t-0.420735 \n"
                                            "\t\t0.420735 \t0.270151\n"
                                            "\n"));
}
