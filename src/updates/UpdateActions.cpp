// Downloading or installing all pending updates, the download-only and update-check toggles of the
// application menu, and switching content caching on or off.
#include "check/SettingsKeys.h"
#include "check/ViewController.h"
#include "platform/SettingsStore.h"
#include "platform/SystemInfo.h"
#include "updates/RunToolBothStreams.h"
#include "updates/UpdateScripts.h"

namespace lq {

namespace {
const QString kAppMenu = QStringLiteral("Lanternquill");
const QString kFileMenu = QStringLiteral("File");
} // namespace

void ViewController::installAllUpdatesButton() {
    view.setUpdateButtonEnabled(false);
    view.setUpdateButtonHidden(false);
    installAllUpdates();
}

void ViewController::installAllUpdates() {
    view.setSpinnerHidden(false);
    view.setSpinnerAnimating(true);
    const QStringList args = noInstallSWU ? theCSUDownloadCmd : theCSUCmd;
    inBackground<OutputPair>(
        QStringLiteral("update run"),
        [&tools = services.tools, path = theCSUPath, args] { return runToolBothStreams(tools, path, args); },
        [this](const OutputPair& result) { finishUpdateRun(result); });
}

void ViewController::finishUpdateRun(const OutputPair& result) {
    // The mode is read now, not when the run started: a switch during the run decides its wording.
    if (result.failed()) {
        setText(Field::updateStatusText, noInstallSWU ? QStringLiteral("❌ updates not downloaded.")
                                                      : QStringLiteral("❌ updates not installed."));
        appendReport(QStringLiteral("❌ ") + result.failureText() + QLatin1Char('\n'));
    } else {
        setText(Field::updateStatusText, noInstallSWU ? QStringLiteral("✅ updates downloaded.")
                                                      : QStringLiteral("✅ updates installed."));
        appendReport(QStringLiteral("✅ ") + result.combined() + QLatin1Char('\n'));
    }
    // Even a failed run may have installed some of the updates. The history comes first: the
    // refreshed comparison reads the flags it raises.
    auto sequence = std::make_shared<RunSequence>(1);
    listInstallHistory(sequence, 0);
    checkSecurityDataVersions(sequence);
    view.setUpdateButtonHidden(true);
    view.setUpdateButtonEnabled(true);
    view.setSpinnerAnimating(false);
    view.setSpinnerHidden(true);
    // There is nothing to show in the Finder when the download failed.
    if (noInstallSWU && !result.failed())
        runAppleScript(revealUpdatesScript());
}

void ViewController::doNoInstallMenuItem() {
    noInstallSWU = !noInstallSWU;
    services.settings.setBool(keys::noInstallSWU, noInstallSWU);
    const QString title = QStringLiteral("Lanternquill – macOS ") + services.system.osVersion().text;
    view.setWindowTitle(noInstallSWU ? QStringLiteral("⚠️ ") + title : title);

    if (!menus.findMenu(kAppMenu) || !menus.findMenu(kFileMenu))
        return;
    const QString from =
        noInstallSWU ? QStringLiteral("Install Updates") : QStringLiteral("Download Updates");
    const QString to = noInstallSWU ? QStringLiteral("Download Updates") : QStringLiteral("Install Updates");
    if (MenuItem* item = menus.findItem(kAppMenu, from)) {
        item->title = to;
        item->enabled = true;
        item->on = !noInstallSWU;
    }
    if (noInstallSWU) {
        menus.retitle(kFileMenu, QStringLiteral("Install All Updates"),
                      QStringLiteral("Download All Updates"));
        menus.retitle(kFileMenu, QStringLiteral("Install Named Update…"),
                      QStringLiteral("Download Named Update…"));
        view.setUpdateButtonTitle(QStringLiteral("Download all updates"));
    } else {
        menus.retitle(kFileMenu, QStringLiteral("Download All Updates"),
                      QStringLiteral("Install All Updates"));
        menus.retitle(kFileMenu, QStringLiteral("Download Named Update…"),
                      QStringLiteral("Install Named Update…"));
        view.setUpdateButtonTitle(QStringLiteral("Install all updates"));
    }
    menus.notifyChanged();
}

void ViewController::doCheckMenuItem() {
    // Until the application quits only; the settings window is where the choice is kept.
    noCheckSWU = !noCheckSWU;
    if (!menus.findMenu(kAppMenu))
        return;
    const QString from = noCheckSWU ? QStringLiteral("Check Updates") : QStringLiteral("Don't Check Updates");
    const QString to = noCheckSWU ? QStringLiteral("Don't Check Updates") : QStringLiteral("Check Updates");
    if (MenuItem* item = menus.findItem(kAppMenu, from)) {
        item->title = to;
        item->enabled = true;
        item->on = !noCheckSWU;
        menus.notifyChanged();
    }
}

void ViewController::activeConCaching() {
    runConCachingScript(contentCachingOnScript());
}

void ViewController::deactiveConCaching() {
    runConCachingScript(contentCachingOffScript());
}

void ViewController::runConCachingScript(const QString& script) {
    appendReport(runAppleScript(script) + QLatin1Char('\n'));
}

} // namespace lq
