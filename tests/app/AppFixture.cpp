#include "AppFixture.h"

#include "app/DocumentController.h"
#include "app/DocumentWindow.h"
#include "app/MyDocument.h"
#include "renderer/MyOpenGLView.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFile>
#include <QSettings>
#include <QWidget>
#include <QWindow>

namespace attractor {

QStringList AppFixture::logLines() const
{
    return _log ? _log->lines() : QStringList();
}

void AppFixture::SetUp()
{
    _log = std::make_unique<LogCapture>();
    ASSERT_TRUE(_dir.isValid());
    QSettings().clear();
    Prompts::Handlers handlers;
    handlers.askToSave = [this](QWidget *, const QString &name) {
        _asked << name;
        if (_saveAnswers.empty()) {
            ADD_FAILURE() << "unexpected save question about " << name.toStdString();
            return Prompts::SaveAnswer::Cancel;
        }
        const Prompts::SaveAnswer answer = _saveAnswers.front();
        _saveAnswers.pop_front();
        return answer;
    };
    handlers.savePath = [this](QWidget *, const QString &proposed) {
        _proposedPaths << proposed;
        if (_savePaths.empty())
            return QString();
        const QString chosen = _savePaths.front();
        _savePaths.pop_front();
        return chosen;
    };
    handlers.openPaths = [](QWidget *) { return QStringList(); };
    handlers.confirmRevert = [](QWidget *, const QString &) { return true; };
    handlers.showError = [this](QWidget *, const QString &, const QString &message) { _errors << message; };
    handlers.print = [this](QWidget *parent, QPrinter &) {
        ++_printAsked;
        auto *view = parent ? parent->findChild<MyOpenGLView *>() : nullptr;
        _printingWhenAsked = view && view->printing();
        return _printAnswer;
    };
    handlers.pageSetup = [](QWidget *, QPrinter &) {};
    Prompts::install(handlers);
    _controller = std::make_unique<DocumentController>([] { return std::make_unique<MyDocument>(); });
}

void AppFixture::TearDown()
{
    _controller.reset();
    settle();
    Prompts::install(Prompts::defaults());
    _log.reset();
}

MyDocument *AppFixture::newDocument()
{
    return qobject_cast<MyDocument *>(_controller->newDocument());
}

MyDocument *AppFixture::open(const QString &pathName)
{
    return qobject_cast<MyDocument *>(_controller->openDocument(pathName));
}

int AppFixture::documentCount() const
{
    return static_cast<int>(_controller->documents().size());
}

QString AppFixture::shownTitle(const MyDocument *document)
{
    QWindow *handle = document->window()->windowHandle();
    return handle ? handle->title() : QString();
}

QString AppFixture::path(const QString &name) const
{
    return _dir.filePath(name);
}

void AppFixture::writeFile(const QString &name, const QByteArray &bytes) const
{
    QFile file(path(name));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

QByteArray AppFixture::readFile(const QString &pathName) const
{
    QFile file(pathName);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

void AppFixture::settle()
{
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace attractor
