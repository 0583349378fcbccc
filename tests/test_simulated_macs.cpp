// Whole check runs against copies of the bundled simulated Macs: the real tool runner, files, I/O
// Registry and HTTP client, with the bundled reference lists served on loopback. What a user sees
// with `--system-root`, and the verdicts that need every piece together to show.
#include "app/HeadlessReport.h"
#include "app/MainMenu.h"
#include "check/PlainMainView.h"
#include "check/ViewController.h"
#include "platform/IORegistry.h"
#include "platform/ProcessToolRunner.h"
#include "platform/QtHttpGetter.h"
#include "platform/RootFileSystem.h"
#include "platform/RootSystemInfo.h"
#include "support/FakeServices.h"
#include "support/Harness.h"
#include "support/TestServer.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace lq::test {
namespace {

const QString kProtectedXProtect =
    QStringLiteral("/private/var/protected/xprotect/XProtect.bundle/Contents/Info.plist");
const QString kCoreServicesXProtect =
    QStringLiteral("/Library/Apple/System/Library/CoreServices/XProtect.bundle/Contents/Info.plist");

// The real services of one simulated Mac; the settings stay in memory.
struct SimulatedMac {
    explicit SimulatedMac(const QString& root)
        : tools(SystemRoot(root)), files(SystemRoot(root)), system(SystemRoot(root)),
          ioRegistry(makeIORegistry(SystemRoot(root))) {}
    Services services() { return Services{tools, files, settings, system, *ioRegistry, http}; }

    ProcessToolRunner tools;
    RootFileSystem files;
    RootSystemInfo system;
    std::unique_ptr<IORegistry> ioRegistry;
    QtHttpGetter http;
    MemorySettings settings;
};

// Serves every bundled reference list, as the local reference server does.
void serveReferenceLists(TestServer& server) {
    const QDir lists(QStringLiteral(LQ_SOURCE_DIR "/reference"));
    for (const QString& name : lists.entryList({QStringLiteral("*.plist")}, QDir::Files)) {
        QFile file(lists.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << name.toStdString();
        server.answer(QLatin1Char('/') + name, Answer(200, "text/xml", file.readAll()));
    }
}

QByteArray xprotectInfoPlist(const char* version) {
    return QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
                      "<key>CFBundleShortVersionString</key><string>") +
           version + "</string></dict></plist>\n";
}

struct Outcome {
    QString report;
    QJsonObject status;
    QStringList alerts;
};

Outcome headlessCheck(const QString& root, const QString& referenceBaseUrl) {
    SimulatedMac mac(root);
    Outcome outcome;
    const HeadlessResult result = runHeadlessCheck(mac.services(), referenceBaseUrl,
                                                   [&](const QString& alert) { outcome.alerts << alert; });
    const QJsonObject json = QJsonDocument::fromJson(result.json.toUtf8()).object();
    outcome.report = json.value(QStringLiteral("report")).toString();
    outcome.status = json.value(QStringLiteral("status")).toObject();
    return outcome;
}

class SimulatedMacs : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.listening());
        serveReferenceLists(server);
    }
    TestServer server;
};

TEST_F(SimulatedMacs, TheDefaultMacIsHealthyAndShowsNoCross) {
    TempRoot root(QStringLiteral("apple-silicon"));
    const Outcome outcome = headlessCheck(root.path(), server.baseUrl());
    EXPECT_TRUE(outcome.alerts.isEmpty()) << outcome.alerts.join(QLatin1Char('\n')).toStdString();
    for (auto it = outcome.status.begin(); it != outcome.status.end(); ++it)
        EXPECT_FALSE(it.value().toString().contains(QStringLiteral("❌")))
            << it.key().toStdString() << ": " << it.value().toString().toStdString();
    EXPECT_FALSE(outcome.report.contains(QStringLiteral("❌"))) << outcome.report.toStdString();
    EXPECT_EQ(outcome.status.value(QStringLiteral("sip")).toString(),
              QStringLiteral("🍏 Platform Security full."));
    EXPECT_EQ(outcome.status.value(QStringLiteral("xprotect")).toString(), QStringLiteral("✅ XProtect 5356"));
    // No list publishes TCC or KEXT values: the versions are shown, not judged.
    EXPECT_EQ(outcome.status.value(QStringLiteral("tcc")).toString(), QStringLiteral("TCC 20.6"));
    EXPECT_TRUE(outcome.status.value(QStringLiteral("kextExcludeList"))
                    .toString()
                    .startsWith(QStringLiteral("KEXT ")));
    EXPECT_FALSE(outcome.report.contains(QStringLiteral("TCC 20.6 should be")));
}

TEST_F(SimulatedMacs, RegistryTextCarriesNoNul) {
    for (const char* name : {"intel-t2", "apple-silicon", "intel-catalina"}) {
        TempRoot root(QString::fromLatin1(name));
        const Outcome outcome = headlessCheck(root.path(), server.baseUrl());
        EXPECT_FALSE(outcome.report.contains(QChar(0))) << name;
        for (auto it = outcome.status.begin(); it != outcome.status.end(); ++it)
            EXPECT_FALSE(it.value().toString().contains(QChar(0))) << name << " " << it.key().toStdString();
    }
    TempRoot t2(QStringLiteral("intel-t2"));
    const Outcome outcome = headlessCheck(t2.path(), server.baseUrl());
    EXPECT_TRUE(outcome.report.contains(QStringLiteral("Mac model MacBookPro16,2\n")))
        << outcome.report.toStdString();
    EXPECT_EQ(outcome.status.value(QStringLiteral("firmware")).toString(),
              QStringLiteral("✅ 2094.80.5.0.0 is up to date"));
}

// XProtect reads its rules from the protected copy on macOS 15 and later; before that only the
// CoreServices copy exists for it.
TEST_F(SimulatedMacs, XProtectIsReadWhereXProtectReadsIt) {
    struct Case {
        const char* name;
        const char* mac;
        std::function<void(TempRoot&)> change;
        const char* field;
        QString lines; // the XProtect lines of the report, in order
    };
    const Case cases[] = {
        {"Sequoia, the two copies differ", "apple-silicon", [](TempRoot&) {}, "✅ XProtect 5356",
         QStringLiteral("✅ XProtect 5356 should be 5356\n👉 XProtect fallback copy in CoreServices: 5355\n")},
        {"Sequoia, the copies agree", "apple-silicon",
         [](TempRoot& root) { root.writeFile(kCoreServicesXProtect, xprotectInfoPlist("5356")); },
         "✅ XProtect 5356", QStringLiteral("✅ XProtect 5356 should be 5356\n✅ XPR")},
        {"Sequoia, no protected copy", "apple-silicon",
         [](TempRoot& root) { QFile::remove(root.path() + kProtectedXProtect); }, "❌ XProtect 5355",
         QStringLiteral("❌ XProtect 5355 should be 5356\n✅ XPR")},
        {"Sequoia, only the protected copy", "apple-silicon",
         [](TempRoot& root) { QFile::remove(root.path() + kCoreServicesXProtect); }, "✅ XProtect 5356",
         QStringLiteral("✅ XProtect 5356 should be 5356\n✅ XPR")},
        {"Sonoma ignores a protected copy", "intel-t2",
         [](TempRoot& root) { root.writeFile(kProtectedXProtect, xprotectInfoPlist("5356")); },
         "❌ XProtect 5355", QStringLiteral("❌ XProtect 5355 should be 5356\n✅ XPR")},
    };
    for (const Case& c : cases) {
        TempRoot root(QString::fromLatin1(c.mac));
        c.change(root);
        const Outcome outcome = headlessCheck(root.path(), server.baseUrl());
        EXPECT_EQ(outcome.status.value(QStringLiteral("xprotect")).toString(), QString::fromUtf8(c.field))
            << c.name;
        EXPECT_TRUE(outcome.report.contains(c.lines)) << c.name << "\n" << outcome.report.toStdString();
    }
}

TEST_F(SimulatedMacs, LaterRunsReadTheProtectedCopyThroughDefaults) {
    TempRoot root(QStringLiteral("apple-silicon"));
    SimulatedMac mac(root.path());
    PlainMainView view;
    MenuBarModel menus;
    ViewController controller(mac.services(), view, menus, server.baseUrl());
    controller.viewDidLoad();
    controller.viewDidAppear();
    ASSERT_TRUE(waitUntilIdle(controller, 60000));
    // Updated since launch: only a read through the system sees it.
    root.writeFile(kProtectedXProtect, xprotectInfoPlist("5357"));
    root.recordCalls();
    controller.state.firstRun = false;
    controller.checkSecurityDataVersions();
    ASSERT_TRUE(waitUntilIdle(controller, 60000));
    EXPECT_EQ(view.fieldText(Field::xprotVersionText), QStringLiteral("❌ XProtect 5357"));
    EXPECT_TRUE(view.reportText().endsWith(
        QStringLiteral("❌ XProtect 5357 should be 5356\n"
                       "👉 XProtect fallback copy in CoreServices: 5355\n"
                       "✅ XPR 157 should be 157\n"
                       "✅ MRT 1.93 should be 1.93\n"
                       "✅ Studio Display firmware 17.0 (build21A329) should be 17.0\n")))
        << view.reportText().toStdString();
    EXPECT_TRUE(root.calls().join(QLatin1Char('\n')).contains(kProtectedXProtect));
}

TEST_F(SimulatedMacs, AListedBootPolicyWithRelaxedSettingsIsPartial) {
    TempRoot root(QStringLiteral("apple-silicon-listed"));
    QFile bundled(root.path() + QStringLiteral("/.sim/data/system_profiler-SPiBridgeDataType.out"));
    ASSERT_TRUE(bundled.open(QIODevice::ReadOnly));
    QByteArray report = bundled.readAll();
    report.replace("System Integrity Protection: On", "System Integrity Protection: Off");
    report.replace("Allow All Kernel Extensions: No", "Allow All Kernel Extensions: Yes");
    root.overrideTool(QStringLiteral("system_profiler-SPiBridgeDataType"), report);

    const Outcome outcome = headlessCheck(root.path(), server.baseUrl());
    EXPECT_EQ(outcome.status.value(QStringLiteral("sip")).toString(),
              QStringLiteral("⚠️ Platform Security partial."));
    EXPECT_TRUE(outcome.report.contains(QStringLiteral("\t⚠️ System Integrity Protection: Off\n")));
    EXPECT_TRUE(outcome.report.contains(QStringLiteral("\t⚠️ Allow All Kernel Extensions: Yes\n")));
    EXPECT_TRUE(outcome.report.contains(QStringLiteral("\t🍏 Signed System Volume: On\n")));

    TempRoot healthy(QStringLiteral("apple-silicon-listed"));
    EXPECT_EQ(headlessCheck(healthy.path(), server.baseUrl()).status.value(QStringLiteral("sip")).toString(),
              QStringLiteral("See Platform Security below"));
}

TEST_F(SimulatedMacs, FailedFetchesEndTheirLines) {
    TempRoot root(QStringLiteral("intel-t2"));
    const Outcome outcome =
        headlessCheck(root.path(), QStringLiteral("http://127.0.0.1:%1/").arg(unusedPort()));
    const QString failure = QStringLiteral("Got URLSession error.");
    EXPECT_GE(outcome.report.count(failure), 2) << outcome.report.toStdString();
    EXPECT_EQ(outcome.report.count(failure + QLatin1Char('\n')), outcome.report.count(failure));
}

TEST_F(SimulatedMacs, AFailedUpdateRunKeepsTheToolsWords) {
    TempRoot root(QStringLiteral("intel-t2"));
    root.overrideTool(QStringLiteral("softwareupdate-install-all"), "Software Update Tool\n", 1,
                      "Error downloading updates: not enough free space on the startup disk.\n");
    SimulatedMac mac(root.path());
    PlainMainView view;
    MenuBarModel menus;
    ViewController controller(mac.services(), view, menus, server.baseUrl());
    controller.state.runDate = QDateTime::currentDateTimeUtc();
    controller.installAllUpdatesButton();
    ASSERT_TRUE(waitUntilIdle(controller, 60000));
    EXPECT_EQ(view.fieldText(Field::updateStatusText), QStringLiteral("❌ updates not installed."));
    EXPECT_TRUE(view.reportText().startsWith(
        QStringLiteral("❌ Error downloading updates: not enough free space on the startup disk. "
                       "Software Update Tool error 1\nLatest updates installed:\n")))
        << view.reportText().toStdString();
}

} // namespace
} // namespace lq::test
