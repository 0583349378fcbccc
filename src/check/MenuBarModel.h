// The application's main menu as plain data. Controllers look items up by title and change them; the
// widgets draw the menu bar from it and redraw when told that it changed.
#pragma once

#include <QString>

#include <functional>
#include <vector>

namespace lq {

struct MenuItem {
    QString title;
    bool on = false; // shows a check mark
    bool enabled = true;
    bool separator = false;
    QString shortcut; // a QKeySequence text such as "Ctrl+E", or a standard key name
    std::function<void()> trigger;
};

struct Menu {
    QString title;
    std::vector<MenuItem> items;
};

class MenuBarModel {
public:
    std::vector<Menu> menus;

    Menu* findMenu(const QString& title);
    // The item titled `itemTitle` in the submenu of the main menu item titled `menuTitle`.
    MenuItem* findItem(const QString& menuTitle, const QString& itemTitle);
    // Retitles the item when it is there; tells whether it was.
    bool retitle(const QString& menuTitle, const QString& oldTitle, const QString& newTitle);

    // The widgets set this to redraw; changes call it through notifyChanged().
    std::function<void()> changed;
    void notifyChanged() const {
        if (changed)
            changed();
    }
};

} // namespace lq
