#include "model/Log.h"

#include <QDebug>
#include <QString>

namespace attractor {

void logLine(const QString &line)
{
    qWarning().noquote() << line;
}

} // namespace attractor
