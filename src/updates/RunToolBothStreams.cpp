// The two-stream tool run.
#include "updates/RunToolBothStreams.h"

#include "platform/ToolRunner.h"

#include <QStringList>

namespace lq {

OutputPair runToolBothStreams(ToolRunner& tools, const QString& path, const QStringList& args) {
    const ToolRun run = tools.run(path, args, ErrorStream::Capture);
    const QString out = QString::fromUtf8(run.out);
    QString err = QString::fromUtf8(run.err);
    if (run.status != 0 && !run.failure.isEmpty()) {
        // Why the run was ended (its output grew past the cap, say) is part of what went wrong.
        err += (err.isEmpty() || err.endsWith(QLatin1Char('\n')) ? QString() : QStringLiteral("\n")) +
               run.failure;
        return {QString(), QStringLiteral("Failed, error = %1: %2").arg(run.status).arg(run.failure),
                run.status, out, err};
    }
    if (run.status != 0)
        return {QString(), QStringLiteral("Failed, error = %1").arg(run.status), run.status, out, err};
    return {out, err, 0, out, err};
}

QString OutputPair::failureText() const {
    QStringList parts;
    for (const QString& part : {err.trimmed(), out.trimmed()}) {
        if (!part.isEmpty())
            parts << part;
    }
    parts << QStringLiteral("error %1").arg(status);
    return parts.join(QLatin1Char(' '));
}

} // namespace lq
