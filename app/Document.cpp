#include "app/Document.h"

#include "app/DocumentWindow.h"
#include "app/Prompts.h"
#include "persistence/AtomicWrite.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QStatusBar>
#include <QStandardPaths>
#include <QUndoStack>

namespace attractor {

const QString Document::kTypeName = QStringLiteral("frac");

namespace {

QByteArray digestOf(const QByteArray &bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256);
}

} // namespace

Document::Document(QObject *parent)
    : QObject(parent)
{
    _diskCheck.setSingleShot(true);
    _diskCheck.setInterval(200);
    connect(&_diskCheck, &QTimer::timeout, this, &Document::checkDisk);
}

void Document::setUndoStack(QUndoStack *stack)
{
    if (_undoStack)
        disconnect(_undoStack, nullptr, this, nullptr);
    _undoStack = stack;
    if (_undoStack) {
        connect(_undoStack, &QUndoStack::cleanChanged, this, &Document::showEditedState);
        connect(_undoStack, &QUndoStack::indexChanged, this, &Document::contentChanged);
    }
    showEditedState();
}

bool Document::isDocumentEdited() const
{
    return _changeCount != 0 || (_undoStack && !_undoStack->isClean());
}

Document::~Document() = default;

QString Document::displayName() const
{
    if (!_filePath.isEmpty())
        return QFileInfo(_filePath).fileName();
    if (_untitledNumber <= 1)
        return tr("Untitled");
    return tr("Untitled %1").arg(_untitledNumber);
}

void Document::setUntitledNumber(int number)
{
    _untitledNumber = number;
    updateTitle();
}

void Document::updateChangeCount(ChangeKind kind)
{
    switch (kind) {
    case ChangeDone:
        ++_changeCount;
        break;
    case ChangeUndone:
        --_changeCount;
        break;
    case ChangeCleared:
        _changeCount = 0;
        if (_undoStack)
            _undoStack->setClean();
        break;
    }
    showEditedState();
    emit contentChanged();
}

void Document::showEditedState()
{
    // Saving changes the stack's clean state and the count at once: one signal.
    const bool wasEdited = _shownEdited;
    _shownEdited = isDocumentEdited();
    if (_window)
        _window->setWindowModified(_shownEdited);
    if (wasEdited != _shownEdited)
        emit editedChanged(_shownEdited);
}

void Document::makeWindow()
{
    if (_window)
        return;
    _window = std::make_unique<DocumentWindow>(this);
    windowControllerDidLoadNib(_window.get());
    // Handing the content to the window's views is not an edit.
    if (_undoStack)
        _undoStack->clear();
    updateChangeCount(ChangeCleared);
    updateTitle();
}

void Document::showWindow()
{
    if (!_window)
        makeWindow();
    _window->show();
    _window->raise();
    _window->activateWindow();
}

void Document::destroyWindow()
{
    _window.reset();
}

bool Document::readFromPath(const QString &path, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = file.errorString();
        return false;
    }
    const QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        *error = file.errorString();
        return false;
    }
    if (!readFromData(data, kTypeName, error))
        return false;
    setFilePath(path);
    noteDiskContents(data);
    return true;
}

bool Document::writeToPath(const QString &path, QString *error) const
{
    const QByteArray data = contents(error);
    return !data.isNull() && writeFileAtomically(path, data, error);
}

QByteArray Document::contents(QString *error) const
{
    return dataOfType(kTypeName, error);
}

bool Document::recover(const QByteArray &data, const QString &originalPath, QString *error)
{
    if (!readFromData(data, kTypeName, error))
        return false;
    if (!originalPath.isEmpty())
        setFilePath(originalPath);
    return true;
}

QString Document::saveErrorMessage(const QString &path, const QString &reason)
{
    return tr("The document could not be saved as “%1”: %2").arg(QDir::toNativeSeparators(path), reason);
}

bool Document::saveToPath(const QString &path)
{
    if (QFileInfo(path).absoluteFilePath() == _filePath) {
        // What another program wrote there is not lost without a word.
        checkDisk();
        if (_diskDiffers && QFileInfo::exists(path) && !Prompts::confirmOverwrite(_window.get(), displayName()))
            return false;
    }
    QString error;
    const QByteArray data = contents(&error);
    if (data.isNull() || !writeFileAtomically(path, data, &error)) {
        Prompts::showError(_window.get(), tr("Save failed"), saveErrorMessage(path, error));
        return false;
    }
    setFilePath(path);
    noteDiskContents(data);
    updateChangeCount(ChangeCleared);
    didSave();
    emit saved(path);
    return true;
}

QString Document::proposedSavePath() const
{
    if (!_filePath.isEmpty()) {
        const QFileInfo info(_filePath);
        return info.dir().filePath(info.completeBaseName() + QStringLiteral(".frac"));
    }
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        folder = QDir::homePath();
    return QDir(folder).filePath(displayName() + QStringLiteral(".frac"));
}

bool Document::save()
{
    if (_filePath.isEmpty() || !savesInPlace())
        return saveAs();
    return saveToPath(_filePath);
}

bool Document::saveAs()
{
    const QString path = Prompts::savePath(_window.get(), proposedSavePath());
    if (path.isEmpty())
        return false;
    return saveToPath(path);
}

bool Document::revert()
{
    if (_filePath.isEmpty())
        return false;
    if (isDocumentEdited() && !Prompts::confirmRevert(_window.get(), displayName()))
        return false;
    QString error;
    if (!readFromPath(_filePath, &error)) {
        Prompts::showError(_window.get(), tr("Revert failed"),
                           tr("The document “%1” could not be read: %2")
                               .arg(QDir::toNativeSeparators(_filePath), error));
        return false;
    }
    // The content read afresh clears its own history: the steps belonged to
    // what was thrown away.
    updateChangeCount(ChangeCleared);
    return true;
}

bool Document::shouldClose()
{
    if (_closing)
        return true;
    if (isDocumentEdited()) {
        switch (Prompts::askToSave(_window.get(), displayName())) {
        case Prompts::SaveAnswer::Save:
            if (!save())
                return false;
            break;
        case Prompts::SaveAnswer::Discard:
            break;
        case Prompts::SaveAnswer::Cancel:
            return false;
        }
    }
    // Asked last: the export keeps running if the user keeps the document.
    if (hasRunningExport()) {
        if (!Prompts::confirmStopExport(_window.get(), displayName()))
            return false;
        stopExport();
    }
    return true;
}

bool Document::close()
{
    if (!_window) {
        if (!shouldClose())
            return false;
        _closing = true;
        windowDidClose();
        return true;
    }
    return _window->close();
}

void Document::closeWithoutAsking()
{
    _closing = true;
    close();
}

void Document::windowDidClose()
{
    _closing = true;
    emit closed(this);
}

void Document::noteDiskContents(const QByteArray &bytes)
{
    _diskDigest = digestOf(bytes);
    _diskDiffers = false;
    if (!_watcher) {
        _watcher = std::make_unique<QFileSystemWatcher>();
        connect(_watcher.get(), &QFileSystemWatcher::fileChanged, &_diskCheck, qOverload<>(&QTimer::start));
        connect(_watcher.get(), &QFileSystemWatcher::directoryChanged, &_diskCheck, qOverload<>(&QTimer::start));
    }
    if (const QStringList watched = _watcher->files() + _watcher->directories(); !watched.isEmpty())
        _watcher->removePaths(watched);
    // The folder too: a file renamed over ours is a new file the watcher has not seen.
    _watcher->addPaths({_filePath, QFileInfo(_filePath).absolutePath()});
}

void Document::checkDisk()
{
    if (_filePath.isEmpty() || !_watcher || _reloading)
        return;
    QFile file(_filePath);
    if (!file.open(QIODevice::ReadOnly)) {
        if (!_diskDiffers && !file.exists()) {
            _diskDiffers = true;
            // Closing now asks to save: the window holds the only copy.
            updateChangeCount(ChangeDone);
            say(tr("“%1” was removed or renamed by another program.").arg(displayName()));
        }
        return;
    }
    if (!_watcher->files().contains(_filePath))
        _watcher->addPath(_filePath);
    const QByteArray digest = digestOf(file.readAll());
    if (digest == _diskDigest)
        return;
    _diskDigest = digest;
    if (isDocumentEdited() && !Prompts::askReload(_window.get(), displayName())) {
        _diskDiffers = true;
        return;
    }
    reloadFromDisk();
}

void Document::reloadFromDisk()
{
    QString error;
    _reloading = true;
    const bool read = readFromPath(_filePath, &error);
    _reloading = false;
    if (!read) {
        _diskDiffers = true;
        say(tr("“%1” was changed by another program and cannot be read: %2").arg(displayName(), error));
        return;
    }
    updateChangeCount(ChangeCleared);
    say(tr("“%1” was changed by another program and has been read again.").arg(displayName()));
}

void Document::say(const QString &message) const
{
    if (_window)
        _window->statusBar()->showMessage(message, 15000);
}

void Document::setFilePath(const QString &path)
{
    const QString absolute = QFileInfo(path).absoluteFilePath();
    if (absolute == _filePath)
        return;
    _filePath = absolute;
    updateTitle();
    emit filePathChanged(_filePath);
}

void Document::updateTitle()
{
    if (!_window)
        return;
    _window->setWindowTitle(displayName() + QStringLiteral("[*]"));
    _window->setWindowFilePath(_filePath);
    _window->setWindowModified(isDocumentEdited());
}

} // namespace attractor
