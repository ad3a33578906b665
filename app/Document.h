#pragma once

#include <QImage>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QUndoStack>
#include <QString>

#include <memory>

class QByteArray;
class QFileSystemWatcher;
class QUndoStack;

namespace attractor {

class DocumentController;
class DocumentWindow;

// One open document and its one window: file path, display name, edited
// state, saving, reverting and closing. Subclasses read and write the bytes
// and fill the window.
class Document : public QObject
{
    Q_OBJECT

public:
    enum ChangeKind { ChangeDone, ChangeUndone, ChangeCleared };

    explicit Document(QObject *parent = nullptr);
    ~Document() override;

    QString filePath() const { return _filePath; }
    // The file name, or "Untitled" (numbered after the first) before a first save.
    QString displayName() const;
    void setUntitledNumber(int number);

    // Edited when changes were counted or the undo stack is away from its clean (saved) state.
    bool isDocumentEdited() const;
    void updateChangeCount(ChangeKind kind);
    // Every edit of the document as an undoable step; saving marks the clean
    // state. The subclass's content owns it.
    QUndoStack *undoStack() const { return _undoStack; }

    DocumentController *controller() const { return _controller; }
    void setController(DocumentController *controller) { _controller = controller; }

    DocumentWindow *window() const { return _window.get(); }
    // Loads the window and hands the content to it. Whatever the loading
    // reports as changes, the document then counts as unedited.
    void makeWindow();
    void showWindow();

    // Reads the file; on failure error says why and the document is unchanged.
    bool readFromPath(const QString &path, QString *error);
    // Writes atomically: the file on disk is whole, old or new, whatever happens.
    bool writeToPath(const QString &path, QString *error) const;
    // The bytes a save would write now; null, with the reason, when there are none.
    QByteArray contents(QString *error) const;
    // Takes the content of a recovery copy as the document's unsaved edits,
    // under the file it came from (none: untitled). False, with the reason,
    // when the bytes are no document.
    bool recover(const QByteArray &data, const QString &originalPath, QString *error);

    // Asks to save when edited; false when the user cancels or saving fails.
    bool shouldClose();
    // Closes the window; asks first when edited. False when it stays open.
    bool close();
    // Closes after the caller has already settled what happens to the edits.
    void closeWithoutAsking();

    // A small picture of the content, side pixels square; null when there is none.
    virtual QImage picture(int side) const
    {
        Q_UNUSED(side);
        return {};
    }

    // Looks at the file on disk now rather than when the watcher says so.
    void checkDisk();

    // The error reports name the document; for tests and for the dialogs.
    static QString saveErrorMessage(const QString &path, const QString &reason);

public slots:
    bool save();
    bool saveAs();
    bool revert();

signals:
    void editedChanged(bool edited);
    void filePathChanged(const QString &path);
    // Any edit, undo or redo: the content may differ from a moment ago.
    void contentChanged();
    void saved(const QString &path);
    // The window has closed; the document is about to go.
    void closed(Document *document);

protected:
    virtual bool readFromData(const QByteArray &data, const QString &typeName, QString *error) = 0;
    virtual QByteArray dataOfType(const QString &typeName, QString *error) const = 0;
    // The window exists; fill it and hand the content over.
    virtual void windowControllerDidLoadNib(DocumentWindow *window) = 0;
    // Work of this document that closing would cut short (an export), and
    // how to stop it without waiting for it.
    virtual bool hasRunningExport() const { return false; }
    virtual void stopExport() {}
    // False when Save must ask for a new name (the file is in a format we do not write).
    virtual bool savesInPlace() const { return true; }
    virtual QString proposedSavePath() const;
    virtual void didSave() {}
    // The stack whose clean state the edited state follows.
    void setUndoStack(QUndoStack *stack);
    // Destroys the window early, while the subclass's members are still alive.
    void destroyWindow();
    // True while the file is read again after another program changed it:
    // what only this window shows (its view) stays as it is.
    bool isReloading() const { return _reloading; }

    static const QString kTypeName;

private:
    friend class DocumentWindow;
    void windowDidClose();
    bool saveToPath(const QString &path);
    void setFilePath(const QString &path);
    void updateTitle();
    void showEditedState();
    // The file's bytes as this document last read or wrote them; watched from now.
    void noteDiskContents(const QByteArray &bytes);
    void reloadFromDisk();
    // Says something about the file in the window's status line.
    void say(const QString &message) const;

    QString _filePath;
    int _untitledNumber = 1;
    int _changeCount = 0;
    QPointer<QUndoStack> _undoStack;
    bool _shownEdited = false;
    bool _closing = false;
    bool _reloading = false;
    // Another program changed or removed the file and the user kept this version.
    bool _diskDiffers = false;
    QByteArray _diskDigest;
    std::unique_ptr<QFileSystemWatcher> _watcher;
    // Renaming over the file shows as a removal and a new file: look once things settle.
    QTimer _diskCheck;
    DocumentController *_controller = nullptr;
    std::unique_ptr<DocumentWindow> _window;
};

} // namespace attractor
