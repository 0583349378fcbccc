// Update runs and the scripts around them, off the main thread.
#include "updates/UpdateRun.h"

#include "platform/AppleScript.h"
#include "updates/RunToolBothStreams.h"
#include "updates/UpdateTools.h"

namespace lq {

void UpdateRun::start(const StepServices& step, bool downloadOnly,
                      std::function<void(const OutputPair&)> done) {
    const QStringList args = downloadOnly ? theCSUDownloadCmd : theCSUCmd;
    step.background.run<OutputPair>(
        QStringLiteral("update run"),
        [&tools = step.services.tools, args] { return runToolBothStreams(tools, theCSUPath, args); },
        std::move(done));
}

void ScriptRun::start(const StepServices& step, const QString& name, const QString& source,
                      std::function<void(const QString&)> done) {
    step.background.run<QString>(
        name, [&tools = step.services.tools, source] { return runAppleScript(tools, source); },
        [done = std::move(done)](const QString& result) {
            if (done)
                done(result);
        });
}

} // namespace lq
