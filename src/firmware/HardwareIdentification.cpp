// What Mac this is: chip, displays and firmware facts.
#include "firmware/HardwareIdentification.h"

#include "firmware/FirmwareTools.h"
#include "firmware/HardwareParsers.h"
#include "platform/IORegistry.h"
#include "platform/ToolOutput.h"

#include <memory>

namespace lq {

void HardwareIdentification::start(const StepServices& step,
                                   std::function<void(const HardwareReports&)> done) {
    // The two reports are independent: both are asked for at once, and handed back when both are in.
    struct Reports {
        HardwareReports reports;
        int remaining = 2;
    };
    auto state = std::make_shared<Reports>();
    auto arrived = [state, done = std::move(done)] {
        if (--state->remaining == 0)
            done(state->reports);
    };
    ToolRunner& tools = step.services.tools;
    step.background.run<QString>(
        QStringLiteral("system_profiler SPiBridgeDataType"),
        [&tools] { return toolOutputText(tools, theEFI1Cmd, theEFI0Par); },
        [state, arrived](const QString& report) {
            state->reports.chip = report;
            arrived();
        });
    step.background.run<QString>(
        QStringLiteral("system_profiler SPDisplaysDataType"),
        [&tools] { return toolOutputText(tools, theEFI1Cmd, theEFI2Par); },
        [state, arrived](const QString& report) {
            state->reports.displays = report;
            arrived();
        });
}

DisplayFields takeHardwareReports(HardwareFacts& facts, const HardwareReports& reports) {
    facts.identified = true;
    facts.theARMData = reports.chip;
    if (isAppleSiliconChipReport(facts.theARMData))
        facts.hasARM = true;

    facts.theDisplayData = reports.displays;
    if (facts.theDisplayData.isEmpty())
        return {};
    if (reportsStudioDisplay(facts.theDisplayData)) {
        facts.hasStudioDisplay = true;
        return {DisplayFields::Change::Show, QStringLiteral("🍏 Apple Studio Display connected"),
                readDisplayFirmwareVersions(facts, facts.theDisplayData)};
    }
    facts.hasStudioDisplay = false;
    return {DisplayFields::Change::Hide, QString(), QString()};
}

QString readDisplayFirmwareVersions(HardwareFacts& facts, const QString& displaysReport) {
    const DisplayFirmwareLines found = parseDisplayFirmwareLines(displaysReport);
    if (found.build)
        facts.theDisplayFirmwareBuild = *found.build;
    facts.theDisplayFirmwareVersions.append(found.versions);
    return facts.theDisplayFirmwareVersions.join(QLatin1Char(','));
}

// The registry's text is taken as it stands but for its terminating NULs: the firmware checks test
// and show it, and a NUL would travel into the report and the JSON.
QString readModelIdentifier(IORegistry& registry) {
    return registryText(registry.platformExpertProperty(QStringLiteral("model")));
}

QString readBootROMVersion(IORegistry& registry) {
    return registryText(
        registry.deviceTreeProperty(QStringLiteral("IODeviceTree:/rom"), QStringLiteral("version")));
}

QString readSystemFirmwareVersion(ToolRunner& tools) {
    return parseSystemFirmwareVersion(toolOutputText(tools, theEFI1Cmd, theEFI1Par));
}

} // namespace lq
