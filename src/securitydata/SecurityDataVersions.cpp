// Installed security data versions against the published ones.
#include "check/ViewController.h"
#include "platform/FileSystem.h"
#include "platform/ToolRunner.h"
#include "securitydata/ReferenceList.h"
#include "securitydata/SecurityDataRules.h"

#include <memory>
#include <optional>

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

// The installed versions, read off the main thread while the list is fetched.
struct InstalledVersions {
    QString xprotect;
    QString xprotectFallback; // the CoreServices copy's version when it differs from the one in use
    QString xpr;
    QString mrt;
    QString tcc;
    QString kext;
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

InstalledXProtect installedXProtect(ViewController& vc, int osVersion, bool readDirectly) {
    const QString coreServices = bundleVersion(vc, vc.theXProtCatPath, readDirectly);
    if (osVersion < kFirstProtectedXProtectCode)
        return {coreServices, QString()};
    const QString protectedCopy = bundleVersion(vc, vc.theXProtProtectedPath, readDirectly);
    if (protectedCopy.isEmpty() || protectedCopy == kVersionNotFound)
        return {coreServices, QString()};
    const bool differs = coreServices != kVersionNotFound && coreServices != protectedCopy;
    return {protectedCopy, differs ? coreServices : QString()};
}

// Reads every installed version; safe on any thread (it reads the controller's constant paths and
// calls thread-safe services only).
InstalledVersions readInstalledVersions(ViewController& vc, int osVersion, bool readDirectly) {
    InstalledVersions v;
    const InstalledXProtect xprotect = installedXProtect(vc, osVersion, readDirectly);
    v.xprotect = xprotect.version;
    v.xprotectFallback = xprotect.differingFallback;
    v.xpr = bundleVersion(vc, vc.theXPremCatPath, readDirectly);
    v.mrt = bundleVersion(vc, vc.theMRTCatPath, readDirectly);
    v.tcc = bundleVersion(vc, vc.theTCCCatPath, readDirectly);
    v.kext = bundleVersion(vc, vc.theKextCatPath, readDirectly);
    return v;
}

void compareSecurityData(ViewController& vc, SecurityDataRun& run, const QByteArray& body,
                         const InstalledVersions& installed) {
    const AlertFunction alert = [&vc](const QString& text) { vc.showErrorAlert(text); };
    if (const std::optional<plist::Document> list = parseReferenceList(body, alert, ListShape::Dictionary)) {
        const plist::Node root = list->root();
        const OsDependentKeys osKeys = securityDataKeysFor(vc.osVersion);
        struct Item {
            QString label;
            QStringList keys;
            QString installed;
            QString& status;
        };
        const Item items[] = {
            {QStringLiteral("XProtect"), {QStringLiteral("XProtect15")}, installed.xprotect, run.xprotect},
            {QStringLiteral("XPR"), {QStringLiteral("XPremed")}, installed.xpr, run.xpr},
            {QStringLiteral("MRT"), {QStringLiteral("MRT")}, installed.mrt, run.mrt},
            {QStringLiteral("TCC"), osKeys.tcc, installed.tcc, run.tcc},
            {QStringLiteral("KEXT"), osKeys.kext, installed.kext, run.kext},
        };
        for (const Item& item : items) {
            if (const std::optional<ItemVerdict> verdict =
                    compareSecurityItem(item.label, item.installed, firstReferenceString(root, item.keys))) {
                item.status = verdict->statusText;
                *run.pending += verdict->reportLine;
            }
            if (&item.status == &run.xprotect && !installed.xprotectFallback.isEmpty())
                *run.pending += xprotectFallbackCopyLine(installed.xprotectFallback);
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

void ViewController::checkSecurityDataVersions(std::shared_ptr<RunSequence> sequence) {
    if (!sequence)
        sequence = std::make_shared<RunSequence>(0);
    auto run = std::make_shared<SecurityDataRun>();
    run->readBundlesDirectly = firstRun;
    // The list and the installed versions are fetched and read at the same time; the comparison
    // waits for both.
    struct Inputs {
        std::optional<InstalledVersions> installed;
        std::optional<QByteArray> body;
    };
    auto inputs = std::make_shared<Inputs>();
    auto compare = [this, run, sequence, inputs] {
        if (!inputs->installed || !inputs->body)
            return;
        sequence->deliver(
            [this, run, inputs] { compareSecurityData(*this, *run, *inputs->body, *inputs->installed); });
    };
    inBackground<InstalledVersions>(
        QStringLiteral("security data versions"),
        [this, os = osVersion, direct = run->readBundlesDirectly] {
            return readInstalledVersions(*this, os, direct);
        },
        [inputs, compare](const InstalledVersions& installed) {
            inputs->installed = installed;
            compare();
        });
    fetchReferenceList(checkRunFetch(*this, run->pending, sequence), referenceBaseUrl + kSecurityDataList,
                       [inputs, compare](const QByteArray& body) {
                           inputs->body = body;
                           compare();
                       });
}

QString ViewController::installedBundleVersion(const QString& bundlePath) {
    return bundleVersion(*this, bundlePath, firstRun);
}

} // namespace lq
