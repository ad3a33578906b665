#include "GlViewTestSupport.h"
#include "support/FileSizeLimit.h"
#include "support/LogCapture.h"

#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

using namespace attractor;
using namespace attractor::test;

namespace {

QByteArray contentsOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

// A write the disk cuts short must not replace the old picture with the part
// that made it, and the user is told which file failed.
TEST(GlViewExportFailure, ShortWriteKeepsTheOldFileAndSaysWhy)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    FracPtr fractal = QvFrac::defaultFractal();
    auto view = shownView({400, 400}, fractal);

    // Larger than the file's write buffer, so the image goes out in one write
    // that the limit below cuts short rather than in a flush that fails.
    const QString full = dir.filePath(QStringLiteral("full.jpg"));
    view->exportPanelDidEnd(1, full, QStringLiteral("JPG"));
    ASSERT_GT(QFileInfo(full).size(), 32 * 1024);

    const QString target = dir.filePath(QStringLiteral("fern.jpg"));
    const QByteArray old("the previous picture");
    {
        QFile file(target);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(old);
    }
    LogCapture log;
    {
        const FileSizeLimit limit(16 * 1024);
        view->exportPanelDidEnd(1, target, QStringLiteral("JPG"));
    }
    EXPECT_EQ(contentsOf(target), old);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 2) << "a temporary file was left behind";
    ASSERT_EQ(log.lines().size(), 1);
    EXPECT_TRUE(log.lines().front().startsWith(QStringLiteral("Export failed; could not write ")));
    EXPECT_TRUE(log.lines().front().contains(QStringLiteral("fern.jpg")));
}

// The high-resolution export writes from its worker thread; a failure there
// reaches the user too.
TEST(GlViewExportFailure, HiResExportToAMissingFolderSaysWhy)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    FracPtr fractal = QvFrac::defaultFractal();
    fractal->setIterations(5000);
    auto view = shownView({180, 140}, fractal);
    const QString target = dir.filePath(QStringLiteral("missing-folder/out.png"));
    view->exportSaveLocationDidEnd(1, target, QStringLiteral("PNG"));
    LogCapture log;
    view->startExport();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !view->exporting() && !view->exportOptionsWindow()->isVisible(); },
                                60000));
    EXPECT_FALSE(QFile::exists(target));
    const QStringList failures = log.lines().filter(QStringLiteral("Export failed"));
    ASSERT_EQ(failures.size(), 1) << log.lines().join(u'\n').toStdString();
    EXPECT_TRUE(failures.front().startsWith(QStringLiteral("Export failed; could not write ")));
    EXPECT_TRUE(failures.front().contains(QStringLiteral("out.png")));
}
