// Child processes with drained pipes. QProcess reads both pipes while it waits, so a tool that writes
// more than a pipe holds on either stream never blocks; what arrives is taken at once and counted, so a
// tool that floods is ended one pipe's worth past the cap.
#include "platform/ProcessToolRunner.h"

#include <QFileInfo>
#include <QProcess>

#include <array>
#include <atomic>
#include <csignal>

#include <unistd.h>

namespace lq {

namespace {

// Every running tool's process group in this process, for the handler of a terminating signal: a fixed
// table of atomics, as a signal handler may neither lock nor allocate. Entries go when their tool ends.
constexpr std::size_t kSignalTableSize = 64;
std::array<std::atomic<pid_t>, kSignalTableSize> toolGroups{};

void trackForSignals(pid_t group) {
    for (std::atomic<pid_t>& slot : toolGroups) {
        pid_t empty = 0;
        if (slot.compare_exchange_strong(empty, group))
            return;
    }
}

void untrackForSignals(pid_t group) {
    for (std::atomic<pid_t>& slot : toolGroups) {
        pid_t mine = group;
        if (slot.compare_exchange_strong(mine, 0))
            return;
    }
}

extern "C" void endToolsAndDie(int signal) {
    for (const std::atomic<pid_t>& slot : toolGroups) {
        const pid_t group = slot.load();
        if (group > 0)
            ::kill(-group, SIGKILL);
    }
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

constexpr int kKilledStatus = kToolSignalStatusBase + SIGKILL;

QString toolName(const QString& path) {
    return QStringLiteral("“") + QFileInfo(path).fileName() + QStringLiteral("”");
}

} // namespace

void endToolsOnTerminatingSignals() {
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction current {};
        if (::sigaction(signal, nullptr, &current) != 0 || current.sa_handler != SIG_DFL)
            continue; // an ignored SIGHUP (nohup) stays ignored
        struct sigaction action {};
        action.sa_handler = endToolsAndDie;
        sigemptyset(&action.sa_mask);
        ::sigaction(signal, &action, nullptr);
    }
}

bool ProcessToolRunner::admit(pid_t group) {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (ended_) {
        ::kill(-group, SIGKILL);
        return false;
    }
    running_.insert(group);
    trackForSignals(group);
    return true;
}

void ProcessToolRunner::release(pid_t group) {
    const std::lock_guard<std::mutex> lock(mutex_);
    running_.erase(group);
    untrackForSignals(group);
}

void ProcessToolRunner::endAll() {
    const std::lock_guard<std::mutex> lock(mutex_);
    ended_ = true;
    // The whole group: a tool that is a script ends with the programs it is waiting for.
    for (const pid_t group : running_)
        ::kill(-group, SIGKILL);
}

ToolRun ProcessToolRunner::run(const QString& path, const QStringList& args, ErrorStream errorStream,
                               const QByteArray* input) {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (ended_)
            return ToolRun{kToolNotStartedStatus,
                           {},
                           {},
                           toolName(path) + QStringLiteral(" was not started: the application is quitting.")};
    }
    QProcess process;
    process.setProgram(root_.map(path));
    process.setArguments(args);
    // A tool that asks a question (csrutil on a Mac with two systems does) must see end-of-file and
    // give up, not wait forever for an answer from our own terminal.
    if (!input)
        process.setStandardInputFile(QProcess::nullDevice());
    process.setProcessChannelMode(errorStream == ErrorStream::Inherit ? QProcess::ForwardedErrorChannel
                                                                      : QProcess::SeparateChannels);
    process.setChildProcessModifier([] { ::setpgid(0, 0); });

    ToolRun result;
    pid_t group = 0;
    bool overflowed = false;
    // Takes what arrived on one stream, straight into what is kept; past the cap the tool is ended and
    // nothing more is kept.
    auto take = [&](QByteArray& kept, QProcess::ProcessChannel channel) {
        process.setReadChannel(channel);
        const qint64 available = process.bytesAvailable();
        if (available <= 0)
            return;
        if (!overflowed && kept.size() + available > maxOutputBytes_) {
            overflowed = true;
            kept = QByteArray();
            if (group > 0)
                ::kill(-group, SIGKILL);
        }
        if (overflowed) {
            process.skip(available);
            return;
        }
        const qsizetype used = kept.size();
        kept.resize(used + static_cast<qsizetype>(available));
        kept.truncate(used + static_cast<qsizetype>(process.read(kept.data() + used, available)));
    };
    QObject::connect(&process, &QProcess::readyReadStandardOutput,
                     [&] { take(result.out, QProcess::StandardOutput); });
    QObject::connect(&process, &QProcess::readyReadStandardError,
                     [&] { take(result.err, QProcess::StandardError); });

    process.start(QIODevice::ReadWrite);
    // The group is made on both sides of the fork and recorded at once, so that it exists and is known
    // (to endAll() and to the handler of a terminating signal) before the tool itself runs, whichever
    // side of the fork gets there first.
    group = static_cast<pid_t>(process.processId());
    bool admitted = false;
    if (group > 0) {
        ::setpgid(group, group);
        admitted = admit(group);
    }
    if (!process.waitForStarted(-1)) {
        release(group);
        return ToolRun{kToolNotStartedStatus, {}, {}};
    }
    if (admitted && input) {
        process.write(*input);
        process.closeWriteChannel();
    }
    process.waitForFinished(-1);
    // What the last reads left behind, for a tool that ended between two of them.
    take(result.out, QProcess::StandardOutput);
    if (errorStream == ErrorStream::Capture)
        take(result.err, QProcess::StandardError);
    release(group);

    if (overflowed)
        return ToolRun{kKilledStatus,
                       {},
                       {},
                       toolName(path) + QStringLiteral(" wrote more than %1 MiB of output and was ended.")
                                            .arg(maxOutputBytes_ / (1024 * 1024))};
    bool quitting = !admitted;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        quitting = quitting || ended_;
    }
    if (quitting && process.exitStatus() == QProcess::CrashExit)
        return ToolRun{kKilledStatus,
                       {},
                       {},
                       toolName(path) + QStringLiteral(" was ended: the application is quitting.")};

    if (process.exitStatus() == QProcess::CrashExit) {
        // QProcess reports the signal number as the exit code of a killed child.
        const int signal = process.exitCode();
        result.status = kToolSignalStatusBase + (signal > 0 ? signal : 0);
    } else {
        result.status = process.exitCode();
    }
    return result;
}

} // namespace lq
