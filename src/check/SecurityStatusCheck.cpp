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

SecurityStatusResult judge(const SecurityStatusInputs& inputs, const StatusOutputs& outputs) {
    SecurityStatusResult result;
    if (inputs.appleSilicon) {
        const PlatformSecurity policy = platformSecurity(inputs.chipReport);
        result.block += policy.block;
        result.sipText = policy.statusText;
    } else {
        const SecurityVerdict sip =
            inputs.withSsv ? sipAndSsvVerdict(outputs.sip, outputs.ssv) : sipVerdict(outputs.sip);
        result.sipText = sip.statusText;
        result.block += sip.block;
    }
    const SecurityVerdict xprotect = xprotectVerdict(outputs.spctl);
    result.xprotText = xprotect.statusText;
    result.block += xprotect.block;
    const SecurityVerdict fileVault = fileVaultVerdict(outputs.fdesetup);
    result.filevText = fileVault.statusText;
    result.block += fileVault.block;
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
