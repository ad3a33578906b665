#include "renderer/GlPictureWorker.h"

#include "renderer/GlPointPlot.h"

namespace attractor {

GlPictureWorker::GlPictureWorker(QObject *parent)
    : QObject(parent)
{
    // One thread: only the newest picture matters, so draws never overlap.
    // Each draw takes its seed from rand() once and runs its own generator.
    _pool.setMaxThreadCount(1);
}

GlPictureWorker::~GlPictureWorker()
{
    abandon();
    _pool.waitForDone();
}

quint64 GlPictureWorker::request(ChaosTables tables, QSize size, bool density)
{
    const quint64 generation = ++_generation;
    ++_running;
    _pool.start([this, tables = std::move(tables), size, density, generation] {
        const auto current = [this, generation] { return _generation.load(std::memory_order_relaxed) == generation; };
        QImage picture;
        const auto partial = [this, generation](const QImage &growing, double done) {
            QMetaObject::invokeMethod(
                this,
                [this, growing, done, generation] {
                    if (_generation.load() == generation)
                        emit picturePartial(growing, done, generation);
                },
                Qt::QueuedConnection);
        };
        if (current())
            picture = density ? plotDensityPreview(tables, size, current)
                              : plotGlPoints(tables, tables.iterations, size, 0.0f, current, partial);
        if (!picture.isNull() && current()) {
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

quint64 GlPictureWorker::abandon()
{
    return ++_generation;
}

} // namespace attractor
