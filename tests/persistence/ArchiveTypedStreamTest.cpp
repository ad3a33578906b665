#include "persistence/TypedStream.h"

#include "persistence/TypedStreamWriter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace attractor;
using namespace attractor::testing;

namespace {

const QByteArray headerLE = QByteArray::fromHex("040b73747265616d7479706564" "81e803");
const QByteArray headerBE = QByteArray::fromHex("040b747970656473747265616d" "8103e8");

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

// The one group after the header.
TypedStream::Group decodeGroup(bool bigEndian, const QByteArray &body)
{
    TypedStream stream((bigEndian ? headerBE : headerLE) + body);
    stream.readHeader();
    TypedStream::Group group = stream.readGroup();
    EXPECT_TRUE(stream.atEnd());
    return group;
}

QString decodeError(bool bigEndian, const QByteArray &body)
{
    try {
        TypedStream stream((bigEndian ? headerBE : headerLE) + body);
        stream.readHeader();
        while (!stream.atEnd())
            stream.readGroup();
    } catch (const TypedStream::Error &e) {
        return e.reason;
    }
    return QString();
}

} // namespace

TEST(ArchiveTypedStream, HeaderGivesByteOrderAndSystemVersion)
{
    for (const bool be : {false, true}) {
        TypedStream stream(be ? headerBE : headerLE);
        stream.readHeader();
        EXPECT_EQ(stream.bigEndian(), be);
        EXPECT_EQ(stream.systemVersion(), 1000);
        EXPECT_TRUE(stream.atEnd());
    }
    TypedStream next(hex("040b747970656473747265616d" "7f"));
    next.readHeader();
    EXPECT_EQ(next.systemVersion(), 127);
}

struct NumberRow {
    const char *le;
    const char *be;
    const char *type;
    double value;
};

TEST(ArchiveTypedStream, NumbersInEveryEncodingAndByteOrder)
{
    const NumberRow rows[] = {
        {"01", "01", "i", 1},
        {"ff", "ff", "i", -1},
        {"92", "92", "i", -110},
        {"7f", "7f", "i", 127},
        {"818000", "810080", "i", 128},
        {"8191ff", "81ff91", "i", -111},
        {"82400d0300", "8200030d40", "i", 200000},
        {"82005ed0b2", "82b2d05e00", "I", 3000000000.0},
        {"05", "05", "s", 5},
        {"81feff", "81fffe", "S", 65534},
        // Chars are raw bytes: 84 is -124 here, not a tag.
        {"84", "84", "c", -124},
        {"84", "84", "C", 132},
        // Reals: the integer shortcut, then IEEE bytes.
        {"ff", "ff", "f", -1.0},
        {"812c01", "81012c", "f", 300.0},
        {"82c063ffff", "82ffff63c0", "f", -40000.0},
        {"830000003f", "833f000000", "f", 0.5},
        {"813a03", "81033a", "d", 826.0},
        {"839a9999999999b93f", "833fb999999999999a", "d", 0.1},
    };
    for (const NumberRow &row : rows) {
        for (const bool be : {false, true}) {
            SCOPED_TRACE(std::string(row.type) + " " + (be ? row.be : row.le));
            const TypedStream::Group g = decodeGroup(be, hex("8401") + row.type + hex(be ? row.be : row.le));
            EXPECT_EQ(g.type, QByteArray(row.type));
            ASSERT_EQ(g.values.size(), 1u);
            const bool real = row.type[0] == 'f' || row.type[0] == 'd';
            EXPECT_EQ(g.values[0].kind, real ? TypedStream::Value::Kind::Real : TypedStream::Value::Kind::Integer);
            EXPECT_EQ(real ? g.values[0].real : double(g.values[0].integer), row.value);
        }
    }
    const TypedStream::Group nan = decodeGroup(false, hex("8401" "66" "830000c07f"));
    EXPECT_TRUE(std::isnan(nan.values[0].real));
}

TEST(ArchiveTypedStream, TwoByteReferencesToStringsAndObjects)
{
    for (const bool be : {false, true}) {
        TypedStreamWriter w(be);
        // Selector names fill the string table past the one-byte references.
        for (int i = 0; i < 240; ++i) {
            w.typeString(":");
            w.sharedString("name" + QByteArray::number(i));
        }
        w.typeString(":");
        w.sharedString("name237");
        // Objects past entry 265.
        int number = 0;
        for (int i = 0; i < 300; ++i) {
            w.typeString("@");
            const int n = w.beginObject({"Thing", "NSObject"});
            w.typeString("i");
            w.integer(i);
            w.endObject();
            if (n == 265)
                number = i;
        }
        w.typeString("@");
        w.reference(265);

        TypedStream stream(w.bytes());
        stream.readHeader();
        std::vector<TypedStream::Group> groups;
        while (!stream.atEnd())
            groups.push_back(stream.readGroup());
        ASSERT_EQ(groups.size(), 542u);
        EXPECT_EQ(groups[240].values[0].bytes, QByteArray("name237"));
        const TypedStream::Object *referenced = groups.back().values[0].object;
        ASSERT_NE(referenced, nullptr);
        EXPECT_EQ(referenced, groups[241 + number].values[0].object);
        EXPECT_EQ(referenced->groups[0].values[0].integer, number);
    }
}

struct RefusalRow {
    const char *name;
    QByteArray body;
    const char *reason;
};

TEST(ArchiveTypedStream, MalformedStreamsAreRefusedWithAReason)
{
    QByteArray deepType = "i";
    for (int i = 0; i < 9; ++i)
        deepType = "{a=" + deepType + "}";
    QByteArray deepArray = "i";
    for (int i = 0; i < 9; ++i)
        deepArray = "[1" + deepArray + "]";
    const auto group = [](const QByteArray &type) { return hex("84") + char(type.size()) + type; };
    const std::vector<RefusalRow> rows = {
        {"reserved 80", hex("8401" "69" "80"), "reserved tag 0x80"},
        {"reserved 91", hex("8401" "69" "91"), "reserved tag 0x91"},
        {"real in an integer slot", hex("8401" "69" "830000003f"), "unexpected a real number where an integer"},
        {"new in an integer slot", hex("8401" "69" "84"), "unexpected a new entry where an integer"},
        {"nil in an integer slot", hex("8401" "69" "85"), "unexpected nil where an integer"},
        {"end of object in a value slot", hex("8401" "69" "86"), "the end of an object"},
        {"4-byte short", hex("8401" "73" "8201000000"), "where a short integer"},
        {"tag where a type string is due", hex("86"), "the end of an object where a string"},
        {"nil type string", hex("85"), "nil type string"},
        {"empty type string", hex("8400"), "empty type string"},
        {"new string that is nil", hex("8485"), "unexpected nil where a string length"},
        {"negative string length", hex("84ff"), "negative length"},
        {"string longer than the data", hex("84827fffff7f") + "i", "truncated"},
        {"string reference not yet read", hex("8401" "69" "01" "93"), "string 1, which has not been read"},
        {"unsupported type code q", group("q"), "unsupported type code 'q'"},
        {"unsupported type code (", group("(ab)"), "unsupported type code '('"},
        {"pointer type", group("^i"), "unsupported type code '^'"},
        {"bracket nesting", group(deepType), "nested deeper than 8"},
        {"array nesting", group(deepArray), "nested deeper than 8"},
        {"unterminated struct", group("{ab=ff"), "unterminated struct"},
        {"unmatched bracket", group("i}"), "unmatched '}'"},
        {"array without length", group("[i]"), "without a length"},
        {"array without type", group("[4]"), "without an element type"},
        {"absurd array length", group("[99999999999i]"), "absurd array length"},
        {"array larger than the data", group("[2000000000i]") + hex("01"), "truncated"},
        {"char array larger than the data", group("[2000000000c]") + hex("01"), "truncated"},
        {"object reference not yet read", hex("8401" "40" "7f"), "object 237, which has not been read"},
        {"object without a class", hex("8401" "40" "84" "85"), "object without a class"},
        {"class without a name", hex("8401" "40" "84" "84" "85"), "class without a name"},
        {"class reference not yet read", hex("8401" "40" "84" "7f"), "class 237, which has not been read"},
        {"class reference to an object", hex("8401" "40" "84" "92"), "class reference that names an object"},
        {"object reference to a class",
         hex("8401" "40" "84" "84" "8401" "41" "00" "85" "8401" "40" "93" "86"),
         "object reference that names a class"},
        {"object that contains itself", hex("8401" "40" "84" "84" "8401" "41" "00" "85" "92" "92" "86"),
         "contains itself"},
        {"class its own superclass", hex("8401" "40" "84" "84" "8401" "41" "00" "93"), "its own superclass"},
        {"C string reference to an object", hex("8401" "40" "84" "84" "8401" "41" "00" "85" "8401" "2a" "92" "86"),
         "C-string reference"},
    };
    for (const RefusalRow &row : rows) {
        for (const bool be : {false, true}) {
            SCOPED_TRACE(std::string(row.name) + (be ? " BE" : " LE"));
            const QString reason = decodeError(be, row.body);
            EXPECT_TRUE(reason.contains(QLatin1String(row.reason))) << reason.toStdString();
        }
    }
}

TEST(ArchiveTypedStream, BadHeadersAreRefused)
{
    const std::vector<std::pair<QByteArray, const char *>> rows = {
        {QByteArray(), "truncated"},
        {hex("03"), "not a typed-stream archive"},
        {hex("050b") + "streamtyped" + hex("00"), "not a typed-stream archive"},
        {hex("040c") + "streamtypedx" + hex("00"), "not a typed-stream archive"},
        {hex("0481") + "streamtyped" + hex("00"), "not a typed-stream archive"},
        {hex("040b") + "streamtypeX" + hex("00"), "unknown signature"},
        {hex("040b") + "stream", "truncated"},
        {hex("040b") + "streamtyped", "truncated"},
        {hex("040b") + "streamtyped" + hex("81e8"), "truncated"},
        {hex("040b") + "streamtyped" + hex("85"), "unexpected nil where the system version"},
    };
    for (const auto &[bytes, reason] : rows) {
        SCOPED_TRACE(bytes.toHex().toStdString());
        try {
            TypedStream stream(bytes);
            stream.readHeader();
            ADD_FAILURE() << "accepted";
        } catch (const TypedStream::Error &e) {
            EXPECT_TRUE(e.reason.contains(QLatin1String(reason))) << e.reason.toStdString();
        }
    }
}

TEST(ArchiveTypedStream, NestingAndChainLengthAreBounded)
{
    // Thousands of objects nested one in another.
    TypedStreamWriter nested;
    for (int i = 0; i < 5000; ++i) {
        nested.typeString("@");
        nested.beginObject({"NSArray", "NSObject"});
    }
    EXPECT_TRUE(decodeError(false, nested.bytes().mid(headerLE.size())).contains(QLatin1String("nested deeper than 32")));

    // A long chain of new classes.
    QByteArray chain = hex("8401" "40" "84");
    for (int i = 0; i < 1000; ++i)
        chain += hex("84" "84" "02") + QByteArray::number(i % 90 + 10) + hex("00");
    EXPECT_TRUE(decodeError(false, chain).contains(QLatin1String("class chain longer than 64")));

    // More values than any fractal holds: refused before memory grows with the file.
    const QByteArray many = "[300000i]";
    const QString reason = decodeError(false, hex("84") + char(many.size()) + many + QByteArray(300000, '\0'));
    EXPECT_TRUE(reason.contains(QLatin1String("more values than"))) << reason.toStdString();
}

TEST(ArchiveTypedStream, ManyZeroSizedFieldsDoNotMultiplyWork)
{
    // A long type string of fields that take no bytes, used again and again by
    // one-byte references, must not cost time per field per use.
    const QByteArray type = QByteArray(4000, '!') + "c";
    QByteArray body = hex("84" "82") + QByteArray::fromRawData("\xa1\x0f\x00\x00", 4) + type + "x";
    for (int i = 0; i < 100000; ++i)
        body += hex("92") + "x";
    const QString reason = decodeError(false, body);
    EXPECT_TRUE(reason.isEmpty()) << reason.toStdString();
}
