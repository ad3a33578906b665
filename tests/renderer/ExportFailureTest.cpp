#include "GlViewTestSupport.h"

#include "renderer/ExportWorkflow.h"

#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>

using namespace attractor;
using namespace attractor::test;

namespace {

// Answers the save panel, the replace question and the error report as told,
// and records what was asked.
struct Answers {
    Answers(QString path, bool replace)
    {
        MyOpenGLView::setSavePanelRunner([path](MyOpenGLView &, const auto &, const auto &done) { done(1, path); });
        ExportWorkflow::setReplaceQuestion([this, replace](QWidget *, const QString &asked) {
            replaceAsked << asked;
            return replace;
        });
        ExportWorkflow::setErrorReport([this](QWidget *, const QString &message) { errors << message; });
    }
    ~Answers()
    {
        MyOpenGLView::setSavePanelRunner({});
        ExportWorkflow::setReplaceQuestion({});
        ExportWorkflow::setErrorReport({});
    }
    QStringList replaceAsked;
    QStringList errors;
};

QStringList filesIn(const QTemporaryDir &dir)
{
    return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
}

void setSheet(MyOpenGLView &view, const char *width, const char *height, const char *iterations)
{
    QDialog *sheet = view.exportOptionsWindow();
    sheet->findChild<QLineEdit *>(QStringLiteral("widthBox"))->setText(QString::fromLatin1(width));
    sheet->findChild<QLineEdit *>(QStringLiteral("heightBox"))->setText(QString::fromLatin1(height));
    sheet->findChild<QLineEdit *>(QStringLiteral("itersBox"))->setText(QString::fromLatin1(iterations));
}

} // namespace

class ExportFailure : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        fractal = QvFrac::defaultFractal();
        fractal->setIterations(20000);
        view = shownView({120, 100}, fractal);
    }
    QString path(const char *name) const { return dir.filePath(QString::fromLatin1(name)); }

    QTemporaryDir dir;
    FracPtr fractal;
    std::unique_ptr<MyOpenGLView> view;
};

TEST(ExportExtension, IsAlwaysTheFormats)
{
    struct Row {
        const char *path;
        const char *suffix;
        const char *written;
    };
    for (const Row &r : {Row{"/d/pic.png", "jpg", "/d/pic.jpg"}, Row{"/d/pic.JPEG", "jpg", "/d/pic.JPEG"},
                         Row{"/d/pic.jpg", "png", "/d/pic.png"}, Row{"/d/my.fern", "png", "/d/my.fern.png"},
                         Row{"/d/pic", "jpg", "/d/pic.jpg"}, Row{"/d/.png", "jpg", "/d/.png.jpg"}}) {
        EXPECT_EQ(ExportWorkflow::pathWithExtension(QString::fromLatin1(r.path), QString::fromLatin1(r.suffix)),
                  QString::fromLatin1(r.written))
            << r.path;
    }
}

TEST_F(ExportFailure, QuickExportWritesTheFormatsNameAndAsksAboutReplacingThatName)
{
    const QByteArray old("previous");
    for (bool replace : {false, true}) {
        QFile existing(path("pic.jpg"));
        ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
        existing.write(old);
        existing.close();
        Answers answers(path("pic.png"), replace);
        view->exportToJPG();
        EXPECT_EQ(answers.replaceAsked, QStringList{path("pic.jpg")});
        EXPECT_FALSE(QFile::exists(path("pic.png")));
        EXPECT_EQ(QImageReader(path("pic.jpg")).format(), replace ? QByteArray("jpeg") : QByteArray()) << replace;
        EXPECT_TRUE(answers.errors.isEmpty());
    }
}

TEST_F(ExportFailure, QuickExportThatCannotWriteSaysWhereAndWhy)
{
    const QString target = path("missing-folder/out.jpg");
    Answers answers(target, true);
    view->exportToJPG();
    ASSERT_EQ(answers.errors.size(), 1);
    EXPECT_TRUE(answers.errors[0].startsWith(QStringLiteral("Cannot export: could not write ")));
    EXPECT_TRUE(answers.errors[0].contains(QDir::toNativeSeparators(target)));
    EXPECT_TRUE(filesIn(dir).isEmpty());
}

TEST_F(ExportFailure, HiResExportThatCannotWriteKeepsTheSheetOpenWithTheReason)
{
    const QString target = path("missing-folder/out.png");
    Answers answers(target, true);
    QStringList statuses;
    QObject::connect(view.get(), &MyOpenGLView::exportStatusChanged, [&](const QString &s) { statuses << s; });
    view->exportToHiRes();
    setSheet(*view, "40", "30", "5000");
    view->startExport();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !view->exporting(); }, 60000));
    QDialog *sheet = view->exportOptionsWindow();
    const QString shown = sheet->findChild<QLabel *>(QStringLiteral("progressText"))->text();
    EXPECT_TRUE(shown.startsWith(QStringLiteral("Cannot export: could not write "))) << shown.toStdString();
    EXPECT_TRUE(shown.contains(QDir::toNativeSeparators(target)));
    EXPECT_FALSE(statuses.contains(QStringLiteral("Done.")));
    EXPECT_TRUE(sheet->isVisible());
    EXPECT_TRUE(sheet->findChild<QPushButton *>(QStringLiteral("exportButton"))->isEnabled());
    EXPECT_TRUE(filesIn(dir).isEmpty());
    view->cancelExport();
    EXPECT_FALSE(sheet->isVisible());
}

TEST_F(ExportFailure, ClosingTheCanvasWhileItEncodesNeitherWaitsNorWrites)
{
    Answers answers(path("big.png"), true);
    bool writing = false;
    QObject::connect(view.get(), &MyOpenGLView::exportStatusChanged,
                     [&](const QString &s) { writing = writing || s == QStringLiteral("Writing image file..."); });
    view->exportToHiRes();
    // Few points on a large picture: nearly all the time goes to encoding.
    setSheet(*view, "5000", "5000", "1000");
    view->startExport();
    ASSERT_TRUE(QTest::qWaitFor([&] { return writing; }, 60000));
    QElapsedTimer timer;
    timer.start();
    view.reset();
    // Encoding this picture takes seconds; tearing down the canvas alone does not.
    EXPECT_LT(timer.elapsed(), 1000);
    QTest::qWait(3000);
    EXPECT_TRUE(filesIn(dir).isEmpty()) << filesIn(dir).join(u' ').toStdString();
}
