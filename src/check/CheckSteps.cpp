// Starting each step of a check run and putting its result into the window, in report order.
#include "check/SecurityStatusCheck.h"
#include "check/SecurityStatusRules.h"
#include "check/ViewController.h"
#include "firmware/FirmwareCheck.h"
#include "platform/SettingsKeys.h"
#include "platform/SettingsStore.h"
#include "platform/SystemInfo.h"
#include "securitydata/SecurityDataCheck.h"
#include "securitydata/SecurityDataRules.h"
#include "securitydata/XPRScanSummary.h"
#include "updates/InstallHistory.h"
#include "updates/UpdateCheck.h"

namespace lq {

namespace {

// Why a list gave no verdict, for the checks that depend on it; empty when it was read.
QString listFailure(const ListRecord& list) {
    switch (list.outcome) {
    case ListOutcome::Ok:
        return QString();
    case ListOutcome::Pending:
        return QStringLiteral("timed out");
    case ListOutcome::Unparsable:
    case ListOutcome::Empty:
        return QStringLiteral("list unreadable");
    case ListOutcome::TransportError:
    case ListOutcome::HttpError:
    case ListOutcome::WrongContentType:
        break;
    }
    return QStringLiteral("list not fetched");
}

CheckRecord firmwareRecord(const FirmwareResult& result, const QString& text) {
    const QString failure = listFailure(result.list);
    if (!failure.isEmpty())
        return CheckRecord::unknown(failure, text);
    if (const std::optional<CheckState> state = stateOfMarkedText(result.status.value_or(QString())))
        return CheckRecord::judged(*state, text, result.installed, result.expected);
    // A list that was read but holds no version for this model has nothing to judge by.
    CheckRecord record = CheckRecord::unknown(QStringLiteral("no published value"), text, false);
    record.installed = result.installed;
    return record;
}

// The firmware when no list is asked for: the version could not be read, is of the old style, or the
// model belongs to no family that has a list.
CheckRecord plannedFirmwareRecord(const FirmwarePlan& plan) {
    const QString text = plan.efiText.value_or(QString());
    if (plan.efiText == QStringLiteral("⚠️ EFI version unknown"))
        return CheckRecord::unknown(QStringLiteral("firmware version not readable"), text);
    if (const std::optional<CheckState> state = stateOfMarkedText(text))
        return CheckRecord::judged(*state, text);
    return CheckRecord::unknown(QStringLiteral("no published value"), text, false);
}

CheckRecord scanRecord(const ScanResult& result, const QString& text) {
    if (!result.failure.isEmpty() || result.queryFailed)
        return CheckRecord::unknown(QStringLiteral("tool failed"), text);
    const XPRCounts& c = result.counts;
    if (c.alerts > 0)
        return CheckRecord::judged(CheckState::Fail, text);
    return CheckRecord::judged(c.warnings > 0 ? CheckState::Warning : CheckState::Pass, text);
}

} // namespace

void ViewController::recordSecurityData(const SecurityDataResult& result, const SecurityDataFields& fields) {
    // The MRT has no field of its own: its verdict text stands for it.
    const std::pair<const char*, QString> items[] = {
        {"xprotect", fields.xprotect}, {"xprotectRemediator", fields.xpr}, {"mrt", fields.mrt},
        {"tcc", fields.tcc},           {"kextExcludeList", fields.kext},
    };
    QString failure = listFailure(result.list);
    if (failure.isEmpty() && !result.fields)
        failure = QStringLiteral("list not fetched");
    for (const auto& item : items) {
        const QString id = QString::fromLatin1(item.first);
        const std::optional<Field> field = fieldOfCheck(id);
        const QString text = field ? view.fieldText(*field) : item.second;
        if (!failure.isEmpty()) {
            records.record(id, CheckRecord::unknown(failure, result.fields ? text : QString()));
            continue;
        }
        const QString installed = result.versions.at(id).first;
        const QString expected = result.versions.at(id).second;
        if (installed.isEmpty()) {
            records.record(id, CheckRecord::unknown(QStringLiteral("version not readable"), text));
        } else if (expected.isEmpty()) {
            CheckRecord record = CheckRecord::unknown(QStringLiteral("no published value"), text, false);
            record.installed = installed;
            records.record(id, record);
        } else
            records.record(id,
                           CheckRecord::judged(installed == expected ? CheckState::Pass : CheckState::Fail,
                                               text, installed, expected));
    }
    if (!hardware.hasStudioDisplay)
        return;
    const QString displayText = view.fieldText(Field::dfirmwareStatusText);
    const QString displayFailure =
        failure.isEmpty() && !result.publishedDisplayFirmware ? QStringLiteral("list not fetched") : failure;
    if (!displayFailure.isEmpty())
        records.record(QStringLiteral("displayFirmware"), CheckRecord::unknown(displayFailure));
    else if (result.publishedDisplayFirmware->isEmpty())
        records.record(QStringLiteral("displayFirmware"),
                       CheckRecord::unknown(QStringLiteral("no published value"), displayText, false));
    else
        records.record(QStringLiteral("displayFirmware"),
                       CheckRecord::judged(stateOfMarkedText(displayText).value_or(CheckState::Unknown),
                                           displayText,
                                           hardware.theDisplayFirmwareVersions.join(QLatin1Char(',')),
                                           *result.publishedDisplayFirmware));
}

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
        records.recordList(pendingListRecord(*plan.listUrl));
        FirmwareCheck::start(step(), inputs, *plan.listUrl, [this, run](const FirmwareResult& result) {
            recordList(result.list);
            if (result.empty()) {
                records.record(QStringLiteral("firmware"), firmwareRecord(result, QString()));
                return;
            }
            run->deliver([this, result] {
                for (const QString& alert : result.alerts)
                    showErrorAlert(alert);
                appendReport(result.lines);
                if (result.status)
                    setText(Field::efiVersionText, *result.status);
                records.record(QStringLiteral("firmware"),
                               firmwareRecord(result, view.fieldText(Field::efiVersionText)));
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
        if (!plan.listUrl)
            records.record(QStringLiteral("firmware"), plannedFirmwareRecord(plan));
        if (hardware.hasStudioDisplay)
            records.record(QStringLiteral("display"),
                           CheckRecord::judged(CheckState::Pass, view.fieldText(Field::displayStatusText)));
        else
            records.record(QStringLiteral("display"),
                           CheckRecord::notApplicable(QStringLiteral("no Studio Display")));
        records.record(QStringLiteral("displayFirmware"),
                       hardware.hasStudioDisplay
                           ? CheckRecord::unknown(QStringLiteral("list not fetched"))
                           : CheckRecord::notApplicable(QStringLiteral("no Studio Display")));
    });
}

void ViewController::checkSecurityDataVersions(std::shared_ptr<RunSequence> run) {
    if (!run)
        run = std::make_shared<RunSequence>(0);
    const SecurityDataInputs inputs{state.osVersion, state.firstRun, referenceBaseUrl};
    records.recordList(pendingListRecord(referenceBaseUrl + QStringLiteral("sysupdates.plist")));
    SecurityDataCheck::start(step(), inputs, [this, run](const SecurityDataResult& result) {
        recordList(result.list);
        if (result.empty()) {
            recordSecurityData(result, {});
            return;
        }
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
            if (result.fields) {
                // The marks are read now too: the install history of the same run has raised them by then.
                setText(Field::xprotVersionText, withRecentMark(fields.xprotect, state.xprotIsUpd));
                setText(Field::mrtVersionText, withRecentMark(fields.xpr, state.xpremIsUpd));
                setText(Field::kextVersionText, withRecentMark(fields.tcc, state.tccIsUpd));
                setText(Field::gatekeepVersionText, withRecentMark(fields.kext, state.kextIsUpd));
                setText(Field::dfirmwareStatusText, fields.display);
            }
            recordSecurityData(result, fields);
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
            else {
                appendReport(QStringLiteral("XProtect Remediator scans not checked.\n"));
                records.record(QStringLiteral("xprScans"),
                               CheckRecord::unknown(QStringLiteral("not checked"), {}, false));
            }
        };
    }
    // A version that could not be read is judged by the newest system's rules: judging SIP alone
    // would never mention a signed system volume that is off.
    const SecurityStatusInputs inputs{hardware.hasARM, hardware.theARMData,
                                      !state.osVersionKnown || osHasSignedSystemVolume(state.osVersion)};
    SecurityStatusCheck::start(step(), inputs,
                               [this, run, slot, handOver](const SecurityStatusResult& result) {
                                   run->fill(slot, [this, result, handOver] {
                                       for (const auto& [id, record] : result.records)
                                           records.record(id, record);
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
            records.record(QStringLiteral("xprScans"), scanRecord(result, text.field));
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
        records.record(QStringLiteral("updates"),
                       CheckRecord::unknown(QStringLiteral("not checked"),
                                            QStringLiteral("❌ updates not checked."), false));
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
    if (listing.failed())
        records.record(QStringLiteral("updates"),
                       CheckRecord::unknown(QStringLiteral("tool failed"), text.field));
    else
        records.record(
            QStringLiteral("updates"),
            CheckRecord::judged(text.updatesFound ? CheckState::Warning : CheckState::Pass, text.field));
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

void ViewController::recordList(ListRecord list) {
    // The answer's time by the run's clock, so that its age is judged as the run's verdicts are.
    if (list.outcome != ListOutcome::Pending && !list.fetchedAt.isValid())
        list.fetchedAt = services.system.now().toUTC();
    records.recordList(list);
    if (state.runDate)
        view.setReferenceAge(referenceAgeOf(records.lists, *state.runDate));
}

} // namespace lq
