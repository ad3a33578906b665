#include "persistence/IfsFormat.h"

#include "engine/ChaosGame.h"
#include "engine/Fitting.h"
#include "engine/RasterImage.h"
#include "model/QvFrac.h"
#include "model/QvTransform.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

using namespace attractor;

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

// Pixels of a 128 x 128 picture of the frame that the chaos game reaches, indexed x + 128 * (row from the bottom).
std::vector<bool> covered(const QvFrac &fractal)
{
    RenderRequest request{.tables = buildChaosTables(fractal), .size = {128, 128}, .iterations = 1000000, .seed = 5};
    const QImage image = hiResBitmapInsideRect(request).convertToFormat(QImage::Format_RGB32);
    std::vector<bool> hit(128 * 128);
    for (int i = 0; i < 128 * 128; ++i)
        hit[i] = (image.pixel(i % 128, 127 - i / 128) & 0xffffff) != 0;
    return hit;
}

// The smaller of the shares of either picture's covered pixels that the other covers within one pixel.
double agreement(const std::vector<bool> &a, const std::vector<bool> &b)
{
    const auto share = [](const std::vector<bool> &from, const std::vector<bool> &in) {
        int covered = 0, near = 0;
        for (int i = 0; i < 128 * 128; ++i) {
            bool found = false;
            for (int x = i % 128 - 1; x <= i % 128 + 1; ++x)
                for (int y = i / 128 - 1; y <= i / 128 + 1; ++y)
                    found = found || (x >= 0 && x < 128 && y >= 0 && y < 128 && in[size_t(x + 128 * y)]);
            covered += from[size_t(i)], near += from[size_t(i)] && found;
        }
        return covered ? double(near) / covered : 0.0;
    };
    return std::min(share(a, b), share(b, a));
}

TEST(IfsReader, ReadsEntriesAndRefusesMalformedTextNamingTheLine)
{
    const auto summary = [](const QByteArray &text) {
        const IfsReadResult r = readIfs(text);
        QStringList parts{r.error};
        for (const IfsEntry &e : r.entries)
            parts << QStringLiteral("%1@%2:%3").arg(e.name).arg(e.line).arg(e.threeD ? QStringLiteral("3D") : QString::number(e.maps.size()));
        return parts.join(u' ').trimmed().toStdString();
    };
    const std::pair<QByteArray, const char *> rows[] = {
        {fernText, "fern@1:4"},
        {"; maps\r\na { 1 2 3 4 5 6 7 1 2 3 4 5 6 7 } ; two on a line\r\nb\r\n{\r\n1 2\r\n3 4 5 6 7 ; broken\r\n}", "a@2:2 b@3:1"},
        {"\xEF\xBB\xBFsq (3d) {1 2 3 4 5 6 7 8 9 10 11 12 13}\ntri{+.5 -.5 1e-1 0 0 0 1}", "sq@1:3D tri@2:1"},
        {"", "line 1: no entries"},
        {"; nothing\n\n", "line 3: no entries"},
        {"a {\n 1 2 3 4 5 6 7\n", "line 1: the entry “a” has no closing “}”"},
        {"\na {\n1 2 3 4 5 6\n}", "line 2: the entry “a” has 6 numbers, not 7 for each map"},
        {"a (3D) { 1 2 3 4 5 6 7 }", "line 1: the entry “a” has 7 numbers, not 13 for each map"},
        {"a {\n 1 2 x 4 5 6 7 }", "line 2: “x” is not a number"},
        {"a { 1 2 1e999 4 5 6 7 }", "line 1: “1e999” is not a finite number"},
        {"a { 1 2 nan 4 5 6 7 }", "line 1: “nan” is not a finite number"},
        {"a { 1 2 3 4 5 6 7 }\n}", "line 2: “}” outside any entry"},
        {"\n{ 1 2 3 4 5 6 7 }", "line 2: an entry without a name"},
        {"a b { }", "line 1: expected “{” after the name “a”, not “b”"},
        {"a (2D) { }", "line 1: expected “(3D)” after the name “a”"},
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

// The file's probabilities become the engine's weights, and written ones are those weights summing to 1.
TEST(IfsFormat, ProbabilitiesCarryOverAsEngineWeights)
{
    const std::pair<QByteArray, std::vector<double>> rows[] = {
        {fernText, {fernP.begin(), fernP.end()}},
        {"z { .5 0 0 .5 0 0 0  .5 0 0 .5 1 0 3 }", {0.01 / 1.01, 1 / 1.01}},     // none weighs less than 0.01
        {"e { .5 0 0 .5 0 0 0  .5 0 0 .25 1 0 0 }", {0.5, 0.5}},                   // no probability at all: alike
        {"p { 0 0 0 0 1 1 .9  .5 .1 0 .5 0 0 .1 }", {1 / 1.1, 0.1 / 1.1}},         // no area: weight 1 at power 0
    };
    for (const auto &[text, expected] : rows) {
        const FracPtr f = imported(text);
        ASSERT_TRUE(f);
        const std::vector<std::array<double, 7>> written = readIfs(ifsText(*f, QStringLiteral("x"))).entries.at(0).maps;
        ASSERT_EQ(written.size(), expected.size());
        const ChaosTables tables = buildChaosTables(*f);
        for (size_t i = 0; i < expected.size(); ++i) {
            EXPECT_NEAR(written[i][6], expected[i], 1e-5 * expected[i]) << text.toStdString() << i;
            EXPECT_NEAR(tables.share[i], 100 * expected[i], 1.01) << text.toStdString() << i;
        }
    }
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
std::vector<bool> fernByHand()
{
    const double m[4][6] = {{0, 0, 0, .16, 0, 0}, {.85, .04, -.04, .85, 0, 1.6}, {.2, -.26, .23, .22, 0, 1.6}, {-.15, .28, .26, .24, 0, .44}};
    std::mt19937 random(3);
    std::discrete_distribution<int> pick(fernP.begin(), fernP.end());
    std::vector<QPointF> points{{0, 0}};
    for (int k = 0; k < 1000000; ++k) {
        const double *f = m[pick(random)], x = points.back().x(), y = points.back().y();
        points.emplace_back(f[0] * x + f[1] * y + f[4], f[2] * x + f[3] * y + f[5]);
    }
    points.erase(points.begin(), points.begin() + 100);
    QRectF bounds(points[0], QSizeF());
    for (const QPointF &p : points)
        bounds.setCoords(std::min(bounds.left(), p.x()), std::min(bounds.top(), p.y()), std::max(bounds.right(), p.x()), std::max(bounds.bottom(), p.y()));
    std::vector<bool> hit(128 * 128);
    for (const QPointF &p : points) {
        const QPointF q = (p - bounds.center()) * (3.8 / std::max(bounds.width(), bounds.height()) * 32) + QPointF(64, 64);
        hit[size_t(int(q.x()) + 128 * int(q.y()))] = true;
    }
    return hit;
}

// Imported, the fern draws as the fern; written (the name made safe) and read again, any fractal draws as before.
TEST(IfsFormat, ImportedAndRoundTrippedFractalsDrawTheSamePicture)
{
    const FracPtr fern = imported(fernText);
    ASSERT_TRUE(fern);
    EXPECT_GT(agreement(covered(*fern), fernByHand()), 0.97);
    const FracPtr sheared = imported("s { .5 .3 0 -.5 0 0 .3  .4 0 .2 .6 1 0 .3  -.5 0 0 .5 0 1 .4 }");
    for (const auto &[f, name, written] : {std::tuple{fern, "tri", "tri"}, {sheared, "", "fractal"}, {sheared, "my {odd};\n(name)", "my__odd____name_"}}) {
        const QByteArray text = ifsText(*f, QString::fromLatin1(name));
        const IfsReadResult r = readIfs(text);
        ASSERT_EQ(r.entries.size(), 1u) << r.error.toStdString();
        EXPECT_EQ(r.entries[0].name.toStdString(), written);
        EXPECT_EQ(text.count('\n'), qsizetype(f->transforms()->size() + 2));
        for (size_t i = 0; i < r.entries[0].maps.size(); ++i) {
            const _t_matrix m = f->transforms()->at(i)->transformMatrix();
            const auto &row = r.entries[0].maps[i];
            EXPECT_EQ((std::array{m.a, m.b, m.c, m.d, m.tx, m.ty}),
                      (std::array{float(row[0]), float(row[1]), float(row[2]), float(row[3]), float(row[4]), float(row[5])}));
        }
        const FracPtr again = imported(text);
        ASSERT_TRUE(again);
        EXPECT_GT(agreement(covered(*f), covered(*again)), 0.97);
    }
}

} // namespace
