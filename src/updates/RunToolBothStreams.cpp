// The two-stream tool run.
#include "updates/RunToolBothStreams.h"

#include "platform/ToolRunner.h"

namespace lq {

OutputPair runToolBothStreams(ToolRunner& tools, const QString& path, const QStringList& args) {
    const ToolRun run = tools.run(path, args, ErrorStream::Capture);
    if (run.status != 0 && !run.failure.isEmpty())
        return {QString(), QStringLiteral("Failed, error = %1: %2").arg(run.status).arg(run.failure)};
    if (run.status != 0)
        return {QString(), QStringLiteral("Failed, error = %1").arg(run.status)};
    return {QString::fromUtf8(run.out), QString::fromUtf8(run.err)};
}

} // namespace lq
