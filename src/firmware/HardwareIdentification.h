// Identifying the hardware: what chip the Mac has and which displays are connected. The window does it
// once, with its first check run; the facts then stay for the life of the window.
#pragma once

#include "platform/Background.h"

#include <QString>
#include <QStringList>

#include <functional>

namespace lq {

class IORegistry;
class ToolRunner;

// The two system_profiler reports identification reads.
struct HardwareReports {
    QString chip;     // SPiBridgeDataType
    QString displays; // SPDisplaysDataType
};

// What the window knows of the hardware.
struct HardwareFacts {
    bool identified = false;
    bool hasARM = false;
    bool hasStudioDisplay = false;
    QString theARMData;     // the chip report, kept for the boot policy
    QString theDisplayData; // the displays report
    // Every firmware version of a Studio Display read so far, and the build of the last one.
    QStringList theDisplayFirmwareVersions;
    QString theDisplayFirmwareBuild = QStringLiteral("unknown)");
};

// What the display fields show after identification.
struct DisplayFields {
    enum class Change { Keep, Show, Hide };
    Change change = Change::Keep;
    QString display;  // the display status field, when shown
    QString firmware; // the display firmware field, when shown
};

// Asks for both reports at once and hands them back together, once, on the main thread.
class HardwareIdentification {
public:
    static void start(const StepServices& step, std::function<void(const HardwareReports&)> done);
};

// Takes the reports into the facts and says what the display fields show. Apple silicon, once known,
// stays known; an empty displays report tells nothing, so the display fields keep what they show.
DisplayFields takeHardwareReports(HardwareFacts& facts, const HardwareReports& reports);

// Adds the firmware versions of a displays report to those read before (nothing clears them) and
// gives back the whole list, comma-separated.
QString readDisplayFirmwareVersions(HardwareFacts& facts, const QString& displaysReport);

// The I/O Registry's model identifier and boot ROM version, as text.
QString readModelIdentifier(IORegistry& registry);
QString readBootROMVersion(IORegistry& registry);
// The system firmware version of the hardware report; runs the tool, so never on the main thread.
QString readSystemFirmwareVersion(ToolRunner& tools);

} // namespace lq
