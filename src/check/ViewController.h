// The main window's controller: everything a check run needs and leaves behind, and the actions of
// the window and its menus. It talks to its window only through MainView and MenuBarModel.
#pragma once

#include "check/MainView.h"
#include "check/MenuBarModel.h"
#include "platform/Services.h"
#include "updates/OutputPair.h"

#include <QDateTime>
#include <QObject>
#include <QStringList>
#include <QThreadPool>

#include <functional>
#include <optional>

namespace lq {

class ViewController : public QObject {
    Q_OBJECT

public:
    ViewController(Services services, MainView& view, MenuBarModel& menus, QString referenceBaseUrl);
    ~ViewController() override;

    // Constant paths, tool invocations and names.
    const QString theXProtCatPath =
        QStringLiteral("/Library/Apple/System/Library/CoreServices/XProtect.bundle");
    const QString theXPremCatPath = QStringLiteral("/Library/Apple/System/Library/CoreServices/XProtect.app");
    const QString theKextCatPath =
        QStringLiteral("/Library/Apple/System/Library/Extensions/AppleKextExcludeList.kext");
    const QString theMRTCatPath = QStringLiteral("/Library/Apple/System/Library/CoreServices/MRT.app");
    const QString theTCCCatPath = QStringLiteral("/Library/Apple/Library/Bundles/TCC_Compatibility.bundle");
    const QString theSIPCmd = QStringLiteral("/usr/bin/csrutil");
    const QStringList theSIPPar = {QStringLiteral("status")};
    const QStringList theSSVPar = {QStringLiteral("authenticated-root"), QStringLiteral("status")};
    const QString theXProtCmd = QStringLiteral("/usr/sbin/spctl");
    const QStringList theXProtPar = {QStringLiteral("--status")};
    const QString theFVaultCmd = QStringLiteral("/usr/bin/fdesetup");
    const QStringList theFVaultPar = {QStringLiteral("status")};
    const QString theCSUPath = QStringLiteral("/usr/sbin/softwareupdate");
    const QStringList theCSUCmd = {QStringLiteral("-ia"), QStringLiteral("--include-config-data")};
    const QStringList theCSUDownloadCmd = {QStringLiteral("-da"), QStringLiteral("--include-config-data")};
    const QStringList theCSUListCmd = {QStringLiteral("-l"), QStringLiteral("--include-config-data")};
    const QStringList theCSUListECCmd = {QStringLiteral("-l")};
    const QString theEFI1Cmd = QStringLiteral("/usr/sbin/system_profiler");
    const QStringList theEFI0Par = {QStringLiteral("SPiBridgeDataType")};
    const QStringList theEFI1Par = {QStringLiteral("SPHardwareDataType")};
    const QStringList theEFI2Par = {QStringLiteral("SPDisplaysDataType")};
    const QString theCheckConCacheCmd = QStringLiteral("/usr/bin/AssetCacheManagerUtil");
    const QStringList theCheckConCachePar = {QStringLiteral("isActivated")};
    const QString theDefaultCmdPath = QStringLiteral("/usr/bin/defaults");
    const QStringList theDefaultsCmd = {QStringLiteral("read")};
    const QString theDefaultsCmdTail = QStringLiteral("CFBundleShortVersionString");
    const QString theDefaultsPathTail = QStringLiteral("/Contents/Info.plist");
    const QString receiptsPath = QStringLiteral("/Library/Receipts/InstallHistory.plist");
    const QString mrtString = QStringLiteral("MRTConfigData");
    const QString xpcString = QStringLiteral("XProtectPlistConfigData");
    const QString xprString = QStringLiteral("XProtectPayloads");
    const QString ikeString = QStringLiteral("Incompatible Kernel Extension Configuration Data");
    const QString tccString = QStringLiteral("TCC Configuration Data");

    // State of the current run of the application.
    std::optional<QDateTime> runDate;
    double theFontSize = 12.0;
    bool xprotIsUpd = false;
    bool xpremIsUpd = false;
    bool mrtIsUpd = false;
    bool tccIsUpd = false;
    bool kextIsUpd = false;
    bool firstRun = true;
    bool checkXPRem = true;
    bool noCheckSWU = false;
    bool noInstallSWU = false;
    bool hasARM = false;
    bool hasStudioDisplay = false;
    QString theARMData;
    QString theDisplayData;
    int osVersion = 15;
    bool osVersionKnown = true; // false when the system's version could not be read at load
    QStringList theDisplayFirmwareVersions;
    QString theDisplayFirmwareBuild = QStringLiteral("unknown)");

    // Runs the update listing, the download and install runs and the scan summary off the main thread.
    QThreadPool processingQueue;

    // Window life and the check run.
    void viewDidLoad();
    void viewDidAppear();
    void runChecks();
    void checkButtonAct();
    bool windowShouldClose();

    // Tools and the report.
    QString runTool(const QString& path, const QStringList& args);
    QString runAppleScript(const QString& source);
    void showErrorAlert(const QString& text);
    void setReport(const QString& text);
    void appendReport(const QString& text);
    void restyleReport();
    void incFontSize();
    void decFontSize();
    void exportText();
    // The report as exporting writes it: the text, then the footer line once a check run has a date.
    QString exportedReport() const;

    // Hardware identification.
    void identifyHardware();
    QString readModelIdentifier() const;
    QString readBootROMVersion() const;
    QString readSystemFirmwareVersion();
    QString readDisplayFirmwareVersions(const QString& displayReport);

    // The steps of a check run.
    void checkFirmware();
    void checkSecurityDataVersions();
    void checkSecurityStatus();
    void startXPRScanSummary();
    void checkForUpdates();
    void listInstallHistory();
    QString installedBundleVersion(const QString& bundlePath);

    // Update check and update actions.
    void showUpdateCheckResult(const OutputPair& listing, const OutputPair& caching);
    void installAllUpdatesButton();
    void installAllUpdates();
    void finishUpdateRun(const OutputPair& result);
    void doNoInstallMenuItem();
    void doCheckMenuItem();
    void activeConCaching();
    void deactiveConCaching();
    void runConCachingScript(const QString& script);

    // The scan summary's result on the main thread.
    void showXPRScanSummary(qint64 scans, qint64 alerts, qint64 warnings);

    // Asynchronous work of check runs (fetches, queued operations) that has not handed back its result.
    // The headless report waits until it is zero.
    int pendingWork() const { return pendingWork_; }
    void beginAsync();
    void endAsync();
    // Runs `work` on the main thread once the current event has been handled.
    void postToMain(std::function<void()> work);

    Services services;
    MainView& view;
    MenuBarModel& menus;
    const QString referenceBaseUrl;

    void setText(Field field, const QString& text) { view.setFieldText(field, text); }

Q_SIGNALS:
    // Every asynchronous result has arrived.
    void asyncIdle();

private:
    int pendingWork_ = 0;
};

} // namespace lq
