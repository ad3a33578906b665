#include "GlViewSupport.h"

#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QPainter>
#include <QTemporaryDir>
#include <QUndoStack>

using namespace attractor;
using namespace attractor::test;

namespace {

// Every iteration lands on this one point, a float as the game has it.
const QPointF kPoint{double(0.5537f), double(0.3129f)};

// The pixels (rows from the top) a picture of this height lights: where the mapping (y up) puts the point.
std::vector<QPoint> expected(const PixelMapping &mapping, QSize size)
{
    const QPointF p = mapping.toPixels(kPoint);
    const QPoint at(int(std::floor(p.x())), size.height() - 1 - int(std::floor(p.y())));
    return QRect(QPoint(), size).contains(at) ? std::vector<QPoint>{at} : std::vector<QPoint>{};
}
// Colour only: the canvas's margin and a density picture differ in alpha; a JPEG keeps the brightest.
std::vector<QPoint> lit(const QImage &picture, bool jpeg = false)
{
    const QImage image = picture.convertToFormat(QImage::Format_RGB32);
    std::vector<QPoint> found = pixelsOtherThan(image, pixelAt(image, 0, 0));
    const auto brightness = [&](QPoint p) { return qGray(image.pixel(p)); };
    return jpeg ? std::vector<QPoint>{*std::max_element(found.begin(), found.end(), [&](QPoint a, QPoint b) { return brightness(a) < brightness(b); })} : found;
}

} // namespace

// On every path the point shows where the canvas's frame puts it, or not at all; a view change redraws like an edit.
TEST(CanvasView, ThePictureShowsTheModelsView)
{
    using Path = MyOpenGLView::PointPath;
    auto view = shownView({180, 140}, makeFractal({{.scale = {0, 0}, .translation = kPoint}}, 2000));
    for (const auto &[path, density, iterations] : {std::tuple{Path::CpuImage, false, 2000}, {Path::GlPoints, false, 2000},
                                                    {Path::CpuImage, true, 2000}, {Path::CpuImage, false, 700000}}) {
        view->fractal()->setIterations(iterations);
        view->setPointPath(path);
        view->setDensityPreview(density);
        view->update();
        // Each puts the point well inside a pixel, or outside the picture (zoom 2).
        for (const View &v : {View{{0.5, 0.25}, 4}, View{kPoint + QPointF(3.1e-6, -2.1e-6), 1e5}, View{{-1, 1}, 2}, View{{}, 1.0 / 16}, View{}}) {
            SCOPED_TRACE(testing::Message() << int(path) << density << iterations << " zoom " << v.zoom);
            ASSERT_TRUE(waitForPicture(*view));
            view->model()->setView(v);
            EXPECT_FALSE(view->pictureIsCurrent());
            ASSERT_TRUE(waitForPicture(*view));
            EXPECT_EQ(lit(view->grabFramebuffer()), expected(view->frame(), view->size()));
            EXPECT_EQ(expected(view->frame(), view->size()).empty(), v.zoom == 2);
        }
    }
    EXPECT_EQ(view->model()->undoStack()->count(), 0);
}

// The sheet offers the current view first and keeps the choice for the window's later exports and
// printing; at the standard frame there is nothing to choose.
TEST(CanvasView, ExportsAndPrintingDrawTheChosenFrame)
{
    QTemporaryDir dir;
    const QString png = dir.filePath(QStringLiteral("out.png")), jpeg = dir.filePath(QStringLiteral("out.jpg"));
    MyOpenGLView::setSavePanelRunner([&](MyOpenGLView &, const auto &request, const auto &done) { done(1, request.suffix == QLatin1String("jpg") ? jpeg : png); });
    auto view = shownView({140, 140}, makeFractal({{.scale = {0, 0}, .translation = kPoint}}, 2000));
    const View zoomed{{0.5, 0.2}, 4};
    view->model()->setView(zoomed);
    QDialog *sheet = view->exportOptionsWindow();
    auto *frameBox = sheet->findChild<QComboBox *>(QStringLiteral("frameBox"));
    const QSize square(140, 140), wide(100, 80);
    for (const int choice : {0, 1}) {
        view->exportToHiRes();
        EXPECT_TRUE(frameBox->isEnabled() && frameBox->currentIndex() == 0);
        frameBox->setCurrentIndex(choice);
        sheet->findChild<QLineEdit *>(QStringLiteral("widthBox"))->setText(QStringLiteral("100"));
        sheet->findChild<QLineEdit *>(QStringLiteral("heightBox"))->setText(QStringLiteral("80"));
        view->startExport();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !view->exporting() && !sheet->isVisible(); }, 60000));
        view->exportToJPG();
        QImage page(square, QImage::Format_RGB32);
        QPainter painter(&page);
        view->drawFractalAsImage(painter, QRectF(QPointF(), square));
        painter.end();
        EXPECT_EQ(lit(QImage(png)), expected(choice ? stretchedFrame(wide) : viewFrame(wide, zoomed), wide));
        EXPECT_EQ(lit(QImage(jpeg), true), expected(viewFrame(square, choice ? View{} : zoomed), square));
        EXPECT_EQ(lit(page), expected(viewFrame(square, choice ? View{} : zoomed), square));
    }
    EXPECT_NE(expected(stretchedFrame(wide), wide), expected(viewFrame(wide, zoomed), wide));
    for (const View &v : {zoomed, View{}}) {
        view->model()->setView(v);
        view->exportToHiRes();
        EXPECT_TRUE(frameBox->currentIndex() == 1 && frameBox->isEnabled() == !v.isStandard());
        view->cancelExport();
    }
    MyOpenGLView::setSavePanelRunner({});
}
