// The start-up test of the unified log: which tests run in which order, what each takes for a pass, and
// what ends up stored in "noCheckXPRem".
#include "app/StartupMaintenance.h"
#include "platform/ProcessToolRunner.h"
#include "platform/RootFileSystem.h"
#include "platform/SettingsKeys.h"
#include "support/Harness.h"

#include <QDir>

#include <gtest/gtest.h>

#include <functional>
#include <optional>

namespace lq::test {
namespace {

const QString kId = QStringLiteral("/usr/bin/id");
const QString kLog = QStringLiteral("/usr/bin/log");
const QStringList kLogArgs{QStringLiteral("show"), QStringLiteral("--last"), QStringLiteral("2")};
const QString kPersist = QStringLiteral("/var/db/diagnostics/Persist");
const QString kTimesync = QStringLiteral("/var/db/diagnostics/timesync");

// An administrator on a Mac whose log store is intact and whose log tool answers.
void intactMac(Harness& h) {
    h.tools.answer(kId, {QStringLiteral("-G"), h.system.user},
                   QStringLiteral("20 12 61 79 80 81 98 701 33\n"));
    h.files.directories.insert(kPersist, 12);
    h.files.directories.insert(kTimesync, 3);
    h.tools.answer(kLog, kLogArgs,
                   QStringLiteral("Skipping info and debug messages, pass --info and/or --debug to include.\n"
                                  "Timestamp                       Thread     Type        Activity\n"));
}

QStringList toolsRun(const Harness& h) {
    QStringList paths;
    for (const FakeTools::Call& call : h.tools.calls())
        paths.append(call.path);
    return paths;
}

TEST(StartupMaintenance, StoresWhetherTheLogCanBeRead) {
    struct Case {
        const char* name;
        std::function<void(Harness&)> change; // applied to the intact Mac
        bool storedOff;
        QStringList toolsRun;
    };
    const QStringList both{kId, kLog};
    const QStringList idOnly{kId};
    auto idPrints = [](QByteArray out, int status = 0) {
        return [out, status](Harness& h) {
            h.tools.answer(kId, {QStringLiteral("-G"), h.system.user}, ToolRun{status, out, {}});
        };
    };
    auto logPrints = [](QByteArray out, int status = 0) {
        return [out, status](Harness& h) { h.tools.answer(kLog, kLogArgs, ToolRun{status, out, {}}); };
    };
    const Case cases[] = {
        {"an administrator with an intact log store", [](Harness&) {}, false, both},
        {"a standard user", idPrints("20 12 61 79 81 98 701 33\n"), true, idOnly},
        {"the admin group listed last", idPrints("20 12 61 79 81 80\n"), false, both},
        {"the admin group listed alone, no line break", idPrints("80"), false, both},
        {"only numbers that contain 80", idPrints("800 180 8 0 80a\n"), true, idOnly},
        {"groups split by a tab are not split", idPrints("20\t80\n"), true, idOnly},
        {"id exits non-zero but lists the group", idPrints("20 80\n", 1), false, both},
        {"id cannot be started",
         [](Harness& h) {
             h.tools.answer(kId, {QStringLiteral("-G"), h.system.user}, ToolRun{127, {}, {}});
         },
         true, idOnly},
        {"id prints bytes that are not UTF-8", idPrints("20 80 \xff\xfe\n"), true, idOnly},
        {"no Persist folder", [](Harness& h) { h.files.directories.remove(kPersist); }, true, idOnly},
        {"no timesync folder", [](Harness& h) { h.files.directories.remove(kTimesync); }, true, idOnly},
        {"an empty timesync folder", [](Harness& h) { h.files.directories.insert(kTimesync, 0); }, true,
         idOnly},
        {"log exits 0 and prints nothing", logPrints(""), true, both},
        {"log prints one line without a break", logPrints("Timestamp"), true, both},
        {"a lone line break is enough", logPrints("\n"), false, both},
        {"log fails after printing", logPrints("Timestamp\nmore\n", 1), true, both},
        {"log killed by a signal", logPrints("Timestamp\n", 128 + 9), true, both},
        {"log prints bytes that are not UTF-8", logPrints("Timestamp\n\xc3\x28\n"), true, both},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Harness h;
        intactMac(h);
        c.change(h);
        runStartupMaintenance(h.services());
        ASSERT_TRUE(h.settings.values.contains(keys::noCheckXPRem));
        EXPECT_EQ(h.settings.boolValue(keys::noCheckXPRem), c.storedOff);
        EXPECT_EQ(toolsRun(h), c.toolsRun);
    }
}

TEST(StartupMaintenance, AsksAboutTheRunningUser) {
    Harness h;
    h.system.user = QStringLiteral("Jane Appleseed");
    intactMac(h);
    runStartupMaintenance(h.services());
    const auto calls = h.tools.calls();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls[0].args, (QStringList{QStringLiteral("-G"), QStringLiteral("Jane Appleseed")}));
    EXPECT_EQ(calls.back().args, kLogArgs);
    EXPECT_FALSE(h.settings.boolValue(keys::noCheckXPRem));
}

TEST(StartupMaintenance, OnceOffItTestsNothingAndStaysOff) {
    Harness h;
    intactMac(h);
    h.settings.setBool(keys::noCheckXPRem, true);
    runStartupMaintenance(h.services());
    EXPECT_TRUE(h.settings.boolValue(keys::noCheckXPRem));
    EXPECT_TRUE(h.tools.calls().empty());
}

// Sees what is stored while the tools run.
class SnoopingTools : public ToolRunner {
public:
    SnoopingTools(ToolRunner& inner, const SettingsStore& settings) : inner_(inner), settings_(settings) {}
    ToolRun run(const QString& path, const QStringList& args, ErrorStream errorStream,
                const QByteArray* input) override {
        storedWhileRunning.push_back(settings_.boolValue(keys::noCheckXPRem));
        return inner_.run(path, args, errorStream, input);
    }
    void endAll() override { inner_.endAll(); }
    std::vector<bool> storedWhileRunning;

private:
    ToolRunner& inner_;
    const SettingsStore& settings_;
};

TEST(StartupMaintenance, TheSummaryIsOffWhileTheTestsRun) {
    // A launch cut short in the middle of the tests must not leave the summary on.
    Harness h;
    intactMac(h);
    SnoopingTools tools(h.tools, h.settings);
    runStartupMaintenance(Services{tools, h.files, h.settings, h.system, h.ioRegistry, h.http});
    EXPECT_EQ(tools.storedWhileRunning, (std::vector<bool>{true, true}));
    EXPECT_FALSE(h.settings.boolValue(keys::noCheckXPRem));
}

TEST(StartupMaintenance, OnASimulatedMac) {
    struct Case {
        const char* name;
        std::function<void(TempRoot&)> change;
        bool storedOff;
    };
    const Case cases[] = {
        {"as bundled", [](TempRoot&) {}, false},
        {"log store emptied",
         [](TempRoot& root) {
             QDir(root.path() + kTimesync).removeRecursively();
             QDir().mkpath(root.path() + kTimesync);
         },
         true},
        {"log refuses", [](TempRoot& root) { root.overrideTool(QStringLiteral("log-show-last"), "", 1); },
         true},
        {"not an administrator",
         [](TempRoot& root) { root.overrideTool(QStringLiteral("id-G"), "20 12 61 79 81 98 701 33\n"); },
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempRoot root(QStringLiteral("apple-silicon"));
        c.change(root);
        Harness h;
        ProcessToolRunner tools{SystemRoot(root.path())};
        RootFileSystem files{SystemRoot(root.path())};
        runStartupMaintenance(Services{tools, files, h.settings, h.system, h.ioRegistry, h.http});
        EXPECT_EQ(h.settings.boolValue(keys::noCheckXPRem), c.storedOff);
    }
}

TEST(StartupMaintenanceParts, ReadGroupsAndLogOutput) {
    EXPECT_TRUE(groupListHasAdmin(QStringLiteral("20 80 81")));
    EXPECT_TRUE(groupListHasAdmin(QStringLiteral("20 80 81\n")));
    EXPECT_FALSE(groupListHasAdmin(QString()));
    EXPECT_TRUE(logOutputHasLineBreak(QStringLiteral("a\nb")));
    EXPECT_FALSE(logOutputHasLineBreak(QStringLiteral("a\rb")));
    EXPECT_EQ(decodeToolOutput("caf\xc3\xa9"), std::optional<QString>(QStringLiteral("café")));
    EXPECT_EQ(decodeToolOutput(QByteArray()), std::optional<QString>(QString()));
    EXPECT_EQ(decodeToolOutput("\xed\xa0\x80"), std::nullopt); // an encoded lone surrogate
    EXPECT_EQ(decodeToolOutput("80\xc3"), std::nullopt);       // cut off in the middle of a character
}

} // namespace
} // namespace lq::test
