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
    cases.push_back({"several maps", several, -7, rgbColour(2.0f, -1.0f, 0.5f, 1.0f), {2.0f, -1.0f, 0.5f, 1.0f},
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
        // Archived 32-bit points widen exactly, and the document text keeps them exact.
        EXPECT_EQ(t.scale().x(), double(m.sx));
        EXPECT_EQ(t.scale().y(), double(m.sy));
        EXPECT_EQ(t.translation().x(), double(m.tx));
        EXPECT_EQ(t.translation().y(), double(m.ty));
        EXPECT_EQ(t.rotation(), m.rotation);
        EXPECT_EQ(t.rgb(), c.mapRgb[i]);
        EXPECT_EQ(t.probability(), m.probability);
    }
    if (!c.maps.empty() && c.maps[0].sx == 0.1f) {
        EXPECT_EQ(f.transforms()->at(0)->scale().x(), 0.100000001490116119384765625);
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
