#pragma once

#include "model/QvTransform.h"

#include <QString>

#include <optional>

namespace attractor::clipboard {

// The clipboard carries a map as its document text, under this type and as
// plain text, so a map copied in one window (or from a file in a text editor)
// pastes into another.
extern const QString kMapMimeType;

void putMap(const QvTransform &map);
// The map on the clipboard, or none when it holds no map's text.
std::optional<QvTransform> takeMap();

// Where a pasted or duplicated map goes: near its original and both visible,
// its centre inside the frame like any map the user places.
QvTransform placedCopy(const QvTransform &original);

} // namespace attractor::clipboard
