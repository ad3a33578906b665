#include "editor/MapClipboard.h"

#include "engine/PixelMapping.h"
#include "persistence/DocumentFormat.h"
#include "persistence/WdJsonParser.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QStringList>

#include <algorithm>
#include <cmath>

namespace attractor::clipboard {

const QString kMapMimeType = QStringLiteral("application/x-attractor-map");

namespace {

constexpr double kCopyOffset = 0.1;

double inside(double v)
{
    return std::isfinite(v) ? std::clamp(v, kFrameMin, kFrameMax) : 0.0;
}

bool fits(double v, double step)
{
    const double there = inside(v) + step;
    return there <= kFrameMax && there >= kFrameMin;
}

// All moved one way, or all the other where that would take a centre out of
// the frame; where neither way fits every centre, each takes its own.
QList<double> offsetInside(const QList<double> &values, double step)
{
    const auto allFit = [&values](double by) {
        return std::all_of(values.begin(), values.end(), [by](double v) { return fits(v, by); });
    };
    const bool forward = allFit(step), backward = !forward && allFit(-step);
    QList<double> moved;
    for (double v : values) {
        const bool ahead = forward || (!backward && fits(v, step));
        moved.append(inside(v) + (ahead ? step : -step));
    }
    return moved;
}

bool isMapTable(const JsonValue &value)
{
    static const char *const keys[] = {"tx", "ty", "sx", "sy"};
    return value.isTable() && std::all_of(std::begin(keys), std::end(keys), [&value](const char *key) {
               return value.value(QLatin1String(key)) != nullptr;
           });
}

} // namespace

void putMaps(const QList<QvTransform> &maps)
{
    QStringList tables;
    for (const QvTransform &map : maps)
        tables << jsonRepresentation(map);
    const QString text = tables.size() == 1 ? tables.first()
                                            : QStringLiteral("[\n\t") + tables.join(QStringLiteral(",\n\t"))
                                                  + QStringLiteral("\n]");
    auto *mime = new QMimeData;
    mime->setData(kMapMimeType, text.toUtf8());
    mime->setText(text);
    QGuiApplication::clipboard()->setMimeData(mime);
}

QList<QvTransform> takeMaps()
{
    const QMimeData *mime = QGuiApplication::clipboard()->mimeData();
    if (mime && mime->hasFormat(kMapMimeType))
        return mapsFromText(QString::fromUtf8(mime->data(kMapMimeType)));
    return mime ? mapsFromText(mime->text()) : QList<QvTransform>();
}

QList<QvTransform> mapsFromText(const QString &text)
{
    QString entries = text.trimmed();
    // One table or several, as copied out of a document's list.
    if (entries.startsWith(u'{')) {
        if (entries.endsWith(u','))
            entries.chop(1);
        entries = u'[' + entries + u']';
    }
    if (!entries.startsWith(u'['))
        return {};
    const std::optional<JsonValue> list = jsonObject(entries);
    if (!list || !list->isArray() || list->toArray().empty())
        return {};
    QList<QvTransform> maps;
    for (const JsonValue &item : list->toArray()) {
        if (!isMapTable(item))
            return {};
        maps.append(*transformFromDictionary(&item));
    }
    return maps;
}

QList<QvTransform> placedCopies(const QList<QvTransform> &originals)
{
    QList<double> xs, ys;
    for (const QvTransform &map : originals)
        xs.append(map.translation().x()), ys.append(map.translation().y());
    xs = offsetInside(xs, kCopyOffset);
    ys = offsetInside(ys, -kCopyOffset);
    QList<QvTransform> copies = originals;
    for (qsizetype i = 0; i < copies.size(); ++i)
        copies[i].setTranslation({xs[i], ys[i]});
    return copies;
}

} // namespace attractor::clipboard
