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
