// The main window's controller: everything a check run needs and leaves behind, and the actions of
// the window and its menus. It talks to its window only through MainView and MenuBarModel.
#pragma once

#include "check/MainView.h"
#include "check/MenuBarModel.h"
#include "check/RunSequence.h"
#include "platform/Services.h"
#include "platform/WorkQueue.h"
#include "updates/OutputPair.h"

#include <QDateTime>
#include <QObject>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

namespace lq {

class ViewController : public QObject {
    Q_OBJECT

public:
    // Background work runs on `queue` when one is given (tests hold work there), else on a pool of
    // the controller's own.
    ViewController(Services services, MainView& view, MenuBarModel& menus, QString referenceBaseUrl,
                   WorkQueue* queue = nullptr);
    ~ViewController() override;

    // Constant paths, tool invocations and names.
    const QString theXProtCatPath =
        QStringLiteral("/Library/Apple/System/Library/CoreServices/XProtect.bundle");
    // Where XProtect reads its rules from on macOS 15 and later.
    const QString theXProtProtectedPath = QStringLiteral("/private/var/protected/xprotect/XProtect.bundle");
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

    // Every tool of a check run, the update runs and the file reads run here, off the main thread.
    WorkQueue& processingQueue() { return *queue_; }
    // Whether the hardware has been identified: once per window, by its first check run.
    bool hardwareIdentified = false;

    // Window life and the check run.
    void viewDidLoad();
    void viewDidAppear();
    void runChecks();
    void checkButtonAct();
    bool windowShouldClose();

    // The pieces of a check run's own part of the report, in report order.
    enum RunSlot { kFirmwareSlot, kStatusSlot, kNotesSlot, kMacosSlot, kHistorySlot, kRunSlots };

    // Tools and the report. A tool's standard output, or " error <status>" when it failed; the static
    // form may run on any thread.
    QString runTool(const QString& path, const QStringList& args);
    static QString runTool(ToolRunner& tools, const QString& path, const QStringList& args);
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

    // Hardware identification: the chip and displays reports, read off the main thread; `then` runs
    // on the main thread once the facts are in.
    void identifyHardware(std::function<void()> then = {});
    void applyHardwareReports(const QString& chipReport, const QString& displaysReport);
    QString readModelIdentifier() const;
    QString readBootROMVersion() const;
    QString readSystemFirmwareVersion();
    QString readDisplayFirmwareVersions(const QString& displayReport);

    // The steps of a check run. Each puts its part of the report into the run's sequence (a step
    // called on its own gets a sequence of its own, so its results are applied as they arrive).
    void checkFirmware(std::shared_ptr<RunSequence> run = nullptr);
    void checkSecurityDataVersions(std::shared_ptr<RunSequence> run = nullptr);
    void checkSecurityStatus(std::shared_ptr<RunSequence> run = nullptr);
    void startXPRScanSummary(std::shared_ptr<RunSequence> run = nullptr);
    void checkForUpdates(std::shared_ptr<RunSequence> run = nullptr);
    void listInstallHistory(std::shared_ptr<RunSequence> run = nullptr, int slot = 0);
    QString installedBundleVersion(const QString& bundlePath);
    // Whether a check run is under way; the Check button is disabled meanwhile.
    bool runInProgress() const { return runInProgress_; }

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
    // Runs `work` off the main thread as one piece of pending work, then `apply` with its result on
    // the main thread.
    template <typename Result>
    void inBackground(const QString& name, std::function<Result()> work, std::function<void(Result)> apply) {
        beginAsync();
        processingQueue().start(name, [this, work = std::move(work), apply = std::move(apply)] {
            Result result = work();
            postToMain([this, result = std::move(result), apply] {
                apply(result);
                endAsync();
            });
        });
    }

    Services services;
    MainView& view;
    MenuBarModel& menus;
    const QString referenceBaseUrl;

    void setText(Field field, const QString& text) { view.setFieldText(field, text); }

Q_SIGNALS:
    // Every asynchronous result has arrived.
    void asyncIdle();

private:
    void setRunInProgress(bool inProgress);

    std::unique_ptr<ThreadPoolQueue> ownQueue_;
    WorkQueue* queue_ = nullptr;
    int pendingWork_ = 0;
    bool runInProgress_ = false;
};

} // namespace lq
