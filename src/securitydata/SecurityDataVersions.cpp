// Installed security data versions against the published ones.
#include "check/ViewController.h"
#include "platform/FileSystem.h"
#include "platform/ToolRunner.h"
#include "securitydata/ReferenceList.h"
#include "securitydata/SecurityDataRules.h"

#include <memory>

namespace lq {

namespace {

const QString kSecurityDataList = QStringLiteral("sysupdates.plist");

// What one check run shows for the security data until its comparison has published.
struct SecurityDataRun {
    QString xprotect = QStringLiteral("❌ No XProtect version found.");
    QString xpr = QStringLiteral("❌ No XPR version found.");
    QString mrt = QStringLiteral("❌ No MRT version found.");
    QString tcc = QStringLiteral("❌ No TCC version found.");
    QString kext = QStringLiteral("❌ No KEXT version found.");
    QString display = QStringLiteral("❌ No display fw found.");
    std::shared_ptr<QString> pending = std::make_shared<QString>();
    // Taken when the run starts: the comparison arrives after the first run has already ended.
    bool readBundlesDirectly = false;
};

QString bundleVersion(ViewController& vc, const QString& bundlePath, bool readDirectly) {
    const QString infoPlist = bundlePath + vc.theDefaultsPathTail;
    if (readDirectly)
        return versionFromInfoPlist(vc.services.files.readMacFile(infoPlist).bytes);
    // Later runs ask the system, so that bundles updated since launch are seen as they are now.
    const ToolRun run = vc.services.tools.run(
        vc.theDefaultCmdPath, vc.theDefaultsCmd + QStringList{infoPlist, vc.theDefaultsCmdTail},
        ErrorStream::Capture);
    return versionFromDefaultsOutput(run.status, run.out);
}

// The protected copy is the one XProtect itself reads on macOS 15 and later; the CoreServices copy is
// its fallback and may lag behind it or run ahead of it.
constexpr int kFirstProtectedXProtectCode = 20;

struct InstalledXProtect {
    QString version;
    QString differingFallback; // the CoreServices copy's version when it differs from the one in use
};

InstalledXProtect installedXProtect(ViewController& vc, bool readDirectly) {
    const QString coreServices = bundleVersion(vc, vc.theXProtCatPath, readDirectly);
    if (vc.osVersion < kFirstProtectedXProtectCode)
        return {coreServices, QString()};
    const QString protectedCopy = bundleVersion(vc, vc.theXProtProtectedPath, readDirectly);
    if (protectedCopy.isEmpty() || protectedCopy == kVersionNotFound)
        return {coreServices, QString()};
    const bool differs = coreServices != kVersionNotFound && coreServices != protectedCopy;
    return {protectedCopy, differs ? coreServices : QString()};
}

void compareSecurityData(ViewController& vc, SecurityDataRun& run, const QByteArray& body) {
    const AlertFunction alert = [&vc](const QString& text) { vc.showErrorAlert(text); };
    if (const std::optional<plist::Document> list = parseReferenceList(body, alert, ListShape::Dictionary)) {
        const plist::Node root = list->root();
        const OsDependentKeys osKeys = securityDataKeysFor(vc.osVersion);
        const InstalledXProtect xprotect = installedXProtect(vc, run.readBundlesDirectly);
        struct Item {
            QString label;
            QStringList keys;
            QString installed;
            QString& status;
        };
        const Item items[] = {
            {QStringLiteral("XProtect"), {QStringLiteral("XProtect15")}, xprotect.version, run.xprotect},
            {QStringLiteral("XPR"),
             {QStringLiteral("XPremed")},
             bundleVersion(vc, vc.theXPremCatPath, run.readBundlesDirectly),
             run.xpr},
            {QStringLiteral("MRT"),
             {QStringLiteral("MRT")},
             bundleVersion(vc, vc.theMRTCatPath, run.readBundlesDirectly),
             run.mrt},
            {QStringLiteral("TCC"), osKeys.tcc, bundleVersion(vc, vc.theTCCCatPath, run.readBundlesDirectly),
             run.tcc},
            {QStringLiteral("KEXT"), osKeys.kext,
             bundleVersion(vc, vc.theKextCatPath, run.readBundlesDirectly), run.kext},
        };
        for (const Item& item : items) {
            if (const std::optional<ItemVerdict> verdict =
                    compareSecurityItem(item.label, item.installed, firstReferenceString(root, item.keys))) {
                item.status = verdict->statusText;
                *run.pending += verdict->reportLine;
            }
            if (&item.status == &run.xprotect && !xprotect.differingFallback.isEmpty())
                *run.pending += xprotectFallbackCopyLine(xprotect.differingFallback);
        }
        if (vc.hasStudioDisplay) {
            const ItemVerdict verdict =
                compareDisplayFirmware(vc.theDisplayFirmwareVersions, vc.theDisplayFirmwareBuild,
                                       referenceString(root, "StudioDisplay"));
            run.display = verdict.statusText;
            *run.pending += verdict.reportLine;
        }
    }

    vc.appendReport(*run.pending);
    vc.setText(Field::xprotVersionText, withRecentMark(run.xprotect, vc.xprotIsUpd));
    vc.setText(Field::mrtVersionText, withRecentMark(run.xpr, vc.xpremIsUpd));
    vc.setText(Field::kextVersionText, withRecentMark(run.tcc, vc.tccIsUpd));
    vc.setText(Field::gatekeepVersionText, withRecentMark(run.kext, vc.kextIsUpd));
    vc.setText(Field::dfirmwareStatusText, run.display);
}

} // namespace

void ViewController::checkSecurityDataVersions() {
    auto run = std::make_shared<SecurityDataRun>();
    run->readBundlesDirectly = firstRun;
    fetchReferenceList(checkRunFetch(*this, run->pending), referenceBaseUrl + kSecurityDataList,
                       [this, run](const QByteArray& body) { compareSecurityData(*this, *run, body); });
}

QString ViewController::installedBundleVersion(const QString& bundlePath) {
    return bundleVersion(*this, bundlePath, firstRun);
}

} // namespace lq
