// Installed security data versions against the published ones.
#include "securitydata/SecurityDataCheck.h"

#include "platform/FileSystem.h"
#include "platform/ToolRunner.h"
#include "securitydata/ReferenceList.h"
#include "securitydata/SecurityDataRules.h"

#include <memory>

namespace lq {

namespace {

const QString kSecurityDataList = QStringLiteral("sysupdates.plist");

// The installed versions, read off the main thread while the list is fetched.
struct InstalledVersions {
    QString xprotect;
    QString xprotectFallback; // the CoreServices copy's version when it differs from the one in use
    QString xpr;
    QString mrt;
    QString tcc;
    QString kext;
};

// The protected copy is the one XProtect itself reads on macOS 15 and later; the CoreServices copy is
// its fallback and may lag behind it or run ahead of it.
constexpr int kFirstProtectedXProtectCode = 20;

struct InstalledXProtect {
    QString version;
    QString differingFallback; // the CoreServices copy's version when it differs from the one in use
};

InstalledXProtect installedXProtect(const Services& services, int osVersion, bool readDirectly) {
    const QString coreServices = installedBundleVersion(services, theXProtCatPath, readDirectly);
    if (osVersion < kFirstProtectedXProtectCode)
        return {coreServices, QString()};
    const QString protectedCopy = installedBundleVersion(services, theXProtProtectedPath, readDirectly);
    if (protectedCopy.isEmpty() || protectedCopy == kVersionNotFound)
        return {coreServices, QString()};
    const bool differs = coreServices != kVersionNotFound && coreServices != protectedCopy;
    return {protectedCopy, differs ? coreServices : QString()};
}

InstalledVersions readInstalledVersions(const Services& services, int osVersion, bool readDirectly) {
    InstalledVersions v;
    const InstalledXProtect xprotect = installedXProtect(services, osVersion, readDirectly);
    v.xprotect = xprotect.version;
    v.xprotectFallback = xprotect.differingFallback;
    v.xpr = installedBundleVersion(services, theXPremCatPath, readDirectly);
    v.mrt = installedBundleVersion(services, theMRTCatPath, readDirectly);
    v.tcc = installedBundleVersion(services, theTCCCatPath, readDirectly);
    v.kext = installedBundleVersion(services, theKextCatPath, readDirectly);
    return v;
}

SecurityDataResult compareSecurityData(const SecurityDataInputs& inputs, const QByteArray& body,
                                       const InstalledVersions& installed, const ListRecord& listRecord) {
    SecurityDataResult result;
    result.list = listRecord;
    SecurityDataFields fields;
    const AlertFunction alert = [&result](const QString& text) { result.alerts << text; };
    if (const std::optional<plist::Document> list = parseReferenceList(body, alert, ListShape::Dictionary)) {
        const plist::Node root = list->root();
        const OsDependentKeys osKeys = securityDataKeysFor(inputs.osVersion);
        struct Item {
            QString id;
            QString label;
            QStringList keys;
            QString installed;
            QString& status;
        };
        const Item items[] = {
            {QStringLiteral("xprotect"),
             QStringLiteral("XProtect"),
             {QStringLiteral("XProtect15")},
             installed.xprotect,
             fields.xprotect},
            {QStringLiteral("xprotectRemediator"),
             QStringLiteral("XPR"),
             {QStringLiteral("XPremed")},
             installed.xpr,
             fields.xpr},
            {QStringLiteral("mrt"),
             QStringLiteral("MRT"),
             {QStringLiteral("MRT")},
             installed.mrt,
             fields.mrt},
            {QStringLiteral("tcc"), QStringLiteral("TCC"), osKeys.tcc, installed.tcc, fields.tcc},
            {QStringLiteral("kextExcludeList"), QStringLiteral("KEXT"), osKeys.kext, installed.kext,
             fields.kext},
        };
        result.list.published = publishedDate(root);
        for (const Item& item : items) {
            const QString published = firstReferenceString(root, item.keys);
            result.versions[item.id] = {item.installed, published};
            if (const std::optional<ItemVerdict> verdict =
                    compareSecurityItem(item.label, item.installed, published)) {
                item.status = verdict->statusText;
                result.lines += verdict->reportLine;
            }
            if (&item.status == &fields.xprotect && !installed.xprotectFallback.isEmpty())
                result.lines += xprotectFallbackCopyLine(installed.xprotectFallback);
        }
        result.publishedDisplayFirmware = referenceString(root, "StudioDisplay");
    }
    result.fields = fields;
    noteListAlerts(result.list, result.alerts);
    return result;
}

} // namespace

QString installedBundleVersion(const Services& services, const QString& bundlePath, bool readDirectly) {
    const QString infoPlist = bundlePath + theDefaultsPathTail;
    if (readDirectly)
        return versionFromInfoPlist(services.files.readMacFile(infoPlist).bytes);
    const ToolRun run = services.tools.run(
        theDefaultCmdPath, theDefaultsCmd + QStringList{infoPlist, theDefaultsCmdTail}, ErrorStream::Capture);
    return versionFromDefaultsOutput(run.status, run.out);
}

void SecurityDataCheck::start(const StepServices& step, const SecurityDataInputs& inputs,
                              std::function<void(const SecurityDataResult&)> done) {
    // The list and the installed versions are fetched and read at the same time; the comparison waits
    // for both. A failed fetch is handed back at once.
    struct State {
        std::function<void(const SecurityDataResult&)> done;
        std::optional<InstalledVersions> installed;
        std::optional<QByteArray> body;
        ListRecord list;
        bool handed = false;
        void hand(SecurityDataResult result) {
            if (handed)
                return;
            handed = true;
            if (result.list.url.isEmpty())
                result.list = list;
            done(result);
        }
    };
    auto state = std::make_shared<State>();
    state->done = std::move(done);
    state->list = pendingListRecord(inputs.referenceBaseUrl + kSecurityDataList);
    auto compare = [state, inputs] {
        if (state->installed && state->body)
            state->hand(compareSecurityData(inputs, *state->body, *state->installed, state->list));
    };
    step.background.run<InstalledVersions>(
        QStringLiteral("security data versions"),
        [services = step.services, os = inputs.osVersion, direct = inputs.readBundlesDirectly] {
            return readInstalledVersions(services, os, direct);
        },
        [state, compare](const InstalledVersions& installed) {
            state->installed = installed;
            compare();
        });
    ReferenceFetch fetch = stepFetch(
        step,
        [state](const QString& failureLine) {
            SecurityDataResult failed;
            failed.lines = failureLine;
            state->hand(failed);
        },
        [state](const ListRecord& record) { state->list = record; });
    fetch.endWork = [state, end = fetch.endWork] {
        // An answer of another media type said nothing; the step still hands back.
        if (!state->body)
            state->hand(SecurityDataResult());
        end();
    };
    fetchReferenceList(fetch, inputs.referenceBaseUrl + kSecurityDataList,
                       [state, compare](const QByteArray& body) {
                           state->body = body;
                           compare();
                       });
}

} // namespace lq
