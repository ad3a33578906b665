#include "persistence/DocumentFormat.h"

#include "model/QvTransform.h"
#include "persistence/DocumentReader.h"
#include "persistence/JsonValue.h"
#include "persistence/WdJsonParser.h"

#include "QtPrinters.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <cmath>
#include <limits>

using namespace attractor;

namespace {

TransformPtr map(QPointF translation, QPointF scale, float rotation, float probability, _rgb_color colour)
{
    auto t = std::make_shared<QvTransform>(scale, rotation, translation, colour);
    t->setProbability(probability);
    return t;
}

FracPtr fractalOf(std::initializer_list<TransformPtr> maps, int32_t iterations, _rgb_color bg)
{
    return std::make_shared<QvFrac>(std::make_shared<TransformList>(maps), iterations, bg);
}

FracPtr read(const QString &text)
{
    const std::optional<JsonValue> root = jsonObject(text);
    return fractalFromDictionary(root ? &*root : nullptr);
}

struct Formatted {
    double value;
    const char *text;
};

class FloatToJSON : public testing::TestWithParam<Formatted> {};

TEST_P(FloatToJSON, PrintsFifteenSignificantDigits)
{
    EXPECT_EQ(floatToJSON(QStringLiteral("k"), GetParam().value),
              QStringLiteral("'k':") + QLatin1String(GetParam().text));
}

INSTANTIATE_TEST_SUITE_P(Values, FloatToJSON, testing::Values(
    Formatted{0.0, "0"},
    Formatted{-0.0, "-0"},
    Formatted{1.0, "1"},
    Formatted{0.5, "0.5"},
    Formatted{-1.25, "-1.25"},
    Formatted{100000.0, "100000"},
    Formatted{0.0001, "0.0001"},
    Formatted{0.00001, "1e-05"},
    Formatted{2147483647.0, "2147483647"},
    // Whole numbers past the 32-bit integer range take an exponent, or they
    // would read back as a saturated integer.
    Formatted{2147483648.0, "2.147483648e+09"},
    Formatted{1e10, "1e+10"},
    Formatted{-123456789012345.0, "-1.23456789012345e+14"},
    Formatted{1e15, "1e+15"},
    Formatted{1.0 / 3.0, "0.333333333333333"},
    Formatted{0.1f, "0.100000001490116"},
    Formatted{0.8f, "0.800000011920929"},
    Formatted{INT32_MIN, "-2147483648"},
    // Never "inf" or "nan": the reader refuses them, so the document would not open again.
    Formatted{std::numeric_limits<double>::infinity(), "3.40282346638529e+38"},
    Formatted{-std::numeric_limits<double>::infinity(), "-3.40282346638529e+38"},
    Formatted{std::numeric_limits<double>::quiet_NaN(), "0"}));

TEST(DocumentFormat, RgbToJSONListsComponentsInOrder)
{
    EXPECT_EQ(rgbToJSON(QStringLiteral("bg"), _rgb_color{0.25f, 0.5f, 0.1f, 1.0f}),
              QStringLiteral("'bg':{'r':0.25, 'g':0.5, 'b':0.100000001490116, 'a':1}"));
}

TEST(DocumentFormat, WritesTheDocumentLayoutByteForByte)
{
    const FracPtr f = fractalOf({map({0, 0}, {0.5, 0.5}, 0.0f, 1.0f, {1, 0, 0, 1}),
                                 map({0.5, 0.25}, {0.5, 0.5}, 0.1f, 1.0f, {0, 0.5f, 1, 1})},
                                100000, {0, 0, 0, 1});
    const QString expected = QStringLiteral(
        "{'file':{'type':'frac', 'v':1, 'creator':'org.attractor.Attractor', 'bundle':'%1', 'platform':'%2', 'os':'%3'},\n"
        "'n':100000, 'bg':{'r':0, 'g':0, 'b':0, 'a':1}, \n"
        "'transforms':\n"
        "[\n"
        "\t{'tx':0, 'ty':0, 'sx':0.5, 'sy':0.5, 'r':0, 'p':1, 'c':{'r':1, 'g':0, 'b':0, 'a':1}},\n"
        "\t{'tx':0.5, 'ty':0.25, 'sx':0.5, 'sy':0.5, 'r':0.100000001490116, 'p':1, 'c':{'r':0, 'g':0.5, 'b':1, 'a':1}}\n"
        "]}")
                                 .arg(QStringLiteral(ATTRACTOR_VERSION), platformString(), operatingSystemVersionString());
    EXPECT_EQ(jsonRepresentation(*f), expected);
}

TEST(DocumentFormat, HeaderNamesTheRunningSystem)
{
#if defined(Q_OS_LINUX)
    EXPECT_EQ(platformString(), QStringLiteral("Linux"));
#endif
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d+\\.\\d+\\.\\d+$")).match(operatingSystemVersionString()).hasMatch())
        << operatingSystemVersionString().toStdString();
}

TEST(DocumentFormat, FractalWithoutMapsKeepsTheTabLine)
{
    const QString text = jsonRepresentation(QvFrac());
    EXPECT_TRUE(text.endsWith(QStringLiteral("'n':0, 'bg':{'r':0, 'g':0, 'b':0, 'a':0}, \n'transforms':\n[\n\t\n]}")))
        << text.toStdString();
    const FracPtr back = read(text);
    EXPECT_TRUE(back->transforms()->empty());
}

struct Document {
    const char16_t *text;
    int32_t iterations;
    _rgb_color bg;
    std::vector<std::array<double, 10>> maps; // tx ty sx sy r p cr cg cb ca
};

class ReadDocument : public testing::TestWithParam<Document> {};

TEST_P(ReadDocument, MapsTableOntoModelWithMissingAsZero)
{
    const FracPtr f = read(QString::fromUtf16(GetParam().text));
    EXPECT_EQ(f->iterations(), GetParam().iterations);
    EXPECT_EQ(f->bgColor(), GetParam().bg);
    ASSERT_EQ(f->transforms()->size(), GetParam().maps.size());
    for (size_t k = 0; k < GetParam().maps.size(); ++k) {
        const QvTransform &t = *f->transforms()->at(k);
        const std::array<double, 10> &e = GetParam().maps[k];
        EXPECT_EQ(t.translation().x(), e[0]) << "map " << k;
        EXPECT_EQ(t.translation().y(), e[1]) << "map " << k;
        EXPECT_EQ(t.scale().x(), e[2]) << "map " << k;
        EXPECT_EQ(t.scale().y(), e[3]) << "map " << k;
        EXPECT_EQ(t.rotation(), static_cast<float>(e[4])) << "map " << k;
        EXPECT_EQ(t.probability(), static_cast<float>(e[5])) << "map " << k;
        EXPECT_EQ(t.rgb(), (_rgb_color{float(e[6]), float(e[7]), float(e[8]), float(e[9])})) << "map " << k;
    }
}

INSTANTIATE_TEST_SUITE_P(Keys, ReadDocument, testing::Values(
    Document{u"{'n':1000, 'transforms':[{'sx':0.5, 'sy':0.5}]}", 1000, {}, {{0, 0, 0.5, 0.5, 0, 0, 0, 0, 0, 0}}},
    Document{u"{'n':100000}", 100000, {}, {}},
    Document{u"{'n':2.9}", 2, {}, {}},
    Document{u"{'n':-2.9}", -2, {}, {}},
    Document{u"{'n':1e39}", INT32_MAX, {}, {}},
    Document{u"{'n':-1e10}", INT32_MIN, {}, {}},
    Document{u"{'n':'12 maps'}", 12, {}, {}},
    Document{u"{'n':true}", 1, {}, {}},
    Document{u"{'bg':{'r':0.5, 'a':1}}", 0, {0.5f, 0, 0, 1}, {}},
    Document{u"{'file':{'type':'other', 'v':99}, 'extra':[1,2], 'transforms':[{'tx':1, 'ty':-1, 'r':0.1, 'p':2, "
             u"'c':{'r':1, 'g':1, 'b':1, 'a':1}}, {'p':1}]}",
             0, {}, {{1, -1, 0, 0, 0.1f, 2, 1, 1, 1, 1}, {0, 0, 0, 0, 0, 1, 0, 0, 0, 0}}},
    Document{u"{'transforms':[{'tx':'0.5', 'ty':' -1.5e1x', 'sx':'abc', 'sy':'+-1', 'r':'.25', 'p':true}]}",
             0, {}, {{0.5, -15, 0, 0, 0.25, 1, 0, 0, 0, 0}}},
    // A huge value under a 32-bit key saturates instead of becoming infinite.
    Document{u"{'transforms':[{'r':'1e400', 'p':'-1e39', 'tx':'1e400'}]}",
             0, {}, {{DBL_MAX, 0, 0, 0, FLT_MAX, -FLT_MAX, 0, 0, 0, 0}}}));

INSTANTIATE_TEST_SUITE_P(WrongKinds, ReadDocument, testing::Values(
    Document{u"{'n':null, 'bg':[1,1,1,1]}", 0, {}, {}},
    Document{u"{'n':[5], 'bg':'white'}", 0, {}, {}},
    Document{u"{'n':{'v':5}, 'bg':0.5}", 0, {}, {}},
    Document{u"{'transforms':{'tx':1}}", 0, {}, {}},
    Document{u"{'transforms':5}", 0, {}, {}},
    Document{u"{'transforms':'[]'}", 0, {}, {}},
    Document{u"{'transforms':[5, null, [1], {'sx':1, 'c':[1,1,1,1]}, {'tx':{}, 'c':{'r':[1], 'g':null, 'b':'0.5'}}]}",
             0, {}, {{0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
                     {0, 0, 1, 0, 0, 0, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0, 0, 0, 0.5, 0}}}));

TEST(DocumentFormat, NoTableReadsAsEmptyFractal)
{
    const FracPtr f = fractalFromDictionary(nullptr);
    EXPECT_EQ(f->iterations(), 0);
    EXPECT_EQ(f->bgColor(), _rgb_color{});
    EXPECT_TRUE(f->transforms()->empty());
    EXPECT_EQ(floatForKey(QStringLiteral("n"), nullptr), 0.0);
    EXPECT_EQ(rgbForKey(QStringLiteral("bg"), nullptr), _rgb_color{});
}

TEST(DocumentFormat, WriteReadWriteReproducesTextOf32BitValues)
{
    const FracPtr f = fractalOf({map({0.1f, -0.75f}, {0.3f, 0.9f}, 2.5f, 1.0f, {0.2f, 0.4f, 0.6f, 0.8f}),
                                 map({-1, 1}, {0.15f, 1e-7f}, -0.001f, 0.33f, {1, 1, 1, 1}),
                                 map({1e-20f, 3e30f}, {1, 1}, 6.2831855f, 0.0f, {0, 0, 0, 0})},
                                123456, {0.1f, 0.2f, 0.3f, 1});
    const QString text = jsonRepresentation(*f);
    const FracPtr back = read(text);
    EXPECT_EQ(jsonRepresentation(*back), text);
    ASSERT_EQ(back->transforms()->size(), 3u);
    for (size_t k = 0; k < 3; ++k) {
        EXPECT_EQ(back->transforms()->at(k)->translation().x(), f->transforms()->at(k)->translation().x());
        EXPECT_EQ(back->transforms()->at(k)->scale().y(), f->transforms()->at(k)->scale().y());
        EXPECT_EQ(back->transforms()->at(k)->rgb(), f->transforms()->at(k)->rgb());
    }

    // The default fractal survives too, maps in the same order.
    const QString defaultText = jsonRepresentation(*QvFrac::defaultFractal());
    EXPECT_EQ(jsonRepresentation(*read(defaultText)), defaultText);
}

TEST(DocumentFormat, SixtyFourBitValueComesBackAs32Bit)
{
    const FracPtr f = fractalOf({map({1.0 / 3.0, 0}, {0.5, 0.5}, 0, 1, {})}, 1, {});
    const QString first = jsonRepresentation(*f);
    EXPECT_TRUE(first.contains(QStringLiteral("'tx':0.333333333333333,")));
    const QString second = jsonRepresentation(*read(first));
    EXPECT_TRUE(second.contains(QStringLiteral("'tx':0.333333343267441,")));
}

TEST(DocumentFormat, LargeWholeNumbersSurviveSaveAndReopen)
{
    const FracPtr f = fractalOf({map({3e9, -1e12}, {1e10, 0.5}, 0, 1, {0, 0, 0, 1})}, 5, {0, 0, 0, 1});
    const FracPtr back = read(jsonRepresentation(*f));
    ASSERT_EQ(back->transforms()->size(), 1u);
    const QvTransform &t = *back->transforms()->at(0);
    EXPECT_EQ(t.scale().x(), static_cast<double>(1e10f));
    EXPECT_EQ(t.translation().x(), static_cast<double>(3e9f));
    EXPECT_EQ(t.translation().y(), static_cast<double>(-1e12f));
}

TEST(DocumentFormat, NonFiniteValuesAreWrittenSoTheDocumentOpensAgain)
{
    const double inf = std::numeric_limits<double>::infinity();
    const float nanf = std::numeric_limits<float>::quiet_NaN();
    const FracPtr f = fractalOf({map({inf, -inf}, {nanf, 1}, std::numeric_limits<float>::infinity(), nanf,
                                     {nanf, -std::numeric_limits<float>::infinity(), 1, 1})},
                                7, {nanf, 0, 0, 1});
    const QString text = jsonRepresentation(*f);
    EXPECT_FALSE(text.contains(QStringLiteral("inf"))) << text.toStdString();
    EXPECT_FALSE(text.contains(QStringLiteral("nan"))) << text.toStdString();

    const DocumentReadResult result = readDocument(text.toUtf8());
    ASSERT_TRUE(result.ok()) << result.error.toStdString();
    const QvTransform &t = *result.fractal->transforms()->at(0);
    EXPECT_EQ(t.translation().x(), FLT_MAX);
    EXPECT_EQ(t.translation().y(), -FLT_MAX);
    EXPECT_EQ(t.scale().x(), 0.0);
    EXPECT_EQ(t.rotation(), FLT_MAX);
    EXPECT_EQ(t.probability(), 0.0f);
    EXPECT_EQ(t.rgb(), (_rgb_color{0, -FLT_MAX, 1, 1}));
    EXPECT_EQ(result.fractal->bgColor(), (_rgb_color{0, 0, 0, 1}));
}

} // namespace
