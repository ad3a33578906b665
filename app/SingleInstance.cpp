#include "app/SingleInstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QLocalSocket>
#include <QStandardPaths>

namespace attractor {

namespace {

constexpr int kTimeoutMs = 2000;

} // namespace

QString SingleInstance::defaultName()
{
    // The data folder tells users and test environments apart.
    const QByteArray folder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation).toUtf8();
    return QStringLiteral("attractor-") + QString::fromLatin1(QCryptographicHash::hash(folder, QCryptographicHash::Sha1).toHex().left(16));
}

bool SingleInstance::sendToRunning(const QString &name, const QStringList &paths)
{
    QLocalSocket socket;
    socket.connectToServer(name);
    if (!socket.waitForConnected(kTimeoutMs))
        return false;
    QByteArray message = "open\n";
    for (const QString &path : paths)
        message += QFileInfo(path).absoluteFilePath().toUtf8().toPercentEncoding() + '\n';
    socket.write(message);
    // Written and closed is enough: the running instance reads when it can.
    const bool sent = socket.waitForBytesWritten(kTimeoutMs) || socket.bytesToWrite() == 0;
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState)
        socket.waitForDisconnected(kTimeoutMs);
    return sent;
}

SingleInstance::SingleInstance(QObject *parent)
    : QObject(parent)
{
    // Only this user may hand files over.
    _server.setSocketOptions(QLocalServer::UserAccessOption);
    connect(&_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *socket = _server.nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, [this, socket] {
                const QList<QByteArray> lines = socket->readAll().split('\n');
                socket->deleteLater();
                if (lines.value(0) != "open")
                    return;
                QStringList paths;
                for (qsizetype i = 1; i < lines.size(); ++i) {
                    if (!lines[i].isEmpty())
                        paths << QString::fromUtf8(QByteArray::fromPercentEncoding(lines[i]));
                }
                emit openRequested(paths);
            });
        }
    });
}

bool SingleInstance::listen(const QString &name)
{
    if (_server.listen(name))
        return true;
    // A socket left by an instance that crashed: nobody answers on it.
    QLocalServer::removeServer(name);
    return _server.listen(name);
}

} // namespace attractor
