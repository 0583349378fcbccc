// The update check: the listing and the content caching question in the background, and how their
// answers show in the status field, the report and the update button.
#include "platform/SettingsKeys.h"
#include "support/Harness.h"

#include <gtest/gtest.h>

namespace lq::test {
namespace {

const QString kSoftwareUpdate = QStringLiteral("/usr/sbin/softwareupdate");
const QStringList kListing = {QStringLiteral("-l"), QStringLiteral("--include-config-data")};
const QString kCaching = QStringLiteral("/usr/bin/AssetCacheManagerUtil");
const QStringList kIsActivated = {QStringLiteral("isActivated")};

const QString kPendingList = QStringLiteral(
    "Software Update Tool\n\nFinding available software\nSoftware Update found the following new or updated "
    "software:\n* Label: macOS Ventura 13.7.4-22H420\n\tTitle: macOS Ventura 13.7.4, Version: 13.7.4, Size: "
    "1555614KiB, Recommended: YES, Action: restart, \n");
const QString kCachingOn = QStringLiteral(
    "2026-08-24 09:41:07.118 AssetCacheManagerUtil[1203:20417] Content caching is activated.\n");
const QString kCachingOff = QStringLiteral(
    "2026-08-24 09:41:07.118 AssetCacheManagerUtil[1203:20417] Content caching is deactivated.\n");
const QString kCachingWarning = QStringLiteral(
    "⚠️ Content Caching server is enabled.\n❓Consider disabling it if updates fail to install.\n");

TEST(UpdateCheck, ResultsShowInFieldReportAndButton) {
    struct Case {
        const char* name;
        ToolRun listing;
        ToolRun caching;
        bool singleInstall;
        QString status;
        QString report;
        bool buttonHidden;
    };
    const ToolRun cachingOn{0, {}, kCachingOn.toUtf8()};
    const ToolRun cachingOff{1, {}, kCachingOff.toUtf8()};
    const ToolRun pending{0, kPendingList.toUtf8(), {}};
    const QString none = QStringLiteral("No new software available.\n");
    const QString available = QStringLiteral("⚠️ updates available.");
    const Case cases[] = {
        {"nothing pending, said on standard error",
         {0, "Software Update Tool\n\nFinding available software\n", none.toUtf8()},
         cachingOn,
         false,
         QStringLiteral("✅ no updates."),
         // The join space lands at the start of the line after the standard output.
         QStringLiteral(
             "✅ Software Update Tool\n\nFinding available software\n No new software available.\n\n"),
         true},
        {"nothing pending, said on standard output",
         {0, none.toUtf8(), {}},
         cachingOff,
         false,
         QStringLiteral("✅ no updates."),
         QStringLiteral("✅ No new software available.\n \n"),
         true},
        {"pending, caching off", pending, cachingOff, false, available,
         QStringLiteral("⚠️ ") + kPendingList + QStringLiteral(" \n"), false},
        {"pending, caching on", pending, cachingOn, false, available,
         QStringLiteral("⚠️ ") + kPendingList + QStringLiteral(" \n") + kCachingWarning, false},
        {"pending, one update at a time", pending, cachingOn, true, available,
         QStringLiteral("⚠️ ") + kPendingList + QStringLiteral(" \n") + kCachingWarning, true},
        {"listing failed",
         {1, "Finding available software\n", "No new software available.\n"},
         cachingOff,
         false,
         available,
         QStringLiteral("⚠️  Failed, error = 1\n"),
         false},
        {"listing failed, caching on",
         {1, {}, {}},
         cachingOn,
         false,
         available,
         QStringLiteral("⚠️  Failed, error = 1\n") + kCachingWarning,
         false},
        // A caching tool that failed has its output dropped, so its words cannot raise the warning.
        {"caching tool failed",
         pending,
         {2, {}, kCachingOn.toUtf8()},
         false,
         available,
         QStringLiteral("⚠️ ") + kPendingList + QStringLiteral(" \n"),
         false},
        {"the test is case-sensitive",
         {0, "no new software available.", {}},
         cachingOff,
         false,
         available,
         QStringLiteral("⚠️ no new software available. \n"),
         false},
    };
    for (const Case& c : cases) {
        Harness h;
        h.tools.answer(kSoftwareUpdate, kListing, c.listing);
        h.tools.answer(kCaching, kIsActivated, c.caching);
        h.settings.setBool(keys::singleInstall, c.singleInstall);
        h.view.updateButtonHidden = !c.buttonHidden;
        h.vc->checkForUpdates();
        ASSERT_TRUE(waitUntilIdle(*h.vc)) << c.name;
        EXPECT_EQ(h.view.fieldText(Field::updateStatusText), c.status) << c.name;
        EXPECT_EQ(h.view.report, c.report) << c.name;
        EXPECT_EQ(h.view.updateButtonHidden, c.buttonHidden) << c.name;
        EXPECT_TRUE(h.view.spinnerHidden) << c.name;
        EXPECT_FALSE(h.view.spinnerAnimating) << c.name;
    }
}

TEST(UpdateCheck, ShowsItIsBusyUntilTheResultArrives) {
    Harness h;
    h.tools.answer(kSoftwareUpdate, kListing, kPendingList);
    h.tools.answer(kCaching, kIsActivated, QString(), 0, kCachingOn);
    h.view.spinnerHidden = true;
    h.vc->checkForUpdates();
    // The result is handed to the main thread, which has not turned its event loop yet.
    EXPECT_EQ(h.view.fieldText(Field::updateStatusText), QStringLiteral("Checking for updates…"));
    EXPECT_FALSE(h.view.spinnerHidden);
    EXPECT_TRUE(h.view.spinnerAnimating);
    EXPECT_EQ(h.vc->pendingWork(), 1);
    EXPECT_EQ(h.view.report, QString());
    // The setting is read when the result arrives, not when the check starts.
    h.settings.setBool(keys::singleInstall, true);
    h.view.updateButtonHidden = false;
    ASSERT_TRUE(waitUntilIdle(*h.vc));
    EXPECT_EQ(h.vc->pendingWork(), 0);
    EXPECT_TRUE(h.view.updateButtonHidden);
    EXPECT_EQ(h.view.fieldText(Field::updateStatusText), QStringLiteral("⚠️ updates available."));
}

TEST(UpdateCheck, TwoChecksInFlightEachWriteTheirOwnLines) {
    Harness h;
    h.tools.answer(kSoftwareUpdate, kListing, QString(), 0, QStringLiteral("No new software available."));
    h.tools.answer(kCaching, kIsActivated, QString(), 1, kCachingOff);
    h.vc->checkForUpdates();
    h.vc->checkForUpdates();
    EXPECT_EQ(h.vc->pendingWork(), 2);
    ASSERT_TRUE(waitUntilIdle(*h.vc));
    EXPECT_EQ(h.view.report,
              QStringLiteral("✅  No new software available.\n✅  No new software available.\n"));
    EXPECT_EQ(h.tools.callCount(kSoftwareUpdate), 2);
    EXPECT_EQ(h.tools.callCount(kCaching), 2);
}

TEST(UpdateCheck, NotCheckingStartsNoTool) {
    Harness h;
    h.vc->state.noCheckSWU = true;
    h.view.updateButtonHidden = false;
    h.view.spinnerHidden = true;
    h.vc->checkForUpdates();
    EXPECT_EQ(h.vc->pendingWork(), 0);
    h.vc->processingQueue().waitForDone();
    EXPECT_TRUE(h.tools.calls().empty());
    EXPECT_EQ(h.view.fieldText(Field::updateStatusText), QStringLiteral("❌ updates not checked."));
    EXPECT_EQ(h.view.report, QStringLiteral("❌ updates not checked.\n"));
    EXPECT_TRUE(h.view.updateButtonHidden);
    EXPECT_TRUE(h.view.spinnerHidden);
}

TEST(UpdateCheck, ListingArgumentsFollowTheSystemVersion) {
    struct Case {
        int osVersion;
        QStringList args;
    };
    const QStringList plain = {QStringLiteral("-l")};
    // The code is the minor version on 10.x: 11 is OS X 10.11, 15 is macOS 10.15, 16 is macOS 11.
    const Case cases[] = {{10, plain}, {11, plain}, {12, kListing}, {15, kListing}, {16, kListing}};
    for (const Case& c : cases) {
        Harness h;
        h.vc->state.osVersion = c.osVersion;
        h.vc->checkForUpdates();
        ASSERT_TRUE(waitUntilIdle(*h.vc)) << c.osVersion;
        const std::vector<FakeTools::Call> calls = h.tools.calls();
        ASSERT_EQ(calls.size(), 2u) << c.osVersion;
        EXPECT_EQ(calls[0].path, kSoftwareUpdate);
        EXPECT_EQ(calls[0].args, c.args) << c.osVersion;
        // The caching question is asked even though the listing tool was not there at all.
        EXPECT_EQ(calls[1].path, kCaching);
        EXPECT_EQ(calls[1].args, kIsActivated);
        EXPECT_EQ(h.view.report, QStringLiteral("⚠️  Failed, error = 127\n")) << c.osVersion;
    }
}

} // namespace
} // namespace lq::test
