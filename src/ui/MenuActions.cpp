// Menu roles and shortcuts of the menu bar's actions.
#include "ui/MenuActions.h"

namespace lq {

QAction::MenuRole qtMenuRole(MenuRole role) {
    switch (role) {
    case MenuRole::about:
        return QAction::AboutRole;
    case MenuRole::settings:
        return QAction::PreferencesRole;
    case MenuRole::quit:
        return QAction::QuitRole;
    case MenuRole::applicationMenu:
        return QAction::ApplicationSpecificRole;
    case MenuRole::none:
        break;
    }
    return QAction::NoRole;
}

namespace {

QKeySequence::StandardKey standardKey(StandardShortcut shortcut) {
    switch (shortcut) {
    case StandardShortcut::settings:
        return QKeySequence::Preferences;
    case StandardShortcut::quit:
        return QKeySequence::Quit;
    case StandardShortcut::zoomIn:
        return QKeySequence::ZoomIn;
    case StandardShortcut::zoomOut:
        return QKeySequence::ZoomOut;
    case StandardShortcut::help:
        return QKeySequence::HelpContents;
    case StandardShortcut::none:
        break;
    }
    return QKeySequence::UnknownKey;
}

} // namespace

QList<QKeySequence> shortcutsFor(const MenuItem& item) {
    if (item.standardShortcut != StandardShortcut::none) {
        const QList<QKeySequence> standard = QKeySequence::keyBindings(standardKey(item.standardShortcut));
        if (!standard.isEmpty())
            return standard;
    }
    if (item.shortcut.isEmpty())
        return {};
    return {QKeySequence(item.shortcut)};
}

} // namespace lq
