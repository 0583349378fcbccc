// Starting each step of a check run and putting its result into the window, in report order.
#include "check/SecurityStatusCheck.h"
#include "check/SecurityStatusRules.h"
#include "check/ViewController.h"
#include "firmware/FirmwareCheck.h"
#include "platform/SettingsKeys.h"
#include "platform/SettingsStore.h"
#include "securitydata/SecurityDataCheck.h"
#include "securitydata/SecurityDataRules.h"
#include "securitydata/XPRScanSummary.h"
#include "updates/InstallHistory.h"
#include "updates/UpdateCheck.h"

namespace lq {

void ViewController::identifyHardware(std::function<void()> then) {
    HardwareIdentification::start(step(), [this, then](const HardwareReports& reports) {
        const DisplayFields display = takeHardwareReports(hardware, reports);
        if (display.change != DisplayFields::Change::Keep) {
            setText(Field::displayStatusText, display.display);
            setText(Field::dfirmwareStatusText, display.firmware);
        }
        if (display.change == DisplayFields::Change::Hide) {
            view.setFieldHidden(Field::displayStatusText, true);
            view.setFieldHidden(Field::dfirmwareStatusText, true);
        }
        if (then)
            then();
    });
}

void ViewController::checkFirmware(std::shared_ptr<RunSequence> run) {
    if (!run)
        run = std::make_shared<RunSequence>(1);
    const FirmwareInputs inputs{hardware.hasARM, readModelIdentifier(services.ioRegistry),
                                hardware.hasARM ? QString() : readBootROMVersion(services.ioRegistry),
                                referenceBaseUrl};
    const FirmwarePlan plan = planFirmwareCheck(inputs);
    if (plan.listUrl) {
        FirmwareCheck::start(step(), inputs, *plan.listUrl, [this, run](const FirmwareResult& result) {
            if (result.empty())
                return;
            run->deliver([this, result] {
                for (const QString& alert : result.alerts)
                    showErrorAlert(alert);
                appendReport(result.lines);
                if (result.status)
                    setText(Field::efiVersionText, *result.status);
            });
        });
    }
    // The firmware lines come first in a run.
    run->fill(kFirmwareSlot, [this, plan] {
        if (!plan.lines.isEmpty())
            appendReport(plan.lines);
        if (plan.efiText)
            setText(Field::efiVersionText, *plan.efiText);
        setText(Field::macTypeText, plan.modelText);
    });
}

void ViewController::checkSecurityDataVersions(std::shared_ptr<RunSequence> run) {
    if (!run)
        run = std::make_shared<RunSequence>(0);
    const SecurityDataInputs inputs{state.osVersion, state.firstRun, referenceBaseUrl};
    SecurityDataCheck::start(step(), inputs, [this, run](const SecurityDataResult& result) {
        if (result.empty())
            return;
        run->deliver([this, result] {
            for (const QString& alert : result.alerts)
                showErrorAlert(alert);
            QString lines = result.lines;
            SecurityDataFields fields = result.fields.value_or(SecurityDataFields());
            // Judged now: a check run's results are applied once its hardware has been identified.
            if (result.publishedDisplayFirmware && hardware.hasStudioDisplay) {
                const ItemVerdict verdict = compareDisplayFirmware(hardware.theDisplayFirmwareVersions,
                                                                   hardware.theDisplayFirmwareBuild,
                                                                   *result.publishedDisplayFirmware);
                fields.display = verdict.statusText;
                lines += verdict.reportLine;
            }
            appendReport(lines);
            if (!result.fields)
                return;
            // The marks are read now too: the install history of the same run has raised them by then.
            setText(Field::xprotVersionText, withRecentMark(fields.xprotect, state.xprotIsUpd));
            setText(Field::mrtVersionText, withRecentMark(fields.xpr, state.xpremIsUpd));
            setText(Field::kextVersionText, withRecentMark(fields.tcc, state.tccIsUpd));
            setText(Field::gatekeepVersionText, withRecentMark(fields.kext, state.kextIsUpd));
            setText(Field::dfirmwareStatusText, fields.display);
        });
    });
}

void ViewController::checkSecurityStatus(std::shared_ptr<RunSequence> run) {
    int slot = kStatusSlot;
    std::function<void()> handOver;
    if (!run) {
        // On its own the step hands on as a check run does: to the update check, then the scans.
        run = std::make_shared<RunSequence>(1);
        slot = 0;
        const bool summarise = state.firstRun && state.checkXPRem;
        handOver = [this, summarise] {
            checkForUpdates();
            // The scan summary reads a day of the unified log; once per launch is enough.
            if (summarise)
                startXPRScanSummary();
            else
                appendReport(QStringLiteral("XProtect Remediator scans not checked.\n"));
        };
    }
    // A version that could not be read is judged by the newest system's rules: judging SIP alone
    // would never mention a signed system volume that is off.
    const SecurityStatusInputs inputs{hardware.hasARM, hardware.theARMData,
                                      !state.osVersionKnown || osHasSignedSystemVolume(state.osVersion)};
    SecurityStatusCheck::start(step(), inputs,
                               [this, run, slot, handOver](const SecurityStatusResult& result) {
                                   run->fill(slot, [this, result, handOver] {
                                       if (result.sipText)
                                           setText(Field::sipStatusText, *result.sipText);
                                       setText(Field::xprotStatusText, result.xprotText);
                                       setText(Field::filevStatusText, result.filevText);
                                       appendReport(result.block);
                                       if (handOver)
                                           handOver();
                                   });
                               });
}

void ViewController::startXPRScanSummary(std::shared_ptr<RunSequence> run) {
    if (!run)
        run = std::make_shared<RunSequence>(0);
    XPRScanSummary::start(step(), [this, run](const ScanResult& result) {
        run->deliver([this, result] {
            const ScanSummaryText text = scanSummaryText(result);
            setText(Field::tccVersionText, text.field);
            appendReport(text.line);
        });
    });
}

void ViewController::checkForUpdates(std::shared_ptr<RunSequence> run) {
    if (!run)
        run = std::make_shared<RunSequence>(0);
    if (state.noCheckSWU) {
        setText(Field::updateStatusText, QStringLiteral("❌ updates not checked."));
        appendReport(QStringLiteral("❌ updates not checked.\n"));
        view.setUpdateButtonHidden(true);
        return;
    }
    setText(Field::updateStatusText, QStringLiteral("Checking for updates…"));
    view.setSpinnerHidden(false);
    view.setSpinnerAnimating(true);
    UpdateCheck::start(step(), state.osVersion, [this, run](const UpdateListing& result) {
        run->deliver([this, result] { showUpdateCheckResult(result.listing, result.caching); });
    });
}

void ViewController::showUpdateCheckResult(const OutputPair& listing, const OutputPair& caching) {
    const UpdateCheckText text = updateCheckText(listing, caching);
    setText(Field::updateStatusText, text.field);
    appendReport(text.report);
    // The single-install setting is read now, not at launch: the settings window may have changed it
    // while the listing ran.
    view.setUpdateButtonHidden(!text.updatesFound || services.settings.boolValue(keys::singleInstall));
    view.setSpinnerAnimating(false);
    view.setSpinnerHidden(true);
}

void ViewController::listInstallHistory(std::shared_ptr<RunSequence> run, int slot) {
    if (!run) {
        run = std::make_shared<RunSequence>(1);
        slot = 0;
    }
    InstallHistory::start(step(), state.runDate, [this, run, slot](const InstallHistoryListing& listing) {
        run->fill(slot, [this, listing] {
            if (!listing.error.isEmpty()) {
                showErrorAlert(listing.error);
                return;
            }
            if (listing.empty)
                return;
            appendReport(QStringLiteral("Latest updates installed:\n"));
            // Flags are only ever raised here: after an update run they keep what the check run found.
            auto raise = [&listing](bool& flag, ReceiptKind kind) {
                flag = flag || listing.lines.recent[static_cast<std::size_t>(kind)];
            };
            raise(state.xprotIsUpd, ReceiptKind::XProtectData);
            raise(state.xpremIsUpd, ReceiptKind::XProtectRemediator);
            raise(state.mrtIsUpd, ReceiptKind::MalwareRemoval);
            raise(state.tccIsUpd, ReceiptKind::Tcc);
            raise(state.kextIsUpd, ReceiptKind::KextExcludeList);
            appendReport(listing.lines.text);
        });
    });
}

} // namespace lq
