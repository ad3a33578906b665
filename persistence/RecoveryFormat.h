#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

namespace attractor {

// What a recovery copy says about the document it keeps: the file it was
// opened from (empty for one never saved), the name its window showed and
// when it last changed.
struct RecoveryInfo {
    QString filePath;
    QString name;
    QDateTime changed;
};

// A recovery copy: a short header of text lines, then the document's own
// bytes unchanged. One file, so a copy is always whole with its header.
QByteArray recoveryText(const RecoveryInfo &info, const QByteArray &document);

struct RecoveryReadResult {
    RecoveryInfo info;
    QByteArray document;
    QString error; // empty when the header was read

    bool ok() const { return error.isEmpty(); }
};

RecoveryReadResult readRecovery(const QByteArray &bytes);

} // namespace attractor
