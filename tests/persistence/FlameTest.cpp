#include "persistence/FlameFormat.h"

#include "model/QvTransform.h"
#include "support/Pictures.h"

#include <QColor>
#include <QCoreApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

#include <map>

using namespace attractor;
using namespace attractor::test;

namespace {

TransformPtr map(const _t_matrix &m, _rgb_color colour)
{
    auto t = std::make_shared<QvTransform>(QvTransform::fromMatrix(m));
    t->setRgb(colour), t->setProbability(1);
    return t;
}

FracPtr fractalOf(std::initializer_list<TransformPtr> maps, _rgb_color bg)
{
    return std::make_shared<QvFrac>(std::make_shared<TransformList>(maps), 200000, bg);
}

// Each element's attributes by element name, in order.
std::map<QString, std::vector<QXmlStreamAttributes>> elements(const QByteArray &text)
{
    std::map<QString, std::vector<QXmlStreamAttributes>> found;
    QXmlStreamReader xml(text);
    while (!xml.atEnd())
        if (xml.readNext() == QXmlStreamReader::StartElement)
            found[xml.name().toString()].push_back(xml.attributes());
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    return found;
}

// An attribute's numbers as the floats they were written from.
std::vector<float> numbers(const QXmlStreamAttributes &attributes, const char *key)
{
    std::vector<float> values;
    for (const QStringView word : attributes.value(QLatin1String(key)).split(u' '))
        values.push_back(word.toFloat());
    return values;
}

const _rgb_color red{1, 0, 0, 1}, green{0, 1, 0, 1}, blue{0, 0.5f, 1, 1};

TEST(FlameFormat, WritesEachMapAsAnXformColouredFromThePalette)
{
    // Areas 0.5, 0.25 and 0.25: the engine draws the first map half the time.
    const FracPtr f = fractalOf({map({1, 0, 0, 0.5f, 0, 0}, red), map({0.5f, 0, 0, 0.5f, 1, 0}, {2, -1, 0.25f, 1}),
                                 map({-0.25f, 0.5f, -1, 1, 0.5f, -0.75f}, blue)},
                                {0.25f, 1.5f, 0.5f, 1});
    auto e = elements(flameText(*f, QStringLiteral("<A & \"B\"\x01>")));
    const QXmlStreamAttributes &head = e[QStringLiteral("flame")].at(0);
    EXPECT_EQ(head.value(QLatin1String("name")), u"<A & \"B\">");
    EXPECT_EQ(numbers(head, "background"), (std::vector<float>{0.25f, 1, 0.5f}));
    EXPECT_EQ(numbers(head, "size"), (std::vector<float>{1000, 1000}));
    EXPECT_EQ(numbers(head, "scale"), std::vector<float>{250});
    const auto &palette = e[QStringLiteral("color")], &xforms = e[QStringLiteral("xform")];
    ASSERT_EQ(palette.size(), 256u);
    ASSERT_EQ(xforms.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(numbers(xforms[i], "weight"), std::vector<float>{i ? 0.25f : 0.5f});
        // By columns, seen with y down, every float exact.
        const _t_matrix m = f->transforms()->at(i)->transformMatrix();
        EXPECT_EQ(numbers(xforms[i], "coefs"), (std::vector<float>{m.a, -m.c, -m.b, m.d, m.tx, -m.ty}));
        // flam3 paints in palette slot floor(256 * color).
        const size_t slot = static_cast<size_t>(numbers(xforms[i], "color")[0] * 256);
        const _rgb_color c = f->transforms()->at(i)->rgb();
        EXPECT_EQ(numbers(palette.at(slot), "index"), std::vector<float>{float(slot)});
        EXPECT_EQ(numbers(palette.at(slot), "rgb"),
                  (std::vector<float>{clampedUnit(c.r) * 255, clampedUnit(c.g) * 255, clampedUnit(c.b) * 255}));
    }
}

// flam3-render's picture of the flame at a fifth of its size, 200 x 200.
QImage flam3Render(const QString &flam3, const QByteArray &flame)
{
    static int argc = 1;
    static char name[] = "test_flame", *argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *setting : {"prefix=out.", "format=png", "ss=0.2", "isaac_seed=attractor", "nthreads=1"})
        env.insert(QString::fromLatin1(setting).section(u'=', 0, 0), QString::fromLatin1(setting).section(u'=', 1));
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(dir.path());
    process.start(flam3, {});
    process.write(flame), process.closeWriteChannel();
    EXPECT_TRUE(process.waitForFinished(120000));
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    return QImage(dir.filePath(QStringLiteral("out.00000.png")));
}

TEST(FlameFormat, Flam3DrawsWhatTheEngineDraws)
{
    const QString flam3 = QStandardPaths::findExecutable(QStringLiteral("flam3-render"));
    if (flam3.isEmpty())
        GTEST_SKIP() << "flam3-render is not installed (scripts/deps installs it)";
    // An L of a mirrored, a sheared and a turned map; a spiral; no maps, which
    // flam3 cannot iterate without an invisible xform.
    const FracPtr lShape = fractalOf({map({-0.5f, 0, 0, 0.5f, -1, 1}, red), map({0.5f, 0.3f, 0, 0.5f, 1, 1}, green),
                                      map({0.4f, -0.2f, 0.2f, 0.4f, 0, -1.2f}, blue)},
                                     {0.1f, 0.1f, 0.2f, 1});
    const FracPtr spiral = fractalOf({std::make_shared<QvTransform>(QPointF(0.8, 0.8), 0.5f, QPointF(0.4, 0.3), red),
                                      std::make_shared<QvTransform>(QPointF(0.3, 0.25), -1.0f, QPointF(1.1, -0.6), blue)},
                                     {1, 1, 1, 1});
    for (const FracPtr &f : {lShape, spiral, fractalOf({}, red)}) {
        const QImage theirs = flam3Render(flam3, flameText(*f, QStringLiteral("test")));
        ASSERT_EQ(theirs.size(), QSize(200, 200));
        const QImage ours = enginePicture(*f, 200, 2000000, 3);
        const QRgb bg = QColor::fromRgbF(f->bgColor().r, f->bgColor().g, f->bgColor().b).rgb();
        const std::vector<bool> flam3Covers = covered(theirs, bg);
        EXPECT_GT(agreement(flam3Covers, covered(ours, bg)), 0.95);
        // Upside down the engine's picture agrees far less.
        if (!f->transforms()->empty()) {
            EXPECT_LT(agreement(flam3Covers, covered(ours.mirrored(false, true), bg)), 0.6);
        }
    }
}

} // namespace
