#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace attractor {

class QvFrac;

// The plain-text report of the maps, written where the user chooses.
namespace text_export {

// The report's own context, told apart from other exports' when the panel ends.
extern const QString kContext;

// Asks where to write the report of `fractal` (read when the panel ends, so
// it reports the maps as they are then) and calls `done` with the panel's
// outcome: 1 and the chosen path, or 0.
void runPanel(QWidget *window, const std::function<void(int, const QString &)> &done);

// Writes the report of fractal to path when returnCode is 1 and the context
// is the report's own; logs why not otherwise. True when a file was written.
bool panelDidEnd(const QvFrac *fractal, int returnCode, const QString &path, const QString &contextInfo);

} // namespace text_export
} // namespace attractor
