#include "app/Prompts.h"
#include "canvas/GlViewSupport.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>

#include <sys/inotify.h>
#include <unistd.h>

namespace attractor {
namespace {

// A folder with a document, a file whose name says nothing of its type (the
// kind Qt would open to guess) and a subfolder holding more, watched for any
// file opened in it: listing a folder opens only the folder.
class WatchedFolder
{
public:
    WatchedFolder()
        : _inotify(inotify_init1(IN_NONBLOCK | IN_CLOEXEC))
    {
        EXPECT_TRUE(_dir.isValid() && QDir(_dir.path()).mkdir(QStringLiteral("inner")));
        for (const char *name : {"a.frac", "notes", "inner/deep"}) {
            QFile file(path(name));
            EXPECT_TRUE(file.open(QIODevice::WriteOnly) && file.write("{ 'n': 10 }\n") > 0);
        }
        for (const char *folder : {".", "inner"})
            EXPECT_GE(inotify_add_watch(_inotify, QFile::encodeName(path(folder)).constData(), IN_OPEN), 0);
    }
    ~WatchedFolder() { ::close(_inotify); }
    QString path(const char *name) const { return QDir::cleanPath(_dir.filePath(QString::fromLatin1(name))); }
    // The files opened since the watch began.
    QStringList opened() const
    {
        QStringList names;
        alignas(inotify_event) char buffer[4096];
        for (ssize_t size; (size = ::read(_inotify, buffer, sizeof buffer)) > 0;) {
            for (char *p = buffer; p < buffer + size; p += sizeof(inotify_event) + reinterpret_cast<inotify_event *>(p)->len) {
                const auto *event = reinterpret_cast<const inotify_event *>(p);
                if (!(event->mask & IN_ISDIR) && event->len > 0)
                    names << QFile::decodeName(event->name);
            }
        }
        return names;
    }

private:
    QTemporaryDir _dir;
    int _inotify;
};

// Browses as a user would: into the folder with every file shown where the
// dialog offers that, then into the subfolder, each listing to its end.
void browse(QFileDialog *dialog, const WatchedFolder &folder)
{
    ASSERT_NE(dialog, nullptr);
    auto *model = dialog->findChild<QFileSystemModel *>();
    ASSERT_NE(model, nullptr) << "not a dialog drawn by Qt";
    const auto typed = [model](const QString &path) {
        return QTest::qWaitFor([&] { return !model->type(model->index(path)).isEmpty(); }, 20000);
    };
    dialog->setDirectory(folder.path("."));
    EXPECT_TRUE(typed(folder.path("inner")));
    const QString allFiles = dialog->nameFilters().filter(QStringLiteral("(*)")).value(0);
    if (!allFiles.isEmpty())
        dialog->selectNameFilter(allFiles);
    EXPECT_TRUE(typed(folder.path("notes")) && typed(folder.path("a.frac")));
    dialog->setDirectory(folder.path("inner"));
    EXPECT_TRUE(typed(folder.path("inner/deep")));
    QTest::qWait(300); // time for any late icon or type look-up
}

// Open, Save and the export panel list folders without reading a file to
// guess its type: in /proc or beside a FIFO such a read never returns.
TEST(FileChoosers, ListFoldersWithoutOpeningAFile)
{
    const WatchedFolder folder;
    for (const auto &ask : std::initializer_list<std::function<void()>>{
             [] { EXPECT_TRUE(Prompts::openPaths(nullptr).isEmpty()); },
             [&] { EXPECT_TRUE(Prompts::savePath(nullptr, folder.path("Untitled.frac")).isEmpty()); }}) {
        QTimer::singleShot(0, qApp, [&] {
            QFileDialog *dialog = nullptr;
            EXPECT_TRUE(QTest::qWaitFor([&] { return (dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget())); }, 10000));
            browse(dialog, folder);
            if (dialog)
                dialog->reject();
        });
        ask();
    }
    FracPtr fractal = QvFrac::defaultFractal();
    fractal->setIterations(1000);
    auto view = test::shownView({120, 120}, fractal);
    view->exportToJPG();
    auto *dialog = view->window()->findChild<QFileDialog *>();
    browse(dialog, folder);
    if (dialog)
        dialog->reject();
    const QStringList opened = folder.opened();
    EXPECT_TRUE(opened.isEmpty()) << "opened: " << opened.join(QStringLiteral(", ")).toStdString();
}

} // namespace
} // namespace attractor
