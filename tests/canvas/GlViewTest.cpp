#include "GlViewSupport.h"
#include "support/Files.h"
#include "support/LogCapture.h"
#include "support/Pictures.h"

#include "model/Colour.h"
#include "canvas/ExportWorkflow.h"
#include "canvas/GlPictureWorker.h"
#include "canvas/GlPointPlot.h"
#include "canvas/MyOpenGLView.h"
#include "widgets/ColorWell.h"

#include <gtest/gtest.h>

#include <QDialog>
#include <QDir>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QUndoStack>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>

using namespace attractor;
using namespace attractor::test;
using namespace Qt::StringLiterals;

namespace {

// The opaque 8-bit colour the canvas shows for c, widened to 16 bits.
QRgba64 shown8(_rgb_color c)
{
    return QRgba64::fromArgb32(qRgb(qRound(c.r * 255), qRound(c.g * 255), qRound(c.b * 255)));
}

// Answers the save panel, the replace question and the error report as told,
// and records what was asked.
struct Answers {
    Answers(int returnCode, QString path, bool replace = true)
    {
        MyOpenGLView::setSavePanelRunner([=, this](MyOpenGLView &, const auto &request, const auto &done) {
            requests.push_back(request);
            done(returnCode, path);
        });
        ExportWorkflow::setReplaceQuestion(
            [=, this](QWidget *, const QString &asked) { return replaceAsked << asked, replace; });
        ExportWorkflow::setErrorReport([this](QWidget *, const QString &message) { errors << message; });
    }
    ~Answers()
    {
        MyOpenGLView::setSavePanelRunner({});
        ExportWorkflow::setReplaceQuestion({});
        ExportWorkflow::setErrorReport({});
    }
    std::vector<MyOpenGLView::SavePanelRequest> requests;
    QStringList replaceAsked, errors;
};

const _rgb_color kBlueGrey{0.2f, 0.4f, 0.6f, 0.3f};
using Path = MyOpenGLView::PointPath;

} // namespace

// 101 constant maps, each on its own 10 x 10 cell of the top ten rows: more maps than the selection table
// has slots. On both paths every one lights its pixel, white and opaque over the translucent background.
TEST(GlViewManyMaps, EveryMapIsDrawnUprightOnBothPaths)
{
    constexpr int kSide = 11, kMaps = 101;
    std::vector<MapSpec> maps;
    for (int i = 0; i < kMaps; ++i)
        maps.push_back({.scale = {0, 0}, .translation = {-2 + 4 * (i % kSide + 0.5) / kSide, 2 - 4 * (i / kSide + 0.5) / kSide}});
    auto view = shownView({kSide * 10, kSide * 10}, makeFractal(maps, 200000, kBlueGrey));
    for (const Path path : {Path::CpuImage, Path::GlPoints}) {
        view->setPointPath(path);
        const QImage image = view->openGLBitmapInsideRect(QRectF(view->rect()));
        const std::vector<QPoint> lit = pixelsOtherThan(image, shown8(kBlueGrey));
        EXPECT_EQ(lit.size(), size_t(kMaps)) << int(path);
        for (const QPoint &p : lit) {
            ASSERT_EQ(image.pixel(p), qRgb(255, 255, 255)) << int(path);
            ASSERT_LT(p.y(), 100) << "the bottom row of cells is empty";
        }
    }
}

class GlViewScreen : public ::testing::TestWithParam<QSize> {};

// Also run with QT_SCALE_FACTOR=2: the picture then covers every device pixel. Printed, the
// picture is instead the raster image of the whole canvas.
TEST_P(GlViewScreen, ShowsTheSquareCentredOverTheBackgroundAndPrintsTheWholeCanvas)
{
    FracPtr fractal = QvFrac::defaultFractal();
    fractal->setIterations(40000);
    fractal->setBgColor({0.5f, 0.25f, 0.75f, 1.0f});
    auto view = shownView(GetParam(), fractal);
    ASSERT_TRUE(waitForPicture(*view));
    const QImage shown = view->grabFramebuffer().convertToFormat(QImage::Format_RGBA8888);
    ASSERT_EQ(shown.size(), view->size() * qEnvironmentVariable("QT_SCALE_FACTOR", u"1"_s).toDouble());
    const int side = std::min(shown.width(), shown.height());
    const QRect square((shown.width() - side) / 2, (shown.height() - side) / 2, side, side);
    EXPECT_EQ(view->pictureSquare().size(), square.size());
    QRect litBounds;
    for (int y = 0; y < shown.height(); ++y)
        for (int x = 0; x < shown.width(); ++x)
            litBounds |= (shown.pixel(x, y) & 0xffffff) != 0x8040bf ? QRect(x, y, 1, 1) : QRect();
    // The default fractal's triangle spans the square, and only the square.
    EXPECT_TRUE(square.contains(litBounds));
    EXPECT_GE(litBounds.width(), side * 9 / 10);
    EXPECT_GE(litBounds.height(), side * 9 / 10);
    view->setPrinting(true);
    QImage page(view->size(), QImage::Format_RGBA8888);
    page.fill(Qt::white);
    QPainter painter(&page);
    std::srand(5);
    view->drawFractalAsImage(painter, QRectF(page.rect()));
    painter.end();
    std::srand(5);
    EXPECT_EQ(page, draw(fractal, view->size()).convertToFormat(QImage::Format_RGBA8888));
}

INSTANTIATE_TEST_SUITE_P(Shapes, GlViewScreen, ::testing::Values(QSize(300, 120), QSize(110, 260)));

TEST(GlViewState, ControlsEditTheHeldFractalOnceAndRedraw)
{
    QSlider slider(Qt::Horizontal);
    slider.setRange(0, 10000000);
    ColorWell well;
    FracPtr fractal = QvFrac::defaultFractal();
    auto view = shownView({100, 100}, fractal);
    view->setIterSlider(&slider);
    view->setBgColorWell(&well);
    ASSERT_TRUE(waitForPicture(*view));
    QTest::qWait(50);
    QSignalSpy paints(view.get(), &QOpenGLWidget::frameSwapped);
    QUndoStack *steps = view->model()->undoStack();
    view->setFractal(fractal);
    QTest::qWait(100);
    EXPECT_EQ(paints.count() + steps->count(), 0) << "setting the held fractal again";
    slider.setValue(50000);
    EXPECT_EQ(fractal->iterations(), 50000);
    EXPECT_EQ(steps->count(), 1);
    ASSERT_TRUE(waitForPicture(*view));
    EXPECT_GE(paints.count(), 1);
    const QColor chosen = QColor::fromHsvF(0.6f, 0.5f, 0.7f, 0.25f);
    well.chooseColor(chosen);
    EXPECT_EQ(steps->count(), 2);
    EXPECT_EQ(colorFromRGBColor(fractal->bgColor()), chosen.toRgb());
    EXPECT_EQ(view->openGLBitmapInsideRect(QRectF(0, 0, 100, 100)).pixel(0, 0), shown8(fractal->bgColor()).toArgb32());
    // Showing another fractal, or none, is not an edit, and leaves the controls.
    view->setFractal(QvFrac::defaultFractal());
    EXPECT_EQ(slider.value(), 200000);
    EXPECT_EQ(steps->count(), 0);
    view->setFractal(nullptr);
    EXPECT_EQ(view->iterations(), 0);
    EXPECT_FALSE(view->bgColor().isValid());
    slider.setValue(5000);
    well.chooseColor(Qt::red);
    EXPECT_EQ(steps->count(), 0);
}

// The on-screen plot stores colours as an 8-bit framebuffer does: clamped
// (not a number as 0), scaled by 255 and rounded to nearest. (The walker's
// colour only approaches the map's, so no value sits on a rounding edge.)
TEST(GlPointPlot, ColoursAreStoredAsOpenGLStoresThem)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    for (auto [c, r, g, b] : {std::tuple{_rgb_color{0.6f / 255, 1.6f / 255, 254.6f / 255, 1}, 1, 2, 255},
                              {_rgb_color{nan, 2.0f, -1.0f, 1}, 0, 255, 0},
                              {_rgb_color{0.4f / 255, 100.4f / 255, 1.0f, 1}, 0, 100, 255}}) {
        const FracPtr fractal = makeFractal({{.scale = {0, 0}, .colour = c}}, 5000);
        const QImage image = plotGlPoints(requestFor(fractal, {8, 8}, {.threads = 2}), 0.0f);
        ASSERT_FALSE(image.isNull());
        // The fixed point (0, 0) lights the pixel up and right of the centre.
        EXPECT_EQ(image.pixel(4, 3), qRgba(r, g, b, 255)) << r << " " << g << " " << b;
    }
}

// A long draw on the worker grows on screen in steps, the share done rising;
// once a newer request comes it delivers nothing more, growing or finished.
TEST(GlPictureWorker, LongDrawsGrowAndAbandonedOnesAreNeverDelivered)
{
    GlPictureWorker worker;
    struct Delivery { quint64 generation; double done; int lit; };
    std::vector<Delivery> partial, ready;
    // The maps are white over a transparent background.
    const auto lit = [](const QImage &picture) { return int(std::ranges::count(covered(picture, 0, 0), true)); };
    QObject::connect(&worker, &GlPictureWorker::picturePartial, [&](const QImage &p, double done, quint64 g) {
        partial.push_back({g, done, lit(p)});
    });
    QObject::connect(&worker, &GlPictureWorker::pictureReady, [&](const QImage &p, quint64 g) {
        ready.push_back({g, 1.0, lit(p)});
    });
    const QSize size(120, 120);
    const quint64 longDraw =
        worker.request(requestFor(makeFractal({{}, {.translation = {1, 1}}}, 2000000000), size));
    ASSERT_TRUE(QTest::qWaitFor([&] { return partial.size() >= 3; }, 60000));
    for (size_t i = 1; i < partial.size(); ++i) {
        EXPECT_EQ(partial[i].generation, longDraw);
        EXPECT_GT(partial[i].done, partial[i - 1].done);
        EXPECT_LE(partial[i].done, 1.0);
        EXPECT_GE(partial[i].lit, partial[i - 1].lit);
    }
    // One map that lights one pixel: nothing of the long draw's picture is in it.
    const quint64 shortDraw = worker.request(requestFor(makeFractal({{.scale = {0, 0}}}, 20000), size));
    const size_t partialsBefore = partial.size();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !ready.empty(); }, 20000));
    QTest::qWait(300);
    ASSERT_EQ(ready.size(), 1u);
    EXPECT_EQ(ready[0].generation, shortDraw);
    EXPECT_EQ(ready[0].lit, 1);
    for (size_t i = partialsBefore; i < partial.size(); ++i)
        EXPECT_NE(partial[i].generation, longDraw);
    EXPECT_FALSE(worker.busy());

    // A frame that never reaches the screen holds the walkers back a moment only.
    worker.standAside(true);
    const quint64 held = worker.request(requestFor(makeFractal({{.scale = {0, 0}}}, 2000000), size));
    ASSERT_TRUE(QTest::qWaitFor([&] { return ready.size() == 2; }, 20000));
    EXPECT_EQ(ready[1].generation, held);
}

class GlViewExport : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        fractal->setIterations(60000);
        view->setDocumentDisplayName(u"Fern.frac"_s);
        QObject::connect(view.get(), &MyOpenGLView::exportStatusChanged, [this](const QString &s) { statuses << s; });
    }
    QString path(const char *name) const { return dir.filePath(QString::fromLatin1(name)); }
    QStringList files() const { return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden); }
    void write(const char *name, const char *data) const { writeFile(path(name), data); }
    template <class T> T *sheet(const char *name) const { return view->exportOptionsWindow()->findChild<T *>(QString::fromLatin1(name)); }
    void fillSheet(const char *width, const char *height, const char *iterations)
    {
        sheet<QLineEdit>("widthBox")->setText(QString::fromLatin1(width));
        sheet<QLineEdit>("heightBox")->setText(QString::fromLatin1(height));
        sheet<QLineEdit>("itersBox")->setText(QString::fromLatin1(iterations));
    }
    bool waitForIdle(int timeoutMs = 120000)
    {
        return QTest::qWaitFor([&] { return !view->exporting() && !view->exportOptionsWindow()->isVisible(); }, timeoutMs);
    }
    void expectIdle()
    {
        EXPECT_FALSE(view->exporting());
        EXPECT_FALSE(view->shouldCancel());
        EXPECT_TRUE(view->exportFileName().isEmpty());
    }
    QTemporaryDir dir;
    FracPtr fractal = QvFrac::defaultFractal();
    std::unique_ptr<MyOpenGLView> view = shownView({180, 140}, fractal);
    QStringList statuses;
};

TEST(ExportExtension, IsAlwaysTheFormats)
{
    for (auto [path, suffix, written] : {std::tuple{"/d/pic.png", "jpg", "/d/pic.jpg"}, {"/d/pic.JPEG", "jpg", "/d/pic.JPEG"},
                                         {"/d/pic.jpg", "png", "/d/pic.png"}, {"/d/my.fern", "png", "/d/my.fern.png"},
                                         {"/d/pic", "jpg", "/d/pic.jpg"}, {"/d/.png", "jpg", "/d/.png.jpg"}})
        EXPECT_EQ(ExportWorkflow::pathWithExtension(QString::fromLatin1(path), QString::fromLatin1(suffix)),
                  QString::fromLatin1(written));
}

// Dismissed, or ended for a type it does not write, a quick export writes nothing; else a JPEG of the canvas square
// under the format's name, replacing a file only when told to. Either way the canvas redraws.
TEST_F(GlViewExport, QuickExportWritesAJpegOfTheCanvasSquareUnderTheFormatsNameAndRedraws)
{
    for (auto [returnCode, context] : {std::pair{0, "JPG"}, {1, "PNG"}, {1, ""}}) {
        LogCapture log;
        QSignalSpy paints(view.get(), &QOpenGLWidget::frameSwapped);
        view->exportPanelDidEnd(returnCode, path("none.jpg"), QString::fromLatin1(context));
        EXPECT_TRUE(files().isEmpty());
        EXPECT_EQ(log.lines().contains(u"Export failed; export type was not supported!"_s), returnCode == 1);
        QTest::qWait(50);
        EXPECT_GE(paints.count(), 1);
    }
    write("fern.jpg", "previous");
    for (bool replace : {false, true}) {
        Answers answers(1, path("fern.png"), replace);
        QSignalSpy paints(view.get(), &QOpenGLWidget::frameSwapped);
        view->exportToJPG();
        ASSERT_EQ(answers.requests.size(), 1u);
        EXPECT_EQ(answers.requests[0].nameFieldLabel, u"Export as:"_s);
        EXPECT_EQ(answers.requests[0].acceptLabel, u"Export to JPG"_s);
        EXPECT_EQ(answers.requests[0].suffix, u"jpg"_s);
        EXPECT_EQ(answers.requests[0].proposedName, u"Fern"_s);
        EXPECT_EQ(answers.replaceAsked, QStringList{path("fern.jpg")});
        EXPECT_EQ(files(), QStringList{u"fern.jpg"_s});
        EXPECT_EQ(QImageReader(path("fern.jpg")).size(), replace ? QSize(140, 140) : QSize()) << replace;
        EXPECT_TRUE(answers.errors.isEmpty());
        QTest::qWait(50);
        EXPECT_GE(paints.count(), 1);
    }
}

TEST_F(GlViewExport, HiResExportWritesAPngOfTheChosenSizeThroughEveryStatus)
{
    Answers answers(1, path("fern.png"));
    view->exportToHiRes();
    ASSERT_EQ(answers.requests.size(), 1u);
    EXPECT_EQ(answers.requests[0].acceptLabel, u"Export Options..."_s);
    EXPECT_EQ(answers.requests[0].suffix, u"png"_s);
    // The size stays from the last export; the count follows the fractal.
    const auto expectFreshSheet = [&](const char *height, const char *iterations) {
        ASSERT_TRUE(view->exportOptionsWindow()->isVisible());
        EXPECT_EQ(sheet<QLineEdit>("widthBox")->text(), u"1000"_s);
        EXPECT_EQ(sheet<QLineEdit>("heightBox")->text(), QString::fromLatin1(height));
        EXPECT_EQ(sheet<QLineEdit>("itersBox")->text(), QString::fromLatin1(iterations));
        EXPECT_EQ(sheet<QProgressBar>("progressIndicator")->value(), 0);
        EXPECT_TRUE(sheet<QLabel>("progressText")->text().isEmpty());
        EXPECT_TRUE(sheet<QPushButton>("exportButton")->isEnabled());
    };
    expectFreshSheet("1000", "60000");
    QList<int> progress;
    QObject::connect(view.get(), &MyOpenGLView::exportProgressChanged, [&](int p) { progress << p; });
    fillSheet("1000", "500", "300000");
    QTest::mouseClick(sheet<QPushButton>("exportButton"), Qt::LeftButton);
    EXPECT_TRUE(view->exporting());
    EXPECT_FALSE(sheet<QPushButton>("exportButton")->isEnabled());
    EXPECT_EQ(view->iterations(), 300000);
    // Edits made while the worker draws do not reach it.
    fractal->transforms()->clear();
    ASSERT_TRUE(waitForIdle());
    EXPECT_EQ(statuses, (QStringList{u"Drawing fractal..."_s, u"Writing image file..."_s, u"Done."_s}));
    EXPECT_GE(progress.size(), 90);
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
    EXPECT_EQ(progress.back(), 100);
    expectIdle();
    EXPECT_EQ(view->iterations(), 60000);
    const QImage image(path("fern.png"));
    EXPECT_EQ(image.size(), QSize(1000, 500));
    EXPECT_EQ(image.format(), QImage::Format_RGBA64);
    EXPECT_GT(pixelsOtherThan(image.copy(0, 0, 1000, 250), rgba16(fractal->bgColor())).size(), 1000u)
        << "drawn from the fractal as it was when Export was pressed";
    fractal->setIterations(12345);
    view->exportToHiRes();
    expectFreshSheet("500", "12345");
    view->cancelExport();
    expectIdle();
}

TEST_F(GlViewExport, CancelWhileDrawingLeavesTheOldFileAndAllowsTheNextExport)
{
    write("keep.png", "previous content");
    Answers answers(1, path("keep.png"));
    view->exportToHiRes();
    fillSheet("64", "64", "2000000000");
    view->startExport();
    // Cancelled part way, the bar goes back to empty and the sheet says nothing.
    ASSERT_TRUE(QTest::qWaitFor([&] { return sheet<QProgressBar>("progressIndicator")->value() > 0; }, 60000));
    ASSERT_TRUE(view->exporting());
    EXPECT_EQ(fractal->iterations(), 60000);
    QTest::mouseClick(sheet<QPushButton>("cancelButton"), Qt::LeftButton);
    EXPECT_TRUE(view->shouldCancel());
    ASSERT_TRUE(waitForIdle(30000));
    EXPECT_EQ(statuses, (QStringList{u"Drawing fractal..."_s, u"Cancelling..."_s, QString()}));
    EXPECT_EQ(sheet<QProgressBar>("progressIndicator")->value(), 0);
    EXPECT_TRUE(sheet<QLabel>("progressText")->text().isEmpty());
    expectIdle();
    QFile kept(path("keep.png"));
    EXPECT_TRUE(kept.open(QIODevice::ReadOnly) && kept.readAll() == "previous content");
    view->exportToHiRes();
    sheet<QLineEdit>("itersBox")->setText(u"5000"_s);
    view->startExport();
    ASSERT_TRUE(waitForIdle());
    EXPECT_EQ(QImageReader(path("keep.png")).size(), QSize(64, 64));
}

// Dismissed at the panel, the sheet rejected or cancelled; each way a field can be refused (size, number, range)
// and a sheet shown on its own before any file was chosen, said in the sheet: nothing is written, all goes idle.
TEST_F(GlViewExport, CancelledOrRefusedExportsWriteNothing)
{
    enum Way { Dismissed, Rejected, Cancelled, Refused, Unchosen };
    for (auto [way, width, height, iterations] :
         {std::tuple{Dismissed, "", "", ""}, {Rejected, "", "", ""}, {Cancelled, "", "", ""},
          {Refused, "wide", "100", "5000"}, {Refused, "2000000", "2000000", "5000"},
          {Refused, "100", "100", "3000000000"}, {Unchosen, "64", "64", "5000"}}) {
        Answers answers(way != Dismissed, path("never.png"));
        way == Unchosen ? view->exportOptionsWindow()->open() : view->exportToHiRes();
        if (way == Rejected)
            view->exportOptionsWindow()->reject();
        if (way == Cancelled)
            QTest::mouseClick(sheet<QPushButton>("cancelButton"), Qt::LeftButton);
        if (way >= Refused) {
            fillSheet(width, height, iterations);
            view->startExport();
            EXPECT_TRUE(sheet<QLabel>("progressText")->text().startsWith(u"Cannot export: "_s))
                << sheet<QLabel>("progressText")->text().toStdString();
            EXPECT_FALSE(view->exporting());
            EXPECT_TRUE(view->exportOptionsWindow()->isVisible() && sheet<QPushButton>("exportButton")->isEnabled());
            view->cancelExport();
        }
        EXPECT_FALSE(view->exportOptionsWindow()->isVisible()) << way;
        expectIdle();
    }
    QTest::qWait(50);
    EXPECT_TRUE(files().isEmpty());
}

TEST_F(GlViewExport, HiResExportThatCannotWriteKeepsTheSheetOpenWithTheReason)
{
    const QString target = path("missing-folder/out.png");
    Answers answers(1, target);
    view->exportToHiRes();
    fillSheet("40", "30", "5000");
    int furthest = 0;
    QObject::connect(view.get(), &MyOpenGLView::exportProgressChanged, [&](int p) { furthest = std::max(furthest, p); });
    view->startExport();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !view->exporting(); }, 60000));
    const QString shown = sheet<QLabel>("progressText")->text();
    EXPECT_TRUE(shown.startsWith(u"Cannot export: could not write "_s)) << shown.toStdString();
    EXPECT_TRUE(shown.contains(QDir::toNativeSeparators(target)));
    EXPECT_FALSE(statuses.contains(u"Done."_s));
    EXPECT_TRUE(view->exportOptionsWindow()->isVisible());
    EXPECT_TRUE(sheet<QPushButton>("exportButton")->isEnabled());
    // The drawing got far, but nothing was exported: the bar is empty again.
    EXPECT_GE(furthest, 90);
    EXPECT_EQ(sheet<QProgressBar>("progressIndicator")->value(), 0);
    // Cancelled then, the sheet drops the reason.
    QTest::mouseClick(sheet<QPushButton>("cancelButton"), Qt::LeftButton);
    EXPECT_FALSE(view->exportOptionsWindow()->isVisible());
    EXPECT_TRUE(sheet<QLabel>("progressText")->text().isEmpty());
    expectIdle();
    EXPECT_TRUE(files().isEmpty());
}
