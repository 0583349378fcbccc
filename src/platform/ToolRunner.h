// Runs a system tool to its end and hands back what it wrote and how it ended.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace lq {

// Exit status given for a tool that could not be started at all (no such file, not executable).
inline constexpr int kToolNotStartedStatus = 127;
// A tool killed by a signal reports 128 plus the signal number, like a shell does, so it can never
// pass for a tool that exited 0.
inline constexpr int kToolSignalStatusBase = 128;

// Output a tool may write on each stream. Nothing a check reads comes near it; past it the tool is
// ended and its run fails, so a flooding tool cannot fill memory.
inline constexpr qint64 kMaxToolOutputBytes = 64LL * 1024 * 1024;

struct ToolRun {
    int status = 0;
    QByteArray out;
    QByteArray err;
    // Set when the runner itself ended the tool or would not start it (too much output, the application
    // quitting): why, as a sentence for the report. The status is then never 0 and the output empty.
    QString failure = {};
};

enum class ErrorStream { Inherit, Capture };

class ToolRunner {
public:
    virtual ~ToolRunner() = default;
    // Runs the tool at the macOS path `path` with `args`. Standard input is `input` when given, else
    // the null device. Both pipes are read to their end before the exit status is taken; a tool that
    // writes more than kMaxToolOutputBytes on either is ended, and its run fails with `failure` set.
    // Safe to call from any thread.
    virtual ToolRun run(const QString& path, const QStringList& args, ErrorStream errorStream,
                        const QByteArray* input = nullptr) = 0;
    // Ends every tool still running, with every process it started, and refuses every later run (it
    // fails at once). For quitting: nothing the application waits for on its way out can then hang.
    // Safe to call from any thread.
    virtual void endAll() = 0;
};

} // namespace lq
