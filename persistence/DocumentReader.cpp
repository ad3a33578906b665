#include "persistence/DocumentReader.h"

#include "persistence/DocumentFormat.h"
#include "persistence/JsonValue.h"
#include "persistence/LegacyArchive.h"
#include "persistence/WdJsonParser.h"

#include <QByteArray>
#include <QStringDecoder>

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

} // namespace

bool isDocumentText(const QByteArray &bytes)
{
    return !documentText(bytes).isNull();
}

DocumentReadResult readDocument(const QByteArray &bytes)
{
    const QString text = documentText(bytes);
    if (text.isNull())
        return readLegacyArchive(bytes);

    WdJsonParser parser(text);
    const std::optional<JsonValue> root = parser.parse();
    // A text that does not parse is refused: opening it as an empty fractal
    // would let the next save overwrite the user's file with nothing.
    if (!root)
        return {nullptr, parser.errorReason()};
    if (!root->isTable())
        return {nullptr, QStringLiteral("The document is not a JSON table.")};
    return {fractalFromDictionary(&*root), QString()};
}

} // namespace attractor
