#pragma once

#include <functional>

namespace attractor {

// The alert sound for a refused edit. Tests install a handler to observe it.
void beep();
void setBeepHandler(std::function<void()> handler);

} // namespace attractor
