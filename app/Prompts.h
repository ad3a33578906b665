#pragma once

#include <QDateTime>
#include <QImage>
#include <QList>
#include <QStringList>

#include <functional>

class QPrinter;
class QWidget;

namespace attractor {

// Every question the document framework puts to the user goes through here,
// so that tests answer them without a dialog. The defaults show Qt dialogs.
class Prompts
{
public:
    enum class SaveAnswer { Save, Discard, Cancel };

    // A document copy left by an instance that ended without closing it.
    struct RecoveryItem {
        QString name;     // the file's name, or "Untitled"
        QDateTime changed;
        QImage picture;
        QString error;    // why it cannot be recovered; empty when it can
    };
    enum class RecoveryAction { Recover, Discard, Later };
    struct RecoveryAnswer {
        RecoveryAction action = RecoveryAction::Later;
        QList<int> chosen; // the items the action applies to
    };

    struct Handlers {
        // Whether to save the edited document displayName before it closes.
        std::function<SaveAnswer(QWidget *parent, const QString &displayName)> askToSave;
        // A path to save to, proposing proposedPath; empty when cancelled.
        std::function<QString(QWidget *parent, const QString &proposedPath)> savePath;
        // Files to open; empty when cancelled.
        std::function<QStringList(QWidget *parent)> openPaths;
        // Whether to throw away the edits of displayName and read its file again.
        std::function<bool(QWidget *parent, const QString &displayName)> confirmRevert;
        std::function<void(QWidget *parent, const QString &title, const QString &message)> showError;
        // Whether to stop the running export of displayName so that it can close.
        std::function<bool(QWidget *parent, const QString &displayName)> confirmStopExport;
        // Runs the print dialog on printer; true when the user chose to print.
        std::function<bool(QWidget *parent, QPrinter &printer)> print;
        // Runs the page setup dialog on printer.
        std::function<void(QWidget *parent, QPrinter &printer)> pageSetup;
        // Whether to read displayName again, changed by another program, and lose the edits (else keep them).
        std::function<bool(QWidget *parent, const QString &displayName)> askReload;
        // Whether to save over displayName, which another program changed since it was read.
        std::function<bool(QWidget *parent, const QString &displayName)> confirmOverwrite;
        // What to do with the copies found at start.
        std::function<RecoveryAnswer(QWidget *parent, const QList<RecoveryItem> &items)> chooseRecovery;
    };

    static SaveAnswer askToSave(QWidget *parent, const QString &displayName);
    static QString savePath(QWidget *parent, const QString &proposedPath);
    static QStringList openPaths(QWidget *parent);
    static bool confirmRevert(QWidget *parent, const QString &displayName);
    static void showError(QWidget *parent, const QString &title, const QString &message);
    static bool confirmStopExport(QWidget *parent, const QString &displayName);
    static bool print(QWidget *parent, QPrinter &printer);
    static void pageSetup(QWidget *parent, QPrinter &printer);
    static bool askReload(QWidget *parent, const QString &displayName);
    static bool confirmOverwrite(QWidget *parent, const QString &displayName);
    static RecoveryAnswer chooseRecovery(QWidget *parent, const QList<RecoveryItem> &items);

    // Replaces the handlers that are set in handlers; the others stay.
    static void install(const Handlers &handlers);
    static Handlers defaults();

    static const QString kDocumentFilter;
};

} // namespace attractor
