#include "GlViewSupport.h"

#include "canvas/ExportWorkflow.h"

#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QPainter>
#include <QUndoStack>
#include <QTemporaryDir>

#include <cmath>

using namespace attractor;
using namespace attractor::test;

namespace {

// Every iteration lands on this one point, a float as the game has it.
const QPointF kPoint{double(0.5537f), double(0.3129f)};
FracPtr pointFractal(int32_t iterations) { return makeFractal({{.scale = {0, 0}, .translation = kPoint}}, iterations); }

// The pixel (rows from the top) a picture of this height lights for the point under a mapping with y up.
QPoint pixelOf(const PixelMapping &mapping, int height)
{
    const QPointF p = mapping.toPixels(kPoint);
    return {int(std::floor(p.x())), height - 1 - int(std::floor(p.y()))};
}

// The pixel furthest from black (a JPEG blurs it a little).
QPoint brightest(const QImage &picture)
{
    const QImage image = picture.convertToFormat(QImage::Format_RGB32);
    QPoint best;
    int most = -1;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (const QRgb p = image.pixel(x, y); qRed(p) + qGreen(p) + qBlue(p) > most)
                most = qRed(p) + qGreen(p) + qBlue(p), best = {x, y};
    return best;
}

// Colour only: the canvas's margin and a density picture differ in alpha.
std::vector<QPoint> lit(const QImage &picture)
{
    const QImage image = picture.convertToFormat(QImage::Format_RGB32);
    return pixelsOtherThan(image, pixelAt(image, 0, 0));
}

} // namespace

// On every path the point shows where the canvas's frame puts it, and only there
// (nowhere when the view leaves it out); a view change redraws like an edit.
TEST(CanvasView, ThePictureShowsTheModelsView)
{
    using Path = MyOpenGLView::PointPath;
    auto view = shownView({180, 140}, pointFractal(2000));
    // Each puts the point well inside a pixel, or outside the picture (zoom 2).
    const View views[] = {{{0.5, 0.25}, 4}, {kPoint + QPointF(3.1e-6, -2.1e-6), 1e5}, {{-1, 1}, 2}, {{0, 0}, 1.0 / 16}, {}};
    for (const auto &[path, density, iterations] : {std::tuple{Path::CpuImage, false, 2000}, {Path::GlPoints, false, 2000},
                                                    {Path::CpuImage, true, 2000}, {Path::CpuImage, false, 700000}}) {
        view->fractal()->setIterations(iterations);
        view->update();
        view->setPointPath(path);
        view->setDensityPreview(density);
        for (const View &v : views) {
            SCOPED_TRACE(testing::Message() << int(path) << density << iterations << " zoom " << v.zoom);
            ASSERT_TRUE(waitForPicture(*view));
            view->model()->setView(v);
            EXPECT_FALSE(view->pictureIsCurrent());
            ASSERT_TRUE(waitForPicture(*view));
            const QImage shown = view->grabFramebuffer();
            const QPoint at = pixelOf(view->frame(), shown.height());
            const bool inside = QRect(view->pictureSquare()).contains(at);
            EXPECT_EQ(lit(shown), inside ? std::vector<QPoint>{at} : std::vector<QPoint>{});
            EXPECT_EQ(inside, v.zoom != 2);
        }
    }
    EXPECT_EQ(view->model()->undoStack()->count(), 0);
}

// The sheet offers the current view first and keeps the choice for the window's
// later exports and printing; at the standard frame there is nothing to choose.
TEST(CanvasView, ExportsAndPrintingDrawTheChosenFrame)
{
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("out.png")), quick = dir.filePath(QStringLiteral("out.jpg"));
    auto view = shownView({140, 140}, pointFractal(2000));
    const View zoomed{{0.5, 0.2}, 4};
    view->model()->setView(zoomed);
    QDialog *sheet = view->exportOptionsWindow();
    auto *frameBox = sheet->findChild<QComboBox *>(QStringLiteral("frameBox"));
    MyOpenGLView::setSavePanelRunner([&](MyOpenGLView &, const auto &request, const auto &done) {
        done(1, request.suffix == QStringLiteral("jpg") ? quick : out);
    });
    const auto exportAs = [&](int choice) {
        view->exportToHiRes();
        frameBox->setCurrentIndex(choice);
        sheet->findChild<QLineEdit *>(QStringLiteral("widthBox"))->setText(QStringLiteral("100"));
        sheet->findChild<QLineEdit *>(QStringLiteral("heightBox"))->setText(QStringLiteral("80"));
        view->startExport();
        EXPECT_TRUE(QTest::qWaitFor([&] { return !view->exporting() && !sheet->isVisible(); }, 60000));
        return lit(QImage(out));
    };
    const auto printed = [&] {
        QImage page(140, 140, QImage::Format_RGB32);
        page.fill(Qt::white);
        QPainter painter(&page);
        view->drawFractalAsImage(painter, QRectF(0, 0, 140, 140));
        return brightest(page);
    };
    const auto quickExport = [&] {
        view->exportToJPG();
        return brightest(QImage(quick));
    };
    const QSize size(100, 80);
    const PixelMapping standard = stretchedFrame(size), current = viewFrame(size, zoomed);
    view->exportToHiRes();
    EXPECT_TRUE(frameBox->isEnabled() && frameBox->currentIndex() == 0);
    view->cancelExport();
    EXPECT_EQ(exportAs(0), std::vector<QPoint>{pixelOf(current, 80)});
    EXPECT_EQ(quickExport(), pixelOf(viewFrame({140, 140}, zoomed), 140));
    EXPECT_EQ(printed(), pixelOf(viewFrame({140, 140}, zoomed), 140));
    EXPECT_EQ(exportAs(1), std::vector<QPoint>{pixelOf(standard, 80)});
    EXPECT_NE(pixelOf(standard, 80), pixelOf(current, 80));
    EXPECT_EQ(quickExport(), pixelOf(stretchedFrame({140, 140}), 140));
    EXPECT_EQ(printed(), pixelOf(stretchedFrame({140, 140}), 140));
    view->exportToHiRes();
    EXPECT_EQ(frameBox->currentIndex(), 1);
    view->cancelExport();
    view->model()->setView({});
    view->exportToHiRes();
    EXPECT_TRUE(!frameBox->isEnabled() && frameBox->currentIndex() == 1);
    view->cancelExport();
    MyOpenGLView::setSavePanelRunner({});
}
