// The life of the main window and the order of a check run.
#include "check/ReportText.h"
#include "check/SettingsKeys.h"
#include "check/ViewController.h"
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
    osVersion = osVersionCode(version.major, version.minor);
    osVersionKnown = version.known();

    theFontSize = fontSizeFromSetting(services.settings.doubleValue(keys::fontSize));
    noCheckSWU = services.settings.boolValue(keys::noCheckSWU);
    noInstallSWU = services.settings.boolValue(keys::noInstallSWU);
    checkXPRem = !services.settings.boolValue(keys::noCheckXPRem);

    if (!menus.findMenu(kFileMenu))
        return;
    if (noInstallSWU) {
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
    view.setWindowTitle(mainWindowTitle(noInstallSWU, services.system.osVersion().text));
    view.setSpinnerHidden(true);
    view.setUpdateButtonHidden(true);
    runChecks();
    firstRun = false;
    setText(Field::tccVersionText,
            checkXPRem ? QStringLiteral("Checking XPR scans…") : QStringLiteral("XPR scans not checked."));
}

void ViewController::runChecks() {
    // One run at a time: a second would interleave its lines with the first's.
    if (runInProgress_)
        return;
    beginAsync(); // the run itself, until every step has been started
    setRunInProgress(true);
    setReport(QString());
    xprotIsUpd = false;
    xpremIsUpd = false;
    mrtIsUpd = false;
    tccIsUpd = false;
    kextIsUpd = false;
    runDate = services.system.now();
    view.setLastCheckTime(*runDate);
    for (const Field field : {Field::sipStatusText, Field::xprotStatusText, Field::filevStatusText})
        setText(field, QStringLiteral("Checking…"));
    // The update button is for updates this run has found.
    view.setUpdateButtonHidden(true);

    auto run = std::make_shared<RunSequence>(kRunSlots);
    // Steps that need nothing from the others start at once.
    checkSecurityDataVersions(run);
    const bool summarise = firstRun && checkXPRem;
    const bool checkUpdates = !noCheckSWU;
    if (checkUpdates)
        checkForUpdates(run);
    if (summarise)
        startXPRScanSummary(run);
    run->fill(kNotesSlot, [this, checkUpdates, summarise] {
        if (!checkUpdates)
            checkForUpdates();
        if (!summarise)
            appendReport(QStringLiteral("XProtect Remediator scans not checked.\n"));
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
    if (hardwareIdentified)
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
