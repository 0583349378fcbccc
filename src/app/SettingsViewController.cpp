// The settings window's controller.
#include "app/SettingsViewController.h"

#include "platform/SettingsKeys.h"
#include "platform/SettingsStore.h"

namespace lq {

void SettingsViewController::viewDidAppear() {
    view_.giveFocus(SettingsButton::checkXPRScans);
    view_.setButtonOn(SettingsButton::checkXPRScans, !settings_.boolValue(keys::noCheckXPRem));
    view_.setButtonOn(SettingsButton::checkAppUpdates, !settings_.boolValue(keys::noUpdateCheck));
    // Not checking wins over download-only: the update check never gets as far as downloading.
    if (settings_.boolValue(keys::noCheckSWU))
        view_.setButtonOn(SettingsButton::dontCheck, true);
    else if (settings_.boolValue(keys::noInstallSWU))
        view_.setButtonOn(SettingsButton::downloadOnly, true);
    else
        view_.setButtonOn(SettingsButton::installToo, true);
    view_.setButtonOn(SettingsButton::allowInstallAll, !settings_.boolValue(keys::singleInstall));
}

void SettingsViewController::doOKButton() {
    settings_.setBool(keys::noCheckXPRem, !view_.isButtonOn(SettingsButton::checkXPRScans));
    settings_.setBool(keys::noUpdateCheck, !view_.isButtonOn(SettingsButton::checkAppUpdates));
    if (view_.isButtonOn(SettingsButton::dontCheck)) {
        settings_.setBool(keys::noCheckSWU, true);
        settings_.setBool(keys::noInstallSWU, true);
    } else {
        settings_.setBool(keys::noCheckSWU, false);
        settings_.setBool(keys::noInstallSWU, view_.isButtonOn(SettingsButton::downloadOnly));
    }
    settings_.setBool(keys::singleInstall, !view_.isButtonOn(SettingsButton::allowInstallAll));
    view_.closeWindow();
}

} // namespace lq
