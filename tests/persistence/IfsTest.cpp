#include "persistence/IfsFormat.h"

#include "engine/Fitting.h"
#include "model/QvTransform.h"
#include "support/Pictures.h"

#include <gtest/gtest.h>

#include <QPolygonF>

#include <random>

using namespace attractor;
using namespace attractor::test;

namespace {

// Barnsley's published coefficients.
const char fernText[] = "fern {\n 0 0 0 .16 0 0 .01\n .85 .04 -.04 .85 0 1.6 .85\n"
                        " .2 -.26 .23 .22 0 1.6 .07\n -.15 .28 .26 .24 0 .44 .07\n}\n";
const std::array<double, 4> fernP = {.01, .85, .07, .07};

FracPtr imported(const QByteArray &text)
{
    const IfsReadResult read = readIfs(text);
    const IfsEntry *entry = read.ok() ? findIfsEntry(read.entries, {}) : nullptr;
    const DocumentReadResult result = entry ? fractalFromIfsEntry(*entry) : DocumentReadResult{};
    EXPECT_TRUE(result.ok()) << read.error.toStdString() << result.error.toStdString();
    return result.fractal;
}

TEST(IfsReader, ReadsEntriesAndRefusesMalformedTextNamingTheLine)
{
    const auto summary = [](const QByteArray &text) {
        const IfsReadResult r = readIfs(text);
        QStringList parts{r.error};
        for (const IfsEntry &e : r.entries)
            parts << QStringLiteral("%1@%2:%3").arg(e.name).arg(e.line)
                         .arg(e.threeD ? QStringLiteral("3D") : QString::number(e.maps.size()));
        return parts.join(u' ').trimmed().toStdString();
    };
    const std::pair<QByteArray, const char *> rows[] = {
        {fernText, "fern@1:4"},
        {"; maps\r\na { 1 2 3 4 5 6 7 1 2 3 4 5 6 7 } ; two on a line\r\nb\r\n{\r\n1 2\r\n3 4 5 6 7 ; broken\r\n}",
         "a@2:2 b@3:1"},
        {"\xEF\xBB\xBFsq (3d) {1 2 3 4 5 6 7 8 9 10 11 12 13}\ntri{+.5 -.5 1e-1 0 0 0 1}", "sq@1:3D tri@2:1"},
        {"", "line 1: no entries"}, {"; nothing\n\n", "line 3: no entries"},
        {"a {\n 1 2 3 4 5 6 7\n", "line 1: the entry “a” has no closing “}”"},
        {"\na {\n1 2 3 4 5 6\n}", "line 2: the entry “a” has 6 numbers, not 7 for each map"},
        {"a (3D) { 1 2 3 4 5 6 7 }", "line 1: the entry “a” has 7 numbers, not 13 for each map"},
        {"a {\n 1 2 x 4 5 6 7 }", "line 2: “x” is not a number"},
        {"a { 1 2 3 4 5 6 7 }\n}", "line 2: “}” outside any entry"},
        {"a { 1 2 1e999 4 5 6 7 }", "line 1: “1e999” is not a finite number"},
        {"a { 1 2 nan 4 5 6 7 }", "line 1: “nan” is not a finite number"},
        {"\n{ 1 2 3 4 5 6 7 }", "line 2: an entry without a name"},
        {"a (2D) { }", "line 1: expected “(3D)” after the name “a”"},
        {"a b { }", "line 1: expected “{” after the name “a”, not “b”"},
        {QByteArray(300, 'n') + "{}", "line 1: a name longer than 256 characters"},
        {"a {" + QByteArray("0 0 0 0 0 0 1 ").repeated(50001) + "}", "line 1: more than 50000 maps in the file"},
    };
    for (const auto &[text, expected] : rows)
        EXPECT_EQ(summary(text), expected) << text.left(80).toStdString();
    const IfsReadResult r = readIfs("a (3D) {1 2 3 4 5 6 7 8 9 10 11 12 13} Fern {1 2 3 4 5 6 7} fern {7 6 5 4 3 2 1}");
    EXPECT_EQ(r.entries.at(2).maps, (std::vector<std::array<double, 7>>{{7, 6, 5, 4, 3, 2, 1}}));
    for (const auto &[name, index] : {std::pair{"", 1}, {"fern", 2}, {"FERN", 1}, {"A", 0}, {"fer", -1}})
        EXPECT_EQ(findIfsEntry(r.entries, QString::fromLatin1(name)), index < 0 ? nullptr : &r.entries.at(index)) << name;
}

// Centred, the longer side across [-1.9, 1.9], linear parts kept; a point goes to the centre; the unbounded and 3D are refused.
TEST(IfsFormat, ImportFitsTheAttractorIntoTheFrame)
{
    const std::pair<QByteArray, const char *> rows[] = {
        {fernText, nullptr},
        {"far { .5 0 0 .5 100 100 1  .5 0 0 .5 101 100 1  .5 0 0 .5 100 101 1 }", nullptr},
        {"tiny { .5 .1 0 -.5 .001 0 1  .5 0 .2 .5 0 .001 1 }", nullptr},
        {"line { .5 0 0 0 0 3 1  .5 0 0 0 1 3 1 }", nullptr},
        {"dot { 0 0 0 0 7 -5 1 }", nullptr},
        {"away { 1.5 0 0 1.5 1 0 1 }", "away: the attractor is not bounded: its points run off to infinity"},
        {"cube (3D) { 1 0 0 0 1 0 0 0 1 0 0 0 1 }", "cube: 3D entries cannot be drawn"},
        {"none { }", "none: the entry has no maps"},
    };
    for (const auto &[text, error] : rows) {
        SCOPED_TRACE(text.toStdString());
        const IfsEntry entry = readIfs(text).entries.at(0);
        const DocumentReadResult r = fractalFromIfsEntry(entry);
        ASSERT_EQ(r.error.toStdString(), error ? error : "");
        if (!r.ok())
            continue;
        for (size_t i = 0; i < entry.maps.size(); ++i) {
            const _t_matrix m = r.fractal->transforms()->at(i)->transformMatrix();
            for (const auto &[value, k] : {std::pair{m.a, 0}, {m.b, 1}, {m.c, 2}, {m.d, 3}})
                EXPECT_NEAR(value, entry.maps[i][k], 1e-6);
        }
        const QRectF b = *attractorBounds(*r.fractal, 1000000);
        const double side = std::max(b.width(), b.height());
        EXPECT_TRUE(text.startsWith("dot") ? side == 0.0 : side > 3.75 && side < 3.9) << side;
        EXPECT_NEAR(b.center().x(), 0.0, 0.03);
        EXPECT_NEAR(b.center().y(), 0.0, 0.03);
        EXPECT_TRUE(b.left() >= -2 && b.right() <= 2 && b.top() >= -2 && b.bottom() <= 2);
    }
}

// The fern drawn straight from its coefficients in doubles, fitted by its own bounds.
QImage fernByHand()
{
    const double m[4][6] = {{0, 0, 0, .16, 0, 0}, {.85, .04, -.04, .85, 0, 1.6}, {.2, -.26, .23, .22, 0, 1.6},
                            {-.15, .28, .26, .24, 0, .44}};
    std::mt19937 random(3);
    std::discrete_distribution<int> pick(fernP.begin(), fernP.end());
    QList<QPointF> points{{0, 0}};
    for (int k = 0; k < 1000000; ++k) {
        const double *f = m[pick(random)], x = points.back().x(), y = points.back().y();
        points.emplace_back(f[0] * x + f[1] * y + f[4], f[2] * x + f[3] * y + f[5]);
    }
    points.remove(0, 100);
    const QRectF bounds = QPolygonF(points).boundingRect();
    QImage image(128, 128, QImage::Format_RGB32);
    image.fill(Qt::black);
    for (const QPointF &p : points) {
        const QPointF q = (p - bounds.center()) * (121.6 / std::max(bounds.width(), bounds.height())) + QPointF(64, 64);
        image.setPixel(int(q.x()), 127 - int(q.y()), qRgb(255, 255, 255));
    }
    return image;
}

// Imported, the fern draws as the fern. The file's probabilities become the engine's weights; written (the name
// made safe) and read again, a fractal has the same maps, those weights summing to 1 and the same picture.
TEST(IfsFormat, ImportedAndRoundTrippedFractalsDrawTheSamePicture)
{
    const auto picture = [](const QvFrac &f) { return covered(enginePicture(f, 128, 1000000, 5), qRgb(0, 0, 0)); };
    const FracPtr fern = imported(fernText);
    ASSERT_TRUE(fern);
    EXPECT_GT(agreement(picture(*fern), covered(fernByHand(), qRgb(0, 0, 0))), 0.95);
    EXPECT_LT(agreement(picture(*fern), covered(fernByHand().mirrored(), qRgb(0, 0, 0))), 0.7) << "upside down";
    const std::tuple<QByteArray, const char *, const char *, std::vector<double>> rows[] = {
        {fernText, "tri", "tri", {fernP.begin(), fernP.end()}},
        {"s { .5 .3 0 -.5 0 0 .3  .4 0 .2 .6 1 0 .3  -.5 0 0 .5 0 1 .4 }", "my {odd};\n(name)", "my__odd____name_",
         {.3, .3, .4}},
        {"z { .5 0 0 .5 0 0 0  .5 0 0 .5 1 0 3 }", "", "fractal", {0.01 / 1.01, 1 / 1.01}}, // none under 0.01
        {"e { .5 0 0 .5 0 0 0  .5 0 0 .25 1 0 0 }", "e", "e", {0.5, 0.5}},                // no probability: alike
        {"p { 0 0 0 0 1 1 .9  .5 .1 0 .5 0 0 .1 }", "p", "p", {1 / 1.1, 0.1 / 1.1}},      // no area: 1 at power 0
    };
    for (const auto &[in, name, written, weights] : rows) {
        SCOPED_TRACE(in.toStdString());
        const FracPtr f = imported(in);
        ASSERT_TRUE(f);
        const QByteArray text = ifsText(*f, QString::fromLatin1(name));
        const IfsReadResult r = readIfs(text);
        ASSERT_EQ(r.entries.size(), 1u) << r.error.toStdString();
        EXPECT_EQ(r.entries[0].name.toStdString(), written);
        EXPECT_EQ(text.count('\n'), qsizetype(f->transforms()->size() + 2));
        ASSERT_EQ(r.entries[0].maps.size(), weights.size());
        const ChaosTables tables = buildChaosTables(*f);
        for (size_t i = 0; i < weights.size(); ++i) {
            const _t_matrix m = f->transforms()->at(i)->transformMatrix();
            const auto &row = r.entries[0].maps[i];
            for (const auto &[value, k] : {std::pair{m.a, 0}, {m.b, 1}, {m.c, 2}, {m.d, 3}, {m.tx, 4}, {m.ty, 5}})
                EXPECT_EQ(value, float(row[k])) << i << k;
            EXPECT_NEAR(row[6], weights[i], 1e-5 * weights[i]) << i;
            EXPECT_NEAR(tables.share[i], 100 * weights[i], 1.01) << i;
        }
        const FracPtr again = imported(text);
        ASSERT_TRUE(again);
        EXPECT_GT(agreement(picture(*f), picture(*again)), 0.97);
    }
}

} // namespace
