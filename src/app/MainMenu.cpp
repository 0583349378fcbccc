// The main menu's layout.
#include "app/MainMenu.h"

#include "app/AppDelegate.h"
#include "check/MenuBarModel.h"
#include "check/ViewController.h"
#include "platform/SettingsKeys.h"
#include "platform/SettingsStore.h"

namespace lq {

namespace {

MenuItem item(const QString& title, std::function<void()> trigger, const QString& shortcut = QString(),
              bool on = false) {
    MenuItem entry;
    entry.title = title;
    entry.trigger = std::move(trigger);
    entry.shortcut = shortcut;
    entry.on = on;
    return entry;
}

// An item with the platform's standard shortcut for its command, or `shortcut` where there is none.
MenuItem standard(MenuItem entry, StandardShortcut key) {
    entry.standardShortcut = key;
    return entry;
}

// An item with a fixed place in a Mac's application menu.
MenuItem withRole(MenuItem entry, MenuRole role) {
    entry.role = role;
    return entry;
}

// Every item of the application menu goes into a Mac's own application menu; those with a fixed place
// there keep their role.
Menu applicationMenu(Menu menu) {
    for (MenuItem& entry : menu.items)
        if (!entry.separator && entry.role == MenuRole::none)
            entry.role = MenuRole::applicationMenu;
    return menu;
}

MenuItem separator() {
    MenuItem entry;
    entry.separator = true;
    return entry;
}

// Calls `action` on the delegate when there is one (the headless report has none).
std::function<void()> onDelegate(AppDelegate* delegate, void (AppDelegate::*action)()) {
    if (!delegate)
        return {};
    return [delegate, action] { (delegate->*action)(); };
}

} // namespace

void buildMainMenu(MenuBarModel& menus, ViewController& vc, AppDelegate* delegate) {
    const bool downloadOnly = vc.services.settings.boolValue(keys::noInstallSWU);
    const bool noCheck = vc.services.settings.boolValue(keys::noCheckSWU);
    menus.menus.clear();
    menus.menus.push_back(applicationMenu(Menu{
        QStringLiteral("Lanternquill"),
        {withRole(item(QStringLiteral("About Lanternquill"), onDelegate(delegate, &AppDelegate::showAbout)),
                  MenuRole::about),
         separator(),
         withRole(standard(item(QStringLiteral("Settings…"), onDelegate(delegate, &AppDelegate::openSettings),
                                QStringLiteral("Ctrl+,")),
                           StandardShortcut::settings),
                  MenuRole::settings),
         separator(),
         item(
             downloadOnly ? QStringLiteral("Download Updates") : QStringLiteral("Install Updates"),
             [&vc] { vc.doNoInstallMenuItem(); }, QString(), !downloadOnly),
         item(
             noCheck ? QStringLiteral("Don't Check Updates") : QStringLiteral("Check Updates"),
             [&vc] { vc.doCheckMenuItem(); }, QString(), !noCheck),
         separator(), item(QStringLiteral("Turn On Content Caching…"), [&vc] { vc.activeConCaching(); }),
         item(QStringLiteral("Turn Off Content Caching…"), [&vc] { vc.deactiveConCaching(); }), separator(),
         withRole(standard(item(
                               QStringLiteral("Quit Lanternquill"), [&vc] { vc.windowShouldClose(); },
                               QStringLiteral("Ctrl+Q")),
                           StandardShortcut::quit),
                  MenuRole::quit)}}));
    menus.menus.push_back(Menu{
        menutitles::file,
        {item(
             menutitles::check, [&vc] { vc.checkButtonAct(); }, QStringLiteral("Ctrl+R")),
         separator(),
         item(
             QStringLiteral("Export…"), [&vc] { vc.exportText(); }, QStringLiteral("Ctrl+E")),
         separator(), item(QStringLiteral("Install All Updates"), [&vc] { vc.installAllUpdatesButton(); }),
         item(QStringLiteral("Install Named Update…"), onDelegate(delegate, &AppDelegate::openNamed))}});
    menus.menus.push_back(Menu{
        QStringLiteral("View"),
        {standard(item(
                      QStringLiteral("Bigger Text"), [&vc] { vc.incFontSize(); }, QStringLiteral("Ctrl++")),
                  StandardShortcut::zoomIn),
         standard(item(
                      QStringLiteral("Smaller Text"), [&vc] { vc.decFontSize(); }, QStringLiteral("Ctrl+-")),
                  StandardShortcut::zoomOut)}});
    menus.menus.push_back(Menu{
        QStringLiteral("Help"),
        {standard(item(QStringLiteral("Lanternquill Manual"), onDelegate(delegate, &AppDelegate::openRef),
                       QStringLiteral("F1")),
                  StandardShortcut::help),
         item(QStringLiteral("Marks and Sources"), onDelegate(delegate, &AppDelegate::openHelp)), separator(),
         item(QStringLiteral("Current Updates on the Web"), onDelegate(delegate, &AppDelegate::openUpdates)),
         item(QStringLiteral("Mac Firmware Versions on the Web"),
              onDelegate(delegate, &AppDelegate::openEFIPage)),
         item(QStringLiteral("Companion Tools on the Web"), onDelegate(delegate, &AppDelegate::openSupport)),
         separator(), item(QStringLiteral("Update not checked"), {})}});
    menus.notifyChanged();
}

} // namespace lq
