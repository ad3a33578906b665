#include "persistence/DocumentReader.h"

#include "persistence/DocumentFormat.h"
#include "persistence/JsonValue.h"
#include "persistence/LegacyArchive.h"
#include "persistence/WdJsonParser.h"

#include <QByteArray>
#include <QStringView>
#include <QStringDecoder>

#include <algorithm>

namespace attractor {

namespace {

// The text of the bytes, or a null string when they are not valid UTF-8
// beginning with '{'. The decoder drops a leading byte-order mark.
QString documentText(const QByteArray &bytes)
{
    // Stateless, so that a sequence cut off at the end counts as an error too.
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder.decode(bytes);
    if (decoder.hasError() || !text.startsWith(u'{'))
        return {};
    return text;
}

// Every archive begins with the stream's version byte, 4; what follows it
// is the archive reader's to judge and explain.
bool looksLikeArchive(const QByteArray &bytes)
{
    return bytes.front() == '\x04';
}

// The parser's reason with the line and column (both from 1) where it stopped.
QString syntaxErrorMessage(const QString &text, const WdJsonParser &parser)
{
    // The parser stops just past the character it refused; at the end of the
    // text there is none, and the place is just past the end.
    qsizetype position = std::max<qsizetype>(parser.errorPosition(), 0);
    if (position > 0 && position < text.size())
        --position;
    const QStringView before = QStringView(text).left(position);
    const qsizetype line = before.count(u'\n') + 1;
    const qsizetype column = position - (before.lastIndexOf(u'\n') + 1) + 1;
    return QStringLiteral("JSON syntax error at line %1, column %2: %3").arg(line).arg(column).arg(parser.errorReason());
}

} // namespace

bool isDocumentText(const QByteArray &bytes)
{
    return !documentText(bytes).isNull();
}

DocumentReadResult readDocument(const QByteArray &bytes)
{
    const QString text = documentText(bytes);
    if (text.isNull() && !bytes.isEmpty() && !looksLikeArchive(bytes))
        return {nullptr, QStringLiteral("not a fractal document: it is neither document text "
                                        "(which begins with “{”) nor an archive")};
    if (text.isNull())
        return readLegacyArchive(bytes);

    WdJsonParser parser(text);
    const std::optional<JsonValue> root = parser.parse();
    // A text that does not parse is refused: opening it as an empty fractal
    // would let the next save overwrite the user's file with nothing.
    if (!root)
        return {nullptr, syntaxErrorMessage(text, parser)};
    if (!root->isTable())
        return {nullptr, QStringLiteral("The document is not a JSON table.")};
    return {fractalFromDictionary(&*root), QString(), viewFromDictionary(&*root)};
}

} // namespace attractor
