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
    identifyHardware();

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
    setReport(QString());
    xprotIsUpd = false;
    xpremIsUpd = false;
    mrtIsUpd = false;
    tccIsUpd = false;
    kextIsUpd = false;
    checkFirmware();
    checkSecurityDataVersions();
    checkSecurityStatus();
    runDate = services.system.now();
    appendReport(QStringLiteral("macOS ") + services.system.osVersion().text + QLatin1Char('\n'));
    listInstallHistory();
}

void ViewController::checkButtonAct() {
    runChecks();
}

bool ViewController::windowShouldClose() {
    view.requestQuit();
    return true;
}

} // namespace lq
