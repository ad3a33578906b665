#include "persistence/LegacyArchive.h"

#include "model/QvTransform.h"
#include "persistence/TypedStream.h"
#include "persistence/TypedStreamWriter.h"

#include <gtest/gtest.h>

using namespace attractor;
using namespace attractor::testing;

namespace {

// One map as NSArchiver wrote it on Intel: scale (0.5, 0.25), rotation 0.5,
// translation (1, -1), colour calibrated RGB (1, 0.5, 0, 1), probability 1;
// 100000 iterations; background calibrated white (0, 1).
const QByteArray workedExampleLE = QByteArray::fromHex(
    "040b73747265616d747970656481e80384014084848406517646726163008484084e534f626a6563740085928484840e"
    "4e534d757461626c654172726179008484074e534172726179009484016901928484840b51765472616e73666f726d00"
    "94840d7b5f4e53506f696e743d66667d830000003f830000803e840166830000003f9901ff92848484074e53436f6c6f"
    "7200948401630184046666666601830000003f0001869a0186869782a086010092849b9c038402666600018686");

// The same from a PowerPC: signature, system version, IEEE payloads and the
// 4-byte integer change; references do not.
QByteArray workedExampleBE()
{
    QByteArray be = workedExampleLE;
    be.replace(2, 14, QByteArray("typedstream") + QByteArray::fromHex("8103e8"));
    be.replace(QByteArray::fromHex("830000003f"), QByteArray::fromHex("833f000000"));
    be.replace(QByteArray::fromHex("830000803e"), QByteArray::fromHex("833e800000"));
    return be.replace(QByteArray::fromHex("82a0860100"), QByteArray::fromHex("82000186a0"));
}

QByteArray hex(const char *text) { return QByteArray::fromHex(text); }
// An archive whose root group is `body`, bytes written by hand.
QByteArray afterHeader(const QByteArray &body) { return TypedStreamWriter().bytes() + body; }
QByteArray group(const QByteArray &type) { return hex("84") + char(type.size()) + type; }

FracPtr readOk(const QByteArray &bytes)
{
    const DocumentReadResult result = readLegacyArchive(bytes);
    EXPECT_TRUE(result.ok() && result.error.isEmpty()) << result.error.toStdString();
    return result.fractal;
}

} // namespace

TEST(Archive, WorkedExampleIsWhatTheWriterProducesAndReadsInBothByteOrders)
{
    MapValues map{0.5f, 0.25f, 0.5f, 1.0f, -1.0f, rgbColour(1.0f, 0.5f, 0.0f, 1.0f)};
    ASSERT_EQ(workedExampleLE.size(), 189);
    EXPECT_EQ(fractalArchive({map}, 100000, whiteColour(0, 1)).toHex(' '), workedExampleLE.toHex(' '));
    EXPECT_EQ(fractalArchive({map}, 100000, whiteColour(0, 1), true).toHex(' '), workedExampleBE().toHex(' '));
    // Bytes after the root object are ignored.
    for (const QByteArray &bytes : {workedExampleLE, workedExampleBE(), workedExampleLE + "garbage after the root"}) {
        const FracPtr f = readOk(bytes);
        ASSERT_TRUE(f && f->transforms()->size() == 1u);
        const QvTransform &t = *f->transforms()->front();
        EXPECT_TRUE(t.scale() == QPointF(0.5, 0.25) && t.rotation() == 0.5f && t.translation() == QPointF(1, -1));
        EXPECT_TRUE(t.rgb() == (_rgb_color{1.0f, 0.5f, 0.0f, 1.0f}) && t.probability() == 1.0f);
        EXPECT_TRUE(f->iterations() == 100000 && f->bgColor() == (_rgb_color{0.0f, 0.0f, 0.0f, 1.0f}));
    }
}

TEST(Archive, EveryKindOfColourBecomesCalibratedRgb)
{
    const std::vector<std::pair<SlotWriter, _rgb_color>> rows = {
        {rgbColour(0.25f, 0.5f, 0.75f, 0.125f, 1), {0.25f, 0.5f, 0.75f, 0.125f}},
        {rgbColour(1.0f, 0.0f, 0.5f, 1.0f, 2), {1.0f, 0.0f, 0.5f, 1.0f}},
        {whiteColour(0.25f, 0.5f, 3), {0.25f, 0.25f, 0.25f, 0.5f}},
        {whiteColour(1.0f, 1.0f, 4), {1.0f, 1.0f, 1.0f, 1.0f}},
        {colourSlot(5, "fffff", {0.25f, 0.5f, 0.75f, 0.125f, 0.5f}), {0.625f, 0.375f, 0.125f, 0.5f}},
        {colourSlot(5, "fffff", {0.75f, 0.0f, 0.5f, 0.5f, 1.0f}), {0.0f, 0.5f, 0.0f, 1.0f}},
        {namedColour("red", rgbColour(1.0f, 0.0f, 0.0f, 1.0f)), {1.0f, 0.0f, 0.0f, 1.0f}},
        {namedColour("outer", namedColour("inner", whiteColour(0.75f, 1))), {0.75f, 0.75f, 0.75f, 1.0f}},
        {namedColour("controlColor", nilSlot()), {0, 0, 0, 0}},
        {nilSlot(), {0, 0, 0, 0}},
        // A pattern: no colour of its own. The kind is a raw byte, not a tag.
        {colourSlot(0x84, "ff", {3.0f, 4.0f}), {0, 0, 0, 0}},
    };
    for (size_t i = 0; i < rows.size(); ++i) {
        for (const bool be : {false, true}) {
            SCOPED_TRACE(::testing::Message() << "row " << i << (be ? " BE" : " LE"));
            // Two-byte numbers as well: a float's integer shortcut and the count.
            MapValues map, plain;
            map.colour = rows[i].first;
            plain.sx = 300;
            const FracPtr f = readOk(fractalArchive({map, plain}, -111, rows[i].first, be));
            ASSERT_TRUE(f);
            EXPECT_TRUE(f->transforms()->at(0)->rgb() == rows[i].second && f->bgColor() == rows[i].second);
            EXPECT_EQ(f->transforms()->at(1)->rgb(), (_rgb_color{0, 0, 0, 1}));
            EXPECT_TRUE(f->transforms()->at(1)->scale().x() == 300 && f->iterations() == -111);
        }
    }
}

TEST(Archive, AMapWrittenTwiceIsTwoMaps)
{
    MapValues map;
    map.tx = 0.75f;
    // A map written twice is two list entries: editing one must not move the other.
    auto n = std::make_shared<int>();
    const SlotWriter first = [=](TypedStreamWriter &w) {
        *n = TypedStreamWriter(w).beginObject({});
        mapSlot(map)(w);
    };
    const SlotWriter again = [=](TypedStreamWriter &w) { w.reference(*n); };
    const FracPtr repeated = readOk(archiveOf(fractalSlot(arraySlot({first, again}), 3, nilSlot())));
    ASSERT_TRUE(repeated && repeated->transforms()->size() == 2u);
    EXPECT_EQ(repeated->transforms()->at(1)->translation().x(), 0.75);
    EXPECT_NE(repeated->transforms()->at(0), repeated->transforms()->at(1));
}

TEST(Archive, MalformedArchivesAreRefusedWithAReason)
{
    const QByteArray deepType = QByteArray("{a=").repeated(9) + "i" + QByteArray("}").repeated(9);
    const std::vector<std::pair<QByteArray, const char *>> rows = {
        {hex("03"), "not a typed-stream archive"}, {hex("040b") + "streamtypeX" + hex("00"), "unknown signature"},
        {afterHeader(hex("8401" "69" "80")), "reserved tag 0x80"}, {afterHeader(hex("85")), "nil type string"},
        {afterHeader(hex("8401" "69" "830000003f")), "unexpected a real number where an integer"},
        {afterHeader(hex("8401" "73" "8201000000")), "where a short integer"},
        {afterHeader(hex("84ff")), "negative length"}, {afterHeader(hex("93")), "string 1, which has not been read"},
        {afterHeader(group("q")), "unsupported type code 'q'"}, {afterHeader(group(deepType)), "nested deeper than 8"},
        {afterHeader(group("{ab=ff")), "unterminated struct"}, {afterHeader(group("i}")), "unmatched '}'"},
        {afterHeader(group("[i]")), "without a length"}, {afterHeader(group("[99999999999i]")), "absurd array length"},
        {afterHeader(group("[2000000000i]") + hex("01")), "truncated"},
        {afterHeader(hex("8401" "40" "7f")), "object 237, which has not been read"},
        {afterHeader(hex("8401" "40" "84" "85")), "object without a class"},
        {afterHeader(hex("8401" "40" "84" "84" "85")), "class without a name"},
        {afterHeader(hex("8401" "40" "84" "92")), "class reference that names an object"},
        {afterHeader(hex("8401" "40" "84" "84" "8401" "41" "00" "85" "8401" "40" "93" "86")),
         "object reference that names a class"},
        {afterHeader(hex("8401" "40" "84" "84" "8401" "41" "00" "85" "8401" "2a" "92" "86")), "C-string reference"},
        {QByteArray(), "the file is empty"}, {workedExampleLE.left(16), "holds no object"},
        {afterHeader(hex("8401" "69" "01")), "does not begin with an object"},
        {archiveOf(stringObject("hello")), "unexpected class NSString where a fractal was expected"},
        {archiveOf(stringObject("x", "Bad\nName\x01")), "unexpected class Bad?Name? where a fractal was expected"},
        {archiveOf(fractalSlot(nilSlot(), 1, nilSlot())), "a list of maps is missing"},
        {archiveOf(fractalSlot(arraySlot({mapSlot({})}, 2), 1, nilSlot())), "says it holds 2 maps but holds 1"},
        {archiveOf(fractalSlot(arraySlot({}, -1), 1, nilSlot())), "negative count"},
        {archiveOf(fractalSlot(objectSlot({"NSArray", "NSObject"}, {{"i", {1.0f}}, {"i", {1.0f}}}), 1, nilSlot())),
         "unexpected type \"i\" in the list of maps"},
        {fractalArchive({}, 1, colourSlot(1, QByteArray(), {})), "a colour ends before all its values"},
        {fractalArchive({}, 1, colourSlot(1, "fff", {1.0f, 1.0f, 1.0f})),
         "unexpected type \"fff\" in a colour where \"ffff\" was expected"},
        {fractalArchive({}, 1, objectSlot({"NSColor", "NSObject"}, {{"c", {3.0f}}, {"ff", {1.0f, 1.0f}},
                                                                 {"i", {0.0f}}})),
         "a colour holds more values than expected"},
        {fractalArchive({}, 1, namedColour("x", nilSlot(), "NSNumber")),
         "unexpected class NSNumber where a colour name was expected"},
    };
    for (const auto &[bytes, reason] : rows) {
        SCOPED_TRACE(reason);
        const DocumentReadResult result = readLegacyArchive(bytes);
        EXPECT_FALSE(result.ok());
        EXPECT_TRUE(result.error.startsWith(QLatin1String("not a fractal document: ")));
        EXPECT_TRUE(result.error.contains(QLatin1String(reason))) << result.error.toStdString();
    }
}
