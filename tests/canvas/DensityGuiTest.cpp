#include "GlViewSupport.h"

#include "canvas/DensityPanel.h"
#include "engine/ImageStats.h"
#include "widgets/DensityControls.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QSettings>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QUndoStack>

using namespace attractor;
using namespace attractor::test;

namespace {

// A filled attractor whose density varies: four overlapping white maps over
// black, chosen with unequal weights.
FracPtr filled(int32_t iterations)
{
    const _rgb_color white{1, 1, 1, 1};
    return makeFractal({{{0.6, 0.6}, {-0.6, -0.6}, white, 1}, {{0.6, 0.6}, {0.6, -0.6}, white, 2},
                        {{0.6, 0.6}, {0.6, 0.6}, white, 3}, {{0.6, 0.6}, {-0.6, 0.6}, white, 6}},
                       iterations);
}

// The summed colour distance of every pixel from the corner (never hit), and
// how many pixels differ: points light pixels at full strength, density dims
// the rarely hit ones. Alpha is left out: the screen does not show it.
std::pair<double, int> contrastOf(const QImage &picture)
{
    const QImage image = picture.convertToFormat(QImage::Format_RGBA64);
    const QRgba64 bg = image.pixelColor(0, 0).rgba64();
    std::pair<double, int> c{0.0, 0};
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgba64 p = image.pixelColor(x, y).rgba64();
            const int d = std::abs(p.red() - bg.red()) + std::abs(p.green() - bg.green()) + std::abs(p.blue() - bg.blue());
            c.first += d / 65535.0;
            c.second += d > 0;
        }
    return c;
}

template <typename W> W *field(QDialog *sheet, const char *name) { return sheet->findChild<W *>(QLatin1String(name)); }

// The combo's index (0 points, 1 density), supersampling, gamma, brightness.
using Rendering = std::tuple<int, int, double, double>;

class DensityGui : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QSettings().clear();
        MyOpenGLView::setSavePanelRunner([this](MyOpenGLView &, const auto &, const auto &done) { done(1, out); });
    }
    void TearDown() override { MyOpenGLView::setSavePanelRunner({}); }

    // The filled fractal exported at 160 x 160 through a fresh canvas's sheet,
    // whose rendering the next canvas's sheet then shows.
    QImage exportWith(const Rendering &r)
    {
        auto view = shownView({120, 120}, filled(400000));
        view->exportToHiRes();
        QDialog *sheet = view->exportOptionsWindow();
        field<QLineEdit>(sheet, "widthBox")->setText(QStringLiteral("160"));
        field<QLineEdit>(sheet, "heightBox")->setText(QStringLiteral("160"));
        field<QComboBox>(sheet, "renderingBox")->setCurrentIndex(std::get<0>(r));
        field<QSpinBox>(sheet, "supersampleBox")->setValue(std::get<1>(r));
        field<QDoubleSpinBox>(sheet, "gammaBox")->setValue(std::get<2>(r));
        field<QDoubleSpinBox>(sheet, "brightnessBox")->setValue(std::get<3>(r));
        // The look's fields line up with the sheet's own.
        const auto left = [sheet](const char *name) { return field<QWidget>(sheet, name)->mapTo(sheet, QPoint()).x(); };
        EXPECT_EQ(left("gammaBox"), left("supersampleBox"));
        view->startExport();
        EXPECT_TRUE(QTest::qWaitFor([&] { return !view->exporting() && !sheet->isVisible(); }, 60000));
        // The next sheet keeps the rendering; its look is its own document's.
        auto nextView = shownView({60, 60}, filled(1000));
        nextView->fractal()->setDensity({.gamma = 3});
        nextView->exportToHiRes();
        QDialog *next = nextView->exportOptionsWindow();
        EXPECT_EQ(Rendering(field<QComboBox>(next, "renderingBox")->currentIndex(),
                            field<QSpinBox>(next, "supersampleBox")->value(),
                            field<QDoubleSpinBox>(next, "gammaBox")->value(),
                            field<QDoubleSpinBox>(next, "brightnessBox")->value()),
                  Rendering(std::get<0>(r), std::get<1>(r), 3.0, 1.0));
        next->reject();
        return QImage(out);
    }

    QTemporaryDir dir;
    QString out = dir.filePath(QStringLiteral("out.png"));
};

} // namespace

TEST_F(DensityGui, SheetsRenderingReachesTheWrittenPictureAndTheNextSheet)
{
    // Points, with density settings they do not use but keep.
    const auto [pointsSum, pointsLit] = contrastOf(exportWith({0, 3, 3.5, 0.25}));
    ASSERT_GT(pointsLit, 5000);
    // Lower gamma and brightness dim the picture; each rendering lights
    // about the points picture's pixels, none as bright.
    const Rendering rows[] = {{1, 1, 2.2, 1.0}, {1, 1, 1.0, 1.0}, {1, 1, 2.2, 0.5}, {1, 2, 2.2, 1.0}};
    std::vector<double> sums;
    for (const Rendering &rendering : rows) {
        SCOPED_TRACE(testing::Message() << "supersample " << std::get<1>(rendering) << " gamma "
                                        << std::get<2>(rendering) << " brightness " << std::get<3>(rendering));
        const auto [sum, lit] = contrastOf(exportWith(rendering));
        EXPECT_GT(lit, pointsLit * 0.8);
        EXPECT_LT(sum, pointsSum * 0.9);
        sums.push_back(sum);
    }
    EXPECT_LT(sums[1], sums[0] * 0.8);
    EXPECT_LT(sums[2], sums[0] * 0.8);
}

// The canvas draws the document's look and the export sheet starts from it:
// exported at the canvas's size and count, the picture is as bright.
TEST_F(DensityGui, CanvasShowsWhatTheExportWrites)
{
    const FracPtr fractal = filled(300000);
    fractal->setDensity({.gamma = 1.6, .brightness = 1.4, .deRadius = 5});
    auto view = shownView({200, 200}, fractal);
    view->setDensityPreview(true);
    ASSERT_TRUE(waitForPicture(*view));
    const QImage canvas = view->grabFramebuffer();
    view->exportToHiRes();
    QDialog *sheet = view->exportOptionsWindow();
    EXPECT_EQ(field<QDoubleSpinBox>(sheet, "gammaBox")->value(), 1.6);
    EXPECT_EQ(field<QSpinBox>(sheet, "deRadiusBox")->value(), 5);
    field<QLineEdit>(sheet, "widthBox")->setText(QStringLiteral("200"));
    field<QLineEdit>(sheet, "heightBox")->setText(QStringLiteral("200"));
    field<QComboBox>(sheet, "renderingBox")->setCurrentIndex(1);
    field<QSpinBox>(sheet, "supersampleBox")->setValue(1);
    view->startExport();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !view->exporting() && !sheet->isVisible(); }, 60000));
    const double shown = meanBrightness(canvas), written = meanBrightness(QImage(out));
    EXPECT_GT(shown, 0.1);
    EXPECT_NEAR(written / shown, 1.0, 0.02);
    // Another look is another picture (a dimmer one, well clear of the noise
    // of a game shared by several walkers).
    fractal->setDensity({.brightness = 0.5});
    view->update();
    ASSERT_TRUE(waitForPicture(*view));
    EXPECT_GT(std::abs(meanBrightness(view->grabFramebuffer()) / shown - 1), 0.1);
}

// Refining draws four times the count at a time up to the limit while
// nothing changes; an edit starts again from the fractal's own count.
TEST(RefiningCanvas, AddsIterationsWhileIdleUpToTheLimitAndRestartsOnAnEdit)
{
    EditableFractal model;
    model.resetFractal(filled(300000));
    auto view = shownView({120, 120}, nullptr);
    view->setModel(&model);
    view->setDensityPreview(true);
    ASSERT_TRUE(waitForPicture(*view));
    EXPECT_EQ(view->shownIterations(), 300000);
    view->setRefineLimit(5000000);
    ASSERT_TRUE(QTest::qWaitFor([&] { return view->shownIterations() == 5000000; }, 60000)) << view->shownIterations();
    EXPECT_TRUE(view->pictureIsCurrent());
    QTest::qWait(600);
    EXPECT_EQ(view->shownIterations(), 5000000);
    model.setIterations(200000);
    view->repaint();
    EXPECT_EQ(view->shownIterations(), 200000);
    ASSERT_TRUE(QTest::qWaitFor([&] { return view->shownIterations() == 3200000; }, 60000));
    view->setRefineLimit(0);
    model.setIterations(250000);
    ASSERT_TRUE(waitForPicture(*view));
    QTest::qWait(600);
    EXPECT_EQ(view->shownIterations(), 250000);
}

TEST_F(DensityGui, PreviewTogglesTheOnScreenPicture)
{
    // Drawn on the main thread and on the worker.
    for (const int32_t iterations : {200000, 700000}) {
        SCOPED_TRACE(iterations);
        auto view = shownView({200, 200}, filled(iterations));
        EXPECT_FALSE(view->densityPreview());
        std::vector<std::pair<double, int>> shown;
        for (const bool density : {false, true, false}) {
            view->setDensityPreview(density);
            ASSERT_TRUE(waitForPicture(*view));
            shown.push_back(contrastOf(view->grabFramebuffer()));
        }
        EXPECT_GT(shown[1].second, shown[0].second * 0.8);
        EXPECT_GT(shown[1].first, shown[0].first * 0.3);
        EXPECT_LT(shown[1].first, shown[0].first * 0.65);
        EXPECT_NEAR(shown[2].first, shown[0].first, shown[0].first * 0.03);
    }
}

TEST(ProgressiveCanvas, LongGameShowsAPreviewAtOnceAndThenGrows)
{
    auto view = shownView({200, 200}, filled(2000000000));
    QTest::qWait(50);
    const int preview = contrastOf(view->grabFramebuffer()).second;
    EXPECT_GT(preview, 5000) << "the canvas stays black while the long draw runs";
    // Later pictures hold the preview's pixels and more, and are not final;
    // on a busy machine the walkers may take a while to add them.
    // Each grab draws a frame, for which the walkers stand aside: look seldom.
    int later = 0;
    for (int look = 0; look < 6 && later <= preview; ++look)
        QTest::qWait(1500), later = contrastOf(view->grabFramebuffer()).second;
    EXPECT_GT(later, preview);
    EXPECT_FALSE(view->pictureIsCurrent());
}

// A long density game: the worker draws its first part for the screen too, so
// an edit's frame may still show the picture before it, but the edited
// fractal's first picture follows within moments and the game goes on.
TEST(ProgressiveCanvas, LongDensityGameShowsTheFirstPartFromTheWorker)
{
    auto view = shownView({200, 200}, filled(2000000000));
    view->setDensityPreview(true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return view->pictureFollowsFractal(); }, 5000));
    const auto before = contrastOf(view->grabFramebuffer());
    EXPECT_GT(before.second, 5000);
    view->fractal()->setBgColor({0.5f, 0.5f, 0.5f, 1.0f});
    view->update();
    EXPECT_FALSE(view->pictureFollowsFractal());
    ASSERT_TRUE(QTest::qWaitFor([&] { return view->pictureFollowsFractal(); }, 5000));
    EXPECT_NE(view->grabFramebuffer().pixel(0, 0), qRgb(0, 0, 0)) << "the new background is not shown";
    EXPECT_FALSE(view->pictureIsCurrent());
}


// The panel's fields edit the document's look, one undo step each, and
// follow it back; its checkbox and the canvas's preview follow each other.
TEST(DensityPanelGui, FieldsEditTheDocumentsLookAndFollowUndo)
{
    EditableFractal model;
    auto view = shownView({60, 60}, nullptr);
    view->setModel(&model);
    DensityPanel panel(view.get(), &model);
    panel.controls()->gammaBox()->setValue(3.0);
    panel.controls()->deRadiusBox()->setValue(0);
    EXPECT_EQ(model.fractal().density(), (DensityOptions{.gamma = 3.0, .deRadius = 0}));
    EXPECT_EQ(model.undoStack()->count(), 2);
    model.undoStack()->undo();
    EXPECT_EQ(panel.controls()->deRadiusBox()->value(), DensityOptions{}.deRadius);
    panel.previewBox()->setChecked(true);
    EXPECT_TRUE(view->densityPreview());
    view->setDensityPreview(false);
    EXPECT_FALSE(panel.previewBox()->isChecked());
}
