#pragma once

#include "QtPrinters.h"

#include <QStringList>
#include <QtGlobal>

// Collects every Qt message (logLine goes through qWarning) while alive.
class LogCapture
{
public:
    LogCapture() { _previous = qInstallMessageHandler(&LogCapture::handle); current() = this; }
    ~LogCapture()
    {
        qInstallMessageHandler(_previous);
        current() = nullptr;
    }
    LogCapture(const LogCapture &) = delete;
    LogCapture &operator=(const LogCapture &) = delete;

    const QStringList &lines() const { return _lines; }
    void clear() { _lines.clear(); }

private:
    static LogCapture *&current()
    {
        static LogCapture *capture = nullptr;
        return capture;
    }
    static void handle(QtMsgType, const QMessageLogContext &, const QString &message)
    {
        if (current())
            current()->_lines.append(message);
    }

    QtMessageHandler _previous = nullptr;
    QStringList _lines;
};
