// What the settings window's controller can do to its window.
#pragma once

namespace lq {

// The buttons of the settings window, named as the controller knows them. The three update buttons
// are radio buttons of one group; the others are check boxes.
enum class SettingsButton {
    checkXPRScans,
    checkAppUpdates,
    dontCheck,
    downloadOnly,
    installToo,
    allowInstallAll,
};

class SettingsView {
public:
    virtual ~SettingsView() = default;
    virtual bool isButtonOn(SettingsButton button) const = 0;
    // Checks or unchecks a check box; selecting a radio button deselects the other two.
    virtual void setButtonOn(SettingsButton button, bool on) = 0;
    virtual void giveFocus(SettingsButton button) = 0;
    virtual void closeWindow() = 0;
};

} // namespace lq
