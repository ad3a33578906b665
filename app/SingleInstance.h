#pragma once

#include <QLocalServer>
#include <QObject>
#include <QStringList>

namespace attractor {

// One editor per user session: a program started while another runs hands
// its files to that one (over a local socket) and ends, so that recovery and
// the recent files stay with one process.
class SingleInstance : public QObject
{
    Q_OBJECT

public:
    // The socket's name: one per user and data folder.
    static QString defaultName();

    // Hands paths (made absolute; none: a new document) to the instance
    // listening on name. False when none listens.
    static bool sendToRunning(const QString &name, const QStringList &paths);

    explicit SingleInstance(QObject *parent = nullptr);
    // Listens on name; false when the socket cannot be made (the program
    // then runs on its own, as before).
    bool listen(const QString &name);

signals:
    // Another start asked to open paths; empty: a new document.
    void openRequested(const QStringList &paths);

private:
    QLocalServer _server;
};

} // namespace attractor
