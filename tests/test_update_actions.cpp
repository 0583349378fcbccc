// The update actions of the main window: the run of all updates and what follows it, the two menu
// toggles and content caching.
#include "app/MainMenu.h"
#include "platform/SettingsKeys.h"
#include "support/Harness.h"
#include "updates/UpdateScripts.h"

#include <gtest/gtest.h>

namespace lq::test {
namespace {

const QString kCSU = QStringLiteral("/usr/sbin/softwareupdate");
const QString kOsascript = QStringLiteral("/usr/bin/osascript");

int revealCalls(const FakeTools& tools) {
    int count = 0;
    for (const FakeTools::Call& call : tools.calls())
        count += call.path == kOsascript && call.input == revealUpdatesScript().toUtf8() ? 1 : 0;
    return count;
}

TEST(InstallAllUpdates, ArgumentsStatusAndRevealByMode) {
    for (const bool downloadOnly : {false, true}) {
        Harness h;
        const QStringList args =
            downloadOnly ? QStringList{QStringLiteral("-da"), QStringLiteral("--include-config-data")}
                         : QStringList{QStringLiteral("-ia"), QStringLiteral("--include-config-data")};
        h.tools.answer(kCSU, args, QStringLiteral("Downloading Safari\n"), 0, QStringLiteral("Done.\n"));
        h.tools.answer(kOsascript, {}, QString());
        h.vc->state.noInstallSWU = downloadOnly;
        h.vc->installAllUpdatesButton();
        EXPECT_FALSE(h.view.updateButtonEnabled);
        EXPECT_FALSE(h.view.updateButtonHidden);
        EXPECT_FALSE(h.view.spinnerHidden);
        ASSERT_TRUE(waitUntilIdle(*h.vc));
        EXPECT_EQ(h.view.fieldText(Field::updateStatusText), downloadOnly
                                                                 ? QStringLiteral("✅ updates downloaded.")
                                                                 : QStringLiteral("✅ updates installed."));
        EXPECT_TRUE(h.view.report.startsWith(QStringLiteral("✅ Downloading Safari\n Done.\n\n")))
            << h.view.report.toStdString();
        EXPECT_TRUE(h.view.updateButtonHidden);
        EXPECT_TRUE(h.view.updateButtonEnabled);
        EXPECT_TRUE(h.view.spinnerHidden);
        EXPECT_EQ(revealCalls(h.tools), downloadOnly ? 1 : 0);
        EXPECT_EQ(h.tools.callCount(kCSU), 1);
    }
}

TEST(InstallAllUpdates, AFailedRunSaysSoAndStillEndsWithTheHistoryAndTheRefresh) {
    struct Case {
        const char* name;
        bool downloadOnly;
        QString out;
        QString err;
        QString status;
        QString line;
    };
    const Case cases[] = {
        {"install, the tool explains", false,
         QStringLiteral("Software Update Tool\n\nFinding available software\n"),
         QStringLiteral("Error downloading Safari: not enough space.\n"),
         QStringLiteral("❌ updates not installed."),
         QStringLiteral("❌ Error downloading Safari: not enough space. Software Update Tool\n\nFinding "
                        "available software error 1\n")},
        {"download, silent failure", true, QString(), QString(), QStringLiteral("❌ updates not downloaded."),
         QStringLiteral("❌ error 1\n")},
    };
    for (const Case& c : cases) {
        Harness h;
        const QStringList args = {c.downloadOnly ? QStringLiteral("-da") : QStringLiteral("-ia"),
                                  QStringLiteral("--include-config-data")};
        h.tools.answer(kCSU, args, c.out, 1, c.err);
        h.tools.answer(kOsascript, {}, QString());
        h.vc->state.noInstallSWU = c.downloadOnly;
        h.vc->state.runDate = h.system.clock;
        h.vc->installAllUpdatesButton();
        ASSERT_TRUE(waitUntilIdle(*h.vc)) << c.name;
        EXPECT_EQ(h.view.fieldText(Field::updateStatusText), c.status) << c.name;
        // The failure line first, then whatever the install history says, then the refreshed
        // security data comparison asks for its list.
        EXPECT_TRUE(h.view.report.startsWith(c.line)) << c.name << ": " << h.view.report.toStdString();
        EXPECT_TRUE(
            h.http.requested.contains(QStringLiteral("https://example.test/updates/master/sysupdates.plist")))
            << c.name;
        // Nothing was downloaded, so there is no folder to show.
        EXPECT_EQ(revealCalls(h.tools), 0) << c.name;
        EXPECT_TRUE(h.view.updateButtonHidden) << c.name;
        EXPECT_TRUE(h.view.spinnerHidden) << c.name;
    }
}

TEST(InstallAllUpdates, ModeIsReadWhenTheRunEnds) {
    Harness h;
    h.tools.answer(kCSU, {QStringLiteral("-ia"), QStringLiteral("--include-config-data")},
                   QStringLiteral("ok"));
    h.tools.answer(kOsascript, {}, QString());
    h.vc->installAllUpdates();
    h.vc->state.noInstallSWU = true; // switched while the run is under way
    ASSERT_TRUE(waitUntilIdle(*h.vc));
    EXPECT_EQ(h.view.fieldText(Field::updateStatusText), QStringLiteral("✅ updates downloaded."));
    EXPECT_EQ(revealCalls(h.tools), 1);
}

struct MenuFixture : ::testing::Test {
    Harness h;
    void SetUp() override { h.addMainMenu(); }
    MenuItem* app(const QString& title) { return h.menus.findItem(QStringLiteral("Lanternquill"), title); }
    MenuItem* file(const QString& title) { return h.menus.findItem(QStringLiteral("File"), title); }
};

TEST_F(MenuFixture, DownloadOnlyToggleTwiceRestoresEverything) {
    h.vc->doNoInstallMenuItem();
    EXPECT_TRUE(h.vc->state.noInstallSWU);
    EXPECT_TRUE(h.settings.boolValue(keys::noInstallSWU));
    ASSERT_NE(app(QStringLiteral("Download Updates")), nullptr);
    EXPECT_FALSE(app(QStringLiteral("Download Updates"))->on);
    EXPECT_NE(file(QStringLiteral("Download All Updates")), nullptr);
    EXPECT_NE(file(QStringLiteral("Download Named Update…")), nullptr);
    EXPECT_EQ(h.view.updateButtonTitle, QStringLiteral("Download all updates"));
    EXPECT_EQ(h.view.windowTitle(),
              QStringLiteral("⚠️ Lanternquill – macOS Version 14.5 (Build 23F79)"));

    h.vc->doNoInstallMenuItem();
    EXPECT_FALSE(h.settings.boolValue(keys::noInstallSWU));
    ASSERT_NE(app(QStringLiteral("Install Updates")), nullptr);
    EXPECT_TRUE(app(QStringLiteral("Install Updates"))->on);
    EXPECT_NE(file(QStringLiteral("Install All Updates")), nullptr);
    EXPECT_NE(file(QStringLiteral("Install Named Update…")), nullptr);
    EXPECT_EQ(h.view.updateButtonTitle, QStringLiteral("Install all updates"));
    // The switch writes the short title, without " 2".
    EXPECT_EQ(h.view.windowTitle(), QStringLiteral("Lanternquill – macOS Version 14.5 (Build 23F79)"));
}

TEST_F(MenuFixture, DownloadOnlyToggleWithoutItsAppMenuItemStillRetitlesTheRest) {
    app(QStringLiteral("Install Updates"))->title = QStringLiteral("Something Else");
    h.vc->doNoInstallMenuItem();
    EXPECT_NE(file(QStringLiteral("Download All Updates")), nullptr);
    EXPECT_EQ(h.view.updateButtonTitle, QStringLiteral("Download all updates"));
}

TEST_F(MenuFixture, CheckToggleTwiceRestoresAndIsNotStored) {
    h.vc->doCheckMenuItem();
    EXPECT_TRUE(h.vc->state.noCheckSWU);
    ASSERT_NE(app(QStringLiteral("Don't Check Updates")), nullptr);
    EXPECT_FALSE(app(QStringLiteral("Don't Check Updates"))->on);
    h.vc->doCheckMenuItem();
    EXPECT_FALSE(h.vc->state.noCheckSWU);
    ASSERT_NE(app(QStringLiteral("Check Updates")), nullptr);
    EXPECT_TRUE(app(QStringLiteral("Check Updates"))->on);
    EXPECT_FALSE(h.settings.values.contains(keys::noCheckSWU));
}

TEST(MenuToggles, MissingItemsStillFlipTheValues) {
    Harness h; // no menu at all
    h.vc->doCheckMenuItem();
    EXPECT_TRUE(h.vc->state.noCheckSWU);
    h.vc->doNoInstallMenuItem();
    EXPECT_TRUE(h.vc->state.noInstallSWU);
    EXPECT_TRUE(h.settings.boolValue(keys::noInstallSWU));
}

TEST(MenuToggles, StartTitlesFollowTheStoredSettings) {
    Harness h;
    h.settings.setBool(keys::noInstallSWU, true);
    h.settings.setBool(keys::noCheckSWU, true);
    h.addMainMenu();
    EXPECT_NE(h.menus.findItem(QStringLiteral("Lanternquill"), QStringLiteral("Download Updates")), nullptr);
    EXPECT_NE(h.menus.findItem(QStringLiteral("Lanternquill"), QStringLiteral("Don't Check Updates")),
              nullptr);
}

TEST(ContentCaching, ScriptsAndTheirResults) {
    Harness h;
    h.tools.answer(kOsascript, {}, QString(), 1); // cancelled or failed
    h.vc->activeConCaching();
    // The script waits for a password off the main thread; its result comes when it ends.
    EXPECT_EQ(h.view.report, QString());
    ASSERT_TRUE(waitUntilIdle(*h.vc));
    EXPECT_EQ(h.view.report, QStringLiteral("Failed, error executing script\n"));
    ASSERT_EQ(h.tools.calls().size(), 1u);
    EXPECT_EQ(h.tools.calls()[0].input, contentCachingOnScript().toUtf8());

    Harness quiet;
    quiet.tools.answer(kOsascript, {}, QStringLiteral("\n")); // the shell command printed nothing
    quiet.vc->deactiveConCaching();
    ASSERT_TRUE(waitUntilIdle(*quiet.vc));
    EXPECT_EQ(quiet.view.report, QStringLiteral("\n"));
    EXPECT_EQ(quiet.tools.calls()[0].input, contentCachingOffScript().toUtf8());
}

} // namespace
} // namespace lq::test
