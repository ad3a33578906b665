#include "persistence/RecoveryFormat.h"

#include <QCoreApplication>
#include <QList>
#include <QUrl>

namespace attractor {

namespace {

const QByteArray kMagic = "Attractor recovery 1\n";

// File names may hold line breaks: every value is percent-encoded on its line.
QByteArray field(const char *key, const QString &value)
{
    return QByteArray(key) + ": " + QUrl::toPercentEncoding(value) + '\n';
}

QString tr(const char *text)
{
    return QCoreApplication::translate("RecoveryFormat", text);
}

} // namespace

QByteArray recoveryText(const RecoveryInfo &info, const QByteArray &document)
{
    return kMagic + field("file", info.filePath) + field("name", info.name)
         + field("changed", info.changed.toUTC().toString(Qt::ISODateWithMs)) + '\n' + document;
}

RecoveryReadResult readRecovery(const QByteArray &bytes)
{
    RecoveryReadResult result;
    if (!bytes.startsWith(kMagic)) {
        result.error = tr("it is not a recovery copy");
        return result;
    }
    const qsizetype end = bytes.indexOf("\n\n", kMagic.size() - 1);
    if (end < 0) {
        result.error = tr("the copy is cut short");
        return result;
    }
    bool hasChanged = false;
    const QList<QByteArray> lines = bytes.mid(kMagic.size(), end - kMagic.size() + 1).split('\n');
    for (const QByteArray &line : lines) {
        const qsizetype colon = line.indexOf(": ");
        if (colon < 0)
            continue;
        const QByteArray key = line.left(colon);
        const QString value = QUrl::fromPercentEncoding(line.mid(colon + 2));
        if (key == "file")
            result.info.filePath = value;
        else if (key == "name")
            result.info.name = value;
        else if (key == "changed")
            result.info.changed = QDateTime::fromString(value, Qt::ISODateWithMs), hasChanged = true;
    }
    if (!hasChanged || !result.info.changed.isValid())
        result.error = tr("the copy's header has no valid time");
    result.document = bytes.mid(end + 2);
    return result;
}

} // namespace attractor
