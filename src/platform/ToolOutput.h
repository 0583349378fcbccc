// A tool's standard output as the report shows it.
#pragma once

#include "platform/ToolRunner.h"

namespace lq {

// The tool's standard output, or " error <status>" when it failed; when the runner itself ended the
// tool, its reason follows as the end of the line (": <reason>\n"). Safe on any thread.
inline QString toolOutputText(ToolRunner& tools, const QString& path, const QStringList& args) {
    const ToolRun run = tools.run(path, args, ErrorStream::Inherit);
    if (run.status != 0 && !run.failure.isEmpty())
        return QStringLiteral(" error %1: %2\n").arg(run.status).arg(run.failure);
    if (run.status != 0)
        return QStringLiteral(" error %1").arg(run.status);
    return QString::fromUtf8(run.out);
}

} // namespace lq
