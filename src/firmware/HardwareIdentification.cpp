// What Mac this is: chip, displays and firmware facts.
#include "check/ViewController.h"
#include "firmware/HardwareParsers.h"
#include "platform/IORegistry.h"

#include <memory>

namespace lq {

void ViewController::identifyHardware(std::function<void()> then) {
    // The two reports are independent: both are asked for at once, and judged when both are in.
    struct Reports {
        QString chip;
        QString displays;
        int remaining = 2;
    };
    auto reports = std::make_shared<Reports>();
    auto arrived = [this, reports, then] {
        if (--reports->remaining > 0)
            return;
        applyHardwareReports(reports->chip, reports->displays);
        if (then)
            then();
    };
    inBackground<QString>(
        QStringLiteral("system_profiler SPiBridgeDataType"),
        [&tools = services.tools, path = theEFI1Cmd, args = theEFI0Par] {
            return runTool(tools, path, args);
        },
        [reports, arrived](const QString& report) {
            reports->chip = report;
            arrived();
        });
    inBackground<QString>(
        QStringLiteral("system_profiler SPDisplaysDataType"),
        [&tools = services.tools, path = theEFI1Cmd, args = theEFI2Par] {
            return runTool(tools, path, args);
        },
        [reports, arrived](const QString& report) {
            reports->displays = report;
            arrived();
        });
}

void ViewController::applyHardwareReports(const QString& chipReport, const QString& displaysReport) {
    hardwareIdentified = true;
    theARMData = chipReport;
    // Once known, Apple silicon stays known for the life of the window.
    if (isAppleSiliconChipReport(theARMData))
        hasARM = true;

    theDisplayData = displaysReport;
    // An empty report tells nothing, so the display fields keep what they show.
    if (theDisplayData.isEmpty())
        return;
    if (reportsStudioDisplay(theDisplayData)) {
        hasStudioDisplay = true;
        setText(Field::displayStatusText, QStringLiteral("🍏 Apple Studio Display connected"));
        setText(Field::dfirmwareStatusText, readDisplayFirmwareVersions(theDisplayData));
    } else {
        hasStudioDisplay = false;
        setText(Field::displayStatusText, QString());
        setText(Field::dfirmwareStatusText, QString());
        view.setFieldHidden(Field::displayStatusText, true);
        view.setFieldHidden(Field::dfirmwareStatusText, true);
    }
}

// The registry's text is taken as it stands but for its terminating NULs: the firmware checks test
// and show it, and a NUL would travel into the report and the JSON.
QString ViewController::readModelIdentifier() const {
    return registryText(services.ioRegistry.platformExpertProperty(QStringLiteral("model")));
}

QString ViewController::readBootROMVersion() const {
    return registryText(services.ioRegistry.deviceTreeProperty(QStringLiteral("IODeviceTree:/rom"),
                                                               QStringLiteral("version")));
}

QString ViewController::readSystemFirmwareVersion() {
    return parseSystemFirmwareVersion(runTool(theEFI1Cmd, theEFI1Par));
}

QString ViewController::readDisplayFirmwareVersions(const QString& displayReport) {
    const DisplayFirmwareLines found = parseDisplayFirmwareLines(displayReport);
    if (found.build)
        theDisplayFirmwareBuild = *found.build;
    // Added to what earlier calls found: the displays are read once per window, so nothing clears it.
    theDisplayFirmwareVersions.append(found.versions);
    return theDisplayFirmwareVersions.join(QLatin1Char(','));
}

} // namespace lq
