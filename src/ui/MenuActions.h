// How a menu item of the model becomes a Qt action: its place on a Mac and its shortcuts.
#pragma once

#include "check/MenuBarModel.h"

#include <QAction>
#include <QKeySequence>
#include <QList>

namespace lq {

// The Qt menu role of an item. Items without a role get QAction::NoRole, so that Qt never moves one
// into a Mac's application menu because of its title.
QAction::MenuRole qtMenuRole(MenuRole role);

// The item's shortcuts: the platform's standard ones for its command when the platform has some (⌘, for
// Settings and ⌘? for help on a Mac), its own shortcut otherwise.
QList<QKeySequence> shortcutsFor(const MenuItem& item);

} // namespace lq
