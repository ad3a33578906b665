#pragma once

class QString;

namespace attractor {

// One plain line on standard error. Goes through Qt's message handler so that
// tests can capture it.
void logLine(const QString &line);

} // namespace attractor
