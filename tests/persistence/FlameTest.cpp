#include "persistence/FlameFormat.h"

#include "engine/RasterImage.h"
#include "model/QvFrac.h"
#include "model/QvTransform.h"

#include <QCoreApplication>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

using namespace attractor;

namespace {

TransformPtr map(const _t_matrix &m, _rgb_color colour, float probability = 0.0f)
{
    auto t = std::make_shared<QvTransform>(QvTransform::fromMatrix(m));
    t->setRgb(colour);
    t->setProbability(probability);
    return t;
}

FracPtr fractalOf(std::initializer_list<TransformPtr> maps, _rgb_color bg)
{
    return std::make_shared<QvFrac>(std::make_shared<TransformList>(maps), 200000, bg);
}

// A list of numbers as the floats they were written from.
std::vector<float> numbers(const QString &text)
{
    std::vector<float> values;
    for (const QStringView word : QStringView(text).split(u' ', Qt::SkipEmptyParts))
        values.push_back(word.toFloat());
    return values;
}

QString attr(const QXmlStreamAttributes &attributes, const char *key)
{
    return attributes.value(QLatin1String(key)).toString();
}

// The flame's attributes, its xforms' and its palette's rgb values by index.
struct Flame {
    QXmlStreamAttributes head;
    std::vector<QXmlStreamAttributes> xforms;
    std::map<int, std::vector<float>> palette;
    QString error;
};

Flame parse(const QByteArray &text)
{
    Flame flame;
    QXmlStreamReader xml(text);
    while (xml.readNextStartElement()) {
        if (xml.name() == u"flame") {
            flame.head = xml.attributes();
            continue;
        }
        if (xml.name() == u"xform")
            flame.xforms.push_back(xml.attributes());
        else if (xml.name() == u"color")
            flame.palette[attr(xml.attributes(), "index").toInt()] = numbers(attr(xml.attributes(), "rgb"));
        xml.skipCurrentElement();
    }
    flame.error = xml.errorString();
    return flame;
}

const _rgb_color red{1, 0, 0, 1}, green{0, 1, 0, 1}, blue{0, 0.5f, 1, 1};

// An L of three maps: one mirrored, one sheared, one turned; and a spiral.
const FracPtr mirroredSheared = fractalOf({map({-0.5f, 0, 0, 0.5f, -1, 1}, red, 1),
                                           map({0.5f, 0.3f, 0, 0.5f, 1, 1}, green, 1),
                                           map({0.4f, -0.2f, 0.2f, 0.4f, 0, -1.2f}, blue, 1)},
                                          {0.1f, 0.1f, 0.2f, 1});
const FracPtr spiral = [] {
    auto turn = std::make_shared<QvTransform>(QPointF(0.8, 0.8), 0.5f, QPointF(0.4, 0.3), red);
    auto step = std::make_shared<QvTransform>(QPointF(0.3, 0.25), -1.0f, QPointF(1.1, -0.6), blue);
    return fractalOf({turn, step}, {1, 1, 1, 1});
}();

TEST(FlameFormat, WritesEachMapAsAnXformColouredFromThePalette)
{
    // The engine draws the wide map half the time and the others a quarter each.
    const FracPtr f = fractalOf({map({1, 0, 0, 0.5f, 0, 0}, red, 1), map({0.5f, 0, 0, 0.5f, 1, 0}, {2, -1, 0.25f, 1}, 1),
                                 map({-0.25f, 0.5f, -1, 1, 0.5f, -0.75f}, blue, 1)},
                                {0.25f, 1.5f, 0.5f, 1});
    const Flame flame = parse(flameText(*f, QStringLiteral("<A & \"B\"\x01>")));
    ASSERT_TRUE(flame.error.isEmpty()) << flame.error.toStdString();
    EXPECT_EQ(attr(flame.head, "name"), u"<A & \"B\">");
    EXPECT_EQ(numbers(attr(flame.head, "background")), (std::vector<float>{0.25, 1, 0.5}));
    EXPECT_EQ(numbers(attr(flame.head, "size")), (std::vector<float>{1000, 1000}));
    EXPECT_EQ(numbers(attr(flame.head, "center")), (std::vector<float>{0, 0}));
    EXPECT_EQ(attr(flame.head, "scale"), u"250");
    ASSERT_EQ(flame.palette.size(), 256u);
    ASSERT_EQ(flame.xforms.size(), 3u);
    const double weights[] = {0.5, 0.25, 0.25};
    for (size_t i = 0; i < 3; ++i) {
        const QXmlStreamAttributes &x = flame.xforms[i];
        EXPECT_EQ(attr(x, "weight").toDouble(), weights[i]);
        const _t_matrix m = (*f->transforms())[i]->transformMatrix();
        // Column by column, seen with y pointing down, every float exact.
        const std::vector<float> flipped{m.a, -m.c, -m.b, m.d, m.tx, -m.ty};
        EXPECT_EQ(numbers(attr(x, "coefs")), flipped);
        // flam3 paints a point in palette slot floor(256 * color).
        const _rgb_color c = (*f->transforms())[i]->rgb();
        const int slot = static_cast<int>(attr(x, "color").toDouble() * 256);
        EXPECT_EQ(flame.palette.at(slot), (std::vector<float>{clampedUnit(c.r) * 255, clampedUnit(c.g) * 255,
                                                                 clampedUnit(c.b) * 255}));
    }
    // flam3 cannot render an empty flame: no maps gives one that draws nothing.
    const Flame empty = parse(flameText(QvFrac(), {}));
    ASSERT_EQ(empty.xforms.size(), 1u);
    EXPECT_EQ(attr(empty.xforms[0], "opacity"), u"0");
}

// --- flam3's picture against the engine's -------------------------------------

// Pixels unlike the background, grown by one pixel each way so that points
// landing on the other side of a pixel edge still meet.
std::vector<bool> covered(const QImage &source, QRgb background)
{
    const QImage image = source.convertToFormat(QImage::Format_RGB32);
    const int w = image.width(), h = image.height();
    std::vector<bool> lit(size_t(w * h)), grown(size_t(w * h));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const QRgb p = image.pixel(x, y);
            lit[size_t(y * w + x)] = std::abs(qRed(p) - qRed(background)) + std::abs(qGreen(p) - qGreen(background))
                                         + std::abs(qBlue(p) - qBlue(background))
                                     > 24;
        }
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx)
                    if (x + dx >= 0 && x + dx < w && y + dy >= 0 && y + dy < h && lit[size_t((y + dy) * w + x + dx)])
                        grown[size_t(y * w + x)] = true;
    return grown;
}

// Pixels both cover over pixels either covers.
double agreement(const std::vector<bool> &a, const std::vector<bool> &b)
{
    int both = 0, either = 0;
    for (size_t i = 0; i < a.size(); ++i)
        both += a[i] && b[i], either += a[i] || b[i];
    return either ? double(both) / either : 0.0;
}

QImage flam3Render(const QByteArray &flame, const QString &flam3)
{
    static int argc = 1;
    static char name[] = "test_flame", *argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("in.flame")));
    if (!file.open(QIODevice::WriteOnly) || file.write(flame) != flame.size())
        return {};
    file.close();
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    // A fifth of the size: 200 x 200.
    for (const auto &[key, value] : {std::pair{"in", file.fileName()}, {"prefix", dir.filePath(QStringLiteral("out."))},
                                     {"format", QStringLiteral("png")}, {"ss", QStringLiteral("0.2")},
                                     {"isaac_seed", QStringLiteral("attractor")}, {"nthreads", QStringLiteral("1")}})
        env.insert(QString::fromLatin1(key), value);
    process.setProcessEnvironment(env);
    process.start(flam3, {});
    EXPECT_TRUE(process.waitForFinished(120000));
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    return QImage(dir.filePath(QStringLiteral("out.00000.png")));
}

TEST(FlameFormat, Flam3DrawsWhatTheEngineDraws)
{
    const QString flam3 = QStandardPaths::findExecutable(QStringLiteral("flam3-render"));
    if (flam3.isEmpty())
        GTEST_SKIP() << "flam3-render is not installed (scripts/deps installs it)";
    for (const FracPtr &f : {mirroredSheared, spiral}) {
        const QRgb bg = qRgb(qRound(f->bgColor().r * 255), qRound(f->bgColor().g * 255), qRound(f->bgColor().b * 255));
        const QImage theirs = flam3Render(flameText(*f, QStringLiteral("test")), flam3);
        ASSERT_EQ(theirs.size(), QSize(200, 200));
        const QImage ours = hiResBitmapInsideRect(
            {.tables = buildChaosTables(*f), .size = {200, 200}, .iterations = 2000000, .seed = 3});
        const std::vector<bool> flam3Covers = covered(theirs, bg);
        EXPECT_GT(agreement(flam3Covers, covered(ours, bg)), 0.8);
        // Mirrored pictures agree far less: the threshold tells the two apart.
        EXPECT_LT(agreement(flam3Covers, covered(ours.mirrored(false, true), bg)), 0.6);
    }
    // The flame written for no maps, which flam3 could not iterate without
    // its one invisible xform, shows the background alone.
    const QImage none = flam3Render(flameText(*fractalOf({}, red), {}), flam3);
    ASSERT_FALSE(none.isNull());
    const std::vector<bool> lit = covered(none, qRgb(255, 0, 0));
    EXPECT_EQ(std::count(lit.begin(), lit.end(), true), 0);
}

} // namespace
