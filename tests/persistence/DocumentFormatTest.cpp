#include "persistence/DocumentFormat.h"

#include "model/QvTransform.h"
#include "persistence/DocumentReader.h"
#include "persistence/JsonValue.h"
#include "persistence/WdJsonParser.h"

#include "QtPrinters.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

#include <cfloat>
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
    Formatted{0.5, "0.5"},
    Formatted{0.0001, "0.0001"},
    Formatted{0.00001, "1e-05"},
    Formatted{2147483647.0, "2147483647"},
    // Whole numbers past the 32-bit integer range take an exponent, or they
    // would read back as a saturated integer.
    Formatted{2147483648.0, "2.147483648e+09"},
    Formatted{1.0 / 3.0, "0.333333333333333"},
    Formatted{0.1f, "0.100000001490116"},
    // Never "inf" or "nan": the reader refuses them, so the document would not open again.
    Formatted{std::numeric_limits<double>::infinity(), "3.40282346638529e+38"},
    Formatted{std::numeric_limits<double>::quiet_NaN(), "0"}));

// The header is pinned as text: a reader on another system depends on it.
TEST(DocumentFormat, WritesTheDocumentLayoutByteForByte)
{
    const FracPtr f = fractalOf({map({0, 0}, {0.5, 0.5}, 0.0f, 1.0f, {1, 0, 0, 1}),
                                 map({0.5, 0.25}, {0.5, 0.5}, 0.1f, 1.0f, {0, 0.5f, 1, 1})},
                                100000, {0, 0, 0, 1});
    QString text = jsonRepresentation(*f);
    text.replace(QRegularExpression(QStringLiteral("'os':'\\d+\\.\\d+\\.\\d+'")), QStringLiteral("'os':'X'"));
    EXPECT_EQ(text, QStringLiteral(
        "{'file':{'type':'frac', 'v':1, 'creator':'org.attractor.Attractor', 'bundle':'" ATTRACTOR_VERSION
        "', 'platform':'Linux', 'os':'X'},\n"
        "'n':100000, 'bg':{'r':0, 'g':0, 'b':0, 'a':1}, \n"
        "'transforms':\n"
        "[\n"
        "\t{'tx':0, 'ty':0, 'sx':0.5, 'sy':0.5, 'r':0, 'p':1, 'c':{'r':1, 'g':0, 'b':0, 'a':1}},\n"
        "\t{'tx':0.5, 'ty':0.25, 'sx':0.5, 'sy':0.5, 'r':0.100000001490116, 'p':1, 'c':{'r':0, 'g':0.5, 'b':1, 'a':1}}\n"
        "]}"));
    // Without maps the tab line stays.
    EXPECT_TRUE(jsonRepresentation(QvFrac()).endsWith(
        QStringLiteral("'n':0, 'bg':{'r':0, 'g':0, 'b':0, 'a':0}, \n'transforms':\n[\n\t\n]}")));
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
    Document{u"{'n':2.9}", 2, {}, {}},
    Document{u"{'n':1e39}", INT32_MAX, {}, {}},
    Document{u"{'n':-1e10}", INT32_MIN, {}, {}},
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
    Document{u"no table", 0, {}, {}},
    Document{u"{'n':null, 'bg':[1,1,1,1]}", 0, {}, {}},
    Document{u"{'n':{'v':5}, 'bg':0.5}", 0, {}, {}},
    Document{u"{'transforms':{'tx':1}}", 0, {}, {}},
    Document{u"{'transforms':[5, null, [1], {'sx':1, 'c':[1,1,1,1]}, {'tx':{}, 'c':{'r':[1], 'g':null, 'b':'0.5'}}]}",
             0, {}, {{0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
                     {0, 0, 1, 0, 0, 0, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0, 0, 0, 0.5, 0}}}));

TEST(DocumentFormat, WriteReadWriteReproducesTextOf32BitValues)
{
    const FracPtr f = fractalOf({map({0.1f, -0.75f}, {0.3f, 0.9f}, 2.5f, 1.0f, {0.2f, 0.4f, 0.6f, 0.8f}),
                                 map({1e-20f, 3e30f}, {0.15f, 1e-7f}, 6.2831855f, 0.33f, {0, 0, 0, 0}),
                                 map({3e9f, -1e12f}, {1e10f, 1}, -0.001f, 0.0f, {1, 1, 1, 1})},
                                123456, {0.1f, 0.2f, 0.3f, 1});
    const QString text = jsonRepresentation(*f);
    const FracPtr back = read(text);
    EXPECT_EQ(jsonRepresentation(*back), text);
    ASSERT_EQ(back->transforms()->size(), 3u);
    for (size_t k = 0; k < 3; ++k) {
        EXPECT_EQ(back->transforms()->at(k)->translation(), f->transforms()->at(k)->translation());
        EXPECT_EQ(back->transforms()->at(k)->scale(), f->transforms()->at(k)->scale());
        EXPECT_EQ(back->transforms()->at(k)->rgb(), f->transforms()->at(k)->rgb());
    }
    // A 64-bit value is written in full and comes back as 32-bit.
    const QString first = jsonRepresentation(*fractalOf({map({1.0 / 3.0, 0}, {0.5, 0.5}, 0, 1, {})}, 1, {}));
    EXPECT_TRUE(first.contains(QStringLiteral("'tx':0.333333333333333,")));
    EXPECT_TRUE(jsonRepresentation(*read(first)).contains(QStringLiteral("'tx':0.333333343267441,")));
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
