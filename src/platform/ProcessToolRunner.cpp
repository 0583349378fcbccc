// Child processes with drained pipes. Both pipes are read as data arrives, so a tool that writes more
// than a pipe holds on either stream never blocks; what arrives is taken at once and counted, so a tool
// that floods is ended one pipe's worth past the cap.
#include "platform/ProcessToolRunner.h"

#include <QFile>
#include <QFileInfo>

#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <ctime>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

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

void closeFd(int& fd) {
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

// One pipe between the application and a tool; both ends close-on-exec, so that no other tool started
// at the same time inherits them and holds them open.
struct Pipe {
    int read = -1;
    int write = -1;
    Pipe() = default;
    Pipe(const Pipe&) = delete;
    Pipe& operator=(const Pipe&) = delete;
    ~Pipe() {
        closeRead();
        closeWrite();
    }
    bool open() {
        int ends[2];
#ifdef __APPLE__
        if (::pipe(ends) != 0)
            return false;
        ::fcntl(ends[0], F_SETFD, FD_CLOEXEC);
        ::fcntl(ends[1], F_SETFD, FD_CLOEXEC);
#else
        if (::pipe2(ends, O_CLOEXEC) != 0)
            return false;
#endif
        read = ends[0];
        write = ends[1];
        return true;
    }
    void closeRead() {
        closeFd(read);
    }
    void closeWrite() {
        closeFd(write);
    }
};

// What the child is given: its standard streams, a process group of its own, the default action for
// every signal the application may handle, and no blocked signals.
struct SpawnSetup {
    posix_spawn_file_actions_t actions{};
    posix_spawnattr_t attributes{};
    SpawnSetup() {
        posix_spawn_file_actions_init(&actions);
        posix_spawnattr_init(&attributes);
        short flags = POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK;
#ifdef __APPLE__
        // Nothing of the application's but the three streams reaches the tool.
        flags |= POSIX_SPAWN_CLOEXEC_DEFAULT;
#endif
        posix_spawnattr_setflags(&attributes, flags);
        posix_spawnattr_setpgroup(&attributes, 0);
        sigset_t defaults;
        sigemptyset(&defaults);
        for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGPIPE, SIGCHLD, SIGQUIT, SIGUSR1, SIGUSR2})
            sigaddset(&defaults, signal);
        posix_spawnattr_setsigdefault(&attributes, &defaults);
        sigset_t none;
        sigemptyset(&none);
        posix_spawnattr_setsigmask(&attributes, &none);
    }
    ~SpawnSetup() {
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attributes);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;

    void dupTo(int fd, int target) {
        posix_spawn_file_actions_adddup2(&actions, fd, target);
    }
    void openNull(int target) {
        posix_spawn_file_actions_addopen(&actions, target, "/dev/null", O_RDONLY, 0);
    }
    // Closes whatever a library opened without close-on-exec, so that the tool holds none of it.
    void closeTheRest() {
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
        posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
#endif
    }
};

// Holds SIGPIPE back on this thread while a tool runs, and takes one that writing to the tool raised,
// so that a tool closing its input early never ends the application.
class SigPipeHold {
public:
    SigPipeHold() {
        sigset_t pipeOnly;
        sigemptyset(&pipeOnly);
        sigaddset(&pipeOnly, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &pipeOnly, &previous_);
    }
    ~SigPipeHold() {
        sigset_t pending;
        sigemptyset(&pending);
        if (sigpending(&pending) == 0 && sigismember(&pending, SIGPIPE) &&
            !sigismember(&previous_, SIGPIPE)) {
            sigset_t pipeOnly;
            sigemptyset(&pipeOnly);
            sigaddset(&pipeOnly, SIGPIPE);
#ifdef __APPLE__
            int taken = 0;
            sigwait(&pipeOnly, &taken);
#else
            const timespec now{0, 0};
            sigtimedwait(&pipeOnly, nullptr, &now);
#endif
        }
        pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
    }
    SigPipeHold(const SigPipeHold&) = delete;
    SigPipeHold& operator=(const SigPipeHold&) = delete;

private:
    sigset_t previous_{};
};

enum class Read { Data, Nothing, End };

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
    const bool captureErr = errorStream == ErrorStream::Capture;
    Pipe out, err, in;
    if (!out.open() || (captureErr && !err.open()) || (input && !in.open()))
        return ToolRun{kToolNotStartedStatus, {}, {}};

    const QByteArray program = QFile::encodeName(root_.map(path));
    std::vector<QByteArray> argBytes{program};
    for (const QString& arg : args)
        argBytes.push_back(arg.toLocal8Bit());
    std::vector<char*> argv;
    for (QByteArray& arg : argBytes)
        argv.push_back(arg.data());
    argv.push_back(nullptr);

    SpawnSetup setup;
    // A tool that asks a question (csrutil on a Mac with two systems does) must see end-of-file and
    // give up, not wait forever for an answer from our own terminal.
    if (input)
        setup.dupTo(in.read, STDIN_FILENO);
    else
        setup.openNull(STDIN_FILENO);
    setup.dupTo(out.write, STDOUT_FILENO);
    if (captureErr)
        setup.dupTo(err.write, STDERR_FILENO);
    setup.closeTheRest();

    const SigPipeHold hold;
    pid_t pid = 0;
    // posix_spawn rather than fork: a fork copies the page tables of the whole application, which holds
    // up the forking thread and, through the address-space lock, the window's thread with it.
    const int spawnError =
        ::posix_spawn(&pid, program.constData(), &setup.actions, &setup.attributes, argv.data(), environ);
    out.closeWrite();
    err.closeWrite();
    in.closeRead();
    if (spawnError != 0 || pid <= 0)
        return ToolRun{kToolNotStartedStatus, {}, {}};
    // The child made its group before it ran anything, so the group exists before it is recorded here
    // (for endAll() and the handler of a terminating signal), and ending it ends what the tool started.
    const pid_t group = pid;
    const bool admitted = admit(group);
    if (!admitted)
        in.closeWrite();

    ToolRun result;
    bool overflowed = false;
    // Takes what a stream has ready, straight into what is kept; past the cap the tool is ended and
    // nothing more is kept.
    auto take = [&](int fd, QByteArray& kept) {
        char buffer[65536];
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0)
            return errno == EINTR ? Read::Data : errno == EAGAIN ? Read::Nothing : Read::End;
        if (got == 0)
            return Read::End;
        if (!overflowed && kept.size() + got > maxOutputBytes_) {
            overflowed = true;
            kept = QByteArray();
            ::kill(-group, SIGKILL);
        }
        if (!overflowed)
            kept.append(buffer, static_cast<qsizetype>(got));
        return Read::Data;
    };

    qsizetype written = 0;
    int waitStatus = 0;
    bool reaped = false;
    while (out.read >= 0 || err.read >= 0 || in.write >= 0) {
        std::array<pollfd, 3> fds{};
        nfds_t count = 0;
        for (const auto& [fd, events] :
             {std::pair{out.read, POLLIN}, std::pair{err.read, POLLIN}, std::pair{in.write, POLLOUT}}) {
            if (fd >= 0)
                fds[count++] = pollfd{fd, static_cast<short>(events), 0};
        }
        // The pipes normally end with the tool. Should something it left behind hold them open, the wait
        // wakes now and then to notice that the tool itself has ended.
        const int ready = ::poll(fds.data(), count, 100);
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (ready == 0) {
            if (::waitpid(pid, &waitStatus, WNOHANG) == pid) {
                reaped = true;
                break;
            }
            continue;
        }
        for (nfds_t i = 0; i < count; ++i) {
            const pollfd& polled = fds[i];
            if (polled.revents == 0)
                continue;
            if (polled.fd == out.read) {
                if (take(out.read, result.out) == Read::End)
                    out.closeRead();
            } else if (polled.fd == err.read) {
                if (take(err.read, result.err) == Read::End)
                    err.closeRead();
            } else if (polled.fd == in.write) {
                const ssize_t sent = (polled.revents & POLLOUT)
                                         ? ::write(in.write, input->constData() + written,
                                                   static_cast<size_t>(input->size() - written))
                                         : -1;
                if (sent > 0)
                    written += sent;
                // A tool that closed its input early (EPIPE) simply gets no more of it.
                if ((sent < 0 && errno != EINTR && errno != EAGAIN) || written >= input->size())
                    in.closeWrite();
            }
        }
    }
    if (reaped) {
        // What the tool wrote just before it ended, without waiting for whoever still holds the pipes.
        const auto drain = [&](int fd, QByteArray& kept) {
            if (fd < 0)
                return;
            ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
            while (take(fd, kept) == Read::Data) {
            }
        };
        drain(out.read, result.out);
        drain(err.read, result.err);
    } else {
        while (::waitpid(pid, &waitStatus, 0) < 0 && errno == EINTR) {
        }
    }
    release(group);

    if (overflowed)
        return ToolRun{kKilledStatus,
                       {},
                       {},
                       toolName(path) + QStringLiteral(" wrote more than %1 MiB of output and was ended.")
                                            .arg(maxOutputBytes_ / (1024 * 1024))};
    const bool signalled = WIFSIGNALED(waitStatus);
    bool quitting = !admitted;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        quitting = quitting || ended_;
    }
    if (quitting && signalled)
        return ToolRun{kKilledStatus,
                       {},
                       {},
                       toolName(path) + QStringLiteral(" was ended: the application is quitting.")};
    result.status = signalled ? kToolSignalStatusBase + WTERMSIG(waitStatus)
                              : (WIFEXITED(waitStatus) ? WEXITSTATUS(waitStatus) : kKilledStatus);
    return result;
}

} // namespace lq
