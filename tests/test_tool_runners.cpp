// The tool runners on real child processes: both pipes drained while the child runs, exact output, and a
// tool that failed, could not start or was killed never passing for one that succeeded.
#include "platform/ProcessToolRunner.h"
#include "platform/ToolOutput.h"
#include "support/Harness.h"
#include "updates/RunToolBothStreams.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <functional>
#include <future>
#include <iostream>
#include <thread>

namespace lq::test {
namespace {

constexpr qsizetype kMiB = 1024 * 1024;

// Writes 4 MiB to each stream in 64 KiB pieces, taking turns, then exits with its second argument. A
// runner that read one pipe to its end before the other would leave the child stuck on the full other pipe.
const QByteArray kInterleaved = R"(echo $$ > "$1"
out=$(head -c 65536 /dev/zero | tr '\0' o)
err=$(head -c 65536 /dev/zero | tr '\0' e)
i=0
while [ $i -lt 64 ]; do
    printf '%s' "$out"
    printf '%s' "$err" >&2
    i=$((i + 1))
done
exit "$2"
)";

class ToolRunners : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }

    // Puts an sh script at the macOS path /usr/bin/<name> of the temporary root.
    QString tool(const QString& name, const QByteArray& body) {
        writeScript(dir.path() + QStringLiteral("/usr/bin"), name, body);
        return QStringLiteral("/usr/bin/") + name;
    }
    QString pidFile() const { return dir.path() + QStringLiteral("/child.pid"); }

    // Runs `work` on a thread of its own. Should the runner not come back within `seconds`, the child
    // (whose pid the script wrote) is killed so that the test fails instead of hanging.
    OutputPair within(int seconds, const std::function<OutputPair()>& work) {
        std::packaged_task<OutputPair()> task(work);
        std::future<OutputPair> result = task.get_future();
        std::thread thread(std::move(task));
        if (result.wait_for(std::chrono::seconds(seconds)) != std::future_status::ready) {
            ADD_FAILURE() << "the runner did not return within " << seconds << " s";
            QFile file(pidFile());
            if (file.open(QIODevice::ReadOnly))
                ::kill(static_cast<pid_t>(file.readAll().trimmed().toLongLong()), SIGKILL);
        }
        thread.join();
        return result.get();
    }

    QTemporaryDir dir;
    ProcessToolRunner runner{SystemRoot(dir.path())};
};

TEST_F(ToolRunners, BothStreamsOfFourMiBEachNeverStallTheChild) {
    const QString path = tool(QStringLiteral("chatty"), kInterleaved);
    struct Case {
        int exitStatus;
        OutputPair expected;
    };
    const Case cases[] = {
        {0, {QString(4 * kMiB, QLatin1Char('o')), QString(4 * kMiB, QLatin1Char('e'))}},
        {3, {QString(), QStringLiteral("Failed, error = 3")}},
    };
    for (const Case& c : cases) {
        QElapsedTimer timer;
        timer.start();
        const OutputPair pair = within(60, [&] {
            return runToolBothStreams(runner, path, {pidFile(), QString::number(c.exitStatus)});
        });
        // Compared by size first, so a mismatch does not print 8 MiB.
        EXPECT_EQ(pair.first.size(), c.expected.first.size()) << "exit " << c.exitStatus;
        EXPECT_EQ(pair.second.size(), c.expected.second.size()) << "exit " << c.exitStatus;
        EXPECT_TRUE(pair.first == c.expected.first) << "exit " << c.exitStatus;
        EXPECT_TRUE(pair.second == c.expected.second) << "exit " << c.exitStatus;
        std::cout << "[ measured ] 2 x 4 MiB, exit " << c.exitStatus << ": " << timer.elapsed() << " ms\n";
    }
}

TEST_F(ToolRunners, ToolsThatFailOrCannotStartGiveTheFailurePair) {
    tool(QStringLiteral("talks-then-fails"), "printf 'listing'\nprintf 'oops' >&2\nexit 1\n");
    tool(QStringLiteral("quiet"), ":\n");
    // A file that is there but may not be run is as unusable as a missing one.
    QFile::copy(dir.path() + QStringLiteral("/usr/bin/quiet"), dir.path() + QStringLiteral("/usr/bin/plain"));
    QFile::setPermissions(dir.path() + QStringLiteral("/usr/bin/plain"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    struct Case {
        const char* tool;
        OutputPair expected;
    };
    const Case cases[] = {
        {"talks-then-fails", {QString(), QStringLiteral("Failed, error = 1")}},
        {"quiet", {QString(), QString()}},
        {"no-such-tool", {QString(), QStringLiteral("Failed, error = 127")}},
        {"plain", {QString(), QStringLiteral("Failed, error = 127")}},
    };
    for (const Case& c : cases) {
        const OutputPair pair =
            runToolBothStreams(runner, QStringLiteral("/usr/bin/") + QLatin1String(c.tool), {});
        EXPECT_EQ(pair.first, c.expected.first) << c.tool;
        EXPECT_EQ(pair.second, c.expected.second) << c.tool;
    }
    // A failed run keeps what the tool said, for the update runs to show.
    const OutputPair failed = runToolBothStreams(runner, QStringLiteral("/usr/bin/talks-then-fails"), {});
    EXPECT_EQ(failed.failureText(), QStringLiteral("oops listing error 1"));
}

TEST_F(ToolRunners, AChildKilledByASignalIsNeverASuccess) {
    struct Case {
        const char* signalName;
        int signal;
    };
    const Case cases[] = {{"KILL", SIGKILL}, {"TERM", SIGTERM}, {"SEGV", SIGSEGV}};
    for (const Case& c : cases) {
        // It has written everything a successful run would have, so only the way it ended tells.
        const QString path =
            tool(QStringLiteral("killed-") + QLatin1String(c.signalName),
                 QByteArray("printf 'No new software available.'\nkill -") + c.signalName + " $$\nexit 0\n");
        const ToolRun run = runner.run(path, {}, ErrorStream::Capture, nullptr);
        EXPECT_EQ(run.status, kToolSignalStatusBase + c.signal) << c.signalName;
        const OutputPair pair = runToolBothStreams(runner, path, {});
        EXPECT_EQ(pair.first, QString()) << c.signalName;
        EXPECT_EQ(pair.second, QStringLiteral("Failed, error = %1").arg(kToolSignalStatusBase + c.signal))
            << c.signalName;
    }
}

TEST_F(ToolRunners, InputTheToolNeverReadsAndPipesItsChildrenKeepOpenDoNotHoldTheRun) {
    // It ends without reading a byte of 4 MiB of input: writing the rest fails (SIGPIPE, EPIPE), which
    // must neither end this process nor keep the run waiting.
    const QString deaf = tool(QStringLiteral("deaf"), "echo $$ > \"$1\"\nprintf 'done'\nexit 3\n");
    const QByteArray input(4 * kMiB, 'i');
    const OutputPair deafRun = within(10, [&] {
        const ToolRun run = runner.run(deaf, {pidFile()}, ErrorStream::Capture, &input);
        return OutputPair{QString::fromLatin1(run.out), QString::number(run.status)};
    });
    EXPECT_EQ(deafRun.first, QStringLiteral("done"));
    EXPECT_EQ(deafRun.second, QStringLiteral("3"));

    // It leaves a child behind that holds both pipes open; the run ends with the tool, keeping what the
    // tool wrote.
    const QString leaves =
        tool(QStringLiteral("leaves-a-child"), "printf 'parent'\nsleep 30 &\necho $! > \"$1\"\n");
    QElapsedTimer clock;
    clock.start();
    const OutputPair leftRun = within(10, [&] {
        const ToolRun run = runner.run(leaves, {pidFile()}, ErrorStream::Capture, nullptr);
        return OutputPair{QString::fromLatin1(run.out), QString::number(run.status)};
    });
    EXPECT_LT(clock.elapsed(), 5000);
    EXPECT_EQ(leftRun.first, QStringLiteral("parent"));
    EXPECT_EQ(leftRun.second, QStringLiteral("0"));
    QFile file(pidFile());
    if (file.open(QIODevice::ReadOnly))
        ::kill(static_cast<pid_t>(file.readAll().trimmed().toLongLong()), SIGKILL);
}

TEST_F(ToolRunners, RunToolGivesStandardOutputWholeOrTheErrorText) {
    tool(QStringLiteral("abc"), "printf 'abc\\n'\n");
    tool(QStringLiteral("nothing"), ":\n");
    tool(QStringLiteral("fails"), "printf 'half a listing'\nexit 1\n");
    tool(QStringLiteral("mebibyte"), "head -c 1048576 /dev/zero | tr '\\0' x\n");
    tool(QStringLiteral("stderr-only"), "printf 'noise' >&2\n");
    Harness h;
    ViewController vc(Services{runner, h.files, h.settings, h.system, h.ioRegistry, h.http}, h.view, h.menus,
                      QStringLiteral("https://example.test/updates/master/"));
    struct Case {
        const char* tool;
        QString expected;
    };
    const Case cases[] = {
        {"abc", QStringLiteral("abc\n")},
        {"nothing", QString()},
        {"fails", QStringLiteral(" error 1")},
        {"mebibyte", QString(kMiB, QLatin1Char('x'))},
        {"stderr-only", QString()},
        {"no-such-tool", QStringLiteral(" error 127")},
    };
    for (const Case& c : cases) {
        const QString out = toolOutputText(runner, QStringLiteral("/usr/bin/") + QLatin1String(c.tool), {});
        EXPECT_EQ(out.size(), c.expected.size()) << c.tool;
        EXPECT_TRUE(out == c.expected) << c.tool;
    }
}

} // namespace
} // namespace lq::test
