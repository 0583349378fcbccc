// The life of the main window and the order of a check run.
#include "check/ReportText.h"
#include "check/ViewController.h"
#include "platform/SettingsKeys.h"
#include "platform/SettingsStore.h"
#include "platform/SystemInfo.h"

namespace lq {

namespace {
const QString kFileMenu = QStringLiteral("File");
const QString kInstallAll = QStringLiteral("Install All Updates");
const QString kDownloadAll = QStringLiteral("Download All Updates");
const QString kInstallNamed = QStringLiteral("Install Named Update…");
const QString kDownloadNamed = QStringLiteral("Download Named Update…");

} // namespace

void ViewController::viewDidLoad() {
    // No tool runs here: the window comes up first, and the first check run identifies the hardware.
    const OsVersion version = services.system.osVersion();
    state.osVersion = osVersionCode(version.major, version.minor);
    state.osVersionKnown = version.known();

    state.theFontSize = fontSizeFromSetting(services.settings.doubleValue(keys::fontSize));
    state.noCheckSWU = services.settings.boolValue(keys::noCheckSWU);
    state.noInstallSWU = services.settings.boolValue(keys::noInstallSWU);
    state.checkXPRem = !services.settings.boolValue(keys::noCheckXPRem);

    if (!menus.findMenu(kFileMenu))
        return;
    if (state.noInstallSWU) {
        menus.retitle(kFileMenu, kInstallAll, kDownloadAll);
        menus.retitle(kFileMenu, kInstallNamed, kDownloadNamed);
        view.setUpdateButtonTitle(QStringLiteral("Download all updates"));
    } else {
        menus.retitle(kFileMenu, kDownloadAll, kInstallAll);
        menus.retitle(kFileMenu, kDownloadNamed, kInstallNamed);
        view.setUpdateButtonTitle(QStringLiteral("Install all updates"));
    }
}

void ViewController::viewDidAppear() {
    view.setWindowTitle(mainWindowTitle(state.noInstallSWU, services.system.osVersion().text));
    view.setSpinnerHidden(true);
    view.setUpdateButtonHidden(true);
    runChecks();
    state.firstRun = false;
    setText(Field::tccVersionText, state.checkXPRem ? QStringLiteral("Checking XPR scans…")
                                                    : QStringLiteral("XPR scans not checked."));
}

void ViewController::runChecks() {
    // One run at a time: a second would interleave its lines with the first's.
    if (runInProgress_)
        return;
    beginAsync(); // the run itself, until every step has been started
    setRunInProgress(true);
    setReport(QString());
    state.xprotIsUpd = false;
    state.xpremIsUpd = false;
    state.mrtIsUpd = false;
    state.tccIsUpd = false;
    state.kextIsUpd = false;
    state.runDate = services.system.now();
    records = RunRecords();
    view.setReferenceAge(ReferenceAge());
    view.setLastCheckTime(*state.runDate);
    for (const Field field : {Field::sipStatusText, Field::xprotStatusText, Field::filevStatusText})
        setText(field, QStringLiteral("Checking…"));
    // The update button is for updates this run has found.
    view.setUpdateButtonHidden(true);

    auto run = std::make_shared<RunSequence>(kRunSlots);
    // Steps that need nothing from the others start at once.
    checkSecurityDataVersions(run);
    const bool summarise = state.firstRun && state.checkXPRem;
    const bool checkUpdates = !state.noCheckSWU;
    if (checkUpdates)
        checkForUpdates(run);
    if (summarise)
        startXPRScanSummary(run);
    run->fill(kNotesSlot, [this, checkUpdates, summarise] {
        if (!checkUpdates)
            checkForUpdates();
        if (!summarise) {
            appendReport(QStringLiteral("XProtect Remediator scans not checked.\n"));
            records.record(QStringLiteral("xprScans"),
                           CheckRecord::unknown(QStringLiteral("not checked"), {}, false));
        }
    });
    run->fill(kMacosSlot, [this] {
        appendReport(QStringLiteral("macOS ") + services.system.osVersion().text + QLatin1Char('\n'));
    });
    listInstallHistory(run, kHistorySlot);

    // The firmware and the protections depend on what the hardware is.
    auto judgeHardware = [this, run] {
        checkFirmware(run);
        checkSecurityStatus(run);
    };
    if (hardware.identified)
        judgeHardware();
    else
        identifyHardware(judgeHardware);
    endAsync();
}

void ViewController::checkButtonAct() {
    runChecks();
}

bool ViewController::windowShouldClose() {
    view.requestQuit();
    return true;
}

} // namespace lq
