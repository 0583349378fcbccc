// The application's own version check: when it is due, what the published list of applications makes
// of the Help menu and which updates are offered, and how failures stay quiet.
#include "app/AppDelegate.h"
#include "app/AppVersionCheck.h"
#include "app/MainMenu.h"
#include "check/MenuBarModel.h"
#include "platform/PropertyList.h"
#include "platform/QtHttpGetter.h"
#include "platform/SettingsKeys.h"
#include "support/Harness.h"
#include "support/TestServer.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <vector>

namespace lq::test {
namespace {

const QString kBase = QStringLiteral("https://example.test/updates/master/");
const QString kSite = QStringLiteral("https://lanternquill.example.org/download/");
// 2025-03-02 09:30:00 UTC, the fake clock, in seconds since 2001-01-01 UTC.
constexpr double kNow = 762600600.0;

QByteArray infoPlist(const QByteArray& entries) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><plist version=\"1.0\"><dict>" + entries +
           "</dict></plist>";
}
QByteArray infoPlistWithVersion(const QByteArray& version) {
    return infoPlist("<key>CFBundleName</key><string>Lanternquill</string>"
                     "<key>CFBundleShortVersionString</key><string>" +
                     version + "</string>");
}

struct Entry {
    QByteArray name;
    QByteArray version;
    QByteArray url;
};
QByteArray entryXml(const Entry& entry) {
    return "<dict><key>AppName</key><string>" + entry.name + "</string><key>Version</key><string>" +
           entry.version + "</string><key>URL</key><string>" + entry.url + "</string></dict>";
}
QByteArray listOf(const QByteArray& elements) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><plist version=\"1.0\"><array>" + elements +
           "</array></plist>";
}
QByteArray appList(const std::vector<Entry>& entries) {
    QByteArray elements;
    for (const Entry& entry : entries)
        elements += entryXml(entry);
    return listOf(elements);
}

HttpResponse answer(const QByteArray& body, int status = 200,
                    const QString& type = QStringLiteral("text/xml")) {
    return HttpResponse{false, {}, true, status, type, body};
}

// An application delegate on fake services with the real main menu, whose alerts and offers are
// recorded and whose update alert answers as the test says.
struct VersionCheck {
    // Fetches through `http` from `base` when given, else through the fake client.
    explicit VersionCheck(HttpGetter* http = nullptr, const QString& base = kBase)
        : services{h.tools, h.files, h.settings, h.system, h.ioRegistry, http ? *http : h.http} {
        delegate = std::make_unique<AppDelegate>(
            services, interface, h.menus, [this](const QString& text) { alerts.append(text); }, base);
        delegate->appInfoPlist = [this] { return runningInfoPlist; };
        delegate->askToDownload = [this](const QString& message, const QString& informative) {
            offers.append(message);
            informativeTexts.append(informative);
            return chooseDownload;
        };
        buildMainMenu(h.menus, *h.vc, delegate.get());
    }
    void serve(HttpResponse response) {
        h.http.responses.insert(kBase + QStringLiteral("brindledapps.plist"), response);
    }
    // Starts the check and waits until its fetch has been dealt with.
    bool checkAndWait() {
        delegate->checkForAppUpdate();
        return waitFor([this] { return delegate->pendingWork() == 0; });
    }
    const MenuItem* item(const QString& title) { return h.menus.findItem(QStringLiteral("Help"), title); }
    bool menuShowsChecked() {
        const MenuItem* checked = item(QStringLiteral("Checked for update"));
        return checked && checked->on && !item(QStringLiteral("Update not checked"));
    }
    bool menuUntouched() {
        const MenuItem* unchecked = item(QStringLiteral("Update not checked"));
        return unchecked && !unchecked->on && !item(QStringLiteral("Checked for update"));
    }

    Harness h{kBase};
    Services services;
    Interface interface;
    std::unique_ptr<AppDelegate> delegate;
    QByteArray runningInfoPlist = infoPlistWithVersion("2.0.0");
    bool chooseDownload = false;
    QStringList alerts;
    QStringList offers;
    QStringList informativeTexts;
};

// ---- When a check is due ----

TEST(AppUpdateDue, FollowsTheIntervalStrictlyAndTheSwitch) {
    struct Case {
        const char* name;
        std::optional<bool> noUpdateCheck;
        std::optional<double> secondsSinceLast; // stored as now minus this
        std::optional<double> interval;
        bool due;
    };
    const Case cases[] = {
        {"first launch, nothing stored", {}, {}, {}, true},
        {"default interval, exactly 12 h ago", {}, 43200, {}, false},
        {"default interval, 12 h and a second ago", {}, 43201, {}, true},
        {"interval below a second means 12 h", {}, 43200, 0.5, false},
        {"interval below a second, past 12 h", {}, 43201, 0.5, true},
        {"an hour's interval", {}, 3601, 3600, true},
        {"a day's interval, exactly a day ago", {}, 86400, 86400, false},
        {"switched off, never checked", true, {}, {}, false},
        {"switch stored as false", false, {}, {}, true},
        {"last check in the future (clock set back)", {}, -600, {}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        VersionCheck check;
        if (c.noUpdateCheck)
            check.h.settings.setBool(keys::noUpdateCheck, *c.noUpdateCheck);
        if (c.secondsSinceLast)
            check.h.settings.setDouble(keys::dateLastUpdateCheck, kNow - *c.secondsSinceLast);
        if (c.interval)
            check.h.settings.setDouble(keys::updateCheckInt, *c.interval);
        const double before = check.h.settings.doubleValue(keys::dateLastUpdateCheck);

        check.delegate->checkAppUpdateIfDue();

        EXPECT_EQ(check.h.http.requested.size(), c.due ? 1 : 0);
        EXPECT_DOUBLE_EQ(check.h.settings.doubleValue(keys::dateLastUpdateCheck), c.due ? kNow : before);
        ASSERT_TRUE(waitFor([&] { return check.delegate->pendingWork() == 0; }));
    }
}

TEST(AppUpdateDue, StoresTheStartEvenWhenTheCheckCannotRun) {
    // No version to compare and no answer from the network: the next check still waits a whole interval.
    VersionCheck check;
    check.runningInfoPlist = infoPlist("<key>CFBundleName</key><string>Lanternquill</string>");
    check.delegate->checkAppUpdateIfDue();
    EXPECT_DOUBLE_EQ(check.h.settings.doubleValue(keys::dateLastUpdateCheck), kNow);
    EXPECT_TRUE(check.h.http.requested.isEmpty());
}

TEST(AppUpdateDue, CountsSecondsFromTheStartOf2001InUtc) {
    EXPECT_DOUBLE_EQ(secondsSinceReferenceDate(QDateTime(QDate(2001, 1, 1), QTime(0, 0, 1), Qt::UTC)), 1.0);
    EXPECT_DOUBLE_EQ(secondsSinceReferenceDate(QDateTime(QDate(2025, 3, 2), QTime(9, 30), Qt::UTC)), kNow);
    // The same moment given in another zone counts the same.
    EXPECT_DOUBLE_EQ(
        secondsSinceReferenceDate(QDateTime(QDate(2025, 3, 2), QTime(11, 30), Qt::OffsetFromUTC, 7200)),
        kNow);
}

// ---- The running version ----

TEST(RunningVersion, ComesFromTheInfoPlist) {
    VersionCheck noVersion;
    noVersion.runningInfoPlist = infoPlist("<key>CFBundleName</key><string>Lanternquill</string>");
    ASSERT_TRUE(noVersion.checkAndWait());
    EXPECT_EQ(noVersion.alerts,
              QStringList{QStringLiteral("Can't check for updates:\nNo app version string found.")});
    EXPECT_TRUE(noVersion.h.http.requested.isEmpty());

    // A version that is not text is no version string either.
    VersionCheck numberVersion;
    numberVersion.runningInfoPlist = infoPlist("<key>CFBundleShortVersionString</key><integer>2</integer>");
    ASSERT_TRUE(numberVersion.checkAndWait());
    EXPECT_EQ(numberVersion.alerts.size(), 1);

    // Nothing to check against at all: silent.
    for (const QByteArray& nothing :
         {infoPlist(""), QByteArray(), QByteArray("not a property list"), listOf("<string>2.0.0</string>")}) {
        VersionCheck silent;
        silent.runningInfoPlist = nothing;
        ASSERT_TRUE(silent.checkAndWait());
        EXPECT_TRUE(silent.alerts.isEmpty());
        EXPECT_TRUE(silent.h.http.requested.isEmpty());
    }
}

TEST(RunningVersion, TheShippedInfoPlistCarriesTheProjectVersion) {
    const RunningVersion running = readRunningVersion(AppDelegate::bundledInfoPlist());
    ASSERT_EQ(running.kind, RunningVersion::Kind::Found);
    EXPECT_EQ(running.version, QStringLiteral(LQ_VERSION));
}

// ---- What the published list brings ----

TEST(AppVersionComparison, MenuAndOffersFollowTheList) {
    const QByteArray site = kSite.toUtf8();
    struct Case {
        const char* name;
        QByteArray list;
        bool menuChecked;
        QStringList offeredVersions;
    };
    const Case cases[] = {
        {"the same version", appList({{"Lanternquill2", "2.0.0", site + "lq-2.0.0.dmg"}}), true, {}},
        {"a newer version", appList({{"Lanternquill2", "2.1.0", site + "lq-2.1.0.dmg"}}), true, {"2.1.0"}},
        {"an older version counts as different",
         appList({{"Lanternquill2", "1.9.0", site + "lq-1.9.0.dmg"}}),
         true,
         {"1.9.0"}},
        {"equal only when exactly equal",
         appList({{"Lanternquill2", "2.0.0 ", site + "lq.dmg"}}),
         true,
         {"2.0.0 "}},
        {"another host",
         appList({{"Lanternquill2", "2.1.0", "https://downloads.example.com/lq-2.1.0.dmg"}}),
         true,
         {}},
        {"the site only inside the address",
         appList({{"Lanternquill2", "2.1.0", "https://elsewhere.example.com/?from=" + site}}),
         true,
         {}},
        {"an option in front of the site",
         appList({{"Lanternquill2", "2.1.0", "-a Terminal " + site}}),
         true,
         {}},
        {"two entries, each offered in turn",
         appList({{"Lanternquill2", "2.1.0", site + "a.dmg"}, {"Lanternquill2", "2.2.0", site + "b.dmg"}}),
         true,
         {"2.1.0", "2.2.0"}},
        {"other applications only",
         appList({{"Lanternquill", "9.0", site + "x.dmg"}, {"lanternquill2", "9.0", site}}),
         false,
         {}},
        {"entries that are no dictionaries or lack text are passed over",
         listOf(
             "<string>Lanternquill2</string>"
             "<dict><key>AppName</key><string>Lanternquill2</string><key>Version</key><integer>3</integer>"
             "<key>URL</key><string>" +
             site +
             "c.dmg</string></dict>"
             "<dict><key>AppName</key><string>Lanternquill2</string><key>Version</key><string>2.3.0</string>"
             "</dict>" +
             entryXml({"Lanternquill2", "2.4.0", site + "d.dmg"})),
         true,
         {"2.4.0"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        VersionCheck check;
        check.serve(answer(c.list));
        ASSERT_TRUE(check.checkAndWait());
        EXPECT_EQ(check.menuShowsChecked(), c.menuChecked);
        EXPECT_EQ(check.menuUntouched(), !c.menuChecked);
        QStringList expected;
        for (const QString& version : c.offeredVersions)
            expected.append(QStringLiteral("An update to this app to version %1 is available.").arg(version));
        EXPECT_EQ(check.offers, expected);
        EXPECT_TRUE(check.alerts.isEmpty());
        check.delegate.reset(); // waits for any run of the open tool it started
        EXPECT_EQ(check.h.tools.callCount(QStringLiteral("/usr/bin/open")), 0); // every offer ignored
    }
}

TEST(AppVersionComparison, TheAlertNamesBothVersions) {
    VersionCheck check;
    check.runningInfoPlist = infoPlistWithVersion("2.1.0");
    check.serve(answer(appList({{"Lanternquill2", "2.0.0", kSite.toUtf8() + "lq-2.0.0.dmg"}})));
    ASSERT_TRUE(check.checkAndWait());
    // A running version newer than the published one is still offered the published one.
    EXPECT_EQ(check.offers,
              QStringList{QStringLiteral("An update to this app to version 2.0.0 is available.")});
    EXPECT_EQ(
        check.informativeTexts,
        QStringList{QStringLiteral("You are currently running Lanternquill2 version 2.1.0.\nPlease choose "
                                   "whether to download this update now in your default browser.")});
}

TEST(AppVersionComparison, DownloadOpensTheAddressInTheBrowser) {
    const QString url = kSite + QStringLiteral("lanternquill-2.1.0.dmg");
    VersionCheck check;
    check.chooseDownload = true;
    check.serve(answer(appList({{"Lanternquill2", "2.1.0", url.toUtf8()}})));
    ASSERT_TRUE(check.checkAndWait());
    // The open tool runs off the main thread.
    ASSERT_TRUE(waitFor([&] { return !check.h.tools.calls().empty(); }));
    const auto calls = check.h.tools.calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].path, QStringLiteral("/usr/bin/open"));
    EXPECT_EQ(calls[0].args, QStringList{url});
}

TEST(AppVersionComparison, FailuresOfTheFetchStayQuietButBadListsAreShown) {
    struct Case {
        const char* name;
        std::optional<HttpResponse> response; // none: the network fails
        QStringList alerts;
    };
    const QString badList = QStringLiteral("Error in update Property List.");
    const Case cases[] = {
        {"no connection", std::nullopt, {}},
        {"not found", answer(appList({{"Lanternquill2", "2.1.0", kSite.toUtf8()}}), 404), {}},
        {"a web page",
         answer(appList({{"Lanternquill2", "2.1.0", kSite.toUtf8()}}), 200, QStringLiteral("text/html")),
         {}},
        {"not a property list", answer("<html>moved</html>", 200, QStringLiteral("text/plain")), {badList}},
        {"a dictionary instead of a list", answer(infoPlistWithVersion("2.1.0")), {badList}},
        {"an empty list", answer(listOf("")), {QStringLiteral("Update Property List has no entries.")}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        VersionCheck check;
        if (c.response)
            check.serve(*c.response);
        ASSERT_TRUE(check.checkAndWait());
        EXPECT_EQ(check.h.http.requested, QStringList{kBase + QStringLiteral("brindledapps.plist")});
        EXPECT_EQ(check.alerts, c.alerts);
        EXPECT_TRUE(check.offers.isEmpty());
        EXPECT_TRUE(check.menuUntouched());
    }
}

TEST(AppVersionComparison, TheFetchCountsAsWorkUntilItsAnswerIsDealtWith) {
    VersionCheck check;
    check.serve(answer(appList({{"Lanternquill2", "2.0.0", kSite.toUtf8()}})));
    check.delegate->checkForAppUpdate();
    EXPECT_EQ(check.delegate->pendingWork(), 1);
    EXPECT_TRUE(check.menuUntouched()); // the answer comes on a later turn of the event loop
    ASSERT_TRUE(waitFor([&] { return check.delegate->pendingWork() == 0; }));
    EXPECT_TRUE(check.menuShowsChecked());
}

TEST(AppVersionComparison, WorksThroughTheRealClientAndServer) {
    TestServer server;
    ASSERT_TRUE(server.listening());
    QtHttpGetter client;
    VersionCheck check(&client, server.baseUrl());
    server.answer(QStringLiteral("/brindledapps.plist"),
                  Answer(200, "text/xml; charset=utf-8",
                         appList({{"Lanternquill2", "2.0.1", kSite.toUtf8() + "lq-2.0.1.dmg"}})));
    ASSERT_TRUE(check.checkAndWait());
    EXPECT_EQ(server.requested(), QStringList{QStringLiteral("/brindledapps.plist")});
    EXPECT_EQ(check.offers,
              QStringList{QStringLiteral("An update to this app to version 2.0.1 is available.")});
    EXPECT_TRUE(check.menuShowsChecked());
}

TEST(DownloadSite, OnlyWellFormedAddressesOnTheSiteItself) {
    struct Case {
        const char* url;
        bool accepted;
    };
    const Case cases[] = {
        {"https://lanternquill.example.org/download/lanternquill-2.1.0.dmg", true},
        {"https://lanternquill.example.org/", true},
        {"https://lanternquill.example.org", false},
        {"https://lanternquill.example.org.evil.example/x.dmg", false},
        {"http://lanternquill.example.org/x.dmg", false},
        {"https://elsewhere.example.com/?https://lanternquill.example.org/", false},
        {"-a Terminal https://lanternquill.example.org/", false},
        {"https://lanternquill.example.org/a file.dmg", false},
        {"https://lanternquill.example.org/x.dmg\n--args", false},
        {"", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(isDownloadSiteUrl(QString::fromUtf8(c.url)), c.accepted) << c.url;
}

// The Info.plist inside the binary is made from the same template as a Mac bundle's: it names the build's
// version, which the version check compares, and every value of the template is filled in.
TEST(BundledInfoPlist, CarriesTheBuildsIdentityAndVersion) {
    const QByteArray text = AppDelegate::bundledInfoPlist();
    EXPECT_FALSE(text.contains('@')) << text.toStdString();
    const plist::ParseResult parsed = plist::parse(text);
    ASSERT_TRUE(parsed.document);
    const plist::Node root = parsed.document->root();
    EXPECT_EQ(root["CFBundleShortVersionString"].string(), QStringLiteral(LQ_VERSION));
    EXPECT_EQ(root["CFBundleIdentifier"].string(), QStringLiteral(LQ_BUNDLE_IDENTIFIER));
    EXPECT_EQ(root["CFBundlePackageType"].string(), QStringLiteral("APPL"));
    for (const char* key : {"CFBundleExecutable", "CFBundleVersion", "LSMinimumSystemVersion",
                            "NSAppleEventsUsageDescription", "NSHumanReadableCopyright"})
        EXPECT_FALSE(root[key].string().value_or(QString()).isEmpty()) << key;
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^1[0-9]\\.[0-9]+$|^[2-9][0-9]\\.[0-9]+$"))
                    .match(root["LSMinimumSystemVersion"].string().value_or(QString()))
                    .hasMatch());
}

} // namespace
} // namespace lq::test
