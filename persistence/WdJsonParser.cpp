#include "persistence/WdJsonParser.h"

#include "model/Log.h"

#include <algorithm>
#include <charconv>
#include <cfloat>
#include <climits>
#include <string>

namespace attractor {

namespace {

const QString endOfSource = QStringLiteral("Unexpected end of source string.");

bool isWhiteSpace(QChar c)
{
    switch (c.unicode()) {
    case u' ':
    case u'\t':
    case u'\n':
    case u'\v':
    case u'\f':
    case u'\r':
        return true;
    default:
        return false;
    }
}

bool isNumberCharacter(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= u'0' && u <= u'9') || u == u'+' || u == u'-' || u == u'.' || u == u'e' || u == u'E';
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

int hexDigitValue(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1;
}

// Reads a hexadecimal number at the start of group the way a text scanner
// does: white space skipped, an optional 0x, digits as far as they go.
std::optional<char16_t> scanHex(const QString &group)
{
    qsizetype i = 0;
    while (i < group.size() && group.at(i).isSpace())
        ++i;
    if (i + 2 < group.size() && group.at(i) == u'0' && (group.at(i + 1) == u'x' || group.at(i + 1) == u'X')
        && hexDigitValue(group.at(i + 2)) >= 0)
        i += 2;
    if (i >= group.size() || hexDigitValue(group.at(i)) < 0)
        return std::nullopt;
    uint32_t value = 0;
    for (; i < group.size() && hexDigitValue(group.at(i)) >= 0; ++i)
        value = value * 16 + static_cast<uint32_t>(hexDigitValue(group.at(i)));
    return static_cast<char16_t>(value); // at most four digits: always one code unit
}

// Optional sign and decimal digits, the longest such prefix; values beyond
// 32 bits saturate.
std::optional<int32_t> scanInt(std::string_view run)
{
    size_t i = 0;
    bool negative = false;
    if (i < run.size() && (run[i] == '+' || run[i] == '-')) {
        negative = run[i] == '-';
        ++i;
    }
    if (i >= run.size() || !isDigit(run[i]))
        return std::nullopt;
    int64_t magnitude = 0;
    const int64_t limit = negative ? -static_cast<int64_t>(INT32_MIN) : INT32_MAX;
    for (; i < run.size() && isDigit(run[i]); ++i) {
        magnitude = magnitude * 10 + (run[i] - '0');
        if (magnitude > limit)
            magnitude = limit; // keep consuming digits, but stay put at the limit
    }
    return static_cast<int32_t>(negative ? -magnitude : magnitude);
}

// Whether a decimal number whose conversion left the 32-bit range is too
// large (rather than too small): its most significant digit stands at a
// positive power of ten.
bool decimalIsLarge(std::string_view number)
{
    size_t i = 0;
    if (i < number.size() && (number[i] == '+' || number[i] == '-'))
        ++i;
    int64_t order = 0; // power of ten just above the leading non-zero digit
    bool seenNonZero = false;
    for (; i < number.size() && isDigit(number[i]); ++i) {
        if (number[i] != '0')
            seenNonZero = true;
        if (seenNonZero && order < INT32_MAX)
            ++order;
    }
    if (i < number.size() && number[i] == '.') {
        for (++i; i < number.size() && isDigit(number[i]); ++i) {
            if (seenNonZero)
                continue;
            if (number[i] != '0')
                seenNonZero = true;
            else if (order > INT32_MIN)
                --order;
        }
    }
    int64_t exponent = 0;
    if (i < number.size() && (number[i] == 'e' || number[i] == 'E')) {
        ++i;
        bool negative = false;
        if (i < number.size() && (number[i] == '+' || number[i] == '-'))
            negative = number[i++] == '-';
        for (; i < number.size() && isDigit(number[i]); ++i)
            exponent = std::min<int64_t>(exponent * 10 + (number[i] - '0'), INT32_MAX);
        if (negative)
            exponent = -exponent;
    }
    return order + exponent > 0;
}

// Optional sign, digits with an optional fraction and an optional exponent:
// the longest such prefix, rounded to the nearest 32-bit float. A value
// beyond the float range saturates at the largest finite float, so a
// document never holds an infinity; one below it becomes zero.
std::optional<float> scanFloat(std::string_view run)
{
    size_t start = 0;
    if (!run.empty() && run[0] == '+') {
        start = 1; // the converter takes '-' but not '+'
        if (run.size() > 1 && (run[1] == '+' || run[1] == '-'))
            return std::nullopt;
    }
    const char *first = run.data() + start;
    const char *last = run.data() + run.size();
    float value = 0.0f;
    const auto [end, ec] = std::from_chars(first, last, value, std::chars_format::general);
    if (ec == std::errc::invalid_argument)
        return std::nullopt;
    if (ec == std::errc::result_out_of_range) {
        const bool negative = *first == '-';
        if (decimalIsLarge(std::string_view(first, static_cast<size_t>(end - first))))
            return negative ? -FLT_MAX : FLT_MAX;
        return negative ? -0.0f : 0.0f;
    }
    return value;
}

} // namespace

WdJsonParser::WdJsonParser(const QString &source)
    : mSource(source)
    , mLength(source.size())
{
}

std::optional<JsonValue> WdJsonParser::parse()
{
    _errorReason.clear();
    _errorPosition = -1;
    try {
        return parseImpl();
    } catch (const SyntaxError &error) {
        _errorReason = error.reason;
        _errorPosition = std::min(mPos, mLength);
        logLine(QStringLiteral("JSON Parsing Error: ") + error.reason);
        return std::nullopt;
    }
}

JsonValue WdJsonParser::parseImpl()
{
    mPos = 0;
    _depth = 0;
    return parseObject();
}

void WdJsonParser::fail(const QString &reason)
{
    throw SyntaxError{reason};
}

QChar WdJsonParser::lookAtNextCharacter() const
{
    if (mPos >= mLength)
        fail(endOfSource);
    return mSource.at(mPos);
}

QChar WdJsonParser::getNextCharacter()
{
    const QChar c = lookAtNextCharacter();
    ++mPos;
    return c;
}

QString WdJsonParser::getNextString(qsizetype count)
{
    if (count > mLength - mPos)
        fail(endOfSource);
    const QString group = mSource.mid(mPos, count);
    mPos += count;
    return group;
}

void WdJsonParser::skipWhiteSpaces()
{
    while (hasMoreCharacters() && isWhiteSpace(mSource.at(mPos)))
        skipCharacter();
}

void WdJsonParser::skipComment()
{
    skipCharacter(); // the '/'
    const QChar c = lookAtNextCharacter();
    if (c == u'/')
        skipLineComment();
    else if (c == u'*')
        skipNormalComment();
    else
        fail(QStringLiteral("Illegal comment beginning."));
}

void WdJsonParser::skipLineComment()
{
    skipCharacter();
    while (hasMoreCharacters()) {
        const QChar c = getNextCharacter();
        if (c == u'\n' || c == u'\r')
            return;
    }
}

void WdJsonParser::skipNormalComment()
{
    skipCharacter();
    while (hasMoreCharacters()) {
        if (getNextCharacter() == u'*' && lookAtNextCharacter() == u'/') {
            skipCharacter();
            return;
        }
    }
}

void WdJsonParser::skipWhiteSpacesAndComments()
{
    for (;;) {
        const QChar c = lookAtNextCharacter();
        if (isWhiteSpace(c))
            skipWhiteSpaces();
        else if (c == u'/')
            skipComment();
        else
            return;
    }
}

JsonValue WdJsonParser::parseObject()
{
    skipWhiteSpacesAndComments();
    const QChar c = lookAtNextCharacter();
    const char16_t u = c.unicode();
    if (u == u'"' || u == u'\'')
        return parseString();
    if (u == u'[')
        return parseArray();
    if (u == u'{')
        return parseHashTable();
    if ((u >= u'0' && u <= u'9') || u == u'-' || u == u'+' || u == u'.')
        return parseNumber();
    if (u == u't')
        return parseTrue();
    if (u == u'f')
        return parseFalse();
    if (u == u'n')
        return parseNull();
    const QString code = QStringLiteral("%1").arg(static_cast<uint>(u), 2, 16, QLatin1Char('0'));
    fail(QStringLiteral("Illegal Object Prefix: '%1' (0x%2)").arg(QString(c), code));
}

QString WdJsonParser::readString()
{
    const QChar quote = getNextCharacter();
    if (quote != u'"' && quote != u'\'')
        fail(QStringLiteral("Illegal string start character."));
    QString result;
    bool escaped = false;
    while (hasMoreCharacters()) {
        const QChar c = getNextCharacter();
        if (escaped) {
            escaped = false;
            switch (c.unicode()) {
            case u'"':
            case u'\'':
            case u'/':
            case u'\\':
                result.append(c);
                break;
            case u'b':
                result.append(QChar(u'\b'));
                break;
            case u'f':
                result.append(QChar(u'\f'));
                break;
            case u'n':
                result.append(QChar(u'\n'));
                break;
            case u'r':
                result.append(QChar(u'\r'));
                break;
            case u't':
                result.append(QChar(u'\t'));
                break;
            case u'u': {
                const QString group = getNextString(4);
                const std::optional<char16_t> unit = scanHex(group);
                if (!unit)
                    fail(QStringLiteral("Illegal unicode character (u%1).").arg(group));
                result.append(QChar(*unit));
                break;
            }
            default:
                fail(QStringLiteral("Illegal string escaped character (%1).").arg(QString(c)));
            }
        } else if (c == quote) {
            return result;
        } else if (c == u'\\') {
            escaped = true;
        } else {
            // Take the whole run up to the next quote or backslash at once.
            qsizetype end = mPos;
            while (end < mLength && mSource.at(end) != quote && mSource.at(end) != u'\\')
                ++end;
            result.append(QStringView(mSource).mid(mPos - 1, end - mPos + 1));
            mPos = end;
        }
    }
    // An unclosed string ends with the text; a container around it then
    // fails on the missing closing bracket.
    return result;
}

JsonValue WdJsonParser::parseString()
{
    return JsonValue::string(readString());
}

JsonValue WdJsonParser::parseNumber()
{
    const qsizetype start = mPos;
    bool isFloat = false;
    while (hasMoreCharacters() && isNumberCharacter(mSource.at(mPos))) {
        const QChar c = mSource.at(mPos);
        if (c == u'.' || c == u'e' || c == u'E')
            isFloat = true;
        skipCharacter();
    }
    // Every unit of the run is ASCII; short runs (all that documents hold) stay off the heap.
    const qsizetype length = mPos - start;
    char small[64] = {};
    std::string large;
    char *chars = small;
    if (length > qsizetype(sizeof small)) {
        large.resize(static_cast<size_t>(length));
        chars = large.data();
    }
    for (qsizetype k = 0; k < length; ++k)
        chars[k] = static_cast<char>(mSource.at(start + k).unicode());
    const std::string_view run(chars, static_cast<size_t>(length));
    if (isFloat) {
        if (const std::optional<float> value = scanFloat(run))
            return JsonValue::floating(*value);
    } else if (const std::optional<int32_t> value = scanInt(run)) {
        return JsonValue::integer(*value);
    }
    fail(QStringLiteral("Illegal number format."));
}

JsonValue WdJsonParser::parseTrue()
{
    if (getNextString(4) != QStringLiteral("true"))
        fail(QStringLiteral("Illegal character appeared."));
    return JsonValue::boolean(true);
}

JsonValue WdJsonParser::parseFalse()
{
    if (getNextString(5) != QStringLiteral("false"))
        fail(QStringLiteral("Illegal character appeared."));
    return JsonValue::boolean(false);
}

JsonValue WdJsonParser::parseNull()
{
    if (getNextString(4) != QStringLiteral("null"))
        fail(QStringLiteral("Illegal character appeared."));
    return JsonValue();
}

void WdJsonParser::enterContainer()
{
    if (++_depth > maxDepth)
        fail(QStringLiteral("Nesting deeper than %1 levels.").arg(maxDepth));
}

JsonValue WdJsonParser::parseArray()
{
    enterContainer();
    skipCharacter(); // the '['
    JsonValue array = JsonValue::array();
    JsonArray &items = array.arrayItems();
    for (;;) {
        skipWhiteSpacesAndComments();
        if (lookAtNextCharacter() == u']') {
            skipCharacter();
            break;
        }
        items.push_back(parseObject());
        skipWhiteSpacesAndComments();
        const QChar divider = getNextCharacter();
        if (divider == u']')
            break;
        if (divider != u',')
            fail(QStringLiteral("Illegal array entry divider."));
    }
    --_depth;
    return array;
}

JsonValue WdJsonParser::parseHashTable()
{
    enterContainer();
    skipCharacter(); // the '{'
    JsonValue table = JsonValue::table();
    JsonTable &entries = table.tableEntries();
    for (;;) {
        skipWhiteSpacesAndComments();
        if (lookAtNextCharacter() == u'}') {
            skipCharacter();
            break;
        }
        QString key = readString();
        skipWhiteSpacesAndComments();
        if (getNextCharacter() != u':')
            fail(QStringLiteral("Missing ':' after a key of a hash table."));
        skipWhiteSpacesAndComments();
        entries.insert(std::move(key), parseObject()); // a repeated key: the last one wins
        skipWhiteSpacesAndComments();
        const QChar divider = getNextCharacter();
        if (divider == u'}')
            break;
        if (divider != u',')
            fail(QStringLiteral("Illegal hash table entry divider."));
    }
    --_depth;
    return table;
}

std::optional<JsonValue> jsonObject(const QString &text)
{
    WdJsonParser parser(text);
    return parser.parse();
}

} // namespace attractor
