#include "app/Prompts.h"
#include "canvas/GlViewSupport.h"
#include "support/OpenWatch.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <sys/stat.h>

namespace attractor {
namespace {

using namespace std::chrono_literals;

// A folder as a user may come upon one: documents and a file without a known
// extension, FIFOs (a reader would wait for a writer for ever) and a
// subfolder holding more of each.
class Folder
{
public:
    Folder()
    {
        EXPECT_TRUE(_dir.isValid());
        EXPECT_TRUE(QDir(_dir.path()).mkdir(QStringLiteral("inner")));
        for (const char *name : {"a.frac", "notes", "inner/deep.frac", "inner/deep"})
            write(name);
        for (const char *name : {"pipe", "pipe.frac", "inner/deep pipe"}) {
            const QString fifo = path(name);
            EXPECT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0) << name;
            fifos << fifo;
        }
    }
    QString path(const char *name) const { return _dir.filePath(QString::fromLatin1(name)); }
    QStringList folders() const { return {_dir.path(), path("inner")}; }
    QStringList fifos;

private:
    void write(const char *name) const
    {
        QFile file(path(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly) && file.write("{ 'n': 10, 'transforms': [] }\n") > 0) << name;
    }
    QTemporaryDir _dir;
};

// Whether the dialog's model shows path with its type worked out.
bool typed(QFileSystemModel *model, const QString &path)
{
    const QModelIndex index = model->index(path);
    return index.isValid() && !model->type(index).isEmpty();
}

// Browses dialog as a user would: into the folder, with every file shown
// where the dialog offers that, then into the subfolder; each listing is
// waited for to its end.
void browse(QFileDialog *dialog, const Folder &folder)
{
    ASSERT_NE(dialog, nullptr);
    auto *model = dialog->findChild<QFileSystemModel *>();
    ASSERT_NE(model, nullptr) << "not a dialog drawn by Qt";
    QSignalSpy loaded(model, &QFileSystemModel::directoryLoaded);
    const auto loadedOr = [&](const char *name, auto shown) {
        const QString path = QDir::cleanPath(folder.path(name));
        return QTest::qWaitFor([&] {
            for (const QList<QVariant> &arguments : loaded) {
                if (QDir::cleanPath(arguments.at(0).toString()) == path)
                    return true;
            }
            return shown();
        }, 20000);
    };
    dialog->setDirectory(folder.path("."));
    // The folder may have been listed before the spy began: its subfolder shows then.
    EXPECT_TRUE(loadedOr(".", [&] { return typed(model, folder.path("inner")); }));
    const QString allFiles = dialog->nameFilters().filter(QStringLiteral("(*)")).value(0);
    if (!allFiles.isEmpty()) {
        dialog->selectNameFilter(allFiles);
        EXPECT_TRUE(QTest::qWaitFor([&] { return typed(model, folder.path("notes")) && typed(model, folder.path("a.frac")); }, 20000));
    }
    dialog->setDirectory(folder.path("inner"));
    EXPECT_TRUE(loadedOr("inner", [] { return false; }));
    // Time for any late icon or type look-up.
    QTest::qWait(300);
}

// Runs browse on the application-modal dialog that `ask` shows, then closes it.
template <class Ask>
void browseModal(const Folder &folder, Ask ask)
{
    bool browsed = false;
    QTimer::singleShot(0, qApp, [&] {
        QFileDialog *dialog = nullptr;
        EXPECT_TRUE(QTest::qWaitFor([&] { return (dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget())); }, 10000));
        browse(dialog, folder);
        browsed = true;
        if (dialog)
            dialog->reject();
    });
    ask();
    EXPECT_TRUE(browsed);
}

// Listing a folder never opens a file in it: no document is read to guess
// its type, and no FIFO is ever waited on.
TEST(FileChoosers, OpenAndSaveListFoldersWithoutOpeningAFile)
{
    const Folder folder;
    QStringList opened = {QStringLiteral("not asked")};
    QString saved = QStringLiteral("not asked");
    {
        const OpenWatch watch(folder.folders(), folder.fifos, 120s);
        ASSERT_TRUE(watch.watching());
        browseModal(folder, [&] { opened = Prompts::openPaths(nullptr); });
        browseModal(folder, [&] { saved = Prompts::savePath(nullptr, folder.path("Untitled.frac")); });
        EXPECT_TRUE(watch.opened().isEmpty()) << "opened: " << watch.opened().join(QStringLiteral(", ")).toStdString();
    }
    EXPECT_EQ(opened, QStringList()) << "cancelled";
    EXPECT_EQ(saved, QString()) << "cancelled";
}

TEST(FileChoosers, ExportSavePanelListsFoldersWithoutOpeningAFile)
{
    const Folder folder;
    FracPtr fractal = QvFrac::defaultFractal();
    fractal->setIterations(1000);
    auto view = test::shownView({120, 120}, fractal);
    const OpenWatch watch(folder.folders(), folder.fifos, 120s);
    ASSERT_TRUE(watch.watching());
    view->exportToJPG();
    auto *dialog = view->window()->findChild<QFileDialog *>();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(QTest::qWaitForWindowExposed(dialog));
    browse(dialog, folder);
    dialog->reject();
    EXPECT_TRUE(watch.opened().isEmpty()) << "opened: " << watch.opened().join(QStringLiteral(", ")).toStdString();
}

} // namespace
} // namespace attractor
