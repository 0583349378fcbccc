// The layout of the application's main menu ("Main").
#pragma once

#include <QString>

namespace lq {

// Titles the widgets look for: the Check item follows the Check button's enabled state.
namespace menutitles {
inline const QString file = QStringLiteral("File");
inline const QString check = QStringLiteral("Check");
} // namespace menutitles

class AppDelegate;
class MenuBarModel;
class ViewController;

// Fills `menus` with the application, File, View and Help menus and wires their items to the main
// window controller and, when there is one, the application delegate. The toggles' titles and check
// marks start as the stored settings say, so that the toggles find their items by title.
void buildMainMenu(MenuBarModel& menus, ViewController& controller, AppDelegate* delegate);

} // namespace lq
