// The order of a check run's report, for every order in which its slow results can arrive: the run's
// own part always in the same order, then each late result whole, in the order it arrived.
#include "support/Harness.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace lq::test {
namespace {

const QString kBase = QStringLiteral("https://example.test/updates/master/");
const QString kFamilyList = kBase + QStringLiteral("MacBookPro.plist");
const QString kSecurityList = kBase + QStringLiteral("sysupdates.plist");
const QString kUpdateCheck = QStringLiteral("update check");
const QString kScanSummary = QStringLiteral("scan summary");

HttpResponse xmlAnswer(const QByteArray& plistBody) {
    return HttpResponse{false,
                        {},
                        true,
                        200,
                        QStringLiteral("text/xml"),
                        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">" + plistBody +
                            "</plist>\n"};
}

QByteArray infoPlist(const char* version) {
    return QByteArray("<plist version=\"1.0\"><dict><key>CFBundleShortVersionString</key><string>") +
           version + "</string></dict></plist>";
}

// An Intel Mac with a T2 chip on macOS 14.5, every protection on, one update pending.
void setUpIntelMac(Harness& h) {
    const QString csrutil = QStringLiteral("/usr/bin/csrutil");
    h.tools.answer(QStringLiteral("/usr/sbin/system_profiler"), {QStringLiteral("SPiBridgeDataType")},
                   QString());
    h.tools.answer(QStringLiteral("/usr/sbin/system_profiler"), {QStringLiteral("SPDisplaysDataType")},
                   QStringLiteral("Graphics/Displays:\n    Color LCD:\n"));
    h.tools.answer(csrutil, {QStringLiteral("status")},
                   QStringLiteral("System Integrity Protection status: enabled.\n"));
    h.tools.answer(csrutil, {QStringLiteral("authenticated-root"), QStringLiteral("status")},
                   QStringLiteral("Authenticated Root status: enabled\n"));
    h.tools.answer(QStringLiteral("/usr/sbin/spctl"), {QStringLiteral("--status")},
                   QStringLiteral("assessments enabled\n"));
    h.tools.answer(QStringLiteral("/usr/bin/fdesetup"), {QStringLiteral("status")},
                   QStringLiteral("FileVault is On.\n"));
    h.tools.answer(QStringLiteral("/usr/sbin/softwareupdate"),
                   {QStringLiteral("-l"), QStringLiteral("--include-config-data")},
                   QStringLiteral("* Label: Safari\n"));
    h.tools.answer(QStringLiteral("/usr/bin/AssetCacheManagerUtil"), {QStringLiteral("isActivated")},
                   QString(), 1);
    h.tools.answer(QStringLiteral("/usr/bin/log"),
                   {QStringLiteral("show"), QStringLiteral("--predicate"),
                    QStringLiteral("subsystem == \"com.apple.XProtectFramework.PluginAPI\" AND category == "
                                   "\"XPEvent.structured\""),
                    QStringLiteral("--style"), QStringLiteral("json"), QStringLiteral("--info"),
                    QStringLiteral("--last"), QStringLiteral("1d")},
                   QStringLiteral("[]"));
    h.ioRegistry.expert.insert(QStringLiteral("model"), QByteArrayLiteral("MacBookPro16,2"));
    h.ioRegistry.tree.insert(QStringLiteral("IODeviceTree:/rom#version"),
                             QByteArrayLiteral("2094.80.5.0.0 (iBridge: 1)"));
    h.files.files.insert(
        QStringLiteral("/Library/Receipts/InstallHistory.plist"),
        "<plist version=\"1.0\"><array><dict><key>date</key><date>2025-03-01T12:00:00Z</date>"
        "<key>displayName</key><string>XProtectPlistConfigData</string><key>displayVersion</key>"
        "<string>5321</string><key>packageIdentifiers</"
        "key><array><string>com.apple.pkg.XProtectPlistConfigData"
        "</string></array><key>processName</key><string>softwareupdated</string></dict></array></plist>");
    h.files.files.insert(
        QStringLiteral("/Library/Apple/System/Library/CoreServices/XProtect.bundle/Contents/Info.plist"),
        infoPlist("5321"));
    h.http.responses.insert(kFamilyList,
                            xmlAnswer("<array><dict><key>MacModel</key><string>MacBookPro16,2</string>"
                                      "<key>EFIversion</key><string>2094.80.5.0.0</string></dict></array>"));
    h.http.responses.insert(kSecurityList,
                            xmlAnswer("<dict><key>XProtect15</key><string>5321</string></dict>"));
}

// The run's own part, the same whatever order its tools answer in.
const QString kOwnPart = QStringLiteral("✅ SIP & SSV enabled.\n"
                                        "✅ XProtect assessments enabled\n"
                                        "✅ FileVault is On.\n"
                                        "macOS Version 14.5 (Build 23F79)\n"
                                        "Latest updates installed:\n"
                                        "\tXProtectPlistConfigData 2025-03-01 12:00:00 +0000 : 5321\n");

struct Late {
    QString name; // a URL or a piece of work
    QString block;
};
const Late kLate[] = {
    {kFamilyList,
     QStringLiteral("Mac model MacBookPro16,2\nEFI version found 2094.80.5.0.0 (iBridge: 1);\n"
                    "             expected 2094.80.5.0.0 \n✅ EFI firmware appears up to date.\n")},
    {kSecurityList, QStringLiteral("✅ XProtect 5321 should be 5321\n")},
    {kUpdateCheck, QStringLiteral("⚠️ * Label: Safari\n \n")},
    {kScanSummary, QStringLiteral("👉 XProtect Remediator no scans in the last day.\n")},
};

void release(Harness& h, const QString& name) {
    const bool released = h.http.release(name) || h.queue.release(name);
    ASSERT_TRUE(released) << name.toStdString();
    // Whatever the released result starts (and nothing held) runs to its end.
    QStringList keep;
    for (const Late& late : kLate)
        keep << late.name;
    ASSERT_TRUE(h.settleExcept(keep));
}

TEST(CheckRunOrder, OwnPartFirstThenEachLateResultWholeAsItArrives) {
    std::vector<int> order = {0, 1, 2, 3};
    do {
        Harness h;
        setUpIntelMac(h);
        h.hold();
        h.vc->viewDidLoad();
        h.vc->viewDidAppear();
        QStringList keep;
        for (const Late& late : kLate)
            keep << late.name;
        ASSERT_TRUE(h.settleExcept(keep));
        std::string trace;
        for (int i : order)
            trace += kLate[i].name.toStdString() + " ";
        ASSERT_EQ(h.view.report, kOwnPart) << trace;
        EXPECT_FALSE(h.view.checkEnabled) << trace;
        QString expected = kOwnPart;
        for (int i : order) {
            release(h, kLate[static_cast<std::size_t>(i)].name);
            expected += kLate[static_cast<std::size_t>(i)].block;
            ASSERT_EQ(h.view.report, expected) << trace;
        }
        EXPECT_EQ(h.vc->pendingWork(), 0) << trace;
        EXPECT_TRUE(h.view.checkEnabled) << trace;
    } while (std::next_permutation(order.begin(), order.end()));
}

// Late results that come in before the run's own part is complete wait for it.
TEST(CheckRunOrder, LateResultsWaitForTheOwnPart) {
    Harness h;
    setUpIntelMac(h);
    h.hold();
    h.vc->viewDidLoad();
    h.vc->viewDidAppear();
    // The late results and the versions they need, before any tool of the run's own part.
    h.http.release(kSecurityList);
    h.queue.release(QStringLiteral("security data versions"));
    h.queue.release(kScanSummary);
    h.queue.release(kUpdateCheck);
    waitFor([&] { return false; }, 50);
    EXPECT_EQ(h.view.report, QString());
    ASSERT_TRUE(h.settleExcept({kFamilyList}));
    EXPECT_EQ(h.view.report, kOwnPart + kLate[1].block + kLate[3].block + kLate[2].block);
    h.finish();
    EXPECT_EQ(h.view.report, kOwnPart + kLate[1].block + kLate[3].block + kLate[2].block + kLate[0].block);
}

TEST(CheckRunOrder, CheckIsRefusedWhileARunIsUnderWay) {
    Harness h;
    setUpIntelMac(h);
    h.hold();
    h.vc->viewDidLoad();
    h.vc->viewDidAppear();
    EXPECT_TRUE(h.vc->runInProgress());
    EXPECT_EQ(h.view.fieldText(Field::sipStatusText), QStringLiteral("Checking…"));
    const QStringList heldBefore = h.queue.held();
    h.vc->checkButtonAct(); // a second click starts nothing
    EXPECT_EQ(h.queue.held(), heldBefore);
    ASSERT_TRUE(h.finish());
    EXPECT_FALSE(h.vc->runInProgress());
    EXPECT_EQ(h.view.report.count(QStringLiteral("macOS Version")), 1);
    EXPECT_EQ(h.view.report.count(QStringLiteral("Label: Safari")), 1);
    EXPECT_FALSE(h.view.updateButtonHidden); // found an update
    h.vc->checkButtonAct();
    EXPECT_TRUE(h.view.updateButtonHidden); // until this run finds one again
    ASSERT_TRUE(h.finish());
    EXPECT_FALSE(h.view.updateButtonHidden);
}

} // namespace
} // namespace lq::test
