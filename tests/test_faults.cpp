// Faults of the world around the application: tools that flood, die or linger, servers that hang up or
// stall, a folder that cannot be written and a damaged settings file. Each test prints what it took
// ("[ measured ]" lines) and holds it to a bound.
#include "platform/ProcessToolRunner.h"
#include "platform/QtHttpGetter.h"
#include "platform/QtSettingsStore.h"
#include "platform/RootFileSystem.h"
#include "platform/ToolOutput.h"
#include "securitydata/ReferenceList.h"
#include "support/Harness.h"
#include "support/ProcessWatch.h"
#include "support/ResourceUse.h"
#include "support/TestServer.h"
#include "updates/RunToolBothStreams.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <iostream>
#include <thread>

#include <csignal>

#include <sys/stat.h>
#include <unistd.h>

namespace lq::test {
namespace {

constexpr qsizetype kMiB = 1024 * 1024;

void printMeasured(const std::string& what, const ResourceUse& use) {
    std::cout << "[ measured ] " << what << ": " << static_cast<qint64>(use.seconds * 1000)
              << " ms, peak RSS +" << use.peakGrowthKiB / 1024 << " MiB\n";
}

class ToolFaults : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    QString tool(const QString& macPath, const QByteArray& body) {
        const int slash = static_cast<int>(macPath.lastIndexOf(QLatin1Char('/')));
        writeScript(dir.path() + macPath.left(slash), macPath.mid(slash + 1), body);
        return macPath;
    }
    QTemporaryDir dir;
    ProcessToolRunner runner{SystemRoot(dir.path())};
};

// 64 MiB on each stream, in 64 KiB pieces taking turns: both pipes must be drained while the tool runs,
// and what it wrote must arrive whole.
TEST_F(ToolFaults, SixtyFourMiBOnEachStreamArriveWhole) {
    const QString path = tool(QStringLiteral("/usr/bin/flood"), R"(out=$(head -c 65536 /dev/zero | tr '\0' o)
err=$(head -c 65536 /dev/zero | tr '\0' e)
i=0
while [ $i -lt 1024 ]; do
    printf '%s' "$out"
    printf '%s' "$err" >&2
    i=$((i + 1))
done
)");
    OutputPair pair;
    const ResourceUse use = measure([&] { pair = runToolBothStreams(runner, path, {}); });
    printMeasured("2 x 64 MiB through the two-stream runner", use);
    ASSERT_EQ(pair.first.size(), 64 * kMiB);
    ASSERT_EQ(pair.second.size(), 64 * kMiB);
    EXPECT_EQ(pair.first.count(QLatin1Char('o')), 64 * kMiB);
    EXPECT_EQ(pair.second.count(QLatin1Char('e')), 64 * kMiB);
    EXPECT_LT(use.seconds, 120.0);
    // What is kept is 2 x 64 MiB of bytes and 2 x 128 MiB of text; twice that covers the buffers.
    EXPECT_LT(use.peakGrowthKiB, 2 * (2 * 64 + 2 * 128) * 1024);
}

// A tool that has printed everything a success would have and then dies of a signal: the listing is
// never taken for "no updates".
TEST_F(ToolFaults, AListingToolKilledByASignalIsNeverNoUpdates) {
    Harness h;
    ViewController vc(Services{runner, h.files, h.settings, h.system, h.ioRegistry, h.http}, h.view, h.menus,
                      QStringLiteral("https://example.test/updates/master/"));
    for (const char* signal : {"KILL", "SEGV"}) {
        SCOPED_TRACE(signal);
        tool(theCSUPath,
             QByteArray("printf 'Software Update Tool\\n\\nNo new software available.\\n'\nkill -") + signal +
                 " $$\nexit 0\n");
        h.view.report.clear();
        const ResourceUse use = measure([&] {
            vc.checkForUpdates();
            ASSERT_TRUE(waitUntilIdle(vc));
        });
        printMeasured(std::string("listing killed by SIG") + signal, use);
        EXPECT_EQ(h.view.fieldText(Field::updateStatusText), QStringLiteral("⚠️ updates available."));
        EXPECT_TRUE(h.view.report.startsWith(QStringLiteral("⚠️  Failed, error = 1")))
            << h.view.report.toStdString();
        EXPECT_LT(use.seconds, 10.0);
    }
}

// A tool that closes its output early and goes on working: the run waits for its end and takes the
// status it ends with, not the end of its output.
TEST_F(ToolFaults, AToolThatClosesItsOutputIsWaitedFor) {
    const struct {
        const char* name;
        int exitStatus;
        OutputPair expected;
    } cases[] = {
        {"then succeeds", 0, {QStringLiteral("early words"), QString()}},
        {"then fails", 3, {QString(), QStringLiteral("Failed, error = 3")}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path =
            tool(QStringLiteral("/usr/bin/lingers"), "printf 'early words'\nexec >&- 2>&-\nsleep 2\nexit " +
                                                         QByteArray::number(c.exitStatus) + "\n");
        OutputPair pair;
        const ResourceUse use = measure([&] { pair = runToolBothStreams(runner, path, {}); });
        printMeasured(std::string("closes its output, lingers 2 s, ") + c.name, use);
        EXPECT_GE(use.seconds, 1.9);
        EXPECT_LT(use.seconds, 10.0);
        EXPECT_EQ(pair.first, c.expected.first);
        EXPECT_EQ(pair.second, c.expected.second);
    }
}

// 200 MB on one stream, as a broken tool might print: the tool is ended once it passes the cap, its run
// fails with a line that says why, and memory stays far below what keeping it all would take.
TEST_F(ToolFaults, TwoHundredMegabytesOfOutputEndTheToolAndFailTheRun) {
    Harness h;
    ViewController vc(Services{runner, h.files, h.settings, h.system, h.ioRegistry, h.http}, h.view, h.menus,
                      QStringLiteral("https://example.test/updates/master/"));
    const QString failure = QStringLiteral("“spctl” wrote more than 64 MiB of output and was ended.");
    // Keeping it all took 2 GiB; what is kept is 64 MiB, freed as the tool is ended.
    const qint64 kPeakBoundKiB = 256 * 1024 + kSanitizerQuarantineKiB;
    const struct {
        const char* name;
        QByteArray redirect;
    } streams[] = {{"standard output", ""}, {"standard error", " >&2"}};
    for (const auto& stream : streams) {
        SCOPED_TRACE(stream.name);
        tool(theXProtCmd, "head -c 200000000 /dev/zero" + stream.redirect + "\nexit 0\n");
        OutputPair pair;
        const ResourceUse use = measure([&] { pair = runToolBothStreams(runner, theXProtCmd, {}); });
        printMeasured(std::string("200 MB on ") + stream.name + " through the two-stream runner", use);
        EXPECT_EQ(pair.first, QString());
        EXPECT_EQ(pair.second, QStringLiteral("Failed, error = 137: ") + failure);
        EXPECT_LT(use.seconds, 20.0);
        EXPECT_LT(use.peakGrowthKiB, kPeakBoundKiB);
    }
    // The security status check shows the reason as a line of the report.
    tool(theXProtCmd, "head -c 200000000 /dev/zero\n");
    QString output;
    const ResourceUse use = measure([&] { output = toolOutputText(runner, theXProtCmd, theXProtPar); });
    printMeasured("200 MB through the security status runner", use);
    EXPECT_EQ(output, QStringLiteral(" error 137: ") + failure + QLatin1Char('\n'));
    EXPECT_LT(use.peakGrowthKiB, kPeakBoundKiB);

    // A scan log past the cap counts nothing, and says so rather than report a quiet day.
    tool(QStringLiteral("/usr/bin/log"), "head -c 200000000 /dev/zero\n");
    h.view.report.clear();
    const ResourceUse summary = measure([&] {
        vc.startXPRScanSummary();
        ASSERT_TRUE(waitUntilIdle(vc, 30000));
    });
    printMeasured("200 MB of scan log", summary);
    EXPECT_EQ(h.view.fieldText(Field::tccVersionText), QStringLiteral("⚠️ XPR scans not counted"));
    EXPECT_EQ(h.view.report,
              QStringLiteral(
                  "⚠️ XProtect Remediator scans not counted: “log” wrote more than 64 MiB of output "
                  "and was ended.\n"));
    EXPECT_LT(summary.peakGrowthKiB, kPeakBoundKiB);
}

// Ending every tool (as quitting does) ends a hung tool and the processes it started at once, and the
// runner starts nothing after it.
TEST_F(ToolFaults, EndingAllToolsEndsAHungToolWithItsChildren) {
    const QString pidFile = dir.filePath(QStringLiteral("pids"));
    const QString path = tool(QStringLiteral("/usr/sbin/softwareupdate"), hangingScript(pidFile));
    ToolRun run;
    std::thread worker([&] { run = runner.run(path, {QStringLiteral("-l")}, ErrorStream::Capture); });
    const QList<qint64> pids = waitForPids(pidFile, 2);
    ASSERT_EQ(pids.size(), 2);
    QElapsedTimer timer;
    timer.start();
    runner.endAll();
    worker.join();
    const qint64 ms = timer.elapsed();
    std::cout << "[ measured ] a hung tool ended in " << ms << " ms\n";
    EXPECT_LT(ms, 1000);
    EXPECT_TRUE(allEnded(pids, 1000));
    EXPECT_EQ(run.status, 137);
    EXPECT_EQ(run.failure, QStringLiteral("“softwareupdate” was ended: the application is quitting."));

    timer.restart();
    const ToolRun later = runner.run(path, {QStringLiteral("-l")}, ErrorStream::Capture);
    EXPECT_LT(timer.elapsed(), 100);
    EXPECT_EQ(later.status, kToolNotStartedStatus);
    EXPECT_FALSE(later.failure.isEmpty());
    EXPECT_EQ(waitForPids(pidFile, 3, 200).size(), 2); // it never ran
}

// The application ended by a signal (Ctrl+C in a terminal, a time limit around a script) takes its
// tools with it: they run in process groups of their own, which such a signal does not reach.
TEST(SignalFaults, AReportEndedByASignalTakesItsHungToolsWithIt) {
    const struct {
        const char* name;
        int signal;
    } cases[] = {{"SIGTERM", SIGTERM}, {"SIGINT", SIGINT}, {"SIGHUP", SIGHUP}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempRoot root(QStringLiteral("apple-silicon"));
        QTemporaryDir config;
        const QString pidFile = config.filePath(QStringLiteral("pids"));
        writeScript(root.path() + QStringLiteral("/usr/sbin"), QStringLiteral("softwareupdate"),
                    hangingScript(pidFile));
        QProcess app;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
        app.setProcessEnvironment(environment);
        app.setProgram(QStringLiteral(LQ_APP_BINARY));
        app.setArguments({QStringLiteral("--report"), QStringLiteral("--system-root"), root.path(),
                          QStringLiteral("--reference-url"),
                          QStringLiteral("http://127.0.0.1:%1/").arg(unusedPort())});
        app.start();
        ASSERT_TRUE(app.waitForStarted());
        const QList<qint64> pids = waitForPids(pidFile, 2);
        ASSERT_EQ(pids.size(), 2);
        // A hung tool has been running a while when the signal comes, not for the microseconds between
        // its start and the application recording it.
        QThread::msleep(100);
        QElapsedTimer timer;
        timer.start();
        ::kill(static_cast<pid_t>(app.processId()), c.signal);
        EXPECT_TRUE(app.waitForFinished(1000));
        std::cout << "[ measured ] report ended by " << c.name << " after " << timer.elapsed() << " ms\n";
        EXPECT_EQ(app.exitStatus(), QProcess::CrashExit);
        EXPECT_EQ(app.exitCode(), c.signal);
        EXPECT_TRUE(allEnded(pids, 1000));
    }
}

// ---- Servers

// Bytes that do not compress, so a body arrives as large as it is.
QByteArray noise(qsizetype size) {
    QByteArray bytes(size, '\0');
    quint32 state = 2463534242U;
    for (char& byte : bytes) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        byte = static_cast<char>(state & 0xFF);
    }
    return bytes;
}

class ServerFaults : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(server.listening()); }

    // Gets `path` and waits for the answer.
    HttpResponse get(HttpGetter& http, const QString& path) {
        bool done = false;
        HttpResponse response;
        http.get(server.baseUrl() + path, [&](const HttpResponse& r) {
            response = r;
            done = true;
        });
        EXPECT_TRUE(waitFor([&] { return done; }, 30000)) << path.toStdString();
        return response;
    }
    TestServer server;
};

// Header fields beyond what Qt reads: it drops them all and would hand the body on as if nothing were
// wrong.
Answer withManyHeaderFields(int count) {
    Answer answer(200, "text/xml", "<plist><dict/></plist>");
    for (int i = 0; i < count; ++i)
        answer.withHeader("X-Field-" + QByteArray::number(i), "value");
    return answer;
}

TEST_F(ServerFaults, HangUpsStallsAndFloodsEndTheFetchAsTransportErrors) {
    const QByteArray mebibyte(kMiB, 'x');
    QtHttpGetter http;
    QtHttpGetter impatient({}, kMaxReferenceListBytes, std::chrono::milliseconds(300));
    // A stall time-out of 1 s that a byte every 200 ms keeps restarting, and a deadline of 1.5 s.
    QtHttpGetter trickled({}, kMaxReferenceListBytes, std::chrono::milliseconds(1000),
                          std::chrono::milliseconds(1500));
    const struct {
        const char* name;
        Answer answer;
        HttpGetter& getter;
        double maxSeconds;
    } cases[] = {
        {"hangs up before the body", Answer(200, "text/xml", mebibyte).cutOffAfter(0), http, 10},
        {"hangs up in the middle of the body", Answer(200, "text/xml", mebibyte).cutOffAfter(kMiB / 2), http,
         10},
        {"hangs up one byte short", Answer(200, "text/xml", mebibyte).cutOffAfter(kMiB - 1), http, 10},
        {"stalls for 2 s against a 300 ms time-out",
         Answer(200, "text/xml", mebibyte).stallFor(std::chrono::seconds(2)), impatient, 1.5},
        // A type the server sends as it is: the cap counts what arrives, whatever the type.
        {"sends 1 MiB more than the cap",
         Answer(200, "application/octet-stream", noise(kMaxReferenceListBytes + kMiB)), http, 20},
        // The test server compresses text for clients that accept it, as Qt does.
        {"sends a compressed body that inflates to 20 MiB",
         Answer(200, "text/xml", QByteArray(20 * kMiB, 'x')), http, 20},
        {"sends a byte every 200 ms against a deadline of 1.5 s",
         Answer(200, "text/xml", QByteArray(100, 'x')).dripEvery(std::chrono::milliseconds(200)), trickled,
         3},
        {"sends 150 header fields", withManyHeaderFields(150), http, 10},
        {"sends a header line of 600 KB",
         Answer(200, "text/xml", "<plist><dict/></plist>").withHeader("X-Big", QByteArray(600 * 1024, 'b')),
         http, 10},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        server.answer(QStringLiteral("/list.plist"), c.answer);
        HttpResponse response;
        const ResourceUse use = measure([&] { response = get(c.getter, QStringLiteral("list.plist")); });
        printMeasured(std::string("server ") + c.name, use);
        EXPECT_TRUE(response.transportError);
        EXPECT_TRUE(response.body.isEmpty());
        const ScreenedResponse screened = screenResponse(response);
        EXPECT_EQ(screened.outcome, FetchOutcome::Failed);
        EXPECT_EQ(screened.failure, QStringLiteral("Got URLSession error."));
        EXPECT_LT(use.seconds, c.maxSeconds);
        EXPECT_LT(use.peakGrowthKiB, 256 * 1024);
    }
}

// The limits leave a sound answer alone: one that trickles in but ends before the deadline, and one with
// many header fields that Qt still reads.
TEST_F(ServerFaults, SlowOrWordyAnswersWithinTheLimitsArrive) {
    QtHttpGetter http({}, kMaxReferenceListBytes, std::chrono::milliseconds(1000),
                      std::chrono::milliseconds(3000));
    const QByteArray list = "<plist><dict/></plist>";
    const struct {
        const char* name;
        Answer answer;
    } cases[] = {
        {"a byte every 20 ms for half a second",
         Answer(200, "text/xml", list).dripEvery(std::chrono::milliseconds(20))},
        {"80 header fields", withManyHeaderFields(80)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        server.answer(QStringLiteral("/list.plist"), c.answer);
        const HttpResponse response = get(http, QStringLiteral("list.plist"));
        EXPECT_FALSE(response.transportError) << response.errorText.toStdString();
        EXPECT_EQ(response.status, 200);
        EXPECT_EQ(response.mediaType, QStringLiteral("text/xml"));
        EXPECT_EQ(response.body, list);
    }
}

// ---- The user's files and settings

class FileFaults : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    static void write(const QString& path, const QByteArray& bytes) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
        file.write(bytes);
    }
    static QByteArray read(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }
    QTemporaryDir dir;
};

// Exporting where nothing can be written: the alert, the report kept, no file or half file left, and
// the next export to a good place writes everything.
TEST_F(FileFaults, AnExportThatCannotBeWrittenAlertsAndLosesNothing) {
    write(dir.filePath(QStringLiteral("a-file")), "not a folder");
    QDir().mkpath(dir.filePath(QStringLiteral("locked")));
    write(dir.filePath(QStringLiteral("locked/LQ_report.text")), "previous export");
    QFile::setPermissions(dir.filePath(QStringLiteral("locked")),
                          QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    const bool root = geteuid() == 0;

    const struct {
        const char* name;
        QString path;
        bool skip;
    } cases[] = {
        {"folder that is a file", dir.filePath(QStringLiteral("a-file/LQ_report.text")), false},
        // Root writes into any folder, whatever its permissions.
        {"folder without write permission", dir.filePath(QStringLiteral("locked/LQ_report.text")), root},
    };
    RootFileSystem files(SystemRoot(dir.path()));
    Harness h;
    ViewController vc(Services{h.tools, files, h.settings, h.system, h.ioRegistry, h.http}, h.view, h.menus,
                      QStringLiteral("https://example.test/updates/master/"));
    const QString report = QStringLiteral("✅ SIP\n") + QString(kMiB, QLatin1Char('r')) + QLatin1Char('\n');
    vc.setReport(report);
    for (const auto& c : cases) {
        if (c.skip)
            continue;
        SCOPED_TRACE(c.name);
        h.view.alerts.clear();
        h.view.saveAnswer = c.path;
        const QStringList before =
            QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
        const QStringList lockedBefore =
            QDir(dir.filePath(QStringLiteral("locked"))).entryList(QDir::Files | QDir::Hidden);
        const ResourceUse use = measure([&] { vc.exportText(); });
        printMeasured(std::string("export into a ") + c.name, use);
        ASSERT_EQ(h.view.alerts.size(), 1);
        EXPECT_TRUE(h.view.alerts[0].contains(QStringLiteral("LQ_report.text")))
            << h.view.alerts[0].toStdString();
        EXPECT_EQ(h.view.report, report);
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), before);
        EXPECT_EQ(QDir(dir.filePath(QStringLiteral("locked"))).entryList(QDir::Files | QDir::Hidden),
                  lockedBefore);
        EXPECT_EQ(read(dir.filePath(QStringLiteral("a-file"))), QByteArray("not a folder"));
        EXPECT_EQ(read(dir.filePath(QStringLiteral("locked/LQ_report.text"))), QByteArray("previous export"));
        EXPECT_LT(use.seconds, 5.0);
    }
    QFile::setPermissions(dir.filePath(QStringLiteral("locked")),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

    h.view.alerts.clear();
    h.view.saveAnswer = dir.filePath(QStringLiteral("LQ_report.text"));
    vc.exportText();
    EXPECT_TRUE(h.view.alerts.isEmpty());
    EXPECT_EQ(read(dir.filePath(QStringLiteral("LQ_report.text"))), report.toUtf8());
}

// A settings file that is not the user's own regular file is never written (a link would have its
// target replaced, and a FIFO would hang the launch): the values set are kept for the run instead, and
// what the file holds is left as it was.
TEST_F(FileFaults, ASettingsFileThatIsNotTheUsersOwnIsLeftAlone) {
    const QByteArray original = "; kept by hand\n[General]\nfontSize=14\n";
    const struct {
        const char* name;
        std::function<QString()> make; // gives the settings file's path
        double fontSizeRead;           // what the store reads before anything is set
        bool needsRoot;
    } cases[] = {
        {"a link to a regular file",
         [&] {
             write(dir.filePath(QStringLiteral("target.conf")), original);
             QFile::link(dir.filePath(QStringLiteral("target.conf")),
                         dir.filePath(QStringLiteral("link.conf")));
             return dir.filePath(QStringLiteral("link.conf"));
         },
         14.0, false},
        {"a FIFO",
         [&] {
             const QString path = dir.filePath(QStringLiteral("fifo.conf"));
             mkfifo(QFile::encodeName(path).constData(), 0600);
             return path;
         },
         0.0, false},
        {"a link to a FIFO",
         [&] {
             mkfifo(QFile::encodeName(dir.filePath(QStringLiteral("other.fifo"))).constData(), 0600);
             QFile::link(dir.filePath(QStringLiteral("other.fifo")),
                         dir.filePath(QStringLiteral("fifolink.conf")));
             return dir.filePath(QStringLiteral("fifolink.conf"));
         },
         0.0, false},
        // Only root can give a file to another user.
        {"another user's file",
         [&] {
             const QString path = dir.filePath(QStringLiteral("theirs.conf"));
             write(path, original);
             if (::chown(QFile::encodeName(path).constData(), 4242, 4242) != 0)
                 ADD_FAILURE() << "chown failed";
             return path;
         },
         14.0, true},
    };
    for (const auto& c : cases) {
        if (c.needsRoot && geteuid() != 0)
            continue;
        SCOPED_TRACE(c.name);
        const QString path = c.make();
        const QStringList entriesBefore =
            QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
        std::unique_ptr<QtSettingsStore> store;
        const ResourceUse use = measure([&] {
            store = std::make_unique<QtSettingsStore>(path);
            EXPECT_DOUBLE_EQ(store->doubleValue(QStringLiteral("fontSize")), c.fontSizeRead);
            store->setDouble(QStringLiteral("fontSize"), 20.0);
            store->setBool(QStringLiteral("noCheckXPRem"), true);
        });
        printMeasured(std::string("settings file that is ") + c.name, use);
        EXPECT_LT(use.seconds, 2.0);
        EXPECT_TRUE(store->keepsValuesInMemory());
        // The run sees what it set.
        EXPECT_DOUBLE_EQ(store->doubleValue(QStringLiteral("fontSize")), 20.0);
        EXPECT_TRUE(store->boolValue(QStringLiteral("noCheckXPRem")));
        store.reset();
        // Nothing on disk changed: no file replaced, none added beside it.
        const QFileInfo info(path);
        EXPECT_EQ(
            QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System),
            entriesBefore);
        if (info.isFile()) {
            EXPECT_EQ(read(path), original);
        }
    }
    EXPECT_EQ(read(dir.filePath(QStringLiteral("target.conf"))), original);
    EXPECT_TRUE(QFileInfo(dir.filePath(QStringLiteral("link.conf"))).isSymLink());
}

// The headless report reads the user's settings file from where QSettings keeps it; a FIFO there does
// not hold it up.
TEST_F(FileFaults, AReportWithAFifoForItsSettingsFileRuns) {
#ifdef __APPLE__
    GTEST_SKIP() << "a Mac's settings are the preferences service's, not a file this process opens";
#endif
    QDir().mkpath(dir.filePath(QStringLiteral("lanternquill")));
    ASSERT_EQ(
        mkfifo(QFile::encodeName(dir.filePath(QStringLiteral("lanternquill/Lanternquill.conf"))).constData(),
               0600),
        0);
    QProcess app;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.path());
    app.setProcessEnvironment(environment);
    app.start(QStringLiteral(LQ_APP_BINARY), {QStringLiteral("--report"), QStringLiteral("--reference-url"),
                                              QStringLiteral("http://127.0.0.1:%1/").arg(unusedPort())});
    QElapsedTimer timer;
    timer.start();
    const bool finished = app.waitForFinished(30000);
    if (!finished)
        app.kill();
    EXPECT_TRUE(finished);
    std::cout << "[ measured ] report with a FIFO for its settings file: " << timer.elapsed() << " ms\n";
    EXPECT_EQ(app.exitStatus(), QProcess::NormalExit);
    // No server answers, so the lists' checks could not be judged: a whole report, status 3.
    EXPECT_EQ(app.exitCode(), 3);
    EXPECT_TRUE(app.readAllStandardOutput().contains("Checked by Lanternquill 2 at "));
}

// An install history larger than the application reads (a sparse file, so it costs no disk): refused
// with the alert before it is read into memory.
TEST_F(FileFaults, AnInstallHistoryBeyondTheReadCapIsRefusedUnread) {
    const QString path = dir.filePath(QStringLiteral("Library/Receipts/InstallHistory.plist"));
    QDir().mkpath(QFileInfo(path).path());
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_TRUE(file.resize(kMaxReadBytes + 1));
    }
    RootFileSystem files(SystemRoot(dir.path()));
    Harness h;
    ViewController vc(Services{h.tools, files, h.settings, h.system, h.ioRegistry, h.http}, h.view, h.menus,
                      QStringLiteral("https://example.test/updates/master/"));
    vc.state.runDate = QDateTime::currentDateTimeUtc();
    const ResourceUse use = measure([&] {
        vc.listInstallHistory();
        test::waitUntilIdle(vc);
    });
    printMeasured("install history of 256 MiB + 1 byte", use);
    EXPECT_EQ(h.view.alerts,
              QStringList{QStringLiteral("The file “InstallHistory.plist” is too large to read.")});
    EXPECT_EQ(h.view.report, QString());
    EXPECT_LT(use.seconds, 2.0);
    EXPECT_LT(use.peakGrowthKiB, 64 * 1024);
}

// A settings file that is damaged or cannot be read: every setting reads as absent, so the defaults
// apply (report font 12 points, updates checked and installed, scans summarised), and nothing fails.
TEST_F(FileFaults, ADamagedOrUnreadableSettingsFileGivesTheDefaults) {
    QByteArray noise(64 * 1024, '\0');
    for (qsizetype i = 0; i < noise.size(); ++i)
        noise[i] = static_cast<char>((i * 7919 + 13) % 256);
    const struct {
        const char* name;
        std::function<QString()> make; // gives the settings file's path
        bool needsNonRoot;
    } cases[] = {
        {"bytes that are no settings file",
         [&] {
             write(dir.filePath(QStringLiteral("noise.conf")), noise);
             return dir.filePath(QStringLiteral("noise.conf"));
         },
         false},
        {"keys without values and broken sections",
         [&] {
             write(dir.filePath(QStringLiteral("broken.conf")),
                   "[General\nfontSize\nnoCheckSWU=\n[\n=true\nnoInstallSWU=\"unterminated\n\xff\xfe=1\n");
             return dir.filePath(QStringLiteral("broken.conf"));
         },
         false},
        // Text layout at such a size never ends, and the window would hang at every launch.
        {"a font size of 1e10",
         [&] {
             write(dir.filePath(QStringLiteral("huge-font.conf")), "[General]\nfontSize=1e10\n");
             return dir.filePath(QStringLiteral("huge-font.conf"));
         },
         false},
        {"a font size of infinity",
         [&] {
             write(dir.filePath(QStringLiteral("infinite-font.conf")), "[General]\nfontSize=inf\n");
             return dir.filePath(QStringLiteral("infinite-font.conf"));
         },
         false},
        {"a folder where the file should be",
         [&] {
             QDir().mkpath(dir.filePath(QStringLiteral("folder.conf")));
             return dir.filePath(QStringLiteral("folder.conf"));
         },
         false},
        {"a file that may not be read",
         [&] {
             const QString path = dir.filePath(QStringLiteral("unreadable.conf"));
             write(path, "[General]\nfontSize=30\nnoCheckSWU=true\nnoInstallSWU=true\nnoCheckXPRem=true\n");
             QFile::setPermissions(path, QFileDevice::WriteOwner);
             return path;
         },
         true},
    };
    for (const auto& c : cases) {
        if (c.needsNonRoot && geteuid() == 0)
            continue; // root reads any file
        SCOPED_TRACE(c.name);
        const QString path = c.make();
        Harness h;
        QtSettingsStore settings(path);
        ViewController vc(Services{h.tools, h.files, settings, h.system, h.ioRegistry, h.http}, h.view,
                          h.menus, QStringLiteral("https://example.test/updates/master/"));
        const ResourceUse use = measure([&] { vc.viewDidLoad(); });
        printMeasured(std::string("settings: ") + c.name, use);
        EXPECT_DOUBLE_EQ(vc.state.theFontSize, 12.0);
        EXPECT_FALSE(vc.state.noCheckSWU);
        EXPECT_FALSE(vc.state.noInstallSWU);
        EXPECT_TRUE(vc.state.checkXPRem);
        vc.incFontSize(); // writing to it fails quietly, the session goes on
        EXPECT_DOUBLE_EQ(vc.state.theFontSize, 13.0);
        EXPECT_LT(use.seconds, 5.0);
    }
}

} // namespace
} // namespace lq::test
