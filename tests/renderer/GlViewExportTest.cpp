#include "GlViewTestSupport.h"
#include "support/LogCapture.h"

#include <QDialog>
#include <QFile>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <functional>

using namespace attractor;
using namespace attractor::test;

namespace {

// Answers every save panel with a fixed return code and path.
class PanelAnswer
{
public:
    PanelAnswer(int returnCode, QString path)
    {
        MyOpenGLView::setSavePanelRunner([this, returnCode, path](MyOpenGLView &, const auto &request,
                                                                   const auto &done) {
            requests.push_back(request);
            done(returnCode, path);
        });
    }
    ~PanelAnswer() { MyOpenGLView::setSavePanelRunner({}); }
    std::vector<MyOpenGLView::SavePanelRequest> requests;
};

struct Sheet {
    QDialog *dialog;
    QLineEdit *width;
    QLineEdit *height;
    QLineEdit *iterations;
    QProgressBar *progress;
    QLabel *status;
    QPushButton *exportButton;
    QPushButton *cancelButton;
};

Sheet sheetOf(MyOpenGLView &view)
{
    QDialog *dialog = view.exportOptionsWindow();
    return {dialog,
            dialog->findChild<QLineEdit *>(QStringLiteral("widthBox")),
            dialog->findChild<QLineEdit *>(QStringLiteral("heightBox")),
            dialog->findChild<QLineEdit *>(QStringLiteral("itersBox")),
            dialog->findChild<QProgressBar *>(QStringLiteral("progressIndicator")),
            dialog->findChild<QLabel *>(QStringLiteral("progressText")),
            dialog->findChild<QPushButton *>(QStringLiteral("exportButton")),
            dialog->findChild<QPushButton *>(QStringLiteral("cancelButton"))};
}

bool waitForIdle(MyOpenGLView &view, const Sheet &sheet, int timeoutMs = 120000)
{
    return QTest::qWaitFor([&] { return !view.exporting() && !sheet.dialog->isVisible(); }, timeoutMs);
}

void expectIdle(MyOpenGLView &view)
{
    EXPECT_FALSE(view.exporting());
    EXPECT_FALSE(view.shouldCancel());
    EXPECT_TRUE(view.exportFileName().isEmpty());
}

} // namespace

class GlViewExport : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        fractal = QvFrac::defaultFractal();
        fractal->setIterations(60000);
        view = shownView({180, 140}, fractal);
        view->setDocumentDisplayName(QStringLiteral("Fern.frac"));
    }
    QString path(const char *name) const { return dir.filePath(QString::fromLatin1(name)); }

    QTemporaryDir dir;
    FracPtr fractal;
    std::unique_ptr<MyOpenGLView> view;
};

TEST_F(GlViewExport, QuickExportWritesAJpegOfTheCanvasSquareAndRedraws)
{
    const QString target = path("fern.jpg");
    PanelAnswer answer(1, target);
    PaintCounter paints(view.get());
    view->exportToJPG();
    ASSERT_EQ(answer.requests.size(), 1u);
    const MyOpenGLView::SavePanelRequest &request = answer.requests.front();
    EXPECT_EQ(request.nameFieldLabel, QStringLiteral("Export as:"));
    EXPECT_EQ(request.acceptLabel, QStringLiteral("Export to JPG"));
    EXPECT_EQ(request.suffix, QStringLiteral("jpg"));
    EXPECT_EQ(request.proposedName, QStringLiteral("Fern"));

    QImageReader reader(target);
    EXPECT_EQ(reader.format(), QByteArray("jpeg"));
    const QImage image = reader.read();
    EXPECT_EQ(image.size(), QSize(140, 140));
    EXPECT_FALSE(view->exporting());
    QTest::qWait(50);
    EXPECT_GE(paints.count, 1);
}

TEST_F(GlViewExport, QuickExportDrawsWithTheFractalsOwnCountAfterAHiResExport)
{
    // A small high-resolution export leaves its count behind.
    {
        PanelAnswer answer(1, path("small.png"));
        view->exportToHiRes();
        Sheet sheet = sheetOf(*view);
        sheet.width->setText(QStringLiteral("20"));
        sheet.height->setText(QStringLiteral("20"));
        sheet.iterations->setText(QStringLiteral("1001"));
        view->startExport();
        ASSERT_TRUE(waitForIdle(*view, sheet));
    }
    fractal->setIterations(200000);
    const QString target = path("dense.jpg");
    view->exportPanelDidEnd(1, target, QStringLiteral("JPG"));
    const QImage image = QImage(target).convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(image.size(), QSize(140, 140));
    int lit = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            lit += qGray(image.pixel(x, y)) > 40;
    EXPECT_GT(lit, 1500);
}

TEST_F(GlViewExport, QuickExportDismissedOrForeignWritesNothingAndRedraws)
{
    struct Case {
        int returnCode;
        QString context;
        bool logsFailure;
    };
    for (const Case &c : {Case{0, QStringLiteral("JPG"), false}, Case{1, QStringLiteral("PNG"), true},
                          Case{1, QString(), true}}) {
        const QString target = path("none.jpg");
        LogCapture log;
        PaintCounter paints(view.get());
        view->exportPanelDidEnd(c.returnCode, target, c.context);
        EXPECT_FALSE(QFile::exists(target)) << c.returnCode;
        EXPECT_EQ(log.lines().contains(QStringLiteral("Export failed; export type was not supported!")),
                  c.logsFailure);
        EXPECT_FALSE(view->exporting());
        QTest::qWait(50);
        EXPECT_GE(paints.count, 1);
    }
}

TEST_F(GlViewExport, QuickExportToAnUnwritablePlaceSaysWhy)
{
    const QString target = path("missing-folder/out.jpg");
    LogCapture log;
    view->exportPanelDidEnd(1, target, QStringLiteral("JPG"));
    EXPECT_FALSE(QFile::exists(target));
    ASSERT_EQ(log.lines().size(), 1);
    EXPECT_TRUE(log.lines().front().startsWith(QStringLiteral("Export failed; could not write ")));
    EXPECT_TRUE(log.lines().front().contains(QStringLiteral("out.jpg")));
}

TEST_F(GlViewExport, HiResExportWritesAPngOfTheChosenSizeThroughEveryStatus)
{
    const QString target = path("fern.png");
    PanelAnswer answer(1, target);
    view->exportToHiRes();
    ASSERT_EQ(answer.requests.size(), 1u);
    EXPECT_EQ(answer.requests.front().acceptLabel, QStringLiteral("Export Options..."));
    EXPECT_EQ(answer.requests.front().suffix, QStringLiteral("png"));
    EXPECT_EQ(answer.requests.front().nameFieldLabel, QStringLiteral("Export as:"));

    Sheet sheet = sheetOf(*view);
    ASSERT_TRUE(sheet.dialog->isVisible());
    EXPECT_EQ(view->exportFileName(), target);
    EXPECT_EQ(sheet.width->text(), QStringLiteral("1000"));
    EXPECT_EQ(sheet.height->text(), QStringLiteral("1000"));
    EXPECT_EQ(sheet.iterations->text(), QStringLiteral("60000"));
    EXPECT_EQ(sheet.progress->value(), 0);
    EXPECT_TRUE(sheet.status->text().isEmpty());
    EXPECT_TRUE(sheet.exportButton->isEnabled());
    EXPECT_TRUE(sheet.cancelButton->isEnabled());

    QStringList statuses;
    QList<int> progress;
    QObject::connect(view.get(), &MyOpenGLView::exportStatusChanged, [&](const QString &s) { statuses << s; });
    QObject::connect(view.get(), &MyOpenGLView::exportProgressChanged, [&](int p) { progress << p; });
    sheet.height->setText(QStringLiteral("500"));
    sheet.iterations->setText(QStringLiteral("300000"));
    QTest::mouseClick(sheet.exportButton, Qt::LeftButton);
    EXPECT_TRUE(view->exporting());
    EXPECT_FALSE(sheet.exportButton->isEnabled());
    EXPECT_EQ(view->iterations(), 300000);
    // Edits made while the worker draws do not reach it.
    fractal->transforms()->clear();
    ASSERT_TRUE(waitForIdle(*view, sheet));

    EXPECT_EQ(statuses, (QStringList{QStringLiteral("Drawing fractal..."), QStringLiteral("Writing image file..."),
                                     QStringLiteral("Done.")}));
    ASSERT_FALSE(progress.isEmpty());
    EXPECT_EQ(progress.back(), 100);
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
    EXPECT_GE(progress.size(), 90);
    expectIdle(*view);
    EXPECT_EQ(view->iterations(), 60000);

    QImageReader reader(target);
    EXPECT_EQ(reader.format(), QByteArray("png"));
    const QImage image = reader.read();
    EXPECT_EQ(image.size(), QSize(1000, 500));
    EXPECT_EQ(image.format(), QImage::Format_RGBA64);
    int lit = 0;
    for (int y = 0; y < image.height(); y += 2)
        for (int x = 0; x < image.width(); x += 2)
            lit += (image.pixel(x, y) & 0xffffff) != 0;
    EXPECT_GT(lit, 1000) << "drawn from the fractal as it was when Export was pressed";

    // Reopened: the size stays, the count follows the fractal.
    fractal->setIterations(12345);
    view->exportToHiRes();
    EXPECT_EQ(sheet.width->text(), QStringLiteral("1000"));
    EXPECT_EQ(sheet.height->text(), QStringLiteral("500"));
    EXPECT_EQ(sheet.iterations->text(), QStringLiteral("12345"));
    EXPECT_TRUE(sheet.status->text().isEmpty());
    EXPECT_EQ(sheet.progress->value(), 0);
    EXPECT_TRUE(sheet.exportButton->isEnabled());
    EXPECT_TRUE(sheet.cancelButton->isEnabled());
    view->cancelExport();
    expectIdle(*view);
}

TEST_F(GlViewExport, SaveSheetDismissedChangesNothing)
{
    PanelAnswer answer(0, QString());
    view->exportToHiRes();
    EXPECT_FALSE(view->exportOptionsWindow()->isVisible());
    expectIdle(*view);
}

TEST_F(GlViewExport, CancelBeforeExportClosesTheSheetWithoutAFile)
{
    for (bool viaEscape : {false, true}) {
        const QString target = path("never.png");
        PanelAnswer answer(1, target);
        view->exportToHiRes();
        Sheet sheet = sheetOf(*view);
        ASSERT_TRUE(sheet.dialog->isVisible());
        if (viaEscape)
            sheet.dialog->reject();
        else
            QTest::mouseClick(sheet.cancelButton, Qt::LeftButton);
        EXPECT_FALSE(sheet.dialog->isVisible());
        expectIdle(*view);
        QTest::qWait(50);
        EXPECT_FALSE(QFile::exists(target));
    }
}

TEST_F(GlViewExport, CancelWhileDrawingLeavesTheOldFileAndAllowsTheNextExport)
{
    const QString target = path("keep.png");
    {
        QFile old(target);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("previous content");
    }
    PanelAnswer answer(1, target);
    view->exportToHiRes();
    Sheet sheet = sheetOf(*view);
    sheet.width->setText(QStringLiteral("64"));
    sheet.height->setText(QStringLiteral("64"));
    sheet.iterations->setText(QStringLiteral("2000000000"));
    QStringList statuses;
    QObject::connect(view.get(), &MyOpenGLView::exportStatusChanged, [&](const QString &s) { statuses << s; });
    view->startExport();
    QTest::qWait(100);
    ASSERT_TRUE(view->exporting());
    EXPECT_EQ(view->iterations(), 2000000000);
    EXPECT_EQ(fractal->iterations(), 60000);
    QTest::mouseClick(sheet.cancelButton, Qt::LeftButton);
    EXPECT_TRUE(view->shouldCancel());
    ASSERT_TRUE(waitForIdle(*view, sheet, 30000));
    EXPECT_EQ(statuses, (QStringList{QStringLiteral("Drawing fractal..."), QStringLiteral("Cancelling..."),
                                     QStringLiteral("Done.")}));
    EXPECT_EQ(sheet.progress->value(), 100);
    expectIdle(*view);
    QFile kept(target);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), QByteArray("previous content"));
    kept.close();

    // The next export starts clean and completes.
    view->exportToHiRes();
    sheet.iterations->setText(QStringLiteral("5000"));
    view->startExport();
    ASSERT_TRUE(waitForIdle(*view, sheet));
    EXPECT_EQ(QImageReader(target).size(), QSize(64, 64));
    expectIdle(*view);
}

struct InvalidCase {
    const char *width;
    const char *height;
    const char *iterations;
};

class GlViewExportInvalid : public GlViewExport, public ::testing::WithParamInterface<InvalidCase> {};

TEST_P(GlViewExportInvalid, IsRefusedInTheSheet)
{
    const InvalidCase c = GetParam();
    const QString target = path("refused.png");
    PanelAnswer answer(1, target);
    view->exportToHiRes();
    Sheet sheet = sheetOf(*view);
    sheet.width->setText(QString::fromLatin1(c.width));
    sheet.height->setText(QString::fromLatin1(c.height));
    sheet.iterations->setText(QString::fromLatin1(c.iterations));
    view->startExport();
    EXPECT_TRUE(sheet.status->text().startsWith(QStringLiteral("Cannot export: "))) << sheet.status->text().toStdString();
    EXPECT_FALSE(view->exporting());
    EXPECT_TRUE(sheet.dialog->isVisible());
    EXPECT_TRUE(sheet.exportButton->isEnabled());
    QTest::qWait(20);
    EXPECT_FALSE(QFile::exists(target));
    view->cancelExport();
    expectIdle(*view);
}

INSTANTIATE_TEST_SUITE_P(Fields, GlViewExportInvalid,
                         // Each way a field can be refused: size, number, range.
                         ::testing::Values(InvalidCase{"wide", "100", "5000"}, InvalidCase{"2000000", "2000000", "5000"},
                                           InvalidCase{"100", "100", "3000000000"}));

TEST_F(GlViewExport, ExportWithoutAChosenFileIsRefused)
{
    // The sheet shown on its own, as a window, before any file was chosen.
    Sheet sheet = sheetOf(*view);
    sheet.dialog->open();
    sheet.width->setText(QStringLiteral("64"));
    sheet.height->setText(QStringLiteral("64"));
    sheet.iterations->setText(QStringLiteral("5000"));
    view->startExport();
    EXPECT_TRUE(sheet.status->text().startsWith(QStringLiteral("Cannot export: "))) << sheet.status->text().toStdString();
    EXPECT_FALSE(view->exporting());
    view->cancelExport();
    expectIdle(*view);
}
