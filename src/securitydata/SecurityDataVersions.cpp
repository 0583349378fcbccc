// Installed security data versions against the published ones.
#include "check/ViewController.h"

namespace lq {

void ViewController::checkSecurityDataVersions() {}
QString ViewController::installedBundleVersion(const QString&) {
    return QStringLiteral("Not found");
}

} // namespace lq
