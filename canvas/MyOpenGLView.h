#pragma once

#include "edit/EditableFractal.h"
#include "model/QvFrac.h"
#include "engine/PixelMapping.h"
#include "engine/RenderRequest.h"
#include "canvas/ExportWorkflow.h"

#include <QElapsedTimer>
#include <QImage>
#include <QOpenGLWidget>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

class QDialog;
class QOpenGLFunctions_2_0;
class QLineEdit;
class QSlider;

namespace attractor {

class ColorWell;
class GlPictureWorker;

// The renderer canvas: the attractor of the shared fractal, drawn again in
// full after every edit.
class MyOpenGLView : public QOpenGLWidget
{
    Q_OBJECT

public:
    // How the points reach the screen. Both light the same pixels; plotting on
    // the CPU and drawing one textured quad is many times faster under
    // software OpenGL and runs off the main thread, so it is the default.
    // Point batches are kept for comparison.
    enum class PointPath { CpuImage, GlPoints };

    using SavePanelRequest = ExportWorkflow::SavePanelRequest;
    using SavePanelRunner = ExportWorkflow::SavePanelRunner;
    static void setSavePanelRunner(SavePanelRunner runner) { ExportWorkflow::setSavePanelRunner(std::move(runner)); }

    explicit MyOpenGLView(QWidget *parent = nullptr);
    ~MyOpenGLView() override;

    // Outlets; the view works with any that are set and ignores the others.
    void setIterSlider(QSlider *slider);
    // Takes any count the engine draws, typed; a refused one says why.
    void setIterField(QLineEdit *field);
    void setBgColorWell(ColorWell *well);
    // The name proposed by the export panels; without one, the window title.
    void setDocumentDisplayName(const QString &name);
    QString documentDisplayName() const { return _documentDisplayName; }

    // The document's model; the canvas draws its fractal after every change.
    void setModel(EditableFractal *model);
    EditableFractal *model() const { return _model; }
    // A canvas standing alone (tests, benches): shows the fractal through a
    // model of its own, which takes the object as it is; call update() after
    // changing it in place.
    void setFractal(FracPtr fractal);
    FracPtr fractal() const;

    int32_t iterations() const;
    QColor bgColor() const;
    void updateDisplay();
    void setPrinting(bool printing);
    bool printing() const { return _printing; }

    PointPath pointPath() const { return _pointPath; }
    void setPointPath(PointPath path);
    // Draws the on-screen picture in density mode (hits counted per pixel and
    // tone mapped) instead of points; off by default.
    bool densityPreview() const { return _densityPreview; }
    void setDensityPreview(bool on);
    // While the window is idle the density preview keeps drawing with more
    // iterations (four times as many each time) up to this many; 0 is off.
    // Any edit starts again from the fractal's own count.
    void setRefineLimit(int32_t iterations);
    int32_t refineLimit() const { return _refineLimit; }
    // The iterations of the picture on screen (0 while none follows the fractal).
    int32_t shownIterations() const;
    // Draws the picture again even though nothing changed.
    void requestRedraw();
    // The square of framebuffer pixels (origin bottom left) the picture
    // fills, centred; the rest of the canvas shows the background colour.
    QRect pictureSquare() const;
    // Where the model's view lies on the widget (pixels, y up from the
    // bottom edge): its square on pictureSquare.
    PixelMapping frame() const;
    // The picture on screen is finished and drawn from the fractal as it is now.
    bool pictureIsCurrent() const;
    // The picture on screen is drawn from the fractal as it is now, in part
    // (the first iterations of a long game) or in full.
    bool pictureFollowsFractal() const;
    // The OpenGL context works and has the fixed-function calls the canvas uses.
    bool hasOpenGL() const { return _gl != nullptr; }

    // Off-screen images, of the view the exports draw (see ExportWorkflow::exportView).
    QImage hiResBitmapInsideRect(const QRectF &rect);
    QImage openGLBitmapInsideRect(const QRectF &rect);
    QByteArray dataOfFormat(int code, bool hiRes, const QRectF &rect);
    // The printing picture: the widget's bounds (their square with a view)
    // drawn by the raster back end at one pixel per unit, painted into target.
    void drawFractalAsImage(QPainter &painter, const QRectF &target);

    // Export workflows (started by the document), run by the canvas's ExportWorkflow.
    void exportToJPG();
    void exportToHiRes();
    void exportPanelDidEnd(int returnCode, const QString &path, const QString &contextInfo);
    void exportSaveLocationDidEnd(int returnCode, const QString &path, const QString &contextInfo);
    void exportOptionsDidEnd(int returnCode);
    // The options sheet, made on first use.
    QDialog *exportOptionsWindow();
    bool exporting() const;
    bool shouldCancel() const;
    QString exportFileName() const;

signals:
    // A finished picture of the current fractal has been drawn on screen.
    void pictureShown();
    void densityPreviewChanged(bool on);
    void exportStatusChanged(const QString &status);
    void exportProgressChanged(int percent);

public slots:
    void iterSlider();
    void iterField();
    void changeBGColor();
    void startExport();
    void cancelExport();

protected:
    void initializeGL() override;
    void resizeGL(int w, int h) override;
    void paintGL() override;

private:
    const QvFrac *shownFractal() const;
    // The model's view, or none for the standard frame, which pictures draw as they always have.
    std::optional<View> shownView() const;
    QSize pixelSize() const;
    void useSquareViewport();
    // The newest request was made from the fractal as it is now, at this size
    // and in this mode.
    bool requestFollowsFractal() const;

    // The document's look when the preview is on, else none (points).
    std::optional<DensityOptions> previewDensity() const;
    void scheduleRefinement();
    void refine();
    // A picture drawn here and now, on every core, as points or density.
    QImage directPicture(const RenderRequest &request) const;
    // The raster back end's request for the fractal shown, at the rectangle's size.
    RenderRequest rasterRequest(const QRectF &rect) const;
    void showPicture(const QImage &picture, quint64 generation);
    void showPartialPicture(const QImage &picture, double done, quint64 generation);
    void drawProgress(double done);
    void drawBackground(float alpha, bool opaqueQuad, bool flipped);
    // The standard frame over the viewport, or the view on a viewport of this size.
    void loadProjection(bool flipped, const std::optional<View> &view = std::nullopt, QSize viewport = QSize(1, 1));
    void drawPoints(const ChaosTables &tables, int32_t iterations, const std::optional<View> &view, QSize viewport,
                    bool flipped);
    void drawImageQuad(const QImage &image, bool flipped);

    QPointer<EditableFractal> _model;
    std::unique_ptr<EditableFractal> _ownModel;
    QPointer<QSlider> _iterSlider;
    QPointer<QLineEdit> _iterField;
    QPointer<ColorWell> _bgColorWell;
    bool _printing = false;
    QString _documentDisplayName;

    PointPath _pointPath = PointPath::CpuImage;
    QOpenGLFunctions_2_0 *_gl = nullptr;
    GlPictureWorker *_worker = nullptr;
    ExportWorkflow *_export = nullptr;
    // What was last asked of the worker, or drawn directly.
    RenderRequest _requested;
    bool _hasRequest = false;
    bool _densityPreview = false;
    int32_t _refineLimit = 0;
    QTimer _refineTimer;
    quint64 _requestGeneration = 0;
    // The newest finished picture and the request it answers; the request the
    // picture on screen (finished or not) comes from.
    QImage _picture;
    quint64 _pictureGeneration = 0;
    quint64 _pictureOf = 0;
    int32_t _pictureIterations = 0;
    qint64 _uploadedImageKey = 0;
    // The share of a long draw done so far (negative when none runs), and
    // how long it has been running.
    double _drawDone = -1.0;
    QElapsedTimer _drawClock;
    unsigned int _texture = 0;
};

} // namespace attractor
