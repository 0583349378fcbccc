// What Mac this is: chip, displays and firmware facts.
#include "check/ViewController.h"

namespace lq {

// Not built yet: the chip and displays reports are read in a later step.
void ViewController::identifyHardware() {}
QString ViewController::readModelIdentifier() const {
    return QString();
}
QString ViewController::readBootROMVersion() const {
    return QString();
}
QString ViewController::readSystemFirmwareVersion() {
    return QStringLiteral("Unknown");
}
QString ViewController::readDisplayFirmwareVersions(const QString&) {
    return QString();
}

} // namespace lq
