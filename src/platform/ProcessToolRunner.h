// The real tool runner: child processes with pipes, started with posix_spawn. Each tool leads a process group
// of its own, so that ending it ends whatever it started too.
#pragma once

#include "platform/SystemRoot.h"
#include "platform/ToolRunner.h"

#include <mutex>
#include <set>

#include <sys/types.h>

namespace lq {

class ProcessToolRunner : public ToolRunner {
public:
    explicit ProcessToolRunner(SystemRoot root, qint64 maxOutputBytes = kMaxToolOutputBytes)
        : root_(std::move(root)), maxOutputBytes_(maxOutputBytes) {}
    ToolRun run(const QString& path, const QStringList& args, ErrorStream errorStream,
                const QByteArray* input = nullptr) override;
    void endAll() override;

private:
    // Records a started tool's group; false (and the group ended) once endAll() has been called.
    bool admit(pid_t group);
    void release(pid_t group);

    SystemRoot root_;
    qint64 maxOutputBytes_;
    std::mutex mutex_;
    std::set<pid_t> running_; // process groups of the tools running now
    bool ended_ = false;
};

// Makes SIGINT, SIGTERM and SIGHUP (where they are not ignored) end every tool's process group before
// the process dies of them as it would have. The tools run in groups of their own, so a signal meant
// for the application's group (Ctrl+C in a terminal, a time limit around a script) no longer reaches
// them by itself. Called once, early in main().
void endToolsOnTerminatingSignals();

} // namespace lq
