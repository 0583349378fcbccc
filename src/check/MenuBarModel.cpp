// Menu lookups by title.
#include "check/MenuBarModel.h"

namespace lq {

Menu* MenuBarModel::findMenu(const QString& title) {
    for (Menu& menu : menus)
        if (menu.title == title)
            return &menu;
    return nullptr;
}

MenuItem* MenuBarModel::findItem(const QString& menuTitle, const QString& itemTitle) {
    Menu* menu = findMenu(menuTitle);
    if (!menu)
        return nullptr;
    for (MenuItem& item : menu->items)
        if (!item.separator && item.title == itemTitle)
            return &item;
    return nullptr;
}

bool MenuBarModel::retitle(const QString& menuTitle, const QString& oldTitle, const QString& newTitle) {
    MenuItem* item = findItem(menuTitle, oldTitle);
    if (!item)
        return false;
    item->title = newTitle;
    notifyChanged();
    return true;
}

} // namespace lq
