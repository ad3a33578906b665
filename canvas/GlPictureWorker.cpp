#include "canvas/GlPictureWorker.h"

#include "canvas/GlPointPlot.h"

#include <QThread>

#include <chrono>

#if defined(__linux__)
#include <sys/resource.h>
#endif

namespace attractor {

namespace {

constexpr int kCanvasDrawNice = 10;

// Canvas pictures take what the window leaves: the event loop and the
// screen's own drawing come first. Threads the draw starts inherit this.
void lowerThisThreadsPriority()
{
#if defined(__linux__)
    setpriority(PRIO_PROCESS, 0, kCanvasDrawNice);
#else
    QThread::currentThread()->setPriority(QThread::LowPriority);
#endif
}

} // namespace

GlPictureWorker::GlPictureWorker(QObject *parent)
    : QObject(parent)
{
    // One thread: only the newest picture matters, so draws never overlap.
    // Each draw runs its walkers on every core.
    _pool.setMaxThreadCount(1);
}

GlPictureWorker::~GlPictureWorker()
{
    abandon();
    _pool.waitForDone();
}

std::shared_ptr<std::atomic<bool>> GlPictureWorker::replaceDraw()
{
    if (_cancel)
        _cancel->store(true);
    _cancel = std::make_shared<std::atomic<bool>>(false);
    return _cancel;
}

quint64 GlPictureWorker::request(RenderRequest request, int32_t preview)
{
    const quint64 generation = ++_generation;
    std::shared_ptr<std::atomic<bool>> cancel = replaceDraw();
    ++_running;
    _pool.start([this, request = std::move(request), preview, generation, cancel] {
        lowerThisThreadsPriority();
        const bool density = request.density.has_value();
        CanvasDraw draw;
        draw.cancel = cancel.get();
        draw.pausedSince = &_pausedSince;
        draw.partial = [this, generation](const QImage &growing, double done) {
            QMetaObject::invokeMethod(
                this,
                [this, growing, done, generation] {
                    if (_generation.load() == generation)
                        emit picturePartial(growing, done, generation);
                },
                Qt::QueuedConnection);
        };
        // Nor are its buffers made while the window draws a frame: the
        // walkers would only stand aside right after.
        chaosStandAside(&_pausedSince, cancel.get());
        if (density && preview > 0 && preview < request.iterations && !cancel->load()) {
            RenderRequest first = request;
            first.iterations = preview;
            const QImage glimpse = plotDensityPreview(first, draw);
            if (!glimpse.isNull() && !cancel->load())
                draw.partial(glimpse, double(preview) / request.iterations);
        }
        QImage picture;
        if (!cancel->load())
            picture = density ? plotDensityPreview(request, draw) : plotGlPoints(request, 0.0f, draw);
        if (!picture.isNull() && !cancel->load()) {
            // Queued: the receiver lives on the main thread. Posted events die
            // with this object, and the destructor waits for the pool first.
            QMetaObject::invokeMethod(
                this,
                [this, picture, generation] {
                    if (_generation.load() == generation)
                        emit pictureReady(picture, generation);
                },
                Qt::QueuedConnection);
        }
        --_running;
    });
    return generation;
}

void GlPictureWorker::standAside(bool on)
{
    using namespace std::chrono;
    _pausedSince.store(on ? duration_cast<nanoseconds>(steady_clock::now().time_since_epoch()).count() : 0);
}

quint64 GlPictureWorker::abandon()
{
    replaceDraw();
    return ++_generation;
}

} // namespace attractor
