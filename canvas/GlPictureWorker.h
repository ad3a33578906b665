#pragma once

#include "engine/RenderRequest.h"

#include <QImage>
#include <QObject>
#include <QSize>
#include <QThreadPool>

#include <atomic>
#include <memory>

namespace attractor {

// Draws canvas pictures off the main thread so that a long chaos game never
// stalls the window. Only the newest request matters: a newer one makes the
// older draw stop at its next check, and only the newest result is delivered.
class GlPictureWorker : public QObject
{
    Q_OBJECT

public:
    explicit GlPictureWorker(QObject *parent = nullptr);
    // Abandons any draw and waits for it to stop.
    ~GlPictureWorker() override;

    // Starts drawing the request, as points or as the density picture;
    // returns the request's generation. With `preview` iterations (fewer than
    // the game's), a density draw first delivers the picture of that many as
    // a partial one.
    quint64 request(RenderRequest request, int32_t preview = 0);
    // Makes every running or queued draw stop at once, delivering nothing;
    // returns a generation that no draw of this worker carries.
    quint64 abandon();
    bool busy() const { return _running.load() > 0; }
    // While the window draws a frame the walkers stand aside (for a few
    // frames' time at most), so that the frame is not slowed by them.
    void standAside(bool on);

signals:
    // On the worker's thread of affinity, for the newest request only.
    void pictureReady(const QImage &picture, quint64 generation);
    // The newest request's picture while it grows, with the share of the
    // iterations done.
    void picturePartial(const QImage &picture, double done, quint64 generation);

private:
    // Raises the flag of the draw in hand, if any, and makes a new one.
    std::shared_ptr<std::atomic<bool>> replaceDraw();

    QThreadPool _pool;
    // The flag of the newest draw; set and read on the owner's thread only.
    std::shared_ptr<std::atomic<bool>> _cancel;
    std::atomic<quint64> _generation{0};
    std::atomic<int> _running{0};
    std::atomic<int64_t> _pausedSince{0};
};

} // namespace attractor
