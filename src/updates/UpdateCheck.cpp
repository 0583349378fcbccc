// Pending software updates, asked in the background.
#include "updates/UpdateCheck.h"

#include "updates/RunToolBothStreams.h"
#include "updates/UpdateTools.h"

namespace lq {

void UpdateCheck::start(const StepServices& step, int osVersion,
                        std::function<void(const UpdateListing&)> done) {
    // Before macOS 12 the listing does not take the option that includes configuration data.
    const QStringList listingArgs = osVersion > 11 ? theCSUListCmd : theCSUListECCmd;
    step.background.run<UpdateListing>(
        QStringLiteral("update check"),
        [&tools = step.services.tools, listingArgs] {
            return UpdateListing{runToolBothStreams(tools, theCSUPath, listingArgs),
                                 runToolBothStreams(tools, theCheckConCacheCmd, theCheckConCachePar)};
        },
        std::move(done));
}

UpdateCheckText updateCheckText(const OutputPair& listing, const OutputPair& caching) {
    // Both streams are searched, so it does not matter which one the tool says "No new software
    // available." on.
    const QString listed = listing.combined();
    if (listed.contains(QStringLiteral("No new")))
        return {QStringLiteral("✅ no updates."), QStringLiteral("✅ ") + listed + QLatin1Char('\n'), false};
    QString report = QStringLiteral("⚠️ ") + listed + QLatin1Char('\n');
    // Installs through an active caching server may fail, so the user is told only when it matters.
    if (caching.combined().contains(QStringLiteral("is activated")))
        report += QStringLiteral("⚠️ Content Caching server is enabled.\n❓Consider disabling it if "
                                 "updates fail to install.\n");
    return {QStringLiteral("⚠️ updates available."), report, true};
}

} // namespace lq
