#include "app/Recovery.h"

#include "app/Document.h"
#include "persistence/AtomicWrite.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QStandardPaths>

#include <algorithm>

namespace attractor {

namespace {

const QString kCopySuffix = QStringLiteral(".recovery");
const QString kLockSuffix = QStringLiteral(".lock");

// A copy is called "<instance>.<n>.recovery"; its instance's lock "<instance>.lock".
QString instanceOf(const QString &copyName)
{
    return copyName.section(u'.', 0, 0);
}

std::unique_ptr<QLockFile> lockFor(const QDir &dir, const QString &instance)
{
    auto lock = std::make_unique<QLockFile>(dir.filePath(instance + kLockSuffix));
    // Only a dead owner makes a lock stale: a running instance keeps its
    // copies however long it runs.
    lock->setStaleLockTime(0);
    if (!lock->tryLock(0))
        return nullptr;
    return lock;
}

} // namespace

QString RecoveryStore::defaultFolder()
{
    const QString data = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    return data.isEmpty() ? QString() : QDir(data).filePath(QStringLiteral("recovery"));
}

RecoveryStore::RecoveryStore(const QString &folder, QObject *parent)
    : QObject(parent)
    , _folder(folder)
{
    _io.setMaxThreadCount(1);
    if (_folder.isEmpty() || !QDir().mkpath(_folder))
        return;
    QFile::setPermissions(_folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    for (int attempt = 0; attempt < 8 && !_lock; ++attempt) {
        _instance = QStringLiteral("%1-%2")
                        .arg(QCoreApplication::applicationPid())
                        .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
        _lock = lockFor(QDir(_folder), _instance);
    }
}

RecoveryStore::~RecoveryStore()
{
    _watched.clear();
    flush();
}

void RecoveryStore::watch(Document *document)
{
    if (!isActive() || _watched.contains(document))
        return;
    auto watched = std::make_shared<Watched>();
    watched->document = document;
    watched->path = QDir(_folder).filePath(QStringLiteral("%1.%2%3").arg(_instance).arg(_nextCopy++).arg(kCopySuffix));
    for (QTimer *timer : {&watched->quiet, &watched->longest}) {
        timer->setSingleShot(true);
        connect(timer, &QTimer::timeout, this, [this, document] { copyNow(document); });
    }
    watched->quiet.setInterval(kQuietMs);
    watched->longest.setInterval(kLongestMs);
    _watched.insert(document, watched);
    connect(document, &Document::contentChanged, this, [this, document] { changed(document); });
    connect(document, &Document::editedChanged, this, [this, document] { changed(document); });
    // Whatever closing decided about the edits, the document itself holds them no more.
    connect(document, &Document::closed, this, [this, document] { forget(document); });
    // Gone without closing (the program is ending): the copy stays for the next start.
    connect(document, &QObject::destroyed, this, [this, document] { _watched.remove(document); });
    if (document->isDocumentEdited())
        changed(document);
}

void RecoveryStore::changed(Document *document)
{
    const auto found = _watched.find(document);
    if (found == _watched.end())
        return;
    Watched &watched = **found;
    if (!document->isDocumentEdited()) {
        // Saved, reverted or undone back to the saved state: nothing to recover.
        watched.quiet.stop();
        watched.longest.stop();
        watched.changed = {};
        remove(watched.path);
        return;
    }
    watched.changed = QDateTime::currentDateTimeUtc();
    watched.quiet.start();
    if (!watched.longest.isActive())
        watched.longest.start();
}

void RecoveryStore::copyNow(Document *document)
{
    const auto found = _watched.find(document);
    if (found == _watched.end())
        return;
    Watched &watched = **found;
    watched.quiet.stop();
    watched.longest.stop();
    if (!document->isDocumentEdited()) {
        remove(watched.path);
        return;
    }
    if (!watched.changed.isValid())
        watched.changed = QDateTime::currentDateTimeUtc();
    write(watched);
}

void RecoveryStore::write(Watched &watched)
{
    QString error;
    const QByteArray data = watched.document->contents(&error);
    if (data.isNull())
        return;
    const RecoveryInfo info{watched.document->filePath(), watched.document->displayName(), watched.changed};
    // The header and the bytes are made here; the thread only writes them.
    _io.start([path = watched.path, bytes = recoveryText(info, data)] {
        QString ignored;
        writeFileAtomically(path, bytes, &ignored);
    });
}

void RecoveryStore::remove(const QString &path)
{
    _io.start([path] { QFile::remove(path); });
}

void RecoveryStore::forget(Document *document)
{
    const auto found = _watched.find(document);
    if (found == _watched.end())
        return;
    remove((*found)->path);
    _watched.erase(found);
}

QString RecoveryStore::copyPath(const Document *document) const
{
    const auto found = _watched.find(document);
    return found == _watched.end() ? QString() : (*found)->path;
}

std::vector<RecoveryStore::Orphan> RecoveryStore::claimOrphans()
{
    std::vector<Orphan> orphans;
    if (!isActive())
        return orphans;
    flush();
    const QDir dir(_folder);
    QHash<QString, bool> owned; // instance -> whether this one now holds its lock
    owned.insert(_instance, false);
    for (const auto &lock : _claimed)
        owned.insert(instanceOf(QFileInfo(lock->fileName()).fileName()), true);
    const QStringList names = dir.entryList({QLatin1Char('*') + kCopySuffix}, QDir::Files, QDir::Name);
    for (const QString &name : names) {
        const QString instance = instanceOf(name);
        if (!owned.contains(instance)) {
            std::unique_ptr<QLockFile> lock = lockFor(dir, instance);
            owned.insert(instance, lock != nullptr);
            if (lock)
                _claimed.push_back(std::move(lock));
        }
        if (!owned.value(instance))
            continue;
        Orphan orphan{dir.filePath(name), {}};
        QFile file(orphan.path);
        if (!file.open(QIODevice::ReadOnly))
            orphan.copy.error = file.errorString();
        else
            orphan.copy = readRecovery(file.readAll());
        orphans.push_back(std::move(orphan));
    }
    std::stable_sort(orphans.begin(), orphans.end(), [](const Orphan &a, const Orphan &b) {
        // Copies without a time (unreadable ones) last.
        const QDateTime &x = a.copy.info.changed, &y = b.copy.info.changed;
        return x.isValid() != y.isValid() ? x.isValid() : x < y;
    });
    return orphans;
}

void RecoveryStore::removeOrphan(const QString &path)
{
    remove(path);
}

void RecoveryStore::flush()
{
    _io.waitForDone();
}

} // namespace attractor
