// The application's main menu as plain data. Controllers look items up by title and change them; the
// widgets draw the menu bar from it and redraw when told that it changed.
#pragma once

#include <QString>

#include <functional>
#include <vector>

namespace lq {

// Where an item goes beyond its own menu. A Mac makes the application menu itself: the items of ours go
// into it (About, Settings and Quit into their fixed places), so that no second menu of the same name
// stands beside it. Elsewhere the roles change nothing.
enum class MenuRole { none, about, settings, quit, applicationMenu };

// A shortcut the platform defines for a common command (⌘, for Settings on a Mac, for example).
enum class StandardShortcut { none, settings, quit, zoomIn, zoomOut, help };

struct MenuItem {
    QString title;
    bool on = false; // shows a check mark
    bool enabled = true;
    bool separator = false;
    // A QKeySequence text such as "Ctrl+E" (Ctrl is ⌘ on a Mac); the shortcut where the platform has no
    // standard one for `standardShortcut`.
    QString shortcut;
    StandardShortcut standardShortcut = StandardShortcut::none;
    MenuRole role = MenuRole::none;
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
