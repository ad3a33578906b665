#pragma once

#include <QStringList>
#include <QtGlobal>

#include <mutex>

// Collects every Qt message (logLine goes through qWarning) while alive, from
// any thread: exports log from their worker.
class LogCapture
{
public:
    LogCapture() { current = this, _previous = qInstallMessageHandler(&LogCapture::handle); }
    ~LogCapture() { qInstallMessageHandler(_previous), current = nullptr; }
    LogCapture(const LogCapture &) = delete;
    LogCapture &operator=(const LogCapture &) = delete;

    QStringList lines() const
    {
        std::lock_guard lock(_mutex);
        return _lines;
    }

private:
    static void handle(QtMsgType, const QMessageLogContext &, const QString &message)
    {
        if (LogCapture *self = current) {
            std::lock_guard lock(self->_mutex);
            self->_lines.append(message);
        }
    }

    static inline LogCapture *current = nullptr;
    mutable std::mutex _mutex;
    QtMessageHandler _previous = nullptr;
    QStringList _lines;
};
