#include "canvas/MyOpenGLView.h"

#include "widgets/Beep.h"
#include "widgets/ColorWell.h"
#include "model/Log.h"
#include "canvas/ExportWorkflow.h"
#include "canvas/GlPictureWorker.h"
#include "canvas/GlPointPlot.h"
#include "engine/PixelMapping.h"
#include "engine/RasterImage.h"

#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>
#include <QOpenGLFunctions_2_0>
#include <QOpenGLVersionFunctionsFactory>
#include <QLineEdit>
#include <QPainter>
#include <QSignalBlocker>
#include <QSlider>
#include <QThread>

#include <algorithm>
#include <limits>
#include <vector>

namespace attractor {

namespace {

// Up to this many iterations the canvas draws on the main thread: a few
// milliseconds, less than the round trip through the worker costs. Longer
// games go to the worker so that the window never stalls.
constexpr int32_t kDirectDrawIterations = 500000;
// From this many iterations on (a full picture takes the worker a tenth of a
// second or more), the density picture of the first part is the worker's
// too: it costs more than a frame should, and a long game has time for it.
constexpr int32_t kDensityPreviewOnWorkerFrom = 20000000;
// Below that, the density picture drawn in the frame holds the first this
// many: a hit counted costs more than a point drawn, and the frame should
// not take longer than with points.
constexpr int32_t kDensityPreviewIterations = 250000;

// Refining waits this long after the last picture, so it only draws while
// the window is idle, and multiplies the count by this much each time.
constexpr int kRefineIdleMs = 250;
constexpr int64_t kRefineGrowth = 4;

// A draw that runs longer than this shows how far it has come.
constexpr qint64 kProgressShownAfterMs = 500;

// Larger batches than this would only cost memory: the arrays of one batch
// take 20 bytes a point.
constexpr size_t kPointBatch = size_t(1) << 20;

} // namespace

MyOpenGLView::MyOpenGLView(QWidget *parent)
    : QOpenGLWidget(parent)
    , _worker(new GlPictureWorker(this))
    , _export(new ExportWorkflow(*this))
{
    // A 3.x compatibility request would come back as a core context, where
    // the fixed-function calls draw nothing.
    QSurfaceFormat surface = format();
    surface.setVersion(2, 1);
    surface.setProfile(QSurfaceFormat::NoProfile);
    setFormat(surface);
    connect(_worker, &GlPictureWorker::pictureReady, this, &MyOpenGLView::showPicture);
    _refineTimer.setSingleShot(true);
    connect(&_refineTimer, &QTimer::timeout, this, &MyOpenGLView::refine);
    connect(_worker, &GlPictureWorker::picturePartial, this, &MyOpenGLView::showPartialPicture);
    connect(this, &QOpenGLWidget::frameSwapped, _worker, [this] { _worker->standAside(false); });
}

MyOpenGLView::~MyOpenGLView()
{
    // The export thread stops before any part of the canvas goes.
    delete _export;
    _export = nullptr;
    delete _worker;
    _worker = nullptr;
    if (context()) {
        // The context outlives this part of the object; its teardown must not call back.
        disconnect(context(), nullptr, this, nullptr);
        if (_gl) {
            makeCurrent();
            _gl->glDeleteTextures(1, &_texture);
            doneCurrent();
        }
    }
}

void MyOpenGLView::setIterSlider(QSlider *slider)
{
    if (_iterSlider == slider)
        return;
    if (_iterSlider)
        disconnect(_iterSlider, nullptr, this, nullptr);
    _iterSlider = slider;
    if (_iterSlider) {
        connect(_iterSlider, &QSlider::valueChanged, this, &MyOpenGLView::iterSlider);
        for (auto edge : {&QSlider::sliderPressed, &QSlider::sliderReleased}) {
            connect(_iterSlider, edge, this, [this] {
                if (_model)
                    _model->beginGesture();
            });
        }
    }
    updateDisplay();
}

void MyOpenGLView::setIterField(QLineEdit *field)
{
    if (_iterField == field)
        return;
    if (_iterField)
        disconnect(_iterField, nullptr, this, nullptr);
    _iterField = field;
    if (_iterField)
        connect(_iterField, &QLineEdit::editingFinished, this, &MyOpenGLView::iterField);
    updateDisplay();
}

void MyOpenGLView::setBgColorWell(ColorWell *well)
{
    if (_bgColorWell == well)
        return;
    if (_bgColorWell)
        disconnect(_bgColorWell, nullptr, this, nullptr);
    _bgColorWell = well;
    if (_bgColorWell)
        connect(_bgColorWell, &ColorWell::colorChanged, this, &MyOpenGLView::changeBGColor);
    updateDisplay();
}

void MyOpenGLView::setDocumentDisplayName(const QString &name)
{
    _documentDisplayName = name;
}

void MyOpenGLView::setModel(EditableFractal *model)
{
    if (model == _model)
        return;
    if (_model)
        disconnect(_model, nullptr, this, nullptr);
    _model = model;
    if (_model) {
        // The picture is compared with the fractal at the next frame, so any
        // change is drawn once, however many signals it took.
        connect(_model, &EditableFractal::fractalChanged, this, qOverload<>(&QWidget::update));
        connect(_model, &EditableFractal::settingsChanged, this, &MyOpenGLView::updateDisplay);
        connect(_model, &EditableFractal::fractalReplaced, this, &MyOpenGLView::updateDisplay);
        connect(_model, &EditableFractal::viewChanged, this, qOverload<>(&QWidget::update));
    }
    updateDisplay();
    update();
}

void MyOpenGLView::setFractal(FracPtr fractal)
{
    if (!_ownModel)
        _ownModel = std::make_unique<EditableFractal>();
    setModel(fractal ? _ownModel.get() : nullptr);
    if (fractal)
        _ownModel->resetFractal(std::move(fractal));
}

FracPtr MyOpenGLView::fractal() const
{
    return _model ? _model->sharedFractal() : nullptr;
}

const QvFrac *MyOpenGLView::shownFractal() const
{
    return _model ? &_model->fractal() : nullptr;
}

std::optional<View> MyOpenGLView::shownView() const
{
    if (!_model || _model->view().isStandard())
        return std::nullopt;
    return _model->view();
}

int32_t MyOpenGLView::iterations() const
{
    if (_export && _export->exporting())
        return _export->exportIterations();
    return shownFractal() ? shownFractal()->iterations() : 0;
}

QColor MyOpenGLView::bgColor() const
{
    return shownFractal() ? colorFromRGBColor(shownFractal()->bgColor()) : QColor();
}

void MyOpenGLView::updateDisplay()
{
    const QvFrac *fractal = shownFractal();
    if (!fractal)
        return;
    if (_iterSlider) {
        // Showing the count is not an edit.
        const QSignalBlocker blocker(_iterSlider.data());
        _iterSlider->setValue(fractal->iterations());
        _iterSlider->setToolTip(tr("Iterations: %1").arg(fractal->iterations()));
    }
    if (_iterField)
        _iterField->setText(QString::number(fractal->iterations()));
    if (_bgColorWell)
        _bgColorWell->setColor(bgColor());
}

void MyOpenGLView::setPrinting(bool printing)
{
    _printing = printing;
}

void MyOpenGLView::setPointPath(PointPath path)
{
    if (_pointPath == path)
        return;
    _pointPath = path;
    requestRedraw();
}

void MyOpenGLView::setDensityPreview(bool on)
{
    if (_densityPreview == on)
        return;
    _densityPreview = on;
    requestRedraw();
    scheduleRefinement();
    emit densityPreviewChanged(on);
}

void MyOpenGLView::requestRedraw()
{
    _hasRequest = false;
    update();
}

void MyOpenGLView::setRefineLimit(int32_t iterations)
{
    _refineLimit = std::max(iterations, 0);
    scheduleRefinement();
}

std::optional<DensityOptions> MyOpenGLView::previewDensity() const
{
    if (!_densityPreview || !shownFractal())
        return std::nullopt;
    return shownFractal()->density();
}

void MyOpenGLView::scheduleRefinement()
{
    if (_refineLimit > 0 && _densityPreview && _pointPath == PointPath::CpuImage)
        _refineTimer.start(kRefineIdleMs);
    else
        _refineTimer.stop();
}

void MyOpenGLView::refine()
{
    // Only a finished picture of the fractal as it is now is taken further;
    // an edit meanwhile has started a new one at the fractal's own count.
    if (_refineLimit <= _requested.iterations || !_densityPreview || !pictureIsCurrent() || _worker->busy())
        return;
    RenderRequest next = _requested;
    next.iterations = static_cast<int32_t>(
        std::min<int64_t>(_refineLimit, std::max<int64_t>(next.iterations, 1) * kRefineGrowth));
    _requested = next;
    _requestGeneration = _worker->request(std::move(next));
    _drawDone = -1.0;
}

int32_t MyOpenGLView::shownIterations() const
{
    return _picture.isNull() || !requestFollowsFractal() ? 0 : _pictureIterations;
}

bool MyOpenGLView::requestFollowsFractal() const
{
    return shownFractal() && _hasRequest && _requested.size == pictureSquare().size()
        && _requested.density == previewDensity() && _requested.view == shownView()
        && samePicture(buildChaosTables(*shownFractal()), _requested.tables);
}

bool MyOpenGLView::pictureIsCurrent() const
{
    if (_pointPath == PointPath::CpuImage && _picture.isNull())
        return false;
    return _pictureGeneration == _requestGeneration && requestFollowsFractal();
}

bool MyOpenGLView::pictureFollowsFractal() const
{
    if (_pointPath == PointPath::GlPoints)
        return pictureIsCurrent();
    return !_picture.isNull() && _pictureOf == _requestGeneration && requestFollowsFractal();
}

void MyOpenGLView::iterSlider()
{
    if (!_model || !_iterSlider)
        return;
    // A drag, press to release, is one step; a click or key one of its own.
    if (!_iterSlider->isSliderDown())
        _model->beginGesture();
    _model->setIterations(_iterSlider->value());
}

void MyOpenGLView::iterField()
{
    if (!_model || !_iterField)
        return;
    const QString text = _iterField->text().trimmed();
    const QString shown = QString::number(_model->fractal().iterations());
    if (text == shown)
        return;
    bool ok = false;
    const qlonglong n = text.toLongLong(&ok);
    if (!ok || n < 0 || n > std::numeric_limits<int32_t>::max()) {
        _iterField->setText(shown);
        refuse(this, tr("Iterations must be a whole number from 0 to %1").arg(std::numeric_limits<int32_t>::max()));
        return;
    }
    _model->beginGesture();
    _model->setIterations(static_cast<int32_t>(n));
    _model->beginGesture();
}

void MyOpenGLView::changeBGColor()
{
    if (!_model || !_bgColorWell)
        return;
    _model->beginGesture();
    _model->setBackground(rgbColorFromColor(_bgColorWell->color()));
}

QSize MyOpenGLView::pixelSize() const
{
    // The size of the widget's framebuffer in device pixels.
    return size() * devicePixelRatioF();
}

QRect MyOpenGLView::pictureSquare() const
{
    // One scale for x and y: the largest centred square, the rest backdrop.
    const QSize pixels = pixelSize();
    const int side = std::min(pixels.width(), pixels.height());
    return {(pixels.width() - side) / 2, (pixels.height() - side) / 2, side, side};
}

PixelMapping MyOpenGLView::frame() const
{
    const QRect square = pictureSquare();
    PixelMapping mapping = viewFrame(QSizeF(square.size()), _model ? _model->view() : View());
    // Framebuffer pixels to the widget's own.
    const double ratio = devicePixelRatioF();
    mapping.scaleX /= ratio;
    mapping.scaleY /= ratio;
    mapping.originX = (mapping.originX + square.x()) / ratio;
    mapping.originY = (mapping.originY + square.y()) / ratio;
    return mapping;
}

void MyOpenGLView::useSquareViewport()
{
    const QRect square = pictureSquare();
    _gl->glViewport(square.x(), square.y(), square.width(), square.height());
}

// ---------------------------------------------------------------- OpenGL

void MyOpenGLView::initializeGL()
{
    _gl = QOpenGLVersionFunctionsFactory::get<QOpenGLFunctions_2_0>(context());
    if (!_gl || !_gl->initializeOpenGLFunctions()) {
        _gl = nullptr;
        logLine(QStringLiteral("The renderer canvas got no OpenGL context with fixed-function drawing; "
                               "the attractor cannot be shown."));
        return;
    }
    _gl->glGenTextures(1, &_texture);
    _gl->glBindTexture(GL_TEXTURE_2D, _texture);
    // One texel per pixel, never blended with a neighbour.
    _gl->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    _gl->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    _gl->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    _gl->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    _gl->glBindTexture(GL_TEXTURE_2D, 0);
    _uploadedImageKey = 0;
    connect(context(), &QOpenGLContext::aboutToBeDestroyed, this, [this] {
        makeCurrent();
        if (_gl)
            _gl->glDeleteTextures(1, &_texture);
        _gl = nullptr;
        doneCurrent();
    });
}

void MyOpenGLView::resizeGL(int, int)
{
    if (!_gl)
        return;
    useSquareViewport();
}

void MyOpenGLView::paintGL()
{
    if (!_gl)
        return;
    // Until the frame is on screen.
    _worker->standAside(true);
    const QSize pixels = pixelSize();
    _gl->glViewport(0, 0, pixels.width(), pixels.height());
    if (!shownFractal() || pixels.isEmpty()) {
        _gl->glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
        _gl->glClear(GL_COLOR_BUFFER_BIT);
        return;
    }

    RenderRequest request;
    request.tables = buildChaosTables(*shownFractal());
    request.size = pictureSquare().size();
    request.iterations = request.tables.iterations;
    request.threads = QThread::idealThreadCount();
    request.view = shownView();
    request.density = previewDensity();
    if (_pointPath == PointPath::GlPoints) {
        // Drawn here and now, in full, at every redisplay.
        _worker->abandon();
        drawBackground(0.0f, false, false);
        useSquareViewport();
        drawPoints(request.tables, request.iterations, request.view, request.size, false);
        _gl->glFlush();
        _requested = std::move(request);
        _hasRequest = true;
        _pictureGeneration = ++_requestGeneration;
        _picture = QImage();
        emit pictureShown();
        return;
    }

    // Only a picture that would differ is drawn again: a repaint for any other
    // reason (an expose, a finished picture arriving) shows the one there is.
    if (!_hasRequest || _requested.size != request.size || _requested.density != request.density
        || _requested.view != request.view || !samePicture(request.tables, _requested.tables)) {
        _requested = request;
        _hasRequest = true;
        if (request.iterations <= kDirectDrawIterations) {
            // A short game is drawn here and now: the new picture is on screen
            // in this frame, so redrawing keeps up with a drag on the editor.
            _requestGeneration = _worker->abandon();
            _picture = directPicture(request);
            _pictureIterations = request.iterations;
            _pictureGeneration = _requestGeneration;
            _pictureOf = _requestGeneration;
            _drawDone = -1.0;
        } else if (_densityPreview && request.iterations >= kDensityPreviewOnWorkerFrom) {
            // The worker delivers the first part moments later; this frame
            // still shows the picture before the edit.
            _requestGeneration = _worker->request(std::move(request), kDirectDrawIterations);
            _drawDone = 0.0;
            _drawClock.start();
        } else {
            // The first part of the iterations is on screen at once, so the
            // canvas follows every edit; the worker refines it to the full count.
            RenderRequest preview = request;
            preview.iterations = _densityPreview ? kDensityPreviewIterations : kDirectDrawIterations;
            _requestGeneration = _worker->request(std::move(request));
            _picture = directPicture(preview);
            _pictureIterations = preview.iterations;
            _pictureOf = _requestGeneration;
            _drawDone = double(preview.iterations) / _requested.iterations;
            _drawClock.start();
        }
    }
    // The clear fills the whole canvas with the backdrop; the picture fills the square.
    drawBackground(0.0f, false, false);
    useSquareViewport();
    if (!_picture.isNull())
        drawImageQuad(_picture, false);
    if (_drawDone >= 0.0 && _drawClock.isValid() && _drawClock.elapsed() > kProgressShownAfterMs)
        drawProgress(_drawDone);
    _gl->glFlush();
    if (_pictureGeneration == _requestGeneration && !_picture.isNull()) {
        emit pictureShown();
        // Each finished picture on screen starts the wait for an idle moment.
        scheduleRefinement();
    }
}

QImage MyOpenGLView::directPicture(const RenderRequest &request) const
{
    return request.density ? plotDensityPreview(request) : plotGlPoints(request, 0.0f);
}

void MyOpenGLView::showPicture(const QImage &picture, quint64 generation)
{
    if (generation != _requestGeneration)
        return;
    _drawDone = -1.0;
    _picture = picture;
    _pictureIterations = _requested.iterations;
    _pictureGeneration = generation;
    _pictureOf = generation;
    update();
}

void MyOpenGLView::showPartialPicture(const QImage &picture, double done, quint64 generation)
{
    // The worker's growing picture replaces the preview drawn here only once
    // it holds more.
    if (generation != _requestGeneration
        || (_pictureOf == generation && done * _requested.iterations < kDirectDrawIterations))
        return;
    _picture = picture;
    _pictureIterations = static_cast<int32_t>(done * _requested.iterations);
    _pictureOf = generation;
    _drawDone = done;
    update();
}

void MyOpenGLView::drawProgress(double done)
{
    // A thin bar along the bottom of the picture, in the inverse of the background.
    const _rgb_color bg = shownFractal()->bgColor();
    const float height = 4.0f * 3.0f / std::max(1, pictureSquare().height());
    _gl->glDisable(GL_TEXTURE_2D);
    loadProjection(false);
    _gl->glColor3f(1.0f - bg.r, 1.0f - bg.g, 1.0f - bg.b);
    _gl->glBegin(GL_QUADS);
    _gl->glVertex2f(-2, -2);
    _gl->glVertex2f(-2 + 4.0f * float(done), -2);
    _gl->glVertex2f(-2 + 4.0f * float(done), -2 + height);
    _gl->glVertex2f(-2, -2 + height);
    _gl->glEnd();
}

void MyOpenGLView::loadProjection(bool flipped, const std::optional<View> &view, QSize viewport)
{
    _gl->glMatrixMode(GL_PROJECTION);
    _gl->glLoadIdentity();
    // Flipped, the picture lies upside down in the framebuffer, so rows read
    // back bottom first come out upright.
    // The frame's corners: the standard ones whatever the viewport's size in
    // pixels; with a view, its square spans the viewport's shorter side.
    const QSizeF area(viewport);
    const PixelMapping frame = view ? viewFrame(area, *view) : stretchedFrame(area);
    const QPointF low = frame.toDocument({0, 0});
    const QPointF high = frame.toDocument({area.width(), area.height()});
    if (flipped)
        _gl->glOrtho(low.x(), high.x(), high.y(), low.y(), -1, 1);
    else
        _gl->glOrtho(low.x(), high.x(), low.y(), high.y(), -1, 1);
    _gl->glMatrixMode(GL_MODELVIEW);
    _gl->glLoadIdentity();
}

void MyOpenGLView::drawBackground(float alpha, bool opaqueQuad, bool flipped)
{
    const _rgb_color bg = shownFractal() ? shownFractal()->bgColor() : _rgb_color{};
    _gl->glDisable(GL_BLEND);
    _gl->glDisable(GL_DEPTH_TEST);
    _gl->glDisable(GL_SCISSOR_TEST);
    _gl->glClearColor(bg.r, bg.g, bg.b, alpha);
    _gl->glClear(GL_COLOR_BUFFER_BIT);
    loadProjection(flipped);
    if (opaqueQuad) {
        _gl->glDisable(GL_TEXTURE_2D);
        _gl->glColor3f(bg.r, bg.g, bg.b);
        _gl->glBegin(GL_QUADS);
        _gl->glVertex2f(-2, -2);
        _gl->glVertex2f(-2, 2);
        _gl->glVertex2f(2, 2);
        _gl->glVertex2f(2, -2);
        _gl->glEnd();
    }
}

void MyOpenGLView::drawPoints(const ChaosTables &tables, int32_t iterations, const std::optional<View> &view,
                              QSize viewport, bool flipped)
{
    loadProjection(flipped, view, viewport);
    _gl->glDisable(GL_TEXTURE_2D);
    _gl->glDisable(GL_POINT_SMOOTH);
    _gl->glPointSize(1.0f);
    _gl->glBindBuffer(GL_ARRAY_BUFFER, 0);
    std::vector<GLfloat> xy;
    std::vector<GLfloat> rgb;
    const size_t batch = std::min(kPointBatch, static_cast<size_t>(std::max(iterations, 1)));
    xy.reserve(batch * 2);
    rgb.reserve(batch * 3);
    _gl->glEnableClientState(GL_VERTEX_ARRAY);
    _gl->glEnableClientState(GL_COLOR_ARRAY);
    const auto flush = [&] {
        if (xy.empty())
            return;
        _gl->glVertexPointer(2, GL_FLOAT, 0, xy.data());
        _gl->glColorPointer(3, GL_FLOAT, 0, rgb.data());
        _gl->glDrawArrays(GL_POINTS, 0, static_cast<GLsizei>(xy.size() / 2));
        xy.clear();
        rgb.clear();
    };
    runChaosGame(tables, iterations, [&](float x, float y, float r, float g, float b) {
        xy.insert(xy.end(), {x, y});
        rgb.insert(rgb.end(), {r, g, b});
        if (xy.size() >= batch * 2)
            flush();
    });
    flush();
    _gl->glDisableClientState(GL_COLOR_ARRAY);
    _gl->glDisableClientState(GL_VERTEX_ARRAY);
}

void MyOpenGLView::drawImageQuad(const QImage &image, bool flipped)
{
    _gl->glEnable(GL_TEXTURE_2D);
    _gl->glBindTexture(GL_TEXTURE_2D, _texture);
    if (_uploadedImageKey != image.cacheKey()) {
        _gl->glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
        _gl->glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
        _gl->glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, image.width(), image.height(), 0, GL_RGBA,
                          GL_UNSIGNED_BYTE, image.constBits());
        _uploadedImageKey = image.cacheKey();
    }
    _gl->glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    loadProjection(flipped);
    // The image's first row is the top of the picture (y = 2).
    _gl->glBegin(GL_QUADS);
    _gl->glTexCoord2f(0, 1);
    _gl->glVertex2f(-2, -2);
    _gl->glTexCoord2f(1, 1);
    _gl->glVertex2f(2, -2);
    _gl->glTexCoord2f(1, 0);
    _gl->glVertex2f(2, 2);
    _gl->glTexCoord2f(0, 0);
    _gl->glVertex2f(-2, 2);
    _gl->glEnd();
    _gl->glBindTexture(GL_TEXTURE_2D, 0);
    _gl->glDisable(GL_TEXTURE_2D);
}

} // namespace attractor
