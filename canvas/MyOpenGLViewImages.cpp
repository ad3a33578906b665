// The renderer canvas's pictures off the screen (raster, OpenGL, printing)
// and its export workflows, which run in ExportWorkflow.
#include "canvas/MyOpenGLView.h"

#include "canvas/ExportWorkflow.h"
#include "canvas/GlPointPlot.h"
#include "engine/RasterImage.h"

#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>
#include <QOpenGLFunctions_2_0>
#include <QPainter>

#include <algorithm>
#include <vector>

namespace attractor {

// ---------------------------------------------------------------- Off-screen images

RenderRequest MyOpenGLView::rasterRequest(const QRectF &rect) const
{
    RenderRequest request;
    request.tables = buildChaosTables(*shownFractal());
    request.iterations = iterations();
    request.size = imageSizeOf(rect);
    request.view = _export->exportView();
    return request;
}

QImage MyOpenGLView::hiResBitmapInsideRect(const QRectF &rect)
{
    if (!shownFractal())
        return {};
    return attractor::hiResBitmapInsideRect(rasterRequest(rect));
}

QImage MyOpenGLView::openGLBitmapInsideRect(const QRectF &rect)
{
    if (!shownFractal() || !imageSizeError(rect).isEmpty() || !context())
        return {};
    const int width = static_cast<int>(rect.width());
    const int height = static_cast<int>(rect.height());
    makeCurrent();
    if (!_gl) {
        doneCurrent();
        return {};
    }
    GLint maxTexture = 0;
    GLint maxViewport[2] = {0, 0};
    _gl->glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxTexture);
    _gl->glGetIntegerv(GL_MAX_VIEWPORT_DIMS, maxViewport);
    QImage image;
    if (width <= std::min(maxTexture, maxViewport[0]) && height <= std::min(maxTexture, maxViewport[1])) {
        QOpenGLFramebufferObject framebuffer(width, height);
        if (framebuffer.isValid() && framebuffer.bind()) {
            _gl->glViewport(0, 0, width, height);
            // The fractal's own count: an export count left from an earlier
            // high-resolution export has nothing to do with this picture.
            const ChaosTables tables = buildChaosTables(*shownFractal());
            const std::optional<View> view = _export->exportView();
            if (_pointPath == PointPath::GlPoints) {
                drawBackground(0.0f, true, true);
                drawPoints(tables, tables.iterations, view, QSize(width, height), true);
            } else {
                RenderRequest request;
                request.tables = tables;
                request.size = QSize(width, height);
                request.iterations = tables.iterations;
                request.view = view;
                const QImage picture = plotGlPoints(request, 1.0f);
                drawBackground(0.0f, true, true);
                drawImageQuad(picture, true);
            }
            image = QImage(width, height, QImage::Format_RGBA8888);
            image.fill(0);
            _gl->glPixelStorei(GL_PACK_ALIGNMENT, 4);
            _gl->glPixelStorei(GL_PACK_ROW_LENGTH, 0);
            _gl->glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, image.bits());
            framebuffer.release();
        }
    }
    const QSize pixels = pixelSize();
    _gl->glViewport(0, 0, pixels.width(), pixels.height());
    doneCurrent();
    return image;
}

QByteArray MyOpenGLView::dataOfFormat(int code, bool hiRes, const QRectF &rect)
{
    if (hiRes) {
        if (!shownFractal())
            return {};
        return _export->hiResData(code, rasterRequest(rect));
    }
    return encodeImage(openGLBitmapInsideRect(rect), code);
}

void MyOpenGLView::drawFractalAsImage(QPainter &painter, const QRectF &target)
{
    // The standard frame stretched over the widget fills the square target as
    // it always has; a view's square must be the whole image to fill it.
    const int side = std::min(width(), height());
    const QImage image = hiResBitmapInsideRect(_export->exportView() ? QRectF(0, 0, side, side)
                                                                     : QRectF(0, 0, width(), height()));
    if (!image.isNull())
        painter.drawImage(target, image);
}

// ---------------------------------------------------------------- Export workflows

void MyOpenGLView::exportToJPG() { _export->exportToJPG(); }
void MyOpenGLView::exportToHiRes() { _export->exportToHiRes(); }
void MyOpenGLView::exportPanelDidEnd(int returnCode, const QString &path, const QString &contextInfo)
{
    _export->exportPanelDidEnd(returnCode, path, contextInfo);
}
void MyOpenGLView::exportSaveLocationDidEnd(int returnCode, const QString &path, const QString &contextInfo)
{
    _export->exportSaveLocationDidEnd(returnCode, path, contextInfo);
}
void MyOpenGLView::exportOptionsDidEnd(int returnCode) { _export->exportOptionsDidEnd(returnCode); }
QDialog *MyOpenGLView::exportOptionsWindow() { return _export->exportOptionsWindow(); }
bool MyOpenGLView::exporting() const { return _export->exporting(); }
bool MyOpenGLView::shouldCancel() const { return _export->shouldCancel(); }
QString MyOpenGLView::exportFileName() const { return _export->exportFileName(); }
void MyOpenGLView::startExport() { _export->startExport(); }
void MyOpenGLView::cancelExport() { _export->cancelExport(); }

} // namespace attractor
