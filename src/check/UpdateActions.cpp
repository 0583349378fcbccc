// The main window's side of update runs: downloading or installing all pending updates, the download-only and
// update-check toggles of the application menu, and switching content caching on or off.
#include "check/ViewController.h"
#include "platform/SettingsKeys.h"
#include "platform/SettingsStore.h"
#include "platform/SystemInfo.h"
#include "updates/UpdateRun.h"
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
    UpdateRun::start(step(), state.noInstallSWU,
                     [this](const OutputPair& result) { finishUpdateRun(result); });
}

void ViewController::finishUpdateRun(const OutputPair& result) {
    // The mode is read now, not when the run started: a switch during the run decides its wording.
    if (result.failed()) {
        setText(Field::updateStatusText, state.noInstallSWU ? QStringLiteral("❌ updates not downloaded.")
                                                            : QStringLiteral("❌ updates not installed."));
        appendReport(QStringLiteral("❌ ") + result.failureText() + QLatin1Char('\n'));
    } else {
        setText(Field::updateStatusText, state.noInstallSWU ? QStringLiteral("✅ updates downloaded.")
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
    if (state.noInstallSWU && !result.failed())
        ScriptRun::start(step(), QStringLiteral("reveal downloads"), revealUpdatesScript(), {});
}

void ViewController::doNoInstallMenuItem() {
    state.noInstallSWU = !state.noInstallSWU;
    services.settings.setBool(keys::noInstallSWU, state.noInstallSWU);
    const QString title = QStringLiteral("Lanternquill – macOS ") + services.system.osVersion().text;
    view.setWindowTitle(state.noInstallSWU ? QStringLiteral("⚠️ ") + title : title);

    if (!menus.findMenu(kAppMenu) || !menus.findMenu(kFileMenu))
        return;
    const QString from =
        state.noInstallSWU ? QStringLiteral("Install Updates") : QStringLiteral("Download Updates");
    const QString to =
        state.noInstallSWU ? QStringLiteral("Download Updates") : QStringLiteral("Install Updates");
    if (MenuItem* item = menus.findItem(kAppMenu, from)) {
        item->title = to;
        item->enabled = true;
        item->on = !state.noInstallSWU;
    }
    if (state.noInstallSWU) {
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
    state.noCheckSWU = !state.noCheckSWU;
    if (!menus.findMenu(kAppMenu))
        return;
    const QString from =
        state.noCheckSWU ? QStringLiteral("Check Updates") : QStringLiteral("Don't Check Updates");
    const QString to =
        state.noCheckSWU ? QStringLiteral("Don't Check Updates") : QStringLiteral("Check Updates");
    if (MenuItem* item = menus.findItem(kAppMenu, from)) {
        item->title = to;
        item->enabled = true;
        item->on = !state.noCheckSWU;
        menus.notifyChanged();
    }
}

void ViewController::activeConCaching() {
    runConCachingScript(QStringLiteral("content caching on"), contentCachingOnScript());
}

void ViewController::deactiveConCaching() {
    runConCachingScript(QStringLiteral("content caching off"), contentCachingOffScript());
}

void ViewController::runConCachingScript(const QString& name, const QString& script) {
    // The script asks for an administrator's password: the window stays live while it waits.
    ScriptRun::start(step(), name, script,
                     [this](const QString& result) { appendReport(result + QLatin1Char('\n')); });
}

} // namespace lq
