#pragma once

#include <QByteArray>
#include <QString>

namespace attractor {

// Writes bytes to path atomically (QSaveFile): the file is whole, old or new, whatever happens. False with the reason in *error on failure.
bool writeFileAtomically(const QString &path, const QByteArray &bytes, QString *error);

} // namespace attractor
