// What Mac this is: chip, displays and firmware facts.
#include "check/ViewController.h"
#include "firmware/HardwareParsers.h"
#include "platform/IORegistry.h"

namespace lq {

void ViewController::identifyHardware() {
    theARMData = runTool(theEFI1Cmd, theEFI0Par);
    // Once known, Apple silicon stays known for the life of the window.
    if (isAppleSiliconChipReport(theARMData))
        hasARM = true;

    theDisplayData = runTool(theEFI1Cmd, theEFI2Par);
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
