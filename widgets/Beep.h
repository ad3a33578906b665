#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace attractor {

// The alert sound for a refused edit. Tests install a handler to observe it.
void beep();
void setBeepHandler(std::function<void()> handler);

// A refused edit: the alert sound, and the reason in the status bar of the
// window that holds `source` for a few seconds (when it has one).
void refuse(QWidget *source, const QString &reason);

} // namespace attractor
