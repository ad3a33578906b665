#include "app/DocumentController.h"

#include "app/Document.h"
#include "app/DocumentWindow.h"
#include "app/Prompts.h"
#include "app/RecoverDialog.h"
#include "app/Recovery.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QSettings>

namespace attractor {

namespace {

const QString kRecentFilesKey = QStringLiteral("RecentFiles");

} // namespace

DocumentController::DocumentController(Factory factory, QObject *parent)
    : QObject(parent)
    , _factory(std::move(factory))
{
}

DocumentController::~DocumentController()
{
    const QList<Document *> documents = _documents;
    _documents.clear();
    qDeleteAll(documents);
}

Document *DocumentController::documentForPath(const QString &path) const
{
    const QString absolute = QFileInfo(path).absoluteFilePath();
    for (Document *document : _documents) {
        if (!document->filePath().isEmpty() && document->filePath() == absolute)
            return document;
    }
    return nullptr;
}

int DocumentController::nextUntitledNumber() const
{
    QStringList taken;
    for (const Document *document : _documents) {
        if (document->filePath().isEmpty())
            taken << document->displayName();
    }
    for (int number = 1;; ++number) {
        const QString name = number == 1 ? tr("Untitled") : tr("Untitled %1").arg(number);
        if (!taken.contains(name))
            return number;
    }
}

void DocumentController::adopt(Document *document)
{
    document->setController(this);
    _documents.append(document);
    connect(document, &Document::closed, this, &DocumentController::documentClosed);
    connect(document, &Document::saved, this, &DocumentController::noteRecentFile);
    document->makeWindow();
    connect(document->window(), &DocumentWindow::filesDropped, this,
            [this](const QStringList &paths) { openDocuments(paths); });
    document->showWindow();
    if (_recovery)
        _recovery->watch(document);
    emit documentAdded(document);
}

Document *DocumentController::newDocument()
{
    std::unique_ptr<Document> document = _factory();
    document->setUntitledNumber(nextUntitledNumber());
    Document *raw = document.release();
    adopt(raw);
    return raw;
}

Document *DocumentController::newUntitledDocument(const std::function<void(Document &)> &fill)
{
    std::unique_ptr<Document> document = _factory();
    document->setUntitledNumber(nextUntitledNumber());
    fill(*document);
    Document *raw = document.release();
    adopt(raw);
    raw->updateChangeCount(Document::ChangeDone);
    return raw;
}

Document *DocumentController::openDocument(const QString &path)
{
    if (Document *open = documentForPath(path)) {
        open->showWindow();
        return open;
    }
    std::unique_ptr<Document> document = _factory();
    QString error;
    if (!document->readFromPath(path, &error)) {
        Prompts::showError(nullptr, tr("Open failed"),
                           tr("The document “%1” could not be opened: %2")
                               .arg(QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()), error));
        return nullptr;
    }
    Document *raw = document.release();
    adopt(raw);
    noteRecentFile(raw->filePath());
    return raw;
}

bool DocumentController::openAtLaunch(const QStringList &paths)
{
    if (paths.isEmpty() && _documents.isEmpty())
        newDocument();
    else
        openDocuments(paths);
    return !_documents.isEmpty();
}

QList<Document *> DocumentController::openDocuments(const QStringList &paths)
{
    QList<Document *> opened;
    for (const QString &path : paths) {
        if (Document *document = openDocument(path))
            opened.append(document);
    }
    return opened;
}

void DocumentController::openWithDialog(QWidget *parent)
{
    openDocuments(Prompts::openPaths(parent));
}

QList<Document *> DocumentController::recoverDocuments()
{
    if (!_recovery)
        return {};
    const std::vector<RecoveryStore::Orphan> orphans = _recovery->claimOrphans();
    if (orphans.empty())
        return {};
    QList<Prompts::RecoveryItem> items;
    std::vector<std::unique_ptr<Document>> documents;
    for (const RecoveryStore::Orphan &orphan : orphans) {
        const RecoveryInfo &info = orphan.copy.info;
        // An untitled document by the name its window showed ("Untitled 2").
        const QString untitled = info.name.isEmpty() ? tr("Untitled") : info.name;
        Prompts::RecoveryItem item{info.filePath.isEmpty() ? untitled : QFileInfo(info.filePath).fileName(), info.changed,
                                   {}, orphan.copy.error};
        std::unique_ptr<Document> document;
        if (item.error.isEmpty()) {
            document = _factory();
            if (document->recover(orphan.copy.document, info.filePath, &item.error))
                item.picture = document->picture(RecoverDialog::kPictureSide);
            else
                document.reset();
        }
        items << item;
        documents.push_back(std::move(document));
    }
    const Prompts::RecoveryAnswer answer = Prompts::chooseRecovery(nullptr, items);
    QList<Document *> recovered;
    for (const int index : answer.chosen) {
        if (index < 0 || index >= int(orphans.size()))
            continue;
        const auto at = size_t(index);
        if (answer.action == Prompts::RecoveryAction::Discard) {
            _recovery->removeOrphan(orphans[at].path);
        } else if (answer.action == Prompts::RecoveryAction::Recover && documents[at]) {
            Document *document = documents[at].release();
            if (document->filePath().isEmpty())
                document->setUntitledNumber(nextUntitledNumber());
            adopt(document);
            document->updateChangeCount(Document::ChangeDone);
            // The copy moves to this instance before the old one goes.
            _recovery->copyNow(document);
            _recovery->removeOrphan(orphans[at].path);
            recovered << document;
        }
    }
    return recovered;
}

QStringList DocumentController::recentFiles() const
{
    return QSettings().value(kRecentFilesKey).toStringList();
}

void DocumentController::noteRecentFile(const QString &path)
{
    const QString absolute = QFileInfo(path).absoluteFilePath();
    QStringList files = recentFiles();
    files.removeAll(absolute);
    files.prepend(absolute);
    while (files.size() > kMaxRecentFiles)
        files.removeLast();
    QSettings().setValue(kRecentFilesKey, files);
    emit recentFilesChanged();
}

void DocumentController::clearRecentFiles()
{
    QSettings().remove(kRecentFilesKey);
    emit recentFilesChanged();
}

void DocumentController::attachRecentMenu(QMenu *menu)
{
    connect(menu, &QMenu::aboutToShow, menu, [this, menu] {
        menu->clear();
        const QStringList files = recentFiles();
        for (const QString &path : files) {
            QAction *action = menu->addAction(QFileInfo(path).fileName());
            action->setToolTip(QDir::toNativeSeparators(path));
            connect(action, &QAction::triggered, this, [this, path] { openDocument(path); });
        }
        if (!files.isEmpty())
            menu->addSeparator();
        QAction *clear = menu->addAction(tr("Clear Menu"));
        clear->setEnabled(!files.isEmpty());
        connect(clear, &QAction::triggered, this, &DocumentController::clearRecentFiles);
    });
}

bool DocumentController::closeAll()
{
    // Ask about every edited document before closing any: a Cancel part way
    // through leaves every window open (those already saved stay saved).
    const QList<Document *> documents = _documents;
    for (Document *document : documents) {
        if (!document->shouldClose())
            return false;
    }
    for (Document *document : documents)
        document->closeWithoutAsking();
    return true;
}

void DocumentController::quit()
{
    if (closeAll())
        QCoreApplication::quit();
}

void DocumentController::documentClosed(Document *document)
{
    if (!_documents.removeOne(document))
        return;
    emit documentRemoved(document);
    document->deleteLater();
}

} // namespace attractor
