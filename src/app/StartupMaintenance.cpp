// The start-up test of the unified log.
#include "app/StartupMaintenance.h"

#include "platform/FileSystem.h"
#include "platform/SettingsKeys.h"
#include "platform/SettingsStore.h"
#include "platform/SystemInfo.h"
#include "platform/ToolRunner.h"

#include <QStringDecoder>

namespace lq {

std::optional<QString> decodeToolOutput(const QByteArray& bytes) {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(bytes);
    // Garbled output is no answer to trust: the test it feeds then fails.
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

bool groupListHasAdmin(const QString& idOutput) {
    QString groups = idOutput;
    // `id` ends its one line with a line break; left on, it would hide the group that comes last.
    if (groups.endsWith(QLatin1Char('\n')))
        groups.chop(1);
    // Single spaces only and no other trimming, so that "80" has to stand as a word of its own.
    const QStringList pieces = groups.split(QLatin1Char(' '));
    return pieces.contains(kAdminGroupId);
}

bool logOutputHasLineBreak(const QString& logOutput) {
    return logOutput.split(QLatin1Char('\n')).size() > 1;
}

bool deDysfunction::isAdminUser() const {
    // The exit status says nothing more than the output does: a user `id` does not know prints no groups.
    const ToolRun run = services_.tools.run(kIdToolPath, {QStringLiteral("-G"), services_.system.userName()},
                                            ErrorStream::Capture);
    const std::optional<QString> output = decodeToolOutput(run.out);
    return output && groupListHasAdmin(*output);
}

bool deDysfunction::folderHasEntries(const QString& macPath) const {
    if (!services_.files.isMacDirectory(macPath))
        return false;
    const std::optional<qint64> entries = services_.files.countMacDirectoryEntries(macPath);
    return entries && *entries > 0;
}

bool deDysfunction::logShowWorks() const {
    const ToolRun run = services_.tools.run(
        kLogToolPath, {QStringLiteral("show"), QStringLiteral("--last"), QStringLiteral("2")},
        ErrorStream::Capture);
    if (run.status != 0)
        return false;
    const std::optional<QString> output = decodeToolOutput(run.out);
    return output && logOutputHasLineBreak(*output);
}

bool beginStartupMaintenance(Services services) {
    const bool wasOff = services.settings.boolValue(keys::noCheckXPRem);
    // Stored before the tests run, so that a launch that never gets past them leaves the summary off.
    services.settings.setBool(keys::noCheckXPRem, true);
    return !wasOff;
}

bool unifiedLogWorks(Services services) {
    const deDysfunction tests(services);
    return tests.isAdminUser() && tests.folderHasEntries(kDiagnosticsPersistFolder) &&
           tests.folderHasEntries(kDiagnosticsTimesyncFolder) && tests.logShowWorks();
}

void finishStartupMaintenance(Services services, bool works) {
    if (works)
        services.settings.setBool(keys::noCheckXPRem, false);
}

void runStartupMaintenance(Services services) {
    if (beginStartupMaintenance(services))
        finishStartupMaintenance(services, unifiedLogWorks(services));
}

} // namespace lq
