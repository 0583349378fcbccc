// The layout of the application's main menu ("Main").
#pragma once

namespace lq {

class MenuBarModel;
class ViewController;

// Fills `menus` with the application, File, View and Help menus and wires the items the main window
// controller answers.
void buildMainMenu(MenuBarModel& menus, ViewController& controller);

} // namespace lq
