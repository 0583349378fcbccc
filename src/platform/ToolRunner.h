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

struct ToolRun {
    int status = 0;
    QByteArray out;
    QByteArray err;
};

enum class ErrorStream { Inherit, Capture };

class ToolRunner {
public:
    virtual ~ToolRunner() = default;
    // Runs the tool at the macOS path `path` with `args`. Standard input is `input` when given, else
    // the null device. Both pipes are read to their end before the exit status is taken. Safe to call
    // from any thread.
    virtual ToolRun run(const QString& path, const QStringList& args, ErrorStream errorStream,
                        const QByteArray* input = nullptr) = 0;
};

} // namespace lq
