#include "editor/MapClipboard.h"

#include "engine/PixelMapping.h"
#include "persistence/DocumentFormat.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include <algorithm>
#include <cmath>

namespace attractor::clipboard {

const QString kMapMimeType = QStringLiteral("application/x-attractor-map");

namespace {

constexpr double kCopyOffset = 0.1;

// Offset one way, or the other where that would leave the frame.
double offsetInside(double v, double step)
{
    if (!std::isfinite(v))
        return 0.0;
    v = std::clamp(v, kFrameMin, kFrameMax);
    const double there = v + step;
    return there <= kFrameMax && there >= kFrameMin ? there : v - step;
}

} // namespace

void putMap(const QvTransform &map)
{
    const QString text = jsonRepresentation(map);
    auto *mime = new QMimeData;
    mime->setData(kMapMimeType, text.toUtf8());
    mime->setText(text);
    QGuiApplication::clipboard()->setMimeData(mime);
}

std::optional<QvTransform> takeMap()
{
    const QMimeData *mime = QGuiApplication::clipboard()->mimeData();
    QString text;
    if (mime && mime->hasFormat(kMapMimeType))
        text = QString::fromUtf8(mime->data(kMapMimeType));
    else if (mime)
        text = mime->text();
    const TransformPtr map = transformFromText(text);
    if (!map)
        return std::nullopt;
    return *map;
}

QvTransform placedCopy(const QvTransform &original)
{
    QvTransform copy = original;
    const QPointF t = original.translation();
    copy.setTranslation({offsetInside(t.x(), kCopyOffset), offsetInside(t.y(), -kCopyOffset)});
    return copy;
}

} // namespace attractor::clipboard
