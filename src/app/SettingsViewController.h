// The settings window's controller: shows five stored settings each time the window appears and
// stores the user's choices only when OK is pressed.
#pragma once

#include "app/SettingsView.h"

namespace lq {

class SettingsStore;

class SettingsViewController {
public:
    SettingsViewController(SettingsStore& settings, SettingsView& view) : settings_(settings), view_(view) {}

    void viewDidLoad() {}
    void viewDidAppear();
    // The radio buttons' common action; the group itself keeps one of them selected.
    void doRadioButton() {}
    void doOKButton();

private:
    SettingsStore& settings_;
    SettingsView& view_;
};

} // namespace lq
