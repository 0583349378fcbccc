// The verdicts on SIP, SSV, the Apple-silicon boot policy, XProtect assessments and FileVault.
#include "check/ViewController.h"

namespace lq {

void ViewController::checkSecurityStatus() {
    checkForUpdates();
    if (firstRun && checkXPRem)
        startXPRScanSummary();
    else
        appendReport(QStringLiteral("XProtect Remediator scans not checked.\n"));
}

} // namespace lq
