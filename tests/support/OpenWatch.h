#pragma once

#include <QFile>
#include <QHash>
#include <QStringList>

#include <fcntl.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

// While alive, records every file opened in the watched folders (inotify;
// opening a folder to list it is not counted) and every time something held
// one of the FIFOs open for reading: opening a FIFO for writing without
// blocking succeeds only then. That write end, closed at once, also lets the
// reader go on, so a program that reads a FIFO fails here instead of hanging.
// Past `limit` the process aborts with a message: a read that blocks
// otherwise must fail the test, never hang it.
class OpenWatch
{
public:
    OpenWatch(const QStringList &folders, const QStringList &fifos, std::chrono::seconds limit)
        : _inotify(inotify_init1(IN_NONBLOCK | IN_CLOEXEC))
    {
        for (const QString &folder : folders)
            _folders.insert(inotify_add_watch(_inotify, QFile::encodeName(folder).constData(), IN_OPEN), folder);
        for (const QString &fifo : fifos)
            _fifos << QFile::encodeName(fifo);
        const auto deadline = std::chrono::steady_clock::now() + limit;
        _thread = std::thread([this, deadline] {
            while (!_stop.load()) {
                poll();
                if (std::chrono::steady_clock::now() > deadline) {
                    std::fprintf(stderr, "OpenWatch: still running after the time limit; a file read blocks\n");
                    std::abort();
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            poll();
        });
    }
    ~OpenWatch()
    {
        _stop = true;
        _thread.join();
        ::close(_inotify);
    }
    OpenWatch(const OpenWatch &) = delete;
    OpenWatch &operator=(const OpenWatch &) = delete;

    bool watching() const { return _inotify >= 0 && !_folders.contains(-1); }
    // Paths of the files opened, and of the FIFOs found held open for reading.
    QStringList opened() const
    {
        std::lock_guard lock(_mutex);
        return _opened;
    }

private:
    void poll()
    {
        for (const QByteArray &fifo : _fifos) {
            const int fd = ::open(fifo.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
            if (fd >= 0) {
                ::close(fd);
                record(QFile::decodeName(fifo) + QStringLiteral(" (read as a FIFO)"));
            }
        }
        alignas(inotify_event) char buffer[4096];
        ssize_t size;
        while ((size = ::read(_inotify, buffer, sizeof buffer)) > 0) {
            for (char *p = buffer; p < buffer + size;) {
                const auto *event = reinterpret_cast<const inotify_event *>(p);
                if (!(event->mask & IN_ISDIR) && event->len > 0)
                    record(_folders.value(event->wd) + QLatin1Char('/') + QFile::decodeName(event->name));
                p += sizeof(inotify_event) + event->len;
            }
        }
    }
    void record(const QString &what)
    {
        std::lock_guard lock(_mutex);
        _opened << what;
    }

    int _inotify;
    QHash<int, QString> _folders;
    QList<QByteArray> _fifos;
    std::atomic<bool> _stop{false};
    mutable std::mutex _mutex;
    QStringList _opened;
    std::thread _thread;
};
