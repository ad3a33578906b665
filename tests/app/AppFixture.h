#pragma once

#include "app/DocumentController.h"
#include "app/DocumentWindow.h"
#include "app/MyDocument.h"
#include "app/Prompts.h"
#include "widgets/Beep.h"
#include "editor/QvIFSView.h"
#include "canvas/MyOpenGLView.h"
#include "support/Files.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QCoreApplication>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QWindow>

#include <memory>

namespace attractor {

using SaveAnswer = Prompts::SaveAnswer;
// Any reader accepts it; its count lies below the iteration slider's range.
inline const QByteArray kSmallDoc = "{\"n\": 50, \"transforms\": [{\"sx\": 0.5, \"sy\": 0.5, \"p\": 1}]}";

// The document window's action with this shortcut.
inline QAction *action(MyDocument *d, const QKeySequence &keys)
{
    for (QAction *a : d->window()->actions())
        if (a->shortcuts().contains(keys))
            return a;
    ADD_FAILURE() << "no action for " << keys.toString().toStdString();
    return nullptr;
}
inline void trigger(MyDocument *d, const char *keys) { action(d, QKeySequence(QLatin1String(keys)))->trigger(); }

// A document controller whose dialogs the test answers from the fields below,
// recording what was asked, every error report and every beep.
class AppFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(_dir.isValid());
        QSettings().clear();
        Prompts::Handlers h;
        h.askToSave = [this](QWidget *, const QString &name) {
            _asked << name;
            EXPECT_FALSE(_saveAnswers.isEmpty()) << "unexpected save question about " << name.toStdString();
            return _saveAnswers.isEmpty() ? SaveAnswer::Cancel : _saveAnswers.takeFirst();
        };
        h.savePath = [this](QWidget *, const QString &proposed) {
            _proposedPaths << proposed;
            return _savePaths.empty() ? QString() : _savePaths.takeFirst();
        };
        h.confirmRevert = [this](QWidget *, const QString &) { return ++_revertAsked, _revertAnswer; };
        h.confirmStopExport = [this](QWidget *, const QString &name) { return _stopAsked << name, _stopAnswer; };
        h.showError = [this](QWidget *, const QString &, const QString &message) { _errors << message; };
        h.print = [this](QWidget *, QPrinter &) { return ++_printAsked, _printAnswer; };
        h.askReload = [this](QWidget *, const QString &name) { return _reloadAsked << name, _reloadAnswer; };
        h.confirmOverwrite = [this](QWidget *, const QString &name) { return _overwriteAsked << name, _overwriteAnswer; };
        h.chooseRecovery = [](QWidget *, const QList<Prompts::RecoveryItem> &) { return Prompts::RecoveryAnswer(); };
        Prompts::install(h);
        setBeepHandler([this] { ++_beeps; });
        _controller = std::make_unique<DocumentController>([] { return std::make_unique<MyDocument>(); });
    }
    void TearDown() override
    {
        _controller.reset();
        settle();
        Prompts::install(Prompts::defaults());
        setBeepHandler({});
    }

    MyDocument *newDocument() { return qobject_cast<MyDocument *>(_controller->newDocument()); }
    MyDocument *open(const QString &name) { return qobject_cast<MyDocument *>(_controller->openDocument(path(name))); }
    int documentCount() const { return int(_controller->documents().size()); }
    // The title as the window system shows it, edited mark included.
    static QString shownTitle(const MyDocument *d) { return d->window()->windowHandle()->title(); }
    static bool sharedByCanvases(const MyDocument *d) { return d->ifsView()->fractal() == d->fractal() && d->fractalView()->fractal() == d->fractal(); }
    QString path(const QString &name) const { return name.startsWith(u'/') ? name : _dir.filePath(name); }
    void writeFile(const QString &name, const QByteArray &bytes) const { test::writeFile(path(name), bytes); }
    QByteArray readFile(const QString &name) const { return test::readFile(path(name)); }
    // Lets deferred deletes and queued calls run.
    static void settle() { QCoreApplication::processEvents(), QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

    QTemporaryDir _dir;
    std::unique_ptr<DocumentController> _controller;
    QList<SaveAnswer> _saveAnswers;
    QStringList _savePaths, _asked, _errors, _proposedPaths, _stopAsked, _reloadAsked, _overwriteAsked;
    bool _revertAnswer = true, _stopAnswer = true, _printAnswer = true, _reloadAnswer = true, _overwriteAnswer = true;
    int _revertAsked = 0, _beeps = 0, _printAsked = 0;
};

} // namespace attractor
