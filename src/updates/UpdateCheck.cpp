// Pending software updates, asked in the background.
#include "check/SettingsKeys.h"
#include "check/ViewController.h"
#include "platform/SettingsStore.h"
#include "updates/RunToolBothStreams.h"

#include <utility>

namespace lq {

void ViewController::checkForUpdates(std::shared_ptr<RunSequence> run) {
    if (!run)
        run = std::make_shared<RunSequence>(0);
    if (noCheckSWU) {
        setText(Field::updateStatusText, QStringLiteral("❌ updates not checked."));
        appendReport(QStringLiteral("❌ updates not checked.\n"));
        view.setUpdateButtonHidden(true);
        return;
    }
    setText(Field::updateStatusText, QStringLiteral("Checking for updates…"));
    view.setSpinnerHidden(false);
    view.setSpinnerAnimating(true);

    // Before macOS 12 the listing does not take the option that includes configuration data.
    const QStringList listingArgs = osVersion > 11 ? theCSUListCmd : theCSUListECCmd;
    // The operation works on copies: the background thread reads nothing the main thread owns.
    using Listing = std::pair<OutputPair, OutputPair>;
    inBackground<Listing>(
        QStringLiteral("update check"),
        [&tools = services.tools, listingPath = theCSUPath, listingArgs, cachingPath = theCheckConCacheCmd,
         cachingArgs = theCheckConCachePar] {
            const OutputPair listing = runToolBothStreams(tools, listingPath, listingArgs);
            const OutputPair caching = runToolBothStreams(tools, cachingPath, cachingArgs);
            return Listing{listing, caching};
        },
        [this, run](const Listing& result) {
            run->deliver([this, result] { showUpdateCheckResult(result.first, result.second); });
        });
}

void ViewController::showUpdateCheckResult(const OutputPair& listing, const OutputPair& caching) {
    // Both streams are searched, so it does not matter which one the tool says "No new software
    // available." on.
    const QString listed = listing.combined();
    if (listed.contains(QStringLiteral("No new"))) {
        setText(Field::updateStatusText, QStringLiteral("✅ no updates."));
        appendReport(QStringLiteral("✅ ") + listed + QLatin1Char('\n'));
        view.setUpdateButtonHidden(true);
    } else {
        setText(Field::updateStatusText, QStringLiteral("⚠️ updates available."));
        appendReport(QStringLiteral("⚠️ ") + listed + QLatin1Char('\n'));
        // Installs through an active caching server may fail, so the user is told only when it matters.
        if (caching.combined().contains(QStringLiteral("is activated")))
            appendReport(
                QStringLiteral("⚠️ Content Caching server is enabled.\n❓Consider disabling it if "
                               "updates fail to install.\n"));
        // Read now, not at launch: the settings window may have changed it while the listing ran.
        view.setUpdateButtonHidden(services.settings.boolValue(keys::singleInstall));
    }
    view.setSpinnerAnimating(false);
    view.setSpinnerHidden(true);
}

} // namespace lq
