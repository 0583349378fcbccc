// Work that must wait until a window is on screen: the check run and the launch tasks run their tools
// on the main thread, and the window would stay blank until they end if they started before painting.
#pragma once

#include <functional>

class QWidget;

namespace lq {

// Runs `then` on a later turn of the event loop once `window` has painted (or, should it never paint,
// as when it is shown minimised, after a second). Calls registered for the same window before it
// paints run in the order they were registered, each on its own turn.
void runAfterFirstPaint(QWidget* window, std::function<void()> then);

} // namespace lq
