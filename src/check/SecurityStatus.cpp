// The verdicts on SIP, SSV, the Apple-silicon boot policy, XProtect assessments and FileVault.
#include "check/SecurityStatusRules.h"
#include "check/ViewController.h"

namespace lq {

void ViewController::checkSecurityStatus() {
    // Collected here and written to the report once, after the last tool has answered.
    QString block;

    if (hasARM) {
        // Apple silicon shows its boot policy in the chip report read when the window loaded.
        const PlatformSecurity policy = platformSecurity(theARMData);
        block += policy.block;
        if (policy.statusText)
            setText(Field::sipStatusText, *policy.statusText);
    } else {
        const QString sipOutput = runTool(theSIPCmd, theSIPPar);
        // A version that could not be read is judged by the newest system's rules: judging SIP alone
        // would never mention a signed system volume that is off.
        const SecurityVerdict sip = !osVersionKnown || osHasSignedSystemVolume(osVersion)
                                        ? sipAndSsvVerdict(sipOutput, runTool(theSIPCmd, theSSVPar))
                                        : sipVerdict(sipOutput);
        setText(Field::sipStatusText, sip.statusText);
        block += sip.block;
    }

    const QString spctlOutput = runTool(theXProtCmd, theXProtPar);
    const QString fdesetupOutput = runTool(theFVaultCmd, theFVaultPar);
    const SecurityVerdict xprotect = xprotectVerdict(spctlOutput);
    setText(Field::xprotStatusText, xprotect.statusText);
    block += xprotect.block;
    const SecurityVerdict fileVault = fileVaultVerdict(fdesetupOutput);
    setText(Field::filevStatusText, fileVault.statusText);
    block += fileVault.block;

    appendReport(block);

    checkForUpdates();
    // The scan summary reads a day of the unified log; once per launch is enough.
    if (firstRun && checkXPRem)
        startXPRScanSummary();
    else
        appendReport(QStringLiteral("XProtect Remediator scans not checked.\n"));
}

} // namespace lq
