// AppleScript through osascript.
#include "platform/AppleScript.h"

#include "platform/ToolRunner.h"

namespace lq {

QString runAppleScript(ToolRunner& tools, const QString& source) {
    const QByteArray input = source.toUtf8();
    const ToolRun run = tools.run(QStringLiteral("/usr/bin/osascript"), {}, ErrorStream::Capture, &input);
    if (run.status != 0)
        return QStringLiteral("Failed, error executing script");
    QString result = QString::fromUtf8(run.out);
    if (result.endsWith(QLatin1Char('\n')))
        result.chop(1);
    return result;
}

} // namespace lq
