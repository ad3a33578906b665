#include "persistence/IfsFormat.h"

#include "engine/ChaosGame.h"
#include "engine/Fitting.h"
#include "model/QvFrac.h"
#include "model/QvTransform.h"

#include <algorithm>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <optional>
#include <string_view>

namespace attractor {

namespace {

// Against hostile files: a name is a word, and a drawing of more maps than
// this is no longer a picture of its maps.
constexpr qsizetype kMaxNameLength = 256;
constexpr size_t kMaxMaps = 50000;
// A word quoted in a message is cut here.
constexpr size_t kQuotedLength = 40;

// Light colours that tell neighbouring maps apart on the black background.
const _rgb_color kPalette[] = {
    {0.40f, 0.80f, 0.40f, 1.0f}, {0.35f, 0.60f, 1.00f, 1.0f}, {1.00f, 0.50f, 0.35f, 1.0f},
    {1.00f, 0.85f, 0.35f, 1.0f}, {0.75f, 0.50f, 0.95f, 1.0f}, {0.35f, 0.90f, 0.90f, 1.0f},
    {1.00f, 0.55f, 0.75f, 1.0f}, {0.85f, 0.85f, 0.85f, 1.0f},
};

enum class Kind { Word, Open, Close, LeftParen, RightParen, End };

struct Token {
    Kind kind = Kind::End;
    std::string_view text;
    int line = 1;
};

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

bool isDelimiter(char c)
{
    return isSpace(c) || c == '{' || c == '}' || c == '(' || c == ')' || c == ';';
}

// Words and brackets, with white space and comments (";" to the end of the
// line) between them skipped; lines counted at "\n", so CRLF counts once.
class Lexer
{
public:
    explicit Lexer(std::string_view text)
        : _text(text)
    {
    }

    Token next()
    {
        while (_at < _text.size() && (isSpace(_text[_at]) || _text[_at] == ';')) {
            if (_text[_at] == ';') {
                while (_at < _text.size() && _text[_at] != '\n')
                    ++_at;
                continue;
            }
            _line += _text[_at++] == '\n';
        }
        if (_at == _text.size())
            return {Kind::End, {}, _line};
        const size_t start = _at++;
        switch (_text[start]) {
        case '{': return {Kind::Open, _text.substr(start, 1), _line};
        case '}': return {Kind::Close, _text.substr(start, 1), _line};
        case '(': return {Kind::LeftParen, _text.substr(start, 1), _line};
        case ')': return {Kind::RightParen, _text.substr(start, 1), _line};
        default: break;
        }
        while (_at < _text.size() && !isDelimiter(_text[_at]))
            ++_at;
        return {Kind::Word, _text.substr(start, _at - start), _line};
    }

    int line() const { return _line; }

private:
    std::string_view _text;
    size_t _at = 0;
    int _line = 1;
};

QString quoted(std::string_view word)
{
    const bool cut = word.size() > kQuotedLength;
    const QString text = QString::fromUtf8(word.data(), static_cast<qsizetype>(std::min(word.size(), kQuotedLength)));
    return QStringLiteral("“%1%2”").arg(text, cut ? QStringLiteral("…") : QString());
}

IfsReadResult failure(int line, const QString &reason)
{
    return {{}, QStringLiteral("line %1: %2").arg(line).arg(reason)};
}

// Without the locale: a file reads the same everywhere. Fractint writes
// ".5" and "+.5", which the standard parser takes without the plus.
std::optional<double> parseNumber(std::string_view word, bool &outOfRange)
{
    if (word.size() > 1 && word[0] == '+' && word[1] != '-' && word[1] != '+')
        word.remove_prefix(1);
    double value = 0.0;
    const auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), value);
    outOfRange = ec == std::errc::result_out_of_range || (ec == std::errc() && !std::isfinite(value));
    if (ec != std::errc() || end != word.data() + word.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

float saturated(double value)
{
    return static_cast<float>(std::clamp<double>(value, -FLT_MAX, FLT_MAX));
}

// Written numbers read back as the same float, "inf" and "nan" being no
// numbers to the reader.
void appendNumber(QByteArray &out, float value)
{
    if (std::isnan(value))
        value = 0.0f;
    // Adding 0 turns -0 into 0, which reads the same and looks less odd.
    value = std::clamp(value, -FLT_MAX, FLT_MAX) + 0.0f;
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, result.ptr - buffer);
}

QString entryName(const QString &name)
{
    QString safe = name.left(kMaxNameLength);
    for (QChar &c : safe)
        if (c.isSpace() || c.category() == QChar::Other_Control || QStringLiteral("{}();").contains(c))
            c = u'_';
    return safe.isEmpty() ? QStringLiteral("fractal") : safe;
}

} // namespace

IfsReadResult readIfs(const QByteArray &bytes)
{
    std::string_view text(bytes.constData(), static_cast<size_t>(bytes.size()));
    if (text.starts_with("\xEF\xBB\xBF"))
        text.remove_prefix(3);
    Lexer lexer(text);
    IfsReadResult result;
    size_t maps = 0;
    for (Token token = lexer.next(); token.kind != Kind::End; token = lexer.next()) {
        if (token.kind == Kind::Open)
            return failure(token.line, QStringLiteral("an entry without a name"));
        if (token.kind != Kind::Word)
            return failure(token.line, QStringLiteral("%1 outside any entry").arg(quoted(token.text)));
        IfsEntry entry;
        entry.name = QString::fromUtf8(token.text.data(), static_cast<qsizetype>(token.text.size()));
        entry.line = token.line;
        if (entry.name.size() > kMaxNameLength)
            return failure(token.line, QStringLiteral("a name longer than %1 characters").arg(kMaxNameLength));
        Token next = lexer.next();
        if (next.kind == Kind::LeftParen) {
            const Token word = lexer.next(), close = lexer.next();
            if (word.kind != Kind::Word || QByteArrayView(word.text).compare("3D", Qt::CaseInsensitive) != 0
                || close.kind != Kind::RightParen)
                return failure(next.line, QStringLiteral("expected “(3D)” after the name “%1”").arg(entry.name));
            entry.threeD = true;
            next = lexer.next();
        }
        if (next.kind != Kind::Open)
            return failure(next.line, QStringLiteral("expected “{” after the name “%1”, not %2")
                                          .arg(entry.name, next.kind == Kind::End ? QStringLiteral("the end of the file")
                                                                                  : quoted(next.text)));
        const size_t perMap = entry.threeD ? 13 : 7;
        std::array<double, 13> row{};
        size_t count = 0;
        for (Token number = lexer.next(); number.kind != Kind::Close; number = lexer.next()) {
            if (number.kind == Kind::End)
                return failure(entry.line, QStringLiteral("the entry “%1” has no closing “}”").arg(entry.name));
            bool outOfRange = false;
            const std::optional<double> value = number.kind == Kind::Word ? parseNumber(number.text, outOfRange) : std::nullopt;
            if (!value)
                return failure(number.line, QStringLiteral("%1 is %2").arg(quoted(number.text),
                                                                            outOfRange ? QStringLiteral("not a finite number")
                                                                                       : QStringLiteral("not a number")));
            row[count++ % perMap] = *value;
            if (count % perMap != 0)
                continue;
            if (++maps > kMaxMaps)
                return failure(number.line, QStringLiteral("more than %1 maps in the file").arg(kMaxMaps));
            if (!entry.threeD)
                entry.maps.push_back({row[0], row[1], row[2], row[3], row[4], row[5], row[6]});
        }
        if (count % perMap != 0)
            return failure(entry.line, QStringLiteral("the entry “%1” has %2 numbers, not %3 for each map")
                                           .arg(entry.name).arg(count).arg(perMap));
        result.entries.push_back(std::move(entry));
    }
    if (result.entries.empty())
        return failure(lexer.line(), QStringLiteral("no entries"));
    return result;
}

const IfsEntry *findIfsEntry(const std::vector<IfsEntry> &entries, const QString &name)
{
    // Fractint looks names up without regard to case; an exact match wins.
    const auto match = [&](auto same) {
        const auto it = std::find_if(entries.begin(), entries.end(), same);
        return it == entries.end() ? nullptr : &*it;
    };
    if (name.isEmpty())
        return match([](const IfsEntry &e) { return !e.threeD; });
    if (const IfsEntry *exact = match([&](const IfsEntry &e) { return e.name == name; }))
        return exact;
    return match([&](const IfsEntry &e) { return e.name.compare(name, Qt::CaseInsensitive) == 0; });
}

DocumentReadResult fractalFromIfsEntry(const IfsEntry &entry)
{
    if (entry.threeD)
        return {nullptr, QStringLiteral("%1: 3D entries cannot be drawn").arg(entry.name)};
    if (entry.maps.empty())
        return {nullptr, QStringLiteral("%1: the entry has no maps").arg(entry.name)};
    double total = 0.0;
    for (const auto &row : entry.maps)
        total += row[6] > 0.0 ? row[6] : 0.0;
    const FracPtr defaults = QvFrac::defaultFractal();
    auto list = std::make_shared<TransformList>();
    list->reserve(entry.maps.size());
    for (const auto &row : entry.maps) {
        const _t_matrix m{saturated(row[0]), saturated(row[1]), saturated(row[2]),
                          saturated(row[3]), saturated(row[4]), saturated(row[5])};
        auto map = std::make_shared<QvTransform>(QvTransform::fromMatrix(m));
        map->setRgb(kPalette[list->size() % std::size(kPalette)]);
        // The file's probabilities as weights summing to 1; all alike when none is positive.
        map->setProbability(probabilityForWeight(*map, total > 0.0 ? row[6] / total : 1.0));
        list->push_back(std::move(map));
    }
    const auto fractal = std::make_shared<QvFrac>(list, defaults->iterations(), defaults->bgColor());
    if (!fitIntoFrame(*fractal))
        return {nullptr, QStringLiteral("%1: the attractor is not bounded: its points run off to infinity").arg(entry.name)};
    return {fractal, QString()};
}

QByteArray ifsText(const QvFrac &fractal, const QString &name)
{
    const TransformList &maps = *fractal.transforms();
    std::vector<double> weight;
    double sum = 0.0;
    for (const TransformPtr &map : maps) {
        weight.push_back(selectionWeight(*map));
        sum += weight.back();
    }
    QByteArray out = entryName(name).toUtf8() + " {\n";
    for (size_t i = 0; i < maps.size(); ++i) {
        const _t_matrix m = maps[i]->transformMatrix();
        // Weights past the float range, or not numbers, leave no proportion to keep.
        const double share = std::isfinite(sum) && sum > 0.0 ? weight[i] / sum : 1.0 / static_cast<double>(maps.size());
        for (const float value : {m.a, m.b, m.c, m.d, m.tx, m.ty}) {
            appendNumber(out, value);
            out += ' ';
        }
        appendNumber(out, static_cast<float>(share));
        out += '\n';
    }
    return out + "}\n";
}

} // namespace attractor
