#pragma once

#include "persistence/RecoveryFormat.h"

#include <QHash>
#include <QLockFile>
#include <QObject>
#include <QPointer>
#include <QThreadPool>
#include <QTimer>

#include <memory>
#include <vector>

namespace attractor {

class Document;

// Copies of edited documents, kept in a folder so that a crash loses at most
// a few seconds of work. Each running instance holds a lock of its own in the
// folder and names its copies after it; copies whose instance holds no lock
// any more are orphans, offered for recovery at the next start. Files are
// written and removed in order on a thread of their own.
class RecoveryStore : public QObject
{
    Q_OBJECT

public:
    // A copy of a document is written this long after its last change ...
    static constexpr int kQuietMs = 1000;
    // ... and at least this often while changes keep coming.
    static constexpr int kLongestMs = 4000;

    // The per-user folder: the application's data location, "recovery".
    static QString defaultFolder();

    explicit RecoveryStore(const QString &folder, QObject *parent = nullptr);
    // Writes what is pending and gives up the locks; copies of documents
    // still edited stay (a clean quit has closed them all first).
    ~RecoveryStore() override;

    QString folder() const { return _folder; }
    // False when the folder cannot be made or locked: nothing is copied then.
    bool isActive() const { return _lock != nullptr; }

    // Keeps a copy of document while it is edited, from now until it closes.
    void watch(Document *document);
    // Writes document's copy now (or removes it when not edited).
    void copyNow(Document *document);

    struct Orphan {
        QString path;
        RecoveryReadResult copy; // its error says why it cannot be read
    };
    // The copies no running instance owns, oldest change first; their
    // instances' locks pass to this one, so no other instance offers them too.
    std::vector<Orphan> claimOrphans();
    // Removes a copy found by claimOrphans() (after it is recovered or discarded).
    void removeOrphan(const QString &path);

    // Waits for every write and removal asked so far.
    void flush();
    // The copy file of a watched document; empty for others.
    QString copyPath(const Document *document) const;

private:
    struct Watched {
        QPointer<Document> document;
        QString path;
        QDateTime changed;
        QTimer quiet, longest;
    };
    void changed(Document *document);
    void write(Watched &watched);
    void remove(const QString &path);
    void forget(Document *document);

    QString _folder;
    QString _instance;
    std::unique_ptr<QLockFile> _lock;
    std::vector<std::unique_ptr<QLockFile>> _claimed;
    QHash<const Document *, std::shared_ptr<Watched>> _watched;
    int _nextCopy = 1;
    QThreadPool _io;
};

} // namespace attractor
