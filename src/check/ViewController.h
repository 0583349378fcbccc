// The main window's controller: it owns the run state, the hardware facts and the window, starts the
// steps of a check run and puts their results into the window in report order. The steps themselves
// (identification, firmware, security data, security status, update check, scan summary, install
// history, update runs) live in their own folders and know nothing of this class.
#pragma once

#include "check/CheckRecords.h"
#include "check/MainView.h"
#include "check/MenuBarModel.h"
#include "check/RunSequence.h"
#include "check/RunState.h"
#include "firmware/HardwareIdentification.h"
#include "platform/Background.h"
#include "platform/Services.h"
#include "platform/WorkQueue.h"
#include "securitydata/SecurityDataCheck.h"
#include "updates/OutputPair.h"

#include <QObject>

#include <functional>
#include <memory>

namespace lq {

class ViewController : public QObject {
    Q_OBJECT

public:
    // Background work runs on `queue` when one is given (tests hold work there), else on a pool of
    // the controller's own.
    ViewController(Services services, MainView& view, MenuBarModel& menus, QString referenceBaseUrl,
                   WorkQueue* queue = nullptr);
    ~ViewController() override;

    RunState state;
    HardwareFacts hardware;
    // The typed verdicts and list outcomes of the latest check run, for scripts (the JSON report).
    RunRecords records;
    Services services;
    MainView& view;
    MenuBarModel& menus;
    const QString referenceBaseUrl;

    // Window life and the check run.
    void viewDidLoad();
    void viewDidAppear();
    void runChecks();
    void checkButtonAct();
    bool windowShouldClose();
    // Whether a check run is under way; the Check button is disabled meanwhile.
    bool runInProgress() const { return runInProgress_; }

    // The pieces of a check run's own part of the report, in report order.
    enum RunSlot { kFirmwareSlot, kStatusSlot, kNotesSlot, kMacosSlot, kHistorySlot, kRunSlots };

    // Each starts one step and puts its result into the run's sequence (a step started on its own
    // gets a sequence of its own, so its result is applied as it arrives).
    void identifyHardware(std::function<void()> then = {});
    void checkFirmware(std::shared_ptr<RunSequence> run = nullptr);
    void checkSecurityDataVersions(std::shared_ptr<RunSequence> run = nullptr);
    void checkSecurityStatus(std::shared_ptr<RunSequence> run = nullptr);
    void startXPRScanSummary(std::shared_ptr<RunSequence> run = nullptr);
    void checkForUpdates(std::shared_ptr<RunSequence> run = nullptr);
    void listInstallHistory(std::shared_ptr<RunSequence> run = nullptr, int slot = 0);
    void showUpdateCheckResult(const OutputPair& listing, const OutputPair& caching);

    // The report.
    void showErrorAlert(const QString& text);
    void setReport(const QString& text);
    void appendReport(const QString& text);
    void incFontSize();
    void decFontSize();
    void restyleReport(); // draws the report again at the current font size
    void exportText();
    // The report as exporting writes it: the text, then the footer line once a check run has a date.
    QString exportedReport() const;

    // Update runs and the application menu's toggles.
    void installAllUpdatesButton();
    void installAllUpdates();
    void doNoInstallMenuItem();
    void doCheckMenuItem();
    void activeConCaching();
    void deactiveConCaching();

    // Every tool of a check run, the update runs and the file reads run here, off the main thread.
    WorkQueue& processingQueue() { return *queue_; }
    // Work started and not yet applied (tools, fetches). The headless report waits until it is zero.
    int pendingWork() const { return pendingWork_; }

Q_SIGNALS:
    // Every asynchronous result has arrived.
    void asyncIdle();

private:
    StepServices step() const { return {services, background_}; }
    void beginAsync();
    void endAsync();
    void setRunInProgress(bool inProgress);
    void setText(Field field, const QString& text) { view.setFieldText(field, text); }
    void finishUpdateRun(const OutputPair& result);
    void recordList(ListRecord list);
    void recordSecurityData(const SecurityDataResult& result, const SecurityDataFields& fields);
    void runConCachingScript(const QString& name, const QString& script);

    std::unique_ptr<ThreadPoolQueue> ownQueue_;
    WorkQueue* queue_ = nullptr;
    Background background_;
    int pendingWork_ = 0;
    bool runInProgress_ = false;
};

} // namespace lq
