// The typed side of the headless report, for scripts and fleet tools: the state of every check on the
// bundled simulated Macs and on broken ones, the lists' outcomes, the exit status and the time limit.
#include "app/HeadlessReport.h"
#include "platform/IORegistry.h"
#include "platform/ProcessToolRunner.h"
#include "platform/QtHttpGetter.h"
#include "platform/RootFileSystem.h"
#include "platform/RootSystemInfo.h"
#include "support/FakeServices.h"
#include "support/Harness.h"
#include "support/TestServer.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QUuid>

#include <gtest/gtest.h>

#include <map>
#include <memory>

namespace lq::test {
namespace {

struct ReportRun {
    int exitStatus = -1;
    QJsonObject json;
    std::map<QString, QJsonObject> checks; // by id

    QString state(const QString& id) const { return checks.at(id).value(QStringLiteral("state")).toString(); }
    QString reason(const QString& id) const {
        return checks.at(id).value(QStringLiteral("reason")).toString();
    }
    QJsonArray lists() const {
        return json.value(QStringLiteral("reference")).toObject().value(QStringLiteral("lists")).toArray();
    }
};

ReportRun headless(const QString& root, const QString& referenceBaseUrl) {
    ProcessToolRunner tools{SystemRoot(root)};
    RootFileSystem files{SystemRoot(root)};
    RootSystemInfo system{SystemRoot(root)};
    const std::unique_ptr<IORegistry> registry = makeIORegistry(SystemRoot(root));
    QtHttpGetter http;
    MemorySettings settings;
    const HeadlessResult result = runHeadlessCheck(Services{tools, files, settings, system, *registry, http},
                                                   referenceBaseUrl, [](const QString&) {});
    ReportRun run;
    run.exitStatus = result.exitStatus;
    run.json = QJsonDocument::fromJson(result.json.toUtf8()).object();
    for (const QJsonValue& check : run.json.value(QStringLiteral("checks")).toArray())
        run.checks[check.toObject().value(QStringLiteral("id")).toString()] = check.toObject();
    return run;
}

void serve(TestServer& server, const QString& skip = {}) {
    const QDir lists(QStringLiteral(LQ_SOURCE_DIR "/reference"));
    for (const QString& name : lists.entryList({QStringLiteral("*.plist")}, QDir::Files)) {
        if (name == skip)
            continue;
        QFile file(lists.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        server.answer(QLatin1Char('/') + name, Answer(200, "text/xml", file.readAll()));
    }
}

using States = std::map<QString, QString>;

struct MacCase {
    const char* name;
    const char* mac;
    std::function<void(TempRoot&)> breakIt; // makes the copy into the failure case, when there is one
    States states;                          // the checks this case is about
    int exitStatus;
};

TEST(FleetReport, StatesOfTheChecksOnEveryBundledMacAndBrokenOnes) {
    const MacCase cases[] = {
        {"healthy default Mac",
         "apple-silicon",
         {},
         {{"sip", "pass"},
          {"ssv", "pass"},
          {"bootPolicy", "pass"},
          {"gatekeeper", "pass"},
          {"fileVault", "pass"},
          {"xprotect", "pass"},
          {"xprotectRemediator", "pass"},
          {"mrt", "pass"},
          // The lists publish no TCC or KEXT value: nothing to judge by, which fails nothing.
          {"tcc", "unknown"},
          {"kextExcludeList", "unknown"},
          {"firmware", "pass"},
          {"display", "pass"},
          {"displayFirmware", "pass"},
          {"updates", "pass"},
          {"xprScans", "pass"}},
         0},
        {"old iBoot", "apple-silicon-listed", {}, {{"firmware", "fail"}, {"bootPolicy", "pass"}}, 1},
        {"XProtect behind",
         "intel-t2",
         {},
         {{"xprotect", "fail"},
          {"bootPolicy", "notApplicable"},
          {"updates", "warning"},
          {"xprScans", "warning"}},
         1},
        {"SSV off", "intel-ssv-off", {}, {{"sip", "pass"}, {"ssv", "fail"}}, 1},
        // FileVault off and an old-style boot ROM are the window's warnings.
        {"Catalina",
         "intel-catalina",
         {},
         {{"ssv", "notApplicable"},
          {"fileVault", "warning"},
          {"firmware", "warning"},
          {"display", "notApplicable"},
          {"displayFirmware", "notApplicable"}},
         0},
        {"SIP off in the boot policy",
         "apple-silicon",
         [](TempRoot& root) {
             QFile file(root.path() + QStringLiteral("/.sim/data/system_profiler-SPiBridgeDataType.out"));
             ASSERT_TRUE(file.open(QIODevice::ReadOnly));
             QByteArray report = file.readAll();
             report.replace("System Integrity Protection: Enabled", "System Integrity Protection: Disabled");
             root.overrideTool(QStringLiteral("system_profiler-SPiBridgeDataType"), report);
         },
         {{"sip", "fail"}, {"ssv", "pass"}, {"bootPolicy", "warning"}},
         1},
        {"failing spctl",
         "intel-t2",
         [](TempRoot& root) { root.overrideTool(QStringLiteral("spctl-status"), {}, 1); },
         {{"gatekeeper", "unknown"}},
         1},
        {"failing update listing",
         "apple-silicon",
         [](TempRoot& root) {
             root.overrideTool(QStringLiteral("softwareupdate-list"), {}, 1, "no network\n");
         },
         {{"updates", "unknown"}},
         3},
    };
    TestServer server;
    ASSERT_TRUE(server.listening());
    serve(server);
    for (const MacCase& c : cases) {
        TempRoot root(QString::fromLatin1(c.mac));
        if (c.breakIt)
            c.breakIt(root);
        const ReportRun run = headless(root.path(), server.baseUrl());
        ASSERT_EQ(run.checks.size(), 15u) << c.name;
        for (const auto& [id, state] : c.states)
            EXPECT_EQ(run.state(id), state) << c.name << ": " << id.toStdString();
        EXPECT_EQ(run.exitStatus, c.exitStatus) << c.name;
    }
}

TEST(FleetReport, ListsThatCannotBeReadMakeTheirChecksUnknownAndTheStatusThree) {
    struct Case {
        const char* name;
        Answer answer; // what the security data list answers
        QString outcome;
        QString reason;
    };
    const Case cases[] = {
        {"not found", Answer(404, "text/html", "gone"), QStringLiteral("httpError"),
         QStringLiteral("list not fetched")},
        {"an HTML page", Answer(200, "text/html", "<html></html>"), QStringLiteral("wrongContentType"),
         QStringLiteral("list not fetched")},
        {"not a list", Answer(200, "text/xml", "garbage"), QStringLiteral("unparsable"),
         QStringLiteral("list unreadable")},
    };
    for (const Case& c : cases) {
        TestServer server;
        ASSERT_TRUE(server.listening());
        serve(server, QStringLiteral("sysupdates.plist"));
        server.answer(QStringLiteral("/sysupdates.plist"), c.answer);
        TempRoot root(QStringLiteral("apple-silicon"));
        const ReportRun run = headless(root.path(), server.baseUrl());
        for (const QString& id : {QStringLiteral("xprotect"), QStringLiteral("mrt"), QStringLiteral("tcc")}) {
            EXPECT_EQ(run.state(id), QStringLiteral("unknown")) << c.name;
            EXPECT_EQ(run.reason(id), c.reason) << c.name;
        }
        EXPECT_EQ(run.state(QStringLiteral("firmware")), QStringLiteral("pass")) << c.name;
        bool seen = false;
        for (const QJsonValue& list : run.lists()) {
            const QJsonObject entry = list.toObject();
            if (entry.value(QStringLiteral("name")).toString() != QLatin1String("sysupdates.plist"))
                continue;
            seen = true;
            EXPECT_EQ(entry.value(QStringLiteral("outcome")).toString(), c.outcome) << c.name;
            EXPECT_EQ(entry.contains(QStringLiteral("httpStatus")), c.outcome == QLatin1String("httpError"));
        }
        EXPECT_TRUE(seen) << c.name;
        EXPECT_EQ(run.exitStatus, 3) << c.name;
    }
}

// Every process that carries `mark` in its environment.
QStringList processesMarked(const QByteArray& mark) {
    QStringList found;
    for (const QString& pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile environ(QStringLiteral("/proc/%1/environ").arg(pid));
        if (environ.open(QIODevice::ReadOnly) && environ.readAll().contains(mark))
            found << pid;
    }
    return found;
}

TEST(FleetReport, TheTimeLimitEndsAHungToolAndLeavesNothingRunning) {
    TempRoot root(QStringLiteral("apple-silicon"));
    // softwareupdate is known to hang; this one would answer after ten minutes.
    QFile delay(root.path() + QStringLiteral("/.sim/override/softwareupdate-list.delay"));
    ASSERT_TRUE(QDir().mkpath(root.path() + QStringLiteral("/.sim/override")));
    ASSERT_TRUE(delay.open(QIODevice::WriteOnly));
    delay.write("600\n");
    delay.close();
    QTemporaryDir config;
    const QByteArray mark = "LQ_TEST_MARK=" + QUuid::createUuid().toByteArray(QUuid::WithoutBraces);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
    environment.insert(QString::fromLatin1(mark.split('=')[0]), QString::fromLatin1(mark.split('=')[1]));
    QProcess app;
    app.setProcessEnvironment(environment);
    QElapsedTimer timer;
    timer.start();
    app.start(QStringLiteral(LQ_APP_BINARY),
              {QStringLiteral("--report"), QStringLiteral("--json"), QStringLiteral("--timeout"),
               QStringLiteral("2"), QStringLiteral("--system-root"), root.path(),
               QStringLiteral("--reference-url"), QStringLiteral("http://127.0.0.1:%1/").arg(unusedPort())});
    ASSERT_TRUE(app.waitForFinished(30000));
    const qint64 elapsed = timer.elapsed();
    EXPECT_LT(elapsed, 3000) << "the run took " << elapsed << " ms with a limit of 2 s";
    EXPECT_EQ(app.exitCode(), 3);
    const QJsonObject json = QJsonDocument::fromJson(app.readAllStandardOutput()).object();
    for (const QJsonValue& check : json.value(QStringLiteral("checks")).toArray()) {
        const QJsonObject object = check.toObject();
        if (object.value(QStringLiteral("id")).toString() != QLatin1String("updates"))
            continue;
        EXPECT_EQ(object.value(QStringLiteral("state")).toString(), QStringLiteral("unknown"));
        EXPECT_EQ(object.value(QStringLiteral("reason")).toString(), QStringLiteral("timed out"));
    }
    EXPECT_TRUE(app.readAllStandardError().contains("time limit"));
    EXPECT_EQ(processesMarked(mark), QStringList());
}

} // namespace
} // namespace lq::test
