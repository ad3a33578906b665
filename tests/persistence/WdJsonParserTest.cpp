#include "persistence/WdJsonParser.h"

#include "support/LogCapture.h"
#include "QtPrinters.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <climits>


using namespace attractor;

namespace {

JsonValue i(int32_t v) { return JsonValue::integer(v); }
JsonValue f(float v) { return JsonValue::floating(v); }
JsonValue s(const QString &v) { return JsonValue::string(v); }
JsonValue arr(JsonArray items) { return JsonValue::array(std::move(items)); }

struct Accepted {
    const char16_t *text;
    JsonValue expected;
};

class AcceptedText : public testing::TestWithParam<Accepted> {};

TEST_P(AcceptedText, YieldsTreeWithoutLogging)
{
    LogCapture log;
    const std::optional<JsonValue> value = jsonObject(QString::fromUtf16(GetParam().text));
    ASSERT_TRUE(value.has_value()) << log.lines().join(u'\n').toStdString();
    EXPECT_EQ(*value, GetParam().expected);
    EXPECT_TRUE(log.lines().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Values, AcceptedText, testing::Values(
    Accepted{u"{}", JsonValue::table()},
    Accepted{u"[]", arr({})},
    Accepted{u"{'a':1,}", JsonValue::table({{QStringLiteral("a"), i(1)}})},
    Accepted{u"{'a':1, 'a':2}", JsonValue::table({{QStringLiteral("a"), i(2)}})},
    Accepted{u"{\"a\" : [true, false, null], 'b':{}}",
             JsonValue::table({{QStringLiteral("a"), arr({JsonValue::boolean(true), JsonValue::boolean(false), JsonValue()})},
                               {QStringLiteral("b"), JsonValue::table()}})},
    Accepted{u"[1 /* one */, // two\n2]", arr({i(1), i(2)})},
    Accepted{u"// line\r7", i(7)},
    Accepted{u"/*/ still a comment */ 5", i(5)},
    Accepted{u" \t\n\v\f\r7", i(7)},
    Accepted{u"{'n':1} trailing words", JsonValue::table({{QStringLiteral("n"), i(1)}})},
    Accepted{u"truex", JsonValue::boolean(true)},
    Accepted{u"null", JsonValue()}));

INSTANTIATE_TEST_SUITE_P(Strings, AcceptedText, testing::Values(
    Accepted{u"'it\\'s'", s(QStringLiteral("it's"))},
    Accepted{u"'say \"hi\"'", s(QStringLiteral("say \"hi\""))},
    Accepted{u"\"\\\\\\\"\\b\\f\\n\\r\\t\"", s(QStringLiteral("\\\"\b\f\n\r\t"))},
    Accepted{u"\"\\uABcd\"", s(QString(QChar(0xABCD)))},
    Accepted{u"\"\\u00zz\"", s(QString(QChar(0)))},
    Accepted{u"\"\\u0x4A\"", s(QStringLiteral("J"))},
    Accepted{u"\"\\u 0X4\"", s(QString(QChar(4)))},
    Accepted{u"\"\\ud83d\\ude00\"", s(QString::fromUtf16(u"\U0001F600"))},
    Accepted{u"\"abc", s(QStringLiteral("abc"))},
    Accepted{u"'ends in backslash\\", s(QStringLiteral("ends in backslash"))}));

INSTANTIATE_TEST_SUITE_P(Numbers, AcceptedText, testing::Values(
    Accepted{u"12", i(12)},
    Accepted{u"12.", f(12.0f)},
    Accepted{u"1E2", f(100.0f)},
    Accepted{u"+5", i(5)},
    Accepted{u"007", i(7)},
    Accepted{u".5", f(0.5f)},
    Accepted{u"1-2", i(1)},
    Accepted{u"1.5.5", f(1.5f)},
    Accepted{u"1e", f(1.0f)},
    Accepted{u"1.5e3e4", f(1500.0f)},
    Accepted{u"2147483647", i(INT32_MAX)},
    Accepted{u"2147483648", i(INT32_MAX)},
    Accepted{u"-99999999999999999999", i(INT32_MIN)},
    Accepted{u"1e39", f(FLT_MAX)},
    Accepted{u"123456789e99999999999999", f(FLT_MAX)},
    Accepted{u"1e-50", f(0.0f)},
    Accepted{u"1e-40", f(1e-40f)},
    Accepted{u"16777217.0", f(16777216.0f)},
    Accepted{u"[1,-2.5,+3]", arr({i(1), f(-2.5f), i(3)})}));

struct Refused {
    const char16_t *text;
    const char16_t *reason;
};

class RefusedText : public testing::TestWithParam<Refused> {};

TEST_P(RefusedText, YieldsNothingAndLogsOneLineWithReason)
{
    LogCapture log;
    WdJsonParser parser(QString::fromUtf16(GetParam().text));
    EXPECT_FALSE(parser.parse().has_value());
    const QString reason = QString::fromUtf16(GetParam().reason);
    EXPECT_EQ(parser.errorReason(), reason);
    EXPECT_EQ(log.lines(), QStringList{QStringLiteral("JSON Parsing Error: ") + reason});
}

INSTANTIATE_TEST_SUITE_P(Reasons, RefusedText, testing::Values(
    Refused{u"", u"Unexpected end of source string."},
    Refused{u"// only a comment", u"Unexpected end of source string."},
    Refused{u"/* star at the end *", u"Unexpected end of source string."},
    Refused{u"[1,2", u"Unexpected end of source string."},
    Refused{u"{'a'", u"Unexpected end of source string."},
    Refused{u"[1 /* unclosed", u"Unexpected end of source string."},
    Refused{u"nul", u"Unexpected end of source string."},
    Refused{u"\"\\u12\"", u"Unexpected end of source string."},
    Refused{u"/", u"Unexpected end of source string."},
    Refused{u"/x 1", u"Illegal comment beginning."},
    Refused{u"{a:1}", u"Illegal string start character."},
    Refused{u"{'a' 1}", u"Missing ':' after a key of a hash table."},
    Refused{u"{'a':1 'b':2}", u"Illegal hash table entry divider."},
    Refused{u"[1 2]", u"Illegal array entry divider."},
    Refused{u"\"a\\qb\"", u"Illegal string escaped character (q)."},
    Refused{u"\"\\uzz00\"", u"Illegal unicode character (uzz00)."},
    Refused{u"nulx", u"Illegal character appeared."},
    Refused{u"True", u"Illegal Object Prefix: 'T' (0x54)"},
    Refused{u"falsy", u"Illegal character appeared."},
    Refused{u"-", u"Illegal number format."},
    Refused{u"+-1", u"Illegal number format."},
    Refused{u"-e5", u"Illegal number format."},
    Refused{u"x", u"Illegal Object Prefix: 'x' (0x78)"},
    Refused{u"\x01", u"Illegal Object Prefix: '\x01' (0x01)"},
    Refused{u"\u20ac", u"Illegal Object Prefix: '\u20ac' (0x20ac)"},
    Refused{u"e5", u"Illegal Object Prefix: 'e' (0x65)"}));

QString nested(int depth, QStringView open, QStringView close, QStringView inner = u"1")
{
    return open.toString().repeated(depth) + inner.toString() + close.toString().repeated(depth);
}

TEST(WdJsonParser, DeeperNestingFailsWithReasonInsteadOfExhaustingTheStack)
{
    EXPECT_TRUE(jsonObject(nested(WdJsonParser::maxDepth, u"{'k':", u"}")).has_value());
    const QString reason = QStringLiteral("Nesting deeper than 512 levels.");
    for (const QString &text : {nested(WdJsonParser::maxDepth + 1, u"[", u"]"),
                                nested(WdJsonParser::maxDepth + 1, u"{'k':", u"}"),
                                nested(WdJsonParser::maxDepth / 2 + 1, u"[{'k':", u"}]"),
                                QStringLiteral("[").repeated(1000000)}) {
        LogCapture log;
        WdJsonParser parser(text);
        EXPECT_FALSE(parser.parse().has_value());
        EXPECT_EQ(log.lines(), QStringList{QStringLiteral("JSON Parsing Error: ") + reason});
    }
}

// Past a handful of keys the table switches to a hash index; a repeated key
// must still replace, before and after the switch.
TEST(WdJsonParser, RepeatedKeysInLargeTablesKeepTheLastValue)
{
    for (int keys : {3, 16, 17, 100}) {
        QString text = QStringLiteral("{");
        for (int round = 0; round < 3; ++round) {
            for (int k = 0; k < keys; ++k)
                text += QStringLiteral("'k%1':%2,").arg(k).arg(round * 1000 + k);
        }
        text += QLatin1Char('}');
        const std::optional<JsonValue> v = jsonObject(text);
        ASSERT_TRUE(v.has_value());
        ASSERT_EQ(v->toTable().size(), keys);
        for (int k = 0; k < keys; ++k) {
            const JsonValue *entry = v->value(QStringLiteral("k%1").arg(k));
            ASSERT_NE(entry, nullptr) << keys << " keys, k" << k;
            EXPECT_EQ(*entry, JsonValue::integer(2000 + k)) << keys << " keys, k" << k;
        }
        EXPECT_EQ(v->value(QStringLiteral("k%1").arg(keys)), nullptr);
    }
}

} // namespace
