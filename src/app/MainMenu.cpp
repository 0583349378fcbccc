// The main menu's layout and the main window controller's items.
#include "app/MainMenu.h"

#include "check/MenuBarModel.h"
#include "check/ViewController.h"

namespace lq {

namespace {
MenuItem item(const QString& title, std::function<void()> trigger, const QString& shortcut = QString()) {
    MenuItem entry;
    entry.title = title;
    entry.trigger = std::move(trigger);
    entry.shortcut = shortcut;
    return entry;
}
MenuItem separator() {
    MenuItem entry;
    entry.separator = true;
    return entry;
}
} // namespace

void buildMainMenu(MenuBarModel& menus, ViewController& vc) {
    menus.menus.clear();
    menus.menus.push_back(Menu{QStringLiteral("Lanternquill"),
                               {item(
                                   QStringLiteral("Quit Lanternquill"), [&vc] { vc.windowShouldClose(); },
                                   QStringLiteral("Ctrl+Q"))}});
    menus.menus.push_back(
        Menu{QStringLiteral("File"),
             {item(
                  QStringLiteral("Export…"), [&vc] { vc.exportText(); }, QStringLiteral("Ctrl+E")),
              separator(), item(QStringLiteral("Install All Updates"), [&vc] { vc.installAllUpdates(); }),
              item(QStringLiteral("Install Named Update…"), {})}});
    menus.menus.push_back(
        Menu{QStringLiteral("View"),
             {item(
                  QStringLiteral("Bigger Text"), [&vc] { vc.incFontSize(); }, QStringLiteral("Ctrl++")),
              item(
                  QStringLiteral("Smaller Text"), [&vc] { vc.decFontSize(); }, QStringLiteral("Ctrl+-"))}});
    menus.menus.push_back(Menu{QStringLiteral("Help"), {}});
}

} // namespace lq
