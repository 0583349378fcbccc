// The verdicts on SIP, SSV, the Apple-silicon boot policy, XProtect assessments and FileVault.
#include "check/SecurityStatusCheck.h"

#include "check/SecurityStatusRules.h"
#include "platform/ToolOutput.h"

#include <memory>
#include <vector>

namespace lq {

namespace {

// What the status tools printed; each is run once, all at the same time.
struct StatusOutputs {
    QString sip;
    QString ssv;
    QString spctl;
    QString fdesetup;
};

// How the tool output reads when the tool failed (see toolOutputText).
bool toolFailed(const QString& output) {
    return output.startsWith(QLatin1String(" error "));
}

// A tool's verdict: unknown when the tool failed, else on or off.
CheckRecord toolRecord(const QString& output, bool on, const QString& text) {
    if (toolFailed(output))
        return CheckRecord::unknown(QStringLiteral("tool failed"), text);
    return CheckRecord::judged(on ? CheckState::Pass : CheckState::Fail, text);
}

// SIP or the signed system volume as the boot policy states it. A relaxed setting fails, as it does
// on an Intel Mac: it is the same protection switched off.
CheckRecord policySettingRecord(const QString& chipReport, const QString& setting, const QString& text) {
    switch (policySetting(chipReport, setting)) {
    case PolicyLine::Good:
        return CheckRecord::judged(CheckState::Pass, text);
    case PolicyLine::Warning:
        return CheckRecord::judged(CheckState::Fail, text);
    case PolicyLine::Plain:
    case PolicyLine::Skipped:
        break;
    }
    return CheckRecord::unknown(QStringLiteral("not in the boot policy"), text);
}

SecurityStatusResult judge(const SecurityStatusInputs& inputs, const StatusOutputs& outputs) {
    SecurityStatusResult result;
    auto& records = result.records;
    if (inputs.appleSilicon) {
        const PlatformSecurity policy = platformSecurity(inputs.chipReport);
        result.block += policy.block;
        result.sipText = policy.statusText;
        const QString text = policy.statusText.value_or(QString());
        records.emplace_back(
            QStringLiteral("sip"),
            policySettingRecord(inputs.chipReport, QStringLiteral("System Integrity Protection"), text));
        records.emplace_back(
            QStringLiteral("ssv"),
            policySettingRecord(inputs.chipReport, QStringLiteral("Signed System Volume"), text));
        if (policy.judged == 0)
            records.emplace_back(QStringLiteral("bootPolicy"),
                                 CheckRecord::unknown(QStringLiteral("boot policy not readable"), text));
        else
            records.emplace_back(
                QStringLiteral("bootPolicy"),
                CheckRecord::judged(policy.allFull ? CheckState::Pass : CheckState::Warning, text));
    } else {
        const SecurityVerdict sip =
            inputs.withSsv ? sipAndSsvVerdict(outputs.sip, outputs.ssv) : sipVerdict(outputs.sip);
        result.sipText = sip.statusText;
        result.block += sip.block;
        records.emplace_back(QStringLiteral("sip"),
                             toolRecord(outputs.sip, sipIsOn(outputs.sip), sip.statusText));
        records.emplace_back(QStringLiteral("ssv"),
                             inputs.withSsv
                                 ? toolRecord(outputs.ssv, ssvIsOn(outputs.ssv), sip.statusText)
                                 : CheckRecord::notApplicable(QStringLiteral("not on this macOS version")));
        records.emplace_back(QStringLiteral("bootPolicy"),
                             CheckRecord::notApplicable(QStringLiteral("not on Apple silicon")));
    }
    const SecurityVerdict xprotect = xprotectVerdict(outputs.spctl);
    result.xprotText = xprotect.statusText;
    result.block += xprotect.block;
    records.emplace_back(QStringLiteral("gatekeeper"),
                         toolRecord(outputs.spctl, stateOfMarkedText(xprotect.statusText) == CheckState::Pass,
                                    xprotect.statusText));
    const SecurityVerdict fileVault = fileVaultVerdict(outputs.fdesetup);
    result.filevText = fileVault.statusText;
    result.block += fileVault.block;
    CheckRecord fileVaultRecord = toolRecord(outputs.fdesetup, true, fileVault.statusText);
    // FileVault off is the window's warning, not a failure.
    if (fileVaultRecord.state == CheckState::Pass)
        fileVaultRecord.state = stateOfMarkedText(fileVault.statusText).value_or(CheckState::Unknown);
    records.emplace_back(QStringLiteral("fileVault"), fileVaultRecord);
    return result;
}

} // namespace

void SecurityStatusCheck::start(const StepServices& step, const SecurityStatusInputs& inputs,
                                std::function<void(const SecurityStatusResult&)> done) {
    struct Tool {
        QString name;
        QString path;
        QStringList args;
        QString StatusOutputs::*output;
    };
    std::vector<Tool> tools;
    if (!inputs.appleSilicon) {
        tools.push_back({QStringLiteral("csrutil status"), theSIPCmd, theSIPPar, &StatusOutputs::sip});
        if (inputs.withSsv)
            tools.push_back(
                {QStringLiteral("csrutil authenticated-root"), theSIPCmd, theSSVPar, &StatusOutputs::ssv});
    }
    tools.push_back({QStringLiteral("spctl"), theXProtCmd, theXProtPar, &StatusOutputs::spctl});
    tools.push_back({QStringLiteral("fdesetup"), theFVaultCmd, theFVaultPar, &StatusOutputs::fdesetup});

    struct State {
        StatusOutputs outputs;
        std::size_t remaining = 0;
    };
    auto state = std::make_shared<State>();
    state->remaining = tools.size();
    for (const Tool& tool : tools) {
        step.background.run<QString>(
            tool.name,
            [&runner = step.services.tools, path = tool.path, args = tool.args] {
                return toolOutputText(runner, path, args);
            },
            [state, member = tool.output, inputs, done](const QString& output) {
                state->outputs.*member = output;
                if (--state->remaining == 0)
                    done(judge(inputs, state->outputs));
            });
    }
}

} // namespace lq
