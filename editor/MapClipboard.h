#pragma once

#include "model/QvTransform.h"

#include <QList>
#include <QString>

namespace attractor::clipboard {

// The clipboard carries maps as their document text, under this type and as
// plain text, so maps copied in one window (or from a file in a text editor)
// paste into another: one map as its table, several as a list of tables in
// their order, laid out as a document lists them.
extern const QString kMapMimeType;

void putMaps(const QList<QvTransform> &maps);
// The maps on the clipboard in their order: one table, a list of them, or
// tables copied from a document's list; none when any entry is no map.
QList<QvTransform> takeMaps();
QList<QvTransform> mapsFromText(const QString &text);

// Where pasted or duplicated maps go: moved together near their originals,
// all visible, each centre inside the frame like any map the user places.
QList<QvTransform> placedCopies(const QList<QvTransform> &originals);

} // namespace attractor::clipboard
