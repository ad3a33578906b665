#include "persistence/DocumentFormat.h"
#include "persistence/DocumentReader.h"
#include "persistence/Report.h"

#include "model/QvTransform.h"
#include "support/LogCapture.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

#include <cfloat>
#include <limits>

using namespace attractor;

namespace {

const float inf = std::numeric_limits<float>::infinity();
const float nan = std::numeric_limits<float>::quiet_NaN();

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
    LogCapture log;
    const DocumentReadResult result = readDocument(text.toUtf8());
    EXPECT_TRUE(result.ok()) << result.error.toStdString();
    return result.fractal;
}

TEST(DocumentFormat, PrintsFifteenSignificantDigitsAndNeverInfOrNan)
{
    // Past the 32-bit integer range an exponent, or it would read back saturated; the reader
    // refuses "inf" and "nan", so the document would not open again.
    const std::pair<double, const char *> rows[] = {
        {-0.0, "-0"}, {0.00001, "1e-05"}, {2147483647.0, "2147483647"}, {2147483648.0, "2.147483648e+09"},
        {1.0 / 3.0, "0.333333333333333"}, {0.1f, "0.100000001490116"},
        {-std::numeric_limits<double>::infinity(), "-3.40282346638529e+38"}, {std::nan(""), "0"}};
    for (const auto &[value, text] : rows)
        EXPECT_EQ(floatToJSON(QStringLiteral("k"), value).toStdString(), std::string("'k':") + text);
}

// The layout is pinned as text: readers on other systems depend on it.
TEST(DocumentFormat, WritesTheDocumentLayoutByteForByte)
{
    const FracPtr f = fractalOf({map({0, 0}, {0.5, 0.5}, 0.0f, 1.0f, {1, 0, 0, 1}),
                                 map({0.5, 0.25}, {0.5, 0.5}, 0.1f, 1.0f, {0, 0.5f, 1, 1})},
                                100000, {0, 0, 0, 1});
    QString text = jsonRepresentation(*f);
    text.replace(QRegularExpression(QStringLiteral("'os':'\\d+\\.\\d+\\.\\d+'")), QStringLiteral("'os':'X'"));
    EXPECT_EQ(text.toStdString(),
              "{'file':{'type':'frac', 'v':1, 'creator':'org.attractor.Attractor', 'bundle':'" ATTRACTOR_VERSION
              "', 'platform':'Linux', 'os':'X'},\n"
              "'n':100000, 'bg':{'r':0, 'g':0, 'b':0, 'a':1}, \n'transforms':\n[\n"
              "\t{'tx':0, 'ty':0, 'sx':0.5, 'sy':0.5, 'r':0, 'p':1, 'c':{'r':1, 'g':0, 'b':0, 'a':1}},\n"
              "\t{'tx':0.5, 'ty':0.25, 'sx':0.5, 'sy':0.5, 'r':0.100000001490116, 'p':1, "
              "'c':{'r':0, 'g':0.5, 'b':1, 'a':1}}\n"
              "]}");
    // Without maps the tab line stays.
    EXPECT_TRUE(jsonRepresentation(QvFrac()).endsWith(
        QStringLiteral("'n':0, 'bg':{'r':0, 'g':0, 'b':0, 'a':0}, \n'transforms':\n[\n\t\n]}")));
}

// Missing keys and values of the wrong kind read as 0; strings count by the
// number they begin with; values beyond a 32-bit field saturate.
TEST(DocumentFormat, ReadsTablesOntoTheModel)
{
    struct Row {
        const char16_t *text;
        int32_t iterations;
        _rgb_color bg;
        std::vector<std::array<double, 10>> maps; // tx ty sx sy r p cr cg cb ca
    };
    const Row rows[] = {
        {u"{'n':2.9, 'bg':{'r':0.5, 'a':1}}", 2, {0.5f, 0, 0, 1}, {}},
        {u"{'n':1e39}", INT32_MAX, {}, {}},
        {u"{'n':-1e10}", INT32_MIN, {}, {}},
        {u"{'n':true, 'bg':[1,1,1,1]}", 1, {}, {}},
        {u"{'n':{'v':5}, 'transforms':{'tx':1}}", 0, {}, {}},
        {u"{'file':{'v':99}, 'transforms':[{'tx':1, 'ty':-1, 'r':0.1, 'p':2, 'c':{'r':1, 'g':1, 'b':1, 'a':1}}, "
         u"{'sx':0.5}]}",
         0, {}, {{1, -1, 0, 0, 0.1f, 2, 1, 1, 1, 1}, {0, 0, 0.5, 0, 0, 0, 0, 0, 0, 0}}},
        {u"{'transforms':[{'tx':'0.5', 'ty':' -1.5e1x', 'sx':'abc', 'sy':'+-1', 'r':'.25', 'p':true}]}",
         0, {}, {{0.5, -15, 0, 0, 0.25, 1, 0, 0, 0, 0}}},
        {u"{'transforms':[{'r':'1e400', 'p':'-1e39', 'tx':'1e400'}]}",
         0, {}, {{DBL_MAX, 0, 0, 0, FLT_MAX, -FLT_MAX, 0, 0, 0, 0}}},
        {u"{'transforms':[5, {'sx':1, 'c':[1,1,1,1]}, {'tx':{}, 'c':{'r':[1], 'g':null, 'b':'0.5'}}]}",
         0, {}, {{0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, {0, 0, 1, 0, 0, 0, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0, 0, 0, 0.5, 0}}},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(QString::fromUtf16(row.text).toStdString());
        const FracPtr f = read(QString::fromUtf16(row.text));
        ASSERT_TRUE(f);
        EXPECT_EQ(f->iterations(), row.iterations);
        EXPECT_EQ(f->bgColor(), row.bg);
        std::vector<std::array<double, 10>> maps;
        for (const TransformPtr &t : *f->transforms())
            maps.push_back({t->translation().x(), t->translation().y(), t->scale().x(), t->scale().y(), t->rotation(),
                            t->probability(), t->rgb().r, t->rgb().g, t->rgb().b, t->rgb().a});
        EXPECT_EQ(maps, row.maps);
    }
}

// Reading narrows to 32 bits; writing again gives the same text, and values
// that are not finite still make a document that opens.
TEST(DocumentFormat, WriteReadWriteReproducesTheTextAndTheViewSavedOnlyWhenNotStandard)
{
    const FracPtr f = fractalOf({map({0.1f, -0.75f}, {0.3f, 0.9f}, 2.5f, 1.0f, {0.2f, 0.4f, 0.6f, 0.8f}),
                                 map({1e-20f, 3e30f}, {0.15f, 1e-7f}, 6.2831855f, 0.33f, {0, 0, 0, 0}),
                                 map({3e9f, -1e12f}, {1e10f, 1}, -0.001f, 0.0f, {1, 1, 1, 1})},
                                123456, {0.1f, 0.2f, 0.3f, 1});
    f->transforms()->back()->setShear(-0.25f);
    const QString text = jsonRepresentation(*f);
    EXPECT_EQ(jsonRepresentation(*read(text)).toStdString(), text.toStdString());
    // The shear is written only where it is set.
    EXPECT_EQ(text.count(QStringLiteral("'sh':")), 1);
    EXPECT_TRUE(text.contains(QStringLiteral("'r':-0.00100000004749745, 'sh':-0.25, 'p':0")));
    EXPECT_EQ(read(text)->transforms()->back()->shear(), -0.25f);
    const FracPtr third = fractalOf({map({1.0 / 3.0, inf}, {nan, 1}, -inf, nan, {nan, inf, 1, 1})}, 1, {});
    const FracPtr reread = read(jsonRepresentation(*third));
    const QvTransform &t = *reread->transforms()->front();
    EXPECT_TRUE(t.translation() == QPointF(1.0f / 3.0f, FLT_MAX) && t.scale().x() == 0 && t.rotation() == -FLT_MAX);
    EXPECT_EQ(t.rgb(), (_rgb_color{0, FLT_MAX, 1, 1}));
    // The view goes after the background, as exact strings, and only when it is
    // not the standard frame; it reads back as the same doubles, clamped.
    EXPECT_EQ(jsonRepresentation(*f, View()), text);
    EXPECT_EQ(jsonRepresentation(*f, View{{0, 0}, std::nan("")}), text);
    const QString zoomed = jsonRepresentation(*f, View{{0.1, -1.0 / 3.0}, 1e6});
    EXPECT_EQ(zoomed, QString(text).replace(QStringLiteral("'a':1}, \n"),
                                             QStringLiteral("'a':1}, 'view':{'x':'0.1', 'y':'-0.3333333333333333', 'zoom':'1e+06'}, \n")));
    for (const View &v : {View(), View{{0.1, -1.0 / 3.0}, 1e6}, View{{-123.456789012345678, 2e-9}, kZoomStep * kZoomStep * kZoomStep}}) {
        const DocumentReadResult r = readDocument(jsonRepresentation(*f, v).toUtf8());
        EXPECT_EQ(r.view, v) << v.zoom;
        EXPECT_EQ(jsonRepresentation(*r.fractal, r.view), jsonRepresentation(*f, v));
    }
    const std::pair<const char *, View> rows[] = {
        {"{'view':{'x':1.5, 'y':'-2', 'zoom':4}}", {{1.5, -2}, 4}}, {"{'view':{'x':'1e9', 'zoom':'1e9'}}", {{kMaxViewCentre, 0}, kMaxZoom}},
        {"{'view':[1, 2, 3]}", {}}, {"{'view':{'x':'abc', 'y':true, 'zoom':-3}}", {{0, 1}, 1}}, {"{'n':1}", {}}};
    for (const auto &[json, view] : rows)
        EXPECT_EQ(readDocument(json).view, view) << json;

    // The density look goes before the maps, exactly, and only when it is not the default.
    EXPECT_FALSE(text.contains(QStringLiteral("density")));
    f->setDensity({.gamma = 1.7, .brightness = 1.0 / 3.0, .vibrancy = 0.25, .highlight = 1, .deRadius = 0});
    const QString looked = jsonRepresentation(*f);
    EXPECT_TRUE(looked.contains(QStringLiteral("'density':{'gamma':'1.7', 'brightness':'0.3333333333333333', "
                                               "'vibrancy':'0.25', 'highlight':'1', 'radius':0}, \n'transforms'")));
    EXPECT_EQ(read(looked)->density(), f->density());
    EXPECT_EQ(jsonRepresentation(*read(looked)), looked);
    // What a look lacks is the default's; what is out of range is clamped.
    const std::pair<const char *, DensityOptions> looks[] = {
        {"{'density':{'gamma':3}}", {.gamma = 3}}, {"{'density':{'radius':'4', 'vibrancy':true}}", {.deRadius = 4}},
        {"{'density':{'gamma':9, 'brightness':-1, 'radius':99}}", {.gamma = 4, .brightness = 0, .deRadius = 30}},
        {"{'density':[1]}", {}}};
    for (const auto &[json, look] : looks)
        EXPECT_EQ(readDocument(json).fractal->density(), look) << json;
}

// Document text is UTF-8 beginning with "{", after a byte-order mark some
// editors write; other bytes go to the archive reader.
TEST(DocumentReader, RefusalNamesWhatTheBytesAreNotOrWhereTheTextBreaks)
{
    const std::string notDocument =
        "not a fractal document: it is neither document text (which begins with “{”) nor an archive";
    const std::pair<QByteArray, std::string> rows[] = {
        {"{'n':5, 'note':'Gr\xc3\xbc\xc3\x9f\x65 \xf0\x9f\x98\x80'}", ""}, {"\xef\xbb\xbf{'n':5}", ""},
        {"plain words", notDocument}, {" {'n':1}", notDocument},
        {"{'n':1, 'x':'\xff'}", notDocument}, {"{'n':1, 'x':'\xe2\x82", notDocument},
        {"\x04\x0btypedstream\x81\xe8\x03\x84\x01@", "not a fractal document: the archive is truncated"},
        {"{'n': 5,\n  'bg': {}\n  x}", "JSON syntax error at line 3, column 3: Illegal hash table entry divider."},
        {"{'n':inf}", "JSON syntax error at line 1, column 5: Illegal Object Prefix: 'i' (0x69)"},
    };
    for (const auto &[bytes, error] : rows) {
        LogCapture log;
        const DocumentReadResult result = readDocument(bytes);
        EXPECT_EQ(result.error.toStdString(), error);
        EXPECT_EQ(result.fractal ? result.fractal->iterations() : -1, error.empty() ? 5 : -1);
    }
}

TEST(Report, MapsAreNumberedInListOrderWithTheirMatrix)
{
    EXPECT_TRUE(textReport(QvFrac()).isEmpty());
    // cos 1 and sin 1 times 0.5 for the rotated map's matrix.
    const FracPtr f = fractalOf({std::make_shared<QvTransform>(), map({1, -1}, {0.5, 0.5}, 1.0f, 1, {})}, 0, {});
    const FracPtr sheared = fractalOf({std::make_shared<QvTransform>()}, 0, {});
    sheared->transforms()->front()->setShear(0.25f);
    EXPECT_EQ(textReport(*sheared).toStdString(),
              "Transform 1:\n\tTranslation: (0.000000, 0.000000)\n\tRotation: 0.000000 radians\n"
              "\tScale: (0.500000, 0.500000)\n\tShear: 0.250000\n\tMatrix:\t0.500000 \t0.250000 \n\t\t0.000000 \t0.500000\n\n");
    EXPECT_EQ(textReport(*f).toStdString(),
              "Transform 1:\n\tTranslation: (0.000000, 0.000000)\n\tRotation: 0.000000 radians\n"
              "\tScale: (0.500000, 0.500000)\n\tMatrix:\t0.500000 \t-0.000000 \n\t\t0.000000 \t0.500000\n\n"
              "Transform 2:\n\tTranslation: (1.000000, -1.000000)\n\tRotation: 1.000000 radians\n"
              "\tScale: (0.500000, 0.500000)\n\tMatrix:\t0.270151 \t-0.420735 \n\t\t0.420735 \t0.270151\n\n");
}

} // namespace
