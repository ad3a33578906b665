#include "persistence/LegacyArchive.h"

#include "model/QvTransform.h"
#include "persistence/TypedStreamWriter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace attractor;
using namespace attractor::testing;

namespace {

// A fractal of one map as NSArchiver wrote it on Intel: scale (0.5, 0.25),
// rotation 0.5, translation (1, -1), colour calibrated RGB (1, 0.5, 0, 1),
// probability 1; 100000 iterations; background calibrated white (0, 1).
const QByteArray workedExampleLE = QByteArray::fromHex(
    "04 0b 73 74 72 65 61 6d 74 79 70 65 64 81 e8 03"
    "84 01 40 84 84 84 06 51 76 46 72 61 63 00 84 84"
    "08 4e 53 4f 62 6a 65 63 74 00 85 92 84 84 84 0e"
    "4e 53 4d 75 74 61 62 6c 65 41 72 72 61 79 00 84"
    "84 07 4e 53 41 72 72 61 79 00 94 84 01 69 01 92"
    "84 84 84 0b 51 76 54 72 61 6e 73 66 6f 72 6d 00"
    "94 84 0d 7b 5f 4e 53 50 6f 69 6e 74 3d 66 66 7d"
    "83 00 00 00 3f 83 00 00 80 3e 84 01 66 83 00 00"
    "00 3f 99 01 ff 92 84 84 84 07 4e 53 43 6f 6c 6f"
    "72 00 94 84 01 63 01 84 04 66 66 66 66 01 83 00"
    "00 00 3f 00 01 86 9a 01 86 86 97 82 a0 86 01 00"
    "92 84 9b 9c 03 84 02 66 66 00 01 86 86");

// The same fractal from a PowerPC: signature, system version, IEEE payloads
// and the 4-byte integer change; references do not.
QByteArray workedExampleBE()
{
    QByteArray be = workedExampleLE;
    be.replace(2, 11, "typedstream");
    be.replace(13, 3, QByteArray::fromHex("8103e8"));
    be.replace(QByteArray::fromHex("830000003f"), QByteArray::fromHex("833f000000"));
    be.replace(QByteArray::fromHex("830000803e"), QByteArray::fromHex("833e800000"));
    be.replace(QByteArray::fromHex("82a0860100"), QByteArray::fromHex("82000186a0"));
    return be;
}

QByteArray workedExampleWritten(bool bigEndian)
{
    MapValues map;
    map.sx = 0.5f;
    map.sy = 0.25f;
    map.rotation = 0.5f;
    map.tx = 1.0f;
    map.ty = -1.0f;
    map.colour = rgbColour(1.0f, 0.5f, 0.0f, 1.0f);
    return fractalArchive({map}, 100000, whiteColour(0.0f, 1.0f), bigEndian);
}

FracPtr readOk(const QByteArray &bytes)
{
    const DocumentReadResult result = readLegacyArchive(bytes);
    EXPECT_TRUE(result.ok()) << result.error.toStdString();
    EXPECT_TRUE(result.error.isEmpty());
    return result.fractal;
}

QString readError(const QByteArray &bytes)
{
    const DocumentReadResult result = readLegacyArchive(bytes);
    EXPECT_FALSE(result.ok());
    EXPECT_TRUE(result.error.startsWith(QLatin1String("not a fractal document: "))) << result.error.toStdString();
    return result.error;
}

const TransformPtr &mapAt(const FracPtr &f, size_t i)
{
    return f->transforms()->at(i);
}

} // namespace

TEST(ArchiveReader, WorkedExampleIsWhatTheWriterProduces)
{
    ASSERT_EQ(workedExampleLE.size(), 189);
    EXPECT_EQ(workedExampleWritten(false).toHex(' '), workedExampleLE.toHex(' '));
    EXPECT_EQ(workedExampleWritten(true).toHex(' '), workedExampleBE().toHex(' '));
}

TEST(ArchiveReader, WorkedExampleReadsInBothByteOrders)
{
    for (const QByteArray &bytes : {workedExampleLE, workedExampleBE()}) {
        const FracPtr f = readOk(bytes);
        ASSERT_TRUE(f);
        ASSERT_EQ(f->transforms()->size(), 1u);
        const QvTransform &t = *mapAt(f, 0);
        EXPECT_EQ(t.scale().x(), 0.5);
        EXPECT_EQ(t.scale().y(), 0.25);
        EXPECT_EQ(t.rotation(), 0.5f);
        EXPECT_EQ(t.translation().x(), 1.0);
        EXPECT_EQ(t.translation().y(), -1.0);
        EXPECT_EQ(t.rgb(), (_rgb_color{1.0f, 0.5f, 0.0f, 1.0f}));
        EXPECT_EQ(t.probability(), 1.0f);
        EXPECT_EQ(f->iterations(), 100000);
        EXPECT_EQ(f->bgColor(), (_rgb_color{0.0f, 0.0f, 0.0f, 1.0f}));
    }
}

struct ColourRow {
    const char *name;
    SlotWriter colour;
    _rgb_color expected;
};

TEST(ArchiveReader, EveryKindOfColourBecomesCalibratedRgb)
{
    // A pattern colour whose contents we cannot interpret: an image object
    // and numbers, all skipped up to its end.
    const SlotWriter pattern = [](TypedStreamWriter &w) {
        w.beginObject(colourChain);
        w.typeString("c");
        w.byte(10);
        w.typeString("@");
        w.beginObject({"NSImage", "NSObject"});
        w.typeString("[4c][2s]i");
        w.byte(1), w.byte(2), w.byte(3), w.byte(4);
        w.integer(5), w.integer(-300);
        w.integer(1000);
        w.endObject();
        w.typeString("{_NSSize=ff}");
        w.real(8), w.real(8);
        w.endObject();
    };
    const std::vector<ColourRow> rows = {
        {"calibrated RGB", rgbColour(0.25f, 0.5f, 0.75f, 0.125f, 1), {0.25f, 0.5f, 0.75f, 0.125f}},
        {"device RGB", rgbColour(1.0f, 0.0f, 0.5f, 1.0f, 2), {1.0f, 0.0f, 0.5f, 1.0f}},
        {"calibrated white", whiteColour(0.25f, 0.5f, 3), {0.25f, 0.25f, 0.25f, 0.5f}},
        {"device white", whiteColour(1.0f, 1.0f, 4), {1.0f, 1.0f, 1.0f, 1.0f}},
        {"CMYK", cmykColour(0.25f, 0.5f, 0.75f, 0.125f, 0.5f), {0.625f, 0.375f, 0.125f, 0.5f}},
        {"CMYK darker than its black", cmykColour(0.75f, 0.0f, 0.5f, 0.5f, 1.0f), {0.0f, 0.5f, 0.0f, 1.0f}},
        {"named with its colour", namedColour("System", "red", rgbColour(1.0f, 0.0f, 0.0f, 1.0f)),
         {1.0f, 0.0f, 0.0f, 1.0f}},
        {"named with a white", namedColour("Apple", "grey", whiteColour(0.5f, 1.0f)), {0.5f, 0.5f, 0.5f, 1.0f}},
        {"named inside named",
         namedColour("A", "outer", namedColour("B", "inner", cmykColour(0, 0, 0, 0.25f, 1))),
         {0.75f, 0.75f, 0.75f, 1.0f}},
        {"named without its colour", namedColour("System", "controlColor", nilSlot()), {0, 0, 0, 0}},
        {"nil", nilSlot(), {0, 0, 0, 0}},
        {"pattern (unknown kind) with its own groups", colourSlot(10, "ff", {3, 4}), {0, 0, 0, 0}},
        {"unknown kind without groups", colourSlot(7, QByteArray(), {}), {0, 0, 0, 0}},
        {"pattern holding an image", pattern, {0, 0, 0, 0}},
    };
    for (const ColourRow &row : rows) {
        for (const bool be : {false, true}) {
            SCOPED_TRACE(std::string(row.name) + (be ? " BE" : " LE"));
            MapValues map;
            map.colour = row.colour;
            const FracPtr f = readOk(fractalArchive({map, MapValues{}}, 10, row.colour, be));
            ASSERT_TRUE(f);
            EXPECT_EQ(mapAt(f, 0)->rgb(), row.expected);
            EXPECT_EQ(mapAt(f, 1)->rgb(), (_rgb_color{0, 0, 0, 1}));
            EXPECT_EQ(f->bgColor(), row.expected);
        }
    }
}

TEST(ArchiveReader, AcceptedVariations)
{
    // Immutable array, an empty one, a map written twice, bytes after the root.
    MapValues map;
    map.tx = 0.75f;
    const FracPtr immutable =
        readOk(archiveOf(fractalSlot(arraySlot({mapSlot(map)}, "NSArray"), 3, nilSlot())));
    ASSERT_TRUE(immutable);
    EXPECT_EQ(mapAt(immutable, 0)->translation().x(), 0.75);

    const FracPtr empty = readOk(fractalArchive({}, 0, nilSlot()));
    ASSERT_TRUE(empty);
    EXPECT_TRUE(empty->transforms()->empty());

    const SlotWriter twice = [&](TypedStreamWriter &w) {
        w.beginObject({"NSMutableArray", "NSArray", "NSObject"});
        w.typeString("i");
        w.integer(2);
        w.typeString("@");
        const int n = [&] { TypedStreamWriter probe = w; return probe.beginObject({}); }();
        mapSlot(map)(w);
        w.typeString("@");
        w.reference(n);
        w.endObject();
    };
    const FracPtr repeated = readOk(archiveOf(fractalSlot(twice, 3, nilSlot())));
    ASSERT_TRUE(repeated);
    ASSERT_EQ(repeated->transforms()->size(), 2u);
    EXPECT_EQ(mapAt(repeated, 1)->translation().x(), 0.75);
    // Two list entries, two maps: editing one must not move the other.
    EXPECT_NE(mapAt(repeated, 0), mapAt(repeated, 1));

    const FracPtr tail = readOk(workedExampleLE + QByteArray("garbage after the root"));
    ASSERT_TRUE(tail);
    EXPECT_EQ(tail->iterations(), 100000);

    // Special float values pass through unchanged.
    MapValues odd;
    odd.probability = std::numeric_limits<float>::quiet_NaN();
    odd.rotation = std::numeric_limits<float>::infinity();
    const FracPtr special = readOk(fractalArchive({odd}, 1, nilSlot()));
    ASSERT_TRUE(special);
    EXPECT_TRUE(std::isnan(mapAt(special, 0)->probability()));
    EXPECT_EQ(mapAt(special, 0)->rotation(), std::numeric_limits<float>::infinity());
}

namespace {

// A map whose groups are written by hand.
SlotWriter customMap(const std::function<void(TypedStreamWriter &)> &groups, const QByteArray &cls = "QvTransform")
{
    return [=](TypedStreamWriter &w) {
        w.beginObject({cls, "NSObject"});
        groups(w);
        w.endObject();
    };
}

void standardGroups(TypedStreamWriter &w, int count)
{
    const std::function<void()> parts[] = {
        [&] { writePoint(w, 1, 1); },
        [&] { w.typeString("f"); w.real(0); },
        [&] { writePoint(w, 0, 0); },
        [&] { w.typeString("@"); w.nil(); },
        [&] { w.typeString("f"); w.real(1); },
        [&] { w.typeString("f"); w.real(1); },
    };
    for (int i = 0; i < count; ++i)
        parts[i]();
}

QByteArray withMaps(std::vector<SlotWriter> elements)
{
    return archiveOf(fractalSlot(arraySlot(elements), 1, nilSlot()));
}

SlotWriter rawCountArray(const QByteArray &countBytes, int elements)
{
    return [=](TypedStreamWriter &w) {
        w.beginObject({"NSMutableArray", "NSArray", "NSObject"});
        w.typeString("i");
        for (char c : countBytes)
            w.byte(static_cast<uint8_t>(c));
        for (int i = 0; i < elements; ++i) {
            w.typeString("@");
            mapSlot({})(w);
        }
        w.endObject();
    };
}

struct ContractRow {
    const char *name;
    QByteArray bytes;
    const char *reason;
};

} // namespace

TEST(ArchiveReader, ContractViolationsAreRefusedWithAReason)
{
    const SlotWriter aString = stringObject("hello");
    const std::vector<ContractRow> rows = {
        {"empty file", QByteArray(), "the file is empty"},
        {"text file", QByteArray(" {\"maps\": []}"), "not a typed-stream archive"},
        {"header only", workedExampleLE.left(16), "holds no object"},
        {"root is a string", archiveOf(aString), "unexpected class NSString where a fractal was expected"},
        {"root is nil", archiveOf(nilSlot()), "a fractal is missing"},
        {"root group is an integer", [] { TypedStreamWriter w; w.typeString("i"); w.integer(1); return w.bytes(); }(),
         "does not begin with an object"},
        {"root group holds two objects",
         [] { TypedStreamWriter w; w.typeString("@@"); w.nil(); w.nil(); return w.bytes(); }(),
         "does not begin with an object"},
        {"list of maps is a string", archiveOf(fractalSlot(aString, 1, nilSlot())),
         "unexpected class NSString where a list of maps was expected"},
        {"list of maps is nil", archiveOf(fractalSlot(nilSlot(), 1, nilSlot())), "a list of maps is missing"},
        {"map is a string", withMaps({aString}), "unexpected class NSString where a map was expected"},
        {"map is a colour", withMaps({rgbColour(1, 1, 1, 1)}), "unexpected class NSColor where a map was expected"},
        {"map is nil", withMaps({nilSlot()}), "a map is missing"},
        {"colour is a string", fractalArchive({}, 1, aString), "unexpected class NSString where a colour was expected"},
        {"colour without kind", fractalArchive({}, 1, colourSlot(1, QByteArray(), {})) , "colour ends before all its values"},
        {"colour of wrong group type", fractalArchive({}, 1, colourSlot(1, "fff", {1, 1, 1})),
         "unexpected type \"fff\" in a colour where \"ffff\" was expected"},
        {"colour with an extra group",
         fractalArchive({}, 1, [](TypedStreamWriter &w) {
             w.beginObject(colourChain);
             w.typeString("c"); w.byte(3);
             w.typeString("ff"); w.real(1); w.real(1);
             w.typeString("i"); w.integer(0);
             w.endObject();
         }),
         "colour holds more values than expected"},
        {"named colour whose name is a number",
         fractalArchive({}, 1, [](TypedStreamWriter &w) {
             w.beginObject(colourChain);
             w.typeString("c"); w.byte(6);
             w.typeString("@@@");
             stringObject("A")(w);
             stringObject("x", "NSNumber")(w);
             w.nil();
             w.endObject();
         }),
         "unexpected class NSNumber where a colour name was expected"},
        {"point as doubles", withMaps({customMap([](TypedStreamWriter &w) {
             w.typeString("{CGPoint=dd}"); w.real(1); w.real(1);
             standardGroups(w, 0);
         })}),
         "unexpected type \"{CGPoint=dd}\" in a map where \"{_NSPoint=ff}\" was expected"},
        {"rotation as a double", withMaps({customMap([](TypedStreamWriter &w) {
             standardGroups(w, 1);
             w.typeString("d"); w.real(0.5);
         })}),
         "unexpected type \"d\" in a map where \"f\" was expected"},
        {"map missing its probability", withMaps({customMap([](TypedStreamWriter &w) { standardGroups(w, 4); })}),
         "a map ends before all its values"},
        {"map with an extra group", withMaps({customMap([](TypedStreamWriter &w) { standardGroups(w, 6); })}),
         "a map holds more values than expected"},
        {"map of a subclass name", withMaps({customMap([](TypedStreamWriter &w) { standardGroups(w, 5); }, "QvTransform2")}),
         "unexpected class QvTransform2 where a map was expected"},
        {"count larger than the maps", archiveOf(fractalSlot(rawCountArray(QByteArray(1, 2), 1), 1, nilSlot())),
         "says it holds 2 maps but holds 1"},
        {"count smaller than the maps", archiveOf(fractalSlot(rawCountArray(QByteArray(1, 0), 1), 1, nilSlot())),
         "says it holds 0 maps but holds 1"},
        {"negative count", archiveOf(fractalSlot(rawCountArray(QByteArray(1, '\xff'), 0), 1, nilSlot())),
         "negative count"},
        {"count of 2^31-1",
         archiveOf(fractalSlot(rawCountArray(QByteArray::fromHex("82ffffff7f"), 1), 1, nilSlot())),
         "says it holds 2147483647 maps but holds 1"},
        {"fractal with an extra group",
         archiveOf([](TypedStreamWriter &w) {
             w.beginObject({"QvFrac", "NSObject"});
             w.typeString("@"); arraySlot({})(w);
             w.typeString("i"); w.integer(1);
             w.typeString("@"); w.nil();
             w.typeString("@"); w.nil();
             w.endObject();
         }),
         "a fractal holds more values than expected"},
        {"iterations as a float",
         archiveOf([](TypedStreamWriter &w) {
             w.beginObject({"QvFrac", "NSObject"});
             w.typeString("@"); arraySlot({})(w);
             w.typeString("f"); w.real(1);
             w.typeString("@"); w.nil();
             w.endObject();
         }),
         "unexpected type \"f\" in a fractal where \"i\" was expected"},
        {"list element of another type",
         archiveOf(fractalSlot([](TypedStreamWriter &w) {
             w.beginObject({"NSArray", "NSObject"});
             w.typeString("i"); w.integer(1);
             w.typeString("i"); w.integer(1);
             w.endObject();
         }, 1, nilSlot())),
         "unexpected type \"i\" in the list of maps"},
        {"name with control characters", archiveOf(stringObject("x", "Bad\nName\x01")),
         "unexpected class Bad?Name? where a fractal was expected"},
    };
    for (const ContractRow &row : rows) {
        SCOPED_TRACE(row.name);
        const QString error = readError(row.bytes);
        EXPECT_TRUE(error.contains(QLatin1String(row.reason))) << error.toStdString();
    }
}

TEST(ArchiveReader, EveryTruncationIsRefused)
{
    std::vector<MapValues> maps(3);
    maps[0].colour = namedColour("System", "red", cmykColour(0.1f, 0.2f, 0.3f, 0.4f, 0.5f));
    maps[1].sx = 0.1f;
    maps[2].colour = nilSlot();
    for (const QByteArray &valid :
         {workedExampleLE, workedExampleBE(), fractalArchive(maps, 123456, whiteColour(0.3f, 1), true)}) {
        ASSERT_TRUE(readLegacyArchive(valid).ok());
        for (qsizetype n = 0; n < valid.size(); ++n) {
            SCOPED_TRACE(n);
            const QString error = readError(valid.left(n));
            const char *expected = n == 0 ? "the file is empty" : n == 16 ? "the archive holds no object" : "the archive is truncated";
            EXPECT_EQ(error.toStdString(), std::string("not a fractal document: ") + expected);
        }
    }
}
