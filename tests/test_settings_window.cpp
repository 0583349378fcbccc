// The settings window's controller: what the stored settings look like in the window, and what OK
// stores for what the window shows.
#include "app/SettingsViewController.h"
#include "platform/SettingsKeys.h"
#include "support/FakeServices.h"

#include <gtest/gtest.h>

#include <array>
#include <optional>

namespace lq::test {
namespace {

using B = SettingsButton;

// A window without widgets: six buttons, the three update buttons grouped as radio buttons are.
class PlainSettingsView : public SettingsView {
public:
    bool isButtonOn(SettingsButton button) const override { return on[index(button)]; }
    void setButtonOn(SettingsButton button, bool value) override {
        if (isRadio(button) && value) {
            for (SettingsButton radio : {B::dontCheck, B::downloadOnly, B::installToo})
                on[index(radio)] = false;
        }
        on[index(button)] = value;
    }
    void giveFocus(SettingsButton button) override { focused = button; }
    void closeWindow() override { ++closed; }

    static bool isRadio(SettingsButton button) {
        return button == B::dontCheck || button == B::downloadOnly || button == B::installToo;
    }
    static std::size_t index(SettingsButton button) { return static_cast<std::size_t>(button); }

    // As a fresh window has them: nothing checked.
    std::array<bool, 6> on{};
    std::optional<SettingsButton> focused;
    int closed = 0;
};

// What the window shows, in the order checkXPRScans, checkAppUpdates, dontCheck, downloadOnly,
// installToo, allowInstallAll.
using Shown = std::array<bool, 6>;

struct Stored {
    std::optional<bool> noCheckXPRem, noUpdateCheck, noCheckSWU, noInstallSWU, singleInstall;
};

void store(MemorySettings& settings, const Stored& stored) {
    auto put = [&](const QString& key, std::optional<bool> value) {
        if (value)
            settings.setBool(key, *value);
    };
    put(keys::noCheckXPRem, stored.noCheckXPRem);
    put(keys::noUpdateCheck, stored.noUpdateCheck);
    put(keys::noCheckSWU, stored.noCheckSWU);
    put(keys::noInstallSWU, stored.noInstallSWU);
    put(keys::singleInstall, stored.singleInstall);
}

QMap<QString, QVariant> allFive(bool noCheckXPRem, bool noUpdateCheck, bool noCheckSWU, bool noInstallSWU,
                                bool singleInstall) {
    return {{keys::noCheckXPRem, noCheckXPRem},
            {keys::noUpdateCheck, noUpdateCheck},
            {keys::noCheckSWU, noCheckSWU},
            {keys::noInstallSWU, noInstallSWU},
            {keys::singleInstall, singleInstall}};
}

TEST(SettingsWindow, ShowsTheStoredSettingsAndOKStoresWhatIsShown) {
    struct Case {
        const char* name;
        Stored stored;
        Shown shown;
        QMap<QString, QVariant> afterOK; // OK pressed without a change
    };
    const Case cases[] = {
        {"nothing stored",
         {},
         {true, true, false, false, true, true},
         allFive(false, false, false, false, false)},
        {"everything off",
         {true, true, true, true, true},
         {false, false, true, false, false, false},
         allFive(true, true, true, true, true)},
        {"download only",
         {{}, {}, false, true, {}},
         {true, true, false, true, false, true},
         allFive(false, false, false, true, false)},
        // The download-only menu toggle can leave this pair behind; not checking wins, and OK makes the
        // pair consistent.
        {"not checking, install mode",
         {{}, {}, true, false, {}},
         {true, true, true, false, false, true},
         allFive(false, false, true, true, false)},
        {"scans and version check off",
         {true, true, {}, {}, {}},
         {false, false, false, false, true, true},
         allFive(true, true, false, false, false)},
        {"one update at a time",
         {{}, {}, {}, {}, true},
         {true, true, false, false, true, false},
         allFive(false, false, false, false, true)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MemorySettings settings;
        store(settings, c.stored);
        const QMap<QString, QVariant> before = settings.values;
        PlainSettingsView view;
        SettingsViewController controller(settings, view);
        controller.viewDidLoad();
        controller.viewDidAppear();
        EXPECT_EQ(view.on, c.shown);
        EXPECT_EQ(view.focused, std::optional<SettingsButton>(B::checkXPRScans));
        // Showing the window stores nothing.
        EXPECT_EQ(settings.values, before);

        controller.doOKButton();
        EXPECT_EQ(settings.values, c.afterOK);
        EXPECT_EQ(view.closed, 1);
    }
}

TEST(SettingsWindow, AChoiceStoredWithOKIsShownNextTime) {
    MemorySettings settings;
    {
        PlainSettingsView view;
        SettingsViewController controller(settings, view);
        controller.viewDidAppear();
        view.setButtonOn(B::dontCheck, true);
        controller.doRadioButton();
        view.setButtonOn(B::checkAppUpdates, false);
        controller.doOKButton();
    }
    EXPECT_EQ(settings.values, allFive(false, true, true, true, false));

    PlainSettingsView reopened;
    SettingsViewController controller(settings, reopened);
    controller.viewDidAppear();
    EXPECT_EQ(reopened.on, (Shown{true, false, true, false, false, true}));
}

TEST(SettingsWindow, EachAppearanceReloadsTheStoredSettings) {
    // Changes made in the window but not confirmed give way to what is stored, and so do settings
    // changed elsewhere (the download-only toggle of the main menu) while the window was away.
    MemorySettings settings;
    PlainSettingsView view;
    SettingsViewController controller(settings, view);
    controller.viewDidAppear();
    view.setButtonOn(B::checkXPRScans, false);
    view.setButtonOn(B::dontCheck, true);
    settings.setBool(keys::noInstallSWU, true);
    controller.viewDidAppear();
    EXPECT_EQ(view.on, (Shown{true, true, false, true, false, true}));
    EXPECT_EQ(settings.values.size(), 1);
}

} // namespace
} // namespace lq::test
