#include "persistence/WdJsonParser.h"

#include "support/LogCapture.h"

#include <gtest/gtest.h>

#include <cfloat>

using namespace attractor;

namespace {

JsonValue i(int32_t v) { return JsonValue::integer(v); }
JsonValue f(float v) { return JsonValue::floating(v); }
JsonValue s(const QString &v) { return JsonValue::string(v); }

TEST(WdJsonParser, AcceptedTextYieldsItsTreeWithoutLogging)
{
    const std::pair<const char16_t *, JsonValue> rows[] = {
        {u"{'a':1,}", JsonValue::table({{QStringLiteral("a"), i(1)}})},
        {u"{\"a\" : {}}", JsonValue::table({{QStringLiteral("a"), JsonValue::table()}})},
        {u"[true, false, null]", JsonValue::array({JsonValue::boolean(true), JsonValue::boolean(false), JsonValue()})},
        {u"[1 /* one */, // two\n-2.5, +3]", JsonValue::array({i(1), f(-2.5f), i(3)})},
        {u" \t\n\v\f\r7", i(7)}, {u"{} trailing words", JsonValue::table()}, {u"truex", JsonValue::boolean(true)},
        {u"'it\\'s'", s(QStringLiteral("it's"))}, {u"\"\\\\\\\"\\b\\f\\n\\r\\t\"", s(QStringLiteral("\\\"\b\f\n\r\t"))},
        {u"\"\\uABcd\"", s(QString(QChar(0xABCD)))}, {u"\"\\ud83d\\ude00\"", s(QString::fromUtf16(u"\U0001F600"))},
        {u"\"abc", s(QStringLiteral("abc"))}, {u"1E2", f(100.0f)}, {u"007", i(7)}, {u".5", f(0.5f)}, {u"1-2", i(1)},
        {u"1.5e3e4", f(1500.0f)}, {u"2147483648", i(INT32_MAX)}, {u"-99999999999999999999", i(INT32_MIN)},
        {u"1e39", f(FLT_MAX)}, {u"-123456789e99999999999999", f(-FLT_MAX)}, {u"1e-50", f(0.0f)},
        {u"16777217.0", f(16777216.0f)},
    };
    for (const auto &[text, expected] : rows) {
        LogCapture log;
        const std::optional<JsonValue> value = jsonObject(QString::fromUtf16(text));
        EXPECT_TRUE(value == expected && log.lines().isEmpty()) << QString::fromUtf16(text).toStdString();
    }
}

TEST(WdJsonParser, RefusedTextYieldsNothingAndLogsOneLineWithTheReason)
{
    const std::pair<const char16_t *, const char16_t *> rows[] = {
        {u"", u"Unexpected end of source string."}, {u"[1 /* unclosed", u"Unexpected end of source string."},
        {u"\"\\u12\"", u"Unexpected end of source string."}, {u"/x 1", u"Illegal comment beginning."},
        {u"{a:1}", u"Illegal string start character."}, {u"{'a' 1}", u"Missing ':' after a key of a hash table."},
        {u"{'a':1 'b':2}", u"Illegal hash table entry divider."}, {u"[1 2]", u"Illegal array entry divider."},
        {u"\"a\\qb\"", u"Illegal string escaped character (q)."},
        {u"\"\\uzz00\"", u"Illegal unicode character (uzz00)."}, {u"nulx", u"Illegal character appeared."},
        {u"True", u"Illegal Object Prefix: 'T' (0x54)"}, {u"+-1", u"Illegal number format."},
        {u"\x01", u"Illegal Object Prefix: '\x01' (0x01)"}, {u"\u20ac", u"Illegal Object Prefix: '\u20ac' (0x20ac)"},
    };
    for (const auto &[text, reason] : rows) {
        LogCapture log;
        WdJsonParser parser(QString::fromUtf16(text));
        EXPECT_FALSE(parser.parse().has_value());
        EXPECT_EQ(parser.errorReason().toStdString(), QString::fromUtf16(reason).toStdString());
        EXPECT_EQ(log.lines(), QStringList{QStringLiteral("JSON Parsing Error: ") + QString::fromUtf16(reason)});
    }
}

TEST(WdJsonParser, DeeperNestingFailsWithReasonInsteadOfExhaustingTheStack)
{
    const auto nested = [](int depth) { return QStringLiteral("{'k':").repeated(depth) + u'1' + QString(depth, u'}'); };
    EXPECT_TRUE(jsonObject(nested(WdJsonParser::maxDepth)).has_value());
    for (const QString &text : {nested(WdJsonParser::maxDepth + 1), QStringLiteral("[").repeated(1000000)}) {
        LogCapture log;
        EXPECT_FALSE(jsonObject(text).has_value());
        EXPECT_EQ(log.lines(), QStringList{QStringLiteral("JSON Parsing Error: Nesting deeper than 512 levels.")});
    }
}

} // namespace
