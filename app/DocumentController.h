#pragma once

#include <QList>
#include <QObject>
#include <QStringList>

#include <functional>
#include <memory>

class QMenu;
class QWidget;

namespace attractor {

class Document;
class RecoveryStore;

// Keeps the open documents: new, open (also recent files and dropped files),
// and quitting, which asks to save each edited document.
class DocumentController : public QObject
{
    Q_OBJECT

public:
    using Factory = std::function<std::unique_ptr<Document>()>;

    explicit DocumentController(Factory factory, QObject *parent = nullptr);
    ~DocumentController() override;

    QList<Document *> documents() const { return _documents; }
    Document *documentForPath(const QString &path) const;

    // Opens each file; files that cannot be read are reported one by one and
    // leave the others and everything already open alone.
    QList<Document *> openDocuments(const QStringList &paths);
    // The files named when the program starts, each failure reported; an
    // Untitled document only when none was named. False when nothing is
    // open afterwards (the program then has nothing to show and ends).
    bool openAtLaunch(const QStringList &paths);
    // The document of path, or none; an error dialog names the file and the reason.
    Document *openDocument(const QString &path);
    // A new untitled document whose content fill sets before its window
    // opens. Content from elsewhere (an import, an example) is saved nowhere
    // yet: the document counts as edited, so closing it asks to save it.
    Document *newUntitledDocument(const std::function<void(Document &)> &fill);

    // Copies of edited documents go to store (it outlives the controller).
    void setRecoveryStore(RecoveryStore *store) { _recovery = store; }
    RecoveryStore *recoveryStore() const { return _recovery; }
    // Offers the copies that no running instance owns; the recovered
    // documents open under their own file names, edited.
    QList<Document *> recoverDocuments();

    QStringList recentFiles() const;
    void noteRecentFile(const QString &path);
    // Fills menu with the recent files (rebuilt each time it opens).
    void attachRecentMenu(QMenu *menu);

    // Asks about each edited document in turn; closes them all unless the
    // user cancels (then nothing more is closed). True when all are closed.
    bool closeAll();

    static constexpr int kMaxRecentFiles = 10;

public slots:
    Document *newDocument();
    void openWithDialog(QWidget *parent = nullptr);
    void clearRecentFiles();
    void quit();

signals:
    void documentAdded(Document *document);
    void documentRemoved(Document *document);
    void recentFilesChanged();

private:
    void adopt(Document *document);
    void documentClosed(Document *document);
    int nextUntitledNumber() const;

    Factory _factory;
    RecoveryStore *_recovery = nullptr;
    QList<Document *> _documents;
};

} // namespace attractor
