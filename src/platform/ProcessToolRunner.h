// The real tool runner: child processes with pipes, through QProcess.
#pragma once

#include "platform/SystemRoot.h"
#include "platform/ToolRunner.h"

namespace lq {

class ProcessToolRunner : public ToolRunner {
public:
    explicit ProcessToolRunner(SystemRoot root) : root_(std::move(root)) {}
    ToolRun run(const QString& path, const QStringList& args, ErrorStream errorStream,
                const QByteArray* input) override;

private:
    SystemRoot root_;
};

} // namespace lq
