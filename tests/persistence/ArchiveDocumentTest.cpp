#include "persistence/DocumentReader.h"

#include "model/QvTransform.h"
#include "persistence/DocumentFormat.h"
#include "persistence/TypedStreamWriter.h"

#include <gtest/gtest.h>

using namespace attractor;
using namespace attractor::testing;

namespace {

struct ArchiveCase {
    const char *name;
    std::vector<MapValues> maps;
    int32_t iterations;
    SlotWriter background;
    _rgb_color backgroundRgb;
    std::vector<_rgb_color> mapRgb;
};

std::vector<ArchiveCase> archiveCases()
{
    std::vector<ArchiveCase> cases;
    MapValues example;
    example.sx = 0.5f;
    example.sy = 0.25f;
    example.rotation = 0.5f;
    example.tx = 1.0f;
    example.ty = -1.0f;
    example.colour = rgbColour(1.0f, 0.5f, 0.0f, 1.0f);
    cases.push_back({"one map", {example}, 100000, whiteColour(0.0f, 1.0f), {0, 0, 0, 1}, {{1.0f, 0.5f, 0.0f, 1.0f}}});

    std::vector<MapValues> several(4);
    several[0] = {0.1f, -0.75f, 3.25f, -1.5f, 2.0f, cmykColour(0.25f, 0.5f, 0.75f, 0.125f, 0.5f), 0.0f};
    several[1] = {2.0f, 300.0f, -0.5f, 0.0f, -40000.0f, namedColour("System", "red", rgbColour(1, 0, 0, 1)), 2.5f};
    several[2] = {1e-3f, 1e9f, 0.0f, 0.125f, -0.125f, nilSlot(), -1.0f};
    several[3] = {0.3f, 0.7f, 6.5f, 1.75f, -0.3f, whiteColour(0.2f, 0.9f, 4), 1.0f};
    cases.push_back({"several maps", several, 7, rgbColour(0.1f, 0.2f, 0.3f, 1.0f), {0.1f, 0.2f, 0.3f, 1.0f},
                     {{0.625f, 0.375f, 0.125f, 0.5f}, {1, 0, 0, 1}, {0, 0, 0, 0}, {0.2f, 0.2f, 0.2f, 0.9f}}});

    cases.push_back({"no maps", {}, 0, nilSlot(), {0, 0, 0, 0}, {}});
    return cases;
}

void expectSameAsArchived(const QvFrac &f, const ArchiveCase &c)
{
    ASSERT_EQ(f.transforms()->size(), c.maps.size());
    for (size_t i = 0; i < c.maps.size(); ++i) {
        SCOPED_TRACE(i);
        const QvTransform &t = *f.transforms()->at(i);
        const MapValues &m = c.maps[i];
        // The document text keeps 32-bit precision: compare what was archived.
        EXPECT_EQ(float(t.scale().x()), m.sx);
        EXPECT_EQ(float(t.scale().y()), m.sy);
        EXPECT_EQ(t.rotation(), m.rotation);
        EXPECT_EQ(float(t.translation().x()), m.tx);
        EXPECT_EQ(float(t.translation().y()), m.ty);
        EXPECT_EQ(t.rgb(), c.mapRgb[i]);
        EXPECT_EQ(t.probability(), m.probability);
    }
    EXPECT_EQ(f.iterations(), c.iterations);
    EXPECT_EQ(f.bgColor(), c.backgroundRgb);
}

} // namespace

TEST(ArchiveDocument, ArchivesOpenAndConvertToTheSameDocumentText)
{
    for (const ArchiveCase &c : archiveCases()) {
        for (const bool be : {false, true}) {
            SCOPED_TRACE(std::string(c.name) + (be ? " BE" : " LE"));
            const DocumentReadResult opened = readDocument(fractalArchive(c.maps, c.iterations, c.background, be));
            ASSERT_TRUE(opened.ok()) << opened.error.toStdString();
            expectSameAsArchived(*opened.fractal, c);

            const QString text = jsonRepresentation(*opened.fractal);
            ASSERT_TRUE(text.startsWith(u'{'));
            const DocumentReadResult converted = readDocument(text.toUtf8());
            ASSERT_TRUE(converted.ok()) << converted.error.toStdString();
            expectSameAsArchived(*converted.fractal, c);
        }
    }
}

TEST(ArchiveDocument, TextNotStartingWithABraceGoesToTheArchiveReader)
{
    const QByteArray text = jsonRepresentation(*QvFrac::defaultFractal()).toUtf8();
    ASSERT_TRUE(readDocument(text).ok());
    for (const QByteArray &prefix : {QByteArray(" "), QByteArray("\n"), QByteArray("\t"), QByteArray("/**/")}) {
        SCOPED_TRACE(prefix.toHex().toStdString());
        const DocumentReadResult result = readDocument(prefix + text);
        EXPECT_FALSE(result.ok());
        EXPECT_EQ(result.error, QStringLiteral("not a fractal document: the data is not a typed-stream archive"));
    }
}

TEST(ArchiveDocument, BrokenArchivesAreRefusedThroughTheDocumentReader)
{
    const QByteArray valid = fractalArchive({MapValues{}}, 5, nilSlot());
    const DocumentReadResult truncated = readDocument(valid.left(valid.size() - 1));
    EXPECT_FALSE(truncated.ok());
    EXPECT_EQ(truncated.error, QStringLiteral("not a fractal document: the archive is truncated"));

    const DocumentReadResult wrongRoot = readDocument(archiveOf(stringObject("{'n':1}")));
    EXPECT_FALSE(wrongRoot.ok());
    EXPECT_EQ(wrongRoot.error,
              QStringLiteral("not a fractal document: unexpected class NSString where a fractal was expected"));
}
