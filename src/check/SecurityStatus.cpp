// The verdicts on SIP, SSV, the Apple-silicon boot policy, XProtect assessments and FileVault.
#include "check/SecurityStatusRules.h"
#include "check/ViewController.h"

#include <memory>

namespace lq {

namespace {

// What the status tools printed; each is run once, all at the same time.
struct StatusOutputs {
    QString sip;
    QString ssv;
    QString spctl;
    QString fdesetup;
};

} // namespace

void ViewController::checkSecurityStatus(std::shared_ptr<RunSequence> run) {
    int slot = kStatusSlot;
    std::function<void()> handOver;
    if (!run) {
        // On its own the step hands on as a check run does: to the update check, then the scans.
        run = std::make_shared<RunSequence>(1);
        slot = 0;
        const bool summarise = firstRun && checkXPRem;
        handOver = [this, summarise] {
            checkForUpdates();
            // The scan summary reads a day of the unified log; once per launch is enough.
            if (summarise)
                startXPRScanSummary();
            else
                appendReport(QStringLiteral("XProtect Remediator scans not checked.\n"));
        };
    }

    // Taken now: the facts of this run, whatever changes while its tools run.
    const bool arm = hasARM;
    const QString chipReport = theARMData;
    // A version that could not be read is judged by the newest system's rules: judging SIP alone
    // would never mention a signed system volume that is off.
    const bool withSsv = !osVersionKnown || osHasSignedSystemVolume(osVersion);
    auto outputs = std::make_shared<StatusOutputs>();

    // Collected and written to the report once, after the last tool has answered.
    auto publish = [this, run, slot, arm, chipReport, withSsv, outputs, handOver] {
        run->fill(slot, [this, arm, chipReport, withSsv, outputs, handOver] {
            QString block;
            if (arm) {
                // Apple silicon shows its boot policy in the chip report read when the window loaded.
                const PlatformSecurity policy = platformSecurity(chipReport);
                block += policy.block;
                if (policy.statusText)
                    setText(Field::sipStatusText, *policy.statusText);
            } else {
                const SecurityVerdict sip =
                    withSsv ? sipAndSsvVerdict(outputs->sip, outputs->ssv) : sipVerdict(outputs->sip);
                setText(Field::sipStatusText, sip.statusText);
                block += sip.block;
            }
            const SecurityVerdict xprotect = xprotectVerdict(outputs->spctl);
            setText(Field::xprotStatusText, xprotect.statusText);
            block += xprotect.block;
            const SecurityVerdict fileVault = fileVaultVerdict(outputs->fdesetup);
            setText(Field::filevStatusText, fileVault.statusText);
            block += fileVault.block;
            appendReport(block);
            if (handOver)
                handOver();
        });
    };

    struct Tool {
        QString name;
        QString path;
        QStringList args;
        QString StatusOutputs::*output;
    };
    std::vector<Tool> tools;
    if (!arm) {
        tools.push_back({QStringLiteral("csrutil status"), theSIPCmd, theSIPPar, &StatusOutputs::sip});
        if (withSsv)
            tools.push_back(
                {QStringLiteral("csrutil authenticated-root"), theSIPCmd, theSSVPar, &StatusOutputs::ssv});
    }
    tools.push_back({QStringLiteral("spctl"), theXProtCmd, theXProtPar, &StatusOutputs::spctl});
    tools.push_back({QStringLiteral("fdesetup"), theFVaultCmd, theFVaultPar, &StatusOutputs::fdesetup});

    auto remaining = std::make_shared<std::size_t>(tools.size());
    for (const Tool& tool : tools) {
        inBackground<QString>(
            tool.name,
            [&runner = services.tools, path = tool.path, args = tool.args] {
                return runTool(runner, path, args);
            },
            [outputs, member = tool.output, remaining, publish](const QString& output) {
                (*outputs).*member = output;
                if (--*remaining == 0)
                    publish();
            });
    }
}

} // namespace lq
